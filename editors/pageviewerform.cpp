// The page tool window: construction and layout, the page list and its drawing, and the page
// commands (Add, Delete, Modify, Set first/last frame, Browse picture, advanced options), the page end
// behaviour controls, and ShowPage, which makes a page the current one of the whole program.
#include "editors/pageviewerform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QHelpEvent>
#include <QListWidget>
#include <QToolTip>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#include "document/messages.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "editors/editorwidgets.h"
#include "editors/pageviewertexts.h"
#include "editors/selectionsviewerform.h"
#include "dialogs/dialogservice.h"
#include "core/paths.h"
#include "workspace/mainform.h"

namespace {

namespace text {
const QString kCaption = QStringLiteral("Pages");
const QString kOptions = QStringLiteral(" Options ");
const QString kNumber = QStringLiteral("Number :");
const QString kName = QStringLiteral("Name :");
const QString kType = QStringLiteral("Type :");
const QString kVideo = QStringLiteral(" Video ");
const QString kStillImage = QStringLiteral(" Still image ");
const QString kPicture = QStringLiteral("Picture :");
const QString kSelectionAvailable = QStringLiteral(" Selection Available ");
const QString kVideoLoop = QStringLiteral(" Video loop ");
const QString kRange = QStringLiteral("Range :");
const QString kPictureDuration = QStringLiteral("Picture Duration :");
const QString kJumpAtEnd = QStringLiteral("Jump at end :");
const QString kActionAtEnd = QStringLiteral("Action at end :");
const QString kProhibit = QStringLiteral("Prohibit selection :");
const QString kOrdering = QStringLiteral("Selection ordering :");
const QString kRow = QStringLiteral("row");
const QString kColumn = QStringLiteral("column");
const QString kDefaultSelection = QStringLiteral("Default selection :");
const QString kNone = QStringLiteral("None");
const QString kHide = QStringLiteral("<<");
const QString kShow = QStringLiteral(">>");
const QString kHideHint = QStringLiteral("Hide advanced options");
const QString kShowHint = QStringLiteral("Show advanced options");
const QString kUntitled = QStringLiteral("Untitled");
const QString kSetActionAtEnd = QStringLiteral("Set action at end");
const QString kDeleteActionAtEnd = QStringLiteral("Delete action at end");
const QString kPictureFilter = QStringLiteral("JPG Pictures files (*.jpg)|*.JPG");
const QString kOutsideMenuFolder = QStringLiteral("The picture file must be in the menu directory.");
const QString kError = QStringLiteral("Error");
const QString kNotInteger = QStringLiteral("'%1' is not a valid integer value");
const QString kSetMenuSize = QStringLiteral("Set menu size");
const QString kBrowsePictureHint = QStringLiteral("Choose the page picture");
const QString kPictureCaption = QStringLiteral("Choose the page picture");
const QString kApplyChanges = QStringLiteral("Apply your changes to page %1?");
const QString kNoPageToModify = QStringLiteral("No page selected: pick a page in the list to modify it");
const QString kPendingHint = QStringLiteral("Not applied to page %1 yet: %2");
const QString kChangeName = QStringLiteral("Name");
const QString kChangeType = QStringLiteral("Type");
const QString kChangePicture = QStringLiteral("Picture");
const QString kChangeSelectionAvailable = QStringLiteral("Selection Available");
const QString kChangeVideoLoop = QStringLiteral("Video loop");
const QString kChangeRange = QStringLiteral("Range");
const QString kChangePictureDuration = QStringLiteral("Picture Duration");
const QString kChangeJumpAtEnd = QStringLiteral("Jump at end");
const QString kChangeProhibit = QStringLiteral("Prohibit selection");
const QString kChangeOrdering = QStringLiteral("Selection ordering");
const QString kChangeDefaultSelection = QStringLiteral("Default selection");
const QString kChangeNotNumber = QStringLiteral("'%1' (not a number)");
} // namespace text

constexpr int kInitialWidth = 290;
constexpr int kInitialHeight = 600;
constexpr int kCutMargin = 10; // the cut options box ends this far below the advanced-options button
constexpr int kJumpEntryHeight = 15;
constexpr int kActionAtEndRowHeight = 17;

// The conversion error of an edit that must hold an integer.
struct NotAnInteger
{
    QString text;
};

// An integer as the framework's conversion reads it: leading blanks allowed, then an optional sign
// and decimal digits, nothing after them.
int integerOf(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    bool ok = false;
    const int value = text.mid(start).toInt(&ok, 10);
    if (!ok || text.mid(start).startsWith(QLatin1Char(' ')))
        throw NotAnInteger{text};
    return value;
}

// One "%d" of a scan: blanks skipped, an optional sign, digits; `pos` moves past what was read.
std::optional<int> scanInt(const QString& text, qsizetype& pos)
{
    qsizetype p = pos;
    while (p < text.size() && text[p].isSpace())
        ++p;
    const qsizetype signAt = p;
    if (p < text.size() && (text[p] == QLatin1Char('-') || text[p] == QLatin1Char('+')))
        ++p;
    const qsizetype digits = p;
    while (p < text.size() && text[p].isDigit())
        ++p;
    if (p == digits)
        return std::nullopt;
    bool ok = false;
    const int value = text.mid(signAt, p - signAt).toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    pos = p;
    return value;
}

// Draws a page list row: thumbnail, markers, separator line and caption.
class PageListDelegate : public QStyledItemDelegate
{
public:
    PageListDelegate(const TPageViewerForm& form, const MenuProject& project, QObject* parent)
        : QStyledItemDelegate(parent), m_form(form), m_project(project)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const Page* page = pageOfItem(index);
        if (!page)
            return;
        const QRect r = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(r, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));

        const QImage thumbnail = page->thumbnail.value<QImage>();
        if (!thumbnail.isNull()) {
            const int height = int(thumbnail.deviceIndependentSize().height());
            painter->drawImage(r.left() + 2, r.top() + (r.height() - height) / 2, thumbnail);
        }

        // The marks are plain text comparisons of the movie data's fields with the page number.
        const QString number = QString::number(page->number);
        const MovieData& md = m_project.movieData;
        const QList<QIcon>& icons = ImageList1();
        const int y = r.top() + 4;
        auto mark = [&](int icon, int x) { icons[icon].paint(painter, QRect(r.left() + x, y, 16, 16)); };
        if (index.row() == m_form.CopySourceIndex())
            mark(0, 72);
        if (md.startPage == number)
            mark(5, 96);
        if (md.menuPage == number)
            mark(6, 110);
        if (md.chaptersPage == number)
            mark(7, 124);
        if (md.specialsPage == number)
            mark(8, 138);

        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());

        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics fm(option.font);
        // The caption's top sits half a font height below the row's middle.
        const int top = r.top() + (r.height() - QFontInfo(option.font).pixelSize()) / 2;
        // A long name ends in an ellipsis; its hint gives the whole caption.
        const int room = qMax(0, r.right() - 2 - (r.left() + 72));
        painter->drawText(r.left() + 72, top + fm.ascent(),
                          fm.elidedText(TPageViewerForm::PageCaption(*page), Qt::ElideRight, room));
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        const Page* page = pageOfItem(index);
        if (event->type() == QEvent::ToolTip && page) {
            const QString caption = TPageViewerForm::PageCaption(*page);
            if (72 + QFontMetrics(option.font).horizontalAdvance(caption) + 2 > option.rect.width()) {
                QToolTip::showText(event->globalPos(), caption, view->viewport(), option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {200, TPageViewerForm::kRowHeight};
    }

private:
    const TPageViewerForm& m_form;
    const MenuProject& m_project;
};

} // namespace

// ---------------------------------------------------------------------------------------------
PageListModel::PageListModel(MenuProject& project, QObject* parent) : QAbstractListModel(parent), m_project(project) {}

int PageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_project.pages.size());
}

QVariant PageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_project.pages.size()))
        return {};
    Page* page = m_project.pages[size_t(index.row())].get();
    if (role == Qt::DisplayRole)
        return QString::number(page->number);
    if (role == kObjectRole)
        return QVariant::fromValue(static_cast<void*>(page));
    return {};
}

Qt::ItemFlags PageListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled : Qt::ItemIsDropEnabled;
}

void PageListModel::refresh()
{
    beginResetModel();
    endResetModel();
}

void PageListModel::refreshRow(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row), index(row));
}

// ---------------------------------------------------------------------------------------------
TPageViewerForm::TPageViewerForm(MenuProject& project, ProjectEdits& edits, DialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_project(project), m_edits(edits), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("PageViewerForm"));
    setWindowTitle(text::kCaption);
    // Hints show while another window of the program is the active one: the author reads the buttons
    // before ever clicking into this window.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setMinimumSize(kMinWidth, kMinHeight);
    buildControls();
    buildPageCommands();
    resize(kInitialWidth, kInitialHeight);

    connect(&m_edits, &ProjectEdits::pagesChanged, this, [this] { onPagesChanged(); });
    connect(&m_edits, &ProjectEdits::pageChanged, this, [this](Page* page) {
        m_model->refreshRow(m_edits.pageIndex(page));
        if (page == currentPage())
            showActionAtEnd(page);
    });
    connect(&m_edits, &ProjectEdits::movieDataChanged, this, [this] { PageList->viewport()->update(); });
    connect(&m_edits, &ProjectEdits::stepReplayed, this, [this](Page* page, Selection*) { onStepReplayed(page); });
}

TPageViewerForm::~TPageViewerForm() = default;

void TPageViewerForm::setWindows(TMainForm* main, TSelectionsViewerForm* selections)
{
    m_main = main;
    m_selections = selections;
}

void TPageViewerForm::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    m_model = new PageListModel(m_project, this); // owned by the window
    PageList = new QListView(this);
    PageList->setObjectName(QStringLiteral("PageList"));
    PageList->setModel(m_model);
    PageList->setItemDelegate(new PageListDelegate(*this, m_project, PageList)); // owned by the list
    PageList->setUniformItemSizes(true); // only the rows in view are laid out and painted
    PageList->setSelectionMode(QAbstractItemView::SingleSelection);
    PageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PageList->viewport()->setCursor(Qt::PointingHandCursor);
    // The view moves its current row before it selects it, so the new row is taken from the signal.
    connect(PageList->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& row) {
        if (!m_listing)
            ShowPage(row.isValid() ? row.row() : -1);
    });
    layout->addWidget(PageList, 1);

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    auto* bottom = new QVBoxLayout(BottomPanel);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(2);
    layout->addWidget(BottomPanel, 0);

    OptionsGroupBox = new QGroupBox(text::kOptions, BottomPanel);
    OptionsGroupBox->setObjectName(QStringLiteral("OptionsGroupBox"));
    bottom->addWidget(OptionsGroupBox);
    auto* box = new QVBoxLayout(OptionsGroupBox);
    box->setContentsMargins(4, 4, 4, 4);
    box->setSpacing(2);

    auto* basic = new QGridLayout;
    basic->setHorizontalSpacing(4);
    basic->setVerticalSpacing(2);
    box->addLayout(basic);
    AdvancedOptions = new QWidget(OptionsGroupBox);
    AdvancedOptions->setObjectName(QStringLiteral("AdvancedOptions"));
    auto* advanced = new QGridLayout(AdvancedOptions);
    advanced->setContentsMargins(0, 0, 0, 0);
    advanced->setHorizontalSpacing(4);
    advanced->setVerticalSpacing(2);
    box->addWidget(AdvancedOptions);
    box->addStretch(1);

    auto label = [](QWidget* parent, const char* name, const QString& caption) {
        auto* l = new QLabel(caption, parent); // owned by its parent
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto edit = [](QWidget* parent, const char* name, const QString& initial, const QString& hint) {
        auto* e = new QLineEdit(initial, parent); // owned by its parent
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(hint);
        return e;
    };

    int row = 0;
    basic->addWidget(label(OptionsGroupBox, "lbNumber", text::kNumber), row, 0);
    edNumber = edit(OptionsGroupBox, "edNumber", QString(), pagehints::edNumber);
    basic->addWidget(edNumber, row++, 1, 1, 2);
    basic->addWidget(label(OptionsGroupBox, "lbPageName", text::kName), row, 0);
    edPageName = edit(OptionsGroupBox, "edPageName", QString(), pagehints::edPageName);
    basic->addWidget(edPageName, row++, 1, 1, 2);

    basic->addWidget(label(OptionsGroupBox, "lbType", text::kType), row, 0);
    rbVideo = new QRadioButton(text::kVideo, OptionsGroupBox);
    rbVideo->setObjectName(QStringLiteral("rbVideo"));
    rbStillImage = new QRadioButton(text::kStillImage, OptionsGroupBox);
    rbStillImage->setObjectName(QStringLiteral("rbStillImage"));
    auto* modes = new QButtonGroup(OptionsGroupBox); // owned by the box
    modes->addButton(rbVideo);
    modes->addButton(rbStillImage);
    rbVideo->setChecked(true);
    basic->addWidget(rbVideo, row, 1);
    basic->addWidget(rbStillImage, row++, 2);

    lbPicture = label(OptionsGroupBox, "lbPicture", text::kPicture);
    basic->addWidget(lbPicture, row, 0);
    auto* pictureRow = new QHBoxLayout;
    edPictureFileName = edit(OptionsGroupBox, "edPictureFileName", QString(), pagehints::edPictureFileName);
    bttBrowsePicture = new QToolButton(OptionsGroupBox);
    bttBrowsePicture->setObjectName(QStringLiteral("bttBrowsePicture"));
    bttBrowsePicture->setText(QStringLiteral("..."));
    bttBrowsePicture->setToolTip(text::kBrowsePictureHint);
    bttBrowsePicture->setAccessibleName(text::kBrowsePictureHint);
    bttBrowsePicture->setAccessibleDescription(text::kBrowsePictureHint);
    pictureRow->addWidget(edPictureFileName, 1);
    pictureRow->addWidget(bttBrowsePicture);
    basic->addLayout(pictureRow, row++, 1, 1, 2);

    chkSelectionAvailable = new QCheckBox(text::kSelectionAvailable, OptionsGroupBox);
    chkSelectionAvailable->setObjectName(QStringLiteral("chkSelectionAvailable"));
    chkSelectionAvailable->setToolTip(pagehints::chkSelectionAvailable);
    chkSelectionAvailable->setChecked(true);
    chkVideoLoop = new QCheckBox(text::kVideoLoop, OptionsGroupBox);
    chkVideoLoop->setObjectName(QStringLiteral("chkVideoLoop"));
    chkVideoLoop->setToolTip(pagehints::chkVideoLoop);
    chkVideoLoop->setChecked(true);
    basic->addWidget(chkSelectionAvailable, row, 0, 1, 2);
    basic->addWidget(chkVideoLoop, row++, 2);

    lbRange = label(OptionsGroupBox, "lbRange", text::kRange);
    basic->addWidget(lbRange, row, 0);
    auto* rangeRow = new QHBoxLayout;
    edRange = edit(OptionsGroupBox, "edRange", QStringLiteral("0-0"), pagehints::edRange);
    bttShowAdvancedOpt = new QToolButton(OptionsGroupBox);
    bttShowAdvancedOpt->setObjectName(QStringLiteral("bttShowAdvancedOpt"));
    bttShowAdvancedOpt->setText(text::kHide);
    bttShowAdvancedOpt->setToolTip(text::kHideHint);
    bttShowAdvancedOpt->setAccessibleName(text::kHideHint);
    bttShowAdvancedOpt->setAccessibleDescription(text::kHideHint);
    rangeRow->addWidget(edRange, 1);
    rangeRow->addWidget(bttShowAdvancedOpt);
    basic->addLayout(rangeRow, row++, 1, 1, 2);
    basic->setColumnStretch(1, 1);
    basic->setColumnStretch(2, 1);

    // The advanced options, hidden by the cut.
    row = 0;
    lbPictureDuration = label(AdvancedOptions, "lbPictureDuration", text::kPictureDuration);
    advanced->addWidget(lbPictureDuration, row, 0);
    edPictureDuration = edit(AdvancedOptions, "edPictureDuration", QStringLiteral("0"), pagehints::edPictureDuration);
    advanced->addWidget(edPictureDuration, row++, 1, 1, 2);

    lbJumpAtEnd = label(AdvancedOptions, "lbJumpAtEnd", text::kJumpAtEnd);
    advanced->addWidget(lbJumpAtEnd, row, 0);
    cbJumpAtEnd = new PageComboBox(AdvancedOptions);
    cbJumpAtEnd->setObjectName(QStringLiteral("cbJumpAtEnd"));
    cbJumpAtEnd->setToolTip(pagehints::cbJumpAtEnd);
    cbJumpAtEnd->addItem(QStringLiteral("-"));
    cbJumpAtEnd->setCurrentIndex(0);
    advanced->addWidget(cbJumpAtEnd, row++, 1, 1, 2);

    lbActionAtEnd = label(AdvancedOptions, "lbActionAtEnd", text::kActionAtEnd);
    advanced->addWidget(lbActionAtEnd, row, 0);
    lstActionAtEnd = new QListWidget(AdvancedOptions);
    lstActionAtEnd->setObjectName(QStringLiteral("lstActionAtEnd"));
    lstActionAtEnd->setToolTip(pagehints::lstActionAtEnd);
    lstActionAtEnd->setItemDelegate(new ActionItemDelegate(kActionAtEndRowHeight, QPoint(4, 1), lstActionAtEnd));
    lstActionAtEnd->setFixedHeight(QFontMetrics(lstActionAtEnd->font()).height() + 6 + 2 * lstActionAtEnd->frameWidth());
    lstActionAtEnd->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstActionAtEnd->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstActionAtEnd->setContextMenuPolicy(Qt::DefaultContextMenu);
    lstActionAtEnd->installEventFilter(this); // Delete key and popup
    advanced->addWidget(lstActionAtEnd, row++, 1, 1, 2);
    puActionAtEnd = new QMenu(this); // owned by the window
    puActionAtEnd->setObjectName(QStringLiteral("puActionAtEnd"));
    QAction* setAction = puActionAtEnd->addAction(text::kSetActionAtEnd);
    setAction->setObjectName(QStringLiteral("miSetActionAtEnd"));
    QAction* deleteAction = puActionAtEnd->addAction(ImageList1()[2], text::kDeleteActionAtEnd);
    deleteAction->setObjectName(QStringLiteral("miDeleteActionAtEnd"));
    connect(deleteAction, &QAction::triggered, this, [this] { miDeleteActionAtEndClick(); });

    lbProhibitSelection = label(AdvancedOptions, "lbProhibitSelection", text::kProhibit);
    advanced->addWidget(lbProhibitSelection, row, 0);
    edProhibitSelBefore = edit(AdvancedOptions, "edProhibitSelBefore", QStringLiteral("0"), pagehints::edProhibitSelBefore);
    edProhibitSelAfter = edit(AdvancedOptions, "edProhibitSelAfter", QStringLiteral("0"), pagehints::edProhibitSelAfter);
    advanced->addWidget(edProhibitSelBefore, row, 1);
    advanced->addWidget(edProhibitSelAfter, row++, 2);

    lbSelectionOrdering = label(AdvancedOptions, "lbSelectionOrdering", text::kOrdering);
    advanced->addWidget(lbSelectionOrdering, row, 0);
    rbRow = new QRadioButton(text::kRow, AdvancedOptions);
    rbRow->setObjectName(QStringLiteral("rbRow"));
    rbRow->setToolTip(pagehints::rbRow);
    rbColumn = new QRadioButton(text::kColumn, AdvancedOptions);
    rbColumn->setObjectName(QStringLiteral("rbColumn"));
    rbColumn->setToolTip(pagehints::rbColumn);
    auto* ordering = new QButtonGroup(AdvancedOptions); // owned by the panel
    ordering->addButton(rbRow);
    ordering->addButton(rbColumn);
    rbRow->setChecked(true);
    advanced->addWidget(rbRow, row, 1);
    advanced->addWidget(rbColumn, row++, 2);

    lbDefaultSelection = label(AdvancedOptions, "lbDefaultSelection", text::kDefaultSelection);
    advanced->addWidget(lbDefaultSelection, row, 0);
    cbDefaultSelection = new QComboBox(AdvancedOptions);
    cbDefaultSelection->setObjectName(QStringLiteral("cbDefaultSelection"));
    cbDefaultSelection->setToolTip(pagehints::cbDefaultSelection);
    cbDefaultSelection->addItem(text::kNone);
    cbDefaultSelection->setCurrentIndex(0);
    advanced->addWidget(cbDefaultSelection, row++, 1, 1, 2);
    advanced->setColumnStretch(1, 1);
    advanced->setColumnStretch(2, 1);
    // Both halves of the options share one label column, so their fields line up.
    int labelWidth = 0;
    const QList<QLabel*> labels = OptionsGroupBox->findChildren<QLabel*>();
    for (const QLabel* l : labels)
        labelWidth = qMax(labelWidth, l->sizeHint().width());
    basic->setColumnMinimumWidth(0, labelWidth);
    advanced->setColumnMinimumWidth(0, labelWidth);

    // The buttons: page commands at the bottom left, frame commands at the bottom right.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    bottom->addLayout(buttons);
    auto tool = [this, buttons](const char* name, const QIcon& icon, const QString& hint, void (TPageViewerForm::*click)()) {
        auto* b = new QToolButton(BottomPanel); // owned by the panel
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(icon);
        b->setToolTip(hint);
        // The icon says nothing to a screen reader: the hint's words up to any explanation name it.
        b->setAccessibleName(hint.section(QLatin1String(" ("), 0, 0));
        b->setAccessibleDescription(hint);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, click] { (this->*click)(); });
        buttons->addWidget(b);
        return b;
    };
    bttAdd = tool("bttAdd", toolIcon(ToolIcon::Add), pagehints::bttAdd, &TPageViewerForm::bttAddClick);
    bttDel = tool("bttDel", ImageList1()[2], pagehints::bttDel, &TPageViewerForm::bttDelClick);
    bttModify = tool("bttModify", toolIcon(ToolIcon::Modify), pagehints::bttModify, &TPageViewerForm::bttModifyClick);
    tool("bttFindButtons", findButtonsIcon(), pagehints::bttFindButtons, &TPageViewerForm::bttFindButtonsClick);
    buttons->addStretch(1);
    bttFirst = tool("bttFirst", toolIcon(ToolIcon::FirstFrame), pagehints::bttFirst, &TPageViewerForm::bttFirstClick);
    bttLast = tool("bttLast", toolIcon(ToolIcon::LastFrame), pagehints::bttLast, &TPageViewerForm::bttLastClick);

    connect(bttBrowsePicture, &QToolButton::clicked, this, [this] { bttBrowsePictureClick(); });
    connect(bttShowAdvancedOpt, &QToolButton::clicked, this, [this] { bttShowAdvancedOptClick(); });
    // The rules run whenever a state changes, also when the program changes it.
    connect(rbVideo, &QRadioButton::toggled, this, [this] { applyModeRules(); });
    connect(chkSelectionAvailable, &QCheckBox::toggled, this, [this] { applySelectionAvailableRules(); });
    connect(chkVideoLoop, &QCheckBox::toggled, this, [this] { applyVideoLoopRule(); });

    applyModeRules();

    // Every page field: Enter applies the fields as Modify does, and a change shows on the Modify
    // button at once.
    const auto update = [this] { updatePendingState(); };
    for (QLineEdit* field : {edNumber, edPageName, edPictureFileName, edRange, edPictureDuration, edProhibitSelBefore,
                             edProhibitSelAfter}) {
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, update);
    }
    for (QAbstractButton* box : std::initializer_list<QAbstractButton*>{rbVideo, rbStillImage, chkSelectionAvailable,
                                                                         chkVideoLoop, rbRow, rbColumn}) {
        box->installEventFilter(this);
        connect(box, &QAbstractButton::toggled, this, update);
    }
    for (QComboBox* box : std::initializer_list<QComboBox*>{cbJumpAtEnd, cbDefaultSelection}) {
        box->installEventFilter(this);
        connect(box, &QComboBox::currentIndexChanged, this, update);
    }
    PageList->installEventFilter(this); // the keys that move to another page
}

// --- texts ----------------------------------------------------------------------------------
QString TPageViewerForm::PageItemText(const Page& page)
{
    return QString::number(page.number) + QStringLiteral(") ") + page.name;
}

QString TPageViewerForm::PageCaption(const Page& page)
{
    if (!page.backgroundIsVideo)
        return PageItemText(page);
    return PageItemText(page) + QStringLiteral(" (%1-%2)").arg(page.firstFrame).arg(page.lastFrame);
}

// --- the list -------------------------------------------------------------------------------
int TPageViewerForm::pageCount() const
{
    return int(m_project.pages.size());
}

Page* TPageViewerForm::pageAt(int row) const
{
    return row >= 0 && row < pageCount() ? m_project.pages[size_t(row)].get() : nullptr;
}

int TPageViewerForm::selectedRow() const
{
    const QModelIndexList rows = PageList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TPageViewerForm::selectRow(int row)
{
    const bool was = m_listing;
    m_listing = true;
    if (row < 0 || row >= pageCount()) {
        PageList->selectionModel()->clear();
    } else {
        const QModelIndex index = m_model->index(row);
        PageList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        PageList->scrollTo(index);
    }
    m_listing = was;
}

Page* TPageViewerForm::currentPage() const
{
    return pageAt(selectedRow());
}

void TPageViewerForm::setCopySourceIndex(int row)
{
    m_copySourceIndex = row;
    PageList->viewport()->update();
}

void TPageViewerForm::PageListClick()
{
    ShowPage(selectedRow());
}

void TPageViewerForm::onPagesChanged()
{
    const int row = selectedRow();
    m_model->refresh();
    selectRow(qMin(row, pageCount() - 1));
}

void TPageViewerForm::onStepReplayed(Page* page)
{
    // An undo or redo: the jump entries may point at pages that came or went, and the page the step
    // concerned is shown.
    refreshJumpAtEnd(false);
    int row = m_edits.pageIndex(page);
    if (row < 0)
        row = qMin(m_currentPageIndex, pageCount() - 1);
    if (row < 0 && pageCount() > 0)
        row = 0;
    selectRow(row);
    ShowPage(row);
}

void TPageViewerForm::refreshJumpAtEnd(bool keepPosition)
{
    const int position = cbJumpAtEnd->currentIndex();
    QList<Page*> pages;
    for (const auto& p : m_project.pages)
        pages.append(p.get());
    cbJumpAtEnd->setPages(pages);
    if (keepPosition && position < cbJumpAtEnd->count())
        cbJumpAtEnd->setCurrentIndex(position);
}

QImage TPageViewerForm::makeThumbnail() const
{
    // As many pixels as the screen shows in the 64 x 43 of the row, so the thumbnail is sharp on a
    // screen that scales the windows.
    const qreal ratio = devicePixelRatioF();
    const QSize size = (QSizeF(kThumbnailWidth, kThumbnailHeight) * ratio).toSize();
    const QImage picture = m_main ? m_main->picture() : QImage();
    QImage thumbnail;
    if (picture.isNull()) {
        thumbnail = QImage(size, QImage::Format_RGB32);
        thumbnail.fill(palette().color(QPalette::Window));
    } else {
        thumbnail = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    }
    thumbnail.setDevicePixelRatio(ratio);
    return thumbnail;
}

std::optional<std::pair<int, int>> TPageViewerForm::readRange(const QString& text)
{
    if (text.isEmpty())
        return std::pair{0, 0};
    qsizetype pos = 0;
    const std::optional<int> first = scanInt(text, pos);
    if (!first)
        return std::nullopt;
    int last = 0;
    if (pos < text.size() && text[pos] == QLatin1Char('-')) {
        ++pos;
        last = scanInt(text, pos).value_or(0);
    }
    return std::pair{*first, last};
}

void TPageViewerForm::showError(const QString& message)
{
    m_dialogs.showMessage({message, kAppTitle, MessageIcon::Error}, this);
}

// --- enabling rules -------------------------------------------------------------------------
void TPageViewerForm::applyModeRules()
{
    const bool video = rbVideo->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(lbPicture), static_cast<QWidget*>(edPictureFileName),
                       static_cast<QWidget*>(bttBrowsePicture), static_cast<QWidget*>(lbPictureDuration),
                       static_cast<QWidget*>(edPictureDuration)})
        w->setEnabled(!video);
    for (QWidget* w : {static_cast<QWidget*>(chkVideoLoop), static_cast<QWidget*>(lbRange),
                       static_cast<QWidget*>(edRange), static_cast<QWidget*>(bttFirst), static_cast<QWidget*>(bttLast)})
        w->setEnabled(video);
    applySelectionAvailableRules();
    chkVideoLoop->setChecked(video);
    for (QWidget* w : {static_cast<QWidget*>(lbJumpAtEnd), static_cast<QWidget*>(cbJumpAtEnd),
                       static_cast<QWidget*>(lbActionAtEnd), static_cast<QWidget*>(lstActionAtEnd)})
        w->setEnabled(!video);
}

void TPageViewerForm::applySelectionAvailableRules()
{
    const bool available = chkSelectionAvailable->isChecked();
    const bool video = rbVideo->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(lbProhibitSelection), static_cast<QWidget*>(edProhibitSelBefore),
                       static_cast<QWidget*>(edProhibitSelAfter)})
        w->setEnabled(available && video);
    for (QWidget* w : {static_cast<QWidget*>(lbSelectionOrdering), static_cast<QWidget*>(rbRow),
                       static_cast<QWidget*>(rbColumn), static_cast<QWidget*>(lbDefaultSelection),
                       static_cast<QWidget*>(cbDefaultSelection)})
        w->setEnabled(available);
}

void TPageViewerForm::applyVideoLoopRule()
{
    const bool loop = chkVideoLoop->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(lbJumpAtEnd), static_cast<QWidget*>(cbJumpAtEnd),
                       static_cast<QWidget*>(lbActionAtEnd), static_cast<QWidget*>(lstActionAtEnd)})
        w->setEnabled(!loop);
}

// --- Add, Modify, Delete --------------------------------------------------------------------
void TPageViewerForm::bttAddClick()
{
    const std::pair<int, int> range = readRange(edRange->text()).value_or(std::pair{0, 0});
    const bool video = rbVideo->isChecked();
    // The thumbnail is taken from the picture on screen: a still page's picture there is no frame of
    // the new page, even when the track bar already stands at its first frame.
    if (video && m_main && (range.first != 0 || m_main->stillShown()))
        m_main->setTrackBarPosition(range.first);
    try {
        const QImage thumbnail = makeThumbnail();
        const QString name = edPageName->text().isEmpty() ? text::kUntitled : edPageName->text();

        int number = 0;
        if (!edNumber->text().isEmpty()) {
            number = integerOf(edNumber->text());
            for (const auto& p : m_project.pages) {
                if (p->number == number)
                    number = 0; // taken: the next free number instead, without a word
            }
        }
        if (number == 0) {
            int highest = 0;
            for (const auto& p : m_project.pages)
                highest = qMax(highest, p->number);
            number = highest + 1;
        }

        auto page = std::make_unique<Page>(number, name, QVariant::fromValue(thumbnail));
        page->backgroundIsVideo = video;
        page->selectionAvailable = chkSelectionAvailable->isChecked();
        if (video) {
            page->firstFrame = range.first;
            page->lastFrame = range.second;
            page->videoLoop = chkVideoLoop->isChecked();
        } else {
            page->pictureFile = edPictureFileName->text();
        }
        if (!edProhibitSelBefore->text().isEmpty())
            page->prohibitSelectionBefore = integerOf(edProhibitSelBefore->text());
        if (!edProhibitSelAfter->text().isEmpty())
            page->prohibitSelectionAfter = integerOf(edProhibitSelAfter->text());
        page->columnOrdering = rbColumn->isChecked();
        // What the author chose in the fields goes with the new page, as Modify would take it: the
        // fields show the new page's values afterwards, and a choice dropped there would be lost
        // without a word.
        if (!edPictureDuration->text().isEmpty())
            page->pictureDuration = integerOf(edPictureDuration->text());
        if (const Page* target = cbJumpAtEnd->currentIndex() >= 0 ? cbJumpAtEnd->currentPage() : nullptr)
            page->jumpAtEnd = target->number;
        page->defaultSelection = qMax(0, cbDefaultSelection->currentIndex());

        const int row = pageCount();
        m_edits.insertPage(row, std::move(page));
        selectRow(row);
        refreshJumpAtEnd(false);
        ShowPage(row);
    } catch (const NotAnInteger& e) {
        showError(text::kNotInteger.arg(e.text)); // no page is added
    }
}

void TPageViewerForm::bttModifyClick()
{
    applyFields();
}

void TPageViewerForm::readFields(PageProperties& p, bool withThumbnail) const
{
    if (!edPageName->text().isEmpty())
        p.name = edPageName->text();
    p.backgroundIsVideo = rbVideo->isChecked();
    if (edPictureFileName->text() != p.pictureFile) {
        if (withThumbnail)
            p.thumbnail = QVariant::fromValue(makeThumbnail());
        p.pictureFile = edPictureFileName->text();
    }
    p.selectionAvailable = chkSelectionAvailable->isChecked();
    p.videoLoop = chkVideoLoop->isChecked();
    if (const auto range = readRange(edRange->text())) {
        p.firstFrame = range->first;
        p.lastFrame = range->second;
    }
    if (!edPictureDuration->text().isEmpty())
        p.pictureDuration = integerOf(edPictureDuration->text());
    if (cbJumpAtEnd->currentIndex() >= 0) {
        const Page* target = cbJumpAtEnd->currentPage();
        p.jumpAtEnd = target ? target->number : 0;
    }
    if (!edProhibitSelBefore->text().isEmpty())
        p.prohibitSelectionBefore = integerOf(edProhibitSelBefore->text());
    if (!edProhibitSelAfter->text().isEmpty())
        p.prohibitSelectionAfter = integerOf(edProhibitSelAfter->text());
    p.columnOrdering = rbColumn->isChecked();
    // "None" stands for every default the page's selections do not reach, the file's -1 among them:
    // the page keeps its own value until the author picks a selection there.
    const int shown = qMax(0, cbDefaultSelection->currentIndex());
    const bool storedShowsNone = p.defaultSelection < 1 || p.defaultSelection > cbDefaultSelection->count() - 1;
    if (shown != 0 || !storedShowsNone)
        p.defaultSelection = shown;
}

bool TPageViewerForm::applyFields()
{
    Page* page = currentPage();
    if (!page) {
        // Modify changes the selected page; without one the button would do nothing without a word.
        if (m_main)
            m_main->showStatusMessage(text::kNoPageToModify);
        return true;
    }
    PageProperties p = page->properties();
    // What is read before a field that fails still applies, as one step.
    auto apply = [this, page, &p] {
        if (!(p == page->properties()))
            m_edits.modifyPage(*page, p);
    };
    bool applied = true;
    try {
        readFields(p, true);
        refreshJumpAtEnd(true);
        apply();
    } catch (const NotAnInteger& e) {
        apply();
        showError(text::kNotInteger.arg(e.text));
        applied = false;
    }
    m_model->refreshRow(m_edits.pageIndex(page));
    updatePendingState();
    return applied;
}

QStringList TPageViewerForm::pendingChanges() const
{
    const Page* page = pageAt(m_currentPageIndex);
    if (!page || selectedRow() != m_currentPageIndex)
        return {};
    const PageProperties& stored = page->properties();
    PageProperties p = stored;
    QString failed;
    try {
        readFields(p, false);
    } catch (const NotAnInteger& e) {
        failed = e.text; // Modify would stop there with a message: that is a change too
    }
    QStringList changes;
    auto differs = [&changes](bool changed, const QString& label) {
        if (changed && !changes.contains(label))
            changes << label;
    };
    differs(p.name != stored.name, text::kChangeName);
    differs(p.backgroundIsVideo != stored.backgroundIsVideo, text::kChangeType);
    differs(p.pictureFile != stored.pictureFile, text::kChangePicture);
    differs(p.selectionAvailable != stored.selectionAvailable, text::kChangeSelectionAvailable);
    differs(p.videoLoop != stored.videoLoop, text::kChangeVideoLoop);
    differs(p.firstFrame != stored.firstFrame || p.lastFrame != stored.lastFrame, text::kChangeRange);
    differs(p.pictureDuration != stored.pictureDuration, text::kChangePictureDuration);
    differs(p.jumpAtEnd != stored.jumpAtEnd, text::kChangeJumpAtEnd);
    differs(p.prohibitSelectionBefore != stored.prohibitSelectionBefore
                || p.prohibitSelectionAfter != stored.prohibitSelectionAfter,
            text::kChangeProhibit);
    differs(p.columnOrdering != stored.columnOrdering, text::kChangeOrdering);
    differs(p.defaultSelection != stored.defaultSelection, text::kChangeDefaultSelection);
    if (!failed.isEmpty())
        changes << text::kChangeNotNumber.arg(failed);
    return changes;
}

void TPageViewerForm::updatePendingState()
{
    const QStringList changes = pendingChanges();
    const bool pending = !changes.isEmpty();
    QString hint = pagehints::bttModify;
    if (pending) {
        const Page* page = pageAt(m_currentPageIndex);
        hint += QStringLiteral("\n\n") + text::kPendingHint.arg(page->number).arg(changes.join(QStringLiteral(", ")));
    }
    if (bttModify->toolTip() == hint)
        return;
    bttModify->setToolTip(hint);
    bttModify->setAccessibleDescription(hint);
    // A raised button in the highlight colour: the fields hold something the page does not have yet.
    bttModify->setAutoRaise(!pending);
    bttModify->setProperty("pending", pending);
    QPalette palette = this->palette();
    if (pending)
        palette.setColor(QPalette::Button, palette.color(QPalette::Highlight).lighter(160));
    bttModify->setPalette(palette);
}

bool TPageViewerForm::confirmLeavePage()
{
    if (pendingChanges().isEmpty())
        return true;
    const Page* page = pageAt(m_currentPageIndex);
    using Choice = DialogService::Choice;
    switch (m_dialogs.ask(text::kApplyChanges.arg(page->number), kAppTitle, {Choice::Apply, Choice::Discard, Choice::Cancel},
                          this)) {
    case Choice::Apply:
        return applyFields();
    case Choice::Discard:
        return true;
    default:
        return false;
    }
}

bool TPageViewerForm::pageListPress(const QMouseEvent* mouse)
{
    const QModelIndex at = PageList->indexAt(mouse->position().toPoint());
    m_pressOnShownRow = false;
    // Beside the rows: the list would unselect the page while the fields still show it, and Modify
    // would then do nothing.
    if (!at.isValid())
        return true;
    if (at.row() != selectedRow())
        return !confirmLeavePage();
    m_pressOnShownRow = mouse->button() == Qt::LeftButton && at.row() == m_currentPageIndex;
    return false;
}

void TPageViewerForm::DeletePage(int index)
{
    if (index < 0 || index >= pageCount())
        return;
    // One undo step brings the page back; the status line says what went with it.
    const Page& page = *m_project.pages[size_t(index)];
    QString what = QStringLiteral("Deleted page %1").arg(PageItemText(page));
    if (!page.selections.empty())
        what += page.selections.size() == 1 ? QStringLiteral(" with its selection")
                                            : QStringLiteral(" with %1 selections").arg(page.selections.size());
    what += QStringLiteral(" (Undo brings it back)");
    m_edits.deletePage(index); // the page's rectangles leave the picture with it
    if (m_main)
        m_main->showStatusMessage(what);
    refreshJumpAtEnd(false);
    if (pageCount() > 0)
        selectRow(qMin(index, pageCount() - 1));
    else
        selectRow(-1);
    if (m_main)
        m_main->clearCurrentShape();
    m_currentPageIndex = -1;
}

void TPageViewerForm::bttDelClick()
{
    DeletePage(selectedRow());
    setCopySourceIndex(-1);
    ShowPage(selectedRow());
}

// --- ShowPage -------------------------------------------------------------------------------
void TPageViewerForm::ShowPage(int index)
{
    if (index >= pageCount())
        index = -1;
    m_previousPageIndex = m_currentPageIndex;
    m_currentPageIndex = index;
    if (m_main)
        m_main->removeShapes(); // also forgets the current rectangle
    if (index == -1) {
        if (m_selections)
            m_selections->ShowPageSelections(nullptr);
        updatePendingState();
        emit pageShown(nullptr);
        return;
    }
    if (selectedRow() != index)
        selectRow(index);
    Page& page = *m_project.pages[size_t(index)];
    if (m_main)
        m_main->createShapes(page);
    edNumber->setText(QString::number(page.number));
    edPageName->setText(page.name);

    if (page.backgroundIsVideo) {
        if (m_main)
            m_main->gotoFrameText(QString::number(page.firstFrame));
        rbVideo->setChecked(true);
    } else {
        if (!page.pictureFile.isEmpty() && m_main) {
            const MovieData& md = m_project.movieData;
            try {
                m_main->ShowPicture(paths::resolve(m_project.baseDirectory, md.menuDirectory, page.pictureFile));
            } catch (const std::exception& error) {
                // The page is still shown with its properties and selections.
                showError(QString::fromUtf8(error.what()));
            }
        }
        rbStillImage->setChecked(true);
    }

    chkSelectionAvailable->setChecked(page.selectionAvailable);
    chkVideoLoop->setChecked(page.videoLoop);
    edPictureFileName->setText(page.pictureFile);
    edRange->setText(QStringLiteral("%1-%2").arg(page.firstFrame).arg(page.lastFrame));
    edPictureDuration->setText(QString::number(page.pictureDuration));
    edProhibitSelBefore->setText(QString::number(page.prohibitSelectionBefore));
    edProhibitSelAfter->setText(QString::number(page.prohibitSelectionAfter));
    (page.columnOrdering ? rbColumn : rbRow)->setChecked(true);

    // Jump at end: the first entry whose page has the number; none when no entry has it.
    int jumpEntry = -1;
    if (page.jumpAtEnd != 0) {
        for (int i = 0; i < cbJumpAtEnd->count() && jumpEntry < 0; ++i) {
            if (const Page* p = cbJumpAtEnd->pageAt(i); p && p->number == page.jumpAtEnd)
                jumpEntry = i;
        }
    }
    cbJumpAtEnd->setCurrentIndex(jumpEntry);
    showActionAtEnd(&page);

    if (m_selections)
        m_selections->ShowPageSelections(&page);
    UpdateDefaultSelectionCombo(&page);
    updatePendingState();
    emit pageShown(&page);
}

void TPageViewerForm::showActionAtEnd(Page* page)
{
    lstActionAtEnd->clear();
    if (page && page->actionAtEnd) {
        auto* item = new QListWidgetItem(lstActionAtEnd); // owned by the list
        item->setData(kObjectRole, QVariant::fromValue(static_cast<void*>(page->actionAtEnd.get())));
    }
}

void TPageViewerForm::miDeleteActionAtEndClick()
{
    Page* page = currentPage();
    if (!page)
        return;
    lstActionAtEnd->clear();
    if (page->actionAtEnd)
        m_edits.setActionAtEnd(*page, nullptr);
}

bool TPageViewerForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == PageList) {
            static const QList<int> moves = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
            if (moves.contains(key) && !confirmLeavePage())
                return true;
        } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && watched != lstActionAtEnd) {
            auto* box = qobject_cast<QComboBox*>(watched);
            if (!box || !box->view()->isVisible()) {
                bttModifyClick();
                return true;
            }
        }
    }
    if (watched == lstActionAtEnd) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            // The list is emptied even without a page; a page loses its end action.
            lstActionAtEnd->clear();
            if (Page* page = currentPage(); page && page->actionAtEnd)
                m_edits.setActionAtEnd(*page, nullptr);
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            puActionAtEnd->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- range and frames -----------------------------------------------------------------------
void TPageViewerForm::bttFirstClick()
{
    if (const auto range = readRange(edRange->text()); range && m_main)
        edRange->setText(m_main->videoPosText() + QLatin1Char('-') + QString::number(range->second));
}

void TPageViewerForm::bttLastClick()
{
    if (const auto range = readRange(edRange->text()); range && m_main)
        edRange->setText(QString::number(range->first) + QLatin1Char('-') + m_main->videoPosText());
}

// --- picture --------------------------------------------------------------------------------
void TPageViewerForm::bttBrowsePictureClick()
{
    const MovieData& md = m_project.movieData;
    const QString& base = m_project.baseDirectory;
    DialogService::FileDialogOptions options;
    options.caption = text::kPictureCaption;
    options.filter = text::kPictureFilter;
    options.startFolder = paths::resolve(base, md.menuDirectory, QString());
    const QStringList chosen = m_dialogs.getOpenFileNames(options, this);
    if (chosen.isEmpty())
        return;
    const QString file = chosen.constFirst();
    const QString root = paths::rootBelow(base, md.menuDirectory);
    const std::optional<paths::RelativeFilePath> relative = paths::relativeFile(root, QDir::toNativeSeparators(file));
    if (!relative) {
        m_dialogs.showMessage({text::kOutsideMenuFolder, text::kError, MessageIcon::Error}, this);
        return;
    }
    edPictureFileName->setText(relative->fileName);
    edPageName->setText(QFileInfo(relative->fileName).completeBaseName());
    if (!m_main)
        return;
    try {
        m_main->ShowPicture(file);
    } catch (const std::exception& error) {
        showError(QString::fromUtf8(error.what()));
        return;
    }
    const QSize size = m_main->picture().size();
    const QString menuSize = QStringLiteral("%1,%2").arg(size.width()).arg(size.height());
    if (md.menuSize != menuSize)
        m_edits.setMovieText(&MovieData::menuSize, menuSize, text::kSetMenuSize);
    m_main->FitToPicture(size.width(), size.height());
}

// --- advanced options -----------------------------------------------------------------------
void TPageViewerForm::bttShowAdvancedOptClick()
{
    if (m_fullOptionsHeight < 0) {
        m_fullOptionsHeight = OptionsGroupBox->height();
        const QRect button = bttShowAdvancedOpt->geometry();
        m_cutHeight = m_fullOptionsHeight - (button.y() + button.height() + kCutMargin);
    }
    const int d = m_cutHeight;
    if (m_advancedShown) {
        const int before = height();
        AdvancedOptions->hide();
        OptionsGroupBox->setFixedHeight(m_fullOptionsHeight - d);
        BottomPanel->setFixedHeight(BottomPanel->height() - d);
        resize(width(), height() - d);
        m_windowReduction = before - height();
        bttShowAdvancedOpt->setText(text::kShow);
        bttShowAdvancedOpt->setToolTip(text::kShowHint);
        bttShowAdvancedOpt->setAccessibleName(text::kShowHint);
        bttShowAdvancedOpt->setAccessibleDescription(text::kShowHint);
    } else {
        BottomPanel->setFixedHeight(BottomPanel->height() + d);
        OptionsGroupBox->setFixedHeight(m_fullOptionsHeight);
        AdvancedOptions->show();
        resize(width(), height() + m_windowReduction);
        bttShowAdvancedOpt->setText(text::kHide);
        bttShowAdvancedOpt->setToolTip(text::kHideHint);
        bttShowAdvancedOpt->setAccessibleName(text::kHideHint);
        bttShowAdvancedOpt->setAccessibleDescription(text::kHideHint);
    }
    m_advancedShown = !m_advancedShown;
}

// --- default selection, clearing ------------------------------------------------------------
void TPageViewerForm::UpdateDefaultSelectionCombo(Page* page)
{
    cbDefaultSelection->clear();
    cbDefaultSelection->addItem(text::kNone);
    if (!page)
        return;
    for (const auto& s : page->selections)
        cbDefaultSelection->addItem(s->name);
    const int n = int(page->selections.size());
    cbDefaultSelection->setCurrentIndex(page->defaultSelection > 0 && page->defaultSelection <= n ? page->defaultSelection : 0);
}

void TPageViewerForm::ClearPages()
{
    if (m_main)
        m_main->removeShapes();
    // A new or opened project starts a new history.
    m_edits.stack().clear();
    m_project.pages.clear();
    m_model->refresh();
    edNumber->clear();
    edPageName->clear();
    rbVideo->setChecked(true);
    edPictureFileName->clear();
    chkSelectionAvailable->setChecked(true);
    chkVideoLoop->setChecked(true);
    edRange->setText(QStringLiteral("0-0"));
    edPictureDuration->setText(QStringLiteral("0"));
    cbJumpAtEnd->clear();
    lstActionAtEnd->clear();
    edProhibitSelBefore->setText(QStringLiteral("0"));
    edProhibitSelAfter->setText(QStringLiteral("0"));
    cbDefaultSelection->clear();
    m_previousPageIndex = -1;
    m_currentPageIndex = -1;
    m_copySourceIndex = -1;
    updatePendingState();
}

void TPageViewerForm::bttFindButtonsClick()
{
    if (m_main)
        m_main->miFindButtonsClick();
}
