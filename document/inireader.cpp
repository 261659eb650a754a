#include "document/inireader.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include "document/actiontypes.h"
#include "core/inilookup.h"

namespace {

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

QByteArrayView trimmed(QByteArrayView v)
{
    qsizetype s = 0, e = v.size();
    while (s < e && isBlankOrControl(v[s]))
        ++s;
    while (e > s && isBlankOrControl(v[e - 1]))
        --e;
    return v.sliced(s, e - s);
}

bool equalsUpper(QByteArrayView text, const char* upper)
{
    const qsizetype n = qsizetype(std::strlen(upper));
    if (text.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (asciiUpper(text[i]) != upper[i])
            return false;
    return true;
}

bool startsBlock(QByteArrayView line)
{
    return !line.isEmpty() && line.front() == '[';
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
bool parseRange(QByteArrayView value, int& first, int& last)
{
    auto readInt = [&](qsizetype& i, int& out) {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        qsizetype j = i;
        if (j < value.size() && (value[j] == '+' || value[j] == '-'))
            ++j;
        const qsizetype digitsStart = j;
        while (j < value.size() && value[j] >= '0' && value[j] <= '9')
            ++j;
        if (j == digitsStart)
            return false;
        int v = 0;
        if (!parseInt32(value.sliced(i, j - i), v))
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
    if (i < value.size() && value[i] == '-') {
        ++i;
        int b = 0;
        if (readInt(i, b))
            last = b;
    }
    return true;
}

} // namespace

LineSection::LineSection(QByteArrayView line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) {
        value = line;
        return;
    }
    key = line.first(eq);
    value = line.sliced(eq + 1);
}

PageSelectionLine::PageSelectionLine(QByteArrayView line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq >= 0) {
        kind = line.sliced(1, eq - 1);
        qsizetype close = line.indexOf(']', eq + 1);
        if (close < 0)
            close = line.size();
        number = line.sliced(eq + 1, close - eq - 1);
    }
    const qsizetype semi = line.indexOf(';');
    if (semi >= 0) {
        qsizetype s = semi + 1, e = line.size();
        while (s < e && isBlankOrControl(line[s]))
            ++s;
        while (e > s && isBlankOrControl(line[e - 1]))
            --e;
        name = line.sliced(s, e - s);
    }
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
    m_decoded = false;
    if (!readRaw(start, length)) {
        m_view = QByteArrayView();
        return -1;
    }
    m_view = QByteArrayView(m_bytes.constData() + start, length);
    return int(length);
}

const QString& VRPLIniFileReader::currentLine() const
{
    if (!m_decoded) {
        m_current = decodeText(m_view.data(), m_view.size(), m_encoding);
        m_decoded = true;
    }
    return m_current;
}

bool VRPLIniFileReader::FindSection(const QString& name)
{
    m_pos = 0;
    m_lineNumber = 1;
    const QByteArray upper = name.toUpper().toLatin1();
    while (ReadLine() != -1) {
        if (containsUpper(m_view.data(), m_view.size(), upper))
            return true;
    }
    return false;
}

bool VRPLIniFileReader::ReadFileEntries(const QString& section, QList<FileEntry>& list)
{
    if (!FindSection(section))
        return false;
    static const char* const optionKeys[] = {"Format", "OpenBracket", "CloseBracket", "LineSeparator", "Offset",
                                             "Multiplier"};
    bool found = false;
    while (ReadLine() != -1 && !startsBlock(m_view)) {
        const auto [key, value] = LineSection(m_view);
        if (key == QByteArrayView("File")) {
            list.append(FileEntry{decodeText(value.data(), value.size(), m_encoding), {}});
            found = true;
        } else if (!list.isEmpty()) {
            for (const char* option : optionKeys) {
                if (key == QByteArrayView(option)) {
                    list.last().options.append(currentLine());
                    break;
                }
            }
        }
    }
    return found;
}

void VRPLIniFileReader::syntaxError()
{
    if (m_sink)
        m_sink(Message{QStringLiteral("Syntax error on line %1 <%2>").arg(QString::number(m_lineNumber), currentLine()),
                       kAppTitle, MessageIcon::None});
}

int VRPLIniFileReader::toInt(QByteArrayView text) const
{
    int v = 0;
    if (!parseInt32(trimmed(text), v))
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value (line %2)")
                                  .arg(decodeText(text.data(), text.size(), m_encoding), QString::number(m_lineNumber)));
    return v;
}

QString VRPLIniFileReader::decode(QByteArrayView text) const
{
    return decodeText(text.data(), text.size(), m_encoding);
}

void VRPLIniFileReader::ParsePagesAndSelections()
{
    m_pos = 0;
    m_lineNumber = 1;
    if (!FindSection(QStringLiteral("[PAGE=")))
        return;
    // The first header is always read as a page: it is the line that holds "[PAGE=".
    bool more = true;
    bool first = true;
    Page* lastPage = nullptr;
    while (more) {
        const PageSelectionLine psl(m_view);
        if (first || equalsUpper(psl.kind, "PAGE")) {
            int number = 0;
            if (!parseInt32(trimmed(psl.number), number))
                throw ConversionError(QStringLiteral("'%1' is not a valid integer value (line %2)")
                                          .arg(decode(psl.number), QString::number(m_lineNumber)));
            more = ParseOnePage(number, decode(psl.name), lastPage);
        } else if (equalsUpper(psl.kind, "SELECTION")) {
            more = ParseOneSelection(decode(psl.name), lastPage);
        } else {
            break;
        }
        first = false;
    }
}

bool VRPLIniFileReader::nextBlockLine(LineSection& line, bool& atHeader)
{
    while (ReadLine() != -1) {
        if (startsBlock(m_view)) {
            atHeader = true;
            return false;
        }
        line = LineSection(m_view);
        if (!line.key.isEmpty())
            return true;
    }
    atHeader = false;
    return false;
}

bool VRPLIniFileReader::ParseOnePage(int number, const QString& name, Page*& pageRead)
{
    m_blockLine = m_lineNumber;
    auto page = std::make_unique<Page>(number, name.isEmpty() ? QStringLiteral("Untitled") : name);
    bool header = false;
    LineSection line;
    while (nextBlockLine(line, header)) {
        const QByteArrayView key = line.key, value = line.value;
        if (key == QByteArrayView("BackgroundMode")) {
            if (value == QByteArrayView("1"))
                page->backgroundIsVideo = true;
            else if (value == QByteArrayView("2"))
                page->backgroundIsVideo = false;
            else
                syntaxError();
        } else if (key == QByteArrayView("PictureFile")) {
            page->pictureFile = decode(value);
        } else if (key == QByteArrayView("VideoRange")) {
            if (!parseRange(value, page->firstFrame, page->lastFrame))
                syntaxError();
        } else if (key == QByteArrayView("VideoLoop")) {
            if (value == QByteArrayView("1"))
                page->videoLoop = true;
            else if (value == QByteArrayView("0"))
                page->videoLoop = false;
            else
                syntaxError();
        } else if (key == QByteArrayView("PictureDuration")) {
            page->pictureDuration = toInt(value);
        } else if (key == QByteArrayView("JumpAtEnd")) {
            page->jumpAtEnd = toInt(value);
        } else if (key == QByteArrayView("DefaultSelection")) {
            page->defaultSelection = toInt(value);
        } else if (key == QByteArrayView("ProhibitSelectionBefore")) {
            page->prohibitSelectionBefore = toInt(value);
        } else if (key == QByteArrayView("ProhibitSelectionAfter")) {
            page->prohibitSelectionAfter = toInt(value);
        } else if (key == QByteArrayView("ActionAtEnd")) {
            if (value.isEmpty())
                throw ConversionError(QStringLiteral("Empty ActionAtEnd value on line %1").arg(m_lineNumber));
            // The first character is the action's code; a character that is no code would make an
            // action the player cannot run, so it is reported like any other bad value.
            const char c = value.front();
            if (c < '1' || c > '9')
                syntaxError();
            else
                page->actionAtEnd = std::make_unique<MenuAction>(c - '0', decode(value.size() > 2 ? value.sliced(2) : QByteArrayView()));
        } else if (key == QByteArrayView("SelectionAvailable")) {
            page->selectionAvailable = value == QByteArrayView("1");
        } else if (key == QByteArrayView("SelectionOrdering")) {
            page->columnOrdering = value == QByteArrayView("2");
        }
    }
    pageRead = OnPage ? OnPage(std::move(page)) : nullptr;
    return header;
}

bool VRPLIniFileReader::ParseOneSelection(const QString& name, Page* page)
{
    m_blockLine = m_lineNumber;
    auto sel = std::make_unique<Selection>(name.isEmpty() ? QStringLiteral("Untitled") : name, QString());
    bool header = false;
    LineSection line;
    while (nextBlockLine(line, header)) {
        const QByteArrayView key = line.key, value = line.value;
        if (key == QByteArrayView("Area")) {
            sel->area = decode(value);
        } else if (key == QByteArrayView("Action")) {
            // The codes stand at every second character; the separators between them are not looked at.
            // Characters, not bytes: decode first when the value holds more than ASCII.
            const bool ascii = std::all_of(value.begin(), value.end(), [](char c) { return uchar(c) < 0x80; });
            const QString codes = ascii ? QString() : decode(value);
            const qsizetype count = ascii ? value.size() : codes.size();
            for (qsizetype i = 0; i < count; i += 2) {
                const char16_t c = ascii ? char16_t(value[i]) : codes.at(i).unicode();
                if (c >= u'1' && c <= u'8')
                    sel->addAction(int(c - u'0'), QString());
                else
                    syntaxError();
            }
        } else if (key == QByteArrayView("Parameter")) {
            distributeParameters(value, *sel, page);
        }
    }
    // Selections of a page that its handler did not keep are read and dropped.
    if (OnSelection && page)
        OnSelection(std::move(sel), *page);
    return header;
}

void VRPLIniFileReader::distributeParameters(QByteArrayView value, Selection& sel, const Page* page) const
{
    // "#" is a single byte in every encoding the file may have, never part of another character.
    qsizetype pos = 0; // start of the next field; beyond the end when the fields are used up
    for (auto& action : sel.actions) {
        QString field;
        if (pos <= value.size()) {
            qsizetype hash = value.indexOf('#', pos);
            if (hash < 0)
                hash = value.size();
            field = decode(value.sliced(pos, hash - pos));
            pos = hash + 1;
        }
        switch (action->type) {
        case ActJumpToPage:
            if (field.startsWith(QLatin1Char('+')) || field.startsWith(QLatin1Char('-'))) {
                int v = 0;
                if (!parseInt32(field.trimmed(), v))
                    throw ConversionError(QStringLiteral("'%1' is not a valid integer value (line %2)")
                                              .arg(field, QString::number(m_lineNumber)));
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
