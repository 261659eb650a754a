#pragma once

#include <QPointer>
#include <QPoint>
#include <QWidget>

#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMimeData;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

class ProjectEdits;
class TMainForm;
class TPageViewerForm;
struct MenuAction;
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
    // Shows these selections as picked in the list, as several rectangles picked on the picture are;
    // an empty list leaves only the current row picked.
    void markSelections(const QList<Selection*>& selections);
    void ClearSelections();
    Page* listedPage() const { return m_page; }
    // The selection of the chosen entry, or none.
    Selection* chosenSelection() const;

    // The action maker. MakeAction builds a new action from the chosen type and parameter and moves
    // the parameter box on to its next entry; the caller owns the action. None when the type needs an
    // entry of a list that is empty (a jump while there are no pages).
    std::unique_ptr<MenuAction> MakeAction();
    // Refills the parameter list from the project, keeping the entry the next action takes.
    void refreshParameters();
    // The data of a drag from the "drag & drop" panel, and whether a drop carries it.
    QMimeData* actionDragData() const;
    bool isActionDrag(const QMimeData* data) const;
    // The chosen action entry, or -1.
    int currentActionRow() const;

public slots:
    void SelectionListClick();
    void SelectionListEdited(QTreeWidgetItem* item);
    void cbActionChange();
    void ActionsListClick();
    void bttSelAddActionClick();
    void bttModifyCurrentActionClick();
    void Delete1Click();
    void UpDownClick(int step);
    void ActionsListContextPopup();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool takesListedParameter(int code);
    void fillActions(Selection* selection);
    void buildSelectionCommands();
    void buildAreaFields();
    // The chosen selection's Area in the four number fields (empty and disabled without one).
    void fillAreaFields();
    void areaFieldChanged(int field);
    void buildActionMaker();
    // The type box back at its first entry, the parameter box empty (its page entries may point at
    // pages that are gone).
    void clearActionMaker();
    void setActionRow(int row);
    void startActionDrag();

    ProjectEdits& m_edits;
    QPointer<TMainForm> m_main;
    QPointer<TPageViewerForm> m_pages;
    Page* m_page = nullptr;
    bool m_listing = false; // the lists are being filled by the program
    QPoint m_dragStart;     // where the mouse was pressed on the drag panel
    bool m_dragArmed = false;

public:
    QTreeWidget* SelectionList = nullptr;
    QMenu* pmSelectionList = nullptr; // Rename, Delete
    // The chosen selection's Area as numbers that can be typed in: left, top, right, bottom.
    QSpinBox* edAreaLeft = nullptr;
    QSpinBox* edAreaTop = nullptr;
    QSpinBox* edAreaRight = nullptr;
    QSpinBox* edAreaBottom = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* ActionsList = nullptr;
    QMenu* pmActionLst = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QComboBox* cbAction = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cbActionParameter = nullptr;
    QFrame* DragDropActionPanel = nullptr;
    QPushButton* bttSelAddAction = nullptr;
    QPushButton* bttModifyCurrentAction = nullptr;
};
