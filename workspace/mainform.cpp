// The main window: construction, layout, main menu, caption, settings and shutdown. Tool-window
// placement and docking are in mainform_windows.cpp, the picture and frame navigation in
// mainform_video.cpp.
#include "workspace/mainform.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "document/model.h"
#include "moviedata/moviedataform.h"
#include "dialogs/dialogservice.h"
#include "media/videosource.h"
#include "workspace/helpform.h"

namespace {

// Texts of the main window, kept together.
namespace text {
const QString kFile = QStringLiteral("&File");
const QString kNew = QStringLiteral("New");
const QString kOpenIni = QStringLiteral("Open &INI");
const QString kSave = QStringLiteral("Save");
const QString kSaveAs = QStringLiteral("&Save as INI");
const QString kQuit = QStringLiteral("&Quit");
const QString kMovieData = QStringLiteral("Movie Data");
const QString kPage = QStringLiteral("&Page");
const QString kPageNew = QStringLiteral("&New");
const QString kPageDelete = QStringLiteral("&Delete");
const QString kPageModify = QStringLiteral("&Modify");
const QString kPageFirst = QStringLiteral("Set &first frame");
const QString kPageLast = QStringLiteral("Set &last frame");
const QString kPagePrevious = QStringLiteral("Goto previous page");
const QString kPageNext = QStringLiteral("Goto next page");
const QString kWindows = QStringLiteral("&Windows");
const QString kPages = QStringLiteral("Pages");
const QString kSelections = QStringLiteral("Selections");
const QString kLeft = QStringLiteral("Left");
const QString kRight = QStringLiteral("Right");
const QString kFree = QStringLiteral("Free");
const QString kDocked = QStringLiteral("Docked");
const QString kHelp = QStringLiteral("?");
const QString kHelpContents = QStringLiteral("&Help");
const QString kAbout = QStringLiteral("About ...");
const QString kShapeDelete = QStringLiteral("Delete");
const QString kShapeMoveToPage = QStringLiteral("Move to page");
const QString kCaptionSeparator = QStringLiteral(" - ");
const QString kSettingsKey = QStringLiteral("VRPLVazoVevoz");
const QString kTop = QStringLiteral("Top");
const QString kLeftKey = QStringLiteral("Left");
const QString kLastDir = QStringLiteral("LastDir");
} // namespace text

QAction* addItem(QWidget* menu, const QString& objectName, const QString& caption,
                 const QKeySequence& shortcut = {}, bool enabled = true)
{
    auto* action = new QAction(caption, menu); // owned by the menu
    action->setObjectName(objectName);
    action->setShortcut(shortcut);
    action->setEnabled(enabled);
    menu->addAction(action);
    return action;
}

} // namespace

// ---------------------------------------------------------------------------------------------
TMainForm::TMainForm(MenuProject& project, DialogService& dialogs, VideoSource& video, QWidget* parent)
    : QMainWindow(parent), m_project(project), m_dialogs(dialogs), m_video(video)
{
    setObjectName(QStringLiteral("MainForm"));
    // The window is created now so that its frame margins are known and the outer sizes below are
    // right from the start.
    winId();
    buildLayout();
    buildMenu();
    buildShapes();
    buildFileCommands();
    buildRecentFiles();

    m_startPosition = QPoint(kInitialLeft, kInitialTop);
    move(m_startPosition);
    // As the form was drawn; the first showing widens it to what the menu bar needs.
    resizeFrame(this, kInitialWidth, kInitialHeight);
    applyMinimumSize();

    readSettings();
    m_project.documentName = kNewFileName;
    refreshCaption();
}

TMainForm::~TMainForm()
{
    shutdown();
    // Tool windows docked here belong to whoever created them: hand them back before our children
    // are destroyed.
    if (m_dock) {
        while (m_dock->count() > 0)
            undockWindow(m_dock->widget(0));
    }
}

void TMainForm::buildLayout()
{
    m_splitter = new QSplitter(Qt::Horizontal, this); // owned by the window
    m_splitter->setObjectName(QStringLiteral("Splitter1"));
    m_splitter->setHandleWidth(3);
    m_splitter->setChildrenCollapsible(false);
    setCentralWidget(m_splitter);

    m_dock = new QTabWidget(m_splitter);
    m_dock->setObjectName(QStringLiteral("DockPageControl"));
    m_dock->setDocumentMode(true);
    m_splitter->addWidget(m_dock);
    m_dock->hide();

    m_mainPanel = new QWidget(m_splitter);
    m_mainPanel->setObjectName(QStringLiteral("MainPanel"));
    m_splitter->addWidget(m_mainPanel);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (m_dock->isVisible())
            m_dockWidth = m_splitter->sizes().value(0);
    });

    auto* mainLayout = new QVBoxLayout(m_mainPanel);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    m_videoPanel = new QFrame(m_mainPanel);
    m_videoPanel->setObjectName(QStringLiteral("VideoPanel"));
    m_videoPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_videoPanel->setMinimumSize(0, kTrackBarHeight + 2 * m_videoPanel->frameWidth());
    m_videoPanel->installEventFilter(this); // places its children when it is resized
    mainLayout->addWidget(m_videoPanel, 1);

    // The picture sits in a scroll area that has no frame and normally no scroll bars: it only
    // scrolls when the window cannot be as large as the picture (a picture larger than the screen,
    // or the user made the window smaller), so the menu and the navigation controls stay reachable.
    m_videoScroll = new QScrollArea(m_videoPanel);
    m_videoScroll->setObjectName(QStringLiteral("VideoScroll"));
    m_videoScroll->setFrameShape(QFrame::NoFrame);
    m_videoScroll->setWidgetResizable(true);
    m_videoCanvas = new QWidget;
    m_videoCanvas->setObjectName(QStringLiteral("VideoCanvas"));
    m_videoScroll->setWidget(m_videoCanvas); // owned by the scroll area

    m_videoBevel = new QFrame(m_videoCanvas);
    m_videoBevel->setObjectName(QStringLiteral("VideoBevel"));
    m_videoBevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_videoBevel->setLineWidth(2);
    m_videoBevel->hide(); // shown once a picture has been fitted

    m_videoImage = new VideoImageWidget(m_videoCanvas);
    m_videoImage->setObjectName(QStringLiteral("VideoImage"));
    m_videoImage->raise();

    m_trackBar = new QSlider(Qt::Horizontal, m_videoPanel);
    m_trackBar->setObjectName(QStringLiteral("VideoTrackBar"));
    m_trackBar->setRange(0, 0);
    m_trackBar->setValue(0);
    m_trackBar->setTickPosition(QSlider::TicksBelow);
    m_trackBar->setTickInterval(1);
    m_trackBar->setSingleStep(1);
    m_trackBar->setFixedHeight(kTrackBarHeight);
    connect(m_trackBar, &QSlider::valueChanged, this, [this] { VideoTrackBarChange(); });

    m_controlPanel = new QFrame(m_mainPanel);
    m_controlPanel->setObjectName(QStringLiteral("ControlPanel"));
    m_controlPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_controlPanel->setFixedHeight(kControlPanelHeight);
    buildControlPanel(m_controlPanel);
    mainLayout->addWidget(m_controlPanel, 0);

    buildNavigationKeys();
    // The panel's children are placed inside its frame first, so that the picture's first place is
    // counted from the panel's outer corner once, not with the frame twice.
    placeVideoPanelChildren();
    placePicture(QPoint(8, 8));
    m_trackBar->setFocus();
}

void TMainForm::buildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(text::kFile);
    file->setObjectName(QStringLiteral("File1"));
    addItem(file, QStringLiteral("miNew"), text::kNew);
    addItem(file, QStringLiteral("miMMOpenINI"), text::kOpenIni, QKeySequence(Qt::CTRL | Qt::Key_O));
    addItem(file, QStringLiteral("miImportDVD"), QStringLiteral("Import &DVD menus\u2026"));
    file->addSeparator();
    addItem(file, QStringLiteral("miMMSaveINI"), text::kSave, QKeySequence(Qt::CTRL | Qt::Key_S), false);
    addItem(file, QStringLiteral("miMMSaveasINI"), text::kSaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), false);
    file->addSeparator();
    QAction* quit = addItem(file, QStringLiteral("miMMQuit"), text::kQuit, QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Quit ends the message loop; the shutdown follows when the windows are destroyed.
    connect(quit, &QAction::triggered, this, [] { QCoreApplication::exit(0); });

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("miEdit"));
    buildEditMenu(edit);

    addItem(bar, QStringLiteral("miMovieData"), text::kMovieData, {}, false);

    m_pageMenu = bar->addMenu(text::kPage);
    m_pageMenu->setObjectName(QStringLiteral("miPage"));
    m_pageMenu->menuAction()->setObjectName(QStringLiteral("miPageAction"));
    addItem(m_pageMenu, QStringLiteral("MenuItemNewPage"), text::kPageNew, QKeySequence(Qt::CTRL | Qt::Key_N));
    addItem(m_pageMenu, QStringLiteral("MenuItemDeletePage"), text::kPageDelete);
    addItem(m_pageMenu, QStringLiteral("MenuItemModifyNamePage"), text::kPageModify);
    QAction* find = addItem(m_pageMenu, QStringLiteral("miFindButtons"), kFindButtonsCaption);
    find->setIcon(findButtonsIcon());
    connect(find, &QAction::triggered, this, [this] { miFindButtonsClick(); });
    m_pageMenu->addSeparator();
    addItem(m_pageMenu, QStringLiteral("MenuItemFirstFramePage"), text::kPageFirst, QKeySequence(Qt::CTRL | Qt::Key_F));
    addItem(m_pageMenu, QStringLiteral("MenuItemLastFramePage"), text::kPageLast, QKeySequence(Qt::CTRL | Qt::Key_L));
    m_pageMenu->addSeparator();
    addItem(m_pageMenu, QStringLiteral("miGotoPreviousPage"), text::kPagePrevious, QKeySequence(Qt::CTRL | Qt::Key_Up));
    addItem(m_pageMenu, QStringLiteral("miGotoNextPage"), text::kPageNext, QKeySequence(Qt::CTRL | Qt::Key_Down));
    setPageMenuEnabled(false);

    QMenu* windows = bar->addMenu(text::kWindows);
    windows->setObjectName(QStringLiteral("Windows1"));
    QMenu* pages = windows->addMenu(text::kPages);
    pages->setObjectName(QStringLiteral("Pages1"));
    m_pagesGroup = new QActionGroup(pages); // owned by the menu
    m_miWinPagesLeft = addItem(pages, QStringLiteral("miWinPagesLeft"), text::kLeft);
    m_miWinPagesRight = addItem(pages, QStringLiteral("miWinPagesRight"), text::kRight);
    m_miWinPagesFree = addItem(pages, QStringLiteral("miWinPagesFree"), text::kFree);
    QMenu* selections = windows->addMenu(text::kSelections);
    selections->setObjectName(QStringLiteral("SelectionsWindow1"));
    m_selectionsGroup = new QActionGroup(selections); // owned by the menu
    m_miWinSelecLeft = addItem(selections, QStringLiteral("miWinSelecLeft"), text::kLeft);
    m_miWinSelecRight = addItem(selections, QStringLiteral("miWinSelecRight"), text::kRight);
    m_miWinSelecFree = addItem(selections, QStringLiteral("miWinSelecFree"), text::kFree);
    for (QAction* item : {m_miWinPagesLeft, m_miWinPagesRight, m_miWinPagesFree}) {
        item->setCheckable(true);
        m_pagesGroup->addAction(item);
    }
    for (QAction* item : {m_miWinSelecLeft, m_miWinSelecRight, m_miWinSelecFree}) {
        item->setCheckable(true);
        m_selectionsGroup->addAction(item);
    }
    m_miWinPagesRight->setChecked(true);
    m_miWinSelecRight->setChecked(true);
    for (QAction* item : {m_miWinPagesLeft, m_miWinPagesRight, m_miWinPagesFree, m_miWinSelecLeft,
                          m_miWinSelecRight, m_miWinSelecFree}) {
        connect(item, &QAction::triggered, this, [this, item] { RadioMenuItemCheck(item); });
    }

    m_miDocked = addItem(windows, QStringLiteral("miDocked"), text::kDocked);
    m_miDocked->setCheckable(true);
    // The check changes only through the command itself, not by Qt's automatic toggling.
    connect(m_miDocked, &QAction::triggered, this, [this] {
        const QSignalBlocker block(m_miDocked);
        m_miDocked->setChecked(!m_miDocked->isChecked());
        miDockedClick();
    });
    buildProblemsCommands(windows);

    // The rectangle menu on the picture; the program opens it, never a right click by itself.
    m_shapePopUp = new QMenu(this); // owned by the window
    m_shapePopUp->setObjectName(QStringLiteral("ShapePopUp"));
    addItem(m_shapePopUp, QStringLiteral("puShapeDelete"), text::kShapeDelete);
    QMenu* moveTo = m_shapePopUp->addMenu(text::kShapeMoveToPage);
    moveTo->setObjectName(QStringLiteral("puShapeMoveToPage"));

    QMenu* help = bar->addMenu(text::kHelp);
    help->setObjectName(QStringLiteral("miHelp"));
    QAction* helpPage = addItem(help, QStringLiteral("miHelpContents"), text::kHelpContents, QKeySequence(Qt::Key_F1));
    connect(helpPage, &QAction::triggered, this, [this] { THelpForm::showFor(this); });
    QAction* about = addItem(help, QStringLiteral("miAbout"), text::kAbout);
    connect(about, &QAction::triggered, this, [this] { miAboutClick(); });
}

void TMainForm::setPageMenuEnabled(bool enabled)
{
    m_pageMenu->setEnabled(enabled);
    m_pageMenu->menuAction()->setEnabled(enabled);
    const QList<QAction*> items = m_pageMenu->actions();
    for (QAction* item : items)
        item->setEnabled(enabled);
}

TMovieDataForm& TMainForm::createMovieDataForm()
{
    m_movieData.reset();
    m_movieData = std::make_unique<TMovieDataForm>(m_project, m_dialogs, this);
    connect(m_movieData.get(), &TMovieDataForm::baseDirectoryChosen, this, [this](const QString& folder) {
        setWindowTitle(kAppTitle + text::kCaptionSeparator + folder + QStringLiteral("[*]"));
        if (QAction* saveAs = findChild<QAction*>(QStringLiteral("miMMSaveasINI")))
            saveAs->setEnabled(true);
    });
    return *m_movieData;
}

// --- caption ---------------------------------------------------------------------------------
QString TMainForm::documentName() const
{
    return m_project.documentName;
}

void TMainForm::setDocumentName(const QString& name)
{
    m_project.documentName = name;
    refreshCaption();
}

void TMainForm::refreshCaption()
{
    // "[*]" shows as "*" while the project has unsaved changes.
    setWindowTitle(kAppTitle + text::kCaptionSeparator + m_project.documentName + QStringLiteral("[*]"));
}

// --- settings --------------------------------------------------------------------------------
std::unique_ptr<QSettings> TMainForm::openSettings()
{
#ifdef Q_OS_WIN
    auto settings = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\") + text::kSettingsKey,
                                                QSettings::NativeFormat);
#else
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, text::kSettingsKey);
#endif
    // Only the user's own values count; system-wide defaults would hide a missing key.
    settings->setFallbacksEnabled(false);
    return settings;
}

void TMainForm::readSettings()
{
    const std::unique_ptr<QSettings> settings = openSettings();
    // Without the key the form keeps its own position.
    if (settings->allKeys().isEmpty())
        return;

    auto readPosition = [&settings](const QString& key) {
        bool ok = false;
        const int value = settings->value(key).toInt(&ok);
        return ok ? value : kUnreadablePosition;
    };
    const int top = readPosition(text::kTop);
    const int left = readPosition(text::kLeftKey);
    m_startPosition = QPoint(left, top);
    move(m_startPosition);
    m_positionRestored = true;

    // A missing value, an empty one or a folder that no longer exists leaves the current directory.
    const QVariant lastDir = settings->value(text::kLastDir);
    if (lastDir.isValid()) {
        const QString dir = lastDir.toString();
        if (!dir.isEmpty())
            QDir::setCurrent(dir);
    }
}

void TMainForm::writeSettings()
{
    const std::unique_ptr<QSettings> settings = openSettings();
    if (!settings->isWritable())
        return; // a store that cannot be written is left alone
    settings->setValue(text::kTop, pos().y());
    settings->setValue(text::kLeftKey, pos().x());
    settings->setValue(text::kLastDir, m_movieData ? m_movieData->baseDirectoryText() : QString());
    settings->sync();
}

void TMainForm::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_closing = true;
    if (m_video.isOpen())
        CloseVideo();
    writeSettings();
}

