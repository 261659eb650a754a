// The command-line companion's video commands, run as the user runs them, on generated videos.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "clitestutil.h"
#include "savefailtestutil.h"
#include "fixtures/framepattern.h"
#include "fixtures/mpegfixtures.h"
#include "fixtures/videofixtures.h"

using namespace fixtures;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run vrplmenu(const QStringList& args)
{
    const CliRun r = runVrplmenu(args);
    return Run{r.exitCode, QString::fromLocal8Bit(r.out), QString::fromLocal8Bit(r.err)};
}

QString lines(const QStringList& l)
{
    return l.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString keyList(const std::vector<int>& keys)
{
    QStringList s;
    for (int k : keys)
        s.append(QString::number(k));
    return s.join(QLatin1Char(' '));
}

} // namespace

class TestCliVideo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void videoInfo_data();
    void videoInfo();
    void videoInfoRefuses_data();
    void videoInfoRefuses();
    void countFrames();
    void programStreamsWhereverAVideoIsNamed();
    void frame_data();
    void frame();
    void frameRefuses_data();
    void frameRefuses();
    void aRefusedWriteLeavesTheOldFile_data();
    void aRefusedWriteLeavesTheOldFile();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QMap<QString, VideoFixture> m_videos;
    std::vector<int> m_telecineKeys;
};

void TestCliVideo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    VideoSpec s;
    s.frames = 30;
    s.keyInterval = 10;
    m_videos["mpeg4"] = writeVideo(path("mpeg4.avi"), s);
    s.bFrames = 2;
    m_videos["mpeg4-b2"] = writeVideo(path("mpeg4-b2.avi"), s);
    VideoSpec mj;
    mj.kind = VideoKind::Mjpeg;
    mj.frames = 12;
    mj.rateNum = 30000;
    mj.rateDen = 1001;
    mj.drops = {3, 4, 11};
    m_videos["mjpeg-drops"] = writeVideo(path("mjpeg-drops.avi"), mj);
    VideoSpec raw;
    raw.kind = VideoKind::RawBgr24;
    raw.width = 350;
    raw.height = 60;
    raw.frames = 5;
    m_videos["raw"] = writeVideo(path("raw.avi"), raw);
    VideoSpec x;
    x.kind = VideoKind::XvidPacked;
    x.bFrames = 1;
    x.frames = 25;
    x.keyInterval = 10;
    m_videos["xvid"] = writeVideo(path("xvid.avi"), x);
    writeCopyWithFourcc(m_videos["raw"].path, path("unknown.avi"), "VZQX");
    writeAudioOnlyAvi(path("audio.avi"));
    writeNotAvi(path("text.avi"));

    // MPEG program streams, as DVD VOB files; their index cache stays in the test's folder.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(path("cache")));
    MpegSpec vob;
    vob.frames = 40;
    writeProgramStream(path("menu.vob"), vob);
    VideoFixture& menu = m_videos["menu"];
    menu.path = path("menu.vob");
    menu.width = vob.width;
    menu.height = vob.height;
    menu.frameCount = vob.frames;
    for (int n = 0; n < vob.frames; ++n)
        menu.shown.push_back(n);
    MpegSpec film;
    film.muxer = "dvd";
    film.frames = 48;
    film.rateNum = 30000;
    film.rateDen = 1001;
    film.softTelecine = true;
    m_telecineKeys = writeProgramStream(path("telecine.vob"), film).keyFrames;
}

void TestCliVideo::videoInfo_data()
{
    QTest::addColumn<QString>("video");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");

    const VideoFixture& m = m_videos["mpeg4-b2"];
    const QStringList mpegHead = {"File: mpeg4-b2.avi", "Frames: 30", "Picture: 160 x 120", "Frame rate: 25 (25/1)",
                                  "Codec: mpeg4 (FMP4)", QStringLiteral("Key frames: %1").arg(m.keyFrames.size())};
    QTest::newRow("mpeg4 with B-frames") << "mpeg4-b2.avi" << QStringList{} << lines(mpegHead);
    QTest::newRow("key frame numbers are presentation positions")
        << "mpeg4-b2.avi" << QStringList{"--key-frames"}
        << lines(mpegHead + QStringList{"Key frame numbers: " + keyList(m.keyFrames)});
    QTest::newRow("mjpeg, NTSC rate, drop samples")
        << "mjpeg-drops.avi" << QStringList{"--key-frames"}
        << lines({"File: mjpeg-drops.avi", "Frames: 12", "Picture: 160 x 120", "Frame rate: 29.97 (30000/1001)",
                  "Codec: mjpeg (MJPG)", "Key frames: 9", "Key frame numbers: 0 1 2 5 6 7 8 9 10"});
    QTest::newRow("uncompressed") << "raw.avi" << QStringList{}
                                  << lines({"File: raw.avi", "Frames: 5", "Picture: 350 x 60", "Frame rate: 25 (25/1)",
                                            "Codec: rawvideo", "Key frames: 5"});
    QTest::newRow("packed bitstream")
        << "xvid.avi" << QStringList{"--key-frames"}
        << lines({"File: xvid.avi", "Frames: 25", "Picture: 160 x 120", "Frame rate: 25 (25/1)", "Codec: mpeg4 (XVID)",
                  QStringLiteral("Key frames: %1").arg(m_videos["xvid"].keyFrames.size()),
                  "Key frame numbers: " + keyList(m_videos["xvid"].keyFrames)});
    QTest::newRow("VOB with soft telecine")
        << "telecine.vob" << QStringList{"--key-frames"}
        << lines({"File: telecine.vob", "Frames: 48", "Picture: 176 x 144", "Frame rate: 29.97 (30000/1001)",
                  "Codec: mpeg2video (MPEG-2)", QStringLiteral("Key frames: %1").arg(m_telecineKeys.size()),
                  "Container: MPEG program stream", "Sequence: interlaced", "Soft telecine: 24 of 48 pictures repeat a field (repeat_first_field); each counts as one frame, "
                  "so the frames are fewer than the frame rate times the running time",
                  "Running time: 2002 ms", "Key frame numbers: " + keyList(m_telecineKeys)});
    QTest::newRow("VOB without soft telecine")
        << "menu.vob" << QStringList{}
        << lines({"File: menu.vob", "Frames: 40", "Picture: 176 x 144", "Frame rate: 25 (25/1)",
                  "Codec: mpeg2video (MPEG-2)", "Key frames: 4", "Container: MPEG program stream",
                  "Sequence: progressive", "Soft telecine: none (no picture repeats a field)", "Running time: 1600 ms"});
    QTest::newRow("codec without decoder")
        << "unknown.avi" << QStringList{}
        << lines({"File: unknown.avi", "Frames: 5", "Picture: 350 x 60", "Frame rate: 25 (25/1)",
                  "Codec: VZQX, no decoder", "Key frames: 5"});
}

void TestCliVideo::videoInfo()
{
    QFETCH(QString, video);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    const Run r = vrplmenu(QStringList{"video-info", path(video)} + args);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, expected);
    QCOMPARE(r.exitCode, 0);
}

void TestCliVideo::videoInfoRefuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");

    QTest::newRow("not an AVI") << QStringList{"video-info", path("text.avi")}
                                << "Error: Unable to open AVI file\n";
    QTest::newRow("missing") << QStringList{"video-info", path("none.avi")} << "Error: Unable to open AVI file\n";
    QTest::newRow("no video stream") << QStringList{"video-info", path("audio.avi")}
                                     << "Error: Unable to open the video stream\n";
    QTest::newRow("no file") << QStringList{"video-info"}
                             << "vrplmenu: video-info takes one FILE (see vrplmenu --help)\n";
    QTest::newRow("unknown option") << QStringList{"video-info", path("raw.avi"), "--keys"}
                                    << "vrplmenu: unknown option '--keys' (see vrplmenu --help)\n";
}

void TestCliVideo::videoInfoRefuses()
{
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    const Run r = vrplmenu(args);
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.exitCode, 2);
}

void TestCliVideo::countFrames()
{
    // One line per file in the order given; failures count 0 with the dialog's message.
    const QStringList files = {path("mpeg4.avi"), path("text.avi"), path("mjpeg-drops.avi"), path("audio.avi"),
                               path("unknown.avi")};
    Run r = vrplmenu(QStringList{"count-frames"} + files);
    QCOMPARE(r.out, lines({"30 " + files[0], "0 " + files[1], "12 " + files[2], "0 " + files[3], "5 " + files[4]}));
    QCOMPARE(r.err, lines({"VRPL VazoVevoz: # AVIFileOpen : AVI source init error !",
                           "VRPL VazoVevoz: # AVIFileGetStream : AVI source init error !"}));
    QCOMPARE(r.exitCode, 1);

    r = vrplmenu({"count-frames", path("xvid.avi")});
    QCOMPARE(r.out, lines({"25 " + path("xvid.avi")}));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
}

// A VOB is read wherever a movie file or the menu video is named: counted, cut into buttons; a damaged
// one as far as it is sound, with a message saying what is wrong.
void TestCliVideo::programStreamsWhereverAVideoIsNamed()
{
    Run r = vrplmenu({"count-frames", path("menu.vob"), path("telecine.vob")});
    QCOMPARE(r.out, lines({"40 " + path("menu.vob"), "48 " + path("telecine.vob")}));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);

    const std::vector<qint64> packs = packOffsets(path("menu.vob"));
    writeWithGarbage(path("menu.vob"), path("damaged.vob"), packs[packs.size() / 2], 500);
    r = vrplmenu({"count-frames", path("damaged.vob")});
    QCOMPARE(r.out, lines({"40 " + path("damaged.vob")}));
    QVERIFY2(r.err.startsWith("VRPL VazoVevoz: The video is damaged and was read as far as it is sound: 500 bytes"),
             qPrintable(r.err));
    QCOMPARE(r.exitCode, 1);

    r = vrplmenu({"find-buttons", path("menu.vob"), "--range", "10-14"});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);

    // The menu check counts a VOB movie file and measures a VOB menu video as it does AVI ones: a
    // chapter after the movie's 48 frames and a page beyond the menu video's 40 are errors, a
    // chapter and a page within them are not.
    QFile menu(path("vob.ini"));
    QVERIFY(menu.open(QIODevice::WriteOnly));
    menu.write("[Vireo Ini File]\r\n\r\n[MAIN]\r\nTitle=VOB\r\nID=VOBTEST\r\n\r\n"
               "[MOVIE]\r\nDirectory=.\r\nAVIName=telecine.vob\r\nCD1Frames=48\r\n\r\n"
               "[CHAPTERS]\r\n1=0 Start\r\n2=40 End\r\n3=60 After\r\n\r\n"
               "[MENU]\r\nDirectory=.\r\nAVIName=menu.vob\r\nStartPage=1\r\nMenuPage=1\r\n\r\n"
               "[PAGE=1]\r\n\tBackgroundMode=1\r\n\tVideoLoop=1\r\n\tVideoRange=0-39\r\n\r\n"
               "[PAGE=2]\r\n\tBackgroundMode=1\r\n\tVideoLoop=1\r\n\tVideoRange=30-45\r\n");
    menu.close();
    r = vrplmenu({"check", "--json", path("vob.ini")});
    const QJsonArray problems = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QStringList errors;
    for (const QJsonValue& p : problems) {
        if (p.toObject().value("severity").toString() == QLatin1String("error"))
            errors << p.toObject().value("code").toString() + QLatin1Char(' ') +
                          QString::number(p.toObject().value("page").toInt());
    }
    errors.sort();
    QCOMPARE(errors, QStringList({"chapter-beyond-movie 0", "video-range-outside 2"}));
}

void TestCliVideo::frame_data()
{
    QTest::addColumn<QString>("video");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("out");

    QTest::newRow("first") << "mpeg4.avi" << 0 << "f.png";
    QTest::newRow("last") << "mpeg4.avi" << 29 << "f.png";
    QTest::newRow("B-frame before an I-frame") << "mpeg4-b2.avi" << 19 << "f.png";
    QTest::newRow("I-frame after B-frames") << "mpeg4-b2.avi" << 20 << "f.png";
    QTest::newRow("last of a B-frame file") << "mpeg4-b2.avi" << 29 << "f.jpg";
    QTest::newRow("drop sample repeats the picture before") << "mjpeg-drops.avi" << 4 << "f.png";
    QTest::newRow("drop sample at the end") << "mjpeg-drops.avi" << 11 << "f.png";
    QTest::newRow("uncompressed, padded rows") << "raw.avi" << 3 << "f.png";
    QTest::newRow("packed, B-frame in the P chunk") << "xvid.avi" << 1 << "f.png";
    QTest::newRow("packed, placeholder chunk") << "xvid.avi" << 2 << "f.png";
    QTest::newRow("packed, B-frame before a key frame") << "xvid.avi" << 9 << "f.jpeg";
    QTest::newRow("packed, key frame") << "xvid.avi" << 10 << "F.PNG";
    QTest::newRow("VOB, B-frame of an open group before its I-frame") << "menu.vob" << 11 << "f.png";
    QTest::newRow("VOB, I-frame of an open group") << "menu.vob" << 12 << "f.png";
    QTest::newRow("VOB, last") << "menu.vob" << 39 << "f.png";
}

void TestCliVideo::frame()
{
    QFETCH(QString, video);
    QFETCH(int, n);
    QFETCH(QString, out);
    const VideoFixture& fx = m_videos[QFileInfo(video).completeBaseName()];
    const QString target = path(out);
    QFile::remove(target);
    const Run r = vrplmenu({"frame", path(video), QString::number(n), "-o", target});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.exitCode, 0);
    QImage image(target);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(fx.width, fx.height));
    QCOMPARE(readFrameNumber(image), fx.expectedAt(n));
}

void TestCliVideo::frameRefuses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("err");

    const QString out = path("x.png");
    QTest::newRow("beyond the last frame")
        << QStringList{"frame", path("raw.avi"), "5", "-o", out}
        << "vrplmenu: frame 5 is outside the video's frames 0 .. 4\n";
    QTest::newRow("negative") << QStringList{"frame", path("raw.avi"), "-1", "-o", out}
                              << "vrplmenu: frame -1 is outside the video's frames 0 .. 4\n";
    QTest::newRow("not a number") << QStringList{"frame", path("raw.avi"), "x1", "-o", out}
                                  << "vrplmenu: 'x1' is not a valid integer value (see vrplmenu --help)\n";
    QTest::newRow("unknown picture type") << QStringList{"frame", path("raw.avi"), "1", "-o", path("x.gif")}
                                          << "vrplmenu: OUT must end in .png, .jpg or .jpeg (see vrplmenu --help)\n";
    QTest::newRow("no output") << QStringList{"frame", path("raw.avi"), "1"}
                               << "vrplmenu: frame takes FILE N -o OUT (see vrplmenu --help)\n";
    QTest::newRow("no decoder") << QStringList{"frame", path("unknown.avi"), "1", "-o", out}
                                << "vrplmenu: no decoder for the codec of " + path("unknown.avi") + "\n";
    QTest::newRow("not an AVI") << QStringList{"frame", path("text.avi"), "0", "-o", out}
                                << "Error: Unable to open AVI file\n";
}

void TestCliVideo::frameRefuses()
{
    QFETCH(QStringList, args);
    QFETCH(QString, err);
    QFile::remove(path("x.png"));
    const Run r = vrplmenu(args);
    QCOMPARE(r.err, err);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(!QFile::exists(path("x.png")));
}


// The file system refuses what vrplmenu writes (a full disk, a file-size limit): the file that was
// there stays byte for byte, the error is the file system's, and the exit status says it failed.
void TestCliVideo::aRefusedWriteLeavesTheOldFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("fullDisk");
    for (const char* command : {"normalize", "frame"}) {
        QTest::addRow("%s -o, full disk", command) << command << true;
        QTest::addRow("%s -o, file-size limit", command) << command << false;
    }
}

void TestCliVideo::aRefusedWriteLeavesTheOldFile()
{
    QFETCH(QString, command);
    QFETCH(bool, fullDisk);
    SmallDisk disk;
    if (fullDisk && !disk.ok())
        QSKIP(qPrintable(disk.whyNot()));
    QTemporaryDir dir;
    const QString target = fullDisk ? disk.filePath("old.out") : dir.filePath("old.out");
    const QByteArray before = "the file that was there\r\n";
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
    }
    const QString menu = path("menu.ini");
    {
        QFile f(menu);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Vireo Ini File]\r\n\r\n[MAIN]\r\nTitle=Film\r\nID=F1\r\n\r\n[MOVIE]\r\nDirectory=.\r\n"
                "AVIName=film.avi\r\n\r\n");
    }
    if (fullDisk)
        QVERIFY(disk.fill());
    // "-o OUT" takes its picture type from the name; the file's own name stays "old.out" by a link.
    QString out = target;
    if (command == "frame") {
        out = QFileInfo(target).path() + "/old.png";
        QVERIFY(QFile::link(target, out));
    }
    const QStringList args = command == "frame" ? QStringList{"frame", path("raw.avi"), "1", "-o", out}
                                                : QStringList{"normalize", menu, "-o", out};
    QProcess p;
    if (!fullDisk)
        runWithFileSizeLimit(p);
    p.start(QStringLiteral(VRPLMENU_PATH), args);
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 2);
    const QString error = fullDisk ? QStringLiteral("No space left on device") : QStringLiteral("File too large");
    QCOMPARE(err, QString("%1Cannot write the file %2: %3. The file was left as it was.\n")
                      .arg(command == "frame" ? "vrplmenu: " : "Error: ", QDir::toNativeSeparators(out), error));
    QFile f(target);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    // Nothing is left behind beside it.
    QStringList left = QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll("filler");
    left.removeAll("old.png");
    QCOMPARE(left, QStringList{"old.out"});
}

QTEST_GUILESS_MAIN(TestCliVideo)
#include "test_cli_video.moc"
