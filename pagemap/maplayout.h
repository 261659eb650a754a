#pragma once

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

#include "pagemap/pagegraph.h"

// The page map placed by Graphviz's dot: ranks from the player's node (the start page comes first),
// the places outside the menu at the bottom. Coordinates are in points with y growing downwards, the
// drawing's top-left corner at 0,0. Graphviz keeps state of its own, so every call here takes one lock:
// any thread may call, one at a time lays out.

struct MapLayout
{
    QSizeF size;
    std::vector<QRectF> nodes; // by node position
    // By edge position: a cubic Bézier path (start point, then three points per segment), empty when
    // Graphviz drew no route; and where the arrow's tip is. Edges between the same two nodes share
    // one route.
    std::vector<std::vector<QPointF>> edges;
    std::vector<QPointF> arrowTips;
};

struct MapNodeSizes
{
    QSizeF page{150, 64};
    QSizeF other{100, 36};
    QSizeF player{40, 40};
};

// Runs dot on the map's structure (no labels: the map draws its own). Node sizes are fixed.
MapLayout layoutPageMap(const PageMap& map, const MapNodeSizes& sizes = {});

// The map drawn by Graphviz from its DOT text: "svg" or "png". Nothing, with the reason, when Graphviz
// cannot (a renderer missing from its installation).
std::optional<QByteArray> renderPageMap(const PageMap& map, const QString& format, QString* error = nullptr);

// Writes the map to `path` as the file's extension says: ".dot" (the DOT text), ".svg" or ".png"
// (drawn by Graphviz). Returns an empty text when written, else the sentence saying why not.
QString exportPageMap(const PageMap& map, const QString& path);
