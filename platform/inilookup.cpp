#include "platform/inilookup.h"

#include <limits>

namespace {

QString foldName(const QString& s)
{
    return s.trimmed().toCaseFolded();
}

} // namespace

bool parseInt32(const QString& text, int& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == n)
        return false;
    long long v = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
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

IniKeyLookup::IniKeyLookup(const QByteArray& bytes, TextEncoding encoding)
{
    // The section the lines belong to; none outside any section and in a repeated section, whose
    // keys the platform never sees. Held by name: a pointer into the hash would not survive a rehash.
    QString current;
    bool inSection = false;
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = 0;
    while (pos < size) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = size;
        const QString line = decodeText(data + pos, end - pos, encoding).trimmed();
        pos = end + 1;
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                close = line.size();
            const QString name = foldName(line.mid(1, close - 1));
            inSection = !m_sections.contains(name);
            if (inSection) {
                current = name;
                m_sections.insert(name, {});
            }
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = foldName(line.left(eq));
        auto& keys = m_sections[current];
        if (!keys.contains(key))
            keys.insert(key, line.mid(eq + 1).trimmed().left(kMaxValueLength));
    }
}

QString IniKeyLookup::readString(const QString& section, const QString& key) const
{
    const auto s = m_sections.constFind(foldName(section));
    if (s == m_sections.constEnd())
        return {};
    return s->value(foldName(key));
}

int IniKeyLookup::readInt(const QString& section, const QString& key) const
{
    int v = 0;
    return parseInt32(readString(section, key), v) ? v : 0;
}

bool IniKeyLookup::hasSection(const QString& section) const
{
    return m_sections.contains(foldName(section));
}
