#include "document/areatext.h"

#include <algorithm>
#include <limits>

namespace {

// One "%d": optional blanks, an optional sign, at least one digit; a value beyond 32 bits fails
// rather than wrapping.
bool readNumber(const QString& text, qsizetype& pos, int& value)
{
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    qint64 v = 0;
    const qsizetype start = pos;
    while (pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
        v = v * 10 + (text[pos].unicode() - '0');
        if (v > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
        ++pos;
    }
    if (pos == start)
        return false;
    v = negative ? -v : v;
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
        return false;
    value = int(v);
    return true;
}

bool readChar(const QString& text, qsizetype& pos, char c)
{
    if (pos < text.size() && text[pos] == QLatin1Char(c)) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

std::optional<AreaRect> parseArea(const QString& text)
{
    AreaRect r;
    qsizetype pos = 0;
    if (readNumber(text, pos, r.left) && readChar(text, pos, ',') && readNumber(text, pos, r.top)
        && readChar(text, pos, '-') && readNumber(text, pos, r.right) && readChar(text, pos, ',')
        && readNumber(text, pos, r.bottom))
        return r;
    return std::nullopt;
}

QString formatArea(int left, int top, int right, int bottom)
{
    return QStringLiteral("%1,%2-%3,%4").arg(left).arg(top).arg(right).arg(bottom);
}

QRect clickableArea(const QString& text)
{
    const std::optional<AreaRect> area = parseArea(text);
    if (!area)
        return {};
    auto clamp = [](int v) { return std::clamp(v, -(1 << 20), 1 << 20); };
    const int l = clamp(area->left), t = clamp(area->top), r = clamp(area->right), b = clamp(area->bottom);
    if (r <= l || b <= t)
        return {};
    return QRect(l, t, r - l, b - t);
}
