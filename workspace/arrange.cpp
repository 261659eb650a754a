#include "workspace/arrange.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>

namespace {
struct Names
{
    const char* caption;
    const char* text;
};
constexpr Names kNames[kArrangeCommandCount] = {
    {"Align &left", "Align left"},
    {"Align &right", "Align right"},
    {"Align &top", "Align top"},
    {"Align &bottom", "Align bottom"},
    {"Align hori&zontal centres", "Align horizontal centres"},
    {"Align &vertical centres", "Align vertical centres"},
    {"Same &width", "Same width"},
    {"Same &height", "Same height"},
    {"Same &size", "Same size"},
    {"Distribute hori&zontally", "Distribute horizontally"},
    {"Distribute verti&cally", "Distribute vertically"},
};

// Equal gaps between the rectangles along one axis, the outermost two staying. A remainder of the
// division goes one pixel each to the first gaps, so the last rectangle ends exactly where it did.
void distribute(std::vector<QRect>& out, bool horizontal)
{
    const int n = int(out.size());
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    auto lead = [&](int i) { return horizontal ? out[size_t(i)].left() : out[size_t(i)].top(); };
    auto extent = [&](int i) { return horizontal ? out[size_t(i)].width() : out[size_t(i)].height(); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lead(a) < lead(b); });
    const int first = order.front();
    const int last = order.back();
    const int span = lead(last) + extent(last) - lead(first);
    int sum = 0;
    for (int i : order)
        sum += extent(i);
    const int free = span - sum;
    const int gaps = n - 1;
    // Floor division, so that overlapping rectangles (a negative free space) are spread the same way.
    int gap = free / gaps;
    int rest = free % gaps;
    if (rest < 0) {
        gap -= 1;
        rest += gaps;
    }
    int at = lead(first);
    for (int k = 0; k < n; ++k) {
        QRect& r = out[size_t(order[size_t(k)])];
        if (horizontal)
            r.moveLeft(at);
        else
            r.moveTop(at);
        at += (horizontal ? r.width() : r.height()) + gap + (k < rest ? 1 : 0);
    }
}
} // namespace

QString arrangeCaption(ArrangeCommand command)
{
    return QString::fromLatin1(kNames[int(command)].caption);
}

QString arrangeText(ArrangeCommand command)
{
    return QString::fromLatin1(kNames[int(command)].text);
}

int arrangeMinimum(ArrangeCommand command)
{
    return command == ArrangeCommand::DistributeHorizontally || command == ArrangeCommand::DistributeVertically ? 3 : 2;
}

QRect keepInside(const QRect& rect, const QRect& picture)
{
    QRect r = rect;
    r.moveLeft(qMax(picture.left(), qMin(r.left(), picture.left() + picture.width() - r.width())));
    r.moveTop(qMax(picture.top(), qMin(r.top(), picture.top() + picture.height() - r.height())));
    return r;
}

std::vector<QRect> arrange(ArrangeCommand command, std::span<const QRect> rects, const QRect& picture)
{
    std::vector<QRect> out(rects.begin(), rects.end());
    if (int(out.size()) < arrangeMinimum(command))
        return out;
    const QRect ref = out.front();
    switch (command) {
    case ArrangeCommand::AlignLeft:
        for (QRect& r : out)
            r.moveLeft(ref.left());
        break;
    case ArrangeCommand::AlignRight:
        for (QRect& r : out)
            r.moveLeft(ref.left() + ref.width() - r.width());
        break;
    case ArrangeCommand::AlignTop:
        for (QRect& r : out)
            r.moveTop(ref.top());
        break;
    case ArrangeCommand::AlignBottom:
        for (QRect& r : out)
            r.moveTop(ref.top() + ref.height() - r.height());
        break;
    case ArrangeCommand::AlignHorizontalCentres:
        for (QRect& r : out)
            r.moveLeft(ref.left() + (ref.width() - r.width()) / 2);
        break;
    case ArrangeCommand::AlignVerticalCentres:
        for (QRect& r : out)
            r.moveTop(ref.top() + (ref.height() - r.height()) / 2);
        break;
    case ArrangeCommand::SameWidth:
        for (QRect& r : out)
            r.setWidth(ref.width());
        break;
    case ArrangeCommand::SameHeight:
        for (QRect& r : out)
            r.setHeight(ref.height());
        break;
    case ArrangeCommand::SameSize:
        for (QRect& r : out)
            r.setSize(ref.size());
        break;
    case ArrangeCommand::DistributeHorizontally:
        distribute(out, true);
        break;
    case ArrangeCommand::DistributeVertically:
        distribute(out, false);
        break;
    }
    for (QRect& r : out)
        r = keepInside(r, picture);
    return out;
}
