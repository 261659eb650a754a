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

    // A text file's writer never replaces a video, a picture or binary data; text, an empty file and
    // no file at all are written. The first bytes decide, also through a link and with text after them.
    void textOnlyReplacesOnlyText_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QString>("looksLike"); // empty: written
        QTest::newRow("no file") << QByteArray() << "";
        QTest::newRow("a menu") << QByteArray("[Vireo Ini File]\r\n") << "";
        QTest::newRow("UTF-8 text") << QByteArray("\xEF\xBB\xBF" "Caf\xC3\xA9\r\n") << "";
        QTest::newRow("AVI") << QByteArray("RIFF\x10\0\0\0AVI LIST[MAIN]\r\n", 22) << "an AVI video";
        QTest::newRow("JPEG") << QByteArray("\xFF\xD8\xFF\xE0[MAIN]") << "a JPEG picture";
        QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1A\n[MAIN]") << "a PNG picture";
        QTest::newRow("MPEG program stream") << QByteArray("\0\0\x01\xBA[MAIN]", 10) << "an MPEG video";
        QTest::newRow("MPEG video") << QByteArray("\0\0\x01\xB3[MAIN]", 10) << "an MPEG video";
        QTest::newRow("UTF-16 text") << QByteArray("\xFF\xFE[\0M\0", 6) << "UTF-16 text";
        QTest::newRow("a NUL at the end of the first 4 KiB") << QByteArray(4095, 'a') + '\0' << "binary data";
        QTest::newRow("a NUL after the first 4 KiB") << QByteArray(4096, 'a') + '\0' << "";
    }

    void textOnlyReplacesOnlyText()
    {
        QFETCH(QByteArray, old);
        QFETCH(QString, looksLike);
        QTemporaryDir dir;
        const QString real = dir.filePath("movie.avi");
        const QString path = dir.filePath("link.ini");
        if (!old.isEmpty()) {
            QFile f(real);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        }
        QVERIFY(QFile::link(real, path));
        const FileWriteResult r = writeFileSafely(path, "[MAIN]\r\n", ReplaceRule::TextOnly);
        QCOMPARE(r.notText, looksLike);
        QCOMPARE(bool(r), looksLike.isEmpty());
        QFile f(real);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), looksLike.isEmpty() ? QByteArray("[MAIN]\r\n") : old);
        if (!r)
            QCOMPARE(fileWriteFailureText(path, r),
                     "link.ini is not a text file (it looks like " + looksLike + "); choose another name.");
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "test_safefile.moc"
