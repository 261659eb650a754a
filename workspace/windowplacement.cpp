#include "workspace/windowplacement.h"

#include <QtGlobal>

#include <algorithm>
#include <limits>

#include "workspace/arrange.h"

namespace {

qint64 areaOf(const QRect& r)
{
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

// How far a point lies outside a rectangle (0 inside it), in a metric good enough to pick a screen.
qint64 distance(const QPoint& p, const QRect& r)
{
    const qint64 dx = p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
    const qint64 dy = p.y() < r.top() ? r.top() - p.y() : p.y() > r.bottom() ? p.y() - r.bottom() : 0;
    return dx * dx + dy * dy;
}

// The left edge of a run of windows standing side by side, `width` wide in all, that should start at
// `wanted`, moved in as far as it must to lie on the screen (its left edge wins when it is wider).
int runStart(int wanted, int width, const QRect& area)
{
    return qMax(area.left(), qMin(wanted, area.left() + area.width() - width));
}

} // namespace

QRect screenAreaFor(const QRect& frame, const QList<QRect>& areas)
{
    if (areas.isEmpty())
        return frame;
    const QRect* best = &areas.front();
    qint64 bestShared = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect& a : areas) {
        const qint64 shared = areaOf(a.intersected(frame));
        const qint64 d = distance(frame.center(), a);
        if (shared > bestShared || (shared == 0 && bestShared == 0 && d < bestDistance)) {
            best = &a;
            bestShared = shared;
            bestDistance = d;
        }
    }
    return *best;
}

QRect fitFrameInto(const QRect& frame, const QRect& area)
{
    return keepInside(QRect(frame.topLeft(), frame.size().boundedTo(area.size())), area);
}

ToolFramePositions placeToolFrames(const QRect& main, const QRect& pages, const QRect& selections,
                                   ToolPlacement pagesAt, ToolPlacement selectionsAt, const QRect& area)
{
    const int pw = pages.width();
    const int sw = selections.width();
    const int mainRight = main.left() + main.width();
    // A window as high as the screen still shows its title bar at the screen's top.
    auto top = [&](const QRect& window) {
        return qMax(area.top(), qMin(main.top(), area.top() + area.height() - window.height()));
    };

    ToolFramePositions out;
    int pagesX = pages.left();
    if (pagesAt == ToolPlacement::Left) {
        // Selections Left stands left of the page window: both are one run ending at the main window.
        const int run = pw + (selectionsAt == ToolPlacement::Left ? sw : 0);
        const int start = runStart(main.left() - run, run, area);
        pagesX = start + run - pw;
        if (selectionsAt == ToolPlacement::Left)
            out.selections = QPoint(start, top(selections));
    } else if (pagesAt == ToolPlacement::Right) {
        const int run = pw + (selectionsAt == ToolPlacement::Right ? sw : 0);
        pagesX = runStart(mainRight, run, area);
    }
    if (pagesAt != ToolPlacement::Free)
        out.pages = QPoint(pagesX, top(pages));

    if (selectionsAt == ToolPlacement::Right) {
        // Right of the main window when the page window is on its left; otherwise beside the page
        // window, wherever it is (a Free page window is not moved to make room).
        const int want = pagesAt == ToolPlacement::Left ? mainRight : pagesX + pw;
        out.selections = QPoint(runStart(want, sw, area), top(selections));
    } else if (selectionsAt == ToolPlacement::Left && pagesAt != ToolPlacement::Left) {
        out.selections = QPoint(runStart(main.left() - sw, sw, area), top(selections));
    }
    return out;
}

QRect placeProblemsFrame(const QRect& main, const QRect& occupied, const QRect& picture, const QSize& wanted,
                         int minimumHeight, const QRect& area)
{
    const int width = qMin(wanted.width(), area.width());
    const int areaBottom = area.top() + area.height();
    const int left = qMax(area.left(), qMin(main.left(), area.left() + area.width() - width));

    // Below, then above the main window, as wide as wanted and as high as there is room for.
    const int below = areaBottom - (main.bottom() + 1);
    if (below >= minimumHeight)
        return {QPoint(left, main.bottom() + 1), QSize(width, qMin(wanted.height(), below))};
    const int above = main.top() - area.top();
    if (above >= minimumHeight) {
        const int h = qMin(wanted.height(), above);
        return {QPoint(left, main.top() - h), QSize(width, h)};
    }
    // Beside everything the program shows, right then left, as high as the screen allows.
    const int h = qMin(wanted.height(), area.height());
    const int y = qMax(area.top(), qMin(main.top(), areaBottom - h));
    const int rightRoom = area.left() + area.width() - (occupied.right() + 1);
    const int leftRoom = occupied.left() - area.left();
    const int besideWidth = qMin(width, qMax(rightRoom, leftRoom));
    if (besideWidth >= qMin(width, wanted.width() / 2)) {
        if (rightRoom >= leftRoom)
            return {QPoint(occupied.right() + 1, y), QSize(besideWidth, h)};
        return {QPoint(occupied.left() - besideWidth, y), QSize(besideWidth, h)};
    }
    // No room outside: over the picture, which holds no control, at its bottom.
    const QRect over = picture.intersected(area);
    const int oh = qMin(wanted.height(), over.height());
    return {QPoint(over.left(), over.bottom() + 1 - oh), QSize(over.width(), oh)};
}
