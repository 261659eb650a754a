// Loading and saving the largest menu the player accepts, against the cost of merely reading the file's
// bytes and splitting them into lines (resp. writing the same bytes the same way). Prints ratios
// measured in one run, so that the machine's speed cancels out.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include "document/actiontypes.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"

#include "benchtiming.h"
#include "maximalmenu.h"

namespace {

using benchtiming::bestOfPairs;

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // "--write FILE" only writes the maximal menu file, for profiling the reader on it.
    if (argc == 3 && QByteArray(argv[1]) == "--write") {
        MenuProject project;
        fillMaximalProject(project);
        return SaveProjectFile(project, QString::fromLocal8Bit(argv[2]), {}) ? 0 : 1;
    }
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 21;
    QTemporaryDir dir;
    const QString path = dir.filePath("maximal.ini");
    const QString copy = dir.filePath("copy.ini");

    MenuProject project;
    fillMaximalProject(project);
    if (!SaveProjectFile(project, path, {}))
        return 1;
    const QByteArray bytes = *BuildMenuFile(project, {});

    size_t sink = 0;
    const auto [load, baseRead] = bestOfPairs(
        runs,
        [&] {
            MenuProject p;
            LoadProject(path, p, {});
            sink += p.pages.size();
        },
        [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            const QByteArray all = f.readAll();
            const QList<QByteArray> lines = all.split('\n');
            sink += size_t(lines.size());
        });
    const auto [save, baseWrite] = bestOfPairs(
        runs, [&] { SaveProjectFile(project, copy, {}); },
        [&] {
            QSaveFile f(copy);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            f.commit();
        });
    const double build = bestOfPairs(
        runs, [&] { sink += size_t(BuildMenuFile(project, {})->size()); }, [] {}).first;

    MenuProject check;
    LoadProject(path, check, {});
    const bool same = *BuildMenuFile(check, {}) == bytes;

    std::printf("document benchmark: 500 pages x 16 selections x 3 actions, 99 chapters, 9 languages, "
                "9 subtitles; %lld bytes, %d runs (best of each)%s\n",
                static_cast<long long>(bytes.size()), runs, same ? "" : "  ROUND TRIP DIFFERS");
    std::printf("  load  %8.2f ms   baseline read+split %7.2f ms   ratio %5.2f   (goal <= 5)\n", load, baseRead,
                load / baseRead);
    std::printf("  save  %8.2f ms   baseline write      %7.2f ms   ratio %5.2f   (goal <= 3)\n", save, baseWrite,
                save / baseWrite);
    std::printf("  (building the bytes alone: %.2f ms)\n", build);
    return sink == 0 ? 1 : 0;
}
