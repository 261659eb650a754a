// The View menu: how large the picture shows (zoom in and out, its actual size, fitted to the
// window) and a guide to the part of it that every television shows.
//
// The picture shows at its actual size where the screen can hold it. Where it cannot (a small
// screen, a scaled desktop) it is fitted, keeping its aspect ratio. Whatever the zoom, everything
// the author makes is in picture pixels: the picture control maps the mouse to them and back.
#include "workspace/mainform.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>

#include <array>
#include <cmath>

namespace {

namespace text {
const QString kZoomIn = QStringLiteral("Zoom &in");
const QString kZoomOut = QStringLiteral("Zoom &out");
const QString kActualSize = QStringLiteral("&Actual size");
const QString kFit = QStringLiteral("&Fit");
const QString kSafeArea = QStringLiteral("TV-&safe area");
const QString kSafeAreaHint = QStringLiteral("Shows the action-safe (90 %) and title-safe (80 %) areas");
const QString kSafeAreaKey = QStringLiteral("ShowSafeArea");
const QString kZoomShown = QStringLiteral("Zoom %1 %");
} // namespace text

// Zoom in and Zoom out go through these; a fitted zoom lies between two of them.
constexpr std::array<double, 10> kZoomSteps = {0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0};
constexpr double kLargestZoom = kZoomSteps.back();
constexpr double kSameZoom = 1e-6;

} // namespace

void TMainForm::buildViewMenu(QMenu* view)
{
    // Ctrl++ is typed as Ctrl+= on most keyboards; both are offered, as the keypad's plus is.
    m_miZoomIn = view->addAction(text::kZoomIn);
    m_miZoomIn->setObjectName(QStringLiteral("miZoomIn"));
    m_miZoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(m_miZoomIn, &QAction::triggered, this, [this] { zoomIn(); });
    m_miZoomOut = view->addAction(text::kZoomOut);
    m_miZoomOut->setObjectName(QStringLiteral("miZoomOut"));
    m_miZoomOut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    connect(m_miZoomOut, &QAction::triggered, this, [this] { zoomOut(); });
    QAction* actual = view->addAction(text::kActualSize);
    actual->setObjectName(QStringLiteral("miActualSize"));
    actual->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(actual, &QAction::triggered, this, [this] { zoomActualSize(); });
    QAction* fit = view->addAction(text::kFit);
    fit->setObjectName(QStringLiteral("miFitPicture"));
    fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_9));
    connect(fit, &QAction::triggered, this, [this] { zoomToFit(); });
    view->addSeparator();
    m_miSafeArea = view->addAction(text::kSafeArea);
    m_miSafeArea->setObjectName(QStringLiteral("miSafeArea"));
    m_miSafeArea->setCheckable(true);
    m_miSafeArea->setStatusTip(text::kSafeAreaHint);
    m_miSafeArea->setToolTip(text::kSafeAreaHint);
    m_miSafeArea->setChecked(openSettings()->value(text::kSafeAreaKey, false).toBool());
    m_videoImage->setSafeAreaShown(m_miSafeArea->isChecked());
    connect(m_miSafeArea, &QAction::toggled, this, [this](bool on) {
        m_videoImage->setSafeAreaShown(on);
        openSettings()->setValue(text::kSafeAreaKey, on);
    });

    connect(m_videoImage, &VideoImageWidget::zoomChanged, this, [this] { followZoom(); });
    connect(m_videoImage, &VideoImageWidget::zoomByWheel, this, [this](int steps, QPoint at) {
        setZoom(zoomStep(zoom(), steps), at);
    });
}

double TMainForm::zoom() const
{
    return m_videoImage->zoom();
}

double TMainForm::zoomStep(double from, int steps)
{
    double z = from;
    for (; steps > 0; --steps) {
        const auto next = std::find_if(kZoomSteps.begin(), kZoomSteps.end(), [z](double s) { return s > z + kSameZoom; });
        if (next == kZoomSteps.end())
            break;
        z = *next;
    }
    for (; steps < 0; ++steps) {
        const auto next = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(), [z](double s) { return s < z - kSameZoom; });
        if (next == kZoomSteps.rend())
            break;
        z = *next;
    }
    return z;
}

double TMainForm::fitZoom(QSize picture, QSize room)
{
    if (picture.isEmpty() || room.isEmpty())
        return 1.0;
    return std::min(double(room.width()) / picture.width(), double(room.height()) / picture.height());
}

void TMainForm::zoomIn()
{
    setZoom(zoomStep(zoom(), 1), viewCentre());
}

void TMainForm::zoomOut()
{
    setZoom(zoomStep(zoom(), -1), viewCentre());
}

QPoint TMainForm::viewCentre() const
{
    // The picture pixel in the middle of what the scroll area shows: the keys zoom about it.
    const QWidget* viewport = m_videoScroll->viewport();
    const QPoint centre = m_videoImage->mapFrom(viewport, viewport->rect().center());
    return m_videoImage->toPicture(QPointF(centre));
}

void TMainForm::zoomActualSize()
{
    setZoom(1.0);
}

void TMainForm::zoomToFit()
{
    setZoom(fitZoomOfWindow());
    m_zoomFit = true;
}

double TMainForm::fitZoomOfWindow() const
{
    const QSize room = m_videoScroll->size() - QSize(2 * kPictureMargin, 2 * kPictureMargin);
    return std::clamp(fitZoom(picture().size(), room), kSmallestZoom, kLargestZoom);
}

void TMainForm::refitPicture()
{
    if (!m_zoomFit || picture().isNull())
        return;
    const double z = fitZoomOfWindow();
    if (std::abs(z - zoom()) > kSameZoom) {
        m_videoImage->setZoom(z); // places the picture again
        return;
    }
    placeZoomedPicture();
    placeBevel();
    updateCanvasExtent();
    followPicture();
}

void TMainForm::setZoom(double z, std::optional<QPoint> keep)
{
    z = std::clamp(z, kSmallestZoom, kLargestZoom);
    m_zoomFit = false;
    // Where the kept picture point is in the visible area, before.
    const auto shownAt = [this](QPoint inPicture) {
        return m_videoImage->pos() + QPoint(m_videoImage->toShown(inPicture.x()), m_videoImage->toShown(inPicture.y()));
    };
    QPoint keptAt;
    if (keep)
        keptAt = shownAt(*keep) - QPoint(m_videoScroll->horizontalScrollBar()->value(), m_videoScroll->verticalScrollBar()->value());
    m_videoImage->setZoom(z); // followZoom places the picture and what lies over it
    if (keep) {
        const QPoint now = shownAt(*keep);
        m_videoScroll->horizontalScrollBar()->setValue(now.x() - keptAt.x());
        m_videoScroll->verticalScrollBar()->setValue(now.y() - keptAt.y());
    }
    if (m_miZoomIn) {
        m_miZoomIn->setEnabled(zoomStep(zoom(), 1) != zoom());
        m_miZoomOut->setEnabled(zoomStep(zoom(), -1) != zoom());
    }
    showStatusMessage(text::kZoomShown.arg(std::lround(zoom() * 100)), 2000);
}

void TMainForm::placeZoomedPicture()
{
    const QSize shown = m_videoImage->size();
    const QSize room = m_videoScroll->size();
    const QPoint scroll = m_videoScroll->geometry().topLeft();
    const int x = shown.width() + 2 * kPictureMargin <= room.width() ? (room.width() - shown.width()) / 2 : kPictureMargin;
    const int y = shown.height() + 2 * kPictureMargin <= room.height() ? (room.height() - shown.height()) / 2 : kPictureMargin;
    placePicture(scroll + QPoint(x, y));
}

void TMainForm::followZoom()
{
    placeZoomedPicture();
    placeBevel();
    updateCanvasExtent();
    // The scroll bars take the canvas's new extent now rather than at the next layout, so that what
    // follows (keeping a point in place, reading where the picture is) sees the new one.
    QEvent relayout(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(m_videoScroll, &relayout);
    followPicture(); // a new place of the picture moves everything over it
    for (const QPointer<RShape>& s : std::as_const(m_shapes)) {
        if (s)
            s->followZoom();
    }
    ShowCrosshair(false);
    hideGuides();
    placeRemoteOrder();
    if (m_remoteOverlay)
        m_remoteOverlay->update();
}
