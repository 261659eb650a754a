#pragma once

#include <QRandomGenerator>
#include <QStringList>

#include <memory>

#include "document/actiontypes.h"
#include "document/model.h"

// A small random menu: pages with numbers that may repeat or be missing, video and still pages with
// every kind of end, selections on a few areas (some unreadable, empty or reversed), actions of every
// kind with parameters near the edges of what exists, and prohibit windows.
inline void randomMenu(MenuProject& p, QRandomGenerator& rng)
{
    auto pick = [&](int n) { return int(rng.bounded(n)); };
    auto pageRef = [&] { return pick(9) - 1; }; // -1 to 7; the pages are numbered from 1
    const QStringList areas{"0,0-100,50", "100,0-200,50", "0,50-100,100", "50,25-150,75", "0,0-100,50",
                            "x", "5,5-5,40", "200,60-100,10", "0,100-300,160"};
    MovieData& md = p.movieData;
    md.startPage = QString::number(pick(3) ? 1 : pageRef());
    md.menuPage = pick(3) ? QString::number(pageRef()) : QStringLiteral("menu");
    md.chaptersPage = pick(3) ? QString() : QString::number(pageRef());
    md.specialsPage = pick(4) ? QString() : QString::number(pageRef());
    const int pages = 1 + pick(7);
    for (int i = 0; i < pages; ++i) {
        const int number = pick(8) ? i + 1 : pageRef();
        p.pages.push_back(std::make_unique<Page>(number, QStringLiteral("Page %1").arg(number)));
        Page& page = *p.pages.back();
        page.backgroundIsVideo = pick(3) != 0;
        page.videoLoop = pick(2);
        page.firstFrame = pick(4);
        page.lastFrame = page.firstFrame + pick(4) - 1;
        page.pictureDuration = pick(3) - 1;
        page.jumpAtEnd = pick(3) ? 0 : pageRef();
        if (!pick(4))
            page.prohibitSelectionBefore = pick(7);
        if (!pick(4))
            page.prohibitSelectionAfter = pick(7);
        page.columnOrdering = pick(2);
        page.defaultSelection = pick(5) - 1;
        auto action = [&] {
            const int type = 1 + pick(kActionTypeCount);
            QString parameter = QString::number(pageRef());
            if (type == ActRelativeJump || (type == ActJumpToPage && !pick(3)))
                parameter = pick(2) ? QStringLiteral("+1") : QStringLiteral("-1");
            else if (type == ActMessageBox)
                parameter = QStringLiteral("Hi");
            return std::make_unique<MenuAction>(type, parameter);
        };
        if (!pick(3))
            page.actionAtEnd = action();
        page.selectionAvailable = pick(4) != 0;
        const int selections = pick(4);
        for (int s = 0; s < selections; ++s) {
            Selection& sel = page.addSelection(std::make_unique<Selection>(QStringLiteral("S%1").arg(s), areas[pick(int(areas.size()))]));
            const int actions = pick(4);
            for (int a = 0; a < actions; ++a)
                sel.actions.push_back(action());
        }
    }
}
