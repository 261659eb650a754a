#pragma once

#include <QRect>

#include <optional>
#include <span>
#include <vector>

// Snapping of a rectangle being drawn, moved or resized to the lines other rectangles and the picture
// offer: their left and right edges, their top and bottom edges, and their centres. Positions are in
// the Area's terms: the right edge of a rectangle is left + width, its centre left + width / 2.
class SnapLines
{
public:
    static constexpr int kReach = 4; // how near a line an edge must come to snap to it

    // `others` are the rectangles that stay where they are; the picture's edges and centre are lines too.
    SnapLines(std::span<const QRect> others, const QRect& picture);

    // Which lines of the moving rectangle take part: a move snaps all three in both directions, a
    // resize only the edges being dragged.
    struct Edges
    {
        bool left = false, centreX = false, right = false;
        bool top = false, centreY = false, bottom = false;
        static Edges all() { return {true, true, true, true, true, true}; }
    };
    struct Result
    {
        int dx = 0;
        int dy = 0;
        std::optional<int> guideX; // the vertical line snapped to, if any
        std::optional<int> guideY; // the horizontal line snapped to, if any
    };
    // The shift that brings the nearest taking-part edge onto the nearest line within reach, for each
    // direction on its own.
    Result snap(const QRect& moving, Edges edges) const;

private:
    static std::optional<int> nearest(const std::vector<int>& lines, int value, int& bestDistance);
    std::vector<int> m_xs; // sorted
    std::vector<int> m_ys;
};
