#include "workspace/snapping.h"

#include <algorithm>
#include <cstdlib>

SnapLines::SnapLines(std::span<const QRect> others, const QRect& picture)
{
    m_xs.reserve(others.size() * 3 + 3);
    m_ys.reserve(others.size() * 3 + 3);
    auto add = [this](const QRect& r) {
        m_xs.insert(m_xs.end(), {r.left(), r.left() + r.width() / 2, r.left() + r.width()});
        m_ys.insert(m_ys.end(), {r.top(), r.top() + r.height() / 2, r.top() + r.height()});
    };
    add(picture);
    for (const QRect& r : others)
        add(r);
    std::sort(m_xs.begin(), m_xs.end());
    std::sort(m_ys.begin(), m_ys.end());
}

std::optional<int> SnapLines::nearest(const std::vector<int>& lines, int value, int& bestDistance)
{
    std::optional<int> best;
    const auto at = std::lower_bound(lines.begin(), lines.end(), value);
    for (auto it : {at, at == lines.begin() ? lines.end() : at - 1}) {
        if (it == lines.end())
            continue;
        const int distance = std::abs(*it - value);
        if (distance <= kReach && distance < bestDistance) {
            bestDistance = distance;
            best = *it;
        }
    }
    return best;
}

SnapLines::Result SnapLines::snap(const QRect& r, Edges e) const
{
    Result result;
    auto axis = [](const std::vector<int>& lines, const int (&values)[3], const bool (&use)[3], int& shift,
                   std::optional<int>& guide) {
        int best = kReach + 1;
        for (int k = 0; k < 3; ++k) {
            if (!use[k])
                continue;
            if (const std::optional<int> line = nearest(lines, values[k], best)) {
                shift = *line - values[k];
                guide = line;
            }
        }
    };
    const int xs[3] = {r.left(), r.left() + r.width() / 2, r.left() + r.width()};
    const bool useX[3] = {e.left, e.centreX, e.right};
    axis(m_xs, xs, useX, result.dx, result.guideX);
    const int ys[3] = {r.top(), r.top() + r.height() / 2, r.top() + r.height()};
    const bool useY[3] = {e.top, e.centreY, e.bottom};
    axis(m_ys, ys, useY, result.dy, result.guideY);
    return result;
}
