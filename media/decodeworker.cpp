#include "media/framedecoder_p.h"

// The second core's work for the decoder: the pictures after a step forward and the group before a
// step back, decoded while the caller shows the picture it got.

AviFrameDecoder::Impl::~Impl()
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

void AviFrameDecoder::Impl::workerLoop()
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
void AviFrameDecoder::Impl::stopLocked(std::unique_lock<std::mutex>& guard)
{
    job = Job::None;
    if (running == Job::None)
        return;
    stop = true;
    toWorker.notify_all();
    fromWorker.wait(guard, [this] { return running == Job::None; });
    stop = false;
}

void AviFrameDecoder::Impl::stopWorker()
{
    std::unique_lock<std::mutex> guard(lock);
    stopLocked(guard);
}

// Whether the worker's run ahead is under way and reaches `rank` (woken up for the new limit).
bool AviFrameDecoder::Impl::aheadGoesOn(int32_t rank)
{
    std::lock_guard<std::mutex> guard(lock);
    if (running != Job::Ahead || runningArg > rank || stop)
        return false;
    toWorker.notify_all();
    return true;
}

void AviFrameDecoder::Impl::post(Job what, int32_t arg)
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
AviPicture AviFrameDecoder::Impl::awaitWorker(int32_t rank)
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

void AviFrameDecoder::Impl::runJob(Job what, int32_t arg)
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
        const auto& kp = index->keyPictureRanks;
        const int32_t first = kp[size_t(arg)];
        const int32_t last = (size_t(arg) + 1 < kp.size() ? kp[size_t(arg) + 1] : int32_t(index->pictureSample.size())) - 1;
        if (groupCached(first, last))
            return;
        skipBefore = -1;
        fillRun = true;
        pinned = -1;
        fillGroup(last);
    }
}

bool AviFrameDecoder::Impl::groupCached(int32_t first, int32_t last)
{
    std::lock_guard<std::mutex> guard(lock);
    for (int32_t r = first; r <= last; ++r) {
        if (!cache.count(r))
            return false;
    }
    return true;
}
