#pragma once

#include <QRect>
#include <QString>

#include <optional>

// The Area text of a selection: left, top, right and bottom in pixels of the menu picture, written
// "L,T-R,B" (for example 10,20-110,70) and read as the player reads it, with the pattern
// "%d,%d-%d,%d": blanks before each number are skipped and anything after the fourth is ignored.
struct AreaRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const AreaRect&) const = default;
};

// Nothing when the text does not begin with four numbers in that form (or one is out of range).
std::optional<AreaRect> parseArea(const QString& text);
QString formatArea(int left, int top, int right, int bottom);

// The part of the picture a click on the selection hits: empty when the text cannot be read or the area
// has no width or no height (a right edge left of the left one included), so such a selection cannot be
// clicked and has no place among the remote control's rows. Right and bottom lie just outside the area.
// Coordinates are kept within a million pixels so that arithmetic on absurd texts cannot overflow.
QRect clickableArea(const QString& text);
