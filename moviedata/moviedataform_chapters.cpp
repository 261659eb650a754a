#include "moviedata/moviedataform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "moviedata/importchaptersform.h"
#include "moviedata/moviedatatexts.h"
#include "moviedata/ownedlistmodel.h"

using namespace moviedatatexts;

QWidget* TMovieDataForm::buildChaptersTab()
{
    auto* tab = new QWidget(this);
    tab->setObjectName(QStringLiteral("tabChapters"));

    lstChapters = listView(
        "lstChapters",
        QStringLiteral("The chapters of the movie. The player shows a chapter's name in its control panel and "
                       "starts playback at its first frame when an action \"Play from chapter\" names its "
                       "number (#)."));
    m_chapters = new OwnedListModel<Chapter>(
        m_project.movieData.chapters, 1,
        {{QStringLiteral("First frame"), [](const Chapter& c) { return c.firstFrame; }},
         {QStringLiteral("Name"), [](const Chapter& c) { return c.name; }}},
        this);
    lstChapters->setModel(m_chapters);
    connect(lstChapters, &QTreeView::clicked, this, &TMovieDataForm::lstChaptersClick);

    edFirstChapterFrame = rowField(
        "edFirstChapterFrame",
        QStringLiteral("First frame of the chapter. Frames count over all CDs of the movie: the first frame of "
                       "CD 2 is the last frame of CD 1 plus one, not 0."));
    edChapterName = rowField("edChapterName",
                             QStringLiteral("Name of the chapter, shown in the player's control panel."));

    auto* bttAddChapter = button("bttAddChapter", QStringLiteral("Add"), QStringLiteral("Add chapter"));
    auto* bttModifyChapter =
        button("bttModifyChapter", QStringLiteral("Modify"), QStringLiteral("Modify selected chapter"));
    auto* bttDeleteChapter =
        button("bttDeleteChapter", QStringLiteral("Delete"), QStringLiteral("Delete selected chapter"));
    auto* bttImportChapters = button("bttImportChapters", QStringLiteral("Import"), QStringLiteral("Import chapters"));
    connect(bttAddChapter, &QPushButton::clicked, this, &TMovieDataForm::bttAddChapterClick);
    connect(bttModifyChapter, &QPushButton::clicked, this, &TMovieDataForm::bttModifyChapterClick);
    connect(bttDeleteChapter, &QPushButton::clicked, this, &TMovieDataForm::bttDeleteChapterClick);
    connect(bttImportChapters, &QPushButton::clicked, this, &TMovieDataForm::bttImportChaptersClick);

    auto* fields = new QGridLayout;
    fields->addWidget(label("lbFirstChapterFrame", QStringLiteral("First frame : ")), 0, 0);
    fields->addWidget(edFirstChapterFrame, 0, 1);
    fields->addWidget(label("lbChapterName", QStringLiteral("Name :")), 1, 0);
    fields->addWidget(edChapterName, 1, 1);
    fields->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bttAddChapter);
    buttons->addWidget(bttModifyChapter);
    buttons->addWidget(bttDeleteChapter);
    buttons->addStretch(1);
    buttons->addWidget(bttImportChapters);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(lstChapters, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    return tab;
}

void TMovieDataForm::bttAddChapterClick()
{
    if (edFirstChapterFrame->text().isEmpty() || edChapterName->text().isEmpty()) {
        m_dialogs.showMessage({kChapterFieldsMissing, kCaptionError, MessageIcon::Error}, this);
        return;
    }
    auto chapter = std::make_unique<Chapter>();
    chapter->firstFrame = edFirstChapterFrame->text();
    chapter->name = edChapterName->text();
    m_chapters->append(std::move(chapter));
}

void TMovieDataForm::bttModifyChapterClick()
{
    if (edFirstChapterFrame->text().isEmpty() || edChapterName->text().isEmpty()) {
        m_dialogs.showMessage({kChapterFieldsMissing, kCaptionError, MessageIcon::Error}, this);
        return;
    }
    const int row = selectedRow(lstChapters);
    if (!m_chapters->isValidRow(row))
        return;
    Chapter& chapter = m_chapters->at(row);
    chapter.firstFrame = edFirstChapterFrame->text();
    chapter.name = edChapterName->text();
    m_chapters->rowChanged(row);
}

void TMovieDataForm::bttDeleteChapterClick()
{
    m_chapters->remove(selectedRow(lstChapters));
    // No other row takes over the selection, so a second Delete does not remove a row by surprise.
    lstChapters->clearSelection();
}

void TMovieDataForm::lstChaptersClick()
{
    const int row = selectedRow(lstChapters);
    if (!m_chapters->isValidRow(row))
        return;
    const Chapter& chapter = m_chapters->at(row);
    edFirstChapterFrame->setText(chapter.firstFrame);
    edChapterName->setText(chapter.name);
}

void TMovieDataForm::bttImportChaptersClick()
{
    TImportChaptersForm form(this);
    // With no chapters yet the dialog keeps its sample lines, which show the format.
    if (!m_project.movieData.chapters.empty())
        form.setChaptersText(chaptersToText(m_project.movieData.chapters));
    if (runModal(form) != QDialog::Accepted)
        return;
    m_chapters->replaceAll(chaptersFromText(form.chaptersText()));
}
