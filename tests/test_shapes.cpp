// Rectangles on the picture: the anchors and their resize arithmetic, drawing, moving, nudging,
// deleting and moving a rectangle to another page, the crosshair, and undo of all of it.
#include "editorstestutil.h"

#include <QComboBox>
#include <QMenu>
#include <QTreeWidget>
#include <QUndoStack>

#include "document/projectwriter.h"
#include "fixtures/framepattern.h"

class TestShapes : public QObject
{
    Q_OBJECT

    EditorHarness h;

private slots:
    void cleanup() { h.stop(); }

    // --- the rectangle control alone ------------------------------------------------------------
    void anchorPlacement_data()
    {
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<QList<QPoint>>("anchors");
        QTest::newRow("40 x 20") << QRect(100, 50, 40, 20)
                                 << QList<QPoint>{{100, 57}, {134, 57}, {117, 50}, {117, 64},
                                                  {100, 50}, {100, 64}, {134, 50}, {134, 64}};
        // (7 - 6) / 2 truncates to 0: the middle anchors sit at the top.
        QTest::newRow("7 high") << QRect(0, 10, 20, 7)
                                << QList<QPoint>{{0, 10}, {14, 10}, {7, 10}, {7, 11}, {0, 10}, {0, 11}, {14, 10}, {14, 11}};
        // A negative halving truncates toward zero too.
        QTest::newRow("3 wide") << QRect(10, 0, 3, 20)
                                << QList<QPoint>{{10, 7}, {7, 7}, {9, 0}, {9, 14}, {10, 0}, {10, 14}, {7, 0}, {7, 14}};
    }

    void anchorPlacement()
    {
        QFETCH(QRect, bounds);
        QFETCH(QList<QPoint>, anchors);
        QWidget container;
        RShape shape(&container);
        shape.setBounds(bounds);
        shape.ShowAnchors();
        for (int k = 0; k < RShape::kAnchorCount; ++k)
            QCOMPARE(shape.anchor(k)->pos(), anchors[k]);
        // Hiding the rectangle takes the anchors away; showing it again does not bring them back.
        shape.setVisible(false);
        QVERIFY(!shape.anchorsShown() && !shape.anchor(0));
        shape.setVisible(true);
        QVERIFY(!shape.anchorsShown());
    }

    void anchorDrag_data()
    {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QRect>("expected");
        // The rectangle starts at (100, 50), 40 x 20.
        QTest::newRow("left edge right 10") << 0 << QPoint(10, 0) << QRect(110, 50, 30, 20);
        QTest::newRow("right edge past the left") << 1 << QPoint(-45, 0) << QRect(100, 50, -5, 20);
        QTest::newRow("top edge down 4") << 2 << QPoint(0, 4) << QRect(100, 54, 40, 16);
        QTest::newRow("bottom edge down 4") << 3 << QPoint(3, 4) << QRect(100, 50, 40, 24);
        QTest::newRow("top-left") << 4 << QPoint(-5, -5) << QRect(95, 45, 45, 25);
        QTest::newRow("bottom-left") << 5 << QPoint(5, 5) << QRect(105, 50, 35, 25);
        QTest::newRow("top-right") << 6 << QPoint(5, 5) << QRect(100, 55, 45, 15);
        QTest::newRow("bottom-right") << 7 << QPoint(5, 5) << QRect(100, 50, 45, 25);
    }

    void anchorDrag()
    {
        QFETCH(int, anchor);
        QFETCH(QPoint, by);
        QFETCH(QRect, expected);
        QWidget container;
        container.resize(400, 300);
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        RShape shape(&container);
        shape.setBounds(QRect(100, 50, 40, 20));
        shape.show();
        int changed = 0;
        int hovered = 0;
        shape.OnChangedSize = [&] { ++changed; };
        shape.OnAnyAnchorMove = [&](RShapeAnchor*, Qt::KeyboardModifiers) { ++hovered; };
        shape.ShowAnchors();

        // A move without a button only reports the hover.
        QTest::mouseMove(shape.anchor(anchor), QPoint(2, 2));
        QTRY_VERIFY(hovered > 0);
        QCOMPARE(shape.bounds(), QRect(100, 50, 40, 20));

        QTest::mousePress(shape.anchor(anchor), Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseMove(shape.anchor(anchor), QPoint(2, 2) + by);
        QTest::mouseRelease(shape.anchor(anchor), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(shape.bounds(), expected);
        QCOMPARE(changed, 1);
    }

    // --- drawing ---------------------------------------------------------------------------------
    void pictureStartsAtItsPlace()
    {
        h.start(false);
        QWidget* panel = h.main().findChild<QWidget*>(QStringLiteral("VideoPanel"));
        QCOMPARE(h.picture()->mapTo(panel, QPoint(0, 0)), QPoint(8, 8));
    }

    void draw_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("named from the running number") << QPoint(10, 20) << QPoint(110, 70)
                                                       << QStringList{"Selection-5=10,20-110,70"};
        QTest::newRow("4 x 50 is too small") << QPoint(10, 20) << QPoint(14, 70) << QStringList{};
        QTest::newRow("5 x 5 is enough") << QPoint(10, 20) << QPoint(15, 25) << QStringList{"Selection-5=10,20-15,25"};
        QTest::newRow("grows only right and down") << QPoint(50, 50) << QPoint(10, 10) << QStringList{};
        QTest::newRow("stops at the right and bottom edges") << QPoint(300, 200) << QPoint(400, 300)
                                                             << QStringList{"Selection-5=300,200-320,240"};
    }

    void draw()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QStringList, expected);
        h.start();
        Page* page = h.addPage("1", "Main");
        page->nameCounter = 4;
        h.draw(from, to);
        QCOMPARE(h.areas(*page), expected);
        QCOMPARE(h.main().shownShapes().size(), expected.size());
        if (!expected.isEmpty()) {
            QCOMPARE(h.selections().SelectionList->topLevelItemCount(), 1);
            QCOMPARE(h.pages().cbDefaultSelection->count(), 2);
            QCOMPARE(h.main().undoAction()->text(), QString("Undo Draw rectangle"));
        }
    }

    void drawingNeedsAPageAndTheLeftButton()
    {
        h.start();
        h.draw(QPoint(10, 10), QPoint(100, 100)); // no page
        QVERIFY(h.main().shownShapes().isEmpty());
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 10), QPoint(100, 100), Qt::RightButton);
        QVERIFY(page->selections.empty());
        QVERIFY(h.main().shownShapes().isEmpty());
    }

    // A release of another button while the left one is held ends the drawing: what is on the picture
    // afterwards is exactly the page's selections, each where its area says.
    void anyReleaseEndsTheDrawing_data()
    {
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("other");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("right press and release") << QPoint(110, 70) << int(Qt::RightButton)
                                                 << QStringList{"Selection-1=10,20-110,70"};
        QTest::newRow("middle, band too small") << QPoint(12, 70) << int(Qt::MiddleButton) << QStringList{};
    }

    void anyReleaseEndsTheDrawing()
    {
        QFETCH(QPoint, to);
        QFETCH(int, other);
        QFETCH(QStringList, expected);
        h.start();
        Page* page = h.addPage("1", "Main");
        QWidget* picture = h.picture();
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(10, 20));
        QTest::mouseMove(picture, to);
        QTest::mousePress(picture, Qt::MouseButton(other), {}, to);
        QTest::mouseRelease(picture, Qt::MouseButton(other), {}, to);
        QTest::mouseMove(picture, QPoint(200, 150)); // the left button is still held
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(200, 150));
        QCOMPARE(h.areas(*page), expected);
        h.draw(QPoint(150, 100), QPoint(200, 150)); // the next drawing is whole again
        QCOMPARE(page->selections.size(), size_t(expected.size() + 1));
        QCOMPARE(h.main().shownShapes().size(), int(page->selections.size()));
        for (RShape* shape : h.main().shownShapes()) {
            QVERIFY(shape->tag);
            QCOMPARE(h.main().areaTextOf(*shape), shape->tag->area);
        }
    }

    // Resizing by an anchor writes the area as one step, however many moves the drag had; a drag back
    // to where it began records nothing; a release of another button ends the drag.
    void resizeByAnchor_data()
    {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<QList<QPoint>>("moves");
        QTest::addColumn<bool>("rightClickAfterFirst");
        QTest::addColumn<QString>("area");
        QTest::newRow("bottom-right, two moves") << 7 << QList<QPoint>{{5, 3}, {5, 3}} << false << "10,20-120,76";
        QTest::newRow("left edge") << 0 << QList<QPoint>{{4, 9}} << false << "14,20-110,70";
        QTest::newRow("top-left, back again") << 4 << QList<QPoint>{{5, 3}, {-5, -3}} << false << "10,20-110,70";
        QTest::newRow("right click ends it") << 7 << QList<QPoint>{{5, 3}, {5, 3}} << true << "10,20-115,73";
    }

    void resizeByAnchor()
    {
        QFETCH(int, anchor);
        QFETCH(QList<QPoint>, moves);
        QFETCH(bool, rightClickAfterFirst);
        QFETCH(QString, area);
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        RShape* shape = h.main().shownShapes().constFirst();
        h.drag(shape, QPoint(0, 0)); // picks it: anchors
        h.edits().stack().setClean();
        const int steps = h.edits().stack().count();
        const QPoint grab(2, 2);
        QTest::mousePress(shape->anchor(anchor), Qt::LeftButton, {}, grab);
        for (const QPoint& by : moves) {
            QTest::mouseMove(shape->anchor(anchor), grab + by); // the anchor follows, so each is relative
            if (std::exchange(rightClickAfterFirst, false))
                QTest::mouseClick(shape->anchor(anchor), Qt::RightButton, {}, grab);
        }
        QTest::mouseRelease(shape->anchor(anchor), Qt::LeftButton, {}, grab);
        QCOMPARE(page->selections[0]->area, area);
        const bool changed = area != QLatin1String("10,20-110,70");
        QCOMPARE(h.edits().stack().count(), steps + (changed ? 1 : 0));
        QCOMPARE(h.edits().stack().isClean(), !changed);
        if (changed) {
            QCOMPARE(h.edits().stack().undoText(), QString("Resize rectangle"));
            h.edits().stack().undo();
            QCOMPARE(page->selections[0]->area, QString("10,20-110,70"));
        }
    }

    // A held arrow key sends one press and then auto-repeated ones: one step per key held.
    void heldArrowKeyIsOneStep()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        QWidget* canvas = h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas"));
        canvas->setFocus();
        const int steps = h.edits().stack().count();
        auto hold = [canvas](Qt::Key key, int repeats) {
            for (int i = 0; i <= repeats; ++i) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), i > 0);
                QApplication::sendEvent(canvas, &press);
            }
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QApplication::sendEvent(canvas, &release);
        };
        hold(Qt::Key_Right, 3);
        hold(Qt::Key_Down, 2);
        QCOMPARE(page->selections[0]->area, QString("14,23-114,73"));
        QCOMPARE(h.edits().stack().count(), steps + 2);
        h.edits().stack().undo();
        QCOMPARE(page->selections[0]->area, QString("14,20-114,70"));
        h.edits().stack().undo();
        QCOMPARE(page->selections[0]->area, QString("10,20-110,70"));
    }

    // Undoing a drawing gives the page its running number back; redoing takes it again.
    void undoOfADrawingGivesBackTheRunningNumber()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        h.draw(QPoint(150, 20), QPoint(200, 70));
        h.edits().stack().undo();
        h.edits().stack().undo();
        h.edits().stack().redo();
        h.draw(QPoint(150, 100), QPoint(200, 150));
        QCOMPARE(h.areas(*page), (QStringList{"Selection-1=10,20-110,70", "Selection-2=150,100-200,150"}));
        h.edits().stack().undo();
        h.edits().stack().undo();
        h.draw(QPoint(150, 100), QPoint(200, 150));
        QCOMPARE(h.areas(*page), QStringList{"Selection-1=150,100-200,150"});
    }

    // --- moving, nudging ---------------------------------------------------------------------
    void move_data()
    {
        QTest::addColumn<QPoint>("by");
        QTest::addColumn<QString>("area");
        QTest::newRow("by (+7, -3)") << QPoint(7, -3) << "17,17-117,67";
        QTest::newRow("stops at the left edge") << QPoint(-50, 0) << "0,20-100,70";
        QTest::newRow("stops at the bottom edge") << QPoint(0, 500) << "10,190-110,240";
    }

    void move()
    {
        QFETCH(QPoint, by);
        QFETCH(QString, area);
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        RShape* shape = h.main().shownShapes().constFirst();
        h.drag(shape, by);
        QCOMPARE(page->selections[0]->area, area);
        // A click picks: anchors, the selection chosen in its list.
        QVERIFY(shape->anchorsShown());
        QCOMPARE(h.selections().chosenSelection(), page->selections[0].get());
        h.edits().stack().undo();
        QCOMPARE(page->selections[0]->area, QString("10,20-110,70"));
    }

    // A release of another button during a move ends it there, with the area written.
    void anyReleaseEndsAMove()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        RShape* shape = h.main().shownShapes().constFirst();
        const QPoint grab(5, 5);
        QTest::mousePress(shape, Qt::LeftButton, {}, grab);
        QTest::mouseMove(shape, grab + QPoint(7, -3));
        QTest::mousePress(shape, Qt::RightButton, {}, grab);
        QTest::mouseRelease(shape, Qt::RightButton, {}, grab);
        QCOMPARE(page->selections[0]->area, QString("17,17-117,67"));
        QTest::mouseMove(shape, grab + QPoint(20, 20)); // the left button is still held: no more moving
        QTest::mouseRelease(shape, Qt::LeftButton, {}, grab + QPoint(20, 20));
        QCOMPARE(h.main().areaTextOf(*shape), QString("17,17-117,67"));
        QCOMPARE(page->selections[0]->area, QString("17,17-117,67"));
    }

    void arrowKeysNudgeTheCurrentRectangle()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        QWidget* canvas = h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas"));
        canvas->setFocus();
        const int steps = h.edits().stack().count();
        QTest::keyClick(canvas, Qt::Key_Right);
        QTest::keyClick(canvas, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(page->selections[0]->area, QString("11,10-111,60"));
        QCOMPARE(h.edits().stack().count(), steps + 2);
        // Delete deletes it; without a current rectangle the arrows step frames again.
        QTest::keyClick(canvas, Qt::Key_Delete);
        QVERIFY(page->selections.empty());
        const QString frame = h.main().videoPosText();
        QTest::keyClick(canvas, Qt::Key_Right);
        QTRY_COMPARE(h.main().videoPosText(), QString::number(frame.toInt() + 1));
    }

    // --- popup: delete and move to page ------------------------------------------------------
    void deleteTheMiddleOfThree()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        for (int i = 0; i < 3; ++i)
            h.draw(QPoint(10 + 60 * i, 10), QPoint(50 + 60 * i, 50));
        h.drag(h.main().shownShapes().at(1), QPoint(0, 0)); // picks the second
        h.main().Delete1Click();
        QCOMPARE(h.areas(*page), (QStringList{"Selection-1=10,10-50,50", "Selection-3=130,10-170,50"}));
        QCOMPARE(h.selections().SelectionList->topLevelItemCount(), 2);
        QCOMPARE(h.main().currentShape(), nullptr);
    }

    void moveToPage()
    {
        h.start();
        Page* first = h.addPage("1", "One");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        RShape* shape = h.main().shownShapes().constFirst();
        QMenu* moveTo = h.main().shapePopUp()->findChild<QMenu*>(QStringLiteral("puShapeMoveToPage"));

        h.main().ShapeContextPopup(shape, QPoint(2, 2));
        QVERIFY(!moveTo->menuAction()->isEnabled()); // one page only
        h.main().shapePopUp()->close();

        Page* second = h.addPage("2", "Two & more");
        h.addPage("3", "Three");
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        shape = h.main().shownShapes().constFirst();
        h.main().ShapeContextPopup(shape, QPoint(2, 2));
        h.main().shapePopUp()->close();
        const QList<QAction*> items = moveTo->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[1]->text(), QString("2) Two && more")); // shown as typed, no accelerator
        QVERIFY(items[0]->isChecked() && !items[0]->isEnabled());
        QVERIFY(!items[1]->isChecked() && items[1]->isEnabled());

        second->nameCounter = 6;
        items[1]->trigger();
        QVERIFY(first->selections.empty());
        QVERIFY(h.main().shownShapes().isEmpty());
        QCOMPARE(h.areas(*second), QStringList{"Selection-1=10,20-110,70"});
        QCOMPARE(second->nameCounter, 7);
        // Shown again where it was.
        h.pages().ShowPage(1);
        QCOMPARE(h.main().areaTextOf(*h.main().shownShapes().constFirst()), QString("10,20-110,70"));
        // Undo puts it back on the first page, which is shown.
        h.edits().stack().undo();
        QCOMPARE(h.areas(*first), QStringList{"Selection-1=10,20-110,70"});
        QCOMPARE(h.pages().currentPage(), first);
        QCOMPARE(h.main().shownShapes().size(), 1);
    }

    // --- what the file holds -----------------------------------------------------------------
    void areaTextThatIsNotFourNumbers()
    {
        h.start();
        Page* page = h.addPage("1", "Main");
        page->addSelection(std::make_unique<Selection>(QStringLiteral("Odd"), QStringLiteral("10,20 to 30,40")));
        page->addSelection(std::make_unique<Selection>(QStringLiteral("Fine"), QStringLiteral("1,2-30,40")));
        h.pages().ShowPage(0);
        QCOMPARE(h.main().shownShapes().size(), 1); // no rectangle for the odd one, which is still listed
        QCOMPARE(h.selections().SelectionList->topLevelItemCount(), 2);
        QCOMPARE(page->selections[0]->area, QString("10,20 to 30,40"));
    }

    void crosshairStopsShortOfThePointer()
    {
        h.start();
        QTest::mouseMove(h.picture(), QPoint(100, 60));
        QTRY_VERIFY(h.main().crosshairLine(0)->isVisible());
        const QPoint o = h.main().pictureOrigin();
        QCOMPARE(h.main().crosshairLine(0)->geometry(), QRect(o.x(), o.y() + 60, 85, 3));
        QCOMPARE(h.main().crosshairLine(1)->geometry(), QRect(o.x() + 115, o.y() + 60, 320 - 115, 3));
        QCOMPARE(h.main().crosshairLine(2)->geometry(), QRect(o.x() + 100, o.y(), 3, 45));
        QCOMPARE(h.main().crosshairLine(3)->geometry(), QRect(o.x() + 100, o.y() + 75, 3, 240 - 75));
        // Near the corner, the parts of zero length or less are not drawn.
        QTest::mouseMove(h.picture(), QPoint(5, 5));
        QTRY_VERIFY(!h.main().crosshairLine(0)->isVisible());
        QVERIFY(!h.main().crosshairLine(2)->isVisible());
        QVERIFY(h.main().crosshairLine(1)->isVisible());
    }

    void rectanglesShowThePictureInverted()
    {
        h.start();
        h.addPage("1", "Main", "20-30");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        h.pages().ShowPage(0); // rectangles made for a shown page, over the frame shown then
        h.main().setTrackBarPosition(25);
        QTRY_COMPARE(fixtures::readFrameNumber(h.main().picture()), 25);
        QWidget* canvas = h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas"));
        const QImage seen = canvas->grab().toImage();
        const QPoint inside = h.main().pictureOrigin() + QPoint(60, 45);
        const QColor picture = h.main().picture().pixelColor(60, 45);
        QCOMPARE(seen.pixelColor(inside).red(), 255 - picture.red());
        QCOMPARE(seen.pixelColor(inside).blue(), 255 - picture.blue());
        const QPoint outside = h.main().pictureOrigin() + QPoint(200, 150);
        QCOMPARE(seen.pixelColor(outside), h.main().picture().pixelColor(200, 150));
    }

    void rectanglesStayVisibleOverMiddleGrey()
    {
        h.start(false);
        QImage grey(320, 240, QImage::Format_RGB32);
        grey.fill(QColor(128, 128, 128)); // inverted, it is 127: an outline must show the rectangle
        h.main().videoImage()->setImage(grey);
        h.addPage("1", "Main");
        h.draw(QPoint(10, 20), QPoint(110, 70));
        QWidget* canvas = h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas"));
        const QImage seen = canvas->grab().toImage();
        int contrasting = 0;
        for (int x = 10; x < 110; ++x) {
            const QColor edge = seen.pixelColor(h.main().pictureOrigin() + QPoint(x, 20));
            contrasting += qAbs(edge.red() - 128) > 100 ? 1 : 0;
        }
        QVERIFY2(contrasting > 80, qPrintable(QString::number(contrasting)));
    }

    void rectanglesAreNeverInThePicture()
    {
        h.start();
        h.addPage("1", "Main");
        const QImage before = h.main().picture();
        h.draw(QPoint(0, 0), QPoint(320, 240));
        QCOMPARE(h.main().picture(), before);
        // Thumbnails come from the bare picture too.
        QCOMPARE(h.pages().makeThumbnail(), before.scaled(64, 43, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                                .convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(TestShapes)
#include "test_shapes.moc"
