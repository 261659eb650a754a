// The page list's popup commands (reorder, copy and paste selections, delete, the start, menu,
// chapters and specials marks), reordering by dragging a row, and the Action-at-end slot's drop,
// double click and "Set action at end".
#include "editors/pageviewerform.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include "document/actiontypes.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "editors/dragdata.h"
#include "editors/editorwidgets.h"
#include "editors/selectionsviewerform.h"

namespace {

namespace text {
const QString kUp = QStringLiteral("Up");
const QString kDown = QStringLiteral("Down");
const QString kCopySelections = QStringLiteral("Copy selections");
const QString kPasteSelections = QStringLiteral("Paste selections");
const QString kDelete = QStringLiteral("Delete");
const QString kSetAsStartPage = QStringLiteral("Set as StartPage");
const QString kSetAsMenuPage = QStringLiteral("Set as MenuPage");
const QString kSetAsChaptersPage = QStringLiteral("Set as ChaptersPage");
const QString kSetAsSpecialsPage = QStringLiteral("Set as SpecialsPage");
const QString kNotInteger = QStringLiteral("'%1' is not a valid integer value");
} // namespace text

// An integer as the framework's conversion reads it: leading blanks, an optional sign and decimal
// digits, nothing after them.
std::optional<int> integerOf(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    const QString digits = text.mid(start);
    bool ok = false;
    const int value = digits.toInt(&ok, 10);
    if (!ok || digits.startsWith(QLatin1Char(' ')))
        return std::nullopt;
    return value;
}

} // namespace

// The drops and the row drag arrive at the viewports of the two lists. While the window is being
// destroyed its lists still send events; by then it is no page window any more and takes none.
class PageCommandFilter : public QObject
{
public:
    explicit PageCommandFilter(TPageViewerForm& form) : QObject(&form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* form = qobject_cast<TPageViewerForm*>(parent());
        return form && form->commandEvent(watched, event);
    }
};

void TPageViewerForm::buildPageCommands()
{
    puPageList = new QMenu(this); // owned by the window
    puPageList->setObjectName(QStringLiteral("puPageList"));
    const QList<QIcon>& icons = ImageList1();
    auto entry = [this, &icons](const char* name, int icon, const QString& caption, const QKeySequence& key,
                                void (TPageViewerForm::*click)()) {
        QAction* a = puPageList->addAction(icons[icon], caption);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) {
            a->setShortcut(key);
            // The shortcuts work while the page list has the focus.
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            PageList->addAction(a);
        }
        if (click)
            connect(a, &QAction::triggered, this, [this, click] { (this->*click)(); });
        return a;
    };
    puPLUp = entry("puPLUp", 3, text::kUp, QKeySequence(Qt::CTRL | Qt::Key_U), nullptr);
    puPLDown = entry("puPLDown", 4, text::kDown, QKeySequence(Qt::CTRL | Qt::Key_D), nullptr);
    connect(puPLUp, &QAction::triggered, this, [this] { puPLUpDownClick(-1); });
    connect(puPLDown, &QAction::triggered, this, [this] { puPLUpDownClick(+1); });
    puPageList->addSeparator();
    puPLCopySelections = entry("puPLCopySelections", 0, text::kCopySelections, QKeySequence(Qt::CTRL | Qt::Key_C),
                               &TPageViewerForm::puPLCopySelectionsClick);
    puPLPasteSelections = entry("puPLPasteSelections", 1, text::kPasteSelections, QKeySequence(Qt::CTRL | Qt::Key_V),
                                &TPageViewerForm::puPLPasteSelectionsClick);
    puPageList->addSeparator();
    puPLDelete = entry("puPLDelete", 2, text::kDelete, QKeySequence(Qt::Key_Delete), &TPageViewerForm::puPLDeleteClick);
    puPageList->addSeparator();
    SetasStartPage1 = entry("SetasStartPage1", 5, text::kSetAsStartPage, {}, &TPageViewerForm::SetasStartPage1Click);
    SetasMenuPage1 = entry("SetasMenuPage1", 6, text::kSetAsMenuPage, {}, &TPageViewerForm::SetasMenuPage1Click);
    SetasChaptersPage1 =
        entry("SetasChaptersPage1", 7, text::kSetAsChaptersPage, {}, &TPageViewerForm::SetasChaptersPage1Click);
    SetasSpecialsPage1 =
        entry("SetasSpecialsPage1", 8, text::kSetAsSpecialsPage, {}, &TPageViewerForm::SetasSpecialsPage1Click);

    PageList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(PageList, &QListView::customContextMenuRequested, this, [this](const QPoint& at) {
        PageListContextPopup();
        puPageList->popup(PageList->viewport()->mapToGlobal(at));
    });
    // The shortcuts follow the popup's enabling rule at all times.
    connect(PageList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { PageListContextPopup(); });
    connect(&m_edits, &ProjectEdits::pagesChanged, this, [this] { PageListContextPopup(); });
    PageListContextPopup();

    if (auto* set = puActionAtEnd->findChild<QAction*>(QStringLiteral("miSetActionAtEnd")))
        connect(set, &QAction::triggered, this, [this] { miSetActionAtEndClick(); });

    auto* filter = new PageCommandFilter(*this); // owned by the window
    PageList->viewport()->installEventFilter(filter);
    PageList->viewport()->setAcceptDrops(true);
    lstActionAtEnd->viewport()->installEventFilter(filter);
    lstActionAtEnd->viewport()->setAcceptDrops(true);
}

// --- the popup ------------------------------------------------------------------------------
void TPageViewerForm::PageListContextPopup()
{
    const int row = selectedRow();
    const bool chosen = row >= 0;
    puPLUp->setEnabled(row > 0);
    puPLDown->setEnabled(chosen && row < pageCount() - 1);
    for (QAction* a : {puPLDelete, puPLCopySelections, SetasStartPage1, SetasMenuPage1, SetasChaptersPage1,
                       SetasSpecialsPage1})
        a->setEnabled(chosen);
    puPLPasteSelections->setEnabled(chosen && m_copySourceIndex != -1 && row != m_copySourceIndex);
}

void TPageViewerForm::puPLUpDownClick(int step)
{
    const int from = m_currentPageIndex;
    const int target = from + step;
    if (from < 0 || target < 0 || target >= pageCount())
        return;
    Page* moved = pageAt(from);
    m_edits.swapPages(from, target);
    selectRow(target);
    m_currentPageIndex = target;
    // The moved page stays the one being edited; only the jump entries follow the new order.
    refreshJumpAtEnd(false);
    if (moved->jumpAtEnd != 0) {
        for (int i = 0; i < cbJumpAtEnd->count(); ++i) {
            if (const Page* p = cbJumpAtEnd->pageAt(i); p && p->number == moved->jumpAtEnd) {
                cbJumpAtEnd->setCurrentIndex(i);
                break;
            }
        }
    }
    PageListContextPopup();
}

void TPageViewerForm::puPLDeleteClick()
{
    if (selectedRow() >= 0)
        bttDelClick();
}

void TPageViewerForm::puPLCopySelectionsClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    setCopySourceIndex(row); // nothing is copied until the paste
    PageListContextPopup();
}

void TPageViewerForm::puPLPasteSelectionsClick()
{
    const int row = selectedRow();
    Page* target = pageAt(row);
    const Page* source = pageAt(m_copySourceIndex);
    if (!target || !source || row == m_copySourceIndex)
        return;

    // A chapter page repeated for the next chapters: every chapter of the copies moves on by the
    // number of chapters the source page plays.
    int chapters = 0;
    for (const auto& s : source->selections) {
        for (const auto& a : s->actions)
            chapters += a->type == ActPlayFromChapter ? 1 : 0;
    }
    std::vector<std::unique_ptr<Selection>> copies;
    std::optional<QString> failure;
    for (const auto& s : source->selections) {
        auto copy = std::make_unique<Selection>(s->name, s->area);
        for (const auto& a : s->actions) {
            QString parameter = a->parameter;
            if (a->type == ActPlayFromChapter) {
                const std::optional<int> chapter = integerOf(parameter);
                if (!chapter) {
                    failure = parameter;
                    break;
                }
                parameter = QString::number(*chapter + chapters);
            }
            copy->actions.push_back(std::make_unique<MenuAction>(a->type, parameter));
        }
        if (failure)
            break; // the selection being copied is dropped; those before it are pasted
        copies.push_back(std::move(copy));
    }
    if (!copies.empty())
        m_edits.appendSelections(*target, std::move(copies), text::kPasteSelections);
    if (failure) {
        showError(text::kNotInteger.arg(*failure));
        return;
    }
    ShowPage(row);
}

void TPageViewerForm::setAsMark(QString MovieData::*field, const QString& commandText)
{
    if (selectedRow() < 0)
        return;
    // Plain text: the same text again switches the mark off.
    const QString number = edNumber->text();
    const QString value = m_project.movieData.*field == number ? QString() : number;
    m_edits.setMovieText(field, value, commandText); // the markers are redrawn when the movie data changes
}

void TPageViewerForm::SetasStartPage1Click()
{
    setAsMark(&MovieData::startPage, text::kSetAsStartPage);
}

void TPageViewerForm::SetasMenuPage1Click()
{
    setAsMark(&MovieData::menuPage, text::kSetAsMenuPage);
}

void TPageViewerForm::SetasChaptersPage1Click()
{
    setAsMark(&MovieData::chaptersPage, text::kSetAsChaptersPage);
}

void TPageViewerForm::SetasSpecialsPage1Click()
{
    setAsMark(&MovieData::specialsPage, text::kSetAsSpecialsPage);
}

// --- action at end --------------------------------------------------------------------------
void TPageViewerForm::miSetActionAtEndClick()
{
    Page* page = currentPage();
    if (!page || !m_selections)
        return;
    // The new action replaces the old one; the list shows it when the page reports the change.
    if (std::unique_ptr<MenuAction> action = m_selections->MakeAction())
        m_edits.setActionAtEnd(*page, std::move(action));
}

bool TPageViewerForm::lstActionAtEndDragOver(const QMimeData* data) const
{
    return m_selections && m_selections->isActionDrag(data) && currentPage();
}

void TPageViewerForm::lstActionAtEndDragDrop(const QMimeData* data)
{
    if (lstActionAtEndDragOver(data))
        miSetActionAtEndClick();
}

// --- reordering by dragging -----------------------------------------------------------------
QMimeData* TPageViewerForm::pageRowDragData() const
{
    return dragdata::make(dragdata::kPageRowMime, PageList);
}

bool TPageViewerForm::PageListDragOver(const QMimeData* data, const QPoint& position)
{
    if (!dragdata::isFrom(data, dragdata::kPageRowMime, PageList))
        return false;
    if (!m_dragOrderBefore) {
        // A drag that began elsewhere than startPageRowDrag (a test's own events): the order now is the
        // one to go back to.
        std::vector<Page*> order;
        for (const auto& p : m_project.pages)
            order.push_back(p.get());
        m_dragOrderBefore = std::move(order);
    }
    const int over = PageList->indexAt(position).row();
    if (over < 0)
        return false;
    const int selected = selectedRow();
    if (selected >= 0 && over != selected) {
        // The page is carried along: it changes places at once with the row under the pointer. The
        // whole drag becomes one undo step when it ends.
        std::swap(m_project.pages[size_t(selected)], m_project.pages[size_t(over)]);
        m_model->refresh();
        selectRow(over);
        m_currentPageIndex = over;
    }
    return true;
}

void TPageViewerForm::PageListDragDrop(const QMimeData* data)
{
    if (dragdata::isFrom(data, dragdata::kPageRowMime, PageList))
        finishPageRowDrag();
}

void TPageViewerForm::startPageRowDrag()
{
    std::vector<Page*> order;
    for (const auto& p : m_project.pages)
        order.push_back(p.get());
    m_dragOrderBefore = std::move(order);
    auto* drag = new QDrag(PageList); // owned by the list; Qt disposes of it after the drop
    drag->setMimeData(pageRowDragData());
    drag->exec(Qt::MoveAction);
    finishPageRowDrag(); // also when the drag was cancelled or ended outside the list
}

void TPageViewerForm::finishPageRowDrag()
{
    if (!m_dragOrderBefore)
        return;
    const std::vector<Page*> before = std::move(*m_dragOrderBefore);
    m_dragOrderBefore.reset();
    m_edits.recordPageOrder(before);
    selectRow(m_currentPageIndex);
    PageListContextPopup();
}

bool TPageViewerForm::commandEvent(QObject* watched, QEvent* event)
{
    if (watched == PageList->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (pageListPress(mouse)) {
                m_pageDragArmed = false;
                return true;
            }
            m_pageDragArmed = mouse->button() == Qt::LeftButton && PageList->indexAt(mouse->position().toPoint()).isValid();
            m_pageDragStart = mouse->position().toPoint();
            return false; // the list still selects the row
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_pageDragArmed && (mouse->buttons() & Qt::LeftButton) && selectedRow() >= 0
                && (mouse->position().toPoint() - m_pageDragStart).manhattanLength() >= QApplication::startDragDistance()) {
                m_pageDragArmed = false;
                startPageRowDrag();
                return true;
            }
            return m_pageDragArmed; // no rubber-band selection while a drag may start
        }
        case QEvent::MouseButtonRelease: {
            // A click on the page already shown shows it again: its stored values back into the
            // fields (after the question about unapplied ones), the video at its first frame.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool again = m_pressOnShownRow && m_pageDragArmed && mouse->button() == Qt::LeftButton
                               && PageList->indexAt(mouse->position().toPoint()).row() == m_currentPageIndex;
            m_pageDragArmed = false;
            m_pressOnShownRow = false;
            if (again && confirmLeavePage())
                ShowPage(m_currentPageIndex);
            return false;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (PageListDragOver(drag->mimeData(), drag->position().toPoint())) {
                drag->setDropAction(Qt::MoveAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (dragdata::isFrom(drop->mimeData(), dragdata::kPageRowMime, PageList)) {
                drop->setDropAction(Qt::MoveAction);
                drop->accept();
                PageListDragDrop(drop->mimeData());
            } else {
                drop->ignore();
            }
            return true;
        }
        default:
            return false;
        }
    }
    if (watched == lstActionAtEnd->viewport()) {
        if (dragdata::answerCopyDrag(
                event, [this](const QMimeData* data) { return lstActionAtEndDragOver(data); },
                [this](const QMimeData* data) { lstActionAtEndDragDrop(data); }))
            return true;
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            miSetActionAtEndClick();
            return true;
        default:
            return false;
        }
    }
    return false;
}
