#include "moviedata/moviedataform.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "moviedata/moviedatatexts.h"
#include "core/paths.h"

using namespace moviedatatexts;

QWidget* TMovieDataForm::buildMenuTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabMenu"));

    edMenuDirectory = textField(
        "edMenuDirectory", &MovieData::menuDirectory,
        QStringLiteral("Directory, relative to the base directory, in which all menu files lie (menu video, "
                       "pictures, audio). Set by its folder button or by choosing the menu video. When it is "
                       "empty the menu file has no menu section."));
    edMenuDirectory->setReadOnly(true);
    setFieldBackground(edMenuDirectory, menuColour());
    edMenuAVIName = textField(
        "edMenuAVIName", &MovieData::menuAVIName,
        QStringLiteral("Optional menu video holding all animations of an animated menu; each page plays a "
                       "part of it by its frame range."));
    edMenuAudioName = textField(
        "edMenuAudioName", &MovieData::menuAudioName,
        QStringLiteral("Optional audio file (WAV, MP3 and the like) played as background while a "
                       "still-picture page is shown; paused while a video page runs."));
    auto* edMenuStartPage = textField("edMenuStartPage", &MovieData::startPage,
                                      QStringLiteral("Number of the first page shown when the movie starts."));
    auto* edMenuMenuPage = textField(
        "edMenuMenuPage", &MovieData::menuPage,
        QStringLiteral("Page shown when returning to the menu from a running or ended movie (it may be the "
                       "start page)."));
    auto* edMenuChaptersPage = textField(
        "edMenuChaptersPage", &MovieData::chaptersPage,
        QStringLiteral("First chapter-selection page, if any. The player jumps to it after the main page has "
                       "completed a number of video loops."));
    auto* edMenuSpecialsPage = textField(
        "edMenuSpecialsPage", &MovieData::specialsPage,
        QStringLiteral("Special-features page, shown when returning from a special video. When it is empty or "
                       "zero the player uses the menu page."));
    auto* edMenuSize = textField(
        "edMenuSize", &MovieData::menuSize,
        QStringLiteral("Width and height of the menu video and still pictures, two numbers separated by a "
                       "comma, width first. Needed only for picture menus; filled whenever a picture page "
                       "is added."));

    auto* bttBrowseMenuDirectory =
        button("bttBrowseMenuDirectory", QStringLiteral("..."), QStringLiteral("Choose the menu directory"));
    auto* bttBrowseMenuAVI = button("bttBrowseMenuAVI", QStringLiteral("..."), QStringLiteral("Choose the menu video"));
    auto* bttBrowseMenuAudio =
        button("bttBrowseMenuAudio", QStringLiteral("..."), QStringLiteral("Choose the menu background audio"));
    connect(bttBrowseMenuDirectory, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseMenuDirectoryClick);
    connect(bttBrowseMenuAVI, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseMenuAVIClick);
    connect(bttBrowseMenuAudio, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseMenuAudioClick);

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const char* name, const QString& text, QLineEdit* field, QPushButton* browse) {
        grid->addWidget(label(name, text), row, 0);
        grid->addWidget(field, row, 1, 1, browse ? 1 : 2);
        if (browse)
            grid->addWidget(browse, row, 2);
        ++row;
    };
    addRow("lbMenuDirectory", QStringLiteral("Directory :"), edMenuDirectory, bttBrowseMenuDirectory);
    addRow("lbMenuAVIName", QStringLiteral("AVI Name :"), edMenuAVIName, bttBrowseMenuAVI);
    addRow("lbMenuAudioName", QStringLiteral("Audio Name :"), edMenuAudioName, bttBrowseMenuAudio);
    addRow("lbMenuStartPage", QStringLiteral("Start page : "), edMenuStartPage, nullptr);
    addRow("lbMenuMenuPage", QStringLiteral("Menu page :"), edMenuMenuPage, nullptr);
    addRow("lbMenuChaptersPage", QStringLiteral("Chapters page :"), edMenuChaptersPage, nullptr);
    addRow("lbMenuSpecialsPage", QStringLiteral("Specials page : "), edMenuSpecialsPage, nullptr);
    addRow("lbMenuSize", QStringLiteral("Size :"), edMenuSize, nullptr);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(grid);
    layout->addStretch(1);
    return tab;
}

void TMovieDataForm::bttBrowseMenuDirectoryClick()
{
    chooseDirectory(edMenuDirectory, kSelectMenuDirectory, kMenuDirectoryOutsideBase);
}

// The menu video and audio lie in the menu directory, so their choice starts there.
void TMovieDataForm::bttBrowseMenuAVIClick()
{
    const auto chosen = BrowseRelativeFile(kChooseMenuVideo, edBaseDirectory->text(), kFilterVideo, false,
                                           edMenuDirectory->text());
    if (!chosen)
        return;
    edMenuDirectory->setText(chosen->directory);
    edMenuAVIName->setText(chosen->fileNames);
}

void TMovieDataForm::bttBrowseMenuAudioClick()
{
    const auto chosen = BrowseRelativeFile(kChooseMenuAudio, edBaseDirectory->text(), kFilterAudio, false,
                                           edMenuDirectory->text());
    if (chosen)
        edMenuAudioName->setText(chosen->fileNames);
}
