#pragma once

#include <QString>

// The fixed texts of the movie data dialogs: captions, messages and file filters, used exactly.
namespace moviedatatexts {

inline const QString kCaption = QStringLiteral("Movie Extra Data");
inline const QString kImportCaption = QStringLiteral("Import Chapters");
inline const QString kAdvSubtitleCaption = QStringLiteral("Advanced subtitles options");

inline const QString kNoBaseDirectory = QStringLiteral("You must give a base directory");
inline const QString kChapterFieldsMissing =
    QStringLiteral("Please fill 'First chapter frame' and 'Chapter name' correctly");
inline const QString kFillDataCorrectly = QStringLiteral("Please fill data correctly");
// What follows "Please fill data correctly" in a refused list entry: the field by its label, and what
// it needs.
inline QString fillDataCorrectly(const QString& field, const QString& need)
{
    return kFillDataCorrectly + QStringLiteral(".\n'%1' needs %2").arg(field, need);
}
inline const QString kNeedShortName = QStringLiteral("the short name, three characters at most.");
inline const QString kNeedFullName = QStringLiteral("the full name.");
inline const QString kNeedLanguageFiles =
    QStringLiteral("the audio file of this language: every language after the primary one (#0) plays "
                   "its own audio file, one per CD, separated by spaces. Choose it with the ... button "
                   "beside the field.");
inline const QString kNeedSpecialTitle = QStringLiteral("the title that the player shows for the special feature.");
inline const QString kNeedSpecialFile = QStringLiteral("the special feature's video file, in the movie directory.");
inline const QString kNeedSubtitleFile = QStringLiteral("the subtitle file. Choose it with the ... button beside the field.");
inline const QString kFileOutsideRoot =
    QStringLiteral("The AVI file must be in the same, or in a subdirectory, of the base directory ");
inline const QString kMenuDirectoryOutsideBase =
    QStringLiteral("The menu directory must be the same or a subdirectory of the base directory");
// The same rule for the other directory fields, each named.
inline QString directoryOutsideBase(const QString& directory)
{
    return QStringLiteral("The %1 directory must be the same or a subdirectory of the base directory").arg(directory);
}
inline const QString kNotAnInteger = QStringLiteral("'%1' is not a valid integer value");

inline const QString kSelectBaseDirectory = QStringLiteral("Select the base directory : ");
inline const QString kSelectMenuDirectory = QStringLiteral("Select the menu directory : ");
inline const QString kSelectMovieDirectory = QStringLiteral("Select the movie directory : ");
inline const QString kSelectLanguageDirectory = QStringLiteral("Select the language directory : ");
inline const QString kSelectSubtitlesDirectory = QStringLiteral("Select the subtitles directory : ");
inline const QString kChooseWithButton = QStringLiteral("(chosen with the ... button)");
// The titles of the file dialogs, each saying what it chooses.
inline const QString kChooseMenuVideo = QStringLiteral("Choose the menu video");
inline const QString kChooseMenuAudio = QStringLiteral("Choose the menu background audio");
inline const QString kChooseMovieFile = QStringLiteral("Choose the CD %1 movie file");
inline const QString kChooseLanguageFiles = QStringLiteral("Choose the language audio files");
inline const QString kChooseSubtitleFile = QStringLiteral("Choose the subtitle file");
inline const QString kChooseSpecialVideo = QStringLiteral("Choose the special feature video");

inline const QString kFilterAllFiles = QStringLiteral("All files (*.*)|*.*");
inline const QString kFilterVideo = QStringLiteral("AVI Video files|*.AVI;*.VOB");
inline const QString kFilterAudio = QStringLiteral("Audio Files|*.WAV;*.MP3;*.AC3");
inline const QString kFilterSubtitles = QStringLiteral("Subtitle files|*.SUB;*.SRT;*.TXT");

inline QString gettingFrames(int cd)
{
    return QStringLiteral("Getting frames number for CD%1, please wait ...").arg(cd);
}

} // namespace moviedatatexts
