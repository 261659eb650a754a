#pragma once

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

#include "app/aboutform.h"
#include "document/messages.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QSettings;
class QSlider;
class QSplitter;
class QTabWidget;
class QToolButton;

class DialogService;
struct MenuProject;
class TMovieDataForm;
class VideoSource;

// The picture control: shows its image at its own size, never scaled, and sizes itself to it.
class VideoImageWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VideoImageWidget(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

// The application's frame: the video picture with its frame navigation, the main menu, the settings
// kept between runs, and the placement and docking of the two tool windows.
//
// Window positions and sizes are those of the outer frame (what the user sees, title bar and border
// included): the tool windows are placed so that their frames touch the main window's frame, and the
// stored Top and Left are where the frame was. Qt's move() and pos() already work on the frame; sizes
// are converted with the frame margins the window system reports (none before the window exists).
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // The frame's size at start and its minimum; FitToPicture relies on the minimum.
    static constexpr int kInitialLeft = 225;
    static constexpr int kInitialTop = 105;
    static constexpr int kInitialWidth = 471;
    static constexpr int kInitialHeight = 437;
    static constexpr int kMinWidth = 440;
    static constexpr int kMinHeight = 426;
    static constexpr int kTrackBarHeight = 33;
    static constexpr int kControlPanelHeight = 33;
    static constexpr int kUnreadablePosition = 100;

    enum class Placement { Left, Right, Free };

    // Reads the settings (position, current directory) while it is built.
    TMainForm(MenuProject& project, DialogService& dialogs, VideoSource& video, QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- the other windows -------------------------------------------------------------------
    void setToolWindows(TPageViewerForm* pages, TSelectionsViewerForm* selections);
    void setAboutForm(TAboutForm* about);
    TPageViewerForm* pageViewer() const { return m_pages; }
    TSelectionsViewerForm* selectionsViewer() const { return m_selections; }
    // The movie data dialog belongs to the main window; New and Open replace it by a fresh one.
    TMovieDataForm& createMovieDataForm();
    TMovieDataForm* movieDataForm() const { return m_movieData.get(); }
    // The menu of a selection rectangle on the picture: "Delete" and "Move to page".
    QMenu* shapePopUp() const { return m_shapePopUp; }

    // --- caption and document name ------------------------------------------------------------
    QString documentName() const;
    void setDocumentName(const QString& name); // also refreshes the caption
    void refreshCaption();                     // caption := title + " - " + document name
    // The enabled state of the Page menu together with its items (whose shortcuts would otherwise
    // work while the menu is greyed out).
    void setPageMenuEnabled(bool enabled);

    // --- settings and shutdown ----------------------------------------------------------------
    // The per-user store: the registry key HKEY_CURRENT_USER\Software\VRPLVazoVevoz on Windows, the
    // native settings file of that name in the user's configuration folder elsewhere.
    static std::unique_ptr<QSettings> openSettings();
    void writeSettings();
    // Stops the tool-window placement, releases the video and writes the settings. Runs once; the
    // destructor calls it when nobody did before.
    void shutdown();
    bool isClosing() const { return m_closing; }

    // --- tool windows -------------------------------------------------------------------------
    void ArrangeToolWindows();
    void RadioMenuItemCheck(QAction* item);
    void miDockedClick();
    void miAboutClick();
    bool isDocked() const;
    Placement pagesPlacement() const;
    Placement selectionsPlacement() const;
    int dockWidth() const;

    // --- video picture ------------------------------------------------------------------------
    // Opens the menu video, sets the track bar to its frames, shows frame 0 and fits the window.
    void OpenVideo(const QString& path);
    void CloseVideo();
    bool ShowFrame(int n);
    // Loads a JPEG file into the picture; the decoder's error escapes to the caller.
    void ShowPicture(const QString& path);
    void FitToPicture(int w, int h);
    const QImage& picture() const;
    VideoSource& videoSource() { return m_video; }

    // --- frame navigation ---------------------------------------------------------------------
    // Moves the track bar; the value is limited to its range and the frame-change step runs when the
    // position changes.
    void setTrackBarPosition(int position);
    int trackBarPosition() const;
    // A maximum below the minimum is refused and leaves the range as it was.
    void setTrackBarMaximum(int maximum);
    void VideoTrackBarChange();
    void bttStartClick();
    void bttPrevFrameClick();
    void bttNextFrameClick();
    void bttEndClick();
    void bttPrevKFClick();
    void bttNextKFClick();
    void bttGotoClick();
    void edVideoPosEnter();
    void edVideoPosExit();

    // Builds the frame information text, for example "  Frame 25 (0:00:01.000) [ ]".
    static QString frameInfoText(int frame, uint32_t milliseconds, bool keyFrame);

protected:
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildMenu();
    void buildControlPanel(QWidget* controlPanel);
    void buildNavigationKeys();
    void readSettings();

    // Outer frame helpers (see the class comment).
    static QMargins frameMargins(const QWidget* window);
    static void resizeFrame(QWidget* window, int width, int height);
    void applyMinimumSize();
    // Lays out the central widgets now, so that sizes read right after a resize are current.
    void layoutNow();
    void placeVideoPanelChildren();
    void placePicture(QPoint inVideoPanel);
    void updateCanvasExtent();
    void keepOnScreen();

    void dockWindow(QWidget* window);
    void undockWindow(QWidget* window);
    void setDockWidth(int width);

    MenuProject& m_project;
    DialogService& m_dialogs;
    VideoSource& m_video;

    QPointer<TPageViewerForm> m_pages;
    QPointer<TSelectionsViewerForm> m_selections;
    QPointer<TAboutForm> m_about;
    std::unique_ptr<TMovieDataForm> m_movieData;

    bool m_closing = false;
    bool m_shutDown = false;
    int m_dockWidth = 0;
    QString m_rememberedGotoText;

    // Layout
    QSplitter* m_splitter = nullptr;
    QTabWidget* m_dock = nullptr;
    QWidget* m_mainPanel = nullptr;
    QFrame* m_videoPanel = nullptr;
    QScrollArea* m_videoScroll = nullptr;
    QWidget* m_videoCanvas = nullptr;
    QFrame* m_videoBevel = nullptr;
    VideoImageWidget* m_videoImage = nullptr;
    QSlider* m_trackBar = nullptr;
    QFrame* m_controlPanel = nullptr;
    QLabel* m_frameInfo = nullptr;
    QLineEdit* m_edVideoPos = nullptr;

    // Menu
    QMenu* m_pageMenu = nullptr;
    QMenu* m_shapePopUp = nullptr;
    QAction* m_miDocked = nullptr;
    QActionGroup* m_pagesGroup = nullptr;
    QActionGroup* m_selectionsGroup = nullptr;
    QAction* m_miWinPagesLeft = nullptr;
    QAction* m_miWinPagesRight = nullptr;
    QAction* m_miWinPagesFree = nullptr;
    QAction* m_miWinSelecLeft = nullptr;
    QAction* m_miWinSelecRight = nullptr;
    QAction* m_miWinSelecFree = nullptr;

    // The outer width each tool window had before it was docked.
    QHash<QWidget*, QSize> m_undockedSize;
};
