#include "moviedata/moviedataform.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QWidget* TMovieDataForm::buildMainTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabMain"));

    edMainTitle = textField("edMainTitle", &MovieData::title,
                            QStringLiteral("Title of the movie, shown in the player's control panel display. Required."));
    edMainID = textField(
        "edMainID", &MovieData::id,
        QStringLiteral("Unique string identifying the movie. The player uses it to recognise the other CDs of "
                       "a multi-CD movie, and as a directory name when it copies secondary audio files to the "
                       "hard disk, so use only characters that are valid in a file name. Required."));
    edMainCDNumber = textField(
        "edMainCDNumber", &MovieData::cdNumber,
        QStringLiteral("For a multi-CD movie, which CD this is (not the number of CDs). Leave it empty for a "
                       "one-CD movie."));
    edMainDelay = textField(
        "edMainDelay", &MovieData::delay,
        QStringLiteral("Seconds the player waits between jumps in fast forward and reverse, and when it "
                       "synchronises the video with the audio of a secondary language. The player takes 1 "
                       "when it is empty."));
    // Both required fields share the one handler that recolours the field that changed.
    connect(edMainTitle, &QLineEdit::textChanged, this, &TMovieDataForm::edMainTitleChange);
    connect(edMainID, &QLineEdit::textChanged, this, &TMovieDataForm::edMainTitleChange);

    auto* bttGenerateID = button("bttGenerateID", QStringLiteral("..."), QStringLiteral("Generate ID"));
    connect(bttGenerateID, &QPushButton::clicked, this, &TMovieDataForm::bttGenerateIDClick);

    auto* idRow = new QHBoxLayout;
    idRow->addWidget(edMainID, 1);
    idRow->addWidget(bttGenerateID);

    auto* form = new QFormLayout;
    form->addRow(label("lbMainTitle", QStringLiteral("Title : ")), edMainTitle);
    form->addRow(label("lbMainID", QStringLiteral("ID : ")), idRow);
    form->addRow(label("lbMainCDNumber", QStringLiteral("CD # : ")), edMainCDNumber);
    form->addRow(label("lbMainDelay", QStringLiteral("Delay : ")), edMainDelay);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(form);
    layout->addStretch(1);
    return tab;
}

void TMovieDataForm::edMainTitleChange()
{
    if (auto* field = qobject_cast<QLineEdit*>(sender()))
        colourRequired(field);
}

void TMovieDataForm::bttGenerateIDClick()
{
    // Values in the range of the classic C generator, 0 to 32767.
    const auto next = [this] { return int(m_random() % 32768u); };
    QString id;
    for (int i = 0; i < 8; ++i) {
        const int kind = next() % 3;
        const int value = next();
        if (kind == 0)
            id += QChar(u'0' + value % 10);
        else if (kind == 1)
            id += QChar(u'A' + value % 26);
        else
            id += QChar(u'a' + value % 26);
    }
    edMainID->setText(id);
}
