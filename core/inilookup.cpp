#include "core/inilookup.h"

#include <cstring>
#include <limits>

namespace {

// Keys and values lose the ASCII blanks around them and nothing else: a no-break space or another
// Unicode space at the end of a title is the author's.
QString trimBlanks(const QString& s)
{
    qsizetype b = 0, e = s.size();
    auto blank = [](QChar c) {
        const char16_t u = c.unicode();
        return u == u' ' || u == u'\t' || u == u'\r' || u == u'\n' || u == u'\v' || u == u'\f';
    };
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

QString foldName(const QString& s)
{
    return trimBlanks(s).toCaseFolded();
}

bool isBlank(char c)
{
    // What QString::trimmed() removes among the ASCII characters.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The line starting at `pos`, without its line feed and trimmed of blanks; `pos` moves past it.
QByteArrayView nextLine(const QByteArray& bytes, qsizetype& pos)
{
    const char* d = bytes.constData();
    const qsizetype n = bytes.size();
    const void* lf = std::memchr(d + pos, '\n', size_t(n - pos));
    qsizetype end = lf ? static_cast<const char*>(lf) - d : n;
    qsizetype s = pos;
    pos = end + 1;
    while (s < end && isBlank(d[s]))
        ++s;
    while (end > s && isBlank(d[end - 1]))
        --end;
    return QByteArrayView(d + s, end - s);
}

template <typename Char> bool parseDigits(const Char* p, qsizetype n, int& value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (p[i] == Char('+') || p[i] == Char('-'))) {
        negative = p[i] == Char('-');
        ++i;
    }
    if (i == n)
        return false;
    long long v = 0;
    for (; i < n; ++i) {
        if (p[i] < Char('0') || p[i] > Char('9'))
            return false;
        v = v * 10 + (p[i] - Char('0'));
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return false;
    value = int(v);
    return true;
}

} // namespace

bool parseInt32(const QString& text, int& value)
{
    return parseDigits(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), value);
}

bool parseInt32(QByteArrayView text, int& value)
{
    return parseDigits(text.data(), text.size(), value);
}

IniKeyLookup::IniKeyLookup(QByteArray bytes, TextEncoding encoding)
    : m_bytes(std::move(bytes)), m_encoding(encoding)
{
    qsizetype pos = 0;
    while (pos < m_bytes.size()) {
        const QByteArrayView line = nextLine(m_bytes, pos);
        if (line.isEmpty() || line.front() != '[')
            continue;
        qsizetype close = line.indexOf(']');
        if (close < 0)
            close = line.size();
        const QString name = foldName(decodeText(line.data() + 1, close - 1, m_encoding));
        if (!m_sections.contains(name))
            m_sections.insert(name, Section{pos, false, {}});
    }
}

bool IniKeyLookup::hasSection(const QString& section) const
{
    return m_sections.contains(foldName(section));
}

IniKeyLookup::Section* IniKeyLookup::find(const QString& section) const
{
    auto it = m_sections.find(foldName(section));
    if (it == m_sections.end())
        return nullptr;
    Section& s = *it;
    if (!s.indexed) {
        s.indexed = true;
        qsizetype pos = s.begin;
        while (pos < m_bytes.size()) {
            const QByteArrayView line = nextLine(m_bytes, pos);
            if (line.isEmpty())
                continue;
            if (line.front() == '[')
                break;
            const qsizetype eq = line.indexOf('=');
            if (eq < 0)
                continue;
            const QString key = foldName(decodeText(line.data(), eq, m_encoding));
            if (s.keys.contains(key))
                continue;
            const QString value = trimBlanks(decodeText(line.data() + eq + 1, line.size() - eq - 1, m_encoding));
            s.keys.insert(key, value.left(kMaxValueLength));
        }
    }
    return &s;
}

QString IniKeyLookup::readString(const QString& section, const QString& key) const
{
    const Section* s = find(section);
    return s ? s->keys.value(foldName(key)) : QString();
}

int IniKeyLookup::readInt(const QString& section, const QString& key) const
{
    int v = 0;
    return parseInt32(readString(section, key), v) ? v : 0;
}
