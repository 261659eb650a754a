#include "moviedata/moviedataform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "moviedata/moviedatatexts.h"
#include "moviedata/ownedlistmodel.h"
#include "core/paths.h"

using namespace moviedatatexts;

QWidget* TMovieDataForm::buildSpecialsTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabSpecials"));

    auto* edSpecialsCDNumber = textField(
        "edSpecialsCDNumber", &MovieData::specialsCD,
        QStringLiteral("Number of the CD on which the special feature videos are. They are looked for in the "
                       "movie directory."));

    lstSpecials = listView(
        "lstSpecials",
        QStringLiteral("The special feature videos. An action \"Start a Special Feature video\" names a "
                       "special by its number (#)."));
    m_specials = new OwnedListModel<SpecialFeature>(
        m_project.movieData.specials, 1,
        {{QStringLiteral("Title"), [](const SpecialFeature& s) { return s.title; }},
         {QStringLiteral("File"), [](const SpecialFeature& s) { return s.file; }}},
        this);
    lstSpecials->setModel(m_specials);
    connect(lstSpecials, &QTreeView::clicked, this, &TMovieDataForm::lstSpecialsClick);

    edSpecialTitle =
        rowField("edSpecialTitle", QStringLiteral("Title of the special, shown in the player's control panel."));
    edSpecialFile = rowField(
        "edSpecialFile",
        QStringLiteral("File name of the special video, in the movie directory. It must not contain spaces, "
                       "since the player separates its parameters by spaces; special videos play in one "
                       "language only."));
    auto* bttBrowseSpecialFile =
        button("bttBrowseSpecialFile", QStringLiteral("..."), QStringLiteral("Choose the special video"));
    connect(bttBrowseSpecialFile, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseSpecialFileClick);

    auto* bttAddSpecial = button("bttAddSpecial", QStringLiteral("Add"), QStringLiteral("Add special"));
    auto* bttModifySpecial =
        button("bttModifySpecial", QStringLiteral("Modify"), QStringLiteral("Modify selected special"));
    auto* bttDeleteSpecial =
        button("bttDeleteSpecial", QStringLiteral("Delete"), QStringLiteral("Delete selected special"));
    connect(bttAddSpecial, &QPushButton::clicked, this, &TMovieDataForm::bttAddSpecialClick);
    connect(bttModifySpecial, &QPushButton::clicked, this, &TMovieDataForm::bttModifySpecialClick);
    connect(bttDeleteSpecial, &QPushButton::clicked, this, &TMovieDataForm::bttDeleteSpecialClick);

    auto* head = new QGridLayout;
    head->addWidget(label("lbSpecialsCDNumber", QStringLiteral("CD Number :")), 0, 0);
    head->addWidget(edSpecialsCDNumber, 0, 1);
    head->setColumnStretch(2, 1);

    auto* fields = new QGridLayout;
    fields->addWidget(label("lbSpecialTitle", QStringLiteral("Title :")), 0, 0);
    fields->addWidget(edSpecialTitle, 0, 1);
    fields->addWidget(label("lbSpecialFile", QStringLiteral("File :")), 1, 0);
    fields->addWidget(edSpecialFile, 1, 1);
    fields->addWidget(bttBrowseSpecialFile, 1, 2);
    fields->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bttAddSpecial);
    buttons->addWidget(bttModifySpecial);
    buttons->addWidget(bttDeleteSpecial);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(head);
    layout->addWidget(lstSpecials, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    return tab;
}

bool TMovieDataForm::specialFilled()
{
    return entryFilled({{edSpecialTitle, QStringLiteral("Title"), kNeedSpecialTitle},
                        {edSpecialFile, QStringLiteral("File"), kNeedSpecialFile}});
}

void TMovieDataForm::bttAddSpecialClick()
{
    if (!specialFilled())
        return;
    auto special = std::make_unique<SpecialFeature>();
    special->title = edSpecialTitle->text();
    special->file = edSpecialFile->text();
    m_specials->append(std::move(special));
}

void TMovieDataForm::bttModifySpecialClick()
{
    if (!specialFilled())
        return;
    const int row = selectedRow(lstSpecials);
    if (!m_specials->isValidRow(row))
        return;
    SpecialFeature& special = m_specials->at(row);
    special.title = edSpecialTitle->text();
    special.file = edSpecialFile->text();
    m_specials->rowChanged(row);
}

void TMovieDataForm::bttDeleteSpecialClick()
{
    m_specials->remove(selectedRow(lstSpecials));
    // No other row takes over the selection, so a second Delete does not remove a row by surprise.
    lstSpecials->clearSelection();
}

void TMovieDataForm::lstSpecialsClick()
{
    const int row = selectedRow(lstSpecials);
    if (!m_specials->isValidRow(row))
        return;
    const SpecialFeature& special = m_specials->at(row);
    edSpecialTitle->setText(special.title);
    edSpecialFile->setText(special.file);
}

void TMovieDataForm::bttBrowseSpecialFileClick()
{
    // Specials are looked for in the movie directory itself, so the choice starts there and a file
    // anywhere else is refused; only the name is kept.
    const QString root = paths::rootBelow(edBaseDirectory->text(), edMovieDirectory->text());
    const auto chosen = BrowseRelativeFile(kChooseSpecialVideo, root, kFilterVideo, false);
    if (chosen)
        edSpecialFile->setText(chosen->fileNames);
}
