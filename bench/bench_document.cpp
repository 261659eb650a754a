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

namespace {

void fillMaximalProject(MenuProject& p)
{
    MovieData& md = p.movieData;
    md.title = "The Longest Movie";
    md.id = "LONG0001";
    md.movieDirectory = "video\\cd1";
    md.aviName = "movie_cd1.avi";
    md.avi2Name = "movie_cd2.avi";
    md.avi3Name = "movie_cd3.avi";
    md.cd1Frames = "150000";
    md.cd2Frames = "149000";
    md.cd3Frames = "120000";
    for (int i = 1; i <= 99; ++i)
        md.chapters.push_back(std::make_unique<Chapter>(
            Chapter{QString::number(i), QString::number(i * 4000), QStringLiteral("Chapter number %1").arg(i)}));
    md.specialsCD = "3";
    for (int i = 1; i <= 9; ++i)
        md.specials.push_back(std::make_unique<SpecialFeature>(
            SpecialFeature{QString::number(i), QStringLiteral("Special %1").arg(i), QStringLiteral("sp%1.avi").arg(i)}));
    md.languageDirectory = "audio";
    for (int i = 0; i < 9; ++i)
        md.languages.push_back(std::make_unique<AudioLanguage>(
            AudioLanguage{QString::number(i), QStringLiteral("L%1").arg(i), QStringLiteral("Language %1").arg(i),
                          i ? QStringLiteral("l%1_1.mp3 l%1_2.mp3 l%1_3.mp3").arg(i) : QString()}));
    md.subtitlesDirectory = "subs";
    for (int i = 1; i <= 9; ++i) {
        SubtitleTrack t;
        t.number = QString::number(i);
        t.shortName = QStringLiteral("S%1").arg(i);
        t.fullName = QStringLiteral("Subtitle %1").arg(i);
        t.file = QStringLiteral("sub%1.srt").arg(i);
        t.format = "2";
        t.offset = "-100";
        md.subtitles.push_back(std::make_unique<SubtitleTrack>(std::move(t)));
    }
    md.menuDirectory = "menu";
    md.menuAVIName = "menu.avi";
    md.startPage = "1";
    md.menuPage = "2";
    for (int n = 1; n <= 500; ++n) {
        auto page = std::make_unique<Page>(n, QStringLiteral("Menu page %1").arg(n));
        page->backgroundIsVideo = n % 5 != 0;
        page->pictureFile = QStringLiteral("page%1.jpg").arg(n);
        page->videoLoop = n % 2;
        page->firstFrame = n * 100;
        page->lastFrame = n * 100 + 99;
        page->selectionAvailable = true;
        page->defaultSelection = 1;
        page->actionAtEnd = std::make_unique<MenuAction>(ActRelativeJump, "+1");
        for (int s = 1; s <= 16; ++s) {
            auto sel = std::make_unique<Selection>(QStringLiteral("Selection-%1").arg(s),
                                                   QStringLiteral("%1,%2-%3,%4").arg(s * 10).arg(s * 20).arg(s * 10 + 80).arg(s * 20 + 15));
            sel->addAction(ActPlayFromChapter, QString::number(s));
            sel->addAction(ActChangeLanguage, "1");
            sel->addAction(ActJumpToPage, QString::number(n % 500 + 1));
            page->addSelection(std::move(sel));
        }
        p.pages.push_back(std::move(page));
    }
}

double timeMs(const std::function<void()>& f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return double(timer.nsecsElapsed()) / 1e6;
}

// The subject and its baseline run in turns, so that a busy machine slows both alike; the best time of
// each is kept, the one least disturbed by anything else the machine does.
std::pair<double, double> bestOfPairs(int runs, const std::function<void()>& subject,
                                      const std::function<void()>& baseline)
{
    double s = 1e300, b = 1e300;
    for (int i = 0; i < runs; ++i) {
        b = std::min(b, timeMs(baseline));
        s = std::min(s, timeMs(subject));
    }
    return {s, b};
}

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
