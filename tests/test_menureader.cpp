// Reading menu files: the head by key lookup, the File lines and the page and selection blocks.
#include <QtTest>

#include "document/inireader.h"
#include "document/projectloader.h"
#include "documenttestutil.h"

class TestMenuReader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void actions_data();
    void actions();
    void pageValues_data();
    void pageValues();
    void syntaxErrorsNameThePhysicalLine();
    void conversionErrorEndsTheParse_data();
    void conversionErrorEndsTheParse();
    void blockStructure();
    void lineEnds_data();
    void lineEnds();
    void requiredKeys_data();
    void requiredKeys();
    void entryLists();
    void languagesAndFiles();
    void subtitleOptions();
    void messagesKeepTheirOrder();
    void menuSectionAfterPages();
    void pageHookCanEndTheLoad();
    void manyPagesAndJunk_data();
    void manyPagesAndJunk();
    void unreadableFile();
    void whatIsTakenForAMenu_data();
    void whatIsTakenForAMenu();
    void byteOrderMarkDoesNotHideTheFirstSection();
    void demoMenuOpensCleanly();
};

namespace {

struct Loaded
{
    MenuProject project;
    MessageLog log;
    LoadReport report;
};

std::unique_ptr<Loaded> load(const QByteArray& bytes, const LoadHooks& hooks = {})
{
    auto l = std::make_unique<Loaded>();
    l->report = LoadProjectFromBytes(bytes, QStringLiteral("/tmp/menus/test.ini"), l->project, l->log.sink(), hooks);
    return l;
}

std::unique_ptr<Loaded> loadMenu(const QList<QByteArray>& menuLines)
{
    return load(crlf(minimalHead() + menuLines));
}

} // namespace

void TestMenuReader::actions_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("syntaxErrors");

    QTest::newRow("parameters distributed") << QList<QByteArray>{"Action=2#3#6", "Parameter=#3#1"} << "2:;3:3;6:1" << 0;
    QTest::newRow("relative jump forward, absolute on page 10")
        << QList<QByteArray>{"Action=1", "Parameter=+2"} << "1:12" << 0;
    QTest::newRow("negative jump") << QList<QByteArray>{"Action=1", "Parameter=-3"} << "1:7" << 0;
    QTest::newRow("next page") << QList<QByteArray>{"Action=1", "Parameter=+1"} << "9:+1" << 0;
    QTest::newRow("previous page") << QList<QByteArray>{"Action=1", "Parameter=-1"} << "9:-1" << 0;
    QTest::newRow("plain jump") << QList<QByteArray>{"Action=1", "Parameter=4"} << "1:4" << 0;
    QTest::newRow("bad code skipped") << QList<QByteArray>{"Action=1#9#3", "Parameter=5#6#2"} << "1:5;3:6" << 1;
    QTest::newRow("every second character") << QList<QByteArray>{"Action=13"} << "1:" << 0;
    QTest::newRow("parameter before action assigns nothing")
        << QList<QByteArray>{"Parameter=7", "Action=3"} << "3:" << 0;
    QTest::newRow("second action line adds")
        << QList<QByteArray>{"Action=3", "Action=5", "Parameter=1#2"} << "3:1;5:2" << 0;
    QTest::newRow("fewer fields than actions") << QList<QByteArray>{"Action=3#4#5", "Parameter=1"} << "3:1;4:;5:" << 0;
    QTest::newRow("message text") << QList<QByteArray>{"Action=4#2", "Parameter=14 Hello|World#"}
                                  << "4:14 Hello|World;2:" << 0;
    QTest::newRow("no actions") << QList<QByteArray>{"Action=", "Parameter="} << "" << 0;
    QTest::newRow("copy from is accepted") << QList<QByteArray>{"CopyFrom=3", "Action=8"} << "8:" << 0;
    QTest::newRow("zero code") << QList<QByteArray>{"Action=0"} << "" << 1;
}

void TestMenuReader::actions()
{
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QString, expected);
    QFETCH(int, syntaxErrors);
    QList<QByteArray> menu{"[PAGE=10]\t\t;Ten", "\tBackgroundMode=1", "\t[SELECTION=1]\t\t;Sel",
                           "\t\tArea=1,2-3,4"};
    for (const QByteArray& l : lines)
        menu << "\t\t" + l;
    const auto l = loadMenu(menu);
    QCOMPARE(l->log.messages.size(), syntaxErrors);
    QCOMPARE(l->project.pages.size(), size_t(1));
    QCOMPARE(l->project.pages[0]->selections.size(), size_t(1));
    QCOMPARE(describeActions(*l->project.pages[0]->selections[0]), expected);
}

void TestMenuReader::pageValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("video") << QByteArray("BackgroundMode=1") << "video" << "1";
    QTest::newRow("still") << QByteArray("BackgroundMode=2") << "video" << "0";
    QTest::newRow("range") << QByteArray("VideoRange=125-249") << "range" << "125-249";
    QTest::newRow("range of one number") << QByteArray("VideoRange=40") << "range" << "40-40";
    QTest::newRow("loop") << QByteArray("VideoLoop=1") << "loop" << "1";
    QTest::newRow("loop with blanks is ignored") << QByteArray("VideoLoop = 1") << "loop" << "0";
    QTest::newRow("picture") << QByteArray("PictureFile=menu 1.jpg") << "picture" << "menu 1.jpg";
    QTest::newRow("duration") << QByteArray("PictureDuration=12") << "duration" << "12";
    QTest::newRow("jump") << QByteArray("JumpAtEnd=-4") << "jump" << "-4";
    QTest::newRow("default") << QByteArray("DefaultSelection=3") << "default" << "3";
    QTest::newRow("before") << QByteArray("ProhibitSelectionBefore=20") << "before" << "20";
    QTest::newRow("after") << QByteArray("ProhibitSelectionAfter=90") << "after" << "90";
    QTest::newRow("available") << QByteArray("SelectionAvailable=1") << "available" << "1";
    QTest::newRow("available only for 1") << QByteArray("SelectionAvailable=yes") << "available" << "0";
    QTest::newRow("column ordering") << QByteArray("SelectionOrdering=2") << "column" << "1";
    QTest::newRow("row ordering") << QByteArray("SelectionOrdering=1") << "column" << "0";
    QTest::newRow("key case matters") << QByteArray("videoloop=1") << "loop" << "0";
    QTest::newRow("jump at end stays a jump") << QByteArray("ActionAtEnd=1#+1") << "end" << "1:+1";
    QTest::newRow("action at end") << QByteArray("ActionAtEnd=3#4") << "end" << "3:4";
    QTest::newRow("action at end without parameter") << QByteArray("ActionAtEnd=2") << "end" << "2:";
    QTest::newRow("bad action at end code") << QByteArray("ActionAtEnd=x#1") << "end" << "";
}

void TestMenuReader::pageValues()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    const auto l = loadMenu({"[PAGE=1]\t\t;One", "\t" + line});
    QCOMPARE(l->project.pages.size(), size_t(1));
    const Page& p = *l->project.pages[0];
    QString actual;
    if (field == "video")
        actual = QString::number(p.backgroundIsVideo);
    else if (field == "range")
        actual = QStringLiteral("%1-%2").arg(p.firstFrame).arg(p.lastFrame);
    else if (field == "loop")
        actual = QString::number(p.videoLoop);
    else if (field == "picture")
        actual = p.pictureFile;
    else if (field == "duration")
        actual = QString::number(p.pictureDuration);
    else if (field == "jump")
        actual = QString::number(p.jumpAtEnd);
    else if (field == "default")
        actual = QString::number(p.defaultSelection);
    else if (field == "before")
        actual = QString::number(p.prohibitSelectionBefore);
    else if (field == "after")
        actual = QString::number(p.prohibitSelectionAfter);
    else if (field == "available")
        actual = QString::number(p.selectionAvailable);
    else if (field == "column")
        actual = QString::number(p.columnOrdering);
    else if (field == "end")
        actual = p.actionAtEnd ? QString::number(p.actionAtEnd->type) + ':' + p.actionAtEnd->parameter : QString();
    QCOMPARE(actual, expected);
}

void TestMenuReader::syntaxErrorsNameThePhysicalLine()
{
    // Head of 10 lines, then blank lines and a comment: the bad value stands on line 15.
    const auto l = loadMenu({"[PAGE=1]\t\t;One", "\tVideoLoop=1", "", "; comment", "\tVideoLoop=yes",
                             "\tBackgroundMode=3", "\tVideoRange=abc"});
    QCOMPARE(l->log.texts(), (QStringList{"Syntax error on line 15 <VideoLoop=yes>",
                                          "Syntax error on line 16 <BackgroundMode=3>",
                                          "Syntax error on line 17 <VideoRange=abc>"}));
    QCOMPARE(l->log.messages[0].caption, kAppTitle);
    QCOMPARE(l->log.messages[0].icon, MessageIcon::None);
    QVERIFY(l->project.pages[0]->videoLoop); // keeps its value
}

void TestMenuReader::conversionErrorEndsTheParse_data()
{
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("integer key") << QByteArray("\tJumpAtEnd=two") << "'two' is not a valid integer value (line 15)";
    QTest::newRow("page number") << QByteArray("[PAGE=x]") << "'x' is not a valid integer value (line 15)";
    QTest::newRow("page number beyond 32 bits")
        << QByteArray("[PAGE=4294967296]") << "'4294967296' is not a valid integer value (line 15)";
    QTest::newRow("empty action at end") << QByteArray("\tActionAtEnd=") << "Empty ActionAtEnd value on line 15";
    QTest::newRow("relative jump not a number")
        << QByteArray("\t[SELECTION=1]\t\t;S\r\n\t\tAction=1\r\n\t\tParameter=+x")
        << "'+x' is not a valid integer value (line 17)";
}

void TestMenuReader::conversionErrorEndsTheParse()
{
    QFETCH(QByteArray, badLine);
    QFETCH(QString, message);
    // Two good pages, then the third block holds the bad value; a fourth page is never reached.
    const auto l = loadMenu({"[PAGE=1]\t\t;One", "\tBackgroundMode=1", "[PAGE=2]\t\t;Two", "[PAGE=3]\t\t;Three",
                             badLine, "[PAGE=4]\t\t;Four"});
    QCOMPARE(l->log.texts(), QStringList{message});
    QCOMPARE(l->log.messages[0].caption, kCaptionError);
    QVERIFY(!l->report.pagesRead);
    QVERIFY(l->project.pages.size() >= 2);
    QVERIFY(l->project.pages.size() <= 3);
    QCOMPARE(l->project.pages[0]->number, 1);
    QCOMPARE(l->project.pages[1]->number, 2);
    QVERIFY(l->project.pages.back()->number != 4);
}

void TestMenuReader::blockStructure()
{
    // Block headers in any letter case, also after the first block.
    const auto l = loadMenu({"garbage before", "[page=3]", "  BackgroundMode=1  ", "[SELECTION=7]\t\t;",
                             "Area=5,5-10,10", "\t[SELECTION=7]\t\t;  Second  ", "[page=5]\t\t;Five;with;semis",
                             "\t[selection=1]\t\t;Lower", "[OTHER]", "[PAGE=6]\t\t;Never"});
    QCOMPARE(l->project.pages.size(), size_t(2));
    const Page& p3 = *l->project.pages[0];
    QCOMPARE(p3.number, 3);
    QCOMPARE(p3.name, QStringLiteral("Untitled"));
    QVERIFY(p3.backgroundIsVideo);
    QCOMPARE(p3.selections.size(), size_t(2));
    QCOMPARE(p3.selections[0]->name, QStringLiteral("Untitled"));
    QCOMPARE(p3.selections[0]->area, QStringLiteral("5,5-10,10"));
    QCOMPARE(p3.selections[1]->name, QStringLiteral("Second"));
    QCOMPARE(l->project.pages[1]->number, 5);
    QCOMPARE(l->project.pages[1]->name, QStringLiteral("Five;with;semis"));
    QCOMPARE(l->project.pages[1]->selections.size(), size_t(1));
    QCOMPARE(l->project.pages[1]->selections[0]->name, QStringLiteral("Lower"));
    QVERIFY(l->log.messages.isEmpty());
}

void TestMenuReader::lineEnds_data()
{
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<bool>("finalBreak");
    QTest::newRow("crlf") << QByteArray("\r\n") << true;
    QTest::newRow("lf alone") << QByteArray("\n") << true;
    QTest::newRow("crlf without last break") << QByteArray("\r\n") << false;
    QTest::newRow("lf without last break") << QByteArray("\n") << false;
}

void TestMenuReader::lineEnds()
{
    QFETCH(QByteArray, separator);
    QFETCH(bool, finalBreak);
    QList<QByteArray> lines = minimalHead();
    lines << "[LANGUAGES]" << "Primary=EN English" << "1=FR French" << "File=fr.mp3" << ""
          << "[PAGE=1]\t\t;One" << "\tVideoLoop=maybe" << "\t[SELECTION=1]\t\t;S" << "\t\tAction=2";
    QByteArray bytes = lines.join(separator);
    if (finalBreak)
        bytes += separator;
    const auto l = load(bytes);
    QCOMPARE(l->project.movieData.languages.size(), size_t(2));
    QCOMPARE(l->project.movieData.languages[1]->files, QStringLiteral("fr.mp3"));
    QCOMPARE(l->project.pages.size(), size_t(1));
    QCOMPARE(l->project.pages[0]->selections.size(), size_t(1));
    QCOMPARE(describeActions(*l->project.pages[0]->selections[0]), QStringLiteral("2:"));
    QCOMPARE(l->log.texts(), QStringList{"Syntax error on line 17 <VideoLoop=maybe>"});
}

void TestMenuReader::requiredKeys_data()
{
    QTest::addColumn<QByteArray>("removed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("title");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("aviName");
    QTest::newRow("title") << QByteArray("Title=Film") << "The key [MAIN]->Title is missing. Leaving..."
                           << int(FieldState::Missing) << int(FieldState::NotRead) << int(FieldState::NotRead);
    QTest::newRow("id") << QByteArray("ID=F1") << "The key [MAIN]->ID is missing. Leaving..."
                        << int(FieldState::Found) << int(FieldState::Missing) << int(FieldState::NotRead);
    QTest::newRow("directory") << QByteArray("Directory=.") << "The key [MOVIE]->Directory is missing. Leaving..."
                               << int(FieldState::Found) << int(FieldState::Found) << int(FieldState::NotRead);
    QTest::newRow("avi name") << QByteArray("AVIName=film.avi") << "The key [MOVIE]->AVIName is missing. Leaving..."
                              << int(FieldState::Found) << int(FieldState::Found) << int(FieldState::Missing);
}

void TestMenuReader::requiredKeys()
{
    QFETCH(QByteArray, removed);
    QFETCH(QString, message);
    QList<QByteArray> lines = minimalHead();
    lines.removeAll(removed);
    lines << "[PAGE=1]\t\t;One";
    const auto l = load(crlf(lines));
    QCOMPARE(l->log.texts(), QStringList{message});
    QCOMPARE(l->log.messages[0].caption, kCaptionError);
    QCOMPARE(l->log.messages[0].icon, MessageIcon::Error);
    QVERIFY(!l->report.headComplete);
    QVERIFY(l->project.pages.empty());
    QTEST(int(l->report.title), "title");
    QTEST(int(l->report.id), "id");
    QTEST(int(l->report.aviName), "aviName");
    QCOMPARE(l->project.documentName, QStringLiteral("/tmp/menus/test.ini"));
    QCOMPARE(l->project.baseDirectory, QStringLiteral("/tmp/menus/"));
}

void TestMenuReader::entryLists()
{
    const auto l = load(crlf(minimalHead() + QList<QByteArray>{
                                                 "[CHAPTERS]", "1=0 Opening", "2=1500 The  middle", "4=3000 Lost",
                                                 "[SPECIALS]", "CD=2", "1=making.avi The making of", "2=trailer.avi Trailer",
                                                 "3=", "4=never.avi Never"}));
    const MovieData& md = l->project.movieData;
    QCOMPARE(md.chapters.size(), size_t(2));
    QCOMPARE(md.chapters[1]->number, QStringLiteral("2"));
    QCOMPARE(md.chapters[1]->firstFrame, QStringLiteral("1500"));
    QCOMPARE(md.chapters[1]->name, QStringLiteral(" middle").prepend("The "));
    QCOMPARE(md.specialsCD, QStringLiteral("2"));
    QCOMPARE(md.specials.size(), size_t(2));
    QCOMPARE(md.specials[0]->file, QStringLiteral("making.avi"));
    QCOMPARE(md.specials[0]->title, QStringLiteral("The making of"));
    QVERIFY(l->log.messages.isEmpty());
}

void TestMenuReader::languagesAndFiles()
{
    const auto l = load(crlf(minimalHead() + QList<QByteArray>{"[LANGUAGES]", "Directory=audio", "MultipleAudioAVI=1",
                                                               "Primary=EN English", "1=FR French", "File=fr1.mp3 fr2.mp3",
                                                               "2=DE German", "File=de.mp3", "File=extra.mp3", ""}));
    const MovieData& md = l->project.movieData;
    QVERIFY(md.multipleAudioAVI);
    QCOMPARE(md.languages.size(), size_t(3));
    QCOMPARE(md.languages[0]->number, QStringLiteral("0"));
    QCOMPARE(md.languages[0]->shortName, QStringLiteral("EN"));
    QVERIFY(md.languages[0]->files.isEmpty());
    QCOMPARE(md.languages[1]->files, QStringLiteral("fr1.mp3 fr2.mp3"));
    QCOMPARE(md.languages[2]->files, QStringLiteral("de.mp3"));
    QVERIFY(l->report.primaryLanguage);

    const auto bad = load(crlf(minimalHead() + QList<QByteArray>{"[LANGUAGES]", "Primary=English", "1=FR French"}));
    QCOMPARE(bad->log.texts(), QStringList{"Malformed primary language entry : <English>"});
    QCOMPARE(bad->project.movieData.languages.size(), size_t(1));
    QCOMPARE(bad->project.movieData.languages[0]->shortName, QStringLiteral("FR"));
    QVERIFY(!bad->report.primaryLanguage);
}

void TestMenuReader::subtitleOptions()
{
    const auto l = load(crlf(minimalHead() + QList<QByteArray>{
                                                 "[SUBTITLES]", "Format=9", "Directory=subs", "EstimateDisplayDuration=1",
                                                 "1=EN English", "File=en.srt", "Format=2", "Offset=-100", "2=FR French",
                                                 "File=fr.sub", "OpenBracket={", "CloseBracket=}", "LineSeparator=|",
                                                 "Multiplier=1.5", "format=7", ""}));
    const MovieData& md = l->project.movieData;
    QVERIFY(md.estimateDisplayDuration);
    QCOMPARE(md.subtitles.size(), size_t(2));
    const SubtitleTrack& en = *md.subtitles[0];
    QCOMPARE(en.file, QStringLiteral("en.srt"));
    QCOMPARE(en.format, QStringLiteral("2"));
    QCOMPARE(en.offset, QStringLiteral("-100"));
    const SubtitleTrack& fr = *md.subtitles[1];
    QCOMPARE(fr.format, QString());
    QCOMPARE(fr.openBracket, QStringLiteral("{"));
    QCOMPARE(fr.closeBracket, QStringLiteral("}"));
    QCOMPARE(fr.lineSeparator, QStringLiteral("|"));
    QCOMPARE(fr.multiplier, QStringLiteral("1.5"));
}

void TestMenuReader::messagesKeepTheirOrder()
{
    const auto l = load(crlf(minimalHead() + QList<QByteArray>{
                                                 "[CHAPTERS]", "1=0 Start", "2=120", "3=200 Never", "[SPECIALS]",
                                                 "1=nospace", "[LANGUAGES]", "1=FRFrench", "[SUBTITLES]", "1=EN",
                                                 "[PAGE=1]\t\t;P", "\tVideoLoop=2"}));
    QCOMPARE(l->log.texts(), (QStringList{"Malformed chapter entry : <120>, Leaving chapters parsing",
                                          "Malformed special entry : <nospace>, Leaving specials parsing",
                                          "Malformed language entry : <FRFrench>, Leaving languages parsing",
                                          "Malformed subtitles entry : <EN>, Leaving subtitles parsing",
                                          "Syntax error on line 22 <VideoLoop=2>"}));
    QCOMPARE(l->project.movieData.chapters.size(), size_t(1));
    QCOMPARE(l->project.pages.size(), size_t(1));
}

void TestMenuReader::menuSectionAfterPages()
{
    const auto l = loadMenu({"[PAGE=1]\t\t;One", "\tBackgroundMode=1", "[MENU]", "Directory=menu", "StartPage=1",
                             "MenuPage=1", "[PAGE=2]\t\t;After the menu section"});
    QCOMPARE(l->project.movieData.menuDirectory, QStringLiteral("menu"));
    QCOMPARE(l->project.movieData.startPage, QStringLiteral("1"));
    QCOMPARE(l->project.pages.size(), size_t(1));
}

void TestMenuReader::pageHookCanEndTheLoad()
{
    QStringList calls;
    LoadHooks hooks;
    hooks.beforePages = [&](MenuProject& p) { calls << "video:" + p.movieData.menuAVIName; };
    hooks.pageRead = [&](Page& p) {
        calls << QString::number(p.number);
        if (p.number == 2)
            throw std::runtime_error("Not a JPEG file: starts with 0x00 0x00");
    };
    const auto l = load(crlf(minimalHead() + QList<QByteArray>{"[MENU]", "Directory=m", "AVIName=menu.avi", "",
                                                               "[PAGE=1]", "[PAGE=2]", "[PAGE=3]"}),
                        hooks);
    QCOMPARE(calls, (QStringList{"video:menu.avi", "1", "2"}));
    QCOMPARE(l->project.pages.size(), size_t(1));
    QCOMPARE(l->log.texts(), QStringList{"Not a JPEG file: starts with 0x00 0x00"});
}

void TestMenuReader::manyPagesAndJunk_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<int>("pages");
    QByteArray many;
    for (int i = 1; i <= 100000; ++i)
        many += "[PAGE=" + QByteArray::number(i) + "]\r\n[SELECTION=1]\r\n";
    QTest::newRow("100000 pages") << many << 100000;
    QByteArray junk;
    quint32 x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        junk.append(char(x >> 24));
    }
    QTest::newRow("binary junk") << junk << -1;
    QTest::newRow("huge line") << ("[PAGE=1]\r\n\tPictureFile=" + QByteArray(4 << 20, 'a') + "\r\n") << 1;
    static const char withNul[] = "[PAGE=1]\0\r\n\tBackgroundMode=1\0\r\n[PAGE=2]\r\n";
    QTest::newRow("nul bytes") << QByteArray(withNul, sizeof(withNul) - 1) << 2;
    QTest::newRow("unterminated header") << QByteArray("[PAGE=7\r\n[SELECTION\r\n") << 1;
}

void TestMenuReader::manyPagesAndJunk()
{
    QFETCH(QByteArray, menu);
    QFETCH(int, pages);
    const auto l = load(crlf(minimalHead()) + menu);
    if (pages >= 0)
        QCOMPARE(int(l->project.pages.size()), pages);
}

void TestMenuReader::unreadableFile()
{
    MenuProject project;
    MessageLog log;
    const LoadReport r = LoadProject(QStringLiteral("/nonexistent/folder/menu.ini"), project, log.sink());
    QVERIFY(!r.fileReadable);
    QCOMPARE(log.texts(), QStringList{"The key [MAIN]->Title is missing. Leaving..."});
    QVERIFY_THROWS_EXCEPTION(VRPLFileException,
                             VRPLIniFileReader(QStringLiteral("/nonexistent/x.ini"), TextEncoding::Utf8, {}));
}

// A file is a menu when its text has a [MAIN] section or a page block, in any letter case; a file that
// is not text never is, whatever its bytes hold further on. Read from the disk, as Open reads it, so a
// menu longer than the first bytes looked at is read to its end.
void TestMenuReader::whatIsTakenForAMenu_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("menu");
    QTest::addColumn<int>("pages");
    QByteArray many;
    for (int n = 1; n <= 300; ++n)
        many += "[PAGE=" + QByteArray::number(n) + "]\t\t;P\r\n\tBackgroundMode=1\r\n\r\n";
    QTest::newRow("a long menu") << crlf(minimalHead()) + many << true << 300;
    QTest::newRow("the head alone") << crlf(minimalHead()) << true << 0;
    QTest::newRow("a [main] without a title") << QByteArray("[main]\r\nID=1\r\n") << true << 0;
    QTest::newRow("pages without a head") << QByteArray("[Page=1]\r\n") << true << 0;
    QTest::newRow("another program's settings") << QByteArray("[General]\r\nTitle=Film\r\n[MAINS]\r\n") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("an AVI holding a menu") << QByteArray("RIFF\0\0\0\0AVI ", 12) + crlf(minimalHead()) + many
                                           << false << 0;
}

void TestMenuReader::whatIsTakenForAMenu()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, menu);
    QFETCH(int, pages);
    QTemporaryDir dir;
    QFile f(dir.filePath("file.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    f.close();
    MenuProject project;
    const LoadReport r = LoadProject(f.fileName(), project, {});
    QCOMPARE(r.menuFile, menu);
    if (menu)
        QCOMPARE(int(project.pages.size()), pages);
}

void TestMenuReader::byteOrderMarkDoesNotHideTheFirstSection()
{
    const auto l = load("\xEF\xBB\xBF" + crlf(QList<QByteArray>{"[MAIN]", "Title=Caf\xc3\xa9", "ID=F1", "[MOVIE]",
                                                                "Directory=.", "AVIName=a.avi"}));
    QVERIFY(l->log.messages.isEmpty());
    QCOMPARE(l->project.movieData.title, QStringLiteral("Caf\u00e9"));
    QVERIFY(l->project.byteOrderMark);
    QCOMPARE(l->project.encoding, TextEncoding::Utf8);
}

// The demo a newcomer opens first: no message, every page and selection read, the menu video and
// every picture where the file says, every rectangle on the picture.
void TestMenuReader::demoMenuOpensCleanly()
{
    const QString path = QFINDTESTDATA("../examples/demo/demo.ini");
    QVERIFY(!path.isEmpty());
    MenuProject project;
    MessageLog log;
    const LoadReport report = LoadProject(path, project, log.sink());
    QCOMPARE(log.texts(), QStringList());
    QVERIFY(report.headComplete && report.pagesRead);
    QCOMPARE(project.pages.size(), size_t(8));
    QCOMPARE(project.selectionCount(), 28);

    const MovieData& md = project.movieData;
    const QDir menuDir(QFileInfo(path).dir().filePath(md.menuDirectory));
    QVERIFY(QFileInfo(menuDir.filePath(md.menuAVIName)).isFile());
    const QStringList size = md.menuSize.split(QLatin1Char(','));
    QCOMPARE(size.size(), 2);
    const QRect picture(0, 0, size[0].toInt(), size[1].toInt());
    QVERIFY(!picture.isEmpty());
    static const QRegularExpression areaPattern(QStringLiteral("^(\\d+),(\\d+)-(\\d+),(\\d+)$"));
    for (const auto& page : project.pages) {
        if (!page->backgroundIsVideo)
            QVERIFY2(QFileInfo(menuDir.filePath(page->pictureFile)).isFile(), qPrintable(page->pictureFile));
        for (const auto& sel : page->selections) {
            const QRegularExpressionMatch m = areaPattern.match(sel->area);
            QVERIFY2(m.hasMatch(), qPrintable(sel->area));
            const QRect area(QPoint(m.captured(1).toInt(), m.captured(2).toInt()),
                             QPoint(m.captured(3).toInt() - 1, m.captured(4).toInt() - 1));
            QVERIFY2(!area.isEmpty() && picture.contains(area), qPrintable(page->name + QLatin1Char('/') + sel->name));
        }
    }
}

QTEST_GUILESS_MAIN(TestMenuReader)
#include "test_menureader.moc"
