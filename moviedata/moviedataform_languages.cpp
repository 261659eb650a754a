#include "moviedata/moviedataform.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "moviedata/moviedatatexts.h"
#include "moviedata/ownedlistmodel.h"

using namespace moviedatatexts;

QWidget* TMovieDataForm::buildLanguagesTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabLanguages"));

    auto* chkMultipleAudioAVI = checkField(
        "chkMultipleAudioAVI", QStringLiteral("Multiple Audio AVI"), &MovieData::multipleAudioAVI,
        QStringLiteral("Checked: the main movie file holds several audio tracks. The CD files and the language "
                       "files then name graph files that make that file play a given language."));
    edLanguageDirectory = textField(
        "edLanguageDirectory", &MovieData::languageDirectory,
        QStringLiteral("Directory, relative to the base directory, of the secondary language files on all CDs "
                       "(usually the movie directory with Multiple Audio AVI). Set by the files button or by its folder "
                       "button."));
    edLanguageDirectory->setReadOnly(true);
    setFieldBackground(edLanguageDirectory, menuColour());

    lstLanguages = listView(
        "lstLanguages",
        QStringLiteral("The audio languages of the movie. Language 0 is the primary language, the one inside "
                       "the movie file; an action \"Change language\" names a language by its number (#)."));
    m_languages = new OwnedListModel<AudioLanguage>(
        m_project.movieData.languages, 0,
        {{QStringLiteral("Short name"), [](const AudioLanguage& l) { return l.shortName; }},
         {QStringLiteral("Full name"), [](const AudioLanguage& l) { return l.fullName; }},
         {QStringLiteral("Files"), [](const AudioLanguage& l) { return l.files; }}},
        this);
    lstLanguages->setModel(m_languages);
    connect(lstLanguages, &QTreeView::clicked, this, &TMovieDataForm::lstLanguagesClick);

    edLangShortName =
        rowField("edLangShortName", QStringLiteral("Short form of the language name, three characters at most."));
    edLangShortName->setMaxLength(3);
    edLangFullName = rowField("edLangFullName", QStringLiteral("Long form of the language name."));
    edLangFile1 = rowField(
        "edLangFile1",
        QStringLiteral("The audio files of the language for CD 1, CD 2 and CD 3, separated by single spaces "
                       "(only as many as the movie has CDs); with Multiple Audio AVI, graph files. The primary "
                       "language has no files."));
    bttBrowseLanguage1 =
        button("bttBrowseLanguage1", QStringLiteral("..."), QStringLiteral("Choose the files of the language"));
    connect(bttBrowseLanguage1, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseLanguage1Click);

    auto* bttBrowseLanguageDirectory = button("bttBrowseLanguageDirectory", QStringLiteral("..."),
                                              QStringLiteral("Choose the language directory"));
    connect(bttBrowseLanguageDirectory, &QPushButton::clicked, this,
            &TMovieDataForm::bttBrowseLanguageDirectoryClick);

    auto* bttAddLanguage = button("bttAddLanguage", QStringLiteral("Add"), QStringLiteral("Add language"));
    auto* bttModifyLanguage =
        button("bttModifyLanguage", QStringLiteral("Modify"), QStringLiteral("Modify selected language"));
    auto* bttDeleteLanguage =
        button("bttDeleteLanguage", QStringLiteral("Delete"), QStringLiteral("Delete selected language"));
    connect(bttAddLanguage, &QPushButton::clicked, this, &TMovieDataForm::bttAddLanguageClick);
    connect(bttModifyLanguage, &QPushButton::clicked, this, &TMovieDataForm::bttModifyLanguageClick);
    connect(bttDeleteLanguage, &QPushButton::clicked, this, &TMovieDataForm::bttDeleteLanguageClick);

    auto* head = new QGridLayout;
    head->addWidget(chkMultipleAudioAVI, 0, 0, 1, 2);
    head->addWidget(label("lbLanguageDirectory", QStringLiteral("Directory :")), 1, 0);
    head->addWidget(edLanguageDirectory, 1, 1);
    head->addWidget(bttBrowseLanguageDirectory, 1, 2);
    head->setColumnStretch(1, 1);

    auto* fields = new QGridLayout;
    fields->addWidget(label("lbLangShortName", QStringLiteral("Short name :")), 0, 0);
    fields->addWidget(edLangShortName, 0, 1);
    fields->addWidget(label("lbLangFullName", QStringLiteral("Full name : ")), 1, 0);
    fields->addWidget(edLangFullName, 1, 1);
    fields->addWidget(label("lbLangFile1", QStringLiteral("Files :")), 2, 0);
    fields->addWidget(edLangFile1, 2, 1);
    fields->addWidget(bttBrowseLanguage1, 2, 2);
    fields->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bttAddLanguage);
    buttons->addWidget(bttModifyLanguage);
    buttons->addWidget(bttDeleteLanguage);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(head);
    layout->addWidget(lstLanguages, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    return tab;
}

// The files field and its button are usable only once a primary language exists, since the primary
// language has no files of its own.
void TMovieDataForm::updateLanguageFilesEnabled()
{
    const bool enabled = m_languages->size() > 0;
    edLangFile1->setEnabled(enabled);
    bttBrowseLanguage1->setEnabled(enabled);
    setFieldBackground(edLangFile1, enabled ? QApplication::palette().color(QPalette::Active, QPalette::Base)
                                            : menuColour());
}

bool TMovieDataForm::languageFilled(bool needsFiles)
{
    return entryFilled({{edLangShortName, QStringLiteral("Short name"), kNeedShortName},
                        {edLangFullName, QStringLiteral("Full name"), kNeedFullName},
                        {needsFiles ? edLangFile1 : nullptr, QStringLiteral("Files"), kNeedLanguageFiles}});
}

void TMovieDataForm::bttAddLanguageClick()
{
    const bool hasLanguages = m_languages->size() > 0;
    if (!languageFilled(hasLanguages))
        return;
    auto language = std::make_unique<AudioLanguage>();
    language->shortName = edLangShortName->text();
    language->fullName = edLangFullName->text();
    // The primary language plays from the movie file itself and has no files, whatever the field holds.
    if (hasLanguages)
        language->files = edLangFile1->text();
    m_languages->append(std::move(language));
    updateLanguageFilesEnabled();
}

void TMovieDataForm::bttModifyLanguageClick()
{
    const int row = selectedRow(lstLanguages);
    if (!m_languages->isValidRow(row))
        return;
    if (!languageFilled(row != 0))
        return;
    AudioLanguage& language = m_languages->at(row);
    language.shortName = edLangShortName->text();
    language.fullName = edLangFullName->text();
    language.files = row == 0 ? QString() : edLangFile1->text();
    m_languages->rowChanged(row);
}

void TMovieDataForm::bttDeleteLanguageClick()
{
    const int row = selectedRow(lstLanguages);
    // The primary language goes only as the last one: the other languages' numbers depend on it.
    if (m_languages->isValidRow(row) && (row != 0 || m_languages->size() == 1)) {
        m_languages->remove(row);
        lstLanguages->clearSelection();
    }
    updateLanguageFilesEnabled();
}

void TMovieDataForm::lstLanguagesClick()
{
    const int row = selectedRow(lstLanguages);
    if (!m_languages->isValidRow(row))
        return;
    const AudioLanguage& language = m_languages->at(row);
    edLangShortName->setText(language.shortName);
    edLangFullName->setText(language.fullName);
    edLangFile1->setText(language.files);
}

// The language files lie in the language directory; before one is chosen, most likely beside the
// movie.
void TMovieDataForm::bttBrowseLanguage1Click()
{
    const QString start = edLanguageDirectory->text().isEmpty() ? edMovieDirectory->text() : edLanguageDirectory->text();
    const auto chosen = BrowseRelativeFile(kChooseLanguageFiles, edBaseDirectory->text(), kFilterAudio, true, start);
    if (!chosen)
        return;
    edLanguageDirectory->setText(chosen->directory);
    edLangFile1->setText(chosen->fileNames);
}

void TMovieDataForm::bttBrowseLanguageDirectoryClick()
{
    chooseDirectory(edLanguageDirectory, kSelectLanguageDirectory, directoryOutsideBase(QStringLiteral("language")));
}
