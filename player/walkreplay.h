#pragma once

#include <optional>

#include "player/walkthrough.h"

// Where a walkthrough stopped holding: which step, and what the menu does now instead.
struct WalkFailure
{
    int step = 0; // from 1
    int line = 0; // in the walkthrough file; 0 when the step was not read from one
    QString stepText;
    QString reason;

    // "Step 4 (line 9: click "Chapters") no longer holds: page 2 "Main menu" has no selection "Chapters"."
    QString sentence() const;
};

// Replays a walkthrough on a model, one step at a time, so that a window can show each step; or all at
// once with replayWalkthrough. A click or Enter on a selection that the page does not let the viewer
// choose yet (before ProhibitSelectionBefore) waits for the frame that allows it, as the author did
// while recording. If the walkthrough does not begin with "start", the replay starts at StartPage.
class WalkReplay
{
public:
    WalkReplay(PlayerModel& model, const Walkthrough& walk);

    bool atEnd() const { return m_next >= m_walk.steps.size(); }
    int nextStep() const { return int(m_next); } // from 0
    // Runs the next step. False when it fails; failure() says why, and the replay stays there.
    bool step();
    // Runs the remaining steps until one fails; true when all hold.
    bool run();
    const std::optional<WalkFailure>& failure() const { return m_failure; }

private:
    QString check(const WalkStep& s);
    QString pageText() const;
    QString waitForChoice();
    // The page's selection that the step names, or -1 with `reason` saying so.
    int findSelection(const WalkStep& s, QString& reason) const;

    PlayerModel& m_model;
    const Walkthrough& m_walk;
    size_t m_next = 0;
    bool m_started = false;
    std::optional<WalkFailure> m_failure;
};

// Replays `walk` on a fresh model of `project`; nothing when every step holds.
std::optional<WalkFailure> replayWalkthrough(const MenuProject& project, const Walkthrough& walk);
