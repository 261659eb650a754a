#include "media/framedecoder_p.h"
#include "media/videofile_p.h"

#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// How frames are decoded.
//
// The container (media/videocontainer.h) numbers the pictures by rank in stored order. The decoder
// gets them in that order (which for B-frames is decode order) and gives the pictures back in
// presentation order, `delay` pictures later than it got their bytes (one for MPEG-4 and MPEG-2 with
// B-frames; more for H.264 with B-frames; none for intra-only codecs). The first picture after a
// restart at a key picture is therefore rank (pictures fed - delay); the following ones count up by
// one. The delay is measured once, by decoding from the very first picture, which is rank 0 by
// definition.
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
// A picture that comes before the key picture of its group (the B-frames of an open group, which
// refer to the previous group and which the decoder drops after a restart) is decoded by starting at
// the previous key picture.


// Feeds one chunk (or the end of the stream) and collects what comes out. False when the run can go
// no further.
bool AviFrameDecoder::Impl::step(DecoderRun& run)
{
    const int32_t pictures = index->pictures();
    int rc = 0;
    if (run.nextFeed < pictures && run.byOrder) {
        // A picture nothing refers to, shown before the one asked for, is not decoded at all.
        const int group = groupOf(run.nextFeed);
        const auto* order = groupOrder(group);
        if (!order) {
            run.running = false; // a group this run cannot follow: the next request restarts
            return false;
        }
        const int32_t first = index->keyRanks[size_t(group)];
        const H264GroupPicture& p = (*order)[size_t(run.nextFeed - first)];
        if (!p.reference && first + p.shown < skipBefore) {
            ++run.nextFeed;
            return true;
        }
    }
    if (run.nextFeed < pictures) {
        const bool startsRun = run.nextFeed == index->keyRanks[size_t(run.runKey)];
        if (!container->readPicture(run.nextFeed, startsRun, packet.get(), chunkLimit, &err())) {
            run.running = false;
            return false;
        }
        // A picture no other refers to (a B-frame) need not be decoded at all when it is shown
        // before the one asked for. That makes a jump about three times cheaper with two B-frames
        // between references.
        if (delay > 0 && run.nextFeed - delay < skipBefore && container->disposable(run.nextFeed, packet.get())) {
            av_packet_unref(packet.get());
            ++run.nextFeed;
            return true;
        }
        packet->pts = packet->dts = run.nextFeed;
        if (!palette.isEmpty()) {
            // Every chunk carries the colours, so a picture decoded after a jump has them too.
            if (uint8_t* side = av_packet_new_side_data(packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE))
                std::memcpy(side, palette.constData(), AVPALETTE_SIZE);
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
        const int32_t fed = run.drained ? int32_t(index->pictureSample.size()) : run.nextFeed - 1;
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
        if (rank >= 0 && rank < int32_t(index->pictureSample.size()) && sane) {
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
        const int32_t count = index->pictures();
        const int32_t first = index->keyRanks[size_t(keyIndex)];
        const int32_t end = size_t(keyIndex) + 1 < index->keyRanks.size() ? index->keyRanks[size_t(keyIndex) + 1] : count;
        std::vector<H264Picture> pictures;
        pictures.reserve(size_t(end - first));
        bool closed = true;
        for (int32_t r = first; r <= end && r < count; ++r) {
            // The slice header sits right after the parameter sets and a few notes; only a chunk
            // whose notes are longer is read whole.
            std::optional<H264Picture> picture = h264->read(container->readPictureHead(r, 1024));
            if (!picture && container->pictureSize(r) > 1024)
                picture = h264->read(container->readPictureHead(r, chunkLimit));
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
    if (chunk < 0 || chunk >= int64_t(index->pictures()))
        return -1;
    const int group = groupOf(int32_t(chunk));
    const auto& order = groupOrders[size_t(group)];
    if (!order)
        return -1;
    const int32_t first = index->keyRanks[size_t(group)];
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
    int rc = avcodec_parameters_to_context(c.get(), container->codecParameters());
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
        if (threads > 1 && !container->packedBitstream() && delay >= 0) {
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
    const int32_t pictures = int32_t(index->pictureSample.size());
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
    const std::function<void()> released = std::move(d->released);
    d.reset();
#if defined(__GLIBC__)
    malloc_trim(0); // the pictures of a closed video go back to the system
#endif
    if (released)
        released();
}

std::unique_ptr<AviFrameDecoder> AviStream::openDecoder(QString* error)
{
    const PictureIndex& index = *d->index;
    const AVCodecParameters* par = d->container->codecParameters();
    if (!par || !index.usable) {
        setError(error, index.info.length <= 0 ? QStringLiteral("the video stream has no frames")
                                            : QStringLiteral("the picture size is unusable"));
        return nullptr;
    }
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        setError(error, QStringLiteral("no decoder for the codec %1").arg(index.info.fourCC));
        return nullptr;
    }
    auto impl = std::make_unique<AviFrameDecoder::Impl>();
    impl->container = d->container;
    impl->index = d->index;
    impl->palette = d->container->palette();
    AviFile::Impl* file = d->file;
    impl->released = [file] { file->released(AviRelease::Decoder); };
    // Uncompressed at 32 bits per pixel, plus room for headers: a damaged index cannot make us read
    // a gigabyte into memory for one picture.
    impl->chunkLimit = uint32_t(std::min<int64_t>(int64_t(index.info.width) * index.info.height * 4 + (1 << 20), UINT32_MAX));
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
        if (par->extradata && par->extradata_size > 0)
            impl->h264->addParameterSets(QByteArray::fromRawData(reinterpret_cast<const char*>(par->extradata), par->extradata_size));
        impl->groupOrders.resize(index.keyRanks.size());
        impl->groupOrderRead.resize(index.keyRanks.size());
    }
    const auto& keys = index.keyRanks;
    for (size_t i = 0; i < keys.size(); ++i) {
        const int32_t end = i + 1 < keys.size() ? keys[i + 1] : index.pictures();
        impl->longestGroup = std::max(impl->longestGroup, end - keys[i]);
    }
    return std::unique_ptr<AviFrameDecoder>(new AviFrameDecoder(std::move(impl)));
}

AviPicture AviFrameDecoder::decodeFrame(int32_t n)
{
    const int32_t length = d->index->info.length;
    if (n < 0 || n >= length) {
        d->error = QStringLiteral("frame %1 is outside the video (0 to %2)").arg(n).arg(length - 1);
        return nullptr;
    }
    return d->decodeRank(d->index->rankOf(n));
}

QByteArray AviFrameDecoder::frameDib(int32_t n)
{
    return toDib(decodeFrame(n));
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

void AviFrameDecoder::setCacheLimit(std::size_t bytes)
{
    d->stopWorker();
    std::lock_guard<std::mutex> guard(d->lock);
    d->limit = bytes;
    if (d->budgetGiven || d->pictureBytes == 0)
        return; // sized by the first picture, with the limit
    d->budget = 0;
    d->sizeBudget(d->pictureBytes);
    d->trim(-1);
}

int AviFrameDecoder::defaultThreads()
{
    return Impl::defaultDecoderThreads();
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
