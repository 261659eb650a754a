// How well and how fast the button finder proposes the rectangles of generated menu pages whose
// buttons are known: precision and recall at an overlap (intersection over union) of at least 0.6,
// per background and in all, and the time for one 720 x 576 picture and for a 250-frame range of a
// menu video (decoding the frames it looks at included).
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

#include "benchtiming.h"
#include "finder/buttonfinder.h"
#include "fixtures/buttonscenes.h"
#include "fixtures/videofixtures.h"
#include "media/videosource.h"

namespace {

constexpr double kMinOverlap = 0.6;

struct Tally
{
    int truths = 0;
    int proposals = 0;
    int matched = 0;

    void add(const std::vector<QRect>& truth, const std::vector<QRect>& found)
    {
        truths += int(truth.size());
        proposals += int(found.size());
        matched += fixtures::matchedButtons(truth, found, kMinOverlap);
    }
    double precision() const { return proposals ? double(matched) / proposals : 1.0; }
    double recall() const { return truths ? double(matched) / truths : 1.0; }
};

const char* backgroundName(fixtures::SceneBackground b)
{
    switch (b) {
    case fixtures::SceneBackground::Flat: return "flat";
    case fixtures::SceneBackground::Gradient: return "gradient";
    case fixtures::SceneBackground::Noisy: return "noisy";
    case fixtures::SceneBackground::Moving: return "moving";
    }
    return "?";
}

void printTally(const char* what, const Tally& t)
{
    std::printf("  %-28s buttons %4d  proposals %4d  precision %.3f  recall %.3f\n", what, t.truths, t.proposals,
                t.precision(), t.recall());
}

std::vector<QImage> sampledFrames(const fixtures::ButtonScene& scene, int first, int last)
{
    std::vector<QImage> frames;
    for (int n : finder::sampleFrames(first, last))
        frames.push_back(scene.frame(n));
    return frames;
}

// With --dump DIR, every page where something was missed or proposed wrongly is written there with
// the true rectangles in green and the proposals dashed in red, to see what the finder does wrong.
QString dumpDir;

void dump(const QString& name, const QImage& picture, const std::vector<QRect>& truth, const std::vector<QRect>& found)
{
    if (dumpDir.isEmpty())
        return;
    const int matched = fixtures::matchedButtons(truth, found, kMinOverlap);
    if (matched == int(truth.size()) && matched == int(found.size()))
        return;
    QImage marked = picture.convertToFormat(QImage::Format_RGB32);
    QPainter p(&marked);
    p.setPen(QPen(Qt::green, 1));
    for (const QRect& r : truth)
        p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(QPen(Qt::red, 1, Qt::DashLine));
    for (const QRect& r : found)
        p.drawRect(r.adjusted(0, 0, -1, -1));
    p.end();
    marked.save(QDir(dumpDir).filePath(name + QStringLiteral(".png")));
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int dumpAt = int(app.arguments().indexOf(QStringLiteral("--dump")));
    if (dumpAt > 0 && dumpAt + 1 < app.arguments().size())
        dumpDir = app.arguments().at(dumpAt + 1);

    const QSize sizes[] = {{720, 576}, {720, 480}, {352, 288}, {320, 240}};
    const int scenesPerKind = 12;

    std::printf("Button finder on generated menu pages (overlap >= %.1f counts as found)\n", kMinOverlap);
    Tally all;
    std::map<std::string, Tally> byKind;
    // Still pictures.
    for (auto bg : {fixtures::SceneBackground::Flat, fixtures::SceneBackground::Gradient, fixtures::SceneBackground::Noisy}) {
        Tally t;
        for (const QSize& size : sizes) {
            for (int i = 0; i < scenesPerKind; ++i) {
                const uint32_t seed = uint32_t(1000 * int(bg) + 100 * size.width() / 100 + i);
                const fixtures::ButtonScene scene = fixtures::randomButtonScene(seed, size, bg);
                const std::vector<QRect> truth = fixtures::expectedRects(scene, finder::kMargin);
                const QImage frame = scene.frame(0);
                const std::vector<QRect> found = finder::findButtons(frame);
                t.add(truth, found);
                dump(QStringLiteral("%1-%2").arg(QLatin1String(backgroundName(bg))).arg(seed), frame, truth, found);
            }
        }
        printTally(qPrintable(QStringLiteral("picture, %1 background").arg(QLatin1String(backgroundName(bg)))), t);
        all.matched += t.matched;
        all.truths += t.truths;
        all.proposals += t.proposals;
    }
    // Frame ranges of videos: the background moves (or its noise changes) while the buttons stay.
    for (auto bg : {fixtures::SceneBackground::Moving, fixtures::SceneBackground::Noisy}) {
        Tally t;
        for (const QSize& size : sizes) {
            for (int i = 0; i < scenesPerKind / 2; ++i) {
                const uint32_t seed = uint32_t(5000 + 1000 * int(bg) + size.width() + i);
                const fixtures::ButtonScene scene = fixtures::randomButtonScene(seed, size, bg);
                const std::vector<QRect> truth = fixtures::expectedRects(scene, finder::kMargin);
                const std::vector<QRect> found = finder::findButtons(sampledFrames(scene, 0, 249));
                t.add(truth, found);
                dump(QStringLiteral("video-%1-%2").arg(QLatin1String(backgroundName(bg))).arg(seed), scene.frame(0), truth, found);
            }
        }
        printTally(qPrintable(QStringLiteral("video range, %1 background").arg(QLatin1String(backgroundName(bg)))), t);
        all.matched += t.matched;
        all.truths += t.truths;
        all.proposals += t.proposals;
    }
    printTally("all", all);

    // Speed: one 720 x 576 picture, and a 250-frame range of an MPEG-4 menu video of that size.
    const fixtures::ButtonScene picture = fixtures::randomButtonScene(7, {720, 576}, fixtures::SceneBackground::Noisy);
    const QImage still = picture.frame(0);
    const double pictureMs = benchtiming::bestMs(10, [&] { finder::findButtons(still); });

    QTemporaryDir dir;
    const fixtures::ButtonScene moving = fixtures::randomButtonScene(8, {720, 576}, fixtures::SceneBackground::Moving);
    fixtures::VideoSpec spec;
    spec.width = 720;
    spec.height = 576;
    spec.frames = 250;
    spec.picture = [&](int n) { return moving.frame(n); };
    const QString path = QDir(dir.path()).filePath(QStringLiteral("menu.avi"));
    fixtures::writeVideo(path, spec);
    std::vector<QRect> fromVideo;
    const double rangeMs = benchtiming::bestMs(3, [&] {
        VideoSource video([](const Message&) {});
        video.OpenVideo(path);
        fromVideo = finder::findButtons(
            video.thumbnails(finder::sampleFrames(0, 249, video.stream()->keyFrames()), QSize(720, 576)));
    });
    std::vector<QImage> decoded;
    const double decodeMs = benchtiming::bestMs(3, [&] {
        VideoSource video([](const Message&) {});
        video.OpenVideo(path);
        decoded = video.thumbnails(finder::sampleFrames(0, 249, video.stream()->keyFrames()), QSize(720, 576));
    });
    const double findMs = benchtiming::bestMs(3, [&] { finder::findButtons(decoded); });
    Tally compressed;
    compressed.add(fixtures::expectedRects(moving, finder::kMargin), fromVideo);
    printTally("MPEG-4 video, moving", compressed);
    std::printf("Time: 720 x 576 picture %.1f ms (goal 150), 250-frame range of a 720 x 576 video %.0f ms (goal 1500)\n",
                pictureMs, rangeMs);
    std::printf("      of which opening and decoding %zu frames %.0f ms, finding %.0f ms\n", decoded.size(), decodeMs, findMs);
    return 0;
}
