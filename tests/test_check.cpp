// The menu check: each group of checks as a table of small menu files (or projects changed in code)
// and the exact problem codes they must give, the clean case giving none.
#include <QtTest>

#include <algorithm>

#include "check/menucheck.h"
#include "document/actiontypes.h"
#include "document/projectloader.h"
#include "documenttestutil.h"

namespace {

// A head with three chapters, one special feature, two languages (0 and 1) and one subtitle, and a
// menu section starting at page 1 on a 720 x 576 picture.
const QByteArray kMovieHead = "[MAIN]\nTitle=Film\nID=F1\n[MOVIE]\nDirectory=movie\nAVIName=film.avi\n"
                              "[CHAPTERS]\n1=0 One\n2=100 Two\n3=200 Three\n"
                              "[SPECIALS]\nCD=1\n1=extra.avi Extra\n"
                              "[LANGUAGES]\nDirectory=audio\nPrimary=EN English\n1=FR French\nFile=fr.mp3\n"
                              "[SUBTITLES]\nDirectory=subs\n1=EN English\nFile=en.srt\n";
const QByteArray kMenuSection = "[MENU]\nDirectory=menu\nAVIName=menu.avi\nSize=720,576\nStartPage=1\nMenuPage=1\n";

// A looping video page offering its selections; `rest` adds lines and selection blocks.
QByteArray page(int number, const QByteArray& rest = {}, const QByteArray& name = "P")
{
    return "[PAGE=" + QByteArray::number(number) + "]\t\t;" + name +
           "\nBackgroundMode=1\nVideoLoop=1\nVideoRange=0-99\nSelectionAvailable=1\n" + rest;
}

QByteArray selection(const QByteArray& actions, const QByteArray& parameters, const QByteArray& area = "10,10-100,50",
                     const QByteArray& name = "S")
{
    return "[SELECTION=1]\t\t;" + name + "\nArea=" + area + "\nAction=" + actions + "\nParameter=" + parameters + "\n";
}

// A page whose one selection runs the actions.
QByteArray pageWith(int number, const QByteArray& actions, const QByteArray& parameters)
{
    return page(number, selection(actions, parameters));
}

// Lines end with CRLF, as the reader needs for the menu part.
QByteArray file(const QByteArray& menuSection, const QByteArray& pages)
{
    QByteArray text = kMovieHead + menuSection + pages;
    return text.replace("\n", "\r\n");
}

void load(const QByteArray& bytes, MenuProject& project)
{
    MessageLog log;
    LoadProjectFromBytes(bytes, QStringLiteral("menu.ini"), project, log.sink());
    QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('\n')));
}

QStringList codes(const std::vector<Problem>& problems)
{
    QStringList c;
    for (const Problem& p : problems)
        c << p.code;
    c.sort();
    return c;
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void references_data();
    void references();
    void pages_data();
    void pages();
    void selections_data();
    void selections();
    void reachability_data();
    void reachability();
    void texts_data();
    void texts();
    void movieData_data();
    void movieData();
    void locations();
    void demoMenuIsClean();

};

// ---------------------------------------------------------------------------------------------------

void TestCheck::references_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QByteArray>("pages");
    QTest::addColumn<QStringList>("expected");

    const QByteArray two = page(2, selection("1", "1"));
    QTest::newRow("clean: every kind of reference within its list")
        << kMenuSection
        << page(1, selection("6#7#7#5", "0#1#0#1") + selection("4#3", "12 Hello#3", "110,10-200,50") +
                       selection("1", "2", "210,10-300,50")) +
               two
        << QStringList();
    QTest::newRow("jump to a missing page") << kMenuSection << pageWith(1, "1", "7") << QStringList{"jump-target-missing"};
    QTest::newRow("jump parameter not a number")
        << kMenuSection << pageWith(1, "1", "two") << QStringList{"parameter-invalid"};
    QTest::newRow("relative jump past the last page")
        << kMenuSection << pageWith(1, "1", "+1") << QStringList{"relative-jump-off-list"};
    QTest::newRow("relative jump before the first page")
        << kMenuSection << pageWith(1, "1", "-1") << QStringList{"relative-jump-off-list"};
    QTest::newRow("jump at end to a missing page")
        << kMenuSection
        << page(1, "VideoLoop=0\nJumpAtEnd=9\n" + selection("2", ""))
        << QStringList{"jump-target-missing"};
    QTest::newRow("end action: signed jump the save refuses")
        << kMenuSection << page(1, "VideoLoop=0\nActionAtEnd=1#+5\n" + selection("2", ""))
        << QStringList{"jump-parameter-signed"};
    QTest::newRow("looping page: an end jump never run, but refused by the save")
        << kMenuSection << page(1, "ActionAtEnd=1#-3\n" + selection("2", ""))
        << QStringList{"end-never-used", "jump-parameter-signed"};
    QTest::newRow("looping page: its end action's parameter is checked as a selection's is")
        << kMenuSection << page(1, "ActionAtEnd=3#9\n" + selection("2", "")) << QStringList{"end-never-used", "chapter-missing"};
    QTest::newRow("end action: hash in its message")
        << kMenuSection << page(1, "VideoLoop=0\nActionAtEnd=4#Hi #there\n" + selection("2", "")) << QStringList{"text-hash"};
    QTest::newRow("end action: empty message")
        << kMenuSection << page(1, "VideoLoop=0\nActionAtEnd=4# \n" + selection("2", "")) << QStringList{"message-empty"};
    QTest::newRow("an end action overrides the jump at end, even a jump to a missing page")
        << kMenuSection << page(1, "VideoLoop=0\nActionAtEnd=6#1\nJumpAtEnd=9\n" + selection("2", ""))
        << QStringList{"jump-at-end-overridden"};
    QTest::newRow("chapter beyond the list") << kMenuSection << pageWith(1, "3", "4") << QStringList{"chapter-missing"};
    QTest::newRow("chapter 0") << kMenuSection << pageWith(1, "3", "0") << QStringList{"chapter-missing"};
    QTest::newRow("special feature beyond the list")
        << kMenuSection << pageWith(1, "5", "2") << QStringList{"special-feature-missing"};
    QTest::newRow("language beyond the list (counted from 0)")
        << kMenuSection << pageWith(1, "6", "2") << QStringList{"language-missing"};
    QTest::newRow("subtitle beyond the list (0 is off)")
        << kMenuSection << pageWith(1, "7", "2") << QStringList{"subtitle-missing"};
    QTest::newRow("language parameter not a number")
        << kMenuSection << pageWith(1, "6", "FR") << QStringList{"parameter-invalid"};
    QTest::newRow("start page empty")
        << QByteArray("[MENU]\nDirectory=menu\nAVIName=menu.avi\nMenuPage=1\n") << pageWith(1, "2", "")
        << QStringList{"required-field-empty"};
    QTest::newRow("menu page names no page")
        << QByteArray("[MENU]\nDirectory=menu\nAVIName=menu.avi\nStartPage=1\nMenuPage=3\n") << pageWith(1, "2", "")
        << QStringList{"menu-page-missing"};
    QTest::newRow("chapters and specials pages name no page")
        << kMenuSection + "ChaptersPage=4\nSpecialsPage=x\n" << pageWith(1, "2", "")
        << QStringList{"menu-page-missing", "menu-page-missing"};
    QTest::newRow("no menu section for the pages")
        << QByteArray() << pageWith(1, "2", "") << QStringList{"required-field-empty"};
    QTest::newRow("video pages without menu video")
        << QByteArray("[MENU]\nDirectory=menu\nStartPage=1\nMenuPage=1\n") << pageWith(1, "2", "")
        << QStringList{"required-field-empty"};
    QTest::newRow("default selection beyond the selections")
        << kMenuSection << page(1, "DefaultSelection=2\n" + selection("2", "")) << QStringList{"default-selection-missing"};
    QTest::newRow("default selection -1 is none") << kMenuSection << page(1, "DefaultSelection=-1\n" + selection("2", ""))
                                                  << QStringList();
}

void TestCheck::references()
{
    QFETCH(QByteArray, menu);
    QFETCH(QByteArray, pages);
    QFETCH(QStringList, expected);
    MenuProject project;
    load(file(menu, pages), project);
    QCOMPARE(codes(checkProject(project)), sorted(expected));
}

// ---------------------------------------------------------------------------------------------------

void TestCheck::pages_data()
{
    QTest::addColumn<QByteArray>("pages");
    QTest::addColumn<int>("menuFrames");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("clean: a looping page and a still page that ends in a jump")
        << pageWith(1, "1", "2") +
               "[PAGE=2];Pic\nBackgroundMode=2\nPictureFile=p.jpg\nSelectionAvailable=1\n" + selection("1", "1")
        << 100 << QStringList();
    QTest::newRow("page number 0 and 501")
        << page(1, selection("1", "0") + selection("1", "501", "110,10-200,50")) + pageWith(0, "1", "1") +
               pageWith(501, "1", "1")
        << 0 << QStringList{"page-number-out-of-range", "page-number-out-of-range"};
    QTest::newRow("page number repeated") << pageWith(1, "2", "") + pageWith(1, "2", "") << 0
                                          << QStringList{"page-number-repeated", "page-unreachable"};
    QTest::newRow("video range beyond the menu video")
        << page(1, "VideoRange=50-100\n" + selection("2", "")) << 100 << QStringList{"video-range-outside"};
    QTest::newRow("video range within the menu video to its last frame")
        << page(1, "VideoRange=50-99\n" + selection("2", "")) << 100 << QStringList();
    QTest::newRow("negative frame, video length unknown")
        << page(1, "VideoRange=-5-10\n" + selection("2", "")) << 0 << QStringList{"video-range-outside"};
    QTest::newRow("first frame after last") << page(1, "VideoRange=60-40\n" + selection("2", "")) << 100
                                            << QStringList{"video-range-reversed"};
    QTest::newRow("still page without picture")
        << QByteArray("[PAGE=1];Pic\nBackgroundMode=2\nSelectionAvailable=1\n") + selection("2", "") << 0
        << QStringList{"picture-file-empty"};
    QTest::newRow("dead end: video without loop, jump or action at end")
        << QByteArray("[PAGE=1];End\nBackgroundMode=1\nVideoLoop=0\nVideoRange=0-9\nSelectionAvailable=0\n") << 0
        << QStringList{"page-dead-end"};
    QTest::newRow("no dead end: the page jumps at its end")
        << QByteArray("[PAGE=1];Intro\nBackgroundMode=1\nVideoLoop=0\nVideoRange=0-9\nJumpAtEnd=2\nSelectionAvailable=0\n") +
               pageWith(2, "2", "")
        << 0 << QStringList();
    QTest::newRow("dead end: still picture without selections, its end values lost")
        << QByteArray("[PAGE=1];Pic\nBackgroundMode=2\nPictureFile=p.jpg\nPictureDuration=5\nJumpAtEnd=1\nSelectionAvailable=0\n")
        << 0 << QStringList{"end-not-saved", "page-dead-end"};
    QTest::newRow("looping page's end is never used")
        << page(1, "ActionAtEnd=2#\n" + selection("2", "")) << 0 << QStringList{"end-never-used"};
    QTest::newRow("selections available but none defined") << page(1) << 0 << QStringList{"selections-not-defined"};
    QTest::newRow("prohibit frames outside the range")
        << page(1, "ProhibitSelectionBefore=120\nProhibitSelectionAfter=50\n" + selection("2", "")) << 0
        << QStringList{"prohibit-frame-outside"};
}

void TestCheck::pages()
{
    QFETCH(QByteArray, pages);
    QFETCH(int, menuFrames);
    QFETCH(QStringList, expected);
    MenuProject project;
    load(file(kMenuSection, pages), project);
    CheckContext context;
    context.menuFrameCount = menuFrames;
    QCOMPARE(codes(checkProject(project, context)), sorted(expected));
}

// ---------------------------------------------------------------------------------------------------

void TestCheck::selections_data()
{
    QTest::addColumn<QByteArray>("selections");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("clean: touching rectangles up to the picture's edge")
        << selection("2", "", "0,0-360,288") + selection("2", "", "360,288-720,576") << QStringList();
    QTest::newRow("area not four numbers") << selection("2", "", "10,10-100") << QStringList{"area-invalid"};
    QTest::newRow("area text") << selection("2", "", "left") << QStringList{"area-invalid"};
    QTest::newRow("empty area") << selection("2", "", "10,10-10,50") << QStringList{"area-empty"};
    QTest::newRow("negative size") << selection("2", "", "100,50-10,10") << QStringList{"area-empty"};
    QTest::newRow("outside the picture on the right") << selection("2", "", "700,10-721,50")
                                                      << QStringList{"area-outside-picture"};
    QTest::newRow("outside the picture above") << selection("2", "", "10,-1-100,50") << QStringList{"area-outside-picture"};
    QTest::newRow("overlapping rectangles")
        << selection("2", "", "0,0-100,100") + selection("2", "", "99,99-200,200") << QStringList{"areas-overlap"};
    QTest::newRow("selection without actions") << selection("", "") << QStringList{"selection-without-actions"};
    QTest::newRow("actions after a jump") << selection("1#6#7", "1#1#1") << QStringList{"action-unreachable"};
    QTest::newRow("actions after play movie") << selection("2#6", "#1") << QStringList{"action-unreachable"};
    QTest::newRow("language and subtitle before a jump are run") << selection("6#7#1", "1#1#1") << QStringList();
    QTest::newRow("a message before leaving") << selection("4#8", "Bye#") << QStringList();
    QTest::newRow("empty message") << selection("4#8", " #") << QStringList{"message-empty"};
}

void TestCheck::selections()
{
    QFETCH(QByteArray, selections);
    QFETCH(QStringList, expected);
    MenuProject project;
    load(file(kMenuSection, page(1, selections)), project);
    QCOMPARE(codes(checkProject(project)), sorted(expected));
}

// ---------------------------------------------------------------------------------------------------
// Reachability: which pages are reported as never reached, from the start page and the menu page,
// through every kind of link.

void TestCheck::reachability_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QByteArray>("pages");
    QTest::addColumn<QList<int>>("unreachable");

    const QByteArray noLoop = "VideoLoop=0\nSelectionAvailable=0\n";
    QTest::newRow("absolute jumps in a cycle, one page outside it")
        << kMenuSection << pageWith(1, "1", "2") + pageWith(2, "1", "3") + pageWith(3, "1", "1") + pageWith(4, "1", "1")
        << QList<int>{4};
    QTest::newRow("relative jumps forward and back")
        << kMenuSection << pageWith(1, "1", "+1") + pageWith(2, "1", "-1") + pageWith(3, "1", "-1") << QList<int>{3};
    QTest::newRow("the second selection's jump counts")
        << kMenuSection << page(1, selection("6", "1") + selection("1", "2", "110,10-200,50")) + pageWith(2, "1", "1")
        << QList<int>{};
    QTest::newRow("jump at end") << kMenuSection << page(1, noLoop + "JumpAtEnd=2\n") + pageWith(2, "1", "1")
                                 << QList<int>{};
    QTest::newRow("end action jump") << kMenuSection << page(1, noLoop + "ActionAtEnd=1#2\n") + pageWith(2, "1", "1")
                                     << QList<int>{};
    QTest::newRow("end action relative jump, as the file writes it")
        << kMenuSection << page(1, noLoop + "ActionAtEnd=1#+1\n") + pageWith(2, "1", "1") << QList<int>{};
    QTest::newRow("an end action runs instead of the jump at end")
        << kMenuSection << page(1, noLoop + "ActionAtEnd=8#\nJumpAtEnd=2\n") + pageWith(2, "1", "1") << QList<int>{2};
    QTest::newRow("a still picture's end after its duration")
        << kMenuSection
        << QByteArray("[PAGE=1];Pic\nBackgroundMode=2\nPictureFile=p.jpg\nPictureDuration=3\nJumpAtEnd=2\nSelectionAvailable=0\n") +
               pageWith(2, "1", "1")
        << QList<int>{};
    QTest::newRow("selections only outside the video range's prohibit window")
        << kMenuSection << page(1, "ProhibitSelectionBefore=100\n" + selection("1", "2")) + pageWith(2, "1", "1")
        << QList<int>{2};
    QTest::newRow("prohibit window open on the range's last frame")
        << kMenuSection << page(1, "ProhibitSelectionBefore=99\n" + selection("1", "2")) + pageWith(2, "1", "1")
        << QList<int>{};
    QTest::newRow("a selection without a clickable area")
        << kMenuSection << page(1, selection("1", "2", "50,10-10,50")) + pageWith(2, "1", "1") << QList<int>{2};
    QTest::newRow("... unless it is the default selection, which Enter chooses")
        << kMenuSection << page(1, "DefaultSelection=1\n" + selection("1", "2", "50,10-10,50")) + pageWith(2, "1", "1")
        << QList<int>{};
    QTest::newRow("a looping page never ends")
        << kMenuSection << page(1, "JumpAtEnd=2\n" + selection("2", "")) + pageWith(2, "1", "1") << QList<int>{2};
    QTest::newRow("selections not available")
        << kMenuSection << page(1, "SelectionAvailable=0\n" + selection("1", "2")) + pageWith(2, "1", "1")
        << QList<int>{2};
    QTest::newRow("a jump after the movie starts is never run")
        << kMenuSection << pageWith(1, "2#1", "#2") + pageWith(2, "1", "1") << QList<int>{2};
    QTest::newRow("the menu page is a way in")
        << QByteArray("[MENU]\nDirectory=menu\nAVIName=menu.avi\nStartPage=1\nMenuPage=2\n")
        << pageWith(1, "2", "") + pageWith(2, "2", "") + pageWith(3, "2", "") << QList<int>{3};
    QTest::newRow("the chapters page is a way in")
        << kMenuSection + "ChaptersPage=3\n" << pageWith(1, "2", "") + pageWith(2, "2", "") + pageWith(3, "2", "")
        << QList<int>{2};
    QTest::newRow("without a way in nothing is called unreachable")
        << QByteArray("[MENU]\nDirectory=menu\nAVIName=menu.avi\nStartPage=8\nMenuPage=9\n")
        << pageWith(1, "2", "") + pageWith(2, "2", "") << QList<int>{};
}

void TestCheck::reachability()
{
    QFETCH(QByteArray, menu);
    QFETCH(QByteArray, pages);
    QFETCH(QList<int>, unreachable);
    MenuProject project;
    load(file(menu, pages), project);
    QList<int> found;
    for (const Problem& p : checkProject(project))
        if (p.code == QLatin1String("page-unreachable"))
            found << project.pages[size_t(p.where.pageIndex)]->number;
    QCOMPARE(found, unreachable);
}

// ---------------------------------------------------------------------------------------------------
// Texts: values the file cannot hold (and a required one left empty), set in code as an editor would
// set them.

void TestCheck::texts_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QStringList>("expected");

    const int cp1252 = int(TextEncoding::Windows1252), utf8 = int(TextEncoding::Utf8);
    QTest::newRow("clean: accents Windows-1252 holds") << "page name" << QString::fromUtf8("Menü €") << cp1252
                                                       << QStringList();
    QTest::newRow("line break in a page name") << "page name" << "Main\nmenu" << cp1252 << QStringList{"text-line-break"};
    QTest::newRow("title empty") << "title" << " " << cp1252 << QStringList{"required-field-empty"};
    QTest::newRow("line break in a title") << "title" << "Film\r" << cp1252 << QStringList{"text-line-break"};
    QTest::newRow("hash in a message") << "message" << "Press #1" << cp1252 << QStringList{"text-hash"};
    QTest::newRow("line break in an end message") << "end message" << "Bye\r\nnow" << cp1252
                                                  << QStringList{"text-line-break"};
    QTest::newRow("character Windows-1252 lacks in an end message") << "end message" << QString::fromUtf8("Ω") << cp1252
                                                                    << QStringList{"text-unencodable"};
    QTest::newRow("character Windows-1252 lacks") << "selection name" << QString::fromUtf8("Ω") << cp1252
                                                  << QStringList{"text-unencodable"};
    QTest::newRow("the same in a UTF-8 file") << "selection name" << QString::fromUtf8("Ω") << utf8 << QStringList();
    QTest::newRow("lone surrogate in UTF-8") << "message" << QString(QChar(0xD800)) << utf8
                                             << QStringList{"text-unencodable"};
    QTest::newRow("a head value holding a block marker") << "title" << "see [PAGE=2]" << cp1252
                                                         << QStringList{"text-marker"};
}

void TestCheck::texts()
{
    QFETCH(QString, what);
    QFETCH(QString, value);
    QFETCH(int, encoding);
    QFETCH(QStringList, expected);
    MenuProject project;
    load(file(kMenuSection, page(1, selection("4#8", "Hello#"))), project);
    project.encoding = TextEncoding(encoding);
    Page& p = *project.pages.front();
    if (what == QLatin1String("page name"))
        p.name = value;
    else if (what == QLatin1String("title"))
        project.movieData.title = value;
    else if (what == QLatin1String("message"))
        p.selections.front()->actions.front()->parameter = value;
    else if (what == QLatin1String("selection name"))
        p.selections.front()->name = value;
    else if (what == QLatin1String("end message")) {
        p.videoLoop = false;
        p.actionAtEnd = std::make_unique<MenuAction>(ActMessageBox, value);
    }
    QCOMPARE(codes(checkProject(project)), sorted(expected));
}

// ---------------------------------------------------------------------------------------------------
// The movie data and the files it names, below a base directory made for each row.

void TestCheck::movieData_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    // Every file of kMovieHead and kMenuSection, with the page's picture. A movie file's frame count is
    // its size in bytes here; a picture that begins with "bad" cannot be decoded.
    const QStringList all{"movie/film.avi=250", "movie/extra.avi", "audio/fr.mp3", "subs/en.srt", "menu/menu.avi",
                          "menu/p.jpg"};
    auto without = [&](const QString& name) {
        QStringList l = all;
        l.removeIf([&](const QString& f) { return f.startsWith(name); });
        return l;
    };
    QTest::newRow("clean: every file there") << kMovieHead << all << QStringList();
    QTest::newRow("movie file missing") << kMovieHead << without("movie/film.avi") << QStringList{"file-missing"};
    QTest::newRow("special feature file missing") << kMovieHead << without("movie/extra.avi")
                                                  << QStringList{"file-missing"};
    QTest::newRow("language file missing") << kMovieHead << without("audio/") << QStringList{"file-missing"};
    QTest::newRow("subtitle file missing") << kMovieHead << without("subs/") << QStringList{"file-missing"};
    QTest::newRow("menu video missing") << kMovieHead << without("menu/menu.avi") << QStringList{"file-missing"};
    QTest::newRow("picture missing") << kMovieHead << without("menu/p.jpg") << QStringList{"file-missing"};
    QTest::newRow("picture cannot be decoded") << kMovieHead << without("menu/p.jpg") + QStringList{"menu/p.jpg=bad"}
                                               << QStringList{"picture-undecodable"};
    QTest::newRow("chapter beyond the counted frames")
        << kMovieHead << without("movie/film.avi") + QStringList{"movie/film.avi=150"}
        << QStringList{"chapter-beyond-movie"};
    QTest::newRow("chapter on the movie's last frame")
        << kMovieHead << without("movie/film.avi") + QStringList{"movie/film.avi=201"} << QStringList();
    QTest::newRow("chapter at the movie's frame count, one past its end")
        << kMovieHead << without("movie/film.avi") + QStringList{"movie/film.avi=200"}
        << QStringList{"chapter-beyond-movie"};
    QByteArray threeCds = kMovieHead;
    threeCds.replace("AVIName=film.avi\n", "AVIName=film.avi\nAVI2Name=film2.avi\nAVI3Name=film3.avi\n");
    const QStringList threeFiles = without("movie/film.avi") + QStringList{"movie/film.avi=100", "movie/film2.avi=50", "movie/film3.avi=60"};
    QTest::newRow("chapter on the third CD") << threeCds << threeFiles << QStringList();
    QByteArray twoCds = kMovieHead;
    twoCds.replace("AVIName=film.avi\n", "AVIName=film.avi\nAVI2Name=film2.avi\n");
    QTest::newRow("chapter past the second of two CDs")
        << twoCds << without("movie/film.avi") + QStringList{"movie/film.avi=100", "movie/film2.avi=100"}
        << QStringList{"chapter-beyond-movie"};
    QTest::newRow("chapter on the first frame of the second CD")
        << twoCds << without("movie/film.avi") + QStringList{"movie/film.avi=100", "movie/film2.avi=101"} << QStringList();
    QByteArray unordered = kMovieHead;
    unordered.replace("2=100 Two", "2=0 Two");
    QTest::newRow("chapters not ascending") << unordered << all << QStringList{"chapter-order"};
    QByteArray badFrame = kMovieHead;
    badFrame.replace("2=100 Two", "2=x Two");
    QTest::newRow("chapter frame not a number") << badFrame << all << QStringList{"chapter-frame-invalid"};
}

void TestCheck::movieData()
{
    QFETCH(QByteArray, head);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString& f : files) {
        const QString name = f.section('=', 0, 0);
        QVERIFY(QDir(dir.path()).mkpath(QFileInfo(name).path()));
        QFile out(dir.filePath(name));
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QString content = f.section('=', 1);
        bool number = false;
        const int size = content.toInt(&number);
        out.write(number ? QByteArray(size, 'x') : content.toLatin1());
    }
    // The still picture page shows menu/p.jpg.
    QByteArray text = head + kMenuSection + pageWith(1, "1", "2") +
                      "[PAGE=2];Pic\nBackgroundMode=2\nPictureFile=p.jpg\nSelectionAvailable=1\n" + selection("1", "1");
    text.replace("\n", "\r\n");
    MenuProject project;
    MessageLog log;
    LoadProjectFromBytes(text, dir.filePath("menu.ini"), project, log.sink());
    CheckContext context;
    context.baseDirectory = project.baseDirectory;
    QStringList asked;
    context.countFrames = [&](const QString& path) -> std::optional<qint64> {
        asked << QDir(dir.path()).relativeFilePath(path);
        return QFileInfo(path).size();
    };
    context.pictureError = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) && f.read(3) == "bad" ? QStringLiteral("not a JPEG file") : QString();
    };
    QCOMPARE(codes(checkProject(project, context)), sorted(expected));
    // Only files that are there are handed to the counter, each CD's once, in the order of the CDs.
    QStringList movies;
    for (const QString& f : files)
        if (f.startsWith(QLatin1String("movie/film")))
            movies << f.section('=', 0, 0);
    QCOMPARE(asked, movies);
}

// ---------------------------------------------------------------------------------------------------

// Where each problem is: the page, the selection, the action (or the end action) or the field; and
// the sentence names the page as the page list shows it.
void TestCheck::locations()
{
    MenuProject project;
    load(file(kMenuSection + "ChaptersPage=9\n",
              pageWith(1, "1", "2") + page(2, "VideoLoop=0\nActionAtEnd=3#7\nJumpAtEnd=1\n" +
                                                  selection("2", "") + selection("6#3", "1#5", "110,10-200,50", "Go"),
                                              "Credits")),
         project);
    const std::vector<Problem> problems = checkProject(project);
    QStringList found;
    for (const Problem& p : problems)
        found << QStringLiteral("%1 %2 %3/%4/%5 %6")
                     .arg(severityName(p.severity), p.code)
                     .arg(p.where.pageIndex)
                     .arg(p.where.selectionIndex)
                     .arg(p.where.actionIndex)
                     .arg(p.where.field);
    QCOMPARE(found, (QStringList{"error menu-page-missing -1/-1/-1 MENU/ChaptersPage",
                                 "warning jump-at-end-overridden 1/-1/-1 JumpAtEnd",
                                 "error chapter-missing 1/-1/-1 ActionAtEnd",
                                 "error chapter-missing 1/1/1 "}));
    QCOMPARE(problems[1].text, QStringLiteral("Page 2) Credits: the jump at end is never used: the end action runs instead."));
    QCOMPARE(problems[3].text, QStringLiteral("Page 2) Credits, selection 2 (Go), action 2 (Play from chapter): "
                                              "chapter 5 does not exist; the movie data's chapters are 1 to 3."));
    QCOMPARE(problemCountText(problems), QStringLiteral("3 errors, 1 warning"));
    std::vector<Problem> mixed{problems[0], Problem{Severity::Warning, "w", "w", {}}};
    QCOMPARE(problemCountText(mixed), QStringLiteral("1 error, 1 warning"));
    QCOMPARE(problemCountText({}), QStringLiteral("no problem"));
}

// The demo menu, when it has been made (examples/make_demo), checks clean with every file looked at.
void TestCheck::demoMenuIsClean()
{
    const QString demo = QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini");
    QVERIFY2(QFileInfo::exists(demo), "the demo menu is part of the tree");
    MenuProject project;
    MessageLog log;
    LoadProject(demo, project, log.sink());
    QCOMPARE(log.texts(), QStringList());
    CheckContext context;
    context.baseDirectory = project.baseDirectory;
    QStringList found;
    for (const Problem& p : checkProject(project, context))
        found << p.code + QStringLiteral(": ") + p.text;
    QCOMPARE(found, QStringList());
}

QTEST_GUILESS_MAIN(TestCheck)
#include "test_check.moc"
