// The video side of the main window: the picture, fitting the window to it, and frame navigation
// with the track bar, the frame buttons, the go-to field and the keyboard.
#include "workspace/mainform.h"

#include <QAbstractSlider>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <QToolButton>

#include <utility>

#include "media/videosource.h"

namespace {

namespace text {
const QString kHintStart = QStringLiteral("Go to first frame");
const QString kHintPrevFrame = QStringLiteral("Go to previous frame");
const QString kHintNextFrame = QStringLiteral("Go to next frame");
const QString kHintEnd = QStringLiteral("Go to last frame");
const QString kHintPrevKF = QStringLiteral("Go to previous key frame");
const QString kHintNextKF = QStringLiteral("Go to next key frame");
const QString kHintGoto = QStringLiteral("Go to frame ...");
const QString kInitialFrameInfo = QStringLiteral("  Frame 0 (0:00:00.000) [ ]");
} // namespace text

constexpr int kButtonSize = 25;
constexpr int kGotoFieldLength = 7;
constexpr int kFitExtraWidth = 24;  // frame width beyond the picture's
constexpr int kFitExtraHeight = 62; // frame height beyond picture, track bar and control panel
constexpr int kBevelOutside = 2;
// After this long on one frame the pictures kept for stepping (a group of them, tens to hundreds of
// megabytes) are given back; the next step decodes its group again.
constexpr int kVideoIdleMs = 20000;

// Reads a whole number the way the go-to field expects it; surrounding blanks are allowed.
std::optional<int> wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

void TMainForm::buildControlPanel(QWidget* controlPanel)
{
    auto* row = new QHBoxLayout(controlPanel);
    row->setContentsMargins(3, 3, 3, 3);
    row->setSpacing(1);

    auto addButton = [&](const char* name, QStyle::StandardPixmap icon, const QString& hint,
                         void (TMainForm::*handler)()) {
        auto* button = new QToolButton(controlPanel); // owned by the panel
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(style()->standardIcon(icon));
        button->setFixedSize(kButtonSize, kButtonSize);
        button->setToolTip(hint);
        // An icon says nothing to a screen reader: the hint names the button.
        button->setAccessibleName(hint);
        button->setAccessibleDescription(hint);
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        row->addWidget(button);
        return button;
    };
    addButton("bttStart", QStyle::SP_MediaSkipBackward, text::kHintStart, &TMainForm::bttStartClick);
    addButton("bttPrevFrame", QStyle::SP_ArrowLeft, text::kHintPrevFrame, &TMainForm::bttPrevFrameClick);
    addButton("bttNextFrame", QStyle::SP_ArrowRight, text::kHintNextFrame, &TMainForm::bttNextFrameClick);
    addButton("bttEnd", QStyle::SP_MediaSkipForward, text::kHintEnd, &TMainForm::bttEndClick);
    addButton("bttPrevKF", QStyle::SP_MediaSeekBackward, text::kHintPrevKF, &TMainForm::bttPrevKFClick);
    addButton("bttNextKF", QStyle::SP_MediaSeekForward, text::kHintNextKF, &TMainForm::bttNextKFClick);

    m_frameInfo = new QLabel(text::kInitialFrameInfo, controlPanel);
    m_frameInfo->setObjectName(QStringLiteral("FrameInfoPanel"));
    m_frameInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_frameInfo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_frameInfo->setFixedHeight(kButtonSize);
    m_frameInfo->setMinimumWidth(0);
    m_frameInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    row->addWidget(m_frameInfo, 1);

    QToolButton* gotoButton = addButton("bttGoto", QStyle::SP_ArrowForward, text::kHintGoto, &TMainForm::bttGotoClick);
    gotoButton->setAutoRaise(true); // the flat button

    m_edVideoPos = new QLineEdit(QStringLiteral("0"), controlPanel);
    m_edVideoPos->setObjectName(QStringLiteral("edVideoPos"));
    m_edVideoPos->setMaxLength(kGotoFieldLength);
    m_edVideoPos->setFixedWidth(m_edVideoPos->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    m_edVideoPos->installEventFilter(this); // enter and exit rule
    // Enter in the field does what the go-to button does.
    connect(m_edVideoPos, &QLineEdit::returnPressed, this, [this] { bttGotoClick(); });
    row->addWidget(m_edVideoPos);
}

void TMainForm::buildNavigationKeys()
{
    // The keys a video editor's user expects. They work while the focus is in the picture area or on
    // the navigation controls; the go-to field keeps its own editing keys (a line edit claims them
    // before any shortcut), and the tool windows, docked or not, keep theirs.
    struct Key
    {
        const char* name;
        QKeySequence key;
        void (TMainForm::*handler)();
    };
    const Key keys[] = {
        {"actPrevFrame", QKeySequence(Qt::Key_Left), &TMainForm::bttPrevFrameClick},
        {"actNextFrame", QKeySequence(Qt::Key_Right), &TMainForm::bttNextFrameClick},
        {"actPrevKeyFrame", QKeySequence(Qt::Key_PageUp), &TMainForm::bttPrevKFClick},
        {"actNextKeyFrame", QKeySequence(Qt::Key_PageDown), &TMainForm::bttNextKFClick},
        {"actFirstFrame", QKeySequence(Qt::Key_Home), &TMainForm::bttStartClick},
        {"actLastFrame", QKeySequence(Qt::Key_End), &TMainForm::bttEndClick},
    };
    for (const Key& k : keys) {
        auto* action = new QAction(m_mainPanel); // owned by the panel
        action->setObjectName(QString::fromLatin1(k.name));
        action->setShortcut(k.key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        const auto handler = k.handler;
        // A held key repeats faster than frames can be decoded: the track bar moves at once, the
        // frame follows when the repeats waiting have been taken in.
        connect(action, &QAction::triggered, this, [this, handler] {
            m_keyMovesTrackBar = true;
            (this->*handler)();
            m_keyMovesTrackBar = false;
        });
        m_mainPanel->addAction(action);
    }
    // A click on the picture gives the focus to the picture area, so the keys work from there.
    m_videoPanel->setFocusPolicy(Qt::ClickFocus);
    m_videoScroll->setFocusPolicy(Qt::ClickFocus);
    m_videoCanvas->setFocusPolicy(Qt::ClickFocus);
}

// --- layout of the picture area --------------------------------------------------------------
void TMainForm::layoutNow()
{
    if (QLayout* l = layout())
        l->activate();
    m_splitter->refresh();
    if (QLayout* l = m_mainPanel->layout())
        l->activate();
    placeVideoPanelChildren();
}

void TMainForm::placeVideoPanelChildren()
{
    const QRect inside = m_videoPanel->contentsRect();
    m_trackBar->setGeometry(inside.left(), inside.bottom() + 1 - kTrackBarHeight, inside.width(), kTrackBarHeight);
    m_videoScroll->setGeometry(inside.left(), inside.top(), inside.width(), qMax(0, inside.height() - kTrackBarHeight));
}

void TMainForm::placePicture(QPoint inVideoPanel)
{
    // Positions are given in the panel's coordinates; the scroll area sits inside the panel's frame.
    m_videoImage->move(inVideoPanel - m_videoScroll->geometry().topLeft());
    updateCanvasExtent();
}

void TMainForm::updateCanvasExtent()
{
    // The canvas is at least as large as the picture with its bevel, so that a picture larger than
    // the visible area can be scrolled into view.
    QRect extent = m_videoImage->geometry();
    if (!m_videoBevel->isHidden())
        extent = extent.united(m_videoBevel->geometry());
    m_videoCanvas->setMinimumSize(extent.right() + 1 + kBevelOutside, extent.bottom() + 1 + kBevelOutside);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_settled && watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
        // After the window system's own handling of the exposure, which may still move the frame.
        QTimer::singleShot(0, this, [this] {
            if (!m_settled)
                settleOnScreen();
        });
    } else if (placeProblemsOnExpose(watched, event)) {
        // the Problems window took its first place
    } else if (watched == m_videoPanel && event->type() == QEvent::Resize) {
        placeVideoPanelChildren();
        if (m_zoomFit) // after the layout has given the scroll area its new size
            QTimer::singleShot(0, this, [this] { refitPicture(); });
    } else if (watched == m_edVideoPos) {
        if (event->type() == QEvent::FocusIn)
            edVideoPosEnter();
        else if (event->type() == QEvent::FocusOut)
            edVideoPosExit();
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- the picture -----------------------------------------------------------------------------
const QImage& TMainForm::picture() const
{
    return m_videoImage->image();
}

void TMainForm::OpenVideo(const QString& path)
{
    if (!m_video.OpenVideo(path))
        return; // the source has said why; track bar and picture stay as they were
    // The slider's own moves (dragging, its keys, the wheel) are the user's too.
    connect(m_trackBar, &QAbstractSlider::actionTriggered, this, &TMainForm::trackBarAction, Qt::UniqueConnection);
    setTrackBarMaximum(m_video.FrameCount() - 1);
    if (m_trackBar->value() != 0)
        m_trackBar->setValue(0); // runs the frame-change step
    else
        VideoTrackBarChange(); // frame 0 of the new video, with its own time and key-frame mark
    FitToPicture(m_video.pictureWidth(), m_video.pictureHeight());
    emit videoOpened(path);
}

void TMainForm::CloseVideo()
{
    m_video.CloseVideo();
}

bool TMainForm::ShowFrame(int n)
{
    if (!m_video.ShowFrame(n))
        return false;
    m_stillShown = false;
    m_videoImage->setImage(m_video.picture());
    updateCanvasExtent();
    if (!m_videoIdleTimer) {
        m_videoIdleTimer = new QTimer(this); // owned by the window
        m_videoIdleTimer->setObjectName(QStringLiteral("videoIdleTimer"));
        m_videoIdleTimer->setSingleShot(true);
        m_videoIdleTimer->setInterval(kVideoIdleMs);
        connect(m_videoIdleTimer, &QTimer::timeout, this, [this] { m_video.releaseMemory(); });
    }
    m_videoIdleTimer->start();
    return true;
}

void TMainForm::ShowPicture(const QString& path)
{
    m_video.ShowPicture(path);
    m_stillShown = true;
    m_videoImage->setImage(m_video.picture());
    updateCanvasExtent();
}

void TMainForm::FitToPicture(int pictureWidth, int pictureHeight)
{
    const QSize outer = frameGeometry().size();
    QPoint at;

    // The picture shows at its actual size where the screen holds the window around it; where it
    // does not, it is fitted, so that neither the picture nor the controls under it scroll away.
    const int fixedHeight = kTrackBarHeight + kControlPanelHeight + kFitExtraHeight;
    const QSize room = screenAreaOf(this).size() - QSize(kFitExtraWidth, fixedHeight);
    const double fitted = fitZoom(QSize(pictureWidth, pictureHeight), room);
    m_zoomFit = fitted < 1.0;
    m_videoImage->setZoom(m_zoomFit ? std::max(fitted, kSmallestZoom) : 1.0);
    const int w = m_videoImage->toShown(pictureWidth);
    const int h = m_videoImage->toShown(pictureHeight);

    // A narrow picture is centred in a window that still shows every menu.
    const int minWidth = qMax(kMinWidth, menuBarFrameWidth());
    const bool wide = w + kFitExtraWidth >= minWidth;
    const int width = wide ? w + kFitExtraWidth : minWidth;
    const bool tall = h + fixedHeight >= kMinHeight;
    const int height = tall ? h + fixedHeight : kMinHeight;
    if (outer != QSize(width, height))
        resizeFrame(this, width, height);
    // A window larger than the screen is made to fit it: the picture then scrolls inside it, and the
    // menu and the navigation controls stay where the user can reach them.
    bringOnScreen(this);
    layoutNow();

    // Centring reads the panel after the window took its new size; the halving truncates toward zero.
    at.setX(wide ? kPictureMargin : (m_videoPanel->width() - w) / 2);
    at.setY(tall ? kPictureMargin : (m_videoPanel->height() - kTrackBarHeight - h) / 2);

    placePicture(at);
    const QRect picture(m_videoImage->pos(), QSize(w, h));
    m_videoBevel->setGeometry(picture.adjusted(-kBevelOutside, -kBevelOutside, kBevelOutside, kBevelOutside));
    m_videoBevel->show();
    m_videoImage->raise();
    updateCanvasExtent();
    m_videoScroll->horizontalScrollBar()->setValue(0);
    m_videoScroll->verticalScrollBar()->setValue(0);
    followPicture(); // the rectangles and the crosshair move with the picture

    ArrangeToolWindows();
}

void TMainForm::placeBevel()
{
    m_videoBevel->setGeometry(m_videoImage->geometry().adjusted(-kBevelOutside, -kBevelOutside, kBevelOutside, kBevelOutside));
}

// --- frame navigation ------------------------------------------------------------------------
int TMainForm::trackBarPosition() const
{
    return m_trackBar->value();
}

void TMainForm::setTrackBarPosition(int position)
{
    // The slider limits the value to its range and reports only real changes. A still picture on
    // screen is no frame of the video: the frame at the track bar's position is shown again, or a
    // video page would show (and take its thumbnail from) the still page shown before it.
    const int before = m_trackBar->value();
    m_trackBar->setValue(position);
    if (m_trackBar->value() == before && m_stillShown && !m_keyMovesTrackBar)
        VideoTrackBarChange();
    // Whoever sets the position from code expects its frame on screen on return, also when a drag
    // had already moved the track bar there.
    if (!m_keyMovesTrackBar)
        showPendingFrame();
}

void TMainForm::trackBarAction(int /*action*/)
{
    // Emitted by the slider before it takes its new position; only a real change is marked, so the
    // mark cannot outlive the move.
    if (m_trackBar->sliderPosition() != m_trackBar->value())
        m_sliderMovedByUser = true;
}

void TMainForm::showPendingFrame()
{
    if (m_frameChangePending)
        VideoTrackBarChange();
}

void TMainForm::setTrackBarMaximum(int maximum)
{
    if (maximum < m_trackBar->minimum())
        return;
    m_trackBar->setMaximum(maximum);
}

QString TMainForm::frameInfoText(int frame, uint32_t milliseconds, bool keyFrame)
{
    const VideoSource::TimeSplit t = VideoSource::SplitTime(milliseconds);
    return QString::asprintf("  Frame %d (%d:%02d:%02d.%03d) [%c]", frame, int(t.hours), int(t.minutes),
                             int(t.seconds), int(t.milliseconds), keyFrame ? 'K' : ' ');
}

void TMainForm::VideoTrackBarChange()
{
    // The user's drags and held keys move the track bar faster than frames can be decoded. Their
    // frame is shown at the next pass of the event loop, after every move already waiting has been
    // taken in, so only the latest position is decoded; the frame-change step below then runs once
    // for the frame that is shown. Moves made from code show their frame at once.
    // (A drag reaches here through the slider's actions too; the slider being held down is no
    // reason to wait, or a pointer at rest on the handle would never get its frame.)
    const bool fromUser = std::exchange(m_sliderMovedByUser, false) || m_keyMovesTrackBar;
    if (fromUser && m_video.isOpen()) {
        if (!m_frameChangePending) {
            m_frameChangePending = true;
            QMetaObject::invokeMethod(this, &TMainForm::showPendingFrame, Qt::QueuedConnection);
        }
        return;
    }
    m_frameChangePending = false;

    // The frame-change step: every frame shown is finished here.
    if (!m_video.isOpen())
        return;
    const int position = m_trackBar->value();
    m_edVideoPos->setText(QString::number(position));
    ShowFrame(position);
    m_video.lastTime = m_video.FrameTime(position);
    m_video.lastSplit = VideoSource::SplitTime(m_video.lastTime);
    m_video.isKeyFrame = m_video.IsKeyFrame(position);
    m_frameInfo->setText(frameInfoText(position, m_video.lastTime, m_video.isKeyFrame));
}

void TMainForm::bttStartClick()
{
    setTrackBarPosition(m_trackBar->minimum());
}

void TMainForm::bttPrevFrameClick()
{
    setTrackBarPosition(m_trackBar->value() - 1);
}

void TMainForm::bttNextFrameClick()
{
    setTrackBarPosition(m_trackBar->value() + 1);
}

void TMainForm::bttEndClick()
{
    setTrackBarPosition(m_trackBar->maximum());
}

void TMainForm::bttPrevKFClick()
{
    if (!m_video.isOpen())
        return;
    // No earlier key frame gives -1, which the track bar limits to 0.
    setTrackBarPosition(m_video.PreviousKeyFrame(m_trackBar->value()));
}

void TMainForm::bttNextKFClick()
{
    if (!m_video.isOpen())
        return;
    const int next = m_video.NextKeyFrame(m_trackBar->value());
    m_video.lastNextKeyFrame = next;
    if (next > m_trackBar->value())
        setTrackBarPosition(next);
}

void TMainForm::bttGotoClick()
{
    const QString typed = m_edVideoPos->text();
    if (typed.isEmpty())
        return;
    if (const std::optional<int> frame = wholeNumber(typed)) {
        setTrackBarPosition(*frame);
    } else {
        m_edVideoPos->setText(QStringLiteral("0"));
        setTrackBarPosition(0);
    }
}

void TMainForm::edVideoPosEnter()
{
    m_rememberedGotoText = m_edVideoPos->text();
}

void TMainForm::edVideoPosExit()
{
    const QString typed = m_edVideoPos->text();
    if (typed.isEmpty() || !wholeNumber(typed))
        m_edVideoPos->setText(m_rememberedGotoText);
}
