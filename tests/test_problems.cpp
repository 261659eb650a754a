// The Problems window: checked again after the author's edits, a double click that goes to the page,
// the rectangle or the movie data tab of a problem, its place beside the other tool windows, and the
// word a save leaves in the status line.
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "editorstestutil.h"
#include "fixtures/jpegfixtures.h"
#include "media/videosource.h"
#include "moviedata/moviedataform.h"
#include "workspace/problemsform.h"
#include "workspace/previewform.h"
#include "app/aboutform.h"

class TestProblems : public QObject
{
    Q_OBJECT

    EditorHarness h;

    TProblemsForm& problems() { return *h.app->problems; }
    QStringList codes() const
    {
        QStringList out;
        for (const Problem& p : h.app->problems->problems())
            out << p.code;
        return out;
    }
    // The row of the first problem with the code at the place, or -1.
    int rowOf(const QString& code, int pageIndex, int selectionIndex = -1)
    {
        const std::vector<Problem>& list = problems().problems();
        for (size_t i = 0; i < list.size(); ++i) {
            const Problem& p = list[i];
            if (p.code == code && p.where.pageIndex == pageIndex && p.where.selectionIndex == selectionIndex)
                return int(i);
        }
        return -1;
    }
    void doubleClickRow(int row)
    {
        QTreeWidget* list = problems().ProblemList;
        QTreeWidgetItem* item = list->topLevelItem(row);
        QVERIFY(item);
        list->scrollToItem(item);
        const QPoint at = list->visualItemRect(item).center();
        // Qt's test double click is the second click of two.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // Two pages of the 60-frame video; the second has two rectangles without actions, and the first
    // is shown at the end.
    void buildMenu()
    {
        h.start();
        h.main().miWinProblemsClick();
        QVERIFY(QTest::qWaitForWindowExposed(&problems()));
        h.addPage("1", "Menu", "0-10");
        h.addPage("2", "Second", "20-30");
        h.draw(QPoint(10, 10), QPoint(60, 60));
        h.draw(QPoint(100, 100), QPoint(150, 150));
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        QCOMPARE(h.project().pages[1]->selections.size(), size_t(2));
        QTRY_VERIFY(rowOf("selection-without-actions", 1, 1) >= 0);
    }

private slots:
    void cleanup() { h.stop(); }

    // Each edit is followed by a check of its own, without anyone asking for one.
    void checkedAfterEdit_data()
    {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("listed");
        QTest::newRow("range beyond the video") << "50-70" << "video-range-outside" << true;
        QTest::newRow("range inside the video") << "50-59" << "video-range-outside" << false;
        QTest::newRow("range reversed") << "30-20" << "video-range-reversed" << true;
    }
    void checkedAfterEdit()
    {
        QFETCH(QString, range);
        QFETCH(QString, code);
        QFETCH(bool, listed);
        h.start();
        h.addPage("1", "Menu", "0-10");
        QTRY_VERIFY(!problems().checkPending());
        QVERIFY(!codes().contains(code));
        const QString countBefore = h.main().statusText();

        h.pages().edRange->setText(range);
        h.pages().bttModifyClick();
        QVERIFY(problems().checkPending()); // the check waits for the edits to pause
        QTRY_VERIFY(!problems().checkPending());
        QCOMPARE(codes().contains(code), listed);
        QCOMPARE(problems().ProblemList->topLevelItemCount(), int(problems().problems().size()));
        // The status line counts as the check words it.
        QCOMPARE(h.main().statusText(), problemCountText(problems().problems()));
        if (listed)
            QVERIFY(h.main().statusText() != countBefore);

        // Undoing the edit is an edit too.
        h.main().undoAction()->trigger();
        QTRY_VERIFY(!problems().checkPending());
        QVERIFY(!codes().contains(code));
    }

    // A double click shows the problem's page and picks its selection, the rectangle on the picture
    // with it.
    void doubleClickGoesToPageAndRectangle_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("pageIndex");
        QTest::addColumn<int>("selectionIndex");
        QTest::newRow("second rectangle") << "selection-without-actions" << 1 << 1;
        QTest::newRow("first rectangle") << "selection-without-actions" << 1 << 0;
        QTest::newRow("page") << "selections-not-defined" << 0 << -1;
    }
    void doubleClickGoesToPageAndRectangle()
    {
        QFETCH(QString, code);
        QFETCH(int, pageIndex);
        QFETCH(int, selectionIndex);
        buildMenu();
        const int row = rowOf(code, pageIndex, selectionIndex);
        QVERIFY2(row >= 0, qPrintable(codes().join(QLatin1Char(' '))));
        const int other = pageIndex == 0 ? 1 : 0;
        h.pages().ShowPage(other);
        QCOMPARE(h.pages().CurrentPageIndex(), other);

        doubleClickRow(row);
        QCOMPARE(h.pages().CurrentPageIndex(), pageIndex);
        QCOMPARE(h.pages().selectedRow(), pageIndex);
        Page& page = *h.project().pages[size_t(pageIndex)];
        QCOMPARE(h.selections().listedPage(), &page);
        if (selectionIndex < 0) {
            QVERIFY(!h.main().currentShape());
            return;
        }
        Selection* selection = page.selections[size_t(selectionIndex)].get();
        QCOMPARE(h.selections().chosenSelection(), selection);
        QVERIFY(h.main().currentShape());
        QCOMPARE(static_cast<QObject*>(h.main().currentShape()), selection->shape.data());
    }

    // A row whose page was deleted since the check leads nowhere, until the list catches up.
    void rowOfDeletedPage()
    {
        buildMenu();
        const int row = rowOf("selection-without-actions", 1, 1);
        h.edits().deletePage(1);
        doubleClickRow(row);
        QCOMPARE(h.pages().CurrentPageIndex(), 0);
        QTRY_COMPARE(rowOf("selection-without-actions", 1, 1), -1);
    }

    // A problem of the movie data opens its dialog on the tab of the field, on the entry's row.
    void doubleClickOpensMovieData_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("fieldName");
        QTest::addColumn<QString>("fieldText");
        QTest::addColumn<QString>("focused"); // the field that has the keyboard, not a button
        QTest::newRow("chapter out of order") << "chapter-order" << 2 << "edFirstChapterFrame" << "50"
                                              << "edFirstChapterFrame";
        QTest::newRow("start page missing") << "menu-page-missing" << 3 << "edMenuDirectory" << "menu"
                                            << "edMenuStartPage";
        QTest::newRow("title empty") << "required-field-empty" << 0 << "edMainTitle" << "" << "edMainTitle";
    }
    void doubleClickOpensMovieData()
    {
        QFETCH(QString, code);
        QFETCH(int, tab);
        QFETCH(QString, fieldName);
        QFETCH(QString, fieldText);
        QFETCH(QString, focused);
        h.start();
        // The movie data is checked once there is a project: after New.
        h.main().setModalRunner([](QDialog&) { return int(QDialog::Accepted); });
        h.main().miNewClick();
        MovieData& md = h.project().movieData;
        md.menuDirectory = QStringLiteral("menu");
        md.startPage = QStringLiteral("9");
        md.menuPage = QStringLiteral("9");
        for (const auto& [frame, name] : {std::pair{"100", "One"}, {"50", "Two"}, {"200", "Three"}})
            md.chapters.push_back(std::make_unique<Chapter>(Chapter{QString(), QString::fromLatin1(frame), QString::fromLatin1(name)}));
        problems().refresh();
        const int row = rowOf(code, -1);
        QVERIFY2(row >= 0, qPrintable(codes().join(QLatin1Char(' '))));

        int shownTab = -1;
        QString shownText;
        QString shownFocus;
        int runs = 0;
        h.main().setModalRunner([&](QDialog& dialog) {
            ++runs;
            shownTab = dialog.findChild<QTabWidget*>(QStringLiteral("pcMovieData"))->currentIndex();
            shownText = dialog.findChild<QLineEdit*>(fieldName)->text();
            dialog.show();
            (void)QTest::qWaitFor([&] { return dialog.focusWidget() && dialog.focusWidget()->objectName() == focused; });
            shownFocus = dialog.focusWidget() ? dialog.focusWidget()->objectName() : QString();
            dialog.hide();
            return int(QDialog::Rejected);
        });
        h.main().miWinProblemsClick();
        doubleClickRow(row);
        QCOMPARE(runs, 1);
        QCOMPARE(shownTab, tab);
        QCOMPARE(shownText, fieldText);
        QCOMPARE(shownFocus, focused);
    }

    // Before New or Open the list is empty. Pages added before that make a project without movie
    // data: its rows are listed, but a double click leaves the dialog closed while its menu item is.
    void movieDataRowsWaitForTheProject()
    {
        h.start();
        QCOMPARE(problems().ProblemList->topLevelItemCount(), 0);
        QVERIFY(problems().problems().empty());

        int runs = 0;
        h.main().setModalRunner([&](QDialog&) {
            ++runs;
            return int(QDialog::Rejected);
        });
        h.addPage("1", "Menu", "0-10");
        QTRY_VERIFY(rowOf("required-field-empty", -1) >= 0);
        QVERIFY(!child<QAction>(&h.main(), "miMovieData")->isEnabled());
        h.main().miWinProblemsClick();
        doubleClickRow(rowOf("required-field-empty", -1));
        QCOMPARE(runs, 0);
    }

    // A menu without problems, opened when there was no project yet: its count says so, though the
    // list stays as empty as it was.
    void aMenuWithoutProblemsSaysSo()
    {
        h.start(false);
        QCOMPARE(h.main().statusText(), QString());
        QVERIFY(h.main().OpenProject(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini")));
        QTRY_COMPARE(h.main().statusText(), QString("no problem"));
    }

    // The first time it floats it covers none of the main window's controls: with no room below or
    // above a main window as high as the screen, it goes beside it; closed tool windows take no room.
    void firstPlaceBesideATallMainWindow()
    {
        h.start();
        const QRect area = h.main().screen()->availableGeometry();
        QVERIFY(QTest::qWaitForWindowExposed(&h.main()));
        QCoreApplication::processEvents(); // the window settles where it belongs once shown
        h.app->pageViewer->close();
        h.app->selectionsViewer->close();
        h.main().move(area.topLeft());
        h.main().resize(440, area.height() - (h.main().frameGeometry().height() - h.main().height()));
        QTRY_COMPARE(h.main().frameGeometry().height(), area.height());
        h.main().miWinProblemsClick();
        const QRect placed = problems().frameGeometry();
        QCOMPARE(placed.left(), h.main().frameGeometry().right() + 1);
        QVERIFY2(area.contains(placed), qPrintable(QString("%1,%2 %3x%4 min %5x%6").arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height()).arg(problems().minimumWidth()).arg(problems().minimumHeight())));
    }

    // Shown from the Windows menu or the count; docked as a third tab only while it is open.
    void dockedAndFloating()
    {
        h.start();
        QVERIFY(!problems().isVisible());
        h.main().findChild<QToolButton*>(QStringLiteral("bttProblemCount"))->click();
        QVERIFY(problems().isVisible() && problems().isWindow());

        auto* dock = h.main().findChild<QTabWidget*>(QStringLiteral("DockPageControl"));
        child<QAction>(h.app->mainForm.get(), "miDocked")->trigger();
        QCOMPARE(dock->count(), 3);
        QCOMPARE(dock->tabText(2), QString("Problems"));
        QCOMPARE(dock->currentIndex(), 0);
        child<QAction>(h.app->mainForm.get(), "miWinProblems")->trigger();
        QCOMPARE(dock->currentWidget(), static_cast<QWidget*>(&problems()));

        child<QAction>(h.app->mainForm.get(), "miDocked")->trigger();
        QCOMPARE(dock->count(), 0);
        QVERIFY(problems().isWindow() && problems().isVisible());

        // Closed when docking: the dock keeps its two tabs, and the window comes as the third when asked.
        problems().close();
        child<QAction>(h.app->mainForm.get(), "miDocked")->trigger();
        QCOMPARE(dock->count(), 2);
        child<QAction>(h.app->mainForm.get(), "miWinProblems")->trigger();
        QCOMPARE(dock->count(), 3);
        QCOMPARE(dock->currentWidget(), static_cast<QWidget*>(&problems()));
    }

    // The save goes on with errors and says how many the written menu has; without errors it says
    // the file was saved.
    void saveSaysErrors_data()
    {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("status");
        QTest::newRow("errors") << "50-70" << "Saved with 1 error";
        QTest::newRow("no error") << "0-10" << "Saved menu.ini";
    }
    void saveSaysErrors()
    {
        QFETCH(QString, range);
        QFETCH(QString, status);
        h.start();
        MovieData& md = h.project().movieData;
        md.title = md.id = md.movieDirectory = md.aviName = QStringLiteral("x");
        md.menuDirectory = QStringLiteral("menu");
        md.menuAVIName = QStringLiteral("menu.avi");
        md.startPage = md.menuPage = QStringLiteral("1");
        h.addPage("1", "Menu", range);
        h.pages().chkVideoLoop->setChecked(true);
        h.pages().bttModifyClick();
        QTemporaryDir dir;
        h.dialogs.queueAnswer(dir.filePath(QStringLiteral("menu.ini")));
        QVERIFY(h.main().SaveProject(true));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("menu.ini"))));
        QCOMPARE(h.main().statusText(), status);
    }

    // A picture file is decoded away from the window and its answer kept until the file changes.
    void pictureFileCheckedAgainWhenChanged()
    {
        h.start(false);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("menu")));
        const QString picture = dir.filePath(QStringLiteral("menu/still.jpg"));
        fixtures::writeDamagedJpeg(picture, fixtures::JpegDamage::NotJpeg);
        h.project().baseDirectory = QDir::toNativeSeparators(dir.path() + QLatin1Char('/'));
        h.project().movieData.menuDirectory = QStringLiteral("menu");
        auto page = std::make_unique<Page>();
        page->number = 1;
        page->pictureFile = QStringLiteral("still.jpg");
        h.project().pages.push_back(std::move(page));

        problems().refresh();
        QTRY_VERIFY(codes().contains(QStringLiteral("picture-undecodable")));
        // Checked again without a change to the file: the remembered answer.
        problems().refresh();
        QVERIFY(codes().contains(QStringLiteral("picture-undecodable")));

        fixtures::writePatternJpeg(picture, 1);
        problems().scheduleCheck(); // as the next edit does
        QTRY_VERIFY(!codes().contains(QStringLiteral("picture-undecodable")));
        QVERIFY(!codes().contains(QStringLiteral("file-missing")));
    }

    // Thousands of problems list the first ones and say how many more there are; the count has them all.
    void manyProblems()
    {
        h.start(false);
        for (int n = 1; n <= 400; ++n) {
            auto page = std::make_unique<Page>();
            page->number = n;
            page->name = QStringLiteral("Page");
            page->backgroundIsVideo = false; // a still page without its picture, and a dead end
            h.project().pages.push_back(std::move(page));
        }
        problems().refresh();
        const int total = int(problems().problems().size());
        QVERIFY(total > 600);
        QTreeWidget* list = problems().ProblemList;
        QCOMPARE(list->topLevelItemCount(), 501);
        QVERIFY(list->topLevelItem(500)->text(0).contains(QString::number(total - 500)));
        QCOMPARE(h.main().statusText(), problemCountText(problems().problems()));
        h.pages().refreshList();
        problems().showProblem(500); // the closing row leads nowhere
        QCOMPARE(h.pages().CurrentPageIndex(), -1);
    }

    // A window's children outlive its own parts while it is destroyed, so the list's columns can still
    // be resized then (a layout going, the dock letting go of it); the rows' heights follow the
    // column without reaching into the window. The list is resized here from the window's destroyed
    // signal, which comes after the window's own parts have gone: the sanitizers report any handler
    // that reaches into the window.
    void destroyedWhileListResizes_data()
    {
        QTest::addColumn<bool>("docked");
        QTest::newRow("floating") << false;
        QTest::newRow("docked") << true;
    }
    void destroyedWhileListResizes()
    {
        QFETCH(bool, docked);
        MenuProject project;
        ProjectEdits edits(project);
        VideoSource video([](const Message&) {});
        for (int n = 1; n <= 5; ++n) { // still pages without pictures: a problem or two each, to wrap
            auto page = std::make_unique<Page>();
            page->number = n;
            page->name = QStringLiteral("Page");
            page->backgroundIsVideo = false;
            project.pages.push_back(std::move(page));
        }
        for (int round = 0; round < 40; ++round) {
            QTabWidget dock; // as the main window docks it
            auto* form = new TProblemsForm(project, edits, video);
            if (docked)
                dock.addTab(form, form->windowTitle()); // the dock owns it now
            QWidget* window = docked ? static_cast<QWidget*>(&dock) : form;
            window->resize(400, 300);
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QTreeWidget* list = form->ProblemList;
            QVERIFY(list->topLevelItemCount() > 0);
            const int width = 200 + 13 * round;
            QObject::connect(form, &QObject::destroyed, list, [list, width] {
                list->resize(width, 150);
                list->header()->resizeSection(0, width / 2);
            });
            QSignalSpy resized(list->header(), &QHeaderView::sectionResized);
            delete form;
            QVERIFY(!resized.isEmpty()); // the handler had its chance to run
        }
    }

    // The same for every window of the program, each with all its widgets resized (and the first
    // column of its tree lists) while it goes, as the program ends with a menu open.
    void everyWindowGoesWhileItsWidgetsResize()
    {
        buildMenu();
        h.app->preview->show();
        QList<QWidget*> windows;
        windows << h.app->mainForm.get() << h.app->pageViewer.get() << h.app->selectionsViewer.get()
                << h.app->problems.get() << h.app->preview.get() << h.app->aboutForm.get()
                << h.main().movieDataForm();
        int resized = 0;
        for (QWidget* window : std::as_const(windows)) {
            QVERIFY(window);
            QObject::connect(window, &QObject::destroyed, [window, &resized] {
                const QList<QWidget*> widgets = window->findChildren<QWidget*>();
                for (QWidget* widget : widgets) {
                    widget->resize(widget->width() / 2 + 7, widget->height() / 2 + 3);
                    if (auto* tree = qobject_cast<QTreeView*>(widget))
                        tree->header()->resizeSection(0, 33);
                }
                ++resized;
            });
        }
        h.stop();
        QCOMPARE(resized, int(windows.size()));
    }

    // The count sits in the menu bar without making it taller than its menus.
    void countKeepsMenuBarHeight()
    {
        h.start(false);
        auto* count = h.main().findChild<QToolButton*>(QStringLiteral("bttProblemCount"));
        QVERIFY(count->isVisible());
        QMenuBar plain;
        plain.addMenu(QStringLiteral("&File"));
        QCOMPARE(h.main().menuBar()->height(), plain.sizeHint().height());
    }
};

QTEST_MAIN(TestProblems)
#include "test_problems.moc"
