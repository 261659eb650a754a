// The Preview window: clicks and keys reach the model and the window shows what it reports (the page's
// picture, the highlight, the message), walkthroughs recorded in the window are saved and replayed, and
// the window follows edits of the menu without losing its footing.
#include "editorstestutil.h"

#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>

#include "document/actiontypes.h"
#include "fixtures/framepattern.h"
#include "fixtures/jpegfixtures.h"
#include "player/walkthrough.h"
#include "workspace/previewform.h"

namespace {

constexpr int kStillNumber = 777;

std::unique_ptr<Page> videoPage(int number, const QString& name, int first, int last, bool loop)
{
    auto page = std::make_unique<Page>(number, name);
    page->backgroundIsVideo = true;
    page->firstFrame = first;
    page->lastFrame = last;
    page->videoLoop = loop;
    page->selectionAvailable = true;
    page->defaultSelection = 1;
    return page;
}

Selection& addSelection(Page& page, const QString& name, const QString& area, int type, const QString& parameter)
{
    Selection& s = page.addSelection(std::make_unique<Selection>(name, area));
    s.addAction(type, parameter);
    return s;
}

QString stillFolder()
{
    static QTemporaryDir dir;
    static const bool written = [] {
        fixtures::writePatternJpeg(dir.filePath(QStringLiteral("still.jpg")), kStillNumber, 320, 240);
        return true;
    }();
    Q_UNUSED(written);
    return dir.path();
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

    EditorHarness h;

    TPreviewForm& preview() { return *h.app->preview; }
    QWidget* picture() { return preview().pictureWidget(); }
    int pageNumber() { return preview().model().page() ? preview().model().page()->number : -1; }
    QString highlightName()
    {
        const Page* page = preview().model().page();
        const int i = preview().model().highlight();
        return page && i >= 0 ? page->selections[size_t(i)]->name : QString();
    }

    // Page 1 loops over frames 0-29 with three selections; page 2 plays 30-59 once and goes back to 1;
    // page 3 is a still picture.
    void buildMenu()
    {
        MenuProject& p = h.project();
        p.baseDirectory = QFileInfo(EditorHarness::video().path).absolutePath() + QLatin1Char('/');
        p.movieData.menuDirectory = QStringLiteral(".");
        p.movieData.menuAVIName = QStringLiteral("menu.avi");
        p.movieData.startPage = QStringLiteral("1");
        p.movieData.menuPage = QStringLiteral("1");

        auto main = videoPage(1, QStringLiteral("Main"), 0, 29, true);
        addSelection(*main, QStringLiteral("Left"), QStringLiteral("10,10-110,60"), ActJumpToPage, QStringLiteral("2"));
        addSelection(*main, QStringLiteral("Right"), QStringLiteral("150,10-250,60"), ActJumpToPage, QStringLiteral("3"));
        addSelection(*main, QStringLiteral("Below"), QStringLiteral("10,100-110,150"), ActMessageBox,
                     QStringLiteral("20 Hello|world"));
        auto second = videoPage(2, QStringLiteral("Second"), 30, 59, false);
        second->jumpAtEnd = 1;
        addSelection(*second, QStringLiteral("Back"), QStringLiteral("10,10-110,60"), ActJumpToPage, QStringLiteral("1"));
        auto still = std::make_unique<Page>(3, QStringLiteral("Still"));
        // The still picture lies in another folder than the video: the menu directory is relative.
        still->pictureFile = QStringLiteral("still.jpg");
        still->selectionAvailable = true;
        still->defaultSelection = 1;
        addSelection(*still, QStringLiteral("Home"), QStringLiteral("0,180-320,240"), ActJumpToPage, QStringLiteral("1"));
        h.edits().insertPage(0, std::move(main));
        h.edits().insertPage(1, std::move(second));
        h.edits().insertPage(2, std::move(still));
        // The still's file is found through the base directory and the menu directory.
        QFile::remove(QDir(p.baseDirectory).filePath(QStringLiteral("still.jpg")));
        QVERIFY(QFile::copy(QDir(stillFolder()).filePath(QStringLiteral("still.jpg")),
                            QDir(p.baseDirectory).filePath(QStringLiteral("still.jpg"))));
    }

    // Plays from the start page, paused, so that nothing moves while the test looks.
    void playPaused()
    {
        preview().playFromStartPage();
        preview().setPlaying(false);
        QVERIFY(QTest::qWaitForWindowExposed(&preview()));
    }

private slots:
    void init()
    {
        h.start();
        // The offscreen platform sends the pointer to the first window under it, whatever lies on top:
        // the preview opens in the screen's corner, clear of the main window's picture.
        preview().setBeside(nullptr);
        buildMenu();
    }
    void cleanup() { h.stop(); }

    void clickReachesPage_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("pictureNumber"); // what the picture shown carries
        QTest::addColumn<bool>("message");
        QTest::newRow("left rectangle") << QPoint(50, 30) << 2 << 30 << false;
        QTest::newRow("right rectangle, a still page") << QPoint(200, 30) << 3 << kStillNumber << false;
        QTest::newRow("top-left corner is inside") << QPoint(10, 10) << 2 << 30 << false;
        QTest::newRow("right edge lies outside") << QPoint(110, 30) << 1 << 0 << false;
        QTest::newRow("no rectangle there") << QPoint(300, 200) << 1 << 0 << false;
        QTest::newRow("message box") << QPoint(50, 120) << 1 << 0 << true;
    }

    void clickReachesPage()
    {
        QFETCH(QPoint, at);
        QFETCH(int, page);
        QFETCH(int, pictureNumber);
        QFETCH(bool, message);
        playPaused();
        QCOMPARE(pageNumber(), 1);
        QCOMPARE(fixtures::readFrameNumber(preview().picture()), 0);

        QTest::mouseClick(picture(), Qt::LeftButton, {}, at);
        QCOMPARE(pageNumber(), page);
        QCOMPARE(fixtures::readFrameNumber(preview().picture()), pictureNumber);
        QVERIFY2(preview().statusLine().startsWith(QStringLiteral("Page %1 ").arg(page)), qPrintable(preview().statusLine()));
        auto* panel = child<QWidget>(picture(), "MessagePanel");
        QCOMPARE(panel->isVisible(), message);
        if (message) {
            auto* text = child<QLabel>(panel, "MessageText");
            QCOMPARE(text->text(), QString("Hello\nworld"));
            QCOMPARE(text->font().pointSize(), 20);
            QTest::mouseClick(child<QPushButton>(panel, "bttMessageOk"), Qt::LeftButton);
            QVERIFY(!panel->isVisible());
            QVERIFY(!preview().model().messageShown());
        }
    }

    void keysMoveHighlight_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("highlight");
        QTest::addColumn<int>("page");
        QTest::newRow("default selection") << QList<int>{} << "Left" << 1;
        QTest::newRow("right") << QList<int>{Qt::Key_Right} << "Right" << 1;
        QTest::newRow("down") << QList<int>{Qt::Key_Down} << "Below" << 1;
        QTest::newRow("down, up, right") << QList<int>{Qt::Key_Down, Qt::Key_Up, Qt::Key_Right} << "Right" << 1;
        QTest::newRow("right edge stays") << QList<int>{Qt::Key_Right, Qt::Key_Right} << "Right" << 1;
        QTest::newRow("right, Enter") << QList<int>{Qt::Key_Right, Qt::Key_Return} << "Home" << 3;
    }

    void keysMoveHighlight()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, highlight);
        QFETCH(int, page);
        playPaused();
        for (int key : keys)
            QTest::keyClick(picture(), Qt::Key(key));
        QCOMPARE(pageNumber(), page);
        if (page != 1)
            return;
        QCOMPARE(highlightName(), highlight);
        // The highlight is drawn on the picture: the middle of its rectangle's left side.
        const QRect r = preview().model().selectionRect(preview().model().highlight());
        const QColor drawn = picture()->grab().toImage().pixelColor(r.left() + 2, r.center().y());
        QVERIFY2(drawn.red() > 200 && drawn.green() > 170 && drawn.blue() < 80, qPrintable(drawn.name()));
    }

    void highlightShowsOnAnyPicture_data()
    {
        QTest::addColumn<QColor>("picture");
        QTest::addColumn<bool>("clickable");
        for (const QColor& c : {QColor(Qt::black), QColor(Qt::white), QColor(255, 208, 0), QColor(160, 160, 160),
                                QColor(16, 16, 16)}) {
            QTest::addRow("%s", qPrintable(c.name())) << c << true;
            QTest::addRow("%s, waiting", qPrintable(c.name())) << c << false;
        }
    }

    // Whatever the picture under it, some line of the highlight stands out from it; the highlight
    // stays within the selection's rectangle and leaves its inside alone.
    void highlightShowsOnAnyPicture()
    {
        QFETCH(QColor, picture);
        QFETCH(bool, clickable);
        QImage image(100, 60, QImage::Format_RGB32);
        image.fill(picture);
        const QRect area(20, 10, 60, 40);
        {
            QPainter painter(&image);
            drawPreviewHighlight(painter, area, clickable);
        }
        for (const QPoint& side : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
            // From just outside one side of the rectangle inwards, across the highlight.
            const QPoint centre = area.center();
            QPoint p(side.x() > 0 ? area.left() - 1 : side.x() < 0 ? area.right() + 1 : centre.x(),
                     side.y() > 0 ? area.top() - 1 : side.y() < 0 ? area.bottom() + 1 : centre.y());
            QCOMPARE(image.pixelColor(p), picture);
            int contrast = 0;
            for (int i = 0; i < 4; ++i) {
                p += side;
                contrast = std::max(contrast, std::abs(qGray(image.pixel(p)) - qGray(picture.rgb())));
            }
            QVERIFY2(contrast > 90, qPrintable(QString::number(contrast)));
            QCOMPARE(image.pixelColor(p + side), picture);
        }
        // The light line says whether the selections can be chosen: yellow, or grey.
        const QColor light = image.pixelColor(area.left() + 2, area.center().y());
        QCOMPARE(light.blue() < 80, clickable);
    }

    void pointerHighlights()
    {
        playPaused();
        QTest::mouseMove(picture(), QPoint(200, 30));
        QCOMPARE(preview().hoveredSelection(), 1);
        QCOMPARE(highlightName(), QString("Right"));
        QCOMPARE(picture()->cursor().shape(), Qt::PointingHandCursor);
        // Off the rectangle the highlight stays where the pointer left it, as in the player.
        QTest::mouseMove(picture(), QPoint(300, 200));
        QCOMPARE(preview().hoveredSelection(), -1);
        QCOMPARE(highlightName(), QString("Right"));
        QCOMPARE(picture()->cursor().shape(), Qt::ArrowCursor);
    }

    void pageBeyondTheVideo()
    {
        h.edits().insertPage(3, videoPage(4, QStringLiteral("Lost"), 100, 120, true));
        playPaused();
        QCOMPARE(fixtures::readFrameNumber(preview().picture()), 0);
        preview().playFromPage(3);
        // Black, not the frame of the page shown before, and the status line says why.
        QVERIFY(preview().picture().isNull());
        QVERIFY2(preview().statusLine().contains("Frame 100 lies beyond the menu video's 60 frames"),
                 qPrintable(preview().statusLine()));
    }

    // A menu video that cannot be opened is said once a play, also when the window was closed in
    // between (showing the window again and playing each tried the video). A still page's missing
    // picture is named in the status line only.
    void unopenableVideoSaidOncePerPlay_data()
    {
        QTest::addColumn<int>("pageIndex");
        QTest::newRow("from the start page") << -1;
        QTest::newRow("from a still page without its picture") << 2;
    }
    void unopenableVideoSaidOncePerPlay()
    {
        QFETCH(int, pageIndex);
        QFile::remove(QDir(h.project().baseDirectory).filePath(QStringLiteral("still.jpg")));
        h.project().movieData.menuAVIName = QStringLiteral("missing.avi");
        const auto play = [&] { pageIndex < 0 ? preview().playFromStartPage() : preview().playFromPage(pageIndex); };
        const qsizetype before = h.dialogs.messages().size();
        play();
        QCOMPARE(h.dialogs.messages().size(), before + 1);
        preview().close();
        play();
        QCOMPARE(h.dialogs.messages().size(), before + 2);
        QCOMPARE(h.dialogs.messages().constLast(), h.dialogs.messages().at(before));
        if (pageIndex == 2)
            QVERIFY2(preview().statusLine().contains("still.jpg"), qPrintable(preview().statusLine()));
        // The file comes while the window is open: playing again tries it again, and shows its frames.
        const QString arrived = QDir(h.project().baseDirectory).filePath(QStringLiteral("missing.avi"));
        QVERIFY(QFile::copy(EditorHarness::video().path, arrived));
        const auto removeArrived = qScopeGuard([&] { QFile::remove(arrived); });
        pageIndex < 0 ? preview().playFromStartPage() : preview().playFromPage(0); // a video page
        QCOMPARE(h.dialogs.messages().size(), before + 2);
        QTRY_VERIFY(fixtures::readFrameNumber(preview().picture()) >= 0);
    }

    void playsAndSteps()
    {
        preview().playFromStartPage();
        QVERIFY(preview().isPlaying());
        // Real time moves the video, and the picture is the frame the model is on.
        QTRY_VERIFY(preview().model().frame() >= 3);
        QCOMPARE(fixtures::readFrameNumber(preview().picture()), int(preview().model().frame()));

        QTest::mouseClick(child<QPushButton>(&preview(), "bttStep"), Qt::LeftButton);
        QVERIFY(!preview().isPlaying());
        const qint64 at = preview().model().frame();
        QTest::mouseClick(child<QPushButton>(&preview(), "bttStep"), Qt::LeftButton);
        QCOMPARE(preview().model().frame(), (at + 1) % 30);
        QCOMPARE(fixtures::readFrameNumber(preview().picture()), int(preview().model().frame()));
    }

    void previewMenu()
    {
        QMenu* menu = child<QMenu>(h.app->mainForm.get(), "miPreview");
        QAction* fromStart = child<QAction>(menu, "miPlayFromStart");
        QAction* fromThis = child<QAction>(menu, "miPlayFromThisPage");
        QCOMPARE(fromStart->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(fromThis->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F5));

        h.pages().ShowPage(2);
        fromThis->trigger();
        QVERIFY(preview().isVisible());
        QCOMPARE(pageNumber(), 3);
        fromStart->trigger();
        QCOMPARE(pageNumber(), 1);
    }

    void editsRestartThePreview()
    {
        playPaused();
        QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(50, 30));
        QCOMPARE(pageNumber(), 2);
        // The page shown goes away; the preview starts again on what now stands at its place.
        h.edits().deletePage(1);
        preview().tick();
        QCOMPARE(pageNumber(), 3);
        QCOMPARE(fixtures::readFrameNumber(preview().picture()), kStillNumber);
        h.edits().stack().undo();
        QTRY_COMPARE(fixtures::readFrameNumber(preview().picture()), 30);
        QCOMPARE(pageNumber(), 2);
        // A click on the restarted page uses the restored project.
        QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(50, 30));
        QCOMPARE(pageNumber(), 1);
    }

    void recordSaveReplay_data()
    {
        QTest::addColumn<bool>("retarget");
        QTest::addColumn<QString>("failure");
        QTest::newRow("unchanged menu holds") << false << QString();
        QTest::newRow("a retargeted jump") << true
                                           << "Step 7 (line 7: expect page 3) no longer holds: the menu shows page 2 "
                                              "\"Second\", not page 3.";
    }

    void recordSaveReplay()
    {
        QFETCH(bool, retarget);
        QFETCH(QString, failure);
        playPaused();
        QPushButton* record = child<QPushButton>(&preview(), "bttRecord");
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(preview().isRecording());
        QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(50, 30));  // Left: page 2
        QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(50, 30));  // Back: page 1
        QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(200, 30)); // Right: page 3
        QTest::keyClick(picture(), Qt::Key_Return);                         // Home: page 1
        QTest::mouseClick(picture(), Qt::LeftButton, {}, QPoint(50, 120)); // the message
        QTest::mouseClick(child<QPushButton>(&preview(), "bttMessageOk"), Qt::LeftButton);
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(!preview().isRecording());

        QTemporaryDir dir;
        const QString path = dir.filePath("walk.walk");
        h.dialogs.queueAnswer(path);
        QTest::mouseClick(child<QPushButton>(&preview(), "bttSaveWalk"), Qt::LeftButton);
        QCOMPARE(h.dialogs.requests().constLast().options.filter, QString("Walkthroughs (*.walk)|*.walk"));
        Walkthrough saved;
        QVERIFY(loadWalkthrough(path, saved));
        QStringList lines;
        for (const WalkStep& s : saved.steps)
            lines << formatStep(s);
        QCOMPARE(lines, (QStringList{"start 1", "click \"Left\"", "expect page 2", "click \"Back\"", "expect page 1",
                                     "click \"Right\"", "expect page 3", "key Enter", "expect page 1", "click \"Below\"",
                                     "expect message \"20 Hello|world\"", "ok"}));

        if (retarget) {
            Selection& right = *h.project().pages[0]->selections[1];
            h.edits().replaceAction(right, 0, std::make_unique<MenuAction>(ActJumpToPage, QStringLiteral("2")));
        }
        preview().setReplayInterval(0);
        h.dialogs.queueAnswer(QStringList{path});
        QTest::mouseClick(child<QPushButton>(&preview(), "bttReplayWalk"), Qt::LeftButton);
        QVERIFY(!preview().isReplaying());
        const QString status = child<QLabel>(&preview(), "WalkStatus")->text();
        if (failure.isEmpty()) {
            QVERIFY(!preview().replayFailure());
            QCOMPARE(status, QString("walk.walk holds: all 12 steps."));
            QVERIFY(h.dialogs.messages().isEmpty());
            return;
        }
        QVERIFY(preview().replayFailure());
        QCOMPARE(preview().replayFailure()->sentence(), failure);
        QCOMPARE(status, "walk.walk: " + failure);
        QCOMPARE(h.dialogs.messages(), (QList<Message>{{"walk.walk: " + failure, "Walkthrough", MessageIcon::Warning}}));
        // The window stays where the replay stopped.
        QCOMPARE(pageNumber(), 2);
    }

    // The demo's walkthrough, replayed in the window at its own pace, holds as it does without one.
    void demoWalkthroughHoldsInTheWindow()
    {
        QVERIFY(h.main().OpenProject(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini")));
        preview().playFromStartPage();
        preview().setReplayInterval(1);
        preview().replayFiles({QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.walk")});
        QVERIFY(preview().isReplaying());
        QVERIFY(!child<QPushButton>(&preview(), "bttRecord")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!preview().isReplaying(), 20000);
        QVERIFY2(!preview().replayFailure(), qPrintable(preview().walkStatus()));
        QVERIFY2(preview().walkStatus().startsWith(QStringLiteral("demo.walk holds: all ")), qPrintable(preview().walkStatus()));
        QVERIFY(h.dialogs.messages().isEmpty());
    }
};

QTEST_MAIN(TestPreview)
#include "test_preview.moc"
