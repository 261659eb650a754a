#include "media/avifile.h"

#include "media/aviriff.h"
#include "media/h264order.h"
#include "media/picturepool.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <numeric>
#include <thread>
#include <unordered_map>
#include <utility>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

// How frames are found.
//
// The sample table comes from the file's own index (media/aviriff.*): one entry per sample with
// the position and size of its chunk; zero-length chunks are drop samples. Only the non-empty
// samples hold pictures, so the pictures are numbered by "rank", their place among the non-empty
// samples: frame n shows the picture of the last non-empty sample at or before n.
//
// The decoder gets the chunks in stored order (which for B-frames is decode order) and gives the
// pictures back in presentation order, `delay` pictures later than it got their chunks (one for
// MPEG-4 with B-frames, whether packed or not; more for H.264 with B-frames; none for intra-only
// codecs). The first picture after a restart at a key chunk is therefore rank (chunks fed - delay);
// the following ones count up by one. The delay is measured once, by decoding from the very first
// chunk, whose picture is rank 0 by definition.
//
// Jumps may go to a second decoder with the codec's threads. With frame threads every chunk goes to
// the next thread, and what comes out belongs to the chunk that went in `lag` chunks earlier
// (threads - 1 in FFmpeg, but measured the same way as the delay), so that run remembers the last
// chunks it gave and numbers each picture from the one it belongs to. Steps stay on the
// single-threaded decoder, whose pictures come out in step with its chunks.
//
// H.264 jumps work differently: the headers of the group's chunks (media/h264order.*) tell the
// order its pictures are shown in and which pictures others refer to. The jump leaves out every
// picture nothing refers to that is shown before the one asked for (about half of them with three
// B-frames), and each picture that comes out is placed by its own chunk, which the decoder hands on
// with it, whatever the threads or the left-out pictures do to the timing.
//
// In an open group of pictures the B-frames stored right after a key chunk are shown before its
// picture and refer to the previous group; the decoder drops them after a restart. The key picture's
// own rank is therefore the key chunk's rank plus the number of those B-frames, which we read from
// the picture headers of the few chunks after each key chunk. A picture that comes before the key
// picture of its group is decoded by starting at the previous key chunk.

namespace {

constexpr int64_t kMaxPictureBytes = int64_t(256) << 20; // width x height x 3
// The colour converter's vector code works on groups of pixels: given rows just as long as the
// picture is wide, it either writes past the end of a row (valgrind shows 8-byte stores reaching past
// the end of the memory) or leaves the last pixels of every row unconverted (black), depending on
// the width. Every picture it writes into therefore has rows long enough for whole groups, and ends
// in slack that no row uses.
constexpr size_t kScaleSlack = 256;
int scaleStride(int width, int bytesPerPixel)
{
    return ((width + 31) & ~31) * bytesPerPixel;
}
// The cache holds the longest group of the stream and this many pictures more (the few kept on the
// way forward and the ones a step back keeps above the picture shown), so that a step back decodes
// each group once; never more than this share of the machine's memory.
constexpr int kCacheExtraPictures = 24;
constexpr int kCacheShareOfMemory = 4; // a quarter
// Stepping back, pictures this far above the one shown are kept for a step forward again; those
// further up are the first to go when the cache is full.
constexpr int32_t kKeptAbove = 4;
constexpr int kMaxLeadingBLookahead = 8;
constexpr size_t kBFrameProbe = 64;
constexpr int32_t kStepBackWindow = 64;
// Pictures decoded on the way forward are kept only this many at a time: enough for the pictures a
// decoder hands out ahead of their turn and for a few steps back. Keeping every one would write each
// new picture into memory the processor's caches have long forgotten, which makes plain forward
// stepping markedly slower than decoding; a longer step back fills the cache with its whole group
// at once instead.
constexpr int kForwardPictures = 12;
// A walk forward of up to this many pictures from where the single-threaded run stands is no jump:
// it stays on that run, as a step does.
constexpr int32_t kShortWalk = 16;
// After a step forward the second core makes this many pictures ahead.
constexpr int32_t kAheadPictures = 2;

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

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;

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

QString printableFourCC(const QByteArray& code)
{
    QString text;
    for (const char c : code) {
        if (c >= 0x20 && c < 0x7f)
            text += QLatin1Char(c);
    }
    return text.trimmed();
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

// The colour table of a picture of 8 bits or fewer, which the stream format carries after its
// header (FFmpeg keeps it as the codec's extra data). Decoders take it with each packet as 256
// opaque colours in native byte order.
QByteArray paletteOf(const AVCodecParameters* par)
{
    if (par->bits_per_coded_sample <= 0 || par->bits_per_coded_sample > 8 || par->extradata_size < 4)
        return {};
    // FFmpeg marks bottom-up rows for its raw decoder by appending "BottomUp" to the extra data.
    static const char bottomUp[] = "BottomUp"; // with its terminating zero: 9 bytes
    int size = par->extradata_size;
    if (size >= int(sizeof bottomUp) &&
        std::memcmp(par->extradata + size - sizeof bottomUp, bottomUp, sizeof bottomUp) == 0)
        size -= int(sizeof bottomUp);
    const int entries = std::min(1 << par->bits_per_coded_sample, size / 4);
    if (entries <= 0)
        return {};
    const uint8_t* table = par->extradata + size - entries * 4;
    QByteArray palette(AVPALETTE_SIZE, '\0');
    auto* colours = reinterpret_cast<uint32_t*>(palette.data());
    for (int i = 0; i < entries; ++i) {
        const uint8_t* q = table + 4 * i; // blue, green, red, unused
        colours[i] = 0xFF000000u | uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
    }
    return palette;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

struct AviFile::Impl
{
    QString path;
    FormatPtr format;
    AviLayout layout;
    std::function<void(AviRelease)> observer;

    void released(AviRelease what) const
    {
        if (observer)
            observer(what);
    }

    // The data of one chunk, read through FFmpeg's own file access.
    bool readChunk(int64_t pos, uint32_t size, uint32_t limit, AVPacket* pkt, QString* error)
    {
        av_packet_unref(pkt);
        if (size > limit) {
            setError(error, QStringLiteral("the chunk at byte %1 is larger than any picture of the stream").arg(pos));
            return false;
        }
        int rc = av_new_packet(pkt, int(size));
        if (rc < 0) {
            setError(error, ffmpegText(rc));
            return false;
        }
        AVIOContext* io = format->pb;
        if (avio_seek(io, pos, SEEK_SET) < 0 || avio_read(io, pkt->data, int(size)) != int(size)) {
            setError(error, QStringLiteral("cannot read the chunk at byte %1").arg(pos));
            av_packet_unref(pkt);
            return false;
        }
        return true;
    }
    QByteArray readHead(int64_t pos, uint32_t size, uint32_t limit)
    {
        const int n = int(std::min(size, limit));
        QByteArray data(n, Qt::Uninitialized);
        AVIOContext* io = format->pb;
        if (avio_seek(io, pos, SEEK_SET) < 0 || avio_read(io, reinterpret_cast<unsigned char*>(data.data()), n) != n)
            return {};
        return data;
    }
};

AviFile::AviFile(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

AviFile::~AviFile()
{
    d->format.reset();
    d->released(AviRelease::File);
}

QString AviFile::path() const
{
    return d->path;
}

void AviFile::setReleaseObserver(std::function<void(AviRelease)> observer)
{
    d->observer = std::move(observer);
}

std::unique_ptr<AviFile> AviFile::open(const QString& path, QString* error)
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

    auto impl = std::make_unique<Impl>();
    impl->path = path;
    if (path.isEmpty()) {
        setError(error, QStringLiteral("no file name"));
        return nullptr;
    }
    AVFormatContext* raw = nullptr;
    const AVInputFormat* avi = av_find_input_format("avi");
    // Always through FFmpeg's plain file access: a name like "menu:intro.avi" (a legal file name)
    // or "http://..." read from a menu file must not select another of its protocols.
    const QByteArray name = "file:" + QFile::encodeName(path);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int rc = avformat_open_input(&raw, name.constData(), avi, &options);
    av_dict_free(&options);
    if (rc < 0) {
        // On failure FFmpeg has already freed the context.
        setError(error, QStringLiteral("%1: %2").arg(path, ffmpegText(rc)));
        return nullptr;
    }
    impl->format.reset(raw);
    impl->layout = readAviLayout(path);
    if (!impl->layout.isAvi) {
        setError(error, QStringLiteral("%1: not an AVI file").arg(path));
        return nullptr;
    }
    return std::unique_ptr<AviFile>(new AviFile(std::move(impl)));
}

// ---------------------------------------------------------------------------------------------------

struct AviStream::Impl
{
    AviFile::Impl* file = nullptr;
    AVStream* stream = nullptr; // FFmpeg's, owned by the format context
    AviStreamInfo info;
    uint32_t scale = 0;
    uint32_t rate = 0;
    std::vector<AviSample> samples;
    std::vector<int32_t> pictureSample; // rank -> sample number of the chunk holding it
    std::vector<int32_t> keyRanks;      // ranks of the key chunks, ascending
    std::vector<int32_t> keyPictureRanks; // rank of each key chunk's own picture
    std::vector<int32_t> keyFrames;     // sample numbers of the key pictures, ascending
    QByteArray palette; // 256 colours as the decoders take them, for pictures of 8 bits and fewer
    bool scanned = false;
    bool usable = false; // picture size and codec parameters fit for decoding
    bool bFrames = false; // MPEG-4 (DivX, Xvid) with B-frames
    bool packed = false;  // ... stored as a packed bitstream (a P and a B in one chunk)

    int32_t rankOf(int32_t n) const
    {
        const auto it = std::upper_bound(pictureSample.begin(), pictureSample.end(), n);
        return it == pictureSample.begin() ? 0 : int32_t(it - pictureSample.begin()) - 1;
    }

    void build();
    bool hasBFrames();
    void findScannedKeys();
    int leadingBFrames(int32_t keyRank);
};

void AviStream::Impl::build()
{
    for (int32_t n = 0; n < int32_t(samples.size()); ++n) {
        if (samples[size_t(n)].size > 0)
            pictureSample.push_back(n);
    }
    if (scanned)
        findScannedKeys();
    for (int32_t r = 0; r < int32_t(pictureSample.size()); ++r) {
        if (samples[size_t(pictureSample[size_t(r)])].key)
            keyRanks.push_back(r);
    }
    // Decoding has to start somewhere: without a key mark on the first picture (a damaged index),
    // the first picture is where it starts.
    if (!pictureSample.empty() && (keyRanks.empty() || keyRanks.front() != 0))
        keyRanks.insert(keyRanks.begin(), 0);

    bFrames = stream && stream->codecpar->codec_id == AV_CODEC_ID_MPEG4 && hasBFrames();
    for (const int32_t k : keyRanks) {
        int32_t pictureRank = k + (bFrames ? leadingBFrames(k) : 0);
        pictureRank = std::min<int32_t>(pictureRank, int32_t(pictureSample.size()) - 1);
        keyPictureRanks.push_back(pictureRank);
        keyFrames.push_back(pictureSample[size_t(pictureRank)]);
    }
    std::sort(keyFrames.begin(), keyFrames.end());
    keyFrames.erase(std::unique(keyFrames.begin(), keyFrames.end()), keyFrames.end());
}

// Whether the first pictures hold any B-frame; a stream without them has no reordering to look
// into at every key frame (which costs a read per key frame when opening). Notes on the way
// whether they come packed, two pictures in a chunk.
bool AviStream::Impl::hasBFrames()
{
    const size_t probe = std::min<size_t>(pictureSample.size(), kBFrameProbe);
    bool found = false;
    for (size_t r = 0; r < probe; ++r) {
        const AviSample& s = samples[size_t(pictureSample[r])];
        const std::vector<int> types = mpeg4VopTypes(file->readHead(s.pos, s.size, 4096));
        found = found || std::find(types.begin(), types.end(), 2) != types.end();
        packed = packed || types.size() > 1;
    }
    return found;
}

// The B-frames that follow the key picture in stored order, in its own chunk (packed bitstreams)
// and in the chunks after it, up to the next picture that is not a B-frame.
int AviStream::Impl::leadingBFrames(int32_t keyRank)
{
    int count = 0;
    for (int i = 0; i <= kMaxLeadingBLookahead && keyRank + i < int32_t(pictureSample.size()); ++i) {
        const AviSample& s = samples[size_t(pictureSample[size_t(keyRank + i)])];
        const std::vector<int> types = mpeg4VopTypes(file->readHead(s.pos, s.size, 4096));
        auto it = types.begin();
        if (i == 0) {
            it = std::find(types.begin(), types.end(), 0); // the I-VOP
            if (it == types.end())
                return 0;
            ++it;
        } else if (types.empty()) {
            return count;
        }
        for (; it != types.end(); ++it) {
            if (*it != 2)
                return count;
            ++count;
        }
    }
    return count;
}

// A file without a usable index: its key frames come from the pictures themselves.
void AviStream::Impl::findScannedKeys()
{
    const AVCodecID id = stream ? stream->codecpar->codec_id : AV_CODEC_ID_NONE;
    for (const int32_t n : pictureSample) {
        AviSample& s = samples[size_t(n)];
        if (isIntraOnly(id)) {
            s.key = true;
        } else if (id == AV_CODEC_ID_MPEG4) {
            const std::vector<int> types = mpeg4VopTypes(file->readHead(s.pos, s.size, 4096));
            s.key = !types.empty() && types.front() == 0;
        }
        // Other codecs: only the first picture is known to start a group; decoding starts there.
    }
}

AviStream::AviStream(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

AviStream::~AviStream()
{
    d->file->released(AviRelease::Stream);
}

std::unique_ptr<AviStream> AviFile::firstVideoStream(QString* error)
{
    const AviLayout& layout = d->layout;
    if (layout.videoStream < 0 || !layout.hasStreamHeader) {
        setError(error, QStringLiteral("%1: the file has no video stream").arg(d->path));
        return nullptr;
    }
    auto impl = std::make_unique<AviStream::Impl>();
    impl->file = d.get();

    AVFormatContext* fc = d->format.get();
    if (unsigned(layout.videoStream) < fc->nb_streams &&
        fc->streams[layout.videoStream]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        impl->stream = fc->streams[layout.videoStream];
    } else {
        for (unsigned i = 0; i < fc->nb_streams; ++i) {
            if (fc->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                impl->stream = fc->streams[i];
                break;
            }
        }
    }

    impl->scale = layout.scale;
    impl->rate = layout.rate;
    impl->samples = layout.samples;
    impl->scanned = layout.source == AviLayout::Source::Scan;
    if (impl->stream)
        impl->palette = paletteOf(impl->stream->codecpar);
    impl->build();

    AviStreamInfo& info = impl->info;
    info.length = int32_t(std::min<size_t>(impl->samples.size(), size_t(INT32_MAX)));
    info.fourCC = printableFourCC(layout.handler.isEmpty() || layout.handler == QByteArray(4, '\0')
                                      ? layout.compression
                                      : layout.handler);
    info.rateNumerator = int(std::min<uint32_t>(layout.rate, INT32_MAX));
    info.rateDenominator = int(std::min<uint32_t>(layout.scale, INT32_MAX));

    // Uncompressed pictures may store their rows top-down, which the format says with a negative
    // height (the ffmpeg tool writes RGB so). FFmpeg's reader takes the sign into account; the picture
    // is as high as the number says. A compressed picture with a negative height stays refused.
    const bool uncompressed = layout.compression == QByteArray("\0\0\0\0", 4) || // BI_RGB
                              layout.compression == QByteArray("\3\0\0\0", 4);   // BI_BITFIELDS
    const int64_t formatHeight = uncompressed && layout.bitmapHeight < 0 ? -int64_t(layout.bitmapHeight)
                                                                         : int64_t(layout.bitmapHeight);
    // The picture size is the stream's frame rectangle, or the format's when the rectangle is empty.
    int64_t w = layout.frameRight > layout.frameLeft ? layout.frameRight : layout.bitmapWidth;
    int64_t h = layout.frameBottom > layout.frameTop ? layout.frameBottom : formatHeight;
    // Divided rather than multiplied: the header's numbers may be anything up to 2^32, and their
    // product would overflow before it could be compared.
    auto fits = [](int64_t width, int64_t height) {
        return width > 0 && height > 0 && width <= kMaxPictureBytes / 3 / height;
    };
    const bool sizeSane =
        layout.hasFormat && fits(w, h) && fits(int64_t(layout.bitmapWidth), formatHeight);
    if (sizeSane) {
        info.width = int(w);
        info.height = int(h);
    }
    const AVCodec* codec = impl->stream ? avcodec_find_decoder(impl->stream->codecpar->codec_id) : nullptr;
    info.codecName = codec ? QString::fromLatin1(codec->name) : info.fourCC;
    info.valid = sizeSane && layout.rate > 0 && layout.scale > 0 && info.length > 0;
    impl->usable = sizeSane && impl->stream && info.length > 0 && !impl->pictureSample.empty();
    return std::unique_ptr<AviStream>(new AviStream(std::move(impl)));
}

const AviStreamInfo& AviStream::info() const
{
    return d->info;
}

uint32_t AviStream::sampleToTime(int32_t n) const
{
    if (d->rate == 0)
        return 0;
    const int64_t clamped = std::clamp<int64_t>(n, 0, d->info.length);
    const uint64_t ms = uint64_t(clamped) * d->scale * 1000u / d->rate;
    return uint32_t(std::min<uint64_t>(ms, UINT32_MAX));
}

int32_t AviStream::findKeyFrame(int32_t pos, KeySearch how) const
{
    const std::vector<int32_t>& keys = d->keyFrames;
    const int32_t length = d->info.length;
    if (keys.empty() || length <= 0)
        return -1;
    if (how == KeySearch::Next) {
        if (pos >= length)
            return -1;
        const auto it = std::lower_bound(keys.begin(), keys.end(), std::max(pos, 0));
        return it == keys.end() ? -1 : *it;
    }
    if (pos < 0)
        return -1;
    const auto it = std::upper_bound(keys.begin(), keys.end(), std::min(pos, length - 1));
    return it == keys.begin() ? -1 : *(it - 1);
}

const std::vector<int32_t>& AviStream::keyFrames() const
{
    return d->keyFrames;
}

bool AviStream::scannedWithoutIndex() const
{
    return d->scanned;
}

// ---------------------------------------------------------------------------------------------------

// One decoder context and its place in the stream. A frame decoder has one on a single thread,
// which every step uses, and may open a second with the codec's own threads for jumps.
struct DecoderRun
{
    CodecPtr codec;
    // Pictures a frame-threaded decoder holds back beyond the codec's own delay: each chunk goes to
    // the next thread, and what comes out belongs to the chunk given `lag` chunks earlier. 0 on
    // one thread and with slice threads.
    int lag = 0;
    bool running = false;  // fed since the last flush and still in step
    bool drained = false;  // the end of the stream was signalled
    int runKey = 0;        // index into keyRanks where this run started
    int32_t nextFeed = 0;  // rank of the next chunk to feed
    int32_t lastOut = -1;  // rank of the last picture that came out in this run, -1 before the first
    int32_t drainedOut = 0; // pictures that came out after the end was signalled
    std::deque<int32_t> sent; // ranks of the last lag + 1 chunks that went in (frame threads only)
    bool measuring = false;     // decoding from the first chunk to learn the lag
    bool mayUseOrder = false;   // the run may place pictures by their group's order (H.264 jumps) ...
    bool byOrder = false;       // ... and does so since its restart
    int32_t firstOutAfter = -1; // ... the chunk after which the first picture came out
};

struct AviFrameDecoder::Impl
{
    // Both runs take their pictures from here (declared first: it goes last).
    std::shared_ptr<PicturePool> pool = PicturePool::create();
    AviStream::Impl* stream = nullptr;
    AviFile::Impl* file = nullptr;
    const AVCodec* decoder = nullptr;
    DecoderRun serial;
    // The threaded run for jumps: opened at the first jump that can use it, null when the codec has
    // no threads (or only one thread is wanted).
    std::unique_ptr<DecoderRun> parallel;
    bool parallelTried = false;
    int threads = defaultDecoderThreads();
    PacketPtr packet;
    FramePtr frame;
    SwsPtr sws;
    QString error;
    std::atomic<int64_t> decoded{0};
    int64_t threadedJumps = 0;
    uint32_t chunkLimit = 0; // no chunk of this stream can sensibly be larger

    int delay = -1;           // the codec's own: pictures between a chunk going in and its picture coming out
    int32_t lastAsked = -1;   // rank last asked for
    int32_t skipBefore = -1;  // B-frames showing pictures before this rank are not decoded
    int32_t pinned = -1;      // the rank being decoded stays in the cache whatever the budget
    bool fillRun = false;     // this run decodes a group for stepping back: keep all it makes
    // H.264: the reader of its headers, and each group's order once read (empty: not followed).
    std::unique_ptr<H264HeaderReader> h264;
    std::vector<std::optional<std::vector<H264GroupPicture>>> groupOrders;
    std::vector<bool> groupOrderRead;

    // Decoded pictures by rank, evicted least recently used first.
    struct Entry
    {
        AviPicture picture;
        std::size_t bytes = 0;
        std::list<int32_t>::iterator use;
        bool forward = false; // decoded on the way forward, not by a fill for stepping back
    };
    std::unordered_map<int32_t, Entry> cache;
    std::list<int32_t> uses; // most recent first
    std::size_t cacheBytes = 0;
    // The second core. While the caller converts and shows the picture it got, a worker decodes what
    // the next request most likely asks for: the next picture after a step forward, the group
    // before after a step back (so that the step into it costs a conversion, not a group). Any
    // other request stops it first. Whoever decodes owns the runs, the file and the counters of
    // the decoder alone: the caller decodes only while the worker is idle; the cache and the
    // job are shared under `lock`.
    enum class Job { None, Ahead, FillGroup };
    std::thread worker;
    std::thread::id workerId;
    std::mutex lock;
    std::condition_variable toWorker;   // a job, room in the cache, stop, quit
    std::condition_variable fromWorker; // a picture stored, a job ended, the worker waits for room
    Job job = Job::None;     // posted, not yet taken
    int32_t jobArg = -1;     // Ahead: the rank to make; FillGroup: the group's key index
    Job running = Job::None; // taken and in progress
    int32_t runningArg = -1;
    bool waitingForRoom = false;
    int32_t aheadLimit = -1; // the run ahead decodes up to this rank, then waits for the next step
    bool aheadWaiting = false; // ... and is waiting now
    bool quit = false;
    std::atomic<bool> stop{false};
    std::atomic<int64_t> backgroundDecoded{0};
    QString workerError; // the worker's own failures, never shown

    std::size_t budget = 0; // 0: not yet sized (see sizeBudget)
    bool budgetGiven = false; // set by setCacheBudget, kept as given
    int32_t longestGroup = 1; // pictures of the longest group, counted from its key chunk
    int forwardCount = 0;

    static int defaultDecoderThreads()
    {
        return int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    }

    // The budget follows the first picture: one group of pictures of this size and a few more.
    void sizeBudget(std::size_t pictureBytes)
    {
        if (budgetGiven || budget != 0)
            return;
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        const std::size_t share = pages > 0 && pageSize > 0
                                      ? std::size_t(pages) / kCacheShareOfMemory * std::size_t(pageSize)
                                      : std::size_t(1) << 30;
        const std::size_t group = pictureBytes * std::size_t(longestGroup + kCacheExtraPictures);
        budget = std::max(std::min(group, share), pictureBytes * 2);
    }

    AviPicture cached(int32_t rank)
    {
        std::lock_guard<std::mutex> guard(lock);
        return cachedLocked(rank);
    }
    AviPicture cachedLocked(int32_t rank)
    {
        const auto it = cache.find(rank);
        if (it == cache.end())
            return nullptr;
        uses.splice(uses.begin(), uses, it->second.use);
        return it->second.picture;
    }
    void store(int32_t rank, AviPicture picture)
    {
        std::unique_lock<std::mutex> guard(lock);
        if (cache.count(rank))
            return;
        const std::size_t bytes = frameBytes(picture.get());
        sizeBudget(bytes);
        if (fillRun && onWorker()) {
            // Filling the group below for the steps back: it takes the room of the pictures the
            // steps have left behind, and waits for more rather than push out pictures still to come.
            while (cacheBytes + bytes > budget) {
                if (evictFurthestPassed(-1))
                    continue;
                if (stop)
                    return;
                waitingForRoom = true;
                fromWorker.notify_all();
                toWorker.wait(guard);
                waitingForRoom = false;
            }
        }
        uses.push_front(rank);
        cache.emplace(rank, Entry{std::move(picture), bytes, uses.begin(), !fillRun});
        cacheBytes += bytes;
        if (!fillRun)
            ++forwardCount;
        trim(rank);
        if (onWorker())
            fromWorker.notify_all();
    }
    void trim(int32_t keep)
    {
        // Least recently used first; the picture just stored and the one being decoded stay.
        auto it = uses.end();
        while (forwardCount > kForwardPictures && it != uses.begin()) {
            --it;
            const int32_t victim = *it;
            if (victim == keep || victim == pinned || !cache.find(victim)->second.forward)
                continue;
            it = evict(it);
        }
        // Over the budget, the pictures a step back has left behind go first, the furthest first:
        // the group below the one shown is still to come.
        while (cacheBytes > budget && evictFurthestPassed(keep)) {
        }
        it = uses.end();
        while (cacheBytes > budget && it != uses.begin()) {
            --it;
            const int32_t victim = *it;
            if (victim == keep || victim == pinned)
                continue;
            it = evict(it);
        }
    }
    bool evictFurthestPassed(int32_t keep)
    {
        if (lastAsked < 0)
            return false;
        int32_t furthest = -1;
        for (const auto& [rank, entry] : cache) {
            if (rank > lastAsked + kKeptAbove && rank > furthest && rank != keep && rank != pinned)
                furthest = rank;
        }
        if (furthest < 0)
            return false;
        evict(cache.find(furthest)->second.use);
        return true;
    }
    void clearCache()
    {
        cache.clear();
        uses.clear();
        cacheBytes = 0;
        forwardCount = 0;
    }
    std::list<int32_t>::iterator evict(std::list<int32_t>::iterator use)
    {
        const auto entry = cache.find(*use);
        cacheBytes -= entry->second.bytes;
        if (entry->second.forward)
            --forwardCount;
        cache.erase(entry);
        return uses.erase(use);
    }

    bool onWorker() const { return std::this_thread::get_id() == workerId; }
    QString& err() { return onWorker() ? workerError : error; }
    bool useWorker() const { return threads > 1; }

    ~Impl()
    {
        if (!worker.joinable())
            return;
        {
            std::lock_guard<std::mutex> guard(lock);
            quit = true;
            stop = true;
            job = Job::None;
        }
        toWorker.notify_all();
        worker.join();
    }

    void workerLoop()
    {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            toWorker.wait(guard, [this] { return quit || job != Job::None; });
            if (quit)
                return;
            running = std::exchange(job, Job::None);
            runningArg = jobArg;
            guard.unlock();
            runJob(running, runningArg);
            guard.lock();
            running = Job::None;
            fromWorker.notify_all();
        }
    }
    // With `lock` held: stops the job in progress and drops the one posted.
    void stopLocked(std::unique_lock<std::mutex>& guard)
    {
        job = Job::None;
        if (running == Job::None)
            return;
        stop = true;
        toWorker.notify_all();
        fromWorker.wait(guard, [this] { return running == Job::None; });
        stop = false;
    }
    void stopWorker()
    {
        std::unique_lock<std::mutex> guard(lock);
        stopLocked(guard);
    }
    // Whether the worker's run ahead is under way and reaches `rank` (woken up for the new limit).
    bool aheadGoesOn(int32_t rank)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (running != Job::Ahead || runningArg > rank || stop)
            return false;
        toWorker.notify_all();
        return true;
    }
    void post(Job what, int32_t arg)
    {
        if (!useWorker())
            return;
        if (!worker.joinable()) {
            worker = std::thread([this] { workerLoop(); });
            workerId = worker.get_id();
        }
        std::unique_lock<std::mutex> guard(lock);
        if ((running == what && runningArg == arg) || (job == what && jobArg == arg))
            return; // already on it
        stopLocked(guard);
        job = what;
        jobArg = arg;
        toWorker.notify_all();
    }
    // The picture, when it is cached or the worker is making it (then it waits for it); null when
    // the caller has to decode it itself.
    AviPicture awaitWorker(int32_t rank)
    {
        std::unique_lock<std::mutex> guard(lock);
        const int group = keyIndexFor(rank);
        auto makes = [&](Job what, int32_t arg) {
            const bool ahead = what == Job::Ahead && (arg == rank || (what == running && arg < rank && rank <= aheadLimit));
            return ahead || (what == Job::FillGroup && arg == group);
        };
        for (;;) {
            if (AviPicture hit = cachedLocked(rank))
                return hit;
            if (!makes(running, runningArg) && !makes(job, jobArg))
                return nullptr;
            if (running == Job::Ahead && aheadWaiting)
                return nullptr; // it made what it was allowed to, and not this (a tiny cache let it go)
            if (waitingForRoom) {
                // Nothing more can be left behind: the fill cannot reach the picture.
                if (!evictFurthestPassed(-1))
                    return nullptr;
                toWorker.notify_all();
            }
            fromWorker.wait(guard);
        }
    }
    void runJob(Job what, int32_t arg)
    {
        workerError.clear();
        if (what == Job::Ahead) {
            const int key = keyIndexFor(arg);
            DecoderRun* run = &serial;
            if (!canCarryOn(serial, arg, key) && parallel && canCarryOn(*parallel, arg, key))
                run = parallel.get();
            fillRun = false;
            // It carries on as long as the steps go on: each step moves the limit one picture further,
            // so the next picture is usually made before it is asked for, and this thread does not
            // go to sleep and wake up again for every step.
            for (int32_t target = arg;; ++target) {
                skipBefore = target;
                pinned = target;
                if (!cached(target) && !runTo(*run, target, canCarryOn(*run, target, keyIndexFor(target))))
                    return;
                std::unique_lock<std::mutex> guard(lock);
                aheadWaiting = true;
                fromWorker.notify_all();
                toWorker.wait(guard, [&] { return stop || quit || aheadLimit > target; });
                aheadWaiting = false;
                if (stop || quit)
                    return;
            }
        } else if (what == Job::FillGroup) {
            const auto& kp = stream->keyPictureRanks;
            const int32_t first = kp[size_t(arg)];
            const int32_t last = (size_t(arg) + 1 < kp.size() ? kp[size_t(arg) + 1] : int32_t(stream->pictureSample.size())) - 1;
            if (groupCached(first, last))
                return;
            skipBefore = -1;
            fillRun = true;
            pinned = -1;
            fillGroup(last);
        }
    }
    bool groupCached(int32_t first, int32_t last)
    {
        std::lock_guard<std::mutex> guard(lock);
        for (int32_t r = first; r <= last; ++r) {
            if (!cache.count(r))
                return false;
        }
        return true;
    }

    // Everything decoded goes, and so do the codecs' own pools of picture memory, which keep every
    // picture they ever handed out until the codec is closed: the codecs are opened afresh, and the
    // next request starts from its key frame. The freed memory is given back to the system.
    void releaseMemory()
    {
        stopWorker();
        {
            std::lock_guard<std::mutex> guard(lock);
            clearCache();
        }
        if (CodecPtr fresh = openCodec(1, nullptr)) {
            serial.codec = std::move(fresh);
            serial.running = false;
        }
        parallel.reset();
        parallelTried = false;
        pool->trim();
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
    }

    int keyIndexFor(int32_t rank) const
    {
        const auto& kp = stream->keyPictureRanks;
        const auto it = std::upper_bound(kp.begin(), kp.end(), rank);
        return it == kp.begin() ? 0 : int(it - kp.begin()) - 1;
    }

    void restart(DecoderRun& run, int keyIndex)
    {
        avcodec_flush_buffers(run.codec.get());
        run.running = true;
        run.drained = false;
        run.drainedOut = 0;
        run.runKey = keyIndex;
        run.nextFeed = stream->keyRanks[size_t(keyIndex)];
        run.lastOut = -1;
        run.sent.clear();
        run.byOrder = run.mayUseOrder && groupOrder(keyIndex) != nullptr;
    }
    // Whether the run has already passed the key chunk a decode of `rank` would start from and has
    // not yet passed `rank` itself.
    bool canCarryOn(const DecoderRun& run, int32_t rank, int key) const
    {
        return run.running && !run.drained && run.lastOut < rank && run.runKey <= key &&
               run.nextFeed > stream->keyRanks[size_t(key)];
    }

    // Whether the picture comes out of the run only when it is drained at the end of the stream.
    bool drains(const DecoderRun& run, int32_t rank) const
    {
        return int64_t(rank) + delay + run.lag >= int64_t(stream->pictureSample.size());
    }
    int groupOf(int32_t rank) const
    {
        const auto& kr = stream->keyRanks;
        const auto it = std::upper_bound(kr.begin(), kr.end(), rank);
        return it == kr.begin() ? 0 : int(it - kr.begin()) - 1;
    }
    const std::vector<H264GroupPicture>* groupOrder(int keyIndex);
    int32_t rankByOrder(int64_t chunk);

    CodecPtr openCodec(int threadCount, QString* why);
    DecoderRun* parallelFor(int32_t rank);
    bool step(DecoderRun& run);
    bool receive(DecoderRun& run);
    static bool isLoneBFrame(const AVPacket* pkt);
    AviPicture decodeRank(int32_t rank);
    AviPicture decodeHere(int32_t rank, bool steppingBack);
    AviPicture runTo(DecoderRun& run, int32_t rank, bool carryOn);
    AviPicture fillGroup(int32_t rank);
    bool learnDelay();
};

// Feeds one chunk (or the end of the stream) and collects what comes out. False when the run can go
// no further.
bool AviFrameDecoder::Impl::step(DecoderRun& run)
{
    const int32_t pictures = int32_t(stream->pictureSample.size());
    int rc = 0;
    if (run.nextFeed < pictures && run.byOrder) {
        // A picture nothing refers to, shown before the one asked for, is not decoded at all.
        const int group = groupOf(run.nextFeed);
        const auto* order = groupOrder(group);
        if (!order) {
            run.running = false; // a group this run cannot follow: the next request restarts
            return false;
        }
        const int32_t first = stream->keyRanks[size_t(group)];
        const H264GroupPicture& p = (*order)[size_t(run.nextFeed - first)];
        if (!p.reference && first + p.shown < skipBefore) {
            ++run.nextFeed;
            return true;
        }
    }
    if (run.nextFeed < pictures) {
        const AviSample& s = stream->samples[size_t(stream->pictureSample[size_t(run.nextFeed)])];
        if (!file->readChunk(s.pos, s.size, chunkLimit, packet.get(), &err())) {
            run.running = false;
            return false;
        }
        // A B-frame is no reference for any other picture: when its picture comes before the one
        // asked for, it need not be decoded at all. That makes a jump about three times cheaper
        // with two B-frames between references. (Not for packed bitstreams, where the decoder
        // carries a B-frame over from one chunk to the next.)
        if (delay > 0 && run.nextFeed - delay < skipBefore && stream->bFrames && !stream->packed &&
            isLoneBFrame(packet.get())) {
            av_packet_unref(packet.get());
            ++run.nextFeed;
            return true;
        }
        packet->pts = packet->dts = run.nextFeed;
        if (!stream->palette.isEmpty()) {
            // Every chunk carries the colours, so a picture decoded after a jump has them too.
            if (uint8_t* side = av_packet_new_side_data(packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE))
                std::memcpy(side, stream->palette.constData(), AVPALETTE_SIZE);
        }
        rc = avcodec_send_packet(run.codec.get(), packet.get());
        if (rc == AVERROR(EAGAIN)) {
            // Pictures are waiting: take them, then the chunk goes in.
            if (!receive(run))
                return false;
            rc = avcodec_send_packet(run.codec.get(), packet.get());
        }
        av_packet_unref(packet.get());
        if (run.lag > 0 && rc >= 0) {
            run.sent.push_back(run.nextFeed);
            if (run.sent.size() > size_t(run.lag) + 1)
                run.sent.pop_front();
        }
        ++run.nextFeed;
    } else if (!run.drained && (&run == &serial || run.byOrder)) {
        rc = avcodec_send_packet(run.codec.get(), nullptr);
        run.drained = true;
    } else {
        // A threaded run drains only when its pictures are placed by their group's order: at the
        // end of the stream a frame-threaded decoder gives out what its threads hold without
        // saying which chunk each picture came from, and only the order can tell. Otherwise the
        // last few pictures are the single-threaded run's.
        run.running = false;
        return false;
    }
    if (rc < 0 && rc != AVERROR(EAGAIN)) {
        err() = QStringLiteral("the decoder rejected picture %1: %2").arg(run.nextFeed - 1).arg(ffmpegText(rc));
        // Without timestamps of its own a reordering decoder cannot be followed past a lost picture;
        // nor can a threaded one, whose pictures are numbered by the chunks that went in.
        if (delay != 0 || run.lag > 0) {
            run.running = false;
            return false;
        }
    }
    return receive(run);
}

bool AviFrameDecoder::Impl::isLoneBFrame(const AVPacket* pkt)
{
    const int n = std::min(pkt->size, 256);
    const std::vector<int> types = mpeg4VopTypes(QByteArray::fromRawData(reinterpret_cast<const char*>(pkt->data), n));
    return types.size() == 1 && types.front() == 2;
}

bool AviFrameDecoder::Impl::receive(DecoderRun& run)
{
    for (;;) {
        const int rc = avcodec_receive_frame(run.codec.get(), frame.get());
        if (rc == AVERROR(EAGAIN))
            return true;
        if (rc == AVERROR_EOF) {
            run.running = false;
            return true;
        }
        if (rc < 0) {
            err() = ffmpegText(rc);
            run.running = false;
            return false;
        }
        ++decoded;
        if (onWorker())
            ++backgroundDecoded;
        // The rank of the chunk that went in last; the end-of-stream signal counts as one more.
        const int32_t fed = run.drained ? int32_t(stream->pictureSample.size()) : run.nextFeed - 1;
        if (run.measuring) {
            // Measuring the threaded run's lag: it started at the first chunk, so this is picture 0,
            // which came out after chunk `fed`. Nothing is kept.
            if (run.firstOutAfter < 0)
                run.firstOutAfter = fed;
            av_frame_unref(frame.get());
            continue;
        }
        int32_t rank;
        if (run.byOrder) {
            // Pictures come out in show order; one that does not was placed wrongly.
            rank = rankByOrder(frame->pts);
            if (rank <= run.lastOut)
                rank = -1;
        } else if (delay == 0 && frame->pts != AV_NOPTS_VALUE)
            rank = int32_t(frame->pts); // no reordering: every picture carries its own chunk's rank
        else if (delay < 0)
            rank = 0;
        else if (run.drained)
            rank = fed - delay + run.drainedOut++; // the pictures held back come out together at the end
        else if (run.lag > 0)
            rank = run.sent.size() > size_t(run.lag) ? run.sent[run.sent.size() - 1 - size_t(run.lag)] - delay : -1;
        else
            rank = fed - delay;
        if (delay < 0)
            delay = std::max(0, fed);

        const int w = frame->width;
        const int h = frame->height;
        const bool sane = w > 0 && h > 0 && int64_t(w) * h * 3 <= kMaxPictureBytes;
        if (rank >= 0 && rank < int32_t(stream->pictureSample.size()) && sane) {
            AVFrame* ref = av_frame_clone(frame.get());
            if (ref)
                store(rank, AviPicture(ref, [](const AVFrame* f) {
                    AVFrame* owned = const_cast<AVFrame*>(f);
                    av_frame_free(&owned);
                }));
        } else if (rank < 0 && (run.lag > 0 || run.byOrder)) {
            // A picture from a threaded decoder that cannot be placed: stop believing the run.
            run.running = false;
        }
        run.lastOut = rank;
        av_frame_unref(frame.get());
    }
}

bool AviFrameDecoder::Impl::learnDelay()
{
    restart(serial, 0);
    delay = -1;
    while (delay < 0 && serial.running) {
        if (!step(serial))
            break;
    }
    if (delay < 0) {
        if (error.isEmpty())
            error = QStringLiteral("the decoder gives no pictures");
        serial.running = false;
        return false;
    }
    return true;
}

// The show order of a group, read from the headers of its chunks the first time it is asked for.
// A group is followed only when it starts with an IDR picture and the next group does too, so that
// no picture of it is shown among those of another group.
const std::vector<H264GroupPicture>* AviFrameDecoder::Impl::groupOrder(int keyIndex)
{
    if (!h264 || keyIndex < 0 || size_t(keyIndex) >= groupOrders.size())
        return nullptr;
    if (!groupOrderRead[size_t(keyIndex)]) {
        groupOrderRead[size_t(keyIndex)] = true;
        const int32_t count = int32_t(stream->pictureSample.size());
        const int32_t first = stream->keyRanks[size_t(keyIndex)];
        const int32_t end = size_t(keyIndex) + 1 < stream->keyRanks.size() ? stream->keyRanks[size_t(keyIndex) + 1] : count;
        std::vector<H264Picture> pictures;
        pictures.reserve(size_t(end - first));
        bool closed = true;
        for (int32_t r = first; r <= end && r < count; ++r) {
            const AviSample& s = stream->samples[size_t(stream->pictureSample[size_t(r)])];
            // The slice header sits right after the parameter sets and a few notes; only a chunk
            // whose notes are longer is read whole.
            std::optional<H264Picture> picture = h264->read(file->readHead(s.pos, s.size, 1024));
            if (!picture && s.size > 1024)
                picture = h264->read(file->readHead(s.pos, s.size, chunkLimit));
            if (!picture || r == end) {
                closed = picture && picture->idr;
                break;
            }
            pictures.push_back(*picture);
        }
        if (closed)
            groupOrders[size_t(keyIndex)] = h264GroupOrder(pictures);
    }
    const auto& order = groupOrders[size_t(keyIndex)];
    return order ? &*order : nullptr;
}

// The rank of the picture a chunk holds, by its group's order: -1 when unknown.
int32_t AviFrameDecoder::Impl::rankByOrder(int64_t chunk)
{
    if (chunk < 0 || chunk >= int64_t(stream->pictureSample.size()))
        return -1;
    const int group = groupOf(int32_t(chunk));
    const auto& order = groupOrders[size_t(group)];
    if (!order)
        return -1;
    const int32_t first = stream->keyRanks[size_t(group)];
    return first + (*order)[size_t(chunk - first)].shown;
}

CodecPtr AviFrameDecoder::Impl::openCodec(int threadCount, QString* why)
{
    CodecPtr c(avcodec_alloc_context3(decoder));
    if (!c) {
        setError(why, QStringLiteral("out of memory"));
        return nullptr;
    }
    pool->attach(c.get());
    int rc = avcodec_parameters_to_context(c.get(), stream->stream->codecpar);
    if (rc >= 0) {
        c->thread_count = threadCount;
        c->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        // The decoder refuses absurd pictures, whatever a damaged chunk claims. (Its limit applies
        // to its scratch buffers too, which are several times the picture, so it cannot be the
        // stream's own size.)
        c->max_pixels = kMaxPictureBytes / 3;
        rc = avcodec_open2(c.get(), decoder, nullptr);
    }
    if (rc < 0) {
        setError(why, QStringLiteral("the decoder %1 cannot be opened: %2").arg(QString::fromLatin1(decoder->name), ffmpegText(rc)));
        return nullptr;
    }
    return c;
}

// The threaded run, when it can decode `rank`: the codec has threads, the stream is not a packed
// bitstream (whose B-frames the decoder carries from one chunk to the next, which its threads
// would have to pass along), and the picture comes out before the end of the stream or the run
// places its pictures by their group's order (see step()).
DecoderRun* AviFrameDecoder::Impl::parallelFor(int32_t rank)
{
    if (!parallelTried) {
        parallelTried = true;
        if (threads > 1 && !stream->packed && delay >= 0) {
            auto run = std::make_unique<DecoderRun>();
            run->mayUseOrder = h264 != nullptr;
            // An H.264 picture tells the pictures that refer to it how far it has got only after
            // filtering its rows, so they wait longer than with MPEG-4: one thread more than there
            // are cores keeps the cores busy (measured with two cores: 0.50 of one thread's time
            // instead of 0.57; MPEG-4 gets slower with a third thread).
            run->codec = openCodec(h264 ? threads + 1 : threads, nullptr);
            if (run->codec && run->codec->active_thread_type != 0) {
                // The lag is measured, not assumed: decode from the first chunk until the first
                // picture comes out.
                restart(*run, 0);
                run->measuring = true;
                const int32_t savedSkip = std::exchange(skipBefore, -1);
                while (run->running && run->firstOutAfter < 0 && step(*run)) {
                }
                skipBefore = savedSkip;
                run->measuring = false;
                const int lag = run->firstOutAfter - delay;
                run->running = false;
                run->lag = lag;
                if (run->firstOutAfter >= 0 && lag >= 0)
                    parallel = std::move(run);
            }
            err().clear();
        }
    }
    if (!parallel)
        return nullptr;
    if (!drains(*parallel, rank))
        return parallel.get();
    return parallel->mayUseOrder && groupOrder(keyIndexFor(rank)) ? parallel.get() : nullptr;
}

AviPicture AviFrameDecoder::Impl::runTo(DecoderRun& run, int32_t rank, bool carryOn)
{
    int key = keyIndexFor(rank);
    for (;;) {
        if (!carryOn)
            restart(run, key);
        carryOn = false;
        const int32_t firstOfRun = run.lastOut;
        while (run.running && run.lastOut < rank && !stop) {
            if (!step(run))
                break;
        }
        if (stop)
            return nullptr;
        if (AviPicture hit = cached(rank))
            return hit;
        // The picture lies before the first one this run produced: it belongs to the B-frames that
        // refer back into the previous group. Start one group earlier.
        const bool overshot = firstOfRun < 0 && run.lastOut > rank;
        if (overshot && key > 0) {
            --key;
            continue;
        }
        if (err().isEmpty())
            err() = QStringLiteral("picture %1 did not come out of the decoder").arg(rank);
        run.running = false;
        return nullptr;
    }
}

// Decodes every picture of the group from its key frame up to `rank`, for the steps back: on the
// codec's threads when it has them (a group in about three quarters of one core's time on two
// cores), on the single-threaded run otherwise and near the end of a stream whose pictures the
// threaded run cannot place there.
AviPicture AviFrameDecoder::Impl::fillGroup(int32_t rank)
{
    if (DecoderRun* run = parallelFor(rank)) {
        if (AviPicture picture = runTo(*run, rank, false))
            return picture;
        if (stop)
            return nullptr;
        err().clear(); // the single-threaded run tries again
    }
    return runTo(serial, rank, false);
}

AviPicture AviFrameDecoder::Impl::decodeRank(int32_t rank)
{
    int32_t previous = -1;
    {
        std::lock_guard<std::mutex> guard(lock);
        previous = lastAsked;
    }
    // Stepping back a little: decode everything from the key frame on, so the next steps back
    // find their pictures in the cache. Any other request skips what it does not need.
    const bool steppingBack = previous >= 0 && rank < previous && rank >= previous - kStepBackWindow;
    const bool steppingForward = previous >= 0 && rank == previous + 1;
    // Anything but a step stops the second core's work at once, before the pictures it waits to
    // make room for are given up.
    if (!steppingBack && !steppingForward)
        stopWorker();
    {
        std::lock_guard<std::mutex> guard(lock);
        lastAsked = rank;
        if (waitingForRoom)
            toWorker.notify_all();
    }
    AviPicture picture = awaitWorker(rank);
    if (!picture) {
        stopWorker();
        picture = decodeHere(rank, steppingBack);
        if (!picture)
            return nullptr;
    }
    // The neighbour in the same direction is most likely next.
    const int32_t pictures = int32_t(stream->pictureSample.size());
    if (steppingForward && rank + 1 < pictures) {
        {
            std::lock_guard<std::mutex> guard(lock);
            aheadLimit = std::min(rank + kAheadPictures, pictures - 1);
        }
        if (!aheadGoesOn(rank + 1))
            post(Job::Ahead, rank + 1);
    } else if (steppingBack) {
        const int key = keyIndexFor(rank);
        if (key > 0)
            post(Job::FillGroup, key - 1);
    }
    return picture;
}

AviPicture AviFrameDecoder::Impl::decodeHere(int32_t rank, bool steppingBack)
{
    if (AviPicture hit = cached(rank))
        return hit;
    skipBefore = steppingBack ? -1 : rank;
    fillRun = steppingBack;
    pinned = rank;
    error.clear();
    if (delay < 0 && !learnDelay())
        return nullptr;
    if (AviPicture hit = cached(rank))
        return hit;

    // Steps and short walks forward carry on where the single-threaded run is, and a step back
    // fills its group there: today's pictures come out of it at the cost of decoding alone. A jump
    // goes to the threaded run, which decodes the references before the picture on all cores; it
    // also carries on from there for the steps after the jump.
    const int key = keyIndexFor(rank);
    const bool serialNear = canCarryOn(serial, rank, key) && rank - serial.lastOut <= kShortWalk;
    if (steppingBack && !serialNear)
        return fillGroup(rank);
    if (!serialNear) {
        if (DecoderRun* run = parallelFor(rank)) {
            const bool carryOn = canCarryOn(*run, rank, key);
            // The last pictures of the stream come out only as the run drains: such a jump keeps
            // its whole group, as one on the single-threaded run does (see below).
            if (!carryOn && drains(*run, rank)) {
                skipBefore = -1;
                fillRun = true;
            }
            if (AviPicture picture = runTo(*run, rank, carryOn)) {
                ++threadedJumps;
                return picture;
            }
            error.clear(); // the single-threaded run tries again
        }
    }
    // A jump decoded here goes through every picture of the group before it: they are kept, since
    // an author who jumps to the end of a page often steps back from there.
    const bool carryOn = canCarryOn(serial, rank, key);
    if (!carryOn)
        fillRun = true;
    return runTo(serial, rank, carryOn);
}

AviFrameDecoder::AviFrameDecoder(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

AviFrameDecoder::~AviFrameDecoder()
{
    AviFile::Impl* file = d->file;
    d.reset();
#if defined(__GLIBC__)
    malloc_trim(0); // the pictures of a closed video go back to the system
#endif
    file->released(AviRelease::Decoder);
}

std::unique_ptr<AviFrameDecoder> AviStream::openDecoder(QString* error)
{
    if (!d->stream || !d->usable) {
        setError(error, d->info.length <= 0 ? QStringLiteral("the video stream has no frames")
                                            : QStringLiteral("the picture size is unusable"));
        return nullptr;
    }
    const AVCodec* codec = avcodec_find_decoder(d->stream->codecpar->codec_id);
    if (!codec) {
        setError(error, QStringLiteral("no decoder for the codec %1").arg(d->info.fourCC));
        return nullptr;
    }
    auto impl = std::make_unique<AviFrameDecoder::Impl>();
    impl->stream = d.get();
    impl->file = d->file;
    // Uncompressed at 32 bits per pixel, plus room for headers: a damaged index cannot make us read
    // a gigabyte into memory for one picture.
    impl->chunkLimit = uint32_t(std::min<int64_t>(int64_t(d->info.width) * d->info.height * 4 + (1 << 20), UINT32_MAX));
    impl->decoder = codec;
    impl->packet.reset(av_packet_alloc());
    impl->frame.reset(av_frame_alloc());
    if (!impl->packet || !impl->frame) {
        setError(error, QStringLiteral("out of memory"));
        return nullptr;
    }
    // The run for steps has one thread: its pictures come out in step with the chunks that went in
    // and cost no thread hand-over.
    impl->serial.codec = impl->openCodec(1, error);
    if (!impl->serial.codec)
        return nullptr;
    if (codec->id == AV_CODEC_ID_H264) {
        impl->h264 = std::make_unique<H264HeaderReader>();
        const AVCodecParameters* par = d->stream->codecpar;
        if (par->extradata && par->extradata_size > 0)
            impl->h264->addParameterSets(QByteArray::fromRawData(reinterpret_cast<const char*>(par->extradata), par->extradata_size));
        impl->groupOrders.resize(d->keyRanks.size());
        impl->groupOrderRead.resize(d->keyRanks.size());
    }
    const auto& keys = d->keyRanks;
    for (size_t i = 0; i < keys.size(); ++i) {
        const int32_t end = i + 1 < keys.size() ? keys[i + 1] : int32_t(d->pictureSample.size());
        impl->longestGroup = std::max(impl->longestGroup, end - keys[i]);
    }
    return std::unique_ptr<AviFrameDecoder>(new AviFrameDecoder(std::move(impl)));
}

AviPicture AviFrameDecoder::decodeFrame(int32_t n)
{
    const int32_t length = d->stream->info.length;
    if (n < 0 || n >= length) {
        d->error = QStringLiteral("frame %1 is outside the video (0 to %2)").arg(n).arg(length - 1);
        return nullptr;
    }
    return d->decodeRank(d->stream->rankOf(n));
}

QByteArray AviFrameDecoder::frameDib(int32_t n)
{
    return toDib(decodeFrame(n));
}

namespace {

// An RGB32 picture whose memory ends in the converter's slack; the picture owns the memory.
QImage paddedImage(int w, int h)
{
    const qsizetype bytesPerLine = scaleStride(w, 4);
    void* data = std::malloc(size_t(bytesPerLine) * size_t(h) + kScaleSlack);
    if (!data)
        return {};
    return QImage(static_cast<uchar*>(data), w, h, bytesPerLine, QImage::Format_RGB32, [](void* p) { std::free(p); },
                  data);
}

} // namespace

QImage AviFrameDecoder::toImage(const AviPicture& picture)
{
    QImage image;
    return toImage(picture, image) ? image : QImage();
}

bool AviFrameDecoder::toImage(const AviPicture& picture, QImage& into)
{
    if (!picture)
        return false;
    const int w = picture->width;
    const int h = picture->height;
    // Default quality (bilinear, no accurate rounding): the picture is shown at its own size, so
    // only the colour conversion runs, and the accurate variant costs many times the decode.
    d->sws.reset(sws_getCachedContext(d->sws.release(), w, h, AVPixelFormat(picture->format), w, h,
                                      AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!d->sws) {
        d->error = QStringLiteral("no conversion from the decoder's picture format");
        return false;
    }
    // A fresh 1.6 MB picture for every step costs the kernel more than the conversion itself.
    const bool reusable = into.size() == QSize(w, h) && into.format() == QImage::Format_RGB32 &&
                          into.isDetached() && into.bytesPerLine() == scaleStride(w, 4);
    QImage image = reusable ? std::move(into) : paddedImage(w, h);
    if (image.isNull()) {
        d->error = QStringLiteral("out of memory for a %1 x %2 picture").arg(w).arg(h);
        return false;
    }
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(d->sws.get(), picture->data, picture->linesize, 0, h, dst, dstStride);
    into = std::move(image);
    return true;
}

QByteArray AviFrameDecoder::toDib(const AviPicture& picture)
{
    if (!picture)
        return {};
    const int w = picture->width;
    const int h = picture->height;
    const int rowBytes = dibRowBytes(w);
    const qsizetype pixelBytes = qsizetype(rowBytes) * h;
    QByteArray dib(40 + pixelBytes, '\0');
    auto put32 = [&dib](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + i] = char((v >> (8 * i)) & 0xff);
    };
    put32(0, 40);
    put32(4, uint32_t(w));
    put32(8, uint32_t(h)); // positive: rows run bottom-up
    dib[12] = 1;           // planes
    dib[14] = 24;          // bits per pixel
    put32(16, 0);          // BI_RGB
    put32(20, uint32_t(pixelBytes));

    d->sws.reset(sws_getCachedContext(d->sws.release(), w, h, AVPixelFormat(picture->format), w, h,
                                      AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!d->sws) {
        d->error = QStringLiteral("no conversion from the decoder's picture format");
        return {};
    }
    // The rows are converted top-down into scratch memory with rows the converter can fill whole,
    // then laid out bottom-up in the bitmap's own row size.
    const int stride = scaleStride(w, 3);
    std::vector<uint8_t> scratch(size_t(stride) * size_t(h) + kScaleSlack);
    uint8_t* dst[4] = {scratch.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    sws_scale(d->sws.get(), picture->data, picture->linesize, 0, h, dst, dstStride);
    auto* pixels = reinterpret_cast<uint8_t*>(dib.data()) + 40;
    for (int row = 0; row < h; ++row)
        std::memcpy(pixels + qsizetype(rowBytes) * (h - 1 - row), scratch.data() + qsizetype(stride) * row,
                    size_t(w) * 3);
    return dib;
}

void AviFrameDecoder::visitFrames(const std::vector<int32_t>& frames,
                                  const std::function<void(std::size_t, const AviPicture&)>& visit)
{
    std::vector<std::size_t> order(frames.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&frames](std::size_t a, std::size_t b) { return frames[a] < frames[b]; });
    for (const std::size_t i : order)
        visit(i, decodeFrame(frames[i]));
}

QString AviFrameDecoder::lastError() const
{
    return d->error;
}

void AviFrameDecoder::setThreads(int count)
{
    d->stopWorker();
    d->threads = std::clamp(count, 1, 16);
    d->parallel.reset();
    d->parallelTried = false;
}

int AviFrameDecoder::threads() const
{
    return d->threads;
}

void AviFrameDecoder::setCacheBudget(std::size_t bytes)
{
    d->stopWorker();
    std::lock_guard<std::mutex> guard(d->lock);
    d->budget = bytes;
    d->budgetGiven = true;
    d->trim(-1);
}

std::size_t AviFrameDecoder::cacheBudget() const
{
    std::lock_guard<std::mutex> guard(d->lock);
    return d->budget;
}

void AviFrameDecoder::releaseMemory()
{
    d->releaseMemory();
}

std::size_t AviFrameDecoder::cacheBytes() const
{
    std::lock_guard<std::mutex> guard(d->lock);
    return d->cacheBytes;
}

std::size_t AviFrameDecoder::pictureMemory() const
{
    return d->pool->bytesHeld();
}

int64_t AviFrameDecoder::decodedPictureCount() const
{
    return d->decoded;
}

int64_t AviFrameDecoder::backgroundPictureCount() const
{
    return d->backgroundDecoded;
}

int64_t AviFrameDecoder::threadedJumpCount() const
{
    return d->threadedJumps;
}
