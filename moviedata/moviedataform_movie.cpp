#include "moviedata/moviedataform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "media/countframes.h"
#include "moviedata/moviedatatexts.h"
#include "core/paths.h"

using namespace moviedatatexts;

QWidget* TMovieDataForm::buildMovieTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabMovie"));

    edMovieDirectory = textField(
        "edMovieDirectory", &MovieData::movieDirectory,
        QStringLiteral("Directory, relative to the base directory, in which the movie files of all CDs are "
                       "found. It is set by choosing the CD 1 file, or by its folder button."));
    edMovieDirectory->setReadOnly(true);
    setFieldBackground(edMovieDirectory, menuColour());

    const QString multiAudio =
        QStringLiteral(" For a multi-language movie made with multiple audio tracks, the graph file that makes "
                       "the multi-audio file play the primary language.");
    edMovieAVIName = textField(
        "edMovieAVIName", &MovieData::aviName,
        QStringLiteral("File of CD 1 with the video and the main-language audio.") + multiAudio +
            QStringLiteral(" Required."));
    edMovieAVI2Name = textField("edMovieAVI2Name", &MovieData::avi2Name,
                                QStringLiteral("File of CD 2 of a multi-CD movie. Choosing it counts the frames "
                                               "of every CD."));
    edMovieAVI3Name = textField("edMovieAVI3Name", &MovieData::avi3Name,
                                QStringLiteral("File of CD 3 of a multi-CD movie. Choosing it counts the frames "
                                               "of every CD."));
    const QString framesTip = QStringLiteral("Number of frames of the video of CD %1 of a multi-CD movie.");
    edMovieCD1Frames = textField("edMovieCD1Frames", &MovieData::cd1Frames, framesTip.arg(1));
    edMovieCD2Frames = textField("edMovieCD2Frames", &MovieData::cd2Frames, framesTip.arg(2));
    edMovieCD3Frames = textField("edMovieCD3Frames", &MovieData::cd3Frames, framesTip.arg(3));

    lbCDFramesState = label("lbCDFramesState", QString());
    QPalette red = lbCDFramesState->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lbCDFramesState->setPalette(red);

    auto* bttBrowseMovieDirectory =
        button("bttBrowseMovieDirectory", QStringLiteral("..."), QStringLiteral("Choose the movie directory"));
    connect(bttBrowseMovieDirectory, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseMovieDirectoryClick);
    auto* bttAVI1 = button("bttAVI1", QStringLiteral("..."), QStringLiteral("Choose the file of CD 1"));
    auto* bttAVI2 = button("bttAVI2", QStringLiteral("..."), QStringLiteral("Choose the file of CD 2"));
    auto* bttAVI3 = button("bttAVI3", QStringLiteral("..."), QStringLiteral("Choose the file of CD 3"));
    auto* bttAuto = button("bttAuto", QStringLiteral("Auto"),
                           QStringLiteral("Auto calculate CD frames.\nWarning: this does not work for graph "
                                          "files (multi-language movies made with multiple audio tracks)."));
    connect(bttAVI1, &QPushButton::clicked, this, &TMovieDataForm::bttAVI1Click);
    connect(bttAVI2, &QPushButton::clicked, this, &TMovieDataForm::bttAVI2Click);
    connect(bttAVI3, &QPushButton::clicked, this, &TMovieDataForm::bttAVI3Click);
    connect(bttAuto, &QPushButton::clicked, this, &TMovieDataForm::bttAutoClick);

    auto* grid = new QGridLayout;
    grid->addWidget(label("lbMovieDirectory", QStringLiteral("Directory : ")), 0, 0);
    grid->addWidget(edMovieDirectory, 0, 1);
    grid->addWidget(bttBrowseMovieDirectory, 0, 2);
    grid->addWidget(label("lbMovieAVIName", QStringLiteral("AVI Name : ")), 1, 1);
    grid->addWidget(label("lbMovieCD1File", QStringLiteral("CD1 file :")), 2, 0);
    grid->addWidget(edMovieAVIName, 2, 1);
    grid->addWidget(bttAVI1, 2, 2);
    grid->addWidget(label("lbMovieCD2File", QStringLiteral("CD2 file :")), 3, 0);
    grid->addWidget(edMovieAVI2Name, 3, 1);
    grid->addWidget(bttAVI2, 3, 2);
    grid->addWidget(label("lbMovieCD3File", QStringLiteral("CD3 file :")), 4, 0);
    grid->addWidget(edMovieAVI3Name, 4, 1);
    grid->addWidget(bttAVI3, 4, 2);

    auto* frames = new QHBoxLayout;
    frames->addWidget(edMovieCD1Frames);
    frames->addWidget(edMovieCD2Frames);
    frames->addWidget(edMovieCD3Frames);
    frames->addWidget(bttAuto);
    grid->addWidget(label("lbMovieCDFrames", QStringLiteral("CD Frames :")), 5, 0);
    grid->addLayout(frames, 5, 1, 1, 2);
    grid->addWidget(lbCDFramesState, 6, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(grid);
    layout->addStretch(1);
    return tab;
}

void TMovieDataForm::bttBrowseMovieDirectoryClick()
{
    chooseDirectory(edMovieDirectory, kSelectMovieDirectory, directoryOutsideBase(QStringLiteral("movie")));
}

// The files of every CD lie in the movie directory, so each choice starts there.
void TMovieDataForm::bttAVI1Click()
{
    const auto chosen = BrowseRelativeFile(kChooseMovieFile.arg(1), edBaseDirectory->text(), kFilterVideo, false,
                                           edMovieDirectory->text());
    if (!chosen)
        return;
    edMovieDirectory->setText(chosen->directory);
    edMovieAVIName->setText(chosen->fileNames);
    setFieldBackground(edMovieAVIName, kRequiredFilled);
}

void TMovieDataForm::bttAVI2Click()
{
    const auto chosen = BrowseRelativeFile(kChooseMovieFile.arg(2), edBaseDirectory->text(), kFilterVideo, false,
                                           edMovieDirectory->text());
    if (!chosen)
        return;
    edMovieAVI2Name->setText(chosen->fileNames);
    bttAutoClick();
}

void TMovieDataForm::bttAVI3Click()
{
    const auto chosen = BrowseRelativeFile(kChooseMovieFile.arg(3), edBaseDirectory->text(), kFilterVideo, false,
                                           edMovieDirectory->text());
    if (!chosen)
        return;
    edMovieAVI3Name->setText(chosen->fileNames);
    bttAutoClick();
}

void TMovieDataForm::countFrames(int cd)
{
    QLineEdit* const names[] = {edMovieAVIName, edMovieAVI2Name, edMovieAVI3Name};
    QLineEdit* const counts[] = {edMovieCD1Frames, edMovieCD2Frames, edMovieCD3Frames};
    const QString name = names[cd - 1]->text();
    if (name.isEmpty())
        return;
    // The count blocks the window, so the status text is painted now rather than after it.
    lbCDFramesState->setText(gettingFrames(cd));
    lbCDFramesState->repaint();
    const QString path = paths::resolve(edBaseDirectory->text(), edMovieDirectory->text(), name);
    const uint32_t frames = CountVideoFrames(path, m_dialogs.sinkFor(this));
    counts[cd - 1]->setText(QString::number(frames));
}

void TMovieDataForm::bttAutoClick()
{
    for (int cd = 1; cd <= 3; ++cd)
        countFrames(cd);
    lbCDFramesState->clear();
}
