#pragma once

#include <QString>

#include <vector>

#include "check/menucheck.h"
#include "document/model.h"

// The page map as a graph: one node per page, the places outside the menu that actions lead to, and
// one edge per link an author wrote. Made from the project alone (no window, no layout), so that the
// map window, the command line and the tests see the same graph.

enum class MapNodeKind {
    Page,
    Player,        // the player itself: it opens the start, menu, chapters and specials pages
    Movie,         // "Play movie"
    Chapters,      // "Play from chapter"
    Specials,      // "Special feature"
    ReturnToMovie, // "Return to movie"
    MissingPage,   // a page number jumped to that no page has
};

struct MapNode
{
    MapNodeKind kind = MapNodeKind::Page;
    // The graph's name of the node, stable while the page keeps its place in the list: "p3" for the
    // third page, "movie", "chapters", "specials", "return", "player", "missing12".
    QString id;
    const Page* page = nullptr; // for a page node
    int pageIndex = -1;
    int pageNumber = 0;         // a page's number, or the missing number
    QString label;              // "12) Credits", "Movie", "Page 12 (missing)"
    // The marks of the page list: the movie data's StartPage, MenuPage, ChaptersPage and SpecialsPage
    // texts equal to the page's number, as "SMCX" letters in that order ("S", "MC", ...).
    QString marks;
    bool unreachable = false; // as the check reports it ("page-unreachable")
    bool deadEnd = false;     // as the check reports it ("page-dead-end")
};

enum class MapEdgeKind {
    Selection, // an action of a selection
    JumpAtEnd, // the page's jump at end
    EndAction, // the page's action at end
    Player,    // the player opens the page by itself
};

struct MapEdge
{
    int from = -1; // node positions
    int to = -1;
    MapEdgeKind kind = MapEdgeKind::Selection;
    int pageIndex = -1;      // the page it starts from (-1 for the player's)
    int selectionIndex = -1; // for a selection's action
    int actionIndex = -1;
    int actionCode = 0;      // 0 for the jump at end and the player's edges
    QString label;           // the selection's name; "at end", "end action"; "start", "menu", ...
    // The viewer can follow it: false for an action after one that ends the selection's list, for a
    // selection that can never be chosen, and for an end the page never reaches or never uses.
    bool followed = true;
};

struct PageMap
{
    std::vector<MapNode> nodes;
    std::vector<MapEdge> edges;
    int playerNode = -1; // -1 when the movie data names no page the player opens
};

// The map of the project. `problems` is the check's list for the project as it is now (the marks of
// unreachable pages and dead ends come from it, so that the map and the Problems window agree).
PageMap buildPageMap(const MenuProject& project, const std::vector<Problem>& problems);
// The same, checking the project first.
PageMap buildPageMap(const MenuProject& project);

// The map in the DOT language: pages as boxes with their number, name and marks, the places outside
// the menu as ellipses, the player as a point at the top; arrows styled by kind (end jumps dashed,
// end actions bold, the player's dotted, links never followed grey). No positions: a layout program
// or the map's own layout places them.
QByteArray pageMapDot(const PageMap& map);
