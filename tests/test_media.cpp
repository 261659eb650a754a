#include <QPainter>
#include <QtTest>

#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"
#include "fixtures/videofixtures.h"
#include "media/countframes.h"
#include "media/jpegdecoder.h"
#include "media/videosource.h"

using namespace fixtures;

Q_DECLARE_METATYPE(fixtures::JpegDamage)

namespace {

const QString kOpenFailed = QStringLiteral("# AVIFileOpen : AVI source init error !");
const QString kStreamFailed = QStringLiteral("# AVIFileGetStream : AVI source init error !");

struct Recorder
{
    QList<Message> messages;
    MessageSink sink()
    {
        return [this](const Message& m) { messages.append(m); };
    }
};

} // namespace

// Still pictures on libjpeg-turbo and the frame counts of movie files.
class TestMedia : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    void patternCatchesWrongPictures_data();
    void patternCatchesWrongPictures();

    void decodesJpeg_data();
    void decodesJpeg();
    void decodesFromBytesAsFromFile();
    void refusesUnreadableJpeg_data();
    void refusesUnreadableJpeg();
    void truncatedJpegKeepsWhatWasDecoded();

    void countsFrames_data();
    void countsFrames();
    void countFailures_data();
    void countFailures();
    void countIgnoresTheOpenMenuVideo();
    void largeOpenDmlFile();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    VideoFixture m_mpeg4;
};

void TestMedia::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The index of a VOB counted goes to the test's own folder, never the user's cache.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(path(QStringLiteral("cache"))));
    VideoSpec spec;
    spec.bFrames = 2;
    m_mpeg4 = writeVideo(path(QStringLiteral("mpeg4.avi")), spec);
}

// The frame tests of every kind rely on the pattern reader refusing a picture shown wrongly, so a
// reader that lost that ability would make them pass for the wrong reason.
void TestMedia::patternCatchesWrongPictures_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<int>("number");

    const QImage p = patternPicture(12345, 160, 120);
    QTest::newRow("as made") << p << 12345;
    QTest::newRow("page thumbnail 64 x 43") << p.scaled(64, 43, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                            << 12345;
    QTest::newRow("largest number") << patternPicture(kMaxPatternNumber, 350, 60) << kMaxPatternNumber;
    QTest::newRow("upside down (rows in the wrong order)") << p.mirrored(false, true) << -1;
    QTest::newRow("mirrored") << p.mirrored(true, false) << -1;
    QTest::newRow("red and blue swapped") << p.rgbSwapped() << -1;
    QTest::newRow("grey") << p.convertToFormat(QImage::Format_Grayscale8) << -1;
    QImage black(160, 120, QImage::Format_RGB32);
    black.fill(Qt::black);
    QTest::newRow("black") << black << -1;
    QImage shifted(160, 120, QImage::Format_RGB888);
    shifted.fill(Qt::black);
    QPainter(&shifted).drawImage(QPoint(0, 30), p); // half a cell row off
    QTest::newRow("shifted down") << shifted << -1;
}

void TestMedia::patternCatchesWrongPictures()
{
    QFETCH(QImage, picture);
    QFETCH(int, number);
    QCOMPARE(readFrameNumber(picture), number);
}

void TestMedia::decodesJpeg_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("quality");
    QTest::addColumn<bool>("grayscale");
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<bool>("cmyk");

    QTest::newRow("baseline colour") << 1234 << QSize(160, 120) << 90 << false << false << false;
    QTest::newRow("odd size, low quality") << 77 << QSize(161, 97) << 40 << false << false << false;
    QTest::newRow("progressive") << 99999 << QSize(320, 240) << 85 << false << true << false;
    QTest::newRow("grey") << 5 << QSize(160, 120) << 90 << true << false << false;
    QTest::newRow("cmyk from a prepress program") << 4242 << QSize(160, 120) << 95 << false << false << true;
    QTest::newRow("video frame size") << 3000 << QSize(720, 576) << 90 << false << false << false;
}

void TestMedia::decodesJpeg()
{
    QFETCH(int, number);
    QFETCH(QSize, size);
    QFETCH(int, quality);
    QFETCH(bool, grayscale);
    QFETCH(bool, progressive);
    QFETCH(bool, cmyk);
    const QString file = path(QStringLiteral("picture.jpg"));
    writePatternJpeg(file, number, size.width(), size.height(), {quality, grayscale, progressive, cmyk});

    QString warning;
    const QImage image = decodeJpegFile(file, &warning);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QVERIFY2(warning.isEmpty(), qPrintable(warning));
    if (grayscale) {
        // The colour strip turns grey, so the pattern must not read; the cells still do.
        QCOMPARE(readFrameNumber(image), -1);
        QVERIFY(image.allGray());
        // 5 has bit 0 set and bit 1 clear: the first cell is white, the second black.
        const int y = size.height() / 12;
        QVERIFY(qGray(image.pixel(size.width() / 16, y)) > 200);
        QVERIFY(qGray(image.pixel(size.width() * 3 / 16, y)) < 50);
    } else {
        QCOMPARE(readFrameNumber(image), number);
    }
}

void TestMedia::decodesFromBytesAsFromFile()
{
    const QString file = path(QStringLiteral("bytes.jpg"));
    writePatternJpeg(file, 321);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QImage fromBytes = decodeJpeg(f.readAll());
    QCOMPARE(fromBytes, decodeJpegFile(file));
    QCOMPARE(readFrameNumber(fromBytes), 321);
}

void TestMedia::refusesUnreadableJpeg_data()
{
    QTest::addColumn<JpegDamage>("damage");
    QTest::addColumn<QString>("text");

    QTest::newRow("text file") << JpegDamage::NotJpeg << QStringLiteral("Not a JPEG file: starts with 0x54 0x68");
    QTest::newRow("empty file") << JpegDamage::Empty << QStringLiteral("Empty input file");
    QTest::newRow("garbage header") << JpegDamage::BadHeader << QString();
    QTest::newRow("65500 x 65500 pixels")
        << JpegDamage::HugeDimensions << QStringLiteral("JPEG picture too large: 65500 x 65500 pixels");
}

void TestMedia::refusesUnreadableJpeg()
{
    QFETCH(JpegDamage, damage);
    QFETCH(QString, text);
    const QString file = path(QStringLiteral("damaged.jpg"));
    writeDamagedJpeg(file, damage);
    try {
        decodeJpegFile(file);
        QFAIL("no JpegError");
    } catch (const JpegError& e) {
        if (!text.isEmpty())
            QCOMPARE(e.message(), text);
        else
            QVERIFY(!e.message().isEmpty());
    }
}

void TestMedia::truncatedJpegKeepsWhatWasDecoded()
{
    const QString file = path(QStringLiteral("truncated.jpg"));
    writeDamagedJpeg(file, JpegDamage::Truncated);
    QString warning;
    const QImage image = decodeJpegFile(file, &warning);
    QCOMPARE(image.size(), QSize(160, 120));
    QCOMPARE(warning, QStringLiteral("Premature end of JPEG file"));

    try {
        decodeJpegFile(path(QStringLiteral("missing.jpg")));
        QFAIL("no JpegError for a missing file");
    } catch (const JpegError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("missing.jpg")), e.what());
    }
}

void TestMedia::countsFrames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("frames");

    auto add = [this](const char* name, const VideoSpec& spec) {
        const VideoFixture fx = writeVideo(path(QString::fromLatin1(name) + QStringLiteral(".avi")), spec);
        QTest::newRow(name) << fx.path << fx.frameCount;
        return fx;
    };
    VideoSpec s;
    s.frames = 37;
    add("mpeg4 without B-frames", s);
    s.bFrames = 1;
    add("mpeg4, one B-frame", s);
    s.bFrames = 3;
    s.keyInterval = 250;
    s.frames = 300;
    add("mpeg4, three B-frames, long groups", s);
    VideoSpec mj;
    mj.kind = VideoKind::Mjpeg;
    mj.frames = 25;
    const VideoFixture mjpeg = add("mjpeg", mj);
    VideoSpec raw;
    raw.kind = VideoKind::RawBgr24;
    raw.width = 350;
    raw.height = 40;
    raw.frames = 9;
    add("raw 350 pixels wide", raw);
    VideoSpec drops = mj;
    drops.drops = {1, 2, 10, 24};
    add("drop samples count as frames", drops);
    VideoSpec packed;
    packed.kind = VideoKind::XvidPacked;
    packed.bFrames = 1;
    packed.frames = 31;
    add("xvid packed", packed);
    VideoSpec vob;
    vob.kind = VideoKind::Mpeg2Vob;
    vob.frames = 41;
    vob.bFrames = 2;
    const VideoFixture vobFile = writeVideo(path(QStringLiteral("dvd.vob")), vob);
    QTest::newRow("mpeg-2 vob") << vobFile.path << vobFile.frameCount;

    // Counting reads no picture: a codec nobody decodes and garbage picture data count the same.
    writeCopyWithFourcc(mjpeg.path, path(QStringLiteral("unknown.avi")), "VZQX");
    QTest::newRow("codec without decoder") << path(QStringLiteral("unknown.avi")) << 25;
    {
        QFile f(mjpeg.path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        for (const RiffChunk& c : riffChunks(mjpeg.path))
            if (c.id == "00dc")
                bytes.replace(qsizetype(c.offset + 8), qsizetype(c.size), QByteArray(qsizetype(c.size), '\xaa'));
        QFile out(path(QStringLiteral("garbage.avi")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    QTest::newRow("garbage picture data") << path(QStringLiteral("garbage.avi")) << 25;

    // What would keep the video from being shown does not keep its frames from being counted.
    writeCopyWithPictureSize(mjpeg.path, path(QStringLiteral("upsidedown.avi")), 160, -120);
    QTest::newRow("negative picture height") << path(QStringLiteral("upsidedown.avi")) << 25;
    writeCopyWithPictureSize(mjpeg.path, path(QStringLiteral("huge.avi")), 30000, 30000);
    QTest::newRow("absurd picture size") << path(QStringLiteral("huge.avi")) << 25;
    VideoSpec empty;
    empty.frames = 0;
    add("no samples", empty);

    writeCopyWithoutIndex(m_mpeg4.path, path(QStringLiteral("noindex.avi")));
    QTest::newRow("without index") << path(QStringLiteral("noindex.avi")) << m_mpeg4.frameCount;

    // Cut right before the header of chunk 20: the first 20 samples are whole.
    std::vector<qint64> chunkStarts;
    for (const RiffChunk& c : riffChunks(m_mpeg4.path))
        if (c.id == "00dc")
            chunkStarts.push_back(c.offset);
    QVERIFY(chunkStarts.size() == size_t(m_mpeg4.frameCount));
    writeTruncatedCopy(m_mpeg4.path, path(QStringLiteral("truncated.avi")), chunkStarts.at(20));
    QTest::newRow("truncated after 20 samples") << path(QStringLiteral("truncated.avi")) << 20;
}

void TestMedia::countsFrames()
{
    QFETCH(QString, file);
    QFETCH(int, frames);
    Recorder rec;
    QCOMPARE(CountVideoFrames(file, rec.sink()), uint32_t(frames));
    QVERIFY(rec.messages.isEmpty());
}

void TestMedia::countFailures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");

    QTest::newRow("missing file") << path(QStringLiteral("nothing-here.avi")) << kOpenFailed;
    writeNotAvi(path(QStringLiteral("text.avi")));
    QTest::newRow("not an AVI") << path(QStringLiteral("text.avi")) << kOpenFailed;
    writeNotAvi(path(QStringLiteral("empty.avi")), 0);
    QTest::newRow("empty file") << path(QStringLiteral("empty.avi")) << kOpenFailed;
    QTest::newRow("a folder") << m_dir.path() << kOpenFailed;
    writeAudioOnlyAvi(path(QStringLiteral("audio.avi")));
    QTest::newRow("no video stream") << path(QStringLiteral("audio.avi")) << kStreamFailed;
    writeTruncatedCopy(m_mpeg4.path, path(QStringLiteral("headonly.avi")), 200);
    QTest::newRow("cut inside the headers") << path(QStringLiteral("headonly.avi")) << QString();
}

void TestMedia::countFailures()
{
    QFETCH(QString, file);
    QFETCH(QString, text);
    Recorder rec;
    QCOMPARE(CountVideoFrames(file, rec.sink()), 0u);
    QCOMPARE(rec.messages.size(), 1);
    if (!text.isEmpty())
        QCOMPARE(rec.messages.first().text, text);
    else
        QVERIFY(rec.messages.first().text == kOpenFailed || rec.messages.first().text == kStreamFailed);
    QCOMPARE(rec.messages.first().caption, kAppTitle);
    QCOMPARE(rec.messages.first().icon, MessageIcon::Information);
}

void TestMedia::countIgnoresTheOpenMenuVideo()
{
    Recorder shown;
    VideoSource video(shown.sink());
    QVERIFY(video.OpenVideo(m_mpeg4.path));
    QVERIFY(video.ShowFrame(17));

    VideoSpec other;
    other.kind = VideoKind::Mjpeg;
    other.frames = 11;
    const VideoFixture movie = writeVideo(path(QStringLiteral("movie.avi")), other);
    Recorder counted;
    QCOMPARE(CountVideoFrames(movie.path, counted.sink()), 11u);
    QCOMPARE(CountVideoFrames(path(QStringLiteral("nothing-here.avi")), counted.sink()), 0u);

    // The menu video is still open, on its own frame, and goes on decoding.
    QVERIFY(video.isOpen());
    QCOMPARE(video.FrameCount(), m_mpeg4.frameCount);
    QCOMPARE(readFrameNumber(video.picture()), 17);
    QVERIFY(video.ShowFrame(18));
    QCOMPARE(readFrameNumber(video.picture()), 18);
    QVERIFY(shown.messages.isEmpty());
}

void TestMedia::largeOpenDmlFile()
{
    if (qEnvironmentVariableIntValue("VAZO_SLOW_TESTS") != 1)
        QSKIP("the 1 GiB file is made only with VAZO_SLOW_TESTS=1");
    const VideoFixture big = writeLargeOpenDmlVideo(path(QStringLiteral("big.avi")));
    QVERIFY(QFileInfo(big.path).size() > (qint64(1) << 30));
    bool extended = false;
    for (const RiffChunk& c : riffChunks(big.path))
        extended = extended || (c.id == "RIFF" && c.listType == "AVIX");
    QVERIFY2(extended, "the file did not grow into OpenDML extension chunks");
    Recorder rec;
    QCOMPARE(CountVideoFrames(big.path, rec.sink()), uint32_t(big.frameCount));
    QVERIFY(rec.messages.isEmpty());

    // Frames stored beyond the first GiB, in the extension chunks, are reached through their index.
    VideoSource video(rec.sink());
    QVERIFY(video.OpenVideo(big.path));
    QCOMPARE(video.FrameCount(), big.frameCount);
    for (int n : {big.frameCount - 1, 0, big.frameCount - 2, big.frameCount / 2}) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(readFrameNumber(video.picture()), n);
    }
    QVERIFY(rec.messages.isEmpty());
    video.CloseVideo();
    QFile::remove(big.path);
}

QTEST_GUILESS_MAIN(TestMedia)
#include "test_media.moc"
