#include <QtTest>

#include "fixtures/framepattern.h"
#include "fixtures/mpegfixtures.h"
#include "fixtures/videofixtures.h"
#include "media/avifile.h"
#include "media/countframes.h"
#include "media/videosource.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <random>

#include <sys/stat.h>

using namespace fixtures;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

struct Opened
{
    std::unique_ptr<AviFile> file;
    std::unique_ptr<AviStream> stream;
    std::unique_ptr<AviFrameDecoder> decoder;
};

Opened openVideo(const QString& path)
{
    Opened o;
    QString error;
    o.file = AviFile::open(path, &error);
    if (!o.file)
        qWarning() << error;
    if (o.file)
        o.stream = o.file->firstVideoStream(&error);
    if (o.stream)
        o.decoder = o.stream->openDecoder(&error);
    if (!o.decoder)
        qWarning() << error;
    return o;
}

QByteArray checksumOf(const AviPicture& p)
{
    return p ? pictureChecksum(p->data, p->linesize, p->width, p->height) : QByteArray();
}

} // namespace

// MPEG program streams (DVD VOB files, MPEG files) written by FFmpeg's own encoder and muxers: every
// frame the program shows is the frame FFmpeg's own decoder gives when it reads the file through.
class TestProgramStream : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    void framesAreThoseOfASequentialDecode_data();
    void framesAreThoseOfASequentialDecode();
    void softTelecineAddsNoFrames();
    void readerFollowsTheContent_data();
    void readerFollowsTheContent();
    void indexCacheFollowsTheFile();
    void videoSourceShowsAVob();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    MpegFixture m_open;
};

void TestProgramStream::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The index cache goes to the test's own folder, never the user's.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(path(QStringLiteral("cache"))));
    MpegSpec spec;
    spec.frames = 75;
    m_open = writeProgramStream(path(QStringLiteral("open.vob")), spec);
}

void TestProgramStream::framesAreThoseOfASequentialDecode_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("firstNumber"); // the number frame 0 shows; -1 when not known
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<std::vector<int>>("keyFrames"); // the encoder's I-pictures; empty when not known

    MpegSpec closed;
    closed.closedGop = true;
    closed.frames = 50;
    const std::vector<int> closedKeys = writeProgramStream(path(QStringLiteral("closed.vob")), closed).keyFrames;
    QTest::newRow("closed groups, vob") << path(QStringLiteral("closed.vob")) << 0 << false << closedKeys;
    QTest::newRow("open groups, vob") << m_open.path << 0 << false << m_open.keyFrames;

    MpegSpec dvd;
    dvd.muxer = "dvd";
    dvd.bFrames = 3;
    dvd.keyInterval = 15;
    dvd.width = 352;
    dvd.height = 240;
    dvd.rateNum = 30000;
    dvd.rateDen = 1001;
    dvd.frames = 64;
    dvd.firstNumber = 1000;
    const std::vector<int> ntscKeys = writeProgramStream(path(QStringLiteral("ntsc.vob")), dvd).keyFrames;
    QTest::newRow("NTSC, dvd packs, three B-frames") << path(QStringLiteral("ntsc.vob")) << 1000 << false << ntscKeys;

    MpegSpec wrap;
    wrap.startSeconds = 95442;
    wrap.frames = 60;
    const std::vector<int> wrapKeys = writeProgramStream(path(QStringLiteral("wrap.vob")), wrap).keyFrames;
    QTest::newRow("timestamps wrap") << path(QStringLiteral("wrap.vob")) << 0 << false << wrapKeys;

    MpegSpec mpeg1;
    mpeg1.muxer = "mpeg";
    mpeg1.mpeg1 = true;
    mpeg1.frames = 40;
    const std::vector<int> mpeg1Keys = writeProgramStream(path(QStringLiteral("mpeg1.mpg")), mpeg1).keyFrames;
    QTest::newRow("MPEG-1 system stream") << path(QStringLiteral("mpeg1.mpg")) << 0 << false << mpeg1Keys;

    // Two files of one title, split at a pack in the middle of a group: the second begins with
    // pictures whose references are in the first.
    const std::vector<qint64> packs = packOffsets(m_open.path);
    const qint64 middle = packs[packs.size() / 2 + 1];
    writeSlice(m_open.path, path(QStringLiteral("title_1.vob")), 0, middle);
    writeSlice(m_open.path, path(QStringLiteral("title_2.vob")), middle, QFileInfo(m_open.path).size());
    // Where a file ends in a group, its last I-picture is shown after the pictures before it that
    // the file still holds, not where the encoder put it.
    QTest::newRow("first file of a title") << path(QStringLiteral("title_1.vob")) << 0 << false << std::vector<int>();
    QTest::newRow("second file of a title, cut in a group")
        << path(QStringLiteral("title_2.vob")) << -1 << false << std::vector<int>();

    writeWithGarbage(m_open.path, path(QStringLiteral("garbage.vob")), packs[packs.size() / 3], 777);
    QTest::newRow("garbage between packs") << path(QStringLiteral("garbage.vob")) << 0 << true << m_open.keyFrames;
    writeSlice(m_open.path, path(QStringLiteral("truncated.vob")), 0, packs[packs.size() * 2 / 3] + 1000);
    // What is left of the picture the file is cut in is whatever FFmpeg makes of it.
    QTest::newRow("truncated in a packet") << path(QStringLiteral("truncated.vob")) << -1 << true << std::vector<int>();

    // Files of many of the blocks the scan reads at a time (and reads ahead of itself), with noise
    // across the end of a block: no packet, picture or header is lost or taken twice where blocks meet.
    MpegSpec large;
    large.width = 352;
    large.height = 288;
    large.frames = 40;
    large.quantiser = 2;
    large.muxer = "dvd";
    large.picture = [](int n) { // noise, which no encoder makes small
        QImage noise(352, 288, QImage::Format_RGB888);
        std::mt19937 random{uint32_t(n)};
        for (int y = 0; y < noise.height(); ++y) {
            uchar* row = noise.scanLine(y);
            for (int x = 0; x < noise.width() * 3; ++x)
                row[x] = uchar(random());
        }
        return noise;
    };
    const MpegFixture many = writeProgramStream(path(QStringLiteral("many-blocks.vob")), large);
    QVERIFY2(QFileInfo(many.path).size() > 8 * (128 << 10), qPrintable(QString::number(QFileInfo(many.path).size())));
    QTest::newRow("many blocks") << many.path << -1 << false << many.keyFrames;
    // DVD packs are 2048 bytes: the noise begins at the pack before the end of the fifth block.
    writeWithGarbage(many.path, path(QStringLiteral("many-blocks-garbage.vob")), 5 * (128 << 10) - 2048, 70000);
    QTest::newRow("many blocks, noise across a block's end")
        << path(QStringLiteral("many-blocks-garbage.vob")) << -1 << true << many.keyFrames;
}

// Frame-exact: in any order of access (jumps, steps back across groups, steps forward), frame n
// has FFmpeg's checksum for its n-th frame, and the frame count is what FFmpeg gives out.
void TestProgramStream::framesAreThoseOfASequentialDecode()
{
    QFETCH(QString, file);
    QFETCH(int, firstNumber);
    QFETCH(bool, damaged);
    QFETCH(std::vector<int>, keyFrames);

    const std::vector<QByteArray> expected = sequentialChecksums(file);
    Opened v = openVideo(file);
    QVERIFY(v.decoder);
    const int32_t count = v.stream->length();
    QCOMPARE(v.stream->info().container, QStringLiteral("MPEG-PS"));
    QCOMPARE(!v.stream->info().damage.isEmpty(), damaged);
    QCOMPARE(count, int32_t(expected.size()));
    QVERIFY(count > 10);

    std::vector<int32_t> order;
    for (int32_t n = count - 1; n >= 0; --n) // every frame, stepping back
        order.push_back(n);
    std::mt19937 random{uint32_t(count)};
    for (int i = 0; i < 20; ++i) { // jumps, each followed by a few steps forward
        const int32_t n = int32_t(random() % uint32_t(count));
        for (int32_t k = n; k < std::min(count, n + 3); ++k)
            order.push_back(k);
    }
    for (const int32_t n : order) {
        const AviPicture picture = v.decoder->decodeFrame(n);
        QVERIFY2(picture, qPrintable(QStringLiteral("frame %1: %2").arg(n).arg(v.decoder->lastError())));
        QVERIFY2(checksumOf(picture) == expected[size_t(n)], qPrintable(QStringLiteral("frame %1").arg(n)));
        if (firstNumber >= 0 && n % 7 == 0)
            QCOMPARE(readFrameNumber(v.decoder->toImage(picture)), firstNumber + n);
    }
    // The key frames are where the encoder put its I-pictures.
    if (!keyFrames.empty())
        QCOMPARE(v.stream->keyFrames(), std::vector<int32_t>(keyFrames.begin(), keyFrames.end()));
    QVERIFY(!v.stream->keyFrames().empty());
}

void TestProgramStream::softTelecineAddsNoFrames()
{
    MpegSpec spec;
    spec.muxer = "dvd";
    spec.rateNum = 30000;
    spec.rateDen = 1001;
    spec.softTelecine = true;
    spec.frames = 48;
    const MpegFixture film = writeProgramStream(path(QStringLiteral("telecine.vob")), spec);
    QVERIFY(film.repeatFirstField > 0);

    Opened v = openVideo(film.path);
    QVERIFY(v.decoder);
    QCOMPARE(v.stream->length(), film.frames);
    QCOMPARE(v.stream->info().repeatFirstField, film.repeatFirstField);
    QCOMPARE(v.stream->keyFrames(), std::vector<int32_t>(film.keyFrames.begin(), film.keyFrames.end()));
    QCOMPARE(CountVideoFrames(film.path, {}), uint32_t(film.frames));
    // A picture with the flag lasts three fields instead of two: the frame times say so.
    const int64_t fields = 2 * int64_t(film.frames) + film.repeatFirstField;
    QCOMPARE(v.stream->sampleToTime(film.frames), uint32_t(fields * 1000 * 1001 / 60000));
    QCOMPARE(readFrameNumber(v.decoder->toImage(v.decoder->decodeFrame(film.frames - 1))), film.frames - 1);
}

// The file's content decides how it is read, not its name.
void TestProgramStream::readerFollowsTheContent_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("frames");

    QFile::copy(m_open.path, path(QStringLiteral("program.avi")));
    VideoSpec avi;
    avi.frames = 30;
    writeVideo(path(QStringLiteral("movie.vob")), avi);
    QTest::newRow("program stream named .avi") << path(QStringLiteral("program.avi")) << "MPEG-PS" << m_open.frames;
    QTest::newRow("AVI named .vob") << path(QStringLiteral("movie.vob")) << "AVI" << 30;
}

void TestProgramStream::readerFollowsTheContent()
{
    QFETCH(QString, file);
    QFETCH(QString, container);
    QFETCH(int, frames);

    Opened v = openVideo(file);
    QVERIFY(v.decoder);
    QCOMPARE(v.stream->info().container, container);
    QCOMPARE(v.stream->length(), frames);
    QCOMPARE(CountVideoFrames(file, {}), uint32_t(frames));
    QCOMPARE(readFrameNumber(v.decoder->toImage(v.decoder->decodeFrame(frames / 2))), frames / 2);
}

// The index is kept in the cache folder for the next opening, and only as long as the file is the
// same: another video under the same name, or a damaged cache, is scanned afresh.
void TestProgramStream::indexCacheFollowsTheFile()
{
    const QString file = path(QStringLiteral("cached.vob"));
    MpegSpec spec;
    spec.frames = 30;
    writeProgramStream(file, spec);
    const QDir cache(path(QStringLiteral("cache/vazovevoz/stream-index")));
    const QStringList before = cache.entryList(QDir::Files);
    QCOMPARE(CountVideoFrames(file, {}), 30u);
    QStringList kept = cache.entryList(QDir::Files);
    for (const QString& other : before)
        kept.removeAll(other);
    QCOMPARE(kept.size(), 1);
    // The second opening takes the index as it is: the cache file is not written again (a new
    // file would take the old one's place under another inode).
    const QString cached = cache.filePath(kept.first());
    auto inode = [](const QString& f) {
        struct stat st = {};
        return ::stat(QFile::encodeName(f).constData(), &st) == 0 ? qint64(st.st_ino) : qint64(-1);
    };
    const qint64 first = inode(cached);
    QCOMPARE(CountVideoFrames(file, {}), 30u);
    QCOMPARE(inode(cached), first);
    // A cache from another version of the program is not read, but replaced.
    {
        QFile older(cached);
        QVERIFY(older.open(QIODevice::ReadWrite) && older.seek(4));
        older.write(QByteArray("\0\0\0\1", 4));
    }
    QCOMPARE(CountVideoFrames(file, {}), 30u);
    QVERIFY(inode(cached) != first);

    spec.frames = 42;
    writeProgramStream(file, spec);
    QCOMPARE(CountVideoFrames(file, {}), 42u);

    // Another file in its place with the same size and time, as a copy that keeps times may leave
    // it: the first half of the packs, then zeros.
    const QString other = path(QStringLiteral("other.vob"));
    const std::vector<qint64> packs = packOffsets(file);
    const qint64 size = QFileInfo(file).size();
    writeSlice(file, other, 0, packs[packs.size() / 2]);
    {
        QFile padded(other);
        QVERIFY(padded.open(QIODevice::Append));
        padded.write(QByteArray(int(size - padded.size()), '\0'));
    }
    const QDateTime modified = QFileInfo(file).lastModified();
    QVERIFY(QFile::remove(file) && QFile::rename(other, file));
    {
        QFile same(file);
        QVERIFY(same.open(QIODevice::ReadWrite) && same.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    QCOMPARE(QFileInfo(file).size(), size);
    const uint half = CountVideoFrames(file, {});
    QVERIFY2(half > 10 && half < 42, qPrintable(QString::number(half)));
    writeProgramStream(file, spec);
    QCOMPARE(CountVideoFrames(file, {}), 42u);

    for (const QString& name : cache.entryList(QDir::Files)) {
        QFile damaged(cache.filePath(name));
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        damaged.seek(damaged.size() / 2);
        damaged.write(QByteArray(64, '\xff'));
    }
    Opened v = openVideo(file);
    QVERIFY(v.decoder);
    QCOMPARE(v.stream->length(), 42);
    QCOMPARE(readFrameNumber(v.decoder->toImage(v.decoder->decodeFrame(41))), 41);
}

// The menu video the editor and the Preview show: frames, key frames and times as for an AVI, and a
// damaged file opened with a warning that says what is wrong.
void TestProgramStream::videoSourceShowsAVob()
{
    QList<Message> messages;
    VideoSource video([&](const Message& m) { messages.append(m); });
    QVERIFY(video.OpenVideo(m_open.path));
    QCOMPARE(messages.size(), 0);
    QCOMPARE(video.FrameCount(), m_open.frames);
    QCOMPARE(QSize(video.pictureWidth(), video.pictureHeight()), QSize(176, 144));
    for (const int n : {40, 11, 12, 13, 74, 0}) {
        QVERIFY(video.ShowFrame(n));
        QCOMPARE(readFrameNumber(video.picture()), n);
    }
    QVERIFY(video.IsKeyFrame(12));
    QVERIFY(!video.IsKeyFrame(11));
    QCOMPARE(video.NextKeyFrame(12), 24);
    QCOMPARE(video.PreviousKeyFrame(12), 0);
    QCOMPARE(video.FrameTime(25), 1000u);

    const std::vector<qint64> packs = packOffsets(m_open.path);
    writeWithGarbage(m_open.path, path(QStringLiteral("shown-damaged.vob")), packs[3], 100);
    QVERIFY(video.OpenVideo(path(QStringLiteral("shown-damaged.vob"))));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].caption, kCaptionWarning);
    QVERIFY2(messages[0].text.contains(QStringLiteral("100 bytes that belong to no pack were skipped, the first at byte %1")
                                           .arg(packs[3])),
             qPrintable(messages[0].text));
    QCOMPARE(video.FrameCount(), m_open.frames);
    QVERIFY(video.ShowFrame(m_open.frames - 1));
    QCOMPARE(readFrameNumber(video.picture()), m_open.frames - 1);
}

QTEST_GUILESS_MAIN(TestProgramStream)
#include "test_media_programstream.moc"
