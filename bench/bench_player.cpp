// The player model's step for one frame on the largest menu the player accepts. The preview calls it
// for every frame shown, so it must cost next to nothing beside decoding: the goal is below one
// microsecond. Each figure is the best of several runs, as the machine may be shared.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "player/playermodel.h"

#include "maximalmenu.h"

namespace {

double bestNs(int runs, qint64 operations, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, double(timer.nsecsElapsed()) / double(operations));
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 7;
    MenuProject project;
    fillMaximalProject(project);
    PlayerModel model(project);
    model.setFrameRate(25);
    qint64 sink = 0;

    // A looping page: the common case while the viewer looks at a menu.
    constexpr qint64 kSteps = 5'000'000;
    const double loopStep = bestNs(runs, kSteps, [&] {
        model.start(0);
        for (qint64 i = 0; i < kSteps; ++i) {
            model.advanceFrame();
            sink += model.frame();
        }
    });

    // Every page that ends: 100 frames each, the last one running the end action (a jump to the next
    // page of the list, which builds that page's table of selections). The starts are counted in.
    qint64 throughSteps = 0;
    for (size_t i = 0; i < project.pages.size(); ++i)
        if (project.pages[i]->backgroundIsVideo && !project.pages[i]->videoLoop)
            throughSteps += 100;
    const double endingStep = bestNs(runs, throughSteps, [&] {
        for (size_t i = 0; i < project.pages.size(); ++i) {
            const Page& p = *project.pages[i];
            if (!p.backgroundIsVideo || p.videoLoop)
                continue;
            model.start(int(i));
            for (int f = 0; f < 100; ++f)
                model.advanceFrame();
            sink += model.pageIndex();
        }
    });

    // What the preview's timer calls: time gone by, turned into frames.
    const double timeStep = bestNs(runs, kSteps, [&] {
        model.start(0);
        for (qint64 i = 0; i < kSteps; ++i) {
            model.advanceTime(40);
            sink += model.frame();
        }
    });

    // The costliest single step: a page change (reading 16 areas, building the table).
    const qint64 pages = qint64(project.pages.size());
    const double activation = bestNs(runs, pages * 20, [&] {
        for (int r = 0; r < 20; ++r)
            for (int i = 0; i < int(pages); ++i) {
                model.start(i);
                sink += model.highlight();
            }
    });

    const double keyStep = bestNs(runs, kSteps, [&] {
        model.start(0);
        for (qint64 i = 0; i < kSteps; ++i) {
            model.key(i % 2 ? PlayerKey::Down : PlayerKey::Up);
            sink += model.highlight();
        }
    });

    std::printf("player benchmark: 500 pages x 16 selections x 3 actions, best of %d runs\n", runs);
    std::printf("  frame step, looping page           %7.1f ns   %.3f of the goal (1000 ns)\n", loopStep,
                loopStep / 1000);
    std::printf("  frame step, pages ending and jumping %5.1f ns   %.3f of the goal\n", endingStep, endingStep / 1000);
    std::printf("  time step (40 ms at 25 fps)        %7.1f ns   %.3f of the goal\n", timeStep, timeStep / 1000);
    std::printf("  page change alone                  %7.1f ns\n", activation);
    std::printf("  remote-control arrow key           %7.1f ns\n", keyStep);
    return sink == 42 ? 1 : 0;
}
