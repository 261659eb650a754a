#include <QtTest>

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "fixtures/videofixtures.h"
#include "moviedatatestutil.h"

// The frame of the movie data dialog, its Main, Movie and Menu tabs, and the choice of the base
// directory, files and folders with the frames counted from real AVI files.
class TestMovieData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void freshDialog();
    void okNeedsBaseDirectory();
    void cancelAndCloseKeepEdits();
    void requiredColours_data();
    void requiredColours();
    void generatedId();
    void fieldsEditTheProject_data();
    void fieldsEditTheProject();
    void showsWhatOthersChanged();
    void baseDirectoryChoice();
    void fileChoice_data();
    void fileChoice();
    void fileChoiceOffersFilterAndRoot();
    void noBaseDirectoryRefusesFiles();
    void menuDirectory_data();
    void menuDirectory();
    void languageFilesLastChosenFirst();
    void everyChosenFieldHasItsButton();
    void directoryButtons_data();
    void directoryButtons();
    void fileDialogStartsInChosenFolder_data();
    void fileDialogStartsInChosenFolder();
    void countingFrames();
    void countingFailures_data();
    void countingFailures();

private:
    QString m_startDir;
};

void TestMovieData::initTestCase()
{
    m_startDir = QDir::currentPath();
}

void TestMovieData::cleanup()
{
    // Choosing a base directory changes the process's current directory.
    QDir::setCurrent(m_startDir);
}

void TestMovieData::freshDialog()
{
    MovieDataFixture f;
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Movie Extra Data"));
    QTabWidget* tabs = f.tabs();
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i) + QLatin1Char(' ') + tabs->widget(i)->objectName();
    QCOMPARE(texts, (QStringList{"&Main tabMain", "Mo&vie tabMovie", "C&hapters tabChapters", "M&enu tabMenu",
                                 "&Languages tabLanguages", "S&ubtitles tabSubtitles", "&Specials tabSpecials"}));
    QCOMPARE(tabs->currentIndex(), 0);

    for (const char* name : {"edBaseDirectory", "edMainTitle", "edMainID", "edMovieAVIName"})
        QCOMPARE(f.background(name), TMovieDataForm::kRequiredEmpty);
    for (const char* name : {"edBaseDirectory", "edMovieDirectory", "edMenuDirectory", "edLanguageDirectory",
                             "edSubtitlesDirectory"})
        QVERIFY2(f.edit(name)->isReadOnly(), name);
    QVERIFY(!f.edit("edLangFile1")->isEnabled());
    QVERIFY(!f.get<QPushButton>("bttBrowseLanguage1")->isEnabled());
    QVERIFY(f.get<QGroupBox>("gbAdvSubOptions")->isHidden());
    QCOMPARE(f.edit("edLangShortName")->maxLength(), 3);
    QCOMPARE(f.edit("edSubtitlesShortName")->maxLength(), 3);

    // Every field and list explains its key to the user.
    QWidgetList explained;
    for (QWidget* w : f.form->findChildren<QLineEdit*>())
        explained << w;
    for (QWidget* w : f.form->findChildren<QTreeView*>())
        explained << w;
    QVERIFY(explained.size() > 30);
    for (const QWidget* w : explained)
        QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
}

void TestMovieData::okNeedsBaseDirectory()
{
    MovieDataFixture f;
    f.form->show();
    f.click("bttOK");
    QCOMPARE(f.messages(), QList<Message>{errorMessage("You must give a base directory")});
    QVERIFY(f.form->isVisible());

    QTemporaryDir dir;
    f.dialogs.queueAnswer(dir.path());
    f.click("bttBrowseBaseDirectory");
    f.click("bttOK");
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.form->result(), int(QDialog::Accepted));
    QCOMPARE(f.messages().size(), 1);
}

void TestMovieData::cancelAndCloseKeepEdits()
{
    MovieDataFixture f;
    f.form->show();
    f.tabs()->setCurrentIndex(3);
    QTest::keyClicks(f.edit("edMainTitle"), "Film");
    f.click("bttCancel");
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.form->result(), int(QDialog::Rejected));
    QCOMPARE(f.project.movieData.title, QStringLiteral("Film"));

    // Shown again: the edit and the tab are still there; the title bar's close is a Cancel too.
    f.form->show();
    QCOMPARE(f.text("edMainTitle"), QStringLiteral("Film"));
    QCOMPARE(f.tabs()->currentIndex(), 3);
    f.form->setResult(QDialog::Accepted);
    QVERIFY(f.form->close());
    QCOMPARE(f.form->result(), int(QDialog::Rejected));
    QVERIFY(f.messages().isEmpty());
}

void TestMovieData::requiredColours_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("recolours");
    QTest::newRow("title") << "edMainTitle" << true;
    QTest::newRow("ID") << "edMainID" << true;
    // Only choosing the CD 1 file with its button tells that the file exists.
    QTest::newRow("CD 1 file typed") << "edMovieAVIName" << false;
}

void TestMovieData::requiredColours()
{
    QFETCH(QString, field);
    QFETCH(bool, recolours);
    MovieDataFixture f;
    QLineEdit* e = f.edit(qPrintable(field));
    QTest::keyClicks(e, "ab");
    QCOMPARE(e->palette().color(QPalette::Base),
             recolours ? TMovieDataForm::kRequiredFilled : TMovieDataForm::kRequiredEmpty);
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClick(e, Qt::Key_Backspace);
    QCOMPARE(e->text(), QString());
    QCOMPARE(e->palette().color(QPalette::Base), TMovieDataForm::kRequiredEmpty);

    // The file reader colours by what it found, whatever the field holds.
    f.form->setRequiredFieldColour(TMovieDataForm::RequiredField::MovieAVIName, true);
    QCOMPARE(f.background("edMovieAVIName"), TMovieDataForm::kRequiredFilled);
    f.form->setRequiredFieldColour(TMovieDataForm::RequiredField::BaseDirectory, true);
    QCOMPARE(f.background("edBaseDirectory"), TMovieDataForm::kRequiredFilled);
}

void TestMovieData::generatedId()
{
    MovieDataFixture f;
    const QRegularExpression pattern(QStringLiteral("^[0-9A-Za-z]{8}$"));
    QString all;
    QSet<QString> ids;
    for (int i = 0; i < 60; ++i) {
        f.click("bttGenerateID");
        const QString id = f.text("edMainID");
        QVERIFY2(pattern.match(id).hasMatch(), qPrintable(id));
        QCOMPARE(f.project.movieData.id, id);
        all += id;
        ids.insert(id);
    }
    QCOMPARE(f.background("edMainID"), TMovieDataForm::kRequiredFilled);
    // One sequence: successive IDs differ, and all three kinds of character come up.
    QVERIFY(ids.size() > 55);
    QVERIFY(all.contains(QRegularExpression("[0-9]")));
    QVERIFY(all.contains(QRegularExpression("[A-Z]")));
    QVERIFY(all.contains(QRegularExpression("[a-z]")));
}

void TestMovieData::fieldsEditTheProject_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("member");
    // Members are listed by index into the table of the test below.
    const char* names[] = {"edMainTitle", "edMainID", "edMainCDNumber", "edMainDelay", "edMovieAVIName",
                           "edMovieAVI2Name", "edMovieAVI3Name", "edMovieCD1Frames", "edMovieCD2Frames",
                           "edMovieCD3Frames", "edMenuAVIName", "edMenuAudioName", "edMenuStartPage",
                           "edMenuMenuPage", "edMenuChaptersPage", "edMenuSpecialsPage", "edMenuSize",
                           "edSpecialsCDNumber", "edSubtitlesDialogString", "edSubtitlesLines",
                           "edSubtitlesMaxDisplayDuration"};
    for (int i = 0; i < int(std::size(names)); ++i)
        QTest::newRow(names[i]) << QString::fromLatin1(names[i]) << i;
}

void TestMovieData::fieldsEditTheProject()
{
    QFETCH(QString, field);
    QFETCH(int, member);
    QString MovieData::*const members[] = {
        &MovieData::title, &MovieData::id, &MovieData::cdNumber, &MovieData::delay, &MovieData::aviName,
        &MovieData::avi2Name, &MovieData::avi3Name, &MovieData::cd1Frames, &MovieData::cd2Frames,
        &MovieData::cd3Frames, &MovieData::menuAVIName, &MovieData::menuAudioName, &MovieData::startPage,
        &MovieData::menuPage, &MovieData::chaptersPage, &MovieData::specialsPage, &MovieData::menuSize,
        &MovieData::specialsCD, &MovieData::dialogString, &MovieData::lines, &MovieData::maxDisplayDuration};
    MovieDataFixture f;
    // Free text: nothing is checked or converted, not even in the number fields.
    QTest::keyClicks(f.edit(qPrintable(field)), "12a, b");
    QCOMPARE(f.project.movieData.*members[member], QStringLiteral("12a, b"));
}

void TestMovieData::showsWhatOthersChanged()
{
    MovieDataFixture f;
    // The file reader and the page editors write the movie data directly.
    f.project.baseDirectory = QStringLiteral("/m/film/");
    f.project.movieData.title = QStringLiteral("Read");
    f.project.movieData.menuSize = QStringLiteral("720,576");
    f.project.movieData.startPage = QStringLiteral("3");
    f.project.movieData.estimateDisplayDuration = true;
    f.project.movieData.chapters.push_back(std::make_unique<Chapter>(Chapter{"1", "0", "Intro"}));
    f.project.movieData.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"0", "EN", "English", ""}));
    QCOMPARE(f.form->baseDirectoryText(), QStringLiteral("/m/film/"));
    f.form->show();
    QCOMPARE(f.text("edBaseDirectory"), QStringLiteral("/m/film/"));
    QCOMPARE(f.text("edMainTitle"), QStringLiteral("Read"));
    QCOMPARE(f.background("edMainTitle"), TMovieDataForm::kRequiredFilled);
    QCOMPARE(f.text("edMenuSize"), QStringLiteral("720,576"));
    QCOMPARE(f.text("edMenuStartPage"), QStringLiteral("3"));
    QVERIFY(f.get<QCheckBox>("chkSubtitlesEstimateDispDuration")->isChecked());
    QCOMPARE(f.row("lstChapters", 0), (QStringList{"1", "0", "Intro"}));
    QCOMPARE(f.row("lstLanguages", 0), (QStringList{"0", "EN", "English", ""}));
    QVERIFY(f.edit("edLangFile1")->isEnabled());
    QVERIFY(f.get<QPushButton>("bttBrowseLanguage1")->isEnabled());

    f.get<QCheckBox>("chkMultipleAudioAVI")->click();
    QVERIFY(f.project.movieData.multipleAudioAVI);
}

void TestMovieData::baseDirectoryChoice()
{
    MovieDataFixture f;
    QTemporaryDir dir;
    const QString folder = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    QSignalSpy chosen(f.form.get(), &TMovieDataForm::baseDirectoryChosen);

    f.dialogs.queueCancel();
    f.click("bttBrowseBaseDirectory");
    QCOMPARE(chosen.size(), 0);
    QCOMPARE(f.text("edBaseDirectory"), QString());
    QCOMPARE(f.background("edBaseDirectory"), TMovieDataForm::kRequiredEmpty);

    f.dialogs.queueAnswer(dir.path()); // the browser gives it without trailing separator
    f.click("bttBrowseBaseDirectory");
    QCOMPARE(f.dialogs.requests().constLast().options.caption, QStringLiteral("Select the base directory : "));
    QCOMPARE(f.dialogs.requests().constLast().options.startFolder, QString());
    QCOMPARE(f.text("edBaseDirectory"), folder);
    QCOMPARE(f.project.baseDirectory, folder);
    QCOMPARE(f.background("edBaseDirectory"), TMovieDataForm::kRequiredFilled);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.constFirst().constFirst().toString(), folder);
    QCOMPARE(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
}

// Every file button against one base directory; "refused" rows expect the message and no change.
void TestMovieData::fileChoice_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("movieDirectory"); // set before the choice
    QTest::addColumn<QString>("chosen");         // below the base directory, "/" separated
    QTest::addColumn<QString>("directoryField");
    QTest::addColumn<QString>("directory");      // expected; "-" when the field must not change
    QTest::addColumn<QString>("nameField");
    QTest::addColumn<QString>("name");           // expected; "-" when refused
    QTest::addColumn<QString>("messageRoot");    // "" when no message, else the root below the base

    QTest::newRow("CD 1 in a subfolder")
        << "bttAVI1" << "" << "video/film.avi" << "edMovieDirectory" << "video" << "edMovieAVIName" << "film.avi" << "";
    QTest::newRow("CD 1 in the base") << "bttAVI1" << "" << "film.avi" << "edMovieDirectory" << "."
                                      << "edMovieAVIName" << "film.avi" << "";
    QTest::newRow("CD 1 nested") << "bttAVI1" << "" << "video/cd1/film.avi" << "edMovieDirectory" << "video\\cd1"
                                 << "edMovieAVIName" << "film.avi" << "";
    QTest::newRow("CD 1 elsewhere") << "bttAVI1" << "old" << "../elsewhere/film.avi" << "edMovieDirectory" << "old"
                                    << "edMovieAVIName" << "-" << ".";
    QTest::newRow("menu video") << "bttBrowseMenuAVI" << "" << "menu/menu.avi" << "edMenuDirectory" << "menu"
                                << "edMenuAVIName" << "menu.avi" << "";
    QTest::newRow("menu audio keeps the directory")
        << "bttBrowseMenuAudio" << "" << "sound/back.wav" << "edMenuDirectory" << "-" << "edMenuAudioName"
        << "back.wav" << "";
    QTest::newRow("subtitles") << "bttBrowseSubtitles" << "" << "subs/en.srt" << "edSubtitlesDirectory" << "subs"
                               << "edSubtitlesFile" << "en.srt" << "";
    QTest::newRow("special with movie directory '.'")
        << "bttBrowseSpecialFile" << "." << "making.avi" << "edMovieDirectory" << "." << "edSpecialFile"
        << "making.avi" << "";
    QTest::newRow("special in the movie directory")
        << "bttBrowseSpecialFile" << "video" << "video/making.avi" << "edMovieDirectory" << "video"
        << "edSpecialFile" << "making.avi" << "";
    QTest::newRow("special outside the movie directory")
        << "bttBrowseSpecialFile" << "video" << "making.avi" << "edMovieDirectory" << "video" << "edSpecialFile"
        << "-" << "video/";
}

void TestMovieData::fileChoice()
{
    QFETCH(QString, button);
    QFETCH(QString, movieDirectory);
    QFETCH(QString, chosen);
    QFETCH(QString, directoryField);
    QFETCH(QString, directory);
    QFETCH(QString, nameField);
    QFETCH(QString, name);
    QFETCH(QString, messageRoot);

    QTemporaryDir dir;
    const QString base = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    MovieDataFixture f;
    f.project.baseDirectory = base;
    f.project.movieData.movieDirectory = movieDirectory;
    f.project.movieData.menuDirectory = QStringLiteral("before");
    f.form->loadFromProject();
    const QString dirBefore = f.text(qPrintable(directoryField));
    const QString nameBefore = f.text(qPrintable(nameField));

    f.dialogs.queueAnswer(QDir::toNativeSeparators(dir.path() + QLatin1Char('/') + chosen));
    f.click(qPrintable(button));

    if (messageRoot.isEmpty()) {
        QCOMPARE(f.messages(), QList<Message>{});
    } else {
        const QString root = messageRoot == QLatin1String(".") ? base : base + QDir::toNativeSeparators(messageRoot);
        QCOMPARE(f.messages(),
                 QList<Message>{errorMessage(
                     "The AVI file must be in the same, or in a subdirectory, of the base directory " + root)});
    }
    QCOMPARE(f.text(qPrintable(directoryField)), directory == QLatin1String("-") ? dirBefore : directory);
    QCOMPARE(f.text(qPrintable(nameField)), name == QLatin1String("-") ? nameBefore : name);
    if (button == QLatin1String("bttAVI1"))
        QCOMPARE(f.background("edMovieAVIName"),
                 name == QLatin1String("-") ? TMovieDataForm::kRequiredEmpty : TMovieDataForm::kRequiredFilled);
}

void TestMovieData::fileChoiceOffersFilterAndRoot()
{
    MovieDataFixture f;
    const QString base = QDir::toNativeSeparators(QDir::tempPath()) + QDir::separator();
    f.project.baseDirectory = base;
    f.project.movieData.movieDirectory = QStringLiteral("video\\cd1");
    f.project.movieData.languages.push_back(std::make_unique<AudioLanguage>());
    f.form->loadFromProject();

    const QString video = QStringLiteral("AVI Video files|*.AVI;*.VOB|All files (*.*)|*.*");
    const QString audio = QStringLiteral("Audio Files|*.WAV;*.MP3;*.AC3|All files (*.*)|*.*");
    const struct { const char* button; QString filter; QString start; bool multiple; } cases[] = {
        {"bttAVI2", video, base, false},
        {"bttBrowseMenuAudio", audio, base, false},
        {"bttBrowseLanguage1", audio, base, true},
        {"bttBrowseSubtitles", "Subtitle files|*.SUB;*.SRT;*.TXT|All files (*.*)|*.*", base, false},
        {"bttBrowseSpecialFile", video, base + QDir::toNativeSeparators("video/cd1/"), false},
    };
    for (const auto& c : cases) {
        f.dialogs.queueCancel();
        f.click(c.button);
        const auto& options = f.dialogs.requests().constLast().options;
        QCOMPARE(options.filter, c.filter);
        QCOMPARE(options.startFolder, c.start);
        QCOMPARE(options.multipleSelection, c.multiple);
    }
    QCOMPARE(f.dialogs.requests().size(), qsizetype(std::size(cases)));
    QCOMPARE(f.project.movieData.movieDirectory, QStringLiteral("video\\cd1"));
    QCOMPARE(f.messages(), QList<Message>{});
}

void TestMovieData::noBaseDirectoryRefusesFiles()
{
    MovieDataFixture f;
    QTemporaryDir dir;
    for (const char* button : {"bttAVI1", "bttBrowseMenuAVI", "bttBrowseSubtitles", "bttBrowseSpecialFile"}) {
        f.dialogs.queueAnswer(dir.path() + QStringLiteral("/film.avi"));
        f.click(button);
    }
    QCOMPARE(f.messages().size(), 4);
    for (const Message& m : f.messages())
        QCOMPARE(m, errorMessage("The AVI file must be in the same, or in a subdirectory, of the base directory "));
    for (const char* field : {"edMovieDirectory", "edMovieAVIName", "edMenuDirectory", "edMenuAVIName",
                              "edSubtitlesDirectory", "edSubtitlesFile", "edSpecialFile"})
        QCOMPARE(f.text(field), QString());
}

void TestMovieData::menuDirectory_data()
{
    QTest::addColumn<bool>("withBase");
    QTest::addColumn<QString>("chosen"); // below the temporary folder
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("refused");
    QTest::newRow("base itself") << true << "film/" << "." << false;
    QTest::newRow("subfolder") << true << "film/menu/" << "menu" << false;
    QTest::newRow("nested") << true << "film/menu/pics" << "menu\\pics" << false;
    QTest::newRow("outside") << true << "other/" << "before" << true;
    QTest::newRow("letter case") << true << "FILM/menu/" << "before" << true;
    QTest::newRow("no base: whole folder") << false << "other/menu/" << "<tmp>" + QString(QDir::separator()) + "other" + QDir::separator() + "menu" << false;
}

void TestMovieData::menuDirectory()
{
    QFETCH(bool, withBase);
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QString tmp = QDir::toNativeSeparators(dir.path());
    const QString base = withBase ? tmp + QDir::toNativeSeparators("/film/") : QString();
    MovieDataFixture f;
    f.project.baseDirectory = base;
    f.project.movieData.menuDirectory = QStringLiteral("before");
    f.form->loadFromProject();

    f.dialogs.queueCancel();
    f.click("bttBrowseMenuDirectory");
    QCOMPARE(f.text("edMenuDirectory"), QStringLiteral("before"));
    const auto& request = f.dialogs.requests().constLast();
    QCOMPARE(request.options.caption, QStringLiteral("Select the menu directory : "));
    QCOMPARE(request.options.startFolder, withBase ? tmp + QDir::toNativeSeparators("/film") : QString());

    f.dialogs.queueAnswer(QDir::toNativeSeparators(dir.path() + QLatin1Char('/') + chosen));
    f.click("bttBrowseMenuDirectory");
    expected.replace(QStringLiteral("<tmp>"), tmp);
    QCOMPARE(f.text("edMenuDirectory"), expected);
    QCOMPARE(f.project.movieData.menuDirectory, f.text("edMenuDirectory"));
    if (refused)
        QCOMPARE(f.messages(), QList<Message>{errorMessage(
                                   "The menu directory must be the same or a subdirectory of the base directory " +
                                   base)});
    else
        QCOMPARE(f.messages(), QList<Message>{});
}

void TestMovieData::languageFilesLastChosenFirst()
{
    QTemporaryDir dir;
    MovieDataFixture f;
    f.project.baseDirectory = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    f.project.movieData.languages.push_back(std::make_unique<AudioLanguage>(AudioLanguage{"0", "EN", "English", ""}));
    f.form->loadFromProject();
    const QString sub = dir.path() + QStringLiteral("/audio/fr/");
    f.dialogs.queueAnswer(QStringList{sub + "cd3.wav", sub + "cd2.wav", sub + "cd1.wav"});
    f.click("bttBrowseLanguage1");
    QCOMPARE(f.text("edLanguageDirectory"), QStringLiteral("audio\\fr"));
    QCOMPARE(f.text("edLangFile1"), QStringLiteral("cd1.wav cd2.wav cd3.wav"));
    // The row itself changes only with Add or Modify.
    QCOMPARE(f.row("lstLanguages", 0).at(3), QString());
}

// A field that says it is chosen with the "..." button has that button beside it, on its row.
void TestMovieData::everyChosenFieldHasItsButton()
{
    MovieDataFixture f;
    QStringList fields;
    const QList<QLineEdit*> edits = f.form->findChildren<QLineEdit*>();
    for (QLineEdit* field : edits) {
        if (field->placeholderText() != QLatin1String("(chosen with the ... button)"))
            continue;
        fields << field->objectName();
        f.showTabOf(field);
        const QRect at(field->mapTo(f.form.get(), QPoint()), field->size());
        bool beside = false;
        const QList<QPushButton*> buttons = f.form->findChildren<QPushButton*>();
        for (QPushButton* b : buttons) {
            const QRect r(b->mapTo(f.form.get(), QPoint()), b->size());
            beside = beside || (b->text() == QLatin1String("...") && b->isVisible() && r.left() >= at.right() &&
                                r.left() - at.right() < 40 && at.top() <= r.center().y() && r.center().y() <= at.bottom());
        }
        QVERIFY2(beside, qPrintable(field->objectName()));
    }
    fields.sort();
    QCOMPARE(fields, (QStringList{"edBaseDirectory", "edLanguageDirectory", "edMenuDirectory", "edMovieDirectory",
                                  "edSubtitlesDirectory"}));
}

void TestMovieData::directoryButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("refusal"); // the message for a folder outside the base directory
    const QString rule = QStringLiteral(" directory must be the same or a subdirectory of the base directory ");
    QTest::newRow("movie") << "bttBrowseMovieDirectory" << "edMovieDirectory" << "Select the movie directory : "
                           << "The movie" + rule;
    QTest::newRow("menu") << "bttBrowseMenuDirectory" << "edMenuDirectory" << "Select the menu directory : "
                          << "The menu" + rule;
    QTest::newRow("languages") << "bttBrowseLanguageDirectory" << "edLanguageDirectory"
                               << "Select the language directory : " << "The language" + rule;
    QTest::newRow("subtitles") << "bttBrowseSubtitlesDirectory" << "edSubtitlesDirectory"
                               << "Select the subtitles directory : " << "The subtitles" + rule;
}

// Each directory button stores the chosen folder relative to the base directory, starts in the
// folder the field names (the base directory before), and refuses a folder outside the base.
void TestMovieData::directoryButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, caption);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("film/a/b"));
    const QString base = QDir::toNativeSeparators(dir.path() + "/film/");
    MovieDataFixture f;
    f.project.baseDirectory = base;
    f.form->loadFromProject();

    f.dialogs.queueAnswer(QDir::toNativeSeparators(dir.path() + "/film/a/b"));
    f.click(qPrintable(button));
    QCOMPARE(f.dialogs.requests().constLast().options.caption, caption);
    QCOMPARE(f.dialogs.requests().constLast().options.startFolder, QDir::toNativeSeparators(dir.path() + "/film"));
    QCOMPARE(f.text(qPrintable(field)), QStringLiteral("a\\b"));

    f.dialogs.queueAnswer(QDir::toNativeSeparators(dir.path() + "/other"));
    f.click(qPrintable(button));
    QCOMPARE(f.dialogs.requests().constLast().options.startFolder, QDir::toNativeSeparators(dir.path() + "/film/a/b"));
    QCOMPARE(f.text(qPrintable(field)), QStringLiteral("a\\b"));
    QCOMPARE(f.messages(), QList<Message>{errorMessage(refusal + base)});
}

void TestMovieData::fileDialogStartsInChosenFolder_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("fields"); // field=value pairs set before
    QTest::addColumn<QString>("start");      // below the base directory; "" the base directory itself
    QTest::newRow("menu video") << "bttBrowseMenuAVI" << QStringList{"edMenuDirectory=menu"} << "menu";
    QTest::newRow("menu audio") << "bttBrowseMenuAudio" << QStringList{"edMenuDirectory=menu\\pics"} << "menu/pics";
    QTest::newRow("menu directory missing") << "bttBrowseMenuAVI" << QStringList{"edMenuDirectory=gone"} << "";
    QTest::newRow("CD 1") << "bttAVI1" << QStringList{"edMovieDirectory=video"} << "video";
    QTest::newRow("CD 3") << "bttAVI3" << QStringList{"edMovieDirectory=video"} << "video";
    QTest::newRow("languages beside the movie") << "bttBrowseLanguage1" << QStringList{"edMovieDirectory=video"}
                                                << "video";
    QTest::newRow("languages in their own")
        << "bttBrowseLanguage1" << QStringList{"edMovieDirectory=video", "edLanguageDirectory=audio"} << "audio";
    QTest::newRow("subtitles beside the movie") << "bttBrowseSubtitles" << QStringList{"edMovieDirectory=video"}
                                                << "video";
    QTest::newRow("subtitles in their own")
        << "bttBrowseSubtitles" << QStringList{"edMovieDirectory=video", "edSubtitlesDirectory=subs"} << "subs";
}

// A file below a folder already chosen is looked for in that folder first, not in the process's
// current directory nor in the base directory.
void TestMovieData::fileDialogStartsInChosenFolder()
{
    QFETCH(QString, button);
    QFETCH(QStringList, fields);
    QFETCH(QString, start);
    QTemporaryDir dir;
    for (const char* sub : {"menu/pics", "video", "audio", "subs"})
        QVERIFY(QDir(dir.path()).mkpath(sub));
    const QString base = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    MovieDataFixture f;
    f.project.baseDirectory = base;
    f.project.movieData.languages.push_back(std::make_unique<AudioLanguage>());
    f.form->loadFromProject();
    for (const QString& pair : fields)
        f.edit(qPrintable(pair.section('=', 0, 0)))->setText(pair.section('=', 1));
    f.dialogs.queueCancel();
    f.click(qPrintable(button));
    QCOMPARE(f.dialogs.requests().constLast().options.startFolder,
             start.isEmpty() ? base : base + QDir::toNativeSeparators(start) + QDir::separator());
}

void TestMovieData::countingFrames()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("video"));
    fixtures::VideoSpec one;
    one.frames = 40;
    fixtures::VideoSpec two;
    two.frames = 25;
    two.kind = fixtures::VideoKind::Mjpeg;
    fixtures::writeVideo(dir.path() + "/video/cd1.avi", one);
    fixtures::writeVideo(dir.path() + "/video/cd2.avi", two);

    MovieDataFixture f;
    f.project.baseDirectory = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    f.project.movieData.cd3Frames = QStringLiteral("kept");
    f.form->loadFromProject();
    f.form->show();

    // Choosing CD 1 counts nothing.
    f.dialogs.queueAnswer(dir.path() + "/video/cd1.avi");
    f.click("bttAVI1");
    QCOMPARE(f.text("edMovieDirectory"), QStringLiteral("video"));
    QCOMPARE(f.text("edMovieCD1Frames"), QString());

    // Choosing CD 2 counts CD 1 and CD 2; CD 3 has no file and keeps its text.
    f.dialogs.queueAnswer(dir.path() + "/video/cd2.avi");
    f.click("bttAVI2");
    QCOMPARE(f.text("edMovieAVI2Name"), QStringLiteral("cd2.avi"));
    QCOMPARE(f.text("edMovieCD1Frames"), QStringLiteral("40"));
    QCOMPARE(f.text("edMovieCD2Frames"), QStringLiteral("25"));
    QCOMPARE(f.text("edMovieCD3Frames"), QStringLiteral("kept"));
    QCOMPARE(f.project.movieData.cd2Frames, QStringLiteral("25"));
    QCOMPARE(f.get<QLabel>("lbCDFramesState")->text(), QString());
    QCOMPARE(f.messages(), QList<Message>{});
}

void TestMovieData::countingFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not an AVI") << "garbage";
    QTest::newRow("no video stream") << "audio";
}

void TestMovieData::countingFailures()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    fixtures::VideoSpec video;
    video.frames = 30;
    fixtures::writeVideo(dir.path() + "/cd1.avi", video);
    fixtures::writeVideo(dir.path() + "/cd3.avi", video);
    if (kind == QLatin1String("garbage"))
        fixtures::writeNotAvi(dir.path() + "/cd2.avi");
    else if (kind == QLatin1String("audio"))
        fixtures::writeAudioOnlyAvi(dir.path() + "/cd2.avi");

    MovieDataFixture f;
    f.project.baseDirectory = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    f.project.movieData.movieDirectory = QStringLiteral(".");
    f.project.movieData.aviName = QStringLiteral("cd1.avi");
    f.project.movieData.avi2Name = QStringLiteral("cd2.avi");
    f.project.movieData.avi3Name = QStringLiteral("cd3.avi");
    f.project.movieData.cd2Frames = QStringLiteral("999");
    f.form->show();

    // The status text names the CD being counted while its message is up.
    QStringList statusAtMessage;
    f.dialogs.onMessage = [&](const Message&) { statusAtMessage << f.get<QLabel>("lbCDFramesState")->text(); };
    f.click("bttAuto");
    QCOMPARE(f.text("edMovieCD1Frames"), QStringLiteral("30"));
    QCOMPARE(f.text("edMovieCD2Frames"), QStringLiteral("0"));
    QCOMPARE(f.text("edMovieCD3Frames"), QStringLiteral("30"));
    QCOMPARE(f.messages().size(), 1);
    QCOMPARE(statusAtMessage, QStringList{"Getting frames number for CD2, please wait ..."});
    const QString expected = kind == QLatin1String("audio") ? QStringLiteral("# AVIFileGetStream : AVI source init error !")
                                                            : QStringLiteral("# AVIFileOpen : AVI source init error !");
    QCOMPARE(f.messages().constFirst().text, expected);
    QCOMPARE(f.get<QLabel>("lbCDFramesState")->text(), QString());
}

QTEST_MAIN(TestMovieData)
#include "test_moviedata.moc"
