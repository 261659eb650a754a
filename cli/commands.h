#pragma once

#include <QStringList>

#include <cstdio>

#include "document/messages.h"

// The commands of vrplmenu. Each takes the arguments after its own name and returns the exit status:
// 0 without messages, 1 with messages, 2 when a file cannot be read.
namespace cli {

int check(const QStringList& args);
int normalize(const QStringList& args);

// Video commands: video-info FILE [--key-frames], count-frames FILE..., frame FILE N -o OUT.
int videoInfo(const QStringList& args);
int countFrames(const QStringList& args);
int frame(const QStringList& args);

// walk FILE.ini WALK.walk: replays a walkthrough; 0 when it holds, 1 when a step no longer holds (the
// sentence naming it on standard output), 2 when a file cannot be read.
int walk(const QStringList& args);

// find-buttons FILE [--range FIRST-LAST] [--json]: the rectangles proposed for a JPEG picture or a
// frame range of a menu video, one Area per line, best first (or a JSON array); 0 when it ran, also
// when nothing was found, 2 when the file cannot be read.
int findButtons(const QStringList& args);

// map FILE [-o OUT.svg|.png|.dot]: the page map of the menu, as DOT (on standard output without -o)
// or drawn by Graphviz; 0 when written, 1 when the menu had messages, 2 when nothing was written.
int map(const QStringList& args);
// import-dvd SOURCE -o MENU.ini [--menu-video avi|vob]: a DVD's menus as a menu file, with its menu
// video and pictures beside it; the report on standard error. 0 when every command was translated, 1
// when some were not (the report lists them), 2 when the disc cannot be read or nothing written.
int importDvd(const QStringList& args);

// Prints a message as "CAPTION: TEXT" (just the text when it has no caption) on its own line.
void printMessage(std::FILE* to, const Message& m);
// Prints a line of text in the terminal's encoding.
void printLine(std::FILE* to, const QString& text);

} // namespace cli
