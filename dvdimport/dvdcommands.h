#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "dvdimport/dvdstructure.h"

// The translation of a DVD navigation command into what this player's menus can do. A DVD's commands
// are a small machine with registers; the player knows page jumps, the movie, its chapters, the
// languages and the subtitles. The translation is a pure function of the command and of what it
// needs to know about the disc, so that it can be tested on every byte pattern.
namespace dvdimport {

struct CommandEffect
{
    enum class Kind {
        JumpMenu,   // to menu `pgc` of title set `titleSet` (0: the video manager)
        PlayTitle,  // title `title` of the disc, from part `part` (0: from its start)
        Resume,     // back to the movie where the menu was called
        Audio,      // audio stream `stream` (from 0)
        Subpicture, // subpicture stream `stream` (from 0) shown, or none shown when `stream` is -1
    };
    Kind kind = Kind::JumpMenu;
    int titleSet = 0;
    int pgc = 0;
    int title = 0;
    int part = 0;
    int stream = 0;

    bool operator==(const CommandEffect&) const = default;
};

// What is known where the command runs.
struct CommandContext
{
    int titleSet = 0; // of the menu holding the command; 0: the video manager
    int pgc = 0;      // that menu's number
    int nextPgc = 0;
    int previousPgc = 0;
    int upPgc = 0;
    // The menus of each domain: menuTypes[titleSet][pgc - 1] is the type of that menu when it is an
    // entry menu, MenuType::None otherwise.
    std::vector<std::vector<MenuType>> menuTypes;
    // The disc's titles (title set, number within the set), numbered from 1 by position.
    std::vector<std::pair<int, int>> titles;
    // General registers whose value is fixed where the command runs (set by the menu's pre-commands
    // to a constant).
    std::array<std::optional<uint16_t>, 16> registers{};
};

struct CommandTranslation
{
    std::vector<CommandEffect> effects; // in the order the disc does them
    // Empty when everything was translated; otherwise what could not be, in words for the report
    // ("a comparison of general register 3", "a jump to the first-play program").
    QString untranslated;
};

CommandTranslation translateCommand(const Command& command, const CommandContext& context);

// The general registers a list of commands leaves with fixed values: each register set to a
// constant, until a command sets it in another way (then it is no longer known). Commands after a
// jump, a link or a condition are not followed.
std::array<std::optional<uint16_t>, 16> fixedRegisters(const std::vector<Command>& commands);

// The button a menu lights first when its pre-commands set it to a constant (the highlight register
// holds the button number times 1024); 0 when they do not.
int buttonSetByCommands(const std::vector<Command>& commands);

// The command's eight bytes in hexadecimal ("30 05 00 03 00 01 00 00"), for the report.
QString commandText(const Command& command);

} // namespace dvdimport
