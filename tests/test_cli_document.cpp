// The command-line companion's document commands, run as the user runs them.
#include <QtTest>

#include "clitestutil.h"
#include "documenttestutil.h"

class TestCliDocument : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void commands_data();
    void commands();
    void normalizeWritesAtomically();
    void checkJson();
    void checkDemoMenu();

private:
    QTemporaryDir m_dir;
    QString write(const QString& name, const QByteArray& bytes);
};

QString TestCliDocument::write(const QString& name, const QByteArray& bytes)
{
    QFile f(m_dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return f.fileName();
}

void TestCliDocument::initTestCase()
{
    QVERIFY(m_dir.isValid());
    write("good.ini", crlf(minimalHead() + QList<QByteArray>{"[PAGE=1]\t\t;One", "\t[SELECTION=1]\t\t;S",
                                                             "\t\tAction=2#3", "\t\tParameter=#1"}));
    write("messages.ini", crlf(minimalHead() + QList<QByteArray>{"[CHAPTERS]", "1=120", "[PAGE=1]\t\t;One",
                                                                 "\tVideoLoop=x"}));
    write("nomenupage.ini", crlf(minimalHead() + QList<QByteArray>{"[MENU]", "Directory=m", "StartPage=1"}));
    // The movie's AVI, named by mistake where a menu file belongs.
    write("harbour.avi", QByteArray("RIFF\x24\0\0\0AVI LIST", 16) + QByteArray(64, '\0'));
    write("unix.ini", (minimalHead() + QList<QByteArray>{"[PAGE=2]\t\t;Two"}).join('\n'));

    // The menu check looks for the files the movie data names: the movie file is there (empty, so the
    // menu video's length and picture size stay unknown).
    write("film.avi", QByteArray());
    QList<QByteArray> noFilm = minimalHead();
    noFilm.replace(noFilm.indexOf("AVIName=film.avi"), "AVIName=nofilm.avi");
    write("nofilm.ini", crlf(noFilm + QList<QByteArray>{"[PAGE=1]\t\t;One", "\t[SELECTION=1]\t\t;S",
                                                        "\t\tAction=2#3", "\t\tParameter=#1"}));
    const QList<QByteArray> menuHead = minimalHead() + QList<QByteArray>{"[MENU]", "Directory=.", "AVIName=film.avi",
                                                                         "StartPage=1", "MenuPage=1", ""};
    const QList<QByteArray> mainPage{"[PAGE=1]\t\t;Main",   "\tBackgroundMode=1",        "\tVideoLoop=1",
                                     "\tVideoRange=0-10",   "\tSelectionAvailable=1",    "\t[SELECTION=1]\t\t;Play",
                                     "\t\tArea=10,10-50,50", "\t\tAction=2",               "\t\tParameter="};
    write("clean.ini", crlf(menuHead + mainPage));
    // The same page played once, starting the movie at its end: the end action counts as an action.
    QList<QByteArray> endPage = mainPage;
    endPage.replace(endPage.indexOf("\tVideoLoop=1"), "\tVideoLoop=0");
    endPage.insert(endPage.indexOf("\tVideoRange=0-10") + 1, "\tActionAtEnd=2#");
    write("endaction.ini", crlf(menuHead + endPage));
    // Page 2 (line 26) is not reached from page 1.
    write("warning.ini", crlf(menuHead + mainPage +
                              QList<QByteArray>{"[PAGE=2]\t\t;Lost", "\tBackgroundMode=1", "\tVideoLoop=1",
                                                "\tVideoRange=0-10", "\tSelectionAvailable=1",
                                                "\t[SELECTION=1]\t\t;Back", "\t\tArea=10,10-50,50", "\t\tAction=1",
                                                "\t\tParameter=1"}));
    // Selection 2 (line 26) overlaps selection 1 and jumps to a page that does not exist.
    write("problems.ini", crlf(menuHead + mainPage +
                               QList<QByteArray>{"\t[SELECTION=2]\t\t;Jump", "\t\tArea=40,40-90,90", "\t\tAction=1",
                                                 "\t\tParameter=9"}));
}

void TestCliDocument::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("check clean") << QStringList{"check", "clean.ini"} << 0
                                 << QByteArray("1 pages, 1 selections, 1 actions\n") << QByteArray();
    // The reader's messages come first, then the problems (a problem of a key the file lacks points at
    // line 0), then the summary.
    QTest::newRow("check with messages")
        << QStringList{"check", "messages.ini"} << 1
        << QByteArray("Error: Malformed chapter entry : <120>, Leaving chapters parsing\n"
                      "VRPL VazoVevoz: Syntax error on line 14 <VideoLoop=x>\n"
                      "{dir}/messages.ini:0: error: required-field-empty: Movie data, [MENU] Directory: is empty; "
                      "without it the file has no [MENU] section and the player shows none of the pages.\n"
                      "{dir}/messages.ini:13: error: picture-file-empty: Page 1) One: the page shows a still picture "
                      "but names no picture file.\n"
                      "{dir}/messages.ini:13: warning: page-dead-end: Page 1) One: offers no selection and leads "
                      "nowhere at its end: the menu stops there.\n"
                      "1 pages, 0 selections, 0 actions\n")
        << QByteArray();
    QTest::newRow("check problems")
        << QStringList{"check", "problems.ini"} << 1
        << QByteArray("{dir}/problems.ini:26: warning: areas-overlap: Page 1) Main, selection 2 (Jump): the area "
                      "overlaps selection 1 (Play); a click there is taken by one of them only.\n"
                      "{dir}/problems.ini:26: error: jump-target-missing: Page 1) Main, selection 2 (Jump), action 1 "
                      "(Jump to another page): page 9 does not exist.\n"
                      "1 pages, 2 selections, 2 actions\n")
        << QByteArray();
    const QByteArray unreachable("{dir}/warning.ini:26: warning: page-unreachable: Page 2) Lost: no jump, end of page "
                                 "or relative jump leads here from the pages the player starts from (the start, "
                                 "menu, chapters and specials pages).\n"
                                 "2 pages, 2 selections, 2 actions\n");
    QTest::newRow("check warning") << QStringList{"check", "warning.ini"} << 0 << unreachable << QByteArray();
    QTest::newRow("check warning, strict")
        << QStringList{"check", "--strict", "warning.ini"} << 1 << unreachable << QByteArray();
    // Without the files, the missing movie file of the minimal head is not looked for.
    QTest::newRow("check movie file missing")
        << QStringList{"check", "nofilm.ini"} << 1
        << QByteArray("{dir}/nofilm.ini:0: error: required-field-empty: Movie data, [MENU] Directory: is empty; "
                      "without it the file has no [MENU] section and the player shows none of the pages.\n"
                      "{dir}/nofilm.ini:9: error: file-missing: Movie data, [MOVIE] AVIName: the file nofilm.avi is not "
                      "in the base directory {dir}/.\n"
                      "{dir}/nofilm.ini:11: error: picture-file-empty: Page 1) One: the page shows a still picture but "
                      "names no picture file.\n"
                      "{dir}/nofilm.ini:11: warning: page-dead-end: Page 1) One: offers no selection and leads nowhere "
                      "at its end: the menu stops there.\n"
                      "{dir}/nofilm.ini:12: error: area-invalid: Page 1) One, selection 1 (S): the area \"\" is not "
                      "four numbers written left,top-right,bottom.\n"
                      "{dir}/nofilm.ini:12: warning: action-unreachable: Page 1) One, selection 1 (S), action 1 (Play "
                      "movie): the player stops after this action, so action 2 would never run.\n"
                      "{dir}/nofilm.ini:12: error: chapter-missing: Page 1) One, selection 1 (S), action 2 (Play from "
                      "chapter): chapter 1 does not exist; the movie data has no chapter.\n"
                      "1 pages, 1 selections, 2 actions\n")
        << QByteArray();
    QTest::newRow("check counts the action at a page's end")
        << QStringList{"check", "endaction.ini"} << 0 << QByteArray("1 pages, 1 selections, 2 actions\n")
        << QByteArray();
    QTest::newRow("check without files")
        << QStringList{"check", "--no-files", "clean.ini"} << 0 << QByteArray("1 pages, 1 selections, 1 actions\n")
        << QByteArray();
    QTest::newRow("check unknown option") << QStringList{"check", "--fast", "clean.ini"} << 2 << QByteArray()
                                          << QByteArray("vrplmenu: unknown option '--fast' (see vrplmenu --help)\n");
    QTest::newRow("check missing file") << QStringList{"check", "missing.ini"} << 2
                                        << QByteArray("Error: Can't open file\n") << QByteArray();
    QTest::newRow("check a folder") << QStringList{"check", "."} << 2 << QByteArray("Error: Can't open file\n")
                                    << QByteArray();
    // What is no menu file cannot be read at all, and is never written over.
    QTest::newRow("check a video") << QStringList{"check", "harbour.avi"} << 2
                                   << QByteArray("Error: The key [MAIN]->Title is missing. Leaving...\n")
                                   << QByteArray("vrplmenu: {dir}/harbour.avi is not a menu file\n");
    QTest::newRow("normalize a video")
        << QStringList{"normalize", "harbour.avi"} << 2 << QByteArray()
        << QByteArray("Error: The key [MAIN]->Title is missing. Leaving...\n"
                      "vrplmenu: {dir}/harbour.avi is not a menu file; nothing was written\n");
    QTest::newRow("normalize over a video")
        << QStringList{"normalize", "clean.ini", "-o", "harbour.avi"} << 2 << QByteArray()
        << QByteArray("Error: harbour.avi is not a menu file (it looks like an AVI video); choose another name "
                      "with Save as\n");
    QTest::newRow("normalize to standard output")
        << QStringList{"normalize", "unix.ini"} << 0
        << crlf(minimalHead() + QList<QByteArray>{"[PAGE=2]\t\t;Two", "\tBackgroundMode=2", "\tPictureFile=",
                                                  "\tPictureDuration=0", "\tSelectionAvailable=0", ""})
        << QByteArray();
    QTest::newRow("normalize with a failing check")
        << QStringList{"normalize", "nomenupage.ini"} << 1 << QByteArray()
        << QByteArray("VRPL VazoVevoz: You must set the menu 'menu page'.\n");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray() << QByteArray();
    QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("vrplmenu " VAZO_VERSION "\n")
                             << QByteArray();
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << QByteArray() << QByteArray();
}

void TestCliDocument::commands()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    for (QString& a : args)
        if (a.endsWith(".ini") || a.endsWith(".avi") || a == ".")
            a = m_dir.filePath(a);
    const CliRun r = runVrplmenu(args);
    QCOMPARE(r.exitCode, exitCode);
    if (QByteArray(QTest::currentDataTag()) == "help") {
        QVERIFY(r.out.startsWith("Usage: vrplmenu COMMAND"));
        return;
    }
    if (QByteArray(QTest::currentDataTag()) == "unknown command") {
        QVERIFY(r.err.contains("unknown command 'frobnicate'"));
        return;
    }
    out.replace("{dir}", QDir(m_dir.path()).absolutePath().toLocal8Bit());
    err.replace("{dir}", QDir(m_dir.path()).absolutePath().toLocal8Bit());
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
}

void TestCliDocument::normalizeWritesAtomically()
{
    const QString out = write("out.ini", "previous\r\n");
    CliRun r = runVrplmenu({"normalize", m_dir.filePath("nomenupage.ini"), "-o", out});
    QCOMPARE(r.exitCode, 1);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("previous\r\n"));
    f.close();

    r = runVrplmenu({"normalize", m_dir.filePath("good.ini"), "-o", out});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().endsWith("\t\tAction=2#3\r\n\t\tParameter=#1\r\n\r\n"));

    // A file whose head stops the reading is not written over with what little was read.
    const QString broken = write("broken.ini", "[MAIN]\r\nTitle=only a title\r\n");
    r = runVrplmenu({"normalize", broken, "-o", broken});
    QCOMPARE(r.exitCode, 1);
    QFile b(broken);
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), QByteArray("[MAIN]\r\nTitle=only a title\r\n"));
}

// The same problems for other tools: standard output holds the JSON array alone, the reader's
// messages go to standard error, the exit status is the same as in text form.
void TestCliDocument::checkJson()
{
    CliRun r = runVrplmenu({"check", "--json", m_dir.filePath("problems.ini")});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QByteArray());
    QJsonParseError error;
    const QJsonArray problems = QJsonDocument::fromJson(r.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(problems.size(), 2);
    const QJsonObject jump = problems.at(1).toObject();
    QCOMPARE(jump.value("file").toString(), m_dir.filePath("problems.ini"));
    QCOMPARE(jump.value("line").toInt(), 26);
    QCOMPARE(jump.value("severity").toString(), QString("error"));
    QCOMPARE(jump.value("code").toString(), QString("jump-target-missing"));
    QCOMPARE(jump.value("page").toInt(), 1);
    QCOMPARE(jump.value("selection").toInt(), 2);
    QCOMPARE(jump.value("action").toInt(), 1);
    QVERIFY(jump.value("message").toString().contains("page 9 does not exist"));
    QCOMPARE(problems.at(0).toObject().value("field").toString(), QString("Area"));

    r = runVrplmenu({"check", "--json", m_dir.filePath("messages.ini")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.startsWith("Error: Malformed chapter entry"));
    QCOMPARE(QJsonDocument::fromJson(r.out).array().first().toObject().value("field").toString(),
             QString("MENU/Directory"));

    r = runVrplmenu({"check", "--json", m_dir.filePath("clean.ini")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out).array().size(), 0);
}

// The demo menu, with its real menu video, pictures and movie files counted and decoded, has no problem
// at all.
void TestCliDocument::checkDemoMenu()
{
    const QString demo = QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini");
    QVERIFY2(QFileInfo::exists(demo), "the demo menu is part of the tree");
    const CliRun r = runVrplmenu({"check", "--strict", demo});
    QCOMPARE(r.err, QByteArray());
    QVERIFY2(r.out.count('\n') == 1, r.out.constData());
    QCOMPARE(r.exitCode, 0);
}

QTEST_GUILESS_MAIN(TestCliDocument)
#include "test_cli_document.moc"
