#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <QVariant>

#include <memory>

#include "document/model.h"

// Every change an author makes to the project goes through here as one command on the project's one
// undo stack. A window never changes the model behind the stack's back: it asks for an edit, and
// refreshes from the model when the signals below say what changed.
//
// Commands own what they removed (a deleted page with its selections, a replaced action) until the
// stack destroys them, so an undo brings back the very objects and the rows that point at them stay
// valid. Whatever leaves the shown page loses its rectangle on the picture at once.
//
// An edit that would leave the project as it is records nothing, so that it never marks the project
// modified nor leaves an undo step that does nothing.
class ProjectEdits : public QObject
{
    Q_OBJECT
public:
    using PageProperties = ::PageProperties;

    explicit ProjectEdits(MenuProject& project, QObject* parent = nullptr);
    ~ProjectEdits() override;

    MenuProject& project() { return m_project; }
    const MenuProject& project() const { return m_project; }
    QUndoStack& stack() { return m_stack; }

    // The position of a page in the list, or -1; the page that holds a selection, or none.
    int pageIndex(const Page* page) const;
    Page* pageOf(const Selection* selection) const;
    int selectionIndex(const Page* page, const Selection* selection) const;

    // --- pages --------------------------------------------------------------------------------
    void insertPage(int index, std::unique_ptr<Page> page);
    void deletePage(int index);
    void modifyPage(Page& page, const PageProperties& properties);
    // Exchanges the pages at two list positions.
    void swapPages(int a, int b);
    // The page list was reordered by a drag that moved the model already while the pointer moved;
    // `before` is the order when the drag began. Records it as one step (nothing when unchanged).
    void recordPageOrder(const std::vector<Page*>& before);

    // --- selections ---------------------------------------------------------------------------
    // Appends a drawn selection; the page's running number has already given it its name and is put
    // back by an undo.
    void addDrawnSelection(Page& page, std::unique_ptr<Selection> selection, int nameCounterBefore);
    void deleteSelection(Page& page, int index);
    // A rectangle moved, resized or nudged. Nudges of one key-press run (`continuesRun`) merge into one
    // step.
    void setArea(Selection& selection, const QString& area, const QString& commandText, bool continuesRun = false);
    void moveSelectionToPage(Page& from, int index, Page& to);
    void renameSelection(Selection& selection, const QString& name);
    // Appends copies of selections in one step (paste).
    void appendSelections(Page& page, std::vector<std::unique_ptr<Selection>> selections, const QString& commandText);
    // Appends new selections in one step whose names the page's running number has already given
    // (pasted or duplicated rectangles); an undo puts the number back to `nameCounterBefore`.
    void addNamedSelections(Page& page, std::vector<std::unique_ptr<Selection>> selections, int nameCounterBefore,
                            const QString& commandText);
    // Several rectangles moved or resized together (a group drag, alignment, typed numbers): one
    // step. Nudges of one key-press run (`continuesRun`) on the same rectangles merge into one step.
    // Nothing is recorded when no area changes.
    struct AreaChange
    {
        Selection* selection;
        QString area;
    };
    void setAreas(const std::vector<AreaChange>& changes, const QString& commandText, bool continuesRun = false);
    // Deletes the selections at these positions of the page in one step.
    void deleteSelections(Page& page, std::vector<int> indexes, const QString& commandText);
    // Moves the selections at these positions to the end of another page, in their order, in one step.
    void moveSelectionsToPage(Page& from, std::vector<int> indexes, Page& to, const QString& commandText);

    // --- actions ------------------------------------------------------------------------------
    void setActionAtEnd(Page& page, std::unique_ptr<MenuAction> action);
    void insertAction(Selection& selection, int index, std::unique_ptr<MenuAction> action);
    void replaceAction(Selection& selection, int index, std::unique_ptr<MenuAction> action);
    void deleteAction(Selection& selection, int index);
    void swapActions(Selection& selection, int a, int b);

    // --- movie data ---------------------------------------------------------------------------
    // One text field of the movie data (the start, menu, chapters and specials marks).
    void setMovieText(QString MovieData::*field, const QString& value, const QString& commandText);

    // The movie data dialog edits the project in place while it is shown; afterwards the change, if
    // any, is recorded as one step from the state it had before (movie data and base directory).
    void recordMovieData(MovieData before, const QString& baseDirectoryBefore);

    // Edits pushed between these two calls become one step.
    void beginMacro(const QString& text) { m_stack.beginMacro(text); }
    void endMacro() { m_stack.endMacro(); }

    // Called by the commands.
    void emitPagesChanged() { emit pagesChanged(); }
    void emitPageChanged(Page* page) { emit pageChanged(page); }
    void emitSelectionsChanged(Page* page) { emit selectionsChanged(page); }
    void emitSelectionChanged(Selection* selection) { emit selectionChanged(selection); }
    void emitMovieDataChanged() { emit movieDataChanged(); }
    void emitReplayed(Page* page, Selection* selection) { emit stepReplayed(page, selection); }

signals:
    // Pages were added, removed or reordered.
    void pagesChanged();
    // A page's properties, thumbnail or end action changed.
    void pageChanged(Page* page);
    // A page's selections were added, removed or reordered.
    void selectionsChanged(Page* page);
    // A selection's name, area or actions changed.
    void selectionChanged(Selection* selection);
    void movieDataChanged();
    // After an undo or a redo (not the first time an edit is done, which the window that asked for it
    // shows itself): the page the step concerned, and the selection when there is one, so that the
    // windows can show them. Either may be null.
    void stepReplayed(Page* page, Selection* selection);

private:
    MenuProject& m_project;
    QUndoStack m_stack;
};

// Hides and destroys the rectangles of a page's selections: they are on the picture only while the
// page is shown.
void dropShapes(Page& page);
void dropShape(Selection& selection);
