// The Windows and "?" menus: placing the tool windows beside the main window, docking them into it as
// tabs, and the About box. Also the outer-frame helpers these use.
#include "workspace/mainform.h"

#include <QAction>
#include <QActionGroup>
#include <QLayout>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMoveEvent>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QTabWidget>
#include <QToolButton>
#include <QWindow>

#include "app/aboutform.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "workspace/problemsform.h"

namespace {

// What a docked window must get back when it floats again: a tool window of the main window, which
// the window system keeps above it (and below the program's dialogs), not above every other program.
constexpr Qt::WindowFlags kToolWindowFlags = Qt::Tool;

// The dock area keeps this width when its last window leaves it, so it can still be seen.
constexpr int kEmptyDockWidth = 10;

} // namespace

// --- outer frame -----------------------------------------------------------------------------
QMargins TMainForm::frameMargins(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void TMainForm::resizeFrame(QWidget* window, int width, int height)
{
    const QMargins m = frameMargins(window);
    window->resize(width - m.left() - m.right(), height - m.top() - m.bottom());
}

void TMainForm::applyMinimumSize()
{
    // Never larger than the screen: on a small one, or with large scaling, the window must still fit.
    const QMargins m = frameMargins(this);
    const QRect area = screenAreaOf(this);
    setMinimumSize(qMin(kMinWidth, area.width()) - m.left() - m.right(),
                   qMin(kMinHeight, area.height()) - m.top() - m.bottom());
}

// --- tool windows ----------------------------------------------------------------------------
void TMainForm::setToolWindows(TPageViewerForm* pages, TSelectionsViewerForm* selections)
{
    m_pages = pages;
    m_selections = selections;
}

void TMainForm::setAboutForm(TAboutForm* about)
{
    m_about = about;
}

TMainForm::Placement TMainForm::pagesPlacement() const
{
    if (m_miWinPagesLeft->isChecked())
        return Placement::Left;
    return m_miWinPagesFree->isChecked() ? Placement::Free : Placement::Right;
}

TMainForm::Placement TMainForm::selectionsPlacement() const
{
    if (m_miWinSelecLeft->isChecked())
        return Placement::Left;
    return m_miWinSelecFree->isChecked() ? Placement::Free : Placement::Right;
}

bool TMainForm::isDocked() const
{
    return m_miDocked->isChecked();
}

int TMainForm::dockWidth() const
{
    return m_dockWidth;
}

void TMainForm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    ArrangeToolWindows();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // A window made larger (maximised, or by its border) must not push the windows beside it off
    // the screen.
    if (isVisible())
        ArrangeToolWindows();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_settled)
        return;
    // Menus added after the window was built (the Preview menu) count too; this runs before the
    // window appears, so it does not visibly change its size.
    const int menus = qMin(menuBarFrameWidth(), screenAreaOf(this).width());
    if (frameGeometry().width() < menus)
        resizeFrame(this, menus, frameGeometry().height());
    if (windowHandle())
        windowHandle()->installEventFilter(this);
}

void TMainForm::ArrangeToolWindows()
{
    if (m_closing || !m_pages || !m_selections || isDocked())
        return;

    const QRect main = frameGeometry();
    const QRect area = screenAreaFor(main, availableAreas());
    const ToolFramePositions to = placeToolFrames(main, m_pages->frameGeometry(), m_selections->frameGeometry(),
                                                  pagesPlacement(), selectionsPlacement(), area);
    // A tool window taller or wider than the screen is made to fit it first, so that the place
    // computed for its frame holds all of it.
    if (to.pages) {
        m_pages->move(*to.pages);
        bringOnScreen(m_pages);
    }
    if (to.selections) {
        m_selections->move(*to.selections);
        bringOnScreen(m_selections);
    }
}

void TMainForm::RadioMenuItemCheck(QAction* item)
{
    item->setChecked(true); // the action group unchecks the others
    // A command about a tool window the author closed brings it back, to the place it names.
    QWidget* window = item->actionGroup() == m_pagesGroup        ? static_cast<QWidget*>(m_pages)
                      : item->actionGroup() == m_selectionsGroup ? static_cast<QWidget*>(m_selections)
                                                                 : nullptr;
    if (window && !isDocked() && !window->isVisible())
        window->show();
    ArrangeToolWindows();
    // Free leaves the window where it is, but not where the author cannot reach it.
    if (window && !isDocked())
        bringOnScreen(window);
}

// --- docking ---------------------------------------------------------------------------------
void TMainForm::setDockWidth(int width)
{
    m_dockWidth = width;
    layoutNow();
    const int total = m_splitter->width() - m_splitter->handleWidth();
    m_splitter->setSizes({width, qMax(0, total - width)});
}

void TMainForm::dockWindow(QWidget* window)
{
    if (!window || m_dock->indexOf(window) >= 0)
        return;
    const QSize outer = window->frameGeometry().size();
    m_undockedSize.insert(window, window->size());
    m_dock->addTab(window, window->windowTitle());
    window->show();
    // The first window in the dock area gives it its width.
    if (m_dock->count() == 1) {
        m_dock->show();
        setDockWidth(outer.width());
    }
}

void TMainForm::undockWindow(QWidget* window)
{
    const int index = window ? m_dock->indexOf(window) : -1;
    if (index < 0)
        return;
    const bool wasOnly = m_dock->count() == 1;
    m_dock->removeTab(index);
    const QPoint at = window->mapToGlobal(QPoint(0, 0));
    window->setParent(this, kToolWindowFlags);
    window->resize(m_undockedSize.value(window, window->size()));
    m_undockedSize.remove(window);
    window->move(at);
    if (!m_closing)
        window->show();
    if (wasOnly) {
        m_dockWidth = kEmptyDockWidth;
        m_dock->hide();
    }
}

void TMainForm::miDockedClick()
{
    if (!m_pages || !m_selections)
        return;
    const QSize outer = frameGeometry().size();
    if (!isDocked()) {
        m_miDocked->setChecked(true);
        const int w = qMax(m_pages->frameGeometry().width(), m_selections->frameGeometry().width());
        resizeFrame(this, outer.width() + w, outer.height());
        m_dock->show();
        setDockWidth(w);
        dockWindow(m_pages);
        dockWindow(m_selections);
        // The Problems window joins as a third tab when it is open; otherwise it comes when shown.
        if (m_problems && m_problems->isVisible())
            dockWindow(m_problems);
        for (QWidget* tool : std::as_const(m_moreToolWindows))
            if (tool && tool->isVisible())
                dockWindow(tool);
        m_dock->setCurrentIndex(0);
    } else {
        m_miDocked->setChecked(false);
        const int width = m_dockWidth;
        m_dock->hide();
        resizeFrame(this, outer.width() - width, outer.height());
        m_dockWidth = 0;
        undockWindow(m_pages);
        undockWindow(m_selections);
        undockWindow(m_problems);
        for (QWidget* tool : std::as_const(m_moreToolWindows))
            undockWindow(tool);
        m_dock->hide();
        layoutNow();
        ArrangeToolWindows();
    }
}

void TMainForm::addToolWindow(QWidget* window)
{
    m_moreToolWindows.append(window);
}

void TMainForm::showToolWindow(QWidget* window)
{
    if (!window)
        return;
    if (isDocked()) {
        dockWindow(window);
        m_dock->setCurrentWidget(window);
        return;
    }
    if (!window->isVisible()) {
        // It first comes over the picture, a little in from the main window's corner.
        window->move(frameGeometry().topLeft() + QPoint(40, 60));
        window->show();
        bringOnScreen(window);
    }
    window->raise();
    window->activateWindow();
}

// --- About -----------------------------------------------------------------------------------
void TMainForm::miAboutClick()
{
    if (!m_about)
        return;
    QRect about = m_about->frameGeometry();
    about.moveCenter(frameGeometry().center());
    m_about->move(about.topLeft());
    m_about->exec();
}

// --- on the screen ---------------------------------------------------------------------------
QList<QRect> TMainForm::availableAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

QRect TMainForm::screenAreaOf(const QWidget* window)
{
    return screenAreaFor(window->frameGeometry(), availableAreas());
}

void TMainForm::bringOnScreen(QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect area = screenAreaFor(outer, availableAreas());
    if (area.contains(outer))
        return;
    const QRect fitted = fitFrameInto(outer, area);
    if (fitted.size() != outer.size())
        resizeFrame(window, fitted.width(), fitted.height());
    // A minimum size may have kept it larger than asked: place what it really is.
    window->move(fitFrameInto(window->frameGeometry(), area).topLeft());
}

void TMainForm::settleOnScreen()
{
    m_settled = true;
    if (windowHandle())
        windowHandle()->removeEventFilter(this);
    // Some window systems put the inside of the window, not its frame, where the program asked, and
    // only now is the frame known: ask again, which then comes out right (a saved position would
    // otherwise creep up by a title bar at every start).
    if (pos() != m_startPosition)
        move(m_startPosition);
    bringOnScreen(this);
    // At the first start the form's own position may leave no room for the tool windows beside it
    // on a small screen: the main window then moves aside, where the whole row fits.
    if (!m_positionRestored && m_pages && m_selections && !isDocked()) {
        const QRect main = frameGeometry();
        const QRect area = screenAreaOf(this);
        int left = 0;
        int right = 0;
        for (const auto& [window, at] : {std::pair{static_cast<QWidget*>(m_pages), pagesPlacement()},
                                         std::pair{static_cast<QWidget*>(m_selections), selectionsPlacement()}}) {
            if (at == Placement::Left)
                left += window->frameGeometry().width();
            else if (at == Placement::Right)
                right += window->frameGeometry().width();
        }
        // Where even the whole row is wider than the screen (a scaled desktop), it starts at the
        // screen's edge, so that the tool windows cover no more of the main window than they must.
        const QRect row = main.adjusted(-left, 0, right, 0);
        if (!area.contains(row))
            move((row.width() <= area.width() ? fitFrameInto(row, area).left() : area.left()) + left, main.top());
    }
    ArrangeToolWindows();
}

int TMainForm::menuBarFrameWidth()
{
    // The menus measured as the bar lays them out (its own size hint counts the status line as wide
    // as it is now, which may be squeezed), plus room for the status line's shortest text ("no
    // problem") and its icon.
    QMenuBar* bar = menuBar();
    const QStyle* style = bar->style();
    const int spacing = style->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, bar);
    int width = 2 * (style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, bar) +
                     style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, bar));
    for (QAction* menu : bar->actions()) {
        if (!menu->isVisible())
            continue;
        QStyleOptionMenuItem option;
        option.initFrom(bar);
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.text = menu->text();
        const QSize text = bar->fontMetrics().size(Qt::TextShowMnemonic, menu->text());
        width += style->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, bar).width() + spacing;
    }
    if (m_problemCount) {
        const QFontMetrics metrics = m_problemCount->fontMetrics();
        width += metrics.horizontalAdvance(QStringLiteral("no problem")) + m_problemCount->iconSize().width() +
                 3 * metrics.averageCharWidth();
    }
    const QMargins m = frameMargins(this);
    return width + m.left() + m.right();
}
