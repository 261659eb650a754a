#include "workspace/rshape.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

RShapeAnchor::RShapeAnchor(int index, RShape& owner, QWidget* container)
    : QWidget(container), m_index(index), m_owner(owner)
{
    static const Qt::CursorShape kCursors[RShape::kAnchorCount] = {
        Qt::SizeHorCursor, Qt::SizeHorCursor, Qt::SizeVerCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor,
    };
    setObjectName(QStringLiteral("Anchor%1").arg(index));
    setCursor(kCursors[index]);
    setMouseTracking(true); // moves without a button are reported too
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(RShape::kAnchorSize, RShape::kAnchorSize);
}

void RShapeAnchor::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void RShapeAnchor::mousePressEvent(QMouseEvent* event)
{
    m_owner.anchorMouseDown(*this, event);
}

void RShapeAnchor::mouseMoveEvent(QMouseEvent* event)
{
    m_owner.anchorMouseMove(*this, event);
}

void RShapeAnchor::mouseReleaseEvent(QMouseEvent* event)
{
    m_owner.anchorMouseUp(*this, event);
}

// ---------------------------------------------------------------------------------------------
RShape::RShape(QWidget* container, const VideoImageWidget* picture) : InvertedArea(container, picture)
{
    setObjectName(QStringLiteral("RShape"));
    setMouseTracking(true); // the crosshair hides as soon as the pointer is over a rectangle
}

RShape::~RShape()
{
    HideAnchors();
}

void RShape::setBounds(const QRect& bounds)
{
    m_bounds = bounds;
    const QRect shown = viewBounds();
    setGeometry(shown.x(), shown.y(), qMax(0, shown.width()), qMax(0, shown.height()));
}

QRect RShape::viewBounds() const
{
    return picture() ? picture()->canvasToShown(m_bounds) : m_bounds;
}

void RShape::followZoom()
{
    setBounds(m_bounds);
    placeAnchors();
    update();
}

RShapeAnchor* RShape::anchor(int k) const
{
    return k >= 0 && k < kAnchorCount ? m_anchors[size_t(k)].data() : nullptr;
}

void RShape::ShowAnchors()
{
    for (int k = 0; k < kAnchorCount; ++k)
        m_anchors[size_t(k)] = new RShapeAnchor(k, *this, container()); // destroyed by HideAnchors
    placeAnchors();
    for (auto& a : m_anchors) {
        a->show();
        a->raise(); // above every rectangle, in the order 0 to 7
    }
    m_anchorsShown = true;
}

void RShape::HideAnchors()
{
    if (!m_anchorsShown)
        return;
    for (auto& a : m_anchors) {
        delete a.data();
        a = nullptr;
    }
    m_anchorsShown = false;
}

void RShape::placeAnchors()
{
    if (!m_anchors[0])
        return;
    // Anchors keep their size on screen whatever the zoom: they sit on the rectangle as shown.
    const QRect shown = viewBounds();
    const int L = shown.x();
    const int T = shown.y();
    const int W = shown.width();
    const int H = shown.height();
    const int s = kAnchorSize;
    // The halvings truncate toward zero, as C++ integer division does.
    const QPoint at[kAnchorCount] = {
        {L, T + (H - s) / 2},         {L + W - s, T + (H - s) / 2}, {L + (W - s) / 2, T},
        {L + (W - s) / 2, T + H - s}, {L, T},                       {L, T + H - s},
        {L + W - s, T},               {L + W - s, T + H - s},
    };
    for (int k = 0; k < kAnchorCount; ++k)
        m_anchors[size_t(k)]->move(at[k]);
}

void RShape::setVisible(bool visible)
{
    if (!visible)
        HideAnchors();
    InvertedArea::setVisible(visible);
}

void RShape::copySettingsFrom(const RShape& prototype)
{
    setPicture(prototype.picture());
    OnChangedSize = prototype.OnChangedSize;
    OnAnyAnchorMove = prototype.OnAnyAnchorMove;
    onMouseDown = prototype.onMouseDown;
    onMouseMove = prototype.onMouseMove;
    onMouseUp = prototype.onMouseUp;
    onContextPopup = prototype.onContextPopup;
    onResizing = prototype.onResizing;
}

void RShape::anchorMouseDown(RShapeAnchor&, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    m_anchorPressX = p.x();
    m_anchorPressY = p.y();
    m_anchorDragging = true;
}

void RShape::anchorMouseMove(RShapeAnchor& anchor, QMouseEvent* event)
{
    if (OnAnyAnchorMove)
        OnAnyAnchorMove(&anchor, event->modifiers());
    if (!(event->buttons() & Qt::LeftButton) || !m_anchorDragging)
        return;
    const QPoint p = event->position().toPoint();
    // The dragged anchor moves with the pointer, so this is the distance since the previous move.
    resizeByAnchor(anchor.index(), p.x() - m_anchorPressX, p.y() - m_anchorPressY);
    if (onResizing)
        onResizing(this, anchor.index(), event->modifiers());
    placeAnchors();
}

void RShape::anchorMouseUp(RShapeAnchor&, QMouseEvent*)
{
    // Any release ends a drag, another button's while the left one is held too: the left release
    // may then never come (a popup can take the mouse).
    if (!m_anchorDragging)
        return;
    m_anchorDragging = false;
    placeAnchors();
    if (OnChangedSize)
        OnChangedSize();
}

void RShape::resizeByAnchor(int k, int dx, int dy)
{
    RShapeAnchor* self = anchor(k);
    const bool horizontalOnly = k == 0 || k == 1;
    const bool verticalOnly = k == 2 || k == 3;
    self->move(self->x() + (verticalOnly ? 0 : dx), self->y() + (horizontalOnly ? 0 : dy));

    // The opposite edges are read from the anchors as last placed, so they stay where they were.
    // The arithmetic is on the rectangle as shown, where the anchors are.
    const int a1Left = anchor(1)->x();
    const int a3Top = anchor(3)->y();
    const QRect shown = viewBounds();
    int L = shown.x();
    int T = shown.y();
    int W = shown.width();
    int H = shown.height();
    const int s = kAnchorSize;
    switch (k) {
    case 0:
        L += dx;
        W = a1Left - L + s;
        break;
    case 1:
        W += dx;
        break;
    case 2:
        T += dy;
        H = a3Top - T + s;
        break;
    case 3:
        H += dy;
        break;
    case 4:
        T += dy;
        H = a3Top - T + s;
        L += dx;
        W = a1Left - L + s;
        break;
    case 5:
        H += dy;
        L += dx;
        W = a1Left - L + s;
        break;
    case 6:
        T += dy;
        H = a3Top - T + s;
        W += dx;
        break;
    case 7:
        H += dy;
        W += dx;
        break;
    default:
        break;
    }
    // Only the edges this anchor drags are taken back into picture pixels: at a zoom below 1 a
    // screen pixel cannot name every picture pixel, and the other edges must not move by rounding.
    const bool left = k == 0 || k == 4 || k == 5;
    const bool right = k == 1 || k == 6 || k == 7;
    const bool top = k == 2 || k == 4 || k == 6;
    const bool bottom = k == 3 || k == 5 || k == 7;
    const VideoImageWidget* pic = picture();
    auto backX = [pic](int x) { return pic ? pic->shownToCanvasX(x) : x; };
    auto backY = [pic](int y) { return pic ? pic->shownToCanvasY(y) : y; };
    const int newLeft = left ? backX(L) : m_bounds.x();
    const int newRight = right ? backX(L + W) : m_bounds.x() + m_bounds.width();
    const int newTop = top ? backY(T) : m_bounds.y();
    const int newBottom = bottom ? backY(T + H) : m_bounds.y() + m_bounds.height();
    setBounds(QRect(newLeft, newTop, newRight - newLeft, newBottom - newTop));
}

void RShape::drawOutline(QPainter& painter)
{
    if (width() < 2 || height() < 2)
        return;
    QPen pen(Qt::black, 1, Qt::CustomDashLine);
    pen.setDashPattern({3, 3});
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRect edge = rect().adjusted(0, 0, -1, -1);
    painter.drawRect(edge);
    pen.setColor(Qt::white);
    pen.setDashOffset(3);
    painter.setPen(pen);
    painter.drawRect(edge);
    if (m_marked && width() > 4 && height() > 4) {
        painter.setPen(QPen(QColor(0, 160, 255), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void RShape::setMarked(bool marked)
{
    if (m_marked == marked)
        return;
    m_marked = marked;
    update();
}

void RShape::mousePressEvent(QMouseEvent* event)
{
    if (onMouseDown)
        onMouseDown(this, event);
}

void RShape::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove)
        onMouseMove(this, event);
}

void RShape::mouseReleaseEvent(QMouseEvent* event)
{
    if (onMouseUp)
        onMouseUp(this, event);
}

void RShape::contextMenuEvent(QContextMenuEvent* event)
{
    if (!onContextPopup) {
        event->ignore();
        return;
    }
    event->accept();
    onContextPopup(this, event->pos());
}
