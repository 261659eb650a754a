// The page map as a graph: its arrows are the links the menu check follows, on every test menu and on
// random menus; the DOT that vrplmenu map prints for small menus the program saved; the drawings.
#include <QtTest>

#include <QTemporaryDir>

#include <algorithm>
#include <tuple>

#include "check/menucheck.h"
#include "clitestutil.h"
#include "document/actiontypes.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "filetestutil.h"
#include "pagemaptestutil.h"
#include "pagemap/maplayout.h"
#include "pagemap/pagegraph.h"
#include "randommenu.h"

namespace {

// One arrow as the check and the map can both name it: from page, selection, action, code, and the
// target (a page index, or the missing number, or the code of the place outside the menu).
using LinkKey = std::tuple<int, int, int, int, int, int>;

std::vector<LinkKey> checkLinks(const MenuProject& p)
{
    std::vector<LinkKey> out;
    for (const FollowedLink& l : followedLinks(p)) {
        // A relative jump off the list and a parameter that is no page number lead nowhere a node
        // could stand for: the Problems window names them, the map draws no arrow.
        if (l.link.kind == LinkKind::Page)
            out.emplace_back(l.pageIndex, l.selectionIndex, l.actionIndex, l.actionCode, 0, l.link.pageIndex);
        else if (l.link.kind == LinkKind::MissingPage)
            out.emplace_back(l.pageIndex, l.selectionIndex, l.actionIndex, l.actionCode, 1, l.link.pageNumber);
        else if (l.link.kind == LinkKind::None)
            out.emplace_back(l.pageIndex, l.selectionIndex, l.actionIndex, l.actionCode, 2,
                             l.actionCode == ActReturnToMovie ? ActReturnToMovie : l.actionCode);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<LinkKey> mapLinks(const PageMap& map)
{
    std::vector<LinkKey> out;
    for (const MapEdge& e : map.edges) {
        if (!e.followed || e.kind == MapEdgeKind::Player)
            continue;
        const MapNode& to = map.nodes[size_t(e.to)];
        const int code = e.kind == MapEdgeKind::JumpAtEnd ? 0 : e.actionCode;
        if (to.kind == MapNodeKind::Page)
            out.emplace_back(e.pageIndex, e.selectionIndex, e.actionIndex, code, 0, to.pageIndex);
        else if (to.kind == MapNodeKind::MissingPage)
            out.emplace_back(e.pageIndex, e.selectionIndex, e.actionIndex, code, 1, to.pageNumber);
        else {
            // The place outside the menu must be the one the action names.
            const int place = to.kind == MapNodeKind::Movie      ? ActPlayMovie
                              : to.kind == MapNodeKind::Chapters ? ActPlayFromChapter
                              : to.kind == MapNodeKind::Specials ? ActSpecialFeature
                                                                 : ActReturnToMovie;
            out.emplace_back(e.pageIndex, e.selectionIndex, e.actionIndex, code, 2, place);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Compares the map with the check on one menu; an empty text when they agree.
QString disagreement(const MenuProject& p)
{
    const std::vector<Problem> problems = checkProject(p);
    const PageMap map = buildPageMap(p, problems);
    if (mapLinks(map) != checkLinks(p))
        return QStringLiteral("the arrows differ from the check's links (%1 / %2)")
            .arg(mapLinks(map).size())
            .arg(checkLinks(p).size());
    for (const Problem& problem : problems) {
        const int i = problem.where.pageIndex;
        if (problem.code == QLatin1String("page-unreachable") && !map.nodes[size_t(i)].unreachable)
            return QStringLiteral("page %1 is unreachable for the check only").arg(i);
        if (problem.code == QLatin1String("page-dead-end") && !map.nodes[size_t(i)].deadEnd)
            return QStringLiteral("page %1 is a dead end for the check only").arg(i);
    }
    int marked = 0;
    for (const MapNode& n : map.nodes)
        marked += int(n.unreachable) + int(n.deadEnd);
    if (marked != std::count_if(problems.begin(), problems.end(), [](const Problem& pr) {
            return pr.code == QLatin1String("page-unreachable") || pr.code == QLatin1String("page-dead-end");
        }))
        return QStringLiteral("the map marks pages the check does not");
    // Every edge joins two nodes of the map, and the player's edges go to the pages it opens.
    std::vector<int> opened;
    for (const MapEdge& e : map.edges) {
        if (e.from < 0 || e.to < 0 || e.from >= int(map.nodes.size()) || e.to >= int(map.nodes.size()))
            return QStringLiteral("an edge leads off the map");
        if (e.kind == MapEdgeKind::Player)
            opened.push_back(e.to);
    }
    std::vector<int> entries = menuEntryPages(p);
    std::sort(opened.begin(), opened.end());
    std::sort(entries.begin(), entries.end());
    if (opened != entries)
        return QStringLiteral("the player's edges are not the pages it opens");
    return {};
}

// Saves the project as the program does and returns the file's path.
QString save(const MenuProject& p, const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    QString said;
    const std::optional<QByteArray> bytes = BuildMenuFile(p, [&](const Message& m) { said += m.text; });
    if (!bytes)
        qFatal("cannot build %s: %s", qPrintable(name), qPrintable(said));
    writeFile(path, *bytes);
    return path;
}

} // namespace

class TestPageMap : public QObject
{
    Q_OBJECT

private slots:
    // The map's arrows are the check's links: on random menus (the generator the check and the player
    // model share) and on the demo menu.
    void edgesAreCheckLinks()
    {
        int withEdges = 0;
        for (quint32 seed = 1; seed <= 3000; ++seed) {
            QRandomGenerator rng(seed);
            MenuProject p;
            randomMenu(p, rng);
            const QString why = disagreement(p);
            if (!why.isEmpty())
                QFAIL(qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(why)));
            withEdges += int(!checkLinks(p).empty());
        }
        QVERIFY2(withEdges > 2000, qPrintable(QString::number(withEdges)));

        MenuProject demo;
        const LoadReport report = LoadProject(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini"), demo, [](const Message&) {});
        QVERIFY(report.menuFile);
        QCOMPARE(disagreement(demo), QString());
        QVERIFY(checkLinks(demo).size() > 20);
    }

    // vrplmenu map prints the graph of a menu the program saved, arrows styled by kind.
    void cliDot_data()
    {
        QTest::addColumn<int>("menu");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray top = "digraph pagemap {\n"
                               "  graph [rankdir=TB, nodesep=0.3, ranksep=0.6];\n"
                               "  node [fontname=\"DejaVu Sans\", fontsize=10];\n"
                               "  edge [fontname=\"DejaVu Sans\", fontsize=8];\n";
        QTest::newRow("intro, menu, relative jump, movie, jump after a jump")
            << 0
            << top + "  p1 [shape=box, label=\"1) Intro [S]\"];\n"
                     "  p2 [shape=box, label=\"2) Main \\\"menu\\\" [M]\"];\n"
                     "  p3 [shape=box, label=\"3) Credits\", peripheries=2, color=red];\n"
                     "  player [shape=circle, style=filled, fillcolor=black, fontcolor=white, fontsize=8, label=\"Player\"];\n"
                     "  movie [shape=ellipse, style=filled, fillcolor=lightblue, label=\"Movie\"];\n"
                     "  player -> p1 [label=\"start\", style=dotted];\n"
                     "  player -> p2 [label=\"menu\", style=dotted];\n"
                     "  p1 -> p2 [label=\"at end\", style=dashed];\n"
                     "  p2 -> movie [label=\"Play\"];\n"
                     "  p2 -> p3 [label=\"Next\"];\n"
                     "  p2 -> p1 [label=\"Next\", color=gray, fontcolor=gray];\n"
                     "  { rank=source; player; }\n"
                     "  { rank=sink; movie; }\n"
                     "}\n";
        QTest::newRow("missing page, chapter, end action over a jump at end, unreachable page")
            << 1
            << top + "  p1 [shape=box, label=\"1) Menu [SM]\"];\n"
                     "  p2 [shape=box, label=\"7) Lost\", style=dashed, color=darkorange];\n"
                     "  player [shape=circle, style=filled, fillcolor=black, fontcolor=white, fontsize=8, label=\"Player\"];\n"
                     "  chapters [shape=ellipse, style=filled, fillcolor=lightblue, label=\"Chapters\"];\n"
                     "  missing9 [shape=box, style=\"dashed,filled\", fillcolor=mistyrose, color=red, label=\"Page 9 (missing)\"];\n"
                     "  player -> p1 [label=\"start, menu\", style=dotted];\n"
                     "  p1 -> missing9 [label=\"Nine\"];\n"
                     "  p1 -> chapters [label=\"Two (2)\"];\n"
                     "  p2 -> p1 [label=\"at end\", style=dashed, color=gray, fontcolor=gray];\n"
                     "  p2 -> chapters [label=\"end action\", style=bold];\n"
                     "  { rank=source; player; }\n"
                     "  { rank=sink; chapters; missing9; }\n"
                     "}\n";
    }
    void cliDot()
    {
        QFETCH(int, menu);
        QFETCH(QByteArray, expected);
        MenuProject p;
        if (menu == 0) {
            mapMenuHead(p, QStringLiteral("1"), QStringLiteral("2"));
            Page& intro = mapPage(p, 1, QStringLiteral("Intro"), false);
            intro.selectionAvailable = false;
            intro.jumpAtEnd = 2;
            Page& main = mapPage(p, 2, QStringLiteral("Main \"menu\""));
            mapSelection(main, QStringLiteral("Play"), QStringLiteral("0,0-100,50")).addAction(ActPlayMovie, QString());
            Selection& next = mapSelection(main, QStringLiteral("Next"), QStringLiteral("100,0-200,50"));
            next.addAction(ActRelativeJump, QStringLiteral("+1"));
            next.addAction(ActJumpToPage, QStringLiteral("1")); // never run: the jump before ends the list
            Page& credits = mapPage(p, 3, QStringLiteral("Credits"));
            credits.backgroundIsVideo = false;
            credits.pictureFile = QStringLiteral("credits.jpg");
            credits.selectionAvailable = false;
        } else {
            mapMenuHead(p, QStringLiteral("1"), QStringLiteral("1"));
            p.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "One"}));
            p.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"2", "100", "Two"}));
            Page& menuPage = mapPage(p, 1, QStringLiteral("Menu"));
            mapSelection(menuPage, QStringLiteral("Nine"), QStringLiteral("0,0-100,50")).addAction(ActJumpToPage, QStringLiteral("9"));
            mapSelection(menuPage, QStringLiteral("Two"), QStringLiteral("100,0-200,50")).addAction(ActPlayFromChapter, QStringLiteral("2"));
            Page& lost = mapPage(p, 7, QStringLiteral("Lost"), false);
            lost.selectionAvailable = false;
            lost.jumpAtEnd = 1;
            lost.actionAtEnd = std::make_unique<MenuAction>(ActPlayFromChapter, QStringLiteral("1"));
        }
        QTemporaryDir dir;
        const QString file = save(p, dir, QStringLiteral("menu.ini"));
        const CliRun run = runVrplmenu({QStringLiteral("map"), file});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(run.out, expected);
        // The file holds what the program saved: the same graph from the project in memory.
        QCOMPARE(pageMapDot(buildPageMap(p)), expected);
    }

    // The drawings are Graphviz's, written where -o says; a file name the map cannot be written as
    // is refused and leaves nothing behind.
    void cliDrawings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("svg") << "map.svg" << QByteArray("<?xml") << 0;
        QTest::newRow("png") << "map.png" << QByteArray("\x89PNG\r\n\x1a\n") << 0;
        QTest::newRow("dot") << "map.dot" << QByteArray("digraph pagemap {") << 0;
        QTest::newRow("unknown kind") << "map.txt" << QByteArray() << 2;
        QTest::newRow("-o without a name") << "" << QByteArray() << 2;
    }
    void cliDrawings()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString out = name.isEmpty() ? QString() : dir.filePath(name);
        QStringList args{QStringLiteral("map"), QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini"), QStringLiteral("-o")};
        if (!out.isEmpty())
            args << out;
        const CliRun run = runVrplmenu(args);
        QCOMPARE(run.exitCode, exitCode);
        if (exitCode != 0) {
            QVERIFY(out.isEmpty() || !QFileInfo::exists(out));
            QVERIFY(run.out.isEmpty());
            QVERIFY(!run.err.isEmpty());
            return;
        }
        const QByteArray bytes = readAll(out);
        QVERIFY2(bytes.startsWith(start), bytes.left(40).constData());
        if (name.endsWith(QLatin1String(".svg"))) {
            // Every page of the demo is drawn with its name.
            QVERIFY(bytes.contains("Main menu"));
            QVERIFY(bytes.contains("Credits"));
        }
    }

    // The layout places every node apart and draws every arrow from its page to its target, with the
    // player's node above the start page: on the demo (every arrow routed by dot) and on a menu with
    // too many links for that (dot places the tree of first links, the others are direct curves).
    void layout_data()
    {
        QTest::addColumn<int>("pages");
        QTest::newRow("demo") << 0;
        QTest::newRow("150 pages linked at random") << 150;
    }
    void layout()
    {
        QFETCH(int, pages);
        MenuProject p;
        if (pages == 0) {
            LoadProject(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo/demo.ini"), p, [](const Message&) {});
        } else {
            QRandomGenerator rng(7);
            mapMenuHead(p, QStringLiteral("1"), QStringLiteral("2"));
            for (int n = 1; n <= pages; ++n) {
                Page& page = mapPage(p, n, QStringLiteral("P%1").arg(n));
                for (int s = 0; s < 5; ++s)
                    mapSelection(page, QStringLiteral("S%1").arg(s))
                        .addAction(s == 4 ? ActPlayMovie : ActJumpToPage, QString::number(1 + rng.bounded(pages)));
            }
        }
        const PageMap map = buildPageMap(p);
        const MapLayout laid = layoutPageMap(map);
        QCOMPARE(laid.nodes.size(), map.nodes.size());
        const QRectF all(QPointF(0, 0), laid.size);
        for (size_t i = 0; i < laid.nodes.size(); ++i) {
            QVERIFY(all.adjusted(-1, -1, 1, 1).contains(laid.nodes[i]));
            for (size_t j = 0; j < i; ++j)
                QVERIFY2(!laid.nodes[i].intersects(laid.nodes[j]), qPrintable(map.nodes[i].id + " " + map.nodes[j].id));
        }
        for (size_t i = 0; i < map.edges.size(); ++i) {
            const std::vector<QPointF>& path = laid.edges[i];
            QVERIFY(path.size() >= 4 && path.size() % 3 == 1);
            const QRectF from = laid.nodes[size_t(map.edges[i].from)].adjusted(-3, -3, 3, 3);
            const QRectF to = laid.nodes[size_t(map.edges[i].to)].adjusted(-3, -3, 3, 3);
            // An arrow leaves its source and ends on its target whichever way the ranks go.
            QVERIFY2(from.contains(path.front()), qPrintable(map.nodes[size_t(map.edges[i].from)].id));
            QVERIFY2(to.contains(laid.arrowTips[i]), qPrintable(map.nodes[size_t(map.edges[i].to)].id));
        }
        const int start = 0; // both menus start at their first page
        QVERIFY(laid.nodes[size_t(map.playerNode)].bottom() < laid.nodes[start].top());
    }
};

QTEST_GUILESS_MAIN(TestPageMap)
#include "test_pagemap.moc"
