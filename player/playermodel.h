#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>
#include <vector>

#include "document/menulinks.h"
#include "document/model.h"

// The player's rules as a state machine without windows and without video: the preview window feeds it
// "a frame went by", "time went by", clicks and remote-control keys, and draws what it reports (page,
// frame, highlighted selection, message, the movie the player would start, language and subtitle).
// The walkthrough recorder listens to it and the replay drives it, so the preview, a recorded
// walkthrough and `vrplmenu walk` all follow the same rules.
//
// The model reads the project through a reference and keeps positions (page index, selection index),
// never pointers into it. After the author edits the project, the window starts the model again.

enum class PlayerKey { Left, Right, Up, Down, Enter };

// A message box as the player shows it: the text's pipes are line breaks, and a leading number followed
// by a blank is the font size.
struct PlayerMessage
{
    QString text; // the action's parameter as written
    QStringList lines;
    int fontSize = 12;
};
PlayerMessage parsePlayerMessage(const QString& parameter);

// What the player starts when an action leaves the menu.
struct MovieStart
{
    enum Kind { Movie, Chapter, Special, ReturnToMovie };
    Kind kind = Movie;
    QString file;        // in the file's form, relative to the base directory ("video\cd1.avi"); may be empty
    int cd = 1;          // which CD the file belongs to
    qint64 frame = 0;    // first frame within that file
    QString description; // one line for the window and for walkthroughs
};

// Something the user did, or a page's end that did something, reported after its consequences have
// run (the model then shows the new page, message, ...). The recorder turns these into steps.
struct PlayerEvent
{
    enum Kind {
        Started,        // start() or startAtStartPage()
        SelectionClick, // a click chose `selection`
        Key,            // a key that moved the highlight or activated something
        TransitionSkip, // a click skipped a transition page
        PageEnd,        // a page reached its end and its end action or jump ran
        MessageClosed,  // the message box was closed
        MenuButton,     // "Menu button" brought the viewer back from outside the menu
    };
    Kind kind = Started;
    int selection = -1; // SelectionClick: position in the selection list of the page at pageIndex
    int pageIndex = -1; // the page shown when the input came, before it ran
    PlayerKey key = PlayerKey::Enter;
    int highlightBefore = -1; // Key: the highlighted selection when the key came
};

class PlayerModel
{
public:
    explicit PlayerModel(const MenuProject& project);

    // Starting. False when there is no such page (the model then shows nothing).
    bool start(int pageIndex);
    // Starts at the movie data's StartPage; without a valid one, at the first page of the list.
    bool startAtStartPage();

    // Time. The window calls advanceTime with the real time gone by; video pages turn it into frames
    // at the frame rate (25 until the window sets the menu video's). advanceFrame is one frame, for the
    // author's step button; on a still-picture page it does nothing. Nothing moves while a message
    // shows or after the menu has been left.
    void setFrameRate(double framesPerSecond);
    void advanceFrame();
    void advanceFrames(qint64 count);
    void advanceTime(qint64 milliseconds);
    // Plays the current page to its end at once (the walkthrough's "wait end"). False when the page
    // cannot end by itself: a looping video, a still picture without duration, a page that has ended.
    bool runToEnd();

    // Input, in the coordinates of the menu video picture.
    enum class ClickResult { Ignored, Chosen, Skipped, MessageClosed };
    ClickResult click(QPoint position);
    // The mouse moved: the selection under it becomes the highlighted one, as the player moves its
    // highlight with the pointer.
    void pointerMoved(QPoint position);
    // The pointer rests on the selection at `index` (a walkthrough's "point"); false when it cannot.
    bool pointAt(int selectionIndex);
    // True when the key did something (moved the highlight, chose, skipped, closed the message).
    bool key(PlayerKey key);
    // Chooses the selection at `index` as a click on it does; false when it cannot be chosen now.
    bool choose(int selectionIndex);
    // Skips a transition page; false when the current page is none.
    bool skipTransition();
    void closeMessage();
    // "Menu button" once the menu has been left: activates MenuPage. False when not outside the menu
    // or MenuPage names no page.
    bool menuButton();

    // What to show.
    const MenuProject& project() const { return m_project; }
    int pageIndex() const { return m_pageIndex; }
    const Page* page() const;
    qint64 frame() const { return m_frame; }           // the menu video frame shown (video pages)
    qint64 elapsedMs() const { return m_elapsedMs; }   // time on a still-picture page
    bool pageEnded() const { return m_ended; }          // stopped at the end, nothing more will happen
    int highlight() const { return m_highlight; }       // selection index, -1 for none
    const QRect& selectionRect(int index) const;        // invalid (empty) for an unreadable Area
    bool selectionsClickable() const;                   // now, at this frame
    bool isTransitionPage() const;
    int selectionAt(QPoint position) const;             // the first selection in list order under it, or -1
    // The remote control's table: rows (or columns in column mode), each a list of selection indexes.
    int lineCount() const { return int(m_lineStarts.size()) - 1; }
    std::span<const int> line(int index) const
    {
        return std::span<const int>(m_tableOrder).subspan(size_t(m_lineStarts[size_t(index)]),
                                                          size_t(m_lineStarts[size_t(index) + 1] - m_lineStarts[size_t(index)]));
    }

    bool messageShown() const { return m_messageShown; }
    const PlayerMessage& message() const { return m_message; }
    bool outsideMenu() const { return m_outside; }
    const MovieStart& movieStart() const { return m_movie; }
    int audioLanguage() const { return m_language; } // 0 is the primary language
    int subtitle() const { return m_subtitle; }      // 0 is off
    QString statusText() const;                     // language and subtitle, for the status line
    // A note on something the player could not do (a jump to a missing page, ...); empty otherwise.
    // Cleared by the next input.
    const QString& notice() const { return m_notice; }
    // Counts page activations, so a jump to the page already shown is seen as one.
    quint64 activationCount() const { return m_activations; }

    // Who hears of every event; one listener (the recorder, or the window forwarding to it).
    void setListener(std::function<void(const PlayerEvent&)> listener) { m_listener = std::move(listener); }

private:
    void activate(int pageIndex);
    bool reachEnd();
    bool canEnd() const;
    void runActions(int selection, int firstAction);
    void runEndAction(const MenuAction& action);
    // Runs one action; true when the list must stop (jump, leaving the menu, message shown).
    bool runAction(const MenuAction& action);
    void leaveMenu(const MenuAction& action);
    void noteFailedJump(const Link& link, const MenuAction& action);
    void moveHighlight(PlayerKey key);
    void emitEvent(PlayerEvent::Kind kind, int pageIndex, int selection = -1, PlayerKey key = PlayerKey::Enter,
                   int highlightBefore = -1);
    void buildLines();

    const MenuProject& m_project;
    int m_pageIndex = -1;
    qint64 m_first = 0;
    qint64 m_last = 0;
    qint64 m_frame = 0;
    qint64 m_elapsedMs = 0;
    double m_timeCarry = 0; // the part of a frame that time has not yet completed
    double m_fps = 25.0;
    bool m_ended = false;
    int m_highlight = -1;
    std::vector<QRect> m_rects;
    // The table, flat so that a page change allocates nothing once the vectors have grown: the
    // selections line by line, where each line starts, and per selection its line and place in it
    // ((-1, -1) when it has none).
    std::vector<int> m_tableOrder;
    std::vector<int> m_lineStarts{0};
    std::vector<std::pair<int, int>> m_linePos;
    // Scratch of the table's building, kept to reuse its memory.
    struct TableItem
    {
        int lead, extent, centre2, index; // along the axis that finds the lines; centre2 is twice the centre
    };
    std::vector<TableItem> m_byLead;
    std::vector<TableItem> m_byCentre;
    std::vector<int> m_nextOpen;

    bool m_messageShown = false;
    PlayerMessage m_message;
    // The rest of a selection's action list, waiting for the message box to close.
    int m_pendingSelection = -1;
    int m_pendingAction = -1;
    int m_pendingPage = -1;

    bool m_outside = false;
    MovieStart m_movie;
    int m_language = 0;
    int m_subtitle = 0;
    QString m_notice;
    quint64 m_activations = 0;
    std::function<void(const PlayerEvent&)> m_listener;
};
