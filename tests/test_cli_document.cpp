// The command-line companion's document commands, run as the user runs them.
#include <QtTest>

#include "clitestutil.h"
#include "documenttestutil.h"

class TestCliDocument : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void commands_data();
    void commands();
    void normalizeWritesAtomically();

private:
    QTemporaryDir m_dir;
    QString write(const QString& name, const QByteArray& bytes);
};

QString TestCliDocument::write(const QString& name, const QByteArray& bytes)
{
    QFile f(m_dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return f.fileName();
}

void TestCliDocument::initTestCase()
{
    QVERIFY(m_dir.isValid());
    write("good.ini", crlf(minimalHead() + QList<QByteArray>{"[PAGE=1]\t\t;One", "\t[SELECTION=1]\t\t;S",
                                                             "\t\tAction=2#3", "\t\tParameter=#1"}));
    write("messages.ini", crlf(minimalHead() + QList<QByteArray>{"[CHAPTERS]", "1=120", "[PAGE=1]\t\t;One",
                                                                 "\tVideoLoop=x"}));
    write("nomenupage.ini", crlf(minimalHead() + QList<QByteArray>{"[MENU]", "Directory=m", "StartPage=1"}));
    write("unix.ini", (minimalHead() + QList<QByteArray>{"[PAGE=2]\t\t;Two"}).join('\n'));
}

void TestCliDocument::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("check clean") << QStringList{"check", "good.ini"} << 0
                                 << QByteArray("1 pages, 1 selections, 2 actions\n") << QByteArray();
    QTest::newRow("check with messages")
        << QStringList{"check", "messages.ini"} << 1
        << QByteArray("Error: Malformed chapter entry : <120>, Leaving chapters parsing\n"
                      "VRPL VazoVevoz: Syntax error on line 14 <VideoLoop=x>\n"
                      "1 pages, 0 selections, 0 actions\n")
        << QByteArray();
    QTest::newRow("check missing file") << QStringList{"check", "missing.ini"} << 2
                                        << QByteArray("Error: Can't open file\n") << QByteArray();
    QTest::newRow("check a folder") << QStringList{"check", "."} << 2 << QByteArray("Error: Can't open file\n")
                                    << QByteArray();
    QTest::newRow("normalize to standard output")
        << QStringList{"normalize", "unix.ini"} << 0
        << crlf(minimalHead() + QList<QByteArray>{"[PAGE=2]\t\t;Two", "\tBackgroundMode=2", "\tPictureFile=",
                                                  "\tPictureDuration=0", "\tSelectionAvailable=0", ""})
        << QByteArray();
    QTest::newRow("normalize with a failing check")
        << QStringList{"normalize", "nomenupage.ini"} << 1 << QByteArray()
        << QByteArray("VRPL VazoVevoz: You must set the menu 'menu page'.\n");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray() << QByteArray();
    QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("vrplmenu " VAZO_VERSION "\n")
                             << QByteArray();
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << QByteArray() << QByteArray();
}

void TestCliDocument::commands()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    for (QString& a : args)
        if (a.endsWith(".ini") || a == ".")
            a = m_dir.filePath(a);
    const CliRun r = runVrplmenu(args);
    QCOMPARE(r.exitCode, exitCode);
    if (QByteArray(QTest::currentDataTag()) == "help") {
        QVERIFY(r.out.startsWith("Usage: vrplmenu COMMAND"));
        return;
    }
    if (QByteArray(QTest::currentDataTag()) == "unknown command") {
        QVERIFY(r.err.contains("unknown command 'frobnicate'"));
        return;
    }
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
}

void TestCliDocument::normalizeWritesAtomically()
{
    const QString out = write("out.ini", "previous\r\n");
    CliRun r = runVrplmenu({"normalize", m_dir.filePath("nomenupage.ini"), "-o", out});
    QCOMPARE(r.exitCode, 1);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("previous\r\n"));
    f.close();

    r = runVrplmenu({"normalize", m_dir.filePath("good.ini"), "-o", out});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().endsWith("\t\tAction=2#3\r\n\t\tParameter=#1\r\n\r\n"));

    // A file whose head stops the reading is not written over with what little was read.
    const QString broken = write("broken.ini", "[MAIN]\r\nTitle=only a title\r\n");
    r = runVrplmenu({"normalize", broken, "-o", broken});
    QCOMPARE(r.exitCode, 1);
    QFile b(broken);
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), QByteArray("[MAIN]\r\nTitle=only a title\r\n"));
}

QTEST_GUILESS_MAIN(TestCliDocument)
#include "test_cli_document.moc"
