#pragma once

#include <QByteArray>
#include <QString>

#include <QHash>

#include <functional>
#include <vector>

#include "document/messages.h"
#include "document/model.h"

// Which of the required head fields were found, for the movie data dialog's colours.
enum class FieldState { NotRead, Found, Missing };

struct LoadReport
{
    bool fileReadable = false; // the file's bytes could be read at all
    // The file was taken for a menu file: text with a [MAIN] section or a page block. Anything else
    // (a video, a picture, another program's settings, an empty file) must not replace an open menu.
    bool menuFile = false;
    // What the file looks like when it is not text at all ("an AVI video"); empty otherwise.
    QString notText;
    bool headComplete = false; // no required key was missing
    bool pagesRead = false;    // the menu part was read to its end without a conversion error
    FieldState title = FieldState::NotRead;
    FieldState id = FieldState::NotRead;
    FieldState movieDirectory = FieldState::NotRead; // Found turns the base directory field green
    FieldState aviName = FieldState::NotRead;
    bool primaryLanguage = false; // a primary language was added: the language file field is enabled
    int messageCount = 0;
};

// Where the parts of the file stand, for tools that point at a line (vrplmenu check). Lines count
// from 1, as an editor numbers them.
struct FileLines
{
    std::vector<int> pages;                   // the header line of each page read, in list order
    std::vector<std::vector<int>> selections; // the header line of each selection, per page
    // The head: "SECTION" (upper case) gives the line of the section's header, "SECTION/KEY" (upper
    // case) the line of the key's first occurrence in that section.
    QHash<QString, int> head;

    // The line of a head key, else of its section, else 0.
    int headLine(const QString& section, const QString& key) const;
};

// What the windows add to the reading of a file.
struct LoadHooks
{
    // After the head and the File values, before the pages: the main window opens the menu video here.
    std::function<void(MenuProject&)> beforePages;
    // Each page read, before it is appended to the project: the main window shows its first frame or
    // its picture and makes its thumbnail. An exception thrown here ends the reading; the page is
    // dropped and the pages before it stay.
    std::function<void(Page&)> pageRead;
    // When set, filled with the lines where the head's keys and the page and selection blocks stand.
    FileLines* lines = nullptr;
};

// Replaces the content of `project` by the menu file at `path`: the head by key lookup, then the File
// values and the page and selection blocks line by line. Every message goes to `sink`, in order. What
// was read before a stop stays in the project.
LoadReport LoadProject(const QString& path, MenuProject& project, const MessageSink& sink,
                       const LoadHooks& hooks = {});
// The same from bytes already in memory; `path` names the document.
LoadReport LoadProjectFromBytes(const QByteArray& bytes, const QString& path, MenuProject& project,
                                const MessageSink& sink, const LoadHooks& hooks = {});
