#include "finder/buttonfinder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace finder {
namespace {

// What the picture holds: the edges of text, frames and thumbnails as one map, split into connected
// regions, then grouped into buttons.
//
// Edges rather than colours: a label is found on any background colour, a gradient gives no edges,
// and a framed button or a thumbnail shows its outer edge whatever it holds inside.

// A region of the edge map, or a group of regions that make one button.
struct Item
{
    int left = 0;
    int top = 0;
    int right = 0;  // inclusive
    int bottom = 0; // inclusive
    double edgeSum = 0; // edge strength over its pixels
    int pixels = 0;
    bool box = false;   // a closed rectangular outline: framed button or thumbnail
    bool alive = true;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
    bool contains(const Item& o) const
    {
        return o.left >= left && o.right <= right && o.top >= top && o.bottom <= bottom;
    }
    bool containsCentre(const Item& o) const
    {
        const int cx = (o.left + o.right) / 2;
        const int cy = (o.top + o.bottom) / 2;
        return cx >= left && cx <= right && cy >= top && cy <= bottom;
    }
    void absorb(const Item& o)
    {
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
        edgeSum += o.edgeSum;
        pixels += o.pixels;
    }
};

int overlap(int a0, int a1, int b0, int b1) // inclusive ranges; negative: the gap between them
{
    return std::min(a1, b1) - std::max(a0, b0) + 1;
}

// Letters of one line belong together: side by side, of much the same height, sharing most of it, apart by less
// than a letter's height (a word space is less, even in a fixed-width font). Accents and the dots of i and j sit just above their letter.
bool sameLine(const Item& a, const Item& b)
{
    const int ha = a.height();
    const int hb = b.height();
    const int vOverlap = overlap(a.top, a.bottom, b.top, b.bottom);
    const int hOverlap = overlap(a.left, a.right, b.left, b.right);
    if (vOverlap > 0 && hOverlap > 0)
        return true; // overlapping already
    const int hGap = -hOverlap;
    if (vOverlap >= std::min(ha, hb) / 2 && hGap <= 1.0 * std::max(ha, hb) && std::max(ha, hb) <= 2 * std::min(ha, hb))
        return true;
    // A small mark over or under a letter.
    const Item& small = ha < hb ? a : b;
    const Item& large = ha < hb ? b : a;
    return hOverlap >= small.width() / 2 && small.height() * 2 <= large.height()
        && -vOverlap <= large.height() / 2;
}

// Lines of one label are stacked close, in the same letter size, overlapping sideways; separate
// labels stand further apart than a line's own height.
bool sameLabel(const Item& a, const Item& b)
{
    const int ha = a.height();
    const int hb = b.height();
    if (std::max(ha, hb) > 1.6 * std::min(ha, hb))
        return false;
    const int hOverlap = overlap(a.left, a.right, b.left, b.right);
    const int vGap = -overlap(a.top, a.bottom, b.top, b.bottom);
    return hOverlap >= 0.3 * std::min(a.width(), b.width()) && vGap <= 0.75 * std::min(ha, hb);
}

template <typename Rule>
void mergeWhile(std::vector<Item>& items, Rule rule)
{
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < items.size(); ++i) {
            if (!items[i].alive || items[i].box)
                continue;
            for (size_t j = i + 1; j < items.size(); ++j) {
                if (!items[j].alive || items[j].box || !rule(items[i], items[j]))
                    continue;
                items[i].absorb(items[j]);
                items[j].alive = false;
                merged = true;
            }
        }
    }
}

// Whether a region runs along all four sides of its bounding box without a break: the outline of a
// frame or of a thumbnail. A word touches its box too, but letter by letter, with gaps between.
bool isOutline(const cv::Mat& labels, int id, const Item& it)
{
    if (it.width() < 20 || it.height() < 14)
        return false;
    const int band = 4;
    auto at = [&](int x, int y) { return labels.at<int>(y, x) == id; };
    // The longest unbroken run along one side, as a share of its length.
    auto longestRun = [&](int length, auto covered) {
        int best = 0;
        int run = 0;
        for (int i = 0; i < length; ++i) {
            run = covered(i) ? run + 1 : 0;
            best = std::max(best, run);
        }
        return double(best) / length;
    };
    auto column = [&](int y0) {
        return [&, y0](int i) {
            for (int y = y0; y < y0 + band; ++y)
                if (at(it.left + i, y))
                    return true;
            return false;
        };
    };
    auto row = [&](int x0) {
        return [&, x0](int i) {
            for (int x = x0; x < x0 + band; ++x)
                if (at(x, it.top + i))
                    return true;
            return false;
        };
    };
    const double need = 0.8;
    return longestRun(it.width(), column(it.top)) >= need && longestRun(it.width(), column(it.bottom - band + 1)) >= need
        && longestRun(it.height(), row(it.left)) >= need && longestRun(it.height(), row(it.right - band + 1)) >= need;
}

// The strongest colour edge at each pixel: the morphological gradient of each channel of the slightly
// smoothed picture (the smoothing takes out noise and compression ringing), the largest of the three,
// so that red letters on a green background of the same brightness are found too.
cv::Mat edgeStrength(const cv::Mat& rgb)
{
    cv::Mat smooth;
    cv::GaussianBlur(rgb, smooth, cv::Size(5, 5), 1.0);
    cv::Mat gradient;
    cv::morphologyEx(smooth, gradient, cv::MORPH_GRADIENT, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    std::array<cv::Mat, 3> channels;
    cv::split(gradient, channels.data());
    cv::Mat strength = cv::max(channels[0], channels[1]);
    return cv::max(strength, channels[2]);
}

// The level above which an edge counts: well above what most of the picture (its background) shows,
// so a noisy background does not turn into edges, and never below a fixed floor.
int edgeThreshold(const cv::Mat& strength)
{
    std::array<int, 256> histogram{};
    for (int y = 0; y < strength.rows; ++y) {
        const uchar* row = strength.ptr<uchar>(y);
        for (int x = 0; x < strength.cols; ++x)
            ++histogram[row[x]];
    }
    const qint64 total = qint64(strength.rows) * strength.cols;
    qint64 seen = 0;
    int median = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[size_t(v)];
        if (seen * 2 >= total) {
            median = v;
            break;
        }
    }
    return std::max(28, 3 * median + 10);
}

std::vector<QRect> analyse(const cv::Mat& rgb, const cv::Mat& moving)
{
    const int width = rgb.cols;
    const int height = rgb.rows;
    const qint64 pictureArea = qint64(width) * height;
    const cv::Mat strength = edgeStrength(rgb);
    cv::Mat edges = strength > edgeThreshold(strength);
    if (!moving.empty()) {
        // Edges amid moving pixels are the background's; a button's edges border on still pixels.
        cv::Mat surrounded;
        cv::erode(moving, surrounded, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
        edges.setTo(0, surrounded);
    }

    cv::Mat labels;
    cv::Mat stats;
    cv::Mat centroids;
    const int count = cv::connectedComponentsWithStats(edges, labels, stats, centroids, 8, CV_32S);
    std::vector<double> edgeSums(size_t(std::max(count, 1)), 0.0);
    for (int y = 0; y < height; ++y) {
        const int* lrow = labels.ptr<int>(y);
        const uchar* srow = strength.ptr<uchar>(y);
        for (int x = 0; x < width; ++x)
            edgeSums[size_t(lrow[x])] += srow[x];
    }

    std::vector<Item> items;
    for (int id = 1; id < count; ++id) {
        Item it;
        it.left = stats.at<int>(id, cv::CC_STAT_LEFT);
        it.top = stats.at<int>(id, cv::CC_STAT_TOP);
        it.right = it.left + stats.at<int>(id, cv::CC_STAT_WIDTH) - 1;
        it.bottom = it.top + stats.at<int>(id, cv::CC_STAT_HEIGHT) - 1;
        it.pixels = stats.at<int>(id, cv::CC_STAT_AREA);
        it.edgeSum = edgeSums[size_t(id)];
        // Dots of noise; and outlines of (nearly) the whole picture, which frame everything.
        if (it.pixels < 6 || qint64(it.width()) * it.height() * 2 > pictureArea)
            continue;
        it.box = isOutline(labels, id, it);
        items.push_back(it);
    }

    // An outline around two or more others is a panel that holds buttons, not a button.
    for (Item& outer : items) {
        if (!outer.box)
            continue;
        int inner = 0;
        for (const Item& o : items)
            if (&o != &outer && o.box && outer.contains(o))
                ++inner;
        if (inner >= 2)
            outer.alive = false;
    }
    // Whatever lies within a framed button or a thumbnail is part of it: its outer edge is the button.
    std::vector<size_t> byArea(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        byArea[i] = i;
    std::sort(byArea.begin(), byArea.end(), [&](size_t a, size_t b) {
        return qint64(items[a].width()) * items[a].height() > qint64(items[b].width()) * items[b].height();
    });
    for (size_t i : byArea) {
        Item& outer = items[i];
        if (!outer.alive || !outer.box)
            continue;
        for (Item& o : items) {
            if (&o == &outer || !o.alive || !outer.containsCentre(o))
                continue;
            o.alive = false;
            outer.edgeSum += o.edgeSum;
            outer.pixels += o.pixels;
        }
    }

    // Letters into lines, lines into labels, and once more for marks that now sit beside a line.
    mergeWhile(items, sameLine);
    mergeWhile(items, sameLabel);
    mergeWhile(items, sameLine);

    struct Scored
    {
        QRect rect;
        double score;
    };
    std::vector<Scored> found;
    for (const Item& it : items) {
        if (!it.alive)
            continue;
        // Dots (stars, dust, sparkles) are smaller than the smallest digit a label shows.
        if (!it.box && (it.pixels < 12 || std::max(it.width(), it.height()) < 10))
            continue;
        // A band or a line across the whole picture is decoration, not something to click.
        if (it.width() >= width * 95 / 100 || it.height() >= height * 95 / 100)
            continue;
        // The edge map runs a pixel beyond the ink on each side; the margin is counted from the ink.
        const int spread = 1;
        QRect r(QPoint(it.left + spread, it.top + spread), QPoint(it.right - spread, it.bottom - spread));
        r = r.adjusted(-kMargin, -kMargin, kMargin, kMargin).intersected(QRect(0, 0, width, height));
        if (r.width() < kMinSide || r.height() < kMinSide || qint64(r.width()) * r.height() * 2 > pictureArea)
            continue;
        // Strong, plentiful edges first; outlines are the surest sign of a button.
        const double contrast = it.edgeSum / std::max(1, it.pixels) / 255.0;
        const double body = std::sqrt(std::min(1.0, it.pixels / 200.0));
        found.push_back({r, contrast * body * (it.box ? 1.5 : 1.0)});
    }
    std::stable_sort(found.begin(), found.end(), [](const Scored& a, const Scored& b) { return a.score > b.score; });

    // Two proposals for much the same place are parts of one button: the larger one stays, in the
    // place of the better.
    std::vector<QRect> result;
    auto area = [](const QRect& r) { return double(r.width()) * r.height(); };
    for (const Scored& s : found) {
        bool duplicate = false;
        for (QRect& kept : result) {
            const QRect common = kept.intersected(s.rect);
            if (area(common) > 0.5 * std::min(area(kept), area(s.rect))) {
                if (area(s.rect) > area(kept))
                    kept = s.rect;
                duplicate = true;
                break;
            }
        }
        if (!duplicate)
            result.push_back(s.rect);
    }
    return result;
}

// The picture as 8-bit RGB rows that OpenCV can read without a copy of its own.
QImage rgbPicture(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB888 ? picture : picture.convertToFormat(QImage::Format_RGB888);
}

cv::Mat wrap(const QImage& rgb)
{
    return cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()), size_t(rgb.bytesPerLine()));
}

} // namespace

std::vector<QRect> findButtons(const QImage& picture)
{
    if (picture.isNull())
        return {};
    const QImage rgb = rgbPicture(picture);
    return analyse(wrap(rgb), cv::Mat());
}

std::vector<QRect> findButtons(const std::vector<QImage>& frames)
{
    std::vector<QImage> good;
    for (const QImage& f : frames) {
        if (f.isNull() || (!good.empty() && f.size() != good.front().size()))
            continue;
        good.push_back(rgbPicture(f));
    }
    if (good.empty())
        return {};
    if (good.size() < 3)
        return findButtons(good.front());

    // Each pixel's median over the frames is the still picture (the buttons, with the background
    // averaged away where it moves); a pixel that many frames show far from its median moves.
    // The frames are sorted pixel by pixel with a network of minimum and maximum operations over
    // whole pictures, which the library runs many pixels at a time.
    const int n = int(good.size());
    std::vector<cv::Mat> frameMats;
    std::vector<cv::Mat> order;
    for (const QImage& f : good) {
        frameMats.push_back(wrap(f));
        order.push_back(frameMats.back().clone());
    }
    cv::Mat spare;
    for (int round = 0; round < n; ++round) {
        for (int i = round % 2; i + 1 < n; i += 2) {
            cv::min(order[size_t(i)], order[size_t(i + 1)], spare);
            cv::max(order[size_t(i)], order[size_t(i + 1)], order[size_t(i + 1)]);
            std::swap(order[size_t(i)], spare);
        }
    }
    const cv::Mat still = order[size_t(n / 2)];

    const int farApart = 25;
    cv::Mat away = cv::Mat::zeros(still.size(), CV_8UC1);
    cv::Mat difference;
    cv::Mat far;
    std::array<cv::Mat, 3> channels;
    for (const cv::Mat& f : frameMats) {
        cv::absdiff(f, still, difference);
        cv::split(difference, channels.data());
        cv::max(channels[0], channels[1], far);
        cv::max(far, channels[2], far);
        cv::add(away, cv::Scalar(1), away, far > farApart);
    }
    const cv::Mat moving = away > n / 3;
    return analyse(still, moving);
}

std::vector<int> sampleFrames(int first, int last, int count)
{
    std::vector<int> frames;
    if (last < first || count <= 0)
        return frames;
    const qint64 span = qint64(last) - first;
    if (span + 1 <= count) {
        for (qint64 f = first; f <= last; ++f)
            frames.push_back(int(f));
        return frames;
    }
    if (count == 1)
        return {first};
    for (int i = 0; i < count; ++i)
        frames.push_back(int(first + span * i / (count - 1)));
    return frames;
}

std::vector<int> sampleFrames(int first, int last, const std::vector<int>& keyFrames, int count)
{
    std::vector<int> frames = sampleFrames(first, last, count);
    if (frames.size() < 2 || keyFrames.empty())
        return frames;
    const qint64 reach = (qint64(last) - first) / qint64(frames.size() - 1) / 2;
    std::vector<int> moved;
    for (int f : frames) {
        // The nearest key frame within reach and within the range.
        auto after = std::lower_bound(keyFrames.begin(), keyFrames.end(), f);
        int best = f;
        qint64 bestDistance = reach + 1;
        for (auto it : {after, after == keyFrames.begin() ? keyFrames.end() : after - 1}) {
            if (it == keyFrames.end() || *it < first || *it > last)
                continue;
            const qint64 d = std::abs(qint64(*it) - f);
            if (d < bestDistance) {
                bestDistance = d;
                best = *it;
            }
        }
        if (moved.empty() || moved.back() != best)
            moved.push_back(best);
    }
    return moved;
}

std::vector<QRect> withoutOverlaps(const std::vector<QRect>& proposals, const std::vector<QRect>& existing)
{
    std::vector<QRect> kept;
    for (const QRect& p : proposals) {
        const bool overlaps = std::any_of(existing.begin(), existing.end(), [&](const QRect& e) { return e.intersects(p); });
        if (!overlaps)
            kept.push_back(p);
    }
    return kept;
}

} // namespace finder
