#pragma once

#include <QString>

// The hints of the page window, word for word as the program has always shown them.
namespace pagehints {
inline const QString edNumber = QStringLiteral("The Number says which page is being described. The highest possible page\nnumber is 500. Pages do not have to be in ascending order, plus you may\nhave gaps in page numbers for a better grouping (like pages 1-4 defining the\nmain menu, 10-15 the chapters selection and 20-23 some special videos).");
inline const QString edPageName = QStringLiteral("Not required by VRPL but make things easyer when you have to set jump\nbetween pages.");
inline const QString edPictureFileName = QStringLiteral("You give the name of the picture file (JPG format) here.");
inline const QString chkSelectionAvailable = QStringLiteral("Unchecked (set to 0) means there are no clickable areas in this page.\nNote: This is important for determining if a page is a Transition Video, meaning\nthat it just leads to another page without any user choice.\nIf a page has this unchecked, and VideoLoop is unchecked, and JumpAtEnd\nset to non-zero, it is considered a Transition Video and may be skipped by\nclicking the mouse or permanently (see config dialog of the player program!).");
inline const QString edRange = QStringLiteral("This gives the first and last frame of the menu video file to be played for this page.");
inline const QString edPictureDuration = QStringLiteral("If set to non-zero, the menu automatically jumps to another page after\nNumber of seconds has elapsed.");
inline const QString edProhibitSelBefore = QStringLiteral("Prohibit Selection Before : If this is greater than 0, the user is not able to click\nselection areas before the frame given in Number has been reached in the\nmenu video.\nNote: if activated in the player config dialog, the user can jump immediately to\nthe first frame allowing selections by clicking the mouse! (This is an\nimprovement over the usual DVD feature that totally disallows you to choose\nactions while playing certain video parts.)");
inline const QString edProhibitSelAfter = QStringLiteral("Prohibit Selection After : If this is non-zero, no selection clicking is possible after\na certain frame in the menu video has been passed.");
inline const QString rbRow = QStringLiteral("You set the ordering mode of all selections on the current page to row (default)\nor to column.\nExplanation: To be able to use the \"cursor keys\" on a remote control (move \none selection up,down,left,right), the selections on a page have to be ordered\nin a 2-dimensional table. To do so, the player processes the following loop:\n1. Find the topmost, not yet processed selection\n2. Find all not yet processed selections whose vertical center lies between the\ntop and bottom boundary of the selection found in 1)\n3. Order all selections found in 2) by their horizontal position and mark them as\nprocessed\n4. Repeat 1) to 3) until all selections are processed\n\nDepending on where the selections on a page are located, this method may \nresult in strange cursor-jump behaviour. If you have multiple columns of selections on \nthe page with different numbers of selections per column, you should use the \ncolumn ordering mode. Otherwise, if the selections are mainly structured in rows,\nuse the default row ordering.");
inline const QString rbColumn = QStringLiteral("You set the ordering mode of all selections on the current page to row (default)");
inline const QString cbDefaultSelection = QStringLiteral("With this value you can tell the player on which selection the mouse\nshall be positioned when the page is activated. This is useful e.g. when\nyou use a remote control, and want the mouse to be positioned over\nsome kind of NEXT button in a \"actors' information\" section \netc.");
inline const QString bttAdd = QStringLiteral("Add page");
inline const QString bttDel = QStringLiteral("Delete page");
inline const QString bttFindButtons = QStringLiteral("Find buttons: propose rectangles for what the picture shows");
inline const QString bttModify = QStringLiteral("Modify page (You must click this button to apply modifications)");
inline const QString bttFirst = QStringLiteral("Set page first frame");
inline const QString bttLast = QStringLiteral("Set page last frame");
inline const QString chkVideoLoop = QStringLiteral("If checked (set to 1), the selected VideoRange loops, otherwise the\nvideo stops, or the menu jumps to another page or executes an action,\ndepending on the setting of JumpAtEnd and ActionAtEnd, when the\nend frame has been reached.");
inline const QString cbJumpAtEnd = QStringLiteral("Page number to activate when the current page ends.");
inline const QString lstActionAtEnd = QStringLiteral("Use \"Action maker\" drag & drop to add an action");
} // namespace pagehints
