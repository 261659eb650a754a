// The Problems tool window: the menu check run after the edits, its list, and going to a problem.
#include "workspace/problemsform.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QResizeEvent>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>

#include "edits/projectedits.h"
#include "editors/editorwidgets.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "media/countframes.h"
#include "moviedata/moviedataform.h"
#include "media/jpegdecoder.h"
#include "workspace/mainform.h"
#include "media/videosource.h"

namespace {

namespace text {
const QString kCaption = QStringLiteral("Problems");
const QString kProblem = QStringLiteral("Problem");
const QString kCode = QStringLiteral("Code");
const QString kError = QStringLiteral("Error");
const QString kWarning = QStringLiteral("Warning");
const QString kHint = QStringLiteral("Double click a problem to go to it.");
const QString kMore = QStringLiteral("... and %1 more (vrplmenu check lists them all)");
} // namespace text

constexpr int kInitialWidth = 560;
constexpr int kInitialHeight = 220;

// The severity is the problem's icon (and its hint); the sentence wraps, so that a narrow window,
// docked beside the picture, still shows it whole.
enum Column { ProblemColumn, CodeColumn };
// Narrower than this, the list shows the sentences only; the code stays in the hint.
constexpr int kCodeColumnMinWidth = 480;
// A menu with thousands of problems (every action after a chapter jump, say) lists the first ones
// only: filling the list with all of them after each edit would keep the author waiting, and the
// count says how many there are.
constexpr int kMaxRows = 500;
constexpr int kTargetRole = Qt::UserRole;

// Rows as high as their wrapped sentence in the column's width (a tree view asks its delegate for a
// row's height without saying how wide the column is).
class WrappingDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingDelegate(QTreeView* view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const int width = m_view->columnWidth(index.column());
        o.rect.setWidth(width);
        o.features |= QStyleOptionViewItem::WrapText;
        const QWidget* widget = m_view;
        const QRect text = widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &o, widget);
        const int textWidth = qMax(40, text.width());
        const QRect bounds = o.fontMetrics.boundingRect(QRect(0, 0, textWidth, 100000),
                                                        Qt::TextWordWrap | Qt::AlignLeft, o.text);
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), bounds.height() + 2 * kRowPadding));
        return size;
    }

private:
    static constexpr int kRowPadding = 3; // above and below the sentence
    QTreeView* m_view;
};

bool sameProblems(const std::vector<Problem>& a, const std::vector<Problem>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Problem& x, const Problem& y) {
        return x.severity == y.severity && x.code == y.code && x.text == y.text && x.where == y.where;
    });
}

} // namespace

TProblemsForm::TProblemsForm(MenuProject& project, ProjectEdits& edits, VideoSource& video, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_project(project), m_edits(edits), m_video(video)
{
    setObjectName(QStringLiteral("ProblemsForm"));
    setWindowTitle(text::kCaption);
    setAttribute(Qt::WA_AlwaysShowToolTips); // hints also while another window is active
    resize(kInitialWidth, kInitialHeight);

    lbProblemCount = new QLabel(this);
    lbProblemCount->setObjectName(QStringLiteral("lbProblemCount"));
    lbProblemCount->setToolTip(text::kHint);

    ProblemList = new QTreeWidget(this);
    ProblemList->setObjectName(QStringLiteral("ProblemList"));
    ProblemList->setColumnCount(2);
    ProblemList->setHeaderLabels({text::kProblem, text::kCode});
    ProblemList->setRootIsDecorated(false);
    ProblemList->setWordWrap(true);
    ProblemList->setItemDelegate(new WrappingDelegate(ProblemList)); // owned by the list
    // The heights follow the column's width. The handler knows the list only: the header can resize
    // while the window is being destroyed, after the window's own parts have gone but before its
    // children have.
    QTreeWidget* list = ProblemList;
    connect(list->header(), &QHeaderView::sectionResized, list, [list] { list->doItemsLayout(); });
    ProblemList->setToolTip(text::kHint);
    ProblemList->header()->setStretchLastSection(false);
    ProblemList->header()->setSectionResizeMode(ProblemColumn, QHeaderView::Stretch);
    ProblemList->header()->setSectionResizeMode(CodeColumn, QHeaderView::ResizeToContents);
    connect(ProblemList, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { showProblem(ProblemList->indexOfTopLevelItem(item)); });

    ProblemList->viewport()->installEventFilter(this); // shows the code column where there is room

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(lbProblemCount);
    layout->addWidget(ProblemList, 1);

    m_timer.setSingleShot(true);
    m_timer.setInterval(kCheckDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &TProblemsForm::refresh);

    // Every change to the project passes one of these: the steps of the undo stack (also its clearing
    // by New and Open), and the model signals, which also come from a page drag that moves the model
    // before its step is recorded.
    connect(&m_edits.stack(), &QUndoStack::indexChanged, this, &TProblemsForm::scheduleCheck);
    connect(&m_edits, &ProjectEdits::pagesChanged, this, &TProblemsForm::scheduleCheck);
    connect(&m_edits, &ProjectEdits::pageChanged, this, &TProblemsForm::scheduleCheck);
    connect(&m_edits, &ProjectEdits::selectionsChanged, this, &TProblemsForm::scheduleCheck);
    connect(&m_edits, &ProjectEdits::selectionChanged, this, &TProblemsForm::scheduleCheck);
    connect(&m_edits, &ProjectEdits::movieDataChanged, this, &TProblemsForm::scheduleCheck);

    m_pool.setMaxThreadCount(1);
    refresh();
}

TProblemsForm::~TProblemsForm()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void TProblemsForm::setWindows(TMainForm* main, TPageViewerForm* pages, TSelectionsViewerForm* selections)
{
    m_main = main;
    m_pages = pages;
    m_selections = selections;
    // The first check ran before the main window could say whether there is a project yet.
    refresh();
}

void TProblemsForm::scheduleCheck()
{
    m_timer.start(); // restarts while the edits go on
}

int TProblemsForm::errorCount() const
{
    return countProblems(m_problems, Severity::Error);
}

QString TProblemsForm::countText() const
{
    return problemCountText(m_problems);
}

// --- checking --------------------------------------------------------------------------------
CheckContext TProblemsForm::makeContext()
{
    CheckContext context;
    context.baseDirectory = m_project.baseDirectory;
    if (m_video.isOpen()) {
        context.menuFrameCount = m_video.FrameCount();
        context.pictureSize = QSize(m_video.pictureWidth(), m_video.pictureHeight());
    }
    context.countFrames = [this](const QString& path) -> std::optional<qint64> {
        const FileFact* fact = fileFact(FileKind::Movie, path);
        return fact ? fact->frames : std::nullopt;
    };
    context.pictureError = [this](const QString& path) -> QString {
        const FileFact* fact = fileFact(FileKind::Picture, path);
        return fact ? fact->pictureError : QString();
    };
    return context;
}

const TProblemsForm::FileFact* TProblemsForm::fileFact(FileKind kind, const QString& path)
{
    QHash<QString, FileFact>& facts = kind == FileKind::Movie ? m_movieFacts : m_pictureFacts;
    const QFileInfo info(path);
    const QDateTime modified = info.lastModified();
    const qint64 size = info.size();
    const auto known = facts.constFind(path);
    if (known != facts.cend() && known->modified == modified && known->size == size)
        return &*known;

    const QString pendingKey = (kind == FileKind::Movie ? QLatin1Char('m') : QLatin1Char('p')) + path;
    if (!m_pending.contains(pendingKey)) {
        m_pending.insert(pendingKey);
        m_pool.start([this, kind, path, pendingKey, modified, size] {
            FileFact fact;
            fact.modified = modified;
            fact.size = size;
            if (kind == FileKind::Movie) {
                const uint32_t frames = CountVideoFrames(path, {});
                if (frames > 0)
                    fact.frames = qint64(frames);
            } else {
                try {
                    QString warning;
                    decodeJpegFile(path, &warning);
                    fact.pictureError = warning;
                } catch (const JpegError& error) {
                    fact.pictureError = error.message();
                }
            }
            // The form waits for its worker before it goes, so it is there to take the answer.
            QMetaObject::invokeMethod(
                this,
                [this, kind, path, pendingKey, fact] {
                    (kind == FileKind::Movie ? m_movieFacts : m_pictureFacts).insert(path, fact);
                    m_pending.remove(pendingKey);
                    scheduleCheck();
                },
                Qt::QueuedConnection);
        });
    }
    return nullptr; // no answer yet: the check leaves this file out
}

void TProblemsForm::refresh()
{
    m_timer.stop();
    // Nothing to count before the author has a project (New or Open): the fields are out of reach.
    const bool aProject = !m_main || m_main->hasProject();
    std::vector<Problem> problems = aProject ? checkProject(m_project, makeContext()) : std::vector<Problem>{};

    // The rows lead to objects, taken now while the positions are those the check saw.
    m_targets.clear();
    m_targets.reserve(problems.size());
    for (const Problem& p : problems) {
        Target t;
        t.field = p.where.field;
        t.actionIndex = p.where.actionIndex;
        if (p.where.pageIndex >= 0 && size_t(p.where.pageIndex) < m_project.pages.size()) {
            Page& page = *m_project.pages[size_t(p.where.pageIndex)];
            t.page = &page;
            if (p.where.selectionIndex >= 0 && size_t(p.where.selectionIndex) < page.selections.size())
                t.selection = page.selections[size_t(p.where.selectionIndex)].get();
        }
        m_targets.push_back(t);
    }

    // A project without problems lists as little as no project, yet its count ("no problem") is news.
    if (sameProblems(problems, m_problems) && aProject == m_checkedAProject)
        return;
    m_checkedAProject = aProject;
    m_problems = std::move(problems);
    fillList();
    emit problemsChanged();
}

void TProblemsForm::fillList()
{
    // The chosen row stays chosen when it is still listed, so the list does not jump under the author.
    const QTreeWidgetItem* current = ProblemList->currentItem();
    const QString currentKey = current ? current->text(CodeColumn) + current->text(ProblemColumn) : QString();
    const int scrolled = ProblemList->verticalScrollBar() ? ProblemList->verticalScrollBar()->value() : 0;

    const QIcon errorIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    ProblemList->setUpdatesEnabled(false);
    ProblemList->clear();
    QList<QTreeWidgetItem*> items;
    const size_t shown = std::min(m_problems.size(), size_t(kMaxRows));
    items.reserve(qsizetype(shown) + 1);
    QTreeWidgetItem* again = nullptr;
    for (size_t i = 0; i < shown; ++i) {
        const Problem& p = m_problems[i];
        const bool error = p.severity == Severity::Error;
        auto* item = new QTreeWidgetItem({p.text, p.code});
        item->setIcon(ProblemColumn, error ? errorIcon : warningIcon);
        item->setToolTip(ProblemColumn, (error ? text::kError : text::kWarning) + QStringLiteral(" (") + p.code +
                                            QStringLiteral("): ") + p.text);
        items.append(item);
        if (!again && !currentKey.isEmpty() && p.code + p.text == currentKey)
            again = item;
    }
    if (shown < m_problems.size()) {
        auto* more = new QTreeWidgetItem({text::kMore.arg(m_problems.size() - shown)});
        more->setFlags(Qt::NoItemFlags);
        items.append(more);
    }
    const QIcon noteIcon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    for (const QString& line : std::as_const(m_notes)) {
        auto* note = new QTreeWidgetItem({line});
        note->setIcon(ProblemColumn, noteIcon);
        note->setFlags(Qt::ItemIsEnabled);
        items.append(note);
    }
    ProblemList->addTopLevelItems(items); // the list owns them
    if (again)
        ProblemList->setCurrentItem(again);
    ProblemList->verticalScrollBar()->setValue(scrolled);
    ProblemList->setUpdatesEnabled(true);
    lbProblemCount->setText(countText());
}

bool TProblemsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ProblemList->viewport() && event->type() == QEvent::Resize) {
        const bool room = static_cast<QResizeEvent*>(event)->size().width() >= kCodeColumnMinWidth;
        if (ProblemList->isColumnHidden(CodeColumn) == room)
            ProblemList->setColumnHidden(CodeColumn, !room);
    }
    return QWidget::eventFilter(watched, event);
}

void TProblemsForm::setNotes(const QStringList& lines)
{
    m_notes = lines;
    fillList();
}

// --- going to a problem ----------------------------------------------------------------------
void TProblemsForm::showProblem(int row)
{
    if (row < 0 || row >= kMaxRows || size_t(row) >= m_targets.size())
        return;
    const Target target = m_targets[size_t(row)];

    if (!target.page) {
        // A problem of the movie data: its dialog, on the field's tab, when its menu item would open
        // it (not before New or Open).
        const QAction* item = m_main ? m_main->findChild<QAction*>(QStringLiteral("miMovieData")) : nullptr;
        if (!m_main || !m_main->movieDataForm() || !item || !item->isEnabled())
            return;
        m_main->movieDataForm()->showField(target.field);
        m_main->miMovieDataClick();
        return;
    }

    // The page may have gone since the check (the list follows shortly): it is looked up, not used.
    const int pageRow = m_edits.pageIndex(target.page);
    if (pageRow < 0 || !m_pages)
        return;
    m_pages->selectRow(pageRow);
    m_pages->ShowPage(pageRow);
    if (target.selection && m_selections && m_edits.selectionIndex(target.page, target.selection) >= 0) {
        m_selections->SelectSelection(target.selection); // also picks its rectangle on the picture
        if (target.actionIndex >= 0 && target.actionIndex < m_selections->ActionsList->count()) {
            m_selections->ActionsList->setCurrentRow(target.actionIndex);
            m_selections->ActionsListClick();
        }
    }
    focusField(target);
}

void TProblemsForm::focusField(const Target& target)
{
    if (target.selection || !m_pages)
        return;
    const struct
    {
        const char* field;
        QWidget* control;
    } controls[] = {
        {"VideoRange", m_pages->edRange},
        {"PictureFile", m_pages->edPictureFileName},
        {"JumpAtEnd", m_pages->cbJumpAtEnd},
        {"ActionAtEnd", m_pages->lstActionAtEnd},
        {"DefaultSelection", m_pages->cbDefaultSelection},
        {"ProhibitSelectionBefore", m_pages->edProhibitSelBefore},
        {"ProhibitSelectionAfter", m_pages->edProhibitSelAfter},
    };
    for (const auto& c : controls) {
        // A control the author cannot see now (the page window docked behind this tab, the advanced
        // options folded away) keeps the focus where it is.
        if (target.field == QLatin1String(c.field) && c.control && c.control->isVisible()) {
            c.control->window()->activateWindow();
            c.control->setFocus(Qt::OtherFocusReason);
        }
    }
}
