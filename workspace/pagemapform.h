#pragma once

#include <QHash>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "pagemap/maplayout.h"
#include "pagemap/pagegraph.h"

class QLabel;
class QScrollArea;

class DialogService;
class ProjectEdits;
class TMainForm;
class TPageViewerForm;
class TSelectionsViewerForm;
class PageMapCanvas;

// The page map tool window: every page with its thumbnail, number, name and marks, and an arrow for
// each link, laid out by Graphviz on a worker thread. It is built again shortly after each edit; the
// places stay as they were while the links between the pages stay the same.
//
// On the map: a double click on a page shows it; a click on an arrow picks its selection; Delete
// removes the action of the picked arrow; a drag from a selection's handle (the dots under a page) or
// from an arrow to a page makes or retargets a jump. Each edit is one undo step.
class TPageMapForm : public QWidget
{
    Q_OBJECT
public:
    // The same pause as the Problems window's: the map is made once a run of edits pauses.
    static constexpr int kRefreshDelayMs = 300;

    TPageMapForm(MenuProject& project, ProjectEdits& edits, QWidget* parent = nullptr);
    ~TPageMapForm() override;
    void setWindows(TPageViewerForm* pages, TSelectionsViewerForm* selections);
    MenuProject& project() const { return m_project; }

    void scheduleRefresh();
    // Makes the map from the project now; starts a layout when the links changed.
    void refresh();
    // A refresh waits or a layout runs: what is shown is not the project as it is.
    bool busy() const;

    // What is shown: the map and the places of its nodes and arrows (the canvas's coordinates).
    const PageMap& map() const { return m_map; }
    const MapLayout& places() const { return m_places; }
    // The arrow picked by a click, or -1.
    int currentEdge() const { return m_currentEdge; }
    // Where things are on the canvas, for the tests and for the author's eye alike.
    QWidget* canvas() const;
    QPoint nodePoint(int node) const;
    QPoint edgePoint(int edge) const;
    QPoint handlePoint(int node, int selectionIndex) const;
    int nodeAt(QPointF at) const;
    int edgeAt(QPointF at) const;
    // The selection of a page whose handle is at the point: {node, selection}, or {-1, -1}.
    std::pair<int, int> handleAt(QPointF at) const;

    // The edits, also reached from the canvas's mouse and keys.
    void showNodePage(int node);
    void pickEdge(int edge);
    void deleteEdge(int edge);
    // Makes the arrow lead to the page of `node`: a jump replaces its action (or the jump at end).
    void retargetEdge(int edge, int node);
    // A jump from the page's selection to the page of `node`: its first jump is retargeted, or a jump
    // is added where it runs (before an action that would end the list first).
    void makeJump(int fromNode, int selectionIndex, int node);

signals:
    // A new map is shown (after a layout, or at once when the places were kept).
    void mapShown();

protected:
    void showEvent(QShowEvent* event) override;

public:
    QLabel* lbPageMap = nullptr;
    QScrollArea* PageMapScroll = nullptr;

private:
    friend class PageMapCanvas;
    struct Pending;
    void showMap(PageMap map, MapLayout places, bool kept);
    void layoutArrived(quint64 generation, MapLayout laidOut);
    // The key of a node that stays the same while the node stands for the same thing.
    QString nodeKey(const MapNode& node) const;
    QByteArray structureOf(const PageMap& map) const;
    int targetPageNumber(int node) const;

    MenuProject& m_project;
    ProjectEdits& m_edits;
    QPointer<TPageViewerForm> m_pages;
    QPointer<TSelectionsViewerForm> m_selections;
    PageMapCanvas* m_canvas = nullptr;

    QTimer m_timer;
    bool m_dirty = true;        // the project changed while the window was hidden
    quint64 m_generation = 0;   // of the layout asked for last
    bool m_layoutRunning = false;
    std::unique_ptr<PageMap> m_pending; // the map waiting for its layout
    QByteArray m_pendingStructure;

    PageMap m_map;
    MapLayout m_places;
    QByteArray m_structure;
    int m_currentEdge = -1;
    // One worker: Graphviz lays out one graph at a time anyway. Declared last, so that it is waited
    // for before anything its jobs report to goes away.
    QThreadPool m_pool;
};

// Adds Windows > Page map and File > Export page map… to the main window.
void installPageMap(TMainForm& main, TPageMapForm& map, DialogService& dialogs);
