// The document commands end to end: New, Movie Data, Open, Save and Save as from the main window,
// page navigation, and the modified mark that tells the author there is work to save.
#include "editorstestutil.h"
#include "filetestutil.h"
#include "savefailtestutil.h"

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

// A small menu that opens without a message; its title is what the tests change.
const QByteArray kSmallMenu = "[Vireo Ini File]\r\n\r\n[MAIN]\r\nTitle=Film\r\nID=F1\r\n\r\n[MOVIE]\r\n"
                              "Directory=.\r\nAVIName=film.avi\r\n\r\n";

// Three pages, in which `stop` makes the reading stop at the second one.
QByteArray threePagesStoppingAt(const QByteArray& stop)
{
    QByteArray pages;
    for (int n = 1; n <= 3; ++n) {
        pages += "[PAGE=" + QByteArray::number(n) + "]\t\t;P" + QByteArray::number(n) +
                 "\r\n\tBackgroundMode=2\r\n\tPictureFile=p.jpg\r\n";
        pages += n == 2 ? stop : QByteArray("\tPictureDuration=5\r\n");
        pages += "\tSelectionAvailable=0\r\n\r\n";
    }
    return pages;
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
        // The extension the filter shows, in its case.
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(target + ".ini"));
        QVERIFY(QFile::exists(target + ".ini"));
        QVERIFY(!h.main().isModified());
        QCOMPARE(h.main().caption(), QString("VRPL VazoVevoz - ") + QDir::toNativeSeparators(target + ".ini"));
        h.addPage("2", "More");
        h.main().miMMSaveINIClick(); // no second question
        QCOMPARE(h.dialogs.requests().size(), 1);
        QVERIFY(readAll(target + ".ini").contains("[PAGE=2]"));
    }

    // A Save as that fails, by a check or in a folder that refuses the file, leaves the project under
    // its earlier name: the next Save and the question before quitting name the file it came from.
    void aFailedSaveAsKeepsTheEarlierName_data()
    {
        QTest::addColumn<bool>("readOnlyFolder"); // else the save check refuses
        QTest::newRow("a save check") << false;
        if (::geteuid() != 0) // root writes into any folder
            QTest::newRow("a read-only folder") << true;
    }

    void aFailedSaveAsKeepsTheEarlierName()
    {
        QFETCH(bool, readOnlyFolder);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("menu.ini"));
        writeFile(path, readOnlyFolder ? kSmallMenu : kSmallMenu.left(kSmallMenu.indexOf("AVIName")));
        h.start(false);
        QVERIFY(h.main().OpenProject(path));
        h.edits().setMovieText(&MovieData::title, QStringLiteral("Changed"), "Title");
        QDir(dir.path()).mkdir(QStringLiteral("locked"));
        const QString target = dir.filePath(QStringLiteral("locked/other.ini"));
        QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        h.dialogs.queueAnswer(target);
        QVERIFY(!h.main().SaveProject(true));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(path));
        QCOMPARE(h.main().caption(), "VRPL VazoVevoz - " + QDir::toNativeSeparators(path) + "*");
        h.main().maybeSave(); // the scripted answer: Cancel
        QCOMPARE(h.dialogs.questions(), QStringList{"Save changes to menu.ini?"});
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
        // A copy among links to its files, so that the menu video and pictures are found; never in
        // the source folder, which other tests read at the same time.
        const QDir source = QFileInfo(file).absoluteDir();
        for (const QString& entry : source.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            QVERIFY(QFile::link(source.filePath(entry), dir.filePath(entry)));
        const QString copy = dir.filePath(QStringLiteral("roundtrip-copy.ini"));
        QVERIFY(QFile::copy(file, copy));
        h.start(false);
        QVERIFY(h.main().OpenProject(copy));
        QVERIFY(h.main().SaveProject(false));
        QCOMPARE(readAll(copy), readAll(file));
    }

    // A file system that refuses the file: whatever way the project is written, the old file stays
    // byte for byte, the author reads the file system's own words, and the work still counts as unsaved.
    void aRefusedWriteLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("fullDisk"); // else a file-size limit
        // "unchanged": the file under the new name does not hold the project, so it must count as unsaved.
        for (const char* way : {"Save", "Save as", "Save as, unchanged", "Save changes? Save", "autosave"}) {
            QTest::addRow("%s, full disk", way) << way << true;
            QTest::addRow("%s, file-size limit", way) << way << false;
        }
    }

    void aRefusedWriteLeavesTheOldFile()
    {
        QFETCH(QString, way);
        QFETCH(bool, fullDisk);
        SmallDisk disk;
        if (fullDisk && !disk.ok())
            QSKIP(qPrintable(disk.whyNot()));
        QTemporaryDir dir;
        auto at = [&](const QString& name) { return fullDisk ? disk.filePath(name) : dir.filePath(name); };
        const QString path = at(QStringLiteral("menu.ini"));
        writeFile(path, kSmallMenu);
        h.start(false);
        QVERIFY(h.main().OpenProject(path));
        h.main().setModalRunner([](QDialog&) { return int(QDialog::Rejected); });
        if (way != "Save as, unchanged")
            h.edits().setMovieText(&MovieData::title, QStringLiteral("Changed with a title long enough"), "Title");
        QString target = path;
        if (way.startsWith("Save as")) {
            target = at(QStringLiteral("other.ini"));
            writeFile(target, "the other file\r\n");
        } else if (way == "autosave") {
            h.main().startAutosave(at(QString()));
            h.main().autosave(); // written while there is room
            target = h.main().autosavePath();
            QVERIFY(QFileInfo::exists(target));
            h.edits().setMovieText(&MovieData::title, QStringLiteral("Changed again"), "Title");
        }
        const QByteArray before = readAll(target);
        if (fullDisk)
            QVERIFY(disk.fill());

        auto attempt = [&]() -> QByteArray {
            if (way == "Save") {
                h.main().miMMSaveINIClick();
            } else if (way.startsWith("Save as")) {
                h.dialogs.queueAnswer(target);
                h.main().miMMSaveasINIClick();
            } else if (way == "Save changes? Save") {
                h.dialogs.queueChoice(DialogService::Choice::Save);
                h.main().miNewClick(); // stops: the work was not saved
            } else {
                h.main().autosave();
            }
            QStringList seen;
            for (const Message& m : h.dialogs.messages())
                seen << m.caption + ": " + m.text;
            seen << (h.main().isModified() ? "modified" : "clean") << h.main().caption() << h.main().statusText();
            return seen.join('\n').toUtf8();
        };
        bool childFailed = false;
        const QString seen = QString::fromUtf8(fullDisk ? attempt() : inChildWithFileSizeLimit(attempt, &childFailed));
        QVERIFY(!childFailed);
        QCOMPARE(readAll(target), before);
        const QString error = fullDisk ? QStringLiteral("No space left on device") : QStringLiteral("File too large");
        const QString told = "Cannot write the file " + QDir::toNativeSeparators(target) + ": " + error +
                             ". The file was left as it was.";
        const QStringList lines = seen.split('\n');
        QCOMPARE(lines.size(), 4);
        if (way == "autosave") // the recovery file or the note beside it
            QVERIFY2(lines.value(0).startsWith("Warning: Your unsaved work could not be kept safe in the recovery file. "
                                               "Cannot write the file " + QFileInfo(target).path()) &&
                         lines.value(0).endsWith(": " + error + ". The file was left as it was."),
                     qPrintable(lines.value(0)));
        else
            QCOMPARE(lines.value(0), "Error: " + told);
        // Unchanged work saved as under another name that failed: still the file it came from.
        const bool unchanged = way == "Save as, unchanged";
        QCOMPARE(lines.value(1), QString(unchanged ? "clean" : "modified"));
        QCOMPARE(lines.value(2).endsWith('*'), !unchanged);
        if (way.startsWith("Save as"))
            QCOMPARE(lines.value(2), "VRPL VazoVevoz - " + QDir::toNativeSeparators(path) + (unchanged ? "" : "*"));
        QVERIFY2(!lines.value(3).startsWith("Saved"), qPrintable(lines.value(3)));
        if (way == "Save changes? Save" && fullDisk)
            QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(path)); // New did not go on
    }

    // A file read only in part is never saved over without a question; what was read stays.
    void anIncompleteOpenAsksBeforeSavingOverTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("pagesRead");
        QTest::addColumn<QString>("answer"); // "Cancel", "Save anyway", "Save as", "" (Save as to another file)
        const QByteArray conversion = kSmallMenu + threePagesStoppingAt("\tPictureDuration=soon\r\n");
        const QByteArray syntax = kSmallMenu + threePagesStoppingAt("\tVideoLoop=x\r\n\tPictureDuration=5\r\n");
        QByteArray missingKey = kSmallMenu;
        missingKey.replace("ID=F1\r\n", "");
        for (const char* answer : {"Cancel", "Save anyway", "Save as"})
            QTest::addRow("conversion error, %s", answer) << conversion << 1 << answer;
        QTest::newRow("syntax error, Save anyway") << syntax << 3 << "Save anyway";
        QTest::newRow("missing key, Cancel") << missingKey << 0 << "Cancel";
        QTest::newRow("conversion error, Save as to another file") << conversion << 1 << "";
    }

    void anIncompleteOpenAsksBeforeSavingOverTheFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, pagesRead);
        QFETCH(QString, answer);
        using Choice = DialogService::Choice;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("half.ini"));
        const QString other = dir.filePath(QStringLiteral("other.ini"));
        writeFile(path, file);
        h.start(false);
        h.main().OpenProject(path);
        QVERIFY(!h.dialogs.messages().isEmpty());
        // What was read stays, under the file's name, and counts as unsaved.
        QCOMPARE(int(h.project().pages.size()), pagesRead);
        QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(path));
        QVERIFY(h.main().isModified());
        QVERIFY(h.main().caption().endsWith('*'));
        if (pagesRead == 0) // a missing key stops before the movie file: make the project savable
            h.project().movieData.id = QStringLiteral("F1");
        h.dialogs.clear();

        if (answer.isEmpty()) {
            h.dialogs.queueAnswer(other);
            QVERIFY(h.main().SaveProject(true));
        } else {
            h.dialogs.queueChoice(answer == "Cancel" ? Choice::Cancel
                                  : answer == "Save as" ? Choice::SaveAs : Choice::SaveAnyway);
            h.dialogs.queueAnswer(other); // for Save as
            QCOMPARE(h.main().SaveProject(false), answer != "Cancel");
            QCOMPARE(h.dialogs.questions(),
                     QStringList{QStringLiteral("half.ini was not read completely: saving now writes only what "
                                                "was read (%1 pages). Save anyway?").arg(pagesRead)});
            QCOMPARE(h.dialogs.questionButtons().value(0), (QList<Choice>{Choice::SaveAs, Choice::SaveAnyway, Choice::Cancel}));
        }
        const bool overwritten = answer == "Save anyway";
        QCOMPARE(readAll(path) == file, !overwritten);
        QCOMPARE(QFileInfo::exists(other), answer.isEmpty() || answer == "Save as");
        QCOMPARE(h.main().isModified(), answer == "Cancel");
        // Once answered by saving, the question does not come again.
        h.dialogs.clear();
        if (answer != "Cancel") {
            QVERIFY(h.main().SaveProject(false));
            QCOMPARE(h.dialogs.questions(), QStringList());
        }
    }

    // "Save changes?" answered Save on a project that has no file yet asks for one; cancelling that
    // dialog cancels the command that asked.
    void savingChangesOfANewProjectAsksForAName_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("named");
        for (const char* way : {"New", "Open", "close the window"}) {
            QTest::addRow("%s, named", way) << way << true;
            QTest::addRow("%s, file dialog cancelled", way) << way << false;
        }
    }

    void savingChangesOfANewProjectAsksForAName()
    {
        QFETCH(QString, way);
        QFETCH(bool, named);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("new.ini"));
        h.start(false);
        h.main().setModalRunner([](QDialog&) { return int(QDialog::Rejected); });
        h.project().movieData.aviName = QStringLiteral("film.avi");
        h.addPage("1", "Main");
        QVERIFY(h.main().isModified());
        QCOMPARE(h.main().documentName(), kNewFileName);
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir.path()); // where a file named after "New File" would land
        h.dialogs.queueChoice(DialogService::Choice::Save);
        h.dialogs.queueAnswer(named ? target : QString());
        if (way == "New")
            h.main().miNewClick();
        else if (way == "Open")
            h.main().miMMOpenINIClick(); // the open dialog then gets no answer: cancelled
        else
            h.main().close();
        QDir::setCurrent(cwd);
        QCOMPARE(h.dialogs.requests().value(0).kind, ScriptedDialogService::Kind::SaveFile);
        QCOMPARE(QFileInfo::exists(target), named);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), named ? QStringList{"new.ini"} : QStringList());
        // Cancelled: the project is still there, unsaved; named: saved and the command went on.
        QCOMPARE(h.main().isModified(), !named);
        QCOMPARE(h.main().isVisible(), !(named && way == "close the window"));
        if (way == "Open")
            QCOMPARE(h.dialogs.requests().size(), named ? 2 : 1);
        if (way == "New")
            QCOMPARE(h.project().pages.size(), named ? size_t(0) : size_t(1));
    }

    void pageNavigation_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("to");
        QTest::newRow("previous from the last") << 3 << "miGotoPreviousPage" << 2;
        QTest::newRow("previous from the middle") << 1 << "miGotoPreviousPage" << 0;
        QTest::newRow("previous from the first stays") << 0 << "miGotoPreviousPage" << 0;
        QTest::newRow("previous without a row") << -1 << "miGotoPreviousPage" << 0;
        QTest::newRow("next from the first") << 0 << "miGotoNextPage" << 1;
        QTest::newRow("next from the middle") << 2 << "miGotoNextPage" << 3;
        QTest::newRow("next from the last wraps") << 3 << "miGotoNextPage" << 0;
        QTest::newRow("next without a row") << -1 << "miGotoNextPage" << 0;
    }

    void pageNavigation()
    {
        QFETCH(int, from);
        QFETCH(QString, command);
        QFETCH(int, to);
        h.start();
        for (int i = 0; i < 4; ++i)
            h.addPage(QString::number(i + 1), "", QStringLiteral("%1-%2").arg(i * 10).arg(i * 10 + 5));
        h.main().setPageMenuEnabled(true);
        h.pages().selectRow(from);
        child<QAction>(&h.main(), command)->trigger();
        QCOMPARE(h.pages().selectedRow(), to);
        QCOMPARE(h.pages().CurrentPageIndex(), to);
        QTRY_COMPARE(h.main().videoPosText(), QString::number(to * 10)); // the page is shown
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
