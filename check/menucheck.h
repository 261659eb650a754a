#pragma once

#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "document/menulinks.h"
#include "document/model.h"

// The menu check: every problem the player would meet in a project, found without any window. It is
// a pure function of the project and the context, cheap enough to run after every edit (a few
// milliseconds for the largest menu when no file is looked at).

enum class Severity {
    Error,   // the player will misbehave
    Warning, // probably not what the author meant
};

// Where a problem is. A problem of the movie data has pageIndex -1 and names its field; a problem of
// a page names the page (and, when it is about one, its selection and action).
struct ProblemLocation
{
    int pageIndex = -1;      // position in the project's page list; -1 for the movie data
    int selectionIndex = -1; // position in the page's selection list; -1 when the problem is the page's
    int actionIndex = -1;    // position in the selection's action list; -1 for the end action or none
    // The field the problem is in, as the file names it: "SECTION/Key" for the movie data
    // ("MENU/StartPage", "CHAPTERS/3" for the third chapter), the key for a page's value
    // ("JumpAtEnd", "ActionAtEnd", "VideoRange", "PictureFile", ...), empty when the whole page or
    // selection is meant.
    QString field;

    bool operator==(const ProblemLocation&) const = default;
};

struct Problem
{
    Severity severity = Severity::Error;
    // Stable, kebab-case ("jump-target-missing"): tools and tests match on it, never on the text.
    QString code;
    // A plain sentence for the author that names the page ("Page 12) Credits") and the selection.
    QString text;
    ProblemLocation where;
};

// What the caller knows beyond the project. Everything is optional; a check whose input is missing
// is left out, never guessed.
struct CheckContext
{
    // The folder the movie data's directories are relative to (native, ending in the separator).
    // Empty: no file is looked for on the disk.
    QString baseDirectory;
    // Frames of the menu video as the caller has it open; 0 when unknown.
    int menuFrameCount = 0;
    // Size of the menu video's picture; when empty, MENU/Size is used if it holds two numbers.
    QSize pictureSize;
    // Frames of a movie file (only asked with a base directory, for files that exist); nothing when
    // the file cannot be read as a video.
    std::function<std::optional<qint64>(const QString& path)> countFrames;
    // Why a picture file cannot be decoded, or an empty text when it can (only asked with a base
    // directory, for files that exist).
    std::function<QString(const QString& path)> pictureError;
};

// Every problem of the project, the movie data's first, then each page's in list order. A window runs
// it after every edit (a debounced timer is enough: the largest menu takes a few milliseconds without
// files) with what it has at hand: the open menu video's frame count and picture size, and, for the
// file checks, the base directory and callbacks that remember their answers by path and modification
// time, so that a movie file is counted and a picture decoded once. The locations are positions in the
// lists at the time of the call: map them to the objects before the next edit.
std::vector<Problem> checkProject(const MenuProject& project, const CheckContext& context = {});

// One link a viewer can follow: a jump or an action that leaves the menu, run by a selection the viewer
// can choose (its actions up to the first that ends the list), or by a page's end as its end rule
// says. The check finds the reachable pages by walking these; the page map draws them.
struct FollowedLink
{
    int pageIndex = -1;      // the page it starts from
    int selectionIndex = -1; // -1 for the page's end
    int actionIndex = -1;    // position in the selection's actions; -1 for the page's end
    int actionCode = 0;      // the action's code; 0 for the jump at end
    Link link;               // where a jump leads; LinkKind::None for an action that leaves the menu
};

// Every link a viewer can follow from any page, reachable or not, page by page in list order.
std::vector<FollowedLink> followedLinks(const MenuProject& project);

// "error" or "warning".
QString severityName(Severity s);
// How many problems have the severity.
int countProblems(const std::vector<Problem>& problems, Severity s);
// The counts as the status line shows them: "2 errors, 5 warnings", "1 error", "no problem".
QString problemCountText(const std::vector<Problem>& problems);
