// Video access benchmark: generates its own AVI and VOB files and prints, in one run, how frame
// access compares with what the decoder can do at best. Every figure is a ratio of times measured in
// this run, so it does not depend on the machine.
//
//   bench_video [directory] [sd|hd|vob]   (default: a temporary directory, removed afterwards; all
//                                          parts)

#include "app/application.h"
#include "media/avifile.h"
#include "media/aviriff.h"
#include "dialogs/scripteddialogservice.h"
#include "workspace/mainform.h"
#include "media/videosource.h"
#include "fixtures/mpegfixtures.h"

#ifdef VAZO_HAVE_FFMS2
#include <ffms.h>
#endif

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QDateTime>
#include <QFileInfo>
#include <QStandardPaths>
#include <QRandomGenerator>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double timeIt(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return seconds(start);
}

// The machine is shared: every figure is the best of a few runs, which is the one least disturbed.
constexpr int kRuns = 3;
double bestOf(const std::function<double()>& run)
{
    double best = run();
    for (int i = 1; i < kRuns; ++i)
        best = std::min(best, run());
    return best;
}

void check(int rc, const char* what)
{
    if (rc < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(rc, text, sizeof text);
        throw std::runtime_error(std::string(what) + ": " + text);
    }
}

// Resident memory of this process, and its peak since the last reset, in MiB.
double statusMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    }
    return -1;
}
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct EncoderSpec
{
    AVCodecID codec = AV_CODEC_ID_MPEG4;
    int width = 720;
    int height = 576;
    int frames = 3000;
    int keyInterval = 250;
    int bFrames = 2;
    int repeatFirst = 0; // > 0: encode one picture and store it this many times (fast, for counting)
    const char* muxer = "avi";
};

// A moving picture with enough detail that the decoder has real work to do.
void paint(AVFrame* f, int t)
{
    for (int y = 0; y < f->height; ++y) {
        uint8_t* row = f->data[0] + y * f->linesize[0];
        for (int x = 0; x < f->width; ++x) {
            const uint32_t h = uint32_t(x * 7 + y * 13) * 2654435761u;
            row[x] = uint8_t(((x + 3 * t) ^ (y + t)) + (h >> 29));
        }
    }
    for (int plane = 1; plane < 3; ++plane) {
        for (int y = 0; y < f->height / 2; ++y) {
            uint8_t* row = f->data[plane] + y * f->linesize[plane];
            for (int x = 0; x < f->width / 2; ++x)
                row[x] = uint8_t(128 + ((x + y + t * plane) & 63) - 32);
        }
    }
}

void writeAvi(const QString& path, const EncoderSpec& spec)
{
    AVFormatContext* raw = nullptr;
    const QByteArray name = path.toUtf8();
    check(avformat_alloc_output_context2(&raw, nullptr, spec.muxer, name.constData()), "output");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> out(raw, [](AVFormatContext* c) {
        avio_closep(&c->pb);
        avformat_free_context(c);
    });
    const bool h264 = spec.codec == AV_CODEC_ID_H264;
    const AVCodec* codec = h264 ? avcodec_find_encoder_by_name("libx264") : avcodec_find_encoder(spec.codec);
    if (!codec)
        throw std::runtime_error(h264 ? "no H.264 encoder (libx264)" : "no encoder");
    AVStream* stream = avformat_new_stream(out.get(), nullptr);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> enc(avcodec_alloc_context3(codec),
                                                                    [](AVCodecContext* c) { avcodec_free_context(&c); });
    enc->width = spec.width;
    enc->height = spec.height;
    enc->time_base = AVRational{1, 25};
    enc->framerate = AVRational{25, 1};
    enc->gop_size = spec.keyInterval;
    enc->max_b_frames = spec.bFrames;
    enc->pix_fmt = spec.codec == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    if (h264) {
        // A key frame exactly every keyInterval, exactly bFrames B-frames (as references in a
        // pyramid, x264's default), closed groups as menu videos are usually made.
        enc->keyint_min = spec.keyInterval;
        av_opt_set(enc->priv_data, "preset", "veryfast", 0);
        av_opt_set(enc->priv_data, "x264-params", "scenecut=0:b-adapt=0:open-gop=0", 0);
        av_opt_set_int(enc->priv_data, "qp", 20, 0);
    } else {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * 4;
    }
    if (out->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(enc.get(), codec, nullptr), "encoder");
    check(avcodec_parameters_from_context(stream->codecpar, enc.get()), "parameters");
    stream->time_base = enc->time_base;
    check(avio_open(&out->pb, name.constData(), AVIO_FLAG_WRITE), "open");
    check(avformat_write_header(out.get(), nullptr), "header");

    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    frame->format = enc->pix_fmt;
    frame->width = spec.width;
    frame->height = spec.height;
    check(av_frame_get_buffer(frame.get(), 0), "frame");

    int64_t repeatedPts = 0;
    auto drain = [&](const AVFrame* in) {
        check(avcodec_send_frame(enc.get(), in), "encode");
        while (avcodec_receive_packet(enc.get(), packet.get()) == 0) {
            packet->stream_index = stream->index;
            if (spec.repeatFirst > 0) {
                for (int i = 0; i < spec.repeatFirst; ++i) {
                    AVPacket* copy = av_packet_clone(packet.get());
                    copy->pts = copy->dts = repeatedPts++;
                    copy->duration = 1;
                    av_packet_rescale_ts(copy, enc->time_base, stream->time_base);
                    check(av_write_frame(out.get(), copy), "write");
                    av_packet_free(&copy);
                }
                av_packet_unref(packet.get());
                continue;
            }
            av_packet_rescale_ts(packet.get(), enc->time_base, stream->time_base);
            check(av_interleaved_write_frame(out.get(), packet.get()), "write");
        }
    };
    const int frames = spec.repeatFirst > 0 ? 1 : spec.frames;
    for (int t = 0; t < frames; ++t) {
        check(av_frame_make_writable(frame.get()), "writable");
        paint(frame.get(), t);
        frame->pts = t;
        drain(frame.get());
    }
    drain(nullptr);
    check(av_write_trailer(out.get()), "trailer");
}

// The physical limit: every chunk of the file decoded once, in order, nothing else; with `convert`,
// each picture also converted to the window's pixel format as the video source does it. With more
// than one thread, on the codec's own threads; `cpu` gets the processor time of the process.
double sequentialDecodePerFrame(const QString& path, bool convert = false, int threads = 1, double* cpu = nullptr)
{
    AVFormatContext* raw = nullptr;
    const QByteArray name = path.toUtf8();
    check(avformat_open_input(&raw, name.constData(), nullptr, nullptr), "open");
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> in(raw, [](AVFormatContext* c) { avformat_close_input(&c); });
    // A program stream announces its streams only as their packets come.
    if (in->nb_streams == 0)
        check(avformat_find_stream_info(in.get(), nullptr), "stream info");
    AVStream* stream = in->streams[0];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> dec(avcodec_alloc_context3(codec),
                                                                    [](AVCodecContext* c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(dec.get(), stream->codecpar);
    dec->thread_count = threads;
    dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    check(avcodec_open2(dec.get(), codec, nullptr), "decoder");
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
    int pictures = 0;
    const std::clock_t startCpu = std::clock();
    SwsContext* sws = nullptr;
    std::vector<uint8_t> rgb;
    auto picture = [&] {
        ++pictures;
        if (!convert)
            return;
        const int w = frame->width;
        const int h = frame->height;
        sws = sws_getCachedContext(sws, w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_RGB32, SWS_BILINEAR,
                                   nullptr, nullptr, nullptr);
        const int stride = ((w + 31) & ~31) * 4;
        rgb.resize(size_t(stride) * size_t(h) + 256);
        uint8_t* dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
        const int dstStride[4] = {stride, 0, 0, 0};
        sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstStride);
    };
    const double t = timeIt([&] {
        while (av_read_frame(in.get(), packet.get()) >= 0) {
            if (packet->size > 0)
                avcodec_send_packet(dec.get(), packet.get());
            av_packet_unref(packet.get());
            while (avcodec_receive_frame(dec.get(), frame.get()) == 0)
                picture();
        }
        avcodec_send_packet(dec.get(), nullptr);
        while (avcodec_receive_frame(dec.get(), frame.get()) == 0)
            picture();
    });
    sws_freeContext(sws);
    if (cpu)
        *cpu = double(std::clock() - startCpu) / CLOCKS_PER_SEC / std::max(pictures, 1);
    return t / std::max(pictures, 1);
}

// A reader without a cache, as simple players do it: seek to the key frame before the target and
// decode until the target's timestamp, for every request.
class NaiveReader
{
public:
    explicit NaiveReader(const QString& path)
        : m_in(nullptr, [](AVFormatContext* c) { avformat_close_input(&c); }),
          m_dec(nullptr, [](AVCodecContext* c) { avcodec_free_context(&c); }),
          m_frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); }),
          m_packet(av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); })
    {
        AVFormatContext* raw = nullptr;
        const QByteArray name = path.toUtf8();
        check(avformat_open_input(&raw, name.constData(), nullptr, nullptr), "open");
        m_in.reset(raw);
        const AVCodec* codec = avcodec_find_decoder(m_in->streams[0]->codecpar->codec_id);
        m_dec.reset(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(m_dec.get(), m_in->streams[0]->codecpar);
        m_dec->thread_count = 1;
        check(avcodec_open2(m_dec.get(), codec, nullptr), "decoder");
    }
    void show(int n)
    {
        av_seek_frame(m_in.get(), 0, n, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(m_dec.get());
        while (av_read_frame(m_in.get(), m_packet.get()) >= 0) {
            if (m_packet->size > 0)
                avcodec_send_packet(m_dec.get(), m_packet.get());
            av_packet_unref(m_packet.get());
            while (avcodec_receive_frame(m_dec.get(), m_frame.get()) == 0) {
                if (m_frame->best_effort_timestamp >= n)
                    return;
            }
        }
    }

private:
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> m_in;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> m_dec;
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> m_frame;
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> m_packet;
};

int defaultThreads()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
}

// What the decoder's threads can give for MPEG-4 jumps, without our reading, numbering or cache:
// the chunks already in memory, and per jump a flush and the key picture and references up to
// the target (its B-frames left out as ours are), plus the chunks the decoder needs to hand it out.
class DecoderAloneJumps
{
public:
    explicit DecoderAloneJumps(const QString& path)
    {
        AVFormatContext* raw = nullptr;
        const QByteArray name = path.toUtf8();
        check(avformat_open_input(&raw, name.constData(), nullptr, nullptr), "open");
        std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> in(raw, [](AVFormatContext* c) { avformat_close_input(&c); });
        m_par.reset(avcodec_parameters_alloc());
        avcodec_parameters_copy(m_par.get(), in->streams[0]->codecpar);
        AVPacket* packet = av_packet_alloc();
        while (av_read_frame(in.get(), packet) >= 0) {
            if (packet->size > 0) {
                const QByteArray head(reinterpret_cast<const char*>(packet->data), std::min(packet->size, 256));
                const std::vector<int> types = mpeg4VopTypes(head);
                m_bFrame.push_back(types.size() == 1 && types.front() == 2);
                if (packet->flags & AV_PKT_FLAG_KEY)
                    m_keys.push_back(int(m_packets.size()));
                m_packets.emplace_back(av_packet_clone(packet), [](AVPacket* p) { av_packet_free(&p); });
            }
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    }
    double run(const std::vector<int>& targets, int threads)
    {
        const AVCodec* codec = avcodec_find_decoder(m_par->codec_id);
        std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> dec(avcodec_alloc_context3(codec),
                                                                        [](AVCodecContext* c) { avcodec_free_context(&c); });
        avcodec_parameters_to_context(dec.get(), m_par.get());
        dec->thread_count = threads;
        dec->thread_type = FF_THREAD_FRAME;
        check(avcodec_open2(dec.get(), codec, nullptr), "decoder");
        std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
        const int last = int(m_packets.size()) - 1;
        return timeIt([&] {
            for (const int t : targets) {
                avcodec_flush_buffers(dec.get());
                const int key = *(std::upper_bound(m_keys.begin(), m_keys.end(), t) - 1);
                // One chunk more for the decoder's delay, and one per extra thread.
                for (int c = key; c <= std::min(last, t + threads); ++c) {
                    if (m_bFrame[size_t(c)] && c - 1 < t)
                        continue;
                    avcodec_send_packet(dec.get(), m_packets[size_t(c)].get());
                    while (avcodec_receive_frame(dec.get(), frame.get()) == 0)
                        av_frame_unref(frame.get());
                }
            }
        });
    }

private:
    std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> m_par{nullptr, [](AVCodecParameters* p) { avcodec_parameters_free(&p); }};
    std::vector<std::unique_ptr<AVPacket, void (*)(AVPacket*)>> m_packets;
    std::vector<bool> m_bFrame;
    std::vector<int> m_keys;
};

void require(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(what);
}

// A drag of the track bar across the whole video in the main window: 100 positions queued at once,
// as a window system queues pointer moves while the program is busy, then the release. Timed from
// the first move until the last position is on screen, against one jump made the same way.
void benchDrag(TMainForm& form, const QString& path, int frames)
{
    form.OpenVideo(path);
    auto* bar = form.findChild<QSlider*>(QStringLiteral("VideoTrackBar"));
    auto* field = form.findChild<QLineEdit*>(QStringLiteral("edVideoPos"));
    require(bar && field, "main window controls");
    QCoreApplication::processEvents();

    // Each run drags over most of the video, ending somewhere else, so the cache holds none of
    // its pictures. One jump: from frame 0 to the frame where the drag ends, the same way.
    auto positions = [frames](int run) {
        std::vector<int> p;
        for (int i = 1; i <= 100; ++i)
            p.push_back(i * (frames * 9 / 10) / 100 - 7 * run);
        return p;
    };
    int run = 0;
    double jump = 0;
    const std::size_t budget = form.videoSource().decoder()->cacheBudget();
    const double drag = bestOf([&] {
        const std::vector<int> p = positions(run++);
        form.setTrackBarPosition(0);
        form.videoSource().decoder()->setCacheBudget(0); // forget every picture, as far from here
        form.videoSource().decoder()->setCacheBudget(budget);
        const double one = timeIt([&] { form.setTrackBarPosition(p.back()); });
        jump = run == 1 ? one : std::min(jump, one);
        form.setTrackBarPosition(0);
        form.videoSource().decoder()->setCacheBudget(0);
        form.videoSource().decoder()->setCacheBudget(budget);
        QCoreApplication::processEvents();

        const QString last = QString::number(p.back());
        const auto start = Clock::now();
        bar->setSliderDown(true);
        for (const int n : p)
            QMetaObject::invokeMethod(bar, [bar, n] { bar->setSliderPosition(n); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(bar, [bar] { bar->setSliderDown(false); }, Qt::QueuedConnection);
        while (field->text() != last)
            QCoreApplication::processEvents();
        return seconds(start);
    });
    std::printf("  jump to where the drag ends (window):    %8.3f ms\n", jump * 1e3);
    std::printf("  drag over 100 positions, last one shown: %8.1f ms   ratio to that jump %5.2f  (goal <= 1.5)\n",
                drag * 1e3, drag / jump);
    // As the window does after a while on one frame: its pictures are not counted in the memory
    // figures of the next file.
    form.videoSource().releaseMemory();
}

struct FileRun
{
    int jumps = 0;        // random jumps timed (0: none, nor the drag)
    bool naive = false;   // also against FFmpeg alone and a reader without cache
    bool thumbnails = false;
};

void benchFile(TMainForm& form, const char* title, const QString& path, int frames, FileRun what)
{
    std::printf("\n%s (%d frames)\n", title, frames);
    // Each run measures the limits and the steps in turn, so that the ratios compare times of the
    // same moment of a shared machine; the best of each is kept.
    double decode = 1e9;
    double converted = 1e9;
    double forward = 1e9;
    double forwardDecoded = 1e9;
    double backward = 1e9;
    double peak = 0;
    double before = 0;
    const int steps = std::min(500, frames);
    for (int i = 0; i < kRuns; ++i) {
        decode = std::min(decode, sequentialDecodePerFrame(path));
        converted = std::min(converted, sequentialDecodePerFrame(path, true));
        {
            VideoSource video({});
            require(video.OpenVideo(path) && video.hasDecoder(), "open");
            forward = std::min(forward, timeIt([&] {
                                   for (int n = 0; n < frames; ++n)
                                       require(video.ShowFrame(n), "forward");
                               }) / frames);
        }
        {
            auto file = AviFile::open(path);
            auto stream = file->firstVideoStream();
            auto decoder = stream->openDecoder();
            forwardDecoded = std::min(forwardDecoded, timeIt([&] {
                                          for (int n = 0; n < frames; ++n)
                                              require(decoder->decodeFrame(n) != nullptr, "forward");
                                      }) / frames);
        }
        {
            resetPeakMemory();
            before = std::max(before, statusMiB("VmRSS"));
            VideoSource video({});
            require(video.OpenVideo(path), "open");
            backward = std::min(backward, timeIt([&] {
                                    for (int n = frames - 1; n >= frames - steps; --n)
                                        require(video.ShowFrame(n), "backward");
                                }) / steps);
            peak = std::max(peak, statusMiB("VmHWM"));
        }
    }
    std::printf("  sequential decode, the limit:            %8.3f ms per frame\n", decode * 1e3);
    std::printf("  the same with the colour conversion:     %8.3f ms per frame (the forward limit)\n", converted * 1e3);
    std::printf("  forward step (ShowFrame, picture made):  %8.3f ms   ratio %5.2f, to the forward limit %5.2f  (goal <= 1.1)\n",
                forward * 1e3, forward / decode, forward / converted);
    std::printf("  forward step (decoded picture only):     %8.3f ms   ratio %5.2f\n", forwardDecoded * 1e3,
                forwardDecoded / decode);
    std::printf("  backward step over %d frames:           %8.3f ms   ratio %5.2f, to the forward limit %5.2f  (goal <= 1.0)\n",
                steps, backward * 1e3, backward / decode, backward / converted);
    std::printf("  resident memory while stepping back:     %8.1f MiB peak (%.1f MiB before, the main window open; goal <= 160 at 720x576)\n",
                peak, before);
    if (what.jumps == 0)
        return;
    {
        QRandomGenerator random(17);
        std::vector<int> jumps(static_cast<size_t>(what.jumps), 0);
        for (int& n : jumps)
            n = int(random.bounded(frames));
        // The processor time of the whole process goes with each figure: on a machine busy with
        // other work the threads may not find free cores, which the wall-clock ratio cannot tell.
        auto jumpWith = [&](int threads, double& cpu) {
            return bestOf([&] {
                VideoSource video({});
                require(video.OpenVideo(path), "open");
                video.decoder()->setThreads(threads);
                AviFrameDecoder* decoder = video.decoder();
                require(video.ShowFrame(0), "jump"); // the cache is sized by the first picture
                const std::size_t budget = decoder->cacheBudget();
                require(budget > 0, "cache sized by the first picture");
                // Each jump starts with nothing cached: a single-threaded jump keeps the group it went
                // through, and a later jump into the same group would cost nothing.
                const std::clock_t startCpu = std::clock();
                const double wall = timeIt([&] {
                    for (const int n : jumps) {
                        decoder->setCacheBudget(0);
                        decoder->setCacheBudget(budget);
                        require(video.ShowFrame(n), "jump");
                    }
                });
                cpu = std::min(cpu, double(std::clock() - startCpu) / CLOCKS_PER_SEC);
                return wall;
            });
        };
        // Taking turns, so that a disturbance of the shared machine does not favour one of them.
        double ours = 1e9;
        double oneThread = 1e9;
        double oursCpu = 1e9;
        double oneThreadCpu = 1e9;
        for (int i = 0; i < 2; ++i) {
            ours = std::min(ours, jumpWith(defaultThreads(), oursCpu));
            oneThread = std::min(oneThread, jumpWith(1, oneThreadCpu));
        }
        std::printf("  random jump, one decoder thread:         %8.3f ms   (processor time %.3f ms)\n",
                    oneThread / jumps.size() * 1e3, oneThreadCpu / jumps.size() * 1e3);
        std::printf("  random jump, threads for %d cores:        %8.3f ms   ratio to one thread %5.2f  (goal <= 0.65, 1080p H.264 <= 0.6)\n",
                    defaultThreads(), ours / jumps.size() * 1e3, ours / oneThread);
        std::printf("    processor time %.3f ms, %.2f of one thread's: with %d free cores at best %.2f of its time\n",
                    oursCpu / jumps.size() * 1e3, oursCpu / oneThreadCpu, defaultThreads(),
                    oursCpu / oneThreadCpu / defaultThreads());
        if (what.naive) {
            DecoderAloneJumps alone(path);
            double aloneOne = 1e9;
            double aloneThreads = 1e9;
            for (int i = 0; i < 2 * kRuns; ++i) {
                aloneThreads = std::min(aloneThreads, alone.run(jumps, defaultThreads()));
                aloneOne = std::min(aloneOne, alone.run(jumps, 1));
            }
            std::printf("    the same jumps by FFmpeg alone from chunks in memory: threads to one %5.2f (its limit)\n",
                        aloneThreads / aloneOne);
            const double theirs = bestOf([&] {
                NaiveReader naive(path);
                return timeIt([&] {
                    for (const int n : jumps)
                        naive.show(n);
                });
            });
            std::printf("  random jump, to a reader without cache:                ratio %5.2f\n", ours / theirs);
        }
    }
    benchDrag(form, path, frames);
    if (!what.thumbnails)
        return;
    {
        QRandomGenerator random(99);
        std::vector<int> pages(500);
        for (int& n : pages)
            n = int(random.bounded(frames));
        std::vector<int> sorted = pages;
        std::sort(sorted.begin(), sorted.end());
        const QSize thumb(64, 43);
        auto oneByOne = [&](const std::vector<int>& order) {
            VideoSource video({});
            require(video.OpenVideo(path), "open");
            return timeIt([&] {
                for (const int n : order) {
                    require(video.ShowFrame(n), "thumbnail");
                    (void)video.picture().scaled(thumb, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                }
            });
        };
        const double pageOrder = oneByOne(pages);
        const double frameOrder = bestOf([&] { return oneByOne(sorted); });
        const double batch = bestOf([&] {
            VideoSource fresh({});
            require(fresh.OpenVideo(path), "open");
            return timeIt([&] { (void)fresh.thumbnails(pages, thumb); });
        });
        std::printf("  500 thumbnails, one by one in page order: %7.2f s    ratio to frame order %5.2f\n", pageOrder,
                    pageOrder / frameOrder);
        std::printf("  500 thumbnails at once (thumbnails()):   %8.2f s    ratio to frame order %5.2f\n", batch,
                    batch / frameOrder);
    }
}

// The program-stream reader: the scan that indexes a large VOB against reading it, the second
// opening from the cached index, every frame of three VOBs against FFmpeg's own sequential decode,
// and FFMS2, a frame-exact reader for other programs, on the same VOB.
void benchVob(TMainForm& form, const QString& dir)
{
    // A DVD's video: 720x576 MPEG-2, groups of 15 with two B-frames, open groups.
    EncoderSpec spec;
    spec.codec = AV_CODEC_ID_MPEG2VIDEO;
    spec.muxer = "vob";
    spec.keyInterval = 15;
    spec.frames = 3000;
    const QString vob = dir + QStringLiteral("/bench-mpeg2.vob");
    // The muxer complains of every picture larger than a DVD player's buffer; these are larger.
    av_log_set_level(AV_LOG_FATAL);
    writeAvi(vob, spec);
    av_log_set_level(AV_LOG_ERROR);

    // The index scan of a VOB of more than 1 GB: the same file over and over, as long titles are.
    const QString large = dir + QStringLiteral("/bench-large.vob");
    {
        QFile in(vob);
        QFile out(large);
        require(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly), "large VOB");
        const QByteArray bytes = in.readAll();
        while (out.size() < (qint64(1) << 30))
            require(out.write(bytes) == bytes.size(), "large VOB");
    }
    const QString cacheFile = [&] {
        // Where the index goes: found by opening once, then removed before each timed scan.
        auto file = AviFile::open(large);
        require(file && file->firstVideoStream(), "large VOB opens");
        const QDir cache(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/vazovevoz/stream-index"));
        QString newest;
        QDateTime when;
        for (const QFileInfo& f : cache.entryInfoList(QDir::Files)) {
            if (!when.isValid() || f.lastModified() > when) {
                when = f.lastModified();
                newest = f.absoluteFilePath();
            }
        }
        return newest;
    }();
    require(!cacheFile.isEmpty(), "index cached");
    const qint64 largeBytes = QFileInfo(large).size();
    double cat = 1e9;
    double scan = 1e9;
    double cached = 1e9;
    // Processor time, which a machine busy with other work does not change as it changes the wall
    // clock: that of `cat` is its child's, the scan's that of this process.
    double catCpu = 1e9;
    double scanCpu = 1e9;
    auto childrenCpu = [] {
        rusage r = {};
        getrusage(RUSAGE_CHILDREN, &r);
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    int32_t frames = 0;
    for (int i = 0; i < kRuns; ++i) {
        const double catBefore = childrenCpu();
        cat = std::min(cat, timeIt([&] {
                           QProcess p;
                           p.setStandardOutputFile(QProcess::nullDevice());
                           p.start(QStringLiteral("cat"), {large});
                           require(p.waitForFinished(-1) && p.exitCode() == 0, "cat");
                       }));
        catCpu = std::min(catCpu, childrenCpu() - catBefore);
        QFile::remove(cacheFile);
        const std::clock_t scanBefore = std::clock();
        scan = std::min(scan, timeIt([&] {
                            auto file = AviFile::open(large);
                            auto stream = file->firstVideoStream();
                            frames = stream->length();
                        }));
        scanCpu = std::min(scanCpu, double(std::clock() - scanBefore) / CLOCKS_PER_SEC);
        for (int j = 0; j < 3; ++j)
            cached = std::min(cached, timeIt([&] {
                                  auto file = AviFile::open(large);
                                  require(file->firstVideoStream()->length() == frames, "cached index");
                              }));
    }
    std::printf("\nMPEG-2 VOB: index scan of %.2f GB (%d frames), in the page cache\n", double(largeBytes) / 1e9, frames);
    std::printf("  reading the file (cat to /dev/null):     %8.1f ms\n", cat * 1e3);
    std::printf("  index scan (open, first opening):        %8.1f ms   ratio to reading %5.2f  (goal <= 1.3)\n", scan * 1e3,
                scan / cat);
    std::printf("  processor time: cat %.1f ms, the scan %.1f ms, ratio %5.2f\n", catCpu * 1e3,
                scanCpu * 1e3, scanCpu / catCpu);
    std::printf("  second opening, index from the cache:    %8.2f ms   (goal < 50)\n", cached * 1e3);
    QFile::remove(large);

    benchFile(form, "MPEG-2 VOB, 720x576, 2 B-frames, open groups of 15", vob, spec.frames, {200, false, false});
    {
        // What FFmpeg's MPEG-2 decoder gains from its own threads (slices of a picture: it has no
        // frame threads), decoding straight through: the most threaded jumps can gain at this moment.
        double one = 1e9;
        double many = 1e9;
        double oneCpu = 1e9;
        double manyCpu = 1e9;
        for (int i = 0; i < 2; ++i) {
            double cpu = 0;
            one = std::min(one, sequentialDecodePerFrame(vob, false, 1, &cpu));
            oneCpu = std::min(oneCpu, cpu);
            many = std::min(many, sequentialDecodePerFrame(vob, false, defaultThreads(), &cpu));
            manyCpu = std::min(manyCpu, cpu);
        }
        std::printf("    FFmpeg alone, straight through on %d slice threads: %.3f ms per frame, ratio to one thread %5.2f\n"
                    "      (one thread %.3f ms; processor time %.3f ms against %.3f ms: the wall clock got %.2f cores)\n",
                    defaultThreads(), many * 1e3, many / one, one * 1e3, manyCpu * 1e3, oneCpu * 1e3, manyCpu / many);
    }

    // What a lower limit on the decoded pictures kept (Edit > Preferences) costs the steps back.
    {
        auto stepsBack = [&](std::size_t limit) {
            return bestOf([&] {
                VideoSource video({});
                video.setDecoderSettings({0, limit});
                require(video.OpenVideo(vob), "open");
                return timeIt([&] {
                           for (int n = spec.frames - 1; n >= spec.frames - 500; --n)
                               require(video.ShowFrame(n), "backward");
                       }) / 500;
            });
        };
        const double automatic = stepsBack(0);
        std::printf("  backward step, decoded pictures kept automatically: %6.3f ms\n", automatic * 1e3);
        for (const int mib : {16, 8, 4}) {
            const double limited = stepsBack(std::size_t(mib) << 20);
            std::printf("  backward step, at most %2d MiB kept:               %6.3f ms   ratio to automatic %5.2f\n", mib,
                        limited * 1e3, limited / automatic);
        }
    }

    // Every frame of three VOBs, in a shuffled order, against FFmpeg's own decode read straight through.
    {
        std::printf("\nexactness: every frame, in random order, against FFmpeg's sequential decode\n");
        fixtures::MpegSpec s;
        s.width = 352;
        s.height = 288;
        s.frames = 600;
        s.keyInterval = 12;
        struct Case
        {
            const char* title;
            QString path;
        };
        std::vector<Case> cases;
        s.closedGop = true;
        cases.push_back({"closed groups", dir + QStringLiteral("/exact-closed.vob")});
        fixtures::writeProgramStream(cases.back().path, s);
        s.closedGop = false;
        s.muxer = "dvd";
        const QString open = dir + QStringLiteral("/exact-open-full.vob");
        fixtures::writeProgramStream(open, s);
        const std::vector<qint64> packs = fixtures::packOffsets(open);
        cases.push_back({"open groups, cut in a group", dir + QStringLiteral("/exact-cut.vob")});
        fixtures::writeSlice(open, cases.back().path, packs[packs.size() / 3 + 1], QFileInfo(open).size());
        s.startSeconds = 95440; // the 33-bit clock wraps 3.7 s in
        s.muxer = "vob";
        cases.push_back({"timestamps wrap", dir + QStringLiteral("/exact-wrap.vob")});
        fixtures::writeProgramStream(cases.back().path, s);
        for (const Case& c : cases) {
            const std::vector<QByteArray> expected = fixtures::sequentialChecksums(c.path);
            auto file = AviFile::open(c.path);
            auto stream = file->firstVideoStream();
            auto decoder = stream->openDecoder();
            const int32_t count = stream->length();
            std::vector<int32_t> order(size_t(count), 0);
            for (int32_t n = 0; n < count; ++n)
                order[size_t(n)] = n;
            std::shuffle(order.begin(), order.end(), std::mt19937(7));
            int equal = 0;
            for (const int32_t n : order) {
                const AviPicture p = decoder->decodeFrame(n);
                if (p && size_t(n) < expected.size() &&
                    fixtures::pictureChecksum(p->data, p->linesize, p->width, p->height) == expected[size_t(n)])
                    ++equal;
            }
            std::printf("  %-30s %5d of %5d frames equal (FFmpeg gives %zu)\n", c.title, equal, count, expected.size());
        }
    }

#ifdef VAZO_HAVE_FFMS2
    // FFMS2 on the same VOB: its index and random jumps (its own cache and threads), against ours.
    {
        QRandomGenerator random(23);
        std::vector<int> jumps(100, 0);
        for (int& n : jumps)
            n = int(random.bounded(spec.frames));
        FFMS_Init(0, 0);
        char text[1024] = {};
        FFMS_ErrorInfo e{FFMS_ERROR_SUCCESS, FFMS_ERROR_SUCCESS, int(sizeof text), text};
        const QByteArray name = QFile::encodeName(vob);
        FFMS_Index* index = nullptr;
        const double theirIndex = bestOf([&] {
            if (index)
                FFMS_DestroyIndex(index);
            return timeIt([&] {
                FFMS_Indexer* indexer = FFMS_CreateIndexer(name.constData(), &e);
                require(indexer, "FFMS2 indexer");
                index = FFMS_DoIndexing2(indexer, FFMS_IEH_ABORT, &e);
            });
        });
        require(index, "FFMS2 index");
        const QString ourCache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                 QStringLiteral("/vazovevoz/stream-index");
        const double ourIndex = bestOf([&] {
            QDir(ourCache).removeRecursively();
            return timeIt([&] {
                auto file = AviFile::open(vob);
                require(file->firstVideoStream()->length() == spec.frames, "our index");
            });
        });
        const int track = FFMS_GetFirstTrackOfType(index, FFMS_TYPE_VIDEO, &e);
        FFMS_VideoSource* source = FFMS_CreateVideoSource(name.constData(), track, index, defaultThreads(), FFMS_SEEK_NORMAL, &e);
        require(source, "FFMS2 video source");
        const int theirFrames = FFMS_GetVideoProperties(source)->NumFrames;
        const double theirJump = timeIt([&] {
            for (const int n : jumps)
                require(FFMS_GetFrame(source, n, &e) != nullptr, "FFMS2 frame");
        });
        FFMS_DestroyVideoSource(source);
        FFMS_DestroyIndex(index);
        auto file = AviFile::open(vob);
        auto stream = file->firstVideoStream();
        auto decoder = stream->openDecoder();
        require(decoder->decodeFrame(0) != nullptr, "first frame"); // sizes the cache
        const std::size_t budget = decoder->cacheBudget();
        const double ourJump = timeIt([&] {
            for (const int n : jumps) {
                decoder->setCacheBudget(0);
                decoder->setCacheBudget(budget);
                require(decoder->decodeFrame(n) != nullptr, "jump");
            }
        });
        std::printf("\nFFMS2 on the same VOB (%d frames; FFMS2 counts %d)\n", spec.frames, theirFrames);
        std::printf("  index: ours %8.1f ms, FFMS2 %8.1f ms   ratio %5.2f\n", ourIndex * 1e3, theirIndex * 1e3,
                    ourIndex / theirIndex);
        std::printf("  random jump: ours %6.2f ms, FFMS2 %6.2f ms   ratio %5.2f\n", ourJump / jumps.size() * 1e3,
                    theirJump / jumps.size() * 1e3, ourJump / theirJump);
    }
#else
    std::printf("\nFFMS2 is not installed (Debian libffms2-dev): no comparison with it\n");
#endif
}

} // namespace

int main(int argc, char** argv)
{
    // The drag runs in the real main window, on Qt's offscreen platform, with its settings kept in
    // a temporary folder.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR); // the encoders' statistics are not wanted here
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(dir);
    try {
        const QString mpeg4 = dir + QStringLiteral("/bench-mpeg4.avi");
        const QString mjpeg = dir + QStringLiteral("/bench-mjpeg.avi");
        const QString count1k = dir + QStringLiteral("/bench-1k.avi");
        const QString count100k = dir + QStringLiteral("/bench-100k.avi");
        std::printf("generating files in %s ...\n", qPrintable(dir));
        std::fflush(stdout);
        EncoderSpec spec;
        // "sd" or "hd" as the second argument measures only those files (a run on a busy machine
        // takes long); both by default.
        const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
        const bool sd = only.isEmpty() || only == QLatin1String("sd");
        const bool hd = only.isEmpty() || only == QLatin1String("hd");
        const bool vob = only.isEmpty() || only == QLatin1String("vob");
        // The index cache of the VOB files stays in the run's folder.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir + QStringLiteral("/cache")));
        if (sd)
            writeAvi(mpeg4, spec);
        EncoderSpec h264Spec;
        h264Spec.codec = AV_CODEC_ID_H264;
        h264Spec.bFrames = 3;
        h264Spec.frames = 1500;
        QString h264 = dir + QStringLiteral("/bench-h264.avi");
        if (!avcodec_find_encoder_by_name("libx264"))
            h264.clear();
        else if (sd)
            writeAvi(h264, h264Spec);
        // HD menus: short files of two long groups, so that every figure is measured in minutes.
        std::vector<EncoderSpec> hdSpecs;
        for (const QSize size : {QSize(1280, 720), QSize(1920, 1080)}) {
            for (const AVCodecID codec : {AV_CODEC_ID_MPEG4, AV_CODEC_ID_H264}) {
                EncoderSpec s;
                s.codec = codec;
                s.width = size.width();
                s.height = size.height();
                s.frames = 500;
                s.bFrames = codec == AV_CODEC_ID_H264 ? 3 : 2;
                hdSpecs.push_back(s);
            }
        }
        auto hdPath = [&dir](const EncoderSpec& s) {
            return dir + QStringLiteral("/bench-%1-%2.avi").arg(s.codec == AV_CODEC_ID_H264 ? "h264" : "mpeg4").arg(s.height);
        };
        if (hd) {
            for (const EncoderSpec& s : hdSpecs) {
                if (s.codec != AV_CODEC_ID_H264 || !h264.isEmpty())
                    writeAvi(hdPath(s), s);
            }
        }
        EncoderSpec mj;
        mj.codec = AV_CODEC_ID_MJPEG;
        mj.frames = 600;
        mj.keyInterval = 1;
        mj.bFrames = 0;
        if (sd)
            writeAvi(mjpeg, mj);
        EncoderSpec small;
        small.width = 64;
        small.height = 48;
        small.bFrames = 0;
        small.repeatFirst = 1000;
        if (sd) {
            writeAvi(count1k, small);
            small.repeatFirst = 100000;
            writeAvi(count100k, small);
        }

        // One main window for the whole run: the memory figures are those of the program with it.
        ScriptedDialogService dialogs;
        Application window(&dialogs);
        window.show();
        TMainForm& form = *window.mainForm;
        QCoreApplication::processEvents();

        if (sd) {
            benchFile(form, "MPEG-4 (ASP), 720x576, 2 B-frames, key frame every 250", mpeg4, spec.frames, {200, true, true});
            if (!h264.isEmpty())
                benchFile(form, "H.264, 720x576, 3 B-frames, key frame every 250", h264, h264Spec.frames, {40, false, false});
            else
                std::printf("\nH.264: FFmpeg has no H.264 encoder (libx264) here; not measured\n");
            benchFile(form, "MJPEG, 720x576", mjpeg, mj.frames, {0, false, false});
        }
        if (hd) {
            for (const EncoderSpec& s : hdSpecs) {
                const bool isH264 = s.codec == AV_CODEC_ID_H264;
                const QString file = hdPath(s);
                if (isH264 && h264.isEmpty())
                    continue;
                const QByteArray title = QStringLiteral("%1, %2x%3, %4 B-frames, key frame every 250")
                                             .arg(isH264 ? QStringLiteral("H.264") : QStringLiteral("MPEG-4 (ASP)"))
                                             .arg(s.width)
                                             .arg(s.height)
                                             .arg(s.bFrames)
                                             .toUtf8();
                benchFile(form, title.constData(), file, s.frames, {20, false, false});
            }
        }
        if (vob)
            benchVob(form, dir);
        if (!sd)
            return 0;

        auto openAndCount = [](const QString& path) {
            int32_t length = 0;
            const double t = timeIt([&] {
                for (int i = 0; i < 5; ++i) {
                    auto file = AviFile::open(path);
                    auto stream = file->firstVideoStream();
                    length = stream->length();
                }
            });
            return std::make_pair(t / 5, length);
        };
        const auto [t1k, n1k] = openAndCount(count1k);
        const auto [t100k, n100k] = openAndCount(count100k);
        require(n1k == 1000 && n100k == 100000, "frame count");
        std::printf("\nopen and count: 1 000 frames %.2f ms, 100 000 frames %.2f ms, ratio %.1f (frames ratio 100)\n",
                    t1k * 1e3, t100k * 1e3, t100k / t1k);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_video: %s\n", e.what());
        return 1;
    }
    return 0;
}
