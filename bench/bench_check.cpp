// The menu check on the largest menu the player accepts, against reading the same menu from its file.
// Prints ratios measured in one run, so that the machine's speed cancels out.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <utility>

#include "check/menucheck.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "core/paths.h"

#include "benchtiming.h"
#include "maximalmenu.h"

namespace {

// Processor time, not the time on the clock: on a machine shared with builds, short runs are often
// put aside for other programs' turns, which the clock would count.
std::pair<double, double> bestOfPairs(int runs, const benchtiming::Work& subject, const benchtiming::Work& baseline)
{
    return benchtiming::bestOfPairs(runs, subject, baseline, benchtiming::threadMs);
}

// The maximal menu as an author would finish it: no action after one that leaves the page, no end
// values on pages whose end never comes, the picture size known. It checks without a problem.
void tidy(MenuProject& p)
{
    p.movieData.menuSize = QStringLiteral("720,576");
    for (auto& page : p.pages) {
        if (!page->backgroundIsVideo || page->videoLoop)
            page->actionAtEnd.reset();
        int s = 0;
        for (auto& sel : page->selections) {
            ++s;
            sel->actions.front() = std::make_unique<MenuAction>(ActChangeSubtitle, QString::number(s % 10));
        }
    }
}

// Every file the movie data and the pages name, empty, below `base`; returns how many.
int makeFiles(const MenuProject& p, const QString& base)
{
    const MovieData& md = p.movieData;
    int count = 0;
    auto touch = [&](const QString& dir, const QString& name) {
        ++count;
        const QString path = paths::resolve(base, dir, name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
    };
    for (const QString* n : {&md.aviName, &md.avi2Name, &md.avi3Name})
        touch(md.movieDirectory, *n);
    for (const auto& s : md.specials)
        touch(md.movieDirectory, s->file);
    for (size_t i = 1; i < md.languages.size(); ++i)
        for (const QString& f : md.languages[i]->files.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            touch(md.languageDirectory, f);
    for (const auto& s : md.subtitles)
        touch(md.subtitlesDirectory, s->file);
    touch(md.menuDirectory, md.menuAVIName);
    for (const auto& page : p.pages)
        if (!page->backgroundIsVideo)
            touch(md.menuDirectory, page->pictureFile);
    return count;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 41;
    QTemporaryDir dir;
    const QString path = dir.filePath("maximal.ini");

    MenuProject built;
    fillMaximalProject(built);
    MenuProject tidied;
    fillMaximalProject(tidied);
    tidy(tidied);
    if (!SaveProjectFile(built, path, {}))
        return 1;
    const int files = makeFiles(tidied, paths::withTrailingSeparator(dir.path()));

    size_t sink = 0;
    auto load = [&] {
        MenuProject p;
        LoadProject(path, p, {});
        sink += p.pages.size();
    };
    CheckContext noFiles;
    noFiles.pictureSize = QSize(720, 576);
    noFiles.menuFrameCount = 60000;
    CheckContext withFiles = noFiles;
    withFiles.baseDirectory = paths::withTrailingSeparator(dir.path());

    const size_t builtProblems = checkProject(built, noFiles).size();
    const size_t tidiedProblems = checkProject(tidied, noFiles).size();
    const size_t fileProblems = checkProject(tidied, withFiles).size();

    const auto [checkBuilt, read1] = bestOfPairs(runs, [&] { sink += checkProject(built, noFiles).size(); }, load);
    const auto [checkTidied, read2] = bestOfPairs(runs, [&] { sink += checkProject(tidied, noFiles).size(); }, load);
    const auto [checkFiles, read3] = bestOfPairs(runs, [&] { sink += checkProject(tidied, withFiles).size(); }, load);
    const double read = std::min({read1, read2, read3});

    std::printf("check benchmark: 500 pages x 16 selections x 3 actions, 99 chapters, 9 languages, 9 subtitles; "
                "%d runs (best of each, processor time); reading the file: %.2f ms\n",
                runs, read);
    std::printf("  as built (%zu problems)             %7.2f ms   ratio to reading %5.2f   (goal < 20 ms, <= 3)\n",
                builtProblems, checkBuilt, checkBuilt / read);
    std::printf("  finished (%zu problems)             %7.2f ms   ratio to reading %5.2f   (goal < 20 ms, <= 3)\n",
                tidiedProblems, checkTidied, checkTidied / read);
    std::printf("  finished, with the %d files looked for (%zu problems) %7.2f ms   ratio to reading %5.2f\n",
                files, fileProblems, checkFiles, checkFiles / read);
    return sink == 0 ? 1 : 0;
}
