#include <QtTest>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "moviedata/importchaptersform.h"
#include "moviedatatestutil.h"

// The four lists of the movie data dialog: their shared editing pattern with each list's own checks,
// the chapter import, the language rules and the advanced subtitle options.
class TestMovieDataLists : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusedEntries_data();
    void refusedEntries();
    void addModifyDeleteRenumber_data();
    void addModifyDeleteRenumber();
    void clickAndKeyCopyRow();
    void selectionKeptBetweenOpenings();
    void chapterText_data();
    void chapterText();
    void importDialog_data();
    void importDialog();
    void primaryLanguage();
    void deletingLanguages();
    void modifyLanguage();
    void advancedSubtitleOptions_data();
    void advancedSubtitleOptions();
    void advancedPanel();
};

namespace {

struct ListControls
{
    const char* list;
    const char* add;
    const char* modify;
    const char* remove;
    QList<const char*> fields;
    int firstNumber;
};

ListControls controlsOf(const QString& name)
{
    if (name == QLatin1String("chapters"))
        return {"lstChapters", "bttAddChapter", "bttModifyChapter", "bttDeleteChapter",
                {"edFirstChapterFrame", "edChapterName"}, 1};
    if (name == QLatin1String("specials"))
        return {"lstSpecials", "bttAddSpecial", "bttModifySpecial", "bttDeleteSpecial",
                {"edSpecialTitle", "edSpecialFile"}, 1};
    if (name == QLatin1String("subtitles"))
        return {"lstSubtitles", "bttAddSubtitles", "bttModifySubtitles", "bttDeleteSubtitles",
                {"edSubtitlesShortName", "edSubtitlesFullName", "edSubtitlesFile"}, 1};
    return {"lstLanguages", "bttAddLanguage", "bttModifyLanguage", "bttDeleteLanguage",
            {"edLangShortName", "edLangFullName", "edLangFile1"}, 0};
}

void fill(MovieDataFixture& f, const ListControls& s, const QStringList& values)
{
    for (int i = 0; i < s.fields.size(); ++i)
        f.edit(s.fields[i])->setText(i < values.size() ? values[i] : QString());
}

void addRow(MovieDataFixture& f, const ListControls& s, const QStringList& values)
{
    fill(f, s, values);
    f.click(s.add);
}

} // namespace

void TestMovieDataLists::refusedEntries_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("afterPrimary"); // a primary language is in the list before
    QTest::addColumn<QStringList>("values"); // the fields' texts, one empty
    QTest::addColumn<QString>("message");    // the message, or how it begins
    QTest::addColumn<QString>("focus");      // the field that has the focus afterwards
    const QString chapter = QStringLiteral("Please fill 'First chapter frame' and 'Chapter name' correctly");
    const QString data = QStringLiteral("Please fill data correctly.\n'%1' needs ");
    QTest::newRow("chapter without frame") << "chapters" << false << QStringList{"", "Intro"} << chapter << "";
    QTest::newRow("chapter without name") << "chapters" << false << QStringList{"0", ""} << chapter << "";
    QTest::newRow("special without title")
        << "specials" << false << QStringList{"", "a.avi"} << data.arg("Title") << "edSpecialTitle";
    QTest::newRow("special without file")
        << "specials" << false << QStringList{"Making of", ""} << data.arg("File") << "edSpecialFile";
    QTest::newRow("subtitle without short name") << "subtitles" << false << QStringList{"", "English", "en.srt"}
                                                 << data.arg("Short name") << "edSubtitlesShortName";
    QTest::newRow("subtitle without full name") << "subtitles" << false << QStringList{"EN", "", "en.srt"}
                                                << data.arg("Full name") << "edSubtitlesFullName";
    QTest::newRow("subtitle without file") << "subtitles" << false << QStringList{"EN", "English", ""}
                                           << data.arg("File") + "the subtitle file" << "edSubtitlesFile";
    QTest::newRow("language without short name") << "languages" << false << QStringList{"", "English", ""}
                                                 << data.arg("Short name") << "edLangShortName";
    QTest::newRow("language without full name") << "languages" << false << QStringList{"EN", "", ""}
                                                << data.arg("Full name") << "edLangFullName";
    QTest::newRow("second language without its audio file")
        << "languages" << true << QStringList{"FR", "French", ""}
        << data.arg("Files") + "the audio file of this language" << "edLangFile1";
}

// Add refuses with the list's message, naming the first empty field, which then has the keyboard
// focus on its tab. Modify checks first, so the message comes even without a selected row -- except
// for languages, where a missing selection ends Modify silently.
void TestMovieDataLists::refusedEntries()
{
    QFETCH(QString, list);
    QFETCH(bool, afterPrimary);
    QFETCH(QStringList, values);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    const ListControls s = controlsOf(list);
    MovieDataFixture f;
    if (afterPrimary)
        addRow(f, s, {"EN", "English"});
    const int rows = f.rowCount(s.list);
    f.showTabOf(f.edit("edMainTitle"));
    f.edit("edMainTitle")->setFocus();
    addRow(f, s, values);
    QCOMPARE(f.rowCount(s.list), rows);
    QCOMPARE(f.messages().size(), 1);
    const Message shown = f.messages().constFirst();
    QVERIFY2(shown.text.startsWith(message), qPrintable(shown.text));
    QCOMPARE(shown.caption, QStringLiteral("Error"));
    QCOMPARE(shown.icon, MessageIcon::Error);
    if (!focus.isEmpty()) {
        QCOMPARE(f.form->focusWidget(), f.edit(qPrintable(focus)));
        QVERIFY(f.tabs()->currentWidget()->isAncestorOf(f.edit(qPrintable(focus))));
    }

    f.click(s.modify);
    const qsizetype expected = list == QLatin1String("languages") ? 1 : 2;
    QCOMPARE(f.messages().size(), expected);
    QCOMPARE(f.rowCount(s.list), rows);
}

void TestMovieDataLists::addModifyDeleteRenumber_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("columns"); // editable columns shown after "#"
    QTest::newRow("chapters") << "chapters" << 2;
    QTest::newRow("specials") << "specials" << 2;
    QTest::newRow("subtitles") << "subtitles" << 3;
    QTest::newRow("languages") << "languages" << 3;
}

void TestMovieDataLists::addModifyDeleteRenumber()
{
    QFETCH(QString, list);
    QFETCH(int, columns);
    const ListControls s = controlsOf(list);
    MovieDataFixture f;
    f.form->show();
    for (int i = 0; i < 4; ++i)
        addRow(f, s, {QStringLiteral("a%1").arg(i), QStringLiteral("b %1").arg(i), QStringLiteral("c%1").arg(i)});
    QCOMPARE(f.messages(), QList<Message>{});
    QCOMPARE(f.rowCount(s.list), 4);
    const int first = s.firstNumber;
    const auto expectedRow = [&](int number, int i) {
        QStringList r{QString::number(number), QStringLiteral("a%1").arg(i), QStringLiteral("b %1").arg(i)};
        if (columns == 3)
            r << ((list == QLatin1String("languages") && number == 0) ? QString() : QStringLiteral("c%1").arg(i));
        return r;
    };
    QCOMPARE(f.row(s.list, 0).mid(0, columns + 1), expectedRow(first, 0));
    // The fields keep their text after Add.
    QCOMPARE(f.text(s.fields[0]), QStringLiteral("a3"));

    // Modify without a selected row changes nothing.
    fill(f, s, {"x", "y", "z"});
    f.click(s.modify);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(f.row(s.list, r).mid(0, columns + 1), expectedRow(first + r, r));

    // Modify the second row, then delete it: the rows after it move up and are renumbered.
    f.clickRow(s.list, 1);
    fill(f, s, {"x", "y", "z"});
    f.click(s.modify);
    QStringList modified{QString::number(first + 1), "x", "y"};
    if (columns == 3)
        modified << "z";
    QCOMPARE(f.row(s.list, 1).mid(0, columns + 1), modified);
    f.click(s.remove);
    QCOMPARE(f.rowCount(s.list), 3);
    QCOMPARE(f.row(s.list, 1).mid(0, columns + 1), expectedRow(first + 1, 2));
    QCOMPARE(f.row(s.list, 2).mid(0, columns + 1), expectedRow(first + 2, 3));
    // Delete without a selected row changes nothing.
    f.click(s.remove);
    QCOMPARE(f.rowCount(s.list), 3);
    QCOMPARE(f.messages(), QList<Message>{});

    // The model holds the rows with the numbers the file is written with.
    if (list == QLatin1String("chapters")) {
        QCOMPARE(f.project.movieData.chapters.size(), size_t(3));
        QCOMPARE(f.project.movieData.chapters[2]->number, QStringLiteral("3"));
        QCOMPARE(f.project.movieData.chapters[2]->name, QStringLiteral("b 3"));
    } else if (list == QLatin1String("languages")) {
        QCOMPARE(f.project.movieData.languages[2]->number, QStringLiteral("2"));
    }
}

void TestMovieDataLists::clickAndKeyCopyRow()
{
    MovieDataFixture f;
    f.form->show();
    const ListControls s = controlsOf("subtitles");
    addRow(f, s, {"EN", "English", "en.srt"});
    addRow(f, s, {"FR", "French", "fr.srt"});
    fill(f, s, {});
    f.clickRow(s.list, 0);
    QCOMPARE(f.text("edSubtitlesFullName"), QStringLiteral("English"));
    // Moving with the arrow key copies on the key's release.
    QTreeView* view = f.get<QTreeView>(s.list);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(f.selectedRow(s.list), 1);
    QCOMPARE(f.text("edSubtitlesShortName"), QStringLiteral("FR"));
    QCOMPARE(f.text("edSubtitlesFile"), QStringLiteral("fr.srt"));
}

void TestMovieDataLists::selectionKeptBetweenOpenings()
{
    MovieDataFixture f;
    const ListControls s = controlsOf("chapters");
    f.form->show();
    addRow(f, s, {"0", "Intro"});
    addRow(f, s, {"100", "End"});
    f.clickRow(s.list, 1);
    f.click("bttCancel");
    // Meanwhile the file reader or another window adds a chapter to the model directly.
    f.project.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"3", "200", "Credits"}));
    f.form->show();
    QCOMPARE(f.rowCount(s.list), 3);
    QCOMPARE(f.row(s.list, 2), (QStringList{"3", "200", "Credits"}));
    QCOMPARE(f.selectedRow(s.list), 1);
    QCOMPARE(f.tabs()->currentWidget()->objectName(), QStringLiteral("tabChapters"));
}

void TestMovieDataLists::chapterText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("chapters"); // frame|name per chapter
    QTest::newRow("sample") << "1=0 Chapter 1\n2=1285 Chapter 2\n..." << QStringList{"0|Chapter 1", "1285|Chapter 2"};
    QTest::newRow("number before = ignored") << "7=100 Part one" << QStringList{"100|Part one"};
    QTest::newRow("no space after frame") << "3=100\n4=5 ok" << QStringList{"5|ok"};
    QTest::newRow("empty frame") << "3= Name" << QStringList{"|Name"};
    QTest::newRow("empty name") << "3=10 " << QStringList{"10|"};
    QTest::newRow("nothing trimmed") << " 1=  two  spaces " << QStringList{"| two  spaces "};
    QTest::newRow("first = decides") << "1=2=3 a=b" << QStringList{"2=3|a=b"};
    QTest::newRow("no usable line") << "just text\n\n" << QStringList{};
    QTest::newRow("windows line ends") << "1=0 A\r\n2=5 B\r\n" << QStringList{"0|A", "5|B"};
}

void TestMovieDataLists::chapterText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, chapters);
    const OwnedList<Chapter> read = chaptersFromText(text);
    QStringList got;
    for (size_t i = 0; i < read.size(); ++i) {
        QCOMPARE(read[i]->number, QString::number(i + 1));
        got << read[i]->firstFrame + QLatin1Char('|') + read[i]->name;
    }
    QCOMPARE(got, chapters);
}

void TestMovieDataLists::importDialog_data()
{
    QTest::addColumn<QStringList>("before");    // frame|name
    QTest::addColumn<QString>("shown");         // memo text when the dialog opens
    QTest::addColumn<QString>("typed");         // replaces the memo text, unless empty
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("after");
    const QStringList two{"0|Intro", "1500|The End"};
    const QString sample = QStringLiteral("1=0 Chapter 1\n2=1285 Chapter 2\n...");
    QTest::newRow("round trip") << two << "1=0 Intro\n2=1500 The End" << "" << true << two;
    QTest::newRow("sample imported") << QStringList{} << sample << "" << true
                                     << QStringList{"0|Chapter 1", "1285|Chapter 2"};
    QTest::newRow("cancel after editing") << two << "1=0 Intro\n2=1500 The End" << "9=9 Nine" << false << two;
    QTest::newRow("replaced") << two << "1=0 Intro\n2=1500 The End" << "5=10 Ten\nbad" << true
                              << QStringList{"10|Ten"};
    QTest::newRow("emptied") << two << "1=0 Intro\n2=1500 The End" << "nothing" << true << QStringList{};
}

void TestMovieDataLists::importDialog()
{
    QFETCH(QStringList, before);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(bool, confirm);
    QFETCH(QStringList, after);
    MovieDataFixture f;
    const ListControls s = controlsOf("chapters");
    for (const QString& c : before)
        addRow(f, s, c.split('|'));

    QString seen;
    QString caption;
    QSize minimum;
    f.form->setModalRunner([&](QDialog& d) {
        caption = d.windowTitle();
        minimum = d.minimumSize();
        auto* memo = d.findChild<QPlainTextEdit*>("ChaptersMemo");
        if (!memo)
            return int(QDialog::Rejected);
        seen = memo->toPlainText();
        if (!typed.isEmpty())
            memo->setPlainText(typed);
        return int(confirm ? QDialog::Accepted : QDialog::Rejected);
    });
    f.click("bttImportChapters");
    QCOMPARE(caption, QStringLiteral("Import Chapters"));
    QCOMPARE(minimum, QSize(380, 100));
    QCOMPARE(seen, shown);
    QStringList got;
    for (int r = 0; r < f.rowCount(s.list); ++r) {
        const QStringList row = f.row(s.list, r);
        QCOMPARE(row.at(0), QString::number(r + 1));
        got << row.at(1) + QLatin1Char('|') + row.at(2);
    }
    QCOMPARE(got, after);
    QCOMPARE(f.project.movieData.chapters.size(), size_t(after.size()));
}

void TestMovieDataLists::primaryLanguage()
{
    MovieDataFixture f;
    const ListControls s = controlsOf("languages");
    // The primary language needs no files, and gets none even when the field holds some.
    f.edit("edLangFile1")->setText("ignored.wav");
    addRow(f, s, {"EN", "English"});
    f.edit("edLangFile1")->setText("ignored.wav");
    QCOMPARE(f.row(s.list, 0), (QStringList{"0", "EN", "English", ""}));
    QVERIFY(f.edit("edLangFile1")->isEnabled());
    QVERIFY(f.get<QPushButton>("bttBrowseLanguage1")->isEnabled());

    // Every further language needs its files.
    addRow(f, s, {"FR", "French", ""});
    QCOMPARE(f.messages().size(), 1);
    QVERIFY(f.messages().constFirst().text.startsWith("Please fill data correctly.\n'Files' needs"));
    QCOMPARE(f.rowCount(s.list), 1);
    addRow(f, s, {"FR", "French", "fr1.wav fr2.wav"});
    QCOMPARE(f.row(s.list, 1), (QStringList{"1", "FR", "French", "fr1.wav fr2.wav"}));
    QCOMPARE(f.project.movieData.languages[1]->files, QStringLiteral("fr1.wav fr2.wav"));
}

void TestMovieDataLists::deletingLanguages()
{
    MovieDataFixture f;
    f.form->show();
    const ListControls s = controlsOf("languages");
    addRow(f, s, {"EN", "English"});
    addRow(f, s, {"FR", "French", "fr.wav"});
    addRow(f, s, {"DE", "German", "de.wav"});

    f.clickRow(s.list, 0);
    f.click(s.remove);
    QCOMPARE(f.rowCount(s.list), 3); // the primary language stays while others exist
    f.clickRow(s.list, 1);
    f.click(s.remove);
    QCOMPARE(f.row(s.list, 1), (QStringList{"1", "DE", "German", "de.wav"}));
    f.clickRow(s.list, 1);
    f.click(s.remove);
    f.clickRow(s.list, 0);
    f.click(s.remove);
    QCOMPARE(f.rowCount(s.list), 0);
    QVERIFY(!f.edit("edLangFile1")->isEnabled());
    QVERIFY(!f.get<QPushButton>("bttBrowseLanguage1")->isEnabled());
    QVERIFY(f.project.movieData.languages.empty());
    QCOMPARE(f.messages(), QList<Message>{});
}

void TestMovieDataLists::modifyLanguage()
{
    MovieDataFixture f;
    f.form->show();
    const ListControls s = controlsOf("languages");
    addRow(f, s, {"EN", "English"});
    addRow(f, s, {"FR", "French", "fr.wav"});

    f.clickRow(s.list, 0);
    fill(f, s, {"ENG", "Eng", "x.wav"});
    f.click(s.modify);
    QCOMPARE(f.row(s.list, 0), (QStringList{"0", "ENG", "Eng", ""}));

    f.clickRow(s.list, 1);
    fill(f, s, {"FRA", "Francais", ""});
    f.click(s.modify);
    QCOMPARE(f.messages().size(), 1);
    QVERIFY(f.messages().constFirst().text.startsWith("Please fill data correctly.\n'Files' needs"));
    QCOMPARE(f.row(s.list, 1), (QStringList{"1", "FR", "French", "fr.wav"}));
}

void TestMovieDataLists::advancedSubtitleOptions_data()
{
    QTest::addColumn<QString>("format"); // the row's "Format" before the double click
    QTest::addColumn<int>("shownIndex"); // cbFormat's index when shown; -2: not shown
    QTest::addColumn<int>("chosenIndex");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("stored");
    QTest::newRow("auto to SubRip") << "" << 0 << 2 << true << "2";
    QTest::newRow("back to auto") << "2" << 2 << 0 << true << "";
    QTest::newRow("cancelled") << "3" << 3 << 5 << false << "3";
    QTest::newRow("unknown number shows no item") << "-1" << -1 << -1 << true << "-1";
    QTest::newRow("too large") << "9" << -1 << 4 << true << "4";
    QTest::newRow("not a number") << "abc" << -2 << 0 << true << "abc";
}

void TestMovieDataLists::advancedSubtitleOptions()
{
    QFETCH(QString, format);
    QFETCH(int, shownIndex);
    QFETCH(int, chosenIndex);
    QFETCH(bool, confirm);
    QFETCH(QString, stored);
    MovieDataFixture f;
    f.form->show();
    const ListControls s = controlsOf("subtitles");
    addRow(f, s, {"EN", "English", "en.srt"});
    addRow(f, s, {"FR", "French", "fr.srt"});
    SubtitleTrack& track = *f.project.movieData.subtitles[1];
    track.format = format;
    track.offset = QStringLiteral("-25");

    bool shown = false;
    int indexShown = -3;
    QStringList info;
    f.form->setModalRunner([&](QDialog& d) {
        shown = true;
        for (const char* name : {"lbNumber", "lbShortName", "lbFullName", "lbFile"})
            info << d.findChild<QLabel*>(name)->text();
        auto* combo = d.findChild<QComboBox*>("cbFormat");
        indexShown = combo->currentIndex();
        combo->setCurrentIndex(chosenIndex);
        info << d.findChild<QLineEdit*>("edOffset")->text();
        d.findChild<QLineEdit*>("edMultiplier")->setText("150000");
        return int(confirm ? QDialog::Accepted : QDialog::Rejected);
    });
    f.clickRow(s.list, 1);
    QTest::mouseDClick(f.get<QTreeView>(s.list)->viewport(), Qt::LeftButton, {},
                       f.get<QTreeView>(s.list)->visualRect(f.get<QTreeView>(s.list)->model()->index(1, 1)).center());

    if (shownIndex == -2) {
        QVERIFY(!shown);
        QCOMPARE(f.messages(), QList<Message>{errorMessage("'abc' is not a valid integer value")});
    } else {
        QVERIFY(shown);
        QCOMPARE(info, (QStringList{"2", "FR", "French", "fr.srt", "-25"}));
        QCOMPARE(indexShown, shownIndex);
        QCOMPARE(f.row(s.list, 1).at(4), stored);
        QCOMPARE(f.row(s.list, 1).at(8), QStringLiteral("-25"));
        QCOMPARE(f.row(s.list, 1).at(9), confirm ? QStringLiteral("150000") : QString());
    }
    QCOMPARE(track.format, stored);

    // Modify keeps the advanced columns.
    fill(f, s, {"FRA", "Francais", "fr2.srt"});
    f.click(s.modify);
    QCOMPARE(f.row(s.list, 1).mid(0, 5), (QStringList{"2", "FRA", "Francais", "fr2.srt", stored}));
}

void TestMovieDataLists::advancedPanel()
{
    MovieDataFixture f;
    QTreeView* list = f.get<QTreeView>("lstSubtitles");
    f.showTabOf(list);
    auto* panel = f.get<QGroupBox>("gbAdvSubOptions");
    auto* button = f.get<QPushButton>("bttAdvancedSubtitles");
    QVERIFY(list->isVisible());
    QVERIFY(!panel->isVisible());
    button->click();
    QVERIFY(panel->isVisible());
    QVERIFY(!list->isVisible());
    QCOMPARE(button->text(), QStringLiteral("<<"));
    QVERIFY(f.edit("edSubtitlesDialogString")->isVisible());
    // The panel's state is kept when the dialog is closed and shown again.
    f.click("bttCancel");
    f.form->show();
    QVERIFY(panel->isVisible());
    button->click();
    QVERIFY(!panel->isVisible());
    QVERIFY(list->isVisible());
    QCOMPARE(button->text(), QStringLiteral(">>"));
}

QTEST_MAIN(TestMovieDataLists)
#include "test_moviedata_lists.moc"
