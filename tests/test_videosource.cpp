#include <QtTest>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"
#include "fixtures/videofixtures.h"
#include "media/h264order.h"
#include "media/jpegdecoder.h"
#include "media/videosource.h"

using fixtures::VideoKind;
using fixtures::VideoSpec;

Q_DECLARE_METATYPE(VideoSpec)
Q_DECLARE_METATYPE(MessageIcon)

namespace {

// How a fixture is turned into the file under test.
enum class Copy { Plain, WithoutIndex, Truncated, BrokenIndex };

// A copy whose legacy index points 4 bytes beside every chunk, as a careless editor might leave it.
void writeCopyWithBrokenIndex(const QString& source, const QString& target)
{
    QFile::remove(target);
    QVERIFY(QFile::copy(source, target));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadWrite));
    for (const auto& c : fixtures::riffChunks(target)) {
        if (c.id != "idx1")
            continue;
        for (qint64 at = c.offset + 8; at + 16 <= c.offset + 8 + c.size; at += 16) {
            file.seek(at + 8);
            QByteArray offset = file.read(4);
            qToLittleEndian<uint32_t>(qFromLittleEndian<uint32_t>(offset.constData()) + 4, offset.data());
            file.seek(at + 8);
            file.write(offset);
        }
        return;
    }
    QFAIL("no legacy index");
}

struct Recorder
{
    std::vector<Message> messages;
    MessageSink sink()
    {
        return [this](const Message& m) { messages.push_back(m); };
    }
};

// The frame number the picture shows, or -1.
// The fixture for `spec`; without a path when FFmpeg has no H.264 encoder (libx264) to write it
// with, `why` saying so. Any other failure to write it is the test's own.
fixtures::VideoFixture writeUnlessNoEncoder(const QString& path, const VideoSpec& spec, QString* why)
{
    try {
        return fixtures::writeVideo(path, spec);
    } catch (const fixtures::FixtureError& e) {
        if (spec.kind != VideoKind::H264)
            throw;
        *why = QString::fromUtf8(e.what());
        return {};
    }
}

// A file name for the fixture of `spec`: a VOB for the program-stream kind, an AVI otherwise.
QString fileName(const QString& base, const VideoSpec& spec)
{
    return base + (spec.kind == VideoKind::Mpeg2Vob ? QStringLiteral(".vob") : QStringLiteral(".avi"));
}

// Rows for a test that holds for both readers: the AVI one (MPEG-4) and the program-stream one
// (MPEG-2 in a VOB), in the column "kind".
void bothContainers()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("avi") << int(VideoKind::Mpeg4);
    QTest::newRow("vob") << int(VideoKind::Mpeg2Vob);
}

// The current data row's tag, fit for a file name.
QString fileTag()
{
    return QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
}

int shownNumber(const VideoSource& video)
{
    return fixtures::readFrameNumber(video.picture());
}

std::vector<int> accessOrder(const QString& order, const fixtures::VideoFixture& f)
{
    std::vector<int> frames;
    const int count = f.frameCount;
    if (order == QLatin1String("forward")) {
        for (int n = 0; n < count; ++n)
            frames.push_back(n);
    } else if (order == QLatin1String("backward")) {
        for (int n = count - 1; n >= 0; --n)
            frames.push_back(n);
    } else if (order == QLatin1String("key frames")) {
        // Each key frame and the two frames before it: the B-frames of an open group sit there.
        for (const int k : f.keyFrames) {
            frames.push_back(k);
            if (k >= 2)
                frames.push_back(k - 2);
            if (k >= 1)
                frames.push_back(k - 1);
        }
    } else if (order == QLatin1String("random")) {
        QRandomGenerator random(4711);
        for (int i = 0; i < 60; ++i)
            frames.push_back(int(random.bounded(count)));
    } else if (order == QLatin1String("last")) {
        frames = {count - 1, 0, count - 1, count - 2};
    }
    return frames;
}

// An uncompressed 8-bit AVI with a colour table, written by hand (FFmpeg's writer does not make
// this kind): frame n shows the pattern of n. Rows are 102 bytes, stored as 104.
void writePalettedAvi(const QString& path, int frames)
{
    const int w = 102, h = 60, rowBytes = 104;
    QList<QRgb> colours{qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    while (colours.size() < 256)
        colours.append(qRgb(128, 128, 128));

    auto u32 = [](QByteArray& b, uint32_t v) {
        char bytes[4];
        qToLittleEndian<uint32_t>(v, bytes);
        b.append(bytes, 4);
    };
    auto u16 = [](QByteArray& b, uint16_t v) {
        char bytes[2];
        qToLittleEndian<uint16_t>(v, bytes);
        b.append(bytes, 2);
    };
    auto chunk = [&u32](const char* id, const QByteArray& data) {
        QByteArray c(id, 4);
        u32(c, uint32_t(data.size()));
        return c + data;
    };
    auto list = [&chunk](const char* type, const QByteArray& data) { return chunk("LIST", QByteArray(type, 4) + data); };

    QByteArray avih;
    for (uint32_t v : {40000u, 0u, 0u, 0x10u, uint32_t(frames), 0u, 1u, uint32_t(rowBytes * h), uint32_t(w), uint32_t(h), 0u, 0u, 0u, 0u})
        u32(avih, v);
    // Handler, flags, priority and language, initial frames, scale, rate, start, length, buffer
    // size, quality, sample size; then the frame rectangle.
    QByteArray strh("vids");
    for (uint32_t v : {0u, 0u, 0u, 0u, 1u, 25u, 0u, uint32_t(frames), uint32_t(rowBytes * h), 0xFFFFFFFFu, 0u})
        u32(strh, v);
    for (uint16_t v : {uint16_t(0), uint16_t(0), uint16_t(w), uint16_t(h)})
        u16(strh, v);
    QByteArray strf;
    for (uint32_t v : {40u, uint32_t(w), uint32_t(h)})
        u32(strf, v);
    u16(strf, 1);
    u16(strf, 8);
    for (uint32_t v : {0u, uint32_t(rowBytes * h), 0u, 0u, 256u, 0u})
        u32(strf, v);
    for (const QRgb c : colours) {
        strf.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    }
    const QByteArray hdrl = list("hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf)));

    QByteArray movi;
    QByteArray idx1;
    for (int n = 0; n < frames; ++n) {
        const QImage picture = fixtures::patternPicture(n, w, h).convertToFormat(QImage::Format_Indexed8, colours,
                                                                                Qt::ThresholdDither | Qt::AvoidDither);
        QByteArray rows;
        for (int y = h - 1; y >= 0; --y)
            rows.append(reinterpret_cast<const char*>(picture.constScanLine(y)), w).append(QByteArray(rowBytes - w, '\0'));
        idx1.append("00db");
        u32(idx1, 0x10);
        u32(idx1, uint32_t(4 + movi.size())); // from the "movi" list type
        u32(idx1, uint32_t(rows.size()));
        movi += chunk("00db", rows);
    }
    const QByteArray body = QByteArray("AVI ") + hdrl + list("movi", movi) + chunk("idx1", idx1);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(chunk("RIFF", body));
}

} // namespace

class TestVideoSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void frameExactness_data();
    void frameExactness();
    void keyFrameSearch_data();
    void keyFrameSearch();
    void frameTimes_data();
    void frameTimes();
    void timeSplit_data();
    void timeSplit();
    void bmpImageLayout();
    void bmpRowsMatchThePicture_data();
    void bmpRowsMatchThePicture();
    void bmpFollowsTheShownFrame_data();
    void bmpFollowsTheShownFrame();
    void palettedPictures();
    void unusualFileNames_data();
    void unusualFileNames();
    void openFailures_data();
    void openFailures();
    void undecodableFrameKeepsPicture_data();
    void undecodableFrameKeepsPicture();
    void noDecoderShowsNothing();
    void reopenReleasesFirstVideo_data();
    void reopenReleasesFirstVideo();
    void steppingBackDecodesGroupOnce_data();
    void steppingBackDecodesGroupOnce();
    void cacheSizedByGroupAndReleased_data();
    void cacheSizedByGroupAndReleased();
    void cacheLimitLowersTheBudget_data();
    void cacheLimitLowersTheBudget();
    void jumpStopsBackgroundDecoding_data();
    void jumpStopsBackgroundDecoding();
    void jumpKeepsItsGroupForStepsBack_data();
    void jumpKeepsItsGroupForStepsBack();
    void pictureMemoryFollowsTheCache_data();
    void pictureMemoryFollowsTheCache();
    void jumpDecodesOnlyWhatItNeeds_data();
    void jumpDecodesOnlyWhatItNeeds();
    void threadedJumpsMatchOneThread_data();
    void threadedJumpsMatchOneThread();
    void h264JumpLeavesOutUnreferencedPictures();
    void h264ShowOrder_data();
    void h264ShowOrder();
    void h264HeadersRead_data();
    void h264HeadersRead();
    void damagedHeaderClaimingGigabytes();
    void thumbnailsInAskedOrder_data();
    void thumbnailsInAskedOrder();
    void stillPictures();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestVideoSource::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The index of every VOB opened goes to the test's own folder, never the user's cache.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(path(QStringLiteral("cache"))));
}

void TestVideoSource::frameExactness_data()
{
    QTest::addColumn<VideoSpec>("spec");
    QTest::addColumn<int>("copy");

    auto spec = [](VideoKind kind, int frames, int keyInterval, int bFrames, bool closed = false,
                   std::vector<int> drops = {}, int width = 160) {
        VideoSpec s;
        s.kind = kind;
        s.frames = frames;
        s.keyInterval = keyInterval;
        s.bFrames = bFrames;
        s.closedGop = closed;
        s.drops = std::move(drops);
        s.width = width;
        return s;
    };
    const int plain = int(Copy::Plain);
    QTest::newRow("mpeg4 P only, long groups") << spec(VideoKind::Mpeg4, 90, 40, 0) << plain;
    QTest::newRow("mpeg4 1 B, open groups") << spec(VideoKind::Mpeg4, 75, 12, 1) << plain;
    QTest::newRow("mpeg4 2 B, open groups") << spec(VideoKind::Mpeg4, 80, 15, 2) << plain;
    QTest::newRow("mpeg4 3 B, open groups") << spec(VideoKind::Mpeg4, 80, 20, 3) << plain;
    QTest::newRow("mpeg4 2 B, closed groups") << spec(VideoKind::Mpeg4, 60, 12, 2, true) << plain;
    QTest::newRow("mpeg4 drop samples") << spec(VideoKind::Mpeg4, 50, 10, 0, false, {3, 4, 10, 11, 25, 49}) << plain;
    QTest::newRow("mjpeg") << spec(VideoKind::Mjpeg, 40, 1, 0) << plain;
    QTest::newRow("mjpeg drop samples") << spec(VideoKind::Mjpeg, 30, 1, 0, false, {1, 2, 7, 29}) << plain;
    QTest::newRow("raw bgr24, 350 wide") << spec(VideoKind::RawBgr24, 20, 1, 0, false, {}, 350) << plain;
    QTest::newRow("raw bgr24 drop samples") << spec(VideoKind::RawBgr24, 16, 1, 0, false, {5, 6}) << plain;
    QTest::newRow("raw bgr24 top-down, 350 wide") << spec(VideoKind::RawBgr24TopDown, 20, 1, 0, false, {}, 350) << plain;
    QTest::newRow("raw bgr24 top-down drop samples") << spec(VideoKind::RawBgr24TopDown, 16, 1, 0, false, {5, 6}) << plain;
    QTest::newRow("raw bgr24 top-down without index") << spec(VideoKind::RawBgr24TopDown, 12, 1, 0) << int(Copy::WithoutIndex);
    QTest::newRow("xvid packed 1 B") << spec(VideoKind::XvidPacked, 60, 12, 1) << plain;
    QTest::newRow("xvid packed 2 B, closed groups") << spec(VideoKind::XvidPacked, 70, 15, 2, true) << plain;
    QTest::newRow("mpeg4 2 B without index") << spec(VideoKind::Mpeg4, 60, 12, 2) << int(Copy::WithoutIndex);
    QTest::newRow("mjpeg without index") << spec(VideoKind::Mjpeg, 20, 1, 0) << int(Copy::WithoutIndex);
    QTest::newRow("mpeg4 2 B truncated") << spec(VideoKind::Mpeg4, 60, 12, 2) << int(Copy::Truncated);
    QTest::newRow("mpeg4 1 B broken index") << spec(VideoKind::Mpeg4, 50, 10, 1) << int(Copy::BrokenIndex);
    QTest::newRow("mjpeg drop samples broken index") << spec(VideoKind::Mjpeg, 30, 1, 0, false, {4, 5, 6}) << int(Copy::BrokenIndex);
    QTest::newRow("h264 P only, long groups") << spec(VideoKind::H264, 90, 40, 0) << plain;
    QTest::newRow("h264 1 B") << spec(VideoKind::H264, 60, 12, 1) << plain;
    QTest::newRow("h264 3 B, pyramid") << spec(VideoKind::H264, 80, 20, 3) << plain;
    QTest::newRow("vob P only, long groups") << spec(VideoKind::Mpeg2Vob, 90, 40, 0) << plain;
    QTest::newRow("vob 2 B, open groups") << spec(VideoKind::Mpeg2Vob, 80, 15, 2) << plain;
    QTest::newRow("vob 3 B, open groups") << spec(VideoKind::Mpeg2Vob, 80, 20, 3) << plain;
    QTest::newRow("vob 2 B, closed groups") << spec(VideoKind::Mpeg2Vob, 60, 12, 2, true) << plain;
    QTest::newRow("vob 1 B, 350 wide") << spec(VideoKind::Mpeg2Vob, 30, 6, 1, false, {}, 350) << plain;
}

void TestVideoSource::frameExactness()
{
    QFETCH(VideoSpec, spec);
    QFETCH(int, copy);
    const QString tag = fileTag();
    QString why;
    fixtures::VideoFixture f = writeUnlessNoEncoder(path(fileName(tag, spec)), spec, &why);
    if (f.path.isEmpty())
        QSKIP(qPrintable(why));
    QString file = f.path;
    if (Copy(copy) == Copy::WithoutIndex) {
        file = path(tag + QStringLiteral("-noindex.avi"));
        fixtures::writeCopyWithoutIndex(f.path, file);
    } else if (Copy(copy) == Copy::BrokenIndex) {
        file = path(tag + QStringLiteral("-badindex.avi"));
        writeCopyWithBrokenIndex(f.path, file);
        if (QTest::currentTestFailed())
            return;
    } else if (Copy(copy) == Copy::Truncated) {
        // Cut in the middle of the stream: the index at the end is lost, and so is every frame
        // whose chunk is not complete.
        file = path(tag + QStringLiteral("-cut.avi"));
        const qint64 size = QFileInfo(f.path).size();
        fixtures::writeTruncatedCopy(f.path, file, size * 2 / 3);
    }

    Recorder recorder;
    VideoSource video(recorder.sink());
    QVERIFY(video.OpenVideo(file));
    QVERIFY(video.hasDecoder());
    QCOMPARE(video.pictureWidth(), f.width);
    QCOMPARE(video.pictureHeight(), f.height);

    int count = f.frameCount;
    if (Copy(copy) == Copy::Truncated) {
        // Whatever survived, counted from the chunks that are complete: fewer, but at least half.
        count = video.FrameCount();
        QVERIFY2(count < f.frameCount && count > f.frameCount / 2, qPrintable(QString::number(count)));
        f.frameCount = count;
        std::erase_if(f.keyFrames, [count](int k) { return k >= count; });
    }
    QCOMPARE(video.FrameCount(), count);
    QCOMPARE(video.stream()->scannedWithoutIndex(), Copy(copy) != Copy::Plain);
    QCOMPARE(video.stream()->keyFrames(), std::vector<int32_t>(f.keyFrames.begin(), f.keyFrames.end()));

    for (const QString& order : {QStringLiteral("forward"), QStringLiteral("backward"), QStringLiteral("key frames"),
                                QStringLiteral("random"), QStringLiteral("last"), QStringLiteral("reopened")}) {
        std::vector<int> frames;
        if (order == QLatin1String("reopened")) {
            QVERIFY(video.OpenVideo(file));
            frames = accessOrder(QStringLiteral("random"), f);
        } else {
            frames = accessOrder(order, f);
        }
        for (const int n : frames) {
            QVERIFY2(video.ShowFrame(n), qPrintable(QStringLiteral("%1: frame %2: %3").arg(order).arg(n).arg(video.decoder()->lastError())));
            const int shown = shownNumber(video);
            if (shown != f.expectedAt(n))
                QFAIL(qPrintable(QStringLiteral("%1: frame %2 shows %3, expected %4").arg(order).arg(n).arg(shown).arg(f.expectedAt(n))));
        }
    }
    QVERIFY(recorder.messages.empty());
}

void TestVideoSource::keyFrameSearch_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("frame");
    QTest::addColumn<bool>("isKey");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("previous");

    // Key pictures at 0, 10, 20, 30 of 35 frames (MJPEG with every tenth picture a key frame is not
    // possible, so MPEG-4 without B-frames; and the same in MPEG-2 in a VOB).
    for (const VideoKind kind : {VideoKind::Mpeg4, VideoKind::Mpeg2Vob}) {
        auto row = [kind](const char* what, int frame, bool isKey, int next, int previous) {
            QTest::addRow("%s, %s", kind == VideoKind::Mpeg4 ? "avi" : "vob", what) << int(kind) << frame << isKey << next
                                                                                 << previous;
        };
        row("first frame", 0, true, 10, -1);
        row("inside the first group", 5, false, 10, 0);
        row("key frame", 10, true, 20, 0);
        row("after a key frame", 11, false, 20, 10);
        row("before a key frame", 19, false, 20, 10);
        row("last key frame", 30, true, -1, 20);
        row("last frame", 34, false, -1, 30);
    }
}

void TestVideoSource::keyFrameSearch()
{
    QFETCH(int, kind);
    QFETCH(int, frame);
    QFETCH(bool, isKey);
    QFETCH(int, next);
    QFETCH(int, previous);

    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 35;
    spec.keyInterval = 10;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("keys"), spec)), spec);
    QCOMPARE(f.keyFrames, (std::vector<int>{0, 10, 20, 30}));
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    QCOMPARE(video.IsKeyFrame(frame), isKey);
    QCOMPARE(video.NextKeyFrame(frame), next);
    QCOMPARE(video.PreviousKeyFrame(frame), previous);
}

void TestVideoSource::frameTimes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("rateNum");
    QTest::addColumn<int>("rateDen");
    QTest::addColumn<int>("frame");
    QTest::addColumn<uint>("ms");

    const int mjpeg = int(VideoKind::Mjpeg);
    const int vob = int(VideoKind::Mpeg2Vob);
    QTest::newRow("25 fps, frame 0") << mjpeg << 25 << 1 << 0 << 0u;
    QTest::newRow("25 fps, frame 1") << mjpeg << 25 << 1 << 1 << 40u;
    QTest::newRow("25 fps, frame 19") << mjpeg << 25 << 1 << 19 << 760u;
    QTest::newRow("NTSC, frame 1") << mjpeg << 30000 << 1001 << 1 << 33u;
    QTest::newRow("NTSC, frame 19") << mjpeg << 30000 << 1001 << 19 << 633u;
    QTest::newRow("12 fps, frame 7") << mjpeg << 12 << 1 << 7 << 583u;
    // MPEG-2 has a table of rates; 12 fps is not among them.
    QTest::newRow("vob, 25 fps, frame 19") << vob << 25 << 1 << 19 << 760u;
    QTest::newRow("vob, NTSC, frame 1") << vob << 30000 << 1001 << 1 << 33u;
    QTest::newRow("vob, NTSC, frame 19") << vob << 30000 << 1001 << 19 << 633u;
}

void TestVideoSource::frameTimes()
{
    QFETCH(int, kind);
    QFETCH(int, rateNum);
    QFETCH(int, rateDen);
    QFETCH(int, frame);
    QFETCH(uint, ms);

    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 20;
    spec.rateNum = rateNum;
    spec.rateDen = rateDen;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("times"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    QCOMPARE(video.FrameTime(frame), ms);
}

void TestVideoSource::timeSplit_data()
{
    QTest::addColumn<uint>("ms");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("milliseconds");

    QTest::newRow("1 h 2 min 3 s 456 ms") << 3723456u << 1 << 2 << 3 << 456;
    QTest::newRow("zero") << 0u << 0 << 0 << 0 << 0;
    QTest::newRow("just below an hour") << 3599999u << 0 << 59 << 59 << 999;
    QTest::newRow("one minute") << 60000u << 0 << 1 << 0 << 0;
}

void TestVideoSource::timeSplit()
{
    QFETCH(uint, ms);
    const VideoSource::TimeSplit split = VideoSource::SplitTime(ms);
    QTEST(int(split.hours), "hours");
    QTEST(int(split.minutes), "minutes");
    QTEST(int(split.seconds), "seconds");
    QTEST(int(split.milliseconds), "milliseconds");
}

void TestVideoSource::bmpImageLayout()
{
    VideoSpec spec;
    spec.kind = VideoKind::RawBgr24;
    spec.width = 350;
    spec.height = 64;
    spec.frames = 3;
    const auto f = fixtures::writeVideo(path(QStringLiteral("bmp.avi")), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    QVERIFY(video.ShowFrame(2));

    const QByteArray bmp = video.lastBmpImage();
    auto le32 = [&bmp](int at) { return qFromLittleEndian<uint32_t>(bmp.constData() + at); };
    QCOMPARE(bmp.left(2), QByteArray("BM"));
    QCOMPARE(le32(2), uint32_t(bmp.size()));
    QCOMPARE(le32(6), 0u);      // reserved words
    QCOMPARE(le32(10), 54u);    // offset of the pixel rows
    QCOMPARE(le32(14), 40u);    // info header size
    QCOMPARE(int32_t(le32(18)), 350);
    QCOMPARE(int32_t(le32(22)), 64); // positive: bottom-up
    QCOMPARE(qFromLittleEndian<uint16_t>(bmp.constData() + 28), uint16_t(24));
    QCOMPARE(bmp.size(), 54 + 1052 * 64); // 350 x 3 = 1050 bytes per row, padded to 1052

    // The image read back the standard way is the picture shown, and shows frame 2.
    const QImage loaded = QImage::fromData(bmp, "BMP");
    QCOMPARE(loaded.size(), QSize(350, 64));
    QCOMPARE(loaded.convertToFormat(QImage::Format_RGB32), video.picture());
    QCOMPARE(fixtures::readFrameNumber(loaded), 2);
}

void TestVideoSource::bmpRowsMatchThePicture_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("width");
    // Widths that are no multiple of the colour converter's vector size: it writes past the end of
    // a row, which must land nowhere a finished row lies.
    QTest::newRow("mpeg-4, 162 wide") << int(VideoKind::Mpeg4) << 162;
    QTest::newRow("mpeg-4, 170 wide") << int(VideoKind::Mpeg4) << 170;
    QTest::newRow("mjpeg, 162 wide") << int(VideoKind::Mjpeg) << 162;
    QTest::newRow("mjpeg, 166 wide") << int(VideoKind::Mjpeg) << 166;
    QTest::newRow("vob, 162 wide") << int(VideoKind::Mpeg2Vob) << 162;
    QTest::newRow("vob, 170 wide") << int(VideoKind::Mpeg2Vob) << 170;
}

void TestVideoSource::bmpRowsMatchThePicture()
{
    QFETCH(int, kind);
    QFETCH(int, width);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.width = width;
    spec.height = 120;
    spec.frames = 2;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("rows"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    QVERIFY(video.ShowFrame(1));
    const QImage loaded = QImage::fromData(video.lastBmpImage(), "BMP").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(loaded.size(), video.picture().size());
    for (int y = 0; y < loaded.height(); ++y)
        for (int x = 0; x < loaded.width(); ++x)
            if (loaded.pixel(x, y) != video.picture().pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 against %4").arg(x).arg(y)
                                     .arg(loaded.pixel(x, y), 0, 16).arg(video.picture().pixel(x, y), 0, 16)));
}

void TestVideoSource::bmpFollowsTheShownFrame_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("forward") << int(VideoKind::Mpeg4) << 1 << 4;
    QTest::newRow("back") << int(VideoKind::Mpeg4) << 5 << 2;
    QTest::newRow("vob, forward") << int(VideoKind::Mpeg2Vob) << 1 << 4;
    QTest::newRow("vob, back") << int(VideoKind::Mpeg2Vob) << 5 << 2;
}

// The BMP image is made when it is first asked for; showing another frame must not leave the old one.
void TestVideoSource::bmpFollowsTheShownFrame()
{
    QFETCH(int, kind);
    QFETCH(int, first);
    QFETCH(int, second);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 6;
    spec.keyInterval = 3;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("bmpframes"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    for (const int n : {first, second}) {
        QVERIFY(video.ShowFrame(n));
        const QImage bmp = QImage::fromData(video.lastBmpImage(), "BMP");
        QCOMPARE(fixtures::readFrameNumber(bmp), n);
    }
}

void TestVideoSource::unusualFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("relative");
    QTest::addColumn<int>("kind");
    const int mjpeg = int(VideoKind::Mjpeg);
    const int vob = int(VideoKind::Mpeg2Vob);
    // Names that look like another kind of address to FFmpeg must still name a file.
    QTest::newRow("colon, relative to the current folder") << "menu:intro.avi" << true << mjpeg;
    QTest::newRow("protocol-like, relative") << "http:menu.avi" << true << mjpeg;
    QTest::newRow("non-ASCII, absolute") << QStringLiteral("Men\u00fc \u013d\u00e9to.avi") << false << mjpeg;
    QTest::newRow("vob, colon, relative") << "menu:intro.vob" << true << vob;
    QTest::newRow("vob, non-ASCII, absolute") << QStringLiteral("Men\u00fc \u013d\u00e9to.vob") << false << vob;
}

void TestVideoSource::unusualFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, relative);
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 4;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("plain"), spec)), spec);
    QFile::remove(path(name));
    QVERIFY(QFile::copy(f.path, path(name)));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    Recorder recorder;
    VideoSource video(recorder.sink());
    const bool opened = video.OpenVideo(relative ? name : path(name));
    QDir::setCurrent(previous);
    QVERIFY(opened);
    QVERIFY(video.ShowFrame(3));
    QCOMPARE(shownNumber(video), 3);
    QVERIFY(recorder.messages.empty());
}

void TestVideoSource::palettedPictures()
{
    const QString file = path(QStringLiteral("paletted.avi"));
    writePalettedAvi(file, 6);
    if (QTest::currentTestFailed())
        return;
    Recorder recorder;
    VideoSource video(recorder.sink());
    QVERIFY(video.OpenVideo(file));
    QCOMPARE(video.FrameCount(), 6);
    QCOMPARE(video.pictureWidth(), 102);
    for (const int n : {5, 0, 3, 4, 1, 2}) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), n);
    }
    QVERIFY(recorder.messages.empty());
}

void TestVideoSource::openFailures_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("decoder");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<MessageIcon>("icon");

    const QString error = QStringLiteral("Error");
    const QString warning = QStringLiteral("Warning");
    QTest::newRow("missing file") << "missing" << false << false << "Unable to open AVI file" << error << MessageIcon::Error;
    QTest::newRow("empty path") << "empty path" << false << false << "Unable to open AVI file" << error << MessageIcon::Error;
    QTest::newRow("not an AVI") << "not avi" << false << false << "Unable to open AVI file" << error << MessageIcon::Error;
    QTest::newRow("audio only") << "audio only" << false << false << "Unable to open the video stream" << error << MessageIcon::Error;
    QTest::newRow("negative height") << "negative height" << true << false << "Can't get video stream information" << warning << MessageIcon::Warning;
    QTest::newRow("absurd size") << "absurd size" << true << false << "Can't get video stream information" << warning << MessageIcon::Warning;
    QTest::newRow("size beyond 64 bits") << "overflowing size" << true << false << "Can't get video stream information" << warning << MessageIcon::Warning;
    QTest::newRow("zero frames") << "zero frames" << true << false << "Can't get video stream information" << warning << MessageIcon::Warning;
    QTest::newRow("unknown codec") << "unknown codec" << true << false << QString() << QString() << MessageIcon::None;
}

void TestVideoSource::openFailures()
{
    QFETCH(QString, damage);
    QFETCH(bool, open);
    QFETCH(bool, decoder);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    QFETCH(MessageIcon, icon);

    VideoSpec spec;
    spec.kind = VideoKind::Mjpeg;
    spec.frames = 5;
    const auto good = fixtures::writeVideo(path(QStringLiteral("good.avi")), spec);
    const QString file = path(QStringLiteral("damaged.avi"));
    QFile::remove(file);
    if (damage == QLatin1String("not avi"))
        fixtures::writeNotAvi(file);
    else if (damage == QLatin1String("audio only"))
        fixtures::writeAudioOnlyAvi(file);
    else if (damage == QLatin1String("negative height"))
        fixtures::writeCopyWithPictureSize(good.path, file, 160, -120);
    else if (damage == QLatin1String("absurd size"))
        fixtures::writeCopyWithPictureSize(good.path, file, 60000, 60000);
    else if (damage == QLatin1String("overflowing size")) // width x height x 3 overflows 64 bits
        fixtures::writeCopyWithPictureSize(good.path, file, 2147483647, 2147483647);
    else if (damage == QLatin1String("unknown codec"))
        fixtures::writeCopyWithFourcc(good.path, file, "ZZZZ");
    else if (damage == QLatin1String("zero frames"))
    {
        // Cut right before the first picture's chunk: the stream is declared, but holds nothing.
        qint64 firstChunk = 0;
        for (const auto& c : fixtures::riffChunks(good.path)) {
            if (c.id == "00dc" && firstChunk == 0)
                firstChunk = c.offset;
        }
        QVERIFY(firstChunk > 0);
        fixtures::writeTruncatedCopy(good.path, file, firstChunk);
    }
    const QString openPath = damage == QLatin1String("empty path") ? QString() : file;

    Recorder recorder;
    VideoSource video(recorder.sink());
    QCOMPARE(video.OpenVideo(openPath), open);
    QCOMPARE(video.isOpen(), open);
    QCOMPARE(video.hasDecoder(), decoder);
    if (text.isEmpty()) {
        QVERIFY(recorder.messages.empty());
    } else {
        QCOMPARE(recorder.messages.size(), size_t(1));
        QCOMPARE(recorder.messages[0], (Message{text, caption, icon}));
    }
    // Nothing is shown and nothing more is said, whatever is asked.
    recorder.messages.clear();
    QVERIFY(!video.ShowFrame(0));
    QVERIFY(video.picture().isNull());
    QVERIFY(recorder.messages.empty());
    if (!open)
        QCOMPARE(video.FrameCount(), 0);
}

void TestVideoSource::undecodableFrameKeepsPicture_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("frame after the end") << "after end";
    QTest::newRow("negative frame") << "negative";
    QTest::newRow("damaged chunk") << "damaged";
}

void TestVideoSource::undecodableFrameKeepsPicture()
{
    QFETCH(QString, what);
    VideoSpec spec;
    spec.kind = VideoKind::Mjpeg;
    spec.frames = 8;
    const auto f = fixtures::writeVideo(path(QStringLiteral("undecodable.avi")), spec);
    int bad = what == QLatin1String("after end") ? 8 : -1;
    if (what == QLatin1String("damaged")) {
        // Overwrite the data of the chunk of frame 5 with bytes no JPEG decoder accepts.
        int seen = 0;
        for (const auto& c : fixtures::riffChunks(f.path)) {
            if (c.id == "00dc" && seen++ == 5) {
                QFile file(f.path);
                QVERIFY(file.open(QIODevice::ReadWrite));
                file.seek(c.offset + 8);
                file.write(QByteArray(int(c.size), 'x'));
            }
        }
        QCOMPARE(seen, 8);
        bad = 5;
    }
    Recorder recorder;
    VideoSource video(recorder.sink());
    QVERIFY(video.OpenVideo(f.path));
    QVERIFY(video.ShowFrame(3));
    const QImage before = video.picture();
    QVERIFY(!video.ShowFrame(bad));
    QCOMPARE(recorder.messages.size(), size_t(1));
    QCOMPARE(recorder.messages[0], (Message{QStringLiteral("AVIStreamGetFrame FAILED!!!!"), QStringLiteral("Error"), MessageIcon::Error}));
    QCOMPARE(video.picture(), before);
    // The frames around it still come right.
    QVERIFY(video.ShowFrame(6));
    QCOMPARE(shownNumber(video), 6);
    QVERIFY(video.ShowFrame(4));
    QCOMPARE(shownNumber(video), 4);
}

void TestVideoSource::noDecoderShowsNothing()
{
    VideoSpec spec;
    spec.frames = 12;
    const auto f = fixtures::writeVideo(path(QStringLiteral("codec.avi")), spec);
    const QString file = path(QStringLiteral("nodecoder.avi"));
    fixtures::writeCopyWithFourcc(f.path, file, "QQQQ");
    Recorder recorder;
    VideoSource video(recorder.sink());
    QVERIFY(video.OpenVideo(file));
    // The stream is there: its length, size, times and key frames are known without a decoder.
    QCOMPARE(video.FrameCount(), 12);
    QCOMPARE(video.pictureWidth(), 160);
    QCOMPARE(video.FrameTime(5), 200u);
    QVERIFY(video.IsKeyFrame(0));
    QVERIFY(!video.hasDecoder());
    QVERIFY(!video.ShowFrame(0));
    QVERIFY(video.picture().isNull());
    QVERIFY(recorder.messages.empty());
}

void TestVideoSource::reopenReleasesFirstVideo_data()
{
    bothContainers();
}

void TestVideoSource::reopenReleasesFirstVideo()
{
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 10;
    const auto first = fixtures::writeVideo(path(fileName(QStringLiteral("first"), spec)), spec);
    const auto second = fixtures::writeVideo(path(fileName(QStringLiteral("second"), spec)), spec);
    std::vector<AviRelease> released;
    VideoSource video({});
    video.setReleaseObserver([&released](AviRelease r) { released.push_back(r); });

    // Which files this process holds open, by the links in /proc/self/fd.
    auto openHandles = [](const QString& file) {
        int n = 0;
        const QDir fds(QStringLiteral("/proc/self/fd"));
        const QString target = QFileInfo(file).canonicalFilePath();
        for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System))
            n += fd.symLinkTarget() == target;
        return n;
    };

    QVERIFY(video.OpenVideo(first.path));
    QVERIFY(video.ShowFrame(3));
    QVERIFY(openHandles(first.path) > 0);
    QVERIFY(released.empty());

    QVERIFY(video.OpenVideo(second.path));
    QCOMPARE(released, (std::vector<AviRelease>{AviRelease::Decoder, AviRelease::Stream, AviRelease::File}));
    QCOMPARE(openHandles(first.path), 0);
    QVERIFY(openHandles(second.path) > 0);

    // A failed open leaves nothing open either.
    released.clear();
    QVERIFY(!video.OpenVideo(path(QStringLiteral("nothing-here.avi"))));
    QCOMPARE(released, (std::vector<AviRelease>{AviRelease::Decoder, AviRelease::Stream, AviRelease::File}));
    QCOMPARE(openHandles(second.path), 0);
    QVERIFY(!video.isOpen());
    QCOMPARE(video.FrameCount(), 0);

    // A file without a video stream is let go at once.
    const QString audio = path(QStringLiteral("audio.avi"));
    fixtures::writeAudioOnlyAvi(audio);
    released.clear();
    QVERIFY(!video.OpenVideo(audio));
    QCOMPARE(released, (std::vector<AviRelease>{AviRelease::File}));
    QCOMPARE(openHandles(audio), 0);
}

void TestVideoSource::steppingBackDecodesGroupOnce_data()
{
    bothContainers();
}

void TestVideoSource::steppingBackDecodesGroupOnce()
{
    // One group of 100 pictures: stepping back through it must not decode the group again for
    // every step (that would be about 5000 pictures).
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 100;
    spec.keyInterval = 100;
    spec.bFrames = 2;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("back"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    for (int n = 99; n >= 0; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), n);
    }
    QVERIFY2(video.decoder()->decodedPictureCount() <= 2 * 100,
             qPrintable(QString::number(video.decoder()->decodedPictureCount())));

    // Forward through the group, then all the way back: the way forward keeps only a few pictures,
    // so the way back decodes the group once more, not once per step.
    VideoSource again({});
    QVERIFY(again.OpenVideo(f.path));
    for (int n = 0; n < 100; ++n)
        QVERIFY(again.ShowFrame(n));
    const int64_t forward = again.decoder()->decodedPictureCount();
    for (int n = 99; n >= 0; --n) {
        QVERIFY(again.ShowFrame(n));
        QCOMPARE(shownNumber(again), n);
    }
    QVERIFY2(again.decoder()->decodedPictureCount() - forward <= 2 * 100,
             qPrintable(QString::number(again.decoder()->decodedPictureCount() - forward)));

    // A cache too small for the group still gives the right pictures, only slower.
    video.decoder()->setCacheBudget(8 * 160 * 120 * 3 / 2);
    for (int n = 60; n >= 40; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), n);
    }
    QVERIFY(video.decoder()->cacheBytes() <= size_t(8 * 160 * 120 * 3 / 2));
}

// The author's limit on the memory of decoded pictures: the budget the decoder sizes itself stays
// under it (never under two pictures), for the open video and the next; steps back stay exact, at
// the cost of decoding groups again; no limit brings the decoder's own rule back.
void TestVideoSource::cacheLimitLowersTheBudget_data()
{
    bothContainers();
}

void TestVideoSource::cacheLimitLowersTheBudget()
{
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 100;
    spec.keyInterval = 50;
    spec.bFrames = 2;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("limit"), spec)), spec);
    VideoSource video({});
    video.setDecoderSettings({1, 0});
    auto walkBack = [&](std::size_t limit) {
        QVERIFY(video.OpenVideo(f.path)); // each video opened keeps the settings
        for (int n = 99; n >= 40; --n) {
            QVERIFY(video.ShowFrame(n));
            QCOMPARE(shownNumber(video), f.expectedAt(n));
            QVERIFY(limit == 0 || video.decoder()->cacheBytes() <= limit);
        }
    };
    walkBack(0);
    const int64_t automaticCost = video.decoder()->decodedPictureCount();
    const std::size_t automatic = video.decoder()->cacheBudget();
    const std::size_t limit = automatic / 5;
    video.setDecoderSettings({1, limit});
    QCOMPARE(video.decoder()->cacheBudget(), limit);
    QCOMPARE(video.decoder()->threads(), 1);
    walkBack(limit);
    QCOMPARE(video.decoder()->cacheBudget(), limit);
    QVERIFY2(video.decoder()->decodedPictureCount() > automaticCost,
             qPrintable(QStringLiteral("%1 pictures with the limit, %2 without")
                            .arg(video.decoder()->decodedPictureCount())
                            .arg(automaticCost)));
    // One byte is not enough for a decoder to work: two pictures are kept whatever the limit.
    video.setDecoderSettings({0, 1});
    QVERIFY(video.decoder()->cacheBudget() > 1 && video.decoder()->cacheBudget() < limit);
    QVERIFY(video.ShowFrame(57));
    QCOMPARE(shownNumber(video), f.expectedAt(57));
    video.setDecoderSettings({0, 0});
    QCOMPARE(video.decoder()->cacheBudget(), automatic);
    QCOMPARE(video.decoder()->threads(), AviFrameDecoder::defaultThreads());
}

void TestVideoSource::cacheSizedByGroupAndReleased_data()
{
    bothContainers();
}

void TestVideoSource::cacheSizedByGroupAndReleased()
{
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 100;
    spec.keyInterval = 50;
    spec.bFrames = 2;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("budget"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    for (int n = 99; n >= 40; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), f.expectedAt(n));
    }
    // A group of 50 pictures of 160 x 120 (at least 28 800 bytes each in 4:2:0) fits; the budget
    // is not a fixed size far beyond what this video can use.
    const std::size_t minimal = 160 * 120 * 3 / 2;
    QVERIFY2(video.decoder()->cacheBudget() >= 50 * minimal, qPrintable(QString::number(video.decoder()->cacheBudget())));
    QVERIFY2(video.decoder()->cacheBudget() <= 4 * 80 * minimal, qPrintable(QString::number(video.decoder()->cacheBudget())));
    QVERIFY(video.decoder()->cacheBytes() <= video.decoder()->cacheBudget());

    // Released, nothing is kept, and the next steps back decode their group again, exactly.
    video.releaseMemory();
    QCOMPARE(video.decoder()->cacheBytes(), std::size_t(0));
    QCOMPARE(shownNumber(video), f.expectedAt(40));
    for (int n = 39; n >= 20; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), f.expectedAt(n));
    }
    QVERIFY(video.decoder()->cacheBytes() > 0);
}

// A step back sets the second core to decode the group before; a jump stops it before it shows its
// own frame, and nothing of that group is decoded afterwards.
void TestVideoSource::jumpStopsBackgroundDecoding_data()
{
    bothContainers();
}

void TestVideoSource::jumpStopsBackgroundDecoding()
{
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 120;
    spec.keyInterval = 60;
    spec.bFrames = 0;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("background"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    AviFrameDecoder* decoder = video.decoder();
    decoder->setThreads(2);
    QVERIFY(video.ShowFrame(0));
    const std::size_t picture = decoder->cacheBytes(); // frame 0 alone
    QVERIFY(picture > 0);
    // Room for 40 pictures: the group before cannot be finished until the steps back leave room,
    // so the work is still under way when the jump comes.
    decoder->setCacheBudget(40 * picture);
    QVERIFY(video.ShowFrame(119));
    // The jump decoded its group on this side and kept the last 40 pictures of it: the steps back
    // leave room behind them for the group before.
    for (int n = 118; n >= 100; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), f.expectedAt(n));
    }
    QTRY_VERIFY(decoder->backgroundPictureCount() >= 10);

    // A jump (farther back than a step) into the group being filled: it stops the second core
    // before it decodes its own frame on the caller's side, and posts nothing.
    QVERIFY(video.ShowFrame(20));
    QCOMPARE(shownNumber(video), f.expectedAt(20));
    const int64_t atJump = decoder->backgroundPictureCount();
    QVERIFY2(atJump < 60, qPrintable(QString::number(atJump)));
    // Nothing of the old group is decoded afterwards: another jump finds the second core idle. (A move
    // back of less than a step window would count as a step back and set it to work again.)
    QVERIFY(video.ShowFrame(110));
    QCOMPARE(shownNumber(video), f.expectedAt(110));
    QCOMPARE(decoder->backgroundPictureCount(), atJump);
}

void TestVideoSource::jumpKeepsItsGroupForStepsBack_data()
{
    QTest::addColumn<VideoSpec>("spec");
    QTest::addColumn<int>("threads");
    VideoSpec mpeg4;
    mpeg4.frames = 100;
    mpeg4.keyInterval = 50;
    mpeg4.bFrames = 0; // a jump leaves out B-frames; without them it decodes every picture on its way
    VideoSpec h264 = mpeg4;
    h264.kind = VideoKind::H264;
    h264.bFrames = 3;
    QTest::newRow("mpeg4 P only, one thread") << mpeg4 << 1;
    // The last pictures come out of a threaded run only as it drains at the end of the stream.
    QTest::newRow("h264 3 B, threads, end of the stream") << h264 << 3;
    VideoSpec vob = mpeg4;
    vob.kind = VideoKind::Mpeg2Vob;
    QTest::newRow("vob P only, one thread") << vob << 1;
}

// A jump the caller's side decodes on the single-threaded run, or to the end of the stream, goes
// through every picture of the group before it: the steps back from there find them all, nothing is
// decoded twice.
void TestVideoSource::jumpKeepsItsGroupForStepsBack()
{
    QFETCH(VideoSpec, spec);
    QFETCH(int, threads);
    const QString tag = fileTag();
    QString why;
    const fixtures::VideoFixture f = writeUnlessNoEncoder(path(fileName(QStringLiteral("keeps-") + tag, spec)), spec, &why);
    if (f.path.isEmpty())
        QSKIP(qPrintable(why));
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    video.decoder()->setThreads(threads);
    QVERIFY(video.ShowFrame(98));
    QCOMPARE(shownNumber(video), f.expectedAt(98));
    // Only what the caller's side decoded: the second core may work ahead at any moment.
    AviFrameDecoder* d = video.decoder();
    const auto decodedHere = [d] { return d->decodedPictureCount() - d->backgroundPictureCount(); };
    const int64_t atJump = decodedHere();
    QVERIFY2(atJump >= 48, qPrintable(QString::number(atJump)));
    for (int n = 97; n >= 50; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), f.expectedAt(n));
    }
    QCOMPARE(decodedHere(), atJump);
}

void TestVideoSource::pictureMemoryFollowsTheCache_data()
{
    QTest::addColumn<VideoSpec>("spec");
    VideoSpec mpeg4;
    mpeg4.frames = 150;
    mpeg4.keyInterval = 50;
    mpeg4.bFrames = 2;
    VideoSpec h264 = mpeg4;
    h264.kind = VideoKind::H264;
    h264.bFrames = 3;
    QTest::newRow("mpeg4 2 B") << mpeg4;
    QTest::newRow("h264 3 B") << h264;
    VideoSpec vob = mpeg4;
    vob.kind = VideoKind::Mpeg2Vob;
    QTest::newRow("vob 2 B") << vob;
}

// Both codecs of a decoder (one thread for steps, the threads for jumps and fills) take their
// pictures from one pool: stepping back through three groups on both holds about one group of
// pictures, not one per codec, and a release gives all of it back but the picture on show.
void TestVideoSource::pictureMemoryFollowsTheCache()
{
    QFETCH(VideoSpec, spec);
    const QString tag = fileTag();
    QString why;
    const fixtures::VideoFixture f = writeUnlessNoEncoder(path(fileName(QStringLiteral("memory-") + tag, spec)), spec, &why);
    if (f.path.isEmpty())
        QSKIP(qPrintable(why));
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    AviFrameDecoder* decoder = video.decoder();
    decoder->setThreads(3);
    QVERIFY(video.ShowFrame(0));
    const std::size_t picture = decoder->cacheBytes();
    QVERIFY(picture > 0);
    std::size_t most = 0;
    // A jump into the middle of the last group (the threads), then steps back to the start.
    for (int n = 120; n >= 0; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), f.expectedAt(n));
        // The cache first: the background work may cache a picture between the two readings, and
        // a picture is taken from the pool before it is cached, never after.
        const std::size_t cached = decoder->cacheBytes();
        const std::size_t held = decoder->pictureMemory();
        QVERIFY2(held >= cached, qPrintable(QStringLiteral("%1 held, %2 cached").arg(held).arg(cached)));
        most = std::max(most, held);
    }
    // The budget is one group and a few pictures; the codecs hold their references besides.
    const std::size_t allowed = decoder->cacheBudget() + 40 * picture;
    QVERIFY2(most <= allowed, qPrintable(QStringLiteral("%1 pictures held, %2 allowed").arg(most / picture).arg(allowed / picture)));
    video.releaseMemory();
    QVERIFY2(decoder->pictureMemory() < 2 * picture, qPrintable(QString::number(decoder->pictureMemory() / picture)));
    QCOMPARE(shownNumber(video), f.expectedAt(0));
}

void TestVideoSource::jumpDecodesOnlyWhatItNeeds_data()
{
    bothContainers();
}

void TestVideoSource::jumpDecodesOnlyWhatItNeeds()
{
    // Two B-frames between references: a jump to the end of a group needs the references before
    // it, not the B-frames, so it decodes about a third of the group.
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 92;
    spec.keyInterval = 90;
    spec.bFrames = 2;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("jump"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    QVERIFY(video.ShowFrame(0));
    const int64_t before = video.decoder()->decodedPictureCount();
    QVERIFY(video.ShowFrame(85));
    QCOMPARE(shownNumber(video), 85);
    const int64_t used = video.decoder()->decodedPictureCount() - before;
    QVERIFY2(used <= 90 / 3 + 4, qPrintable(QString::number(used)));
    // The steps back from there are exact and fill the cache from the key frame on.
    for (int n = 84; n >= 70; --n) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(shownNumber(video), n);
    }
}

void TestVideoSource::threadedJumpsMatchOneThread_data()
{
    QTest::addColumn<VideoSpec>("spec");
    QTest::addColumn<bool>("threaded"); // the codec decodes jumps on its threads

    auto spec = [](VideoKind kind, int keyInterval, int bFrames, bool closed = false, std::vector<int> drops = {}) {
        VideoSpec s;
        s.kind = kind;
        s.frames = 70;
        s.keyInterval = keyInterval;
        s.bFrames = bFrames;
        s.closedGop = closed;
        s.drops = std::move(drops);
        return s;
    };
    QTest::newRow("mpeg4 P only") << spec(VideoKind::Mpeg4, 30, 0) << true;
    QTest::newRow("mpeg4 2 B, open groups") << spec(VideoKind::Mpeg4, 15, 2) << true;
    QTest::newRow("mpeg4 3 B, closed groups") << spec(VideoKind::Mpeg4, 20, 3, true) << true;
    QTest::newRow("mpeg4 drop samples") << spec(VideoKind::Mpeg4, 12, 0, false, {3, 4, 30, 69}) << true;
    QTest::newRow("h264 P only") << spec(VideoKind::H264, 30, 0) << true;
    QTest::newRow("h264 3 B, pyramid") << spec(VideoKind::H264, 24, 3) << true;
    // Packed bitstreams carry a B-frame from one chunk to the next; intra-only codecs have no
    // threads here. Both keep decoding on the calling thread.
    QTest::newRow("xvid packed 1 B") << spec(VideoKind::XvidPacked, 12, 1) << false;
    QTest::newRow("mjpeg") << spec(VideoKind::Mjpeg, 1, 0) << false;
    QTest::newRow("raw bgr24") << spec(VideoKind::RawBgr24, 1, 0) << false;
    // MPEG-2 decodes on slice threads: a jump's pictures come out as they went in.
    QTest::newRow("vob P only") << spec(VideoKind::Mpeg2Vob, 30, 0) << true;
    QTest::newRow("vob 2 B, open groups") << spec(VideoKind::Mpeg2Vob, 15, 2) << true;
    QTest::newRow("vob 3 B, closed groups") << spec(VideoKind::Mpeg2Vob, 20, 3, true) << true;
}

void TestVideoSource::threadedJumpsMatchOneThread()
{
    QFETCH(VideoSpec, spec);
    QFETCH(bool, threaded);
    const QString tag = fileTag();
    QString why;
    const fixtures::VideoFixture f = writeUnlessNoEncoder(path(fileName(QStringLiteral("threads-") + tag, spec)), spec, &why);
    if (f.path.isEmpty())
        QSKIP(qPrintable(why));
    VideoSource one({});
    VideoSource many({});
    QVERIFY(one.OpenVideo(f.path) && many.OpenVideo(f.path));
    one.decoder()->setThreads(1);
    many.decoder()->setThreads(3); // three, so a frame-threaded decoder holds back two pictures

    // Jumps all over, each followed by steps forward that carry on from it, then the last frames
    // (which a threaded decoder cannot give without draining) and a jump back to the start.
    QRandomGenerator random(7);
    std::vector<int> frames;
    for (int i = 0; i < 10; ++i) {
        const int n = int(random.bounded(f.frameCount));
        for (int s = 0; s < 3 && n + s < f.frameCount; ++s)
            frames.push_back(n + s);
    }
    for (const int n : {f.frameCount - 3, f.frameCount - 1, f.frameCount / 2, 0, f.frameCount - 2})
        frames.push_back(n);
    // Then every frame stepping back from the end: each group is filled for the steps back, on the
    // codec's threads when it has them, by the second core for the group before.
    for (int n = f.frameCount - 1; n >= 0; --n)
        frames.push_back(n);
    for (const int n : frames) {
        QVERIFY(one.ShowFrame(n));
        QVERIFY2(many.ShowFrame(n), qPrintable(many.decoder()->lastError()));
        QCOMPARE(shownNumber(many), f.expectedAt(n));
        if (many.picture() != one.picture())
            QFAIL(qPrintable(QStringLiteral("frame %1 differs between one thread and three").arg(n)));
    }
    QCOMPARE(many.decoder()->threadedJumpCount() > 0, threaded);
    QCOMPARE(one.decoder()->threadedJumpCount(), 0);
}

// A jump into an H.264 group with B-frames decodes neither the B-frames nothing refers to that come
// before the picture asked for, nor shows a wrong picture for it.
void TestVideoSource::h264JumpLeavesOutUnreferencedPictures()
{
    VideoSpec spec;
    spec.kind = VideoKind::H264;
    spec.frames = 72;
    spec.keyInterval = 24;
    spec.bFrames = 3;
    QString why;
    const fixtures::VideoFixture f = writeUnlessNoEncoder(path(QStringLiteral("h264-leave-out.avi")), spec, &why);
    if (f.path.isEmpty())
        QSKIP(qPrintable(why));
    for (const int threads : {1, 3}) {
        VideoSource video({});
        QVERIFY(video.OpenVideo(f.path));
        video.decoder()->setThreads(threads);
        QVERIFY(video.ShowFrame(10));
        const int64_t before = video.decoder()->decodedPictureCount();
        // 22 pictures past the key frame of its group: 23 to decode without leaving any out
        QVERIFY(video.ShowFrame(46));
        QCOMPARE(shownNumber(video), f.expectedAt(46));
        const int64_t decoded = video.decoder()->decodedPictureCount() - before;
        if (threads == 1)
            QVERIFY2(decoded >= 23, qPrintable(QString::number(decoded)));
        else
            QVERIFY2(decoded < 20, qPrintable(QString::number(decoded)));
    }
}

void TestVideoSource::h264ShowOrder_data()
{
    // Pictures in stored order: I = IDR, P and B = referred to, b = not; the number is the low bits
    // of the show order, which wrap at 16. Expected: each picture's place in show order, or nothing.
    QTest::addColumn<int>("pocType");
    QTest::addColumn<QString>("pictures");
    QTest::addColumn<QString>("shown");
    QTest::newRow("pyramid of three B") << 0 << "I0 P4 B2 b1 b3 P8 B6 b5 b7" << "0 4 2 1 3 8 6 5 7";
    QTest::newRow("low bits wrap") << 0 << "I0 P6 P12 P2 b0" << "0 1 2 4 3";
    // After P14 a picture with low bits 3 is 19, not 3; a b-frame's 9 must not move that line.
    QTest::newRow("wrap measured from references only") << 0 << "I0 P7 P14 b9 P3" << "0 1 3 2 4";
    QTest::newRow("stored order") << 2 << "I0 P0 b0 P0" << "0 1 2 3";
    QTest::newRow("first is no IDR") << 0 << "P0 P2 b1" << "";
    QTest::newRow("IDR inside") << 0 << "I0 P2 I0 P2" << "";
    QTest::newRow("two in one place") << 0 << "I0 P4 b2 b2" << "";
    QTest::newRow("a picture before the IDR") << 0 << "I4 P8 b2" << "";
}

void TestVideoSource::h264ShowOrder()
{
    QFETCH(int, pocType);
    QFETCH(QString, pictures);
    QFETCH(QString, shown);
    std::vector<H264Picture> stored;
    for (const QString& word : pictures.split(QLatin1Char(' '))) {
        H264Picture p;
        p.idr = word[0] == QLatin1Char('I');
        p.reference = word[0] != QLatin1Char('b');
        p.pocType = pocType;
        p.maxPocLsb = 16;
        p.pocLsb = word.mid(1).toInt();
        stored.push_back(p);
    }
    const auto order = h264GroupOrder(stored);
    QStringList got;
    for (const H264GroupPicture& g : order.value_or(std::vector<H264GroupPicture>{})) {
        got << QString::number(g.shown);
        QCOMPARE(g.reference, stored[size_t(got.size() - 1)].reference);
    }
    QCOMPARE(got.join(QLatin1Char(' ')), shown);
}

namespace {

// Writes H.264 header fields bit by bit, and NAL units in Annex B form around them.
class H264Writer
{
public:
    void bits(uint64_t v, int n)
    {
        for (int i = n - 1; i >= 0; --i)
            m_bits.push_back(int((v >> i) & 1));
    }
    void ue(uint64_t v)
    {
        int length = 0;
        while ((v + 1) >> length)
            ++length;
        bits(0, length - 1);
        bits(v + 1, length);
    }
    // The bits so far as one NAL unit; the writer starts afresh.
    QByteArray nal(int refIdc, int type)
    {
        bits(1, 1); // the stop bit, then zeros to the byte
        while (m_bits.size() % 8)
            m_bits.push_back(0);
        QByteArray out("\0\0\0\1", 4);
        out.append(char((refIdc << 5) | type));
        int zeros = 0;
        for (size_t i = 0; i < m_bits.size(); i += 8) {
            int byte = 0;
            for (size_t b = 0; b < 8; ++b)
                byte = (byte << 1) | m_bits[i + b];
            if (zeros >= 2 && byte <= 3) { // keep start codes out of the payload
                out.append(char(3));
                zeros = 0;
            }
            zeros = byte == 0 ? zeros + 1 : 0;
            out.append(char(byte));
        }
        m_bits.clear();
        return out;
    }

private:
    std::vector<int> m_bits;
};

} // namespace

void TestVideoSource::h264HeadersRead_data()
{
    QTest::addColumn<int>("pocType");
    QTest::addColumn<bool>("frameMbsOnly");
    QTest::addColumn<qint64>("spsId"); // as the picture parameter set names it
    QTest::addColumn<int>("nalType");
    QTest::addColumn<int>("refIdc");
    QTest::addColumn<QString>("read"); // "IDR/- ref/- low bits of the show order", or "none"
    QTest::addColumn<qint64>("firstMb"); // the slice's first value, chosen to put given bytes first
    QTest::newRow("IDR picture") << 0 << true << qint64(0) << 5 << 3 << "IDR ref 10" << qint64(0);
    QTest::newRow("picture nothing refers to") << 0 << true << qint64(0) << 1 << 0 << "- - 10" << qint64(0);
    QTest::newRow("frames of an interlaced sequence") << 0 << false << qint64(0) << 1 << 2 << "- ref 10" << qint64(0);
    QTest::newRow("show order type 2") << 2 << true << qint64(0) << 1 << 2 << "- ref 0" << qint64(0);
    QTest::newRow("show order type 1") << 1 << true << qint64(0) << 1 << 2 << "none" << qint64(0);
    QTest::newRow("sequence set not given") << 0 << true << qint64(5) << 1 << 2 << "none" << qint64(0);
    QTest::newRow("sequence set number out of range") << 0 << true << (qint64(1) << 31) << 1 << 2 << "none" << qint64(0);
    // A slice whose payload begins 00 03: the 03 follows one zero only and is picture data, kept.
    QTest::newRow("03 after one zero is kept") << 0 << true << qint64(0) << 1 << 2 << "- ref 10"
                                               << qint64((3 << 13) - 1);
    // Begins 00 00 03 03: the writer put the first 03 there to keep a start code out; it is dropped.
    QTest::newRow("03 after two zeros is dropped") << 0 << true << qint64(0) << 1 << 2 << "- ref 10"
                                                   << qint64((3 << 21) - 1);
}

void TestVideoSource::h264HeadersRead()
{
    QFETCH(int, pocType);
    QFETCH(bool, frameMbsOnly);
    QFETCH(qint64, spsId);
    QFETCH(int, nalType);
    QFETCH(int, refIdc);
    QFETCH(QString, read);
    QFETCH(qint64, firstMb);
    H264Writer w;
    // Sequence parameter set 0: baseline profile, 16 frame numbers, 64 values of the show order.
    w.bits(66, 8);
    w.bits(0, 16);
    w.ue(0);
    w.ue(0);
    w.ue(uint64_t(pocType));
    if (pocType == 0) {
        w.ue(2);
    } else if (pocType == 1) {
        w.bits(0, 1);
        w.ue(0); // offsets (signed zero)
        w.ue(0);
        w.ue(0); // no cycle
    }
    w.ue(1);
    w.bits(0, 1);
    w.ue(44);
    w.ue(35);
    w.bits(frameMbsOnly ? 1 : 0, 1);
    QByteArray chunk = w.nal(3, 7);
    w.ue(0);
    w.ue(uint64_t(spsId));
    w.bits(0, 2);
    chunk += w.nal(3, 8);
    w.ue(uint64_t(firstMb)); // first macroblock
    w.ue(nalType == 5 ? 7 : 6);
    w.ue(0); // picture parameter set 0
    w.bits(9, 4); // frame number
    if (!frameMbsOnly)
        w.bits(0, 1); // a frame, not a field
    if (nalType == 5)
        w.ue(0);
    if (pocType == 0)
        w.bits(10, 6);
    w.bits(0xff, 8); // the rest of the slice
    chunk += w.nal(refIdc, nalType);

    H264HeaderReader reader;
    const std::optional<H264Picture> p = reader.read(chunk);
    const QString got = p ? QStringLiteral("%1 %2 %3")
                                .arg(p->idr ? "IDR" : "-", p->reference ? "ref" : "-")
                                .arg(p->pocLsb)
                          : QStringLiteral("none");
    QCOMPARE(got, read);
}

// A 6 KB file whose header claims a chunk of gigabytes (found by fuzzing): FFmpeg's reader would
// allocate and clear all of it before giving up.
void TestVideoSource::damagedHeaderClaimingGigabytes()
{
    auto peakKiB = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return qint64(0);
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        return qint64(0);
    };
    QFile reset(QStringLiteral("/proc/self/clear_refs")); // the peak counts from here
    if (reset.open(QIODevice::WriteOnly))
        reset.write("5");
    reset.close();
    const qint64 before = peakKiB();
    VideoSource video({});
    (void)video.OpenVideo(QStringLiteral(VAZO_SOURCE_DIR "/fuzz/seeds-fuzz_avi/header-claims-gigabytes.avi"));
    QVERIFY2(peakKiB() - before < 256 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(peakKiB() - before)));
}

void TestVideoSource::thumbnailsInAskedOrder_data()
{
    bothContainers();
}

void TestVideoSource::thumbnailsInAskedOrder()
{
    QFETCH(int, kind);
    VideoSpec spec;
    spec.kind = VideoKind(kind);
    spec.frames = 60;
    spec.keyInterval = 20;
    spec.bFrames = 2;
    const auto f = fixtures::writeVideo(path(fileName(QStringLiteral("thumbs"), spec)), spec);
    VideoSource video({});
    QVERIFY(video.OpenVideo(f.path));
    const std::vector<int> frames{50, 3, 19, 59, 18, 3, 0, 77, 41};
    const std::vector<QImage> thumbs = video.thumbnails(frames, QSize(64, 43));
    QCOMPARE(thumbs.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] >= 60) {
            QVERIFY(thumbs[i].isNull());
            continue;
        }
        QCOMPARE(thumbs[i].size(), QSize(64, 43));
        QCOMPARE(fixtures::readFrameNumber(thumbs[i]), f.expectedAt(frames[i]));
    }
}

void TestVideoSource::stillPictures()
{
    const QString jpeg = path(QStringLiteral("still.jpg"));
    fixtures::writePatternJpeg(jpeg, 321, 200, 150);
    VideoSource video({});
    video.ShowPicture(jpeg);
    QCOMPARE(video.picture().size(), QSize(200, 150));
    QCOMPARE(shownNumber(video), 321);

    const QString broken = path(QStringLiteral("broken.jpg"));
    fixtures::writeDamagedJpeg(broken, fixtures::JpegDamage::NotJpeg);
    const QImage before = video.picture();
    QVERIFY_THROWS_EXCEPTION(JpegError, video.ShowPicture(broken));
    QCOMPARE(video.picture(), before);
}

QTEST_GUILESS_MAIN(TestVideoSource)
#include "test_videosource.moc"
