#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>

// The picture control: shows its image at its own size, never scaled, and sizes itself to it. The
// main window handles the mouse on it (drawing rectangles, the crosshair).
class VideoImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VideoImageWidget(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

    std::function<void(QMouseEvent*)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseUp;
    // The pointer came onto the picture (where, in picture pixels) or left it.
    std::function<void(QPoint)> onEnter;
    std::function<void()> onLeave;

signals:
    // A new picture is shown: whatever shows it inverted must repaint.
    void imageChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage m_image;
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
