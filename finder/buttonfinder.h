#pragma once

#include <QImage>
#include <QRect>

#include <vector>

// Proposes the clickable rectangles of a menu page from what its picture shows: text labels, framed
// buttons and thumbnails laid over a background. On a video page the frames of the page's range are
// used together: what stays still while the background moves is a button.
//
// The finder reads pictures only; the caller decodes the frames it asks for (sampleFrames), so the
// finder needs no video library and can be run on any picture.
namespace finder {

// Room left around everything found, the same on every side of every proposal, so that the rectangle
// is easy to hit and does not cut into anti-aliased edges.
constexpr int kMargin = 4;
// A rectangle smaller than this on either side is no selection (the picture discards it too).
constexpr int kMinSide = 5;
// How many frames of a range are looked at; more cost decoding time and find nothing more.
constexpr int kFrameSamples = 16;

// The proposals for a still picture, in picture coordinates, best first. None for a null picture.
std::vector<QRect> findButtons(const QImage& picture);

// The proposals for frames of one range (as sampleFrames picks them). Null frames and frames of
// another size than the first good one are left out (a frame that could not be decoded); a frame of
// garbage among good ones changes nothing, as each pixel is judged by its median over the frames.
std::vector<QRect> findButtons(const std::vector<QImage>& frames);

// The frame numbers of first .. last to decode for findButtons: at most `count`, evenly spread, the
// first and the last included. Empty when last < first.
std::vector<int> sampleFrames(int first, int last, int count = kFrameSamples);
// The same, each moved to a key frame of `keyFrames` (ascending) where one lies within half the
// distance between samples: a key frame decodes alone, any other frame needs those since the key
// frame before it.
std::vector<int> sampleFrames(int first, int last, const std::vector<int>& keyFrames, int count = kFrameSamples);

// The proposals that overlap none of the `existing` rectangles, in their order.
std::vector<QRect> withoutOverlaps(const std::vector<QRect>& proposals, const std::vector<QRect>& existing);

} // namespace finder
