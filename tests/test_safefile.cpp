// The one file writer: what a successful write leaves behind besides the new content.
#include <QtTest>

#include <sys/stat.h>

#include "core/safefile.h"

class TestSafeFile : public QObject
{
    Q_OBJECT

private slots:
    // The new file takes the old one's place as it was: its permissions, a link staying a link, and
    // no temporary file beside it.
    void replacesOnlyTheContent_data()
    {
        QTest::addColumn<QString>("before"); // "none", "file 0640", "link"
        QTest::newRow("a new file") << "none";
        QTest::newRow("over a file with its own permissions") << "file 0640";
        QTest::newRow("through a link") << "link";
    }

    void replacesOnlyTheContent()
    {
        QFETCH(QString, before);
        QTemporaryDir dir;
        const QString path = dir.filePath("menu.ini");
        const QString real = dir.filePath("real.ini");
        const mode_t oldMask = ::umask(022);
        if (before == "file 0640") {
            QVERIFY(writeFileSafely(path, "old"));
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        } else if (before == "link") {
            QVERIFY(writeFileSafely(real, "old"));
            QVERIFY(QFile::link(real, path));
        }
        const FileWriteResult r = writeFileSafely(path, "new content\r\n");
        ::umask(oldMask);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.error, QString());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new content\r\n"));
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), before == "file 0640" ? 0640 : 0644);
        QCOMPARE(QFileInfo(path).isSymLink(), before == "link");
        const QStringList expected = before == "link" ? QStringList{"menu.ini", "real.ini"} : QStringList{"menu.ini"};
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name), expected);
    }

    // A folder where the file should be: refused with the system's words, the folder left alone.
    void refusesAFolder()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("menu.ini"));
        const FileWriteResult r = writeFileSafely(dir.filePath("menu.ini"), "x");
        QVERIFY(!r);
        QCOMPARE(r.error, qt_error_string(EISDIR));
        QVERIFY(r.oldFileKept);
        QVERIFY(QFileInfo(dir.filePath("menu.ini")).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "test_safefile.moc"
