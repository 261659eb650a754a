#include "document/actiontypes.h"

const ActionTypeInfo kActionTypes[kActionTypeCount] = {
    {"Jump to another page", "Jump to another page\nParameter: Number of page to be activated."},
    {"Play movie", "Start the movie at the beginning\nParameter: None."},
    {"Play from chapter", "Start the movie at the given chapter\nParameter: Chapter at which to start the movie."},
    {"Display a message box",
     "Display a message in a nice dialog box.\nParameter: Text to be displayed.\nSome important hints:\n"
     "To write multiple lines, use a pipe character to separate lines.\n"
     "You can set the font size for your message by giving a number at the beginning of the text, separated\n"
     "from real text by a space. Default size in case of missing number is 12.\n"
     "The text may not contain the character \"#\", because this is used as separator for multiple "
     "actions/parameters."},
    {"Start a Special Feature video",
     "Start a Special Feature video\nParameter: Special video to be started (defined in section Specials of INI "
     "file)"},
    {"Change language", "Change language\nParameter: Number of language (0=primary)."},
    {"Change subtitle", "Change subtitle\nParameter: Number of subtitle (0=deactivate)."},
    {"Return to Movie",
     "Return to Movie (means restart the movie at the position where you left it for the menu by clicking the\n"
     "Menu button on the control bar. This does basically the same as clicking the menu button a second time.\n"
     "Parameter: None."},
    {"Relative jump", "Jump to next page or previous page.\nParameter: Next or previous"},
};

QString actionDisplayName(int code)
{
    if (code < 1 || code > kActionTypeCount)
        return {};
    return QString::fromLatin1(kActionTypes[code - 1].displayName);
}

QString actionHelpText(int code)
{
    if (code < 1 || code > kActionTypeCount)
        return {};
    return QString::fromLatin1(kActionTypes[code - 1].helpText);
}

int actionFileCode(int code)
{
    return code == ActRelativeJump ? ActJumpToPage : code;
}

QString ActionText(const MenuAction& action)
{
    return actionDisplayName(action.type) + QLatin1Char('(') + action.parameter + QLatin1Char(')');
}
