#include "edits/projectedits.h"

#include <QUndoCommand>

#include <algorithm>
#include <functional>
#include <cstdlib>

void dropShape(Selection& selection)
{
    delete selection.shape.data();
}

void dropShapes(Page& page)
{
    for (auto& s : page.selections)
        dropShape(*s);
}

namespace {

// Both none, or the same type and parameter.
bool sameAction(const MenuAction* a, const MenuAction* b)
{
    if (!a || !b)
        return a == b;
    return a->type == b->type && a->parameter == b->parameter;
}

// The first redo is the edit itself, shown by the window that asked for it; every later redo and every
// undo is a replay, after which the windows show what the step concerned.
class EditCommand : public QUndoCommand
{
public:
    EditCommand(ProjectEdits& edits, const QString& text) : QUndoCommand(text), m_edits(edits) {}

    void redo() final
    {
        apply(true);
        if (m_done)
            replayed(true);
        m_done = true;
    }
    void undo() final
    {
        apply(false);
        replayed(false);
    }

protected:
    virtual void apply(bool forward) = 0;
    // The page and selection to show after a replay in the given direction.
    virtual Page* pageAfter(bool forward) const = 0;
    virtual Selection* selectionAfter(bool) const { return nullptr; }

    ProjectEdits& m_edits;
    MenuProject& project() { return m_edits.project(); }

private:
    void replayed(bool forward) { m_edits.emitReplayed(pageAfter(forward), selectionAfter(forward)); }

    bool m_done = false;
};

// Adding a page and deleting one are the same move in opposite directions.
class PageInOutCommand : public EditCommand
{
public:
    PageInOutCommand(ProjectEdits& edits, const QString& text, int index, std::unique_ptr<Page> page, bool insert)
        : EditCommand(edits, text), m_index(index), m_page(page.get()), m_held(std::move(page)), m_insert(insert)
    {
        if (!m_held)
            m_page = edits.project().pages[size_t(index)].get();
    }

protected:
    void apply(bool forward) override
    {
        auto& pages = project().pages;
        if (forward == m_insert) {
            pages.insert(pages.begin() + m_index, std::move(m_held));
        } else {
            m_held = std::move(pages[size_t(m_index)]);
            pages.erase(pages.begin() + m_index);
            dropShapes(*m_held);
        }
        m_edits.emitPagesChanged();
    }
    Page* pageAfter(bool forward) const override { return forward == m_insert ? m_page : nullptr; }

private:
    int m_index;
    Page* m_page;
    std::unique_ptr<Page> m_held;
    bool m_insert;
};

class PageModifyCommand : public EditCommand
{
public:
    PageModifyCommand(ProjectEdits& edits, Page& page, ProjectEdits::PageProperties after)
        : EditCommand(edits, QStringLiteral("Modify page")), m_page(page),
          m_before(page.properties()), m_after(std::move(after))
    {
    }

protected:
    void apply(bool forward) override
    {
        m_page.properties() = forward ? m_after : m_before;
        m_edits.emitPageChanged(&m_page);
    }
    Page* pageAfter(bool) const override { return &m_page; }

private:
    Page& m_page;
    ProjectEdits::PageProperties m_before;
    ProjectEdits::PageProperties m_after;
};

// The page list in a given order: reordering by Up/Down and by dragging.
class PageOrderCommand : public EditCommand
{
public:
    PageOrderCommand(ProjectEdits& edits, const QString& text, std::vector<Page*> before, std::vector<Page*> after,
                     Page* moved)
        : EditCommand(edits, text), m_before(std::move(before)), m_after(std::move(after)), m_moved(moved)
    {
    }

protected:
    void apply(bool forward) override
    {
        const std::vector<Page*>& order = forward ? m_after : m_before;
        auto& pages = project().pages;
        OwnedList<Page> arranged;
        arranged.reserve(pages.size());
        for (Page* p : order) {
            auto it = std::find_if(pages.begin(), pages.end(), [p](const auto& owned) { return owned.get() == p; });
            arranged.push_back(std::move(*it));
        }
        pages = std::move(arranged);
        m_edits.emitPagesChanged();
    }
    Page* pageAfter(bool) const override { return m_moved; }

private:
    std::vector<Page*> m_before;
    std::vector<Page*> m_after;
    Page* m_moved;
};

// Putting a selection into a page and taking it out again: drawing, deleting, pasting.
class SelectionInOutCommand : public EditCommand
{
public:
    SelectionInOutCommand(ProjectEdits& edits, const QString& text, Page& page, int index,
                          std::unique_ptr<Selection> selection, bool insert, int counterBefore, int counterAfter)
        : EditCommand(edits, text), m_page(page), m_index(index), m_selection(selection.get()),
          m_held(std::move(selection)), m_insert(insert), m_counterBefore(counterBefore), m_counterAfter(counterAfter)
    {
        if (!m_held)
            m_selection = page.selections[size_t(index)].get();
    }

protected:
    void apply(bool forward) override
    {
        auto& list = m_page.selections;
        if (forward == m_insert) {
            list.insert(list.begin() + m_index, std::move(m_held));
        } else {
            m_held = std::move(list[size_t(m_index)]);
            list.erase(list.begin() + m_index);
            dropShape(*m_held);
        }
        m_page.nameCounter = forward ? m_counterAfter : m_counterBefore;
        m_edits.emitSelectionsChanged(&m_page);
    }
    Page* pageAfter(bool) const override { return &m_page; }
    Selection* selectionAfter(bool forward) const override { return forward == m_insert ? m_selection : nullptr; }

private:
    Page& m_page;
    int m_index;
    Selection* m_selection;
    std::unique_ptr<Selection> m_held;
    bool m_insert;
    int m_counterBefore;
    int m_counterAfter;
};

class SelectionToPageCommand : public EditCommand
{
public:
    SelectionToPageCommand(ProjectEdits& edits, Page& from, int index, Page& to)
        : EditCommand(edits, QStringLiteral("Move rectangle to page")), m_from(from), m_to(to), m_index(index),
          m_selection(from.selections[size_t(index)].get())
    {
    }

protected:
    void apply(bool forward) override
    {
        Page& source = forward ? m_from : m_to;
        Page& target = forward ? m_to : m_from;
        const int sourceIndex = forward ? m_index : int(m_to.selections.size()) - 1;
        std::unique_ptr<Selection> moving = std::move(source.selections[size_t(sourceIndex)]);
        source.selections.erase(source.selections.begin() + sourceIndex);
        dropShape(*moving);
        if (forward)
            target.selections.push_back(std::move(moving));
        else
            target.selections.insert(target.selections.begin() + m_index, std::move(moving));
        m_to.nameCounter += forward ? 1 : -1;
        m_edits.emitSelectionsChanged(&m_from);
        m_edits.emitSelectionsChanged(&m_to);
    }
    Page* pageAfter(bool) const override { return &m_from; }
    Selection* selectionAfter(bool forward) const override { return forward ? nullptr : m_selection; }

private:
    Page& m_from;
    Page& m_to;
    int m_index;
    Selection* m_selection;
};

// A text of a selection: its area or its name.
class SelectionTextCommand : public EditCommand
{
public:
    enum { NudgeId = 1 };

    SelectionTextCommand(ProjectEdits& edits, const QString& text, Selection& selection, QString Selection::*field,
                         QString value, bool mergeable, bool continuesRun)
        : EditCommand(edits, text), m_selection(selection), m_field(field), m_before(selection.*field),
          m_after(std::move(value)), m_mergeable(mergeable), m_continues(continuesRun)
    {
    }

    int id() const override { return m_mergeable ? NudgeId : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const SelectionTextCommand*>(other);
        if (!next->m_continues || &next->m_selection != &m_selection || next->m_field != m_field)
            return false;
        m_after = next->m_after;
        // A run that ends where it began changed nothing: the stack drops the step.
        setObsolete(m_after == m_before);
        return true;
    }

protected:
    void apply(bool forward) override
    {
        m_selection.*m_field = forward ? m_after : m_before;
        m_edits.emitSelectionChanged(&m_selection);
    }
    Page* pageAfter(bool) const override { return m_edits.pageOf(&m_selection); }
    Selection* selectionAfter(bool) const override { return &m_selection; }

private:
    Selection& m_selection;
    QString Selection::*m_field;
    QString m_before;
    QString m_after;
    bool m_mergeable;
    bool m_continues;
};

// The areas of several selections at once.
class AreasCommand : public EditCommand
{
public:
    enum { NudgeId = 2 };

    struct Item
    {
        Selection* selection;
        QString before;
        QString after;
    };

    AreasCommand(ProjectEdits& edits, const QString& text, std::vector<Item> items, bool mergeable, bool continuesRun)
        : EditCommand(edits, text), m_items(std::move(items)), m_mergeable(mergeable), m_continues(continuesRun)
    {
    }

    int id() const override { return m_mergeable ? NudgeId : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const AreasCommand*>(other);
        if (!next->m_continues || next->m_items.size() != m_items.size())
            return false;
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (next->m_items[i].selection != m_items[i].selection)
                return false;
        }
        for (size_t i = 0; i < m_items.size(); ++i)
            m_items[i].after = next->m_items[i].after;
        return true;
    }

protected:
    void apply(bool forward) override
    {
        for (const Item& item : m_items)
            item.selection->area = forward ? item.after : item.before;
        for (const Item& item : m_items)
            m_edits.emitSelectionChanged(item.selection);
    }
    Page* pageAfter(bool) const override { return m_edits.pageOf(m_items.front().selection); }
    Selection* selectionAfter(bool) const override
    {
        return m_items.size() == 1 ? m_items.front().selection : nullptr;
    }

private:
    std::vector<Item> m_items;
    bool m_mergeable;
    bool m_continues;
};

class ActionAtEndCommand : public EditCommand
{
public:
    ActionAtEndCommand(ProjectEdits& edits, const QString& text, Page& page, std::unique_ptr<MenuAction> action)
        : EditCommand(edits, text), m_page(page), m_held(std::move(action))
    {
    }

protected:
    void apply(bool) override
    {
        std::swap(m_page.actionAtEnd, m_held);
        m_edits.emitPageChanged(&m_page);
    }
    Page* pageAfter(bool) const override { return &m_page; }

private:
    Page& m_page;
    std::unique_ptr<MenuAction> m_held;
};

// Adding, replacing, deleting and exchanging the actions of a selection.
class ActionCommand : public EditCommand
{
public:
    enum class Kind { Insert, Delete, Replace, Swap };

    ActionCommand(ProjectEdits& edits, const QString& text, Selection& selection, Kind kind, int a, int b,
                  std::unique_ptr<MenuAction> action)
        : EditCommand(edits, text), m_selection(selection), m_kind(kind), m_a(a), m_b(b), m_held(std::move(action))
    {
    }

protected:
    void apply(bool forward) override
    {
        auto& list = m_selection.actions;
        switch (m_kind) {
        case Kind::Insert:
        case Kind::Delete:
            if (forward == (m_kind == Kind::Insert)) {
                list.insert(list.begin() + m_a, std::move(m_held));
            } else {
                m_held = std::move(list[size_t(m_a)]);
                list.erase(list.begin() + m_a);
            }
            break;
        case Kind::Replace:
            std::swap(list[size_t(m_a)], m_held);
            break;
        case Kind::Swap:
            std::swap(list[size_t(m_a)], list[size_t(m_b)]);
            break;
        }
        m_edits.emitSelectionChanged(&m_selection);
    }
    Page* pageAfter(bool) const override { return m_edits.pageOf(&m_selection); }
    Selection* selectionAfter(bool) const override { return &m_selection; }

private:
    Selection& m_selection;
    Kind m_kind;
    int m_a;
    int m_b;
    std::unique_ptr<MenuAction> m_held;
};

class MovieTextCommand : public EditCommand
{
public:
    MovieTextCommand(ProjectEdits& edits, const QString& text, QString MovieData::*field, QString value)
        : EditCommand(edits, text), m_field(field), m_before(edits.project().movieData.*field), m_after(std::move(value))
    {
    }

protected:
    void apply(bool forward) override
    {
        project().movieData.*m_field = forward ? m_after : m_before;
        m_edits.emitMovieDataChanged();
    }
    Page* pageAfter(bool) const override { return nullptr; }

private:
    QString MovieData::*m_field;
    QString m_before;
    QString m_after;
};

// The movie data as a whole, before and after a showing of its dialog. The first redo finds the
// project already changed by the dialog.
class MovieDataCommand : public EditCommand
{
public:
    MovieDataCommand(ProjectEdits& edits, MovieData before, QString baseBefore)
        : EditCommand(edits, QStringLiteral("Movie data")), m_other(std::move(before)), m_otherBase(std::move(baseBefore))
    {
    }

protected:
    void apply(bool) override
    {
        if (m_first) {
            // The dialog changed the project already; the windows that show its lists learn it now.
            m_first = false;
            m_edits.emitMovieDataChanged();
            return;
        }
        std::swap(project().movieData, m_other);
        std::swap(project().baseDirectory, m_otherBase);
        m_edits.emitMovieDataChanged();
    }
    Page* pageAfter(bool) const override { return nullptr; }

private:
    MovieData m_other;
    QString m_otherBase;
    bool m_first = true;
};

} // namespace

ProjectEdits::ProjectEdits(MenuProject& project, QObject* parent) : QObject(parent), m_project(project) {}

ProjectEdits::~ProjectEdits()
{
    // The commands may hold pages whose rectangles still sit on the picture; they go first.
    m_stack.clear();
}

int ProjectEdits::pageIndex(const Page* page) const
{
    for (size_t i = 0; i < m_project.pages.size(); ++i) {
        if (m_project.pages[i].get() == page)
            return int(i);
    }
    return -1;
}

Page* ProjectEdits::pageOf(const Selection* selection) const
{
    for (const auto& p : m_project.pages) {
        for (const auto& s : p->selections) {
            if (s.get() == selection)
                return p.get();
        }
    }
    return nullptr;
}

int ProjectEdits::selectionIndex(const Page* page, const Selection* selection) const
{
    if (!page)
        return -1;
    for (size_t i = 0; i < page->selections.size(); ++i) {
        if (page->selections[i].get() == selection)
            return int(i);
    }
    return -1;
}

void ProjectEdits::insertPage(int index, std::unique_ptr<Page> page)
{
    m_stack.push(new PageInOutCommand(*this, QStringLiteral("Add page"), index, std::move(page), true));
}

void ProjectEdits::deletePage(int index)
{
    m_stack.push(new PageInOutCommand(*this, QStringLiteral("Delete page"), index, nullptr, false));
}

void ProjectEdits::modifyPage(Page& page, const PageProperties& properties)
{
    if (page.properties() == properties)
        return;
    m_stack.push(new PageModifyCommand(*this, page, properties));
}

void ProjectEdits::swapPages(int a, int b)
{
    if (a == b)
        return;
    std::vector<Page*> before;
    for (const auto& p : m_project.pages)
        before.push_back(p.get());
    std::vector<Page*> after = before;
    std::swap(after[size_t(a)], after[size_t(b)]);
    m_stack.push(new PageOrderCommand(*this, QStringLiteral("Move page"), before, after, before[size_t(a)]));
}

void ProjectEdits::recordPageOrder(const std::vector<Page*>& before)
{
    std::vector<Page*> after;
    for (const auto& p : m_project.pages)
        after.push_back(p.get());
    if (after == before)
        return;
    // The dragged page travelled furthest: the pages it passed moved by one place each.
    Page* moved = nullptr;
    long furthest = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        const long from = long(std::find(before.begin(), before.end(), after[i]) - before.begin());
        const long distance = std::labs(from - long(i));
        if (distance > furthest) {
            furthest = distance;
            moved = after[i];
        }
    }
    m_stack.push(new PageOrderCommand(*this, QStringLiteral("Move page"), before, after, moved));
}

void ProjectEdits::addDrawnSelection(Page& page, std::unique_ptr<Selection> selection, int nameCounterBefore)
{
    const int index = int(page.selections.size());
    m_stack.push(new SelectionInOutCommand(*this, QStringLiteral("Draw rectangle"), page, index, std::move(selection),
                                           true, nameCounterBefore, page.nameCounter));
}

void ProjectEdits::deleteSelection(Page& page, int index)
{
    m_stack.push(new SelectionInOutCommand(*this, QStringLiteral("Delete rectangle"), page, index, nullptr, false,
                                           page.nameCounter, page.nameCounter));
}

void ProjectEdits::setArea(Selection& selection, const QString& area, const QString& commandText, bool continuesRun)
{
    if (selection.area == area)
        return;
    const bool nudge = commandText == QLatin1String("Nudge rectangle");
    m_stack.push(new SelectionTextCommand(*this, commandText, selection, &Selection::area, area, nudge, continuesRun));
}

void ProjectEdits::moveSelectionToPage(Page& from, int index, Page& to)
{
    if (&from == &to)
        return;
    m_stack.push(new SelectionToPageCommand(*this, from, index, to));
}

void ProjectEdits::renameSelection(Selection& selection, const QString& name)
{
    if (selection.name == name)
        return;
    m_stack.push(new SelectionTextCommand(*this, QStringLiteral("Rename selection"), selection, &Selection::name, name,
                                          false, false));
}

void ProjectEdits::appendSelections(Page& page, std::vector<std::unique_ptr<Selection>> selections,
                                    const QString& commandText)
{
    if (selections.empty())
        return; // an empty macro would still be a step
    m_stack.beginMacro(commandText);
    for (auto& s : selections) {
        const int index = int(page.selections.size());
        m_stack.push(new SelectionInOutCommand(*this, commandText, page, index, std::move(s), true, page.nameCounter,
                                               page.nameCounter));
    }
    m_stack.endMacro();
}

void ProjectEdits::addNamedSelections(Page& page, std::vector<std::unique_ptr<Selection>> selections,
                                     int nameCounterBefore, const QString& commandText)
{
    if (selections.empty())
        return;
    m_stack.beginMacro(commandText);
    int before = nameCounterBefore; // the first step of the macro is the last undone: it puts the number back
    for (auto& s : selections) {
        const int index = int(page.selections.size());
        m_stack.push(new SelectionInOutCommand(*this, commandText, page, index, std::move(s), true, before,
                                               page.nameCounter));
        before = page.nameCounter;
    }
    m_stack.endMacro();
}

void ProjectEdits::setAreas(const std::vector<AreaChange>& changes, const QString& commandText, bool continuesRun)
{
    std::vector<AreasCommand::Item> items;
    items.reserve(changes.size());
    bool changed = false;
    for (const AreaChange& c : changes) {
        changed = changed || c.area != c.selection->area;
        items.push_back({c.selection, c.selection->area, c.area});
    }
    if (!changed)
        return;
    const bool nudge = commandText == QLatin1String("Nudge rectangles");
    m_stack.push(new AreasCommand(*this, commandText, std::move(items), nudge, continuesRun));
}

void ProjectEdits::deleteSelections(Page& page, std::vector<int> indexes, const QString& commandText)
{
    if (indexes.empty())
        return;
    std::sort(indexes.begin(), indexes.end(), std::greater<int>()); // the later ones first keep the others' places
    m_stack.beginMacro(commandText);
    for (int index : indexes)
        m_stack.push(new SelectionInOutCommand(*this, commandText, page, index, nullptr, false, page.nameCounter,
                                               page.nameCounter));
    m_stack.endMacro();
}

void ProjectEdits::moveSelectionsToPage(Page& from, std::vector<int> indexes, Page& to, const QString& commandText)
{
    if (indexes.empty())
        return;
    std::sort(indexes.begin(), indexes.end());
    m_stack.beginMacro(commandText);
    // Each move takes one selection out before the next: the later positions move up by one each time.
    for (size_t k = 0; k < indexes.size(); ++k)
        m_stack.push(new SelectionToPageCommand(*this, from, indexes[k] - int(k), to));
    m_stack.endMacro();
}

void ProjectEdits::setActionAtEnd(Page& page, std::unique_ptr<MenuAction> action)
{
    if (sameAction(page.actionAtEnd.get(), action.get()))
        return;
    const QString text = action ? QStringLiteral("Set action at end") : QStringLiteral("Delete action at end");
    m_stack.push(new ActionAtEndCommand(*this, text, page, std::move(action)));
}

void ProjectEdits::insertAction(Selection& selection, int index, std::unique_ptr<MenuAction> action)
{
    m_stack.push(new ActionCommand(*this, QStringLiteral("Add action"), selection, ActionCommand::Kind::Insert, index,
                                   0, std::move(action)));
}

void ProjectEdits::replaceAction(Selection& selection, int index, std::unique_ptr<MenuAction> action)
{
    if (sameAction(selection.actions[size_t(index)].get(), action.get()))
        return;
    m_stack.push(new ActionCommand(*this, QStringLiteral("Modify action"), selection, ActionCommand::Kind::Replace,
                                   index, 0, std::move(action)));
}

void ProjectEdits::deleteAction(Selection& selection, int index)
{
    m_stack.push(new ActionCommand(*this, QStringLiteral("Delete action"), selection, ActionCommand::Kind::Delete, index,
                                   0, nullptr));
}

void ProjectEdits::swapActions(Selection& selection, int a, int b)
{
    // Two equal actions exchanged leave the menu as it was.
    if (a == b || sameAction(selection.actions[size_t(a)].get(), selection.actions[size_t(b)].get()))
        return;
    m_stack.push(new ActionCommand(*this, QStringLiteral("Move action"), selection, ActionCommand::Kind::Swap, a, b,
                                   nullptr));
}

void ProjectEdits::setMovieText(QString MovieData::*field, const QString& value, const QString& commandText)
{
    if (m_project.movieData.*field == value)
        return;
    m_stack.push(new MovieTextCommand(*this, commandText, field, value));
}

void ProjectEdits::recordMovieData(MovieData before, const QString& baseDirectoryBefore)
{
    if (sameMovieData(before, m_project.movieData) && baseDirectoryBefore == m_project.baseDirectory)
        return;
    m_stack.push(new MovieDataCommand(*this, std::move(before), baseDirectoryBefore));
}
