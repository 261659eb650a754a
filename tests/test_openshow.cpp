// Opening and looking change nothing: every menu file the tests have opens, shows each page and
// selection, takes an OK of its movie data and the undo of a delete without a question, an undo step or
// a modified mark, and saves to the same bytes. And what is no menu file never replaces the open menu,
// nor is it ever written over.
#include "editorstestutil.h"
#include "filetestutil.h"
#include "randommenu.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>
#include <QUndoStack>

#include "document/projectwriter.h"
#include "editors/editorwidgets.h"
#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"
#include "moviedata/moviedataform.h"

namespace {

const QByteArray kMenuHead = "[Vireo Ini File]\r\n\r\n[MAIN]\r\nTitle=Film\r\nID=F1\r\n\r\n[MOVIE]\r\nDirectory=.\r\n"
                             "AVIName=film.avi\r\n\r\n[MENU]\r\nDirectory=menu\r\nAVIName=menu.avi\r\nStartPage=1\r\n"
                             "MenuPage=1\r\n\r\n";

// Values at and beyond their edges, as hand-written and older files hold them: no default selection
// (-1 and 0), one just beyond the selections, a jump to a page that is not there, a still page whose
// picture is missing, and a video page on the frame a still page leaves the track bar at.
const QByteArray kEdgeValues =
    "[PAGE=1]\t\t;Minus one\r\n\tBackgroundMode=1\r\n\tVideoLoop=1\r\n\tVideoRange=0-9\r\n\tSelectionAvailable=1\r\n"
    "\tDefaultSelection=-1\r\n\t[SELECTION=1]\t\t;A\r\n\t\tArea=10,10-60,40\r\n\t\tAction=1\r\n\t\tParameter=2\r\n\r\n"
    "[PAGE=2]\t\t;Still\r\n\tBackgroundMode=2\r\n\tPictureFile=still.jpg\r\n\tPictureDuration=4\r\n"
    "\tSelectionAvailable=1\r\n\tDefaultSelection=2\r\n\t[SELECTION=1]\t\t;B\r\n\t\tArea=20,20-90,70\r\n"
    "\t\tAction=2\r\n\t\tParameter=\r\n\r\n"
    "[PAGE=3]\t\t;Zero\r\n\tBackgroundMode=1\r\n\tVideoLoop=0\r\n\tVideoRange=0-30\r\n\tJumpAtEnd=42\r\n"
    "\tSelectionAvailable=1\r\n\tDefaultSelection=0\r\n\tProhibitSelectionBefore=5\r\n\t[SELECTION=1]\t\t;C\r\n"
    "\t\tArea=100,100-200,150\r\n\t\tAction=1#2\r\n\t\tParameter=1#\r\n\t[SELECTION=2]\t\t;D\r\n"
    "\t\tArea=0,0-5,5\r\n\t\tAction=\r\n\t\tParameter=\r\n\r\n"
    "[PAGE=4]\t\t;Missing picture\r\n\tBackgroundMode=2\r\n\tPictureFile=gone.jpg\r\n\tPictureDuration=0\r\n"
    "\tSelectionAvailable=0\r\n\r\n";

} // namespace

class TestOpenShow : public QObject
{
    Q_OBJECT

    EditorHarness h;
    QTemporaryDir corpus;

    QString menuFolder(const QString& name)
    {
        const QString folder = corpus.filePath(name);
        QDir(folder).mkpath(QStringLiteral("menu"));
        QFile::copy(EditorHarness::video().path, folder + QStringLiteral("/menu/menu.avi"));
        fixtures::writePatternJpeg(folder + QStringLiteral("/menu/still.jpg"), 777);
        return folder;
    }

    // What a save would write now, or the message that stops it.
    QByteArray wouldSave()
    {
        QString refused;
        const auto bytes = BuildMenuFile(h.project(), [&](const Message& m) { refused = m.text; });
        return bytes ? *bytes : "refused: " + refused.toUtf8();
    }

    void clickPageRow(int row)
    {
        QListView* list = h.pages().PageList;
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }

    // Every page clicked in the list and Modify pressed on it, every selection of each clicked in the
    // selection window and every rectangle clicked on the picture.
    void visitEverything()
    {
        for (int row = 0; row < h.pages().pageCount(); ++row) {
            clickPageRow(row);
            QCOMPARE(h.pages().CurrentPageIndex(), row);
            h.pages().bttModifyClick(); // the fields as shown: nothing to apply
            QTreeWidget* tree = h.selections().SelectionList;
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem* item = tree->topLevelItem(i);
                tree->scrollToItem(item);
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
            }
            for (RShape* shape : h.main().shownShapes()) {
                if (shape->width() > 8 && shape->height() > 8)
                    QTest::mouseClick(shape, Qt::LeftButton, {}, QPoint(shape->width() / 2, shape->height() / 2));
            }
        }
    }

private slots:
    void initTestCase()
    {
        // The index of a VOB menu video goes to the test's own folder, never the user's cache.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(corpus.filePath(QStringLiteral("cache"))));
    }
    void cleanup() { h.stop(); }

    void openingAndShowingChangeNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("demo") << QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini");
        for (const QString& seed : QDir(QStringLiteral(VAZO_SOURCE_DIR "/fuzz/seeds-fuzz_menu")).entryList(QDir::Files))
            QTest::addRow("seed %s", qPrintable(seed)) << QStringLiteral(VAZO_SOURCE_DIR "/fuzz/seeds-fuzz_menu/") + seed;
        const QString edges = menuFolder(QStringLiteral("edges")) + QStringLiteral("/menu.ini");
        writeFile(edges, kMenuHead + kEdgeValues);
        QTest::newRow("values at their edges") << edges;
        // Menus this program wrote: random pages, ends, selections and actions.
        for (quint32 seed = 1; seed <= 6; ++seed) {
            MenuProject p;
            QRandomGenerator rng(seed);
            randomMenu(p, rng);
            MovieData& md = p.movieData;
            md.title = QStringLiteral("Film");
            md.id = QStringLiteral("F1");
            md.movieDirectory = QStringLiteral(".");
            md.aviName = QStringLiteral("film.avi");
            md.menuDirectory = QStringLiteral("menu");
            md.menuAVIName = QStringLiteral("menu.avi");
            for (const auto& page : p.pages)
                page->pictureFile = QStringLiteral("still.jpg");
            const QString path = menuFolder(QStringLiteral("random%1").arg(seed)) + QStringLiteral("/menu.ini");
            if (!SaveProjectFile(p, path, {}))
                qFatal("random menu %u not written", seed);
            QTest::addRow("written by the program, seed %u", seed) << path;
        }
    }

    void openingAndShowingChangeNothing()
    {
        QFETCH(QString, path);
        h.start(false);
        QVERIFY(h.main().OpenProject(path));
        QUndoStack& stack = h.edits().stack();
        const bool modified = h.main().isModified();
        const QByteArray before = wouldSave();
        h.dialogs.clear(); // a missing picture may be told; from here on nothing is asked

        visitEverything();
        h.main().setModalRunner([](QDialog& d) {
            static_cast<TMovieDataForm&>(d).bttOKClick();
            return d.result();
        });
        h.main().miMovieDataClick();
        QCOMPARE(h.dialogs.questions(), QStringList());
        QCOMPARE(stack.count(), 0);
        QCOMPARE(h.main().isModified(), modified);
        QCOMPARE(wouldSave(), before);

        // A delete and its undo: the page comes back as it was, and showing it asks nothing.
        if (h.pages().pageCount() > 0) {
            const int row = h.pages().pageCount() / 2;
            clickPageRow(row);
            h.pages().bttDelClick();
            h.main().undoAction()->trigger();
            QCOMPARE(h.pages().CurrentPageIndex(), row);
            visitEverything();
            h.main().redoAction()->trigger();
            h.main().undoAction()->trigger();
            visitEverything();
            QCOMPARE(h.dialogs.questions(), QStringList());
            QCOMPARE(stack.count(), 1);
            QCOMPARE(stack.index(), 0);
            QCOMPARE(h.main().isModified(), modified);
            QCOMPARE(wouldSave(), before);
        }

        if (!before.startsWith("refused")) {
            const QString copy = corpus.filePath(QStringLiteral("saved-as.ini"));
            QFile::remove(copy);
            h.dialogs.queueAnswer(copy);
            QVERIFY(h.main().SaveProject(true));
            QCOMPARE(readAll(copy), before);
        }
    }

    // Files of other kinds, opened by mistake with a menu open and changed: nothing of the menu moves,
    // and no save ever writes over such a file.
    void whatIsNoMenuFileLeavesTheMenuAlone_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("looksLike"); // empty: text, which a save may replace once named
        const QString folder = corpus.filePath(QStringLiteral("others"));
        QDir().mkpath(folder + QStringLiteral("/a folder.ini"));
        auto file = [&](const QString& name, const QByteArray& bytes) {
            writeFile(folder + QLatin1Char('/') + name, bytes);
            return folder + QLatin1Char('/') + name;
        };
        QTest::newRow("AVI") << file(QStringLiteral("harbour_movie.avi"), readAll(EditorHarness::video().path))
                             << "an AVI video";
        fixtures::writePatternJpeg(folder + QStringLiteral("/picture.jpg"), 5);
        QTest::newRow("JPEG") << folder + QStringLiteral("/picture.jpg") << "a JPEG picture";
        QImage png(40, 30, QImage::Format_RGB32);
        png.fill(Qt::red);
        png.save(folder + QStringLiteral("/picture.png"));
        QTest::newRow("PNG") << folder + QStringLiteral("/picture.png") << "a PNG picture";
        QTest::newRow("MPEG") << file(QStringLiteral("menu.vob"), QByteArray("\x00\x00\x01\xBA\x44", 5) + kMenuHead)
                              << "an MPEG video";
        QTest::newRow("empty") << file(QStringLiteral("empty.ini"), {}) << "";
        QByteArray binary(3000, 'x');
        binary[1500] = '\0';
        binary.replace(100, 6, "[MAIN]");
        QTest::newRow("binary with a [MAIN]") << file(QStringLiteral("data.bin"), binary) << "binary data";
        QByteArray utf16 = "\xFF\xFE";
        for (char c : kMenuHead)
            utf16 += QByteArray(1, c) + '\0';
        QTest::newRow("UTF-16 menu text") << file(QStringLiteral("wide.ini"), utf16) << "UTF-16 text";
        QTest::newRow("another program's INI")
            << file(QStringLiteral("settings.ini"), "[General]\r\nTitle=Film\r\n[Window]\r\nTop=0\r\n") << "";
        QTest::newRow("a folder") << folder + QStringLiteral("/a folder.ini") << "";
    }

    void whatIsNoMenuFileLeavesTheMenuAlone()
    {
        QFETCH(QString, path);
        QFETCH(QString, looksLike);
        const QString menu = menuFolder(QStringLiteral("open")) + QStringLiteral("/menu.ini");
        writeFile(menu, kMenuHead + kEdgeValues);
        h.start(false);
        QVERIFY(h.main().OpenProject(menu));
        h.edits().setMovieText(&MovieData::title, QStringLiteral("Typed"), "Title");
        h.dialogs.clear();
        QUndoStack& stack = h.edits().stack();
        const QString caption = h.main().caption();
        const QByteArray project = wouldSave();
        const QStringList recent = h.main().recentFiles();
        const QByteArray fileBefore = readAll(path);

        QVERIFY(!h.main().OpenProject(path));
        const QString name = QFileInfo(path).fileName();
        QCOMPARE(h.dialogs.messages().constLast().text, name + " is not a menu file; the open menu stays as it was");
        QCOMPARE(h.main().caption(), caption);
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(menu));
        QCOMPARE(wouldSave(), project);
        QCOMPARE(stack.count(), 1);
        QCOMPARE(h.main().undoAction()->text(), QString("Undo Title"));
        QCOMPARE(h.main().recentFiles(), recent);
        QCOMPARE(h.pages().pageCount(), 4);

        // Save writes the menu's own file; Save as onto a video or a picture is refused.
        QVERIFY(h.main().SaveProject(false));
        QCOMPARE(readAll(menu), project);
        if (!looksLike.isEmpty()) {
            h.dialogs.clear();
            h.dialogs.queueAnswer(path);
            QVERIFY(!h.main().SaveProject(true));
            QCOMPARE(h.dialogs.messages().value(0).text,
                     name + " is not a menu file (it looks like " + looksLike + "); choose another name with Save as");
            QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(menu));
        }
        QCOMPARE(readAll(path), fileBefore);
    }

    // Add takes what the author chose in the fields, also the end and the default selection that
    // only Modify used to take.
    void addTakesEveryChosenField()
    {
        h.start();
        h.addPage("1", "Main");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        h.draw(QPoint(50, 10), QPoint(90, 40));
        h.addPage("2", "Other");
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        h.pages().cbDefaultSelection->setCurrentIndex(2);
        h.pages().cbJumpAtEnd->setCurrentIndex(1);
        h.pages().edPictureDuration->setText(QStringLiteral("7"));
        h.dialogs.clear();
        const Page* added = h.addPage("3", "New");
        QCOMPARE(added->jumpAtEnd, 2);
        QCOMPARE(added->pictureDuration, 7);
        QCOMPARE(added->defaultSelection, 2);
        QCOMPARE(h.dialogs.questions(), QStringList());
    }

    // A video page shows its own frame after a still page, even with the track bar already there: in
    // its thumbnail, when it is shown, and when the undo of its delete brings it back.
    void aVideoPageNeverShowsTheStillBeforeIt()
    {
        const QString menu = menuFolder(QStringLiteral("still")) + QStringLiteral("/menu.ini");
        writeFile(menu, kMenuHead + kEdgeValues);
        h.start(false);
        auto shown = [&] { return fixtures::readFrameNumber(h.main().picture()); };
        // A still page first: the opening's last refresh of the frame display must not cover it.
        const QString stillFirst = QFileInfo(menu).path() + QStringLiteral("/still-first.ini");
        writeFile(stillFirst, kMenuHead + kEdgeValues.mid(kEdgeValues.indexOf("[PAGE=2]")));
        QVERIFY(h.main().OpenProject(stillFirst));
        QCOMPARE(shown(), 777);

        QVERIFY(h.main().OpenProject(menu));
        clickPageRow(1);
        QCOMPARE(shown(), 777);
        clickPageRow(2); // frame 0, where the first page left the track bar
        QCOMPARE(shown(), 0);

        clickPageRow(1);
        h.pages().rbVideo->setChecked(true);
        h.pages().edRange->setText(QStringLiteral("0-3"));
        h.pages().bttAddClick();
        QCOMPARE(fixtures::readFrameNumber(h.pages().currentPage()->thumbnail.value<QImage>()), 0);

        clickPageRow(0);
        h.pages().bttDelClick(); // the still page takes its row and the screen
        QCOMPARE(shown(), 777);
        h.main().undoAction()->trigger();
        QCOMPARE(h.pages().CurrentPageIndex(), 0);
        QCOMPARE(shown(), 0);
        QCOMPARE(h.main().shownShapes().size(), 1);
    }

    // A DVD's VOB as the menu video: the frame buttons step through it exactly both ways, across
    // open groups, and the pages made on it are saved, opened again and shown on their own frames.
    void aVobMenuVideoStepsExactlyAndItsPagesSaveAndReopen()
    {
        const QString folder = corpus.filePath(QStringLiteral("vob"));
        QDir(folder).mkpath(QStringLiteral("menu"));
        fixtures::VideoSpec spec;
        spec.kind = fixtures::VideoKind::Mpeg2Vob;
        spec.width = 320;
        spec.height = 240;
        spec.frames = 60;
        spec.keyInterval = 12;
        spec.bFrames = 2;
        const fixtures::VideoFixture vob = fixtures::writeVideo(folder + QStringLiteral("/menu/intro.vob"), spec);
        const QString menu = folder + QStringLiteral("/menu.ini");
        writeFile(menu, QByteArray(kMenuHead).replace("AVIName=menu.avi", "AVIName=intro.vob"));
        h.start(false);
        QVERIFY(h.main().OpenProject(menu));
        QSlider* trackBar = child<QSlider>(&h.main(), QStringLiteral("VideoTrackBar"));
        QCOMPARE(trackBar->maximum(), vob.frameCount - 1);
        auto shown = [&] { return fixtures::readFrameNumber(h.main().picture()); };
        auto press = [&](const char* button, int times) {
            for (int i = 0; i < times; ++i) {
                QTest::mouseClick(child<QToolButton>(&h.main(), QString::fromLatin1(button)), Qt::LeftButton);
                QCOMPARE(shown(), trackBar->value());
            }
        };
        h.main().setTrackBarPosition(30);
        QCOMPARE(shown(), 30);
        press("bttNextFrame", 5);
        press("bttPrevFrame", 35); // back over three key frames and the B-frames in front of them
        QCOMPARE(trackBar->value(), 0);
        press("bttNextKF", 2);
        QCOMPARE(trackBar->value(), vob.keyFrames.at(2));

        h.addPage(QStringLiteral("1"), QStringLiteral("Intro"), QStringLiteral("13-25"));
        h.draw(QPoint(10, 10), QPoint(80, 50));
        h.addPage(QStringLiteral("2"), QStringLiteral("Chapters"), QStringLiteral("47-59"));
        h.draw(QPoint(100, 100), QPoint(200, 150));
        const QString saved = folder + QStringLiteral("/saved.ini");
        h.dialogs.queueAnswer(saved);
        QVERIFY(h.main().SaveProject(true));
        const QByteArray bytes = readAll(saved);
        QVERIFY(bytes.contains("AVIName=intro.vob"));

        h.stop();
        h.start(false);
        QVERIFY(h.main().OpenProject(saved));
        QCOMPARE(h.pages().pageCount(), 2);
        for (const auto& [row, first] : {std::pair{0, 13}, std::pair{1, 47}}) {
            clickPageRow(row);
            QCOMPARE(shown(), first);
            QCOMPARE(fixtures::readFrameNumber(h.pages().currentPage()->thumbnail.value<QImage>()), first);
            QCOMPARE(h.main().shownShapes().size(), 1);
        }
        QCOMPARE(wouldSave(), bytes);
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    // A message of the reading comes above the progress dialog, where the author can answer it.
    void messagesComeAboveTheOpeningProgress()
    {
        const QString menu = menuFolder(QStringLiteral("progress")) + QStringLiteral("/menu.ini");
        writeFile(menu, kMenuHead + kEdgeValues); // page 4's picture is missing
        h.start(false);
        h.main().setOpenProgressDelay(0);
        QStringList owners;
        h.dialogs.onMessage = [&](const Message&) {
            owners << h.dialogs.shownMessages().constLast().owner->objectName();
        };
        QVERIFY(h.main().OpenProject(menu));
        QCOMPARE(owners, QStringList{"OpenProgress"});
        QVERIFY(!h.main().findChild<QWidget*>(QStringLiteral("OpenProgress")));
    }
};

QTEST_MAIN(TestOpenShow)
#include "test_openshow.moc"
