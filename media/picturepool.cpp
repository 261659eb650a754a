#include "media/picturepool.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace {

// SIMD code reads and writes whole vectors: every plane starts on this boundary and ends in slack.
constexpr std::size_t kPlaneAlign = 64;
// Where a buffer's planes start in its first page (see PicturePool::State::take).
constexpr std::size_t kOffsets = 8;
constexpr std::size_t kOffsetStep = 7 * kPlaneAlign;
// Room before the planes: the start offset and the note right before them.
constexpr std::size_t kHeadroom = kPlaneAlign + (kOffsets - 1) * kOffsetStep + kPlaneAlign;

// Written into a buffer's own memory: where its mapping starts and how long it is (right before the
// data) and where the data starts (at the start of the mapping, when the two do not coincide).
struct Note
{
    void* base;
    std::size_t bytes;
    std::size_t offset;
};

} // namespace

// Picture buffers are mapped from the system directly, so that a trim or the last release unmaps
// them and their memory leaves the process (the C library would keep a freed 600 KB block).
struct PicturePool::State
{
    std::mutex lock;
    std::size_t size = 0;             // bytes of each buffer now handed out
    std::vector<void*> idle;          // released buffers of `size` bytes
    std::atomic<std::size_t> mapped{0}; // buffers mapped so far, for their start offsets
    std::size_t held = 0;             // bytes mapped, in use or idle
    std::atomic<int> refs{1};         // the pool's owner and every buffer out
    std::atomic<bool> attached{true}; // false once the owner has let go

    void unref()
    {
        if (refs.fetch_sub(1) == 1) {
            for (void* p : idle)
                munmap(p, size);
            delete this;
        }
    }
    static void release(void* opaque, uint8_t* data)
    {
        auto* self = static_cast<State*>(opaque);
        // The mapping's start and size ride right before the data (see take()).
        const auto* note = reinterpret_cast<const Note*>(data - kPlaneAlign);
        void* base = note->base;
        const std::size_t bytes = note->bytes;
        {
            std::lock_guard<std::mutex> guard(self->lock);
            if (bytes == self->size && self->attached) {
                self->idle.push_back(base);
                base = nullptr;
            } else {
                self->held -= bytes;
            }
        }
        if (base)
            munmap(base, bytes);
        self->unref();
    }
    // A buffer of `bytes` (its first kPlaneAlign bytes hold the size), or null.
    AVBufferRef* take(std::size_t bytes)
    {
        void* base = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (bytes != size) {
                for (void* p : idle) {
                    munmap(p, size);
                    held -= size;
                }
                idle.clear();
                size = bytes;
            }
            if (!idle.empty()) {
                base = idle.back();
                idle.pop_back();
            }
        }
        uint8_t* data = nullptr;
        if (base) {
            data = static_cast<uint8_t*>(base) + reinterpret_cast<Note*>(base)->offset;
        } else {
            base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (base == MAP_FAILED)
                return nullptr;
            // Mapped memory starts on a page: pictures that all start at the same place in a page
            // make the decoder's reads of the reference and its writes of the new picture compete
            // for the same lines of the processor's first cache (measured 10 to 20% slower on
            // MPEG-4). Each buffer starts its planes somewhere else in its first page.
            const std::size_t offset = kPlaneAlign + (mapped++ % kOffsets) * kOffsetStep;
            data = static_cast<uint8_t*>(base) + offset;
            auto* note = reinterpret_cast<Note*>(data - kPlaneAlign);
            note->base = base;
            note->bytes = bytes;
            reinterpret_cast<Note*>(base)->offset = offset;
            std::lock_guard<std::mutex> guard(lock);
            held += bytes;
        }
        refs.fetch_add(1);
        AVBufferRef* ref = av_buffer_create(data, bytes - kHeadroom, release, this, 0);
        if (!ref)
            release(this, data);
        return ref;
    }
};

namespace {

// The codec's get_buffer2: one buffer for all planes of a picture, laid out as FFmpeg's own
// allocator does (the codec's aligned size, rows widened until every plane's stride is aligned).
int getBuffer(AVCodecContext* codec, AVFrame* frame, int flags)
{
    auto* state = static_cast<PicturePool::State*>(codec->opaque);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    const bool plain = desc && !(desc->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM));
    if (!state || !plain || codec->codec_type != AVMEDIA_TYPE_VIDEO || frame->width <= 0 || frame->height <= 0)
        return avcodec_default_get_buffer2(codec, frame, flags);

    int w = frame->width;
    int h = frame->height;
    int align[AV_NUM_DATA_POINTERS] = {};
    avcodec_align_dimensions2(codec, &w, &h, align);
    int linesize[4] = {};
    for (;;) {
        if (av_image_fill_linesizes(linesize, AVPixelFormat(frame->format), w) < 0)
            return avcodec_default_get_buffer2(codec, frame, flags);
        bool aligned = true;
        for (int i = 0; i < 4; ++i) {
            const int a = std::max(align[i], int(kPlaneAlign));
            aligned = aligned && linesize[i] % a == 0;
        }
        if (aligned)
            break;
        w += w & ~(w - 1);
    }
    ptrdiff_t strides[4] = {linesize[0], linesize[1], linesize[2], linesize[3]};
    size_t planeSizes[4] = {};
    if (av_image_fill_plane_sizes(planeSizes, AVPixelFormat(frame->format), h, strides) < 0)
        return avcodec_default_get_buffer2(codec, frame, flags);
    std::size_t total = kHeadroom;
    for (const size_t s : planeSizes)
        total += s ? (s + 2 * kPlaneAlign - 1) / kPlaneAlign * kPlaneAlign : 0;

    AVBufferRef* buffer = state->take(total);
    if (!buffer)
        return AVERROR(ENOMEM);
    frame->buf[0] = buffer;
    uint8_t* p = buffer->data;
    for (int i = 0; i < 4; ++i) {
        frame->linesize[i] = linesize[i];
        frame->data[i] = planeSizes[i] ? p : nullptr;
        p += planeSizes[i] ? (planeSizes[i] + 2 * kPlaneAlign - 1) / kPlaneAlign * kPlaneAlign : 0;
    }
    frame->extended_data = frame->data;
    return 0;
}

} // namespace

std::shared_ptr<PicturePool> PicturePool::create()
{
    std::shared_ptr<PicturePool> pool(new PicturePool);
    pool->state = new State;
    return pool;
}

PicturePool::~PicturePool()
{
    {
        std::lock_guard<std::mutex> guard(state->lock);
        state->attached = false;
    }
    trim();
    state->unref();
}

void PicturePool::attach(AVCodecContext* codec)
{
    if (!(codec->codec->capabilities & AV_CODEC_CAP_DR1))
        return;
    codec->opaque = state;
    codec->get_buffer2 = getBuffer;
#if LIBAVCODEC_VERSION_MAJOR < 60
    // Without this FFmpeg 5 hands every picture request of a frame thread to the thread that feeds
    // the codec and waits for it there (measured: threaded jumps took 1.3 to 1.7 times the
    // processor time of one thread instead of 1.1). Ours only takes a lock; from FFmpeg 6 on every
    // callback is taken to be thread-safe.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    codec->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
}

void PicturePool::trim()
{
    std::vector<void*> idle;
    std::size_t size = 0;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        idle.swap(state->idle);
        size = state->size;
        state->held -= idle.size() * size;
    }
    for (void* p : idle)
        munmap(p, size);
}

std::size_t PicturePool::bytesHeld() const
{
    std::lock_guard<std::mutex> guard(state->lock);
    return state->held;
}
