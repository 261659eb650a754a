#include "core/filekind.h"

#include <QFile>

namespace {

bool startsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

} // namespace

QString describeNonText(QByteArrayView head)
{
    head = head.first(qMin(head.size(), kFileKindProbeLength));
    // The signatures come first, so that the message can name what the author most likely picked.
    if (startsWith(head, "RIFF") && head.size() >= 12) {
        const QByteArrayView form = head.sliced(8, 4);
        if (form == "AVI " || form == "AVIX")
            return QStringLiteral("an AVI video");
        if (form == "WAVE")
            return QStringLiteral("a WAV sound");
        return QStringLiteral("a RIFF file");
    }
    if (startsWith(head, "\xFF\xD8\xFF"))
        return QStringLiteral("a JPEG picture");
    if (startsWith(head, "\x89PNG\r\n\x1A\n"))
        return QStringLiteral("a PNG picture");
    if (startsWith(head, QByteArrayView("\x00\x00\x01\xBA", 4)) || startsWith(head, QByteArrayView("\x00\x00\x01\xB3", 4)))
        return QStringLiteral("an MPEG video");
    if (startsWith(head, "GIF87a") || startsWith(head, "GIF89a"))
        return QStringLiteral("a GIF picture");
    if (startsWith(head, "\x1A\x45\xDF\xA3"))
        return QStringLiteral("a Matroska video");
    if (head.size() >= 8 && head.sliced(4, 4) == "ftyp")
        return QStringLiteral("an MP4 video");
    if (startsWith(head, "\xFF\xFE") || startsWith(head, "\xFE\xFF"))
        return QStringLiteral("UTF-16 text");
    // Menu files are 8-bit text: Windows-1252 or UTF-8, neither of which has a NUL byte in a line.
    if (head.contains('\0'))
        return QStringLiteral("binary data");
    return {};
}

QString describeNonTextFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return describeNonText(file.read(kFileKindProbeLength));
}
