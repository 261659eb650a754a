// vrplmenu check: the reader's messages, then every problem the menu check finds, each pointing at the
// line of its page or selection block (or movie data key) so that editors and CI logs can jump there.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "check/menucheck.h"
#include "cli/commands.h"
#include "document/projectloader.h"
#include "media/countframes.h"
#include "media/avifile.h"
#include "media/jpegdecoder.h"
#include "core/paths.h"

namespace cli {
namespace {

struct CheckOptions
{
    QString path;
    bool strict = false;
    bool json = false;
    bool files = true;
};

// The line a problem points at: its selection's or page's block header, or its movie data key (the
// section header when the key is not in the file); 0 when unknown.
int problemLine(const Problem& p, const FileLines& lines)
{
    const ProblemLocation& w = p.where;
    if (w.pageIndex >= 0) {
        if (size_t(w.pageIndex) >= lines.pages.size())
            return 0;
        const std::vector<int>& selections = lines.selections[size_t(w.pageIndex)];
        if (w.selectionIndex >= 0 && size_t(w.selectionIndex) < selections.size())
            return selections[size_t(w.selectionIndex)];
        return lines.pages[size_t(w.pageIndex)];
    }
    const qsizetype slash = w.field.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return 0;
    return lines.headLine(w.field.left(slash), w.field.mid(slash + 1));
}

// The real files behind the file checks: the menu video's length and picture size, movie files
// counted as the movie data dialog counts them, pictures decoded as the editor decodes them.
CheckContext fileContext(const MenuProject& project)
{
    CheckContext context;
    context.baseDirectory = project.baseDirectory;
    const MovieData& md = project.movieData;
    if (!md.menuDirectory.trimmed().isEmpty() && !md.menuAVIName.trimmed().isEmpty()) {
        const QString video = paths::resolve(project.baseDirectory, md.menuDirectory, md.menuAVIName.trimmed());
        if (QFileInfo(video).isFile()) {
            if (std::unique_ptr<AviFile> file = AviFile::open(video)) {
                if (std::unique_ptr<AviStream> stream = file->firstVideoStream()) {
                    const AviStreamInfo& info = stream->info();
                    if (info.valid) {
                        context.menuFrameCount = int(info.length);
                        context.pictureSize = QSize(info.width, info.height);
                    }
                }
            }
        }
    }
    context.countFrames = [](const QString& path) -> std::optional<qint64> {
        const uint32_t frames = CountVideoFrames(path, {});
        if (frames == 0)
            return std::nullopt;
        return qint64(frames);
    };
    context.pictureError = [](const QString& path) -> QString {
        try {
            QString warning;
            decodeJpegFile(path, &warning);
            return warning;
        } catch (const JpegError& e) {
            return e.message();
        }
    };
    return context;
}

QJsonObject problemObject(const Problem& p, const QString& file, int line, const MenuProject& project)
{
    QJsonObject o{{QStringLiteral("file"), file},
                  {QStringLiteral("line"), line},
                  {QStringLiteral("severity"), severityName(p.severity)},
                  {QStringLiteral("code"), p.code},
                  {QStringLiteral("message"), p.text}};
    // Pages by their number, selections and actions by their position from 1, as the file counts them.
    if (p.where.pageIndex >= 0 && size_t(p.where.pageIndex) < project.pages.size())
        o.insert(QStringLiteral("page"), project.pages[size_t(p.where.pageIndex)]->number);
    if (p.where.selectionIndex >= 0)
        o.insert(QStringLiteral("selection"), p.where.selectionIndex + 1);
    if (p.where.actionIndex >= 0)
        o.insert(QStringLiteral("action"), p.where.actionIndex + 1);
    if (!p.where.field.isEmpty())
        o.insert(QStringLiteral("field"), p.where.field);
    return o;
}

} // namespace

int check(const QStringList& args)
{
    CheckOptions options;
    for (const QString& a : args) {
        if (a == QLatin1String("--strict"))
            options.strict = true;
        else if (a == QLatin1String("--json"))
            options.json = true;
        else if (a == QLatin1String("--no-files"))
            options.files = false;
        else if (a.startsWith(QLatin1String("--"))) {
            printLine(stderr, QStringLiteral("vrplmenu: unknown option '%1' (see vrplmenu --help)").arg(a));
            return 2;
        } else if (options.path.isEmpty()) {
            options.path = a;
        } else {
            options.path.clear();
            break;
        }
    }
    if (options.path.isEmpty()) {
        std::fprintf(stderr, "vrplmenu: check takes one FILE (see vrplmenu --help)\n");
        return 2;
    }
    // Messages go where the user reads them; with --json the standard output holds the array alone.
    std::FILE* text = options.json ? stderr : stdout;
    const QString& path = options.path;
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) {
        printMessage(text, Message{QStringLiteral("Can't open file"), kCaptionError, MessageIcon::Error});
        return 2;
    }
    f.close();

    MenuProject project;
    int messages = 0;
    FileLines lines;
    LoadHooks hooks;
    hooks.lines = &lines;
    const LoadReport report = LoadProject(path, project, [&](const Message& m) {
        ++messages;
        printMessage(text, m);
    }, hooks);
    if (!report.menuFile) {
        printLine(stderr, QStringLiteral("vrplmenu: %1 is not a menu file").arg(path));
        return 2;
    }

    // A file whose reading stopped early would show the problems of what is missing; its messages
    // already say what went wrong.
    std::vector<Problem> problems;
    if (report.headComplete && report.pagesRead)
        problems = checkProject(project, options.files ? fileContext(project) : CheckContext());

    if (options.json) {
        QJsonArray array;
        for (const Problem& p : problems)
            array.append(problemObject(p, path, problemLine(p, lines), project));
        const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Indented);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    } else {
        for (const Problem& p : problems)
            printLine(stdout, QStringLiteral("%1:%2: %3: %4: %5")
                                  .arg(path, QString::number(problemLine(p, lines)), severityName(p.severity),
                                       p.code, p.text));
        printLine(stdout, QStringLiteral("%1 pages, %2 selections, %3 actions")
                              .arg(project.pages.size())
                              .arg(project.selectionCount())
                              .arg(project.actionCount()));
    }
    const int errors = countProblems(problems, Severity::Error);
    const int warnings = countProblems(problems, Severity::Warning);
    return messages == 0 && errors == 0 && !(options.strict && warnings > 0) ? 0 : 1;
}

} // namespace cli
