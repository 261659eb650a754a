#include "document/projectloader.h"

#include <QFile>

#include "document/inireader.h"
#include "core/filekind.h"
#include "core/inilookup.h"
#include "core/paths.h"

namespace {

class HeadReader
{
public:
    HeadReader(const IniKeyLookup& ini, const MessageSink& sink, LoadReport& report)
        : m_ini(ini), m_sink(sink), m_report(report)
    {
    }

    QString read(const char* section, const char* key) const
    {
        return m_ini.readString(QLatin1String(section), QLatin1String(key));
    }

    void error(const QString& text)
    {
        ++m_report.messageCount;
        if (m_sink)
            m_sink(Message{text, kCaptionError, MessageIcon::Error});
    }

    // A required key: false (after its message) when it is missing or empty.
    bool required(const char* section, const char* key, QString& into, FieldState* state)
    {
        into = read(section, key);
        const bool found = !into.isEmpty();
        if (state)
            *state = found ? FieldState::Found : FieldState::Missing;
        if (!found)
            error(QStringLiteral("The key [%1]->%2 is missing. Leaving...")
                      .arg(QLatin1String(section), QLatin1String(key)));
        return found;
    }

    // Numbered entries 1, 2, ... up to the first missing or empty one. Each must hold a blank: the text
    // before the first blank is the first field, the text after it the second.
    template <typename Add>
    void entries(const char* section, const char* what, const char* leaving, Add add)
    {
        for (int n = 1;; ++n) {
            const QString value = m_ini.readString(QLatin1String(section), QString::number(n));
            if (value.isEmpty())
                return;
            const qsizetype blank = value.indexOf(QLatin1Char(' '));
            if (blank < 0) {
                error(QStringLiteral("Malformed %1 entry : <%2>, Leaving %3 parsing")
                          .arg(QLatin1String(what), value, QLatin1String(leaving)));
                return;
            }
            add(QString::number(n), value.left(blank), value.mid(blank + 1));
        }
    }

    bool flag(const char* section, const char* key) const
    {
        return m_ini.readInt(QLatin1String(section), QLatin1String(key)) != 0;
    }

private:
    const IniKeyLookup& m_ini;
    const MessageSink& m_sink;
    LoadReport& m_report;
};

// The head: every step in the order the player's format lists them. False when a required key stops it.
bool readHead(const IniKeyLookup& ini, MovieData& md, const MessageSink& sink, LoadReport& report,
              int& firstNumberedLanguage)
{
    HeadReader h(ini, sink, report);
    if (!h.required("MAIN", "Title", md.title, &report.title))
        return false;
    if (!h.required("MAIN", "ID", md.id, &report.id))
        return false;
    md.cdNumber = h.read("MAIN", "CDNumber");
    md.delay = h.read("MAIN", "Delay");
    if (!h.required("MOVIE", "Directory", md.movieDirectory, nullptr))
        return false;
    report.movieDirectory = FieldState::Found;
    if (!h.required("MOVIE", "AVIName", md.aviName, &report.aviName))
        return false;
    md.avi2Name = h.read("MOVIE", "AVI2Name");
    md.avi3Name = h.read("MOVIE", "AVI3Name");
    md.cd1Frames = h.read("MOVIE", "CD1Frames");
    md.cd2Frames = h.read("MOVIE", "CD2Frames");
    md.cd3Frames = h.read("MOVIE", "CD3Frames");

    h.entries("CHAPTERS", "chapter", "chapters", [&](QString n, QString first, QString second) {
        md.chapters.push_back(std::make_unique<Chapter>(Chapter{n, first, second}));
    });
    md.specialsCD = h.read("SPECIALS", "CD");
    h.entries("SPECIALS", "special", "specials", [&](QString n, QString first, QString second) {
        md.specials.push_back(std::make_unique<SpecialFeature>(SpecialFeature{n, second, first}));
    });

    md.languageDirectory = h.read("LANGUAGES", "Directory");
    md.multipleAudioAVI = h.flag("LANGUAGES", "MultipleAudioAVI");
    const QString primary = h.read("LANGUAGES", "Primary");
    if (!primary.isEmpty()) {
        md.languages.clear();
        const qsizetype blank = primary.indexOf(QLatin1Char(' '));
        if (blank >= 0) {
            md.languages.push_back(std::make_unique<AudioLanguage>(
                AudioLanguage{QStringLiteral("0"), primary.left(blank), primary.mid(blank + 1), {}}));
            report.primaryLanguage = true;
        } else {
            h.error(QStringLiteral("Malformed primary language entry : <%1>").arg(primary));
        }
    }
    firstNumberedLanguage = int(md.languages.size());
    h.entries("LANGUAGES", "language", "languages", [&](QString n, QString first, QString second) {
        md.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{n, first, second, {}}));
    });

    md.menuDirectory = h.read("MENU", "Directory");
    md.menuAVIName = h.read("MENU", "AVIName");
    md.menuSize = h.read("MENU", "Size");
    md.menuAudioName = h.read("MENU", "AudioName");
    md.startPage = h.read("MENU", "StartPage");
    md.menuPage = h.read("MENU", "MenuPage");
    md.chaptersPage = h.read("MENU", "ChaptersPage");
    md.specialsPage = h.read("MENU", "SpecialsPage");

    md.subtitlesDirectory = h.read("SUBTITLES", "Directory");
    md.dialogString = h.read("SUBTITLES", "DialogString");
    md.lines = h.read("SUBTITLES", "Lines");
    md.maxDisplayDuration = h.read("SUBTITLES", "MaxDisplayDuration");
    md.estimateDisplayDuration = h.flag("SUBTITLES", "EstimateDisplayDuration");
    h.entries("SUBTITLES", "subtitles", "subtitles", [&](QString n, QString first, QString second) {
        SubtitleTrack t;
        t.number = n;
        t.shortName = first;
        t.fullName = second;
        md.subtitles.push_back(std::make_unique<SubtitleTrack>(std::move(t)));
    });
    return true;
}

void applySubtitleOption(SubtitleTrack& t, const QString& option)
{
    const qsizetype eq = option.indexOf(QLatin1Char('='));
    const QString key = option.left(eq);
    const QString value = option.mid(eq + 1);
    if (key == QLatin1String("Format"))
        t.format = value;
    else if (key == QLatin1String("OpenBracket"))
        t.openBracket = value;
    else if (key == QLatin1String("CloseBracket"))
        t.closeBracket = value;
    else if (key == QLatin1String("LineSeparator"))
        t.lineSeparator = value;
    else if (key == QLatin1String("Offset"))
        t.offset = value;
    else if (key == QLatin1String("Multiplier"))
        t.multiplier = value;
}

// The lines of the head's sections and keys, up to the menu part.
void findHeadLines(const QByteArray& bytes, QHash<QString, int>& head)
{
    QString section;
    int number = 0;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        ++number;
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start).trimmed();
        start = end + 1;
        if (line.startsWith('[')) {
            if (line.size() >= 6 && QByteArrayView(line.first(6)).compare("[PAGE=", Qt::CaseInsensitive) == 0)
                return;
            const qsizetype close = line.indexOf(']');
            section = QString::fromLatin1(line.sliced(1, (close < 0 ? line.size() : close) - 1)).trimmed().toUpper();
            head.insert(section, number);
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || section.isEmpty())
            continue;
        const QString key = section + QLatin1Char('/') + QString::fromLatin1(line.first(eq)).trimmed().toUpper();
        if (!head.contains(key))
            head.insert(key, number);
    }
}

// Whether a line holds a page block's header, which is how the block reader finds the menu part.
bool containsPageBlock(const QByteArray& bytes)
{
    if (bytes.contains("[PAGE=") || bytes.contains("[page="))
        return true;
    // Mixed case is rare enough to pay for a folded copy.
    return bytes.toUpper().contains("[PAGE=");
}

} // namespace

int FileLines::headLine(const QString& section, const QString& key) const
{
    const QString s = section.toUpper();
    return head.value(s + QLatin1Char('/') + key.toUpper(), head.value(s, 0));
}

LoadReport LoadProjectFromBytes(const QByteArray& fileBytes, const QString& path, MenuProject& project,
                                const MessageSink& sink, const LoadHooks& hooks)
{
    // A byte order mark would hide the first section from the key lookup; it is set aside and
    // written again on saving.
    const bool bom = fileBytes.startsWith("\xEF\xBB\xBF");
    LoadReport report;
    report.fileReadable = true;
    report.notText = describeNonText(fileBytes);
    const QByteArray bytes = bom ? fileBytes.sliced(3) : fileBytes;
    auto send = [&](const Message& m) {
        ++report.messageCount;
        if (sink)
            sink(m);
    };

    project.reset();
    project.documentName = path;
    project.baseDirectory = paths::directoryOf(path);
    project.encoding = bom ? TextEncoding::Utf8 : detectEncoding(bytes);
    project.byteOrderMark = bom;
    MovieData& md = project.movieData;

    if (hooks.lines) {
        *hooks.lines = FileLines();
        // The byte order mark set aside above is on the first line; it moves no line.
        findHeadLines(bytes, hooks.lines->head);
    }
    const IniKeyLookup ini(bytes, project.encoding);
    report.menuFile =
        report.notText.isEmpty() && (ini.hasSection(QStringLiteral("MAIN")) || containsPageBlock(bytes));
    int firstNumberedLanguage = 0;
    if (!readHead(ini, md, sink, report, firstNumberedLanguage))
        return report;
    report.headComplete = true;

    VRPLIniFileReader reader(bytes, project.encoding, send);
    QList<VRPLIniFileReader::FileEntry> languageFiles;
    reader.ReadFileEntries(QStringLiteral("[LANGUAGES]"), languageFiles);
    for (qsizetype i = 0; i < languageFiles.size(); ++i) {
        const size_t index = size_t(firstNumberedLanguage) + size_t(i);
        if (index >= md.languages.size())
            break;
        md.languages[index]->files = languageFiles.at(i).file;
    }
    QList<VRPLIniFileReader::FileEntry> subtitleFiles;
    reader.ReadFileEntries(QStringLiteral("[SUBTITLES]"), subtitleFiles);
    for (qsizetype i = 0; i < subtitleFiles.size() && size_t(i) < md.subtitles.size(); ++i) {
        SubtitleTrack& t = *md.subtitles[size_t(i)];
        t.file = subtitleFiles.at(i).file;
        for (const QString& option : subtitleFiles.at(i).options)
            applySubtitleOption(t, option);
    }

    try {
        if (hooks.beforePages)
            hooks.beforePages(project);
        reader.OnPage = [&](std::unique_ptr<Page> page) -> Page* {
            if (hooks.pageRead)
                hooks.pageRead(*page);
            project.pages.push_back(std::move(page));
            if (hooks.lines) {
                hooks.lines->pages.push_back(reader.blockLine());
                hooks.lines->selections.emplace_back();
            }
            return project.pages.back().get();
        };
        reader.OnSelection = [&](std::unique_ptr<Selection> selection, Page& page) {
            page.addSelection(std::move(selection));
            // Selections always belong to the page appended last.
            if (hooks.lines && !hooks.lines->selections.empty())
                hooks.lines->selections.back().push_back(reader.blockLine());
        };
        reader.ParsePagesAndSelections();
        report.pagesRead = true;
    } catch (const ConversionError& e) {
        send(Message{e.text(), kCaptionError, MessageIcon::Error});
    } catch (const std::exception& e) {
        send(Message{QString::fromLocal8Bit(e.what()), kCaptionError, MessageIcon::Error});
    }
    reader.Release();
    return report;
}

LoadReport LoadProject(const QString& path, MenuProject& project, const MessageSink& sink,
                       const LoadHooks& hooks)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // The key lookup of an unreadable file finds nothing, so the reading stops at the title, as
        // it does for any file without one; the report tells the caller why.
        LoadReport report = LoadProjectFromBytes(QByteArray(), path, project, sink, hooks);
        report.fileReadable = false;
        return report;
    }
    // A video picked by mistake can be gigabytes: its first bytes are enough to tell it is no menu.
    const QByteArray head = file.read(kFileKindProbeLength);
    if (!describeNonText(head).isEmpty())
        return LoadProjectFromBytes(head, path, project, sink, hooks);
    const QByteArray bytes = head + file.readAll();
    return LoadProjectFromBytes(bytes, path, project, sink, hooks);
}
