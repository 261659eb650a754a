#pragma once

#include <cstddef>
#include <memory>

struct AVCodecContext;

// Picture memory shared by every codec context of one frame decoder.
//
// FFmpeg gives each codec context a pool of its own that keeps every picture it ever handed out until
// the context is closed. A decoder with a single-threaded run and a threaded one would hold two
// groups of pictures where the cache holds one. This pool is shared by both runs: released pictures
// are kept for the next ones (fresh memory costs the kernel about a quarter of a decode per picture
// in page faults), so it holds what the cache and the codecs held at most at once, and trim() gives
// the idle ones back to the system.
class PicturePool
{
public:
    static std::shared_ptr<PicturePool> create();
    ~PicturePool();
    PicturePool(const PicturePool&) = delete;
    PicturePool& operator=(const PicturePool&) = delete;

    // Makes the codec take its picture memory from this pool (codecs that cannot, keep their own).
    void attach(AVCodecContext* codec);
    // Drops the idle pictures; those still in use go back to the system when they are released.
    void trim();
    // Bytes of picture memory currently taken from the system (in use and idle).
    std::size_t bytesHeld() const;

    struct State;

private:
    PicturePool() = default;
    State* state = nullptr; // shared with the buffers still out, freed with the last of them
};
