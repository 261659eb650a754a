// Actions and page commands as the author meets them: the action maker's parameter lists, consecutive
// Add clicks, loading an action back into the maker, the action list's commands and drops, the end
// action of a page, and the page list's popup (paste with chapter renumbering, marks, reordering).
// Every command is undone and the saved bytes compared with those before it.
#include <QtTest>

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>

#include <memory>

#include "app/application.h"
#include "document/actiontypes.h"
#include "document/model.h"
#include "document/projectwriter.h"
#include "edits/projectedits.h"
#include "editors/dragdata.h"
#include "editors/editorwidgets.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "dialogs/scripteddialogservice.h"
#include "workspace/mainform.h"

namespace {

template <typename T>
T* child(QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

struct ActionSpec
{
    int type;
    QString parameter;
};

QStringList parametersOf(const Selection& s)
{
    QStringList out;
    for (const auto& a : s.actions)
        out.append(a->parameter);
    return out;
}

QStringList textsOf(const Selection& s)
{
    QStringList out;
    for (const auto& a : s.actions)
        out.append(ActionText(*a));
    return out;
}

QStringList entriesOf(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out.append(box->itemText(i));
    return out;
}

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settingsDir;
    ScriptedDialogService m_dialogs;
    std::unique_ptr<Application> m_app;

    MenuProject& project() { return m_app->project; }
    ProjectEdits& edits() { return *m_app->edits; }
    TPageViewerForm& pages() { return *m_app->pageViewer; }
    TSelectionsViewerForm& sels() { return *m_app->selectionsViewer; }
    QComboBox* cbAction() { return child<QComboBox>(&sels(), "cbAction"); }
    QComboBox* parameterBox() { return child<QComboBox>(&sels(), "cbActionParameter"); }
    QListWidget* actionsList() { return child<QListWidget>(&sels(), "ActionsList"); }
    QListWidget* endSlot() { return child<QListWidget>(&pages(), "lstActionAtEnd"); }
    QListView* pageList() { return child<QListView>(&pages(), "PageList"); }
    void clickAdd() { QTest::mouseClick(child<QPushButton>(&sels(), "bttSelAddAction"), Qt::LeftButton); }
    QAction* menuEntry(QWidget* window, const char* menu, const char* name)
    {
        return child<QAction>(child<QMenu>(window, menu), name);
    }

    QByteArray bytes()
    {
        QString why;
        const std::optional<QByteArray> b = BuildMenuFile(project(), [&why](const Message& m) { why = m.text; });
        if (!b)
            qFatal("the project cannot be saved: %s", qPrintable(why));
        return *b;
    }

    // Pages (still pictures, so nothing needs a video) named Main, Credits, Extras..., numbered from 1,
    // each with the given selections; the history starts after them. Page 1 is shown.
    void makePages(const QStringList& names, const QList<QList<ActionSpec>>& selectionsOfFirst = {})
    {
        for (qsizetype i = 0; i < names.size(); ++i) {
            auto page = std::make_unique<Page>(int(i) + 1, names[i]);
            page->selectionAvailable = true;
            if (i == 0) {
                for (qsizetype k = 0; k < selectionsOfFirst.size(); ++k) {
                    auto s = std::make_unique<Selection>(QStringLiteral("Selection-%1").arg(k + 1),
                                                         QStringLiteral("%1,10-%2,40").arg(10 + 50 * k).arg(50 + 50 * k));
                    for (const ActionSpec& a : selectionsOfFirst[k])
                        s->addAction(a.type, a.parameter);
                    page->addSelection(std::move(s));
                }
            }
            edits().insertPage(int(i), std::move(page));
        }
        edits().stack().clear();
        pages().refreshJumpAtEnd(false);
        pages().selectRow(0);
        pages().ShowPage(0);
    }

    Selection& firstSelection() { return *project().pages[0]->selections[0]; }

    void chooseType(int code) { cbAction()->setCurrentIndex(code - 1); }

    // Undoes the last step and checks that the project saves as it did before the command.
    void undoRestores(const QByteArray& before)
    {
        QVERIFY(edits().stack().canUndo());
        edits().stack().undo();
        QCOMPARE(bytes(), before);
    }

private slots:
    // An action's row shows its text, cut with an ellipsis where the row is too narrow: a row wide
    // enough shows its last letters, a narrow one still shows its first.
    void actionRowsShowTheirText()
    {
        const MenuAction action(3, QStringLiteral("2"));
        const QString text = ActionText(action);
        QListWidget list;
        QListWidgetItem item(&list);
        item.setData(kObjectRole, QVariant::fromValue(static_cast<void*>(const_cast<MenuAction*>(&action))));
        ActionItemDelegate delegate(16, QPoint(4, 0), &list);
        const QFontMetrics fm(list.font());
        auto inkColumns = [&](int width) {
            QImage image(width, 16, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            QStyleOptionViewItem option;
            option.initFrom(&list);
            option.rect = image.rect();
            option.palette.setColor(QPalette::Base, Qt::white);
            option.palette.setColor(QPalette::Text, Qt::black);
            delegate.paint(&painter, option, list.model()->index(0, 0));
            painter.end();
            int last = -1;
            for (int x = 0; x < width; ++x)
                for (int y = 0; y < 16; ++y)
                    if (qGray(image.pixel(x, y)) < 128)
                        last = x;
            return last;
        };
        const int full = fm.horizontalAdvance(text);
        QVERIFY(inkColumns(full + 20) > full / 2);      // the whole text, to near its end
        QVERIFY(inkColumns(full / 2) > 4);              // cut short, yet something is shown
        QVERIFY(inkColumns(full / 2) < full / 2);       // and nothing past the row
    }

    void init()
    {
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir->path());
        m_dialogs.clear();
        m_app = std::make_unique<Application>(&m_dialogs);
        m_app->show();
        // What a menu file needs to be saved at all.
        MovieData& md = project().movieData;
        md.title = QStringLiteral("Test");
        md.id = QStringLiteral("1");
        md.movieDirectory = QStringLiteral("movie");
        md.aviName = QStringLiteral("movie.avi");
    }

    void cleanup() { m_app.reset(); }

    // Every parameter list of the action maker, with and without the movie data's entries.
    void parameterLists_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("withData");
        QTest::addColumn<int>("pageRow");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<bool>("enabled");

        QStringList oneTo49;
        for (int k = 1; k <= 49; ++k)
            oneTo49 << QString::number(k);
        const QStringList pageNumbers{"1", "2", "3"};
        QTest::newRow("pages") << 1 << false << 0 << pageNumbers << "Choose a page" << false << true;
        // Without parameters the box keeps the style it had (here the text entry of a message).
        QTest::newRow("play movie") << 2 << true << 0 << QStringList() << "No parameters" << true << false;
        QTest::newRow("chapters") << 3 << true << 0 << QStringList{"1) Intro", "2) Finale"} << "Enter chapter number"
                                  << false << true;
        QTest::newRow("no chapters") << 3 << false << 0 << oneTo49 << "Enter chapter number" << false << true;
        QTest::newRow("message") << 4 << true << 0 << QStringList() << "Enter message" << true << true;
        QTest::newRow("specials") << 5 << true << 0 << QStringList{"1) Making of"}
                                  << "Enter special video feature number" << false << true;
        QTest::newRow("no specials") << 5 << false << 0 << oneTo49 << "Enter special video feature number" << false
                                     << true;
        QTest::newRow("languages") << 6 << true << 0 << QStringList{"0) English", "1) Francais"}
                                   << "Enter language number" << false << true;
        QTest::newRow("no languages") << 6 << false << 0 << QStringList{"0", "1", "2", "3", "4", "5"}
                                      << "Enter language number" << false << true;
        QTest::newRow("subtitles") << 7 << true << 0 << QStringList{"0) No subtitle", "1) English", "2) Deutsch"}
                                   << "Enter subtitle number" << false << true;
        QTest::newRow("no subtitles") << 7 << false << 0
                                      << QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}
                                      << "Enter subtitle number" << false << true;
        QTest::newRow("return to movie") << 8 << true << 0 << QStringList() << "No parameters" << true << false;
        QTest::newRow("relative, middle row")
            << 9 << false << 1 << QStringList{"+1) Next page (Extras)", "-1) Previous page (Main)"}
            << "Jump to next page or previous page." << false << true;
        QTest::newRow("relative, first row")
            << 9 << false << 0 << QStringList{"+1) Next page (Credits)", "-1) Previous page (NULL)"}
            << "Jump to next page or previous page." << false << true;
        QTest::newRow("relative, last row")
            << 9 << false << 2 << QStringList{"+1) Next page (NULL)", "-1) Previous page (Credits)"}
            << "Jump to next page or previous page." << false << true;
    }

    void parameterLists()
    {
        QFETCH(int, code);
        QFETCH(bool, withData);
        QFETCH(int, pageRow);
        QFETCH(QStringList, entries);
        QFETCH(QString, hint);
        QFETCH(bool, editable);
        QFETCH(bool, enabled);

        if (withData) {
            MovieData& md = project().movieData;
            md.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "Intro"}));
            md.chapters.push_back(std::make_unique<Chapter>(Chapter{"2", "900", "Finale"}));
            md.specials.push_back(std::make_unique<SpecialFeature>(SpecialFeature{"1", "Making of", "making.avi"}));
            md.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"0", "EN", "English", ""}));
            md.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"1", "FR", "Francais", "fr.mp3"}));
            for (const char* name : {"English", "Deutsch"}) {
                auto track = std::make_unique<SubtitleTrack>();
                track->number = QString::number(md.subtitles.size() + 1);
                track->fullName = QString::fromLatin1(name);
                md.subtitles.push_back(std::move(track));
            }
        }
        makePages({"Main", "Credits", "Extras"});
        pages().selectRow(pageRow);
        // Start from another style, so that the box is seen to change.
        chooseType(code == 4 ? 3 : 4);
        chooseType(code);

        QComboBox* box = parameterBox();
        QCOMPARE(entriesOf(box), entries);
        QCOMPARE(box->toolTip(), hint);
        QCOMPARE(box->isEditable(), editable);
        QCOMPARE(box->isEnabled(), enabled);
        QCOMPARE(box->currentIndex(), entries.isEmpty() ? -1 : 0);
        QCOMPARE(cbAction()->toolTip(), actionHelpText(code));
        if (code == 1) {
            // Page entries are the pages themselves, drawn as their item texts.
            for (int i = 0; i < box->count(); ++i)
                QCOMPARE(box->itemData(i, kObjectRole).value<void*>(), static_cast<void*>(project().pages[size_t(i)].get()));
        }
    }

    // A new or opened project: the lists are emptied, the maker is back at its first type with an
    // empty parameter box (its page entries would point at pages that are gone).
    void clearSelections()
    {
        makePages({"Main", "Credits"}, {{{ActPlayMovie, ""}}});
        sels().SelectSelection(&firstSelection());
        chooseType(ActJumpToPage);
        chooseType(ActChangeLanguage);
        sels().ClearSelections();
        QCOMPARE(cbAction()->currentIndex(), 0);
        QCOMPARE(parameterBox()->count(), 0);
        QCOMPARE(parameterBox()->currentText(), QString());
        QCOMPARE(actionsList()->count(), 0);
        QCOMPARE(child<QTreeWidget>(&sels(), "SelectionList")->topLevelItemCount(), 0);
    }

    // Consecutive Add clicks take consecutive entries; after the last, the first again: never an empty
    // parameter where the type needs one.
    void addClicks_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("parameters");

        QTest::newRow("chapters without movie data") << 3 << QString() << QStringList{"1", "2", "3", "4", "5"};
        QTest::newRow("pages, then the first again")
            << 1 << QString() << QStringList{"1", "2", "3", "1", "2"};
        QTest::newRow("relative jump") << 9 << QString() << QStringList{"+1", "-1", "+1"};
        QTest::newRow("message kept whole") << 4 << "14 Hello (see) world|Bye" << QStringList{"14 Hello (see) world|Bye",
                                                                                         "14 Hello (see) world|Bye"};
        QTest::newRow("no parameter") << 8 << QString() << QStringList{"", ""};
    }

    void addClicks()
    {
        QFETCH(int, code);
        QFETCH(QString, typed);
        QFETCH(QStringList, parameters);

        makePages({"Main", "Credits", "Extras"}, {{}});
        sels().SelectSelection(&firstSelection());
        chooseType(code);
        if (!typed.isEmpty())
            parameterBox()->setEditText(typed);
        const QByteArray before = bytes();
        for (qsizetype i = 0; i < parameters.size(); ++i)
            clickAdd();

        QCOMPARE(parametersOf(firstSelection()), parameters);
        for (const auto& a : firstSelection().actions)
            QCOMPARE(a->type, code);
        QCOMPARE(actionsList()->count(), int(parameters.size()));
        QCOMPARE(edits().stack().count(), int(parameters.size()));
        for (qsizetype i = 0; i < parameters.size(); ++i)
            edits().stack().undo();
        QCOMPARE(bytes(), before);
    }

    // The parameter list follows the project at once, whether or not the window is ever activated, and
    // the next Add takes a real entry: never an empty parameter where the type needs one.
    void parameterListFollowsTheProject_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("added");
        QTest::newRow("open") << "open" << 1 << QStringList{"1", "2", "3"} << "1";
        QTest::newRow("page added") << "add" << 1 << QStringList{"1", "2", "3", "4"} << "1";
        QTest::newRow("last page deleted") << "delete" << 1 << QStringList{"1", "2"} << "1";
        QTest::newRow("deletion undone") << "undo" << 1 << QStringList{"1", "2", "3"} << "1";
        QTest::newRow("all pages deleted") << "delete all" << 1 << QStringList{} << "";
        QTest::newRow("chapters typed") << "chapters" << 3 << QStringList{"1) Intro", "2) Finale"} << "1";
        QTest::newRow("next page renamed") << "rename" << 9
                                           << QStringList{"+1) Next page (Renamed)", "-1) Previous page (NULL)"} << "+1";
    }

    void parameterListFollowsTheProject()
    {
        QFETCH(QString, change);
        QFETCH(int, code);
        QFETCH(QStringList, entries);
        QFETCH(QString, added);
        makePages({"Main", "Credits", "Extras"}, {{}});
        chooseType(code);
        if (change == "open") {
            QTemporaryDir dir;
            const QString path = dir.filePath("menu.ini");
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes()) > 0);
            file.close();
            chooseType(ActChangeLanguage);
            QVERIFY(m_app->mainForm->OpenProject(path));
        } else if (change == "add") {
            edits().insertPage(3, std::make_unique<Page>(4, QStringLiteral("Fourth")));
        } else if (change == "delete" || change == "undo") {
            edits().deletePage(2);
            if (change == "undo")
                edits().stack().undo();
        } else if (change == "delete all") {
            for (int i = 0; i < 3; ++i)
                edits().deletePage(0);
        } else if (change == "chapters") {
            MovieData before = cloneMovieData(project().movieData);
            project().movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "Intro"}));
            project().movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"2", "900", "Finale"}));
            edits().recordMovieData(std::move(before), project().baseDirectory);
        } else if (change == "rename") {
            pages().edPageName->setText("Renamed");
            pages().selectRow(1);
            pages().ShowPage(1);
            pages().edPageName->setText("Renamed");
            pages().bttModifyClick();
            pages().selectRow(0);
            pages().ShowPage(0);
        }
        QCOMPARE(entriesOf(parameterBox()), entries);
        if (project().pages.empty()) {
            QVERIFY(!sels().MakeAction()); // no page to jump to: no action
            return;
        }
        pages().selectRow(0);
        pages().ShowPage(0);
        Selection& selection = *project().pages[0]->selections[0];
        sels().SelectSelection(&selection);
        if (change == "open")
            QCOMPARE(cbAction()->currentIndex(), ActJumpToPage - 1); // an opened project starts there
        clickAdd();
        QCOMPARE(parametersOf(selection), QStringList{added});
    }

    // A clicked action goes back into the maker: its type, and the first entry that begins with its
    // parameter (the first entry when none does).
    void loadAction_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<bool>("withChapters");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("text");

        QTest::newRow("chapter by its number") << 3 << "2" << true << 1 << "2) Finale";
        QTest::newRow("chapter 12 of 49") << 3 << "12" << false << 11 << "12";
        QTest::newRow("chapter 1 before 10") << 3 << "1" << false << 0 << "1";
        QTest::newRow("unknown chapter keeps the first") << 3 << "77" << false << 0 << "1";
        QTest::newRow("page") << 1 << "3" << false << 2 << "3";
        QTest::newRow("previous page") << 9 << "-1" << false << 1 << "-1) Previous page (NULL)";
        QTest::newRow("message") << 4 << "Hello) you" << false << -1 << "Hello) you";
    }

    void loadAction()
    {
        QFETCH(int, type);
        QFETCH(QString, parameter);
        QFETCH(bool, withChapters);
        QFETCH(int, entry);
        QFETCH(QString, text);

        if (withChapters) {
            project().movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "Intro"}));
            project().movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"2", "900", "Finale"}));
        }
        makePages({"Main", "Credits", "Extras"}, {{{ActPlayMovie, ""}, {type, parameter}}});
        chooseType(6);
        // Choosing the selection loads its first action.
        sels().SelectSelection(&firstSelection());
        QCOMPARE(cbAction()->currentIndex(), ActPlayMovie - 1);

        QListWidget* list = actionsList();
        const QRect second = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(cbAction()->currentIndex(), type - 1);
        if (entry >= 0)
            QCOMPARE(parameterBox()->currentIndex(), entry);
        QCOMPARE(parameterBox()->currentText(), text);
    }

    // Modify, Delete, Up and Down on the first, middle and last entries, through the popup's entries
    // (which do nothing while disabled); each is one undo step.
    void actionListCommands_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("rowAfter");

        const QStringList abc{"a", "b", "c"};
        QTest::newRow("up on first") << "Up1" << 0 << false << abc << 0;
        QTest::newRow("down on last") << "Down1" << 2 << false << abc << 2;
        QTest::newRow("up on last") << "Up1" << 2 << true << QStringList{"a", "c", "b"} << 1;
        QTest::newRow("down on first") << "Down1" << 0 << true << QStringList{"b", "a", "c"} << 1;
        QTest::newRow("delete first") << "Delete1" << 0 << true << QStringList{"b", "c"} << -1;
        QTest::newRow("delete last") << "Delete1" << 2 << true << QStringList{"a", "b"} << -1;
        QTest::newRow("modify middle") << "Modify" << 1 << true << QStringList{"a", "new", "c"} << 1;
    }

    void actionListCommands()
    {
        QFETCH(QString, entry);
        QFETCH(int, row);
        QFETCH(bool, enabled);
        QFETCH(QStringList, after);
        QFETCH(int, rowAfter);

        makePages({"Main"}, {{{ActMessageBox, "a"}, {ActMessageBox, "b"}, {ActMessageBox, "c"}}});
        sels().SelectSelection(&firstSelection());
        actionsList()->setCurrentRow(row);
        const QByteArray before = bytes();
        if (entry == QLatin1String("Modify")) {
            chooseType(ActMessageBox);
            parameterBox()->setEditText(QStringLiteral("new"));
            QTest::mouseClick(child<QPushButton>(&sels(), "bttModifyCurrentAction"), Qt::LeftButton);
        } else {
            sels().ActionsListContextPopup();
            QAction* a = menuEntry(&sels(), "pmActionLst", entry.toLatin1().constData());
            QCOMPARE(a->isEnabled(), enabled);
            a->trigger();
        }
        QCOMPARE(parametersOf(firstSelection()), after);
        QCOMPARE(actionsList()->count(), int(after.size()));
        QCOMPARE(sels().currentActionRow(), rowAfter);
        if (enabled)
            undoRestores(before);
        else
            QCOMPARE(edits().stack().count(), 0);
    }

    // Drops on the action list: only the drag panel's data, and only onto a chosen selection.
    void dropOnActionList_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("panel, selection chosen") << "panel" << true << true;
        QTest::newRow("panel, no selection") << "panel" << false << false;
        QTest::newRow("same type from another widget") << "other" << true << false;
        QTest::newRow("text from another program") << "text" << true << false;
    }

    void dropOnActionList()
    {
        QFETCH(QString, source);
        QFETCH(bool, chosen);
        QFETCH(bool, accepted);

        makePages({"Main"}, {{}});
        if (chosen)
            sels().SelectSelection(&firstSelection());
        chooseType(ActPlayFromChapter);
        std::unique_ptr<QMimeData> data;
        if (source == QLatin1String("panel"))
            data.reset(sels().actionDragData());
        else if (source == QLatin1String("other"))
            data.reset(dragdata::make(dragdata::kActionMime, actionsList()));
        else {
            data = std::make_unique<QMimeData>();
            data->setText(QStringLiteral("Play from chapter(3)"));
        }

        QWidget* target = actionsList()->viewport();
        const QPoint at = target->rect().center();
        const QByteArray before = bytes();
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QCOMPARE(firstSelection().actions.size(), size_t(accepted ? 1 : 0));
        if (accepted) {
            QCOMPARE(textsOf(firstSelection()), QStringList{"Play from chapter(1)"});
            QCOMPARE(actionsList()->count(), 1);
            undoRestores(before);
        } else {
            QCOMPARE(edits().stack().count(), 0);
        }
    }

    // One real drag through Qt's own drag loop, from the panel onto the action list: pressed on the
    // panel, moved off it, moved over the list and released there.
    void realDragFromPanel()
    {
        makePages({"Main"}, {{}});
        sels().SelectSelection(&firstSelection());
        chooseType(ActPlayFromChapter);
        QWidget* panel = child<QFrame>(&sels(), "DragDropActionPanel");
        QWidget* list = actionsList()->viewport();
        QVERIFY(QTest::qWaitForWindowExposed(&sels()));
        const QPoint onList = list->rect().center();
        bool dropped = false;
        QObject timers; // the timers go with the test
        // The drag loop runs inside the move below; these arrive inside it.
        QTimer::singleShot(0, &timers, [&] {
            QTest::mouseMove(list, onList);
            QTest::mouseRelease(list, Qt::LeftButton, {}, onList);
            dropped = true;
        });
        // Should the platform's drag loop not end, Escape cancels it and the test fails below.
        QTimer::singleShot(5000, &timers, [panel] {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(panel, &escape);
        });
        QTest::mousePress(panel, Qt::LeftButton, {}, panel->rect().center());
        QTest::mouseMove(panel, panel->rect().center() + QPoint(QApplication::startDragDistance() + 5, 0));
        if (!dropped) {
            // The drag ended at once: the platform has no drag loop (the offscreen one has none). The
            // drop handlers are tested with the panel's own data above and below.
            QTest::mouseRelease(panel, Qt::LeftButton);
            QSKIP("this platform offers no drag and drop");
        }
        QCOMPARE(textsOf(firstSelection()), QStringList{"Play from chapter(1)"});
    }

    // The end action: a drop sets it, a double click replaces it by the maker's next entry, "Set
    // action at end" again; each is one undo step. Without a page row nothing is taken.
    void actionAtEnd()
    {
        makePages({"Main", "Credits", "Extras"});
        Page& page = *project().pages[0];
        chooseType(ActJumpToPage);
        const QByteArray none = bytes();
        std::unique_ptr<QMimeData> data(sels().actionDragData());
        QWidget* slot = endSlot()->viewport();
        QVERIFY(endSlot()->isEnabled());

        const QPoint at = slot->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &drop);
        QVERIFY(page.actionAtEnd);
        QCOMPARE(ActionText(*page.actionAtEnd), QStringLiteral("Jump to another page(1)"));
        QCOMPARE(endSlot()->count(), 1);
        const QByteArray first = bytes();

        // A second drop (here a double click) replaces the first.
        QTest::mouseDClick(slot, Qt::LeftButton, {}, at);
        QCOMPARE(ActionText(*page.actionAtEnd), QStringLiteral("Jump to another page(2)"));
        QCOMPARE(endSlot()->count(), 1);
        undoRestores(first);
        QCOMPARE(ActionText(*page.actionAtEnd), QStringLiteral("Jump to another page(1)"));
        undoRestores(none);
        QVERIFY(!page.actionAtEnd);

        menuEntry(&pages(), "puActionAtEnd", "miSetActionAtEnd")->trigger();
        QCOMPARE(ActionText(*page.actionAtEnd), QStringLiteral("Jump to another page(3)"));

        // No page row: the drag is refused, and the commands take nothing.
        pages().selectRow(-1);
        QDragEnterEvent refused(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &refused);
        QVERIFY(!refused.isAccepted());
        const int steps = edits().stack().count();
        menuEntry(&pages(), "puActionAtEnd", "miSetActionAtEnd")->trigger();
        QCOMPARE(edits().stack().count(), steps);
    }

    // Paste appends copies of the source's selections; every chapter moves on by the number of
    // chapters the source plays, the same for every paste.
    void pasteSelections_data()
    {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QStringList>("source");
        QTest::addColumn<QStringList>("pasted");

        QTest::newRow("six chapters")
            << QList<int>{3, 3, 3, 3, 3, 3} << QStringList{"1", "2", "3", "4", "5", "6"}
            << QStringList{"7", "8", "9", "10", "11", "12"};
        QTest::newRow("other types unchanged")
            << QList<int>{1, 4, 9} << QStringList{"2", "Hi) 3", "-1"} << QStringList{"2", "Hi) 3", "-1"};
        QTest::newRow("one chapter among others")
            << QList<int>{1, 3, 6} << QStringList{"2", "4", "1"} << QStringList{"2", "5", "1"};
    }

    void pasteSelections()
    {
        QFETCH(QList<int>, types);
        QFETCH(QStringList, source);
        QFETCH(QStringList, pasted);

        QList<QList<ActionSpec>> selections;
        for (qsizetype i = 0; i < types.size(); ++i)
            selections.append({{types[i], source[i]}});
        makePages({"Chapters", "More", "Even more"}, selections);
        QAction* copy = menuEntry(&pages(), "puPageList", "puPLCopySelections");
        QAction* paste = menuEntry(&pages(), "puPageList", "puPLPasteSelections");
        pages().PageListContextPopup();
        QVERIFY(!paste->isEnabled()); // no copy source yet
        copy->trigger();
        QCOMPARE(pages().CopySourceIndex(), 0);
        pages().PageListContextPopup();
        QVERIFY(!paste->isEnabled()); // not onto the source itself

        for (int row : {1, 2}) {
            pages().selectRow(row);
            pages().ShowPage(row);
            pages().PageListContextPopup();
            QVERIFY(paste->isEnabled());
            const QByteArray before = bytes();
            paste->trigger();
            const Page& target = *project().pages[size_t(row)];
            QCOMPARE(target.selections.size(), size_t(types.size()));
            QStringList parameters;
            for (size_t i = 0; i < target.selections.size(); ++i) {
                const Selection& copied = *target.selections[i];
                QCOMPARE(copied.name, project().pages[0]->selections[i]->name);
                QCOMPARE(copied.area, project().pages[0]->selections[i]->area);
                parameters += parametersOf(copied);
            }
            QCOMPARE(parameters, pasted);
            QCOMPARE(sels().listedPage(), &target);
            QCOMPARE(pages().CopySourceIndex(), 0);
            // Pasting is one step.
            const QByteArray pastedBytes = bytes();
            undoRestores(before);
            edits().stack().redo();
            QCOMPARE(bytes(), pastedBytes);
        }
        QStringList unchanged;
        for (const auto& s : project().pages[0]->selections)
            unchanged += parametersOf(*s);
        QCOMPARE(unchanged, source);
    }

    // A chapter that is not a number stops the paste with the conversion message; the copies before
    // it stay, as one undo step.
    void pasteStopsAtNonInteger()
    {
        makePages({"Chapters", "Target"}, {{{ActPlayFromChapter, "1"}}, {{ActPlayFromChapter, "two"}},
                                           {{ActPlayFromChapter, "3"}}});
        pages().puPLCopySelectionsClick();
        pages().selectRow(1);
        pages().ShowPage(1);
        const QByteArray before = bytes();
        pages().puPLPasteSelectionsClick();
        QCOMPARE(m_dialogs.messages().size(), 1);
        QCOMPARE(m_dialogs.messages().first().text, QStringLiteral("'two' is not a valid integer value"));
        const Page& target = *project().pages[1];
        QCOMPARE(target.selections.size(), size_t(1));
        QCOMPARE(parametersOf(*target.selections[0]), QStringList{"4"});
        undoRestores(before);
    }

    // The marks: the same page twice switches the mark off; each is one undo step.
    void setAsMarks_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("field");

        QTest::newRow("start") << "SetasStartPage1" << "startPage";
        QTest::newRow("menu") << "SetasMenuPage1" << "menuPage";
        QTest::newRow("chapters") << "SetasChaptersPage1" << "chaptersPage";
        QTest::newRow("specials") << "SetasSpecialsPage1" << "specialsPage";
    }

    void setAsMarks()
    {
        QFETCH(QString, entry);
        QFETCH(QString, field);
        auto value = [this, &field] {
            const MovieData& md = project().movieData;
            return field == QLatin1String("startPage")  ? md.startPage
                   : field == QLatin1String("menuPage") ? md.menuPage
                   : field == QLatin1String("chaptersPage") ? md.chaptersPage
                                                            : md.specialsPage;
        };

        makePages({"Main", "Credits"});
        pages().selectRow(1);
        pages().ShowPage(1);
        QAction* mark = menuEntry(&pages(), "puPageList", entry.toLatin1().constData());
        const QByteArray none = bytes();
        mark->trigger();
        QCOMPARE(value(), QStringLiteral("2"));
        const QByteArray set = bytes();
        mark->trigger();
        QCOMPARE(value(), QString());
        QCOMPARE(bytes(), none);
        undoRestores(set);
        undoRestores(none);
        // The number field's text is what counts, typed over or not.
        child<QLineEdit>(&pages(), "edNumber")->setText(QStringLiteral(" 7"));
        mark->trigger();
        QCOMPARE(value(), QStringLiteral(" 7"));
    }

    // Up and Down: disabled at the ends, the moved page stays the one shown, the saved order changes,
    // one undo step.
    void upDown()
    {
        makePages({"Main", "Credits", "Extras"});
        QAction* up = menuEntry(&pages(), "puPageList", "puPLUp");
        QAction* down = menuEntry(&pages(), "puPageList", "puPLDown");
        pages().PageListContextPopup();
        QVERIFY(!up->isEnabled());
        QVERIFY(down->isEnabled());
        pages().selectRow(2);
        pages().ShowPage(2);
        pages().PageListContextPopup();
        QVERIFY(up->isEnabled());
        QVERIFY(!down->isEnabled());

        const QByteArray before = bytes();
        up->trigger();
        QCOMPARE(project().pages[1]->name, QStringLiteral("Extras"));
        QCOMPARE(pages().CurrentPageIndex(), 1);
        QCOMPARE(pages().selectedRow(), 1);
        QCOMPARE(child<QLineEdit>(&pages(), "edNumber")->text(), QStringLiteral("3"));
        const QByteArray moved = bytes();
        QVERIFY(moved != before);
        QVERIFY(moved.indexOf("Extras") < moved.indexOf("Credits"));
        undoRestores(before);
    }

    // Dragging a row carries the page along: it changes places with each row it passes over; the
    // whole drag is one undo step.
    void dragReorder()
    {
        makePages({"Main", "Credits", "Extras", "Help"});
        const QByteArray before = bytes();
        std::unique_ptr<QMimeData> data(pages().pageRowDragData());
        QWidget* viewport = pageList()->viewport();
        auto rowCentre = [this](int row) { return pageList()->visualRect(pageList()->model()->index(row, 0)).center(); };

        QDragEnterEvent enter(rowCentre(0), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        for (int row : {1, 2}) {
            QDragMoveEvent move(rowCentre(row), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &move);
            QVERIFY(move.isAccepted());
            QCOMPARE(pages().selectedRow(), row);
            QCOMPARE(pages().CurrentPageIndex(), row);
        }
        QDropEvent drop(QPointF(rowCentre(2)), Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);

        QStringList order;
        for (const auto& p : project().pages)
            order << p->name;
        QCOMPARE(order, (QStringList{"Credits", "Extras", "Main", "Help"}));
        QCOMPARE(edits().stack().count(), 1);
        undoRestores(before);

        // Another list's rows are not taken.
        std::unique_ptr<QMimeData> foreign(dragdata::make(dragdata::kPageRowMime, actionsList()));
        QDragEnterEvent refused(rowCentre(0), Qt::MoveAction, foreign.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &refused);
        QVERIFY(!refused.isAccepted());
    }

    // The popups' shortcuts work while their list has the focus, under the same enabling rule.
    void shortcuts()
    {
        makePages({"Main", "Credits", "Extras"}, {{{ActMessageBox, "a"}, {ActMessageBox, "b"}}});
        pages().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pages()));
        pageList()->setFocus();
        QTest::keyClick(pageList(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(project().pages[1]->name, QStringLiteral("Main"));
        QTest::keyClick(pageList(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(pages().CopySourceIndex(), 1);

        sels().activateWindow();
        // A tool window shares its activation with the main window it belongs to: the window
        // itself, not only its look, must be the active one before its keys are pressed.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&sels()));
        sels().SelectSelection(project().pages[1]->selections[0].get());
        actionsList()->setFocus();
        QTest::keyClick(actionsList(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(parametersOf(*project().pages[1]->selections[0]), (QStringList{"b", "a"}));
        QTest::keyClick(actionsList(), Qt::Key_D, Qt::ControlModifier); // the last entry goes no further
        QTest::keyClick(actionsList(), Qt::Key_Delete);
        QCOMPARE(parametersOf(*project().pages[1]->selections[0]), QStringList{"b"});
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir config;
    // Nothing may reach the user's own settings, whatever a test does.
    qputenv("XDG_CONFIG_HOME", config.filePath("xdg").toLocal8Bit());
    VazoApplication app(argc, argv);
    TestActions test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_actions.moc"
