#include "document/menulinks.h"

#include "document/actiontypes.h"
#include "document/areatext.h"

#include <algorithm>
#include <climits>

int findPageIndex(const MenuProject& project, int number)
{
    for (size_t i = 0; i < project.pages.size(); ++i) {
        if (project.pages[i]->number == number)
            return int(i);
    }
    return -1;
}

bool readPageNumber(const QString& parameter, int& number)
{
    bool ok = false;
    const int value = parameter.trimmed().toInt(&ok, 10);
    if (!ok)
        return false;
    number = value;
    return true;
}

Link resolveJump(const MenuProject& project, int fromPageIndex, const MenuAction& action)
{
    Link link;
    if (action.type == ActJumpToPage &&
        (action.parameter == QLatin1String("+1") || action.parameter == QLatin1String("-1")))
        return resolveJump(project, fromPageIndex, MenuAction(ActRelativeJump, action.parameter));
    if (action.type == ActJumpToPage) {
        int number = 0;
        if (!readPageNumber(action.parameter, number)) {
            link.kind = LinkKind::BadParameter;
            return link;
        }
        link.pageNumber = number;
        link.pageIndex = findPageIndex(project, number);
        link.kind = link.pageIndex >= 0 ? LinkKind::Page : LinkKind::MissingPage;
        return link;
    }
    if (action.type == ActRelativeJump) {
        const QString p = action.parameter.trimmed();
        int step = 0;
        if (p == QLatin1String("+1"))
            step = 1;
        else if (p == QLatin1String("-1"))
            step = -1;
        else {
            link.kind = LinkKind::BadParameter;
            return link;
        }
        const int target = fromPageIndex + step;
        if (fromPageIndex < 0 || target < 0 || target >= int(project.pages.size())) {
            link.kind = LinkKind::OffList;
            return link;
        }
        link.kind = LinkKind::Page;
        link.pageIndex = target;
        link.pageNumber = project.pages[size_t(target)]->number;
        return link;
    }
    return link;
}

Link resolveJumpAtEnd(const MenuProject& project, int fromPageIndex)
{
    Link link;
    if (fromPageIndex < 0 || fromPageIndex >= int(project.pages.size()))
        return link;
    const int number = project.pages[size_t(fromPageIndex)]->jumpAtEnd;
    if (number == 0)
        return link;
    link.pageNumber = number;
    link.pageIndex = findPageIndex(project, number);
    link.kind = link.pageIndex >= 0 ? LinkKind::Page : LinkKind::MissingPage;
    return link;
}

Link resolveActionAtEnd(const MenuProject& project, int fromPageIndex)
{
    if (fromPageIndex < 0 || fromPageIndex >= int(project.pages.size()))
        return {};
    const Page& page = *project.pages[size_t(fromPageIndex)];
    if (!page.actionAtEnd)
        return {};
    const MenuAction& action = *page.actionAtEnd;
    const QString p = action.parameter.trimmed();
    if (action.type != ActJumpToPage || !(p.startsWith(QLatin1Char('+')) || p.startsWith(QLatin1Char('-'))))
        return resolveJump(project, fromPageIndex, action);
    int step = 0;
    if (!readPageNumber(p, step))
        return Link{LinkKind::BadParameter};
    if (step == 1 || step == -1)
        return resolveJump(project, fromPageIndex, MenuAction(ActRelativeJump, p));
    Link link;
    link.pageNumber = int(std::clamp<qint64>(qint64(page.number) + step, INT_MIN, INT_MAX));
    link.pageIndex = findPageIndex(project, link.pageNumber);
    link.kind = link.pageIndex >= 0 ? LinkKind::Page : LinkKind::MissingPage;
    return link;
}

bool leavesMenu(int code)
{
    return code == ActPlayMovie || code == ActPlayFromChapter || code == ActSpecialFeature || code == ActReturnToMovie;
}

bool endsActionList(int code)
{
    return code == ActJumpToPage || code == ActRelativeJump || leavesMenu(code);
}

std::vector<int> menuEntryPages(const MenuProject& project)
{
    const MovieData& md = project.movieData;
    std::vector<int> entries;
    for (const QString* key : {&md.startPage, &md.menuPage, &md.chaptersPage, &md.specialsPage}) {
        int number = 0;
        const int index = readPageNumber(*key, number) ? findPageIndex(project, number) : -1;
        if (index >= 0 && std::find(entries.begin(), entries.end(), index) == entries.end())
            entries.push_back(index);
    }
    return entries;
}

bool pageEndsInTime(const Page& page)
{
    return page.backgroundIsVideo ? !page.videoLoop : page.pictureDuration > 0;
}

bool isTransitionPage(const Page& page)
{
    return !page.selectionAvailable && !(page.backgroundIsVideo && page.videoLoop) && page.jumpAtEnd != 0;
}

PageEnd pageEnd(const MenuProject& project, int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= int(project.pages.size()))
        return {};
    const Page& page = *project.pages[size_t(pageIndex)];
    if (!pageEndsInTime(page) && !isTransitionPage(page))
        return {};
    // The end action comes first and is all the end does: the player never goes on to the jump.
    if (page.actionAtEnd)
        return PageEnd{EndKind::EndAction, resolveActionAtEnd(project, pageIndex)};
    if (page.jumpAtEnd != 0)
        return PageEnd{EndKind::JumpAtEnd, resolveJumpAtEnd(project, pageIndex)};
    return PageEnd{EndKind::Stays, {}};
}

bool jumpAtEndOverridden(const MenuProject& project, int pageIndex)
{
    return pageEnd(project, pageIndex).kind == EndKind::EndAction && project.pages[size_t(pageIndex)]->jumpAtEnd != 0;
}

bool selectionsCanBeChosen(const Page& page)
{
    if (!page.selectionAvailable)
        return false;
    if (!page.backgroundIsVideo)
        return true;
    // The page shows every frame of its range (a reversed range is its first frame alone).
    qint64 from = page.firstFrame, to = std::max(page.firstFrame, page.lastFrame);
    if (page.prohibitSelectionBefore > 0)
        from = std::max<qint64>(from, page.prohibitSelectionBefore);
    if (page.prohibitSelectionAfter > 0)
        to = std::min<qint64>(to, page.prohibitSelectionAfter);
    return from <= to;
}

bool selectionCanBeChosen(const Page& page, int selectionIndex)
{
    if (selectionIndex < 0 || selectionIndex >= int(page.selections.size()))
        return false;
    return page.defaultSelection == selectionIndex + 1 ||
           !clickableArea(page.selections[size_t(selectionIndex)]->area).isEmpty();
}
