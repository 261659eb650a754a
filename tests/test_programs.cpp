// The two programs as a user meets them on the command line: what --help lists, what the manual pages
// name, and --help and --version without a display.
#include <QtTest>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {

struct Run
{
    int exitCode = -1; // -1 when it crashed or did not finish
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QString programPath(const QString& name)
{
    return name == QLatin1String("vazovevoz") ? QStringLiteral(VAZOVEVOZ_PATH) : QStringLiteral(VRPLMENU_PATH);
}

// The options a piece of text names: -o, --strict, --help-all.
QStringList optionsIn(const QString& text)
{
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    QStringList found;
    for (auto it = option.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    found.removeDuplicates();
    return found;
}

// What a program's help or manual lists, by entry: "" for the program's own options, a command's name
// for the options its synopsis takes.
using Entries = QMap<QString, QStringList>;

// Help texts list "Commands:" and "Options:" with an entry per line indented by two blanks; the entry's
// synopsis ends where two blanks begin its description.
Entries helpEntries(const QString& help)
{
    Entries entries;
    QString section;
    const QStringList lines = help.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1Char(' ')) && line.endsWith(QLatin1Char(':'))) {
            section = line;
            continue;
        }
        if (!line.startsWith(QLatin1String("  ")) || line.at(2) == QLatin1Char(' '))
            continue;
        const QString synopsis = line.mid(2).split(QStringLiteral("  ")).constFirst();
        if (section == QLatin1String("Commands:"))
            entries[synopsis.section(QLatin1Char(' '), 0, 0)] = optionsIn(synopsis);
        else if (section == QLatin1String("Options:"))
            entries[QString()] += optionsIn(synopsis);
    }
    entries[QString()].sort();
    return entries;
}

// A manual page's COMMANDS and OPTIONS sections: the line after each .TP is an entry's synopsis.
Entries manualEntries(const QString& source)
{
    QString text = source;
    text.replace(QLatin1String("\\-"), QLatin1String("-"));
    text.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
    Entries entries;
    QString section;
    bool entry = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String(".SH "))) {
            section = line.mid(4).trimmed();
        } else if (entry) {
            const QString synopsis = line.section(QLatin1Char(' '), line.startsWith(QLatin1Char('.')) ? 1 : 0);
            if (section == QLatin1String("COMMANDS"))
                entries[synopsis.section(QLatin1Char(' '), 0, 0)] = optionsIn(synopsis);
            else if (section == QLatin1String("OPTIONS"))
                entries[QString()] += optionsIn(synopsis);
        }
        entry = line == QLatin1String(".TP");
    }
    entries[QString()].sort();
    return entries;
}

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT

private slots:
    // Every command and option that --help lists is in the manual page with the same options, and the
    // manual names none that --help does not.
    void manualNamesWhatHelpLists_data()
    {
        QTest::addColumn<QStringList>("help");
        QTest::addColumn<QStringList>("manual");
        const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& program : {QStringLiteral("vazovevoz"), QStringLiteral("vrplmenu")}) {
            const Run help = run(programPath(program), {QStringLiteral("--help")}, env);
            QFile page(QStringLiteral(VAZO_SOURCE_DIR "/docs/man/%1.1").arg(program));
            if (help.exitCode != 0 || !page.open(QIODevice::ReadOnly))
                qFatal("no help or manual page for %s", qPrintable(program));
            const Entries fromHelp = helpEntries(help.out);
            const Entries fromManual = manualEntries(QString::fromUtf8(page.readAll()));
            QStringList keys = fromHelp.keys() + fromManual.keys();
            keys.removeDuplicates();
            const QStringList missing{QStringLiteral("(not listed)")};
            for (const QString& key : keys) {
                QTest::addRow("%s %s", qPrintable(program), key.isEmpty() ? "options" : qPrintable(key))
                    << fromHelp.value(key, missing) << fromManual.value(key, missing);
            }
        }
    }
    void manualNamesWhatHelpLists()
    {
        QFETCH(QStringList, help);
        QFETCH(QStringList, manual);
        QCOMPARE(manual, help);
    }

    // --help and --version answer in a terminal without a window system.
    void helpAndVersionWithoutDisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        for (const QString& program : {QStringLiteral("vazovevoz"), QStringLiteral("vrplmenu")}) {
            QTest::addRow("%s --help", qPrintable(program)) << program << QStringLiteral("--help") << QStringLiteral("Usage:");
            QTest::addRow("%s --version", qPrintable(program)) << program << QStringLiteral("--version") << QStringLiteral(VAZO_VERSION);
        }
    }
    void helpAndVersionWithoutDisplay()
    {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QString, expected);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        const Run r = run(programPath(program), {option}, env);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(expected), qPrintable(r.out));
    }
};

QTEST_GUILESS_MAIN(TestPrograms)
#include "test_programs.moc"
