#include "player/walkrecorder.h"

WalkRecorder::WalkRecorder(PlayerModel& model) : m_model(model)
{
    m_model.setListener([this](const PlayerEvent& e) { heard(e); });
    if (m_model.page())
        addStart();
    m_last = current();
}

WalkRecorder::~WalkRecorder()
{
    m_model.setListener({});
}

WalkRecorder::State WalkRecorder::current() const
{
    return State{m_model.activationCount(), m_model.messageShown(), m_model.outsideMenu(), m_model.audioLanguage(),
                 m_model.subtitle(), m_model.highlight()};
}

void WalkRecorder::add(WalkStep::Kind kind, int number, const QString& text)
{
    WalkStep s;
    s.kind = kind;
    s.number = number;
    s.hasNumber = kind == WalkStep::Start || kind == WalkStep::ExpectPage || kind == WalkStep::ExpectLanguage ||
                  kind == WalkStep::ExpectSubtitle;
    s.text = text;
    m_walk.steps.push_back(std::move(s));
}

void WalkRecorder::addSelection(WalkStep::Kind kind, int pageIndex, int selection)
{
    const auto& selections = m_model.project().pages[size_t(pageIndex)]->selections;
    const QString& name = selections[size_t(selection)]->name;
    int occurrence = 0;
    for (int i = 0; i <= selection; ++i)
        occurrence += selections[size_t(i)]->name == name;
    add(kind, 0, name);
    m_walk.steps.back().occurrence = occurrence;
}

void WalkRecorder::addStart()
{
    add(WalkStep::Start, m_model.page()->number);
}

void WalkRecorder::heard(const PlayerEvent& event)
{
    const Page* page = m_model.page();
    switch (event.kind) {
    case PlayerEvent::Started:
        addStart();
        m_last = current();
        return;
    case PlayerEvent::SelectionClick:
        addSelection(WalkStep::Click, event.pageIndex, event.selection);
        break;
    case PlayerEvent::Key: {
        // The pointer moved the highlight since the last step: the replay needs it where the key found it.
        if (event.highlightBefore >= 0 && event.highlightBefore != m_last.highlight)
            addSelection(WalkStep::Point, event.pageIndex, event.highlightBefore);
        add(WalkStep::Key);
        m_walk.steps.back().key = event.key;
        break;
    }
    case PlayerEvent::TransitionSkip:
        add(WalkStep::Skip);
        break;
    case PlayerEvent::PageEnd:
        add(WalkStep::WaitEnd);
        break;
    case PlayerEvent::MessageClosed:
        add(WalkStep::Ok);
        break;
    case PlayerEvent::MenuButton:
        add(WalkStep::Menu);
        break;
    }

    // What the step led to, so that a replay can tell where the menu now behaves differently.
    const State now = current();
    if (now.language != m_last.language)
        add(WalkStep::ExpectLanguage, now.language);
    if (now.subtitle != m_last.subtitle)
        add(WalkStep::ExpectSubtitle, now.subtitle);
    if (now.outside && !m_last.outside)
        add(WalkStep::ExpectMovie, 0, m_model.movieStart().description);
    else if (now.activations != m_last.activations && m_model.page())
        add(WalkStep::ExpectPage, m_model.page()->number);
    if (now.message && (!m_last.message || event.kind == PlayerEvent::MessageClosed))
        add(WalkStep::ExpectMessage, 0, m_model.message().text);
    if (event.kind == PlayerEvent::Key && event.key != PlayerKey::Enter && m_model.highlight() >= 0 && page)
        addSelection(WalkStep::ExpectHighlight, m_model.pageIndex(), m_model.highlight());
    // The highlight a replay will have: the pointer's moves are no steps, so after a step that neither
    // starts a page nor moves the highlight itself, the replay keeps the one it had.
    const bool setsHighlight = event.kind == PlayerEvent::SelectionClick || event.kind == PlayerEvent::Key ||
                               now.activations != m_last.activations;
    const int believed = m_last.highlight;
    m_last = now;
    if (!setsHighlight)
        m_last.highlight = believed;
}
