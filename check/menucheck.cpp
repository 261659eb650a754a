#include "check/menucheck.h"

#include <QStringBuilder>
#include <QStringList>

#include <algorithm>
#include <climits>
#include <deque>

#include "check/checker.h"
#include "document/areatext.h"
#include "document/actiontypes.h"
#include "document/menulinks.h"

namespace check_detail {

namespace {

constexpr int kHighestPageNumber = 500; // the highest page number the player accepts

} // namespace

bool readNumber(const QString& text, qint64& value)
{
    bool ok = false;
    value = text.trimmed().toLongLong(&ok, 10);
    return ok;
}

Checker::Checker(const MenuProject& project, const CheckContext& context, std::vector<Problem>& out)
    : m_project(project), m_context(context), m_out(out), m_links(project)
{
    m_picture = context.pictureSize;
    if (m_picture.isEmpty()) {
        const QStringList wh = project.movieData.menuSize.split(QLatin1Char(','));
        qint64 w = 0, h = 0;
        if (wh.size() == 2 && readNumber(wh[0], w) && readNumber(wh[1], h) && w > 0 && h > 0 && w <= INT_MAX &&
            h <= INT_MAX)
            m_picture = QSize(int(w), int(h));
        else
            m_picture = QSize();
    }
}

void Checker::run()
{
    checkMovieData();
    findReachablePages();
    for (int i = 0; i < int(m_project.pages.size()); ++i)
        checkPage(i);
}

void Checker::add(Severity severity, const char* code, const QString& text, ProblemLocation where)
{
    // One shared text per code: the codes are literals, so their address names them.
    QString& shared = m_codes[code];
    if (shared.isNull())
        shared = QString::fromLatin1(code);
    m_out.push_back(Problem{severity, shared, text, std::move(where)});
}

// The labels are appended into one text each: a menu with thousands of problems spends most of its
// check time making their sentences.
namespace {

void appendNumber(QString& out, qint64 n)
{
    char16_t digits[24];
    int i = 24;
    const bool negative = n < 0;
    quint64 v = negative ? quint64(0) - quint64(n) : quint64(n);
    do {
        digits[--i] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        digits[--i] = u'-';
    out.append(QStringView(digits + i, 24 - i));
}

} // namespace

void Checker::appendPageLabel(QString& out, int pageIndex) const
{
    const Page& p = *m_project.pages[size_t(pageIndex)];
    out += u"Page ";
    appendNumber(out, p.number);
    out += u") ";
    out += p.name;
}

void Checker::appendSelectionLabel(QString& out, int pageIndex, int selectionIndex) const
{
    appendPageLabel(out, pageIndex);
    out += u", selection ";
    appendNumber(out, selectionIndex + 1);
    out += u" (";
    out += m_project.pages[size_t(pageIndex)]->selections[size_t(selectionIndex)]->name;
    out += u')';
}

void Checker::appendActionLabel(QString& out, int pageIndex, int selectionIndex, int actionIndex) const
{
    const Page& p = *m_project.pages[size_t(pageIndex)];
    const MenuAction& a = selectionIndex < 0 ? *p.actionAtEnd
                                             : *p.selections[size_t(selectionIndex)]->actions[size_t(actionIndex)];
    if (selectionIndex < 0) {
        appendPageLabel(out, pageIndex);
        out += u", action at end (";
    } else {
        appendSelectionLabel(out, pageIndex, selectionIndex);
        out += u", action ";
        appendNumber(out, actionIndex + 1);
        out += u" (";
    }
    if (a.type >= 1 && a.type <= kActionTypeCount) {
        QString& name = m_actionNames[size_t(a.type - 1)];
        if (name.isNull())
            name = actionDisplayName(a.type);
        out += name;
    }
    out += u')';
}

QString Checker::pageLabel(int pageIndex) const
{
    QString out;
    out.reserve(48);
    appendPageLabel(out, pageIndex);
    return out;
}

QString Checker::selectionLabel(int pageIndex, int selectionIndex) const
{
    QString out;
    out.reserve(80);
    appendSelectionLabel(out, pageIndex, selectionIndex);
    return out;
}

QString Checker::actionLabel(int pageIndex, int selectionIndex, int actionIndex) const
{
    QString out;
    out.reserve(160);
    appendActionLabel(out, pageIndex, selectionIndex, actionIndex);
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Reachability: the ways into the menu (the start page, the page the player returns to, and the
// chapter and special feature pages the player offers itself), then every link a viewer can follow.

Link LinkWalker::followJump(int pageIndex, const MenuAction& action)
{
    int number = 0;
    if (action.type != ActJumpToPage || action.parameter == QLatin1String("+1") ||
        action.parameter == QLatin1String("-1") || !readPageNumber(action.parameter, number))
        return resolveJump(m_project, pageIndex, action);
    const auto known = m_jumps.find(number);
    if (known != m_jumps.end())
        return known->second;
    const Link link = resolveJump(m_project, pageIndex, action);
    m_jumps.emplace(number, link);
    return link;
}

// The pages a viewer can get to, by the rules the player model plays by (see LinkWalker).
void Checker::findReachablePages()
{
    const int count = int(m_project.pages.size());
    std::deque<int> queue;
    std::vector<bool> seen(size_t(count), false);
    for (const int index : menuEntryPages(m_project)) {
        seen[size_t(index)] = true;
        queue.push_back(index);
    }
    if (queue.empty())
        return; // without a way in, the missing start page is the problem, not every page
    while (!queue.empty()) {
        const int from = queue.front();
        queue.pop_front();
        m_links.walk(from, [&](const FollowedLink& l) {
            if (l.link.kind == LinkKind::Page && !seen[size_t(l.link.pageIndex)]) {
                seen[size_t(l.link.pageIndex)] = true;
                queue.push_back(l.link.pageIndex);
            }
        });
    }
    m_reachable = std::move(seen);
}

// ---------------------------------------------------------------------------------------------------
// Pages

void Checker::checkPage(int pageIndex)
{
    const Page& page = *m_project.pages[size_t(pageIndex)];
    const ProblemLocation here{pageIndex, -1, -1, {}};

    if (page.number < 1 || page.number > kHighestPageNumber)
        add(Severity::Error, "page-number-out-of-range",
            QStringLiteral("%1: the number %2 is outside 1 to %3, the page numbers the player accepts.")
                .arg(pageLabel(pageIndex), QString::number(page.number), QString::number(kHighestPageNumber)),
            here);
    const int first = findPageIndex(m_project, page.number);
    if (first != pageIndex)
        add(Severity::Error, "page-number-repeated",
            QStringLiteral("%1: %2, earlier in the list, has the same number; jumps to %3 lead there, never here.")
                .arg(pageLabel(pageIndex), pageLabel(first), QString::number(page.number)),
            here);

    if (page.backgroundIsVideo) {
        const ProblemLocation range{pageIndex, -1, -1, QStringLiteral("VideoRange")};
        if (page.firstFrame > page.lastFrame)
            add(Severity::Error, "video-range-reversed",
                QStringLiteral("%1: the video range %2-%3 begins after its end.")
                    .arg(pageLabel(pageIndex), QString::number(page.firstFrame), QString::number(page.lastFrame)),
                range);
        const int frames = m_context.menuFrameCount;
        if (page.firstFrame < 0 || page.lastFrame < 0 || (frames > 0 && std::max(page.firstFrame, page.lastFrame) >= frames))
            add(Severity::Error, "video-range-outside",
                frames > 0 ? QStringLiteral("%1: the video range %2-%3 is outside the menu video, whose frames are 0 to %4.")
                                 .arg(pageLabel(pageIndex), QString::number(page.firstFrame),
                                      QString::number(page.lastFrame), QString::number(frames - 1))
                           : QStringLiteral("%1: the video range %2-%3 holds a frame before the first frame, 0.")
                                 .arg(pageLabel(pageIndex), QString::number(page.firstFrame),
                                      QString::number(page.lastFrame)),
                range);
        if (page.selectionAvailable) {
            const struct
            {
                int value;
                const char* key;
            } prohibits[] = {{page.prohibitSelectionBefore, "ProhibitSelectionBefore"},
                             {page.prohibitSelectionAfter, "ProhibitSelectionAfter"}};
            for (const auto& p : prohibits) {
                if (p.value != 0 && (p.value < page.firstFrame || p.value > page.lastFrame))
                    add(Severity::Warning, "prohibit-frame-outside",
                        QStringLiteral("%1: %2 is frame %3, outside the page's video range %4-%5.")
                            .arg(pageLabel(pageIndex), QLatin1String(p.key), QString::number(p.value),
                                 QString::number(page.firstFrame), QString::number(page.lastFrame)),
                        ProblemLocation{pageIndex, -1, -1, QLatin1String(p.key)});
            }
        }
    } else if (page.pictureFile.trimmed().isEmpty()) {
        add(Severity::Error, "picture-file-empty",
            QStringLiteral("%1: the page shows a still picture but names no picture file.").arg(pageLabel(pageIndex)),
            ProblemLocation{pageIndex, -1, -1, QStringLiteral("PictureFile")});
    } else if (!m_context.baseDirectory.isEmpty()) {
        const ProblemLocation where{pageIndex, -1, -1, QStringLiteral("PictureFile")};
        fileExists(QString(), m_project.movieData.menuDirectory, page.pictureFile, true, &where, pageLabel(pageIndex));
    }

    if (page.selectionAvailable && page.selections.empty())
        add(Severity::Warning, "selections-not-defined",
            QStringLiteral("%1: selections are available but the page has none.").arg(pageLabel(pageIndex)), here);
    if (page.selectionAvailable && (page.defaultSelection < -1 || page.defaultSelection > int(page.selections.size())))
        add(Severity::Warning, "default-selection-missing",
            QStringLiteral("%1: the default selection %2 is not one of the page's %3 selections; the page starts without one.")
                .arg(pageLabel(pageIndex), QString::number(page.defaultSelection), QString::number(page.selections.size())),
            ProblemLocation{pageIndex, -1, -1, QStringLiteral("DefaultSelection")});

    checkPageEnd(pageIndex);

    if (!m_reachable.empty() && !m_reachable[size_t(pageIndex)])
        add(Severity::Warning, "page-unreachable",
            QStringLiteral("%1: no jump, end of page or relative jump leads here from the pages the player starts "
                           "from (the start, menu, chapters and specials pages).")
                .arg(pageLabel(pageIndex)),
            here);

    checkSelections(pageIndex);
    checkPageTexts(pageIndex);
}

void Checker::checkPageEnd(int pageIndex)
{
    const Page& page = *m_project.pages[size_t(pageIndex)];
    const bool hasEnd = page.jumpAtEnd != 0 || page.actionAtEnd;
    if (!page.backgroundIsVideo) {
        if (hasEnd)
            add(Severity::Warning, "end-not-saved",
                QStringLiteral("%1: a still picture page keeps no jump or action at its end in the file; they are lost on saving.")
                    .arg(pageLabel(pageIndex)),
                ProblemLocation{pageIndex, -1, -1, page.jumpAtEnd != 0 ? QStringLiteral("JumpAtEnd") : QStringLiteral("ActionAtEnd")});
    } else if (page.videoLoop) {
        if (hasEnd)
            add(Severity::Warning, "end-never-used",
                QStringLiteral("%1: the video range loops, so its jump or action at the end never happens.")
                    .arg(pageLabel(pageIndex)),
                ProblemLocation{pageIndex, -1, -1, page.jumpAtEnd != 0 ? QStringLiteral("JumpAtEnd") : QStringLiteral("ActionAtEnd")});
        // Never run, but saved: it is checked as an action after a jump in a selection is.
        if (page.actionAtEnd)
            checkAction(pageIndex, -1, -1, *page.actionAtEnd);
    } else if (jumpAtEndOverridden(m_project, pageIndex)) {
        add(Severity::Warning, "jump-at-end-overridden",
            pageLabel(pageIndex) % u": the jump at end is never used: the end action runs instead.",
            ProblemLocation{pageIndex, -1, -1, QStringLiteral("JumpAtEnd")});
        checkAction(pageIndex, -1, -1, *page.actionAtEnd);
    } else {
        const Link atEnd = resolveJumpAtEnd(m_project, pageIndex);
        if (atEnd.kind == LinkKind::MissingPage)
            add(Severity::Error, "jump-target-missing",
                QStringLiteral("%1: jumps at its end to page %2, which does not exist.")
                    .arg(pageLabel(pageIndex), QString::number(atEnd.pageNumber)),
                ProblemLocation{pageIndex, -1, -1, QStringLiteral("JumpAtEnd")});
        if (page.actionAtEnd)
            checkAction(pageIndex, -1, -1, *page.actionAtEnd);
    }
    // Without selections the viewer waits for the end: a video page loops or leads on; a still page
    // keeps nothing for its end in the file.
    if (!page.selectionAvailable && !(page.backgroundIsVideo && (page.videoLoop || hasEnd)))
        add(Severity::Warning, "page-dead-end",
            QStringLiteral("%1: offers no selection and leads nowhere at its end: the menu stops there.").arg(pageLabel(pageIndex)),
            ProblemLocation{pageIndex, -1, -1, {}});
}

// ---------------------------------------------------------------------------------------------------
// Selections and actions

void Checker::checkSelections(int pageIndex)
{
    const Page& page = *m_project.pages[size_t(pageIndex)];
    const int count = int(page.selections.size());
    std::vector<AreaRect> areas(static_cast<size_t>(count));
    std::vector<bool> usable(size_t(count), false);
    for (int s = 0; s < count; ++s) {
        const Selection& sel = *page.selections[size_t(s)];
        const ProblemLocation here{pageIndex, s, -1, {}};
        const ProblemLocation areaField{pageIndex, s, -1, QStringLiteral("Area")};
        AreaRect& a = areas[size_t(s)];
        const std::optional<AreaRect> read = parseArea(sel.area);
        if (read)
            a = *read;
        if (!read) {
            add(Severity::Error, "area-invalid",
                QStringLiteral("%1: the area \"%2\" is not four numbers written left,top-right,bottom.")
                    .arg(selectionLabel(pageIndex, s), sel.area),
                areaField);
        } else if (a.right <= a.left || a.bottom <= a.top) {
            add(Severity::Error, "area-empty",
                QStringLiteral("%1: the area %2 has no width or no height; it cannot be clicked.")
                    .arg(selectionLabel(pageIndex, s), sel.area),
                areaField);
        } else {
            usable[size_t(s)] = true;
            if (m_picture.isValid() &&
                (a.left < 0 || a.top < 0 || a.right > m_picture.width() || a.bottom > m_picture.height()))
                add(Severity::Error, "area-outside-picture",
                    QStringLiteral("%1: the area %2 reaches outside the %3 x %4 picture.")
                        .arg(selectionLabel(pageIndex, s), sel.area, QString::number(m_picture.width()),
                             QString::number(m_picture.height())),
                    areaField);
            for (int o = 0; o < s; ++o) {
                if (!usable[size_t(o)])
                    continue;
                const AreaRect& b = areas[size_t(o)];
                if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                    add(Severity::Warning, "areas-overlap",
                        QStringLiteral("%1: the area overlaps selection %2 (%3); a click there is taken by one of them only.")
                            .arg(selectionLabel(pageIndex, s), QString::number(o + 1), page.selections[size_t(o)]->name),
                        areaField);
            }
        }

        if (sel.actions.empty()) {
            add(Severity::Warning, "selection-without-actions",
                QStringLiteral("%1: has no action; a click on it does nothing.").arg(selectionLabel(pageIndex, s)), here);
            continue;
        }
        const int actions = int(sel.actions.size());
        for (int i = 0; i < actions; ++i) {
            const MenuAction& action = *sel.actions[size_t(i)];
            checkAction(pageIndex, s, i, action);
            if (endsActionList(action.type) && i + 1 < actions) {
                QString text;
                text.reserve(200);
                appendActionLabel(text, pageIndex, s, i);
                text += u": the player stops after this action, so ";
                if (i + 2 == actions) {
                    text += u"action ";
                    appendNumber(text, actions);
                    text += u" would never run.";
                } else {
                    text += u"actions ";
                    appendNumber(text, i + 2);
                    text += u" to ";
                    appendNumber(text, actions);
                    text += u" never run.";
                }
                add(Severity::Warning, "action-unreachable", text, ProblemLocation{pageIndex, s, i + 1, {}});
                for (int k = i + 1; k < actions; ++k)
                    checkAction(pageIndex, s, k, *sel.actions[size_t(k)]);
                break;
            }
        }
    }
}

bool Checker::checkSignedJump(int pageIndex, int selectionIndex, int actionIndex, const MenuAction& action)
{
    // A jump whose parameter carries a sign is written as it stands and read back as relative to its
    // page: "+1" and "-1" as the next and previous page; anything else the save refuses.
    const QString& p = action.parameter;
    if (action.type != ActJumpToPage || !(p.startsWith(QLatin1Char('+')) || p.startsWith(QLatin1Char('-'))) ||
        p == QLatin1String("+1") || p == QLatin1String("-1"))
        return false;
    add(Severity::Error, "jump-parameter-signed",
        actionLabel(pageIndex, selectionIndex, actionIndex) % u": \"" % p %
            u"\" begins with a sign, which the menu file reads as a page counted from this one; only +1 and -1 "
            u"can be written so, and the save is refused. Give the page number without a sign.",
        ProblemLocation{pageIndex, selectionIndex, actionIndex, selectionIndex < 0 ? QStringLiteral("ActionAtEnd") : QString()});
    return true;
}

void Checker::checkAction(int pageIndex, int selectionIndex, int actionIndex, const MenuAction& action)
{
    const MovieData& md = m_project.movieData;
    const ProblemLocation here{pageIndex, selectionIndex, actionIndex,
                               selectionIndex < 0 ? QStringLiteral("ActionAtEnd") : QString()};
    auto label = [&] { return actionLabel(pageIndex, selectionIndex, actionIndex); };

    if (action.type < 1 || action.type > kActionTypeCount) {
        add(Severity::Error, "action-type-invalid",
            QStringLiteral("%1: the action code %2 is none the player knows.")
                .arg(selectionIndex < 0 ? QStringLiteral("%1, action at end").arg(pageLabel(pageIndex))
                                        : QStringLiteral("%1, action %2").arg(selectionLabel(pageIndex, selectionIndex),
                                                                              QString::number(actionIndex + 1)),
                     QString::number(action.type)),
            here);
        return;
    }
    if (action.type == ActJumpToPage || action.type == ActRelativeJump) {
        if (checkSignedJump(pageIndex, selectionIndex, actionIndex, action))
            return;
        const Link link = selectionIndex < 0 ? resolveActionAtEnd(m_project, pageIndex)
                                             : m_links.followJump(pageIndex, action);
        switch (link.kind) {
        case LinkKind::MissingPage:
            add(Severity::Error, "jump-target-missing",
                QStringLiteral("%1: page %2 does not exist.").arg(label(), QString::number(link.pageNumber)), here);
            break;
        case LinkKind::OffList:
            add(Severity::Error, "relative-jump-off-list",
                QStringLiteral("%1: there is no %2 page in the list.")
                    .arg(label(), action.parameter.trimmed().startsWith(QLatin1Char('-')) ? QStringLiteral("previous")
                                                                                        : QStringLiteral("next")),
                here);
            break;
        case LinkKind::BadParameter:
            add(Severity::Error, "parameter-invalid",
                QStringLiteral("%1: \"%2\" is not a page number.").arg(label(), action.parameter), here);
            break;
        default:
            break;
        }
        return;
    }

    // The numbered entries of the movie data: chapters, special features and subtitles count from 1,
    // languages from 0 (the primary one); subtitle 0 switches subtitles off.
    struct Entries
    {
        const char* code;
        const char* what;
        qint64 lowest;
        qint64 highest;
    };
    Entries e{};
    switch (action.type) {
    case ActPlayFromChapter:
        e = {"chapter-missing", "chapter", 1, qint64(md.chapters.size())};
        break;
    case ActSpecialFeature:
        e = {"special-feature-missing", "special feature", 1, qint64(md.specials.size())};
        break;
    case ActChangeLanguage:
        e = {"language-missing", "language", 0, qint64(md.languages.size()) - 1};
        break;
    case ActChangeSubtitle:
        e = {"subtitle-missing", "subtitle", 0, qint64(md.subtitles.size())};
        break;
    case ActMessageBox:
        if (action.parameter.trimmed().isEmpty())
            add(Severity::Warning, "message-empty", QStringLiteral("%1: the message is empty.").arg(label()), here);
        return;
    default:
        return;
    }
    qint64 n = 0;
    if (!readNumber(action.parameter, n)) {
        add(Severity::Error, "parameter-invalid",
            QStringLiteral("%1: \"%2\" is not a %3 number.").arg(label(), action.parameter, QLatin1String(e.what)), here);
        return;
    }
    if (n < e.lowest || n > e.highest) {
        const QString list = e.highest < e.lowest
                                 ? QStringLiteral("the movie data has no %1").arg(QLatin1String(e.what))
                                 : QStringLiteral("the movie data's %1s are %2 to %3")
                                       .arg(QLatin1String(e.what), QString::number(e.lowest), QString::number(e.highest));
        add(Severity::Error, e.code,
            QStringLiteral("%1: %2 %3 does not exist; %4.").arg(label(), QLatin1String(e.what), QString::number(n), list),
            here);
    }
}

// An action's parameter is one field of a line that "#" separates, for a selection's actions and an end
// action alike (the end action's line is its code, "#", then the parameter, which the player splits again).
void Checker::checkParameterText(int pageIndex, int selectionIndex, int actionIndex, const MenuAction& action)
{
    if (!plainText(action.parameter, true))
        checkText(action.parameter,
                  ProblemLocation{pageIndex, selectionIndex, actionIndex,
                                  selectionIndex < 0 ? QStringLiteral("ActionAtEnd") : QString()},
                  actionLabel(pageIndex, selectionIndex, actionIndex) + QStringLiteral(", its parameter"), true, false);
}

void Checker::checkPageTexts(int pageIndex)
{
    // Nearly every value is plain ASCII, which every encoding holds; only the others are looked at
    // closely, and only then is the label made.
    const Page& page = *m_project.pages[size_t(pageIndex)];
    if (!plainText(page.name, false))
        checkText(page.name, ProblemLocation{pageIndex, -1, -1, {}}, pageLabel(pageIndex) + QStringLiteral(", its name"),
                  false, false);
    if (!page.backgroundIsVideo && !plainText(page.pictureFile, false))
        checkText(page.pictureFile, ProblemLocation{pageIndex, -1, -1, QStringLiteral("PictureFile")},
                  pageLabel(pageIndex) + QStringLiteral(", its picture file"), false, false);
    else if (page.backgroundIsVideo && page.actionAtEnd) // a still page's end action is not saved
        checkParameterText(pageIndex, -1, -1, *page.actionAtEnd);
    for (int s = 0; s < int(page.selections.size()); ++s) {
        const Selection& sel = *page.selections[size_t(s)];
        if (!plainText(sel.name, false))
            checkText(sel.name, ProblemLocation{pageIndex, s, -1, {}},
                      selectionLabel(pageIndex, s) + QStringLiteral(", its name"), false, false);
        if (!plainText(sel.area, false))
            checkText(sel.area, ProblemLocation{pageIndex, s, -1, QStringLiteral("Area")},
                      selectionLabel(pageIndex, s) + QStringLiteral(", its area"), false, false);
        for (int a = 0; a < int(sel.actions.size()); ++a)
            checkParameterText(pageIndex, s, a, *sel.actions[size_t(a)]);
    }
}

} // namespace check_detail

std::vector<FollowedLink> followedLinks(const MenuProject& project)
{
    std::vector<FollowedLink> out;
    check_detail::LinkWalker walker(project);
    for (int i = 0; i < int(project.pages.size()); ++i)
        walker.walk(i, [&](const FollowedLink& l) { out.push_back(l); });
    return out;
}

std::vector<Problem> checkProject(const MenuProject& project, const CheckContext& context)
{
    std::vector<Problem> problems;
    check_detail::Checker(project, context, problems).run();
    return problems;
}

QString severityName(Severity s)
{
    return s == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
}

int countProblems(const std::vector<Problem>& problems, Severity s)
{
    return int(std::count_if(problems.begin(), problems.end(), [s](const Problem& p) { return p.severity == s; }));
}

QString problemCountText(const std::vector<Problem>& problems)
{
    const int errors = countProblems(problems, Severity::Error);
    const int warnings = countProblems(problems, Severity::Warning);
    QStringList parts;
    if (errors > 0)
        parts << (errors == 1 ? QStringLiteral("1 error") : QStringLiteral("%1 errors").arg(errors));
    if (warnings > 0)
        parts << (warnings == 1 ? QStringLiteral("1 warning") : QStringLiteral("%1 warnings").arg(warnings));
    return parts.isEmpty() ? QStringLiteral("no problem") : parts.join(QStringLiteral(", "));
}
