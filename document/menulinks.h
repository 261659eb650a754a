#pragma once

#include "document/model.h"

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
// "+1" / "-1" to the next / previous page of the list). Other actions give LinkKind::None.
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
