// The command-line companion's video commands, run as the user runs them, on generated videos.
#include <QtTest>

#include "clitestutil.h"
#include "savefailtestutil.h"
#include "fixtures/framepattern.h"
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
