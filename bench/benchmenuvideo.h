#pragma once

#include <QString>

#include "fixtures/videofixtures.h"

// The menu video the window benchmarks play: 720x576 MPEG-4 at 25 frames a second, two B-frames and
// a key frame every 250, as menu videos are usually made; every picture carries its frame number.
inline fixtures::VideoFixture writeBenchMenuVideo(const QString& path, int frames)
{
    fixtures::VideoSpec spec;
    spec.width = 720;
    spec.height = 576;
    spec.frames = frames;
    spec.keyInterval = 250;
    spec.bFrames = 2;
    return fixtures::writeVideo(path, spec);
}
