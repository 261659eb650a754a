// The document commands end to end: New, Movie Data, Open, Save and Save as from the main window,
// page navigation, and the modified mark that tells the author there is work to save.
#include "editorstestutil.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QTreeWidget>
#include <QUndoStack>

#include "editors/editorwidgets.h"
#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"
#include "moviedata/moviedataform.h"
#include "media/videosource.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A menu with a video page, a still-image page and another video page, all files in place.
QString writeMixedMenu(const QTemporaryDir& dir)
{
    QDir(dir.path()).mkpath(QStringLiteral("menu"));
    fixtures::VideoSpec spec;
    spec.frames = 40;
    fixtures::writeVideo(dir.filePath(QStringLiteral("menu/menu.avi")), spec);
    fixtures::writePatternJpeg(dir.filePath(QStringLiteral("menu/still.jpg")), 777);
    const QString path = dir.filePath(QStringLiteral("menu.ini"));
    writeFile(path, "[Vireo Ini File]\r\n\r\n[MAIN]\r\nTitle=Film\r\nID=F1\r\n\r\n[MOVIE]\r\nDirectory=.\r\n"
                    "AVIName=film.avi\r\n\r\n[MENU]\r\nDirectory=menu\r\nAVIName=menu.avi\r\nStartPage=1\r\n"
                    "MenuPage=1\r\n\r\n"
                    "[PAGE=1]\t\t;Main\r\n\tBackgroundMode=1\r\n\tVideoLoop=0\r\n\tVideoRange=12-20\r\n"
                    "\tJumpAtEnd=7\r\n\tSelectionAvailable=1\r\n\tDefaultSelection=1\r\n"
                    "\t[SELECTION=1]\t\t;Play\r\n\t\tArea=10,10-60,40\r\n\t\tAction=2\r\n\t\tParameter=\r\n\r\n"
                    "[PAGE=7]\t\t;Still\r\n\tBackgroundMode=2\r\n\tPictureFile=still.jpg\r\n\tPictureDuration=0\r\n"
                    "\tSelectionAvailable=0\r\n\r\n"
                    "[PAGE=3]\t\t;Late\r\n\tBackgroundMode=1\r\n\tVideoLoop=1\r\n\tVideoRange=33-39\r\n"
                    "\tSelectionAvailable=0\r\n\r\n");
    return path;
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

    EditorHarness h;

    QAction* item(const char* name) { return child<QAction>(&h.main(), QString::fromLatin1(name)); }
    QString shownRows()
    {
        QStringList rows;
        for (int i = 0; i < h.pages().pageCount(); ++i)
            rows << QString::number(h.pages().pageAt(i)->number);
        return rows.join(QLatin1Char(','));
    }

private slots:
    void cleanup() { h.stop(); }

    void newCancelled()
    {
        h.start();
        h.main().setModalRunner([](QDialog&) { return int(QDialog::Rejected); });
        h.main().miNewClick();
        QCOMPARE(h.main().caption(), QString("VRPL VazoVevoz - New File"));
        QVERIFY(!h.main().videoSource().isOpen());
        QVERIFY(!item("miMovieData")->isEnabled() && !item("miMMSaveINI")->isEnabled());
        QVERIFY(!item("miPageAction")->isEnabled());
        const QImage blank = h.main().picture();
        QCOMPARE(blank.pixelColor(5, 5), h.main().palette().color(QPalette::Button));
    }

    void newConfirmed_data()
    {
        QTest::addColumn<bool>("withVideo");
        QTest::newRow("with a menu video") << true;
        QTest::newRow("without") << false;
    }

    void newConfirmed()
    {
        QFETCH(bool, withVideo);
        h.start(false);
        const QFileInfo video(EditorHarness::video().path);
        h.main().setModalRunner([&](QDialog&) {
            h.project().baseDirectory = QDir::toNativeSeparators(video.absolutePath()) + QDir::separator();
            h.project().movieData.menuDirectory = QStringLiteral(".");
            h.project().movieData.menuAVIName = withVideo ? video.fileName() : QString();
            return int(QDialog::Accepted);
        });
        h.main().miNewClick();
        QVERIFY(item("miMovieData")->isEnabled() && item("miMMSaveINI")->isEnabled() && item("miMMSaveasINI")->isEnabled());
        QCOMPARE(item("miPageAction")->isEnabled(), withVideo);
        QCOMPARE(h.main().videoSource().isOpen(), withVideo);
        // What was typed makes the project one to save.
        QVERIFY(h.main().isModified());
        QCOMPARE(h.main().caption(), QString("VRPL VazoVevoz - New File*"));
    }

    void movieDataIsOneUndoStepAndReopensOnlyANewVideo()
    {
        h.start();
        const QFileInfo video(EditorHarness::video().path);
        h.project().baseDirectory = QDir::toNativeSeparators(video.absolutePath()) + QDir::separator();
        h.project().movieData.menuDirectory = QStringLiteral(".");
        h.project().movieData.menuAVIName = video.fileName();
        h.main().setTrackBarPosition(9);
        h.main().setModalRunner([&](QDialog&) {
            h.project().movieData.title = QStringLiteral("Typed");
            return int(QDialog::Accepted);
        });
        h.main().miMovieDataClick(); // the same menu video: not opened again, so the frame stays
        QTRY_COMPARE(h.main().videoPosText(), QString("9"));
        QCOMPARE(h.main().undoAction()->text(), QString("Undo Movie data"));
        h.main().undoAction()->trigger();
        QCOMPARE(h.project().movieData.title, QString());
        h.main().redoAction()->trigger();
        QCOMPARE(h.project().movieData.title, QString("Typed"));
    }

    void pageNavigationWraps()
    {
        h.start();
        for (int i = 1; i <= 3; ++i)
            h.addPage(QString::number(i), "");
        h.main().setPageMenuEnabled(true); // as after New or Open
        h.pages().selectRow(-1);
        item("miGotoNextPage")->trigger();
        QCOMPARE(h.pages().CurrentPageIndex(), 0); // no row: the first
        item("miGotoPreviousPage")->trigger();
        QCOMPARE(h.pages().CurrentPageIndex(), 0); // the first stays
        h.pages().selectRow(2);
        item("miGotoNextPage")->trigger();
        QCOMPARE(h.pages().CurrentPageIndex(), 0); // the last wraps to the first
        item("miGotoPreviousPage")->trigger();
        QCOMPARE(h.pages().CurrentPageIndex(), 0);
    }

    void openShowsTheMenu()
    {
        QTemporaryDir dir;
        const QString path = writeMixedMenu(dir);
        h.start(false);
        h.dialogs.queueAnswer(path);
        item("miMMOpenINI")->trigger();
        QCOMPARE(h.dialogs.requests().value(0).options.filter, QString("VRPL INI files (*.ini;*.vrm)|*.INI;*.VRM"));
        QVERIFY(h.dialogs.messages().isEmpty());
        QCOMPARE(h.main().caption(), QString("VRPL VazoVevoz - ") + QDir::toNativeSeparators(path));
        QVERIFY(item("miMovieData")->isEnabled() && item("miPageAction")->isEnabled() && item("miMMSaveINI")->isEnabled());
        QCOMPARE(shownRows(), QString("1,7,3"));
        // Every thumbnail shows its page's first frame or picture.
        const int expected[3] = {12, 777, 33};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fixtures::readFrameNumber(h.pages().pageAt(i)->thumbnail.value<QImage>()), expected[i]);
        // The first page is shown, with its rectangle, its selection and its jump at end.
        QCOMPARE(h.pages().CurrentPageIndex(), 0);
        QTRY_COMPARE(fixtures::readFrameNumber(h.main().picture()), 12);
        QCOMPARE(h.main().shownShapes().size(), 1);
        QCOMPARE(h.selections().SelectionList->topLevelItemCount(), 1);
        QCOMPARE(h.pages().cbJumpAtEnd->count(), 3);
        QCOMPARE(h.pages().cbJumpAtEnd->currentPage()->name, QString("Still"));
        QVERIFY(!h.main().isModified());
        QVERIFY(h.main().crosshairShown()); // hidden while reading, shown again at the end
        for (int i = 0; i < 4; ++i) // ... but its lines only once the pointer says where
            QVERIFY(!h.main().crosshairLine(i)->isVisible());
    }

    void openStopsAtAMissingKey()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.ini"));
        writeFile(path, "[Vireo Ini File]\r\n[MAIN]\r\nTitle=Film\r\n[MOVIE]\r\nDirectory=.\r\n");
        h.start(false);
        h.dialogs.queueAnswer(path);
        item("miMMOpenINI")->trigger();
        QCOMPARE(h.dialogs.messages().value(0).text, QString("The key [MAIN]->ID is missing. Leaving..."));
        QCOMPARE(h.dialogs.shownMessages().value(0).owner.data(), h.app->pageViewer.get());
        QCOMPARE(h.project().movieData.title, QString("Film")); // what was read stays
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(path));
    }

    void saveAsksForANameOnce()
    {
        QTemporaryDir dir;
        h.start(false);
        h.project().movieData.title = QStringLiteral("Film");
        h.project().movieData.id = QStringLiteral("F1");
        h.project().movieData.movieDirectory = QStringLiteral(".");
        h.project().movieData.aviName = QStringLiteral("film.avi");
        h.addPage("1", "Main");
        QVERIFY(h.main().isModified());
        const QString target = dir.filePath(QStringLiteral("saved"));
        h.dialogs.queueAnswer(target);
        h.main().miMMSaveINIClick();
        QCOMPARE(h.dialogs.requests().value(0).options.filter, QString("VRD menu INI file (*.ini)|*.INI"));
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(target + ".INI"));
        QVERIFY(QFile::exists(target + ".INI"));
        QVERIFY(!h.main().isModified());
        QCOMPARE(h.main().caption(), QString("VRPL VazoVevoz - ") + QDir::toNativeSeparators(target + ".INI"));
        h.addPage("2", "More");
        h.main().miMMSaveINIClick(); // no second question
        QCOMPARE(h.dialogs.requests().size(), 1);
        QVERIFY(readAll(target + ".INI").contains("[PAGE=2]"));
    }

    void aFailedSaveCheckKeepsTheNewName()
    {
        QTemporaryDir dir;
        h.start(false);
        const QString target = dir.filePath(QStringLiteral("menu.ini"));
        h.dialogs.queueAnswer(target);
        QVERIFY(!h.main().SaveProject(true));
        QCOMPARE(h.dialogs.messages().value(0).text, QString("You must have at least 1 video file in your movie."));
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(target));
        QVERIFY(!QFile::exists(target));
    }

    void openThenSaveGivesTheSameBytes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("demo") << QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini");
        QTest::newRow("every optional line") << QStringLiteral(VAZO_SOURCE_DIR "/fuzz/seeds-fuzz_menu/demo-menu.ini");
    }

    void openThenSaveGivesTheSameBytes()
    {
        QFETCH(QString, file);
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QTemporaryDir dir;
        // A copy beside its files, so that the menu video and pictures are found.
        const QString copy = QFileInfo(file).absolutePath() + QStringLiteral("/roundtrip-copy.ini");
        QFile::remove(copy);
        QVERIFY(QFile::copy(file, copy));
        h.start(false);
        QVERIFY(h.main().OpenProject(copy));
        QVERIFY(h.main().SaveProject(false));
        const QByteArray saved = readAll(copy);
        QFile::remove(copy);
        QCOMPARE(saved, readAll(file));
    }

    void editsMarkTheProjectModified()
    {
        QTemporaryDir dir;
        const QString path = writeMixedMenu(dir);
        h.start(false);
        QVERIFY(h.main().OpenProject(path));
        QVERIFY(!h.main().isModified());
        h.draw(QPoint(70, 10), QPoint(100, 40));
        QVERIFY(h.main().isModified());
        QVERIFY(h.main().caption().endsWith(QLatin1Char('*')));
        h.main().undoAction()->trigger();
        QVERIFY(!h.main().isModified());
        // Opening starts a new history.
        QVERIFY(!h.main().undoAction()->isEnabled());
    }
};

QTEST_MAIN(TestDocumentCommands)
#include "test_documentcommands.moc"
