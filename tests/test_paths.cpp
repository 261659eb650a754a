#include <QtTest>

#include "core/paths.h"

// The path helper decides what may be stored as lying below the base directory, so its cases are the
// ones where a wrong answer would store a path the player cannot reach or one outside the folder.
class TestPaths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void normalisedRoot_data();
    void normalisedRoot();
    void relativeFile_data();
    void relativeFile();
};

void TestPaths::normalisedRoot_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("expected");
    QTest::newRow("trailing separator added") << "/m/film" << "/m/film/";
    QTest::newRow("kept as it is") << "/m/film/" << "/m/film/";
    QTest::newRow("base and dot") << "/m/film/." << "/m/film/";
    QTest::newRow("dot inside") << "/m/./film/" << "/m/film/";
    QTest::newRow("dots one after the other") << "/m/././film/./" << "/m/film/";
    QTest::newRow("backslash dot backslash") << "/m/film\\.\\video" << "/m/film\\video/";
    QTest::newRow("dot in a name stays") << "/m/film.d/" << "/m/film.d/";
    QTest::newRow("empty holds nothing") << "" << "";
}

void TestPaths::normalisedRoot()
{
    QFETCH(QString, root);
    QFETCH(QString, expected);
    QCOMPARE(paths::normalisedRoot(root), expected);
}

void TestPaths::relativeFile_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::newRow("subfolder") << "/m/film/" << "/m/film/video/film.avi" << true << "video" << "film.avi";
    QTest::newRow("in the root") << "/m/film/" << "/m/film/film.avi" << true << "." << "film.avi";
    QTest::newRow("nested") << "/m/film/" << "/m/film/video/cd1/a.avi" << true << "video\\cd1" << "a.avi";
    QTest::newRow("doubled separator") << "/m/film/" << "/m/film//video/a.avi" << true << "video" << "a.avi";
    QTest::newRow("elsewhere") << "/m/film/" << "/other/film.avi" << false << "" << "";
    QTest::newRow("letter case differs") << "/m/film/" << "/m/Film/video/a.avi" << false << "" << "";
    QTest::newRow("shorter than the root") << "/m/film/" << "/m/fil" << false << "" << "";
    QTest::newRow("sibling with common prefix") << "/m/film/" << "/m/filmx/a.avi" << false << "" << "";
    QTest::newRow("climbs out") << "/m/film/" << "/m/film/../secret/a.avi" << false << "" << "";
    QTest::newRow("no root") << "" << "/m/film/a.avi" << false << "" << "";
}

void TestPaths::relativeFile()
{
    QFETCH(QString, root);
    QFETCH(QString, file);
    QFETCH(bool, accepted);
    const auto result = paths::relativeFile(root, file);
    QCOMPARE(result.has_value(), accepted);
    if (accepted) {
        QTEST(result->directory, "directory");
        QTEST(result->fileName, "name");
    }
}

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
