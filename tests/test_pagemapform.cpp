// The page map window: each edit made on the map with the mouse or a key is one undo step, and its
// undo gives back the bytes of the file that was opened; a double click and a click only show things.
#include <QScrollArea>
#include <QTemporaryDir>

#include "document/actiontypes.h"
#include "document/projectwriter.h"
#include "editorstestutil.h"
#include "filetestutil.h"
#include "pagemaptestutil.h"
#include "workspace/pagemapform.h"

namespace {

// Page 1 (start and menu page): A jumps to 2, B plays the movie, C does nothing yet. Page 2: D jumps
// back to 1, and the page jumps to 3 at its end. Page 3 offers nothing and runs a jump to 1 at its end.
QByteArray menuBytes()
{
    MenuProject p;
    mapMenuHead(p, QStringLiteral("1"), QStringLiteral("1"));
    Page& one = mapPage(p, 1, QStringLiteral("Menu"), true);
    mapSelection(one, QStringLiteral("A"), QStringLiteral("10,10-60,40")).addAction(ActJumpToPage, QStringLiteral("2"));
    mapSelection(one, QStringLiteral("B"), QStringLiteral("70,10-120,40")).addAction(ActPlayMovie, QString());
    mapSelection(one, QStringLiteral("C"), QStringLiteral("130,10-180,40"));
    Page& two = mapPage(p, 2, QStringLiteral("Two"), false);
    mapSelection(two, QStringLiteral("D"), QStringLiteral("10,10-60,40")).addAction(ActJumpToPage, QStringLiteral("1"));
    two.jumpAtEnd = 3;
    Page& three = mapPage(p, 3, QStringLiteral("Three"), false);
    three.selectionAvailable = false;
    three.actionAtEnd = std::make_unique<MenuAction>(ActJumpToPage, QStringLiteral("1"));
    const std::optional<QByteArray> bytes = BuildMenuFile(p, [](const Message&) {});
    if (!bytes)
        qFatal("cannot build the menu");
    return *bytes;
}

} // namespace

class TestPageMapForm : public QObject
{
    Q_OBJECT

    EditorHarness h;
    QTemporaryDir dir;
    QByteArray saved;

    TPageMapForm& map() { return *h.app->pageMap; }
    QWidget* canvas() { return map().canvas(); }

    // The arrow of a kind from a page (and selection), or -1.
    int edgeOf(MapEdgeKind kind, int page, int selection = -1)
    {
        const PageMap& m = map().map();
        for (int i = 0; i < int(m.edges.size()); ++i) {
            const MapEdge& e = m.edges[size_t(i)];
            if (e.kind == kind && e.pageIndex == page && e.selectionIndex == selection)
                return i;
        }
        return -1;
    }
    QByteArray bytesNow() { return BuildMenuFile(h.project(), [](const Message&) {}).value_or(QByteArray()); }
    void dragOnMap(QPoint from, QPoint to)
    {
        QTest::mousePress(canvas(), Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas(), (from + to) / 2);
        QTest::mouseMove(canvas(), to);
        QTest::mouseRelease(canvas(), Qt::LeftButton, {}, to);
    }

private slots:
    void init()
    {
        h.start(false);
        const QString path = dir.filePath(QStringLiteral("map.ini"));
        writeFile(path, menuBytes());
        QVERIFY(h.main().OpenProject(path));
        saved = readAll(path);
        QCOMPARE(bytesNow(), saved);
        QVERIFY(h.edits().stack().isClean());
        child<QAction>(&h.main(), QStringLiteral("miWinPageMap"))->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&map()));
        QTRY_VERIFY(!map().busy());
        QCOMPARE(map().map().edges.size(), size_t(6));
    }
    void cleanup() { h.stop(); }

    // Each edit on the map: what it changed, one undo step, and the undo back to the file's bytes.
    void editsUndoToSavedBytes_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("kind");      // the arrow's kind, for the gestures on an arrow
        QTest::addColumn<int>("page");      // the arrow's page, or the handle's page
        QTest::addColumn<int>("selection"); // the arrow's or the handle's selection
        QTest::addColumn<int>("target");    // the page dropped on
        QTest::addColumn<QString>("expected");
        const int sel = int(MapEdgeKind::Selection), atEnd = int(MapEdgeKind::JumpAtEnd), endAction = int(MapEdgeKind::EndAction);
        QTest::newRow("Delete on a selection's arrow") << "delete" << sel << 0 << 0 << -1 << "A:";
        QTest::newRow("Delete on the jump at end") << "delete" << atEnd << 1 << -1 << -1 << "jumpAtEnd:0";
        QTest::newRow("Delete on the end action") << "delete" << endAction << 2 << -1 << -1 << "actionAtEnd:";
        QTest::newRow("an arrow dragged to another page") << "drag arrow" << sel << 0 << 0 << 2 << "A:1:3";
        QTest::newRow("the jump at end dragged") << "drag arrow" << atEnd << 1 << -1 << 0 << "jumpAtEnd:1";
        QTest::newRow("the end action dragged") << "drag arrow" << endAction << 2 << -1 << 1 << "actionAtEnd:1:2";
        QTest::newRow("a handle without actions") << "drag handle" << sel << 0 << 2 << 2 << "C:1:3";
        QTest::newRow("a handle of a selection that leaves the menu") << "drag handle" << sel << 0 << 1 << 1 << "B:1:2,2:";
        QTest::newRow("a handle of a selection with a jump") << "drag handle" << sel << 1 << 0 << 2 << "D:1:3";
    }
    void editsUndoToSavedBytes()
    {
        QFETCH(QString, gesture);
        QFETCH(int, kind);
        QFETCH(int, page);
        QFETCH(int, selection);
        QFETCH(int, target);
        QFETCH(QString, expected);
        const int targetNode = target; // page nodes come first, in list order
        if (gesture == QLatin1String("delete")) {
            const int edge = edgeOf(MapEdgeKind(kind), page, selection);
            QVERIFY(edge >= 0);
            QTest::mouseClick(canvas(), Qt::LeftButton, {}, map().edgePoint(edge));
            QCOMPARE(map().currentEdge(), edge);
            QCOMPARE(h.edits().stack().count(), 0); // picking is no edit
            QTest::keyClick(canvas(), Qt::Key_Delete);
        } else if (gesture == QLatin1String("drag arrow")) {
            const int edge = edgeOf(MapEdgeKind(kind), page, selection);
            QVERIFY(edge >= 0);
            dragOnMap(map().edgePoint(edge), map().nodePoint(targetNode));
        } else {
            const QPoint handle = map().handlePoint(page, selection);
            QVERIFY(handle.x() >= 0);
            dragOnMap(handle, map().nodePoint(targetNode));
        }
        QCOMPARE(h.edits().stack().count(), 1);
        // What the edit did, in the model.
        const Page& p = *h.project().pages[size_t(page)];
        QString now;
        const QString field = expected.section(QLatin1Char(':'), 0, 0);
        if (field == QLatin1String("jumpAtEnd")) {
            now = QStringLiteral("jumpAtEnd:%1").arg(p.jumpAtEnd);
        } else if (field == QLatin1String("actionAtEnd")) {
            now = QStringLiteral("actionAtEnd:");
            if (p.actionAtEnd)
                now += QStringLiteral("%1:%2").arg(p.actionAtEnd->type).arg(p.actionAtEnd->parameter);
        } else {
            const Selection& s = *p.selections[size_t(selection)];
            QStringList actions;
            for (const auto& a : s.actions)
                actions << QStringLiteral("%1:%2").arg(a->type).arg(a->parameter);
            now = s.name + QLatin1Char(':') + actions.join(QLatin1Char(','));
        }
        QCOMPARE(now, expected);
        // The map follows the edit after the pause.
        QTRY_VERIFY(!map().busy());
        h.edits().stack().undo();
        QCOMPARE(bytesNow(), saved);
        QVERIFY(h.edits().stack().isClean());
    }

    // A double click on a page shows it; a click on an arrow shows its page and picks its selection.
    // Neither is an edit.
    void showAndPick()
    {
        QTest::mouseDClick(canvas(), Qt::LeftButton, {}, map().nodePoint(2));
        QCOMPARE(h.pages().CurrentPageIndex(), 2);
        const int edge = edgeOf(MapEdgeKind::Selection, 1, 0);
        QTest::mouseClick(canvas(), Qt::LeftButton, {}, map().edgePoint(edge));
        QCOMPARE(h.pages().CurrentPageIndex(), 1);
        QCOMPARE(h.selections().chosenSelection(), h.project().pages[1]->selections[0].get());
        QCOMPARE(h.edits().stack().count(), 0);
    }

    // A rename keeps every place; a new link lays the map out again, and most pages stay where the
    // author saw them (in a view smaller than the map, which scrolls along when the map grows).
    void placesKept()
    {
        map().resize(240, 180);
        QTRY_VERIFY(map().PageMapScroll->viewport()->width() < map().canvas()->width());
        const std::vector<QRectF> before = map().places().nodes;
        h.edits().renameSelection(*h.project().pages[0]->selections[0], QStringLiteral("Renamed"));
        QTRY_VERIFY(!map().busy());
        QCOMPARE(map().places().nodes, before);
        QCOMPARE(map().map().edges[size_t(edgeOf(MapEdgeKind::Selection, 0, 0))].label, QStringLiteral("Renamed"));

        auto onScreen = [this](const QRectF& r) { return r.center() + map().canvas()->pos(); };
        std::vector<QPointF> seen;
        for (const QRectF& r : before)
            seen.push_back(onScreen(r));
        h.edits().insertAction(*h.project().pages[0]->selections[2], 0, std::make_unique<MenuAction>(ActJumpToPage, QStringLiteral("3")));
        QTRY_VERIFY(!map().busy());
        QCOMPARE(map().map().edges.size(), size_t(7));
        QCOMPARE(map().places().nodes.size(), before.size());
        int stayed = 0;
        for (size_t i = 0; i < before.size(); ++i)
            stayed += int(QLineF(seen[i], onScreen(map().places().nodes[i])).length() <= 24);
        QVERIFY2(stayed * 2 > int(before.size()), qPrintable(QString::number(stayed)));
    }

    // The docked windows take the map as a tab when it is open.
    void docks()
    {
        h.main().miDockedClick();
        auto* dock = qobject_cast<QTabWidget*>(map().parentWidget() ? map().parentWidget()->parentWidget() : nullptr);
        QVERIFY(dock);
        QVERIFY(dock->indexOf(&map()) >= 0);
        h.main().miDockedClick();
        QVERIFY(map().isWindow());
    }

    // File > Export page map… writes what the author names; a name it cannot write says so.
    void exportMap()
    {
        const QString svg = dir.filePath(QStringLiteral("exported.svg"));
        const qsizetype messages = h.dialogs.messages().size(); // the menu video is missing: a message at opening
        h.dialogs.queueAnswer(svg);
        child<QAction>(&h.main(), QStringLiteral("miExportPageMap"))->trigger();
        QVERIFY(readAll(svg).contains("<svg"));
        QCOMPARE(h.dialogs.messages().size(), messages);
        // A name the map cannot be written as is refused with a message.
        h.dialogs.queueAnswer(dir.filePath(QStringLiteral("exported.txt")));
        child<QAction>(&h.main(), QStringLiteral("miExportPageMap"))->trigger();
        QCOMPARE(h.dialogs.messages().size(), messages + 1);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("exported.txt"))));
    }
};

QTEST_MAIN(TestPageMapForm)
#include "test_pagemapform.moc"
