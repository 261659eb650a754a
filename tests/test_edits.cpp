// The project's undo stack: any sequence of edits undone gives back the file the project started as,
// and redone gives the file it had reached; undo brings back the very objects that were removed.
#include <QtTest>

#include <QImage>
#include <QRandomGenerator>

#include "document/actiontypes.h"
#include "document/projectwriter.h"
#include "edits/projectedits.h"

namespace {

QByteArray bytesOf(const MenuProject& project)
{
    const std::optional<QByteArray> bytes = BuildMenuFile(project, [](const Message& m) {
        qFatal("save refused: %s", qPrintable(m.text));
    });
    return bytes.value_or(QByteArray());
}

// The saved bytes and what the file does not hold: the base directory, each page's running
// selection number, thumbnail and end action (a looping page's is not written). An undo must give all
// of it back.
QByteArray stateOf(const MenuProject& project)
{
    QByteArray state = bytesOf(project) + project.baseDirectory.toUtf8();
    for (const auto& p : project.pages) {
        state += QByteArray::number(p->nameCounter) + ' ' + QByteArray::number(p->thumbnail.value<QImage>().cacheKey());
        if (p->actionAtEnd)
            state += ' ' + QByteArray::number(p->actionAtEnd->type) + p->actionAtEnd->parameter.toUtf8();
    }
    return state;
}

std::unique_ptr<Page> randomPage(QRandomGenerator& rng, int number)
{
    auto page = std::make_unique<Page>(number, QStringLiteral("Page %1").arg(number));
    page->backgroundIsVideo = rng.bounded(2);
    page->selectionAvailable = rng.bounded(2);
    page->videoLoop = rng.bounded(2);
    page->firstFrame = rng.bounded(100);
    page->lastFrame = page->firstFrame + rng.bounded(100);
    page->pictureFile = page->backgroundIsVideo ? QString() : QStringLiteral("p%1.jpg").arg(number);
    page->jumpAtEnd = rng.bounded(3) == 0 ? rng.bounded(1, 25) : 0;
    return page;
}

std::unique_ptr<Selection> randomSelection(QRandomGenerator& rng, int n)
{
    const int l = rng.bounded(300);
    const int t = rng.bounded(200);
    auto s = std::make_unique<Selection>(QStringLiteral("Selection-%1").arg(n),
                                         QStringLiteral("%1,%2-%3,%4").arg(l).arg(t).arg(l + 40).arg(t + 20));
    for (int a = rng.bounded(3); a > 0; --a)
        s->addAction(rng.bounded(1, 9), QString::number(rng.bounded(1, 20)));
    return s;
}

// A 20-page project with selections, actions and end actions.
void fillProject(MenuProject& project, QRandomGenerator& rng)
{
    project.movieData.title = QStringLiteral("Film");
    project.movieData.id = QStringLiteral("F1");
    project.movieData.movieDirectory = QStringLiteral(".");
    project.movieData.aviName = QStringLiteral("film.avi");
    project.movieData.menuDirectory = QStringLiteral("menu");
    project.movieData.startPage = QStringLiteral("1");
    project.movieData.menuPage = QStringLiteral("1");
    for (int i = 1; i <= 20; ++i) {
        auto page = randomPage(rng, i);
        for (int s = rng.bounded(4); s > 0; --s)
            page->addSelection(randomSelection(rng, s));
        if (rng.bounded(3) == 0)
            page->actionAtEnd = std::make_unique<MenuAction>(ActPlayFromChapter, QStringLiteral("2"));
        project.pages.push_back(std::move(page));
    }
}

Page* anyPage(MenuProject& p, QRandomGenerator& rng)
{
    return p.pages.empty() ? nullptr : p.pages[rng.bounded(int(p.pages.size()))].get();
}

Selection* anySelection(Page* page, QRandomGenerator& rng)
{
    return !page || page->selections.empty() ? nullptr : page->selections[rng.bounded(int(page->selections.size()))].get();
}

// One random edit, done through the edits as a window would do it.
void randomEdit(ProjectEdits& edits, QRandomGenerator& rng, int& nextNumber)
{
    MenuProject& p = edits.project();
    Page* page = anyPage(p, rng);
    Selection* sel = anySelection(page, rng);
    const int count = int(p.pages.size());
    switch (rng.bounded(17)) {
    case 0:
        edits.insertPage(rng.bounded(count + 1), randomPage(rng, nextNumber++));
        break;
    case 1:
        if (count > 1)
            edits.deletePage(rng.bounded(count));
        break;
    case 2:
        if (page) {
            // Every property at once, so that an undo forgetting any one of them shows.
            PageProperties props = page->properties();
            props.name += QLatin1Char('x');
            props.backgroundIsVideo = !props.backgroundIsVideo;
            props.pictureFile += QLatin1Char('p');
            props.selectionAvailable = !props.selectionAvailable;
            props.videoLoop = !props.videoLoop;
            props.firstFrame += 1 + rng.bounded(500);
            props.lastFrame += 1 + rng.bounded(500);
            props.pictureDuration += 1 + rng.bounded(9);
            props.jumpAtEnd += 1;
            props.prohibitSelectionBefore += 1 + rng.bounded(9);
            props.prohibitSelectionAfter += 1 + rng.bounded(9);
            props.defaultSelection += 1;
            props.columnOrdering = !props.columnOrdering;
            props.thumbnail = QVariant::fromValue(QImage(64, 43, QImage::Format_RGB32));
            edits.modifyPage(*page, props);
        }
        break;
    case 3:
        if (count > 1)
            edits.swapPages(rng.bounded(count), rng.bounded(count));
        break;
    case 4:
        if (page) {
            const int before = page->nameCounter++;
            edits.addDrawnSelection(*page, randomSelection(rng, page->nameCounter), before);
        }
        break;
    case 5:
        if (sel)
            edits.deleteSelection(*page, edits.selectionIndex(page, sel));
        break;
    case 6:
        if (sel)
            edits.setArea(*sel, QStringLiteral("%1,1-50,40").arg(rng.bounded(9)), QStringLiteral("Move rectangle"));
        break;
    case 7:
        if (sel) // a run of nudges merges into one step
            for (int i = 0; i < 3; ++i)
                edits.setArea(*sel, QStringLiteral("%1,2-60,50").arg(i), QStringLiteral("Nudge rectangle"), i > 0);
        break;
    case 8:
        if (sel && count > 1) {
            Page* target = anyPage(p, rng);
            if (target != page)
                edits.moveSelectionToPage(*page, edits.selectionIndex(page, sel), *target);
        }
        break;
    case 9:
        if (sel)
            edits.renameSelection(*sel, sel->name + QLatin1Char('r'));
        break;
    case 10:
        if (page)
            edits.setActionAtEnd(*page, rng.bounded(2) ? std::make_unique<MenuAction>(ActJumpToPage, QStringLiteral("3"))
                                                       : nullptr);
        break;
    case 11:
        if (sel)
            edits.insertAction(*sel, rng.bounded(int(sel->actions.size()) + 1),
                               std::make_unique<MenuAction>(ActChangeLanguage, QStringLiteral("1")));
        break;
    case 12:
        if (sel && !sel->actions.empty())
            edits.replaceAction(*sel, rng.bounded(int(sel->actions.size())),
                                std::make_unique<MenuAction>(ActMessageBox, QStringLiteral("14 Hello|world")));
        break;
    case 13:
        if (sel && sel->actions.size() > 1 && rng.bounded(2))
            edits.swapActions(*sel, 0, int(sel->actions.size()) - 1);
        else if (sel && !sel->actions.empty())
            edits.deleteAction(*sel, rng.bounded(int(sel->actions.size())));
        break;
    case 14:
        edits.setMovieText(&MovieData::startPage, QString::number(rng.bounded(1, 20)), QStringLiteral("Set as StartPage"));
        break;
    case 15:
        if (page) {
            std::vector<std::unique_ptr<Selection>> copies;
            copies.push_back(randomSelection(rng, 90));
            copies.push_back(randomSelection(rng, 91));
            edits.appendSelections(*page, std::move(copies), QStringLiteral("Paste selections"));
        }
        break;
    case 16: { // the movie data dialog changed the project in place
        MovieData before = cloneMovieData(p.movieData);
        const QString baseBefore = p.baseDirectory;
        p.movieData.title += QLatin1Char('t');
        p.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", QString::number(rng.bounded(900)), "C"}));
        p.baseDirectory = QStringLiteral("/menus/%1/").arg(rng.bounded(1000));
        edits.recordMovieData(std::move(before), baseBefore);
        break;
    }
    }
}

} // namespace

class TestEdits : public QObject
{
    Q_OBJECT

private slots:
    void undoWalk_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::newRow("seed 1") << 1u;
        QTest::newRow("seed 7") << 7u;
        QTest::newRow("seed 2026") << 2026u;
    }

    void undoWalk()
    {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        MenuProject project;
        fillProject(project, rng);
        ProjectEdits edits(project);
        const QByteArray original = stateOf(project);

        int nextNumber = 100;
        while (edits.stack().count() < 500) {
            // Each step alone undoes to the state before it and redoes to the state after it.
            const QByteArray before = stateOf(project);
            const int steps = edits.stack().count();
            randomEdit(edits, rng, nextNumber);
            if (edits.stack().count() == steps || edits.stack().index() != steps + 1)
                continue; // nothing recorded, or merged into the step before
            const QByteArray after = stateOf(project);
            QVERIFY2(after != before, qPrintable(edits.stack().undoText())); // a step that changes nothing
            edits.stack().undo();
            QVERIFY2(stateOf(project) == before, qPrintable(edits.stack().redoText()));
            edits.stack().redo();
            QVERIFY2(stateOf(project) == after, qPrintable(edits.stack().undoText()));
        }
        const QByteArray edited = stateOf(project);
        QVERIFY(edited != original);

        while (edits.stack().canUndo())
            edits.stack().undo();
        QCOMPARE(stateOf(project), original);
        while (edits.stack().canRedo())
            edits.stack().redo();
        QCOMPARE(stateOf(project), edited);
    }

    void undoBringsBackTheSameObjects()
    {
        MenuProject project;
        QRandomGenerator rng(3);
        fillProject(project, rng);
        ProjectEdits edits(project);
        Page* second = project.pages[1].get();
        second->addSelection(std::make_unique<Selection>(QStringLiteral("Kept"), QStringLiteral("1,2-3,4")));
        Selection* kept = second->selections.back().get();

        edits.deletePage(1);
        QCOMPARE(edits.stack().undoText(), QString("Delete page"));
        QCOMPARE(edits.pageIndex(second), -1);
        edits.stack().undo();
        QCOMPARE(project.pages[1].get(), second);
        QCOMPARE(second->selections.back().get(), kept);
    }

    // Edits that would leave the project as it is record nothing.
    void editsThatChangeNothingRecordNothing()
    {
        MenuProject project;
        QRandomGenerator rng(5);
        fillProject(project, rng);
        Page& page = *project.pages[0];
        page.actionAtEnd = std::make_unique<MenuAction>(ActPlayFromChapter, QStringLiteral("2"));
        Selection& s = page.addSelection(std::make_unique<Selection>(QStringLiteral("A"), QStringLiteral("0,0-10,10")));
        s.addAction(ActJumpToPage, QStringLiteral("3"));
        s.addAction(ActPlayMovie, QString());
        project.pages[1]->actionAtEnd.reset();
        ProjectEdits edits(project);
        const QByteArray before = stateOf(project);
        edits.modifyPage(page, page.properties());
        edits.swapPages(1, 1);
        edits.setArea(s, s.area, QStringLiteral("Move rectangle"));
        edits.setArea(s, s.area, QStringLiteral("Nudge rectangle"));
        edits.moveSelectionToPage(page, 0, page);
        edits.renameSelection(s, QStringLiteral("A"));
        edits.appendSelections(page, {}, QStringLiteral("Paste selections"));
        edits.setActionAtEnd(page, std::make_unique<MenuAction>(ActPlayFromChapter, QStringLiteral("2")));
        edits.setActionAtEnd(*project.pages[1], nullptr);
        edits.replaceAction(s, 0, std::make_unique<MenuAction>(ActJumpToPage, QStringLiteral("3")));
        edits.swapActions(s, 1, 1);
        edits.setMovieText(&MovieData::startPage, project.movieData.startPage, QStringLiteral("Set as StartPage"));
        edits.recordMovieData(cloneMovieData(project.movieData), project.baseDirectory);
        // A run of nudges that ends where it began.
        edits.setArea(s, QStringLiteral("1,0-11,10"), QStringLiteral("Nudge rectangle"), false);
        edits.setArea(s, QStringLiteral("0,0-10,10"), QStringLiteral("Nudge rectangle"), true);
        QCOMPARE(stateOf(project), before);
        QCOMPARE(edits.stack().count(), 0);
    }

    // The movie data step gives back the movie data and the base directory, both ways.
    void movieDataStepRestoresTheBaseDirectory()
    {
        MenuProject project;
        project.baseDirectory = QStringLiteral("/menus/old/");
        project.movieData.title = QStringLiteral("Old");
        ProjectEdits edits(project);
        QSignalSpy changed(&edits, &ProjectEdits::movieDataChanged);
        MovieData before = cloneMovieData(project.movieData);
        project.movieData.title = QStringLiteral("New");
        project.baseDirectory = QStringLiteral("/menus/new/");
        edits.recordMovieData(std::move(before), QStringLiteral("/menus/old/"));
        QCOMPARE(changed.count(), 1); // the lists that show the movie data learn it at once
        edits.stack().undo();
        QCOMPARE(project.movieData.title, QString("Old"));
        QCOMPARE(project.baseDirectory, QString("/menus/old/"));
        edits.stack().redo();
        QCOMPARE(project.movieData.title, QString("New"));
        QCOMPARE(project.baseDirectory, QString("/menus/new/"));
    }

    void nudgesMergeOnlyWithinOneRun()
    {
        MenuProject project;
        project.pages.push_back(std::make_unique<Page>(1, QStringLiteral("Main")));
        Selection& s = project.pages[0]->addSelection(std::make_unique<Selection>(QStringLiteral("A"), QStringLiteral("0,0-10,10")));
        ProjectEdits edits(project);
        edits.setArea(s, QStringLiteral("1,0-11,10"), QStringLiteral("Nudge rectangle"), false);
        edits.setArea(s, QStringLiteral("2,0-12,10"), QStringLiteral("Nudge rectangle"), true);
        edits.setArea(s, QStringLiteral("3,0-13,10"), QStringLiteral("Nudge rectangle"), false); // a new key press
        QCOMPARE(edits.stack().count(), 2);
        edits.stack().undo();
        QCOMPARE(s.area, QString("2,0-12,10"));
        edits.stack().undo();
        QCOMPARE(s.area, QString("0,0-10,10"));
    }
};

QTEST_GUILESS_MAIN(TestEdits)
#include "test_edits.moc"
