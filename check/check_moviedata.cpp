// The movie data: required values, the pages the menu keys name, the chapters, the files on the disk
// and the texts of the head.
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

#include "check/checker.h"
#include "document/menulinks.h"
#include "core/paths.h"

namespace check_detail {

namespace {

QString field(const char* section, const char* key)
{
    return QLatin1String(section) + QLatin1Char('/') + QLatin1String(key);
}

bool unset(const QString& value)
{
    return value.trimmed().isEmpty();
}

} // namespace

QString Checker::fieldLabel(const QString& field)
{
    const qsizetype slash = field.indexOf(QLatin1Char('/'));
    const QString section = field.left(slash);
    const QString key = field.mid(slash + 1);
    bool numbered = false;
    key.toInt(&numbered);
    if (numbered || key == QLatin1String("Primary")) {
        if (section == QLatin1String("CHAPTERS"))
            return QStringLiteral("Movie data, chapter %1").arg(key);
        if (section == QLatin1String("SPECIALS"))
            return QStringLiteral("Movie data, special feature %1").arg(key);
        if (section == QLatin1String("LANGUAGES"))
            return numbered ? QStringLiteral("Movie data, language %1").arg(key)
                            : QStringLiteral("Movie data, the primary language");
        if (section == QLatin1String("SUBTITLES"))
            return QStringLiteral("Movie data, subtitle %1").arg(key);
    }
    return QStringLiteral("Movie data, [%1] %2").arg(section, key);
}

void Checker::checkMovieData()
{
    const MovieData& md = m_project.movieData;
    auto required = [&](const char* section, const char* key, const QString& value, const QString& why) {
        if (unset(value)) {
            const QString f = field(section, key);
            add(Severity::Error, "required-field-empty", QStringLiteral("%1: is empty; %2.").arg(fieldLabel(f), why),
                ProblemLocation{-1, -1, -1, f});
        }
    };
    required("MAIN", "Title", md.title, QStringLiteral("the player shows the movie's title"));
    required("MAIN", "ID", md.id, QStringLiteral("the player knows the movie by it"));
    required("MOVIE", "Directory", md.movieDirectory, QStringLiteral("the player finds the movie files there"));
    required("MOVIE", "AVIName", md.aviName, QStringLiteral("the movie needs at least its first file"));
    if (!m_project.pages.empty())
        required("MENU", "Directory", md.menuDirectory,
                 QStringLiteral("without it the file has no [MENU] section and the player shows none of the pages"));
    // Any menu directory, even blanks, makes a [MENU] section, which needs its two pages.
    if (!md.menuDirectory.isEmpty()) {
        required("MENU", "StartPage", md.startPage, QStringLiteral("the player needs the page it shows first"));
        required("MENU", "MenuPage", md.menuPage, QStringLiteral("the player needs the page it returns to"));
        const bool videoPages = std::any_of(m_project.pages.begin(), m_project.pages.end(),
                                            [](const auto& p) { return p->backgroundIsVideo; });
        if (videoPages)
            required("MENU", "AVIName", md.menuAVIName, QStringLiteral("video pages play their range of the menu video"));
    }
    checkMenuKeys();
    checkChapters();
    if (!m_context.baseDirectory.isEmpty())
        checkFiles();
    checkMovieDataTexts();
}

void Checker::checkMenuKeys()
{
    const MovieData& md = m_project.movieData;
    const struct
    {
        const char* key;
        const QString* value;
    } keys[] = {{"StartPage", &md.startPage},
                {"MenuPage", &md.menuPage},
                {"ChaptersPage", &md.chaptersPage},
                {"SpecialsPage", &md.specialsPage}};
    for (const auto& k : keys) {
        if (unset(*k.value))
            continue;
        int number = 0;
        if (readPageNumber(*k.value, number) && findPageIndex(m_project, number) >= 0)
            continue;
        const QString f = field("MENU", k.key);
        add(Severity::Error, "menu-page-missing",
            QStringLiteral("%1: \"%2\" names no page of the menu.").arg(fieldLabel(f), *k.value),
            ProblemLocation{-1, -1, -1, f});
    }
}

void Checker::checkChapters()
{
    const MovieData& md = m_project.movieData;
    // The movie's length in frames, when every file of it could be counted.
    qint64 total = -1;
    if (!m_context.baseDirectory.isEmpty() && m_context.countFrames && !unset(md.aviName)) {
        total = 0;
        for (const QString* name : {&md.aviName, &md.avi2Name, &md.avi3Name}) {
            if (unset(*name))
                continue;
            const QString path = paths::resolve(m_context.baseDirectory, md.movieDirectory, name->trimmed());
            const std::optional<qint64> frames =
                QFileInfo(path).isFile() ? m_context.countFrames(path) : std::optional<qint64>();
            if (!frames || *frames <= 0) {
                total = -1;
                break;
            }
            total += *frames;
        }
    }
    qint64 previous = -1;
    int previousNumber = 0;
    for (size_t i = 0; i < md.chapters.size(); ++i) {
        const Chapter& c = *md.chapters[i];
        const QString f = QStringLiteral("CHAPTERS/%1").arg(i + 1);
        qint64 frame = 0;
        if (!readNumber(c.firstFrame, frame) || frame < 0) {
            add(Severity::Error, "chapter-frame-invalid",
                QStringLiteral("%1 (%2): \"%3\" is not a frame number.").arg(fieldLabel(f), c.name, c.firstFrame),
                ProblemLocation{-1, -1, -1, f});
            continue;
        }
        if (previous >= 0 && frame <= previous)
            add(Severity::Error, "chapter-order",
                QStringLiteral("%1 (%2): starts at frame %3, not after chapter %4 (frame %5).")
                    .arg(fieldLabel(f), c.name, QString::number(frame), QString::number(previousNumber),
                         QString::number(previous)),
                ProblemLocation{-1, -1, -1, f});
        if (total >= 0 && frame >= total)
            add(Severity::Error, "chapter-beyond-movie",
                QStringLiteral("%1 (%2): starts at frame %3, but the movie files have %4 frames.")
                    .arg(fieldLabel(f), c.name, QString::number(frame), QString::number(total)),
                ProblemLocation{-1, -1, -1, f});
        previous = frame;
        previousNumber = int(i + 1);
    }
}

bool Checker::fileExists(const QString& f, const QString& directory, const QString& name, bool picture,
                         const ProblemLocation* where, const QString& label)
{
    const QString trimmedName = name.trimmed();
    const QString path = paths::resolve(m_context.baseDirectory, directory, trimmedName);
    const ProblemLocation at = where ? *where : ProblemLocation{-1, -1, -1, f};
    const QString prefix = label.isEmpty() ? fieldLabel(f) : label;
    const QString dir = directory.trimmed();
    const QString shown = dir.isEmpty() || dir == QLatin1String(".") ? trimmedName : dir + QLatin1Char('\\') + trimmedName;
    if (!QFileInfo(path).isFile()) {
        add(Severity::Error, "file-missing",
            QStringLiteral("%1: the file %2 is not in the base directory %3.").arg(prefix, shown, m_context.baseDirectory),
            at);
        return false;
    }
    if (picture && m_context.pictureError) {
        const QString why = m_context.pictureError(path);
        if (!why.isEmpty())
            add(Severity::Error, "picture-undecodable",
                QStringLiteral("%1: the picture %2 cannot be decoded (%3).").arg(prefix, shown, why), at);
    }
    return true;
}

void Checker::checkFiles()
{
    const MovieData& md = m_project.movieData;
    const struct
    {
        const char* key;
        const QString* value;
    } movieFiles[] = {{"AVIName", &md.aviName}, {"AVI2Name", &md.avi2Name}, {"AVI3Name", &md.avi3Name}};
    for (const auto& m : movieFiles)
        if (!unset(*m.value))
            fileExists(field("MOVIE", m.key), md.movieDirectory, *m.value);
    // Special feature videos are looked for in the movie directory.
    for (size_t i = 0; i < md.specials.size(); ++i)
        if (!unset(md.specials[i]->file))
            fileExists(QStringLiteral("SPECIALS/%1").arg(i + 1), md.movieDirectory, md.specials[i]->file);
    // The primary language is the movie's own sound; the others name a file per CD.
    for (size_t i = 1; i < md.languages.size(); ++i) {
        const QStringList files = md.languages[i]->files.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& file : files)
            fileExists(QStringLiteral("LANGUAGES/%1").arg(i), md.languageDirectory, file);
    }
    for (size_t i = 0; i < md.subtitles.size(); ++i)
        if (!unset(md.subtitles[i]->file))
            fileExists(QStringLiteral("SUBTITLES/%1").arg(i + 1), md.subtitlesDirectory, md.subtitles[i]->file);
    if (!unset(md.menuDirectory)) {
        if (!unset(md.menuAVIName))
            fileExists(field("MENU", "AVIName"), md.menuDirectory, md.menuAVIName);
        if (!unset(md.menuAudioName))
            fileExists(field("MENU", "AudioName"), md.menuDirectory, md.menuAudioName);
    }
}

void Checker::checkMovieDataTexts()
{
    const MovieData& md = m_project.movieData;
    auto text = [&](const QString& f, const QString& value) {
        checkText(value, ProblemLocation{-1, -1, -1, f}, fieldLabel(f), false, true);
    };
    const struct
    {
        const char* section;
        const char* key;
        const QString* value;
    } values[] = {
        {"MAIN", "Title", &md.title},
        {"MAIN", "ID", &md.id},
        {"MAIN", "CDNumber", &md.cdNumber},
        {"MAIN", "Delay", &md.delay},
        {"MOVIE", "Directory", &md.movieDirectory},
        {"MOVIE", "AVIName", &md.aviName},
        {"MOVIE", "AVI2Name", &md.avi2Name},
        {"MOVIE", "AVI3Name", &md.avi3Name},
        {"MOVIE", "CD1Frames", &md.cd1Frames},
        {"MOVIE", "CD2Frames", &md.cd2Frames},
        {"MOVIE", "CD3Frames", &md.cd3Frames},
        {"SPECIALS", "CD", &md.specialsCD},
        {"LANGUAGES", "Directory", &md.languageDirectory},
        {"SUBTITLES", "Directory", &md.subtitlesDirectory},
        {"SUBTITLES", "DialogString", &md.dialogString},
        {"SUBTITLES", "Lines", &md.lines},
        {"SUBTITLES", "MaxDisplayDuration", &md.maxDisplayDuration},
        {"MENU", "Directory", &md.menuDirectory},
        {"MENU", "AVIName", &md.menuAVIName},
        {"MENU", "Size", &md.menuSize},
        {"MENU", "AudioName", &md.menuAudioName},
        {"MENU", "StartPage", &md.startPage},
        {"MENU", "MenuPage", &md.menuPage},
        {"MENU", "ChaptersPage", &md.chaptersPage},
        {"MENU", "SpecialsPage", &md.specialsPage},
    };
    for (const auto& v : values)
        text(field(v.section, v.key), *v.value);
    for (size_t i = 0; i < md.chapters.size(); ++i) {
        const QString f = QStringLiteral("CHAPTERS/%1").arg(i + 1);
        text(f, md.chapters[i]->firstFrame);
        text(f, md.chapters[i]->name);
    }
    for (size_t i = 0; i < md.specials.size(); ++i) {
        const QString f = QStringLiteral("SPECIALS/%1").arg(i + 1);
        text(f, md.specials[i]->title);
        text(f, md.specials[i]->file);
    }
    for (size_t i = 0; i < md.languages.size(); ++i) {
        const QString f = i == 0 ? QStringLiteral("LANGUAGES/Primary") : QStringLiteral("LANGUAGES/%1").arg(i);
        const AudioLanguage& l = *md.languages[i];
        for (const QString* v : {&l.shortName, &l.fullName, &l.files})
            text(f, *v);
    }
    for (size_t i = 0; i < md.subtitles.size(); ++i) {
        const QString f = QStringLiteral("SUBTITLES/%1").arg(i + 1);
        const SubtitleTrack& t = *md.subtitles[i];
        for (const QString* v : {&t.shortName, &t.fullName, &t.file, &t.format, &t.openBracket, &t.closeBracket,
                                 &t.lineSeparator, &t.offset, &t.multiplier})
            text(f, *v);
    }
}

void Checker::checkText(const QString& value, const ProblemLocation& where, const QString& label, bool hashSeparates,
                        bool inHead)
{
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        add(Severity::Error, "text-line-break",
            QStringLiteral("%1: holds a line break, which a menu file cannot store.").arg(label), where);
        return;
    }
    if (hashSeparates && value.contains(QLatin1Char('#')))
        add(Severity::Error, "text-hash",
            QStringLiteral("%1: holds \"#\", which separates the actions' parameters in a menu file.").arg(label), where);
    const qsizetype bad = firstUnencodable(value, m_project.encoding);
    if (bad >= 0)
        add(Severity::Error, "text-unencodable",
            QStringLiteral("%1: holds the character \"%2\", which the file's encoding (%3) cannot store.")
                .arg(label, value.mid(bad, 1), encodingName(m_project.encoding)),
            where);
    if (inHead) {
        // The reader finds the menu part and the File lines by these markers wherever they stand.
        for (const char* marker : {"[PAGE=", "[LANGUAGES]", "[SUBTITLES]"}) {
            if (value.contains(QLatin1String(marker), Qt::CaseInsensitive)) {
                add(Severity::Error, "text-marker",
                    QStringLiteral("%1: holds the text \"%2\", which marks a part of the menu file.")
                        .arg(label, QLatin1String(marker)),
                    where);
                break;
            }
        }
    }
}

} // namespace check_detail
