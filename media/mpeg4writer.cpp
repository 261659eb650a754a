#include "media/mpeg4writer.h"

#include "media/ffmpegsupport.h"

#include <QFile>
#include <QTemporaryFile>

extern "C" {
#include <libavutil/opt.h>
}

namespace {

struct OutputOwner
{
    void operator()(AVFormatContext* c) const
    {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};

} // namespace

struct Mpeg4AviWriter::State
{
    // The AVI writer goes back to fill in the header and ends with the index, so it writes to a file
    // of its own in the temporary folder, which is read back and removed at the end.
    QTemporaryFile scratch;
    std::unique_ptr<AVFormatContext, OutputOwner> output;
    CodecPtr encoder;
    AVStream* stream = nullptr;
    FramePtr frame;
    PacketPtr packet;
    SwsPtr scaler;
    int width = 0;
    int height = 0;
    int added = 0;
    bool failed = false;

    bool fail(QString* error, const QString& what, int code)
    {
        failed = true;
        setError(error, QStringLiteral("%1: %2").arg(what, ffmpegText(code)));
        return false;
    }

    bool drain(QString* error)
    {
        for (;;) {
            const int r = avcodec_receive_packet(encoder.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return fail(error, QStringLiteral("the MPEG-4 encoder failed"), r);
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int w = av_interleaved_write_frame(output.get(), packet.get());
            if (w < 0)
                return fail(error, QStringLiteral("the AVI file cannot be written"), w);
        }
    }
};

Mpeg4AviWriter::Mpeg4AviWriter() = default;
Mpeg4AviWriter::~Mpeg4AviWriter() = default;

int Mpeg4AviWriter::picturesAdded() const
{
    return m_state ? m_state->added : 0;
}

bool Mpeg4AviWriter::start(int width, int height, int rateNum, int rateDen, QString* error)
{
    prepareFfmpeg();
    m_state = std::make_unique<State>();
    State& s = *m_state;
    if (width <= 0 || height <= 0 || width % 2 || height % 2 || int64_t(width) * height * 3 > kMaxPictureBytes
        || rateNum <= 0 || rateDen <= 0) {
        s.failed = true;
        setError(error, QStringLiteral("a menu video of %1 x %2 pictures cannot be made").arg(width).arg(height));
        return false;
    }
    s.width = width;
    s.height = height;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec)
        return s.fail(error, QStringLiteral("FFmpeg has no MPEG-4 encoder"), AVERROR_ENCODER_NOT_FOUND);
    AVFormatContext* raw = nullptr;
    int r = avformat_alloc_output_context2(&raw, nullptr, "avi", nullptr);
    if (r < 0)
        return s.fail(error, QStringLiteral("no AVI writer"), r);
    s.output.reset(raw);
    if (!s.scratch.open()) {
        s.failed = true;
        setError(error, QStringLiteral("no temporary file for the menu video: %1").arg(s.scratch.errorString()));
        return false;
    }
    s.scratch.close();
    r = avio_open(&s.output->pb, QFile::encodeName(s.scratch.fileName()).constData(), AVIO_FLAG_WRITE);
    if (r < 0)
        return s.fail(error, QStringLiteral("the temporary file of the menu video cannot be written"), r);
    s.encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* enc = s.encoder.get();
    enc->width = width;
    enc->height = height;
    enc->time_base = AVRational{rateDen, rateNum};
    enc->framerate = AVRational{rateNum, rateDen};
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->gop_size = std::max(1, 5 * rateNum / rateDen); // a key frame every five seconds or so
    enc->max_b_frames = 2;
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 3;
    enc->codec_tag = MKTAG('X', 'V', 'I', 'D');
    enc->thread_count = 0;
    if (s.output->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    r = avcodec_open2(enc, codec, nullptr);
    if (r < 0)
        return s.fail(error, QStringLiteral("the MPEG-4 encoder cannot start"), r);
    s.stream = avformat_new_stream(s.output.get(), nullptr);
    if (!s.stream)
        return s.fail(error, QStringLiteral("no AVI stream"), AVERROR(ENOMEM));
    avcodec_parameters_from_context(s.stream->codecpar, enc);
    s.stream->time_base = enc->time_base;
    r = avformat_write_header(s.output.get(), nullptr);
    if (r < 0)
        return s.fail(error, QStringLiteral("the AVI header cannot be written"), r);
    s.frame.reset(av_frame_alloc());
    s.frame->format = AV_PIX_FMT_YUV420P;
    s.frame->width = width;
    s.frame->height = height;
    r = av_frame_get_buffer(s.frame.get(), 0);
    if (r < 0)
        return s.fail(error, QStringLiteral("no memory for a picture"), r);
    s.packet.reset(av_packet_alloc());
    return true;
}

bool Mpeg4AviWriter::add(const QImage& picture, QString* error)
{
    if (!m_state || m_state->failed)
        return false;
    State& s = *m_state;
    QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    if (rgb.size() != QSize(s.width, s.height))
        rgb = rgb.scaled(s.width, s.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    s.scaler.reset(sws_getCachedContext(s.scaler.release(), s.width, s.height, AV_PIX_FMT_RGB24, s.width, s.height,
                                        AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!s.scaler)
        return s.fail(error, QStringLiteral("no colour conversion"), AVERROR(ENOMEM));
    int r = av_frame_make_writable(s.frame.get());
    if (r < 0)
        return s.fail(error, QStringLiteral("no memory for a picture"), r);
    const uint8_t* src[1] = {rgb.constBits()};
    const int stride[1] = {int(rgb.bytesPerLine())};
    sws_scale(s.scaler.get(), src, stride, 0, s.height, s.frame->data, s.frame->linesize);
    s.frame->pts = s.added;
    s.frame->quality = s.encoder->global_quality;
    s.frame->pict_type = AV_PICTURE_TYPE_NONE;
    r = avcodec_send_frame(s.encoder.get(), s.frame.get());
    if (r < 0)
        return s.fail(error, QStringLiteral("the MPEG-4 encoder failed"), r);
    ++s.added;
    return s.drain(error);
}

std::optional<QByteArray> Mpeg4AviWriter::finish(QString* error)
{
    if (!m_state || m_state->failed)
        return std::nullopt;
    State& s = *m_state;
    int r = avcodec_send_frame(s.encoder.get(), nullptr);
    if (r < 0) {
        s.fail(error, QStringLiteral("the MPEG-4 encoder failed"), r);
        return std::nullopt;
    }
    if (!s.drain(error))
        return std::nullopt;
    r = av_write_trailer(s.output.get());
    if (r < 0) {
        s.fail(error, QStringLiteral("the AVI file cannot be ended"), r);
        return std::nullopt;
    }
    r = avio_closep(&s.output->pb);
    s.failed = true; // finished: nothing more can be added
    if (r < 0) {
        setError(error, QStringLiteral("the temporary file of the menu video cannot be written: %1").arg(ffmpegText(r)));
        return std::nullopt;
    }
    if (!s.scratch.open()) {
        setError(error, QStringLiteral("the temporary file of the menu video cannot be read: %1").arg(s.scratch.errorString()));
        return std::nullopt;
    }
    return s.scratch.readAll();
}
