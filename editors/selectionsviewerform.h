#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

class ProjectEdits;
class TMainForm;
class TPageViewerForm;
struct Page;
struct Selection;

// The selection tool window: the selections of the current page, their actions and the action maker.
// It stays above other windows and can be docked into the main window as a tab.
class TSelectionsViewerForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 217;
    static constexpr int kMinHeight = 300;

    explicit TSelectionsViewerForm(ProjectEdits& edits, QWidget* parent = nullptr);
    void setWindows(TMainForm* main, TPageViewerForm* pages);

    // Lists the page's selections (none for no page), empties the action list; no entry is chosen.
    void ShowPageSelections(Page* page);
    // Chooses the entry of the selection, as a click on it would.
    void SelectSelection(Selection* selection);
    void ClearSelections();
    Page* listedPage() const { return m_page; }
    // The selection of the chosen entry, or none.
    Selection* chosenSelection() const;

public slots:
    void SelectionListClick();
    void SelectionListEdited(QTreeWidgetItem* item);

private:
    void fillActions(Selection* selection);

    ProjectEdits& m_edits;
    QPointer<TMainForm> m_main;
    QPointer<TPageViewerForm> m_pages;
    Page* m_page = nullptr;
    bool m_listing = false; // the lists are being filled by the program

public:
    QTreeWidget* SelectionList = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* ActionsList = nullptr;
};
