#pragma once

#include <QStringList>

#include <vector>

#include "document/model.h"
#include "dvdimport/dvdstructure.h"

// A project made from a DVD's menus: one page per menu, one selection per button with the actions its
// command translates to, the chapters and languages of the main title, and the pages the player
// opens by itself. Pure: the disc's values and the frames each menu's video turned out to have go in,
// the project and the report come out.
namespace dvdimport {

struct ImportReport
{
    QStringList imported;     // what was taken ("9 pages", "8 chapters", ...)
    QStringList untranslated; // every command that could not be translated, naming its page and button
    QStringList notes;        // what else the author should know (the movie file to set, ...)
    QStringList unreachable;  // pages the check finds the viewer cannot reach

    // All of it as lines for the Problems window and standard error.
    QStringList lines() const;
};

// How each menu comes into the project.
struct MenuPlan
{
    bool still = false;   // a still page with its picture, rather than a range of the menu video
    int firstFrame = 0;   // its range in the menu video (motion menus)
    int lastFrame = 0;
    QString pictureFile;  // its picture's name in the menu folder (still menus)
};

struct ProjectNames
{
    QString menuDirectory = QStringLiteral(".");
    QString menuVideo;    // the menu video's file name; empty when no menu moves
    // Where the disc's VIDEO_TS folder is, relative to the menu file in the file's form; the disc's
    // own movie file stands in there until the author names the one to play.
    QString movieDirectory = QStringLiteral("VIDEO_TS");
};

// Which menus are still pictures: those whose video holds at most one picture. `frames[i]` is the
// number of pictures of disc.menus[i]'s video. The motion menus' ranges follow one another in the
// menu video; a still menu's picture is named `prefix`, "-" and the page number (menu-03.jpg).
std::vector<MenuPlan> planMenus(const DvdDisc& disc, const std::vector<int>& frames, const QString& prefix);

void buildProject(const DvdDisc& disc, const std::vector<MenuPlan>& plan, const ProjectNames& names,
                  MenuProject& project, ImportReport& report);

// A language's names from its ISO 639-1 code: the three-letter short name and the English full name
// ("fr" gives "fra" and "French"); the code itself and "Language N" when it is unknown.
std::pair<QString, QString> languageNames(const QString& code, int number);

} // namespace dvdimport
