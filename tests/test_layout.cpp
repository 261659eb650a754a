// Working on several rectangles at once: picking with Ctrl+click, Shift-drag and Ctrl+A, moving,
// nudging and deleting them together, the Arrange commands, snapping, copy and paste between pages,
// the position readout, and the remote control's order drawn on the picture. Every command is one
// undo step that gives back the exact file.
#include "editorstestutil.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSpinBox>
#include <QTreeWidget>
#include <QUndoStack>

#include "document/projectwriter.h"
#include "player/playermodel.h"
#include "workspace/preferencesform.h"
#include "workspace/problemsform.h"

#include <QCheckBox>
#include <QSpinBox>

class TestLayout : public QObject
{
    Q_OBJECT

    EditorHarness h;

    QWidget* canvas() { return h.main().findChild<QWidget*>(QStringLiteral("VideoCanvas")); }

    QByteArray bytes()
    {
        QString why;
        const std::optional<QByteArray> b = BuildMenuFile(h.project(), [&why](const Message& m) { why = m.text; });
        if (!b)
            qFatal("the project cannot be saved: %s", qPrintable(why));
        return *b;
    }

    // A page with rectangles drawn at these areas (picture pixels, "L,T-R,B").
    Page* pageWith(const QStringList& areas, const QString& number = QStringLiteral("1"))
    {
        Page* page = h.addPage(number, QStringLiteral("Page ") + number);
        for (const QString& a : areas) {
            const QStringList n = QString(a).replace(QLatin1Char('-'), QLatin1Char(',')).split(QLatin1Char(','));
            h.draw(QPoint(n[0].toInt(), n[1].toInt()), QPoint(n[2].toInt(), n[3].toInt()));
        }
        h.main().setPickedShapes({}); // a rectangle just drawn is picked; the tests pick their own
        return page;
    }
    QStringList areasOf(const Page& page)
    {
        QStringList out;
        for (const auto& s : page.selections)
            out << s->area;
        return out;
    }
    RShape* shapeOf(Page& page, int i) { return qobject_cast<RShape*>(page.selections[size_t(i)]->shape.data()); }
    QStringList listPicked()
    {
        QStringList names;
        for (const QTreeWidgetItem* item : h.selections().SelectionList->selectedItems())
            names << item->text(0);
        names.sort();
        return names;
    }
    void ctrlClick(RShape* shape) { QTest::mouseClick(shape, Qt::LeftButton, Qt::ControlModifier, QPoint(3, 3)); }

private slots:
    void init()
    {
        h.start();
        h.main().setSnapEnabled(false); // each test that snaps turns it on
        // What a menu file needs to be saved at all.
        MovieData& md = h.project().movieData;
        md.title = QStringLiteral("Test");
        md.id = QStringLiteral("1");
        md.movieDirectory = QStringLiteral("movie");
        md.aviName = QStringLiteral("movie.avi");
    }
    void cleanup() { h.stop(); }

    // --- Edit > Preferences -------------------------------------------------------------------
    // OK applies what the dialog holds at once (snapping, the autosave interval, the open video's
    // decoder) and keeps it for the next start; Cancel changes nothing.
    void preferencesApplyAndPersist()
    {
        QAction* item = h.main().findChild<QAction*>(QStringLiteral("miPreferences"));
        QVERIFY(item);
        QVERIFY(h.main().videoSource().ShowFrame(0)); // the decoder's budget is sized
        const std::size_t automatic = h.main().videoSource().decoder()->cacheBudget();
        auto answer = [&](bool snap, int minutes, int threads, int cacheMiB, QDialog::DialogCode how) {
            h.main().setModalRunner([=](QDialog& dialog) {
                child<QCheckBox>(&dialog, QStringLiteral("chkSnapToGuides"))->setChecked(snap);
                child<QSpinBox>(&dialog, QStringLiteral("edAutosaveMinutes"))->setValue(minutes);
                child<QSpinBox>(&dialog, QStringLiteral("edDecoderThreads"))->setValue(threads);
                child<QSpinBox>(&dialog, QStringLiteral("edPictureCacheMiB"))->setValue(cacheMiB);
                return int(how);
            });
            item->trigger();
        };
        answer(true, 5, 1, 1, QDialog::Accepted);
        QVERIFY(h.main().snapEnabled());
        QCOMPARE(h.main().autosaveIntervalMs(), 5 * 60 * 1000);
        AviFrameDecoder* decoder = h.main().videoSource().decoder();
        QCOMPARE(decoder->threads(), 1);
        QCOMPARE(decoder->cacheBudget(), std::min(automatic, std::size_t(1) << 20));
        const Preferences kept = Preferences::read(*TMainForm::openSettings());
        QCOMPARE(kept, (Preferences{true, 5, 1, 1}));

        answer(false, 9, 3, 0, QDialog::Rejected);
        QVERIFY(h.main().snapEnabled());
        QCOMPARE(h.main().autosaveIntervalMs(), 5 * 60 * 1000);
        QCOMPARE(Preferences::read(*TMainForm::openSettings()), kept);

        answer(false, 2, 0, 0, QDialog::Accepted); // automatic again
        QVERIFY(!h.main().snapEnabled());
        QCOMPARE(decoder->threads(), AviFrameDecoder::defaultThreads());
        QCOMPARE(decoder->cacheBudget(), automatic);
    }

    // --- picking several ----------------------------------------------------------------------
    void ctrlClickShiftDragAndSelectAll()
    {
        Page* page = pageWith({"10,10-50,50", "70,10-110,50", "130,10-170,50"});
        ctrlClick(shapeOf(*page, 0));
        ctrlClick(shapeOf(*page, 2));
        QCOMPARE(h.main().pickedShapes(), (QList<RShape*>{shapeOf(*page, 0), shapeOf(*page, 2)}));
        QCOMPARE(listPicked(), (QStringList{"Selection-1", "Selection-3"})); // the list shows the same
        // Anchors only when exactly one is picked.
        QVERIFY(!shapeOf(*page, 0)->anchorsShown() && !shapeOf(*page, 2)->anchorsShown());
        ctrlClick(shapeOf(*page, 0)); // removed: the other one alone, with its anchors
        QCOMPARE(h.main().pickedShapes(), QList<RShape*>{shapeOf(*page, 2)});
        QVERIFY(shapeOf(*page, 2)->anchorsShown());

        // Shift-drag on the bare picture picks every rectangle it touches, drawing nothing.
        QTest::mousePress(h.picture(), Qt::LeftButton, Qt::ShiftModifier, QPoint(40, 60));
        QTest::mouseMove(h.picture(), QPoint(80, 45));
        QTest::mouseRelease(h.picture(), Qt::LeftButton, Qt::ShiftModifier, QPoint(80, 45));
        QCOMPARE(h.main().pickedShapes(), (QList<RShape*>{shapeOf(*page, 0), shapeOf(*page, 1)}));
        QCOMPARE(page->selections.size(), size_t(3));

        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(h.main().pickedShapes().size(), 3);
        QCOMPARE(listPicked().size(), 3);
        // A plain click on one of them picks it alone.
        QTest::mouseClick(shapeOf(*page, 1), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(h.main().pickedShapes(), QList<RShape*>{shapeOf(*page, 1)});
        QCOMPARE(listPicked(), QStringList{"Selection-2"});

        QVERIFY(shapeOf(*page, 1)->anchorsShown());
        QCOMPARE(h.selections().chosenSelection(), page->selections[1].get());

        // A rectangle just drawn is the picked one, ready to be named or given an action.
        h.draw(QPoint(200, 100), QPoint(240, 140));
        QCOMPARE(h.main().pickedShapes(), QList<RShape*>{shapeOf(*page, 3)});
        QVERIFY(shapeOf(*page, 3)->anchorsShown());
        QCOMPARE(h.selections().chosenSelection(), page->selections[3].get());
        QCOMPARE(listPicked(), QStringList{"Selection-4"});
    }

    void severalMoveNudgeDeleteAsOneStepEach()
    {
        Page* page = pageWith({"10,10-50,50", "70,10-110,50", "130,10-170,50"});
        const QByteArray saved = bytes();
        const int steps = h.edits().stack().count();
        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key_A, Qt::ControlModifier);

        h.drag(shapeOf(*page, 1), QPoint(5, 20));
        QCOMPARE(areasOf(*page), (QStringList{"15,30-55,70", "75,30-115,70", "135,30-175,70"}));
        QCOMPARE(h.edits().stack().count(), steps + 1);
        QCOMPARE(h.main().pickedShapes().size(), 3); // still all picked

        // The group stops where its first member meets the picture's left edge.
        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(canvas(), Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(areasOf(*page), (QStringList{"0,30-40,70", "60,30-100,70", "120,30-160,70"}));
        QCOMPARE(h.edits().stack().count(), steps + 3);

        QTest::keyClick(canvas(), Qt::Key_Delete);
        QVERIFY(page->selections.empty());
        QCOMPARE(h.edits().stack().count(), steps + 4);
        QCOMPARE(h.main().undoAction()->text(), QString("Undo Delete rectangles"));
        for (int i = 0; i < 4; ++i)
            h.edits().stack().undo();
        QCOMPARE(bytes(), saved);
    }

    void severalMovedToAnotherPage()
    {
        Page* first = pageWith({"10,10-50,50", "70,10-110,50", "130,10-170,50"});
        Page* second = h.addPage("2", "Two");
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        const QByteArray saved = bytes();
        ctrlClick(shapeOf(*first, 2));
        ctrlClick(shapeOf(*first, 0));
        h.main().OnChangePageSelectionClick(second);
        QCOMPARE(areasOf(*first), QStringList{"70,10-110,50"});
        // In their page order, whatever order they were picked in.
        QCOMPARE(areasOf(*second), (QStringList{"10,10-50,50", "130,10-170,50"}));
        h.edits().stack().undo();
        QCOMPARE(bytes(), saved);
    }

    // --- arrange ------------------------------------------------------------------------------
    void arrange_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("expected");
        // Picked in this order: the first (20,20 40x20) is the one the others line up with.
        // Layout: A 20,20-60,40   B 100,50-120,90   C 200,100-260,110
        QTest::newRow("left") << "miAlignLeft" << QStringList{"20,20-60,40", "20,50-40,90", "20,100-80,110"};
        QTest::newRow("right") << "miAlignRight" << QStringList{"20,20-60,40", "40,50-60,90", "0,100-60,110"};
        QTest::newRow("top") << "miAlignTop" << QStringList{"20,20-60,40", "100,20-120,60", "200,20-260,30"};
        QTest::newRow("bottom") << "miAlignBottom" << QStringList{"20,20-60,40", "100,0-120,40", "200,30-260,40"};
        QTest::newRow("horizontal centres")
            << "miAlignHCentres" << QStringList{"20,20-60,40", "30,50-50,90", "10,100-70,110"};
        QTest::newRow("vertical centres")
            << "miAlignVCentres" << QStringList{"20,20-60,40", "100,10-120,50", "200,25-260,35"};
        QTest::newRow("same width") << "miSameWidth" << QStringList{"20,20-60,40", "100,50-140,90", "200,100-240,110"};
        QTest::newRow("same height") << "miSameHeight" << QStringList{"20,20-60,40", "100,50-120,70", "200,100-260,120"};
        QTest::newRow("same size") << "miSameSize" << QStringList{"20,20-60,40", "100,50-140,70", "200,100-240,120"};
        // From 20 to 260: 240 wide, 120 of rectangles, two gaps of 60.
        QTest::newRow("distribute horizontally")
            << "miDistributeH" << QStringList{"20,20-60,40", "120,50-140,90", "200,100-260,110"};
        // From 20 to 110: 90 high, 70 of rectangles, 20 left: gaps of 10.
        QTest::newRow("distribute vertically")
            << "miDistributeV" << QStringList{"20,20-60,40", "100,50-120,90", "200,100-260,110"};
    }

    void arrange()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, expected);
        Page* page = pageWith({"20,20-60,40", "100,50-120,90", "200,100-260,110"});
        const QByteArray saved = bytes();
        const int steps = h.edits().stack().count();
        for (int i = 0; i < 3; ++i)
            ctrlClick(shapeOf(*page, i));
        QAction* action = child<QAction>(h.main().arrangeMenu(), item);
        QVERIFY(action->isEnabled());
        action->trigger();
        QCOMPARE(areasOf(*page), expected);
        // The rectangles stand where their areas say.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(h.main().areaTextOf(*shapeOf(*page, i)), expected[i]);
        const bool changed = saved != bytes(); // distributing what is already evenly spread changes nothing
        QCOMPARE(h.edits().stack().count(), steps + (changed ? 1 : 0));
        if (changed) {
            QCOMPARE(h.main().undoAction()->text(), "Undo " + action->text().remove(QLatin1Char('&')));
            h.edits().stack().undo();
            QCOMPARE(bytes(), saved);
        }
    }

    void arrangeNeedsEnoughPicked()
    {
        Page* page = pageWith({"20,20-60,40", "100,50-120,90"});
        QAction* left = child<QAction>(h.main().arrangeMenu(), "miAlignLeft");
        QAction* distribute = child<QAction>(h.main().arrangeMenu(), "miDistributeH");
        QTest::mouseClick(shapeOf(*page, 0), Qt::LeftButton, {}, QPoint(3, 3));
        emit h.main().arrangeMenu()->aboutToShow();
        QVERIFY(!left->isEnabled());
        ctrlClick(shapeOf(*page, 1));
        QVERIFY(left->isEnabled());
        QVERIFY(!distribute->isEnabled()); // three at least
    }

    // --- numbers --------------------------------------------------------------------------------
    void readoutWhileMovingAndTypedArea()
    {
        Page* page = pageWith({"10,20-110,70"});
        RShape* shape = shapeOf(*page, 0);
        QTest::mousePress(shape, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(shape, QPoint(12, 2));
        QCOMPARE(h.main().statusText(), QString("x 17  y 17  w 100  h 50  (17,17-117,67)"));
        QTest::mouseRelease(shape, Qt::LeftButton, {}, QPoint(12, 2));

        // The picked rectangle's Area as four numbers, typed in: clamped to the picture, one step each.
        const QByteArray saved = bytes();
        auto* right = child<QSpinBox>(&h.selections(), "edAreaRight");
        QCOMPARE(right->value(), 117);
        right->setFocus();
        right->selectAll();
        QTest::keyClicks(right, "999");
        QTest::keyClick(right, Qt::Key_Return);
        QCOMPARE(page->selections[0]->area, QString("17,17-320,67"));
        QCOMPARE(h.main().areaTextOf(*shape), QString("17,17-320,67"));
        auto* top = child<QSpinBox>(&h.selections(), "edAreaTop");
        top->setFocus();
        top->selectAll();
        QTest::keyClicks(top, "5");
        QTest::keyClick(top, Qt::Key_Return);
        QCOMPARE(page->selections[0]->area, QString("17,5-320,67"));
        h.edits().stack().undo();
        h.edits().stack().undo();
        QCOMPARE(bytes(), saved);
        QCOMPARE(top->value(), 17); // the fields follow the undo
        h.edits().stack().undo();
        QCOMPARE(page->selections[0]->area, QString("10,20-110,70"));
    }

    // An edge typed onto or past the opposite one stops short of it by the smallest size a drawn
    // rectangle has; the opposite edge stays.
    void typedEdgeKeepsMinimumSize_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("area");
        QTest::addColumn<int>("shown");
        QTest::newRow("left onto right") << "edAreaLeft" << "110" << "105,20-110,70" << 105;
        QTest::newRow("left past right") << "edAreaLeft" << "300" << "105,20-110,70" << 105;
        QTest::newRow("top onto bottom") << "edAreaTop" << "70" << "10,65-110,70" << 65;
        QTest::newRow("right past left") << "edAreaRight" << "0" << "10,20-15,70" << 15;
        QTest::newRow("bottom onto top") << "edAreaBottom" << "20" << "10,20-110,25" << 25;
    }
    void typedEdgeKeepsMinimumSize()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, area);
        QFETCH(int, shown);
        Page* page = pageWith({"10,20-110,70"});
        RShape* shape = shapeOf(*page, 0);
        QTest::mouseClick(shape, Qt::LeftButton, {}, QPoint(3, 3));
        auto* box = child<QSpinBox>(&h.selections(), field);
        QVERIFY(box->isEnabled());
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(page->selections[0]->area, area);
        QCOMPARE(h.main().areaTextOf(*shape), area);
        QCOMPARE(box->value(), shown); // the field shows the number kept
    }

    // The readout ends on the numbers where the pointer comes to rest, however fast it moved there;
    // undo and redo leave no numbers of a rectangle that is no longer there.
    void readoutShowsTheLatestNumbers()
    {
        Page* page = pageWith({"10,20-110,70"});
        QTRY_VERIFY(!h.app->problems->checkPending()); // its count would take the line
        RShape* shape = shapeOf(*page, 0);
        QTest::mousePress(shape, Qt::LeftButton, {}, QPoint(5, 5));
        for (int i = 0; i < 10; ++i) // a quick run, one pixel to the right each
            QTest::mouseMove(shape, QPoint(6, 5));
        QCOMPARE(h.main().areaTextOf(*shape), QString("20,20-120,70"));
        const QString moved("x 20  y 20  w 100  h 50  (20,20-120,70)");
        QTRY_COMPARE(h.main().statusText(), moved);
        QTest::mouseRelease(shape, Qt::LeftButton, {}, QPoint(6, 5));

        h.main().undoAction()->trigger();
        QCOMPARE(page->selections[0]->area, QString("10,20-110,70"));
        QCOMPARE(h.main().statusText(), QString("x 10  y 20  w 100  h 50  (10,20-110,70)"));
        h.main().redoAction()->trigger();
        QCOMPARE(h.main().statusText(), moved);
    }

    // --- zoom ---------------------------------------------------------------------------------
    // Whatever the zoom, the author works in picture pixels: the same gestures over the same picture
    // pixels save the same Area, and the readout tells picture pixels. Dragging one edge by an
    // anchor never moves the opposite one by rounding, which a zoom below 1 would tempt.
    void zoomKeepsPicturePixels_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::newRow("50 %") << 0.5;
        QTest::newRow("75 %") << 0.75;
        QTest::newRow("100 %") << 1.0;
        QTest::newRow("200 %") << 2.0;
    }
    void zoomKeepsPicturePixels()
    {
        QFETCH(double, zoom);
        Page* page = h.addPage(QStringLiteral("1"), QStringLiteral("Page 1"));
        h.main().setZoom(zoom);
        QCOMPARE(h.main().zoom(), zoom);
        const auto shown = [zoom](QPoint p) { return QPoint(qRound(p.x() * zoom), qRound(p.y() * zoom)); };
        h.draw(shown({20, 40}), shown({120, 92}));
        QCOMPARE(areasOf(*page), QStringList{"20,40-120,92"});
        RShape* shape = shapeOf(*page, 0);
        QCOMPARE(shape->geometry(), QRect(h.picture()->pos() + shown({20, 40}), QSize(shown({100, 52}).x(), shown({100, 52}).y())));

        h.drag(shape, shown({12, 8}));
        QCOMPARE(areasOf(*page), QStringList{"32,48-132,100"});
        auto dragAnchor = [&](int k, QPoint by) {
            QWidget* anchor = canvas()->findChild<QWidget*>(QStringLiteral("Anchor%1").arg(k));
            QVERIFY(anchor);
            QTest::mousePress(anchor, Qt::LeftButton, {}, QPoint(2, 2));
            QTest::mouseMove(anchor, QPoint(2, 2) + shown(by));
            QTest::mouseRelease(anchor, Qt::LeftButton, {}, QPoint(2, 2) + shown(by));
        };
        dragAnchor(7, {20, 12});
        QCOMPARE(areasOf(*page), QStringList{"32,48-152,112"});
        QTRY_COMPARE(h.main().statusText(), QString("x 32  y 48  w 120  h 64  (32,48-152,112)"));
        dragAnchor(0, {-12, 0});
        QCOMPARE(areasOf(*page), QStringList{"20,48-152,112"});
        dragAnchor(2, {0, 8});
        QCOMPARE(areasOf(*page), QStringList{"20,56-152,112"});
        // Odd edges, which a screen pixel at 50 % cannot name, stay where they are when another
        // edge is dragged.
        h.main().nudgeCurrentShape(1, 1, false);
        QCOMPARE(areasOf(*page), QStringList{"21,57-153,113"});
        dragAnchor(3, {0, 8});
        QVERIFY2(areasOf(*page).front().startsWith("21,57-153,"), qPrintable(areasOf(*page).front()));
        dragAnchor(1, {8, 0});
        QVERIFY2(areasOf(*page).front().startsWith("21,57-"), qPrintable(areasOf(*page).front()));

        // A Shift-drag picks by picture pixels too: a band that ends just short of the rectangle
        // picks nothing, one that reaches into it picks it.
        auto band = [&](QPoint from, QPoint to) {
            QTest::mousePress(h.picture(), Qt::LeftButton, Qt::ShiftModifier, shown(from));
            QTest::mouseMove(h.picture(), shown(to));
            QTest::mouseRelease(h.picture(), Qt::LeftButton, Qt::ShiftModifier, shown(to));
            return h.main().pickedShapes().size();
        };
        QCOMPARE(band({4, 4}, {16, 52}), 0);
        QCOMPARE(band({4, 4}, {24, 60}), 1);
    }

    // Zoom in and out walk one ladder of steps both ways, a fitted zoom steps to its neighbours, the
    // wheel with Ctrl zooms about the point under the pointer, and Fit keeps the whole picture in the
    // window as the window changes size.
    void zoomCommands()
    {
        QCOMPARE(h.main().zoom(), 1.0);
        for (double z = 0.25; TMainForm::zoomStep(z, 1) != z; z = TMainForm::zoomStep(z, 1))
            QCOMPARE(TMainForm::zoomStep(TMainForm::zoomStep(z, 1), -1), z);
        QVERIFY(TMainForm::zoomStep(0.63, 1) > 0.63 && TMainForm::zoomStep(0.63, 1) < 0.7);
        QVERIFY(TMainForm::zoomStep(0.63, -1) < 0.63 && TMainForm::zoomStep(0.63, -1) >= 0.5);

        auto* scroll = h.main().findChild<QScrollArea*>(QStringLiteral("VideoScroll"));
        h.main().setZoom(2.0); // larger than the window: it scrolls
        const QPoint point = QRect(QPoint(0, 0), h.main().picture().size()).center(); // under the pointer
        const QPoint before = h.picture()->mapTo(scroll, point * 2);
        QWheelEvent wheel(QPointF(point * 2), QPointF(h.picture()->mapToGlobal(point * 2)), {}, QPoint(0, 120),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(h.picture(), &wheel);
        QCOMPARE(h.main().zoom(), 3.0);
        QCOMPARE(h.picture()->size(), h.main().picture().size() * 3);
        QCOMPARE(h.picture()->mapTo(scroll, point * 3), before);

        // The keys zoom about the middle of what the window shows.
        auto middle = [&] {
            const QPoint at = h.picture()->mapFrom(scroll->viewport(), scroll->viewport()->rect().center());
            return QPointF(at) / h.main().zoom();
        };
        const QPointF shownMiddle = middle();
        h.main().zoomOut();
        QVERIFY2((middle() - shownMiddle).manhattanLength() <= 1.0, qPrintable(QString::number(middle().x())));
        h.main().zoomIn();
        for (const double z : {2.0, 1.5, 1.0, 0.75}) {
            h.main().zoomOut();
            QCOMPARE(h.main().zoom(), z);
        }
        h.main().zoomActualSize();
        QCOMPARE(h.main().zoom(), 1.0);

        h.main().zoomToFit();
        auto fitted = [&] {
            const QRect shown(h.picture()->mapTo(scroll, QPoint(0, 0)), h.picture()->size());
            const QSize picture = h.main().picture().size();
            return scroll->rect().contains(shown)
                   && (shown.width() == qRound(picture.width() * h.main().zoom()))
                   && (qAbs(shown.width() - (scroll->width() - 16)) <= 1 || qAbs(shown.height() - (scroll->height() - 16)) <= 1);
        };
        QVERIFY(fitted());
        const double small = h.main().zoom();
        h.main().resize(h.main().size() + QSize(200, 150));
        QTRY_VERIFY(h.main().zoom() > small);
        QTRY_VERIFY(fitted());
        h.main().zoomIn(); // another zoom ends the fitting
        const double chosen = h.main().zoom();
        h.main().resize(h.main().size() - QSize(100, 100));
        QTest::qWait(20);
        QCOMPARE(h.main().zoom(), chosen);
    }

    // The TV-safe guide is drawn over the picture, never into it, and is remembered.
    void safeAreaGuide()
    {
        QAction* item = h.main().findChild<QAction*>(QStringLiteral("miSafeArea"));
        const QImage picture = h.main().picture();
        const QImage plain = h.picture()->grab().toImage();
        item->trigger();
        QVERIFY(h.picture()->grab().toImage() != plain);
        QCOMPARE(h.main().picture(), picture);
        QVERIFY(TMainForm::openSettings()->value(QStringLiteral("ShowSafeArea")).toBool());
        item->trigger();
        QCOMPARE(h.picture()->grab().toImage(), plain);
        QVERIFY(!TMainForm::openSettings()->value(QStringLiteral("ShowSafeArea")).toBool());
    }

    // The status line gives way to the menus: with a readout as long as any, every menu of the bar
    // is still on it at the window's first size.
    void readoutLeavesTheMenusTheirRoom()
    {
        Page* page = pageWith({"10,20-110,70"});
        QTRY_VERIFY(!h.app->problems->checkPending()); // its count would take the line
        const QSize frame = h.main().frameGeometry().size() - h.main().size();
        h.main().resize(QSize(TMainForm::kInitialWidth, TMainForm::kInitialHeight) - frame);
        RShape* shape = shapeOf(*page, 0);
        QTest::mousePress(shape, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(shape, QPoint(12, 2));
        QTest::mouseRelease(shape, Qt::LeftButton, {}, QPoint(12, 2));
        const QString readout("x 17  y 17  w 100  h 50  (17,17-117,67)");
        QCOMPARE(h.main().statusText(), readout);

        QMenuBar* bar = h.main().menuBar();
        const QWidget* more = bar->findChild<QWidget*>(QStringLiteral("qt_menubar_ext_button"));
        QVERIFY(!more || !more->isVisible());
        const QRect line = bar->cornerWidget(Qt::TopRightCorner)->geometry();
        for (QAction* menu : bar->actions()) {
            const QRect place = bar->actionGeometry(menu);
            QVERIFY2(!place.isEmpty() && bar->rect().contains(place) && !place.intersects(line),
                     qPrintable(menu->text()));
        }
        // Where the bar has room, the line shows whole.
        h.main().resize(1100, h.main().height());
        QTRY_COMPARE(static_cast<QToolButton*>(bar->cornerWidget(Qt::TopRightCorner))->text(), readout);
    }

    // --- snapping -----------------------------------------------------------------------------
    void snapping_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("area");
        // The second rectangle moved right by 37 would have its left edge at 67, 3 from the first's
        // right edge at 70: it snaps to 70.
        QTest::newRow("snaps") << true << Qt::KeyboardModifiers() << "70,100-90,120";
        QTest::newRow("Alt held") << true << Qt::KeyboardModifiers(Qt::AltModifier) << "67,100-87,120";
        QTest::newRow("turned off") << false << Qt::KeyboardModifiers() << "67,100-87,120";
    }

    void snapping()
    {
        QFETCH(bool, on);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, area);
        Page* page = pageWith({"20,20-70,60", "30,100-50,120"});
        h.main().setSnapEnabled(on);
        RShape* shape = shapeOf(*page, 1);
        QTest::mousePress(shape, Qt::LeftButton, modifiers, QPoint(5, 5));
        QTest::mouseEvent(QTest::MouseMove, shape, Qt::NoButton, modifiers, QPoint(5 + 37, 5));
        QCOMPARE(h.main().snapGuide(0)->isVisible(), on && !modifiers);
        if (h.main().snapGuide(0)->isVisible())
            QCOMPARE(h.main().snapGuide(0)->x(), h.main().pictureOrigin().x() + 70);
        QTest::mouseRelease(shape, Qt::LeftButton, modifiers, QPoint(5, 5));
        QCOMPARE(page->selections[1]->area, area);
        QVERIFY(!h.main().snapGuide(0)->isVisible());
    }

    void snapWhileDrawingAndResizing()
    {
        Page* page = pageWith({"20,20-70,60"});
        h.main().setSnapEnabled(true);
        // Drawing: the corner under the pointer snaps, its bottom at 58 onto the first one's bottom.
        h.draw(QPoint(90, 30), QPoint(130, 58));
        QCOMPARE(page->selections[1]->area, QString("90,30-130,60"));
        // Resizing: the right edge dragged to 157 snaps onto the picture's centre line at 160.
        RShape* shape = shapeOf(*page, 1);
        QTest::mouseClick(shape, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(shape->anchorsShown());
        QTest::mousePress(shape->anchor(1), Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseMove(shape->anchor(1), QPoint(2 + 27, 2));
        QVERIFY(h.main().snapGuide(0)->isVisible());
        QTest::mouseRelease(shape->anchor(1), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(page->selections[1]->area, QString("90,30-160,60"));
        QVERIFY(!h.main().snapGuide(0)->isVisible());
    }

    void snapSettingIsKept()
    {
        h.main().setSnapEnabled(false);
        h.stop();
        h.app = std::make_unique<Application>(&h.dialogs); // the same settings folder
        QVERIFY(!h.main().snapEnabled());
    }

    // --- copy and paste -----------------------------------------------------------------------
    void copyPasteBetweenPagesKeepsActions()
    {
        Page* first = pageWith({"10,10-50,50", "70,10-110,50"});
        first->selections[0]->addAction(3, QStringLiteral("2"));
        first->selections[0]->addAction(9, QStringLiteral("+1"));
        Page* second = h.addPage("2", "Two");
        second->nameCounter = 6;
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        const QByteArray saved = bytes();

        QTest::mouseClick(shapeOf(*first, 0), Qt::LeftButton, {}, QPoint(3, 3));
        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key_C, Qt::ControlModifier);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasFormat(TMainForm::shapesMimeType()));
        // The plain text is the file's block, the relative jump written as the file writes it.
        QCOMPARE(data->text(), QString("\t[SELECTION=1]\t\t;Selection-1\r\n\t\tArea=10,10-50,50\r\n"
                                       "\t\tAction=3#1\r\n\t\tParameter=2#+1\r\n"));

        h.pages().selectRow(1);
        h.pages().ShowPage(1);
        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.areas(*second), QStringList{"Selection-7=10,10-50,50"}); // its place was free
        QCOMPARE(second->selections[0]->actions.size(), size_t(2));
        QCOMPARE(second->selections[0]->actions[1]->type, 9);
        QCOMPARE(second->selections[0]->actions[1]->parameter, QString("+1"));
        QCOMPARE(h.main().pickedShapes().size(), 1);

        // On its own page the place is taken: 10 pixels right and down. Duplicate does the same.
        h.pages().selectRow(0);
        h.pages().ShowPage(0);
        canvas()->setFocus();
        QTest::keyClick(canvas(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h.areas(*first).last(), QString("Selection-3=20,20-60,60"));
        QTest::keyClick(canvas(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(h.areas(*first).last(), QString("Selection-4=30,30-70,70"));
        QCOMPARE(first->selections.back()->actions.size(), size_t(2));

        // Cut takes them away; every step undone gives the file back.
        QTest::keyClick(canvas(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(first->selections.size(), size_t(3));
        while (h.edits().stack().canUndo() && bytes() != saved)
            h.edits().stack().undo();
        QCOMPARE(bytes(), saved);
        QCOMPARE(second->nameCounter, 6);
        QCOMPARE(first->nameCounter, 2);
    }

    // --- remote order -------------------------------------------------------------------------
    void remoteOrder_data()
    {
        QTest::addColumn<bool>("columns");
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QList<int>>("afterMove");
        // A 2 x 2 grid drawn in the order top-right, bottom-left, top-left, bottom-right; then the
        // top-left one goes below the bottom-left one.
        QTest::newRow("rows") << false << QList<int>{2, 3, 1, 4} << QList<int>{1, 2, 4, 3};
        QTest::newRow("columns") << true << QList<int>{3, 2, 1, 4} << QList<int>{3, 1, 2, 4};
    }

    void remoteOrder()
    {
        QFETCH(bool, columns);
        QFETCH(QList<int>, numbers);
        QFETCH(QList<int>, afterMove);
        Page* page = pageWith({"100,10-150,40", "10,60-60,90", "10,10-60,40", "100,60-150,90"});
        h.main().setRemoteOrderShown(true);
        auto properties = page->properties();
        properties.selectionAvailable = true;
        properties.columnOrdering = columns;
        properties.defaultSelection = 2;
        h.edits().modifyPage(*page, properties);
        QCOMPARE(h.main().remoteOrderNumbers(), numbers);
        QCOMPARE(h.main().remoteOrderDefault(), 1);
        // The same as the player's own walk of the table.
        PlayerModel model(h.project());
        model.start(0);
        QList<int> walked;
        for (int l = 0; l < model.lineCount(); ++l)
            for (int i : model.line(l))
                walked << i;
        for (qsizetype k = 0; k < walked.size(); ++k)
            QCOMPARE(numbers[walked[k]], int(k) + 1);
        QVERIFY(h.main().findChild<QWidget*>(QStringLiteral("RemoteOrderOverlay"))->isVisible());

        // Live: the numbers follow a move while the rectangle is dragged, and stay after it.
        QTest::mousePress(shapeOf(*page, 2), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(shapeOf(*page, 2), QPoint(5, 135));
        QCOMPARE(h.main().remoteOrderNumbers(), afterMove);
        QCOMPARE(page->selections[2]->area, QString("10,10-60,40")); // not yet recorded
        QTest::mouseRelease(shapeOf(*page, 2), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(page->selections[2]->area, QString("10,140-60,170"));
        QCOMPARE(h.main().remoteOrderNumbers(), afterMove);
        // Kept in the settings.
        h.stop();
        h.app = std::make_unique<Application>(&h.dialogs);
        QVERIFY(h.main().remoteOrderShown());
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
