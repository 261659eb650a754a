#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

#include <optional>

// Where windows go on the screens, as geometry alone: outer frames (title bar and borders included)
// in, positions out. The main window uses it at start, when it moves or changes size, and when it
// places its tool windows and the Problems window.

enum class ToolPlacement { Left, Right, Free };

// The available area (the screen without its panels) that holds the largest part of `frame`, or the
// nearest one when none holds any of it: a position saved on a screen that is gone comes back on
// one that is there. An empty list gives `frame` itself.
QRect screenAreaFor(const QRect& frame, const QList<QRect>& areas);

// Moves `frame`, shrinking it first where it is larger, so that it lies wholly inside `area`.
QRect fitFrameInto(const QRect& frame, const QRect& area);

struct ToolFramePositions
{
    std::optional<QPoint> pages;      // no value: the window stays where it is (Free)
    std::optional<QPoint> selections;
};

// The tool windows beside the main window: Left puts a window's right edge on the main window's left
// edge, Right its left edge on the main window's right edge; two windows on one side stand side by
// side, the page window nearer the main window; Selections Right follows the page window wherever it
// is, also when that one is Free. Both take the main window's top.
//
// Where the screen has no room beside the main window, the windows on that side move in towards it,
// over its edge, until they are on the screen: never off it.
ToolFramePositions placeToolFrames(const QRect& main, const QRect& pages, const QRect& selections,
                                   ToolPlacement pagesAt, ToolPlacement selectionsAt, const QRect& area);

// The first place for the Problems window, `wanted` its preferred outer size: below the main
// window, else above it, else beside the main window and its tool windows (`occupied`), at the
// preferred width and at least `minimumHeight` high. Where none of these has room, it goes over the
// main window's picture (`picture`, in screen coordinates), which holds no control.
QRect placeProblemsFrame(const QRect& main, const QRect& occupied, const QRect& picture, const QSize& wanted,
                         int minimumHeight, const QRect& area);
