#include "editors/editorwidgets.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStylePainter>
#include <QToolTip>

#include "document/actiontypes.h"
#include "document/model.h"
#include "editors/pageviewerform.h"

namespace {

constexpr int kIconSize = 16;

// Drawn once per pixel density, so that the icons stay sharp on a screen that scales the windows.
QIcon drawIcon(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0, 3.0}) {
        QPixmap pixmap(QSize(kIconSize, kIconSize) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void sheet(QPainter& p, QRectF r)
{
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(120, 120, 160), 1));
    for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void arrow(QPainter& p, bool up)
{
    QPainterPath path;
    if (up) {
        path.moveTo(8, 2);
        path.lineTo(14, 9);
        path.lineTo(10.5, 9);
        path.lineTo(10.5, 14);
        path.lineTo(5.5, 14);
        path.lineTo(5.5, 9);
        path.lineTo(2, 9);
    } else {
        path.moveTo(8, 14);
        path.lineTo(14, 7);
        path.lineTo(10.5, 7);
        path.lineTo(10.5, 2);
        path.lineTo(5.5, 2);
        path.lineTo(5.5, 7);
        path.lineTo(2, 7);
    }
    path.closeSubpath();
    p.setPen(QPen(QColor(20, 60, 140), 1));
    p.setBrush(QColor(70, 130, 220));
    p.drawPath(path);
}

void badge(QPainter& p, const QColor& colour, const QString& letter)
{
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3, 3);
    QFont f = p.font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, letter);
}

} // namespace

const QList<QIcon>& ImageList1()
{
    static const QList<QIcon> icons = {
        drawIcon([](QPainter& p) { // 0 copy: two sheets
            sheet(p, QRectF(1.5, 1.5, 9, 11));
            sheet(p, QRectF(5.5, 4.5, 9, 11));
        }),
        drawIcon([](QPainter& p) { // 1 paste: a sheet on a clipboard
            p.setPen(QPen(QColor(90, 60, 20), 1));
            p.setBrush(QColor(190, 140, 70));
            p.drawRect(QRectF(1.5, 2.5, 10, 12));
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(4.5, 1.5, 4, 2));
            sheet(p, QRectF(6.5, 6.5, 8, 9));
        }),
        drawIcon([](QPainter& p) { // 2 delete: a red cross
            p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        }),
        drawIcon([](QPainter& p) { arrow(p, true); }),                                     // 3 up
        drawIcon([](QPainter& p) { arrow(p, false); }),                                    // 4 down
        drawIcon([](QPainter& p) { badge(p, QColor(40, 160, 60), QStringLiteral("S")); }),   // 5 start
        drawIcon([](QPainter& p) { badge(p, QColor(40, 100, 200), QStringLiteral("M")); }),  // 6 menu
        drawIcon([](QPainter& p) { badge(p, QColor(200, 120, 20), QStringLiteral("C")); }),  // 7 chapters
        drawIcon([](QPainter& p) { badge(p, QColor(150, 50, 170), QStringLiteral("X")); }),  // 8 specials
    };
    return icons;
}

QIcon toolIcon(ToolIcon which)
{
    switch (which) {
    case ToolIcon::Add:
        return drawIcon([](QPainter& p) {
            p.setPen(QPen(QColor(30, 140, 50), 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 3), QPointF(8, 13));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
        });
    case ToolIcon::Modify:
        return drawIcon([](QPainter& p) {
            p.setPen(QPen(QColor(30, 140, 50), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        });
    case ToolIcon::FirstFrame:
    case ToolIcon::LastFrame: {
        const bool first = which == ToolIcon::FirstFrame;
        return drawIcon([first](QPainter& p) {
            p.setPen(QPen(QColor(40, 40, 40), 2));
            const qreal barX = first ? 3.5 : 12.5;
            p.drawLine(QPointF(barX, 3), QPointF(barX, 13));
            QPainterPath path;
            path.moveTo(first ? 5.5 : 10.5, 8);
            path.lineTo(first ? 12.5 : 3.5, 3);
            path.lineTo(first ? 12.5 : 3.5, 13);
            path.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 40, 40));
            p.drawPath(path);
        });
    }
    }
    return {};
}

Page* pageOfItem(const QModelIndex& index)
{
    return static_cast<Page*>(index.data(kObjectRole).value<void*>());
}

MenuAction* actionOfItem(const QModelIndex& index)
{
    return static_cast<MenuAction*>(index.data(kObjectRole).value<void*>());
}

// ---------------------------------------------------------------------------------------------
void PageItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
    if (const Page* page = pageOfItem(index)) {
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics fm(option.font);
        painter->drawText(option.rect.left() + 2, option.rect.top() + 1 + fm.ascent(), TPageViewerForm::PageItemText(*page));
    }
}

QSize PageItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize s = QStyledItemDelegate::sizeHint(option, index);
    return {s.width(), qMax(m_rowHeight, QFontMetrics(option.font).height() + 2)};
}

void ActionItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
    if (const MenuAction* action = actionOfItem(index)) {
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QFontMetrics fm(option.font);
        painter->drawText(option.rect.left() + m_offset.x(), option.rect.top() + m_offset.y() + fm.ascent(),
                          fm.elidedText(ActionText(*action), Qt::ElideRight,
                                        qMax(0, option.rect.width() - m_offset.x())));
    }
}

bool ActionItemDelegate::clipsText(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const MenuAction* action = actionOfItem(index);
    return action && m_offset.x() + QFontMetrics(option.font).horizontalAdvance(ActionText(*action)) > option.rect.width();
}

bool ActionItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() && clipsText(option, index)) {
        QToolTip::showText(event->globalPos(), ActionText(*actionOfItem(index)), view->viewport(), option.rect);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

QSize ActionItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize s = QStyledItemDelegate::sizeHint(option, index);
    return {s.width(), qMax(m_rowHeight, QFontMetrics(option.font).height() + m_offset.y())};
}

// ---------------------------------------------------------------------------------------------
PageComboBox::PageComboBox(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new PageItemDelegate(15, this)); // owned by the box
}

void PageComboBox::setPages(const QList<Page*>& pages)
{
    const QSignalBlocker block(this);
    clear();
    for (Page* page : pages) {
        addItem(QString::number(page->number));
        setItemData(count() - 1, QVariant::fromValue(static_cast<void*>(page)), kObjectRole);
    }
    setCurrentIndex(-1);
}

Page* PageComboBox::pageAt(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return static_cast<Page*>(itemData(index, kObjectRole).value<void*>());
}

void PageComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const Page* page = currentPage();
    option.currentText = page ? TPageViewerForm::PageItemText(*page) : QString();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
