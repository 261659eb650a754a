#pragma once

#include <QString>

#include "document/model.h"

// The nine action types: code = position in the action maker + 1. Codes 1 to 8 are the codes of the
// file; code 9 (relative jump) exists only in memory and is written as a jump (code 1) whose parameter
// carries the sign.
enum ActionCode {
    ActJumpToPage = 1,
    ActPlayMovie = 2,
    ActPlayFromChapter = 3,
    ActMessageBox = 4,
    ActSpecialFeature = 5,
    ActChangeLanguage = 6,
    ActChangeSubtitle = 7,
    ActReturnToMovie = 8,
    ActRelativeJump = 9,
};

inline constexpr int kActionTypeCount = 9;

struct ActionTypeInfo
{
    const char* displayName;
    const char* helpText;
};

// The one constant table of the nine (display name, help text) pairs, indexed by code - 1.
extern const ActionTypeInfo kActionTypes[kActionTypeCount];

// Display name of a code, or an empty text for a code outside 1..9.
QString actionDisplayName(int code);
QString actionHelpText(int code);
// The code written to the file: 9 becomes 1.
int actionFileCode(int code);
// The text by which an action is listed: the display name and the parameter in parentheses,
// for example "Play from chapter(3)".
QString ActionText(const MenuAction& action);
