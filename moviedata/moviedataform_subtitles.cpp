#include "moviedata/moviedataform.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "moviedata/advsubtitleform.h"
#include "moviedata/moviedatatexts.h"
#include "moviedata/ownedlistmodel.h"

using namespace moviedatatexts;

QWidget* TMovieDataForm::buildSubtitlesTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabSubtitles"));

    edSubtitlesDirectory = textField(
        "edSubtitlesDirectory", &MovieData::subtitlesDirectory,
        QStringLiteral("Directory, relative to the base directory, of the subtitle files on all CDs. Set by the "
                       "file button or by its folder button."));
    edSubtitlesDirectory->setReadOnly(true);
    setFieldBackground(edSubtitlesDirectory, menuColour());

    lstSubtitles = listView("lstSubtitles",
                            QStringLiteral("Double click on a subtitle line to get advanced options."));
    m_subtitles = new OwnedListModel<SubtitleTrack>(
        m_project.movieData.subtitles, 1,
        {{QStringLiteral("Short name"), [](const SubtitleTrack& s) { return s.shortName; }},
         {QStringLiteral("Full name"), [](const SubtitleTrack& s) { return s.fullName; }},
         {QStringLiteral("File"), [](const SubtitleTrack& s) { return s.file; }},
         {QStringLiteral("Format"), [](const SubtitleTrack& s) { return s.format; }},
         {QStringLiteral("Open Bracket"), [](const SubtitleTrack& s) { return s.openBracket; }},
         {QStringLiteral("Close Bracket"), [](const SubtitleTrack& s) { return s.closeBracket; }},
         {QStringLiteral("Line Separator"), [](const SubtitleTrack& s) { return s.lineSeparator; }},
         {QStringLiteral("Offset"), [](const SubtitleTrack& s) { return s.offset; }},
         {QStringLiteral("Multiplier"), [](const SubtitleTrack& s) { return s.multiplier; }}},
        this);
    lstSubtitles->setModel(m_subtitles);
    connect(lstSubtitles, &QTreeView::clicked, this, &TMovieDataForm::lstSubtitlesClick);
    connect(lstSubtitles, &QTreeView::doubleClicked, this, &TMovieDataForm::lstSubtitlesDblClick);

    // The options for the whole section share the list's place and are shown instead of it.
    gbAdvSubOptions = new QGroupBox(this);
    gbAdvSubOptions->setObjectName(QStringLiteral("gbAdvSubOptions"));
    auto* edSubtitlesDialogString = textField(
        "edSubtitlesDialogString", &MovieData::dialogString,
        QStringLiteral("Text with which a subtitle line must start to count as a new speaker in a dialog "
                       "(usually \"-\"); the player then shows dialog lines in different colours. Empty: the "
                       "whole subtitle in the default colour."));
    auto* edSubtitlesLines = textField(
        "edSubtitlesLines", &MovieData::lines,
        QStringLiteral("The largest number of lines a subtitle of the movie has; the player reserves screen "
                       "space by it. 3 when empty."));
    auto* edSubtitlesMaxDisplayDuration = textField(
        "edSubtitlesMaxDisplayDuration", &MovieData::maxDisplayDuration,
        QStringLiteral("Seconds a subtitle without a last frame stays on screen; 0 (the player's default) means "
                       "no maximum."));
    auto* chkSubtitlesEstimateDispDuration = checkField(
        "chkSubtitlesEstimateDispDuration", QStringLiteral("Estimate Display Duration"),
        &MovieData::estimateDisplayDuration,
        QStringLiteral("Checked: the player estimates each subtitle's display time as 1 + 0.05 x (number of "
                       "characters) seconds instead of using last frames; it takes priority over the maximum "
                       "display duration."));
    auto* advForm = new QFormLayout(gbAdvSubOptions);
    advForm->addRow(label("lbSubtitlesDialogString", QStringLiteral("Dialog String :")), edSubtitlesDialogString);
    advForm->addRow(label("lbSubtitlesLines", QStringLiteral("Lines :")), edSubtitlesLines);
    advForm->addRow(label("lbSubtitlesMaxDisplayDuration", QStringLiteral("Max Display Duration :")),
                    edSubtitlesMaxDisplayDuration);
    advForm->addRow(chkSubtitlesEstimateDispDuration);
    gbAdvSubOptions->setVisible(false);

    edSubtitlesShortName = rowField("edSubtitlesShortName",
                                    QStringLiteral("Short form of the subtitle name, three characters at most."));
    edSubtitlesShortName->setMaxLength(3);
    edSubtitlesFullName = rowField("edSubtitlesFullName", QStringLiteral("Long form of the subtitle name."));
    edSubtitlesFile = rowField(
        "edSubtitlesFile",
        QStringLiteral("Name of the subtitle text file. The file must lie on every movie CD under the same name "
                       "in the same directory."));
    auto* bttBrowseSubtitles =
        button("bttBrowseSubtitles", QStringLiteral("..."), QStringLiteral("Choose the subtitle file"));
    connect(bttBrowseSubtitles, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseSubtitlesClick);

    auto* bttBrowseSubtitlesDirectory = button("bttBrowseSubtitlesDirectory", QStringLiteral("..."),
                                               QStringLiteral("Choose the subtitles directory"));
    connect(bttBrowseSubtitlesDirectory, &QPushButton::clicked, this,
            &TMovieDataForm::bttBrowseSubtitlesDirectoryClick);

    auto* bttAddSubtitles = button("bttAddSubtitles", QStringLiteral("Add"), QStringLiteral("Add subtitle"));
    auto* bttModifySubtitles =
        button("bttModifySubtitles", QStringLiteral("Modify"), QStringLiteral("Modify selected subtitle"));
    auto* bttDeleteSubtitles =
        button("bttDeleteSubtitles", QStringLiteral("Delete"), QStringLiteral("Delete selected subtitle"));
    bttAdvancedSubtitles = button("bttAdvancedSubtitles", QStringLiteral(">>"),
                                  QStringLiteral("Show/Hide advanced subtitles options"));
    connect(bttAddSubtitles, &QPushButton::clicked, this, &TMovieDataForm::bttAddSubtitlesClick);
    connect(bttModifySubtitles, &QPushButton::clicked, this, &TMovieDataForm::bttModifySubtitlesClick);
    connect(bttDeleteSubtitles, &QPushButton::clicked, this, &TMovieDataForm::bttDeleteSubtitlesClick);
    connect(bttAdvancedSubtitles, &QPushButton::clicked, this, &TMovieDataForm::bttAdvancedSubtitlesClick);

    auto* head = new QHBoxLayout;
    head->addWidget(label("lbSubtitlesDirectory", QStringLiteral("Directory :")));
    head->addWidget(edSubtitlesDirectory, 1);
    head->addWidget(bttBrowseSubtitlesDirectory);
    head->addWidget(bttAdvancedSubtitles);

    auto* fields = new QGridLayout;
    fields->addWidget(label("lbSubtitlesShortName", QStringLiteral("Short name :")), 0, 0);
    fields->addWidget(edSubtitlesShortName, 0, 1);
    fields->addWidget(label("lbSubtitlesFullName", QStringLiteral("Full name : ")), 1, 0);
    fields->addWidget(edSubtitlesFullName, 1, 1);
    fields->addWidget(label("lbSubtitlesFile", QStringLiteral("File :")), 2, 0);
    fields->addWidget(edSubtitlesFile, 2, 1);
    fields->addWidget(bttBrowseSubtitles, 2, 2);
    fields->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bttAddSubtitles);
    buttons->addWidget(bttModifySubtitles);
    buttons->addWidget(bttDeleteSubtitles);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(head);
    layout->addWidget(lstSubtitles, 1);
    layout->addWidget(gbAdvSubOptions, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    return tab;
}

bool TMovieDataForm::subtitleFilled()
{
    return entryFilled({{edSubtitlesShortName, QStringLiteral("Short name"), kNeedShortName},
                        {edSubtitlesFullName, QStringLiteral("Full name"), kNeedFullName},
                        {edSubtitlesFile, QStringLiteral("File"), kNeedSubtitleFile}});
}

void TMovieDataForm::bttAddSubtitlesClick()
{
    if (!subtitleFilled())
        return;
    auto track = std::make_unique<SubtitleTrack>();
    track->shortName = edSubtitlesShortName->text();
    track->fullName = edSubtitlesFullName->text();
    track->file = edSubtitlesFile->text();
    m_subtitles->append(std::move(track));
}

void TMovieDataForm::bttModifySubtitlesClick()
{
    if (!subtitleFilled())
        return;
    const int row = selectedRow(lstSubtitles);
    if (!m_subtitles->isValidRow(row))
        return;
    // The advanced options are the file's own and stay as they are.
    SubtitleTrack& track = m_subtitles->at(row);
    track.shortName = edSubtitlesShortName->text();
    track.fullName = edSubtitlesFullName->text();
    track.file = edSubtitlesFile->text();
    m_subtitles->rowChanged(row);
}

void TMovieDataForm::bttDeleteSubtitlesClick()
{
    m_subtitles->remove(selectedRow(lstSubtitles));
    // No other row takes over the selection, so a second Delete does not remove a row by surprise.
    lstSubtitles->clearSelection();
}

void TMovieDataForm::lstSubtitlesClick()
{
    const int row = selectedRow(lstSubtitles);
    if (!m_subtitles->isValidRow(row))
        return;
    const SubtitleTrack& track = m_subtitles->at(row);
    edSubtitlesShortName->setText(track.shortName);
    edSubtitlesFullName->setText(track.fullName);
    edSubtitlesFile->setText(track.file);
}

void TMovieDataForm::lstSubtitlesDblClick()
{
    const int row = selectedRow(lstSubtitles);
    if (!m_subtitles->isValidRow(row))
        return;
    SubtitleTrack& track = m_subtitles->at(row);

    int formatIndex = 0;
    if (!track.format.isEmpty()) {
        bool ok = false;
        formatIndex = track.format.toInt(&ok);
        if (!ok) {
            m_dialogs.showMessage({kNotAnInteger.arg(track.format), kCaptionError, MessageIcon::Error}, this);
            return;
        }
    }
    TAdvSubtitleForm form(this);
    form.showSubtitle(QString::number(row + 1), track, formatIndex);
    if (runModal(form) != QDialog::Accepted)
        return;
    form.storeOptions(track);
    m_subtitles->rowChanged(row);
}

void TMovieDataForm::bttBrowseSubtitlesClick()
{
    // The subtitle files lie in the subtitles directory; before one is chosen, most likely beside the
    // movie.
    const QString start =
        edSubtitlesDirectory->text().isEmpty() ? edMovieDirectory->text() : edSubtitlesDirectory->text();
    const auto chosen =
        BrowseRelativeFile(kChooseSubtitleFile, edBaseDirectory->text(), kFilterSubtitles, false, start);
    if (!chosen)
        return;
    edSubtitlesDirectory->setText(chosen->directory);
    edSubtitlesFile->setText(chosen->fileNames);
}

void TMovieDataForm::bttBrowseSubtitlesDirectoryClick()
{
    chooseDirectory(edSubtitlesDirectory, kSelectSubtitlesDirectory,
                    directoryOutsideBase(QStringLiteral("subtitles")));
}

void TMovieDataForm::bttAdvancedSubtitlesClick()
{
    const bool show = gbAdvSubOptions->isHidden();
    gbAdvSubOptions->setVisible(show);
    lstSubtitles->setVisible(!show);
    bttAdvancedSubtitles->setText(show ? QStringLiteral("<<") : QStringLiteral(">>"));
}
