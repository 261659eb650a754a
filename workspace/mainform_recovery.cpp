// Never losing work when the program does not end cleanly: a modified project is written now and
// then to a recovery file in the user's data folder, and a recovery file that a crash left behind is
// offered at the next start. Also the File menu's recent files and the menu file named on the
// command line.
#include "workspace/mainform.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QLockFile>
#include <QMenu>
#include <QSessionManager>
#include <QSettings>
#include <QSysInfo>
#include <QTimer>
#include <QUndoStack>

#include <utility>

#include "core/safefile.h"
#include "document/projectwriter.h"
#include "edits/projectedits.h"
#include "dialogs/dialogservice.h"

namespace {

namespace text {
const QString kOpenRecent = QStringLiteral("Open recent");
const QString kRecover = QStringLiteral("Recover unsaved work from %1?");
const QString kAutosaveFailed = QStringLiteral("Your unsaved work could not be kept safe in the recovery file. %1");
const QString kNoRecoveryFolder = QStringLiteral("Cannot create the folder %1.");
const QString kNoLongerExists = QStringLiteral("The file %1 no longer exists. It was removed from the recent files.");
const QString kNoSuchFile = QStringLiteral("The menu file %1 does not exist.");
const QString kRecentFilesKey = QStringLiteral("RecentFiles");
const QString kRecoveryFolder = QStringLiteral("recovery");
const QString kDocumentKey = QStringLiteral("document");
const QString kBaseDirectoryKey = QStringLiteral("baseDirectory");
} // namespace text

// Takes a lock that nobody holds or whose program has ended. Qt takes a lock written by a running
// process as held; after a restart a crashed program's lock can carry the process id this program
// has now, and that one is ours to clear.
bool takeLock(QLockFile& lock)
{
    lock.setStaleLockTime(0); // held as long as its program runs, however long that is
    if (lock.tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.error() == QLockFile::LockFailedError && lock.getLockInfo(&pid, &host, &application) &&
        pid == QCoreApplication::applicationPid() && host == QSysInfo::machineHostName()) {
        return lock.removeStaleLockFile() && lock.tryLock(0);
    }
    return false;
}

void storeRecentFiles(const QStringList& files)
{
    const std::unique_ptr<QSettings> settings = TMainForm::openSettings();
    if (!settings->isWritable())
        return; // a store that cannot be written is left alone
    settings->setValue(text::kRecentFilesKey, files);
    settings->sync();
}

} // namespace

// This program's recovery file: the project as a normal menu file ("autosave-PID.ini"), a note of
// the project's own name and base directory beside it (the menu file cannot hold them: the reader
// takes both from where the file lies), and a lock that tells other running copies of the program
// that these files are not left over from a crash. Each running program has files of its own, so two
// windows never write over each other's work.
class RecoverySlot : public QObject
{
public:
    RecoverySlot(const QString& folder, QObject* parent)
        : QObject(parent), folder(folder),
          base(QDir(folder).filePath(QStringLiteral("autosave-%1").arg(QCoreApplication::applicationPid()))),
          lock(base + QStringLiteral(".lock"))
    {
    }

    static QString menuFileOf(const QString& base) { return base + QStringLiteral(".ini"); }
    static QString noteOf(const QString& base) { return base + QStringLiteral(".json"); }

    // Empty when both files were written, else what went wrong in the file system's words.
    QString write(const QByteArray& menuFile, const QString& document, const QString& baseDirectory)
    {
        if (!lock.isLocked() && !(QDir().mkpath(folder) && takeLock(lock)))
            return text::kNoRecoveryFolder.arg(QDir::toNativeSeparators(folder));
        // The note first: a menu file without it would come back under the wrong name.
        const QJsonObject note{{text::kDocumentKey, document}, {text::kBaseDirectoryKey, baseDirectory}};
        for (const auto& [path, bytes] : {std::pair{noteOf(base), QJsonDocument(note).toJson()},
                                          std::pair{menuFileOf(base), menuFile}}) {
            const FileWriteResult written = writeFileSafely(path, bytes);
            if (!written)
                return fileWriteFailureText(path, written);
        }
        return {};
    }

    static void removeFiles(const QString& base)
    {
        QFile::remove(menuFileOf(base));
        QFile::remove(noteOf(base));
    }

    const QString folder;
    const QString base; // the files' path without extension
    QLockFile lock;
    QTimer timer;
    bool keepAtExit = false;
    bool failing = false; // the last autosave failed and the author was told
};

// --- autosave ---------------------------------------------------------------------------------
void TMainForm::restartAutosaveTimer()
{
    if (m_recovery && m_recovery->timer.interval() != m_autosaveIntervalMs)
        m_recovery->timer.start(m_autosaveIntervalMs);
}

void TMainForm::startAutosave(const QString& folder)
{
    if (m_recovery)
        return;
    m_recovery = new RecoverySlot(QDir(folder).filePath(text::kRecoveryFolder), this); // owned by the window
    connect(&m_recovery->timer, &QTimer::timeout, this, [this] {
        m_recovery->keepAtExit = false; // the session went on after all
        autosave();
    });
    m_recovery->timer.start(m_autosaveIntervalMs);
    if (m_edits) {
        // Saved (or undone back to the saved state): there is nothing left to recover.
        connect(&m_edits->stack(), &QUndoStack::cleanChanged, m_recovery, [this](bool clean) {
            if (clean)
                RecoverySlot::removeFiles(m_recovery->base);
        });
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::saveStateRequest, m_recovery, [this](QSessionManager&) { autosave(); });
        connect(app, &QGuiApplication::commitDataRequest, m_recovery, [this](QSessionManager& manager) {
            autosave();
            if (!isModified())
                return;
            if (manager.allowsInteraction()) {
                // The session is ending: the author decides as when closing the window, and Cancel
                // keeps the session.
                const bool goOn = maybeSave();
                manager.release();
                if (!goOn)
                    manager.cancel();
            } else {
                // Ended without asking: the work waits in the recovery file for the next start.
                m_recovery->keepAtExit = true;
            }
        });
    }
}

QString TMainForm::autosavePath() const
{
    return m_recovery ? RecoverySlot::menuFileOf(m_recovery->base) : QString();
}

void TMainForm::autosave()
{
    if (!m_recovery)
        return;
    if (!isModified()) {
        RecoverySlot::removeFiles(m_recovery->base);
        return;
    }
    // A project that a save check refuses has no menu file to write. The author hears of it when
    // saving; the autosave says nothing, keeps the last file it wrote and tries again next time.
    const std::optional<QByteArray> bytes = BuildMenuFile(m_project, [](const Message&) {});
    if (!bytes)
        return;
    const QString error = m_recovery->write(*bytes, m_project.documentName, m_project.baseDirectory);
    if (error.isEmpty()) {
        m_recovery->failing = false;
        return;
    }
    // The safety net is gone, which the author must know; once, not every two minutes while the disk
    // stays full. The status line says it each time.
    const QString shown = text::kAutosaveFailed.arg(error);
    showStatusMessage(shown);
    if (!m_recovery->failing)
        m_dialogs.showMessage({shown, kCaptionWarning, MessageIcon::Warning}, this);
    m_recovery->failing = true;
}

void TMainForm::endAutosave()
{
    if (!m_recovery)
        return;
    m_recovery->timer.stop();
    if (!m_recovery->keepAtExit)
        RecoverySlot::removeFiles(m_recovery->base);
    m_recovery->lock.unlock();
}

bool TMainForm::offerRecovery()
{
    if (!m_recovery)
        return false;
    const QFileInfoList found = QDir(m_recovery->folder)
                                    .entryInfoList({QStringLiteral("autosave-*.ini")}, QDir::Files, QDir::Time);
    for (const QFileInfo& menuFile : found) {
        const QString base = menuFile.absolutePath() + QLatin1Char('/') + menuFile.completeBaseName();
        if (base == m_recovery->base && m_recovery->lock.isLocked())
            continue; // this program's own
        QLockFile lock(base + QStringLiteral(".lock"));
        if (!takeLock(lock))
            continue; // its program is still running

        using Choice = DialogService::Choice;
        const QString when = QLocale().toString(menuFile.lastModified(), QLocale::ShortFormat);
        const bool recover = m_dialogs.ask(text::kRecover.arg(when), kAppTitle, {Choice::Yes, Choice::No}, this) ==
                             Choice::Yes;
        if (recover) {
            QFile note(RecoverySlot::noteOf(base));
            const QJsonObject origin =
                note.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(note.readAll()).object() : QJsonObject();
            QFile bytes(menuFile.absoluteFilePath());
            ProjectCopy copy;
            copy.bytes = bytes.open(QIODevice::ReadOnly) ? bytes.readAll() : QByteArray();
            copy.baseDirectory = origin.value(text::kBaseDirectoryKey).toString();
            const bool opened = OpenProject(origin.value(text::kDocumentKey).toString(kNewFileName), &copy);
            // Read like a file, yet not what is on the disk under that name: modified from the start,
            // and no undo brings it back to a saved state.
            if (opened && m_edits)
                m_edits->stack().resetClean();
            autosave(); // into this program's own file before the old one goes
        }
        // Declined work is thrown away, as the question implies; recovered work now lives on here.
        RecoverySlot::removeFiles(base);
        lock.unlock();
        if (recover)
            return true; // one project at a time; any other waits for the next start
    }
    return false;
}

// --- the command line ---------------------------------------------------------------------------
void TMainForm::openAtStart(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        m_dialogs.showMessage({text::kNoSuchFile.arg(QDir::toNativeSeparators(path)), kCaptionError, MessageIcon::Error},
                              this);
        return;
    }
    if (maybeSave())
        OpenProject(path);
}

// --- recent files -------------------------------------------------------------------------------
void TMainForm::buildRecentFiles()
{
    QMenu* file = findChild<QMenu*>(QStringLiteral("File1"));
    QAction* open = findChild<QAction*>(QStringLiteral("miMMOpenINI"));
    m_recentMenu = new QMenu(text::kOpenRecent, file); // owned by the File menu
    m_recentMenu->setObjectName(QStringLiteral("miMMOpenRecent"));
    const QList<QAction*> items = file->actions();
    file->insertMenu(items.value(items.indexOf(open) + 1), m_recentMenu); // right below "Open INI"
    // A fixed set of items whose texts change: an item is never deleted while it runs its command.
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* item = m_recentMenu->addAction(QString());
        item->setObjectName(QStringLiteral("miRecentFile%1").arg(i + 1));
        connect(item, &QAction::triggered, this, [this, item] { openRecentFile(item->data().toString()); });
    }
    // Another running copy of the program may have changed the list since.
    connect(m_recentMenu, &QMenu::aboutToShow, this, &TMainForm::refreshRecentFilesMenu);
    connect(this, &TMainForm::projectOpened, this, &TMainForm::rememberRecentFile);
    connect(this, &TMainForm::projectSaved, this, &TMainForm::rememberRecentFile);
    refreshRecentFilesMenu();
}

QStringList TMainForm::recentFiles() const
{
    return openSettings()->value(text::kRecentFilesKey).toStringList();
}

void TMainForm::rememberRecentFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return; // a file that could not be read is no file to go back to
    const QString entry = QDir::toNativeSeparators(info.absoluteFilePath());
    // Already the newest, as the menu shows: nothing to read or write, so saving again and again stays
    // as cheap as writing the file.
    const QList<QAction*> items = m_recentMenu->actions();
    if (!items.isEmpty() && items.constFirst()->isVisible() && items.constFirst()->data().toString() == entry)
        return;
    QStringList files = recentFiles();
    files.removeAll(entry);
    files.prepend(entry);
    while (files.size() > kRecentFileCount)
        files.removeLast();
    storeRecentFiles(files);
    refreshRecentFilesMenu();
}

void TMainForm::refreshRecentFilesMenu()
{
    const QStringList files = recentFiles();
    const QList<QAction*> items = m_recentMenu->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QAction* item = items.at(i);
        item->setVisible(i < files.size());
        if (i >= files.size())
            continue;
        QString shown = files.at(i);
        item->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown.replace(QLatin1Char('&'), QStringLiteral("&&"))));
        item->setData(files.at(i));
    }
    m_recentMenu->menuAction()->setEnabled(!files.isEmpty());
}

void TMainForm::openRecentFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        QStringList files = recentFiles();
        files.removeAll(path);
        storeRecentFiles(files);
        refreshRecentFilesMenu();
        m_dialogs.showMessage({text::kNoLongerExists.arg(path), kAppTitle, MessageIcon::Warning}, this);
        return;
    }
    if (maybeSave())
        OpenProject(path);
}
