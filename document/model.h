#pragma once

#include <QPointer>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

#include "core/textencoding.h"

// The project: the movie data (kept as the text the author typed or the file held) and the menu
// (pages, selections, actions, kept as typed values). Every object has exactly one owner.

struct Chapter
{
    QString number;     // "1", "2", ... in list order
    QString firstFrame; // counted over all CDs of the movie
    QString name;

    bool operator==(const Chapter&) const = default;
};

struct SpecialFeature
{
    QString number;
    QString title;
    QString file; // holds no blank; the title may

    bool operator==(const SpecialFeature&) const = default;
};

struct AudioLanguage
{
    QString number; // "0" for the primary language, then "1", "2", ...
    QString shortName;
    QString fullName;
    QString files; // the language's files for CD 1, 2 and 3, separated by blanks; empty for the primary one

    bool operator==(const AudioLanguage&) const = default;
};

struct SubtitleTrack
{
    QString number;
    QString shortName;
    QString fullName;
    QString file;
    // The advanced options, each empty when not set.
    QString format;
    QString openBracket;
    QString closeBracket;
    QString lineSeparator;
    QString offset;
    QString multiplier;

    bool operator==(const SubtitleTrack&) const = default;
};

// The lists hold their elements through owning pointers so that a list row can point at an element
// for as long as the element exists, whatever is added or removed around it.
template <typename T> using OwnedList = std::vector<std::unique_ptr<T>>;

struct MovieData
{
    // [MAIN]
    QString title;
    QString id;
    QString cdNumber;
    QString delay;
    // [MOVIE]
    QString movieDirectory;
    QString aviName;
    QString avi2Name;
    QString avi3Name;
    QString cd1Frames;
    QString cd2Frames;
    QString cd3Frames;
    // [CHAPTERS]
    OwnedList<Chapter> chapters;
    // [SPECIALS]
    QString specialsCD;
    OwnedList<SpecialFeature> specials;
    // [LANGUAGES]
    QString languageDirectory;
    bool multipleAudioAVI = false;
    OwnedList<AudioLanguage> languages; // element 0 is the primary language
    // [SUBTITLES]
    QString subtitlesDirectory;
    QString dialogString;
    QString lines;
    QString maxDisplayDuration;
    bool estimateDisplayDuration = false;
    OwnedList<SubtitleTrack> subtitles;
    // [MENU]
    QString menuDirectory;
    QString menuAVIName;
    QString menuSize;
    QString menuAudioName;
    QString startPage;
    QString menuPage;
    QString chaptersPage;
    QString specialsPage;
};

// A copy of the movie data with copies of its list elements, and whether two hold the same values:
// the movie data dialog's edits become one undo step by comparing before and after.
MovieData cloneMovieData(const MovieData& data);
bool sameMovieData(const MovieData& a, const MovieData& b);

struct MenuAction
{
    int type = 1; // 1 to 9, see actiontypes.h
    QString parameter;

    MenuAction() = default;
    MenuAction(int t, QString p) : type(t), parameter(std::move(p)) {}
};

struct Selection
{
    QString name;
    QString area; // "left,top-right,bottom" in pixels of the menu video picture
    OwnedList<MenuAction> actions;
    // The rectangle that shows the selection on the picture, when its page is shown. The selection owns
    // it; the pointer clears itself if the picture's widget tree has already destroyed it.
    QPointer<QObject> shape;

    Selection() = default;
    Selection(QString n, QString a) : name(std::move(n)), area(std::move(a)) {}
    ~Selection();
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    MenuAction& addAction(int type, QString parameter);
};

// A page's properties apart from its number, its selections and its end action: the values the page
// editor's Modify sets together (and an undo of it puts back together).
struct PageProperties
{
    QString name;
    bool backgroundIsVideo = false;
    QString pictureFile;
    bool selectionAvailable = false;
    bool videoLoop = false;
    int firstFrame = 0;
    int lastFrame = 0;
    int pictureDuration = 0;
    int jumpAtEnd = 0;
    int prohibitSelectionBefore = 0;
    int prohibitSelectionAfter = 0;
    int defaultSelection = 0;
    bool columnOrdering = false;
    // The 64 x 43 picture of the page list. Held as a QVariant (holding a QImage) so that the model
    // needs Qt Core only; the windows put the picture in and take it out.
    QVariant thumbnail;

    bool operator==(const PageProperties&) const = default;
};

struct Page : PageProperties
{
    int number = 0;
    int nameCounter = 0; // not stored: counts the selections drawn on this page
    OwnedList<Selection> selections;
    std::unique_ptr<MenuAction> actionAtEnd;

    Page() = default;
    Page(int n, QString nm, QVariant thumb = {}) : number(n)
    {
        name = std::move(nm);
        thumbnail = std::move(thumb);
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    PageProperties& properties() { return *this; }
    const PageProperties& properties() const { return *this; }

    Selection& addSelection(std::unique_ptr<Selection> s);
};

inline const QString kNewFileName = QStringLiteral("New File");

struct MenuProject
{
    QString documentName = kNewFileName; // full path of the menu file, or "New File"
    QString baseDirectory;               // native absolute path ending in the native separator
    MovieData movieData;
    OwnedList<Page> pages;
    // The encoding the file was read with, used again when it is written. A new project writes
    // Windows-1252, the code page of the player.
    TextEncoding encoding = TextEncoding::Windows1252;
    // A UTF-8 file that began with a byte order mark (as some editors write) gets it back when saved.
    bool byteOrderMark = false;

    // New and Open replace everything but keep the object, so that windows holding a reference to it
    // stay valid.
    void reset();

    int selectionCount() const;
    int actionCount() const;
};
