// The import of a DVD with ten motion menus (720x576, ten seconds each) made by dvdauthor: the whole
// import with its MPEG-4 menu video, against FFmpeg alone decoding the same menu pictures and encoding
// them with the same encoder settings (no colour conversion, no frame-exact reader, no files).
// Goal: the import under 30 s, its time dominated by the encoding.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include "benchtiming.h"
#include "dvdimport/dvdimport.h"
#include "fixtures/dvdfixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

constexpr int kMenus = 10;
constexpr int kMenuFrames = 250;

struct Closer { void operator()(AVFormatContext* c) const { avformat_close_input(&c); } };
struct CodecFree { void operator()(AVCodecContext* c) const { avcodec_free_context(&c); } };
struct FrameFree { void operator()(AVFrame* f) const { av_frame_free(&f); } };
struct PacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };

// FFmpeg alone: the title set's menu video decoded straight through and every picture encoded as the
// import encodes it. Returns the pictures encoded.
int ffmpegAlone(const QString& vob)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(vob).constData(), nullptr, nullptr) < 0)
        return 0;
    std::unique_ptr<AVFormatContext, Closer> in(raw);
    avformat_find_stream_info(in.get(), nullptr);
    const int stream = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        return 0;
    const AVCodec* dcodec = avcodec_find_decoder(in->streams[stream]->codecpar->codec_id);
    std::unique_ptr<AVCodecContext, CodecFree> dec(avcodec_alloc_context3(dcodec));
    avcodec_parameters_to_context(dec.get(), in->streams[stream]->codecpar);
    avcodec_open2(dec.get(), dcodec, nullptr);
    const AVCodec* ecodec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    std::unique_ptr<AVCodecContext, CodecFree> enc(avcodec_alloc_context3(ecodec));
    enc->width = dec->width;
    enc->height = dec->height;
    enc->time_base = AVRational{1, 25};
    enc->framerate = AVRational{25, 1};
    enc->pix_fmt = AV_PIX_FMT_YUV420P;
    enc->gop_size = 125;
    enc->max_b_frames = 2;
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 3;
    enc->thread_count = 0;
    avcodec_open2(enc.get(), ecodec, nullptr);
    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    std::unique_ptr<AVPacket, PacketFree> out(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    int encoded = 0;
    int64_t pts = 0;
    auto pump = [&] {
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            frame->pts = pts++;
            frame->quality = enc->global_quality;
            frame->pict_type = AV_PICTURE_TYPE_NONE;
            avcodec_send_frame(enc.get(), frame.get());
            while (avcodec_receive_packet(enc.get(), out.get()) >= 0) {
                ++encoded;
                av_packet_unref(out.get());
            }
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(in.get(), pkt.get()) >= 0) {
        if (pkt->stream_index == stream) {
            avcodec_send_packet(dec.get(), pkt.get());
            pump();
        }
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    pump();
    avcodec_send_frame(enc.get(), nullptr);
    while (avcodec_receive_packet(enc.get(), out.get()) >= 0) {
        ++encoded;
        av_packet_unref(out.get());
    }
    return encoded;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR); // the disc's streams are made without a DVD's rate limits
    QTemporaryDir dir;
    const QString missing = fixtures::missingDvdTool();
    if (!missing.isEmpty()) {
        std::printf("bench_dvdimport: %s is not installed\n", qPrintable(missing));
        return 0;
    }
    fixtures::DvdDiscSpec spec = fixtures::standardDisc(fixtures::DvdSystem::Pal);
    spec.menus.clear();
    for (int m = 0; m < kMenus; ++m) {
        fixtures::DvdMenuSpec menu;
        menu.entry = m == 0 ? QStringLiteral("root") : QString();
        menu.frames = kMenuFrames;
        menu.firstNumber = 1000 * (m + 1);
        menu.post = QStringLiteral("jump cell 1;");
        menu.buttons = {{QRect(100, 400, 200, 60), QStringLiteral("jump title 1;")},
                        {QRect(400, 400, 200, 60), QStringLiteral("jump menu %1;").arg((m + 1) % kMenus + 1)}};
        spec.menus.push_back(menu);
    }
    spec.titleFrames = 60;
    spec.chapterFrames = {0, 30};
    const fixtures::DvdDisc disc = fixtures::writeDvd(dir.filePath(QStringLiteral("disc")), spec);

    dvdimport::ImportResult result;
    const double importMs = benchtiming::wallMs([&] {
        dvdimport::ImportOptions options;
        options.source = disc.folder;
        options.menuFile = dir.filePath(QStringLiteral("menu.ini"));
        result = dvdimport::importDvd(options);
    });
    if (!result.ok) {
        std::printf("bench_dvdimport: the import failed: %s\n", qPrintable(result.error));
        return 1;
    }
    int frames = 0;
    const double ffmpegMs = benchtiming::wallMs(
        [&] { frames = ffmpegAlone(QDir(disc.folder).filePath(QStringLiteral("VIDEO_TS/VTS_01_0.VOB"))); });
    const int moving = kMenus * kMenuFrames;
    std::printf("DVD import, %d motion menus of %d frames (720x576 MPEG-2) and a still menu\n", kMenus, kMenuFrames);
    std::printf("  import with its MPEG-4 menu video: %.1f s (goal < 30 s), %.0f frames/s\n", importMs / 1000,
                moving / (importMs / 1000));
    std::printf("  FFmpeg alone, decode + encode of the same %d pictures: %.1f s, %.0f frames/s\n", frames,
                ffmpegMs / 1000, frames / (ffmpegMs / 1000));
    std::printf("  import / FFmpeg alone: %.2f\n", importMs / ffmpegMs);
    return 0;
}
