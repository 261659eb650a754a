#pragma once

#include "player/walkthrough.h"

// Records a walkthrough while the author uses the preview. It listens to the model (it takes the
// model's one listener until it is destroyed) and writes a step for each thing the author did, then
// what the menu showed afterwards as "expect" steps: the page reached, the message, the movie started,
// the language and subtitle chosen, and after an arrow key the highlighted selection. Replaying the
// steps later finds where the menu has come to behave differently.
class WalkRecorder
{
public:
    // Begins with "start N" for the page the model shows, if any.
    explicit WalkRecorder(PlayerModel& model);
    ~WalkRecorder();
    WalkRecorder(const WalkRecorder&) = delete;
    WalkRecorder& operator=(const WalkRecorder&) = delete;

    const Walkthrough& walkthrough() const { return m_walk; }

private:
    struct State
    {
        quint64 activations = 0;
        bool message = false;
        bool outside = false;
        int language = 0;
        int subtitle = 0;
        int highlight = -1;
    };
    State current() const;
    void heard(const PlayerEvent& event);
    void add(WalkStep::Kind kind, int number = 0, const QString& text = {});
    // A step naming the selection at `selection` of the page at `pageIndex`.
    void addSelection(WalkStep::Kind kind, int pageIndex, int selection);
    void addStart();

    PlayerModel& m_model;
    Walkthrough m_walk;
    State m_last;
};
