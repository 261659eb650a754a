#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

// The picture control: shows its image at the zoom asked for (its actual size unless told otherwise)
// and sizes itself to it. The main window handles the mouse on it (drawing rectangles, the crosshair).
//
// Everything the program keeps about the picture (selection areas, rectangles, guides) is in picture
// pixels; this control is the one place that turns them into the pixels on screen and back, so that
// an Area is the same whatever the zoom it was drawn at.
class VideoImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VideoImageWidget(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

    // Screen pixels per picture pixel: 1 is the picture's actual size.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // The picture as it is shown, scaled to the zoom (the image itself at actual size).
    const QImage& shownImage() const;

    // The picture pixel under a point of this control (a mouse position), not limited to the picture.
    QPoint toPicture(QPointF inControl) const;
    // A distance on screen as picture pixels, rounded to the nearest.
    QPoint toPictureDistance(QPoint onScreen) const;
    // A position in picture pixels as this control's pixels: the left or top edge of that pixel.
    int toShown(int inPicture) const;
    // A rectangle in picture pixels as this control's pixels. Its edges are mapped, not its size, so
    // rectangles that touch in the picture touch on screen; a negative width or height is kept.
    QRect toShown(const QRect& inPicture) const;
    // The same for the container's coordinates: the picture's top-left corner is where the control
    // is, and picture pixels count from there.
    QRect canvasToShown(const QRect& inCanvas) const;
    int canvasToShownX(int x) const { return pos().x() + toShown(x - pos().x()); }
    int canvasToShownY(int y) const { return pos().y() + toShown(y - pos().y()); }
    int shownToCanvasX(int x) const;
    int shownToCanvasY(int y) const;

    // A guide to the part of the picture every television shows: the action-safe (90 %) and
    // title-safe (80 %) rectangles.
    bool safeAreaShown() const { return m_safeArea; }
    void setSafeAreaShown(bool shown);

    std::function<void(QMouseEvent*)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseUp;
    // The pointer came onto the picture (where, in picture pixels) or left it.
    std::function<void(QPoint)> onEnter;
    std::function<void()> onLeave;

signals:
    // A new picture is shown: whatever shows it inverted must repaint.
    void imageChanged();
    // The zoom changed: whatever lies over the picture is placed again.
    void zoomChanged();
    // Ctrl and the wheel over the picture: steps in (positive) or out, about a picture pixel.
    void zoomByWheel(int steps, QPoint inPicture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QImage m_image;
    double m_zoom = 1.0;
    mutable QImage m_shown; // the scaled picture, made when first needed after a change
    bool m_safeArea = false;
    int m_wheelRest = 0; // wheel movement short of a whole step, from high-resolution wheels
};

// A control laid over the picture that shows the picture under it inverted: the look of drawing with
// XOR, which stays visible over any picture. It is a control of its own, never drawn into the
// picture, so thumbnails made from the picture never carry it.
class InvertedArea : public QWidget
{
    Q_OBJECT
public:
    // `container` is the picture's parent; `picture` may be set later.
    explicit InvertedArea(QWidget* container, const VideoImageWidget* picture = nullptr);
    void setPicture(const VideoImageWidget* picture);
    const VideoImageWidget* picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Inverting leaves a middle grey almost as it was; a dashed black and white outline along the
    // control's middle or edge keeps it visible over any picture.
    virtual void drawOutline(QPainter& painter);

private:
    QPointer<const VideoImageWidget> m_picture;
};
