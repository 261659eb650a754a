// The Windows and "?" menus: placing the tool windows beside the main window, docking them into it as
// tabs, and the About box. Also the outer-frame helpers these use.
#include "workspace/mainform.h"

#include <QAction>
#include <QActionGroup>
#include <QLayout>
#include <QMoveEvent>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
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
    const QMargins m = frameMargins(this);
    setMinimumSize(kMinWidth - m.left() - m.right(), kMinHeight - m.top() - m.bottom());
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

void TMainForm::ArrangeToolWindows()
{
    if (m_closing || !m_pages || !m_selections || isDocked())
        return;

    const QRect main = frameGeometry();
    const QRect pages = m_pages->frameGeometry();
    const QRect selections = m_selections->frameGeometry();
    const Placement p = pagesPlacement();
    const Placement s = selectionsPlacement();

    QPoint pagesPos = pages.topLeft();
    QPoint selectionsPos = selections.topLeft();
    if (p != Placement::Free)
        pagesPos.setY(main.top());
    if (s != Placement::Free)
        selectionsPos.setY(main.top());

    if (p == Placement::Left) {
        pagesPos.setX(main.left() - pages.width());
        if (s == Placement::Left)
            selectionsPos.setX(main.left() - pages.width() - selections.width());
        else if (s == Placement::Right)
            selectionsPos.setX(main.left() + main.width());
    } else {
        if (p == Placement::Right)
            pagesPos.setX(main.left() + main.width());
        if (s == Placement::Left)
            selectionsPos.setX(main.left() - selections.width());
        else if (s == Placement::Right)
            selectionsPos.setX(pagesPos.x() + pages.width()); // beside the page window, wherever it is
    }

    if (p != Placement::Free)
        m_pages->move(pagesPos);
    if (s != Placement::Free)
        m_selections->move(selectionsPos);
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
        m_dock->hide();
        layoutNow();
        ArrangeToolWindows();
    }
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

// --- a window larger than the screen ---------------------------------------------------------
void TMainForm::keepOnScreen()
{
    QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QRect outer = frameGeometry();
    if (available.contains(outer))
        return;
    // The window may not be larger than the screen: the picture then scrolls inside it, and the menu
    // and the navigation controls below the picture stay where the user can reach them.
    const QSize size(qMin(outer.width(), available.width()), qMin(outer.height(), available.height()));
    if (size != outer.size())
        resizeFrame(this, size.width(), size.height());
    outer = frameGeometry();
    QPoint topLeft = outer.topLeft();
    if (outer.right() > available.right())
        topLeft.setX(available.right() - outer.width() + 1);
    if (outer.bottom() > available.bottom())
        topLeft.setY(available.bottom() - outer.height() + 1);
    topLeft.setX(qMax(topLeft.x(), available.left()));
    topLeft.setY(qMax(topLeft.y(), available.top()));
    if (topLeft != outer.topLeft())
        move(topLeft);
}
