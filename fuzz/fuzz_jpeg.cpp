// Feeds arbitrary bytes to the JPEG decoder. A JpegError is the expected answer to most inputs;
// anything else (a crash, a leak, a huge allocation) is a bug.
#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "media/jpegdecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        QString warning;
        const QImage image = decodeJpeg(bytes, &warning);
        // A picture that decodes must be as large as its header said and fully owned.
        if (image.isNull() || image.width() <= 0 || image.height() <= 0)
            __builtin_trap();
    } catch (const JpegError&) {
    }
    return 0;
}
