// The player model follows the player's rules, and walkthroughs record, replay and notice changes.
#include <QTemporaryDir>
#include <QtTest>

#include "check/menucheck.h"
#include "clitestutil.h"
#include "randommenu.h"
#include "savefailtestutil.h"
#include "document/actiontypes.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "player/explore.h"
#include "player/walkrecorder.h"
#include "player/walkreplay.h"

namespace {

Page& addPage(MenuProject& p, int number, const QString& name = {})
{
    p.pages.push_back(std::make_unique<Page>(number, name.isEmpty() ? QStringLiteral("Page %1").arg(number) : name));
    return *p.pages.back();
}

Page& videoPage(MenuProject& p, int number, int first, int last, bool loop)
{
    Page& page = addPage(p, number);
    page.backgroundIsVideo = true;
    page.firstFrame = first;
    page.lastFrame = last;
    page.videoLoop = loop;
    return page;
}

Selection& addSelection(Page& page, const QString& name, const QString& area)
{
    page.selectionAvailable = true;
    return page.addSelection(std::make_unique<Selection>(name, area));
}

int pageNumber(const PlayerModel& m)
{
    return m.page() ? m.page()->number : -1;
}

QString highlightName(const PlayerModel& m)
{
    return m.highlight() < 0 ? QStringLiteral("-") : m.page()->selections[size_t(m.highlight())]->name;
}

PlayerKey keyNamed(const QString& name)
{
    static const QMap<QString, PlayerKey> keys{{"Left", PlayerKey::Left},
                                               {"Right", PlayerKey::Right},
                                               {"Up", PlayerKey::Up},
                                               {"Down", PlayerKey::Down},
                                               {"Enter", PlayerKey::Enter}};
    return keys.value(name);
}

// The menu of the walkthrough tests: an intro that jumps to the main menu at its end, a main menu with a
// chapter list page and a message, and a chapters page on a still picture.
void buildWalkMenu(MenuProject& p)
{
    p.movieData.title = "Film";
    p.movieData.id = "F1";
    p.movieData.movieDirectory = "video";
    p.movieData.aviName = "cd1.avi";
    p.movieData.avi2Name = "cd2.avi";
    p.movieData.cd1Frames = "1000";
    p.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "Opening"}));
    p.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"2", "1500", "Second disc"}));
    p.movieData.menuDirectory = "menu";
    p.movieData.startPage = "1";
    p.movieData.menuPage = "2";
    Page& intro = videoPage(p, 1, 0, 49, false);
    intro.jumpAtEnd = 2;
    Page& main = videoPage(p, 2, 50, 99, true);
    main.defaultSelection = 1;
    addSelection(main, "Play", "100,400-260,440").addAction(ActPlayMovie, "");
    addSelection(main, "Chapters", "280,400-440,440").addAction(ActJumpToPage, "3");
    Selection& about = addSelection(main, "About", "460,400-620,440");
    about.addAction(ActMessageBox, "20 Made by|the demo team");
    about.addAction(ActChangeLanguage, "1");
    Page& chapters = addPage(p, 3, "Chapters");
    chapters.pictureFile = "chapters.jpg";
    addSelection(chapters, "Chapter 2", "40,100-200,220").addAction(ActPlayFromChapter, "2");
    addSelection(chapters, "Back", "40,300-200,340").addAction(ActRelativeJump, "-1");
    // Unnamed blocks all read as "Untitled": a walkthrough tells them apart by their order.
    addSelection(chapters, "Untitled", "300,100-400,150").addAction(ActChangeSubtitle, "1");
    addSelection(chapters, "Untitled", "300,300-400,350").addAction(ActChangeSubtitle, "2");
}


} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT

private slots:
    void pageEnd_data();
    void pageEnd();
    void prohibitWindow_data();
    void prohibitWindow();
    void transitionSkip_data();
    void transitionSkip();
    void relativeJumpsFollowTheList_data();
    void relativeJumpsFollowTheList();
    void actionListStopsAtJumpOrLeaving_data();
    void actionListStopsAtJumpOrLeaving();
    void messageWaitsForOk();
    void leavingAndMenuButton();
    void chapterFindsItsCd_data();
    void chapterFindsItsCd();
    void ordering_data();
    void ordering();
    void defaultSelection();
    void messageText_data();
    void messageText();
    void checkAgreesWithPlaying();

    void recordSaveReplay();
    void renumberedPageFailsNamingTheStep();
    void walkFileErrors_data();
    void walkFileErrors();
    void cliExitCodes();
    void demoWalkthroughHolds();
};

// --- page ends ----------------------------------------------------------------------------------------

void TestPlayer::pageEnd_data()
{
    QTest::addColumn<bool>("video");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("jumpAtEnd");
    QTest::addColumn<int>("endActionJump"); // 0: no end action
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("frame");
    QTest::addColumn<bool>("ended");

    // Video range 10-14 on page 1; pages 2 and 3 exist.
    QTest::newRow("last frame reached, not yet past") << true << false << 0 << 2 << 0 << 4 << 0 << 1 << 14 << false;
    QTest::newRow("jump at end") << true << false << 0 << 2 << 0 << 5 << 0 << 2 << 100 << false;
    QTest::newRow("end action before jump") << true << false << 0 << 2 << 3 << 5 << 0 << 3 << 200 << false;
    QTest::newRow("stop on last frame") << true << false << 0 << 0 << 0 << 50 << 0 << 1 << 14 << true;
    QTest::newRow("loop") << true << true << 0 << 2 << 3 << 7 << 0 << 1 << 12 << false;
    QTest::newRow("loop, many rounds") << true << true << 0 << 2 << 3 << 23 << 0 << 1 << 13 << false;
    QTest::newRow("loop, time at 25 fps") << true << true << 0 << 2 << 0 << 0 << 280 << 1 << 12 << false;
    QTest::newRow("time runs into the end") << true << false << 0 << 2 << 0 << 0 << 1000 << 2 << 100 << false;
    QTest::newRow("still, before its duration") << false << false << 2 << 2 << 0 << 0 << 1999 << 1 << 0 << false;
    QTest::newRow("still, duration over") << false << false << 2 << 2 << 0 << 0 << 2000 << 2 << 100 << false;
    QTest::newRow("still, duration then end action") << false << false << 2 << 2 << 3 << 0 << 2500 << 3 << 200 << false;
    QTest::newRow("still without duration stays") << false << false << 0 << 2 << 0 << 0 << 3600000 << 1 << 0 << false;
    QTest::newRow("frames do not move a still") << false << false << 1 << 2 << 0 << 100 << 0 << 1 << 0 << false;
}

void TestPlayer::pageEnd()
{
    QFETCH(bool, video);
    QFETCH(bool, loop);
    QFETCH(int, duration);
    QFETCH(int, jumpAtEnd);
    QFETCH(int, endActionJump);
    QFETCH(int, frames);
    QFETCH(int, ms);
    MenuProject p;
    Page& first = video ? videoPage(p, 1, 10, 14, loop) : addPage(p, 1);
    first.pictureDuration = duration;
    first.jumpAtEnd = jumpAtEnd;
    if (endActionJump)
        first.actionAtEnd = std::make_unique<MenuAction>(ActJumpToPage, QString::number(endActionJump));
    videoPage(p, 2, 100, 199, true);
    videoPage(p, 3, 200, 299, true);

    PlayerModel m(p);
    QVERIFY(m.start(0));
    m.advanceFrames(frames);
    m.advanceTime(ms);
    QTEST(pageNumber(m), "page");
    QTEST(int(m.frame()), "frame");
    QTEST(m.pageEnded(), "ended");
}

void TestPlayer::prohibitWindow_data()
{
    QTest::addColumn<bool>("video");
    QTest::addColumn<int>("frame");
    QTest::addColumn<bool>("chosen");

    // Selections may be chosen from frame 20 on and not after frame 60.
    QTest::newRow("before the window") << true << 19 << false;
    QTest::newRow("first frame of the window") << true << 20 << true;
    QTest::newRow("last frame of the window") << true << 60 << true;
    QTest::newRow("after the window") << true << 61 << false;
    QTest::newRow("still pages have no window") << false << 0 << true;
}

void TestPlayer::prohibitWindow()
{
    QFETCH(bool, video);
    QFETCH(int, frame);
    MenuProject p;
    Page& page = video ? videoPage(p, 1, 0, 99, true) : addPage(p, 1);
    page.prohibitSelectionBefore = 20;
    page.prohibitSelectionAfter = 60;
    addSelection(page, "Go", "0,0-100,100").addAction(ActJumpToPage, "2");
    addPage(p, 2);

    PlayerModel m(p);
    m.start(0);
    m.advanceFrames(frame);
    const bool chosen = m.click(QPoint(50, 50)) == PlayerModel::ClickResult::Chosen;
    QTEST(chosen, "chosen");
    QCOMPARE(pageNumber(m), chosen ? 2 : 1);
}

void TestPlayer::transitionSkip_data()
{
    QTest::addColumn<bool>("selectionAvailable");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<int>("jumpAtEnd");
    QTest::addColumn<int>("page");

    QTest::newRow("transition: skipped to its jump") << false << false << 2 << 2;
    QTest::newRow("with selections: not a transition") << true << false << 2 << 1;
    QTest::newRow("looping: not a transition") << false << true << 2 << 1;
    QTest::newRow("no jump at end: not a transition") << false << false << 0 << 1;
}

void TestPlayer::transitionSkip()
{
    QFETCH(bool, selectionAvailable);
    QFETCH(bool, loop);
    QFETCH(int, jumpAtEnd);
    MenuProject p;
    Page& page = videoPage(p, 1, 0, 99, loop);
    page.selectionAvailable = selectionAvailable;
    page.jumpAtEnd = jumpAtEnd;
    addPage(p, 2);

    PlayerModel m(p);
    m.start(0);
    m.click(QPoint(5, 5)); // not on any selection
    QTEST(pageNumber(m), "page");
    // Enter on the remote does what the click does.
    m.start(0);
    m.key(PlayerKey::Enter);
    QTEST(pageNumber(m), "page");
}

void TestPlayer::relativeJumpsFollowTheList_data()
{
    QTest::addColumn<int>("from"); // list position
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("notice");

    // The list holds pages 10, 5, 7 in this order: a relative jump follows the list, not the numbers.
    QTest::newRow("next of the first") << 0 << "+1" << 5 << false;
    QTest::newRow("next of the middle") << 1 << "+1" << 7 << false;
    QTest::newRow("previous of the last") << 2 << "-1" << 5 << false;
    QTest::newRow("previous of the first stays") << 0 << "-1" << 10 << true;
    QTest::newRow("next of the last stays") << 2 << "+1" << 7 << true;
}

void TestPlayer::relativeJumpsFollowTheList()
{
    QFETCH(int, from);
    QFETCH(QString, parameter);
    MenuProject p;
    for (int number : {10, 5, 7})
        addSelection(addPage(p, number), "Go", "0,0-10,10").addAction(ActRelativeJump, parameter);

    PlayerModel m(p);
    m.start(from);
    QCOMPARE(m.click(QPoint(1, 1)), PlayerModel::ClickResult::Chosen);
    QTEST(pageNumber(m), "page");
    QTEST(!m.notice().isEmpty(), "notice");
}

void TestPlayer::actionListStopsAtJumpOrLeaving_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("outside");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("subtitle");

    QTest::newRow("changes, then a jump; nothing after it")
        << QList<int>{ActChangeLanguage, ActJumpToPage, ActChangeSubtitle} << QStringList{"2", "2", "3"} << 2 << false << 2
        << 0;
    QTest::newRow("leaving the menu; nothing after it")
        << QList<int>{ActChangeSubtitle, ActPlayMovie, ActChangeLanguage, ActJumpToPage} << QStringList{"1", "", "1", "2"}
        << 1 << true << 0 << 1;
    QTest::newRow("a jump to a missing page ends the list too")
        << QList<int>{ActJumpToPage, ActChangeLanguage} << QStringList{"44", "1"} << 1 << false << 0 << 0;
}

void TestPlayer::actionListStopsAtJumpOrLeaving()
{
    QFETCH(QList<int>, types);
    QFETCH(QStringList, parameters);
    MenuProject p;
    Selection& s = addSelection(addPage(p, 1), "Go", "0,0-10,10");
    for (qsizetype i = 0; i < types.size(); ++i)
        s.addAction(types[i], parameters[i]);
    addPage(p, 2);

    PlayerModel m(p);
    m.start(0);
    m.click(QPoint(5, 5));
    QTEST(pageNumber(m), "page");
    QTEST(m.outsideMenu(), "outside");
    QTEST(m.audioLanguage(), "language");
    QTEST(m.subtitle(), "subtitle");
}

void TestPlayer::messageWaitsForOk()
{
    MenuProject p;
    Page& page = videoPage(p, 1, 0, 9, false);
    page.jumpAtEnd = 2;
    Selection& s = addSelection(page, "Info", "0,0-10,10");
    s.addAction(ActMessageBox, "Hello");
    s.addAction(ActJumpToPage, "2");
    addPage(p, 2);

    PlayerModel m(p);
    m.start(0);
    m.click(QPoint(5, 5));
    QVERIFY(m.messageShown());
    // The menu waits behind the message: neither time nor the page's end moves it.
    m.advanceFrames(100);
    QCOMPARE(pageNumber(m), 1);
    QCOMPARE(m.frame(), 0);
    // OK runs the rest of the list.
    QCOMPARE(m.click(QPoint(500, 500)), PlayerModel::ClickResult::MessageClosed);
    QVERIFY(!m.messageShown());
    QCOMPARE(pageNumber(m), 2);
}

void TestPlayer::leavingAndMenuButton()
{
    MenuProject p;
    buildWalkMenu(p);
    PlayerModel m(p);
    m.start(2); // the chapters page
    QCOMPARE(m.click(QPoint(100, 150)), PlayerModel::ClickResult::Chosen);
    QVERIFY(m.outsideMenu());
    // Chapter frames count over both CDs: frame 1500 is frame 500 of the second file.
    QCOMPARE(m.movieStart().file, QStringLiteral("video\\cd2.avi"));
    QCOMPARE(m.movieStart().cd, 2);
    QCOMPARE(m.movieStart().frame, qint64(500));
    QCOMPARE(m.movieStart().description,
             QStringLiteral("Play from chapter 2 \"Second disc\": video\\cd2.avi (CD 2) from frame 500"));
    QVERIFY(m.menuButton());
    QVERIFY(!m.outsideMenu());
    QCOMPARE(pageNumber(m), 2); // MenuPage
}

void TestPlayer::chapterFindsItsCd_data()
{
    QTest::addColumn<QString>("cd1Frames");
    QTest::addColumn<QString>("cd2Frames");
    QTest::addColumn<QString>("chapterFrame");
    QTest::addColumn<QString>("start"); // file and frame within it

    QTest::newRow("last frame of CD 1") << "1000" << "500" << "999" << "cd1.avi 999";
    QTest::newRow("first frame of CD 2") << "1000" << "500" << "1000" << "cd2.avi 0";
    QTest::newRow("last frame of CD 2") << "1000" << "500" << "1499" << "cd2.avi 499";
    QTest::newRow("first frame of CD 3") << "1000" << "500" << "1500" << "cd3.avi 0";
    QTest::newRow("CD 2's length unknown: the rest is on CD 2") << "1000" << "" << "5000" << "cd2.avi 4000";
    QTest::newRow("no lengths: all on CD 1") << "" << "500" << "5000" << "cd1.avi 5000";
}

void TestPlayer::chapterFindsItsCd()
{
    QFETCH(QString, cd1Frames);
    QFETCH(QString, cd2Frames);
    QFETCH(QString, chapterFrame);
    MenuProject p;
    MovieData& md = p.movieData;
    md.aviName = "cd1.avi";
    md.avi2Name = "cd2.avi";
    md.avi3Name = "cd3.avi";
    md.cd1Frames = cd1Frames;
    md.cd2Frames = cd2Frames;
    md.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", chapterFrame, "One"}));
    addSelection(addPage(p, 1), "Go", "0,0-10,10").addAction(ActPlayFromChapter, "1");
    PlayerModel m(p);
    m.start(0);
    m.click(QPoint(5, 5));
    QVERIFY(m.outsideMenu());
    QTEST(QStringLiteral("%1 %2").arg(m.movieStart().file).arg(m.movieStart().frame), "start");
    QCOMPARE(m.movieStart().cd, m.movieStart().file.mid(2, 1).toInt());
}

void TestPlayer::ordering_data()
{
    QTest::addColumn<QStringList>("areas"); // named A, B, C, ... in list order
    QTest::addColumn<bool>("columns");
    QTest::addColumn<QString>("table");    // lines separated by "|"
    QTest::addColumn<QStringList>("keys"); // from no highlight
    QTest::addColumn<QString>("highlight");

    // A 3 x 3 grid listed in a shuffled order, rows slightly uneven in height.
    // Names: A=(1,1) B=(0,2) C=(2,0) D=(0,0) E=(2,2) F=(1,0) G=(0,1) H=(2,1) I=(1,2) as (row, column).
    const QStringList grid{"110,105-190,150", "210,0-290,40",   "10,200-90,250",
                           "10,0-90,45",      "210,205-290,240", "10,100-90,140",
                           "110,5-190,40",    "110,200-190,245", "210,100-290,150"};
    QTest::newRow("grid, rows") << grid << false << "D G B|F A I|C H E" << QStringList{"Right", "Right", "Down", "Left"}
                                << "F";
    QTest::newRow("grid, columns") << grid << true << "D F C|G A H|B I E" << QStringList{"Right", "Right", "Down", "Down"}
                                   << "H";
    QTest::newRow("grid, edges hold") << grid << false << "D G B|F A I|C H E"
                                      << QStringList{"Up", "Left", "Up", "Left"} << "D";

    // Two columns of different lengths: left A, B, C at 0, 100, 200; right D, E between them at 50, 150.
    const QStringList columns{"0,0-100,40", "0,100-100,140", "0,200-100,240", "200,50-300,90", "200,150-300,190"};
    QTest::newRow("uneven columns, rows") << columns << false << "A|D|B|E|C" << QStringList{"Down", "Down", "Down"}
                                          << "B";
    QTest::newRow("uneven columns, columns") << columns << true << "A B C|D E"
                                             << QStringList{"Down", "Down", "Down", "Right"} << "E";
    // A's lines run from 0 to 100 along the other axis: a centre on that edge belongs to A's line, one
    // pixel beyond starts the next.
    QTest::newRow("centre on the row's bottom edge") << QStringList{"0,0-100,100", "200,50-300,150"} << false << "A B"
                                                     << QStringList{"Right", "Right"} << "B";
    QTest::newRow("centre just below the row") << QStringList{"0,0-100,100", "200,52-300,150"} << false << "A|B"
                                               << QStringList{"Down", "Down"} << "B";
    QTest::newRow("centre on the column's right edge") << QStringList{"0,0-100,100", "50,200-150,300"} << true << "A B"
                                                       << QStringList{"Down", "Down"} << "B";
    QTest::newRow("centre just right of the column") << QStringList{"0,0-100,100", "52,200-150,300"} << true << "A|B"
                                                     << QStringList{"Right", "Right"} << "B";
    QTest::newRow("uneven columns, back left keeps the place") << columns << true << "A B C|D E"
                                                               << QStringList{"Right", "Right", "Down", "Left"} << "B";
}

void TestPlayer::ordering()
{
    QFETCH(QStringList, areas);
    QFETCH(bool, columns);
    QFETCH(QStringList, keys);
    MenuProject p;
    Page& page = addPage(p, 1);
    page.columnOrdering = columns;
    for (qsizetype i = 0; i < areas.size(); ++i)
        addSelection(page, QString(QChar('A' + int(i))), areas[i]);

    PlayerModel m(p);
    m.start(0);
    QStringList lines;
    for (int l = 0; l < m.lineCount(); ++l) {
        QStringList names;
        for (int s : m.line(l))
            names << page.selections[size_t(s)]->name;
        lines << names.join(' ');
    }
    QTEST(lines.join('|'), "table");
    QCOMPARE(highlightName(m), QStringLiteral("-"));
    for (const QString& k : keys)
        m.key(keyNamed(k));
    QTEST(highlightName(m), "highlight");
}

void TestPlayer::defaultSelection()
{
    MenuProject p;
    Page& first = addPage(p, 1);
    addSelection(first, "One", "0,0-10,10");
    addSelection(first, "Two", "20,0-30,10").addAction(ActJumpToPage, "2");
    first.defaultSelection = 2;
    Page& second = addPage(p, 2);
    addSelection(second, "Alone", "0,0-10,10");
    second.defaultSelection = 5; // beyond the list: none

    PlayerModel m(p);
    m.start(0);
    QCOMPARE(highlightName(m), QStringLiteral("Two"));
    m.key(PlayerKey::Enter);
    QCOMPARE(pageNumber(m), 2);
    QCOMPARE(highlightName(m), QStringLiteral("-"));
    // The first arrow key lands on the table's first selection.
    m.key(PlayerKey::Down);
    QCOMPARE(highlightName(m), QStringLiteral("Alone"));
}

void TestPlayer::messageText_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("plain") << "Hello" << 12 << QStringList{"Hello"};
    QTest::newRow("size and lines") << "24 Big|Two lines|" << 24 << QStringList{"Big", "Two lines", ""};
    QTest::newRow("a number without blank is text") << "3D glasses" << 12 << QStringList{"3D glasses"};
    QTest::newRow("a number not at the start is text") << "Disc 2 of 3" << 12 << QStringList{"Disc 2 of 3"};
    QTest::newRow("size alone") << "10 " << 10 << QStringList{""};
}

void TestPlayer::messageText()
{
    QFETCH(QString, parameter);
    const PlayerMessage m = parsePlayerMessage(parameter);
    QTEST(m.fontSize, "fontSize");
    QTEST(m.lines, "lines");
}


// The menu check calls a page reachable exactly when a viewer gets there by playing the menu: the
// pages the model reaches from the check's ways in, by every selection, key and end, are the ones the
// check does not report as unreachable.
void TestPlayer::checkAgreesWithPlaying()
{
    int compared = 0;
    for (quint32 seed = 1; seed <= 3000; ++seed) {
        QRandomGenerator rng(seed);
        MenuProject p;
        randomMenu(p, rng);
        if (menuEntryPages(p).empty())
            continue; // without a way in the check calls nothing unreachable
        std::vector<bool> byCheck(p.pages.size(), true);
        for (const Problem& problem : checkProject(p))
            if (problem.code == QLatin1String("page-unreachable"))
                byCheck[size_t(problem.where.pageIndex)] = false;
        const std::vector<bool> byPlaying = pagesReachedByPlaying(p);
        if (byPlaying != byCheck) {
            QString pages;
            for (size_t i = 0; i < byCheck.size(); ++i)
                pages += QStringLiteral(" %1:%2/%3").arg(p.pages[i]->number).arg(byCheck[i]).arg(byPlaying[i]);
            QFAIL(qPrintable(QStringLiteral("seed %1: reachable by the check / by playing:%2").arg(seed).arg(pages)));
        }
        ++compared;
    }
    QVERIFY2(compared > 2000, qPrintable(QString::number(compared)));
}

// --- walkthroughs --------------------------------------------------------------------------------------

void TestPlayer::recordSaveReplay()
{
    MenuProject p;
    buildWalkMenu(p);
    PlayerModel m(p);
    Walkthrough recorded;
    {
        WalkRecorder recorder(m);
        m.startAtStartPage();
        m.advanceTime(10000);               // the intro plays and jumps to the main menu
        m.key(PlayerKey::Right);            // Play -> Chapters
        m.key(PlayerKey::Right);            // -> About
        m.click(m.selectionRect(2).center()); // About: a message, then the language
        m.key(PlayerKey::Enter);            // OK, recorded as such
        m.click(QPoint(300, 420));          // Chapters
        m.click(QPoint(350, 320));          // the second "Untitled"
        m.click(QPoint(100, 320));          // Back (-1)
        m.pointerMoved(QPoint(150, 420));   // hovering alone is no step
        m.pointerMoved(QPoint(300, 420));   // but a key needs the highlight where the pointer left it
        m.key(PlayerKey::Right);
        m.click(QPoint(150, 420));          // Play
        m.menuButton();
        recorded = recorder.walkthrough();
    }
    const QString expected = "# Walkthrough of menu.ini\n"
                             "start 1\n"
                             "wait end\n"
                             "expect page 2\n"
                             "key Right\n"
                             "expect highlight \"Chapters\"\n"
                             "key Right\n"
                             "expect highlight \"About\"\n"
                             "click \"About\"\n"
                             "expect message \"20 Made by|the demo team\"\n"
                             "ok\n"
                             "expect language 1\n"
                             "click \"Chapters\"\n"
                             "expect page 3\n"
                             "click \"Untitled\" 2\n"
                             "expect subtitle 2\n"
                             "click \"Back\"\n"
                             "expect page 2\n"
                             "point \"Chapters\"\n"
                             "key Right\n"
                             "expect highlight \"About\"\n"
                             "click \"Play\"\n"
                             "expect movie \"Play movie: video\\\\cd1.avi from frame 0\"\n"
                             "menu\n"
                             "expect page 2\n";
    QCOMPARE(formatWalkthrough(recorded, "menu.ini"), expected);

    QTemporaryDir dir;
    const QString path = dir.filePath("menu.walk");
    QVERIFY(saveWalkthrough(path, recorded, "menu.ini"));
    Walkthrough loaded;
    QString error;
    QVERIFY2(loadWalkthrough(path, loaded, &error), qPrintable(error));
    QCOMPARE(loaded.steps.size(), recorded.steps.size());
    QVERIFY(std::equal(loaded.steps.begin(), loaded.steps.end(), recorded.steps.begin()));
    const std::optional<WalkFailure> failure = replayWalkthrough(p, loaded);
    QVERIFY2(!failure, failure ? qPrintable(failure->sentence()) : "");

    // Saved again where the file system refuses it (a file-size limit): the walkthrough saved before
    // stays, and the error says why.
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QByteArray refused = inChildWithFileSizeLimit([&] {
        QString why;
        return saveWalkthrough(path, recorded, "menu.ini", &why) ? QByteArray("saved") : why.toUtf8();
    });
    QCOMPARE(QString::fromUtf8(refused),
             "Cannot write the file " + path + ": File too large. The file was left as it was.");
    QFile again(path);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), before);
}

void TestPlayer::renumberedPageFailsNamingTheStep()
{
    MenuProject p;
    buildWalkMenu(p);
    Walkthrough walk;
    QVERIFY(parseWalkthrough("start 1\n"
                             "wait end   # the intro\n"
                             "expect page 2\n"
                             "\n"
                             "click Chapters\n"
                             "expect page 3\n",
                             walk));
    QVERIFY(!replayWalkthrough(p, walk));

    // The chapters page becomes page 30, and the main menu's jump follows it.
    p.pages[2]->number = 30;
    p.pages[1]->selections[1]->actions[0]->parameter = "30";
    std::optional<WalkFailure> failure = replayWalkthrough(p, walk);
    QVERIFY(failure);
    QCOMPARE(failure->sentence(), QStringLiteral("Step 5 (line 6: expect page 3) no longer holds: the menu shows page "
                                                 "30 \"Chapters\", not page 3."));

    // A selection renamed is a selection gone.
    p.pages[1]->selections[1]->name = "Scenes";
    failure = replayWalkthrough(p, walk);
    QVERIFY(failure);
    QCOMPARE(failure->sentence(), QStringLiteral("Step 4 (line 5: click \"Chapters\") no longer holds: page 2 \"Page "
                                                 "2\" has no selection \"Chapters\"."));
}

void TestPlayer::walkFileErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("unknown step") << "start\njump 3\n" << "line 2: unknown step \"jump\"";
    QTest::newRow("unknown key") << "key Space" << "line 1: unknown key \"Space\" (Left, Right, Up, Down or Enter)";
    QTest::newRow("open quote") << "# c\nclick \"Play" << "line 2: a quote is not closed";
    QTest::newRow("page number missing") << "expect page two" << "line 1: a number is missing";
    QTest::newRow("text after the step") << "wait end now" << "line 1: unexpected text after the step";
}

void TestPlayer::walkFileErrors()
{
    QFETCH(QString, text);
    Walkthrough walk;
    QString error;
    QVERIFY(!parseWalkthrough(text, walk, &error));
    QTEST(error, "error");
}

void TestPlayer::cliExitCodes()
{
    MenuProject p;
    buildWalkMenu(p);
    QTemporaryDir dir;
    const QString ini = dir.filePath("menu.ini");
    QVERIFY(SaveProjectFile(p, ini, {}));
    auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return f.fileName();
    };
    const QString holds = write("holds.walk", "start\nwait end\nexpect page 2\nclick \"About\"\nok\nexpect language 1\n");
    const QString fails = write("fails.walk", "start\nskip\nexpect page 3\n");
    const QString bad = write("bad.walk", "start\nfly away\n");

    CliRun r = runVrplmenu({"walk", ini, holds});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("The walkthrough holds: 6 steps.\n"));
    r = runVrplmenu({"walk", ini, fails});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray("Step 3 (line 3: expect page 3) no longer holds: the menu shows page 2 \"Page 2\", not "
                               "page 3.\n"));
    r = runVrplmenu({"walk", ini, bad});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains("line 2: unknown step \"fly\""));
    r = runVrplmenu({"walk", dir.filePath("missing.ini"), holds});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(!r.err.contains("not a menu file")); // it cannot be read; what it is nobody knows
    // A walkthrough named where the menu belongs is read, and found to be no menu.
    r = runVrplmenu({"walk", holds, holds});
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.endsWith(("\nvrplmenu: " + holds + " is not a menu file\n").toUtf8()));
    QCOMPARE(runVrplmenu({"walk", ini, dir.filePath("missing.walk")}).exitCode, 2);
}

// The demo menu ships with a walkthrough that visits every page; it holds for the menu as shipped.
void TestPlayer::demoWalkthroughHolds()
{
    const CliRun r = runVrplmenu({"walk", QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini"),
                                 QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.walk")});
    QCOMPARE(r.out, QByteArray("The walkthrough holds: 53 steps.\n"));
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);

    // It visits every page of the demo.
    MenuProject project;
    QVERIFY(LoadProject(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini"), project, {}).pagesRead);
    Walkthrough walk;
    QVERIFY(loadWalkthrough(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.walk"), walk));
    QSet<int> visited;
    for (const WalkStep& s : walk.steps)
        if (s.kind == WalkStep::ExpectPage || s.kind == WalkStep::Start)
            visited.insert(s.number);
    for (const auto& page : project.pages)
        QVERIFY2(visited.contains(page->number), qPrintable(QString::number(page->number)));
}

QTEST_GUILESS_MAIN(TestPlayer)
#include "test_player.moc"
