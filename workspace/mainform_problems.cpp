// The Problems window as the main window knows it: the Windows menu's item, the status line with the
// problem count at the right end of the menu bar, and the word a save leaves there when the menu it
// wrote still has errors.
//
// The status line sits in the menu bar's corner rather than in a status bar below the picture: the
// window's sizes are made to fit the picture exactly (see FitToPicture), and a status bar would take
// its height from the picture area.
#include "workspace/mainform.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <optional>

#include "document/model.h"
#include "edits/projectedits.h"
#include "workspace/problemsform.h"

namespace {

namespace text {
const QString kProblems = QStringLiteral("Problems");
const QString kCountHint = QStringLiteral("Problems of the menu: click to show the list");
// Short: the status line shares the menu bar with the menus.
const QString kSaved = QStringLiteral("Saved %1");
const QString kSavedWithErrors = QStringLiteral("Saved with %1");
const QString kOneError = QStringLiteral("1 error");
const QString kErrors = QStringLiteral("%1 errors");
} // namespace text

// How long a message stays in the status line before the count comes back.
constexpr int kStatusMessageMs = 10000;
// A save that went well needs only a glance.
constexpr int kSavedMessageMs = 4000;

// The menu bar grows to its corner widget's size hint, so the hint obeys the maximum height.
//
// The menus come first: the bar gives its corner the width the corner asks for and moves the menus
// that no longer fit behind a "more" button, so the line asks for no more than the menus leave. A
// text longer than that (the position readout beside all the menus of a narrow window) is cut short
// with an ellipsis; its hint then holds it whole.
class StatusLineButton : public QToolButton
{
public:
    StatusLineButton(QMenuBar* bar, const QString& hint) : QToolButton(bar), m_bar(bar), m_hint(hint)
    {
        setToolTip(hint);
        bar->installEventFilter(this); // its resizes, before it lays out its menus and corner
    }
    QSize sizeHint() const override { return capped(QToolButton::sizeHint()); }
    QSize minimumSizeHint() const override { return capped(QToolButton::minimumSizeHint()); }

    const QString& fullText() const { return m_full; }
    void setFullText(const QString& text)
    {
        m_full = text;
        fit();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_bar && event->type() == QEvent::Resize)
            fit();
        return QToolButton::eventFilter(watched, event);
    }

private:
    void fit()
    {
        setText(m_full);
        const int natural = QToolButton::sizeHint().width();
        // The menus keep the places they have without a corner (the bar places them from the left
        // whatever its width, and keeps the places of those it moves behind its "more" button): the
        // room right of the last one is the line's.
        int menus = 0;
        for (QAction* menu : m_bar->actions()) {
            if (menu->isVisible())
                menus = qMax(menus, m_bar->actionGeometry(menu).right() + 1);
        }
        const int margin = m_bar->style()->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, m_bar) +
                           m_bar->style()->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, m_bar) +
                           m_bar->style()->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, m_bar);
        m_room = qMax(0, m_bar->width() - menus - margin);
        if (natural <= m_room) {
            setToolTip(m_hint);
            return;
        }
        const QFontMetrics metrics = fontMetrics();
        const int frame = natural - metrics.size(Qt::TextShowMnemonic, m_full).width();
        setText(metrics.elidedText(m_full, Qt::ElideRight, qMax(0, m_room - frame)));
        setToolTip(m_full.isEmpty() ? m_hint : m_full + QLatin1Char('\n') + m_hint);
    }
    QSize capped(QSize s) const { return {qMin(s.width(), m_room), qMin(s.height(), maximumHeight())}; }

    QMenuBar* m_bar;
    QString m_hint;
    QString m_full;
    int m_room = QWIDGETSIZE_MAX;
};

// The Problems window is not placed lower than this: a few rows of its list stay readable.
constexpr int kProblemsMinimumHeight = 150;

} // namespace

void TMainForm::buildProblemsCommands(QMenu* windows)
{
    windows->addSeparator();
    auto* item = new QAction(text::kProblems, windows); // owned by the menu
    item->setObjectName(QStringLiteral("miWinProblems"));
    windows->addAction(item);
    connect(item, &QAction::triggered, this, [this] { miWinProblemsClick(); });

    // The count fits in the menu bar's own height, so the bar, and with it the window's layout,
    // keeps its size.
    QMenuBar* bar = menuBar();
    const int barHeight = bar->sizeHint().height();
    m_problemCount = new StatusLineButton(bar, text::kCountHint); // owned by the menu bar
    m_problemCount->setObjectName(QStringLiteral("bttProblemCount"));
    m_problemCount->setAutoRaise(true);
    m_problemCount->setFocusPolicy(Qt::NoFocus);
    m_problemCount->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_problemCount->setMaximumHeight(barHeight);
    bar->setCornerWidget(m_problemCount, Qt::TopRightCorner);
    // The bar adds its margins to the corner's height; what remains is the button's.
    const int margins = qMax(0, bar->sizeHint().height() - m_problemCount->sizeHint().height());
    m_problemCount->setMaximumHeight(barHeight - margins);
    const int iconSize = qMin(style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this), barHeight - margins - 4);
    m_problemCount->setIconSize(QSize(iconSize, iconSize));
    m_problemCount->hide(); // shown once there is a Problems window to count for
    connect(m_problemCount, &QToolButton::clicked, this, [this] { miWinProblemsClick(); });

    m_statusTimer = new QTimer(this); // owned by the window
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(kStatusMessageMs);
    connect(m_statusTimer, &QTimer::timeout, this, [this] { showProblemCount(); });

    // A save says so, with the number of errors when the menu it wrote has some.
    connect(this, &TMainForm::projectSaved, this, [this] {
        // Saving changes nothing in the project: the last check holds unless an edit came after it.
        if (m_problems && m_problems->checkPending())
            m_problems->refresh();
        const int errors = m_problems ? m_problems->errorCount() : 0;
        if (errors > 0)
            showStatusMessage(text::kSavedWithErrors.arg(errors == 1 ? text::kOneError : text::kErrors.arg(errors)));
        else
            showStatusMessage(text::kSaved.arg(QFileInfo(m_project.documentName).fileName()), kSavedMessageMs);
    });
}

void TMainForm::setProblemsWindow(TProblemsForm* problems)
{
    m_problems = problems;
    if (!problems)
        return;
    connect(problems, &TProblemsForm::problemsChanged, this, [this] {
        m_statusTimer->stop(); // a message about the project as it was gives way to the new count
        showProblemCount();
    });
    m_problemCount->show();
    showProblemCount();
}

TProblemsForm* TMainForm::problemsWindow() const
{
    return m_problems;
}

bool TMainForm::hasProject() const
{
    return m_projectBegun || !m_project.pages.empty() || (m_edits && m_edits->stack().count() > 0);
}

void TMainForm::showProblemCount()
{
    if (!m_problems || m_statusTimer->isActive())
        return;
    if (!hasProject()) {
        m_problemCount->setIcon(QIcon());
        setStatusLineText(QString());
        return;
    }
    const std::vector<Problem>& problems = m_problems->problems();
    const bool errors = countProblems(problems, Severity::Error) > 0;
    const bool warnings = countProblems(problems, Severity::Warning) > 0;
    m_problemCount->setIcon(errors     ? style()->standardIcon(QStyle::SP_MessageBoxCritical)
                            : warnings ? style()->standardIcon(QStyle::SP_MessageBoxWarning)
                                       : style()->standardIcon(QStyle::SP_DialogApplyButton));
    setStatusLineText(m_problems->countText());
}

void TMainForm::setStatusLineText(const QString& text)
{
    auto* line = static_cast<StatusLineButton*>(m_problemCount);
    if (line->fullText() == text)
        return;
    line->setFullText(text);
    // The menu bar lays out its corner only when it is resized, not when the corner's text grows: it
    // is told it was, so the line takes its new width at once.
    m_problemCount->adjustSize();
    QResizeEvent relayout(menuBar()->size(), menuBar()->size());
    QCoreApplication::sendEvent(menuBar(), &relayout);
}

QString TMainForm::statusText() const
{
    return static_cast<const StatusLineButton*>(m_problemCount)->fullText();
}

void TMainForm::showStatusMessage(const QString& message, int milliseconds)
{
    setStatusLineText(message);
    m_statusTimer->start(milliseconds > 0 ? milliseconds : kStatusMessageMs);
}

void TMainForm::miWinProblemsClick()
{
    if (!m_problems)
        return;
    if (isDocked()) {
        dockWindow(m_problems);
        m_dock->setCurrentWidget(m_problems);
        return;
    }
    // The first time it floats it goes where it covers none of the main window's controls: under
    // the main window and as wide as it, else above it, else beside all the program's windows, else
    // over the picture.
    std::optional<QRect> place;
    if (!m_problemsPlaced) {
        m_problemsPlaced = true;
        const QRect main = frameGeometry();
        QRect occupied = main;
        for (const QWidget* tool : {static_cast<QWidget*>(m_pages), static_cast<QWidget*>(m_selections)}) {
            if (tool && tool->isVisible() && tool->isWindow())
                occupied |= tool->frameGeometry();
        }
        const QRect picture(m_videoScroll->mapToGlobal(QPoint(0, 0)), m_videoScroll->size());
        const QSize wanted(main.width(), m_problems->frameGeometry().height());
        place = placeProblemsFrame(main, occupied, picture, wanted, kProblemsMinimumHeight,
                                   screenAreaFor(main, availableAreas()));
        // Before it is first shown the window system has not framed it: its frame will be like the
        // main window's.
        QMargins frame = frameMargins(m_problems);
        if (frame.isNull())
            frame = frameMargins(this);
        m_problems->resize(place->width() - frame.left() - frame.right(), place->height() - frame.top() - frame.bottom());
        m_problems->move(place->topLeft());
    }
    m_problems->show();
    if (place) {
        // The frame is known only once the window system shows the window: the place is taken again
        // then, outer size and all.
        m_problemsPlace = *place;
        m_problemsHandle = m_problems->windowHandle();
        if (m_problemsHandle)
            m_problemsHandle->installEventFilter(this);
    }
    m_problems->raise();
    m_problems->activateWindow();
}

bool TMainForm::placeProblemsOnExpose(QObject* watched, QEvent* event)
{
    // Compared with the window handle kept, never through the form: this also runs while the form
    // is being destroyed.
    if (!m_problemsPlace || event->type() != QEvent::Expose || !m_problemsHandle || watched != m_problemsHandle.data() ||
        !m_problemsHandle->isExposed())
        return false;
    watched->removeEventFilter(this);
    QTimer::singleShot(0, this, [this, place = *m_problemsPlace] {
        if (!m_problems || !m_problems->isWindow())
            return;
        resizeFrame(m_problems, place.width(), place.height());
        m_problems->move(place.topLeft());
    });
    m_problemsPlace.reset();
    return true;
}
