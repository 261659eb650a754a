#include "player/walkthrough.h"

#include <QFile>

#include <array>
#include <utility>

#include "core/safefile.h"

namespace {

const std::array<std::pair<PlayerKey, const char*>, 5> kKeys{{
    {PlayerKey::Left, "Left"},
    {PlayerKey::Right, "Right"},
    {PlayerKey::Up, "Up"},
    {PlayerKey::Down, "Down"},
    {PlayerKey::Enter, "Enter"},
}};

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

// Reads a line word by word; a quoted text is one word. A '#' outside quotes begins a comment.
class LineReader
{
public:
    explicit LineReader(const QString& line) : m_line(line) {}

    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_line.size() || m_line[m_pos] == QLatin1Char('#');
    }

    // The next word or quoted text; false at the end of the line or on an unclosed quote.
    bool next(QString& word)
    {
        if (atEnd())
            return false;
        word.clear();
        if (m_line[m_pos] != QLatin1Char('"')) {
            while (m_pos < m_line.size() && !m_line[m_pos].isSpace() && m_line[m_pos] != QLatin1Char('#'))
                word += m_line[m_pos++];
            return true;
        }
        ++m_pos;
        while (m_pos < m_line.size()) {
            const QChar c = m_line[m_pos++];
            if (c == QLatin1Char('"'))
                return true;
            if (c == QLatin1Char('\\') && m_pos < m_line.size())
                word += m_line[m_pos++];
            else
                word += c;
        }
        m_badQuote = true;
        return false;
    }

    bool badQuote() const { return m_badQuote; }

private:
    void skipBlanks()
    {
        while (m_pos < m_line.size() && m_line[m_pos].isSpace())
            ++m_pos;
    }

    const QString& m_line;
    qsizetype m_pos = 0;
    bool m_badQuote = false;
};

// A selection by name, with its occurrence when the name repeats on the page.
QString selectionRef(const WalkStep& step)
{
    return step.occurrence > 1 ? quoted(step.text) + QStringLiteral(" %1").arg(step.occurrence) : quoted(step.text);
}

bool readInt(const QString& word, int& value)
{
    bool ok = false;
    value = word.toInt(&ok, 10);
    return ok;
}

} // namespace

QString playerKeyName(PlayerKey key)
{
    for (const auto& [k, name] : kKeys)
        if (k == key)
            return QString::fromLatin1(name);
    return {};
}

QString formatStep(const WalkStep& step)
{
    switch (step.kind) {
    case WalkStep::Start:
        return step.hasNumber ? QStringLiteral("start %1").arg(step.number) : QStringLiteral("start");
    case WalkStep::Click:
        return QStringLiteral("click ") + selectionRef(step);
    case WalkStep::Point:
        return QStringLiteral("point ") + selectionRef(step);
    case WalkStep::Key:
        return QStringLiteral("key ") + playerKeyName(step.key);
    case WalkStep::Skip:
        return QStringLiteral("skip");
    case WalkStep::WaitEnd:
        return QStringLiteral("wait end");
    case WalkStep::Ok:
        return QStringLiteral("ok");
    case WalkStep::Menu:
        return QStringLiteral("menu");
    case WalkStep::ExpectPage:
        return QStringLiteral("expect page %1").arg(step.number);
    case WalkStep::ExpectHighlight:
        return QStringLiteral("expect highlight ") + selectionRef(step);
    case WalkStep::ExpectMessage:
        return QStringLiteral("expect message ") + quoted(step.text);
    case WalkStep::ExpectMovie:
        return QStringLiteral("expect movie ") + quoted(step.text);
    case WalkStep::ExpectLanguage:
        return QStringLiteral("expect language %1").arg(step.number);
    case WalkStep::ExpectSubtitle:
        return QStringLiteral("expect subtitle %1").arg(step.number);
    }
    return {};
}

QString formatWalkthrough(const Walkthrough& walk, const QString& menuName)
{
    QString out;
    if (!menuName.isEmpty())
        out += QStringLiteral("# Walkthrough of %1\n").arg(menuName.simplified());
    for (const WalkStep& s : walk.steps)
        out += formatStep(s) + QLatin1Char('\n');
    return out;
}

bool parseWalkthrough(const QString& text, Walkthrough& walk, QString* error)
{
    walk.steps.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        LineReader reader(line);
        if (reader.atEnd())
            continue;
        const int lineNumber = int(i + 1);
        auto fail = [&](const QString& why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(lineNumber).arg(why);
            return false;
        };
        QString word, arg;
        reader.next(word);
        WalkStep step;
        step.line = lineNumber;
        bool needsText = false, needsNumber = false;
        if (word == QLatin1String("start")) {
            step.kind = WalkStep::Start;
            if (reader.next(arg)) {
                if (!readInt(arg, step.number))
                    return fail(QStringLiteral("\"%1\" is not a page number").arg(arg));
                step.hasNumber = true;
            }
        } else if (word == QLatin1String("click") || word == QLatin1String("point")) {
            step.kind = word == QLatin1String("click") ? WalkStep::Click : WalkStep::Point;
            needsText = true;
        } else if (word == QLatin1String("key")) {
            step.kind = WalkStep::Key;
            if (!reader.next(arg))
                return fail(QStringLiteral("a key is missing (Left, Right, Up, Down or Enter)"));
            bool known = false;
            for (const auto& [k, name] : kKeys)
                if (arg.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
                    step.key = k;
                    known = true;
                }
            if (!known)
                return fail(QStringLiteral("unknown key \"%1\" (Left, Right, Up, Down or Enter)").arg(arg));
        } else if (word == QLatin1String("skip")) {
            step.kind = WalkStep::Skip;
        } else if (word == QLatin1String("wait")) {
            step.kind = WalkStep::WaitEnd;
            if (!reader.next(arg) || arg != QLatin1String("end"))
                return fail(QStringLiteral("\"wait\" is followed by \"end\""));
        } else if (word == QLatin1String("ok")) {
            step.kind = WalkStep::Ok;
        } else if (word == QLatin1String("menu")) {
            step.kind = WalkStep::Menu;
        } else if (word == QLatin1String("expect")) {
            if (!reader.next(arg))
                return fail(QStringLiteral("\"expect\" needs what to expect"));
            static const std::array<std::pair<const char*, WalkStep::Kind>, 6> kExpect{{
                {"page", WalkStep::ExpectPage},
                {"highlight", WalkStep::ExpectHighlight},
                {"message", WalkStep::ExpectMessage},
                {"movie", WalkStep::ExpectMovie},
                {"language", WalkStep::ExpectLanguage},
                {"subtitle", WalkStep::ExpectSubtitle},
            }};
            bool known = false;
            for (const auto& [name, kind] : kExpect)
                if (arg == QLatin1String(name)) {
                    step.kind = kind;
                    known = true;
                }
            if (!known)
                return fail(QStringLiteral("cannot expect \"%1\" (page, highlight, message, movie, language, subtitle)").arg(arg));
            needsNumber = step.kind == WalkStep::ExpectPage || step.kind == WalkStep::ExpectLanguage ||
                          step.kind == WalkStep::ExpectSubtitle;
            needsText = !needsNumber;
        } else {
            return fail(reader.badQuote() ? QStringLiteral("a quote is not closed")
                                          : QStringLiteral("unknown step \"%1\"").arg(word));
        }
        if (needsText && !reader.next(step.text))
            return fail(reader.badQuote() ? QStringLiteral("a quote is not closed") : QStringLiteral("a text is missing"));
        const bool namesSelection =
            step.kind == WalkStep::Click || step.kind == WalkStep::Point || step.kind == WalkStep::ExpectHighlight;
        if (namesSelection && reader.next(arg) && (!readInt(arg, step.occurrence) || step.occurrence < 1))
            return fail(QStringLiteral("\"%1\" is not a count of selections of that name").arg(arg));
        if (needsNumber) {
            if (!reader.next(arg) || !readInt(arg, step.number))
                return fail(QStringLiteral("a number is missing"));
            step.hasNumber = true;
        }
        if (!reader.atEnd())
            return fail(QStringLiteral("unexpected text after the step"));
        walk.steps.push_back(std::move(step));
    }
    return true;
}

bool loadWalkthrough(const QString& path, Walkthrough& walk, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    return parseWalkthrough(QString::fromUtf8(f.readAll()), walk, error);
}

bool saveWalkthrough(const QString& path, const Walkthrough& walk, const QString& menuName, QString* error)
{
    const FileWriteResult written = writeFileSafely(path, formatWalkthrough(walk, menuName).toUtf8(), ReplaceRule::TextOnly);
    if (written)
        return true;
    if (error)
        *error = fileWriteFailureText(path, written);
    return false;
}
