#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// What the import takes from a DVD, as plain values: the menus with their cells, buttons and
// commands, the titles, and the main title's chapters and languages. The reader fills it from the
// disc through libdvdread; everything after that (the translation of the commands, the project)
// works on these values alone, so it can be tested and fuzzed without a disc.
namespace dvdimport {

using Command = std::array<uint8_t, 8>; // one navigation command as the disc stores it

// The menu types a DVD gives its entry menus (the low four bits of the entry id).
enum class MenuType : uint8_t {
    None = 0, // a menu that is no entry menu (a second chapter page, say)
    Title = 2,
    Root = 3,
    Subpicture = 4,
    Audio = 5,
    Angle = 6,
    Chapter = 7,
};

struct DvdButton
{
    QRect rect;         // in pixels of the menu's highlight, edges included
    Command command{};
};

struct DvdCell
{
    uint32_t firstSector = 0;
    uint32_t lastSector = 0;
    int frames = 0;   // playing time in frames
    int stillTime = 0; // seconds the cell's last picture stays; 255: without end
};

struct DvdMenu
{
    int titleSet = 0; // 0: the video manager
    int pgc = 0;      // its number among the domain's menus, from 1
    MenuType type = MenuType::None;
    bool entry = false;
    std::vector<DvdCell> cells;
    int stillTime = 0; // of the whole menu
    int nextPgc = 0;
    int previousPgc = 0;
    int upPgc = 0;
    std::vector<Command> preCommands;
    std::vector<Command> postCommands;
    std::vector<Command> cellCommands;
    std::vector<DvdButton> buttons;
    int forcedButton = 0; // the button the highlight forces lit first; 0: none
    QSize pictureSize;    // the menu video's picture
    bool pal = true;
};

struct DvdTitle
{
    int titleSet = 0;
    int titleInSet = 0; // its number within the title set
    int parts = 0;
    int frames = 0;     // the whole title's playing time in frames
};

struct DvdDisc
{
    QString volume;
    std::vector<DvdMenu> menus; // the video manager's, then each title set's, in PGC order
    std::vector<DvdTitle> titles; // the disc's titles, numbered from 1 by position
    Command firstPlay{};          // the first command of the first-play program; zero: none
    bool hasFirstPlay = false;
    int mainTitle = 0;            // the longest title, from 1; 0 when the disc has none
    std::vector<int> chapterFrames; // first frame of each part of the main title
    bool pal = true;
    double frameRate = 25.0;      // the main title's
    std::vector<QString> audioLanguages;    // ISO 639-1 codes of the main title set's audio streams
    std::vector<QString> subtitleLanguages; // and of its subpicture streams
    std::vector<QString> notes;   // what the reader could not take (a menu it could not read, ...)
};

// The number of frames of a DVD time (hours, minutes, seconds in BCD and the frame byte whose top
// two bits give the rate: 1 = 25, 3 = 30 pictures a second). A digit above 9 counts as read.
int dvdTimeFrames(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte);

} // namespace dvdimport
