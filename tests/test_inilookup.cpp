// Key lookup over the head of a menu file and the text encoding every byte passes through.
#include <QtTest>

#include "core/inilookup.h"
#include "core/textencoding.h"

class TestIniLookup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lookup_data();
    void lookup();
    void readInt_data();
    void readInt();
    void longValuesAreCut();
    void everyByteSurvivesWindows1252();
    void encodingDetection_data();
    void encodingDetection();
    void unencodableCharacters();
};

void TestIniLookup::lookup_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("[MAIN]\r\nTitle=Film\r\n") << "MAIN" << "Title" << "Film";
    QTest::newRow("section case") << QByteArray("[main]\r\nTitle=Film\r\n") << "MAIN" << "Title" << "Film";
    QTest::newRow("key case") << QByteArray("[MAIN]\r\ntItLe=Film\r\n") << "MAIN" << "TITLE" << "Film";
    QTest::newRow("blanks around key and value")
        << QByteArray("[MAIN]\r\n  Title  =   Film Noir \t\r\n") << "MAIN" << "Title" << "Film Noir";
    QTest::newRow("blanks inside brackets") << QByteArray("[ MAIN ]\r\nTitle=Film\r\n") << "MAIN" << "Title" << "Film";
    QTest::newRow("missing key") << QByteArray("[MAIN]\r\nTitle=Film\r\n") << "MAIN" << "ID" << "";
    QTest::newRow("missing section") << QByteArray("[MAIN]\r\nTitle=Film\r\n") << "MOVIE" << "Title" << "";
    QTest::newRow("first key wins") << QByteArray("[MAIN]\r\nTitle=One\r\nTitle=Two\r\n") << "MAIN" << "Title"
                                    << "One";
    QTest::newRow("first section wins")
        << QByteArray("[MAIN]\r\nTitle=One\r\n[MOVIE]\r\n[MAIN]\r\nTitle=Two\r\nID=X\r\n") << "MAIN" << "ID" << "";
    QTest::newRow("semicolon in value") << QByteArray("[MAIN]\r\nTitle=Part 1; Part 2\r\n") << "MAIN" << "Title"
                                        << "Part 1; Part 2";
    QTest::newRow("no-break space kept") << QByteArray("[MAIN]\r\nTitle= Film\xa0\r\n") << "MAIN" << "Title"
                                         << QStringLiteral("Film\u00a0");
    QTest::newRow("quotes kept") << QByteArray("[MAIN]\r\nTitle=\"Quoted\"\r\n") << "MAIN" << "Title"
                                 << "\"Quoted\"";
    QTest::newRow("second equals sign in value") << QByteArray("[MAIN]\r\nTitle=a=b\r\n") << "MAIN" << "Title"
                                                 << "a=b";
    QTest::newRow("line feed alone") << QByteArray("[MAIN]\nTitle=Film\nID=X\n") << "MAIN" << "ID" << "X";
    QTest::newRow("last line without break") << QByteArray("[MAIN]\r\nID=X") << "MAIN" << "ID" << "X";
    QTest::newRow("section after page blocks")
        << QByteArray("[PAGE=1]\t\t;x\r\n\tBackgroundMode=1\r\n[MENU]\r\nStartPage=4\r\n") << "MENU" << "StartPage"
        << "4";
    QTest::newRow("key before any section") << QByteArray("Title=Film\r\n[MAIN]\r\n") << "MAIN" << "Title" << "";
    static const char withNul[] = "[MAIN]\r\nTitle=a\0b\r\n";
    QTest::newRow("NUL bytes") << QByteArray(withNul, sizeof(withNul) - 1) << "MAIN" << "Title"
                               << QString::fromLatin1("a\0b", 3);
}

void TestIniLookup::lookup()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const IniKeyLookup ini(file, TextEncoding::Windows1252);
    QCOMPARE(ini.readString(section, key), expected);
}

void TestIniLookup::readInt_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("negative") << "-7" << -7;
    QTest::newRow("text") << "yes" << 0;
    QTest::newRow("trailing text") << "1x" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("beyond 32 bits") << "4294967296" << 0;
    QTest::newRow("int max") << "2147483647" << 2147483647;
    QTest::newRow("int min") << "-2147483648" << int(-2147483648LL);
}

void TestIniLookup::readInt()
{
    QFETCH(QString, value);
    QFETCH(int, expected);
    const IniKeyLookup ini(("[LANGUAGES]\r\nMultipleAudioAVI=" + value + "\r\n").toLatin1(),
                           TextEncoding::Windows1252);
    QCOMPARE(ini.readInt("languages", "multipleaudioavi"), expected);
}

void TestIniLookup::longValuesAreCut()
{
    const QByteArray longValue(5000, 'x');
    const IniKeyLookup ini("[MAIN]\r\nTitle=" + longValue + "\r\n", TextEncoding::Windows1252);
    QCOMPARE(ini.readString("MAIN", "Title").size(), 2047);
}

void TestIniLookup::everyByteSurvivesWindows1252()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeText(all, TextEncoding::Windows1252);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x80), QChar(0x20AC)); // the euro sign
    QCOMPARE(text.at(0x81), QChar(0x81));   // unassigned: kept as the control character
    QCOMPARE(encodeText(text, TextEncoding::Windows1252).value(), all);
}

void TestIniLookup::encodingDetection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("ascii") << QByteArray("Title=Film") << false;
    QTest::newRow("utf-8") << QByteArray("Title=Am\xc3\xa9lie") << true;
    QTest::newRow("latin") << QByteArray("Title=Am\xe9lie") << false;
    QTest::newRow("overlong") << QByteArray("Title=\xc0\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("Title=\xed\xa0\x80") << false;
    QTest::newRow("truncated sequence") << QByteArray("Title=\xe2\x82") << false;
    QTest::newRow("byte order mark as a character") << QByteArray("\xef\xbb\xbf") << true;
}

void TestIniLookup::encodingDetection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    const TextEncoding e = detectEncoding(bytes);
    QCOMPARE(e == TextEncoding::Utf8, utf8);
    QCOMPARE(encodeText(decodeText(bytes, e), e).value(), bytes);
}

void TestIniLookup::unencodableCharacters()
{
    QCOMPARE(firstUnencodable(QStringLiteral("Caf\u00e9 \u20ac"), TextEncoding::Windows1252), -1);
    QCOMPARE(firstUnencodable(QStringLiteral("ab\u4e2d"), TextEncoding::Windows1252), 2);
    QCOMPARE(firstUnencodable(QStringLiteral("ab\u4e2d"), TextEncoding::Utf8), -1);
    QVERIFY(!encodeText(QStringLiteral("\u0141ód\u017a"), TextEncoding::Windows1252));
}

QTEST_GUILESS_MAIN(TestIniLookup)
#include "test_inilookup.moc"
