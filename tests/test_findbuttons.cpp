// Page > Find buttons in the program: the proposals over the picture, accepting all, some or none,
// the selections they become, and their single undo step.
#include "editorstestutil.h"

#include <QPushButton>
#include <QUndoStack>

#include "document/areatext.h"
#include "fixtures/buttonscenes.h"
#include "finder/buttonfinder.h"

using namespace fixtures;

namespace {

// A page of three buttons: a label, a framed button and a thumbnail, in reading order.
ButtonScene scene()
{
    ButtonScene s(QSize(320, 240), SceneBackground::Flat, 5);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(20);
    s.addLabel({30, 30}, QStringLiteral("Play"), f, Qt::white);
    s.addFramed({180, 40}, QStringLiteral("Setup"), f, Qt::white, Qt::white, QColor(), 2, 6);
    s.addThumbnail(QRect(60, 130, 100, 70), 3, true);
    return s;
}

QRect rectOf(const QString& area)
{
    const std::optional<AreaRect> a = parseArea(area);
    return a ? QRect(a->left, a->top, a->width(), a->height()) : QRect();
}

} // namespace

class TestFindButtons : public QObject
{
    Q_OBJECT

    EditorHarness h;
    QTemporaryDir m_dir;
    QString m_video;

    ButtonProposals* findButtons()
    {
        child<QToolButton>(&h.pages(), QStringLiteral("bttFindButtons"))->click();
        return h.main().buttonProposals();
    }
    Page* start()
    {
        h.start(false);
        h.main().OpenVideo(m_video);
        return h.addPage(QStringLiteral("1"), QStringLiteral("Main"), QStringLiteral("0-19"));
    }
    void click(ButtonProposals* proposals, int index, double zoom = 1.0)
    {
        const QPoint centre = proposals->proposals().at(size_t(index)).center();
        QTest::mouseClick(proposals, Qt::LeftButton, {}, QPoint(qRound(centre.x() * zoom), qRound(centre.y() * zoom)));
    }

private slots:
    void initTestCase()
    {
        const ButtonScene s = scene();
        VideoSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.frames = 20;
        spec.picture = [&](int n) { return s.frame(n); };
        m_video = writeVideo(m_dir.filePath(QStringLiteral("menu.avi")), spec).path;
    }
    void cleanup() { h.stop(); }

    void accept_data()
    {
        QTest::addColumn<QList<int>>("clicks"); // proposals clicked, in order (a second click leaves one)
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<int>>("accepted"); // proposals that become selections, in reading order
        QTest::addColumn<double>("zoom");
        QTest::newRow("all") << QList<int>{} << "bttAcceptAll" << QList<int>{0, 1, 2} << 1.0;
        QTest::newRow("all, whatever was chosen") << QList<int>{1} << "bttAcceptAll" << QList<int>{0, 1, 2} << 1.0;
        QTest::newRow("the chosen ones") << QList<int>{2, 0, 1, 1} << "bttAcceptChosen" << QList<int>{0, 2} << 1.0;
        QTest::newRow("none: cancel") << QList<int>{0, 1} << "bttCancelProposals" << QList<int>{} << 1.0;
        // Proposals are in picture pixels; a click on a zoomed picture chooses the one under it.
        QTest::newRow("chosen at 200 %") << QList<int>{2, 0} << "bttAcceptChosen" << QList<int>{0, 2} << 2.0;
        QTest::newRow("chosen at 50 %") << QList<int>{1} << "bttAcceptChosen" << QList<int>{1} << 0.5;
    }

    void accept()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QString, button);
        QFETCH(QList<int>, accepted);
        QFETCH(double, zoom);
        Page* page = start();
        QVERIFY(page);
        h.main().setZoom(zoom);
        const int steps = h.edits().stack().count();
        ButtonProposals* proposals = findButtons();
        QVERIFY(proposals && proposals->isVisible());
        // The finder's order is best first; the test names them in reading order.
        std::vector<QRect> offered = proposals->proposals();
        QCOMPARE(int(offered.size()), 3);
        const std::vector<QRect> truth = expectedRects(scene(), finder::kMargin);
        QCOMPARE(matchedButtons(truth, offered, 0.6), 3);
        std::vector<int> order{0, 1, 2};
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            return std::make_pair(offered[size_t(a)].top(), offered[size_t(a)].left())
                 < std::make_pair(offered[size_t(b)].top(), offered[size_t(b)].left());
        });
        for (int c : clicks)
            click(proposals, order[size_t(c)], zoom);
        child<QPushButton>(proposals, button)->click();
        QTRY_VERIFY(!h.main().buttonProposals());

        QStringList expected;
        for (int i = 0; i < accepted.size(); ++i) {
            const QRect r = offered[size_t(order[size_t(accepted[i])])];
            expected << QStringLiteral("Selection-%1=%2,%3-%4,%5").arg(i + 1).arg(r.left()).arg(r.top())
                            .arg(r.left() + r.width()).arg(r.top() + r.height());
        }
        QCOMPARE(h.areas(*page), expected);
        QCOMPARE(h.main().shownShapes().size(), accepted.size());
        QCOMPARE(h.edits().stack().count(), steps + (accepted.isEmpty() ? 0 : 1));
    }

    // All accepted rectangles leave with one undo and come back with one redo, names and numbering too.
    void oneUndoStep()
    {
        Page* page = start();
        findButtons();
        child<QPushButton>(h.main().buttonProposals(), QStringLiteral("bttAcceptAll"))->click();
        const QStringList after = h.areas(*page);
        QCOMPARE(after.size(), 3);
        QCOMPARE(h.edits().stack().undoText(), QStringLiteral("Find buttons"));
        h.edits().stack().undo();
        QCOMPARE(h.areas(*page), QStringList{});
        QCOMPARE(page->nameCounter, 0);
        QTRY_COMPARE(h.main().shownShapes().size(), 0);
        h.edits().stack().redo();
        QCOMPARE(h.areas(*page), after);
        QCOMPARE(page->nameCounter, 3);
        QTRY_COMPARE(h.main().shownShapes().size(), 3);
    }

    // A button under a rectangle the author drew is not offered again; the others continue its numbering.
    void coveredButtonsNotOffered()
    {
        Page* page = start();
        h.draw({20, 20}, {60, 40}); // over part of the label
        QCOMPARE(page->selections.size(), size_t(1));
        ButtonProposals* proposals = findButtons();
        QVERIFY(proposals);
        QCOMPARE(int(proposals->proposals().size()), 2);
        for (const QRect& r : proposals->proposals())
            QVERIFY(!r.intersects(rectOf(page->selections.front()->area)));
        child<QPushButton>(proposals, QStringLiteral("bttAcceptAll"))->click();
        QCOMPARE(page->selections.size(), size_t(3));
        QCOMPARE(page->selections.back()->name, QStringLiteral("Selection-3"));
        // With every button covered, nothing is shown and the status line says why.
        QVERIFY(!findButtons());
        QCOMPARE(h.main().statusText(), QStringLiteral("Every button found lies under a rectangle already"));
    }
};

QTEST_MAIN(TestFindButtons)
#include "test_findbuttons.moc"
