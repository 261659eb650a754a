// The page map tool window: the map drawn on a canvas, kept up to date after the edits, and the edits
// made on it (each through ProjectEdits, one undo step each).
#include "workspace/pagemapform.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QPair>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "dialogs/dialogservice.h"
#include "document/actiontypes.h"
#include "edits/projectedits.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "workspace/mainform.h"

namespace {

namespace text {
const QString kCaption = QStringLiteral("Page map");
const QString kHint = QStringLiteral(
    "Double click a page to show it. Click an arrow to pick its selection; Delete removes its action.\n"
    "Drag from a selection's dot under a page, or from an arrow, to a page to make or move a jump.");
const QString kSummary = QStringLiteral("%1 pages, %2 links");
const QString kUnreachable = QStringLiteral(", %1 unreachable");
const QString kDeadEnds = QStringLiteral(", %1 dead ends");
const QString kLayingOut = QStringLiteral(" (placing…)");
const QString kExport = QStringLiteral("Export page map…");
const QString kExportCaption = QStringLiteral("Export page map");
const QString kExportFilter = QStringLiteral("SVG drawing (*.svg)|*.svg|PNG picture (*.png)|*.png|Graphviz DOT (*.dot)|*.dot");
const QString kCaptionError = QStringLiteral("Error");
const QString kDeleteAction = QStringLiteral("Delete action on the page map");
const QString kJumpAtEnd = QStringLiteral("Jump at end on the page map");
} // namespace text

constexpr int kMargin = 24;
constexpr int kHandleSpacing = 11;
constexpr int kHandleRadius = 4;
constexpr int kInitialWidth = 900;
constexpr int kInitialHeight = 600;
// Up to this many links in view are drawn smooth.
constexpr int kSmoothLinks = 200;

QPointF rectCenter(const QRectF& r)
{
    return r.center();
}

// The middle of a Bézier path: the middle of its middle segment, or the point between two segments.
QPointF middleOf(const std::vector<QPointF>& path)
{
    const size_t segments = path.size() >= 4 ? (path.size() - 1) / 3 : 0;
    if (segments == 0)
        return path.empty() ? QPointF() : path.front();
    const size_t k = segments / 2;
    if (segments % 2 == 0)
        return path[3 * k];
    const QPointF &a = path[3 * k], &b = path[3 * k + 1], &c = path[3 * k + 2], &d = path[3 * k + 3];
    return 0.125 * a + 0.375 * b + 0.375 * c + 0.125 * d;
}

QPainterPath painterPath(const std::vector<QPointF>& points, QPointF tip)
{
    QPainterPath path;
    if (points.empty())
        return path;
    path.moveTo(points.front());
    for (size_t i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    path.lineTo(tip);
    return path;
}

} // namespace

// --- the canvas -----------------------------------------------------------------------------------

class PageMapCanvas : public QWidget
{
public:
    explicit PageMapCanvas(TPageMapForm* form) : QWidget(nullptr), m_form(form)
    {
        setObjectName(QStringLiteral("PageMapView"));
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
    }

    // The routes change with the places only; the labels with every map.
    void rebuild(bool routes)
    {
        const MapLayout& l = m_form->m_places;
        if (routes)
            rebuildRoutes(l);
        // Links between the same two nodes share a route, and one label names them all.
        const PageMap& map = m_form->m_map;
        m_labels.assign(map.edges.size(), QString());
        m_leads.assign(map.edges.size(), false);
        QHash<QPair<int, int>, int> first;
        for (int i = 0; i < int(map.edges.size()); ++i) {
            const MapEdge& e = map.edges[size_t(i)];
            const QPair<int, int> ends(e.from, e.to);
            if (!first.contains(ends)) {
                first.insert(ends, i);
                m_leads[size_t(i)] = true;
            }
            QString& label = m_labels[size_t(first.value(ends))];
            if (e.label.isEmpty() || label.split(QStringLiteral(", ")).contains(e.label))
                continue;
            if (label.size() > 40) {
                if (!label.endsWith(QStringLiteral("…")))
                    label += QStringLiteral(", …");
                continue;
            }
            label += (label.isEmpty() ? QString() : QStringLiteral(", ")) + e.label;
        }
    }
    void rebuildRoutes(const MapLayout& l)
    {
        m_paths.clear();
        m_paths.reserve(l.edges.size());
        for (size_t i = 0; i < l.edges.size(); ++i)
            m_paths.push_back(painterPath(l.edges[i], l.arrowTips[i]));
        m_strokes.assign(l.edges.size(), QPainterPath());
    }
    const QPainterPath& stroke(int edge)
    {
        QPainterPath& s = m_strokes[size_t(edge)];
        if (s.isEmpty() && !m_paths[size_t(edge)].isEmpty()) {
            QPainterPathStroker stroker;
            stroker.setWidth(8);
            s = stroker.createStroke(m_paths[size_t(edge)]);
        }
        return s;
    }
    bool hasPaths() const { return !m_paths.empty(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintNode(QPainter& p, int i);
    void paintEdge(QPainter& p, int i);

    TPageMapForm* m_form;
    std::vector<QPainterPath> m_paths;
    std::vector<QPainterPath> m_strokes; // made when first hit-tested
    std::vector<QString> m_labels;
    std::vector<bool> m_leads; // the first link of those that share a route: it draws the route
    // A press on a selection's handle or on an arrow, and the drag from it.
    QPointF m_pressAt;
    int m_pressEdge = -1;
    std::pair<int, int> m_pressHandle{-1, -1};
    bool m_dragging = false;
    QPointF m_dragTo;
};

void PageMapCanvas::paintEdge(QPainter& p, int i)
{
    const MapEdge& e = m_form->m_map.edges[size_t(i)];
    const QPainterPath& path = m_paths[size_t(i)];
    if (path.isEmpty())
        return;
    QColor color = e.kind == MapEdgeKind::Selection   ? QColor(30, 70, 160)
                   : e.kind == MapEdgeKind::JumpAtEnd ? QColor(20, 130, 60)
                   : e.kind == MapEdgeKind::EndAction ? QColor(130, 40, 140)
                                                      : QColor(90, 90, 90);
    if (!e.followed)
        color = QColor(185, 185, 185);
    const bool current = i == m_form->m_currentEdge;
    if (current)
        color = QColor(230, 120, 0);
    QPen pen(color, current ? 3.0 : e.kind == MapEdgeKind::EndAction ? 2.2 : 1.2);
    pen.setStyle(e.kind == MapEdgeKind::JumpAtEnd ? Qt::DashLine : e.kind == MapEdgeKind::Player ? Qt::DotLine : Qt::SolidLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    // The head: a filled triangle at the tip, pointing along the last stretch of the route.
    const MapLayout& l = m_form->m_places;
    const QPointF tip = l.arrowTips[size_t(i)];
    const QPointF from = l.edges[size_t(i)].back() == tip && l.edges[size_t(i)].size() > 1
                             ? l.edges[size_t(i)][l.edges[size_t(i)].size() - 2]
                             : l.edges[size_t(i)].back();
    const double angle = std::atan2(tip.y() - from.y(), tip.x() - from.x());
    const double size = 8;
    const QPointF left = tip - QPointF(std::cos(angle - 0.4) * size, std::sin(angle - 0.4) * size);
    const QPointF right = tip - QPointF(std::cos(angle + 0.4) * size, std::sin(angle + 0.4) * size);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF({tip, left, right}));
    const QString& label = m_labels[size_t(i)];
    if (!label.isEmpty() && e.kind != MapEdgeKind::JumpAtEnd) {
        p.setPen(color.darker(120));
        p.drawText(middleOf(l.edges[size_t(i)]) + QPointF(4, -3), label);
    }
}

void PageMapCanvas::paintNode(QPainter& p, int i)
{
    const MapNode& n = m_form->m_map.nodes[size_t(i)];
    const QRectF r = m_form->m_places.nodes[size_t(i)];
    const QFontMetrics fm = p.fontMetrics();
    switch (n.kind) {
    case MapNodeKind::Page: {
        QPen border(n.deadEnd ? QColor(200, 0, 0) : n.unreachable ? QColor(230, 120, 0) : QColor(60, 60, 60),
                    n.deadEnd || n.unreachable ? 2.0 : 1.0);
        if (n.unreachable)
            border.setStyle(Qt::DashLine);
        p.setPen(border);
        p.setBrush(palette().color(QPalette::Window));
        p.drawRoundedRect(r, 4, 4);
        const QImage thumb = n.page ? n.page->thumbnail.value<QImage>() : QImage();
        const QRectF picture(r.left() + 4, r.top() + 4, 64, 43);
        if (!thumb.isNull())
            p.drawImage(picture, thumb);
        else
            p.fillRect(picture, QColor(215, 215, 215));
        p.setPen(palette().color(QPalette::WindowText));
        QFont bold = p.font();
        bold.setBold(true);
        p.save();
        p.setFont(bold);
        p.drawText(QRectF(r.left() + 72, r.top() + 3, r.width() - 76, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::number(n.pageNumber));
        p.restore();
        p.drawText(QRectF(r.left() + 72, r.top() + 3 + fm.height(), r.width() - 76, fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(n.page ? n.page->name : QString(), Qt::ElideRight, int(r.width()) - 76));
        // The marks, as the page list shows them: start, menu, chapters, specials.
        qreal x = r.left() + 72;
        for (const QChar mark : n.marks) {
            const QRectF box(x, r.top() + 6 + 2 * fm.height(), fm.height(), fm.height());
            p.setPen(Qt::NoPen);
            p.setBrush(mark == u'S' ? QColor(40, 150, 60) : mark == u'M' ? QColor(40, 90, 190) : mark == u'C' ? QColor(200, 130, 0) : QColor(150, 60, 160));
            p.drawRoundedRect(box, 2, 2);
            p.setPen(Qt::white);
            p.drawText(box, Qt::AlignCenter, QString(mark));
            x += fm.height() + 2;
        }
        // A dot per selection to drag a jump from.
        const Page* page = n.page;
        if (page) {
            p.setPen(QPen(QColor(30, 70, 160), 1));
            p.setBrush(QColor(200, 215, 245));
            for (int s = 0; s < int(page->selections.size()); ++s) {
                const QPoint c = m_form->handlePoint(i, s);
                if (c.x() < 0)
                    break;
                p.drawEllipse(QPointF(c), kHandleRadius, kHandleRadius);
            }
        }
        break;
    }
    case MapNodeKind::Player:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 30, 30));
        p.drawEllipse(r);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, QStringLiteral("▶"));
        break;
    case MapNodeKind::MissingPage:
        p.setPen(QPen(QColor(200, 0, 0), 1.5, Qt::DashLine));
        p.setBrush(QColor(255, 228, 225));
        p.drawRect(r);
        p.setPen(QColor(150, 0, 0));
        p.drawText(r, Qt::AlignCenter, fm.elidedText(n.label, Qt::ElideRight, int(r.width()) - 4));
        break;
    default:
        p.setPen(QPen(QColor(40, 90, 140), 1));
        p.setBrush(QColor(200, 225, 245));
        p.drawEllipse(r);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, Qt::AlignCenter, fm.elidedText(n.label, Qt::ElideRight, int(r.width()) - 6));
        break;
    }
}

void PageMapCanvas::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF visible = event->rect();
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    p.setFont(small);
    // A large map shows many long links at once: they are drawn without smoothing, which costs a
    // multiple of the time on long curves that the view shows only a piece of.
    int shown = 0;
    std::vector<int> drawn;
    for (int i = 0; i < int(m_paths.size()); ++i)
        if ((m_leads[size_t(i)] || i == m_form->m_currentEdge) &&
            m_paths[size_t(i)].controlPointRect().adjusted(-60, -12, 60, 12).intersects(visible)) {
            drawn.push_back(i);
            ++shown;
        }
    p.setRenderHint(QPainter::Antialiasing, shown <= kSmoothLinks);
    for (const int i : drawn)
        if (i != m_form->m_currentEdge)
            paintEdge(p, i);
    if (m_form->m_currentEdge >= 0 && m_form->m_currentEdge < int(m_paths.size()))
        paintEdge(p, m_form->m_currentEdge); // on top of the links it shares its route with
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font());
    const std::vector<QRectF>& nodes = m_form->m_places.nodes;
    for (int i = 0; i < int(nodes.size()) && i < int(m_form->m_map.nodes.size()); ++i)
        if (nodes[size_t(i)].intersects(visible))
            paintNode(p, i);
    if (m_dragging) {
        p.setPen(QPen(QColor(230, 120, 0), 2, Qt::DashLine));
        p.drawLine(m_pressAt, m_dragTo);
    }
}

void PageMapCanvas::mousePressEvent(QMouseEvent* event)
{
    m_pressEdge = -1;
    m_pressHandle = {-1, -1};
    m_dragging = false;
    if (event->button() != Qt::LeftButton || m_form->busy())
        return;
    m_pressAt = event->position();
    m_pressHandle = m_form->handleAt(m_pressAt);
    if (m_pressHandle.first < 0 && m_form->nodeAt(m_pressAt) < 0)
        m_pressEdge = m_form->edgeAt(m_pressAt);
}

void PageMapCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || (m_pressEdge < 0 && m_pressHandle.first < 0))
        return;
    if (!m_dragging && (event->position() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    m_dragTo = event->position();
    update();
}

void PageMapCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool dragged = m_dragging;
    m_dragging = false;
    update();
    if (m_form->busy())
        return;
    if (dragged) {
        const int target = m_form->nodeAt(event->position());
        if (target >= 0 && m_pressHandle.first >= 0)
            m_form->makeJump(m_pressHandle.first, m_pressHandle.second, target);
        else if (target >= 0 && m_pressEdge >= 0)
            m_form->retargetEdge(m_pressEdge, target);
    } else if (m_pressEdge >= 0) {
        m_form->pickEdge(m_pressEdge);
    }
    m_pressEdge = -1;
    m_pressHandle = {-1, -1};
}

void PageMapCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_form->busy())
        return;
    const int node = m_form->nodeAt(event->position());
    if (node >= 0)
        m_form->showNodePage(node);
}

void PageMapCanvas::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && m_form->m_currentEdge >= 0) {
        m_form->deleteEdge(m_form->m_currentEdge);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PageMapCanvas::event(QEvent* event)
{
    // The hint of what is under the pointer: the page's name, or the arrow's selection and action.
    if (event->type() == QEvent::ToolTip && !m_form->busy()) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPointF at = help->pos();
        QString tip;
        if (const int node = m_form->nodeAt(at); node >= 0) {
            tip = m_form->m_map.nodes[size_t(node)].label;
        } else if (const int edge = m_form->edgeAt(at); edge >= 0) {
            const MapEdge& e = m_form->m_map.edges[size_t(edge)];
            tip = m_form->m_map.nodes[size_t(e.from)].label + QStringLiteral(" → ") + m_form->m_map.nodes[size_t(e.to)].label +
                  QStringLiteral(": ") + e.label;
            if (!e.followed)
                tip += QStringLiteral(" (never followed)");
        }
        if (tip.isEmpty())
            QToolTip::showText(help->globalPos(), text::kHint, this);
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

// --- the window -----------------------------------------------------------------------------------

TPageMapForm::TPageMapForm(MenuProject& project, ProjectEdits& edits, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_project(project), m_edits(edits)
{
    setObjectName(QStringLiteral("PageMapForm"));
    setWindowTitle(text::kCaption);
    resize(kInitialWidth, kInitialHeight);

    lbPageMap = new QLabel(this);
    lbPageMap->setObjectName(QStringLiteral("lbPageMap"));
    lbPageMap->setToolTip(text::kHint);

    PageMapScroll = new QScrollArea(this);
    PageMapScroll->setObjectName(QStringLiteral("PageMapScroll"));
    m_canvas = new PageMapCanvas(this);
    PageMapScroll->setWidget(m_canvas); // owned by the scroll area
    PageMapScroll->setWidgetResizable(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(lbPageMap);
    layout->addWidget(PageMapScroll, 1);

    m_timer.setSingleShot(true);
    m_timer.setInterval(kRefreshDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &TPageMapForm::refresh);
    // The same signals the Problems window follows: every change to the project passes one of them.
    connect(&m_edits.stack(), &QUndoStack::indexChanged, this, &TPageMapForm::scheduleRefresh);
    connect(&m_edits, &ProjectEdits::pagesChanged, this, &TPageMapForm::scheduleRefresh);
    connect(&m_edits, &ProjectEdits::pageChanged, this, &TPageMapForm::scheduleRefresh);
    connect(&m_edits, &ProjectEdits::selectionsChanged, this, &TPageMapForm::scheduleRefresh);
    connect(&m_edits, &ProjectEdits::selectionChanged, this, &TPageMapForm::scheduleRefresh);
    connect(&m_edits, &ProjectEdits::movieDataChanged, this, &TPageMapForm::scheduleRefresh);
    m_pool.setMaxThreadCount(1);
}

TPageMapForm::~TPageMapForm()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void TPageMapForm::setWindows(TPageViewerForm* pages, TSelectionsViewerForm* selections)
{
    m_pages = pages;
    m_selections = selections;
}

QWidget* TPageMapForm::canvas() const
{
    return m_canvas;
}

void TPageMapForm::scheduleRefresh()
{
    m_timer.start();
}

bool TPageMapForm::busy() const
{
    return m_timer.isActive() || m_pending || m_dirty;
}

void TPageMapForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_dirty)
        refresh();
}

QString TPageMapForm::nodeKey(const MapNode& node) const
{
    return node.kind == MapNodeKind::Page ? QStringLiteral("page:%1").arg(quintptr(node.page), 0, 16) : node.id;
}

QByteArray TPageMapForm::structureOf(const PageMap& map) const
{
    QByteArray s;
    s.reserve(qsizetype(map.nodes.size() * 16 + map.edges.size() * 10));
    for (const MapNode& n : map.nodes)
        s += nodeKey(n).toLatin1() + '\n';
    for (const MapEdge& e : map.edges)
        s += QByteArray::number(e.from) + '>' + QByteArray::number(e.to) + ';';
    return s;
}

void TPageMapForm::refresh()
{
    m_timer.stop();
    // A hidden map costs nothing: it is made when it is shown.
    if (!isVisible()) {
        m_dirty = true;
        return;
    }
    m_dirty = false;
    PageMap map = buildPageMap(m_project);
    const QByteArray structure = structureOf(map);
    if (structure == m_structure) {
        // The same pages and links: every place stays; only names, marks and colours may differ.
        m_pending.reset();
        ++m_generation; // a layout still running for another graph is not wanted any more
        showMap(std::move(map), m_places, true);
        return;
    }
    if (m_pending && structure == m_pendingStructure) {
        *m_pending = std::move(map); // the layout on its way fits this map as well
        return;
    }
    m_pendingStructure = structure;
    m_pending = std::make_unique<PageMap>(std::move(map));
    const quint64 generation = ++m_generation;
    lbPageMap->setText(lbPageMap->text() + text::kLayingOut);
    // The job gets its own copy of the graph's structure; the pages themselves are never read there.
    m_pool.start([this, generation, graph = *m_pending] {
        MapLayout laid = layoutPageMap(graph);
        QMetaObject::invokeMethod(
            this, [this, generation, laid = std::move(laid)]() mutable { layoutArrived(generation, std::move(laid)); },
            Qt::QueuedConnection);
    });
}

void TPageMapForm::layoutArrived(quint64 generation, MapLayout laid)
{
    if (generation != m_generation || !m_pending)
        return;
    // Into the canvas's coordinates, moved so that the pages that were on the map before stay where
    // the author saw them, as far as one shift of the whole drawing can keep them.
    QHash<QString, QPointF> before;
    for (size_t i = 0; i < m_map.nodes.size() && i < m_places.nodes.size(); ++i)
        before.insert(nodeKey(m_map.nodes[i]), rectCenter(m_places.nodes[i]));
    // The shift most pages that were there before share (dot often places an unchanged part of the
    // graph alike, only moved), else the middle one of their shifts.
    std::vector<QPointF> shifts;
    for (size_t i = 0; i < m_pending->nodes.size(); ++i) {
        const auto old = before.constFind(nodeKey(m_pending->nodes[i]));
        if (old != before.constEnd())
            shifts.push_back(*old - rectCenter(laid.nodes[i]));
    }
    QPointF shift(kMargin, kMargin);
    if (!shifts.empty()) {
        QHash<QPair<int, int>, int> votes;
        int best = 0;
        for (const QPointF& d : shifts) {
            const int n = ++votes[QPair<int, int>(qRound(d.x()), qRound(d.y()))];
            if (n > best) {
                best = n;
                shift = QPointF(qRound(d.x()), qRound(d.y()));
            }
        }
        if (best < 2) {
            std::vector<double> xs, ys;
            for (const QPointF& d : shifts) {
                xs.push_back(d.x());
                ys.push_back(d.y());
            }
            std::nth_element(xs.begin(), xs.begin() + qsizetype(xs.size() / 2), xs.end());
            std::nth_element(ys.begin(), ys.begin() + qsizetype(ys.size() / 2), ys.end());
            shift = QPointF(xs[xs.size() / 2], ys[ys.size() / 2]);
        }
    }
    // Nothing may come left of or above the margin: what would is moved back, and the view scrolls
    // with it so that the pages stay put on the screen.
    QRectF bounds;
    for (const QRectF& r : laid.nodes)
        bounds |= r.translated(shift);
    const QPointF back(std::max(0.0, kMargin - bounds.left()), std::max(0.0, kMargin - bounds.top()));
    shift += back;
    for (QRectF& r : laid.nodes)
        r.translate(shift);
    for (std::vector<QPointF>& path : laid.edges)
        for (QPointF& pt : path)
            pt += shift;
    for (QPointF& tip : laid.arrowTips)
        tip += shift;
    QRectF all;
    for (const QRectF& r : laid.nodes)
        all |= r;
    laid.size = QSizeF(all.right() + kMargin, all.bottom() + kMargin);
    m_structure = m_pendingStructure;
    PageMap map = std::move(*m_pending);
    m_pending.reset();
    showMap(std::move(map), std::move(laid), false);
    PageMapScroll->horizontalScrollBar()->setValue(PageMapScroll->horizontalScrollBar()->value() + int(back.x()));
    PageMapScroll->verticalScrollBar()->setValue(PageMapScroll->verticalScrollBar()->value() + int(back.y()));
}

void TPageMapForm::showMap(PageMap map, MapLayout places, bool kept)
{
    m_map = std::move(map);
    if (!kept)
        m_places = std::move(places);
    m_canvas->rebuild(!kept);
    if (!kept) {
        m_canvas->resize(m_places.size.toSize().expandedTo(QSize(kMargin * 2, kMargin * 2)));
    }
    if (!kept || m_currentEdge >= int(m_map.edges.size()))
        m_currentEdge = -1;
    int unreachable = 0, deadEnds = 0;
    for (const MapNode& n : m_map.nodes) {
        unreachable += int(n.unreachable);
        deadEnds += int(n.deadEnd);
    }
    QString summary = text::kSummary.arg(m_project.pages.size()).arg(m_map.edges.size());
    if (unreachable)
        summary += text::kUnreachable.arg(unreachable);
    if (deadEnds)
        summary += text::kDeadEnds.arg(deadEnds);
    lbPageMap->setText(summary);
    m_canvas->update();
    emit mapShown();
}

// --- where things are -------------------------------------------------------------------------------

QPoint TPageMapForm::nodePoint(int node) const
{
    if (node < 0 || node >= int(m_places.nodes.size()))
        return {-1, -1};
    return m_places.nodes[size_t(node)].center().toPoint();
}

QPoint TPageMapForm::edgePoint(int edge) const
{
    if (edge < 0 || edge >= int(m_places.edges.size()) || m_places.edges[size_t(edge)].empty())
        return {-1, -1};
    return middleOf(m_places.edges[size_t(edge)]).toPoint();
}

QPoint TPageMapForm::handlePoint(int node, int selectionIndex) const
{
    if (node < 0 || node >= int(m_places.nodes.size()) || node >= int(m_map.nodes.size()) ||
        m_map.nodes[size_t(node)].kind != MapNodeKind::Page)
        return {-1, -1};
    const QRectF r = m_places.nodes[size_t(node)];
    const int x = int(r.left()) + 8 + selectionIndex * kHandleSpacing;
    if (x + kHandleRadius > r.right() - 4)
        return {-1, -1}; // no room for more dots: those selections are reached by their arrows
    return {x, int(r.bottom()) - 7};
}

int TPageMapForm::nodeAt(QPointF at) const
{
    for (int i = int(std::min(m_places.nodes.size(), m_map.nodes.size())) - 1; i >= 0; --i)
        if (m_places.nodes[size_t(i)].contains(at))
            return i;
    return -1;
}

int TPageMapForm::edgeAt(QPointF at) const
{
    const QRectF near(at - QPointF(6, 6), QSizeF(12, 12));
    for (int i = 0; i < int(m_places.edges.size()); ++i) {
        if (m_places.edges[size_t(i)].empty())
            continue;
        QRectF box;
        for (const QPointF& p : m_places.edges[size_t(i)])
            box |= QRectF(p, QSizeF(1, 1));
        box |= QRectF(m_places.arrowTips[size_t(i)], QSizeF(1, 1));
        if (!box.intersects(near))
            continue;
        if (m_canvas->stroke(i).contains(at))
            return i;
    }
    return -1;
}

std::pair<int, int> TPageMapForm::handleAt(QPointF at) const
{
    const int node = nodeAt(at);
    if (node < 0 || !m_map.nodes[size_t(node)].page)
        return {-1, -1};
    for (int s = 0; s < int(m_map.nodes[size_t(node)].page->selections.size()); ++s) {
        const QPoint c = handlePoint(node, s);
        if (c.x() < 0)
            break;
        if (QLineF(QPointF(c), at).length() <= kHandleRadius + 2)
            return {node, s};
    }
    return {-1, -1};
}

// --- edits ------------------------------------------------------------------------------------------

int TPageMapForm::targetPageNumber(int node) const
{
    if (node < 0 || node >= int(m_map.nodes.size()) || m_map.nodes[size_t(node)].kind != MapNodeKind::Page)
        return -1;
    return m_map.nodes[size_t(node)].pageNumber;
}

void TPageMapForm::showNodePage(int node)
{
    if (busy() || node < 0 || node >= int(m_map.nodes.size()) || m_map.nodes[size_t(node)].pageIndex < 0 || !m_pages)
        return;
    const int index = m_map.nodes[size_t(node)].pageIndex;
    m_pages->selectRow(index);
    m_pages->ShowPage(index);
}

void TPageMapForm::pickEdge(int edge)
{
    if (busy() || edge < 0 || edge >= int(m_map.edges.size()))
        return;
    m_currentEdge = edge;
    m_canvas->update();
    m_canvas->setFocus();
    const MapEdge& e = m_map.edges[size_t(edge)];
    if (e.pageIndex < 0 || !m_pages)
        return;
    if (m_pages->CurrentPageIndex() != e.pageIndex) {
        m_pages->selectRow(e.pageIndex);
        m_pages->ShowPage(e.pageIndex);
    }
    if (e.kind == MapEdgeKind::Selection && m_selections)
        m_selections->SelectSelection(m_project.pages[size_t(e.pageIndex)]->selections[size_t(e.selectionIndex)].get());
}

void TPageMapForm::deleteEdge(int edge)
{
    if (busy() || edge < 0 || edge >= int(m_map.edges.size()))
        return;
    const MapEdge e = m_map.edges[size_t(edge)];
    if (e.pageIndex < 0)
        return; // the player's own: the marks of the page list say which pages it opens
    Page& page = *m_project.pages[size_t(e.pageIndex)];
    m_currentEdge = -1;
    switch (e.kind) {
    case MapEdgeKind::Selection:
        m_edits.deleteAction(*page.selections[size_t(e.selectionIndex)], e.actionIndex);
        break;
    case MapEdgeKind::JumpAtEnd: {
        PageProperties properties = page.properties();
        properties.jumpAtEnd = 0;
        m_edits.modifyPage(page, properties);
        break;
    }
    case MapEdgeKind::EndAction:
        m_edits.setActionAtEnd(page, nullptr);
        break;
    case MapEdgeKind::Player:
        break;
    }
}

void TPageMapForm::retargetEdge(int edge, int node)
{
    const int number = targetPageNumber(node);
    if (busy() || edge < 0 || edge >= int(m_map.edges.size()) || number < 0)
        return;
    const MapEdge e = m_map.edges[size_t(edge)];
    if (e.pageIndex < 0 || e.to == node)
        return;
    Page& page = *m_project.pages[size_t(e.pageIndex)];
    auto jump = std::make_unique<MenuAction>(ActJumpToPage, QString::number(number));
    switch (e.kind) {
    case MapEdgeKind::Selection:
        m_edits.replaceAction(*page.selections[size_t(e.selectionIndex)], e.actionIndex, std::move(jump));
        break;
    case MapEdgeKind::JumpAtEnd: {
        PageProperties properties = page.properties();
        properties.jumpAtEnd = number;
        m_edits.modifyPage(page, properties);
        break;
    }
    case MapEdgeKind::EndAction:
        m_edits.setActionAtEnd(page, std::move(jump));
        break;
    case MapEdgeKind::Player:
        break;
    }
}

void TPageMapForm::makeJump(int fromNode, int selectionIndex, int node)
{
    const int number = targetPageNumber(node);
    if (busy() || number < 0 || fromNode < 0 || fromNode >= int(m_map.nodes.size()) ||
        m_map.nodes[size_t(fromNode)].pageIndex < 0)
        return;
    Page& page = *m_project.pages[size_t(m_map.nodes[size_t(fromNode)].pageIndex)];
    if (selectionIndex < 0 || selectionIndex >= int(page.selections.size()))
        return;
    Selection& selection = *page.selections[size_t(selectionIndex)];
    auto jump = std::make_unique<MenuAction>(ActJumpToPage, QString::number(number));
    // The selection's jump, if it has one, now leads there.
    for (int a = 0; a < int(selection.actions.size()); ++a) {
        const int type = selection.actions[size_t(a)]->type;
        if (type == ActJumpToPage || type == ActRelativeJump) {
            m_edits.replaceAction(selection, a, std::move(jump));
            return;
        }
    }
    // Else a new jump, where the player still runs it: before an action that ends the list.
    int at = int(selection.actions.size());
    for (int a = 0; a < int(selection.actions.size()); ++a) {
        if (endsActionList(selection.actions[size_t(a)]->type)) {
            at = a;
            break;
        }
    }
    m_edits.insertAction(selection, at, std::move(jump));
}

// --- the main window's menus ---------------------------------------------------------------------

void installPageMap(TMainForm& main, TPageMapForm& map, DialogService& dialogs)
{
    QMenuBar* bar = main.menuBar();
    map.addAction(main.undoAction());
    map.addAction(main.redoAction());
    main.addToolWindow(&map);

    if (auto* windows = bar->findChild<QMenu*>(QStringLiteral("Windows1"))) {
        auto* item = new QAction(text::kCaption, windows); // owned by the menu
        item->setObjectName(QStringLiteral("miWinPageMap"));
        windows->addAction(item);
        QObject::connect(item, &QAction::triggered, &map, [&main, &map] { main.showToolWindow(&map); });
    }
    if (auto* file = bar->findChild<QMenu*>(QStringLiteral("File1"))) {
        auto* item = new QAction(text::kExport, file); // owned by the menu
        item->setObjectName(QStringLiteral("miExportPageMap"));
        // After the saving commands, before the separator that keeps Quit apart.
        const QList<QAction*> items = file->actions();
        QAction* before = nullptr;
        for (qsizetype i = 1; i < items.size(); ++i)
            if (items.at(i)->objectName() == QLatin1String("miMMQuit") && items.at(i - 1)->isSeparator())
                before = items.at(i - 1);
        file->insertAction(before, item);
        QObject::connect(item, &QAction::triggered, &map, [&main, &map, &dialogs] {
            DialogService::FileDialogOptions options;
            options.caption = text::kExportCaption;
            options.filter = text::kExportFilter;
            options.defaultExtension = QStringLiteral("svg");
            const MenuProject& project = map.project();
            options.startFolder = project.documentName != kNewFileName ? QFileInfo(project.documentName).absolutePath()
                                                                       : project.baseDirectory;
            const QString path = dialogs.getSaveFileName(options, &main);
            if (path.isEmpty())
                return;
            // The map as the project is now, whether or not the window shows it.
            const QString error = exportPageMap(buildPageMap(map.project()), path);
            if (!error.isEmpty())
                dialogs.showMessage(Message{error, text::kCaptionError, MessageIcon::Error}, &main);
        });
    }
}
