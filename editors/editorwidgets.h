#pragma once

#include <QComboBox>
#include <QIcon>
#include <QList>
#include <QStyledItemDelegate>

struct Page;
struct MenuAction;

// The icons of the page window's image list, by index: 0 copy, 1 paste, 2 delete, 3 up, 4 down,
// 5 start page, 6 menu page, 7 chapters page, 8 specials page. Drawn here, 16 x 16.
const QList<QIcon>& ImageList1();
// Icons of the page window's bottom buttons.
enum class ToolIcon { Add, Modify, FirstFrame, LastFrame };
QIcon toolIcon(ToolIcon which);

// Row data of the lists and boxes that point at a page or an action: the object itself, never a copy.
inline constexpr int kObjectRole = Qt::UserRole + 1;
Page* pageOfItem(const QModelIndex& index);
MenuAction* actionOfItem(const QModelIndex& index);

// Draws an entry that points at a page as the page's number, ") " and name, from the page itself; an
// entry without a page is drawn empty.
class PageItemDelegate : public QStyledItemDelegate
{
public:
    PageItemDelegate(int rowHeight, QObject* parent) : QStyledItemDelegate(parent), m_rowHeight(rowHeight) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_rowHeight;
};

// Draws an entry that points at an action as its type and parameter, e.g. "Play from chapter(3)".
class ActionItemDelegate : public QStyledItemDelegate
{
public:
    ActionItemDelegate(int rowHeight, QPoint textOffset, QObject* parent)
        : QStyledItemDelegate(parent), m_rowHeight(rowHeight), m_offset(textOffset)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // An action text that the row cuts off shows whole as the row's hint; otherwise the list's own hint.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // Whether the row cuts the action's text off.
    bool clipsText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    int m_rowHeight;
    QPoint m_offset;
};

// A drop-down list of pages whose entries, open or closed, read as the pages' item texts.
class PageComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit PageComboBox(QWidget* parent = nullptr);
    // Entries are the pages in list order: text = the number, object = the page.
    void setPages(const QList<Page*>& pages);
    Page* pageAt(int index) const;
    Page* currentPage() const { return pageAt(currentIndex()); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
