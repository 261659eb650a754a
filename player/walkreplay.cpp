#include "player/walkreplay.h"

#include "document/menulinks.h"

QString WalkFailure::sentence() const
{
    const QString where = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(stepText) : stepText;
    return QStringLiteral("Step %1 (%2) no longer holds: %3.").arg(step).arg(where, reason);
}

WalkReplay::WalkReplay(PlayerModel& model, const Walkthrough& walk) : m_model(model), m_walk(walk) {}

bool WalkReplay::run()
{
    while (!atEnd())
        if (!step())
            return false;
    return true;
}

bool WalkReplay::step()
{
    if (m_failure || atEnd())
        return false;
    const WalkStep& s = m_walk.steps[m_next];
    if (!m_started && s.kind != WalkStep::Start)
        m_model.startAtStartPage();
    m_started = true;
    const QString reason = check(s);
    if (!reason.isEmpty()) {
        m_failure = WalkFailure{int(m_next + 1), s.line, formatStep(s), reason};
        return false;
    }
    ++m_next;
    return true;
}

QString WalkReplay::pageText() const
{
    const Page* p = m_model.page();
    return p ? QStringLiteral("page %1 \"%2\"").arg(p->number).arg(p->name) : QStringLiteral("no page");
}

// The viewer waits until the page lets a selection be chosen, as the author did while recording.
QString WalkReplay::waitForChoice()
{
    const Page* p = m_model.page();
    if (!p->selectionAvailable)
        return QStringLiteral("%1 has no selections available").arg(pageText());
    if (m_model.selectionsClickable())
        return {};
    if (p->backgroundIsVideo && !m_model.pageEnded()) {
        const qint64 last = std::max(p->firstFrame, p->lastFrame);
        const int after = p->prohibitSelectionAfter;
        if (after > 0 && m_model.frame() > after && p->videoLoop)
            m_model.advanceFrames(last - m_model.frame() + 1); // round to the loop's first frame
        const int before = p->prohibitSelectionBefore;
        if (before > 0 && m_model.frame() < before && before <= last)
            m_model.advanceFrames(before - m_model.frame());
        if (m_model.selectionsClickable())
            return {};
    }
    return QStringLiteral("%1 does not let its selections be chosen at frame %2").arg(pageText()).arg(m_model.frame());
}

int WalkReplay::findSelection(const WalkStep& s, QString& reason) const
{
    const Page* p = m_model.page();
    int seen = 0;
    for (size_t i = 0; p && i < p->selections.size(); ++i)
        if (p->selections[i]->name == s.text && ++seen == s.occurrence)
            return int(i);
    if (seen == 0)
        reason = QStringLiteral("%1 has no selection \"%2\"").arg(pageText(), s.text);
    else
        reason = QStringLiteral("%1 has only %2 selections named \"%3\"").arg(pageText()).arg(seen).arg(s.text);
    return -1;
}

QString WalkReplay::check(const WalkStep& s)
{
    PlayerModel& m = m_model;
    const Page* p = m.page();
    const bool input = s.kind == WalkStep::Click || s.kind == WalkStep::Point || s.kind == WalkStep::Key ||
                       s.kind == WalkStep::Skip || s.kind == WalkStep::WaitEnd;
    if (input || s.kind == WalkStep::Menu || s.kind == WalkStep::Ok) {
        if (!p)
            return QStringLiteral("the menu shows no page");
    }
    if (input) {
        if (m.outsideMenu())
            return QStringLiteral("the menu has been left (%1)").arg(m.movieStart().description);
        const bool enterOnMessage = s.kind == WalkStep::Key && s.key == PlayerKey::Enter;
        if (m.messageShown() && !enterOnMessage)
            return QStringLiteral("a message is shown (\"%1\")").arg(m.message().text);
    }

    switch (s.kind) {
    case WalkStep::Start: {
        if (!s.hasNumber)
            return m.startAtStartPage() ? QString() : QStringLiteral("the menu has no pages");
        const int index = findPageIndex(m.project(), s.number);
        if (index < 0)
            return QStringLiteral("no page has number %1").arg(s.number);
        m.start(index);
        return {};
    }
    case WalkStep::Click: {
        QString reason;
        const int index = findSelection(s, reason);
        if (index < 0)
            return reason;
        // The remote's Enter reaches a selection without a readable area; a click cannot.
        if (m.selectionRect(index).isEmpty())
            return QStringLiteral("selection \"%1\" of %2 has no area to click").arg(s.text, pageText());
        reason = waitForChoice();
        if (!reason.isEmpty())
            return reason;
        return m.choose(index) ? QString() : QStringLiteral("selection \"%1\" cannot be chosen").arg(s.text);
    }
    case WalkStep::Point: {
        QString reason;
        const int index = findSelection(s, reason);
        if (index < 0)
            return reason;
        return m.pointAt(index) ? QString()
                                : QStringLiteral("selection \"%1\" of %2 cannot be pointed at").arg(s.text, pageText());
    }
    case WalkStep::Key:
        if (s.key == PlayerKey::Enter && !m.messageShown() && !m.isTransitionPage()) {
            if (m.highlight() < 0)
                return QStringLiteral("no selection is highlighted on %1").arg(pageText());
            const QString reason = waitForChoice();
            if (!reason.isEmpty())
                return reason;
        }
        // An arrow at the edge of the table moves nothing; a following "expect highlight" tells.
        if (!m.key(s.key) && s.key == PlayerKey::Enter)
            return QStringLiteral("Enter does nothing on %1").arg(pageText());
        return {};
    case WalkStep::Skip:
        if (!m.isTransitionPage())
            return QStringLiteral("%1 is not a transition page").arg(pageText());
        return m.skipTransition() ? QString() : QStringLiteral("%1 has already ended").arg(pageText());
    case WalkStep::WaitEnd:
        if (m.runToEnd())
            return {};
        if (m.pageEnded())
            return QStringLiteral("%1 has already ended").arg(pageText());
        if (p->backgroundIsVideo)
            return QStringLiteral("%1 loops and never ends").arg(pageText());
        return QStringLiteral("%1 shows its picture without end").arg(pageText());
    case WalkStep::Ok:
        if (!m.messageShown())
            return QStringLiteral("no message is shown");
        m.closeMessage();
        return {};
    case WalkStep::Menu:
        if (!m.outsideMenu())
            return QStringLiteral("the menu has not been left; it shows %1").arg(pageText());
        return m.menuButton() ? QString() : m.notice();
    case WalkStep::ExpectPage:
        if (m.outsideMenu())
            return QStringLiteral("the menu has been left (%1), it does not show page %2")
                .arg(m.movieStart().description)
                .arg(s.number);
        if (!p || p->number != s.number)
            return QStringLiteral("the menu shows %1, not page %2").arg(pageText()).arg(s.number);
        return {};
    case WalkStep::ExpectHighlight: {
        if (!p || m.highlight() < 0)
            return QStringLiteral("no selection is highlighted, not \"%1\"").arg(s.text);
        QString reason;
        const int index = findSelection(s, reason);
        if (index == m.highlight())
            return {};
        // The step's own spelling of the selection, "Name" or "Name" 2.
        const QString wanted = formatStep(s).mid(QStringLiteral("expect highlight ").size());
        return QStringLiteral("the highlight is on \"%1\", not on %2").arg(p->selections[size_t(m.highlight())]->name, wanted);
    }
    case WalkStep::ExpectMessage:
        if (!m.messageShown())
            return QStringLiteral("no message is shown, not \"%1\"").arg(s.text);
        return m.message().text == s.text
                   ? QString()
                   : QStringLiteral("the message reads \"%1\", not \"%2\"").arg(m.message().text, s.text);
    case WalkStep::ExpectMovie:
        if (!m.outsideMenu())
            return QStringLiteral("the menu still shows %1 instead of \"%2\"").arg(pageText(), s.text);
        return m.movieStart().description == s.text
                   ? QString()
                   : QStringLiteral("the player starts \"%1\", not \"%2\"").arg(m.movieStart().description, s.text);
    case WalkStep::ExpectLanguage:
        return m.audioLanguage() == s.number
                   ? QString()
                   : QStringLiteral("the language is %1, not %2").arg(m.audioLanguage()).arg(s.number);
    case WalkStep::ExpectSubtitle:
        return m.subtitle() == s.number ? QString()
                                        : QStringLiteral("the subtitle is %1, not %2").arg(m.subtitle()).arg(s.number);
    }
    return {};
}

std::optional<WalkFailure> replayWalkthrough(const MenuProject& project, const Walkthrough& walk)
{
    PlayerModel model(project);
    WalkReplay replay(model, walk);
    if (replay.run())
        return std::nullopt;
    return replay.failure();
}
