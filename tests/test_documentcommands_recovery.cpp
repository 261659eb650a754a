// Never losing work and finding it again: the question before a project with changes is left (New,
// Open, Quit, closing the window), the autosave, the recovery of the work of a program that was
// killed, and the recent files of the File menu.
#include "editorstestutil.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QUndoStack>

#include "document/projectwriter.h"
#include "media/videosource.h"

namespace {

using Choice = DialogService::Choice;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A menu file without a video that opens without a message and saves as it was read.
QString writeMenu(const QString& path)
{
    QFile f(path);
    const QByteArray bytes = "[Vireo Ini File]\r\n\r\n[MAIN]\r\nTitle=Film\r\nID=F1\r\n\r\n[MOVIE]\r\nDirectory=.\r\n"
                             "AVIName=film.avi\r\n\r\n";
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The demo menu with its video and pictures, copied so that nothing here can touch the original.
QString copyDemo(const QString& to)
{
    const QDir from(QStringLiteral(VAZO_SOURCE_DIR "/examples/demo"));
    QDirIterator it(from.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = QDir(to).filePath(from.relativeFilePath(file));
        QDir().mkpath(QFileInfo(target).path());
        if (!QFile::copy(file, target))
            qFatal("cannot copy %s", qPrintable(file));
    }
    return QDir(to).filePath(QStringLiteral("demo.ini"));
}

} // namespace

class TestDocumentCommandsRecovery : public QObject
{
    Q_OBJECT

    EditorHarness h;
    std::unique_ptr<QTemporaryDir> m_dataHome; // the user's data folder, where recovery files go
    std::unique_ptr<QTemporaryDir> m_files;

    QStringList recoveryFiles() const
    {
        return QDir(m_dataHome->filePath(kAppTitle + QStringLiteral("/recovery")))
            .entryList({QStringLiteral("autosave-*.ini")}, QDir::Files);
    }
    QString file(const QString& name) const { return m_files->filePath(name); }

private slots:
    void initTestCase()
    {
        // The program's name decides its data folder; the test's must be the program's.
        applyApplicationSettings(*qApp);
    }

    void init()
    {
        m_dataHome = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome->path()));
    }

    void cleanup()
    {
        h.stop();
        // After Quit has ended the application's loop, Qt ends every later loop at once until the
        // application's own has run again: run it once, empty.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    void leavingAModifiedProject_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<Choice>("answer");
        QTest::addColumn<bool>("goesOn");
        for (const char* way : {"New", "Ctrl+O", "Ctrl+Q", "close the window"}) {
            QTest::addRow("%s, unchanged", way) << way << false << Choice::Cancel << true;
            QTest::addRow("%s, Save", way) << way << true << Choice::Save << true;
            QTest::addRow("%s, Discard", way) << way << true << Choice::Discard << true;
            QTest::addRow("%s, Cancel", way) << way << true << Choice::Cancel << false;
        }
    }

    void leavingAModifiedProject()
    {
        QFETCH(QString, way);
        QFETCH(bool, modified);
        QFETCH(Choice, answer);
        QFETCH(bool, goesOn);
        h.start(false);
        QVERIFY(QTest::qWaitForWindowActive(&h.main()));
        const QString path = writeMenu(file(QStringLiteral("menu.ini")));
        QVERIFY(h.main().OpenProject(path));
        if (modified)
            h.edits().setMovieText(&MovieData::title, QStringLiteral("Changed"), QStringLiteral("Title"));
        h.dialogs.clear();
        h.dialogs.queueChoice(answer);
        h.main().setModalRunner([](QDialog&) { return int(QDialog::Rejected); });

        bool wentOn = false;
        if (way == "New") {
            child<QAction>(&h.main(), QStringLiteral("miNew"))->trigger();
            wentOn = h.main().documentName() == kNewFileName;
        } else if (way == "Ctrl+O") {
            QTest::keyClick(&h.main(), Qt::Key_O, Qt::ControlModifier);
            wentOn = !h.dialogs.requests().isEmpty(); // the file dialog came
        } else {
            // Both end the program's event loop when they go on.
            QEventLoop loop;
            QTimer::singleShot(0, &loop, [&] {
                if (way == "Ctrl+Q")
                    QTest::keyClick(&h.main(), Qt::Key_Q, Qt::ControlModifier);
                else
                    h.main().close();
                if (loop.isRunning())
                    loop.exit(1);
            });
            wentOn = loop.exec() == 0;
            if (way == "close the window")
                QCOMPARE(h.main().isVisible(), !wentOn);
        }
        QCOMPARE(h.dialogs.questions(), modified ? QStringList{"Save changes to menu.ini?"} : QStringList());
        QCOMPARE(wentOn, goesOn);
        QCOMPARE(readAll(path).contains("Title=Changed"), answer == Choice::Save && modified);
    }

    void autosave_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("left");
        QTest::newRow("unchanged") << QStringList{"autosave"} << false;
        QTest::newRow("changed") << QStringList{"edit", "autosave"} << true;
        QTest::newRow("saved since") << QStringList{"edit", "autosave", "save"} << false;
        QTest::newRow("undone since") << QStringList{"edit", "autosave", "undo"} << false;
        // A title the file's code page cannot hold stops any save, the autosave's too.
        QTest::newRow("refused by a save check") << QStringList{"unsavable edit", "autosave"} << false;
        QTest::newRow("the last one kept") << QStringList{"edit", "autosave", "unsavable edit", "autosave"} << true;
        QTest::newRow("clean exit") << QStringList{"edit", "autosave", "exit"} << false;
    }

    void autosave()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, left);
        const QString path = writeMenu(file(QStringLiteral("menu.ini")));
        const QByteArray original = readAll(path);
        h.start(false);
        h.app->begin(path);
        const QString recovery = h.main().autosavePath();
        QVERIFY(recovery.startsWith(m_dataHome->path()));
        QByteArray written;
        for (const QString& step : steps) {
            if (step == "edit") {
                h.edits().setMovieText(&MovieData::title, QStringLiteral("Changed"), QStringLiteral("Title"));
            } else if (step == "unsavable edit") {
                h.edits().setMovieText(&MovieData::title, QStringLiteral("\u6f22\u5b57"), QStringLiteral("Title"));
            } else if (step == "autosave") {
                h.main().autosave();
                if (const auto bytes = BuildMenuFile(h.project(), [](const Message&) {}))
                    written = *bytes;
            } else if (step == "save") {
                h.main().miMMSaveINIClick();
            } else if (step == "undo") {
                h.edits().stack().undo();
            } else if (step == "exit") {
                h.stop();
            }
        }
        QCOMPARE(QFileInfo::exists(recovery), left);
        if (left)
            QCOMPARE(readAll(recovery), written);
        QCOMPARE(readAll(path).contains("Title=Changed"), steps.contains("save"));
        QVERIFY(steps.contains("save") || readAll(path) == original);
        QCOMPARE(h.dialogs.messages(), QList<Message>());
    }

    void recoveryAfterTheProgramWasKilled_data()
    {
        QTest::addColumn<Choice>("answer");
        QTest::newRow("recovered") << Choice::Yes;
        QTest::newRow("declined") << Choice::No;
    }

    void recoveryAfterTheProgramWasKilled()
    {
        QFETCH(Choice, answer);
        const QString demoDir = file(QStringLiteral("demo"));
        const QString path = copyDemo(demoDir);
        const QByteArray original = readAll(path);

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), file(QStringLiteral("config")));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(RECOVERY_CHILD_PATH), {path});
        const auto stopProgram = qScopeGuard([&program] {
            program.kill();
            program.waitForFinished();
        });
        QVERIFY(program.waitForStarted());
        while (!program.canReadLine() && program.state() == QProcess::Running)
            program.waitForReadyRead(1000);
        const QString left = QString::fromLocal8Bit(program.readLine()).trimmed();
        QVERIFY2(QFileInfo::exists(left), qPrintable(left));

        // The work of a program that is still running is its own.
        h.start(false);
        h.app->begin();
        QCOMPARE(h.dialogs.questions(), QStringList());
        h.stop();
        QVERIFY(QFileInfo::exists(left));

        const QString when = QLocale().toString(QFileInfo(left).lastModified(), QLocale::ShortFormat);
        program.kill();
        QVERIFY(program.waitForFinished());

        h.start(false);
        h.dialogs.queueChoice(answer);
        h.app->begin();
        QCOMPARE(h.dialogs.questions(), QStringList{"Recover unsaved work from " + when + "?"});
        QVERIFY(!QFileInfo::exists(left));
        if (answer == Choice::Yes) {
            // The work as it was, under its own name and in its own folder (so its video opens), not
            // saved, and safe again in this program's own recovery file.
            QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(path));
            QCOMPARE(h.project().baseDirectory, QDir::toNativeSeparators(demoDir) + QDir::separator());
            QVERIFY(h.main().isModified());
            QVERIFY(h.main().caption().contains('*'));
            QCOMPARE(h.project().movieData.title, QStringLiteral("Recovered work"));
            QCOMPARE(h.project().pages.size(), size_t(7));
            QCOMPARE(h.project().pages.front()->name, QStringLiteral("Main menu"));
            QVERIFY(h.main().videoSource().isOpen());
            QCOMPARE(recoveryFiles(), QStringList{QFileInfo(h.main().autosavePath()).fileName()});
        } else {
            QCOMPARE(h.main().documentName(), kNewFileName);
            QVERIFY(!h.main().isModified());
            QCOMPARE(recoveryFiles(), QStringList());
        }
        QCOMPARE(h.dialogs.messages(), QList<Message>());
        QCOMPARE(readAll(path), original);

        // Nothing is offered twice.
        h.stop();
        h.start(false);
        h.app->begin();
        QCOMPARE(h.dialogs.questions(), QStringList());
    }

    // Two runs of the program were killed, each leaving its work behind. One start recovers one of
    // them (the newest first); the other waits, untouched, for the next start, and is never offered
    // twice nor read over the work just recovered.
    void workOfTwoKilledRuns_data()
    {
        QTest::addColumn<QList<Choice>>("answers"); // at the first start
        QTest::addColumn<QStringList>("asked");     // the works asked about, newest first
        QTest::addColumn<QString>("recovered");     // the title of the work recovered, "" for none
        QTest::addColumn<QStringList>("waiting");   // the works offered at the next start
        QTest::newRow("the newest recovered") << QList<Choice>{Choice::Yes, Choice::Yes} << QStringList{"B"} << "B"
                                              << QStringList{"A"};
        QTest::newRow("the newest declined") << QList<Choice>{Choice::No, Choice::Yes} << QStringList{"B", "A"} << "A"
                                             << QStringList();
        QTest::newRow("both declined") << QList<Choice>{Choice::No, Choice::No} << QStringList{"B", "A"} << ""
                                       << QStringList();
    }

    void workOfTwoKilledRuns()
    {
        QFETCH(QList<Choice>, answers);
        QFETCH(QStringList, asked);
        QFETCH(QString, recovered);
        QFETCH(QStringList, waiting);
        const QDir folder(m_dataHome->filePath(kAppTitle + QStringLiteral("/recovery")));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        // What a killed run leaves: its menu file and the note of the project's own name and folder; its
        // lock went with its process.
        QHash<QString, QString> questionOf;
        const QDateTime now = QDateTime::currentDateTime();
        for (const QString& work : {QStringLiteral("A"), QStringLiteral("B")}) {
            const QString original = writeMenu(file(work + QStringLiteral(".ini")));
            const QString base = folder.filePath(QStringLiteral("autosave-%1").arg(work == "A" ? 999990 : 999991));
            QFile menu(base + QStringLiteral(".ini"));
            QVERIFY(menu.open(QIODevice::WriteOnly));
            menu.write(readAll(original).replace("Title=Film", "Title=Work " + work.toLatin1()));
            menu.close();
            QFile note(base + QStringLiteral(".json"));
            QVERIFY(note.open(QIODevice::WriteOnly));
            note.write(QJsonDocument(QJsonObject{{"document", QDir::toNativeSeparators(original)},
                                                 {"baseDirectory", QDir::toNativeSeparators(m_files->path()) + '/'}})
                           .toJson());
            note.close();
            const QDateTime when = now.addSecs(work == "A" ? -7200 : -60); // A was killed first
            QVERIFY(menu.open(QIODevice::ReadWrite) && menu.setFileTime(when, QFileDevice::FileModificationTime));
            menu.close();
            questionOf[work] = "Recover unsaved work from " + QLocale().toString(when, QLocale::ShortFormat) + "?";
        }
        auto questionsFor = [&](const QStringList& works) {
            QStringList q;
            for (const QString& w : works)
                q << questionOf.value(w);
            return q;
        };

        h.start(false);
        for (Choice c : answers)
            h.dialogs.queueChoice(c);
        h.app->begin();
        QCOMPARE(h.dialogs.questions(), questionsFor(asked));
        if (recovered.isEmpty()) {
            QVERIFY(!h.main().isModified());
            QCOMPARE(h.main().documentName(), kNewFileName);
        } else {
            QCOMPARE(h.project().movieData.title, "Work " + recovered);
            QCOMPARE(h.main().documentName(), QDir::toNativeSeparators(file(recovered + QStringLiteral(".ini"))));
            QVERIFY(h.main().isModified());
        }
        QCOMPARE(h.dialogs.messages(), QList<Message>());
        // The author's files were never touched.
        QVERIFY(!readAll(file(QStringLiteral("A.ini"))).contains("Work"));
        QVERIFY(!readAll(file(QStringLiteral("B.ini"))).contains("Work"));
        const QString recoveredTitle = h.project().movieData.title;

        // The next start, while the first still runs: only the work still waiting, once; the first's
        // recovered project stays as it is.
        EditorHarness second;
        second.start(false);
        second.dialogs.queueChoice(Choice::No);
        second.app->begin();
        QCOMPARE(second.dialogs.questions(), questionsFor(waiting));
        second.stop();
        QCOMPARE(h.project().movieData.title, recoveredTitle);
        h.stop();
        h.start(false);
        h.app->begin();
        QCOMPARE(h.dialogs.questions(), QStringList());
    }

    void recentFiles_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("message");
        QTest::newRow("newest first") << QStringList{"open 1", "open 2", "open 3"} << QStringList{"3", "2", "1"} << "";
        QTest::newRow("opened again") << QStringList{"open 1", "open 2", "open 3", "open 1"}
                                      << QStringList{"1", "3", "2"} << "";
        QTest::newRow("saved as") << QStringList{"open 1", "save as 9"} << QStringList{"9", "1"} << "";
        QStringList ten;
        for (int i = 1; i <= 10; ++i)
            ten << QStringLiteral("open %1").arg(i);
        QTest::newRow("eight at most") << ten << QStringList{"10", "9", "8", "7", "6", "5", "4", "3"} << "";
        QTest::newRow("chosen") << QStringList{"open 1", "open 2", "choose 2"} << QStringList{"1", "2"} << "";
        QTest::newRow("kept between runs") << QStringList{"open 1", "open 2", "restart"} << QStringList{"2", "1"} << "";
        QTest::newRow("gone when chosen") << QStringList{"open 1", "open 2", "open 3", "delete 2", "choose 2"}
                                          << QStringList{"3", "1"} << "2";
    }

    void recentFiles()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        h.start(false);
        auto path = [this](const QString& n) { return QDir::toNativeSeparators(file(n + QStringLiteral(".ini"))); };
        for (const QString& step : steps) {
            const QString arg = step.section(' ', -1);
            if (step.startsWith("open")) {
                h.dialogs.queueAnswer(writeMenu(path(arg)));
                h.main().miMMOpenINIClick();
            } else if (step.startsWith("save as")) {
                h.dialogs.queueAnswer(path(arg));
                h.main().miMMSaveasINIClick();
            } else if (step.startsWith("delete")) {
                QFile::remove(path(arg));
            } else if (step.startsWith("choose")) {
                child<QAction>(&h.main(), "miRecentFile" + arg)->trigger();
            } else if (step == "restart") {
                h.app.reset();
                h.app = std::make_unique<Application>(&h.dialogs);
            }
        }
        QStringList shown;
        const QList<QAction*> items = h.main().recentFilesMenu()->actions();
        for (QAction* item : items) {
            if (item->isVisible())
                shown << item->text();
        }
        QStringList want;
        for (qsizetype i = 0; i < expected.size(); ++i)
            want << QStringLiteral("&%1 %2").arg(i + 1).arg(path(expected.at(i)));
        QCOMPARE(shown, want);
        if (!message.isEmpty())
            QCOMPARE(h.dialogs.messages().constLast().text,
                     "The file " + path(message) + " no longer exists. It was removed from the recent files.");
        else
            QCOMPARE(h.dialogs.messages(), QList<Message>());
    }
};

QTEST_MAIN(TestDocumentCommandsRecovery)
#include "test_documentcommands_recovery.moc"
