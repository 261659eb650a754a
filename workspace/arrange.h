#pragma once

#include <QRect>
#include <QString>

#include <span>
#include <vector>

// The Arrange commands on several rectangles, as geometry alone: rectangles in, rectangles out, in the
// same order. The first rectangle is the one the others line up with (the first one picked); the
// distribute commands keep the outermost two where they are and spread the others between them.
enum class ArrangeCommand {
    AlignLeft,
    AlignRight,
    AlignTop,
    AlignBottom,
    AlignHorizontalCentres, // the centres on one vertical line
    AlignVerticalCentres,   // the centres on one horizontal line
    SameWidth,
    SameHeight,
    SameSize,
    DistributeHorizontally,
    DistributeVertically,
};
inline constexpr int kArrangeCommandCount = 11;

// The menu caption ("Align &left") and the undo text ("Align left").
QString arrangeCaption(ArrangeCommand command);
QString arrangeText(ArrangeCommand command);
// How many rectangles the command needs to do anything.
int arrangeMinimum(ArrangeCommand command);

// Widths and heights are those of QRect; a result that would leave `picture` is moved back inside it
// as a drag would stop it (a rectangle larger than the picture keeps its left or top on the edge).
std::vector<QRect> arrange(ArrangeCommand command, std::span<const QRect> rects, const QRect& picture);

// Moves a rectangle, keeping its size, so that it lies inside `picture` where it can.
QRect keepInside(const QRect& rect, const QRect& picture);
