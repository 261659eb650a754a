#include "dvdimport/dvdproject.h"

#include <QLocale>
#include <QRegularExpression>

#include <map>

#include "document/actiontypes.h"
#include "document/areatext.h"
#include "dvdimport/dvdcommands.h"

namespace dvdimport {

QStringList ImportReport::lines() const
{
    QStringList out;
    out << QStringLiteral("Imported: %1.").arg(imported.join(QStringLiteral(", ")));
    for (const QString& line : untranslated)
        out << QStringLiteral("Not translated: %1").arg(line);
    out << notes;
    for (const QString& line : unreachable)
        out << QStringLiteral("Unreachable: %1").arg(line);
    return out;
}

std::pair<QString, QString> languageNames(const QString& code, int number)
{
    const QLocale::Language language =
        code.size() == 2 ? QLocale::codeToLanguage(code, QLocale::ISO639Part1) : QLocale::AnyLanguage;
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return {code.isEmpty() ? QString::number(number) : code, QStringLiteral("Language %1").arg(number)};
    QString shortName = QLocale::languageToCode(language, QLocale::ISO639Part2T);
    if (shortName.isEmpty())
        shortName = code;
    return {shortName, QLocale::languageToString(language)};
}

namespace {

QString typeName(MenuType type)
{
    switch (type) {
    case MenuType::Title: return QStringLiteral("Title");
    case MenuType::Root: return QStringLiteral("Root");
    case MenuType::Subpicture: return QStringLiteral("Subtitle");
    case MenuType::Audio: return QStringLiteral("Audio");
    case MenuType::Angle: return QStringLiteral("Angle");
    case MenuType::Chapter: return QStringLiteral("Chapter");
    default: return QStringLiteral("Menu");
    }
}

QString pageLabel(const Page& page)
{
    return QStringLiteral("page %1) %2").arg(page.number).arg(page.name);
}

// A message the player can show: no "#" (it separates actions) and no line break.
QString messageText(const QString& what)
{
    QString text = QStringLiteral("Not imported from the DVD: ") + what;
    text.replace(QLatin1Char('#'), QLatin1Char(' '));
    text.replace(QRegularExpression(QStringLiteral("[\\r\\n]+")), QStringLiteral(" "));
    return text;
}

class Builder
{
public:
    Builder(const DvdDisc& disc, const std::vector<MenuPlan>& plan, const ProjectNames& names, MenuProject& project,
            ImportReport& report)
        : m_disc(disc), m_plan(plan), m_names(names), m_project(project), m_report(report)
    {
        for (size_t i = 0; i < disc.menus.size(); ++i)
            m_pageOf[{disc.menus[i].titleSet, disc.menus[i].pgc}] = int(i) + 1;
        for (const DvdMenu& m : disc.menus) {
            if (int(m_context.menuTypes.size()) <= m.titleSet)
                m_context.menuTypes.resize(size_t(m.titleSet) + 1);
            std::vector<MenuType>& types = m_context.menuTypes[size_t(m.titleSet)];
            if (int(types.size()) < m.pgc)
                types.resize(size_t(m.pgc), MenuType::None);
            types[size_t(m.pgc - 1)] = m.type;
        }
        for (const DvdTitle& t : disc.titles)
            m_context.titles.emplace_back(t.titleSet, t.titleInSet);
    }

    void run()
    {
        m_project.reset();
        movieData();
        std::map<MenuType, int> counts;
        int menus = 0;
        int buttons = 0;
        for (size_t i = 0; i < m_disc.menus.size(); ++i) {
            const DvdMenu& menu = m_disc.menus[i];
            const int n = ++counts[menu.type];
            auto page = std::make_unique<Page>(int(i) + 1, QStringLiteral("%1 %2").arg(typeName(menu.type)).arg(n));
            fillPage(menu, i < m_plan.size() ? m_plan[i] : MenuPlan{}, *page);
            buttons += int(page->selections.size());
            m_project.pages.push_back(std::move(page));
            ++menus;
        }
        startPages();
        m_report.imported.prepend(QStringLiteral("%1 pages with %2 buttons").arg(menus).arg(buttons));
    }

private:
    CommandContext contextOf(const DvdMenu& menu) const
    {
        CommandContext c = m_context;
        c.titleSet = menu.titleSet;
        c.pgc = menu.pgc;
        c.nextPgc = menu.nextPgc;
        c.previousPgc = menu.previousPgc;
        c.upPgc = menu.upPgc;
        c.registers = fixedRegisters(menu.preCommands);
        return c;
    }

    // The actions of the effects; what cannot be an action goes to `untranslated`.
    std::vector<MenuAction> actions(const CommandTranslation& t, QString& untranslated) const
    {
        std::vector<MenuAction> out;
        untranslated = t.untranslated;
        auto also = [&](const QString& what) {
            if (!untranslated.isEmpty())
                untranslated += QStringLiteral(", ");
            untranslated += what;
        };
        for (const CommandEffect& e : t.effects) {
            switch (e.kind) {
            case CommandEffect::Kind::JumpMenu: {
                const auto it = m_pageOf.find({e.titleSet, e.pgc});
                if (it == m_pageOf.end())
                    also(QStringLiteral("a jump to a menu that could not be read"));
                else
                    out.emplace_back(ActJumpToPage, QString::number(it->second));
                break;
            }
            case CommandEffect::Kind::PlayTitle:
                if (e.title != m_disc.mainTitle)
                    also(QStringLiteral("a jump to title %1, which is not the movie").arg(e.title));
                else if (e.part == 0)
                    out.emplace_back(ActPlayMovie, QString());
                else if (e.part > int(m_disc.chapterFrames.size()))
                    also(QStringLiteral("a jump to chapter %1, which the movie does not have").arg(e.part));
                else
                    out.emplace_back(ActPlayFromChapter, QString::number(e.part));
                break;
            case CommandEffect::Kind::Resume:
                out.emplace_back(ActReturnToMovie, QString());
                break;
            case CommandEffect::Kind::Audio:
                if (e.stream < int(m_disc.audioLanguages.size()))
                    out.emplace_back(ActChangeLanguage, QString::number(e.stream));
                else
                    also(QStringLiteral("audio stream %1, which the movie does not have").arg(e.stream + 1));
                break;
            case CommandEffect::Kind::Subpicture:
                if (e.stream < 0)
                    out.emplace_back(ActChangeSubtitle, QStringLiteral("0"));
                else if (e.stream < int(m_disc.subtitleLanguages.size()))
                    out.emplace_back(ActChangeSubtitle, QString::number(e.stream + 1));
                else
                    also(QStringLiteral("subpicture stream %1, which the movie does not have").arg(e.stream + 1));
                break;
            }
        }
        return out;
    }

    QString areaOf(const DvdMenu& menu, const QRect& r) const
    {
        // The highlight counts in the full picture of the video standard; a menu of half or quarter
        // width has its buttons scaled to its own pixels.
        const int fullHeight = menu.pal ? 576 : 480;
        const QSize size = menu.pictureSize.isValid() ? menu.pictureSize : QSize(720, fullHeight);
        auto sx = [&](int x) { return int((qint64(x) * size.width() + 360) / 720); };
        auto sy = [&](int y) { return int((qint64(y) * size.height() + fullHeight / 2) / fullHeight); };
        return formatArea(sx(r.left()), sy(r.top()), sx(r.right() + 1), sy(r.bottom() + 1));
    }

    void fillPage(const DvdMenu& menu, const MenuPlan& plan, Page& page)
    {
        page.backgroundIsVideo = !plan.still;
        if (plan.still) {
            page.pictureFile = plan.pictureFile;
        } else {
            page.firstFrame = plan.firstFrame;
            page.lastFrame = plan.lastFrame;
        }
        const CommandContext context = contextOf(menu);
        for (size_t b = 0; b < menu.buttons.size(); ++b) {
            auto selection = std::make_unique<Selection>(QStringLiteral("Button %1").arg(b + 1),
                                                         areaOf(menu, menu.buttons[b].rect));
            QString untranslated;
            const std::vector<MenuAction> acts = actions(translateCommand(menu.buttons[b].command, context), untranslated);
            for (const MenuAction& a : acts)
                selection->addAction(a.type, a.parameter);
            if (!untranslated.isEmpty()) {
                m_report.untranslated << QStringLiteral("%1, button %2 (%3): %4")
                                             .arg(pageLabel(page))
                                             .arg(b + 1)
                                             .arg(commandText(menu.buttons[b].command), untranslated);
                if (acts.empty())
                    selection->addAction(ActMessageBox, messageText(untranslated));
            } else if (acts.empty()) {
                m_report.untranslated << QStringLiteral("%1, button %2 (%3): does nothing")
                                             .arg(pageLabel(page))
                                             .arg(b + 1)
                                             .arg(commandText(menu.buttons[b].command));
            }
            page.addSelection(std::move(selection));
        }
        page.selectionAvailable = !page.selections.empty();
        const int count = int(page.selections.size());
        int lit = menu.forcedButton;
        if (lit < 1 || lit > count)
            lit = buttonSetByCommands(menu.preCommands);
        if (lit < 1 || lit > count)
            lit = count > 0 ? 1 : 0; // a DVD lights its first button when nothing else is said
        page.defaultSelection = lit;
        endOfPage(menu, plan, page, context);
    }

    void endOfPage(const DvdMenu& menu, const MenuPlan& plan, Page& page, const CommandContext& context)
    {
        // A still time without end keeps the last picture: the page stays until a button is pressed.
        int still = menu.stillTime;
        if (!menu.cells.empty() && menu.cells.back().stillTime != 0)
            still = menu.cells.back().stillTime;
        if (plan.still)
            page.pictureDuration = still == 255 ? 0 : still;
        if (still == 255)
            return;
        // The first post-command that does something decides.
        for (const Command& c : menu.postCommands) {
            const CommandTranslation t = translateCommand(c, context);
            if (t.effects.empty() && t.untranslated.isEmpty())
                continue;
            QString untranslated;
            const std::vector<MenuAction> acts = actions(t, untranslated);
            const bool self = acts.size() == 1 && acts[0].type == ActJumpToPage && acts[0].parameter.toInt() == page.number;
            if (self && !plan.still) {
                page.videoLoop = true;
            } else if (self) {
                // A still page that shows itself again just stays.
            } else if (acts.size() == 1 && acts[0].type == ActJumpToPage) {
                page.jumpAtEnd = acts[0].parameter.toInt();
            } else if (!acts.empty()) {
                page.actionAtEnd = std::make_unique<MenuAction>(acts[0].type, acts[0].parameter);
            }
            if (!untranslated.isEmpty())
                m_report.untranslated << QStringLiteral("%1, at its end (%2): %3")
                                             .arg(pageLabel(page), commandText(c), untranslated);
            return;
        }
    }

    void movieData()
    {
        MovieData& md = m_project.movieData;
        md.title = m_disc.volume;
        QString id = m_disc.volume;
        id.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
        md.id = id.isEmpty() ? QStringLiteral("DVD") : id;
        // The player needs a movie file; the disc's own stands in until the author names the one to play.
        if (m_disc.mainTitle > 0) {
            const int set = m_disc.titles[size_t(m_disc.mainTitle - 1)].titleSet;
            md.movieDirectory = m_names.movieDirectory;
            md.aviName = QStringLiteral("VTS_%1_1.VOB").arg(set, 2, 10, QLatin1Char('0'));
            m_report.notes << QStringLiteral("The movie file is set to the disc's %1 in %2: name the movie "
                                             "file the player will play in the movie data.")
                                  .arg(md.aviName, md.movieDirectory);
        }
        for (size_t c = 0; c < m_disc.chapterFrames.size(); ++c) {
            auto chapter = std::make_unique<Chapter>();
            chapter->number = QString::number(c + 1);
            chapter->firstFrame = QString::number(m_disc.chapterFrames[c]);
            chapter->name = QStringLiteral("Chapter %1").arg(c + 1);
            md.chapters.push_back(std::move(chapter));
        }
        for (size_t a = 0; a < m_disc.audioLanguages.size(); ++a) {
            auto language = std::make_unique<AudioLanguage>();
            language->number = QString::number(a);
            std::tie(language->shortName, language->fullName) = languageNames(m_disc.audioLanguages[a], int(a));
            md.languages.push_back(std::move(language));
        }
        // The movie file holds all the disc's audio streams.
        md.multipleAudioAVI = md.languages.size() > 1;
        for (size_t s = 0; s < m_disc.subtitleLanguages.size(); ++s) {
            auto track = std::make_unique<SubtitleTrack>();
            track->number = QString::number(s + 1);
            std::tie(track->shortName, track->fullName) = languageNames(m_disc.subtitleLanguages[s], int(s + 1));
            md.subtitles.push_back(std::move(track));
        }
        if (!m_disc.subtitleLanguages.empty())
            m_report.notes << QStringLiteral("The subtitles' files are left empty: a DVD's subtitles are pictures, "
                                             "the player reads text files.");
        // Without pages there is no menu section: its start and menu pages would name nothing.
        md.menuDirectory = m_disc.menus.empty() ? QString() : m_names.menuDirectory;
        md.menuAVIName = m_names.menuVideo;
        for (const DvdMenu& m : m_disc.menus) {
            if (m.pictureSize.isValid()) {
                md.menuSize = QStringLiteral("%1,%2").arg(m.pictureSize.width()).arg(m.pictureSize.height());
                break;
            }
        }
        m_report.imported << QStringLiteral("%1 chapters").arg(m_disc.chapterFrames.size())
                          << QStringLiteral("%1 audio languages").arg(m_disc.audioLanguages.size())
                          << QStringLiteral("%1 subtitles").arg(m_disc.subtitleLanguages.size());
    }

    int firstOfType(MenuType type) const
    {
        for (size_t i = 0; i < m_disc.menus.size(); ++i) {
            if (m_disc.menus[i].type == type)
                return int(i) + 1;
        }
        return 0;
    }

    void startPages()
    {
        MovieData& md = m_project.movieData;
        if (m_project.pages.empty())
            return;
        int start = 0;
        if (m_disc.hasFirstPlay) {
            CommandContext c = m_context;
            c.titleSet = 0;
            QString untranslated;
            const std::vector<MenuAction> acts = actions(translateCommand(m_disc.firstPlay, c), untranslated);
            for (const MenuAction& a : acts) {
                if (a.type == ActJumpToPage)
                    start = a.parameter.toInt();
            }
        }
        const int root = firstOfType(MenuType::Root);
        const int menu = root ? root : 1;
        md.startPage = QString::number(start ? start : menu);
        md.menuPage = QString::number(menu);
        if (const int chapters = firstOfType(MenuType::Chapter))
            md.chaptersPage = QString::number(chapters);
    }

    const DvdDisc& m_disc;
    const std::vector<MenuPlan>& m_plan;
    const ProjectNames& m_names;
    MenuProject& m_project;
    ImportReport& m_report;
    CommandContext m_context;
    std::map<std::pair<int, int>, int> m_pageOf; // (title set, pgc) -> page number
};

} // namespace

std::vector<MenuPlan> planMenus(const DvdDisc& disc, const std::vector<int>& frames, const QString& prefix)
{
    std::vector<MenuPlan> plan(disc.menus.size());
    int next = 0;
    for (size_t i = 0; i < disc.menus.size(); ++i) {
        const int count = i < frames.size() ? frames[i] : 0;
        plan[i].still = count <= 1;
        if (plan[i].still) {
            plan[i].pictureFile = QStringLiteral("%1-%2.jpg").arg(prefix).arg(i + 1, 2, 10, QLatin1Char('0'));
        } else {
            plan[i].firstFrame = next;
            plan[i].lastFrame = next + count - 1;
            next += count;
        }
    }
    return plan;
}

void buildProject(const DvdDisc& disc, const std::vector<MenuPlan>& plan, const ProjectNames& names,
                  MenuProject& project, ImportReport& report)
{
    Builder(disc, plan, names, project, report).run();
}

} // namespace dvdimport
