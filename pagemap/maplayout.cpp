#include "pagemap/maplayout.h"

#include "core/safefile.h"

#include <QFileInfo>
#include <QHash>
#include <QPair>

#include <gvc.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace {

// Graphviz's layouts and renderers share global state: one at a time.
std::mutex& graphvizLock()
{
    static std::mutex lock;
    return lock;
}

// One context for the whole run, made when first needed (under the lock): each new context reads
// Graphviz's plugin list again and, in the Graphviz of Debian 12, leaves a few kilobytes behind.
GVC_t* graphvizContext()
{
    static GVC_t* context = gvContext();
    return context;
}

// A graph laid out by a context; the layout is freed before the graph is closed.
class LaidOutGraph
{
public:
    LaidOutGraph(GVC_t* context, Agraph_t* graph) : m_context(context), m_graph(graph) {}
    ~LaidOutGraph()
    {
        if (m_laidOut)
            gvFreeLayout(m_context, m_graph);
        if (m_graph)
            agclose(m_graph);
    }
    LaidOutGraph(const LaidOutGraph&) = delete;
    LaidOutGraph& operator=(const LaidOutGraph&) = delete;

    Agraph_t* graph() const { return m_graph; }
    bool layout()
    {
        m_laidOut = gvLayout(m_context, m_graph, "dot") == 0;
        return m_laidOut;
    }

private:
    GVC_t* m_context;
    Agraph_t* m_graph;
    bool m_laidOut = false;
};

char* str(const char* text)
{
    return const_cast<char*>(text); // cgraph takes char* for texts it only reads
}

// Beyond this many routes dot places the tree of first links only (see layoutPageMap).
constexpr size_t kFullRoutingLimit = 150;

// Where the line from a rectangle's centre towards `to` leaves the rectangle.
QPointF borderPoint(const QRectF& r, QPointF to)
{
    const QPointF c = r.center();
    const QPointF d = to - c;
    if (d.isNull())
        return c;
    const double sx = d.x() != 0 ? (r.width() / 2) / std::abs(d.x()) : 1e300;
    const double sy = d.y() != 0 ? (r.height() / 2) / std::abs(d.y()) : 1e300;
    return c + d * std::min({sx, sy, 1.0});
}

// A link that dot did not route: a gentle curve from border to border, bent to its right so that the
// links between two pages in both directions stay apart, and its arrow's tip on the target's border.
void directCurve(const QRectF& from, const QRectF& to, std::vector<QPointF>& path, QPointF& tip)
{
    const QPointF start = borderPoint(from, to.center());
    tip = borderPoint(to, from.center());
    const QPointF d = tip - start;
    const double length = std::hypot(d.x(), d.y());
    if (length < 1) {
        path = {start, start, tip, tip};
        return;
    }
    const QPointF unit = d / length;
    const QPointF end = tip - unit * std::min(8.0, length / 2); // room for the arrow's head
    const QPointF bend = QPointF(-unit.y(), unit.x()) * std::min(40.0, length / 8);
    path = {start, start + (end - start) / 3 + bend, start + (end - start) * 2 / 3 + bend, end};
}

QString inches(double points)
{
    return QString::number(points / 72.0, 'f', 4);
}

} // namespace

MapLayout layoutPageMap(const PageMap& map, const MapNodeSizes& sizes)
{
    MapLayout out;
    out.nodes.resize(map.nodes.size());
    out.edges.resize(map.edges.size());
    out.arrowTips.resize(map.edges.size());
    if (map.nodes.empty())
        return out;

    std::lock_guard guard(graphvizLock());
    Agraph_t* g = agopen(str("pagemap"), Agdirected, nullptr);
    LaidOutGraph graph(graphvizContext(), g);
    agattr(g, AGRAPH, str("nodesep"), str("0.3"));
    agattr(g, AGRAPH, str("ranksep"), str("0.6"));
    // Fewer crossing-minimisation passes than dot's default: further passes gain little on a menu.
    agattr(g, AGRAPH, str("mclimit"), str("0.5"));
    agattr(g, AGNODE, str("shape"), str("box"));
    agattr(g, AGNODE, str("fixedsize"), str("true"));
    agattr(g, AGNODE, str("label"), str(""));
    agattr(g, AGNODE, str("width"), str("1"));
    agattr(g, AGNODE, str("height"), str("1"));
    agattr(g, AGRAPH, str("rank"), str(""));

    // Links between the same two nodes share one route (a page of sixteen chapter buttons has one
    // arrow's worth of work, not sixteen), and the map draws them as one.
    std::vector<int> routeOf(map.edges.size());
    std::vector<QPair<int, int>> routeEnds;
    {
        QHash<QPair<int, int>, int> known;
        for (size_t i = 0; i < map.edges.size(); ++i) {
            const QPair<int, int> ends(map.edges[i].from, map.edges[i].to);
            const auto at = known.constFind(ends);
            if (at != known.constEnd()) {
                routeOf[i] = *at;
            } else {
                routeOf[i] = int(routeEnds.size());
                known.insert(ends, routeOf[i]);
                routeEnds.push_back(ends);
            }
        }
    }
    // A large menu's many cross links make dot's crossing minimisation and routing take minutes (every
    // link that spans ranks becomes a chain of virtual nodes): then dot places the nodes by the tree
    // of first links from the player only, and the other links are drawn as direct curves.
    const bool treeOnly = routeEnds.size() > kFullRoutingLimit;
    std::vector<bool> laidByDot(routeEnds.size(), !treeOnly);
    if (treeOnly) {
        std::vector<std::vector<int>> outgoing(map.nodes.size());
        for (int r = 0; r < int(routeEnds.size()); ++r)
            outgoing[size_t(routeEnds[size_t(r)].first)].push_back(r);
        std::vector<bool> reached(map.nodes.size(), false);
        std::vector<int> queue;
        auto from = [&](int root) {
            if (reached[size_t(root)])
                return;
            reached[size_t(root)] = true;
            queue.push_back(root);
            for (size_t next = queue.size() - 1; next < queue.size(); ++next)
                for (const int r : outgoing[size_t(queue[next])]) {
                    const int to = routeEnds[size_t(r)].second;
                    if (!reached[size_t(to)]) {
                        reached[size_t(to)] = true;
                        laidByDot[size_t(r)] = true;
                        queue.push_back(to);
                    }
                }
        };
        if (map.playerNode >= 0)
            from(map.playerNode);
        for (int i = 0; i < int(map.nodes.size()); ++i)
            from(i);
    }

    std::vector<Agnode_t*> nodes(map.nodes.size());
    Agraph_t* source = nullptr;
    Agraph_t* sink = nullptr;
    for (size_t i = 0; i < map.nodes.size(); ++i) {
        const MapNode& n = map.nodes[i];
        const QByteArray id = n.id.toUtf8();
        Agnode_t* node = agnode(g, const_cast<char*>(id.constData()), 1);
        nodes[i] = node;
        const QSizeF size = n.kind == MapNodeKind::Page     ? sizes.page
                            : n.kind == MapNodeKind::Player ? sizes.player
                                                            : sizes.other;
        agxset(node, agattr(g, AGNODE, str("width"), nullptr), inches(size.width()).toLatin1().data());
        agxset(node, agattr(g, AGNODE, str("height"), nullptr), inches(size.height()).toLatin1().data());
        if (n.kind == MapNodeKind::Player) {
            if (!source) {
                source = agsubg(g, str("source"), 1);
                agset(source, str("rank"), str("source"));
            }
            agsubnode(source, node, 1);
        } else if (n.kind != MapNodeKind::Page && !treeOnly) {
            if (!sink) {
                sink = agsubg(g, str("sink"), 1);
                agset(sink, str("rank"), str("sink"));
            }
            agsubnode(sink, node, 1);
        }
    }
    std::vector<Agedge_t*> routes(routeEnds.size(), nullptr);
    for (size_t r = 0; r < routeEnds.size(); ++r) {
        if (!laidByDot[r])
            continue;
        const QByteArray name = QByteArray::number(qulonglong(r));
        routes[r] = agedge(g, nodes[size_t(routeEnds[r].first)], nodes[size_t(routeEnds[r].second)],
                           const_cast<char*>(name.constData()), 1);
    }
    if (!graph.layout())
        return out;

    const boxf bb = GD_bb(g);
    const double top = bb.UR.y;
    auto flip = [&](pointf p) { return QPointF(p.x - bb.LL.x, top - p.y); };
    out.size = QSizeF(bb.UR.x - bb.LL.x, bb.UR.y - bb.LL.y);
    for (size_t i = 0; i < nodes.size(); ++i) {
        const QPointF c = flip(ND_coord(nodes[i]));
        const double w = ND_width(nodes[i]) * 72.0, h = ND_height(nodes[i]) * 72.0;
        out.nodes[i] = QRectF(c.x() - w / 2, c.y() - h / 2, w, h);
    }
    std::vector<std::vector<QPointF>> routePaths(routeEnds.size());
    std::vector<QPointF> routeTips(routeEnds.size());
    for (size_t r = 0; r < routeEnds.size(); ++r) {
        const splines* spl = routes[r] ? ED_spl(routes[r]) : nullptr;
        if (!spl || spl->size < 1) {
            directCurve(out.nodes[size_t(routeEnds[r].first)], out.nodes[size_t(routeEnds[r].second)], routePaths[r],
                        routeTips[r]);
            continue;
        }
        const bezier& b = spl->list[0];
        std::vector<QPointF>& path = routePaths[r];
        path.reserve(size_t(b.size));
        for (int k = 0; k < b.size; ++k)
            path.push_back(flip(b.list[k]));
        // An edge drawn against the ranks (a jump back up) keeps its arrow at its start in Graphviz's
        // terms; either way the tip is where the arrow meets its target.
        if (b.eflag)
            routeTips[r] = flip(b.ep);
        else if (b.sflag)
            routeTips[r] = flip(b.sp);
        else if (!path.empty())
            routeTips[r] = path.back();
    }
    for (size_t i = 0; i < map.edges.size(); ++i) {
        out.edges[i] = routePaths[size_t(routeOf[i])];
        out.arrowTips[i] = routeTips[size_t(routeOf[i])];
    }
    return out;
}

std::optional<QByteArray> renderPageMap(const PageMap& map, const QString& format, QString* error)
{
    const QByteArray dot = pageMapDot(map);
    const QByteArray fmt = format.toLatin1();
    std::lock_guard guard(graphvizLock());
    LaidOutGraph graph(graphvizContext(), agmemread(dot.constData()));
    if (!graph.graph() || !graph.layout()) {
        if (error)
            *error = QStringLiteral("Graphviz could not lay out the map.");
        return std::nullopt;
    }
    char* data = nullptr;
    unsigned int length = 0;
    if (gvRenderData(graphvizContext(), graph.graph(), fmt.constData(), &data, &length) != 0 || !data) {
        if (error)
            *error = QStringLiteral("Graphviz cannot write %1 here: its renderer is missing.").arg(format);
        return std::nullopt;
    }
    QByteArray bytes(data, qsizetype(length));
    gvFreeRenderData(data);
    return bytes;
}

QString exportPageMap(const PageMap& map, const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray bytes;
    if (suffix == QLatin1String("dot")) {
        bytes = pageMapDot(map);
    } else if (suffix == QLatin1String("svg") || suffix == QLatin1String("png")) {
        QString error;
        const std::optional<QByteArray> drawn = renderPageMap(map, suffix, &error);
        if (!drawn)
            return error;
        bytes = *drawn;
    } else {
        return QStringLiteral("A page map is written as .svg, .png or .dot, not as \"%1\".").arg(QFileInfo(path).fileName());
    }
    // Text goes over text only, so that a slip of the keyboard never costs a menu video; a picture
    // replaces what is there, as the frame export does.
    const FileWriteResult written =
        writeFileSafely(path, bytes, suffix == QLatin1String("png") ? ReplaceRule::AnyFile : ReplaceRule::TextOnly);
    return written ? QString() : fileWriteFailureText(path, written);
}
