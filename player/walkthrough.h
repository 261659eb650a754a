#pragma once

#include <QString>

#include <vector>

#include "player/playermodel.h"

// A walkthrough: what an author did in the preview, one step per line, so that it can be read, edited
// and replayed after every change to the menu. The text form:
//
//   # a comment (also after a step)
//   start 1                  start at page 1 ("start" alone: at StartPage)
//   click "Chapters"         click the selection of that name on the page shown
//   click "Untitled" 2       the second selection of that name, where names repeat on a page
//   point "Play"             the pointer rests on a selection, which the player highlights
//   key Right                a remote-control key: Left, Right, Up, Down, Enter
//   skip                     a click that skips a transition page
//   wait end                 let the page play to its end
//   ok                       close the message box
//   menu                     the "Menu button" once the menu has been left
//   expect page 12           the page shown now
//   expect highlight "Play"  the highlighted selection
//   expect message "24 Hello|world"
//   expect movie "Play movie: video\cd1.avi from frame 0"
//   expect language 1
//   expect subtitle 0
//
// Texts are quoted; inside the quotes \" is a quote and \\ a backslash. A single word may go unquoted.

struct WalkStep
{
    enum Kind {
        Start,
        Click,
        Point,
        Key,
        Skip,
        WaitEnd,
        Ok,
        Menu,
        ExpectPage,
        ExpectHighlight,
        ExpectMessage,
        ExpectMovie,
        ExpectLanguage,
        ExpectSubtitle,
    };
    Kind kind = Start;
    int number = 0;        // Start (0 with hasNumber false: StartPage), ExpectPage, ExpectLanguage, ExpectSubtitle
    bool hasNumber = false;
    QString text;          // Click, Point, ExpectHighlight, ExpectMessage, ExpectMovie
    int occurrence = 1;    // Click, Point, ExpectHighlight: which of the page's selections named `text`
    PlayerKey key = PlayerKey::Enter;
    int line = 0;          // line in the file it was read from, 0 for a step not read from a file

    bool operator==(const WalkStep& o) const
    {
        return kind == o.kind && number == o.number && hasNumber == o.hasNumber && text == o.text && key == o.key &&
               occurrence == o.occurrence;
    }
};

struct Walkthrough
{
    std::vector<WalkStep> steps;
};

// One step as a line of the file, without line end.
QString formatStep(const WalkStep& step);
// The whole file: a comment line naming the menu (when `menuName` is not empty), then a step a line.
QString formatWalkthrough(const Walkthrough& walk, const QString& menuName = {});
// Reads the text form. False with `error` naming the line ("line 4: unknown step "jump"") when a line
// is not a step.
bool parseWalkthrough(const QString& text, Walkthrough& walk, QString* error = nullptr);
// Reads and writes a file (UTF-8; written atomically).
bool loadWalkthrough(const QString& path, Walkthrough& walk, QString* error = nullptr);
bool saveWalkthrough(const QString& path, const Walkthrough& walk, const QString& menuName, QString* error = nullptr);

QString playerKeyName(PlayerKey key);
