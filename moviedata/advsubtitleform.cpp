#include "moviedata/advsubtitleform.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "moviedata/moviedatatexts.h"

TAdvSubtitleForm::TAdvSubtitleForm(QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("AdvSubtitleForm"));
    setWindowTitle(moviedatatexts::kAdvSubtitleCaption);

    const auto named = [this](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };

    auto* info = named(new QGroupBox(QStringLiteral(" Subtitle info : "), this), "gbSubtitleInfo");
    lbNumber = named(new QLabel(info), "lbNumber");
    lbShortName = named(new QLabel(info), "lbShortName");
    lbFullName = named(new QLabel(info), "lbFullName");
    lbFile = named(new QLabel(info), "lbFile");
    auto* infoForm = new QFormLayout(info);
    infoForm->addRow(QStringLiteral("Number :"), lbNumber);
    infoForm->addRow(QStringLiteral("Short name :"), lbShortName);
    infoForm->addRow(QStringLiteral("Full name :"), lbFullName);
    infoForm->addRow(QStringLiteral("File :"), lbFile);

    auto* format = named(new QGroupBox(QStringLiteral(" Format : "), this), "gbFormat");
    cbFormat = named(new QComboBox(format), "cbFormat");
    cbFormat->setEditable(false);
    cbFormat->addItems({QStringLiteral("Auto-Detect"), QStringLiteral("1 - SubMagic/SubViewer"),
                        QStringLiteral("2 - SubRip"), QStringLiteral("3 - SubViewer 2.0"),
                        QStringLiteral("4 - TMPlayer"), QStringLiteral("5 - Sub Station Alpha")});
    cbFormat->setToolTip(QStringLiteral(
        "Format of the subtitle file. Auto-Detect lets the player find it. Besides its own format the player "
        "reads:\n"
        "1 - SubMagic/SubViewer files;\n"
        "2 - the format of the SubRip ripper;\n"
        "3 - SubViewer 2.0, with end frames and millisecond resolution;\n"
        "4 - the TMPlayer format;\n"
        "5 - Sub Station Alpha, of which only the start and end times (hundredths of a second) and the "
        "text are taken; all style information is dropped."));
    auto* formatLayout = new QVBoxLayout(format);
    formatLayout->addWidget(cbFormat);

    auto* custom = named(new QGroupBox(QStringLiteral(" Customize VRPL format : "), this), "gbCustomize");
    edOpenBracket = named(new QLineEdit(custom), "edOpenBracket");
    edOpenBracket->setToolTip(QStringLiteral("Character that opens a frame number in a subtitle file of the "
                                             "player's own format; \"{\" when empty. Useful when the language "
                                             "of the subtitles needs \"{\"."));
    edCloseBracket = named(new QLineEdit(custom), "edCloseBracket");
    edCloseBracket->setToolTip(QStringLiteral("Character that closes a frame number; \"}\" when empty."));
    edLineSeparator = named(new QLineEdit(custom), "edLineSeparator");
    edLineSeparator->setToolTip(
        QStringLiteral("Character that separates the lines of one subtitle; the pipe character when empty."));
    auto* customForm = new QFormLayout(custom);
    customForm->addRow(QStringLiteral("Open Bracket :"), edOpenBracket);
    customForm->addRow(QStringLiteral("Close Bracket :"), edCloseBracket);
    customForm->addRow(QStringLiteral("Line Separator :"), edLineSeparator);

    auto* sync = named(new QGroupBox(QStringLiteral(" Out-of-sync options : "), this), "gbOutOfSync");
    edOffset = named(new QLineEdit(sync), "edOffset");
    edOffset->setToolTip(QStringLiteral("Frames added to every start and end frame of the file when it is "
                                        "loaded (negative to subtract); fixes a constant displacement. 0 when "
                                        "empty."));
    edMultiplier = named(new QLineEdit(sync), "edMultiplier");
    edMultiplier->setToolTip(QStringLiteral("Factor applied to every start and end frame of the file, in units "
                                            "of 100000 (150000 multiplies by 1.5); fixes a displacement that "
                                            "grows along the movie. 100000 when empty."));
    auto* syncForm = new QFormLayout(sync);
    syncForm->addRow(QStringLiteral("Offset :"), edOffset);
    syncForm->addRow(QStringLiteral("Multiplier :"), edMultiplier);

    auto* bttOK = named(new QPushButton(QStringLiteral("OK"), this), "bttOK");
    auto* bttCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "bttCancel");
    connect(bttOK, &QPushButton::clicked, this, &TAdvSubtitleForm::bttOKClick);
    connect(bttCancel, &QPushButton::clicked, this, &TAdvSubtitleForm::bttCancelClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bttOK);
    buttons->addWidget(bttCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addWidget(format);
    layout->addWidget(custom);
    layout->addWidget(sync);
    layout->addLayout(buttons);
}

void TAdvSubtitleForm::showSubtitle(const QString& number, const SubtitleTrack& track, int formatIndex)
{
    lbNumber->setText(number);
    lbShortName->setText(track.shortName);
    lbFullName->setText(track.fullName);
    lbFile->setText(track.file);
    // A number that names no format (such as -1) leaves the list without a selection.
    cbFormat->setCurrentIndex(formatIndex >= 0 && formatIndex < cbFormat->count() ? formatIndex : -1);
    edOpenBracket->setText(track.openBracket);
    edCloseBracket->setText(track.closeBracket);
    edLineSeparator->setText(track.lineSeparator);
    edOffset->setText(track.offset);
    edMultiplier->setText(track.multiplier);
}

void TAdvSubtitleForm::storeOptions(SubtitleTrack& track) const
{
    const int index = cbFormat->currentIndex();
    // Auto-Detect is the absence of the key; a list left without a selection stores -1.
    track.format = index == 0 ? QString() : QString::number(index);
    track.openBracket = edOpenBracket->text();
    track.closeBracket = edCloseBracket->text();
    track.lineSeparator = edLineSeparator->text();
    track.offset = edOffset->text();
    track.multiplier = edMultiplier->text();
}

void TAdvSubtitleForm::bttOKClick()
{
    accept();
}

void TAdvSubtitleForm::bttCancelClick()
{
    reject();
}
