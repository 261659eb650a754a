#pragma once

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <vector>

#include "check/menucheck.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class ProjectEdits;
class TMainForm;
class TPageViewerForm;
class TSelectionsViewerForm;
class VideoSource;
struct MenuProject;
struct Page;
struct Selection;

// The Problems tool window: every problem the player would meet in the menu, checked again shortly
// after each edit, and a double click that goes to where the problem is (the page, the selection's
// rectangle, or the movie data dialog on the right tab). It floats above the other windows or is
// docked into the main window as a tab, like the page and selection windows.
class TProblemsForm : public QWidget
{
    Q_OBJECT
public:
    // Edits come in runs (typing, nudging a rectangle): the check waits until they pause this long.
    static constexpr int kCheckDelayMs = 300;

    TProblemsForm(MenuProject& project, ProjectEdits& edits, VideoSource& video, QWidget* parent = nullptr);
    ~TProblemsForm() override;
    // The windows a double click shows things in; set by the start-up.
    void setWindows(TMainForm* main, TPageViewerForm* pages, TSelectionsViewerForm* selections);

    // Checks the project again once the edits pause.
    void scheduleCheck();
    bool checkPending() const { return m_timer.isActive(); }
    // Checks the project now (a save wants the state it has just written).
    void refresh();

    const std::vector<Problem>& problems() const { return m_problems; }
    int errorCount() const;
    // "2 errors, 5 warnings", as the main window's status line shows it.
    QString countText() const;

    // Lines shown below the problems until the next ones are set (the report of an import); an empty
    // list removes them.
    void setNotes(const QStringList& lines);
    const QStringList& notes() const { return m_notes; }

    // Goes to where the problem of a row is, as a double click on it does.
    void showProblem(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The list of problems changed (not every check changes it).
    void problemsChanged();

public:
    // Controls, by their objectName.
    QLabel* lbProblemCount = nullptr;
    QTreeWidget* ProblemList = nullptr;

private:
    // Where a row leads, held as the objects themselves: positions change with the next edit, the
    // objects stay (an edit that removes one keeps it alive in the undo stack, so a row of a removed
    // page is recognised by looking the page up, never by using it).
    QStringList m_notes;
    struct Target
    {
        Page* page = nullptr;
        Selection* selection = nullptr;
        int actionIndex = -1;
        QString field;
    };

    // What a file check found, with the file's state when it was looked at.
    struct FileFact
    {
        QDateTime modified;
        qint64 size = -1;
        std::optional<qint64> frames;
        QString pictureError;
    };
    enum class FileKind { Movie, Picture };

    CheckContext makeContext();
    // The remembered answer for a file; a file not seen yet or changed since is looked at on a worker
    // thread (counting a movie's frames or decoding a picture takes a while) and checked again when
    // the answer is in. Meanwhile the check has no answer for it, which skips that check, never
    // inventing a problem.
    const FileFact* fileFact(FileKind kind, const QString& path);
    void fillList();
    void focusField(const Target& target);

    MenuProject& m_project;
    ProjectEdits& m_edits;
    VideoSource& m_video;
    QPointer<TMainForm> m_main;
    QPointer<TPageViewerForm> m_pages;
    QPointer<TSelectionsViewerForm> m_selections;

    QTimer m_timer;
    std::vector<Problem> m_problems;
    bool m_checkedAProject = false; // the last check had a project to check (an empty list is news then)
    std::vector<Target> m_targets;

    QHash<QString, FileFact> m_movieFacts;
    QHash<QString, FileFact> m_pictureFacts;
    QSet<QString> m_pending; // kind letter + path, for files being looked at now
    // One worker: the machine's other core stays for the user. Declared last, so it is waited for
    // before anything its jobs report to goes away.
    QThreadPool m_pool;
};
