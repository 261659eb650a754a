#pragma once

// The frame decoder's inner state: its decode runs, its cache of decoded pictures and the second
// core's background work, shared by the files that implement them (media/framedecoder.cpp,
// media/picturecache.cpp, media/decodeworker.cpp). Private to media/.

#include "media/avifile.h"
#include "media/ffmpegsupport.h"
#include "media/h264order.h"
#include "media/picturepool.h"
#include "media/videocontainer.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

// The cache holds the longest group of the stream and this many pictures more (the few kept on the
// way forward and the ones a step back keeps above the picture shown), so that a step back decodes
// each group once; never more than this share of the machine's memory.
constexpr int kCacheExtraPictures = 24;
constexpr int kCacheShareOfMemory = 4; // a quarter
// Stepping back, pictures this far above the one shown are kept for a step forward again; those
// further up are the first to go when the cache is full.
constexpr int32_t kKeptAbove = 4;
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
    VideoContainer* container = nullptr;
    const PictureIndex* index = nullptr;
    QByteArray palette; // the container's colours, given with every picture
    std::function<void()> released; // told when the decoder is gone
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
    std::size_t limit = 0;    // setCacheLimit: the sized budget is at most this (0: no limit)
    std::size_t pictureBytes = 0; // of the first picture, which sizes the budget
    int32_t longestGroup = 1; // pictures of the longest group, counted from its key chunk
    int forwardCount = 0;
    static int defaultDecoderThreads()
    {
        return int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    }
    // The budget follows the first picture: one group of pictures of this size and a few more.
    void sizeBudget(std::size_t pictureBytes);
    AviPicture cached(int32_t rank);
    AviPicture cachedLocked(int32_t rank);
    void store(int32_t rank, AviPicture picture);
    void trim(int32_t keep);
    bool evictFurthestPassed(int32_t keep);
    void clearCache();
    std::list<int32_t>::iterator evict(std::list<int32_t>::iterator use);
    bool onWorker() const { return std::this_thread::get_id() == workerId; }
    QString& err() { return onWorker() ? workerError : error; }
    bool useWorker() const { return threads > 1; }
    ~Impl();
    void workerLoop();
    // With `lock` held: stops the job in progress and drops the one posted.
    void stopLocked(std::unique_lock<std::mutex>& guard);
    void stopWorker();
    // Whether the worker's run ahead is under way and reaches `rank` (woken up for the new limit).
    bool aheadGoesOn(int32_t rank);
    void post(Job what, int32_t arg);
    // The picture, when it is cached or the worker is making it (then it waits for it); null when
    // the caller has to decode it itself.
    AviPicture awaitWorker(int32_t rank);
    void runJob(Job what, int32_t arg);
    bool groupCached(int32_t first, int32_t last);
    // Everything decoded goes, and so do the codecs' own pools of picture memory, which keep every
    // picture they ever handed out until the codec is closed: the codecs are opened afresh, and the
    // next request starts from its key frame. The freed memory is given back to the system.
    void releaseMemory();
    int keyIndexFor(int32_t rank) const
    {
        const auto& kp = index->keyPictureRanks;
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
        run.nextFeed = index->keyRanks[size_t(keyIndex)];
        run.lastOut = -1;
        run.sent.clear();
        run.byOrder = run.mayUseOrder && groupOrder(keyIndex) != nullptr;
    }
    // Whether the run has already passed the key chunk a decode of `rank` would start from and has
    // not yet passed `rank` itself.
    bool canCarryOn(const DecoderRun& run, int32_t rank, int key) const
    {
        return run.running && !run.drained && run.lastOut < rank && run.runKey <= key &&
               run.nextFeed > index->keyRanks[size_t(key)];
    }
    // Whether the picture comes out of the run only when it is drained at the end of the stream.
    bool drains(const DecoderRun& run, int32_t rank) const
    {
        return int64_t(rank) + delay + run.lag >= int64_t(index->pictureSample.size());
    }
    int groupOf(int32_t rank) const
    {
        const auto& kr = index->keyRanks;
        const auto it = std::upper_bound(kr.begin(), kr.end(), rank);
        return it == kr.begin() ? 0 : int(it - kr.begin()) - 1;
    }
    const std::vector<H264GroupPicture>* groupOrder(int keyIndex);
    int32_t rankByOrder(int64_t chunk);
    CodecPtr openCodec(int threadCount, QString* why);
    DecoderRun* parallelFor(int32_t rank);
    bool step(DecoderRun& run);
    bool receive(DecoderRun& run);
    AviPicture decodeRank(int32_t rank);
    AviPicture decodeHere(int32_t rank, bool steppingBack);
    AviPicture runTo(DecoderRun& run, int32_t rank, bool carryOn);
    AviPicture fillGroup(int32_t rank);
    bool learnDelay();
};
