// File > Import DVD menus: the import runs on a thread of its own while a progress dialog with Cancel
// keeps the window alive; its result replaces the project as New does, and is left unsaved.
#include "workspace/mainform.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QUndoStack>

#include <atomic>
#include <thread>

#include "dialogs/dialogservice.h"
#include "document/projectwriter.h"
#include "dvdimport/dvdimport.h"
#include "edits/projectedits.h"
#include "workspace/problemsform.h"

namespace {
namespace text {
const QString kSourceCaption = QStringLiteral("Import DVD menus");
const QString kSourceFilter = QStringLiteral("DVD (VIDEO_TS.IFO, ISO image)|VIDEO_TS.IFO;*.ISO");
const QString kTargetCaption = QStringLiteral("Save the imported menu as");
const QString kTargetFilter = QStringLiteral("VRD menu INI file (*.ini)|*.INI");
const QString kImporting = QStringLiteral("Importing the menus of %1...");
const QString kCancel = QStringLiteral("Cancel");
const QString kCancelled = QStringLiteral("The import was cancelled; nothing was written.");
} // namespace text
} // namespace

void TMainForm::miImportDVDClick()
{
    if (!maybeSave())
        return;
    DialogService::FileDialogOptions source;
    source.caption = text::kSourceCaption;
    source.filter = text::kSourceFilter;
    source.startFolder = m_project.baseDirectory;
    const QStringList chosen = m_dialogs.getOpenFileNames(source, this);
    if (chosen.isEmpty())
        return;
    // VIDEO_TS.IFO stands for its folder; anything else is taken for an image.
    QString disc = chosen.constFirst();
    if (QFileInfo(disc).fileName().compare(QLatin1String("VIDEO_TS.IFO"), Qt::CaseInsensitive) == 0)
        disc = QFileInfo(disc).absolutePath();

    DialogService::FileDialogOptions target;
    target.caption = text::kTargetCaption;
    target.filter = text::kTargetFilter;
    target.defaultExtension = QStringLiteral("ini");
    target.startFolder = QFileInfo(disc).absolutePath();
    const QString menuFile = m_dialogs.getSaveFileName(target, this);
    if (menuFile.isEmpty())
        return;
    importDvd(disc, menuFile);
}

bool TMainForm::importDvd(const QString& source, const QString& menuFile)
{
    auto progress = std::make_unique<QProgressDialog>(text::kImporting.arg(QFileInfo(source).fileName()), text::kCancel,
                                                      0, 0, this);
    progress->setObjectName(QStringLiteral("ImportProgress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->show();

    std::atomic<bool> cancel{false};
    connect(progress.get(), &QProgressDialog::canceled, progress.get(), [&cancel] { cancel = true; });
    QEventLoop loop;
    QPointer<QProgressDialog> shown(progress.get());
    dvdimport::ImportOptions options;
    options.source = source;
    options.menuFile = QFileInfo(menuFile).absoluteFilePath();
    dvdimport::ImportCallbacks callbacks;
    callbacks.cancel = &cancel;
    callbacks.progress = [shown](int done, int total, const QString& what) {
        QMetaObject::invokeMethod(
            shown,
            [shown, done, total, what] {
                if (!shown)
                    return;
                shown->setMaximum(total);
                shown->setValue(done);
                shown->setLabelText(what);
            },
            Qt::QueuedConnection);
    };
    dvdimport::ImportResult result;
    // The loop waits for the import; the thread is joined before anything it uses goes away.
    std::thread worker([&] {
        result = dvdimport::importDvd(options, callbacks);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress->close();
    progress.reset();

    if (result.cancelled) {
        showStatusMessage(text::kCancelled, 5000);
        return false;
    }
    if (!result.ok) {
        m_dialogs.showMessage({result.error, kCaptionError, MessageIcon::Error}, this);
        return false;
    }
    // The project is read as the editors read a file, from the bytes it would be saved as.
    const std::optional<QByteArray> bytes = BuildMenuFile(result.project, m_dialogs.sinkFor(this));
    if (!bytes)
        return false;
    ProjectCopy copy;
    copy.bytes = *bytes;
    copy.baseDirectory = result.project.baseDirectory;
    const bool opened = OpenProject(QDir::toNativeSeparators(options.menuFile), &copy);
    // Not on the disk yet: modified from the start, so that leaving it asks.
    if (m_edits)
        m_edits->stack().resetClean();
    if (m_problems) {
        m_problems->setNotes(result.report.lines());
        if (!m_problems->isVisible())
            miWinProblemsClick();
    }
    return opened;
}
