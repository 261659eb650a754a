#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/aboutform.h"
#include "document/messages.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "workspace/arrange.h"
#include "workspace/buttonproposals.h"
#include "workspace/rshape.h"
#include "workspace/preferencesform.h"
#include "workspace/snapping.h"
#include "workspace/videoimage.h"
#include "workspace/windowplacement.h"

class QAction;
class QActionGroup;
class QFrame;
class QDialog;
class QLabel;
class QMouseEvent;
class QLineEdit;
class QMenu;
class QScrollArea;
class QSettings;
class QSlider;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolButton;

class DialogService;
struct MenuProject;
class TMovieDataForm;
class QWindow;
class TProblemsForm;
class VideoSource;
class ProjectEdits;
class RShape;
class RShapeAnchor;
class QUndoStack;
class RecoverySlot;
struct Page;
struct Selection;

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
    // The picture's distance from the panel's edge when the window fits around it or it scrolls.
    static constexpr int kPictureMargin = 8;
    // The smallest zoom a fitted picture gets, on a tiny window or screen.
    static constexpr double kSmallestZoom = 0.1;
    static constexpr int kUnreadablePosition = 100;

    using Placement = ToolPlacement;

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

    // --- document commands (mainform_file.cpp) ---------------------------------------------------
    void miNewClick();
    void miMMOpenINIClick();
    // Reads the menu file into the editors; false when it could not be read or the reading was
    // cancelled (the project is then a new, empty one), or when the file is no menu file (the open
    // project then stays as it was). With `copy`, its bytes are read instead of
    // the file and its base directory kept: recovery opens an autosaved copy so, under the project's
    // own name and folder (and the copy is not a file the author opened, so no projectOpened).
    struct ProjectCopy
    {
        QByteArray bytes;
        QString baseDirectory;
    };
    bool OpenProject(const QString& path, const ProjectCopy* copy = nullptr);
    // File > Import DVD menus (mainform_dvdimport.cpp): a DVD's menus as a new, unsaved project under
    // the name chosen for it, its video and pictures written beside that name, the report in the
    // Problems window. The import runs on a thread of its own under a progress dialog with Cancel.
    void miImportDVDClick();
    bool importDvd(const QString& source, const QString& menuFile);
    // Whether the picture is a still page's rather than the frame at the track bar.
    bool stillShown() const { return m_stillShown; }
    // How long an opening runs before its progress dialog shows (tests show it at once).
    void setOpenProgressDelay(int milliseconds) { m_openProgressDelay = milliseconds; }
    void miMMSaveINIClick();
    void miMMSaveasINIClick();
    bool SaveProject(bool askForName);
    void miMovieDataClick();
    void miMMQuitClick();
    void miGotoPreviousPageClick();
    void miGotoNextPageClick();
    // Asks about page field values not applied yet, then, with unsaved changes, whether to save them;
    // false when the author cancels (or the save failed), so that the command that asked stops.
    bool maybeSave();
    bool isModified() const;
    // The caption as shown, with "*" when the project has unsaved changes.
    QString caption() const;
    // Runs the movie data dialog modally; tests put in one that fills it and answers at once.
    void setModalRunner(std::function<int(QDialog&)> runner);
    QString menuVideoPath() const;

    // --- autosave, recovery and recent files (mainform_recovery.cpp) ------------------------------
    static constexpr int kAutosaveIntervalMs = 2 * 60 * 1000;
    static constexpr int kRecentFileCount = 8;
    // From here on a modified project is written every two minutes, and when the session manager
    // asks, to a recovery file of this program's own in `folder` (the user's data folder), never
    // over the author's file.
    void startAutosave(const QString& folder);
    // Writes the recovery file now when the project is modified, removes it when it is not.
    void autosave();
    // This program's recovery file; empty before startAutosave.
    QString autosavePath() const;
    // A clean exit: the recovery file goes, unless the session ended without letting the author
    // answer.
    void endAutosave();
    // Offers the recovery file of a program that ended without a clean exit; true when the author
    // recovered it (the project is then that work, modified, under its own name).
    bool offerRecovery();
    // A menu file named on the command line, opened as "Open INI" opens it.
    void openAtStart(const QString& path);
    // The last menu files opened or saved, newest first.
    QStringList recentFiles() const;
    QMenu* recentFilesMenu() const { return m_recentMenu; }
    // Opens a file of the recent list as "Open INI" would; one that no longer exists leaves the list
    // with a message.
    void openRecentFile(const QString& path);

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
    // Moves a window, shrinking it first when it is larger, until its frame lies on one screen.
    static void bringOnScreen(QWidget* window);
    // The outer width the menu bar needs to show every menu and the status line without its "more"
    // button: the narrowest the window is made at start and by FitToPicture.
    int menuBarFrameWidth();
    void RadioMenuItemCheck(QAction* item);
    void miDockedClick();
    void miAboutClick();
    bool isDocked() const;
    // A further tool window (the page map): it floats beside the main window, or joins the dock as a
    // tab when the windows are docked, as the Problems window does.
    void addToolWindow(QWidget* window);
    void showToolWindow(QWidget* window);
    Placement pagesPlacement() const;
    Placement selectionsPlacement() const;
    int dockWidth() const;

    // --- the Problems window and the status line (mainform_problems.cpp) ------------------------
    void setProblemsWindow(TProblemsForm* problems);
    TProblemsForm* problemsWindow() const;
    // Whether the author has a project to check: after New (confirmed) or Open, or once anything was
    // put into the project. Before that the count stays empty: the fields it would count are greyed out.
    bool hasProject() const;
    // Windows > Problems and a click on the count: shows the window, or its tab when docked.
    void miWinProblemsClick();
    // The status line at the menu bar's right end: the problem count, or for a while a message.
    QString statusText() const;
    // For `milliseconds`, or ten seconds when not given.
    void showStatusMessage(const QString& message, int milliseconds = 0);
    // What the status line says after a delete: the selections' names or count, and their actions.
    static QString deletedText(const QList<const Selection*>& selections);

    // --- video picture ------------------------------------------------------------------------
    // Opens the menu video, sets the track bar to its frames, shows frame 0 and fits the window.
    void OpenVideo(const QString& path);
    void CloseVideo();
    bool ShowFrame(int n);
    // Loads a JPEG file into the picture; the decoder's error escapes to the caller.
    void ShowPicture(const QString& path);
    // Sizes the window around the picture at its actual size, or fitted where the screen cannot
    // hold that; the picture is then placed in the window.
    void FitToPicture(int pictureWidth, int pictureHeight);
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

    // The text of the current-frame field, and its "Go to frame" command with a given text, as the page
    // editor uses them.
    QString videoPosText() const;
    void gotoFrameText(const QString& frame);

    // --- selection rectangles on the picture (mainform_shapes.cpp) ------------------------------
    // The project's edits: every change made on the picture is one step of its undo stack. Also builds
    // the Edit menu's Undo and Redo from its stack.
    void setEdits(ProjectEdits* edits);
    ProjectEdits* edits() const { return m_edits; }
    QAction* undoAction() const { return m_undoAction; }
    QAction* redoAction() const { return m_redoAction; }
    VideoImageWidget* videoImage() const { return m_videoImage; }
    // Where the picture's top-left corner lies in the rectangles' container.
    QPoint pictureOrigin() const;
    RShape* prototypeShape() const { return m_prototype; }
    RShape* currentShape() const { return m_currentShape; }
    void clearCurrentShape()
    {
        m_currentShape = nullptr;
        m_picked.clear();
    }
    // The rectangles of a page's selections, made from their Area texts (a text that does not hold
    // four numbers gives none); removing takes every rectangle off the picture.
    void createShapes(Page& page);
    void removeShapes();
    QList<RShape*> shownShapes() const;
    void SelectShape(RShape* shape);
    QString AreaText() const;
    QString areaTextOf(const RShape& shape) const;
    void ShowCrosshair(bool show);
    bool crosshairShown() const { return m_crosshairShown; }
    QWidget* crosshairLine(int i) const; // HLine1, HLine2, VLine1, VLine2

    void VideoImageMouseDown(QMouseEvent* event);
    void VideoImageMouseMove(QMouseEvent* event);
    void VideoImageMouseUp(QMouseEvent* event);
    void ShapeMouseDown(RShape* shape, QMouseEvent* event);
    void ShapeMouseMove(RShape* shape, QMouseEvent* event);
    void ShapeMouseUp(RShape* shape, QMouseEvent* event);
    void ShapeContextPopup(RShape* shape, QPoint inShape);
    void Delete1Click();
    void OnChangePageSelectionClick(Page* target);
    // Moves the current rectangle by one arrow-key step (kept inside the picture); auto-repeated
    // presses of one key-press run make one undo step.
    void nudgeCurrentShape(int dx, int dy, bool continuesRun);
    // The picture moved in its container (the window was fitted to another size): rectangles and
    // crosshair move with it.
    void followPicture();

    // --- the View menu: zoom and the TV-safe area (mainform_view.cpp) ---------------------------
    // Screen pixels per picture pixel.
    double zoom() const;
    // Shows the picture at this zoom (kept between the smallest and largest steps), the picture
    // point `keep` staying where it is in the window when given.
    void setZoom(double zoom, std::optional<QPoint> keep = std::nullopt);
    void zoomIn();
    void zoomOut();
    void zoomActualSize();
    // Fits the picture into the window, keeping its aspect ratio; it stays fitted as the window
    // changes size, until another zoom is chosen.
    void zoomToFit();
    bool zoomFits() const { return m_zoomFit; }
    // The next zoom step from `from` in or out (steps > 0 in), or `from` when there is none.
    static double zoomStep(double from, int steps);
    // The largest zoom at which a picture of `picture` pixels fits `room`.
    static double fitZoom(QSize picture, QSize room);

    // --- several rectangles, arrange, snapping, copy and paste, remote order (mainform_arrange.cpp) --
    // The picked rectangles in picking order: the current one alone, or several picked with Ctrl, a
    // Shift-drag or Select all. The first is the one the others line up with.
    QList<RShape*> pickedShapes() const;
    // Picks these rectangles: one shows its anchors, several show a solid outline each.
    void setPickedShapes(const QList<RShape*>& shapes);
    void togglePicked(RShape* shape);
    void selectAllShapes();
    void arrangePicked(ArrangeCommand command);
    QMenu* arrangeMenu() const { return m_arrangeMenu; }
    void nudgePicked(int dx, int dy, bool continuesRun);
    void copyPicked();
    void cutPicked();
    void pasteShapes();
    void duplicatePicked();
    bool snapEnabled() const;
    void setSnapEnabled(bool on);
    // Edit > Preferences: the dialog, run modally; OK stores and applies what it holds.
    void miPreferencesClick();
    // Snapping, the autosave interval and the video decoder's threads and memory, as the
    // preferences say.
    void applyPreferences(const Preferences& preferences);
    void restartAutosaveTimer();
    int autosaveIntervalMs() const { return m_autosaveIntervalMs; }
    bool remoteOrderShown() const;
    void setRemoteOrderShown(bool on);
    // The remote-control order as drawn on the picture: per selection of the shown page its place in
    // the player's order from 1 (0 for none), and the default selection's index (-1 for none).
    QList<int> remoteOrderNumbers() const { return m_remoteNumbers; }
    int remoteOrderDefault() const { return m_remoteDefault; }
    // The readout of a rectangle: x, y, width and height in picture pixels and its Area text.
    QString geometryText(const RShape& shape) const;
    // The snap guides shown now (vertical, horizontal).
    QWidget* snapGuide(int i) const { return i >= 0 && i < 2 ? m_guides[i] : nullptr; }
    // The MIME type of copied rectangles on the clipboard.
    static QString shapesMimeType();
    // --- Page > Find buttons (mainform_finder.cpp) ------------------------------------------------
    // Shows the finder's proposals for the current page over the picture, leaving out those that
    // overlap one of its rectangles; the accepted ones become its next selections in one undo step.
    void miFindButtonsClick();
    ButtonProposals* buttonProposals() const; // while shown
    void acceptProposals(Page* page, std::vector<QRect> rects);
    void closeProposals();

    // Builds the frame information text, for example "  Frame 25 (0:00:01.000) [ ]".
    static QString frameInfoText(int frame, uint32_t milliseconds, bool keyFrame);

private:
    // The user's drags and held keys move the track bar faster than frames can be decoded; their
    // frame is shown at the next pass of the event loop, for the latest position only.
    void trackBarAction(int action);
    void showPendingFrame();
    bool m_sliderMovedByUser = false; // the slider is about to take a position the user gave it
    bool m_keyMovesTrackBar = false;  // a navigation key's command is running
    bool m_frameChangePending = false;

signals:
    void projectOpened(const QString& path);
    void projectSaved(const QString& path);
    // A menu video was opened; the movie data dialog was closed (after New or Movie Data).
    void videoOpened(const QString& path);
    void movieDataClosed();

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFileCommands();
    void buildRecentFiles();
    void rememberRecentFile(const QString& path);
    void refreshRecentFilesMenu();
    void watchModified();
    void clearProject();
    int runModal(QDialog& dialog);
    void buildShapes();
    void buildArrange(QMenu* edit);
    void clearMultiPick();
    void refreshArrangeMenu();
    void syncShape(Selection* selection);
    // Adds the selections of a copied block text to the page as one undo step and picks them.
    void addCopiesAndPick(Page& page, const QString& copiedText, const QString& stepName);
    // Makes the page's rectangles again after selections came or went, with the lists that show them.
    void remakeShapes(Page& page);
    // The places in the page's selection list of these rectangles' selections, in picking order.
    std::vector<int> selectionIndexes(Page& page, const QList<RShape*>& shapes) const;
    void beginShapeDrag(RShape* grabbed, QPoint inGrabbed);
    void dragShapes(RShape* grabbed, QPoint inGrabbed, Qt::KeyboardModifiers modifiers);
    bool endShapeDrag(); // true when the dragged rectangles moved; records the group's move
    void snapResize(RShape* shape, int anchor, Qt::KeyboardModifiers modifiers);
    void showGuides(const SnapLines::Result& snapped);
    void hideGuides();
    QList<QRect> otherShapeBounds(const QList<RShape*>& moving) const;
    QRect snapDrawing(QRect band, Qt::KeyboardModifiers modifiers);
    void refreshRemoteOrder();
    void showReadout(const RShape& shape);
    void showLatestReadout();
    // Shows the current rectangle's numbers again after an undo or redo, or the count when there is
    // no current rectangle; nothing changes when the line shows something else.
    void refreshReadout();
    void placeRemoteOrder();
    void deletePicked();
    void movePickedToPage(Page* target);
    void endBandPick(QPoint inPicture);
    void buildEditMenu(QMenu* edit);
    // The zoom commands and the TV-safe area at the top of the View menu.
    void buildViewMenu(QMenu* view);
    // Places the picture after a zoom: centred where the window holds it, else from the corner.
    void placeZoomedPicture();
    void followZoom();
    // The zoom that fits the picture into the window as it is, and fitting it again after the
    // window changed size.
    double fitZoomOfWindow() const;
    QPoint viewCentre() const;
    void refitPicture();
    void placeBevel();
    void startDrawing(QPoint inPicture);
    void stretchRubberBand(QPoint inPicture, Qt::KeyboardModifiers modifiers);
    void finishMove(RShape* shape);
    QRect pictureRect() const; // in the container's coordinates
    Page* currentPage() const;
    void placeCrosshair(QPoint inPicture);
    void buildLayout();
    void buildMenu();
    void buildProblemsCommands(QMenu* windows);
    void showProblemCount();
    void setStatusLineText(const QString& text);
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
    // The available areas of all screens, and the one a window's frame belongs on.
    static QList<QRect> availableAreas();
    static QRect screenAreaOf(const QWidget* window);
    // Once the window system has framed the window: the frame where it was asked to be, on a screen.
    void settleOnScreen();

    void dockWindow(QWidget* window);
    void undockWindow(QWidget* window);
    void setDockWidth(int width);

    MenuProject& m_project;
    DialogService& m_dialogs;
    VideoSource& m_video;

    QPointer<TPageViewerForm> m_pages;
    QPointer<TSelectionsViewerForm> m_selections;
    QPointer<TAboutForm> m_about;
    QPointer<TProblemsForm> m_problems;
    QList<QPointer<QWidget>> m_moreToolWindows;
    QToolButton* m_problemCount = nullptr; // the status line
    QTimer* m_statusTimer = nullptr;
    QTimer* m_videoIdleTimer = nullptr; // gives back the decoded pictures of a frame left alone
    bool m_problemsPlaced = false;
    std::optional<QRect> m_problemsPlace; // taken again once the window system has framed it
    QPointer<QWindow> m_problemsHandle;
    bool placeProblemsOnExpose(QObject* watched, QEvent* event);
    bool m_projectBegun = false; // New was confirmed or a file opened
    std::unique_ptr<TMovieDataForm> m_movieData;

    bool m_closing = false;
    // Where the frame's top-left was asked to be at start, kept until the window system has framed
    // the window (it may place the inside, not the frame, at the position asked).
    QPoint m_startPosition;
    bool m_settled = false;
    bool m_positionRestored = false; // the position came from the settings
    bool m_shutDown = false;
    // A file whose reading stopped part-way: saving over it would write only what was read, so the
    // first save to it asks. Empty once the author has answered by saving there, or after New/Open.
    QString m_incompleteFile;
    int m_openProgressDelay = 500;
    bool m_stillShown = false; // the picture is a still page's, not the frame at the track bar
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

    std::function<int(QDialog&)> m_runModal;

    // Autosave and recent files
    RecoverySlot* m_recovery = nullptr; // owned by the window
    QMenu* m_recentMenu = nullptr;

    // Rectangles on the picture
    ProjectEdits* m_edits = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_moveToPageMenu = nullptr;
    RShape* m_prototype = nullptr;
    QPointer<RShape> m_currentShape;
    QList<QPointer<RShape>> m_shapes;
    bool m_drawing = false;
    bool m_moving = false;
    QPoint m_drawOrigin; // where the press was, in the picture
    int m_pressX = 0;
    int m_pressY = 0;
    QPoint m_shownPictureOrigin;
    bool m_crosshairShown = true;
    QWidget* m_crosshair[4] = {};
    QObject* m_shapeKeys = nullptr;
    QPointer<ButtonProposals> m_proposals; // owned by the canvas

    // Several rectangles, snapping, remote order
    QList<QPointer<RShape>> m_picked; // two or more; otherwise the current rectangle alone is picked
    QMenu* m_arrangeMenu = nullptr;
    QList<QAction*> m_arrangeActions;
    QAction* m_miSnap = nullptr;
    QAction* m_miZoomIn = nullptr;
    QAction* m_miZoomOut = nullptr;
    QAction* m_miSafeArea = nullptr;
    bool m_zoomFit = false;
    int m_autosaveIntervalMs = kAutosaveIntervalMs;
    QAction* m_miRemoteOrder = nullptr;
    QWidget* m_guides[2] = {};
    QWidget* m_remoteOverlay = nullptr;
    QList<int> m_remoteNumbers;
    int m_remoteDefault = -1;
    struct DragStart
    {
        QPointer<RShape> shape;
        QRect bounds;
    };
    QList<DragStart> m_dragStart;
    QPointer<RShape> m_grabbed;
    QPoint m_pressInCanvas;
    std::optional<SnapLines> m_dragLines;
    bool m_bandPicking = false;
    QPoint m_bandOrigin;
    QWidget* m_band = nullptr;
    QElapsedTimer m_readoutClock; // when the readout last changed during a drag
    QTimer* m_readoutTimer = nullptr; // shows the latest numbers once the interval after the last is over
    QString m_readoutText;           // the latest numbers, shown or waiting

    // The outer width each tool window had before it was docked.
    QHash<QWidget*, QSize> m_undockedSize;
};
