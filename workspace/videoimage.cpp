#include "workspace/videoimage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

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
    resize(image.size());
    update();
    emit imageChanged();
}

void VideoImageWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_image.isNull())
        painter.drawImage(0, 0, m_image);
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
        onEnter(event->position().toPoint());
}

void VideoImageWidget::leaveEvent(QEvent*)
{
    if (onLeave)
        onLeave();
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
    const QRect mine = dirty.translated(pos());
    const QRect onPicture = mine & QRect(m_picture->pos(), m_picture->image().size());
    if (onPicture.isEmpty()) {
        drawOutline(painter);
        return;
    }
    QImage part = m_picture->image().copy(onPicture.translated(-m_picture->pos()));
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
