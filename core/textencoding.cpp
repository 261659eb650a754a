#include "core/textencoding.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Characters of the bytes 0x80..0x9F in Windows-1252. The five unassigned bytes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) keep their own value, as the C1 control characters, so that they survive a round trip.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[size_t(i)] == c)
            return 0x80 + i;
    return -1;
}

bool isValidUtf8(const QByteArray& b, bool& hasNonAscii)
{
    hasNonAscii = false;
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        // Plain ASCII, nearly all of a menu file, is passed over eight bytes at a time.
        uint64_t word;
        if (i + 8 <= n && (std::memcpy(&word, p + i, 8), (word & 0x8080808080808080ULL) == 0)) {
            i += 8;
            continue;
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        hasNonAscii = true;
        int len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF would not come back as the same bytes.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

} // namespace

QString encodingName(TextEncoding e)
{
    return e == TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

TextEncoding detectEncoding(const QByteArray& bytes)
{
    bool nonAscii = false;
    if (isValidUtf8(bytes, nonAscii) && nonAscii)
        return TextEncoding::Utf8;
    return TextEncoding::Windows1252;
}

QString decodeText(const char* data, qsizetype size, TextEncoding e)
{
    if (e == TextEncoding::Utf8) {
        // Qt drops a byte order mark at the start of what it decodes; inside a file's text it is a
        // character of the author's like any other (the mark at the very start of a file is set
        // aside before any decoding).
        if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
            return QChar(0xFEFF) + QString::fromUtf8(data + 3, size - 3);
        return QString::fromUtf8(data, size);
    }
    QString out(size, Qt::Uninitialized);
    QChar* q = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        q[i] = (c >= 0x80 && c < 0xA0) ? QChar(kHigh[c - 0x80]) : QChar(c);
    }
    return out;
}

qsizetype firstUnencodable(const QString& text, TextEncoding e)
{
    if (e == TextEncoding::Utf8) {
        // Only a lone surrogate cannot be written as UTF-8.
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (c.isSurrogate())
                return i;
        }
        return -1;
    }
    for (qsizetype i = 0; i < text.size(); ++i)
        if (cp1252Byte(text.at(i).unicode()) < 0)
            return i;
    return -1;
}

bool appendEncoded(QByteArray& out, const QString& text, TextEncoding e)
{
    if (e == TextEncoding::Utf8) {
        if (firstUnencodable(text, e) >= 0)
            return false;
        out += text.toUtf8();
        return true;
    }
    const qsizetype start = out.size();
    out.reserve(start + text.size());
    for (QChar c : text) {
        const int b = cp1252Byte(c.unicode());
        if (b < 0) {
            out.truncate(start);
            return false;
        }
        out.append(char(b));
    }
    return true;
}

std::optional<QByteArray> encodeText(const QString& text, TextEncoding e)
{
    QByteArray out;
    if (!appendEncoded(out, text, e))
        return std::nullopt;
    return out;
}
