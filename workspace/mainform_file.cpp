// The document commands of the main window: New, Open, Save, Save as, Movie Data, the Page menu's
// commands and page navigation, and never losing work: the modified mark in the caption and the
// question before a project with changes is replaced or the program ends.
#include "workspace/mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QProgressDialog>
#include <QUndoStack>

#include <algorithm>

#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "edits/projectedits.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "workspace/problemsform.h"
#include "moviedata/moviedataform.h"
#include "dialogs/dialogservice.h"
#include "core/paths.h"
#include "media/videosource.h"

namespace {

namespace text {
const QString kOpenFilter = QStringLiteral("VRPL INI files (*.ini;*.vrm)|*.INI;*.VRM");
const QString kSaveFilter = QStringLiteral("VRD menu INI file (*.ini)|*.INI");
// The filter shows "*.ini": a name typed without extension gets the one the author saw.
const QString kSaveExtension = QStringLiteral("ini");
const QString kSaveChanges = QStringLiteral("Save changes to %1?");
const QString kOpenCaption = QStringLiteral("Open menu file");
const QString kSaveAsCaption = QStringLiteral("Save menu file as");
const QString kOpening = QStringLiteral("Opening %1...");
const QString kCancel = QStringLiteral("Cancel");
const QString kNotAMenuFile = QStringLiteral("%1 is not a menu file; the open menu stays as it was");
const QString kNotReadCompletely =
    QStringLiteral("%1 was not read completely: saving now writes only what was read (%2 pages). Save anyway?");
} // namespace text

// Whether two names lead to the same file, also when one was typed differently.
bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return fa.absoluteFilePath() == fb.absoluteFilePath();
}

// Ends the reading of a file when the user cancels its progress dialog.
struct OpenCancelled
{
};

} // namespace

void TMainForm::buildFileCommands()
{
    auto on = [this](const char* name, auto handler) {
        QAction* a = findChild<QAction*>(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    on("miNew", [this] { miNewClick(); });
    on("miMMOpenINI", [this] { miMMOpenINIClick(); });
    on("miMMSaveINI", [this] { miMMSaveINIClick(); });
    on("miMMSaveasINI", [this] { miMMSaveasINIClick(); });
    on("miMovieData", [this] { miMovieDataClick(); });
    on("miImportDVD", [this] { miImportDVDClick(); });
    QAction* quit = findChild<QAction*>(QStringLiteral("miMMQuit"));
    disconnect(quit, nullptr, this, nullptr);
    connect(quit, &QAction::triggered, this, [this] { miMMQuitClick(); });

    // The Page menu runs the page window's buttons, with their checks and messages.
    on("MenuItemNewPage", [this] { if (m_pages) m_pages->bttAddClick(); });
    on("MenuItemDeletePage", [this] { if (m_pages) m_pages->bttDelClick(); });
    on("MenuItemModifyNamePage", [this] { if (m_pages) m_pages->bttModifyClick(); });
    on("MenuItemFirstFramePage", [this] { if (m_pages) m_pages->bttFirstClick(); });
    on("MenuItemLastFramePage", [this] { if (m_pages) m_pages->bttLastClick(); });
    on("miGotoPreviousPage", [this] { miGotoPreviousPageClick(); });
    on("miGotoNextPage", [this] { miGotoNextPageClick(); });
}

void TMainForm::setModalRunner(std::function<int(QDialog&)> runner)
{
    m_runModal = std::move(runner);
}

int TMainForm::runModal(QDialog& dialog)
{
    return m_runModal ? m_runModal(dialog) : dialog.exec();
}

void TMainForm::watchModified()
{
    connect(&m_edits->stack(), &QUndoStack::cleanChanged, this, [this](bool clean) { setWindowModified(!clean); });
}

bool TMainForm::isModified() const
{
    return m_edits && !m_edits->stack().isClean();
}

QString TMainForm::caption() const
{
    QString shown = windowTitle();
    shown.replace(QStringLiteral("[*]"), isWindowModified() ? QStringLiteral("*") : QString());
    return shown;
}

// --- never losing work ------------------------------------------------------------------------
bool TMainForm::maybeSave()
{
    // Values typed into the page fields but not applied come first: applying them changes the project.
    if (m_pages && !m_pages->confirmLeavePage())
        return false;
    if (!isModified())
        return true;
    const QString name = QFileInfo(m_project.documentName).fileName();
    using Choice = DialogService::Choice;
    switch (m_dialogs.ask(text::kSaveChanges.arg(name), kAppTitle, {Choice::Save, Choice::Discard, Choice::Cancel}, this)) {
    case Choice::Save:
        return SaveProject(m_project.documentName == kNewFileName);
    case Choice::Discard:
        return true;
    default:
        return false;
    }
}

void TMainForm::miMMQuitClick()
{
    if (maybeSave())
        QCoreApplication::exit(0);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program, also while the tool windows are still open; with
    // unsaved changes the author is asked first.
    if (!m_closing && !maybeSave()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::exit(0);
}

// --- New ------------------------------------------------------------------------------------
void TMainForm::clearProject()
{
    m_incompleteFile.clear();
    if (m_problems)
        m_problems->setNotes({});
    if (m_pages)
        m_pages->ClearPages();
    if (m_selections)
        m_selections->ClearSelections();
    m_project.reset();
    createMovieDataForm();
    if (m_edits) {
        m_edits->stack().clear();
        m_edits->stack().setClean();
    }
}

void TMainForm::miNewClick()
{
    if (!maybeSave())
        return;
    clearProject();
    setDocumentName(kNewFileName);
    // The whole picture in the window's background colour.
    QImage blank = picture().isNull() ? QImage() : QImage(picture().size(), QImage::Format_RGB32);
    if (!blank.isNull())
        blank.fill(palette().color(QPalette::Button));
    m_videoImage->setImage(blank);
    if (m_video.isOpen())
        CloseVideo();

    MovieData before = cloneMovieData(m_project.movieData);
    const QString baseBefore = m_project.baseDirectory;
    const int result = runModal(*m_movieData);
    // What was typed is one step, so that a new project with its movie data counts as changed.
    if (m_edits)
        m_edits->recordMovieData(std::move(before), baseBefore);
    if (result == QDialog::Accepted)
        m_projectBegun = true;
    emit movieDataClosed();
    if (result != QDialog::Accepted)
        return; // the menu items keep their state
    if (!m_project.movieData.menuAVIName.isEmpty()) {
        OpenVideo(menuVideoPath());
        setPageMenuEnabled(true);
    }
    for (const char* name : {"miMovieData", "miMMSaveINI", "miMMSaveasINI"})
        findChild<QAction*>(QString::fromLatin1(name))->setEnabled(true);
}

QString TMainForm::menuVideoPath() const
{
    return paths::resolve(m_project.baseDirectory, m_project.movieData.menuDirectory, m_project.movieData.menuAVIName);
}

// --- Movie Data -------------------------------------------------------------------------------
void TMainForm::miMovieDataClick()
{
    const QString aviBefore = m_project.movieData.menuAVIName;
    MovieData before = cloneMovieData(m_project.movieData);
    const QString baseBefore = m_project.baseDirectory;
    runModal(*m_movieData);
    // The dialog edited the project in place; one showing that changed anything is one step.
    if (m_edits)
        m_edits->recordMovieData(std::move(before), baseBefore);
    emit movieDataClosed();
    if (m_project.movieData.menuAVIName != aviBefore) {
        OpenVideo(menuVideoPath());
        setPageMenuEnabled(true);
    }
    if (m_pages)
        m_pages->PageList->viewport()->update(); // the start, menu, chapters and specials marks
}

// --- Open -----------------------------------------------------------------------------------
void TMainForm::miMMOpenINIClick()
{
    if (!maybeSave())
        return;
    DialogService::FileDialogOptions options;
    options.caption = text::kOpenCaption;
    options.filter = text::kOpenFilter;
    options.startFolder = m_project.baseDirectory;
    const QStringList chosen = m_dialogs.getOpenFileNames(options, this);
    if (chosen.isEmpty())
        return;
    OpenProject(chosen.constFirst());
}

bool TMainForm::OpenProject(const QString& path, const ProjectCopy* copy)
{
    // The file is read on the side first: only a menu file may replace the open project. A video, a
    // picture or another program's settings picked by mistake leaves everything as it was, so that
    // no later Save can write the menu over that file.
    {
        MenuProject probe;
        QList<Message> messages;
        const auto collect = [&messages](const Message& m) { messages.append(m); };
        const LoadReport report = copy ? LoadProjectFromBytes(copy->bytes, path, probe, collect)
                                       : LoadProject(path, probe, collect);
        if (!report.menuFile) {
            QWidget* owner = m_pages ? static_cast<QWidget*>(m_pages) : this;
            for (const Message& m : std::as_const(messages))
                m_dialogs.showMessage(m, owner);
            m_dialogs.showMessage({text::kNotAMenuFile.arg(QFileInfo(path).fileName()), kCaptionError, MessageIcon::Error},
                                  this);
            return false;
        }
    }

    clearProject();
    m_projectBegun = true;
    setDocumentName(QDir::toNativeSeparators(path));
    for (const char* name : {"miMovieData", "miMMSaveasINI", "miMMSaveINI"})
        findChild<QAction*>(QString::fromLatin1(name))->setEnabled(true);
    setPageMenuEnabled(true);
    ShowCrosshair(false);

    // Reading is quick; making the thumbnails of a large menu is not. A progress dialog appears when
    // the whole takes longer than half a second, and cancelling it leaves an empty new project. It is
    // made only then, from the reading itself: a dialog that showed itself from a timer could come up
    // over a message box that is waiting for the author, and block it.
    std::unique_ptr<QProgressDialog> progress;
    QElapsedTimer clock;
    clock.start();
    int pagesRead = 0;
    int progressMaximum = 0;
    auto step = [&](int done) {
        if (!progress && clock.elapsed() >= m_openProgressDelay) {
            progress = std::make_unique<QProgressDialog>(text::kOpening.arg(QFileInfo(path).fileName()), text::kCancel,
                                                         0, progressMaximum, this);
            progress->setObjectName(QStringLiteral("OpenProgress"));
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            progress->show();
        }
        if (!progress)
            return;
        progress->setMaximum(progressMaximum);
        progress->setValue(done);
        if (progress->wasCanceled())
            throw OpenCancelled{};
    };
    auto closeProgress = [&] {
        if (progress)
            progress->close();
    };

    // A message comes above the progress dialog while that is up, where the author can answer it.
    const MessageSink sink = [&](const Message& m) {
        QWidget* owner = m_pages ? static_cast<QWidget*>(m_pages) : this;
        if (progress && progress->isVisible())
            owner = progress.get();
        m_dialogs.showMessage(m, owner);
    };

    std::vector<Page*> videoPages;
    LoadHooks hooks;
    hooks.beforePages = [this, copy](MenuProject& project) {
        if (copy)
            project.baseDirectory = copy->baseDirectory;
        if (!project.movieData.menuAVIName.isEmpty())
            OpenVideo(menuVideoPath());
        else if (m_video.isOpen())
            CloseVideo();
    };
    hooks.pageRead = [&](Page& page) {
        step(++pagesRead);
        if (page.backgroundIsVideo) {
            videoPages.push_back(&page); // its thumbnail comes with all the others, in frame order
            return;
        }
        if (!page.pictureFile.isEmpty()) {
            try {
                ShowPicture(paths::resolve(m_project.baseDirectory, m_project.movieData.menuDirectory, page.pictureFile));
                FitToPicture(picture().width(), picture().height());
            } catch (const std::exception& error) {
                // The page is read all the same; only its picture is missing.
                sink({QString::fromUtf8(error.what()), kCaptionError, MessageIcon::Error});
            }
        }
        page.thumbnail = QVariant::fromValue(m_pages ? m_pages->makeThumbnail() : QImage());
    };

    LoadReport report;
    try {
        report = copy ? LoadProjectFromBytes(copy->bytes, path, m_project, sink, hooks)
                      : LoadProject(path, m_project, sink, hooks);
        if (copy)
            m_project.baseDirectory = copy->baseDirectory; // also when the head stopped the reading
        // The thumbnails of the video pages, decoded in frame order in one pass; the pass is cut into
        // parts along that order only so that the progress dialog can move and be cancelled.
        std::sort(videoPages.begin(), videoPages.end(),
                  [](const Page* a, const Page* b) { return a->firstFrame < b->firstFrame; });
        progressMaximum = int(videoPages.size()) + pagesRead;
        const size_t chunk = 100;
        for (size_t from = 0; from < videoPages.size(); from += chunk) {
            step(pagesRead + int(from));
            const size_t to = std::min(videoPages.size(), from + chunk);
            std::vector<int> part;
            for (size_t i = from; i < to; ++i)
                part.push_back(videoPages[i]->firstFrame);
            // As sharp as the page list shows them on a screen that scales the windows.
            const qreal ratio = m_pages ? m_pages->devicePixelRatioF() : 1.0;
            const QSize size = (QSizeF(TPageViewerForm::kThumbnailWidth, TPageViewerForm::kThumbnailHeight) * ratio).toSize();
            const std::vector<QImage> pictures = m_video.thumbnails(part, size);
            for (size_t i = 0; i < pictures.size(); ++i) {
                QImage t = pictures[i].isNull() ? (m_pages ? m_pages->makeThumbnail() : QImage())
                                                : pictures[i].convertToFormat(QImage::Format_RGB32);
                t.setDevicePixelRatio(ratio);
                videoPages[from + i]->thumbnail = QVariant::fromValue(t);
            }
        }
    } catch (const OpenCancelled&) {
        closeProgress();
        clearProject();
        setDocumentName(kNewFileName);
        if (m_video.isOpen())
            CloseVideo();
        ShowCrosshair(true);
        return false;
    }
    closeProgress();

    if (m_movieData) {
        using Field = TMovieDataForm::RequiredField;
        auto colour = [this](Field f, FieldState s) {
            if (s != FieldState::NotRead)
                m_movieData->setRequiredFieldColour(f, s == FieldState::Found);
        };
        colour(Field::Title, report.title);
        colour(Field::ID, report.id);
        colour(Field::MovieAVIName, report.aviName);
        if (report.movieDirectory == FieldState::Found)
            m_movieData->setRequiredFieldColour(Field::BaseDirectory, true);
        m_movieData->loadFromProject();
    }
    setDocumentName(m_project.documentName);

    // The frame display is refreshed before the first page is shown: refreshed after it, it would put
    // the video's frame over a still page's picture, under that page's rectangles.
    VideoTrackBarChange();
    if (m_pages) {
        m_pages->refreshList();
        m_pages->refreshJumpAtEnd(false);
        m_pages->selectRow(m_pages->pageCount() > 0 ? 0 : -1);
        m_pages->ShowPage(m_pages->pageCount() > 0 ? 0 : -1);
    }
    ShowCrosshair(true);
    if (m_edits) {
        m_edits->stack().clear();
        m_edits->stack().setClean();
    }
    // What was read stays, under the file's own name; but the project is not what the file holds, so
    // it counts as modified and the first save over that file asks.
    const bool complete = report.fileReadable && report.headComplete && report.pagesRead && report.messageCount == 0;
    if (!complete) {
        m_incompleteFile = path;
        if (m_edits)
            m_edits->stack().resetClean();
    }
    if (!copy)
        emit projectOpened(path);
    return report.fileReadable;
}

// --- Save -----------------------------------------------------------------------------------
void TMainForm::miMMSaveINIClick()
{
    SaveProject(m_project.documentName == kNewFileName);
}

void TMainForm::miMMSaveasINIClick()
{
    SaveProject(true);
}

bool TMainForm::SaveProject(bool askForName)
{
    // The project takes a new name only once the file under it holds the project: a Save as that
    // fails (a check, a folder that refuses the file, a name that is not a menu file) leaves the
    // project where it was, so that the next Save, and the question before quitting, name a file
    // the project was really read from or saved to.
    QString target = m_project.documentName;
    if (askForName) {
        DialogService::FileDialogOptions options;
        options.caption = text::kSaveAsCaption;
        options.filter = text::kSaveFilter;
        options.defaultExtension = text::kSaveExtension;
        options.startFolder = m_project.baseDirectory;
        const QString chosen = m_dialogs.getSaveFileName(options, this);
        if (chosen.isEmpty())
            return false;
        target = QDir::toNativeSeparators(chosen);
    }
    if (!m_incompleteFile.isEmpty() && sameFile(target, m_incompleteFile)) {
        using Choice = DialogService::Choice;
        const QString question = text::kNotReadCompletely.arg(QFileInfo(target).fileName()).arg(m_project.pages.size());
        switch (m_dialogs.ask(question, kAppTitle, {Choice::SaveAs, Choice::SaveAnyway, Choice::Cancel}, this)) {
        case Choice::SaveAs:
            return SaveProject(true);
        case Choice::SaveAnyway:
            break;
        default:
            return false;
        }
    }
    if (!SaveProjectFile(m_project, target, m_dialogs.sinkFor(this)))
        return false;
    setDocumentName(target);
    if (!m_incompleteFile.isEmpty() && sameFile(target, m_incompleteFile))
        m_incompleteFile.clear(); // the author chose to write what was read there
    if (m_edits)
        m_edits->stack().setClean();
    emit projectSaved(target);
    return true;
}

// --- page navigation --------------------------------------------------------------------------
void TMainForm::miGotoNextPageClick()
{
    if (!m_pages || !m_pages->confirmLeavePage())
        return;
    const int n = m_pages->pageCount();
    const int i = m_pages->selectedRow();
    const int row = i < n - 1 && i >= 0 ? i + 1 : 0;
    m_pages->selectRow(n > 0 ? row : -1);
    m_pages->ShowPage(m_pages->selectedRow());
}

void TMainForm::miGotoPreviousPageClick()
{
    if (!m_pages || !m_pages->confirmLeavePage())
        return;
    const int i = m_pages->selectedRow();
    m_pages->selectRow(i <= 0 ? 0 : i - 1);
    m_pages->ShowPage(m_pages->selectedRow());
}
