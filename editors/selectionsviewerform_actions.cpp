// The action maker of the selection window: the type and parameter boxes, MakeAction, the drag panel,
// and the commands on the chosen selection's actions (add, drop, modify, delete, up, down).
#include "editors/selectionsviewerform.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/actiontypes.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "editors/dragdata.h"
#include "editors/editorwidgets.h"
#include "editors/pageviewerform.h"

namespace {

namespace text {
const QString kGroup = QStringLiteral(" Action maker ");
const QString kParameter = QStringLiteral("Parameter :");
const QString kDragDrop = QStringLiteral("drag & drop");
const QString kAddAction = QStringLiteral("Add action");
const QString kModify = QStringLiteral("Modify");
const QString kModifyHint = QStringLiteral("Modify the current action");
const QString kUp = QStringLiteral("Up");
const QString kDown = QStringLiteral("Down");
const QString kDelete = QStringLiteral("Delete");
const QString kChoosePage = QStringLiteral("Choose a page");
const QString kNoParameters = QStringLiteral("No parameters");
const QString kChapter = QStringLiteral("Enter chapter number");
const QString kMessage = QStringLiteral("Enter message");
const QString kSpecial = QStringLiteral("Enter special video feature number");
const QString kLanguage = QStringLiteral("Enter language number");
const QString kSubtitle = QStringLiteral("Enter subtitle number");
const QString kRelative = QStringLiteral("Jump to next page or previous page.");
const QString kNoSubtitle = QStringLiteral("0) No subtitle");
const QString kNull = QStringLiteral("NULL");
} // namespace text

constexpr int kEntryHeight = 15;
constexpr int kParameterRowsOpen = 32;
constexpr int kTypeRowsOpen = 16;

// Entries that point at a page read as the page's item text; all others as their own text.
class ParameterDelegate : public PageItemDelegate
{
public:
    using PageItemDelegate::PageItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (pageOfItem(index))
            PageItemDelegate::paint(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
    }
};

// The parameter box changes its style with the action type: a list of pages drawn as their item
// texts, a drop-down list of numbered entries, or a plain text entry.
class ParameterBox : public PageComboBox
{
public:
    explicit ParameterBox(QWidget* parent) : PageComboBox(parent)
    {
        setItemDelegate(new ParameterDelegate(kEntryHeight, this)); // owned by the box
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (!isEditable() && currentPage())
            PageComboBox::paintEvent(event);
        else
            QComboBox::paintEvent(event);
    }
};

// "k) text" for each text, k counted from `first`.
QStringList numbered(const QStringList& texts, int first)
{
    QStringList entries;
    entries.reserve(texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i)
        entries.append(QString::number(first + int(i)) + QStringLiteral(") ") + texts[i]);
    return entries;
}

QStringList numbers(int from, int to)
{
    QStringList entries;
    for (int k = from; k <= to; ++k)
        entries.append(QString::number(k));
    return entries;
}

template <typename T> QStringList column(const OwnedList<T>& list, QString T::*field)
{
    QStringList texts;
    texts.reserve(qsizetype(list.size()));
    for (const auto& element : list)
        texts.append((*element).*field);
    return texts;
}

} // namespace

void TSelectionsViewerForm::buildActionMaker()
{
    ActionsList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ActionsList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        ActionsListContextPopup();
        pmActionLst->popup(ActionsList->viewport()->mapToGlobal(at));
    });
    connect(ActionsList, &QListWidget::itemClicked, this, [this] { ActionsListClick(); });
    // Drops come to the list's viewport; the panel's data is all it takes.
    ActionsList->setAcceptDrops(true);
    ActionsList->viewport()->setAcceptDrops(true);
    ActionsList->viewport()->installEventFilter(this);

    pmActionLst = new QMenu(this); // owned by the window
    pmActionLst->setObjectName(QStringLiteral("pmActionLst"));
    auto entry = [this](const char* name, int icon, const QString& caption, const QKeySequence& key) {
        QAction* a = pmActionLst->addAction(ImageList1()[icon], caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        // The shortcuts work while the action list has the focus, as the popup's own would.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        ActionsList->addAction(a);
        return a;
    };
    QAction* up = entry("Up1", 3, text::kUp, QKeySequence(Qt::CTRL | Qt::Key_U));
    QAction* down = entry("Down1", 4, text::kDown, QKeySequence(Qt::CTRL | Qt::Key_D));
    pmActionLst->addSeparator();
    QAction* del = entry("Delete1", 2, text::kDelete, QKeySequence(Qt::Key_Delete));
    connect(up, &QAction::triggered, this, [this] { UpDownClick(-1); });
    connect(down, &QAction::triggered, this, [this] { UpDownClick(+1); });
    connect(del, &QAction::triggered, this, [this] { Delete1Click(); });
    // The shortcuts follow the same enabling rule as the popup.
    connect(ActionsList, &QListWidget::itemSelectionChanged, this, [this] { ActionsListContextPopup(); });
    ActionsListContextPopup();

    GroupBox1 = new QGroupBox(text::kGroup, this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* box = new QVBoxLayout(GroupBox1);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(2);

    cbAction = new QComboBox(GroupBox1);
    cbAction->setObjectName(QStringLiteral("cbAction"));
    cbAction->setMaxVisibleItems(kTypeRowsOpen);
    for (int code = 1; code <= kActionTypeCount; ++code)
        cbAction->addItem(actionDisplayName(code));
    cbAction->setCurrentIndex(0);
    box->addWidget(cbAction);

    Label2 = new QLabel(text::kParameter, GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    box->addWidget(Label2);
    cbActionParameter = new ParameterBox(GroupBox1);
    cbActionParameter->setObjectName(QStringLiteral("cbActionParameter"));
    cbActionParameter->setMaxVisibleItems(kParameterRowsOpen);
    cbActionParameter->setInsertPolicy(QComboBox::NoInsert);
    box->addWidget(cbActionParameter);

    auto* commands = new QHBoxLayout;
    commands->setSpacing(4);
    box->addLayout(commands);
    auto* panel = new QLabel(text::kDragDrop, GroupBox1); // a label is a frame that shows its caption
    panel->setObjectName(QStringLiteral("DragDropActionPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setCursor(Qt::OpenHandCursor);
    panel->installEventFilter(this);
    DragDropActionPanel = panel;
    commands->addWidget(DragDropActionPanel, 1);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    commands->addLayout(buttons);
    bttSelAddAction = new QPushButton(text::kAddAction, GroupBox1);
    bttSelAddAction->setObjectName(QStringLiteral("bttSelAddAction"));
    bttModifyCurrentAction = new QPushButton(text::kModify, GroupBox1);
    bttModifyCurrentAction->setObjectName(QStringLiteral("bttModifyCurrentAction"));
    bttModifyCurrentAction->setToolTip(text::kModifyHint);
    buttons->addWidget(bttSelAddAction);
    buttons->addWidget(bttModifyCurrentAction);
    static_cast<QVBoxLayout*>(layout())->addWidget(GroupBox1, 0);

    connect(cbAction, &QComboBox::currentIndexChanged, this, [this] { cbActionChange(); });
    connect(bttSelAddAction, &QPushButton::clicked, this, [this] { bttSelAddActionClick(); });
    connect(bttModifyCurrentAction, &QPushButton::clicked, this, [this] { bttModifyCurrentActionClick(); });

    // The lists offer what the project holds now, whether or not this window was ever activated (a
    // docked one may never be): pages that come, go or are renamed, chapters and the other movie data.
    connect(&m_edits, &ProjectEdits::pagesChanged, this, [this] { refreshParameters(); });
    connect(&m_edits, &ProjectEdits::pageChanged, this, [this] { refreshParameters(); });
    connect(&m_edits, &ProjectEdits::movieDataChanged, this, [this] { refreshParameters(); });
    // After an undo or a redo of an action edit, its selection is chosen again.
    connect(&m_edits, &ProjectEdits::stepReplayed, this, [this](Page*, Selection* selection) {
        if (selection && m_page && m_edits.selectionIndex(m_page, selection) >= 0)
            SelectSelection(selection);
    });

    cbActionChange();
}

// --- the parameter editor -------------------------------------------------------------------
void TSelectionsViewerForm::clearActionMaker()
{
    {
        const QSignalBlocker block(cbAction);
        cbAction->setCurrentIndex(0);
        cbAction->setToolTip(actionHelpText(ActJumpToPage));
    }
    const QSignalBlocker block(cbActionParameter);
    cbActionParameter->clear();
    cbActionParameter->clearEditText();
}

void TSelectionsViewerForm::cbActionChange()
{
    const int code = cbAction->currentIndex() + 1;
    if (code < 1)
        return;
    auto* box = static_cast<ParameterBox*>(cbActionParameter);
    const QSignalBlocker block(box);
    const MovieData& md = m_edits.project().movieData;

    auto list = [box](const QStringList& entries, const QString& hint) {
        box->setEditable(false);
        box->clear();
        box->addItems(entries);
        box->setCurrentIndex(entries.isEmpty() ? -1 : 0);
        box->setEnabled(true);
        box->setToolTip(hint);
    };

    switch (code) {
    case ActJumpToPage: {
        box->setEditable(false);
        QList<Page*> pages;
        for (const auto& p : m_edits.project().pages)
            pages.append(p.get());
        box->setPages(pages);
        box->setCurrentIndex(pages.isEmpty() ? -1 : 0);
        box->setEnabled(true);
        box->setToolTip(text::kChoosePage);
        break;
    }
    case ActPlayMovie:
    case ActReturnToMovie:
        // The box keeps its style and holds nothing.
        box->clear();
        box->clearEditText();
        box->setEnabled(false);
        box->setToolTip(text::kNoParameters);
        break;
    case ActPlayFromChapter:
        list(md.chapters.empty() ? numbers(1, 49) : numbered(column(md.chapters, &Chapter::name), 1), text::kChapter);
        break;
    case ActMessageBox:
        box->clear();
        box->setEditable(true);
        box->clearEditText();
        box->setEnabled(true);
        box->setToolTip(text::kMessage);
        break;
    case ActSpecialFeature:
        list(md.specials.empty() ? numbers(1, 49) : numbered(column(md.specials, &SpecialFeature::title), 1),
             text::kSpecial);
        break;
    case ActChangeLanguage:
        list(md.languages.empty() ? numbers(0, 5) : numbered(column(md.languages, &AudioLanguage::fullName), 0),
             text::kLanguage);
        break;
    case ActChangeSubtitle:
        list(md.subtitles.empty() ? numbers(0, 9)
                                  : QStringList{text::kNoSubtitle}
                                        + numbered(column(md.subtitles, &SubtitleTrack::fullName), 1),
             text::kSubtitle);
        break;
    case ActRelativeJump: {
        // The pages before and after the selected row of the page list, whatever page is shown.
        const int row = m_pages ? m_pages->selectedRow() : -1;
        auto nameAt = [this](int r) {
            const Page* page = m_pages ? m_pages->pageAt(r) : nullptr;
            return page ? page->name : text::kNull;
        };
        list({QStringLiteral("+1) Next page (") + nameAt(row + 1) + QLatin1Char(')'),
              QStringLiteral("-1) Previous page (") + nameAt(row - 1) + QLatin1Char(')')},
             text::kRelative);
        break;
    }
    default:
        break;
    }
    cbAction->setToolTip(actionHelpText(code));
}

bool TSelectionsViewerForm::takesListedParameter(int code)
{
    return code == ActJumpToPage || code == ActPlayFromChapter || code == ActSpecialFeature
           || code == ActChangeLanguage || code == ActChangeSubtitle || code == ActRelativeJump;
}

void TSelectionsViewerForm::refreshParameters()
{
    const int code = cbAction->currentIndex() + 1;
    if (!takesListedParameter(code))
        return; // a typed message stays as typed
    QComboBox* box = cbActionParameter;
    const int position = box->currentIndex();
    const QString text = box->itemText(position);
    void* const object = box->itemData(position, kObjectRole).value<void*>();
    cbActionChange();
    // The entry the next action would take stays chosen: the same page, or the same text, or the
    // same place in the list.
    int found = -1;
    for (int i = 0; i < box->count() && found < 0 && position >= 0; ++i) {
        if (object ? box->itemData(i, kObjectRole).value<void*>() == object : box->itemText(i) == text)
            found = i;
    }
    if (found < 0 && box->count() > 0)
        found = qBound(0, position, box->count() - 1);
    const QSignalBlocker block(box);
    box->setCurrentIndex(found);
}

std::unique_ptr<MenuAction> TSelectionsViewerForm::MakeAction()
{
    const int code = cbAction->currentIndex() + 1;
    if (takesListedParameter(code)) {
        refreshParameters(); // whatever changed since the list was last filled
        // A jump to nowhere is a broken menu: without an entry to take there is no action.
        if (cbActionParameter->count() == 0)
            return nullptr;
        if (cbActionParameter->currentIndex() < 0)
            cbActionParameter->setCurrentIndex(0);
    }
    auto action = std::make_unique<MenuAction>(code, QString());
    QComboBox* box = cbActionParameter;
    switch (code) {
    case ActPlayMovie:
    case ActReturnToMovie:
        break;
    case ActMessageBox:
        action->parameter = box->currentText(); // exactly as typed, ")" and all
        break;
    default: {
        // The entry up to its first ")": a chapter entry "2) Finale" gives 2, a page entry its number.
        const QString entry = box->currentText();
        const qsizetype close = entry.indexOf(QLatin1Char(')'));
        action->parameter = close < 0 ? entry : entry.left(close);
        // The next action takes the next entry; after the last, the first again.
        const int next = box->currentIndex() + 1;
        box->setCurrentIndex(next < box->count() ? next : 0);
        break;
    }
    }
    return action;
}

void TSelectionsViewerForm::changeEvent(QEvent* event)
{
    // Pages, chapters and other lists may have changed elsewhere while the window was inactive.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        cbActionChange();
    QWidget::changeEvent(event);
}

// --- the action list ------------------------------------------------------------------------
int TSelectionsViewerForm::currentActionRow() const
{
    const QList<QListWidgetItem*> chosen = ActionsList->selectedItems();
    return chosen.isEmpty() ? -1 : ActionsList->row(chosen.first());
}

void TSelectionsViewerForm::setActionRow(int row)
{
    if (row >= 0 && row < ActionsList->count()) {
        ActionsList->setCurrentRow(row);
    } else {
        ActionsList->setCurrentRow(-1);
        ActionsList->clearSelection();
    }
}

void TSelectionsViewerForm::ActionsListClick()
{
    const int row = currentActionRow();
    if (row < 0)
        return;
    const MenuAction* action = actionOfItem(ActionsList->model()->index(row, 0));
    if (!action)
        return;
    const int code = action->type;
    const bool known = code >= 1 && code <= kActionTypeCount;
    {
        const QSignalBlocker block(cbAction);
        cbAction->setCurrentIndex(known ? code - 1 : -1);
    }
    cbActionChange();
    QComboBox* box = cbActionParameter;
    const QSignalBlocker block(box);
    if (!known) {
        box->setCurrentIndex(-1);
        box->clearEditText();
    } else if (code == ActPlayMovie || code == ActMessageBox || code == ActReturnToMovie) {
        box->setEditText(action->parameter);
    } else {
        // The first entry that begins with the parameter; the first entry stays chosen otherwise.
        const QString& parameter = action->parameter;
        for (int i = 0; i < box->count(); ++i) {
            if (box->itemText(i).left(parameter.size()) == parameter) {
                box->setCurrentIndex(i);
                break;
            }
        }
    }
}

void TSelectionsViewerForm::bttSelAddActionClick()
{
    Selection* selection = chosenSelection();
    if (!selection)
        return;
    std::unique_ptr<MenuAction> action = MakeAction();
    if (!action)
        return;
    const int row = currentActionRow(); // the chosen entry stays chosen
    m_edits.insertAction(*selection, int(selection->actions.size()), std::move(action));
    setActionRow(row);
}

void TSelectionsViewerForm::bttModifyCurrentActionClick()
{
    Selection* selection = chosenSelection();
    const int row = currentActionRow();
    if (!selection || row < 0)
        return;
    std::unique_ptr<MenuAction> action = MakeAction();
    if (!action)
        return;
    m_edits.replaceAction(*selection, row, std::move(action));
    setActionRow(row);
}

void TSelectionsViewerForm::Delete1Click()
{
    Selection* selection = chosenSelection();
    const int row = currentActionRow();
    if (!selection || row < 0)
        return;
    m_edits.deleteAction(*selection, row);
    setActionRow(-1);
}

void TSelectionsViewerForm::UpDownClick(int step)
{
    Selection* selection = chosenSelection();
    const int row = currentActionRow();
    if (!selection || row < 0)
        return;
    const int target = row + step;
    if (target < 0 || target >= ActionsList->count())
        return;
    m_edits.swapActions(*selection, row, target);
    setActionRow(target); // the highlight follows the moved action
}

void TSelectionsViewerForm::ActionsListContextPopup()
{
    const int row = currentActionRow();
    const auto entries = pmActionLst->actions();
    for (QAction* a : entries) {
        if (a->objectName() == QLatin1String("Up1"))
            a->setEnabled(row > 0);
        else if (a->objectName() == QLatin1String("Down1"))
            a->setEnabled(row >= 0 && row < ActionsList->count() - 1);
        else if (a->objectName() == QLatin1String("Delete1"))
            a->setEnabled(row >= 0);
    }
}

// --- drag and drop --------------------------------------------------------------------------
QMimeData* TSelectionsViewerForm::actionDragData() const
{
    return dragdata::make(dragdata::kActionMime, DragDropActionPanel);
}

bool TSelectionsViewerForm::isActionDrag(const QMimeData* data) const
{
    return dragdata::isFrom(data, dragdata::kActionMime, DragDropActionPanel);
}

void TSelectionsViewerForm::startActionDrag()
{
    auto* drag = new QDrag(DragDropActionPanel); // owned by the panel; Qt disposes of it after the drop
    drag->setMimeData(actionDragData());
    drag->exec(Qt::CopyAction);
}

bool TSelectionsViewerForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DragDropActionPanel) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            m_dragArmed = mouse->button() == Qt::LeftButton;
            m_dragStart = mouse->position().toPoint();
            break;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_dragArmed && (mouse->buttons() & Qt::LeftButton)
                && (mouse->position().toPoint() - m_dragStart).manhattanLength() >= QApplication::startDragDistance()) {
                m_dragArmed = false;
                startActionDrag();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            m_dragArmed = false;
            break;
        default:
            break;
        }
    } else if (watched == ActionsList->viewport()) {
        // Only the panel's drag, and only onto a chosen selection.
        if (dragdata::answerCopyDrag(
                event, [this](const QMimeData* data) { return isActionDrag(data) && chosenSelection(); },
                [this](const QMimeData*) { bttSelAddActionClick(); }))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
