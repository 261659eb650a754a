// The selection tool window: the list of the current page's selections, renamed in place, and the
// actions of the chosen selection.
#include "editors/selectionsviewerform.h"

#include <QHeaderView>
#include <QLabel>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "document/areatext.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "editors/editorwidgets.h"
#include "editors/pageviewerform.h"
#include "workspace/mainform.h"
#include "workspace/rshape.h"

namespace {
const QString kCaption = QStringLiteral("Selections");
const QString kColumn = QStringLiteral("Selection");
const QString kActionsLabel = QStringLiteral("Actions for current selection :");
const QString kRename = QStringLiteral("&Rename");
const QString kDeleteSelection = QStringLiteral("&Delete");
const QString kActionsHint = QStringLiteral("Use \"Action maker\" drag & drop \nor Add button to add an action \nto the list.");
constexpr int kInitialWidth = 230;
constexpr int kInitialHeight = 620;
constexpr int kActionRowHeight = 13;

Selection* selectionOf(const QTreeWidgetItem* item)
{
    return item ? static_cast<Selection*>(item->data(0, kObjectRole).value<void*>()) : nullptr;
}
} // namespace

TSelectionsViewerForm::TSelectionsViewerForm(ProjectEdits& edits, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_edits(edits)
{
    setObjectName(QStringLiteral("SelectionsViewerForm"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_AlwaysShowToolTips); // hints also while another window is active
    setMinimumSize(kMinWidth, kMinHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    SelectionList = new QTreeWidget(this);
    SelectionList->setObjectName(QStringLiteral("SelectionList"));
    SelectionList->setColumnCount(1);
    SelectionList->setHeaderLabels({kColumn});
    SelectionList->setHeaderHidden(true);
    SelectionList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    SelectionList->setRootIsDecorated(false);
    SelectionList->setSelectionMode(QAbstractItemView::SingleSelection);
    SelectionList->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Renamed in place as in a file list: a click on the chosen entry, a double click, or F2.
    SelectionList->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked
                                   | QAbstractItemView::EditKeyPressed);
    connect(SelectionList, &QTreeWidget::currentItemChanged, this, [this] {
        if (!m_listing)
            SelectionListClick();
    });
    connect(SelectionList, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (!m_listing)
            SelectionListEdited(item);
    });
    layout->addWidget(SelectionList, 1);
    buildSelectionCommands();
    buildAreaFields();

    Label1 = new QLabel(kActionsLabel, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);

    ActionsList = new QListWidget(this);
    ActionsList->setObjectName(QStringLiteral("ActionsList"));
    ActionsList->setToolTip(kActionsHint);
    ActionsList->setItemDelegate(new ActionItemDelegate(kActionRowHeight, QPoint(4, 0), ActionsList));
    layout->addWidget(ActionsList, 1);
    buildActionMaker(); // below the lists

    resize(kInitialWidth, kInitialHeight);

    // A rename undone or redone shows at once.
    connect(&m_edits, &ProjectEdits::selectionChanged, this, [this](Selection* selection) {
        const bool was = m_listing;
        m_listing = true;
        for (int i = 0; i < SelectionList->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = SelectionList->topLevelItem(i);
            if (selectionOf(item) == selection) {
                item->setText(0, selection->name);
                item->setToolTip(0, selection->name);
            }
        }
        m_listing = was;
        if (selection == chosenSelection()) {
            fillActions(selection);
            fillAreaFields();
        }
    });
}

// Delete and Rename on the list, from its context menu and from the keyboard while it has the
// focus, as in the page and action lists.
void TSelectionsViewerForm::buildSelectionCommands()
{
    pmSelectionList = new QMenu(this); // owned by the window
    pmSelectionList->setObjectName(QStringLiteral("pmSelectionList"));
    auto entry = [this](const char* name, const QString& caption, const QKeySequence& key) {
        QAction* a = pmSelectionList->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        SelectionList->addAction(a);
        return a;
    };
    QAction* rename = entry("miRenameSelection", kRename, QKeySequence(Qt::Key_F2));
    QAction* del = entry("miDeleteSelection", kDeleteSelection, QKeySequence(Qt::Key_Delete));
    connect(rename, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem* item = SelectionList->currentItem())
            SelectionList->editItem(item, 0);
    });
    // The rectangles picked on the picture are the selections picked here: Delete removes them all,
    // as Delete on the picture does.
    connect(del, &QAction::triggered, this, [this] {
        if (m_main && chosenSelection())
            m_main->Delete1Click();
    });
    auto refresh = [this, rename, del] {
        rename->setEnabled(chosenSelection() != nullptr);
        del->setEnabled(chosenSelection() != nullptr);
    };
    connect(SelectionList, &QTreeWidget::currentItemChanged, this, refresh);
    refresh();
    SelectionList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SelectionList, &QTreeWidget::customContextMenuRequested, this, [this, refresh](const QPoint& at) {
        refresh();
        pmSelectionList->popup(SelectionList->viewport()->mapToGlobal(at));
    });
}

void TSelectionsViewerForm::buildAreaFields()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    QSpinBox** fields[4] = {&edAreaLeft, &edAreaTop, &edAreaRight, &edAreaBottom};
    const char* names[4] = {"edAreaLeft", "edAreaTop", "edAreaRight", "edAreaBottom"};
    const char* hints[4] = {"Left", "Top", "Right", "Bottom"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QSpinBox(this); // owned by the window
        box->setObjectName(QString::fromLatin1(names[i]));
        box->setToolTip(QString::fromLatin1(hints[i]));
        box->setRange(0, 99999);
        // A typed number counts when it is complete (Enter, leaving the field), not at every digit.
        box->setKeyboardTracking(false);
        box->setEnabled(false);
        connect(box, &QSpinBox::valueChanged, this, [this, i] {
            if (!m_listing)
                areaFieldChanged(i);
        });
        row->addWidget(box);
        *fields[i] = box;
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

void TSelectionsViewerForm::fillAreaFields()
{
    const bool was = m_listing;
    m_listing = true;
    Selection* selection = chosenSelection();
    const std::optional<AreaRect> area = selection ? parseArea(selection->area) : std::nullopt;
    const int values[4] = {area ? area->left : 0, area ? area->top : 0, area ? area->right : 0,
                           area ? area->bottom : 0};
    QSpinBox* fields[4] = {edAreaLeft, edAreaTop, edAreaRight, edAreaBottom};
    for (int i = 0; i < 4; ++i) {
        fields[i]->setEnabled(area.has_value());
        fields[i]->setValue(values[i]);
    }
    m_listing = was;
}

void TSelectionsViewerForm::areaFieldChanged(int field)
{
    Selection* selection = chosenSelection();
    std::optional<AreaRect> area = selection ? parseArea(selection->area) : std::nullopt;
    if (!area)
        return;
    // Kept on the picture as a drag keeps a rectangle, and an edge stops as far from the opposite one
    // as the smallest rectangle drawn with the mouse is wide: an edge typed onto or past the other
    // would leave a selection without width or height, which nobody can click. The opposite edge
    // stays where it is.
    const QSize picture = m_main && !m_main->picture().isNull() ? m_main->picture().size() : QSize(99999, 99999);
    constexpr int side = RShape::kMinimumSide;
    const auto clamp = [](int low, int value, int high) { return std::max(low, std::min(value, high)); };
    switch (field) {
    case 0:
        area->left = clamp(0, edAreaLeft->value(), std::min(area->right - side, picture.width()));
        break;
    case 1:
        area->top = clamp(0, edAreaTop->value(), std::min(area->bottom - side, picture.height()));
        break;
    case 2:
        area->right = clamp(std::max(0, area->left) + side, edAreaRight->value(), picture.width());
        break;
    case 3:
        area->bottom = clamp(std::max(0, area->top) + side, edAreaBottom->value(), picture.height());
        break;
    default:
        break;
    }
    const QString text = formatArea(area->left, area->top, area->right, area->bottom);
    if (text != selection->area)
        m_edits.setArea(*selection, text, QStringLiteral("Type area"));
    fillAreaFields(); // shows the number as clamped
}

void TSelectionsViewerForm::setWindows(TMainForm* main, TPageViewerForm* pages)
{
    m_main = main;
    m_pages = pages;
    // A page shown after an open, or another row chosen, changes what the lists offer (the pages
    // before and after the chosen row, for a relative jump).
    if (pages)
        connect(pages, &TPageViewerForm::pageShown, this, [this] { refreshParameters(); });
}

Selection* TSelectionsViewerForm::chosenSelection() const
{
    // The list moves its current entry before it selects it: the current entry is the chosen one.
    return selectionOf(SelectionList->currentItem());
}

void TSelectionsViewerForm::ShowPageSelections(Page* page)
{
    m_listing = true;
    m_page = page;
    SelectionList->clear();
    ActionsList->clear();
    if (page) {
        for (const auto& s : page->selections) {
            auto* item = new QTreeWidgetItem(SelectionList, {s->name}); // owned by the list
            item->setData(0, kObjectRole, QVariant::fromValue(static_cast<void*>(s.get())));
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            item->setToolTip(0, s->name); // the whole name, where the list shows it cut short
        }
    }
    SelectionList->setCurrentItem(nullptr);
    SelectionList->clearSelection();
    m_listing = false;
    fillAreaFields();
}

void TSelectionsViewerForm::SelectionListClick()
{
    Selection* selection = chosenSelection();
    if (!selection)
        return;
    if (m_main)
        m_main->SelectShape(qobject_cast<RShape*>(selection->shape.data()));
    fillActions(selection);
    fillAreaFields();
    ActionsListClick(); // the first action goes into the action maker
}

void TSelectionsViewerForm::fillActions(Selection* selection)
{
    ActionsList->clear();
    if (!selection)
        return;
    for (const auto& a : selection->actions) {
        auto* item = new QListWidgetItem(ActionsList); // owned by the list
        item->setData(kObjectRole, QVariant::fromValue(static_cast<void*>(a.get())));
    }
    if (ActionsList->count() > 0)
        ActionsList->setCurrentRow(0);
}

void TSelectionsViewerForm::SelectSelection(Selection* selection)
{
    for (int i = 0; i < SelectionList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = SelectionList->topLevelItem(i);
        if (selectionOf(item) == selection) {
            m_listing = true;
            SelectionList->setCurrentItem(item);
            m_listing = false;
            SelectionListClick();
            return;
        }
    }
}

void TSelectionsViewerForm::markSelections(const QList<Selection*>& selections)
{
    const bool was = m_listing;
    m_listing = true;
    for (int i = 0; i < SelectionList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = SelectionList->topLevelItem(i);
        item->setSelected(selections.isEmpty() ? item == SelectionList->currentItem()
                                               : selections.contains(selectionOf(item)));
    }
    m_listing = was;
}

void TSelectionsViewerForm::SelectionListEdited(QTreeWidgetItem* item)
{
    Selection* selection = selectionOf(item);
    if (!selection || item->text(0) == selection->name)
        return;
    m_edits.renameSelection(*selection, item->text(0));
    if (m_pages)
        m_pages->UpdateDefaultSelectionCombo(m_pages->currentPage());
}

void TSelectionsViewerForm::ClearSelections()
{
    ShowPageSelections(nullptr);
    clearActionMaker();
}
