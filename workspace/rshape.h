#pragma once

#include <QPointer>
#include <QRect>

#include <array>
#include <functional>

#include "workspace/videoimage.h"

struct Selection;
class RShape;

// One of the eight small squares by which a picked rectangle is resized. It lies on the rectangle's
// container, beside the rectangle, and is drawn normally (white with a black outline).
class RShapeAnchor : public QWidget
{
    Q_OBJECT
public:
    RShapeAnchor(int index, RShape& owner, QWidget* container);
    int index() const { return m_index; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_index;
    RShape& m_owner;
};

// The rectangle that shows one selection on the picture. It knows nothing of selections or pages: it
// reports through its events, and the workspace turns them into changes of the selection's area.
//
// The rectangle keeps its own left, top, width and height: dragging an anchor past the opposite edge
// gives a width or height of zero or less, which the arithmetic keeps (a widget cannot be narrower
// than nothing, so the control itself then shows nothing).
class RShape : public InvertedArea
{
    Q_OBJECT
public:
    static constexpr int kAnchorSize = 6;
    static constexpr int kAnchorCount = 8;
    // The smallest width and height of a selection the author makes: a smaller rubber band makes
    // none, and a typed edge stops this far from the opposite one.
    static constexpr int kMinimumSide = 5;
    // Anchor order: 0 left middle, 1 right middle, 2 top middle, 3 bottom middle, 4 top-left,
    // 5 bottom-left, 6 top-right, 7 bottom-right.

    explicit RShape(QWidget* container, const VideoImageWidget* picture = nullptr);
    ~RShape() override;

    QWidget* container() const { return parentWidget(); }

    // Position and size in the container's pixels as they would be at the picture's actual size:
    // picture pixels, counted from the container's corner. The control itself lies where the
    // picture's zoom shows them.
    QRect bounds() const { return m_bounds; }
    void setBounds(const QRect& bounds);
    // The bounds as shown on screen, in the container's pixels (the width may be zero or less).
    QRect viewBounds() const;
    // Lies where the picture's zoom shows it again, after the zoom changed.
    void followZoom();
    void moveBy(int dx, int dy) { setBounds(m_bounds.translated(dx, dy)); }

    void ShowAnchors();
    void HideAnchors();
    bool anchorsShown() const { return m_anchorsShown; }
    RShapeAnchor* anchor(int k) const;
    // Places the anchors at the rectangle's corners and edge middles.
    void placeAnchors();

    // One of several picked rectangles: drawn with a solid outline instead of anchors.
    void setMarked(bool marked);
    bool isMarked() const { return m_marked; }

    // Hiding the rectangle also takes its anchors away.
    void setVisible(bool visible) override;

    // The selection the rectangle shows.
    Selection* tag = nullptr;

    // Raised when an anchor drag ends.
    std::function<void()> OnChangedSize;
    // Raised on every pointer move over any anchor, before any resizing.
    std::function<void(RShapeAnchor*, Qt::KeyboardModifiers)> OnAnyAnchorMove;
    // The workspace's handlers of the rectangle itself.
    std::function<void(RShape*, QMouseEvent*)> onMouseDown;
    std::function<void(RShape*, QMouseEvent*)> onMouseMove;
    std::function<void(RShape*, QMouseEvent*)> onMouseUp;
    std::function<void(RShape*, QPoint)> onContextPopup;
    // Raised after each resizing step of an anchor drag, before the anchors are placed again: the
    // workspace may still adjust the bounds (snapping) and shows the new size.
    std::function<void(RShape*, int anchor, Qt::KeyboardModifiers)> onResizing;

    // Takes the handlers and the picture of the prototype, as every rectangle of a shown page does.
    void copySettingsFrom(const RShape& prototype);

    // Anchor mouse handling, with positions inside the anchor.
    void anchorMouseDown(RShapeAnchor& anchor, QMouseEvent* event);
    void anchorMouseMove(RShapeAnchor& anchor, QMouseEvent* event);
    void anchorMouseUp(RShapeAnchor& anchor, QMouseEvent* event);

protected:
    // The rectangle's edge, dashed black and white.
    void drawOutline(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void resizeByAnchor(int k, int dx, int dy);

    QRect m_bounds;
    std::array<QPointer<RShapeAnchor>, kAnchorCount> m_anchors{};
    bool m_anchorsShown = false;
    bool m_marked = false;
    int m_anchorPressX = 0;
    int m_anchorPressY = 0;
    bool m_anchorDragging = false; // from a left press on an anchor to the first release
};
