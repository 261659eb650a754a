#include "workspace/videoimage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>

#include <cmath>

VideoImageWidget::VideoImageWidget(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the crosshair follows the pointer without a button held
    resize(0, 0);
}

void VideoImageWidget::setImage(const QImage& image)
{
    m_image = image;
    m_shown = QImage();
    resize(toShown(image.width()), toShown(image.height()));
    update();
    emit imageChanged();
}

void VideoImageWidget::setZoom(double zoom)
{
    if (!(zoom > 0) || zoom == m_zoom)
        return;
    m_zoom = zoom;
    m_shown = QImage();
    resize(toShown(m_image.width()), toShown(m_image.height()));
    update();
    emit zoomChanged();
}

const QImage& VideoImageWidget::shownImage() const
{
    if (m_zoom == 1.0 || m_image.isNull())
        return m_image;
    if (m_shown.isNull()) {
        // Enlarged, every picture pixel stays a sharp square, so that an author can aim at one;
        // reduced, the picture is smoothed, or thin lines and text break up.
        const Qt::TransformationMode mode = m_zoom < 1.0 ? Qt::SmoothTransformation : Qt::FastTransformation;
        m_shown = m_image.scaled(toShown(m_image.width()), toShown(m_image.height()), Qt::IgnoreAspectRatio, mode);
    }
    return m_shown;
}

QPoint VideoImageWidget::toPicture(QPointF inControl) const
{
    // A screen pixel belongs to the picture pixel it lies in: the floor, also left of or above the
    // picture, where a drag can go.
    return QPoint(int(std::floor(inControl.x() / m_zoom)), int(std::floor(inControl.y() / m_zoom)));
}

QPoint VideoImageWidget::toPictureDistance(QPoint onScreen) const
{
    return QPoint(int(std::lround(onScreen.x() / m_zoom)), int(std::lround(onScreen.y() / m_zoom)));
}

int VideoImageWidget::toShown(int inPicture) const
{
    return int(std::lround(inPicture * m_zoom));
}

QRect VideoImageWidget::toShown(const QRect& r) const
{
    const int left = toShown(r.x());
    const int top = toShown(r.y());
    return QRect(left, top, toShown(r.x() + r.width()) - left, toShown(r.y() + r.height()) - top);
}

QRect VideoImageWidget::canvasToShown(const QRect& inCanvas) const
{
    return toShown(inCanvas.translated(-pos())).translated(pos());
}

int VideoImageWidget::shownToCanvasX(int x) const
{
    return pos().x() + int(std::lround((x - pos().x()) / m_zoom));
}

int VideoImageWidget::shownToCanvasY(int y) const
{
    return pos().y() + int(std::lround((y - pos().y()) / m_zoom));
}

void VideoImageWidget::setSafeAreaShown(bool shown)
{
    if (shown == m_safeArea)
        return;
    m_safeArea = shown;
    update();
}

void VideoImageWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QImage& shown = shownImage();
    if (shown.isNull())
        return;
    const QRect dirty = event->rect() & shown.rect();
    painter.drawImage(dirty.topLeft(), shown, dirty);
    if (!m_safeArea)
        return;
    // Drawn on the control, never into the picture, so thumbnails and saved frames never carry it.
    for (const double share : {0.9, 0.8}) {
        const int w = toShown(int(std::lround(m_image.width() * share)));
        const int h = toShown(int(std::lround(m_image.height() * share)));
        const QRect area((width() - w) / 2, (height() - h) / 2, w - 1, h - 1);
        QPen pen(Qt::black, 1, Qt::CustomDashLine);
        pen.setDashPattern({4, 4});
        painter.setPen(pen);
        painter.drawRect(area);
        pen.setColor(share > 0.85 ? Qt::cyan : Qt::yellow);
        pen.setDashOffset(4);
        painter.setPen(pen);
        painter.drawRect(area);
    }
}

void VideoImageWidget::mousePressEvent(QMouseEvent* event)
{
    if (onMouseDown)
        onMouseDown(event);
}

void VideoImageWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove)
        onMouseMove(event);
}

void VideoImageWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (onMouseUp)
        onMouseUp(event);
}

void VideoImageWidget::enterEvent(QEnterEvent* event)
{
    if (onEnter)
        onEnter(toPicture(event->position()));
}

void VideoImageWidget::leaveEvent(QEvent*)
{
    if (onLeave)
        onLeave();
}

void VideoImageWidget::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore(); // the scroll area scrolls
        return;
    }
    event->accept();
    // 120 is one notch of an ordinary wheel; touchpads send smaller parts of it.
    m_wheelRest += event->angleDelta().y();
    const int steps = m_wheelRest / 120;
    m_wheelRest -= steps * 120;
    if (steps != 0)
        emit zoomByWheel(steps, toPicture(event->position()));
}

// ---------------------------------------------------------------------------------------------
InvertedArea::InvertedArea(QWidget* container, const VideoImageWidget* picture)
    : QWidget(container), m_picture(picture)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void InvertedArea::setPicture(const VideoImageWidget* picture)
{
    m_picture = picture;
    update();
}

void InvertedArea::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect dirty = event->rect();
    // Beside the picture the panel's background shows through, inverted as well.
    const QColor background = palette().color(QPalette::Window);
    painter.fillRect(dirty, QColor(255 - background.red(), 255 - background.green(), 255 - background.blue()));
    if (!m_picture || m_picture->parentWidget() != parentWidget() || m_picture->image().isNull()) {
        drawOutline(painter);
        return;
    }
    // Only the part being repainted is copied and inverted, so a drag over a large picture stays cheap.
    const QImage& shown = m_picture->shownImage();
    const QRect mine = dirty.translated(pos());
    const QRect onPicture = mine & QRect(m_picture->pos(), shown.size());
    if (onPicture.isEmpty()) {
        drawOutline(painter);
        return;
    }
    QImage part = shown.copy(onPicture.translated(-m_picture->pos()));
    part.invertPixels();
    painter.drawImage(onPicture.topLeft() - pos(), part);
    drawOutline(painter);
}

void InvertedArea::drawOutline(QPainter& painter)
{
    // A line of the crosshair: dashes along its middle.
    const bool horizontal = width() >= height();
    const int middle = (horizontal ? height() : width()) / 2;
    QPen pen(Qt::black, 1, Qt::CustomDashLine);
    pen.setDashPattern({3, 3});
    painter.setPen(pen);
    const QLine line = horizontal ? QLine(0, middle, width() - 1, middle) : QLine(middle, 0, middle, height() - 1);
    painter.drawLine(line);
    pen.setColor(Qt::white);
    pen.setDashOffset(3);
    painter.setPen(pen);
    painter.drawLine(line);
}
