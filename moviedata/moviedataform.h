#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "document/model.h"
#include "dialogs/dialogservice.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTabWidget;
class QToolButton;
class QTreeView;

template <typename T> class OwnedListModel;

// The movie data dialog. It edits the project's movie data in place: every field writes its model
// value as it changes and every list row is an element of the model's lists, so OK and Cancel only
// close the window. One dialog exists per project; the main window replaces it for a new or opened
// project.
class TMovieDataForm : public QDialog
{
    Q_OBJECT
public:
    // Background of the four required fields: empty, and holding a value.
    static inline const QColor kRequiredEmpty = QColor(255, 230, 230);
    static inline const QColor kRequiredFilled = QColor(230, 255, 230);

    enum class RequiredField { BaseDirectory, Title, ID, MovieAVIName };

    // Runs a child dialog (chapter import, advanced subtitle options) modally and returns its result.
    // The default runs QDialog::exec(); tests put in one that fills the dialog and answers at once.
    using ModalRunner = std::function<int(QDialog&)>;

    // What BrowseRelativeFile hands back for an accepted choice.
    struct RelativeFile
    {
        QString directory; // relative to the root, "\" between levels, "." for the root itself
        QString fileNames; // names only, from the last chosen to the first, joined by single spaces
    };

    TMovieDataForm(MenuProject& project, DialogService& dialogs, QWidget* parent = nullptr);
    ~TMovieDataForm() override;

    // The base directory that edBaseDirectory shows (remembered as the last directory when the
    // program ends).
    QString baseDirectoryText() const;

    // Shows what the project holds now: the file reader, the page editors and the picture pages change
    // the movie data directly, so the dialog reloads its fields and lists each time it is shown. The
    // current tab, list selections and panel state are kept.
    void loadFromProject();

    // The file reader colours the required fields by what it found.
    void setRequiredFieldColour(RequiredField field, bool filled);

    // Turns to the tab of a field as the menu file names it ("MENU/StartPage", "CHAPTERS/3"), and for
    // a numbered entry of a list ("CHAPTERS/3", "LANGUAGES/Primary") picks its row, so that the
    // dialog opens where a problem of the movie data is. An unknown section leaves the dialog as it is.
    void showField(const QString& field);

    void setModalRunner(ModalRunner runner);

    // Lets the user choose a folder; the folder with a trailing separator, or empty when cancelled.
    QString BrowseFolder(const QString& title, const QString& initialFolder);
    // Lets the user choose a file (or several) below `root`; a file outside it is refused with a
    // message. Nothing when refused or cancelled. The dialog's title is `caption`. The dialog starts
    // in `startBelow` (a directory relative to the root, file form) when that folder exists, so that a
    // file is looked for where the files of its kind were chosen before, else in the root.
    std::optional<RelativeFile> BrowseRelativeFile(const QString& caption, const QString& root, const QString& filter,
                                                   bool multipleFiles, const QString& startBelow = QString());

signals:
    // A base directory was chosen: the main window shows it in its caption and enables Save as.
    void baseDirectoryChosen(const QString& folder);

public slots:
    // Frame
    void bttOKClick();
    void bttCancelClick();
    void bttBrowseBaseDirectoryClick();
    // Main
    void edMainTitleChange();
    void bttGenerateIDClick();
    // Movie
    void bttBrowseMovieDirectoryClick();
    void bttAVI1Click();
    void bttAVI2Click();
    void bttAVI3Click();
    void bttAutoClick();
    // Chapters
    void bttAddChapterClick();
    void bttModifyChapterClick();
    void bttDeleteChapterClick();
    void lstChaptersClick();
    void bttImportChaptersClick();
    // Menu
    void bttBrowseMenuDirectoryClick();
    void bttBrowseMenuAVIClick();
    void bttBrowseMenuAudioClick();
    // Languages
    void bttAddLanguageClick();
    void bttModifyLanguageClick();
    void bttDeleteLanguageClick();
    void lstLanguagesClick();
    void bttBrowseLanguage1Click();
    void bttBrowseLanguageDirectoryClick();
    // Specials
    void bttAddSpecialClick();
    void bttModifySpecialClick();
    void bttDeleteSpecialClick();
    void lstSpecialsClick();
    void bttBrowseSpecialFileClick();
    // Subtitles
    void bttAddSubtitlesClick();
    void bttModifySubtitlesClick();
    void bttDeleteSubtitlesClick();
    void lstSubtitlesClick();
    void lstSubtitlesDblClick();
    void bttBrowseSubtitlesClick();
    void bttBrowseSubtitlesDirectoryClick();
    void bttAdvancedSubtitlesClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildMainTab();
    QWidget* buildMovieTab();
    QWidget* buildChaptersTab();
    QWidget* buildMenuTab();
    QWidget* buildLanguagesTab();
    QWidget* buildSubtitlesTab();
    QWidget* buildSpecialsTab();

    // A field that edits one text of the movie data, and its tooltip.
    QLineEdit* textField(const char* name, QString MovieData::*value, const QString& tip);
    QCheckBox* checkField(const char* name, const QString& text, bool MovieData::*value, const QString& tip);
    // An edit field that belongs to a list's editing row (not a model value by itself).
    QLineEdit* rowField(const char* name, const QString& tip);
    QTreeView* listView(const char* name, const QString& tip);
    QPushButton* button(const char* name, const QString& text, const QString& tip);
    QLabel* label(const char* name, const QString& text);
    static void setFieldBackground(QLineEdit* field, const QColor& colour);
    QColor menuColour() const;
    void colourRequired(QLineEdit* field);
    void updateLanguageFilesEnabled();
    int selectedRow(const QTreeView* view) const;
    // Lets the user choose the folder of a directory field below the base directory, starting in the
    // field's folder; a folder outside the base directory is refused with `outside` and the base.
    void chooseDirectory(QLineEdit* field, const QString& title, const QString& outside);
    // A list entry is taken only when each given field holds text; the first empty one is named in
    // the refusal (its label, what it needs) and gets the keyboard focus, on its tab, once the
    // message is closed. A null field is not required here.
    struct RequiredEntry
    {
        QLineEdit* field;
        QString label;
        QString need;
    };
    bool entryFilled(std::initializer_list<RequiredEntry> entries);
    bool languageFilled(bool needsFiles);
    bool specialFilled();
    bool subtitleFilled();
    int runModal(QDialog& dialog);
    void countFrames(int cd);

    MenuProject& m_project;
    DialogService& m_dialogs;
    ModalRunner m_runModal;
    // The movie ID comes from one pseudo-random sequence per dialog, seeded with the time it was made.
    std::minstd_rand m_random;

    std::vector<std::pair<QLineEdit*, QString MovieData::*>> m_textBindings;
    std::vector<std::pair<QCheckBox*, bool MovieData::*>> m_checkBindings;

    QTabWidget* m_tabs = nullptr;
    QLineEdit* edBaseDirectory = nullptr;
    // Main
    QLineEdit* edMainTitle = nullptr;
    QLineEdit* edMainID = nullptr;
    QLineEdit* edMainCDNumber = nullptr;
    QLineEdit* edMainDelay = nullptr;
    // Movie
    QLineEdit* edMovieDirectory = nullptr;
    QLineEdit* edMovieAVIName = nullptr;
    QLineEdit* edMovieAVI2Name = nullptr;
    QLineEdit* edMovieAVI3Name = nullptr;
    QLineEdit* edMovieCD1Frames = nullptr;
    QLineEdit* edMovieCD2Frames = nullptr;
    QLineEdit* edMovieCD3Frames = nullptr;
    QLabel* lbCDFramesState = nullptr;
    // Chapters
    QTreeView* lstChapters = nullptr;
    OwnedListModel<Chapter>* m_chapters = nullptr;
    QLineEdit* edFirstChapterFrame = nullptr;
    QLineEdit* edChapterName = nullptr;
    // Menu
    QLineEdit* edMenuDirectory = nullptr;
    QLineEdit* edMenuAVIName = nullptr;
    QLineEdit* edMenuAudioName = nullptr;
    // Languages
    QLineEdit* edLanguageDirectory = nullptr;
    QTreeView* lstLanguages = nullptr;
    OwnedListModel<AudioLanguage>* m_languages = nullptr;
    QLineEdit* edLangShortName = nullptr;
    QLineEdit* edLangFullName = nullptr;
    QLineEdit* edLangFile1 = nullptr;
    QPushButton* bttBrowseLanguage1 = nullptr;
    // Specials
    QTreeView* lstSpecials = nullptr;
    OwnedListModel<SpecialFeature>* m_specials = nullptr;
    QLineEdit* edSpecialTitle = nullptr;
    QLineEdit* edSpecialFile = nullptr;
    // Subtitles
    QLineEdit* edSubtitlesDirectory = nullptr;
    QTreeView* lstSubtitles = nullptr;
    OwnedListModel<SubtitleTrack>* m_subtitles = nullptr;
    QLineEdit* edSubtitlesShortName = nullptr;
    QLineEdit* edSubtitlesFullName = nullptr;
    QLineEdit* edSubtitlesFile = nullptr;
    QGroupBox* gbAdvSubOptions = nullptr;
    QPushButton* bttAdvancedSubtitles = nullptr;
    // The field showField named, which gets the keyboard focus when the dialog shows.
    QPointer<QWidget> m_focusOnShow;
};
