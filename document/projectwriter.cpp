#include "document/projectwriter.h"

#include <QFileInfo>

#include <charconv>
#include <string>

#include "core/safefile.h"
#include "document/actiontypes.h"

namespace {

// A check that stops the save; carries its message up to BuildMenuFile.
struct SaveStopped
{
    Message message;
};

[[noreturn]] void stop(const QString& text)
{
    throw SaveStopped{Message{text, kAppTitle, MessageIcon::None}};
}

} // namespace

// Collects the file's bytes line by line. Every value the author typed passes through `value()`, which
// refuses what the file could not give back: a line break, a NUL, or a character the file's encoding
// cannot hold.
class MenuFileBuilder
{
public:
    explicit MenuFileBuilder(TextEncoding encoding) : m_encoding(encoding) { m_bytes.reserve(64 * 1024); }

    MenuFileBuilder& text(const char* ascii)
    {
        m_bytes.append(ascii);
        return *this;
    }
    MenuFileBuilder& number(qint64 n)
    {
        char buffer[24];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
        m_bytes.append(buffer, size_t(r.ptr - buffer));
        return *this;
    }
    // `where` names the value for the author when it cannot be written; it is only built then.
    template <typename Where> MenuFileBuilder& value(const QString& v, Where where)
    {
        if (m_inHead) {
            // The reader finds the menu part and the File lines by these markers wherever they stand:
            // a head value holding one would make the saved file read back differently.
            for (const char* marker : {"[PAGE=", "[LANGUAGES]", "[SUBTITLES]"}) {
                if (v.contains(QLatin1String(marker), Qt::CaseInsensitive))
                    stop(QStringLiteral("The %1 holds the text \"%2\", which marks a part of the menu file: "
                                        "the file would not read back as it was saved. Nothing was saved.")
                             .arg(where(), QLatin1String(marker)));
            }
        }
        if (!append(v)) {
            // A NUL ends a text where the player reads it, and makes the whole file binary data that
            // this program never takes for a menu, nor saves over.
            if (v.contains(QChar(u'\0')))
                stop(QStringLiteral("The %1 holds a NUL character, which a menu file cannot store. Nothing was saved.")
                         .arg(where()));
            if (v.contains(QLatin1Char('\n')) || v.contains(QLatin1Char('\r')))
                stop(QStringLiteral("The %1 holds a line break, which a menu file cannot store. Nothing was saved.")
                         .arg(where()));
            const qsizetype bad = firstUnencodable(v, m_encoding);
            stop(QStringLiteral("The %1 holds the character \"%2\", which the file's encoding (%3) cannot "
                                "store. Nothing was saved.")
                     .arg(where(), v.mid(bad, 1), encodingName(m_encoding)));
        }
        return *this;
    }
    MenuFileBuilder& value(const QString& v, const char* where)
    {
        return value(v, [where] { return QString::fromLatin1(where); });
    }
    void end() { m_bytes.append("\r\n", 2); }
    void line(const char* ascii)
    {
        text(ascii);
        end();
    }

    QByteArray take() const { return QByteArray(m_bytes.data(), qsizetype(m_bytes.size())); }
    void setInHead(bool inHead) { m_inHead = inHead; }

private:
    // Appends the value's bytes; false, with nothing appended, when it holds a line break or a
    // character the encoding cannot hold. Plain ASCII, nearly every value, is copied straight.
    bool append(const QString& v)
    {
        const size_t start = m_bytes.size();
        for (const QChar qc : v) {
            const char16_t c = qc.unicode();
            if (c == u'\r' || c == u'\n' || c == u'\0') {
                m_bytes.resize(start);
                return false;
            }
            if (c < 0x80) {
                m_bytes.push_back(char(c));
                continue;
            }
            // Anything else goes through the encoder with the rest of the value.
            m_bytes.resize(start);
            QByteArray encoded;
            if (!appendEncoded(encoded, v, m_encoding) || v.contains(QLatin1Char('\n')) ||
                v.contains(QLatin1Char('\r')) || v.contains(QChar(u'\0')))
                return false;
            m_bytes.append(encoded.constData(), size_t(encoded.size()));
            return true;
        }
        return true;
    }

    std::string m_bytes;
    TextEncoding m_encoding;
    bool m_inHead = false;
};

void WriteKeyIfSet(MenuFileBuilder& lines, const char* key, const QString& value)
{
    if (value.isEmpty())
        return;
    lines.text(key).text("=").value(value, [key] { return QStringLiteral("value of %1").arg(QLatin1String(key)); });
    lines.end();
}

namespace {

void keyAlways(MenuFileBuilder& out, const char* key, const QString& value)
{
    out.text(key).text("=").value(value, [key] { return QStringLiteral("value of %1").arg(QLatin1String(key)); });
    out.end();
}

void writeHead(MenuFileBuilder& out, const MovieData& md)
{
    out.line("[Vireo Ini File]");
    out.end();
    out.line("[MAIN]");
    keyAlways(out, "Title", md.title);
    keyAlways(out, "ID", md.id);
    WriteKeyIfSet(out, "CDNumber", md.cdNumber);
    WriteKeyIfSet(out, "Delay", md.delay);
    out.end();
    out.line("[MOVIE]");
    keyAlways(out, "Directory", md.movieDirectory);
    if (md.aviName.isEmpty())
        stop(QStringLiteral("You must have at least 1 video file in your movie."));
    keyAlways(out, "AVIName", md.aviName);
    WriteKeyIfSet(out, "AVI2Name", md.avi2Name);
    WriteKeyIfSet(out, "AVI3Name", md.avi3Name);
    WriteKeyIfSet(out, "CD1Frames", md.cd1Frames);
    WriteKeyIfSet(out, "CD2Frames", md.cd2Frames);
    WriteKeyIfSet(out, "CD3Frames", md.cd3Frames);
    out.end();

    // Entries are numbered by their position: the reader stops at the first missing number, so a
    // gap would lose every entry after it.
    if (!md.chapters.empty()) {
        out.line("[CHAPTERS]");
        int n = 0;
        for (const auto& c : md.chapters) {
            ++n;
            auto where = [n] { return QStringLiteral("chapter %1").arg(n); };
            out.number(n).text("=").value(c->firstFrame, where).text(" ").value(c->name, where);
            out.end();
        }
        out.end();
    }
    if (!md.specials.empty()) {
        out.line("[SPECIALS]");
        keyAlways(out, "CD", md.specialsCD);
        int n = 0;
        for (const auto& s : md.specials) {
            ++n;
            auto where = [n] { return QStringLiteral("special feature %1").arg(n); };
            out.number(n).text("=").value(s->file, where).text(" ").value(s->title, where);
            out.end();
        }
        out.end();
    }
    if (!md.languages.empty()) {
        out.line("[LANGUAGES]");
        keyAlways(out, "Directory", md.languageDirectory);
        if (md.multipleAudioAVI)
            out.line("MultipleAudioAVI=1");
        int n = 0;
        for (const auto& l : md.languages) {
            auto where = [n] { return QStringLiteral("language %1").arg(n); };
            if (n == 0) {
                out.text("Primary=").value(l->shortName, where).text(" ").value(l->fullName, where);
                out.end();
            } else {
                out.number(n).text("=").value(l->shortName, where).text(" ").value(l->fullName, where);
                out.end();
                out.text("File=").value(l->files, where);
                out.end();
            }
            ++n;
        }
        out.end();
    }
    if (!md.subtitles.empty()) {
        out.line("[SUBTITLES]");
        keyAlways(out, "Directory", md.subtitlesDirectory);
        WriteKeyIfSet(out, "DialogString", md.dialogString);
        WriteKeyIfSet(out, "Lines", md.lines);
        WriteKeyIfSet(out, "MaxDisplayDuration", md.maxDisplayDuration);
        if (md.estimateDisplayDuration)
            out.line("EstimateDisplayDuration=1");
        int n = 0;
        for (const auto& s : md.subtitles) {
            ++n;
            auto where = [n] { return QStringLiteral("subtitle %1").arg(n); };
            out.number(n).text("=").value(s->shortName, where).text(" ").value(s->fullName, where);
            out.end();
            out.text("File=").value(s->file, where);
            out.end();
            WriteKeyIfSet(out, "Format", s->format);
            WriteKeyIfSet(out, "OpenBracket", s->openBracket);
            WriteKeyIfSet(out, "CloseBracket", s->closeBracket);
            WriteKeyIfSet(out, "LineSeparator", s->lineSeparator);
            WriteKeyIfSet(out, "Offset", s->offset);
            WriteKeyIfSet(out, "Multiplier", s->multiplier);
        }
        out.end();
    }
    if (!md.menuDirectory.isEmpty()) {
        out.line("[MENU]");
        keyAlways(out, "Directory", md.menuDirectory);
        WriteKeyIfSet(out, "AVIName", md.menuAVIName);
        WriteKeyIfSet(out, "AudioName", md.menuAudioName);
        WriteKeyIfSet(out, "Size", md.menuSize);
        if (md.startPage.isEmpty())
            stop(QStringLiteral("You must set the menu 'start page'."));
        keyAlways(out, "StartPage", md.startPage);
        if (md.menuPage.isEmpty())
            stop(QStringLiteral("You must set the menu 'menu page'."));
        keyAlways(out, "MenuPage", md.menuPage);
        WriteKeyIfSet(out, "ChaptersPage", md.chaptersPage);
        WriteKeyIfSet(out, "SpecialsPage", md.specialsPage);
        out.end();
    }
}

// A jump whose parameter begins with a sign is read as relative to its page: "+1" and "-1" come back
// as the relative jumps to the next and previous page, any other signed number as a page counted from
// this one. Written as it stands, such a parameter would come back as another page, and move again at
// every open and save.
bool signedJumpChangesOnReading(const MenuAction& action)
{
    const QString& p = action.parameter;
    return actionFileCode(action.type) == ActJumpToPage &&
           (p.startsWith(QLatin1Char('+')) || p.startsWith(QLatin1Char('-'))) && p != QLatin1String("+1") &&
           p != QLatin1String("-1");
}

QString signedJumpText(const MenuAction& action)
{
    return QStringLiteral("the jump parameter \"%1\" begins with a sign, so the menu file would read it as a "
                          "page counted from this one; only \"+1\" and \"-1\" (the next and previous page) can be "
                          "written so. Give the page number without a sign. Nothing was saved.")
        .arg(action.parameter);
}

void writePage(MenuFileBuilder& out, const Page& page)
{
    auto pageWhere = [&page] { return QStringLiteral("name of page %1").arg(page.number); };
    out.text("[PAGE=").number(page.number).text("]\t\t;").value(page.name, pageWhere);
    out.end();
    out.line(page.backgroundIsVideo ? "\tBackgroundMode=1" : "\tBackgroundMode=2");
    auto field = [&page](const char* what) {
        return [&page, what] {
            return QStringLiteral("%1 of page %2 (%3)").arg(QLatin1String(what), QString::number(page.number), page.name);
        };
    };
    if (!page.backgroundIsVideo) {
        out.text("\tPictureFile=").value(page.pictureFile, field("picture file"));
        out.end();
        out.text("\tPictureDuration=").number(page.pictureDuration);
        out.end();
    } else {
        out.line(page.videoLoop ? "\tVideoLoop=1" : "\tVideoLoop=0");
        out.text("\tVideoRange=").number(page.firstFrame).text("-").number(page.lastFrame);
        out.end();
        if (page.actionAtEnd) {
            if (signedJumpChangesOnReading(*page.actionAtEnd))
                stop(QStringLiteral("Page %1 (%2), action at end: %3")
                         .arg(QString::number(page.number), page.name, signedJumpText(*page.actionAtEnd)));
            out.text("\tActionAtEnd=")
                .number(actionFileCode(page.actionAtEnd->type))
                .text("#")
                .value(page.actionAtEnd->parameter, field("action at end"));
            out.end();
        }
        if (page.jumpAtEnd != 0) {
            out.text("\tJumpAtEnd=").number(page.jumpAtEnd);
            out.end();
        }
    }
    out.line(page.selectionAvailable ? "\tSelectionAvailable=1" : "\tSelectionAvailable=0");
    if (page.selectionAvailable) {
        const bool valid = page.defaultSelection >= 1 && size_t(page.defaultSelection) <= page.selections.size();
        out.text("\tDefaultSelection=").number(valid ? page.defaultSelection : -1);
        out.end();
        if (page.prohibitSelectionBefore != 0) {
            out.text("\tProhibitSelectionBefore=").number(page.prohibitSelectionBefore);
            out.end();
        }
        if (page.prohibitSelectionAfter != 0) {
            out.text("\tProhibitSelectionAfter=").number(page.prohibitSelectionAfter);
            out.end();
        }
        if (page.columnOrdering)
            out.line("\tSelectionOrdering=2");
    }
    int n = 0;
    for (const auto& sel : page.selections) {
        ++n;
        auto selField = [&page, &sel, n](const char* what) {
            return [&page, &sel, n, what] {
                return QStringLiteral("%1 of selection %2 (%3) on page %4 (%5)")
                    .arg(QLatin1String(what), QString::number(n), sel->name, QString::number(page.number),
                         page.name);
            };
        };
        out.text("\t[SELECTION=").number(n).text("]\t\t;").value(sel->name, selField("name"));
        out.end();
        out.text("\t\tArea=").value(sel->area, selField("area"));
        out.end();
        out.text("\t\tAction=");
        for (size_t i = 0; i < sel->actions.size(); ++i) {
            if (i > 0)
                out.text("#");
            out.number(actionFileCode(sel->actions[i]->type));
        }
        out.end();
        out.text("\t\tParameter=");
        for (size_t i = 0; i < sel->actions.size(); ++i) {
            const MenuAction& a = *sel->actions[i];
            // "#" separates the fields: a parameter holding one would shift every parameter after it.
            if (a.parameter.contains(QLatin1Char('#')))
                stop(QStringLiteral("Page %1 (%2), selection %3 (%4): the parameter \"%5\" of action %6 (%7) "
                                    "holds \"#\", which separates the actions in a menu file. Nothing was saved.")
                         .arg(QString::number(page.number), page.name, QString::number(n), sel->name, a.parameter,
                              QString::number(i + 1), actionDisplayName(a.type)));
            if (signedJumpChangesOnReading(a))
                stop(QStringLiteral("Page %1 (%2), selection %3 (%4), action %5: %6")
                         .arg(QString::number(page.number), page.name, QString::number(n), sel->name,
                              QString::number(i + 1), signedJumpText(a)));
            if (i > 0)
                out.text("#");
            out.value(a.parameter, selField("action parameter"));
        }
        out.end();
    }
    out.end();
}

} // namespace

std::optional<QByteArray> BuildMenuFile(const MenuProject& project, const MessageSink& sink)
{
    MenuFileBuilder out(project.encoding);
    if (project.byteOrderMark && project.encoding == TextEncoding::Utf8)
        out.text("\xEF\xBB\xBF");
    try {
        out.setInHead(true);
        writeHead(out, project.movieData);
        out.setInHead(false);
        for (const auto& page : project.pages)
            writePage(out, *page);
    } catch (const SaveStopped& s) {
        if (sink)
            sink(s.message);
        return std::nullopt;
    }
    return out.take();
}

SaveResult SaveProjectFile(const MenuProject& project, const QString& path, const MessageSink& sink)
{
    const std::optional<QByteArray> bytes = BuildMenuFile(project, sink);
    if (!bytes)
        return {SaveOutcome::Refused};
    const FileWriteResult written = writeFileSafely(path, *bytes, ReplaceRule::TextOnly);
    if (!written) {
        const QString text = written.notText.isEmpty()
                                 ? fileWriteFailureText(path, written)
                                 : QStringLiteral("%1 is not a menu file (it looks like %2); choose another name with Save as")
                                       .arg(QFileInfo(path).fileName(), written.notText);
        if (sink)
            sink(Message{text, kCaptionError, MessageIcon::Error});
        return {SaveOutcome::WriteFailed};
    }
    return {SaveOutcome::Saved};
}
