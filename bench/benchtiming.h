#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <ctime>
#include <functional>
#include <utility>

// How the benchmarks time their work. Every figure is the best of several runs, the one least
// disturbed by anything else the machine does.
namespace benchtiming {

using Work = std::function<void()>;
using Clock = double (*)(const Work&);

// The time on the clock, in milliseconds.
inline double wallMs(const Work& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The processor time of this thread, not the time on the clock: on a machine shared with builds, a
// run of a few milliseconds is often put aside for other programs' turns, which the clock would count.
inline double threadMs(const Work& work)
{
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    const double start = now();
    work();
    return now() - start;
}

inline double bestMs(int runs, const Work& work, Clock clock = wallMs)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r)
        best = std::min(best, clock(work));
    return best;
}

// The subject and its baseline run in turns, so that a busy machine slows both alike.
inline std::pair<double, double> bestOfPairs(int runs, const Work& subject, const Work& baseline, Clock clock = wallMs)
{
    double s = 1e300;
    double b = 1e300;
    for (int i = 0; i < runs; ++i) {
        b = std::min(b, clock(baseline));
        s = std::min(s, clock(subject));
    }
    return {s, b};
}

} // namespace benchtiming
