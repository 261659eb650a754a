// Feeds arbitrary bytes to the AVI file service as a file: open it, read the stream information,
// search key frames and decode a few frames in an unfriendly order. Any crash, hang, leak or
// huge allocation is a bug; a refusal is the expected answer to most inputs.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

#include "media/avifile.h"

namespace {

QString scratchPath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("vazo-fuzz-avi-%1.avi").arg(qint64(::getpid())));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile f(scratchPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    std::unique_ptr<AviFile> file = AviFile::open(scratchPath());
    if (!file)
        return 0;
    std::unique_ptr<AviStream> stream = file->firstVideoStream();
    if (!stream)
        return 0;
    const AviStreamInfo& info = stream->info();
    const int32_t length = info.length;
    (void)stream->sampleToTime(length / 2);
    (void)stream->sampleToTime(length);
    for (KeySearch how : {KeySearch::At, KeySearch::Next, KeySearch::Previous}) {
        (void)stream->findKeyFrame(0, how);
        (void)stream->findKeyFrame(length / 2, how);
        (void)stream->findKeyFrame(length - 1, how);
        (void)stream->findKeyFrame(-5, how);
    }
    std::unique_ptr<AviFrameDecoder> decoder = stream->openDecoder();
    if (!decoder || length <= 0)
        return 0;
    decoder->setCacheBudget(size_t(32) << 20);
    // Last, first, middle, one back, beyond the end: forward, backward and random access.
    for (int32_t n : {length - 1, 0, length / 2, length / 2 - 1, length}) {
        if (n < 0)
            continue;
        (void)decoder->frameDib(n);
    }
    return 0;
}
