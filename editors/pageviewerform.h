#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QMimeData;
class QMouseEvent;
class QRadioButton;
class QToolButton;
class QPushButton;

class DialogService;
class PageComboBox;
class ProjectEdits;
class TMainForm;
class TSelectionsViewerForm;
struct MenuAction;
struct MenuProject;
struct MovieData;
struct Page;
struct PageProperties;
class PageCommandFilter;

// The rows of the page list are the project's pages themselves, in page order: a row's object is its
// page, never a copy.
class PageListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit PageListModel(MenuProject& project, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void refresh();           // pages added, removed or reordered
    void refreshRow(int row); // a page's look changed

private:
    MenuProject& m_project;
};

// The page tool window: the list of menu pages and the properties of one page, with the page's end
// behaviour (video loop, jump at end, action at end). Showing a page here makes it the current page of
// the whole program. It stays above other windows, can be docked into the main window as a tab, and
// owns the messages of the video.
class TPageViewerForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 240;
    static constexpr int kMinHeight = 300;
    static constexpr int kRowHeight = 48;
    static constexpr int kThumbnailWidth = 64;
    static constexpr int kThumbnailHeight = 43;

    TPageViewerForm(MenuProject& project, ProjectEdits& edits, DialogService& dialogs, QWidget* parent = nullptr);
    ~TPageViewerForm() override;
    // The windows this one calls; set by the start-up before anything is shown.
    void setWindows(TMainForm* main, TSelectionsViewerForm* selections);

    // "12) Credits", and for a video page "12) Credits (120-480)".
    static QString PageItemText(const Page& page);
    static QString PageCaption(const Page& page);

    int pageCount() const;
    Page* pageAt(int row) const;
    int selectedRow() const;
    void selectRow(int row); // moves the list selection only
    // The page of the selected row, or none.
    Page* currentPage() const;
    int CurrentPageIndex() const { return m_currentPageIndex; }
    int PreviousPageIndex() const { return m_previousPageIndex; }
    int CopySourceIndex() const { return m_copySourceIndex; }
    void setCopySourceIndex(int row);
    bool advancedOptionsShown() const { return m_advancedShown; }

    // The list shows the project's pages again (after pages were read into the project).
    void refreshList() { onPagesChanged(); }
    void ShowPage(int index);
    void DeletePage(int index);
    void UpdateDefaultSelectionCombo(Page* page);
    void ClearPages();
    // Copies the list's pages into the Jump-at-end box; keeps the selected position when asked.
    void refreshJumpAtEnd(bool keepPosition);
    // The page's thumbnail: the picture the main window shows now, stretched to 64 x 43.
    QImage makeThumbnail() const;
    // What Modify would change on the shown page, by the fields' labels ("Name", "Range", ...); empty
    // when the fields show the page as it is stored, or no page is shown.
    QStringList pendingChanges() const;
    // Before another page is shown (another row, page navigation, New, Open): when the fields hold
    // values not applied yet, asks whether to apply them. False when the author cancels, or applying
    // stopped at a field that holds no number; the caller then stays on this page.
    bool confirmLeavePage();
    // Reads "first-last" as the range field does; nothing when the text is not empty and holds no
    // first number. A missing number reads as 0.
    static std::optional<std::pair<int, int>> readRange(const QString& text);

public slots:
    void bttAddClick();
    void bttDelClick();
    void bttModifyClick();
    // Page > Find buttons, from the page window.
    void bttFindButtonsClick();
    void bttFirstClick();
    void bttLastClick();
    void bttBrowsePictureClick();
    void bttShowAdvancedOptClick();
    void PageListClick();
    void miDeleteActionAtEndClick();

    // The page list's popup commands and the Action-at-end slot's drop, double click and "Set action
    // at end" (pageviewerform_commands.cpp).
    void PageListContextPopup(); // enables the popup's entries for the selected row
    void puPLUpDownClick(int step);
    void puPLCopySelectionsClick();
    void puPLPasteSelectionsClick();
    void puPLDeleteClick();
    void SetasStartPage1Click();
    void SetasMenuPage1Click();
    void SetasChaptersPage1Click();
    void SetasSpecialsPage1Click();
    void miSetActionAtEndClick();

public:
    // Drops: whether the data may be dropped, and the drop itself. A page row carried over the list
    // changes places at once with the row under the pointer; the whole drag is one undo step.
    bool lstActionAtEndDragOver(const QMimeData* data) const;
    void lstActionAtEndDragDrop(const QMimeData* data);
    QMimeData* pageRowDragData() const;
    bool PageListDragOver(const QMimeData* data, const QPoint& position);
    void PageListDragDrop(const QMimeData* data);

signals:
    // A page became the current one (or none).
    void pageShown(Page* page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Modify itself; false when a field that must hold an integer does not (the error is shown).
    bool applyFields();
    // Reads the fields onto `p` as Modify applies them; a field that must hold an integer and does not
    // ends the reading with what was read before it already in `p`.
    void readFields(PageProperties& p, bool withThumbnail) const;
    // The Modify button stands out, and its hint says what it would change, while the fields differ
    // from the page shown.
    void updatePendingState();
    // A press on the page list: beside the rows it keeps the shown page; on another row it first asks
    // about unapplied values. True when the press is taken away from the list.
    bool pageListPress(const QMouseEvent* mouse);
    void applyModeRules();
    void applySelectionAvailableRules();
    void applyVideoLoopRule();
    void showError(const QString& text);
    void showActionAtEnd(Page* page);
    void onStepReplayed(Page* page);
    void onPagesChanged();
    void buildPageCommands();
    void setAsMark(QString MovieData::*field, const QString& commandText);
    bool commandEvent(QObject* watched, QEvent* event);
    void startPageRowDrag();
    void finishPageRowDrag();
    friend class PageCommandFilter;

    MenuProject& m_project;
    ProjectEdits& m_edits;
    DialogService& m_dialogs;
    QPointer<TMainForm> m_main;
    QPointer<TSelectionsViewerForm> m_selections;

    int m_currentPageIndex = -1;
    int m_previousPageIndex = -1;
    int m_copySourceIndex = -1;
    bool m_advancedShown = true;
    int m_fullOptionsHeight = -1;
    int m_cutHeight = 0;         // d: what the cut takes from the options box
    int m_windowReduction = 0;   // what the cut took from the window (less than d at the minimum size)
    bool m_listing = false;      // the list selection is moved by the program, not the user
    // The page order when a drag of a page row began, while one goes on.
    std::optional<std::vector<Page*>> m_dragOrderBefore;
    QPoint m_pageDragStart;
    bool m_pageDragArmed = false;
    bool m_pressOnShownRow = false; // a click on the shown row shows the page again

    PageListModel* m_model = nullptr;

public:
    // Controls, each named as its objectName, by which tests and accessibility tools find it.
    QListView* PageList = nullptr;
    QGroupBox* OptionsGroupBox = nullptr;
    QWidget* AdvancedOptions = nullptr;
    QWidget* BottomPanel = nullptr;
    QLineEdit* edNumber = nullptr;
    QLineEdit* edPageName = nullptr;
    QRadioButton* rbVideo = nullptr;
    QRadioButton* rbStillImage = nullptr;
    QLabel* lbPicture = nullptr;
    QLineEdit* edPictureFileName = nullptr;
    QToolButton* bttBrowsePicture = nullptr;
    QCheckBox* chkSelectionAvailable = nullptr;
    QCheckBox* chkVideoLoop = nullptr;
    QLabel* lbRange = nullptr;
    QLineEdit* edRange = nullptr;
    QToolButton* bttShowAdvancedOpt = nullptr;
    QLabel* lbPictureDuration = nullptr;
    QLineEdit* edPictureDuration = nullptr;
    QLabel* lbJumpAtEnd = nullptr;
    PageComboBox* cbJumpAtEnd = nullptr;
    QLabel* lbActionAtEnd = nullptr;
    QListWidget* lstActionAtEnd = nullptr;
    QMenu* puActionAtEnd = nullptr;
    QMenu* puPageList = nullptr;
    QAction* puPLUp = nullptr;
    QAction* puPLDown = nullptr;
    QAction* puPLCopySelections = nullptr;
    QAction* puPLPasteSelections = nullptr;
    QAction* puPLDelete = nullptr;
    QAction* SetasStartPage1 = nullptr;
    QAction* SetasMenuPage1 = nullptr;
    QAction* SetasChaptersPage1 = nullptr;
    QAction* SetasSpecialsPage1 = nullptr;
    QLabel* lbProhibitSelection = nullptr;
    QLineEdit* edProhibitSelBefore = nullptr;
    QLineEdit* edProhibitSelAfter = nullptr;
    QLabel* lbSelectionOrdering = nullptr;
    QRadioButton* rbRow = nullptr;
    QRadioButton* rbColumn = nullptr;
    QLabel* lbDefaultSelection = nullptr;
    QComboBox* cbDefaultSelection = nullptr;
    QToolButton* bttAdd = nullptr;
    QToolButton* bttDel = nullptr;
    QToolButton* bttModify = nullptr;
    QToolButton* bttFirst = nullptr;
    QToolButton* bttLast = nullptr;
};
