#include "document/inireader.h"

#include <QFile>

#include "document/actiontypes.h"
#include "platform/inilookup.h"

namespace {

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool containsUpper(const char* line, qsizetype length, const QByteArray& upperName)
{
    const qsizetype n = upperName.size();
    for (qsizetype i = 0; i + n <= length; ++i) {
        qsizetype k = 0;
        while (k < n && asciiUpper(line[i + k]) == upperName[k])
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

// Two decimal integers separated by "-" ("%d-%d"). The first must be readable; without a second one
// the range is the single frame.
bool parseRange(const QString& value, int& first, int& last)
{
    auto readInt = [&](qsizetype& i, int& out) {
        while (i < value.size() && (value[i] == QLatin1Char(' ') || value[i] == QLatin1Char('\t')))
            ++i;
        qsizetype j = i;
        if (j < value.size() && (value[j] == QLatin1Char('+') || value[j] == QLatin1Char('-')))
            ++j;
        qsizetype digitsStart = j;
        while (j < value.size() && value[j].isDigit() && value[j].unicode() < 128)
            ++j;
        if (j == digitsStart)
            return false;
        int v = 0;
        if (!parseInt32(value.mid(i, j - i), v))
            return false;
        out = v;
        i = j;
        return true;
    };
    qsizetype i = 0;
    int a = 0;
    if (!readInt(i, a))
        return false;
    first = a;
    last = a;
    if (i < value.size() && value[i] == QLatin1Char('-')) {
        ++i;
        int b = 0;
        if (readInt(i, b))
            last = b;
    }
    return true;
}

} // namespace

LineSection::LineSection(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
        value = line;
        return;
    }
    key = line.left(eq);
    value = line.mid(eq + 1);
}

PageSelectionLine::PageSelectionLine(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        kind = line.mid(1, eq - 1);
        qsizetype close = line.indexOf(QLatin1Char(']'), eq + 1);
        if (close < 0)
            close = line.size();
        number = line.mid(eq + 1, close - eq - 1);
    }
    const qsizetype semi = line.indexOf(QLatin1Char(';'));
    if (semi >= 0)
        name = line.mid(semi + 1).trimmed();
}

VRPLIniFileReader::VRPLIniFileReader(const QString& path, TextEncoding encoding, MessageSink sink)
    : m_encoding(encoding), m_sink(std::move(sink))
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VRPLFileException(QStringLiteral("Can't open file"));
    m_bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw VRPLFileException(QStringLiteral("Can't open file"));
}

VRPLIniFileReader::VRPLIniFileReader(QByteArray bytes, TextEncoding encoding, MessageSink sink)
    : m_bytes(std::move(bytes)), m_encoding(encoding), m_sink(std::move(sink))
{
}

void VRPLIniFileReader::Release()
{
    m_bytes.clear();
    m_pos = 0;
}

bool VRPLIniFileReader::readRaw(qsizetype& start, qsizetype& length)
{
    const char* d = m_bytes.constData();
    const qsizetype n = m_bytes.size();
    while (m_pos < n && (d[m_pos] == '\r' || d[m_pos] == '\n')) {
        if (d[m_pos] == '\n')
            ++m_lineNumber;
        ++m_pos;
    }
    if (m_pos >= n)
        return false;
    qsizetype s = m_pos;
    while (m_pos < n && d[m_pos] != '\r' && d[m_pos] != '\n')
        ++m_pos;
    qsizetype e = m_pos;
    while (s < e && isBlankOrControl(d[s]))
        ++s;
    while (e > s && isBlankOrControl(d[e - 1]))
        --e;
    start = s;
    length = e - s;
    return true;
}

int VRPLIniFileReader::ReadLine()
{
    qsizetype start = 0, length = 0;
    if (!readRaw(start, length)) {
        m_current.clear();
        return -1;
    }
    m_current = decodeText(m_bytes.constData() + start, length, m_encoding);
    return int(m_current.size());
}

bool VRPLIniFileReader::FindSection(const QString& name)
{
    m_pos = 0;
    m_lineNumber = 1;
    const QByteArray upper = name.toUpper().toLatin1();
    qsizetype start = 0, length = 0;
    while (readRaw(start, length)) {
        if (containsUpper(m_bytes.constData() + start, length, upper)) {
            m_current = decodeText(m_bytes.constData() + start, length, m_encoding);
            return true;
        }
    }
    m_current.clear();
    return false;
}

bool VRPLIniFileReader::ReadFileEntries(const QString& section, QList<FileEntry>& list)
{
    if (!FindSection(section))
        return false;
    static const QStringList optionKeys = {
        QStringLiteral("Format"),        QStringLiteral("OpenBracket"), QStringLiteral("CloseBracket"),
        QStringLiteral("LineSeparator"), QStringLiteral("Offset"),      QStringLiteral("Multiplier"),
    };
    bool found = false;
    while (ReadLine() != -1 && !m_current.startsWith(QLatin1Char('['))) {
        const LineSection ls(m_current);
        if (ls.key == QLatin1String("File")) {
            list.append(FileEntry{ls.value, {}});
            found = true;
        } else if (!list.isEmpty() && optionKeys.contains(ls.key)) {
            list.last().options.append(ls.key + QLatin1Char('=') + ls.value);
        }
    }
    return found;
}

void VRPLIniFileReader::syntaxError()
{
    if (m_sink)
        m_sink(Message{QStringLiteral("Syntax error on line %1 <%2>").arg(QString::number(m_lineNumber), m_current), kAppTitle,
                       MessageIcon::None});
}

int VRPLIniFileReader::toInt(const QString& text) const
{
    int v = 0;
    if (!parseInt32(text.trimmed(), v))
        throw ConversionError(
            QStringLiteral("'%1' is not a valid integer value (line %2)").arg(text, QString::number(m_lineNumber)));
    return v;
}

void VRPLIniFileReader::ParsePagesAndSelections()
{
    m_pos = 0;
    m_lineNumber = 1;
    if (!FindSection(QStringLiteral("[PAGE=")))
        return;
    // The first header is always read as a page: it is the line that holds "[PAGE=".
    std::optional<QString> header = m_current;
    bool first = true;
    Page* lastPage = nullptr;
    while (header) {
        const PageSelectionLine psl(*header);
        const QString kind = psl.kind.toUpper();
        if (first || kind == QLatin1String("PAGE")) {
            header = ParseOnePage(toInt(psl.number), psl.name, lastPage);
        } else if (kind == QLatin1String("SELECTION")) {
            header = ParseOneSelection(psl.name, lastPage);
        } else {
            break;
        }
        first = false;
    }
}

std::optional<QString> VRPLIniFileReader::ParseOnePage(int number, const QString& name, Page*& pageRead)
{
    auto page = std::make_unique<Page>(number, name.isEmpty() ? QStringLiteral("Untitled") : name);
    std::optional<QString> header;
    while (ReadLine() != -1) {
        if (m_current.startsWith(QLatin1Char('['))) {
            header = m_current;
            break;
        }
        const LineSection ls(m_current);
        const QString& key = ls.key;
        const QString& value = ls.value;
        if (key.isEmpty())
            continue;
        if (key == QLatin1String("BackgroundMode")) {
            if (value == QLatin1String("1"))
                page->backgroundIsVideo = true;
            else if (value == QLatin1String("2"))
                page->backgroundIsVideo = false;
            else
                syntaxError();
        } else if (key == QLatin1String("PictureFile")) {
            page->pictureFile = value;
        } else if (key == QLatin1String("VideoRange")) {
            if (!parseRange(value, page->firstFrame, page->lastFrame))
                syntaxError();
        } else if (key == QLatin1String("VideoLoop")) {
            if (value == QLatin1String("1"))
                page->videoLoop = true;
            else if (value == QLatin1String("0"))
                page->videoLoop = false;
            else
                syntaxError();
        } else if (key == QLatin1String("PictureDuration")) {
            page->pictureDuration = toInt(value);
        } else if (key == QLatin1String("JumpAtEnd")) {
            page->jumpAtEnd = toInt(value);
        } else if (key == QLatin1String("DefaultSelection")) {
            page->defaultSelection = toInt(value);
        } else if (key == QLatin1String("ProhibitSelectionBefore")) {
            page->prohibitSelectionBefore = toInt(value);
        } else if (key == QLatin1String("ProhibitSelectionAfter")) {
            page->prohibitSelectionAfter = toInt(value);
        } else if (key == QLatin1String("ActionAtEnd")) {
            if (value.isEmpty())
                throw ConversionError(QStringLiteral("Empty ActionAtEnd value on line %1").arg(m_lineNumber));
            // The first character is the action's code; a character that is no code would make an
            // action the player cannot run, so it is reported like any other bad value.
            const char16_t c = value.at(0).unicode();
            if (c < u'1' || c > u'9')
                syntaxError();
            else
                page->actionAtEnd = std::make_unique<MenuAction>(int(c - u'0'), value.mid(2));
        } else if (key == QLatin1String("SelectionAvailable")) {
            page->selectionAvailable = value == QLatin1String("1");
        } else if (key == QLatin1String("SelectionOrdering")) {
            page->columnOrdering = value == QLatin1String("2");
        }
    }
    pageRead = OnPage ? OnPage(std::move(page)) : nullptr;
    return header;
}

std::optional<QString> VRPLIniFileReader::ParseOneSelection(const QString& name, Page* page)
{
    auto sel = std::make_unique<Selection>(name.isEmpty() ? QStringLiteral("Untitled") : name, QString());
    std::optional<QString> header;
    while (ReadLine() != -1) {
        if (m_current.startsWith(QLatin1Char('['))) {
            header = m_current;
            break;
        }
        const LineSection ls(m_current);
        const QString& key = ls.key;
        const QString& value = ls.value;
        if (key == QLatin1String("Area")) {
            sel->area = value;
        } else if (key == QLatin1String("Action")) {
            // The codes stand at every second character; the separators between them are not looked at.
            for (qsizetype i = 0; i < value.size(); i += 2) {
                const char16_t c = value.at(i).unicode();
                if (c >= u'1' && c <= u'8')
                    sel->addAction(int(c - u'0'), QString());
                else
                    syntaxError();
            }
        } else if (key == QLatin1String("Parameter")) {
            const QStringList fields = value.split(QLatin1Char('#'));
            qsizetype next = 0;
            for (auto& action : sel->actions) {
                const QString field = next < fields.size() ? fields.at(next) : QString();
                ++next;
                switch (action->type) {
                case ActJumpToPage:
                    if (field.startsWith(QLatin1Char('+')) || field.startsWith(QLatin1Char('-'))) {
                        const int v = toInt(field);
                        if (v == 1 || v == -1) {
                            action->type = ActRelativeJump;
                            action->parameter = v == 1 ? QStringLiteral("+1") : QStringLiteral("-1");
                        } else {
                            // A signed jump other than one page is relative to this page: store the page.
                            action->parameter = QString::number(qint64(v) + qint64(page ? page->number : 0));
                        }
                    } else {
                        action->parameter = field;
                    }
                    break;
                case ActPlayFromChapter:
                case ActMessageBox:
                case ActSpecialFeature:
                case ActChangeLanguage:
                case ActChangeSubtitle:
                    action->parameter = field;
                    break;
                default: // no parameter: the field is consumed
                    break;
                }
            }
        }
    }
    // Selections of a page that its handler did not keep are read and dropped.
    if (OnSelection && page)
        OnSelection(std::move(sel), *page);
    return header;
}
