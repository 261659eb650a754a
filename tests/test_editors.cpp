// The page window and the selection list as the author uses them: adding, modifying and deleting
// pages, the range field, the enabling rules, the end behaviour, browsing for a picture, the advanced
// options, renaming selections in place, and undo from the window.
#include "editorstestutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTreeWidget>
#include <QUndoStack>

#include "document/actiontypes.h"
#include "editors/editorwidgets.h"
#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"

class TestEditors : public QObject
{
    Q_OBJECT

    EditorHarness h;

    QList<int> numbers()
    {
        QList<int> n;
        for (const auto& p : h.project().pages)
            n << p->number;
        return n;
    }

    static QVariantMap membersOf(const Page& p)
    {
        return {{"number", p.number},
                {"name", p.name},
                {"backgroundIsVideo", p.backgroundIsVideo},
                {"pictureFile", p.pictureFile},
                {"selectionAvailable", p.selectionAvailable},
                {"videoLoop", p.videoLoop},
                {"firstFrame", p.firstFrame},
                {"lastFrame", p.lastFrame},
                {"pictureDuration", p.pictureDuration},
                {"jumpAtEnd", p.jumpAtEnd},
                {"prohibitSelectionBefore", p.prohibitSelectionBefore},
                {"prohibitSelectionAfter", p.prohibitSelectionAfter},
                {"defaultSelection", p.defaultSelection},
                {"columnOrdering", p.columnOrdering}};
    }

    // Page 66 "Target", then page 7 "Main" (video, 11-22, prohibit 33 and 44, no loop) with two
    // selections, added through the fields; page 7 is shown.
    Page* addDistinctPage()
    {
        h.addPage("66", "Target");
        TPageViewerForm& p = h.pages();
        p.rbVideo->setChecked(true);
        p.chkVideoLoop->setChecked(false);
        p.chkSelectionAvailable->setChecked(true);
        p.rbRow->setChecked(true);
        p.edProhibitSelBefore->setText("33");
        p.edProhibitSelAfter->setText("44");
        p.edPictureDuration->setText("0");
        Page* page = h.addPage("7", "Main", "11-22");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        h.draw(QPoint(50, 10), QPoint(90, 40));
        return page;
    }

    // Modify with every field changed to a value of its own: a still page, looping, column
    // ordering, jumping to page 66 after 55 seconds, its last selection the default.
    void modifyEveryField()
    {
        TPageViewerForm& p = h.pages();
        p.edPageName->setText("Renamed");
        p.rbStillImage->setChecked(true);
        p.chkVideoLoop->setChecked(true);
        p.edPictureFileName->setText("still.jpg");
        p.edRange->setText("111-222");
        p.edPictureDuration->setText("55");
        p.edProhibitSelBefore->setText("333");
        p.edProhibitSelAfter->setText("444");
        p.rbColumn->setChecked(true);
        for (int i = 0; i < p.cbJumpAtEnd->count(); ++i) {
            if (p.cbJumpAtEnd->pageAt(i) && p.cbJumpAtEnd->pageAt(i)->number == 66)
                p.cbJumpAtEnd->setCurrentIndex(i);
        }
        p.cbDefaultSelection->setCurrentIndex(2);
        p.bttModifyClick();
    }

private slots:
    void cleanup() { h.stop(); }

    void addNumbering_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("number");
        QTest::newRow("empty") << "" << 11;
        QTest::newRow("taken") << "4" << 11;
        QTest::newRow("free") << "7" << 7;
        QTest::newRow("zero") << "0" << 11;
        QTest::newRow("leading blank") << " 8" << 8;
    }

    void addNumbering()
    {
        QFETCH(QString, typed);
        QFETCH(int, number);
        h.start();
        QCOMPARE(h.addPage("", "")->number, 1); // the first page is 1
        h.pages().DeletePage(0);
        h.addPage("4", "Four");
        h.addPage("10", "Ten");
        Page* page = h.addPage(typed, "");
        QCOMPARE(page->number, number);
        QCOMPARE(page->name, QString("Untitled"));
        QVERIFY(h.dialogs.messages().isEmpty());
    }

    void clickingARowShowsItsPage()
    {
        h.start();
        h.addPage("1", "One", "5-9");
        h.addPage("2", "Two", "20-30");
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        QListView* list = h.pages().PageList;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(h.pages().CurrentPageIndex(), 1);
        QCOMPARE(h.pages().edPageName->text(), QString("Two"));
        QTRY_COMPARE(h.main().videoPosText(), QString("20"));
        // The same for a click on a selection entry: its rectangle is picked.
        h.draw(QPoint(10, 10), QPoint(40, 40));
        h.draw(QPoint(50, 10), QPoint(90, 40));
        QTreeWidget* selections = h.selections().SelectionList;
        QTest::mouseClick(selections->viewport(), Qt::LeftButton, {},
                          selections->visualItemRect(selections->topLevelItem(1)).center());
        QCOMPARE(h.main().currentShape(), h.project().pages[1]->selections[1]->shape.data());
    }

    // Add and Modify put every field into its own member, and an undo of Modify gives back all of
    // them; showing the page again puts each member back into its own field.
    void everyFieldLandsInItsOwnMember_data()
    {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariant>("expected");
        const QVariantMap added{{"number", 7}, {"name", "Main"}, {"backgroundIsVideo", true}, {"pictureFile", ""},
                                {"selectionAvailable", true}, {"videoLoop", false}, {"firstFrame", 11},
                                {"lastFrame", 22}, {"pictureDuration", 0}, {"jumpAtEnd", 0},
                                {"prohibitSelectionBefore", 33}, {"prohibitSelectionAfter", 44},
                                {"defaultSelection", 0}, {"columnOrdering", false}};
        const QVariantMap modified{{"number", 7}, {"name", "Renamed"}, {"backgroundIsVideo", false},
                                   {"pictureFile", "still.jpg"}, {"selectionAvailable", true}, {"videoLoop", true},
                                   {"firstFrame", 111}, {"lastFrame", 222}, {"pictureDuration", 55},
                                   {"jumpAtEnd", 66}, {"prohibitSelectionBefore", 333},
                                   {"prohibitSelectionAfter", 444}, {"defaultSelection", 2}, {"columnOrdering", true}};
        for (auto it = added.begin(); it != added.end(); ++it)
            QTest::addRow("Add: %s", qPrintable(it.key())) << false << it.key() << it.value();
        for (auto it = modified.begin(); it != modified.end(); ++it)
            QTest::addRow("Modify: %s", qPrintable(it.key())) << true << it.key() << it.value();
    }

    void everyFieldLandsInItsOwnMember()
    {
        QFETCH(bool, modify);
        QFETCH(QString, member);
        QFETCH(QVariant, expected);
        h.start();
        Page* page = addDistinctPage();
        const QVariantMap added = membersOf(*page);
        if (modify)
            modifyEveryField();
        QCOMPARE(membersOf(*page).value(member), expected);

        TPageViewerForm& p = h.pages();
        const QStringList shown{p.edPageName->text(), p.edRange->text(), p.edProhibitSelBefore->text(),
                                p.edProhibitSelAfter->text(), p.edPictureFileName->text()};
        p.ShowPage(0);
        p.ShowPage(1);
        QCOMPARE((QStringList{p.edPageName->text(), p.edRange->text(), p.edProhibitSelBefore->text(),
                              p.edProhibitSelAfter->text(), p.edPictureFileName->text()}),
                 shown);
        if (modify) {
            QCOMPARE(p.edPictureDuration->text(), QString("55"));
            QCOMPARE(p.cbJumpAtEnd->currentPage()->number, 66);
            QCOMPARE(p.cbDefaultSelection->currentText(), QString("Selection-2"));
            QVERIFY(p.rbStillImage->isChecked() && p.chkVideoLoop->isChecked() && p.rbColumn->isChecked());
            h.edits().stack().undo();
            QCOMPARE(membersOf(*page), added);
        }
    }

    // The default-selection box shows the stored default: "None" for 0 and for a number past the
    // selections, the selection's name otherwise, the last one included.
    void defaultSelectionBox_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << 0 << "None";
        QTest::newRow("first") << 1 << "Selection-1";
        QTest::newRow("last") << 3 << "Selection-3";
        QTest::newRow("past the last") << 4 << "None";
    }

    void defaultSelectionBox()
    {
        QFETCH(int, stored);
        QFETCH(QString, shown);
        h.start();
        Page* page = h.addPage("1", "Main");
        for (int i = 0; i < 3; ++i)
            h.draw(QPoint(10 + 60 * i, 10), QPoint(50 + 60 * i, 50));
        page->defaultSelection = stored;
        h.pages().ShowPage(0);
        QCOMPARE(h.pages().cbDefaultSelection->currentText(), shown);
        QCOMPARE(h.pages().cbDefaultSelection->count(), 4);
    }

    // Edits that change nothing record no step and leave the project unmodified.
    void editsThatChangeNothingRecordNothing_data()
    {
        QTest::addColumn<QString>("edit");
        for (const char* edit : {"modify unchanged", "modify, range refused", "modify, empty name", "move by zero",
                                 "nudge against the edge", "anchor drag back", "rename to the same name",
                                 "same end action", "same action", "paste of no selections"})
            QTest::newRow(edit) << QString::fromLatin1(edit);
    }

    void editsThatChangeNothingRecordNothing()
    {
        QFETCH(QString, edit);
        h.start();
        Page* page = h.addPage("1", "Main", "10-50");
        h.addPage("2", "Empty");
        h.pages().ShowPage(0);
        h.draw(QPoint(0, 20), QPoint(100, 70)); // against the left edge
        RShape* shape = h.main().shownShapes().constFirst();
        h.edits().setActionAtEnd(*page, std::make_unique<MenuAction>(ActPlayMovie, QString()));
        h.edits().insertAction(*page->selections[0], 0, std::make_unique<MenuAction>(ActPlayMovie, QString()));
        h.drag(shape, QPoint(0, 0)); // picks it, with its action loaded into the maker
        h.edits().stack().setClean();
        const int steps = h.edits().stack().count();
        const QByteArray title = h.main().windowTitle().toUtf8();

        TPageViewerForm& p = h.pages();
        if (edit == "modify unchanged") {
            p.bttModifyClick();
        } else if (edit == "modify, range refused") {
            p.edRange->setText("abc");
            p.bttModifyClick();
        } else if (edit == "modify, empty name") {
            p.edPageName->clear();
            p.bttModifyClick();
        } else if (edit == "move by zero") {
            h.drag(shape, QPoint(0, 0));
        } else if (edit == "nudge against the edge") {
            QWidget* canvas = h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas"));
            canvas->setFocus();
            QTest::keyClick(canvas, Qt::Key_Left);
        } else if (edit == "anchor drag back") {
            QTest::mousePress(shape->anchor(7), Qt::LeftButton, {}, QPoint(2, 2));
            QTest::mouseMove(shape->anchor(7), QPoint(9, 9));
            QTest::mouseMove(shape->anchor(7), QPoint(-5, -5));
            QTest::mouseRelease(shape->anchor(7), Qt::LeftButton, {}, QPoint(2, 2));
        } else if (edit == "rename to the same name") {
            h.selections().SelectionListEdited(h.selections().SelectionList->topLevelItem(0));
        } else if (edit == "same end action") {
            p.miSetActionAtEndClick();
        } else if (edit == "same action") {
            h.selections().bttModifyCurrentActionClick();
        } else if (edit == "paste of no selections") {
            p.selectRow(1);
            p.puPLCopySelectionsClick();
            p.selectRow(0);
            p.puPLPasteSelectionsClick();
        }
        QCOMPARE(h.edits().stack().count(), steps);
        QVERIFY(h.edits().stack().isClean());
        QCOMPARE(h.main().windowTitle().toUtf8(), title);
        QCOMPARE(page->selections[0]->area, QString("0,20-100,70"));
    }

    void addRefusesANumberThatIsNoInteger()
    {
        h.start();
        h.addPage("12a", "Bad");
        QVERIFY(h.project().pages.empty());
        QCOMPARE(h.dialogs.messages().value(0).text, QString("'12a' is not a valid integer value"));
    }

    void addTakesTheVideoState()
    {
        h.start();
        Page* page = h.addPage("3", "Main", "25-40");
        QCOMPARE(h.main().videoPosText(), QString("25")); // the workspace moved to the first frame first
        QCOMPARE(fixtures::readFrameNumber(page->thumbnail.value<QImage>()), 25);
        QVERIFY(page->backgroundIsVideo && page->videoLoop && page->selectionAvailable);
        QCOMPARE(page->firstFrame, 25);
        QCOMPARE(page->lastFrame, 40);
        QCOMPARE(TPageViewerForm::PageCaption(*page), QString("3) Main (25-40)"));
        QCOMPARE(h.pages().cbJumpAtEnd->count(), 1);
    }

    void modifyRange_data()
    {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("stored");
        QTest::newRow("not a range keeps it") << "abc" << "10-50";
        QTest::newRow("empty is 0-0") << "" << "0-0";
        QTest::newRow("first only") << "25" << "25-0";
        QTest::newRow("blanks before numbers") << " 5- 9" << "5-9";
    }

    void modifyRange()
    {
        QFETCH(QString, range);
        QFETCH(QString, stored);
        h.start();
        Page* page = h.addPage("2", "Main", "10-50");
        h.pages().edRange->setText(range);
        h.pages().edPageName->clear(); // an empty name keeps the old one
        h.pages().edNumber->setText("99"); // Modify never renumbers
        h.pages().bttModifyClick();
        QCOMPARE(QStringLiteral("%1-%2").arg(page->firstFrame).arg(page->lastFrame), stored);
        QCOMPARE(page->name, QString("Main"));
        QCOMPARE(page->number, 2);
    }

    void modifyStopsAtABadFieldKeepingWhatCameBefore()
    {
        h.start();
        Page* page = h.addPage("2", "Main", "10-50");
        h.pages().edPageName->setText("Renamed");
        h.pages().edPictureDuration->setText("x");
        h.pages().edProhibitSelBefore->setText("7");
        h.pages().bttModifyClick();
        QCOMPARE(page->name, QString("Renamed"));
        QCOMPARE(page->prohibitSelectionBefore, 0);
        QCOMPARE(h.dialogs.messages().value(0).text, QString("'x' is not a valid integer value"));
        h.edits().stack().undo();
        QCOMPARE(page->name, QString("Main"));
    }

    void setFirstAndLastFrame()
    {
        h.start();
        h.main().setTrackBarPosition(30);
        h.pages().edRange->setText("10-50");
        h.pages().bttFirstClick();
        QCOMPARE(h.pages().edRange->text(), QString("30-50"));
        h.pages().bttLastClick();
        QCOMPARE(h.pages().edRange->text(), QString("30-30"));
        h.pages().edRange->setText("abc");
        h.pages().bttFirstClick();
        QCOMPARE(h.pages().edRange->text(), QString("abc"));
    }

    void enablingRules_data()
    {
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QStringList>("enabled");
        const QStringList still{"edPictureFileName", "bttBrowsePicture", "edPictureDuration", "cbJumpAtEnd", "lstActionAtEnd"};
        QTest::newRow("video, loop") << true << true << true
                                     << QStringList{"chkVideoLoop", "edRange", "bttFirst", "bttLast", "edProhibitSelBefore",
                                                    "rbRow", "cbDefaultSelection"};
        QTest::newRow("video, no loop") << true << true << false
                                        << QStringList{"chkVideoLoop", "edRange", "bttFirst", "bttLast", "edProhibitSelBefore",
                                                       "rbRow", "cbDefaultSelection", "cbJumpAtEnd", "lstActionAtEnd"};
        QTest::newRow("video, no selections") << true << false << true
                                              << QStringList{"chkVideoLoop", "edRange", "bttFirst", "bttLast"};
        QTest::newRow("still") << false << true << false << (still + QStringList{"rbRow", "cbDefaultSelection"});
        QTest::newRow("still, no selections") << false << false << false << still;
    }

    void enablingRules()
    {
        QFETCH(bool, video);
        QFETCH(bool, available);
        QFETCH(bool, loop);
        QFETCH(QStringList, enabled);
        h.start(false);
        TPageViewerForm& p = h.pages();
        (video ? p.rbVideo : p.rbStillImage)->setChecked(true);
        p.chkSelectionAvailable->setChecked(available);
        if (video)
            p.chkVideoLoop->setChecked(loop);
        QCOMPARE(p.chkVideoLoop->isChecked(), loop);
        const QStringList all{"chkVideoLoop", "edRange", "bttFirst", "bttLast", "edPictureFileName", "bttBrowsePicture",
                              "edPictureDuration", "cbJumpAtEnd", "lstActionAtEnd", "edProhibitSelBefore",
                              "rbRow", "cbDefaultSelection"};
        for (const QString& name : all)
            QVERIFY2(child<QWidget>(&p, name)->isEnabled() == enabled.contains(name), qPrintable(name));
    }

    void jumpAtEndNamingADeletedPage()
    {
        h.start();
        Page* main = h.addPage("1", "Main");
        h.addPage("2", "Credits");
        main->jumpAtEnd = 2;
        h.pages().ShowPage(0);
        QCOMPARE(h.pages().cbJumpAtEnd->currentPage()->name, QString("Credits"));
        h.pages().DeletePage(1);
        h.pages().ShowPage(0);
        QCOMPARE(h.pages().cbJumpAtEnd->currentIndex(), -1);
        h.pages().bttModifyClick();
        QCOMPARE(main->jumpAtEnd, 2); // kept
    }

    void deleteSelectsTheNextRow_data()
    {
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("selected");
        QTest::newRow("middle") << 3 << 1 << 1;
        QTest::newRow("last") << 3 << 2 << 1;
        QTest::newRow("only") << 1 << 0 << -1;
    }

    void deleteSelectsTheNextRow()
    {
        QFETCH(int, pageCount);
        QFETCH(int, deleted);
        QFETCH(int, selected);
        h.start();
        for (int i = 1; i <= pageCount; ++i)
            h.addPage(QString::number(i), "");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        h.pages().selectRow(deleted);
        h.pages().bttDelClick();
        QCOMPARE(h.pages().selectedRow(), selected);
        QCOMPARE(h.pages().CurrentPageIndex(), selected);
        if (selected < 0) {
            QCOMPARE(h.selections().SelectionList->topLevelItemCount(), 0);
            QVERIFY(h.main().shownShapes().isEmpty());
        }
    }

    void undoOfADeletionBringsThePageBack()
    {
        h.start();
        h.addPage("1", "One");
        Page* two = h.addPage("2", "Two", "20-30");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        two->actionAtEnd = std::make_unique<MenuAction>(3, QStringLiteral("2"));
        const QVariant thumbnail = two->thumbnail;
        h.addPage("3", "Three");
        h.pages().selectRow(1);
        h.pages().bttDelClick();
        QCOMPARE(h.main().undoAction()->text(), QString("Undo Delete page"));
        QVERIFY(h.main().undoAction()->isEnabled());

        h.main().undoAction()->trigger();
        QCOMPARE(numbers(), (QList<int>{1, 2, 3}));
        QCOMPARE(h.project().pages[1].get(), two);
        QCOMPARE(h.pages().currentPage(), two); // the page concerned is shown
        QCOMPARE(h.main().shownShapes().size(), 1);
        QCOMPARE(two->actionAtEnd->parameter, QString("2"));
        QCOMPARE(two->thumbnail, thumbnail);
        QCOMPARE(h.pages().lstActionAtEnd->count(), 1);
        h.main().redoAction()->trigger();
        QCOMPARE(numbers(), (QList<int>{1, 3}));
    }

    // Delete is the same key in the page list, the selection list and on the picture: one undo step
    // that the status line describes, actions included, and that undo takes back whole.
    void deleteFromEachListSaysWhatWent_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("status");
        QTest::newRow("page list") << "pages" << "Deleted page 2) Two with 2 selections (Undo brings it back)";
        QTest::newRow("selection list") << "selections" << "Deleted \"Selection-2\" with its action (Undo brings it back)";
        QTest::newRow("two picked on the picture") << "picture" << "Deleted 2 selections with 1 action (Undo brings it back)";
    }

    void deleteFromEachListSaysWhatWent()
    {
        QFETCH(QString, where);
        QFETCH(QString, status);
        h.start();
        h.addPage("1", "One");
        Page* two = h.addPage("2", "Two", "20-30");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        h.draw(QPoint(60, 10), QPoint(90, 40));
        two->selections[1]->actions.push_back(std::make_unique<MenuAction>(3, QStringLiteral("1")));
        const int steps = h.edits().stack().count();
        const size_t selections = two->selections.size();

        QWidget* list = where == "pages" ? static_cast<QWidget*>(h.pages().PageList)
                      : where == "selections" ? static_cast<QWidget*>(h.selections().SelectionList)
                                              : h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas"));
        if (where == "picture")
            h.main().selectAllShapes();
        list->window()->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), list->window());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Delete);

        QCOMPARE(h.edits().stack().count(), steps + 1);
        QCOMPARE(h.main().statusText(), status);
        if (where == "pages")
            QCOMPARE(h.project().pages.size(), size_t(1));
        else
            QCOMPARE(two->selections.size(), where == "selections" ? selections - 1 : selections - 2);
        h.main().undoAction()->trigger();
        QCOMPARE(h.project().pages.size(), size_t(2));
        QCOMPARE(two->selections.size(), selections);
        QCOMPARE(two->selections[1]->actions.size(), size_t(1));
    }

    void advancedOptionsTwiceRestoreTheHeight()
    {
        h.start(false);
        TPageViewerForm& p = h.pages();
        const int height = p.height();
        const int box = p.OptionsGroupBox->height();
        p.bttShowAdvancedOptClick();
        QCOMPARE(p.bttShowAdvancedOpt->text(), QString(">>"));
        QCOMPARE(p.bttShowAdvancedOpt->toolTip(), QString("Show advanced options"));
        QVERIFY(p.height() < height);
        QVERIFY(!p.cbDefaultSelection->isVisible());
        p.bttShowAdvancedOptClick();
        QCOMPARE(p.height(), height);
        QCOMPARE(p.bttShowAdvancedOpt->text(), QString("<<"));
        QTRY_COMPARE(p.OptionsGroupBox->height(), box);
    }

    void browsePicture_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("in the menu folder") << "menu/title.jpg" << true;
        QTest::newRow("in a subfolder of it") << "menu/stills/title.jpg" << true;
        QTest::newRow("outside") << "other/title.jpg" << false;
    }

    void browsePicture()
    {
        QFETCH(QString, relative);
        QFETCH(bool, accepted);
        QTemporaryDir base;
        QDir(base.path()).mkpath(QFileInfo(relative).path());
        const QString file = base.filePath(relative);
        fixtures::writePatternJpeg(file, 9, 200, 150);
        h.start(false);
        h.project().baseDirectory = QDir::toNativeSeparators(base.path()) + QDir::separator();
        h.project().movieData.menuDirectory = QStringLiteral("menu");
        h.pages().rbStillImage->setChecked(true);
        h.pages().edPageName->setText("typed");
        h.dialogs.queueAnswer(file);
        h.pages().bttBrowsePictureClick();
        QCOMPARE(h.dialogs.requests().value(0).options.filter, QString("JPG Pictures files (*.jpg)|*.JPG"));
        if (!accepted) {
            QCOMPARE(h.dialogs.messages().value(0).text, QString("The picture file must be in the menu directory."));
            QCOMPARE(h.dialogs.messages().value(0).caption, QString("Error"));
            QCOMPARE(h.pages().edPictureFileName->text(), QString());
            return;
        }
        QCOMPARE(h.pages().edPictureFileName->text(), QString("title.jpg"));
        QCOMPARE(h.pages().edPageName->text(), QString("title"));
        QCOMPARE(h.project().movieData.menuSize, QString("200,150"));
        QCOMPARE(fixtures::readFrameNumber(h.main().picture()), 9);
        // Undo takes the menu size back.
        h.edits().stack().undo();
        QCOMPARE(h.project().movieData.menuSize, QString());
    }

    void unreadablePictureStillShowsThePage()
    {
        QTemporaryDir base;
        QDir(base.path()).mkpath("menu");
        fixtures::writeDamagedJpeg(base.filePath("menu/bad.jpg"), fixtures::JpegDamage::NotJpeg);
        h.start(false);
        h.project().baseDirectory = QDir::toNativeSeparators(base.path()) + QDir::separator();
        h.project().movieData.menuDirectory = QStringLiteral("menu");
        auto page = std::make_unique<Page>(5, QStringLiteral("Still"));
        page->pictureFile = QStringLiteral("bad.jpg");
        page->pictureDuration = 8;
        page->addSelection(std::make_unique<Selection>(QStringLiteral("Back"), QStringLiteral("1,1-20,20")));
        h.edits().insertPage(0, std::move(page));
        h.pages().ShowPage(0);
        QCOMPARE(h.dialogs.messages().size(), 1);
        QCOMPARE(h.pages().edPictureDuration->text(), QString("8"));
        QVERIFY(h.pages().rbStillImage->isChecked());
        QCOMPARE(h.selections().SelectionList->topLevelItemCount(), 1);
    }

    void renamingInPlace()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 10), QPoint(40, 40));
        h.draw(QPoint(50, 10), QPoint(90, 40));
        QTreeWidget* list = h.selections().SelectionList;
        QTreeWidgetItem* second = list->topLevelItem(1);
        list->setCurrentItem(second);
        QCOMPARE(h.main().currentShape(), page->selections[1]->shape.data()); // choosing picks the rectangle
        second->setText(0, "Next");                                           // as the in-place editor commits
        QCOMPARE(page->selections[1]->name, QString("Next"));
        QCOMPARE(h.pages().cbDefaultSelection->itemText(2), QString("Next"));
        h.edits().stack().undo();
        QCOMPARE(page->selections[1]->name, QString("Selection-2"));
        QCOMPARE(h.selections().SelectionList->topLevelItem(1)->text(0), QString("Selection-2"));
    }
};

QTEST_MAIN(TestEditors)
#include "test_editors.moc"
