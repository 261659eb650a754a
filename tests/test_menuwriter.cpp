// Writing menu files: the exact layout, the save checks, atomic saving and byte-exact round trips.
#include <QtTest>

#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "documenttestutil.h"

class TestMenuWriter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fullLayout();
    void optionalLines_data();
    void optionalLines();
    void emptyProjectEndsAfterItsLastSection();
    void saveChecks_data();
    void saveChecks();
    void failedSaveLeavesTheOldFile_data();
    void failedSaveLeavesTheOldFile();
    void roundTrip_data();
    void roundTrip();
    void handWrittenFileIsNormalised();
    void relativeJumpsSurviveARoundTrip();
};

namespace {

std::unique_ptr<MenuProject> baseProject()
{
    auto p = std::make_unique<MenuProject>();
    p->movieData.title = QStringLiteral("Film");
    p->movieData.id = QStringLiteral("F1");
    p->movieData.movieDirectory = QStringLiteral(".");
    p->movieData.aviName = QStringLiteral("film.avi");
    return p;
}

QByteArray build(const MenuProject& p, MessageLog* log = nullptr)
{
    MessageLog local;
    MessageLog& l = log ? *log : local;
    return BuildMenuFile(p, l.sink()).value_or(QByteArray("<nothing>"));
}

Page& addPage(MenuProject& p, int number, const QString& name)
{
    p.pages.push_back(std::make_unique<Page>(number, name));
    return *p.pages.back();
}

Selection& addSelection(Page& page, const QString& name, const QString& area)
{
    return page.addSelection(std::make_unique<Selection>(name, area));
}

} // namespace

void TestMenuWriter::fullLayout()
{
    auto p = baseProject();
    MovieData& md = p->movieData;
    md.cdNumber = "1";
    md.delay = "2";
    md.avi2Name = "film2.avi";
    md.cd1Frames = "1000";
    md.cd2Frames = "900";
    md.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "Start"}));
    md.chapters.push_back(std::make_unique<Chapter>(Chapter{"2", "500", "The end"}));
    md.specialsCD = "2";
    md.specials.push_back(std::make_unique<SpecialFeature>(SpecialFeature{"1", "Making of", "making.avi"}));
    md.languageDirectory = "audio";
    md.multipleAudioAVI = true;
    md.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"0", "EN", "English", ""}));
    md.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"1", "FR", "French", "fr1.mp3 fr2.mp3"}));
    md.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"2", "DE", "German", ""}));
    md.subtitlesDirectory = "subs";
    md.lines = "2";
    md.estimateDisplayDuration = true;
    SubtitleTrack t;
    t.shortName = "EN";
    t.fullName = "English";
    t.file = "en.srt";
    t.format = "2";
    t.multiplier = "1.5";
    md.subtitles.push_back(std::make_unique<SubtitleTrack>(t));
    md.menuDirectory = "menu";
    md.menuAVIName = "menu.avi";
    md.menuSize = "720,576";
    md.startPage = "7";
    md.menuPage = "7";
    md.specialsPage = "9";

    Page& video = addPage(*p, 7, "Main menu");
    video.backgroundIsVideo = true;
    video.videoLoop = true;
    video.firstFrame = 10;
    video.lastFrame = 99;
    video.actionAtEnd = std::make_unique<MenuAction>(ActRelativeJump, "+1");
    video.jumpAtEnd = 9;
    video.selectionAvailable = true;
    video.defaultSelection = 1;
    video.prohibitSelectionBefore = 12;
    video.columnOrdering = true;
    Selection& s1 = addSelection(video, "Play", "10,20-110,70");
    s1.addAction(ActPlayMovie, "");
    s1.addAction(ActPlayFromChapter, "4");
    s1.addAction(ActChangeLanguage, "1");
    addSelection(video, "Nothing", "0,0-5,5");
    Page& still = addPage(*p, 9, "Extras");
    still.pictureFile = "extras.jpg";
    still.pictureDuration = 30;
    still.videoLoop = true;  // never written for a still picture
    still.jumpAtEnd = 3;     // likewise
    still.defaultSelection = 1;
    Selection& s2 = addSelection(still, "Back", "1,2-3,4");
    s2.addAction(ActRelativeJump, "-1");

    const QByteArray expected = crlf({"[Vireo Ini File]", "", "[MAIN]", "Title=Film", "ID=F1", "CDNumber=1", "Delay=2",
                                      "", "[MOVIE]", "Directory=.", "AVIName=film.avi", "AVI2Name=film2.avi",
                                      "CD1Frames=1000", "CD2Frames=900", "", "[CHAPTERS]", "1=0 Start", "2=500 The end",
                                      "", "[SPECIALS]", "CD=2", "1=making.avi Making of", "", "[LANGUAGES]",
                                      "Directory=audio", "MultipleAudioAVI=1", "Primary=EN English", "1=FR French",
                                      "File=fr1.mp3 fr2.mp3", "2=DE German", "File=", "", "[SUBTITLES]",
                                      "Directory=subs", "Lines=2", "EstimateDisplayDuration=1", "1=EN English",
                                      "File=en.srt", "Format=2", "Multiplier=1.5", "", "[MENU]", "Directory=menu",
                                      "AVIName=menu.avi", "Size=720,576", "StartPage=7", "MenuPage=7",
                                      "SpecialsPage=9", "", "[PAGE=7]\t\t;Main menu", "\tBackgroundMode=1",
                                      "\tVideoLoop=1", "\tVideoRange=10-99", "\tActionAtEnd=1#+1", "\tJumpAtEnd=9",
                                      "\tSelectionAvailable=1", "\tDefaultSelection=1",
                                      "\tProhibitSelectionBefore=12", "\tSelectionOrdering=2",
                                      "\t[SELECTION=1]\t\t;Play", "\t\tArea=10,20-110,70", "\t\tAction=2#3#6",
                                      "\t\tParameter=#4#1", "\t[SELECTION=2]\t\t;Nothing", "\t\tArea=0,0-5,5",
                                      "\t\tAction=", "\t\tParameter=", "", "[PAGE=9]\t\t;Extras", "\tBackgroundMode=2",
                                      "\tPictureFile=extras.jpg", "\tPictureDuration=30", "\tSelectionAvailable=0",
                                      "\t[SELECTION=1]\t\t;Back", "\t\tArea=1,2-3,4", "\t\tAction=1",
                                      "\t\tParameter=-1", ""});
    QCOMPARE(build(*p), expected);
}

void TestMenuWriter::optionalLines_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("present");

    QTest::newRow("no chapters section") << "" << QByteArray("[CHAPTERS]") << false;
    QTest::newRow("no languages section") << "" << QByteArray("[LANGUAGES]") << false;
    QTest::newRow("menu needs its directory") << "start+menu" << QByteArray("[MENU]") << false;
    QTest::newRow("menu section") << "menudir+start+menu" << QByteArray("[MENU]") << true;
    QTest::newRow("multiple audio off") << "language" << QByteArray("MultipleAudioAVI") << false;
    QTest::newRow("primary has no file line") << "language" << QByteArray("Primary=EN English\r\n[") << false;
    QTest::newRow("default beyond the selections") << "default3" << QByteArray("\tDefaultSelection=-1") << true;
    QTest::newRow("default below 1") << "default0" << QByteArray("\tDefaultSelection=-1") << true;
    QTest::newRow("no selection lines without availability")
        << "unavailable" << QByteArray("DefaultSelection") << false;
    QTest::newRow("selection blocks without availability")
        << "unavailable" << QByteArray("\t[SELECTION=2]\t\t;B") << true;
    QTest::newRow("no jump at end when 0") << "" << QByteArray("JumpAtEnd") << false;
    QTest::newRow("negative range") << "range" << QByteArray("\tVideoRange=-5--1") << true;
    QTest::newRow("header of page 7") << "" << QByteArray("[PAGE=7]\t\t;Main menu\r\n") << true;
}

void TestMenuWriter::optionalLines()
{
    QFETCH(QString, change);
    QFETCH(QByteArray, line);
    QFETCH(bool, present);
    auto p = baseProject();
    Page& page = addPage(*p, 7, "Main menu");
    page.backgroundIsVideo = true;
    page.selectionAvailable = true;
    addSelection(page, "A", "1,1-2,2");
    addSelection(page, "B", "3,3-4,4");
    const QStringList changes = change.split('+');
    if (changes.contains("start"))
        p->movieData.startPage = "1";
    if (changes.contains("menu"))
        p->movieData.menuPage = "1";
    if (changes.contains("menudir"))
        p->movieData.menuDirectory = "m";
    if (changes.contains("language"))
        p->movieData.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"0", "EN", "English", ""}));
    if (changes.contains("default3"))
        page.defaultSelection = 3;
    if (changes.contains("default0"))
        page.defaultSelection = 0;
    if (changes.contains("unavailable"))
        page.selectionAvailable = false;
    if (changes.contains("range")) {
        page.firstFrame = -5;
        page.lastFrame = -1;
    }
    QCOMPARE(build(*p).contains(line), present);
}

void TestMenuWriter::emptyProjectEndsAfterItsLastSection()
{
    const auto p = baseProject();
    QCOMPARE(build(*p), crlf({"[Vireo Ini File]", "", "[MAIN]", "Title=Film", "ID=F1", "", "[MOVIE]", "Directory=.",
                              "AVIName=film.avi", ""}));
    MenuProject empty; // title and identifier are not checked: written empty
    empty.movieData.aviName = "a.avi";
    QVERIFY(build(empty).startsWith(crlf({"[Vireo Ini File]", "", "[MAIN]", "Title=", "ID=", "", "[MOVIE]",
                                          "Directory=", "AVIName=a.avi"})));
}

void TestMenuWriter::saveChecks_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("no movie file") << "avi" << "You must have at least 1 video file in your movie.";
    QTest::newRow("no start page, no menu page") << "start+menu" << "You must set the menu 'start page'.";
    QTest::newRow("no menu page") << "menu" << "You must set the menu 'menu page'.";
    QTest::newRow("hash in a parameter")
        << "hash"
        << "Page 4 (Four), selection 1 (Ask): the parameter \"Yes#No\" of action 2 (Display a message box) holds "
           "\"#\", which separates the actions in a menu file. Nothing was saved.";
    // A signed jump reads back as a page counted from its own: only the next and previous page can
    // be written so.
    QTest::newRow("jump to a page below 1")
        << "signed"
        << "Page 4 (Four), selection 1 (Ask), action 2: the jump parameter \"-7\" begins with a sign, so the menu "
           "file would read it as a page counted from this one; only \"+1\" and \"-1\" (the next and previous "
           "page) can be written so. Give the page number without a sign. Nothing was saved.";
    QTest::newRow("relative jump of two pages")
        << "plus2"
        << "Page 4 (Four), selection 1 (Ask), action 2: the jump parameter \"+2\" begins with a sign, so the menu "
           "file would read it as a page counted from this one; only \"+1\" and \"-1\" (the next and previous "
           "page) can be written so. Give the page number without a sign. Nothing was saved.";
    QTest::newRow("signed jump at the end of a page")
        << "endjump"
        << "Page 4 (Four), action at end: the jump parameter \"+1 \" begins with a sign, so the menu file would "
           "read it as a page counted from this one; only \"+1\" and \"-1\" (the next and previous page) can be "
           "written so. Give the page number without a sign. Nothing was saved.";
    QTest::newRow("line break in the title")
        << "title" << "The value of Title holds a line break, which a menu file cannot store. Nothing was saved.";
    QTest::newRow("line break in a page name")
        << "pagename" << "The name of page 4 holds a line break, which a menu file cannot store. Nothing was saved.";
    QTest::newRow("line break in an area")
        << "area"
        << "The area of selection 1 (Ask) on page 4 (Four) holds a line break, which a menu file cannot store. "
           "Nothing was saved.";
    QTest::newRow("NUL in an area")
        << "nul" << "The area of selection 1 (Ask) on page 4 (Four) holds a NUL character, which a menu file cannot "
                    "store. Nothing was saved.";
    QTest::newRow("NUL after a letter outside ASCII")
        << "nultitle" << "The value of Title holds a NUL character, which a menu file cannot store. Nothing was saved.";
    QTest::newRow("a head value holding the page marker")
        << "marker"
        << "The value of AVI2Name holds the text \"[PAGE=\", which marks a part of the menu file: the file would "
           "not read back as it was saved. Nothing was saved.";
    QTest::newRow("character outside the code page")
        << "cjk"
        << "The chapter 1 holds the character \"\u4e2d\", which the file's encoding (Windows-1252) cannot store. "
           "Nothing was saved.";
}

void TestMenuWriter::saveChecks()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    auto p = baseProject();
    MovieData& md = p->movieData;
    md.menuDirectory = "menu";
    md.startPage = "4";
    md.menuPage = "4";
    Page& page = addPage(*p, 4, "Four");
    Selection& s = addSelection(page, "Ask", "1,2-3,4");
    s.addAction(ActPlayMovie, "");
    s.addAction(ActMessageBox, "Yes or no");
    const QStringList faults = fault.split('+');
    if (faults.contains("avi"))
        md.aviName.clear();
    if (faults.contains("start"))
        md.startPage.clear();
    if (faults.contains("menu"))
        md.menuPage.clear();
    if (faults.contains("hash"))
        s.actions[1]->parameter = "Yes#No";
    if (faults.contains("signed"))
        *s.actions[1] = MenuAction(ActJumpToPage, "-7");
    if (faults.contains("plus2"))
        *s.actions[1] = MenuAction(ActRelativeJump, "+2");
    if (faults.contains("endjump")) {
        page.backgroundIsVideo = true;
        page.actionAtEnd = std::make_unique<MenuAction>(ActJumpToPage, "+1 ");
    }
    if (faults.contains("title"))
        md.title = "Two\nlines";
    if (faults.contains("pagename"))
        page.name = "Four\r";
    if (faults.contains("area"))
        s.area = "1,2\n-3,4";
    if (faults.contains("nultitle"))
        md.title = QStringLiteral("Caf\u00e9") + QChar(u'\0') + QStringLiteral("x");
    if (faults.contains("nul"))
        s.area = QStringLiteral("1,2") + QChar(u'\0') + QStringLiteral("-3,4");
    if (faults.contains("marker"))
        md.avi2Name = "cd2.[page=x].avi";
    if (faults.contains("cjk"))
        md.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", QStringLiteral("Chapter \u4e2d")}));
    MessageLog log;
    QVERIFY(!BuildMenuFile(*p, log.sink()));
    QCOMPARE(log.texts(), QStringList{message});
    QCOMPARE(log.messages[0].caption, kAppTitle);
}

void TestMenuWriter::failedSaveLeavesTheOldFile_data()
{
    QTest::addColumn<bool>("checkFails");
    QTest::newRow("a check fails") << true;
    QTest::newRow("the file cannot be written") << false;
}

void TestMenuWriter::failedSaveLeavesTheOldFile()
{
    QFETCH(bool, checkFails);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("menu.ini");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old content\r\n");
    old.close();

    auto p = baseProject();
    if (checkFails)
        p->movieData.aviName.clear();
    MessageLog log;
    // A folder in the way of the temporary file makes the writing itself fail, even for root.
    const QString target = checkFails ? path : dir.filePath("sub");
    if (!checkFails)
        QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(!SaveProjectFile(*p, target, log.sink()));
    QCOMPARE(log.messages.size(), 1);
    if (!checkFails) {
        QVERIFY(log.messages[0].text.startsWith("Cannot write the file " + target + ": "));
        QCOMPARE(log.messages[0].caption, kCaptionError);
    }
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old content\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"menu.ini"}); // no temporary file left
}

void TestMenuWriter::roundTrip_data()
{
    QTest::addColumn<QByteArray>("file");

    QFile demo(QFINDTESTDATA("../examples/demo/demo.ini"));
    QVERIFY(demo.open(QIODevice::ReadOnly));
    QTest::newRow("demo menu") << demo.readAll();
    // The fuzzer's seed: a second CD, subtitle options and the other optional head lines.
    QFile seed(QFINDTESTDATA("../fuzz/seeds-fuzz_menu/demo.ini"));
    QVERIFY(seed.open(QIODevice::ReadOnly));
    QTest::newRow("two-disc example") << seed.readAll();

    // Every byte value but the two line ends and NUL (which no text file holds), inside names and
    // titles; the letters around them keep the trimming of blanks and control characters away.
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all.append(char(b));
    QTest::newRow("all byte values") << crlf({"[Vireo Ini File]", "", "[MAIN]", "Title=A" + all + "Z", "ID=F1", "",
                                              "[MOVIE]", "Directory=.", "AVIName=film.avi", "", "[CHAPTERS]",
                                              "1=0 A" + all + "Z", "", "[PAGE=1]\t\t;A" + all + "Z",
                                              "\tBackgroundMode=2", "\tPictureFile=A" + all + "Z",
                                              "\tPictureDuration=0", "\tSelectionAvailable=0",
                                              "\t[SELECTION=1]\t\t;A" + all + "Z", "\t\tArea=A" + all + "Z",
                                              "\t\tAction=4", "\t\tParameter=A" + all.replace('#', "") + "Z", ""});
    // Clicks taken only between two frames: both limits come back, each in its own line.
    QTest::newRow("prohibit selection before and after")
        << crlf(minimalHead() + QList<QByteArray>{"[PAGE=2]\t\t;Window", "\tBackgroundMode=1", "\tVideoLoop=1",
                                                  "\tVideoRange=10-90", "\tSelectionAvailable=1",
                                                  "\tDefaultSelection=-1", "\tProhibitSelectionBefore=20",
                                                  "\tProhibitSelectionAfter=80", ""});
    QTest::newRow("utf-8 with byte order mark")
        << "\xEF\xBB\xBF" + crlf({"[MAIN]", "Title=Caf\xc3\xa9", "ID=F1", "", "[MOVIE]", "Directory=.",
                                   "AVIName=film.avi", ""})
               .replace("[MAIN]", "[Vireo Ini File]\r\n\r\n[MAIN]");
    QTest::newRow("utf-8") << crlf({"[Vireo Ini File]", "", "[MAIN]", "Title=Am\xc3\xa9lie \xe4\xb8\xad", "ID=F1", "",
                                    "[MOVIE]", "Directory=vid\xc3\xa9o\\cd1", "AVIName=film.avi", "",
                                    "[PAGE=1]\t\t;Men\xc3\xbc", "\tBackgroundMode=1", "\tVideoLoop=0",
                                    "\tVideoRange=0-0", "\tSelectionAvailable=0", ""});
}

void TestMenuWriter::roundTrip()
{
    QFETCH(QByteArray, file);
    MenuProject project;
    MessageLog log;
    LoadProjectFromBytes(file, "/tmp/x.ini", project, log.sink());
    QCOMPARE(log.texts(), QStringList());
    const QByteArray written = build(project);
    QCOMPARE(written, file);
}

void TestMenuWriter::handWrittenFileIsNormalised()
{
    const QByteArray input = "[main]\n title = Film  \nid=F1\nDelay=\n[movie]\nAVIName=a.avi\nDirectory=v\n"
                             "[page=3] ;  Start  \nSelectionAvailable=1\nDefaultSelection=2\nBackgroundMode=1\n"
                             "VideoRange=5-9\n  [selection=9];  \n Area=1,1-2,2\n Parameter=x\nAction=3#2\n"
                             "Parameter=2#\n[Selection=4]\n";
    MenuProject project;
    MessageLog log;
    LoadProjectFromBytes(input, "/tmp/x.ini", project, log.sink());
    QCOMPARE(build(project),
             crlf({"[Vireo Ini File]", "", "[MAIN]", "Title=Film", "ID=F1", "", "[MOVIE]", "Directory=v",
                   "AVIName=a.avi", "", "[PAGE=3]\t\t;Start", "\tBackgroundMode=1", "\tVideoLoop=0",
                   "\tVideoRange=5-9", "\tSelectionAvailable=1", "\tDefaultSelection=2",
                   "\t[SELECTION=1]\t\t;Untitled", "\t\tArea=1,1-2,2", "\t\tAction=3#2", "\t\tParameter=2#",
                   "\t[SELECTION=2]\t\t;Untitled", "\t\tArea=", "\t\tAction=", "\t\tParameter=", ""}));
}

void TestMenuWriter::relativeJumpsSurviveARoundTrip()
{
    auto p = baseProject();
    Page& page = addPage(*p, 10, "Ten");
    page.backgroundIsVideo = true;
    page.actionAtEnd = std::make_unique<MenuAction>(ActRelativeJump, "-1");
    addSelection(page, "Next", "0,0-1,1").addAction(ActRelativeJump, "+1");
    const QByteArray bytes = build(*p);
    QVERIFY(bytes.contains("\tActionAtEnd=1#-1\r\n"));
    QVERIFY(bytes.contains("\t\tAction=1\r\n\t\tParameter=+1\r\n"));
    MenuProject back;
    LoadProjectFromBytes(bytes, "/tmp/x.ini", back, {});
    QCOMPARE(describeActions(*back.pages[0]->selections[0]), QStringLiteral("9:+1"));
    // An action at end is read as it stands: a jump with a signed parameter.
    QCOMPARE(back.pages[0]->actionAtEnd->type, int(ActJumpToPage));
    QCOMPARE(back.pages[0]->actionAtEnd->parameter, QStringLiteral("-1"));
}

QTEST_GUILESS_MAIN(TestMenuWriter)
#include "test_menuwriter.moc"
