// The button finder on generated menu pictures whose buttons are known, and vrplmenu find-buttons.
#include <QPainter>
#include <QtTest>

#include <random>

#include "clitestutil.h"
#include "document/areatext.h"
#include "finder/buttonfinder.h"
#include "fixtures/buttonscenes.h"
#include "fixtures/jpegfixtures.h"
#include "fixtures/videofixtures.h"
#include "media/jpegdecoder.h"

using namespace fixtures;

namespace {

QFont font(const char* family, int pixels, bool bold = false)
{
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

enum class Case { SideBySide, TwoLines, Stacked, Framed, Thumbnails, Fonts, SmallPicture };

ButtonScene makeScene(Case c, SceneBackground background)
{
    ButtonScene s(c == Case::SmallPicture ? QSize(320, 240) : QSize(720, 576), background, 11);
    const QColor ink = s.contrastingColour(3);
    switch (c) {
    case Case::SideBySide:
        s.addLabel({100, 200}, QStringLiteral("Play Movie"), font("DejaVu Sans", 28), ink);
        s.addLabel({400, 200}, QStringLiteral("Setup"), font("DejaVu Sans", 28), ink);
        break;
    case Case::TwoLines:
        s.addLabel({200, 150}, QStringLiteral("Behind the\nScenes"), font("DejaVu Serif", 24), ink);
        break;
    case Case::Stacked: // a chapter list: each line is a button of its own
        for (int i = 0; i < 4; ++i)
            s.addLabel({80, 100 + i * 50}, QStringLiteral("Chapter %1").arg(i + 1), font("DejaVu Sans", 20), ink);
        break;
    case Case::Framed:
        s.addFramed({100, 100}, QStringLiteral("Play"), font("DejaVu Sans", 24, true), ink, ink, QColor(), 2, 10, 6);
        s.addFramed({400, 300}, QStringLiteral("Special\nFeatures"), font("DejaVu Sans", 18), Qt::black, ink,
                    s.contrastingColour(5).lighter(), 3, 8, 0);
        break;
    case Case::Thumbnails:
        for (int i = 0; i < 3; ++i)
            s.addThumbnail(QRect(60 + i * 200, 200, 150, 110), uint32_t(i + 1), i == 1);
        break;
    case Case::Fonts:
        s.addLabel({50, 60}, QStringLiteral("Scene Selection"), font("DejaVu Sans Mono", 16, true), ink);
        s.addLabel({400, 60}, QStringLiteral("Languages"), font("DejaVu Serif", 40), ink);
        s.addLabel({50, 300}, QStringLiteral("Extras"), font("DejaVu Sans Condensed", 12), ink);
        s.addLabel({400, 300}, QStringLiteral("Fran\u00e7ais"), font("DejaVu Sans", 32, true), ink);
        break;
    case Case::SmallPicture:
        s.addLabel({20, 30}, QStringLiteral("Play"), font("DejaVu Sans", 14), ink);
        s.addThumbnail(QRect(150, 100, 80, 60), 9, true);
        break;
    }
    return s;
}

std::vector<QImage> framesOf(const ButtonScene& scene)
{
    std::vector<QImage> frames;
    for (int n : finder::sampleFrames(0, 99))
        frames.push_back(scene.frame(n));
    return frames;
}

// Every proposal lies within the picture, is at least 5 x 5 and covers at most half of it.
void verifyWellFormed(const std::vector<QRect>& found, QSize size)
{
    for (const QRect& r : found) {
        QVERIFY2(QRect(QPoint(0, 0), size).contains(r), qPrintable(formatArea(r.left(), r.top(), r.right(), r.bottom())));
        QVERIFY(r.width() >= finder::kMinSide && r.height() >= finder::kMinSide);
        QVERIFY(qint64(r.width()) * r.height() * 2 <= qint64(size.width()) * size.height());
    }
}

QImage noisePicture(QSize size, uint32_t seed)
{
    QImage picture(size, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, rng());
    return picture;
}

} // namespace

Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(SceneBackground)

class TestFinder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void findsEachButtonOnce_data();
    void findsEachButtonOnce();
    void stillPartsOfMovingFrames();
    void damagedFramesChangeNothing();
    void damagedPicture();
    void nothingToFind_data();
    void nothingToFind();
    void sampleFrames_data();
    void sampleFrames();
    void sampleKeyFrames();
    void withoutOverlaps();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir m_dir;
};

void TestFinder::findsEachButtonOnce_data()
{
    QTest::addColumn<Case>("scene");
    QTest::addColumn<SceneBackground>("background");
    QTest::newRow("labels side by side, flat") << Case::SideBySide << SceneBackground::Flat;
    QTest::newRow("labels side by side, noisy") << Case::SideBySide << SceneBackground::Noisy;
    QTest::newRow("two lines of one label, gradient") << Case::TwoLines << SceneBackground::Gradient;
    QTest::newRow("stacked labels, flat") << Case::Stacked << SceneBackground::Flat;
    QTest::newRow("framed buttons, flat") << Case::Framed << SceneBackground::Flat;
    QTest::newRow("framed buttons, noisy") << Case::Framed << SceneBackground::Noisy;
    QTest::newRow("thumbnails, gradient") << Case::Thumbnails << SceneBackground::Gradient;
    QTest::newRow("fonts and sizes, flat") << Case::Fonts << SceneBackground::Flat;
    QTest::newRow("small picture, gradient") << Case::SmallPicture << SceneBackground::Gradient;
}

// One proposal per button, on its edge with the margin: not one per letter or line, not two labels
// in one, not the label inside a frame besides the frame.
void TestFinder::findsEachButtonOnce()
{
    QFETCH(Case, scene);
    QFETCH(SceneBackground, background);
    const ButtonScene s = makeScene(scene, background);
    const std::vector<QRect> truth = expectedRects(s, finder::kMargin);
    const std::vector<QRect> found = finder::findButtons(s.frame(0));
    verifyWellFormed(found, s.size());
    QCOMPARE(int(found.size()), int(truth.size()));
    QCOMPARE(matchedButtons(truth, found, 0.8), int(truth.size()));
}

// On a moving background only the buttons stand still: a sharp square that crosses the picture is a
// button in any one frame, but not over the frames of the range.
void TestFinder::stillPartsOfMovingFrames()
{
    ButtonScene s(QSize(480, 360), SceneBackground::Moving, 4);
    s.addLabel({40, 40}, QStringLiteral("Play"), font("DejaVu Sans", 24, true), Qt::white);
    s.addLabel({300, 250}, QStringLiteral("Chapters"), font("DejaVu Serif", 22, true), Qt::white);
    s.addFramed({250, 60}, QStringLiteral("Setup"), font("DejaVu Sans", 18), Qt::white, Qt::white, QColor(), 2, 8);
    std::vector<QImage> frames;
    for (int n : finder::sampleFrames(0, 99)) {
        QImage f = s.frame(n);
        QPainter(&f).fillRect(QRect(20 + 4 * n, 160, 40, 40), Qt::yellow);
        frames.push_back(f);
    }
    const std::vector<QRect> truth = expectedRects(s, finder::kMargin);
    const std::vector<QRect> found = finder::findButtons(frames);
    QCOMPARE(int(found.size()), int(truth.size()));
    QCOMPARE(matchedButtons(truth, found, 0.8), int(truth.size()));
    QCOMPARE(int(finder::findButtons(frames.front()).size()), int(truth.size()) + 1);
}

// A frame that could not be decoded (null), one of another size and one of garbage among good frames.
void TestFinder::damagedFramesChangeNothing()
{
    const ButtonScene s = makeScene(Case::Framed, SceneBackground::Noisy);
    std::vector<QImage> frames = framesOf(s);
    const std::vector<QRect> clean = finder::findButtons(frames);
    frames[3] = QImage();
    frames[5] = noisePicture(s.size(), 1);
    frames[7] = s.frame(7).scaled(100, 80);
    QCOMPARE(finder::findButtons(frames), clean);
    QVERIFY(finder::findButtons(std::vector<QImage>{QImage(), QImage()}).empty());
}

// A JPEG cut off in its data: the buttons of the part that was decoded are still found.
void TestFinder::damagedPicture()
{
    ButtonScene s(QSize(720, 576), SceneBackground::Flat, 2);
    s.addLabel({100, 40}, QStringLiteral("Play"), font("DejaVu Sans", 28), Qt::white);
    const QString full = m_dir.filePath(QStringLiteral("full.jpg"));
    writeJpeg(full, s.frame(0));
    const QString cut = m_dir.filePath(QStringLiteral("cut.jpg"));
    writeTruncatedCopy(full, cut, QFileInfo(full).size() / 2);
    QString warning;
    const QImage picture = decodeJpegFile(cut, &warning);
    QVERIFY(!warning.isEmpty());
    const std::vector<QRect> found = finder::findButtons(picture);
    verifyWellFormed(found, picture.size());
    QCOMPARE(matchedButtons(expectedRects(s, finder::kMargin), found, 0.8), 1);
}

void TestFinder::nothingToFind_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<bool>("mayFind"); // a picture too small to say: anything found is well-formed
    QImage one(720, 576, QImage::Format_RGB32);
    one.fill(QColor(20, 40, 160));
    QTest::newRow("null picture") << QImage() << false;
    QTest::newRow("one colour") << one << false;
    QTest::newRow("gradient without buttons") << ButtonScene(QSize(720, 576), SceneBackground::Gradient, 1).frame(0) << false;
    QTest::newRow("noise without buttons") << ButtonScene(QSize(720, 576), SceneBackground::Noisy, 1).frame(0) << false;
    QImage tiny(16, 16, QImage::Format_RGB32);
    tiny.fill(Qt::black);
    tiny.setPixel(8, 8, qRgb(255, 255, 255));
    QTest::newRow("16 x 16 picture") << tiny << true;
    QTest::newRow("16 x 16 of noise") << noisePicture(QSize(16, 16), 7) << true;
}

void TestFinder::nothingToFind()
{
    QFETCH(QImage, picture);
    QFETCH(bool, mayFind);
    const std::vector<QRect> found = finder::findButtons(picture);
    if (mayFind)
        verifyWellFormed(found, picture.size());
    else
        QCOMPARE(found, std::vector<QRect>{});
}

void TestFinder::sampleFrames_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("short range: every frame") << 5 << 7 << QList<int>{5, 6, 7};
    QTest::newRow("one frame") << 9 << 9 << QList<int>{9};
    QTest::newRow("empty") << 9 << 8 << QList<int>{};
    QTest::newRow("sixteen of 250, both ends")
        << 0 << 249 << QList<int>{0, 16, 33, 49, 66, 83, 99, 116, 132, 149, 166, 182, 199, 215, 232, 249};
}

void TestFinder::sampleFrames()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QList<int>, expected);
    const std::vector<int> frames = finder::sampleFrames(first, last);
    QCOMPARE(QList<int>(frames.begin(), frames.end()), expected);
}

// Samples move to a key frame near them, never out of the range nor further than half their spacing.
void TestFinder::sampleKeyFrames()
{
    const std::vector<int> keys{0, 12, 24, 36, 48, 60, 72, 84, 96};
    const std::vector<int> frames = finder::sampleFrames(10, 90, keys, 5); // 10, 30, 50, 70, 90
    QCOMPARE(QList<int>(frames.begin(), frames.end()), (QList<int>{12, 36, 48, 72, 84}));
    const std::vector<int> dense = finder::sampleFrames(0, 15, keys, 16); // every frame: the same one once
    QCOMPARE(QList<int>(dense.begin(), dense.end()), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

void TestFinder::withoutOverlaps()
{
    const std::vector<QRect> proposals{QRect(0, 0, 10, 10), QRect(20, 0, 10, 10), QRect(40, 0, 10, 10)};
    // Touching the last one's corner pixel is an overlap; lying just beside the first is none.
    const std::vector<QRect> existing{QRect(10, 0, 5, 5), QRect(49, 9, 3, 3)};
    QCOMPARE(finder::withoutOverlaps(proposals, existing), (std::vector<QRect>{QRect(0, 0, 10, 10), QRect(20, 0, 10, 10)}));
}

void TestFinder::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("buttons"); // -1: nothing on standard output

    ButtonScene s(QSize(360, 288), SceneBackground::Flat, 3);
    s.addLabel({40, 40}, QStringLiteral("Play"), font("DejaVu Sans", 24), Qt::white);
    s.addThumbnail(QRect(180, 150, 120, 90), 4, false);
    const QString jpeg = m_dir.filePath(QStringLiteral("page.jpg"));
    writeJpeg(jpeg, s.frame(0), JpegOptions{95});
    ButtonScene blank(QSize(360, 288), SceneBackground::Flat, 3);
    const QString blankJpeg = m_dir.filePath(QStringLiteral("blank.jpg"));
    writeJpeg(blankJpeg, blank.frame(0));
    const QString avi = m_dir.filePath(QStringLiteral("menu.avi"));
    VideoSpec spec;
    spec.width = 360;
    spec.height = 288;
    spec.frames = 40;
    spec.picture = [&](int n) { return s.frame(n); };
    writeVideo(avi, spec);
    const QString text = m_dir.filePath(QStringLiteral("notes.jpg"));
    writeDamagedJpeg(text, JpegDamage::NotJpeg);

    QTest::newRow("picture") << QStringList{"find-buttons", jpeg} << 0 << 2;
    QTest::newRow("picture as JSON") << QStringList{"find-buttons", jpeg, "--json"} << 0 << 2;
    QTest::newRow("picture without buttons") << QStringList{"find-buttons", blankJpeg} << 0 << 0;
    QTest::newRow("video range") << QStringList{"find-buttons", avi, "--range", "10-39"} << 0 << 2;
    QTest::newRow("whole video as JSON") << QStringList{"find-buttons", "--json", avi} << 0 << 2;
    QTest::newRow("range beyond the video") << QStringList{"find-buttons", avi, "--range", "10-40"} << 2 << -1;
    QTest::newRow("range backwards") << QStringList{"find-buttons", avi, "--range", "20-10"} << 2 << -1;
    QTest::newRow("range on a picture") << QStringList{"find-buttons", jpeg, "--range", "0-1"} << 2 << -1;
    QTest::newRow("no JPEG") << QStringList{"find-buttons", text} << 2 << -1;
    QTest::newRow("missing file") << QStringList{"find-buttons", m_dir.filePath("none.jpg")} << 2 << -1;
    QTest::newRow("no file") << QStringList{"find-buttons"} << 2 << -1;
}

void TestFinder::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(int, buttons);
    const CliRun r = runVrplmenu(args);
    QCOMPARE(r.exitCode, exitCode);
    if (buttons < 0) {
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());
        return;
    }
    QStringList areas;
    if (args.contains(QStringLiteral("--json"))) {
        const QJsonArray array = QJsonDocument::fromJson(r.out).array();
        for (const QJsonValue& v : array) {
            const QJsonObject o = v.toObject();
            const QString area = o.value(QStringLiteral("area")).toString();
            QCOMPARE(area, formatArea(o.value("left").toInt(), o.value("top").toInt(), o.value("right").toInt(),
                                      o.value("bottom").toInt()));
            areas.append(area);
        }
    } else {
        areas = QString::fromLatin1(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QCOMPARE(areas.size(), buttons);
    // The same rectangles as the finder gives for the picture, in Area form (right = left + width).
    ButtonScene s(QSize(360, 288), SceneBackground::Flat, 3);
    s.addLabel({40, 40}, QStringLiteral("Play"), font("DejaVu Sans", 24), Qt::white);
    s.addThumbnail(QRect(180, 150, 120, 90), 4, false);
    std::vector<QRect> found;
    for (const QString& a : areas) {
        const std::optional<AreaRect> rect = parseArea(a);
        QVERIFY(rect);
        found.push_back(QRect(rect->left, rect->top, rect->width(), rect->height()));
    }
    if (buttons > 0)
        QCOMPARE(matchedButtons(expectedRects(s, finder::kMargin), found, 0.8), buttons);
}

QTEST_MAIN(TestFinder)
#include "test_finder.moc"
