#include "pagemap/pagegraph.h"

#include <QByteArray>
#include <QHash>

#include <algorithm>
#include <map>

#include "document/actiontypes.h"
#include "document/menulinks.h"

namespace {

// Where an edge leads before the nodes are numbered: a page, or a place outside the menu (the missing
// page's number for a missing page).
struct Target
{
    MapNodeKind kind = MapNodeKind::Page;
    int value = -1; // page index, or the missing page's number
};

// The sinks come after the pages in this order, each only when an edge leads there.
constexpr MapNodeKind kSinks[] = {MapNodeKind::Movie, MapNodeKind::Chapters, MapNodeKind::Specials,
                                  MapNodeKind::ReturnToMovie};

MapNodeKind sinkOf(int code)
{
    switch (code) {
    case ActPlayMovie:
        return MapNodeKind::Movie;
    case ActPlayFromChapter:
        return MapNodeKind::Chapters;
    case ActSpecialFeature:
        return MapNodeKind::Specials;
    default:
        return MapNodeKind::ReturnToMovie;
    }
}

QString sinkId(MapNodeKind kind)
{
    switch (kind) {
    case MapNodeKind::Movie:
        return QStringLiteral("movie");
    case MapNodeKind::Chapters:
        return QStringLiteral("chapters");
    case MapNodeKind::Specials:
        return QStringLiteral("specials");
    case MapNodeKind::ReturnToMovie:
        return QStringLiteral("return");
    default:
        return QStringLiteral("player");
    }
}

QString sinkLabel(MapNodeKind kind)
{
    switch (kind) {
    case MapNodeKind::Movie:
        return QStringLiteral("Movie");
    case MapNodeKind::Chapters:
        return QStringLiteral("Chapters");
    case MapNodeKind::Specials:
        return QStringLiteral("Special features");
    case MapNodeKind::ReturnToMovie:
        return QStringLiteral("Return to movie");
    default:
        return QStringLiteral("Player");
    }
}

// Where a link leads on the map; false when it leads nowhere a node can stand for (a relative jump off
// the list, a parameter that is no page number: the Problems window names those).
bool targetOf(const Link& link, int code, Target& out)
{
    if (link.kind == LinkKind::Page) {
        out = {MapNodeKind::Page, link.pageIndex};
        return true;
    }
    if (link.kind == LinkKind::MissingPage) {
        out = {MapNodeKind::MissingPage, link.pageNumber};
        return true;
    }
    if (link.kind == LinkKind::None && leavesMenu(code)) {
        out = {sinkOf(code), -1};
        return true;
    }
    return false;
}

struct PendingEdge
{
    MapEdge edge;
    Target target;
};

} // namespace

PageMap buildPageMap(const MenuProject& project)
{
    return buildPageMap(project, checkProject(project));
}

PageMap buildPageMap(const MenuProject& project, const std::vector<Problem>& problems)
{
    PageMap map;
    const int pageCount = int(project.pages.size());
    const MovieData& md = project.movieData;
    map.nodes.reserve(size_t(pageCount) + 8);
    for (int i = 0; i < pageCount; ++i) {
        const Page& page = *project.pages[size_t(i)];
        MapNode node;
        node.id = QStringLiteral("p%1").arg(i + 1);
        node.page = &page;
        node.pageIndex = i;
        node.pageNumber = page.number;
        node.label = QString::number(page.number) + QStringLiteral(") ") + page.name;
        // The page list's rule: the field's text is the page's number written out, nothing else.
        const QString number = QString::number(page.number);
        const std::pair<const QString*, QChar> marks[] = {
            {&md.startPage, u'S'}, {&md.menuPage, u'M'}, {&md.chaptersPage, u'C'}, {&md.specialsPage, u'X'}};
        for (const auto& [field, letter] : marks)
            if (*field == number)
                node.marks += letter;
        map.nodes.push_back(std::move(node));
    }
    for (const Problem& p : problems) {
        const int i = p.where.pageIndex;
        if (i < 0 || i >= pageCount || p.where.selectionIndex >= 0)
            continue;
        if (p.code == QLatin1String("page-unreachable"))
            map.nodes[size_t(i)].unreachable = true;
        else if (p.code == QLatin1String("page-dead-end"))
            map.nodes[size_t(i)].deadEnd = true;
    }

    // Every link written, followed or not.
    std::vector<PendingEdge> pending;
    for (int i = 0; i < pageCount; ++i) {
        const Page& page = *project.pages[size_t(i)];
        const bool offered = selectionsCanBeChosen(page);
        for (int s = 0; s < int(page.selections.size()); ++s) {
            const Selection& selection = *page.selections[size_t(s)];
            bool runs = offered && selectionCanBeChosen(page, s);
            for (int a = 0; a < int(selection.actions.size()); ++a) {
                const MenuAction& action = *selection.actions[size_t(a)];
                Target target;
                if (targetOf(resolveJump(project, i, action), action.type, target)) {
                    MapEdge e;
                    e.kind = MapEdgeKind::Selection;
                    e.pageIndex = i;
                    e.selectionIndex = s;
                    e.actionIndex = a;
                    e.actionCode = action.type;
                    e.label = selection.name;
                    if (action.type == ActPlayFromChapter || action.type == ActSpecialFeature)
                        e.label += QStringLiteral(" (") + action.parameter.trimmed() + QLatin1Char(')');
                    e.followed = runs;
                    pending.push_back({std::move(e), target});
                }
                // The player runs no action after a jump or after leaving the menu.
                if (endsActionList(action.type))
                    runs = false;
            }
        }
        const EndKind end = pageEnd(project, i).kind;
        Target target;
        if (page.jumpAtEnd != 0 && targetOf(resolveJumpAtEnd(project, i), 0, target)) {
            MapEdge e;
            e.kind = MapEdgeKind::JumpAtEnd;
            e.pageIndex = i;
            e.label = QStringLiteral("at end");
            e.followed = end == EndKind::JumpAtEnd;
            pending.push_back({std::move(e), target});
        }
        if (page.actionAtEnd && targetOf(resolveActionAtEnd(project, i), page.actionAtEnd->type, target)) {
            MapEdge e;
            e.kind = MapEdgeKind::EndAction;
            e.pageIndex = i;
            e.actionCode = page.actionAtEnd->type;
            e.label = QStringLiteral("end action");
            e.followed = end == EndKind::EndAction;
            pending.push_back({std::move(e), target});
        }
    }

    // The pages the player opens by itself, one edge per page naming each reason.
    std::map<int, QString> opened;
    const std::pair<const QString*, const char*> entries[] = {{&md.startPage, "start"},
                                                              {&md.menuPage, "menu"},
                                                              {&md.chaptersPage, "chapters"},
                                                              {&md.specialsPage, "specials"}};
    std::vector<int> openedOrder;
    for (const auto& [field, why] : entries) {
        int number = 0;
        const int index = readPageNumber(*field, number) ? findPageIndex(project, number) : -1;
        if (index < 0)
            continue;
        QString& label = opened[index];
        if (label.isEmpty())
            openedOrder.push_back(index);
        else
            label += QStringLiteral(", ");
        label += QLatin1String(why);
    }

    // The other nodes, in a fixed order so that the same menu always gives the same graph.
    if (!openedOrder.empty()) {
        map.playerNode = int(map.nodes.size());
        MapNode node;
        node.kind = MapNodeKind::Player;
        node.id = sinkId(node.kind);
        node.label = sinkLabel(node.kind);
        map.nodes.push_back(std::move(node));
    }
    QHash<int, int> sinkNodes; // node kind -> node position
    for (const MapNodeKind kind : kSinks) {
        if (std::none_of(pending.begin(), pending.end(), [&](const PendingEdge& p) { return p.target.kind == kind; }))
            continue;
        sinkNodes.insert(int(kind), int(map.nodes.size()));
        MapNode node;
        node.kind = kind;
        node.id = sinkId(kind);
        node.label = sinkLabel(kind);
        map.nodes.push_back(std::move(node));
    }
    std::map<int, int> missingNodes; // page number -> node position
    for (const PendingEdge& p : pending)
        if (p.target.kind == MapNodeKind::MissingPage)
            missingNodes.emplace(p.target.value, -1);
    for (auto& [number, position] : missingNodes) {
        position = int(map.nodes.size());
        MapNode node;
        node.kind = MapNodeKind::MissingPage;
        node.pageNumber = number;
        node.id = (number < 0 ? QStringLiteral("missing_") : QStringLiteral("missing")) + QString::number(qAbs(qint64(number)));
        node.label = QStringLiteral("Page %1 (missing)").arg(number);
        map.nodes.push_back(std::move(node));
    }

    map.edges.reserve(pending.size() + openedOrder.size());
    for (const int index : openedOrder) {
        MapEdge e;
        e.kind = MapEdgeKind::Player;
        e.from = map.playerNode;
        e.to = index;
        e.label = opened[index];
        map.edges.push_back(std::move(e));
    }
    for (PendingEdge& p : pending) {
        p.edge.from = p.edge.pageIndex;
        p.edge.to = p.target.kind == MapNodeKind::Page          ? p.target.value
                    : p.target.kind == MapNodeKind::MissingPage ? missingNodes[p.target.value]
                                                                : sinkNodes.value(int(p.target.kind));
        map.edges.push_back(std::move(p.edge));
    }
    return map;
}

// ---------------------------------------------------------------------------------------------------
// DOT

namespace {

QByteArray quoted(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n' || c == '\r') {
            out += ' ';
            continue;
        }
        out += c;
    }
    return out + '"';
}

} // namespace

QByteArray pageMapDot(const PageMap& map)
{
    QByteArray out;
    out += "digraph pagemap {\n";
    out += "  graph [rankdir=TB, nodesep=0.3, ranksep=0.6];\n";
    out += "  node [fontname=\"DejaVu Sans\", fontsize=10];\n";
    out += "  edge [fontname=\"DejaVu Sans\", fontsize=8];\n";
    QByteArray sinks;
    for (const MapNode& n : map.nodes) {
        out += "  " + n.id.toUtf8() + " [";
        switch (n.kind) {
        case MapNodeKind::Page: {
            QString label = n.label;
            if (!n.marks.isEmpty())
                label += QStringLiteral(" [") + n.marks + QLatin1Char(']');
            out += "shape=box, label=" + quoted(label);
            if (n.unreachable)
                out += ", style=dashed, color=darkorange";
            if (n.deadEnd)
                out += ", peripheries=2, color=red";
            break;
        }
        case MapNodeKind::Player:
            out += "shape=circle, style=filled, fillcolor=black, fontcolor=white, fontsize=8, label=" + quoted(n.label);
            break;
        case MapNodeKind::MissingPage:
            out += "shape=box, style=\"dashed,filled\", fillcolor=mistyrose, color=red, label=" + quoted(n.label);
            sinks += ' ' + n.id.toUtf8() + ';';
            break;
        default:
            out += "shape=ellipse, style=filled, fillcolor=lightblue, label=" + quoted(n.label);
            sinks += ' ' + n.id.toUtf8() + ';';
            break;
        }
        out += "];\n";
    }
    for (const MapEdge& e : map.edges) {
        out += "  " + map.nodes[size_t(e.from)].id.toUtf8() + " -> " + map.nodes[size_t(e.to)].id.toUtf8() +
               " [label=" + quoted(e.label);
        switch (e.kind) {
        case MapEdgeKind::JumpAtEnd:
            out += ", style=dashed";
            break;
        case MapEdgeKind::EndAction:
            out += ", style=bold";
            break;
        case MapEdgeKind::Player:
            out += ", style=dotted";
            break;
        case MapEdgeKind::Selection:
            break;
        }
        if (!e.followed)
            out += ", color=gray, fontcolor=gray";
        out += "];\n";
    }
    if (map.playerNode >= 0)
        out += "  { rank=source; " + map.nodes[size_t(map.playerNode)].id.toUtf8() + "; }\n";
    if (!sinks.isEmpty())
        out += "  { rank=sink;" + sinks + " }\n";
    out += "}\n";
    return out;
}
