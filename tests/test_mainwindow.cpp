// The main window as the user meets it: caption, menu, settings between runs, tool-window placement
// and docking, fitting to the picture, frame navigation, the About box and the display of errors.
#include <QtTest>

#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QDesktopServices>
#include <QToolButton>

#include <memory>
#include <optional>

#include "app/aboutform.h"
#include "workspace/helpform.h"
#include "app/application.h"
#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"
#include "moviedata/moviedataform.h"
#include "fixtures/videofixtures.h"
#include "dialogs/scripteddialogservice.h"
#include "workspace/mainform.h"
#include "workspace/videoimage.h"
#include "workspace/problemsform.h"
#include "workspace/windowplacement.h"
#include "media/videosource.h"

namespace {

const QString kInitialInfo = QStringLiteral("  Frame 0 (0:00:00.000) [ ]");

template <typename T>
T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// A widget whose click handler fails, as a command with a bug would.
class FailingWidget : public QWidget
{
protected:
    void mousePressEvent(QMouseEvent*) override { throw std::runtime_error("Disk full while writing"); }
};

} // namespace

// Takes the links the program hands to the desktop, instead of a web browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settingsDir;
    QString m_startDir;
    ScriptedDialogService m_dialogs;
    std::unique_ptr<Application> m_app;

    static QTemporaryDir& videoDir()
    {
        static QTemporaryDir dir;
        return dir;
    }
    // 60 frames at 25 frames per second, a key frame every 12.
    static const fixtures::VideoFixture& video()
    {
        static const fixtures::VideoFixture v = [] {
            fixtures::VideoSpec spec;
            spec.frames = 60;
            spec.keyInterval = 12;
            return fixtures::writeVideo(videoDir().filePath("nav.avi"), spec);
        }();
        return v;
    }

    Application& start()
    {
        m_app = std::make_unique<Application>(&m_dialogs);
        m_app->show();
        if (!QTest::qWaitForWindowExposed(m_app->mainForm.get()))
            qFatal("main window not exposed");
        return *m_app;
    }
    TMainForm& mainForm() { return *m_app->mainForm; }
    QSlider* trackBar() { return child<QSlider>(m_app->mainForm.get(), "VideoTrackBar"); }
    QLabel* frameInfo() { return child<QLabel>(m_app->mainForm.get(), "FrameInfoPanel"); }
    QLineEdit* videoPos() { return child<QLineEdit>(m_app->mainForm.get(), "edVideoPos"); }
    void click(const char* button) { QTest::mouseClick(child<QToolButton>(m_app->mainForm.get(), button), Qt::LeftButton); }

    static void writeSettings(const QVariantMap& values)
    {
        const std::unique_ptr<QSettings> settings = TMainForm::openSettings();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings->setValue(it.key(), it.value());
        settings->sync();
    }

private slots:
    void init()
    {
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir->path());
        m_startDir = QDir::currentPath();
        m_dialogs.clear();
    }

    void cleanup()
    {
        m_app.reset();
        QDir::setCurrent(m_startDir);
    }

    void firstRun()
    {
        start();
        QCOMPARE(mainForm().caption(), QString("VRPL VazoVevoz - New File"));
        // Where the form was drawn, as wide as every menu needs: nothing behind the bar's "more" button.
        QCOMPARE(mainForm().frameGeometry(), QRect(225, 105, qMax(471, mainForm().menuBarFrameWidth()), 437));
        QVERIFY(!menuOverflows());
        QCOMPARE(m_app->pageViewer->windowTitle(), QString("Pages"));
        QCOMPARE(m_app->selectionsViewer->windowTitle(), QString("Selections"));
        QVERIFY(m_app->pageViewer->isVisible() && m_app->selectionsViewer->isVisible());
        // Tool windows of the main window: above it, never above other programs or our dialogs.
        for (QWidget* tool : {static_cast<QWidget*>(m_app->pageViewer.get()), static_cast<QWidget*>(m_app->selectionsViewer.get()),
                              static_cast<QWidget*>(m_app->problems.get())}) {
            QCOMPARE(tool->parentWidget(), &mainForm());
            QVERIFY(tool->isWindow() && !tool->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        }
        QCOMPARE(frameInfo()->text(), kInitialInfo);
        QCOMPARE(videoPos()->text(), QString("0"));
        QCOMPARE(videoPos()->maxLength(), 7);
        QCOMPARE(trackBar()->maximum(), 0);
        QCOMPARE(trackBar()->tickPosition(), QSlider::TicksBelow);
        QCOMPARE(trackBar()->tickInterval(), 1);
        QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 100);

        // The minimum size holds for the outer frame.
        mainForm().resize(10, 10);
        QTRY_COMPARE(mainForm().frameGeometry().size(), QSize(440, 426));
    }

    void menu_data()
    {
        QTest::addColumn<QString>("menu");
        // One entry per item: objectName|caption|shortcut|enabled|checked, "-" for a separator.
        QTest::addColumn<QStringList>("items");
        QTest::newRow("bar") << "MainMenu1"
                             << QStringList{"File1|&File||1|0", "|&Edit||1|0", "|&Arrange||1|0", "|&View||1|0",
                                            "miMovieData|Movie Data||0|0",
                                            "miPreviewAction|&Preview||1|0", "miPageAction|&Page||0|0", "|&Windows||1|0", "|?||1|0"};
        QTest::newRow("file") << "File1"
                              << QStringList{"miNew|New||1|0", "miMMOpenINI|Open &INI|Ctrl+O|1|0",
                                             "|Open recent||0|0", "miImportDVD|Import &DVD menus…||1|0", "-",
                                             "miMMSaveINI|Save|Ctrl+S|0|0",
                                             "miMMSaveasINI|&Save as INI|Ctrl+Shift+S|0|0",
                                             "miExportPageMap|Export page map…||1|0", "-",
                                             "miMMQuit|&Quit|Ctrl+Q|1|0"};
        QTest::newRow("page") << "miPage"
                              << QStringList{"MenuItemNewPage|&New|Ctrl+N|0|0", "MenuItemDeletePage|&Delete||0|0",
                                             "MenuItemModifyNamePage|&Modify||0|0",
                                             "miFindButtons|Find buttons||0|0", "-",
                                             "MenuItemFirstFramePage|Set &first frame|Ctrl+F|0|0",
                                             "MenuItemLastFramePage|Set &last frame|Ctrl+L|0|0", "-",
                                             "miGotoPreviousPage|Goto previous page|Ctrl+Up|0|0",
                                             "miGotoNextPage|Goto next page|Ctrl+Down|0|0"};
        QTest::newRow("preview") << "miPreview"
                                 << QStringList{"miPlayFromStart|Play from start page|F5|1|0",
                                                "miPlayFromThisPage|Play from this page|Shift+F5|1|0"};
        QTest::newRow("windows") << "Windows1"
                                 << QStringList{"|Pages||1|0", "|Selections||1|0", "miDocked|Docked||1|0", "-",
                                                "miWinProblems|Problems||1|0", "miWinPageMap|Page map||1|0"};
        QTest::newRow("pages") << "Pages1"
                               << QStringList{"miWinPagesLeft|Left||1|0", "miWinPagesRight|Right||1|1",
                                              "miWinPagesFree|Free||1|0"};
        QTest::newRow("selections") << "SelectionsWindow1"
                                    << QStringList{"miWinSelecLeft|Left||1|0", "miWinSelecRight|Right||1|1",
                                                   "miWinSelecFree|Free||1|0"};
        QTest::newRow("help") << "miHelp" << QStringList{"miHelpContents|&Help|F1|1|0", "miAbout|About ...||1|0"};
        QTest::newRow("shape popup") << "ShapePopUp" << QStringList{"puShapeDelete|Delete||1|0", "Movetopage1|Move to page||1|0",
                                                                    "-", "|&Arrange||1|0"};
        // Nothing to undo or redo in a new project. The rectangle commands show their keys, which
        // work while the picture has the focus; snapping is on until turned off.
        QTest::newRow("edit") << "miEdit"
                              << QStringList{"miUndo|Undo|Ctrl+Z|0|0", "miRedo|Redo|Ctrl+Shift+Z|0|0", "-",
                                             "miSelectAllShapes|Select &all\tCtrl+A||1|0",
                                             "miCopyShapes|&Copy rectangles\tCtrl+C||1|0",
                                             "miCutShapes|Cu&t rectangles\tCtrl+X||1|0",
                                             "miPasteShapes|&Paste rectangles\tCtrl+V||1|0",
                                             "miDuplicateShapes|&Duplicate rectangles\tCtrl+D||1|0", "-",
                                             "miSnapToGuides|Snap to guides||1|1", "-",
                                             "miPreferences|&Preferences...||1|0"};
        // Nothing picked: nothing to arrange.
        QTest::newRow("arrange") << "miArrange"
                                 << QStringList{"miAlignLeft|Align &left||0|0", "miAlignRight|Align &right||0|0",
                                                "miAlignTop|Align &top||0|0", "miAlignBottom|Align &bottom||0|0",
                                                "miAlignHCentres|Align hori&zontal centres||0|0",
                                                "miAlignVCentres|Align &vertical centres||0|0", "-",
                                                "miSameWidth|Same &width||0|0", "miSameHeight|Same &height||0|0",
                                                "miSameSize|Same &size||0|0", "-",
                                                "miDistributeH|Distribute hori&zontally||0|0",
                                                "miDistributeV|Distribute verti&cally||0|0"};
        QTest::newRow("view") << "miView"
                              << QStringList{"miZoomIn|Zoom &in|Ctrl++|1|0", "miZoomOut|Zoom &out|Ctrl+-|1|0",
                                             "miActualSize|&Actual size|Ctrl+0|1|0", "miFitPicture|&Fit|Ctrl+9|1|0", "-",
                                             "miSafeArea|TV-&safe area||1|0", "miShowRemoteOrder|Show remote order||1|0"};
    }

    void menu()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        start();
        QWidget* owner = mainForm().findChild<QWidget*>(menu);
        QVERIFY(owner);
        const QList<QAction*> actions = owner->actions();
        QCOMPARE(actions.size(), items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            QAction* a = actions.at(i);
            if (items.at(i) == "-") {
                QVERIFY2(a->isSeparator(), qPrintable(a->text()));
                continue;
            }
            const QStringList f = items.at(i).split('|');
            if (!f.at(0).isEmpty() && f.at(0) != "File1")
                QCOMPARE(a->objectName(), f.at(0));
            QCOMPARE(a->text(), f.at(1));
            QCOMPARE(a->shortcut().toString(), f.at(2));
            QCOMPARE(a->isEnabled(), f.at(3) == "1");
            QCOMPARE(a->isChecked(), f.at(4) == "1");
        }
    }

    void baseDirectoryChosenInAFreshMovieDataDialog()
    {
        start();
        QPointer<TMovieDataForm> first = mainForm().movieDataForm();
        // New and Open replace the dialog; the fresh one must still reach the main window.
        TMovieDataForm& fresh = mainForm().createMovieDataForm();
        QVERIFY(first.isNull());
        emit fresh.baseDirectoryChosen("/menus/film/");
        QCOMPARE(mainForm().caption(), QString("VRPL VazoVevoz - /menus/film/"));
        QVERIFY(child<QAction>(m_app->mainForm.get(), "miMMSaveasINI")->isEnabled());
        QVERIFY(!child<QAction>(m_app->mainForm.get(), "miMMSaveINI")->isEnabled());
    }

    bool menuOverflows()
    {
        auto* more = mainForm().menuBar()->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
        return more && more->isVisible();
    }

    void settingsAtStart_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<bool>("lastDirBecomesCurrent");

        QTest::newRow("no key") << QVariantMap() << QPoint(225, 105) << false;
        QTest::newRow("left without top") << QVariantMap{{"Left", 300}} << QPoint(300, 100) << false;
        QTest::newRow("top without left") << QVariantMap{{"Top", 40}} << QPoint(100, 40) << false;
        QTest::newRow("both") << QVariantMap{{"Top", 50}, {"Left", 60}} << QPoint(60, 50) << false;
        QTest::newRow("unreadable top") << QVariantMap{{"Top", "high"}, {"Left", 70}} << QPoint(70, 100) << false;
        QTest::newRow("last dir only") << QVariantMap{{"LastDir", "<dir>"}} << QPoint(100, 100) << true;
        QTest::newRow("last dir missing folder") << QVariantMap{{"LastDir", "<gone>"}} << QPoint(100, 100) << false;
        QTest::newRow("empty last dir") << QVariantMap{{"LastDir", ""}, {"Left", 5}, {"Top", 6}} << QPoint(5, 6) << false;
        // Saved on a screen that is gone, or above the top: brought wholly onto the screen there is.
        QTest::newRow("above and left of the screen") << QVariantMap{{"Left", -3000}, {"Top", -40}} << QPoint(0, 0) << false;
        QTest::newRow("past the bottom right") << QVariantMap{{"Left", 5000}, {"Top", 3000}} << QPoint(-1, -1) << false;
    }

    void settingsAtStart()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QPoint, position);
        QFETCH(bool, lastDirBecomesCurrent);
        QTemporaryDir lastDir;
        if (stored.value("LastDir") == "<dir>")
            stored["LastDir"] = lastDir.path();
        else if (stored.value("LastDir") == "<gone>")
            stored["LastDir"] = lastDir.filePath("removed");
        writeSettings(stored);

        start();
        const QRect screen = mainForm().screen()->availableGeometry();
        if (position == QPoint(-1, -1))
            position = screen.bottomRight() - mainForm().frameGeometry().bottomRight() + mainForm().pos();
        QTRY_COMPARE(mainForm().pos(), position);
        QVERIFY(screen.contains(mainForm().frameGeometry()));
        const QString expectedDir = lastDirBecomesCurrent ? lastDir.path() : m_startDir;
        QCOMPARE(QDir(QDir::currentPath()).canonicalPath(), QDir(expectedDir).canonicalPath());
    }

    void settingsWrittenAtShutdown_data()
    {
        QTest::addColumn<QString>("baseDirectory");
        QTest::newRow("base directory") << "<dir>";
        QTest::newRow("empty base directory") << "";
    }

    void settingsWrittenAtShutdown()
    {
        QFETCH(QString, baseDirectory);
        QTemporaryDir base;
        if (baseDirectory == "<dir>")
            baseDirectory = QDir::toNativeSeparators(base.path() + "/");
        start();
        mainForm().move(321, 123);
        m_app->project.baseDirectory = baseDirectory; // what the movie data dialog's field shows
        m_app.reset();

        {
            const std::unique_ptr<QSettings> settings = TMainForm::openSettings();
            QCOMPARE(settings->value("Top").toInt(), 123);
            QCOMPARE(settings->value("Left").toInt(), 321);
            QVERIFY(settings->contains("LastDir"));
            QCOMPARE(settings->value("LastDir").toString(), baseDirectory);
        }
        // The next start comes back there and takes the stored directory, if any.
        start();
        QCOMPARE(mainForm().pos(), QPoint(321, 123));
        const QString expectedDir = baseDirectory.isEmpty() ? m_startDir : base.path();
        QCOMPARE(QDir(QDir::currentPath()).canonicalPath(), QDir(expectedDir).canonicalPath());
    }

    void unwritableSettingsAreIgnored()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // The settings would go below a plain file, where no folder can be made.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker.fileName() + "/config");
        start();
        mainForm().move(10, 20);
        m_app.reset();
        QVERIFY(!QFileInfo::exists(blocker.fileName() + "/config"));
    }

    void arrangeToolWindows_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("selections");
        // Where each tool window's frame ends up: "leftOfMain", "rightOfMain", "leftOfPages",
        // "rightOfPages" or "stays".
        QTest::addColumn<QString>("pagesAt");
        QTest::addColumn<QString>("selectionsAt");
        QTest::newRow("left, left") << "Left" << "Left" << "leftOfMain" << "leftOfPages";
        QTest::newRow("left, right") << "Left" << "Right" << "leftOfMain" << "rightOfMain";
        QTest::newRow("left, free") << "Left" << "Free" << "leftOfMain" << "stays";
        QTest::newRow("right, left") << "Right" << "Left" << "rightOfMain" << "leftOfMain";
        QTest::newRow("right, right") << "Right" << "Right" << "rightOfMain" << "rightOfPages";
        QTest::newRow("right, free") << "Right" << "Free" << "rightOfMain" << "stays";
        QTest::newRow("free, left") << "Free" << "Left" << "stays" << "leftOfMain";
        QTest::newRow("free, right") << "Free" << "Right" << "stays" << "rightOfPages";
        QTest::newRow("free, free") << "Free" << "Free" << "stays" << "stays";
    }

    void arrangeToolWindows()
    {
        QFETCH(QString, pages);
        QFETCH(QString, selections);
        QFETCH(QString, pagesAt);
        QFETCH(QString, selectionsAt);
        start();
        QWidget* p = m_app->pageViewer.get();
        QWidget* s = m_app->selectionsViewer.get();
        child<QAction>(m_app->mainForm.get(), "miWinPagesFree")->trigger();
        child<QAction>(m_app->mainForm.get(), "miWinSelecFree")->trigger();
        mainForm().move(600, 300);
        p->move(40, 500);
        s->move(900, 550);
        QTRY_COMPARE(p->pos(), QPoint(40, 500));

        child<QAction>(m_app->mainForm.get(), qPrintable("miWinPages" + pages))->trigger();
        child<QAction>(m_app->mainForm.get(), qPrintable("miWinSelec" + selections))->trigger();

        const QRect m = mainForm().frameGeometry();
        const int pw = p->frameGeometry().width();
        const int sw = s->frameGeometry().width();
        const QPoint pExpected = pagesAt == "leftOfMain" ? QPoint(m.left() - pw, m.top())
                               : pagesAt == "rightOfMain" ? QPoint(m.left() + m.width(), m.top())
                                                          : QPoint(40, 500);
        const QPoint sExpected = selectionsAt == "leftOfMain"     ? QPoint(m.left() - sw, m.top())
                               : selectionsAt == "rightOfMain"    ? QPoint(m.left() + m.width(), m.top())
                               : selectionsAt == "leftOfPages"    ? QPoint(pExpected.x() - sw, m.top())
                               : selectionsAt == "rightOfPages"   ? QPoint(pExpected.x() + pw, m.top())
                                                                  : QPoint(900, 550);
        QTRY_COMPARE(p->pos(), pExpected);
        QTRY_COMPARE(s->pos(), sExpected);

        // Moving the main window drags the placed windows along; free ones stay.
        mainForm().move(650, 250);
        const QPoint delta(50, -50);
        QTRY_COMPARE(p->pos(), pagesAt == "stays" ? pExpected : pExpected + delta);
        const bool sFollowsPages = selectionsAt == "rightOfPages" && pagesAt == "stays";
        QTRY_COMPARE(s->pos(), selectionsAt == "stays" ? sExpected
                               : sFollowsPages         ? QPoint(sExpected.x(), sExpected.y() + delta.y())
                                                       : sExpected + delta);
    }

    // Every placement, on screens from roomy to too narrow for the three windows side by side, with
    // the main window anywhere on it: each placed frame is wholly on the screen, and where the screen
    // has room the windows stand exactly beside the main window (or the page window).
    void toolWindowsStayOnScreen_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::newRow("1920 x 1200") << QRect(0, 0, 1920, 1200);
        QTest::newRow("1366 x 768 with a panel on top") << QRect(0, 28, 1366, 740);
        QTest::newRow("scale 2 on 1920 x 1080") << QRect(0, 0, 960, 540);
        QTest::newRow("second screen right of the first") << QRect(1920, 0, 1280, 720);
    }

    void toolWindowsStayOnScreen()
    {
        QFETCH(QRect, area);
        using P = ToolPlacement;
        const QRect pages(5, 5, 292, 625);
        const QRect selections(9, 9, 232, 645);
        for (const QSize mainSize : {QSize(559, 437), QSize(746, 729), area.size()}) {
            for (int x = area.left() - 200; x <= area.right() + 100; x += 97) {
                const QRect main(QPoint(x, area.top() + 30), mainSize);
                for (P p : {P::Left, P::Right, P::Free}) {
                    for (P s : {P::Left, P::Right, P::Free}) {
                        const ToolFramePositions to = placeToolFrames(main, pages, selections, p, s, area);
                        QCOMPARE(to.pages.has_value(), p != P::Free);
                        QCOMPARE(to.selections.has_value(), s != P::Free);
                        const QRect pr = to.pages ? QRect(*to.pages, pages.size()) : pages;
                        const QRect sr = to.selections ? QRect(*to.selections, selections.size()) : selections;
                        for (const QRect& placed : {to.pages ? pr : QRect(), to.selections ? sr : QRect()}) {
                            if (placed.isNull())
                                continue;
                            // Across within the screen; a window taller than the screen is shrunk by
                            // the caller, its top is on the screen's.
                            QVERIFY2(placed.left() >= area.left() && placed.right() <= area.right(),
                                     qPrintable(QString("off the screen: x %1, main at %2").arg(placed.x()).arg(x)));
                            QCOMPARE(placed.top(), qMax(area.top(), qMin(main.top(), area.bottom() + 1 - placed.height())));
                        }
                        // With room on both sides, the positions of the placement rules.
                        const bool roomLeft = main.left() - area.left() >= pages.width() + selections.width();
                        const bool roomRight = area.right() - main.right() >= pages.width() + selections.width();
                        if (!roomLeft || !roomRight || !area.contains(main))
                            continue;
                        if (p == P::Left)
                            QCOMPARE(pr.right() + 1, main.left());
                        if (p == P::Right)
                            QCOMPARE(pr.left(), main.right() + 1);
                        if (s == P::Left)
                            QCOMPARE(sr.right() + 1, p == P::Left ? pr.left() : main.left());
                        if (s == P::Right)
                            QCOMPARE(sr.left(), p == P::Left ? main.right() + 1 : pr.right() + 1);
                    }
                }
            }
        }
    }

    // The Problems window never covers the main window's menu or controls: below or above it, beside
    // everything, or over the picture when the screen has no room elsewhere.
    void problemsWindowCoversNoControl_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QString>("where");
        const QRect big(0, 0, 1920, 1200);
        QTest::newRow("room below") << big << QRect(200, 100, 746, 729) << "below";
        QTest::newRow("room above only") << big << QRect(200, 460, 746, 729) << "above";
        QTest::newRow("room beside only") << QRect(0, 0, 1920, 768) << QRect(200, 0, 746, 768) << "beside";
        QTest::newRow("no room") << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 768) << "picture";
    }

    void problemsWindowCoversNoControl()
    {
        QFETCH(QRect, area);
        QFETCH(QRect, main);
        QFETCH(QString, where);
        const QRect occupied = main.adjusted(0, 0, 522, 0); // the tool windows to its right
        const QRect picture = main.adjusted(8, 50, -8, -80);
        const QRect placed = placeProblemsFrame(main, occupied, picture, QSize(600, 250), 120, area);
        QVERIFY(area.contains(placed));
        QVERIFY(placed.height() >= 120);
        if (where == "picture")
            QVERIFY(picture.contains(placed));
        else
            QVERIFY(!placed.intersects(main));
        if (where == "below")
            QCOMPARE(placed.top(), main.bottom() + 1);
        if (where == "above")
            QCOMPARE(placed.bottom() + 1, main.top());
        if (where == "beside")
            QVERIFY(!placed.intersects(occupied));
    }

    // A placement command about a tool window that was closed shows it again, where it says.
    void placingAClosedToolWindowShowsIt_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("pages, left") << "miWinPagesLeft";
        QTest::newRow("pages, right, as it was") << "miWinPagesRight";
        QTest::newRow("selections, free") << "miWinSelecFree";
    }

    void placingAClosedToolWindowShowsIt()
    {
        QFETCH(QString, item);
        start();
        QWidget* window = item.startsWith("miWinPages") ? static_cast<QWidget*>(m_app->pageViewer.get())
                                                        : static_cast<QWidget*>(m_app->selectionsViewer.get());
        QWidget* other = item.startsWith("miWinPages") ? static_cast<QWidget*>(m_app->selectionsViewer.get())
                                                       : static_cast<QWidget*>(m_app->pageViewer.get());
        mainForm().move(600, 300);
        other->close();
        window->close();
        child<QAction>(m_app->mainForm.get(), qPrintable(item))->trigger();
        QVERIFY(window->isVisible());
        QVERIFY(!other->isVisible()); // only the one the command names
        if (item == "miWinPagesLeft")
            QTRY_COMPARE(window->frameGeometry().right() + 1, mainForm().frameGeometry().left());
    }

    void dockedOnAndOff_data()
    {
        QTest::addColumn<int>("pagesWidth");
        QTest::addColumn<int>("selectionsWidth");
        QTest::newRow("pages wider") << 300 << 250;
        QTest::newRow("same width") << 260 << 260;
        QTest::newRow("selections wider") << 250 << 320;
    }

    void dockedOnAndOff()
    {
        QFETCH(int, pagesWidth);
        QFETCH(int, selectionsWidth);
        start();
        m_app->pageViewer->resize(pagesWidth, 400);
        m_app->selectionsViewer->resize(selectionsWidth, 400);
        const int pw = m_app->pageViewer->frameGeometry().width();
        const int sw = m_app->selectionsViewer->frameGeometry().width();
        const int before = mainForm().frameGeometry().width();

        child<QAction>(m_app->mainForm.get(), "miDocked")->trigger();
        auto* dock = child<QTabWidget>(m_app->mainForm.get(), "DockPageControl");
        QVERIFY(mainForm().isDocked());
        QTRY_COMPARE(mainForm().frameGeometry().width(), before + qMax(pw, sw));
        QVERIFY(dock->isVisible());
        QCOMPARE(dock->count(), 2);
        QCOMPARE(dock->tabText(0), QString("Pages"));
        QCOMPARE(dock->tabText(1), QString("Selections"));
        QCOMPARE(dock->currentIndex(), 0);
        QCOMPARE(mainForm().dockWidth(), pw);
        QTRY_COMPARE(child<QSplitter>(m_app->mainForm.get(), "Splitter1")->sizes().value(0), pw);
        QVERIFY(!m_app->pageViewer->isWindow());

        child<QAction>(m_app->mainForm.get(), "miDocked")->trigger();
        QVERIFY(!mainForm().isDocked());
        QVERIFY(!dock->isVisible());
        QTRY_COMPARE(mainForm().frameGeometry().width(), before + qMax(pw, sw) - pw);
        QVERIFY(m_app->pageViewer->isWindow() && m_app->pageViewer->isVisible());
        QVERIFY(m_app->selectionsViewer->isWindow() && m_app->selectionsViewer->isVisible());
        QCOMPARE(m_app->pageViewer->frameGeometry().width(), pw);
        // Floating again, placed by the Windows menu (both Right).
        const QRect m = mainForm().frameGeometry();
        QTRY_COMPARE(m_app->pageViewer->pos(), QPoint(m.left() + m.width(), m.top()));
        QTRY_COMPARE(m_app->selectionsViewer->pos(), QPoint(m.left() + m.width() + pw, m.top()));
    }

    void fitToPicture_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("centred");
        QTest::newRow("small") << QSize(100, 80) << QSize(440, 426) << true;
        QTest::newRow("PAL") << QSize(720, 576) << QSize(744, 576 + 33 + 33 + 62) << false;
        QTest::newRow("wide, low") << QSize(600, 100) << QSize(624, 426) << true;
    }

    void fitToPicture()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, window);
        QFETCH(bool, centred);
        start();
        mainForm().FitToPicture(picture.width(), picture.height());
        window.setWidth(qMax(window.width(), mainForm().menuBarFrameWidth()));
        QTRY_COMPARE(mainForm().frameGeometry().size(), window);
        QVERIFY(!menuOverflows());

        auto* panel = child<QWidget>(m_app->mainForm.get(), "VideoPanel");
        auto* image = child<QWidget>(m_app->mainForm.get(), "VideoImage");
        const QPoint at = image->mapTo(panel, QPoint(0, 0));
        const int expectedX = picture.width() + 24 >= window.width() ? 8 : (panel->width() - picture.width()) / 2;
        const int expectedY = centred ? (panel->height() - 33 - picture.height()) / 2 : 8;
        QCOMPARE(at, QPoint(expectedX, expectedY));
        auto* bevel = child<QWidget>(m_app->mainForm.get(), "VideoBevel");
        QCOMPARE(QRect(bevel->mapTo(panel, QPoint(0, 0)), bevel->size()),
                 QRect(at, picture).adjusted(-2, -2, 2, 2));
        QCOMPARE(child<QWidget>(m_app->mainForm.get(), "VideoTrackBar")->height(), 33);
        QCOMPARE(child<QWidget>(m_app->mainForm.get(), "ControlPanel")->height(), 33);
        // Nothing scrolls when the window is as large as it should be.
        auto* scroll = child<QScrollArea>(m_app->mainForm.get(), "VideoScroll");
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
    }

    // A picture the screen cannot hold at its actual size is fitted, keeping its aspect ratio, so
    // that neither it nor the controls under it are off the screen; at its actual size it scrolls.
    void pictureLargerThanScreen()
    {
        start();
        auto* image = child<VideoImageWidget>(m_app->mainForm.get(), "VideoImage");
        image->setImage(QImage(2400, 1800, QImage::Format_RGB32));
        mainForm().FitToPicture(2400, 1800);
        const QRect screen = mainForm().screen()->availableGeometry();
        QTRY_VERIFY(screen.contains(mainForm().frameGeometry()));
        auto* controls = child<QWidget>(m_app->mainForm.get(), "ControlPanel");
        const QRect controlsOnScreen(controls->mapToGlobal(QPoint(0, 0)), controls->size());
        QVERIFY(screen.contains(controlsOnScreen));
        // As large as the screen lets it be: the window is as tall as the screen.
        QVERIFY(mainForm().zoom() < 1.0);
        QVERIFY(qAbs(mainForm().frameGeometry().height() - screen.height()) <= 1);
        QCOMPARE(image->size(), QSize(qRound(2400 * mainForm().zoom()), qRound(1800 * mainForm().zoom())));
        QVERIFY(screen.contains(QRect(image->mapToGlobal(QPoint(0, 0)), image->size())));
        auto* scroll = child<QScrollArea>(m_app->mainForm.get(), "VideoScroll");
        QTRY_VERIFY(!scroll->verticalScrollBar()->isVisible());

        mainForm().zoomActualSize();
        QCOMPARE(image->size(), QSize(2400, 1800));
        QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
        QCOMPARE(scroll->verticalScrollBar()->maximum() > 0, true);
        QCOMPARE(scroll->horizontalScrollBar()->value(), 0);
    }

    void openVideoShowsFrameZero()
    {
        start();
        mainForm().OpenVideo(video().path);
        QCOMPARE(trackBar()->maximum(), video().frameCount - 1);
        QCOMPARE(trackBar()->value(), 0);
        QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), video().expectedAt(0));
        QCOMPARE(mainForm().picture().size(), QSize(video().width, video().height));
        QCOMPARE(child<QWidget>(m_app->mainForm.get(), "VideoImage")->size(), QSize(video().width, video().height));
        QCOMPARE(frameInfo()->text(), QString("  Frame 0 (0:00:00.000) [K]"));
        QTRY_COMPARE(mainForm().frameGeometry().size(), QSize(qMax(440, mainForm().menuBarFrameWidth()), 426));
        QVERIFY(m_dialogs.messages().isEmpty());

        // A file that cannot be opened leaves everything as it was; the message belongs to the page window.
        trackBar()->setValue(7);
        mainForm().OpenVideo(videoDir().filePath("missing.avi"));
        QCOMPARE(m_dialogs.messages().size(), 1);
        QCOMPARE(m_dialogs.messages().constFirst().text, QString("Unable to open AVI file"));
        QCOMPARE(m_dialogs.shownMessages().constFirst().owner.data(), static_cast<QWidget*>(m_app->pageViewer.get()));
    }

    void stillPictureShownUnscaled()
    {
        start();
        const QString path = videoDir().filePath("still.jpg");
        fixtures::writePatternJpeg(path, 321, 350, 210);
        mainForm().ShowPicture(path);
        QCOMPARE(child<QWidget>(m_app->mainForm.get(), "VideoImage")->size(), QSize(350, 210));
        QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), 321);

        // A picture that cannot be read: its error reaches the user, the old picture stays.
        const QString damaged = videoDir().filePath("damaged.jpg");
        fixtures::writeDamagedJpeg(damaged, fixtures::JpegDamage::NotJpeg);
        QPushButton command("Show");
        connect(&command, &QPushButton::clicked, &mainForm(), [&] { mainForm().ShowPicture(damaged); });
        command.show();
        QTest::mouseClick(&command, Qt::LeftButton);
        QCOMPARE(m_dialogs.messages().size(), 1);
        QCOMPARE(m_dialogs.messages().constFirst().caption, QString("VRPL VazoVevoz"));
        QVERIFY(!m_dialogs.messages().constFirst().text.isEmpty());
        QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), 321);
    }

    void shutdownWhileDocked()
    {
        start();
        mainForm().move(77, 88);
        child<QAction>(m_app->mainForm.get(), "miDocked")->trigger();
        QVERIFY(!m_app->pageViewer->isWindow());
        m_app.reset(); // every window goes exactly once
        const std::unique_ptr<QSettings> settings = TMainForm::openSettings();
        QCOMPARE(settings->value("Left").toInt(), 77);
    }

    void navigation_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("command"); // a button's name, or "goto:<text>"
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("field"); // edVideoPos afterwards

        QTest::newRow("previous at 0") << 0 << "bttPrevFrame" << 0 << "marker";
        QTest::newRow("next at last") << 59 << "bttNextFrame" << 59 << "marker";
        QTest::newRow("next") << 5 << "bttNextFrame" << 6 << "6";
        QTest::newRow("previous") << 5 << "bttPrevFrame" << 4 << "4";
        QTest::newRow("first") << 30 << "bttStart" << 0 << "0";
        QTest::newRow("last") << 3 << "bttEnd" << 59 << "59";
        QTest::newRow("previous key frame") << 13 << "bttPrevKF" << 12 << "12";
        QTest::newRow("previous key frame from a key frame") << 12 << "bttPrevKF" << 0 << "0";
        QTest::newRow("previous key frame before the first") << 0 << "bttPrevKF" << 0 << "marker";
        QTest::newRow("next key frame") << 1 << "bttNextKF" << 12 << "12";
        QTest::newRow("next key frame after the last") << 50 << "bttNextKF" << 50 << "marker";
        QTest::newRow("goto") << 3 << "goto:17" << 17 << "17";
        QTest::newRow("goto not a number") << 30 << "goto:12x" << 0 << "0";
        QTest::newRow("goto beyond the end") << 3 << "goto:99999" << 59 << "59";
        QTest::newRow("goto negative") << 3 << "goto:-4" << 0 << "0";
        QTest::newRow("goto empty") << 3 << "goto:" << 3 << "";
    }

    void navigation()
    {
        QFETCH(int, from);
        QFETCH(QString, command);
        QFETCH(int, to);
        QFETCH(QString, field);
        start();
        mainForm().OpenVideo(video().path);
        mainForm().setTrackBarPosition(from);
        QCOMPARE(trackBar()->value(), from);
        // Marks that show whether the frame-change step ran.
        frameInfo()->setText("marker");
        videoPos()->setText("marker");

        if (command.startsWith("goto:")) {
            videoPos()->setText(command.mid(5));
            click("bttGoto");
        } else {
            click(qPrintable(command));
        }
        QCOMPARE(trackBar()->value(), to);
        QCOMPARE(videoPos()->text(), field);
        if (to == from) {
            QCOMPARE(frameInfo()->text(), QString("marker"));
        } else {
            QVERIFY(frameInfo()->text().startsWith(QString("  Frame %1 (").arg(to)));
            QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), video().expectedAt(to));
        }
    }

    void frameInformation_data()
    {
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("frame 25 at 25 fps") << 25 << "  Frame 25 (0:00:01.000) [ ]";
        QTest::newRow("key frame") << 24 << "  Frame 24 (0:00:00.960) [K]";
        QTest::newRow("milliseconds with zeros") << 1 << "  Frame 1 (0:00:00.040) [ ]";
    }

    void frameInformation()
    {
        QFETCH(int, frame);
        QFETCH(QString, text);
        start();
        mainForm().OpenVideo(video().path);
        mainForm().setTrackBarPosition(frame);
        QCOMPARE(frameInfo()->text(), text);
    }

    void frameInfoText_data()
    {
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("hours") << 3723456 << "  Frame 7 (1:02:03.456) [K]";
        QTest::newRow("5 ms") << 5 << "  Frame 7 (0:00:00.005) [K]";
        QTest::newRow("600 ms") << 600 << "  Frame 7 (0:00:00.600) [K]";
    }

    void frameInfoText()
    {
        QFETCH(int, ms);
        QFETCH(QString, text);
        QCOMPARE(TMainForm::frameInfoText(7, uint32_t(ms), true), text);
    }

    void goToFieldLeaveRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("not a number") << "abc" << "14";
        QTest::newRow("empty") << "" << "14";
        QTest::newRow("number stays") << "42" << "42";
    }

    void goToFieldLeaveRule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, afterLeaving);
        start();
        mainForm().OpenVideo(video().path);
        mainForm().setTrackBarPosition(14);
        QApplication::setActiveWindow(&mainForm());
        videoPos()->setFocus();
        QTRY_VERIFY(videoPos()->hasFocus());
        videoPos()->selectAll();
        QTest::keyClick(videoPos(), Qt::Key_Backspace);
        QTest::keyClicks(videoPos(), typed);
        trackBar()->setFocus();
        QTRY_VERIFY(!videoPos()->hasFocus());
        QCOMPARE(videoPos()->text(), afterLeaving);
        QCOMPARE(trackBar()->value(), 14); // only the go-to button moves the video
    }

    void noVideoChangesNothing()
    {
        start();
        for (const char* button : {"bttNextFrame", "bttEnd", "bttNextKF", "bttPrevKF", "bttStart"})
            click(button);
        videoPos()->setText("5");
        click("bttGoto");
        trackBar()->setValue(3);
        QCOMPARE(trackBar()->value(), 0);
        QCOMPARE(frameInfo()->text(), kInitialInfo);
        QCOMPARE(videoPos()->text(), QString("5"));
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("inPicture");   // position after the key with the focus on the track bar
        QTest::addColumn<bool>("fieldKeepsIt"); // the go-to field uses the key itself
        QTest::newRow("right") << int(Qt::Key_Right) << 5 << 6 << true;
        QTest::newRow("left") << int(Qt::Key_Left) << 5 << 4 << true;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 5 << 12 << false;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 14 << 12 << false;
        QTest::newRow("home") << int(Qt::Key_Home) << 5 << 0 << true;
        QTest::newRow("end") << int(Qt::Key_End) << 5 << 59 << true;
    }

    void keyboard()
    {
        QFETCH(int, key);
        QFETCH(int, from);
        QFETCH(int, inPicture);
        QFETCH(bool, fieldKeepsIt);
        start();
        mainForm().OpenVideo(video().path);
        mainForm().setTrackBarPosition(from);
        QApplication::setActiveWindow(&mainForm());
        QTRY_VERIFY(mainForm().isActiveWindow());

        trackBar()->setFocus();
        QTest::keyClick(trackBar(), Qt::Key(key));
        QCOMPARE(trackBar()->value(), inPicture);

        if (fieldKeepsIt) {
            mainForm().setTrackBarPosition(from);
            videoPos()->setFocus();
            QTRY_VERIFY(videoPos()->hasFocus());
            QTest::keyClick(videoPos(), Qt::Key(key));
            QCOMPARE(trackBar()->value(), from);
        }
    }

    void dragShowsTheLastFrameOnce_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("bFrames");
        QTest::newRow("mpeg4 2 B") << int(fixtures::VideoKind::Mpeg4) << 2;
        QTest::newRow("mpeg4 P only") << int(fixtures::VideoKind::Mpeg4) << 0;
        QTest::newRow("xvid packed 1 B") << int(fixtures::VideoKind::XvidPacked) << 1;
        QTest::newRow("h264 3 B") << int(fixtures::VideoKind::H264) << 3;
        QTest::newRow("mjpeg") << int(fixtures::VideoKind::Mjpeg) << 0;
        QTest::newRow("raw bgr24") << int(fixtures::VideoKind::RawBgr24) << 0;
    }

    void dragShowsTheLastFrameOnce()
    {
        QFETCH(int, kind);
        QFETCH(int, bFrames);
        fixtures::VideoSpec spec;
        spec.kind = fixtures::VideoKind(kind);
        spec.frames = 90;
        spec.keyInterval = 20;
        spec.bFrames = bFrames;
        fixtures::VideoFixture f;
        try {
            f = fixtures::writeVideo(videoDir().filePath(QString("drag-%1.avi").arg(QTest::currentDataTag())), spec);
        } catch (const fixtures::FixtureError& e) {
            if (spec.kind == fixtures::VideoKind::H264)
                QSKIP(e.what()); // FFmpeg without libx264
            throw;
        }
        start();
        mainForm().OpenVideo(f.path);
        QSignalSpy fieldWritten(videoPos(), &QLineEdit::textChanged);

        // The slider does this while the pointer drags its handle.
        QRandomGenerator random(11);
        trackBar()->setSliderDown(true);
        int last = 0;
        for (int i = 0; i < 30; ++i) {
            last = 1 + int(random.bounded(f.frameCount - 1));
            trackBar()->setSliderPosition(last);
        }
        QCOMPARE(trackBar()->value(), last);

        // The frame comes while the pointer still holds the handle, and letting go shows nothing more.
        QTRY_COMPARE(videoPos()->text(), QString::number(last));
        QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), f.expectedAt(last));
        QVERIFY(frameInfo()->text().startsWith(QString("  Frame %1 (").arg(last)));
        trackBar()->setSliderDown(false);
        QCoreApplication::processEvents();
        QCOMPARE(fieldWritten.count(), 1); // one frame shown for the whole drag
    }

    void keyBurstShowsOneAgreeingFrame()
    {
        start();
        mainForm().OpenVideo(video().path);
        mainForm().setTrackBarPosition(5);
        QApplication::setActiveWindow(&mainForm());
        QTRY_VERIFY(mainForm().isActiveWindow());
        trackBar()->setFocus();
        QSignalSpy fieldWritten(videoPos(), &QLineEdit::textChanged);

        // A held key: its repeats arrive before the event loop comes round to show a frame.
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(trackBar(), Qt::Key_Right);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(trackBar(), Qt::Key_Left);
        QTest::keyClick(trackBar(), Qt::Key_PageDown); // the next key frame after 14
        QCOMPARE(trackBar()->value(), 24);

        QTRY_COMPARE(videoPos()->text(), QString("24"));
        QCOMPARE(frameInfo()->text(), QString("  Frame 24 (0:00:00.960) [K]"));
        QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), video().expectedAt(24));
        QCOMPARE(fieldWritten.count(), 1);

        // A position set from code is on screen on return, also where the keys had already taken
        // the track bar.
        QTest::keyClick(trackBar(), Qt::Key_Right);
        mainForm().setTrackBarPosition(25);
        QCOMPARE(videoPos()->text(), QString("25"));
        QCOMPARE(fixtures::readFrameNumber(mainForm().picture()), video().expectedAt(25));
    }

    void aboutClosedByClick_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("window") << "AboutForm";
        QTest::newRow("picture") << "imgAbout";
        QTest::newRow("title") << "lbTitle";
        QTest::newRow("version") << "lbVersion";
    }

    void aboutClosedByClick()
    {
        QFETCH(QString, target);
        start();
        TAboutForm* about = m_app->aboutForm.get();
        bool wasShown = false;
        QRect shownAt;
        // The box is modal: click it from inside its own event loop.
        QTimer clicker;
        clicker.setInterval(10);
        connect(&clicker, &QTimer::timeout, about, [&] {
            if (!about->isVisible())
                return;
            clicker.stop();
            wasShown = true;
            shownAt = about->frameGeometry();
            QWidget* w = target == "AboutForm" ? about : about->findChild<QWidget*>(target);
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(3, 3));
        });
        clicker.start();
        mainForm().miAboutClick();
        QVERIFY(wasShown);
        QVERIFY(!about->isVisible());
        QCOMPARE(about->size(), QSize(401, 244));
        QVERIFY(about->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(shownAt.center(), mainForm().frameGeometry().center());
        QCOMPARE(about->findChild<QLabel*>("lbTitle")->text(), QString("Vireo Player Vazo Vevoz"));
        QCOMPARE(about->findChild<QLabel*>("lbVersion")->text(), QString("Version " VAZO_VERSION));
    }

    // F1 shows the help from a tool window too, not only from the main window.
    void helpKeyWorksInTheToolWindows()
    {
        start();
        QWidget* tool = m_app->selectionsViewer.get();
        tool->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), tool);
        QTest::keyClick(tool, Qt::Key_F1);
        const QList<THelpForm*> shown = mainForm().findChildren<THelpForm*>();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.constFirst()->isVisible());
    }

    // Help shows the README's user parts (not the developers' ones) in one window of its own, on the
    // screen; asked again, it shows the same window.
    void helpShowsTheReadmeUserParts()
    {
        start();
        child<QAction>(m_app->mainForm.get(), "miHelpContents")->trigger();
        const QList<THelpForm*> shown = mainForm().findChildren<THelpForm*>();
        QCOMPARE(shown.size(), 1);
        THelpForm* help = shown.constFirst();
        QVERIFY(help->isVisible());
        QVERIFY(!help->isModal());
        const QString text = help->findChild<QTextBrowser*>("HelpBrowser")->toPlainText();
        for (const char* part : {"Your first menu", "Keyboard shortcuts", "a second language needs its audio file",
                                 "Preview and walkthroughs"})
            QVERIFY2(text.contains(QLatin1String(part)), part);
        for (const char* part : {"Setup (Debian 12", "Fuzzing", "<!--", "docs/firstmenu.png"})
            QVERIFY2(!text.contains(QLatin1String(part)), part);
        QVERIFY(mainForm().screen()->availableGeometry().contains(help->geometry()));
        // A web link opens in the browser; the README's links to files of the source tree do
        // nothing, and the page stays.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("http", &catcher, "open");
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        QTextBrowser* browser = help->findChild<QTextBrowser*>("HelpBrowser");
        emit browser->anchorClicked(QUrl("docs/benchmarks.md"));
        emit browser->anchorClicked(QUrl("file:///tmp/benchmarks.md"));
        emit browser->anchorClicked(QUrl("http://example.org/"));
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl("http://example.org/")});
        QCOMPARE(browser->toPlainText(), text);

        help->close();
        child<QAction>(m_app->mainForm.get(), "miHelpContents")->trigger();
        QCOMPARE(mainForm().findChildren<THelpForm*>(), QList<THelpForm*>{help});
        QVERIFY(help->isVisible());
    }

    void escapingErrorIsShown()
    {
        start();
        FailingWidget failing;
        failing.show();
        QVERIFY(QTest::qWaitForWindowExposed(&failing));
        QTest::mouseClick(&failing, Qt::LeftButton);
        QTest::mouseClick(&failing, Qt::LeftButton); // the program went on
        const Message expected{"Disk full while writing", "VRPL VazoVevoz", MessageIcon::Error};
        QCOMPARE(m_dialogs.messages(), (QList<Message>{expected, expected}));
        QVERIFY(mainForm().isVisible());
    }

    void hints_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("hint");
        QTest::newRow("start") << "bttStart" << "Go to first frame";
        QTest::newRow("previous") << "bttPrevFrame" << "Go to previous frame";
        QTest::newRow("next") << "bttNextFrame" << "Go to next frame";
        QTest::newRow("end") << "bttEnd" << "Go to last frame";
        QTest::newRow("previous key") << "bttPrevKF" << "Go to previous key frame";
        QTest::newRow("next key") << "bttNextKF" << "Go to next key frame";
        QTest::newRow("goto") << "bttGoto" << "Go to frame ...";
    }

    void hints()
    {
        QFETCH(QString, button);
        QFETCH(QString, hint);
        start();
        auto* b = child<QToolButton>(m_app->mainForm.get(), qPrintable(button));
        QCOMPARE(b->toolTip(), hint);
        QCOMPARE(b->size(), QSize(25, 25));
    }
};

// The main window needs the application object of the program (it catches escaping errors) and a
// screen large enough for a 720 x 576 picture with the tool windows on both sides of the main window;
// Qt's offscreen screen is smaller unless configured.
int main(int argc, char** argv)
{
    QTemporaryDir config;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        QFile json(config.filePath("screen.json"));
        if (json.open(QIODevice::WriteOnly)) {
            json.write(R"({"screens":[{"name":"Test","x":0,"y":0,"width":1920,"height":1200,)"
                       R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
            json.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + json.fileName().toLocal8Bit());
        }
    }
    // Nothing may reach the user's own settings, whatever a test does.
    qputenv("XDG_CONFIG_HOME", config.filePath("xdg").toLocal8Bit());
    VazoApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_mainwindow.moc"
