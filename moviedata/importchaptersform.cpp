#include "moviedata/importchaptersform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "moviedata/moviedatatexts.h"

QString chaptersToText(const OwnedList<Chapter>& chapters)
{
    QStringList lines;
    for (size_t i = 0; i < chapters.size(); ++i)
        lines << QString::number(int(i) + 1) + QLatin1Char('=') + chapters[i]->firstFrame + QLatin1Char(' ') +
                     chapters[i]->name;
    return lines.join(QLatin1Char('\n'));
}

OwnedList<Chapter> chaptersFromText(const QString& text)
{
    OwnedList<Chapter> out;
    // Pasted text may carry any line ends; a stray carriage return must not end up inside a name,
    // where it would break the line structure of the menu file.
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = text.split(lineEnd);
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString rest = line.mid(eq + 1);
        const qsizetype space = rest.indexOf(QLatin1Char(' '));
        if (space < 0)
            continue;
        auto chapter = std::make_unique<Chapter>();
        chapter->number = QString::number(int(out.size()) + 1);
        chapter->firstFrame = rest.left(space);
        chapter->name = rest.mid(space + 1);
        out.push_back(std::move(chapter));
    }
    return out;
}

TImportChaptersForm::TImportChaptersForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportChaptersForm"));
    setWindowTitle(moviedatatexts::kImportCaption);
    setMinimumSize(380, 100);
    setSizeGripEnabled(true);

    ChaptersMemo = new QPlainTextEdit(this);
    ChaptersMemo->setObjectName(QStringLiteral("ChaptersMemo"));
    ChaptersMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ChaptersMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    ChaptersMemo->setPlainText(QStringLiteral("1=0 Chapter 1\n2=1285 Chapter 2\n..."));

    auto* lbPaste = new QLabel(QStringLiteral("Paste your chapters' list above."), this);
    lbPaste->setObjectName(QStringLiteral("lbPaste"));
    auto* lbFormat = new QLabel(
        QStringLiteral("Use following format : \"ChapterNumber=ChapterStartFrame ChapterName\""), this);
    lbFormat->setObjectName(QStringLiteral("lbFormat"));
    lbFormat->setWordWrap(true); // the window may be made narrower than this line
    auto* lbExample = new QLabel(QStringLiteral("ex : \"1=0 Chapter 1\""), this);
    lbExample->setObjectName(QStringLiteral("lbExample"));

    auto* bttOK = new QPushButton(QStringLiteral("OK"), this);
    bttOK->setObjectName(QStringLiteral("bttOK"));
    auto* bttCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bttCancel->setObjectName(QStringLiteral("bttCancel"));
    // Enter in the memo starts a new line; it must not close the dialog.
    bttOK->setAutoDefault(false);
    bttCancel->setAutoDefault(false);
    connect(bttOK, &QPushButton::clicked, this, &TImportChaptersForm::bttOKClick);
    connect(bttCancel, &QPushButton::clicked, this, &TImportChaptersForm::bttCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bttOK);
    buttons->addStretch(1);
    buttons->addWidget(bttCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ChaptersMemo, 1);
    layout->addWidget(lbPaste);
    layout->addWidget(lbFormat);
    layout->addWidget(lbExample);
    layout->addLayout(buttons);
    resize(500, 320);
}

QString TImportChaptersForm::chaptersText() const
{
    return ChaptersMemo->toPlainText();
}

void TImportChaptersForm::setChaptersText(const QString& text)
{
    ChaptersMemo->setPlainText(text);
}

void TImportChaptersForm::bttOKClick()
{
    accept();
}

void TImportChaptersForm::bttCancelClick()
{
    reject();
}
