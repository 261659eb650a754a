#include "workspace/previewform.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>

#include "document/menulinks.h"
#include "edits/projectedits.h"
#include "editors/pageviewerform.h"
#include "dialogs/dialogservice.h"
#include "media/jpegdecoder.h"
#include "core/paths.h"
#include "player/walkrecorder.h"
#include "workspace/mainform.h"
#include "media/videosource.h"

namespace {

// The picture shown before anything was decoded (the player's menu size when nothing else is known).
const QSize kDefaultPictureSize(720, 576);
const QColor kHighlightColour(255, 208, 0);
const QColor kWaitingColour(160, 160, 160);
const QColor kHighlightEdge(16, 16, 16);

// A frame `width` pixels thick just inside `area`.
void fillFrame(QPainter& painter, const QRect& area, int width, const QColor& colour)
{
    if (area.width() <= 2 * width || area.height() <= 2 * width) {
        painter.fillRect(area, colour);
        return;
    }
    painter.fillRect(area.left(), area.top(), area.width(), width, colour);
    painter.fillRect(area.left(), area.bottom() - width + 1, area.width(), width, colour);
    painter.fillRect(area.left(), area.top() + width, width, area.height() - 2 * width, colour);
    painter.fillRect(area.right() - width + 1, area.top() + width, width, area.height() - 2 * width, colour);
}

QString pageCaption(const Page& page)
{
    return QStringLiteral("Page %1 \"%2\"").arg(page.number).arg(page.name);
}

} // namespace

void drawPreviewHighlight(QPainter& painter, const QRect& area, bool clickable)
{
    // Yellow alone vanished on light pictures; the dark lines on both of its sides show on those, the
    // light one on dark pictures. Grey while the page does not let its selections be chosen yet.
    fillFrame(painter, area, 4, kHighlightEdge);
    fillFrame(painter, area.adjusted(1, 1, -1, -1), 2, clickable ? kHighlightColour : kWaitingColour);
}

// The menu picture with the highlight and the selection under the pointer drawn on it. Input goes to
// the window, in picture coordinates (the widget is exactly the picture's size).
class PreviewPicture : public QWidget
{
public:
    PreviewPicture(TPreviewForm& form, QWidget* parent) : QWidget(parent), m_form(form)
    {
        setObjectName(QStringLiteral("PreviewPicture"));
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(kDefaultPictureSize);
    }

    // The picture is drawn at this share of its size (smaller on a small screen); everything the model
    // knows stays in picture pixels.
    qreal scale = 1.0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, scale != 1.0);
        painter.scale(scale, scale);
        const QRect area(0, 0, qCeil(width() / scale), qCeil(height() / scale));
        const PlayerModel& model = m_form.model();
        const QImage& image = m_form.picture();
        if (model.outsideMenu() || image.isNull()) {
            painter.fillRect(area, Qt::black);
        } else {
            painter.drawImage(0, 0, image);
            if (image.width() < area.width() || image.height() < area.height()) {
                painter.fillRect(image.width(), 0, area.width() - image.width(), area.height(), Qt::black);
                painter.fillRect(0, image.height(), image.width(), area.height() - image.height(), Qt::black);
            }
        }
        if (model.outsideMenu() || !model.page())
            return;

        const int hover = m_form.hoveredSelection();
        const int highlight = model.highlight();
        if (hover >= 0 && hover != highlight) {
            const QRect r = model.selectionRect(hover);
            if (!r.isEmpty()) {
                painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
                painter.drawRect(r.adjusted(0, 0, -1, -1));
            }
        }
        if (highlight >= 0) {
            const QRect r = model.selectionRect(highlight);
            if (!r.isEmpty()) {
                drawPreviewHighlight(painter, r, model.selectionsClickable());
            }
        }
        if (model.messageShown())
            painter.fillRect(area, QColor(0, 0, 0, 110)); // the menu stands still behind the box
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_form.pictureClicked(inPicture(event));
    }
    void mouseMoveEvent(QMouseEvent* event) override { m_form.pointerMoved(inPicture(event)); }
    void leaveEvent(QEvent*) override { m_form.pointerLeft(); }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_form.playerKey(event->key()))
            QWidget::keyPressEvent(event);
    }

private:
    QPoint inPicture(const QMouseEvent* event) const { return (event->position() / scale).toPoint(); }

    TPreviewForm& m_form;
};

// The picture's scroll area asks for the whole picture, so the window opens showing all of it; it
// scrolls only when the author makes the window smaller (or the screen is).
class PictureScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->size() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

// Stops the preview's clock while one of its dialogs is open and starts it again afterwards.
struct TPreviewForm::ClockPause
{
    explicit ClockPause(TPreviewForm& f) : form(f), wasPlaying(f.m_playing) { form.setPlaying(false); }
    ~ClockPause() { form.setPlaying(wasPlaying); }
    TPreviewForm& form;
    bool wasPlaying;
};

TPreviewForm::TPreviewForm(ProjectEdits& edits, DialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_edits(edits), m_project(edits.project()), m_dialogs(dialogs),
      m_model(std::make_unique<PlayerModel>(edits.project()))
{
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(previewtext::kCaption);
    // A failing frame would otherwise open a message box on every tick: while playing, the video's
    // messages go to the status line; only opening the video shows them in a box.
    m_video = std::make_unique<VideoSource>([this](const Message& m) {
        if (m_reportVideoInBox)
            m_dialogs.showMessage(m, this);
        else
            m_pictureProblem = m.text;
    });
    buildLayout();
    fitToPicture();

    m_timer = new QTimer(this); // owned by the window
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_replayTimer = new QTimer(this); // owned by the window
    connect(m_replayTimer, &QTimer::timeout, this, [this] { replayTick(); });

    // Every change of the project restarts the preview once, after the edit is complete.
    for (auto signal : {&ProjectEdits::pagesChanged, &ProjectEdits::movieDataChanged})
        connect(&m_edits, signal, this, [this] { projectEdited(); });
    connect(&m_edits, &ProjectEdits::pageChanged, this, [this] { projectEdited(); });
    connect(&m_edits, &ProjectEdits::selectionsChanged, this, [this] { projectEdited(); });
    connect(&m_edits, &ProjectEdits::selectionChanged, this, [this] { projectEdited(); });
    connect(&m_edits.stack(), &QUndoStack::indexChanged, this, [this] { projectEdited(); });
}

TPreviewForm::~TPreviewForm()
{
    // The recorder and the replay hold the model; they go first.
    m_replay.reset();
    m_recorder.reset();
}

void TPreviewForm::buildLayout()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this); // owned by the window
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus); // the arrow keys and Enter belong to the menu
        buttons->addWidget(b);
        return b;
    };
    m_bttPause = button("bttPause", previewtext::kPause);
    m_bttPause->setToolTip(QStringLiteral("Pause or play the menu (Space)"));
    m_bttStep = button("bttStep", previewtext::kStep);
    m_bttStep->setToolTip(QStringLiteral("Pause and show the next frame (.)"));
    buttons->addSpacing(16);
    m_bttRecord = button("bttRecord", previewtext::kRecord);
    m_bttRecord->setToolTip(QStringLiteral("Record a walkthrough from the page shown"));
    m_bttSaveWalk = button("bttSaveWalk", previewtext::kSaveWalk);
    m_bttReplayWalk = button("bttReplayWalk", previewtext::kReplayWalk);
    m_bttReplayWalk->setToolTip(QStringLiteral("Replay walkthroughs and show where the menu now behaves differently"));
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(m_bttPause, &QPushButton::clicked, this, [this] { setPlaying(!m_playing); });
    connect(m_bttStep, &QPushButton::clicked, this, [this] { stepFrame(); });
    connect(m_bttRecord, &QPushButton::clicked, this, [this] { setRecording(!isRecording()); });
    connect(m_bttSaveWalk, &QPushButton::clicked, this, [this] { saveWalkClick(); });
    connect(m_bttReplayWalk, &QPushButton::clicked, this, [this] { replayWalkClick(); });

    // Keys of the author's controls; a button's own shortcut would change with its caption.
    auto* pause = new QAction(this); // owned by the window
    pause->setShortcut(Qt::Key_Space);
    connect(pause, &QAction::triggered, this, [this] { setPlaying(!m_playing); });
    auto* step = new QAction(this); // owned by the window
    step->setShortcut(Qt::Key_Period);
    connect(step, &QAction::triggered, this, [this] { stepFrame(); });
    addAction(pause);
    addAction(step);

    m_scroll = new PictureScrollArea(this); // owned by the window
    m_scroll->setObjectName(QStringLiteral("PreviewScroll"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_pictureWidget = new PreviewPicture(*this, nullptr);
    m_scroll->setWidget(m_pictureWidget); // owned by the scroll area
    layout->addWidget(m_scroll, 1);
    setFocusProxy(m_pictureWidget);

    // The player's message box, over the picture.
    auto* message = new QFrame(m_pictureWidget); // owned by the picture
    message->setObjectName(QStringLiteral("MessagePanel"));
    message->setFrameStyle(QFrame::Panel | QFrame::Raised);
    message->setAutoFillBackground(true);
    auto* messageLayout = new QVBoxLayout(message);
    m_messageText = new QLabel(message);
    m_messageText->setObjectName(QStringLiteral("MessageText"));
    m_messageText->setAlignment(Qt::AlignCenter);
    m_messageText->setTextFormat(Qt::PlainText);
    m_bttMessageOk = new QPushButton(previewtext::kOk, message);
    m_bttMessageOk->setObjectName(QStringLiteral("bttMessageOk"));
    m_bttMessageOk->setFocusPolicy(Qt::NoFocus);
    messageLayout->addWidget(m_messageText);
    messageLayout->addWidget(m_bttMessageOk, 0, Qt::AlignHCenter);
    connect(m_bttMessageOk, &QPushButton::clicked, this, [this] {
        if (m_replay)
            return;
        m_model->closeMessage();
        refresh();
    });
    m_messagePanel = message;
    message->hide();

    // What the player would start once the menu is left, with its remote's Menu button.
    auto* movie = new QFrame(m_pictureWidget); // owned by the picture
    movie->setObjectName(QStringLiteral("MoviePanel"));
    movie->setFrameStyle(QFrame::Panel | QFrame::Raised);
    movie->setAutoFillBackground(true);
    auto* movieLayout = new QVBoxLayout(movie);
    m_movieText = new QLabel(movie);
    m_movieText->setObjectName(QStringLiteral("MovieText"));
    m_movieText->setAlignment(Qt::AlignCenter);
    m_movieText->setTextFormat(Qt::PlainText);
    m_movieText->setWordWrap(true);
    m_bttMenuButton = new QPushButton(previewtext::kMenuButton, movie);
    m_bttMenuButton->setObjectName(QStringLiteral("bttMenuButton"));
    m_bttMenuButton->setFocusPolicy(Qt::NoFocus);
    movieLayout->addWidget(m_movieText);
    movieLayout->addWidget(m_bttMenuButton, 0, Qt::AlignHCenter);
    connect(m_bttMenuButton, &QPushButton::clicked, this, [this] {
        if (m_replay)
            return;
        m_model->menuButton();
        refresh();
    });
    m_moviePanel = movie;
    movie->hide();
    // Both boxes read dark on light: without their own roles they would take the scroll area's dark
    // background, with light text.
    for (QWidget* panel : {m_messagePanel, m_moviePanel}) {
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, QColor(246, 246, 246));
        palette.setColor(QPalette::WindowText, Qt::black);
        panel->setPalette(palette);
        panel->setBackgroundRole(QPalette::Window);
        panel->setForegroundRole(QPalette::WindowText);
    }

    m_statusLine = new QLabel(this); // owned by the window
    m_statusLine->setObjectName(QStringLiteral("StatusLine"));
    m_statusLine->setTextFormat(Qt::PlainText);
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long notice must not widen the window: the line shows what fits.
    m_statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_statusLine);
    m_walkLine = new QLabel(this); // owned by the window
    m_walkLine->setObjectName(QStringLiteral("WalkStatus"));
    m_walkLine->setTextFormat(Qt::PlainText);
    m_walkLine->setWordWrap(true);
    m_walkLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_walkLine);
    updateButtons();
}

void TPreviewForm::fitToPicture()
{
    m_scroll->updateGeometry();
    QSize size = sizeHint();
    const QScreen* screen = this->screen();
    if (screen)
        size = size.boundedTo(screen->availableSize());
    resize(size);
    // A window that grew with its picture stays wholly on the screen.
    if (screen && isVisible()) {
        const QRect available = screen->availableGeometry();
        const QRect outer(frameGeometry().topLeft(), size + (frameGeometry().size() - geometry().size()));
        const QPoint at(qBound(available.left(), outer.left(), qMax(available.left(), available.right() + 1 - outer.width())),
                        qBound(available.top(), outer.top(), qMax(available.top(), available.bottom() + 1 - outer.height())));
        if (at != outer.topLeft())
            move(at);
    }
}

qreal TPreviewForm::pictureScale() const
{
    return m_pictureWidget->scale;
}

void TPreviewForm::setPictureSize(QSize size)
{
    // The room the screen leaves for the picture: all of it less the window's frame and controls.
    qreal scale = 1.0;
    if (const QScreen* screen = m_beside ? m_beside->screen() : this->screen()) {
        const QSize controls = sizeHint() - m_pictureWidget->size();
        QSize frame = frameGeometry().size() - geometry().size();
        if (frame.isEmpty())
            frame = QSize(8, 32); // not shown yet: about what window managers add
        const QSize room = screen->availableSize() - controls - frame;
        scale = std::min({1.0, qreal(room.width()) / size.width(), qreal(room.height()) / size.height()});
        scale = std::max(scale, 0.25);
    }
    const QSize shown(qRound(size.width() * scale), qRound(size.height() * scale));
    if (shown == m_pictureWidget->size() && scale == m_pictureWidget->scale)
        return;
    m_pictureWidget->scale = scale;
    m_pictureWidget->setFixedSize(shown);
    fitToPicture();
}

void TPreviewForm::placeBeside()
{
    const QScreen* screen = m_beside ? m_beside->screen() : this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty())
        frame = QSize(8, 32);
    const QSize outer = size() + frame;
    QPoint at = available.topLeft();
    if (m_beside) {
        // The side with more room; the main window may be covered in part, the screen's edge never.
        const QRect main = m_beside->frameGeometry();
        const int roomRight = available.right() - main.right();
        const int roomLeft = main.left() - available.left();
        at = QPoint(roomRight >= outer.width() || roomRight >= roomLeft ? main.right() + 1 : main.left() - outer.width(),
                    main.top());
    }
    at.setX(qBound(available.left(), at.x(), qMax(available.left(), available.right() + 1 - outer.width())));
    at.setY(qBound(available.top(), at.y(), qMax(available.top(), available.bottom() + 1 - outer.height())));
    move(at);
}

QWidget* TPreviewForm::pictureWidget() const
{
    return m_pictureWidget;
}

const QImage& TPreviewForm::picture() const
{
    const Page* page = m_model->page();
    if (page && page->backgroundIsVideo) {
        static const QImage none;
        return m_videoFrameShown ? m_video->picture() : none;
    }
    return m_still;
}

// --- starting -----------------------------------------------------------------------------------
void TPreviewForm::showAndFocus()
{
    if (!m_placed) {
        m_placed = true;
        setPictureSize((QSizeF(m_pictureWidget->size()) / m_pictureWidget->scale).toSize());
        placeBeside();
    }
    show();
    raise();
    activateWindow();
    // The arrow keys and Enter are the remote control's from the start.
    m_pictureWidget->setFocus();
}

void TPreviewForm::playFromStartPage()
{
    // The author asked: the video is tried again even if it failed before, but once. The path is
    // forgotten before the window is shown, so a closed window that opens its video as it is shown
    // leaves the start nothing to try again (and nothing to say twice).
    m_videoPath.clear();
    showAndFocus();
    restart(-1, true);
    setPlaying(true);
}

void TPreviewForm::playFromPage(int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= int(m_project.pages.size())) {
        playFromStartPage();
        return;
    }
    m_videoPath.clear(); // tried again, once, as from the start page
    showAndFocus();
    restart(pageIndex, false);
    setPlaying(true);
}

void TPreviewForm::menuReplaced()
{
    if (!isVisible())
        return;
    stopReplay(QStringLiteral("Another menu was opened; the replay stopped."));
    if (isRecording())
        setRecording(false);
    m_videoPath.clear();
    restart(-1, true);
}

void TPreviewForm::restart(int pageIndex, bool atStartPage)
{
    openMenuVideo();
    if (atStartPage)
        m_model->startAtStartPage();
    else
        m_model->start(pageIndex);
    rememberShape();
    m_restartPending = false;
    m_clock.start();
    m_fedMs = 0;
    m_shownActivation = 0;
    m_shownFrame = -1;
    m_stillPath.clear();
    m_pictureProblem.clear();
    m_hover = -1;
    refresh();
}

void TPreviewForm::openMenuVideo()
{
    const MovieData& md = m_project.movieData;
    const QString path = md.menuAVIName.isEmpty() ? QString()
                                                   : paths::resolve(m_project.baseDirectory, md.menuDirectory, md.menuAVIName);
    // The same file again (even one that could not be opened) is not opened again at every edit.
    if (path == m_videoPath)
        return;
    m_videoPath = path;
    m_video->CloseVideo();
    m_videoOpen = false;
    if (!path.isEmpty()) {
        m_reportVideoInBox = true;
        m_video->setDecoderSettings(Preferences::read(*TMainForm::openSettings()).decoderSettings());
        m_videoOpen = m_video->OpenVideo(path) && m_video->decoder();
        m_reportVideoInBox = false;
    }
    // Playing is stepping forward, which one thread does at an even pace; the codec's threads made
    // every tenth frame or so wait for a hand-over several times the cost of a frame.
    if (m_video->decoder())
        m_video->decoder()->setThreads(1);
    const double rate = m_video->stream() ? m_video->stream()->info().frameRate() : 0.0;
    m_fps = rate > 0 ? rate : 25.0;
    m_model->setFrameRate(m_fps);
    // A few ticks per frame, so a frame is shown within a quarter of its interval of its time.
    m_timer->setInterval(std::clamp(int(1000.0 / m_fps / 4), 2, 20));
}

void TPreviewForm::rememberShape()
{
    m_shape.clear();
    m_shape.reserve(m_project.pages.size());
    for (const auto& page : m_project.pages)
        m_shape.emplace_back(page.get(), page->selections.size());
}

bool TPreviewForm::projectChanged() const
{
    if (m_shape.size() != m_project.pages.size())
        return true;
    for (size_t i = 0; i < m_shape.size(); ++i) {
        const Page* page = m_project.pages[i].get();
        if (m_shape[i].first != page || m_shape[i].second != page->selections.size())
            return true;
    }
    return false;
}

void TPreviewForm::projectEdited()
{
    if (!isVisible() || m_restartPending)
        return;
    // One edit sends several signals, and the project is complete only once the edit has finished.
    m_restartPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_restartPending)
            restartAfterEdit();
    });
}

void TPreviewForm::restartAfterEdit()
{
    stopReplay(QStringLiteral("The menu changed; the replay stopped."));
    const int count = int(m_project.pages.size());
    const int index = std::min(m_model->pageIndex(), count - 1);
    restart(index < 0 && count > 0 ? 0 : index, false);
}

// --- time -----------------------------------------------------------------------------------------
void TPreviewForm::setPlaying(bool playing)
{
    m_playing = playing;
    m_clock.start();
    m_fedMs = 0;
    m_bttPause->setText(playing ? previewtext::kPause : previewtext::kPlay);
    refresh();
}

void TPreviewForm::stepFrame()
{
    if (m_replay)
        return;
    if (m_playing)
        setPlaying(false);
    if (projectChanged()) {
        restartAfterEdit();
        return;
    }
    m_model->advanceFrame();
    refresh();
}

void TPreviewForm::tick()
{
    if (projectChanged()) {
        restartAfterEdit();
        return;
    }
    if (m_playing && !m_replay) {
        const qint64 now = m_clock.elapsed();
        if (now > m_fedMs) {
            m_model->advanceTime(now - m_fedMs);
            m_fedMs = now;
        }
    }
    refresh();
}

void TPreviewForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Back from being minimised or closed: the menu goes on from where it stood, not from where the
    // time spent away would have taken it; a closed window opens its video again.
    if (m_videoPath.isEmpty() && m_model->page())
        openMenuVideo();
    m_clock.start();
    m_fedMs = 0;
    m_timer->start();
}

void TPreviewForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
    if (event->spontaneous())
        return; // minimised: everything stays as it is
    stopReplay(QStringLiteral("The preview was closed; the replay stopped."));
    if (isRecording())
        setRecording(false);
    // The second video and its decoded pictures are not kept while nobody looks.
    m_video->CloseVideo();
    m_videoOpen = false;
    m_videoPath.clear();
    m_shownFrame = -1;
    m_videoFrameShown = false;
}

// --- showing --------------------------------------------------------------------------------------
void TPreviewForm::refresh()
{
    const Page* page = m_model->page();
    bool repaint = false;
    if (m_model->activationCount() != m_shownActivation || m_model->pageIndex() != m_shownPage) {
        m_shownActivation = m_model->activationCount();
        m_shownPage = m_model->pageIndex();
        m_shownFrame = -1;
        m_hover = m_pointer.x() >= 0 ? m_model->selectionAt(m_pointer) : -1;
        if (page && !page->backgroundIsVideo)
            showStill(*page);
        repaint = true;
    }
    if (page && page->backgroundIsVideo && !m_model->outsideMenu() && m_model->frame() != m_shownFrame) {
        showVideoFrame(m_model->frame());
        repaint = true;
    }
    const QImage& image = picture();
    if (!image.isNull())
        setPictureSize(image.size());

    const ShownState state{m_model->highlight(), m_hover, m_model->messageShown(), m_model->outsideMenu(),
                           m_model->selectionsClickable()};
    if (!(state == m_shownState)) {
        m_shownState = state;
        repaint = true;
    }
    updateTexts();
    placeOverlays();
    updateButtons();
    if (repaint)
        m_pictureWidget->update();
}

void TPreviewForm::showStill(const Page& page)
{
    if (page.pictureFile.isEmpty()) {
        m_still = QImage();
        m_stillPath.clear();
        m_pictureProblem = QStringLiteral("%1 names no picture").arg(pageCaption(page));
        return;
    }
    const MovieData& md = m_project.movieData;
    const QString path = paths::resolve(m_project.baseDirectory, md.menuDirectory, page.pictureFile);
    if (path == m_stillPath)
        return;
    m_stillPath = path;
    try {
        m_still = decodeJpegFile(path);
        m_pictureProblem.clear();
    } catch (const JpegError& error) {
        m_still = QImage();
        m_pictureProblem = QStringLiteral("%1: %2").arg(paths::fileNameOf(path), error.message());
    }
}

void TPreviewForm::showVideoFrame(qint64 frame)
{
    // Shown or not, this frame is not tried again on every tick; until one is shown the picture is
    // black rather than the last frame of another page.
    m_shownFrame = frame;
    m_videoFrameShown = false;
    if (!m_videoOpen) {
        m_pictureProblem = m_videoPath.isEmpty() ? QStringLiteral("The movie data names no menu video")
                                                 : QStringLiteral("The menu video cannot be played");
        return;
    }
    if (frame < 0 || frame >= m_video->FrameCount()) {
        m_pictureProblem = QStringLiteral("Frame %1 lies beyond the menu video's %2 frames").arg(frame).arg(m_video->FrameCount());
        return;
    }
    m_pictureProblem.clear();
    m_videoFrameShown = m_video->ShowFrame(int(frame)); // a failure names itself through the video's messages
}

void TPreviewForm::placeOverlays()
{
    const QRect area = m_pictureWidget->rect();
    const bool message = m_model->messageShown();
    if (message) {
        const PlayerMessage& m = m_model->message();
        QFont font = m_messagePanel->font();
        font.setPointSize(std::clamp(m.fontSize, 4, 200));
        if (m_messageText->font() != font)
            m_messageText->setFont(font);
        m_messageText->setText(m.lines.join(QLatin1Char('\n')));
    }
    m_messagePanel->setVisible(message);
    const bool outside = m_model->outsideMenu();
    m_moviePanel->setVisible(outside);
    for (QWidget* panel : {m_messagePanel, m_moviePanel}) {
        if (!panel->isVisible())
            continue;
        QSize size = panel->sizeHint().boundedTo(area.size());
        if (panel == m_moviePanel)
            size.setWidth(std::min(area.width(), std::max(size.width(), area.width() * 2 / 3)));
        panel->setGeometry(QRect(QPoint(), size).translated(area.center() - QRect(QPoint(), size).center()));
    }
}

void TPreviewForm::updateTexts()
{
    if (m_model->outsideMenu()) {
        const MovieStart& movie = m_model->movieStart();
        QString text = movie.description;
        int menuNumber = 0;
        if (readPageNumber(m_project.movieData.menuPage, menuNumber))
            text += QStringLiteral("\n\nThe player has left the menu. Its Menu button shows page %1.").arg(menuNumber);
        else
            text += QStringLiteral("\n\nThe player has left the menu. MenuPage names no page to come back to.");
        m_movieText->setText(text);
    }
    m_statusLine->setText(statusLine());
    m_walkLine->setText(walkStatus());
}

QString TPreviewForm::statusLine() const
{
    QStringList parts;
    const Page* page = m_model->page();
    if (!page) {
        parts << (m_project.pages.empty() ? QStringLiteral("The menu has no pages") : QStringLiteral("No page shown"));
    } else if (m_model->outsideMenu()) {
        parts << QStringLiteral("Outside the menu");
    } else {
        QString where = pageCaption(*page);
        if (page->backgroundIsVideo)
            where += QStringLiteral(", frame %1").arg(m_model->frame());
        else if (page->pictureDuration > 0)
            where += QStringLiteral(", %1 of %2 s").arg(m_model->elapsedMs() / 1000.0, 0, 'f', 1).arg(page->pictureDuration);
        if (m_model->pageEnded())
            where += QStringLiteral(", ended");
        parts << where;
        if (m_model->isTransitionPage())
            parts << QStringLiteral("a click skips this page");
        else if (page->selectionAvailable && !m_model->selectionsClickable() && !m_model->messageShown())
            parts << QStringLiteral("selections not available at this frame");
    }
    parts << m_model->statusText();
    if (!m_playing)
        parts << QStringLiteral("paused");
    if (!m_model->notice().isEmpty())
        parts << m_model->notice();
    if (!m_pictureProblem.isEmpty())
        parts << m_pictureProblem;
    return parts.join(QStringLiteral("  |  "));
}

QString TPreviewForm::walkStatus() const
{
    if (m_recorder)
        return QStringLiteral("Recording: %1 steps").arg(m_recorder->walkthrough().steps.size());
    return m_walkStatus;
}

void TPreviewForm::setWalkStatus(const QString& text, bool problem)
{
    m_walkStatus = text;
    m_walkLine->setStyleSheet(problem ? QStringLiteral("color: #b00000;") : QString());
    m_walkLine->setText(walkStatus());
}

void TPreviewForm::updateButtons()
{
    const bool replaying = m_replay != nullptr;
    m_bttPause->setEnabled(!replaying);
    m_bttStep->setEnabled(!replaying);
    m_bttRecord->setEnabled(!replaying && (isRecording() || m_model->page()));
    m_bttRecord->setText(isRecording() ? previewtext::kStopRecording : previewtext::kRecord);
    m_bttSaveWalk->setEnabled(!replaying && !recordedWalk().steps.empty());
    m_bttReplayWalk->setText(replaying ? previewtext::kStopReplay : previewtext::kReplayWalk);
}

// --- input ----------------------------------------------------------------------------------------
void TPreviewForm::pictureClicked(QPoint position)
{
    m_pictureWidget->setFocus();
    if (m_replay)
        return;
    // The click goes to the menu as it is now.
    if (projectChanged())
        restartAfterEdit();
    m_model->click(position);
    refresh();
}

void TPreviewForm::pointerMoved(QPoint position)
{
    m_pointer = position;
    if (projectChanged())
        return; // the next tick starts again
    const bool inMenu = m_model->page() && !m_model->outsideMenu() && !m_model->messageShown();
    m_hover = inMenu ? m_model->selectionAt(position) : -1;
    if (inMenu && !m_replay)
        m_model->pointerMoved(position);
    m_pictureWidget->setCursor(m_hover >= 0 && m_model->selectionsClickable() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    refresh();
}

void TPreviewForm::pointerLeft()
{
    m_pointer = QPoint(-1, -1);
    m_hover = -1;
    m_pictureWidget->setCursor(Qt::ArrowCursor);
    refresh();
}

bool TPreviewForm::playerKey(int qtKey)
{
    PlayerKey key;
    switch (qtKey) {
    case Qt::Key_Left: key = PlayerKey::Left; break;
    case Qt::Key_Right: key = PlayerKey::Right; break;
    case Qt::Key_Up: key = PlayerKey::Up; break;
    case Qt::Key_Down: key = PlayerKey::Down; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: key = PlayerKey::Enter; break;
    default: return false;
    }
    if (m_replay)
        return true;
    if (projectChanged())
        restartAfterEdit();
    m_model->key(key);
    refresh();
    return true;
}

void TPreviewForm::keyPressEvent(QKeyEvent* event)
{
    // Escape closes the window as it closes a dialog; the player itself has no use for it.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (!playerKey(event->key()))
        QWidget::keyPressEvent(event);
}

// --- walkthroughs ---------------------------------------------------------------------------------
const Walkthrough& TPreviewForm::recordedWalk() const
{
    return m_recorder ? m_recorder->walkthrough() : m_recorded;
}

void TPreviewForm::setRecording(bool recording)
{
    if (recording == isRecording())
        return;
    if (recording) {
        stopReplay(QStringLiteral("The replay stopped for the recording."));
        if (!m_model->page())
            return;
        // The recording begins as its replay will: the page shown, from its start, in the primary
        // language and without subtitles.
        restart(m_model->pageIndex(), false);
        m_recorder = std::make_unique<WalkRecorder>(*m_model);
        setWalkStatus({}, false);
    } else {
        m_recorded = m_recorder->walkthrough();
        m_recorder.reset();
        setWalkStatus(QStringLiteral("Recorded %1 steps; Save walk... keeps them.").arg(m_recorded.steps.size()), false);
    }
    updateButtons();
    m_walkLine->setText(walkStatus());
}

QString TPreviewForm::walkFolder() const
{
    if (m_project.documentName != kNewFileName && !m_project.documentName.isEmpty())
        return paths::directoryOf(m_project.documentName);
    return m_project.baseDirectory;
}

void TPreviewForm::saveWalkClick()
{
    const Walkthrough walk = recordedWalk();
    if (walk.steps.empty())
        return;
    QString path;
    {
        ClockPause pause(*this);
        DialogService::FileDialogOptions options;
        options.caption = previewtext::kSaveWalkCaption;
        options.filter = previewtext::kWalkFilter;
        options.startFolder = walkFolder();
        options.defaultExtension = QStringLiteral("walk");
        path = m_dialogs.getSaveFileName(options, this);
    }
    if (path.isEmpty())
        return;
    const QString menuName = m_project.documentName == kNewFileName ? QString() : paths::fileNameOf(m_project.documentName);
    QString error;
    if (!saveWalkthrough(path, walk, menuName, &error)) {
        m_dialogs.showMessage({error, previewtext::kWalkCaption, MessageIcon::Error}, this);
        return;
    }
    setWalkStatus(QStringLiteral("Saved %1 steps to %2.").arg(walk.steps.size()).arg(paths::fileNameOf(path)), false);
}

void TPreviewForm::replayWalkClick()
{
    if (m_replay) {
        stopReplay(QStringLiteral("Replay of %1 stopped at step %2.")
                       .arg(paths::fileNameOf(m_replayFile))
                       .arg(m_replay->nextStep() + 1));
        return;
    }
    QStringList files;
    {
        ClockPause pause(*this);
        DialogService::FileDialogOptions options;
        options.caption = previewtext::kReplayWalkCaption;
        options.filter = previewtext::kWalkFilter;
        options.startFolder = walkFolder();
        options.multipleSelection = true;
        files = m_dialogs.getOpenFileNames(options, this);
    }
    replayFiles(files);
}

void TPreviewForm::replayFiles(const QStringList& files)
{
    if (files.isEmpty())
        return;
    if (isRecording())
        setRecording(false);
    stopReplay({});
    if (!isVisible())
        showAndFocus();
    if (m_videoPath.isEmpty())
        openMenuVideo();
    m_replayFailure.reset();
    m_replayQueue = files;
    m_replaysHeld = 0;
    startNextReplay();
}

void TPreviewForm::startNextReplay()
{
    m_replay.reset();
    if (m_replayQueue.isEmpty()) {
        m_replayTimer->stop();
        // Real time goes on from here, not from before the replay.
        m_clock.start();
        m_fedMs = 0;
        updateButtons();
        return;
    }
    m_replayFile = m_replayQueue.takeFirst();
    Walkthrough walk;
    QString error;
    if (!loadWalkthrough(m_replayFile, walk, &error)) {
        m_replayQueue.clear();
        const QString text = QStringLiteral("%1: %2").arg(paths::fileNameOf(m_replayFile), error);
        setWalkStatus(text, true);
        m_dialogs.showMessage({text, previewtext::kWalkCaption, MessageIcon::Error}, this);
        startNextReplay();
        return;
    }
    m_replayWalk = std::move(walk);
    m_replay = std::make_unique<WalkReplay>(*m_model, m_replayWalk);
    setWalkStatus(QStringLiteral("Replaying %1: %2 steps").arg(paths::fileNameOf(m_replayFile)).arg(m_replayWalk.steps.size()),
                  false);
    updateButtons();
    if (m_replayIntervalMs <= 0) {
        while (m_replay && replayStep()) {
        }
        return;
    }
    m_replayTimer->start(m_replayIntervalMs);
}

void TPreviewForm::replayTick()
{
    replayStep();
}

bool TPreviewForm::replayStep()
{
    if (!m_replay)
        return false;
    if (projectChanged()) {
        restartAfterEdit();
        return false;
    }
    if (m_replay->atEnd()) {
        setWalkStatus(QStringLiteral("%1 holds: all %2 steps.").arg(paths::fileNameOf(m_replayFile)).arg(m_replayWalk.steps.size()),
                      false);
        ++m_replaysHeld;
        startNextReplay();
        refresh();
        return m_replay != nullptr;
    }
    const bool held = m_replay->step();
    if (!held) {
        m_replayFailure = m_replay->failure();
        m_replayQueue.clear();
        m_replay.reset();
        m_replayTimer->stop();
        m_clock.start();
        m_fedMs = 0;
        const QString text = QStringLiteral("%1: %2").arg(paths::fileNameOf(m_replayFile), m_replayFailure->sentence());
        setWalkStatus(text, true);
        refresh();
        m_dialogs.showMessage({text, previewtext::kWalkCaption, MessageIcon::Warning}, this);
        return false;
    }
    setWalkStatus(QStringLiteral("Replaying %1: step %2 of %3")
                      .arg(paths::fileNameOf(m_replayFile))
                      .arg(m_replay->nextStep())
                      .arg(m_replayWalk.steps.size()),
                  false);
    refresh();
    return true;
}

void TPreviewForm::stopReplay(const QString& why)
{
    if (!m_replay)
        return;
    m_replay.reset();
    m_replayQueue.clear();
    m_replayTimer->stop();
    m_clock.start();
    m_fedMs = 0;
    if (!why.isEmpty())
        setWalkStatus(why, false);
    updateButtons();
}

// --- the main window's menu -------------------------------------------------------------------------
void installPreviewMenu(TMainForm& main, TPreviewForm& preview, TPageViewerForm& pages)
{
    QMenuBar* bar = main.menuBar();
    auto* menu = new QMenu(previewtext::kMenu, bar); // owned by the menu bar
    menu->setObjectName(QStringLiteral("miPreview"));
    menu->menuAction()->setObjectName(QStringLiteral("miPreviewAction"));

    // Right after Movie Data, whatever else the bar holds by now.
    const QList<QAction*> items = bar->actions();
    QAction* before = nullptr;
    for (qsizetype i = 0; i + 1 < items.size(); ++i)
        if (items.at(i)->objectName() == QLatin1String("miMovieData"))
            before = items.at(i + 1);
    if (before)
        bar->insertMenu(before, menu);
    else
        bar->addMenu(menu);

    QAction* fromStart = menu->addAction(previewtext::kPlayFromStart);
    fromStart->setObjectName(QStringLiteral("miPlayFromStart"));
    fromStart->setShortcut(QKeySequence(Qt::Key_F5));
    QAction* fromThis = menu->addAction(previewtext::kPlayFromThis);
    fromThis->setObjectName(QStringLiteral("miPlayFromThisPage"));
    fromThis->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    QObject::connect(fromStart, &QAction::triggered, &preview, [&preview] { preview.playFromStartPage(); });
    QObject::connect(fromThis, &QAction::triggered, &preview,
                     [&preview, &pages] { preview.playFromPage(pages.CurrentPageIndex()); });
    // The keys also work from the page window, where the author picks the page, and in the preview.
    for (QWidget* window : {static_cast<QWidget*>(&pages), static_cast<QWidget*>(&preview)}) {
        window->addAction(fromStart);
        window->addAction(fromThis);
    }

    // Open replaces the menu under the preview (New empties it, which the preview sees by itself).
    QObject::connect(&main, &TMainForm::projectOpened, &preview, [&preview] { preview.menuReplaced(); });
    preview.setBeside(&main);
}
