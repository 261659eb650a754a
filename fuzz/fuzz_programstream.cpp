// Feeds arbitrary bytes to the program-stream reader as a VOB file: the scan of its packs and
// picture headers, the frame count, key frames, times, and a few frames decoded in an unfriendly
// order. Any crash, hang, leak or huge allocation is a bug; a refusal or a short index is the
// expected answer to most inputs.
#include <QByteArray>
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
        QDir::temp().filePath(QStringLiteral("vazo-fuzz-ps-%1.vob").arg(qint64(::getpid())));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Every input would leave its index in the user's cache folder; the fuzzer's go to a folder of
    // its own.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(QDir::temp().filePath(QStringLiteral("vazo-fuzz-ps-cache"))));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile f(scratchPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        // A pack header in front, so that the bytes are read as a program stream.
        static const char pack[] = "\0\0\1\xBA\x44\0\4\0\4\1\1\x89\xC3\xF8";
        f.write(pack, 14);
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    std::unique_ptr<AviFile> file = AviFile::open(scratchPath());
    if (!file)
        return 0;
    std::unique_ptr<AviStream> stream = file->firstVideoStream();
    if (!stream)
        return 0;
    const int32_t length = stream->info().length;
    (void)stream->sampleToTime(length / 2);
    (void)stream->sampleToTime(length);
    for (KeySearch how : {KeySearch::At, KeySearch::Next, KeySearch::Previous})
        (void)stream->findKeyFrame(length / 2, how);
    std::unique_ptr<AviFrameDecoder> decoder = stream->openDecoder();
    if (!decoder || length <= 0)
        return 0;
    decoder->setCacheBudget(size_t(32) << 20);
    for (int32_t n : {length - 1, 0, length / 2, length / 2 - 1}) {
        if (n >= 0)
            (void)decoder->frameDib(n);
    }
    return 0;
}
