#include <QtTest>

#include "dialogs/qtdialogservice.h"
#include "dialogs/scripteddialogservice.h"

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void nameFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("one, two patterns")
            << "VRPL INI files (*.ini;*.vrm)|*.INI;*.VRM"
            << QStringList{"VRPL INI files (*.ini;*.vrm) (*.INI *.ini *.VRM *.vrm)"};
        QTest::newRow("two descriptions")
            << "AVI|*.avi|All files|*.*"
            << QStringList{"AVI (*.avi *.AVI)", "All files (*.*)"};
        QTest::newRow("blanks and empty patterns") << "Pictures | *.jpg ; ;*.JPEG"
                                                   << QStringList{"Pictures (*.jpg *.JPG *.JPEG *.jpeg)"};
        QTest::newRow("description without patterns") << "Anything" << QStringList{"Anything (*)"};
        QTest::newRow("trailing bar") << "AVI|*.avi|" << QStringList{"AVI (*.avi *.AVI)"};
    }

    void nameFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(QtDialogService::toQtNameFilters(filter), expected);
    }

    // Patterns must still match on a case-sensitive file system, whatever case the file has.
    void nameFiltersMatchAnyCase_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("lower") << "menu.ini";
        QTest::newRow("upper") << "MENU.INI";
        QTest::newRow("other extension") << "menu.vrm";
    }

    void nameFiltersMatchAnyCase()
    {
        QFETCH(QString, fileName);
        const QString qtFilter = QtDialogService::toQtNameFilters("INI|*.INI;*.Vrm").constFirst();
        const QString inside = qtFilter.mid(qtFilter.lastIndexOf('(') + 1).chopped(1);
        bool matched = false;
        for (const QString& pattern : inside.split(' ')) {
            const auto re = QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive);
            matched = matched || re.match(fileName).hasMatch();
        }
        QVERIFY2(matched, qPrintable(qtFilter));
    }

    void scriptedAnswersInOrderThenCancels()
    {
        ScriptedDialogService dialogs;
        dialogs.queueAnswer(QStringList{"/a/one.avi", "/a/two.avi"});
        dialogs.queueAnswer(QString("/b/saved"));
        dialogs.queueAnswer(QString("/c"));

        DialogService::FileDialogOptions open;
        open.caption = "Open";
        open.filter = "AVI|*.avi";
        open.startFolder = "/a";
        open.multipleSelection = true;
        QCOMPARE(dialogs.getOpenFileNames(open), (QStringList{"/a/one.avi", "/a/two.avi"}));

        DialogService::FileDialogOptions save;
        save.defaultExtension = "ini";
        QCOMPARE(dialogs.getSaveFileName(save), QString("/b/saved.ini"));
        QCOMPARE(dialogs.browseFolder("Pick", "/start"), QString("/c"));

        // The queue is empty now: every dialog is cancelled.
        QCOMPARE(dialogs.getOpenFileNames(open), QStringList());
        QCOMPARE(dialogs.getSaveFileName(save), QString());
        QCOMPARE(dialogs.browseFolder("Pick", "/start"), QString());

        QCOMPARE(dialogs.requests().size(), 6);
        QCOMPARE(dialogs.requests().at(0).kind, ScriptedDialogService::Kind::OpenFiles);
        QCOMPARE(dialogs.requests().at(0).options.filter, QString("AVI|*.avi"));
        QCOMPARE(dialogs.requests().at(0).options.startFolder, QString("/a"));
        QVERIFY(dialogs.requests().at(0).options.multipleSelection);
        QCOMPARE(dialogs.requests().at(2).kind, ScriptedDialogService::Kind::Folder);
        QCOMPARE(dialogs.requests().at(2).options.startFolder, QString("/start"));
        QCOMPARE(dialogs.requests().at(2).options.caption, QString("Pick"));
    }

    void scriptedSingleSelectionGivesOneFile()
    {
        ScriptedDialogService dialogs;
        dialogs.queueAnswer(QStringList{"/x", "/y"});
        QCOMPARE(dialogs.getOpenFileNames({}), QStringList{"/x"});
    }

    void scriptedRecordsMessagesThroughSink()
    {
        ScriptedDialogService dialogs;
        QWidget owner;
        int seen = 0;
        dialogs.onMessage = [&](const Message&) { ++seen; };
        const MessageSink sink = dialogs.sinkFor(&owner);
        sink({"Unable to open AVI file", kCaptionError, MessageIcon::Error});
        QCOMPARE(seen, 1);
        QCOMPARE(dialogs.messages(),
                 (QList<Message>{{"Unable to open AVI file", kCaptionError, MessageIcon::Error}}));
        QCOMPARE(dialogs.shownMessages().constFirst().owner.data(), &owner);
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
