#pragma once

#include "document/model.h"

#include <vector>

// What the links of a menu mean: where a jump leads and which actions leave the menu. The menu check
// (reachability, missing targets) and the player model (what a click does) both ask here, so that the
// two can never disagree about a jump.

enum class LinkKind {
    None,         // not a link (JumpAtEnd 0, or an action that is no jump)
    Page,         // leads to the page at pageIndex
    MissingPage,  // an absolute jump to a page number that no page has
    OffList,      // a relative jump past the first or the last page of the list
    BadParameter, // the parameter is not a page number ("+1"/"-1" for a relative jump)
};

struct Link
{
    LinkKind kind = LinkKind::None;
    int pageIndex = -1;  // position in the project's page list when kind is Page
    int pageNumber = 0;  // the number asked for (absolute jumps and JumpAtEnd)
};

// Position of the first page in list order that has `number`, or -1.
int findPageIndex(const MenuProject& project, int number);

// The page number an absolute jump's parameter names, read as the player reads it: a decimal integer,
// blanks around it allowed. False for anything else.
bool readPageNumber(const QString& parameter, int& number);

// Where an action of the page at `fromPageIndex` leads when it is a jump (code 1 absolute, code 9
// "+1" / "-1" to the next / previous page of the list). A code 1 jump whose parameter is exactly "+1" or
// "-1" is the relative jump too: the file writes both alike and reads them back as the relative jump.
// Other actions give LinkKind::None.
Link resolveJump(const MenuProject& project, int fromPageIndex, const MenuAction& action);

// Where the page's JumpAtEnd leads; 0 gives LinkKind::None.
Link resolveJumpAtEnd(const MenuProject& project, int fromPageIndex);

// Where the page's ActionAtEnd leads. The end action keeps the file's form: a relative jump read from
// "1#+1" is a jump (code 1) whose parameter carries the sign, so a signed parameter is read as the
// player reads it: "+1" / "-1" is the next / previous page of the list, any other signed value is
// that many page numbers from this page's number (the rule the reader applies to selection jumps).
// No end action, or one that is no jump, gives LinkKind::None.
Link resolveActionAtEnd(const MenuProject& project, int fromPageIndex);

// Actions that take the viewer out of the menu: the movie, a chapter, a special feature, back to
// the movie.
bool leavesMenu(int code);
// The player stops running a selection's actions after a jump or an action that leaves the menu;
// the actions after it are never run.
bool endsActionList(int code);

// The pages the player starts from: StartPage, the MenuPage it returns to from the movie, and the
// ChaptersPage and SpecialsPage it opens itself; each page once, in that order.
std::vector<int> menuEntryPages(const MenuProject& project);

// ---------------------------------------------------------------------------------------------------
// What happens at a page's end. The player model plays by these rules and the menu check follows the
// same ones, so that the pages the check calls reachable are the pages a viewer can get to.

// The page ends by itself: a video range that does not loop reaches its last frame, a still picture
// with a duration above 0 has been shown that long.
bool pageEndsInTime(const Page& page);
// A page the viewer only passes through: it offers no selection, does not loop, and jumps at its end.
// A click or Enter plays it to its end at once.
bool isTransitionPage(const Page& page);

enum class EndKind {
    Never,     // the page never ends (a looping range, a still picture without duration)
    Stays,     // it ends and stays on its last picture: nothing to run
    EndAction, // it runs its ActionAtEnd; its JumpAtEnd, if any, is never used
    JumpAtEnd, // it jumps to its JumpAtEnd
};
struct PageEnd
{
    EndKind kind = EndKind::Never;
    Link link; // where the end leads: the end action's jump or the jump at end; LinkKind::None otherwise
};
PageEnd pageEnd(const MenuProject& project, int pageIndex);
// The page has a jump at end that its end action always overrides.
bool jumpAtEndOverridden(const MenuProject& project, int pageIndex);

// Whether the viewer can choose any selection of the page at some moment: selections are offered and,
// on a video page, some frame of its range lies in the window that ProhibitSelectionBefore and
// ProhibitSelectionAfter leave open (each when above 0).
bool selectionsCanBeChosen(const Page& page);
// Whether the selection can be chosen when the page's selections can: by a click or the arrow keys
// when its area can be clicked, or by Enter as the page's DefaultSelection, highlighted when the page
// starts.
bool selectionCanBeChosen(const Page& page, int selectionIndex);
