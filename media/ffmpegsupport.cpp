#include "media/ffmpegsupport.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

QString ffmpegText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

void prepareFfmpeg()
{
    static const bool quiet = [] {
        // FFmpeg's own log would go to standard error; its failures reach the user as our messages.
        av_log_set_level(AV_LOG_QUIET);
        // FFmpeg's AVI reader believes the sizes a header claims: a damaged 6 KB file made it
        // allocate and clear 2 GB before giving up (found by fuzzing). Nothing it needs from us is
        // larger than a chunk of the largest picture we accept, so a larger request fails instead.
        av_max_alloc(size_t(kMaxPictureBytes) / 3 * 4 + (size_t(64) << 20));
        return true;
    }();
    (void)quiet;
}

bool isIntraOnly(AVCodecID id)
{
    const AVCodecDescriptor* d = avcodec_descriptor_get(id);
    return id == AV_CODEC_ID_RAWVIDEO || (d && (d->props & AV_CODEC_PROP_INTRA_ONLY));
}

std::size_t frameBytes(const AVFrame* f)
{
    std::size_t bytes = sizeof(AVFrame);
    for (const AVBufferRef* b : f->buf) {
        if (b)
            bytes += b->size;
    }
    return bytes;
}
