#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include "cli/commands.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"

namespace cli {

void printLine(std::FILE* to, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fputc('\n', to);
}

void printMessage(std::FILE* to, const Message& m)
{
    // A message may span lines; each of its lines is printed as it is.
    printLine(to, m.caption.isEmpty() ? m.text : m.caption + QStringLiteral(": ") + m.text);
}

namespace {

bool readable(const QString& path)
{
    QFile f(path);
    return QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly);
}

void usageError(const char* text)
{
    std::fprintf(stderr, "vrplmenu: %s (see vrplmenu --help)\n", text);
}

} // namespace

int normalize(const QStringList& args)
{
    QString in, out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o")) {
            if (i + 1 >= args.size()) {
                usageError("-o needs a file name");
                return 2;
            }
            out = args[++i];
        } else if (in.isEmpty()) {
            in = args[i];
        } else {
            usageError("normalize takes one FILE");
            return 2;
        }
    }
    if (in.isEmpty()) {
        usageError("normalize needs a FILE");
        return 2;
    }
    if (!readable(in)) {
        printMessage(stderr, Message{QStringLiteral("Can't open file"), kCaptionError, MessageIcon::Error});
        return 2;
    }
    MenuProject project;
    int messages = 0;
    auto toStderr = [&](const Message& m) {
        ++messages;
        printMessage(stderr, m);
    };
    const LoadReport report = LoadProject(in, project, toStderr);
    if (!report.menuFile) {
        printLine(stderr, QStringLiteral("vrplmenu: %1 is not a menu file; nothing was written").arg(in));
        return 2;
    }
    if (!report.headComplete || !report.pagesRead) {
        // The program would save what it has; here that could overwrite the file with less than it
        // holds, so nothing is written.
        printLine(stderr, QStringLiteral("vrplmenu: the file could not be read completely; nothing was written"));
        return 1;
    }
    if (out.isEmpty()) {
        const std::optional<QByteArray> bytes = BuildMenuFile(project, toStderr);
        if (!bytes)
            return 1;
        // Standard output can be a full disk too (a redirection): its failure is a failed write.
        if (std::fwrite(bytes->constData(), 1, size_t(bytes->size()), stdout) != size_t(bytes->size()) ||
            std::fflush(stdout) != 0) {
            printLine(stderr, QStringLiteral("vrplmenu: cannot write to standard output: %1").arg(qt_error_string(errno)));
            return 2;
        }
    } else {
        const SaveResult saved = SaveProjectFile(project, out, toStderr);
        // A file the system refused is the worst outcome: the caller must not go on as if it was written.
        if (saved.outcome == SaveOutcome::WriteFailed)
            return 2;
        if (!saved)
            return 1;
    }
    return messages == 0 ? 0 : 1;
}

} // namespace cli
