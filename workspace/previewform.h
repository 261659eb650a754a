#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "player/playermodel.h"
#include "player/walkreplay.h"
#include "player/walkthrough.h"

class QLabel;
class QPainter;
class QPushButton;
class QScrollArea;
class QTimer;

class DialogService;
class PreviewPicture;
class ProjectEdits;
class TMainForm;
class TPageViewerForm;
class VideoSource;
class WalkRecorder;

namespace previewtext {
inline const QString kMenu = QStringLiteral("&Preview");
inline const QString kPlayFromStart = QStringLiteral("Play from start page");
inline const QString kPlayFromThis = QStringLiteral("Play from this page");
inline const QString kCaption = QStringLiteral("Preview");
inline const QString kPause = QStringLiteral("Pause");
inline const QString kPlay = QStringLiteral("Play");
inline const QString kStep = QStringLiteral("Step");
inline const QString kRecord = QStringLiteral("Record");
inline const QString kStopRecording = QStringLiteral("Stop recording");
inline const QString kSaveWalk = QStringLiteral("Save walk...");
inline const QString kReplayWalk = QStringLiteral("Replay walk...");
inline const QString kStopReplay = QStringLiteral("Stop replay");
inline const QString kOk = QStringLiteral("OK");
inline const QString kMenuButton = QStringLiteral("Menu button");
inline const QString kWalkCaption = QStringLiteral("Walkthrough");
inline const QString kSaveWalkCaption = QStringLiteral("Save walkthrough");
inline const QString kReplayWalkCaption = QStringLiteral("Replay walkthrough");
inline const QString kWalkFilter = QStringLiteral("Walkthroughs (*.walk)|*.walk");
} // namespace previewtext

// The Preview window: plays the menu as the player will, with the player's rules (PlayerModel), so
// the author can click through it without copying it to the player's machine. It records what the
// author does as a walkthrough and replays saved ones, showing the first step that no longer holds.
//
// The window has a video source of its own, so the editor's picture stays on the frame the author is
// working on. Time is real time: every tick tells the model how long it has been since the last one
// and decodes only the frame the model then shows, so a slow frame makes the next one come sooner
// instead of the menu falling behind.
//
// The project is read, never changed. After any change to it (an edit, an undo, New, Open) the preview
// starts again at the page it showed, as the model keeps positions in the page list.
class TPreviewForm : public QWidget
{
    Q_OBJECT

public:
    TPreviewForm(ProjectEdits& edits, DialogService& dialogs, QWidget* parent = nullptr);
    ~TPreviewForm() override;

    // Shows the window and plays from the movie data's StartPage (F5) or from a page of the list
    // (Shift+F5: the page the page editor shows).
    void playFromStartPage();
    void playFromPage(int pageIndex);
    // Another menu was opened: starts again at its StartPage, ends a recording or replay.
    void menuReplaced();
    // The window the preview opens beside (the main window), on the side with more room.
    void setBeside(QWidget* window) { m_beside = window; }
    // The share of the picture's size it is shown at: below 1 when the picture with the window's
    // controls would not fit on the screen.
    qreal pictureScale() const;

    // Playing and stepping, for the author's pause and step buttons.
    bool isPlaying() const { return m_playing; }
    void setPlaying(bool playing);
    void stepFrame();
    // Runs one tick now: the time since the last one goes to the model, then the window shows what
    // it reports. The window's timer calls it; tests and the benchmark may too.
    void tick();

    // Walkthroughs.
    bool isRecording() const { return m_recorder != nullptr; }
    void setRecording(bool recording);
    // The steps recorded so far (while recording) or by the last recording.
    const Walkthrough& recordedWalk() const;
    void saveWalkClick();
    void replayWalkClick();
    // Replays walkthrough files one after another, one step per replay tick, stopping at the first
    // step that does not hold. With an interval of 0 every replay runs to its end at once.
    void replayFiles(const QStringList& files);
    bool isReplaying() const { return m_replay != nullptr; }
    void setReplayInterval(int milliseconds) { m_replayIntervalMs = milliseconds; }
    // What the last replay found; nothing when every step held (or no replay ran).
    const std::optional<WalkFailure>& replayFailure() const { return m_replayFailure; }

    // What is shown.
    const PlayerModel& model() const { return *m_model; }
    PlayerModel& model() { return *m_model; }
    // The menu picture shown now: the video frame or the still picture (null when there is none).
    const QImage& picture() const;
    QWidget* pictureWidget() const;
    QString statusLine() const;
    QString walkStatus() const;
    // The menu video's frame rate as the preview plays it.
    double frameRate() const { return m_fps; }

    // Input, as the picture gets it (picture coordinates).
    void pictureClicked(QPoint position);
    void pointerMoved(QPoint position);
    void pointerLeft();
    bool playerKey(int qtKey);
    int hoveredSelection() const { return m_hover; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildLayout();
    void showAndFocus();
    // As large as the picture with the controls, within the screen.
    void fitToPicture();
    // The picture shown at `size`, shrunk when the window would not fit on the screen.
    void setPictureSize(QSize size);
    // The first time it opens: beside the main window, wholly on the screen.
    void placeBeside();
    void restart(int pageIndex, bool atStartPage);
    // Opens the menu video when the movie data names another one than the one open.
    void openMenuVideo();
    // Brings the window in line with the model: picture, overlays, texts.
    void refresh();
    void showStill(const Page& page);
    void showVideoFrame(qint64 frame);
    void placeOverlays();
    void updateTexts();
    void updateButtons();
    // Starts again when the project has changed shape behind the model's back (pages or selections
    // added or removed): the model's positions would then point elsewhere.
    bool projectChanged() const;
    void rememberShape();
    void projectEdited();
    void restartAfterEdit();
    void replayTick();
    bool replayStep();
    void startNextReplay();
    void stopReplay(const QString& why);
    QString walkFolder() const;
    void setWalkStatus(const QString& text, bool problem);
    // The window's own dialogs stop the clock, so the minutes in a file dialog do not play the menu.
    struct ClockPause;

    ProjectEdits& m_edits;
    const MenuProject& m_project;
    DialogService& m_dialogs;
    std::unique_ptr<VideoSource> m_video;
    std::unique_ptr<PlayerModel> m_model;
    QString m_videoPath;
    bool m_videoOpen = false;
    bool m_reportVideoInBox = false;
    bool m_restartPending = false;
    QPointer<QWidget> m_beside;
    bool m_placed = false;
    double m_fps = 25.0;

    // The clock: the milliseconds already given to the model since it was (re)started.
    QElapsedTimer m_clock;
    qint64 m_fedMs = 0;
    bool m_playing = true;
    QTimer* m_timer = nullptr;

    // What the window shows, to redo only what changed.
    QImage m_still;
    quint64 m_shownActivation = 0;
    int m_shownPage = -1;
    qint64 m_shownFrame = -1;
    bool m_videoFrameShown = false;
    QString m_stillPath;
    QString m_pictureProblem;
    int m_hover = -1;
    QPoint m_pointer{-1, -1};
    struct ShownState
    {
        int highlight = -1;
        int hover = -1;
        bool message = false;
        bool outside = false;
        bool clickable = false;
        bool operator==(const ShownState&) const = default;
    };
    ShownState m_shownState;

    // The project's shape when the model was started: every page and its selection count.
    std::vector<std::pair<const void*, size_t>> m_shape;

    std::unique_ptr<WalkRecorder> m_recorder;
    Walkthrough m_recorded;
    // Replays: the files still to run, the walkthrough running and its replay.
    QStringList m_replayQueue;
    QString m_replayFile;
    Walkthrough m_replayWalk;
    std::unique_ptr<WalkReplay> m_replay;
    std::optional<WalkFailure> m_replayFailure;
    int m_replayIntervalMs = 150;
    int m_replaysHeld = 0;
    QTimer* m_replayTimer = nullptr;
    QString m_walkStatus;

    // Controls
    QPushButton* m_bttPause = nullptr;
    QPushButton* m_bttStep = nullptr;
    QPushButton* m_bttRecord = nullptr;
    QPushButton* m_bttSaveWalk = nullptr;
    QPushButton* m_bttReplayWalk = nullptr;
    QScrollArea* m_scroll = nullptr;
    PreviewPicture* m_pictureWidget = nullptr;
    QWidget* m_messagePanel = nullptr;
    QLabel* m_messageText = nullptr;
    QPushButton* m_bttMessageOk = nullptr;
    QWidget* m_moviePanel = nullptr;
    QLabel* m_movieText = nullptr;
    QPushButton* m_bttMenuButton = nullptr;
    QLabel* m_statusLine = nullptr;
    QLabel* m_walkLine = nullptr;
};

// Adds the "&Preview" menu to the main window's menu bar, after "Movie Data": "Play from start page"
// (F5) and "Play from this page" (Shift+F5, the page the page editor shows). Also restarts the
// preview after New and Open.
// Draws the preview's highlight around `area` (picture pixels): a light line between two dark ones,
// so that it shows over any picture, bright or dark, and whatever lies inside the selection. The light
// line is grey while the page does not let its selections be chosen.
void drawPreviewHighlight(QPainter& painter, const QRect& area, bool clickable);

void installPreviewMenu(TMainForm& main, TPreviewForm& preview, TPageViewerForm& pages);
