#pragma once

// What every part of the video file service shares about FFmpeg: owners for its objects, its error
// texts in words, and the limits we hold it to. Private to media/.

#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <cstddef>
#include <cstdint>
#include <memory>

// No picture we accept is larger than this (width x height x 3 bytes).
constexpr int64_t kMaxPictureBytes = int64_t(256) << 20;

struct FormatCloser
{
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer
{
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer
{
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ParametersFreer
{
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;
using ParametersPtr = std::unique_ptr<AVCodecParameters, ParametersFreer>;

// FFmpeg's text for an error code.
QString ffmpegText(int code);
void setError(QString* error, const QString& text);
// Quiets FFmpeg's own log and caps its allocations; done once, before anything of FFmpeg is used.
void prepareFfmpeg();
bool isIntraOnly(AVCodecID id);
// The memory a decoded picture holds.
std::size_t frameBytes(const AVFrame* f);
