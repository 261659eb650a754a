#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The menu file is 8-bit text. Its bytes are kept exactly: a file with non-ASCII bytes that is valid
// UTF-8 is read as UTF-8, any other as Windows-1252 where each of the 256 bytes is one character (the
// five bytes Windows-1252 leaves unassigned map to the control characters of the same value), so every
// byte survives a read and a write.
enum class TextEncoding { Windows1252, Utf8 };

QString encodingName(TextEncoding e);

// UTF-8 when the bytes hold non-ASCII bytes and are valid UTF-8, otherwise Windows-1252.
TextEncoding detectEncoding(const QByteArray& bytes);

QString decodeText(const char* data, qsizetype size, TextEncoding e);
inline QString decodeText(const QByteArray& bytes, TextEncoding e)
{
    return decodeText(bytes.constData(), bytes.size(), e);
}

// The bytes of `text`, or nothing when a character cannot be held by the encoding.
std::optional<QByteArray> encodeText(const QString& text, TextEncoding e);
// Appends the bytes of `text` to `out`; false (and `out` unchanged) when a character cannot be held.
bool appendEncoded(QByteArray& out, const QString& text, TextEncoding e);
// The first character of `text` that the encoding cannot hold, or -1.
qsizetype firstUnencodable(const QString& text, TextEncoding e);
