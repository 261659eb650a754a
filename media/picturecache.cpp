#include "media/framedecoder_p.h"

// The decoder's cache of decoded pictures: kept by rank in the codec's own form, bounded in bytes,
// evicted least recently used first, with the pictures a step back has left behind going first.

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

// The budget follows the first picture: one group of pictures of this size and a few more.
void AviFrameDecoder::Impl::sizeBudget(std::size_t pictureBytes)
{
    if (budgetGiven || budget != 0)
        return;
    this->pictureBytes = pictureBytes;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t share = pages > 0 && pageSize > 0
                                  ? std::size_t(pages) / kCacheShareOfMemory * std::size_t(pageSize)
                                  : std::size_t(1) << 30;
    const std::size_t group = pictureBytes * std::size_t(longestGroup + kCacheExtraPictures);
    budget = std::min(group, share);
    if (limit > 0)
        budget = std::min(budget, limit);
    budget = std::max(budget, pictureBytes * 2);
}

AviPicture AviFrameDecoder::Impl::cached(int32_t rank)
{
    std::lock_guard<std::mutex> guard(lock);
    return cachedLocked(rank);
}

AviPicture AviFrameDecoder::Impl::cachedLocked(int32_t rank)
{
    const auto it = cache.find(rank);
    if (it == cache.end())
        return nullptr;
    uses.splice(uses.begin(), uses, it->second.use);
    return it->second.picture;
}

void AviFrameDecoder::Impl::store(int32_t rank, AviPicture picture)
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

void AviFrameDecoder::Impl::trim(int32_t keep)
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

bool AviFrameDecoder::Impl::evictFurthestPassed(int32_t keep)
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

void AviFrameDecoder::Impl::clearCache()
{
    cache.clear();
    uses.clear();
    cacheBytes = 0;
    forwardCount = 0;
}

std::list<int32_t>::iterator AviFrameDecoder::Impl::evict(std::list<int32_t>::iterator use)
{
    const auto entry = cache.find(*use);
    cacheBytes -= entry->second.bytes;
    if (entry->second.forward)
        --forwardCount;
    cache.erase(entry);
    return uses.erase(use);
}

// Everything decoded goes, and so do the codecs' own pools of picture memory, which keep every
// picture they ever handed out until the codec is closed: the codecs are opened afresh, and the
// next request starts from its key frame. The freed memory is given back to the system.
void AviFrameDecoder::Impl::releaseMemory()
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
