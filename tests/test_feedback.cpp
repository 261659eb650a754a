// What the author is told and asked on the way: page values typed but not applied (the Modify button,
// Enter, the question before leaving the page), clicks on the page list that must not lose the page,
// the problem count before there is a project, hints and names of the icon buttons, the titles of the
// file dialogs, the crosshair, renaming and action hints, and the Preview window.
#include "editorstestutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QTreeWidget>
#include <QUndoStack>

#include "check/menucheck.h"
#include "fixtures/jpegfixtures.h"
#include "document/actiontypes.h"
#include "moviedata/moviedataform.h"
#include "workspace/previewform.h"
#include "workspace/problemsform.h"

using Choice = DialogService::Choice;

class TestFeedback : public QObject
{
    Q_OBJECT

    EditorHarness h;

    QListView* list() { return h.pages().PageList; }
    void clickRow(int row)
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(list()->model()->index(row, 0)).center());
    }
    // Pages 1 (frames 5-9) and 2 (20-30), page 1 shown, its name field holding "Typed".
    void twoPagesWithTypedName()
    {
        h.start();
        h.addPage("1", "One", "5-9");
        h.addPage("2", "Two", "20-30");
        clickRow(0);
        QCOMPARE(h.pages().CurrentPageIndex(), 0);
        h.dialogs.clear();
        h.pages().edPageName->setText("Typed");
    }

private slots:
    void cleanup() { h.stop(); }

    // Leaving a page whose fields hold unapplied values asks first, whichever way the author leaves.
    void leavingAPageAsksFirst_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("answer");
        for (const char* way : {"row click", "next page", "down key"}) {
            QTest::addRow("%s, apply", way) << way << int(Choice::Apply);
            QTest::addRow("%s, discard", way) << way << int(Choice::Discard);
            QTest::addRow("%s, cancel", way) << way << int(Choice::Cancel);
        }
    }
    void leavingAPageAsksFirst()
    {
        QFETCH(QString, way);
        QFETCH(int, answer);
        twoPagesWithTypedName();
        h.dialogs.queueChoice(Choice(answer));
        if (way == "row click")
            clickRow(1);
        else if (way == "next page")
            h.main().miGotoNextPageClick();
        else
            QTest::keyClick(list(), Qt::Key_Down);

        QCOMPARE(h.dialogs.questions(), QStringList{"Apply your changes to page 1?"});
        const bool stays = Choice(answer) == Choice::Cancel;
        QCOMPARE(h.pages().CurrentPageIndex(), stays ? 0 : 1);
        QCOMPARE(h.pages().selectedRow(), stays ? 0 : 1);
        QCOMPARE(h.project().pages[0]->name, QString(Choice(answer) == Choice::Apply ? "Typed" : "One"));
        QCOMPARE(h.pages().edPageName->text(), QString(stays ? "Typed" : "Two"));
        if (stays)
            return;
        // Nothing typed, nothing asked.
        h.dialogs.clear();
        h.main().miGotoNextPageClick();
        QVERIFY(h.dialogs.questions().isEmpty());
    }

    // New asks about the page first, and the save question follows only when the author goes on.
    void newAsksAboutThePageBeforeTheSave()
    {
        twoPagesWithTypedName();
        h.main().miNewClick(); // an empty queue answers Cancel
        QCOMPARE(h.dialogs.questions(), QStringList{"Apply your changes to page 1?"});
        QCOMPARE(h.pages().pageCount(), 2);
        h.dialogs.queueChoice(Choice::Apply);
        h.main().miNewClick(); // Apply, then Cancel to "Save changes?"
        QCOMPARE(h.dialogs.questions().size(), 3);
        QVERIFY(h.dialogs.questions().last().startsWith("Save changes"));
        QCOMPARE(h.project().pages[0]->name, QString("Typed"));
    }

    // The Modify button says what it would change; Enter in a page field applies like it.
    void enterAppliesAndTheButtonShowsWhatWouldChange_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("change");
        QTest::newRow("name") << "edPageName" << "Name";
        QTest::newRow("range") << "edRange" << "Range";
        QTest::newRow("prohibit after") << "edProhibitSelAfter" << "Prohibit selection";
        QTest::newRow("video loop") << "chkVideoLoop" << "Video loop";
        QTest::newRow("ordering") << "rbColumn" << "Selection ordering";
    }
    void enterAppliesAndTheButtonShowsWhatWouldChange()
    {
        QFETCH(QString, field);
        QFETCH(QString, change);
        twoPagesWithTypedName();
        h.pages().edPageName->setText("One");
        QVERIFY(h.pages().pendingChanges().isEmpty());
        QVERIFY(!h.pages().bttModify->toolTip().contains("Not applied"));
        QWidget* widget = child<QWidget>(&h.pages(), field);
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            edit->setText(field == "edRange" ? "6-8" : field == "edPageName" ? "Renamed" : "7");
        else
            static_cast<QAbstractButton*>(widget)->click();
        QCOMPARE(h.pages().pendingChanges(), QStringList{change});
        QVERIFY(h.pages().bttModify->toolTip().endsWith("Not applied to page 1 yet: " + change));
        const PageProperties before = h.project().pages[0]->properties();

        QTest::keyClick(widget, Qt::Key_Return);
        QVERIFY(!(h.project().pages[0]->properties() == before));
        QVERIFY(h.pages().pendingChanges().isEmpty());
        QCOMPARE(h.edits().stack().count(), 3); // two Adds and this one step
        QVERIFY(h.dialogs.questions().isEmpty());
    }

    // A click beside the rows keeps the shown page selected, so Modify still applies to it.
    void clickBesideTheRowsKeepsThePage()
    {
        twoPagesWithTypedName();
        const QRect last = list()->visualRect(list()->model()->index(1, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(last.center().x(), last.bottom() + 20));
        QCOMPARE(h.pages().selectedRow(), 0);
        QCOMPARE(h.pages().CurrentPageIndex(), 0);
        h.pages().bttModifyClick();
        QCOMPARE(h.project().pages[0]->name, QString("Typed"));
    }

    // A click on the shown row shows its page again, after the question about unapplied values.
    void clickOnTheShownRowShowsItAgain()
    {
        twoPagesWithTypedName();
        h.main().setTrackBarPosition(40);
        h.dialogs.queueChoice(Choice::Discard);
        clickRow(0);
        QCOMPARE(h.dialogs.questions().size(), 1);
        QCOMPARE(h.pages().edPageName->text(), QString("One"));
        QTRY_COMPARE(h.main().videoPosText(), QString("5"));
        QCOMPARE(h.project().pages[0]->name, QString("One"));
    }

    void modifyWithoutAPageSaysWhy()
    {
        h.start();
        h.pages().edPageName->setText("Typed");
        h.pages().bttModify->click();
        QCOMPARE(h.main().statusText(), QString("No page selected: pick a page in the list to modify it"));
        QCOMPARE(h.edits().stack().count(), 0);
    }

    // Before New or Open there is nothing to count, and nothing to double-click.
    void problemCountEmptyUntilAProjectExists()
    {
        h.start(false);
        TProblemsForm& problems = *h.app->problems;
        problems.refresh();
        QVERIFY(problems.problems().empty());
        QCOMPARE(h.main().statusText(), QString());
        h.main().setModalRunner([](QDialog&) { return int(QDialog::Accepted); });
        h.main().miNewClick();
        QTRY_VERIFY(!problems.problems().empty()); // the required movie data is missing
        QCOMPARE(h.main().statusText(), problemCountText(problems.problems()));
    }

    // Hints show over a tool window that is not the active one; icon buttons have names.
    void hintsOnInactiveToolWindows()
    {
        h.start(false);
        h.main().activateWindow();
        QTRY_VERIFY(h.main().isActiveWindow());
        QToolButton* add = h.pages().bttAdd;
        QVERIFY(!h.pages().isActiveWindow());
        QTest::mouseMove(add, add->rect().center());
        QTest::mouseMove(add, add->rect().center() + QPoint(1, 1));
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QString("Add page"));
        QToolTip::hideText();
    }

    void iconButtonsHaveNames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("add") << "bttAdd" << "Add page";
        QTest::newRow("delete") << "bttDel" << "Delete page";
        QTest::newRow("modify") << "bttModify" << "Modify page";
        QTest::newRow("first") << "bttFirst" << "Set page first frame";
        QTest::newRow("last") << "bttLast" << "Set page last frame";
        QTest::newRow("browse") << "bttBrowsePicture" << "Choose the page picture";
        QTest::newRow("advanced") << "bttShowAdvancedOpt" << "Hide advanced options";
        QTest::newRow("main window") << "bttNextKF" << "";
    }
    void iconButtonsHaveNames()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        h.start(false);
        QWidget* window = name.isEmpty() ? static_cast<QWidget*>(&h.main()) : &h.pages();
        auto* b = child<QAbstractButton>(window, button);
        QCOMPARE(b->accessibleName(), name.isEmpty() ? b->toolTip() : name);
        QVERIFY(!b->accessibleDescription().isEmpty());
        QCOMPARE(b->accessibleDescription(), b->toolTip());
        QVERIFY(window->testAttribute(Qt::WA_AlwaysShowToolTips) || window == &h.main());
    }

    // Every file dialog says what it chooses.
    void fileDialogsNameTheirPurpose_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::newRow("open") << "open" << "Open menu file";
        QTest::newRow("save as") << "save as" << "Save menu file as";
        QTest::newRow("page picture") << "bttBrowsePicture" << "Choose the page picture";
        QTest::newRow("CD 1") << "bttAVI1" << "Choose the CD 1 movie file";
        QTest::newRow("CD 3") << "bttAVI3" << "Choose the CD 3 movie file";
        QTest::newRow("menu video") << "bttBrowseMenuAVI" << "Choose the menu video";
    }
    void fileDialogsNameTheirPurpose()
    {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        h.start(false);
        if (command == "open")
            h.main().miMMOpenINIClick();
        else if (command == "save as")
            h.main().SaveProject(true);
        else if (command == "bttBrowsePicture")
            h.pages().bttBrowsePictureClick();
        else
            child<QPushButton>(h.main().movieDataForm(), command)->click();
        QCOMPARE(h.dialogs.requests().size(), 1);
        QCOMPARE(h.dialogs.requests().first().options.caption, caption);
        // The base directory is chosen with its button only, and the field shows it.
        auto* base = child<QLineEdit>(h.main().movieDataForm(), "edBaseDirectory");
        QVERIFY(base->isReadOnly());
        QVERIFY(!base->placeholderText().isEmpty());
    }

    // The crosshair goes with the pointer when it leaves the picture and comes back with it.
    void crosshairLeavesWithThePointer()
    {
        h.start();
        QTest::mouseMove(h.picture(), QPoint(100, 60));
        QTRY_VERIFY(h.main().crosshairLine(0)->isVisible());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(h.picture(), &leave);
        for (int i = 0; i < 4; ++i)
            QVERIFY(!h.main().crosshairLine(i)->isVisible());
        QEnterEvent enter(QPointF(150, 100), h.picture()->mapTo(h.picture()->window(), QPointF(150, 100)),
                          h.picture()->mapToGlobal(QPointF(150, 100)));
        QApplication::sendEvent(h.picture(), &enter);
        QVERIFY(h.main().crosshairLine(0)->isVisible());
        QCOMPARE(h.main().crosshairLine(0)->geometry().top(), h.main().pictureOrigin().y() + 100);
    }

    // A double click on a selection renames it in place, as F2 does.
    void doubleClickRenamesASelection()
    {
        h.start();
        h.addPage("1", "Main");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        QTreeWidget* selections = h.selections().SelectionList;
        const QPoint at = selections->visualItemRect(selections->topLevelItem(0)).center();
        // The first click chooses the entry, the second (a double click) opens the editor.
        QTest::mouseClick(selections->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(selections->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(selections->findChild<QLineEdit*>() && selections->findChild<QLineEdit*>()->isVisible());
    }

    // An action text cut off by the narrow list shows whole in its hint.
    void clippedActionTextShowsInAHint()
    {
        h.start();
        h.addPage("1", "Main");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        Selection& selection = *h.project().pages[0]->selections[0];
        const QString message = QString("A message far longer than the list is wide, ").repeated(3);
        h.edits().insertAction(selection, 0, std::make_unique<MenuAction>(4, message));
        h.selections().SelectSelection(&selection);
        QListWidget* actions = h.selections().ActionsList;
        const QPoint at = actions->visualItemRect(actions->item(0)).center();
        QHelpEvent help(QEvent::ToolTip, at, actions->viewport()->mapToGlobal(at));
        QApplication::sendEvent(actions->viewport(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), ActionText(*selection.actions[0]));
        QToolTip::hideText();
    }

    // The Preview opens wholly on the screen beside the main window, a picture too large for the screen
    // shrunk, and Escape closes it.
    void previewFitsTheScreenAndEscapeClosesIt()
    {
        h.start(false);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("menu"));
        fixtures::writePatternJpeg(dir.filePath("menu/big.jpg"), 1, 1000, 900);
        h.project().baseDirectory = QDir::toNativeSeparators(dir.path() + QLatin1Char('/'));
        h.project().movieData.menuDirectory = "menu";
        h.project().movieData.startPage = "1";
        auto page = std::make_unique<Page>(1, QString("Big"));
        page->pictureFile = "big.jpg";
        h.project().pages.push_back(std::move(page));

        TPreviewForm& preview = *h.app->preview;
        preview.playFromStartPage();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QTRY_VERIFY(preview.pictureScale() < 1.0);
        QCOMPARE(preview.pictureWidget()->width(), qRound(1000 * preview.pictureScale()));
        const QRect screen = h.main().screen()->availableGeometry();
        QVERIFY2(screen.contains(preview.frameGeometry()), "the whole window is on the screen");
        QTest::keyClick(preview.pictureWidget(), Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }
};

QTEST_MAIN(TestFeedback)
#include "test_feedback.moc"
