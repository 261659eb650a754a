#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Our video file service on FFmpeg (libavformat, libavcodec, libswscale), named after the AVI file
// service the program's video access was first written against. It offers what the video source
// and the frame counter need, and nothing of FFmpeg leaks out of this header. A file is read by the
// reader its content calls for, whatever its name: AVI (media/avicontainer.*) or an MPEG program
// stream such as a DVD's VOB files (media/programstream*).
//
//   AviFile          an open video file          (released last)
//   AviStream        its first video stream: information, sample table, times, key frames
//   AviFrameDecoder  the stream's frame decoder, absent when no decoder exists for the codec
//
// Frame numbers are sample numbers of the stream: frame n is the picture the video shows at its
// n-th sample, in presentation order; a drop sample (a zero-length chunk) shows the previous picture
// again. The frame count comes from the file's index (or, for a file without a usable index, from a
// scan of its chunks), never from decoding.
//
// A stream and a decoder keep pointers to the objects they were made from: release the decoder
// before its stream and the stream before its file.

struct AVFrame; // libavutil; opaque here

class AviStream;
class AviFrameDecoder;

// What is released, reported to an observer in the order it happens (see AviFile::setReleaseObserver).
enum class AviRelease { Decoder, Stream, File };

// The stream information record: the part of it the program relies on.
struct AviStreamInfo
{
    bool valid = false; // false when the header could not be read or holds unusable values
    int32_t length = 0; // number of frames (samples)
    int width = 0;      // picture size in pixels
    int height = 0;
    int rateNumerator = 0; // frames per second as a fraction (rate / scale)
    int rateDenominator = 1;
    QString codecName; // the decoder's short name ("mpeg4", "mjpeg", "rawvideo"), or the FourCC
    QString fourCC;    // the stream's handler FourCC as stored, printable characters only
    QString container; // "AVI" or "MPEG-PS"

    // MPEG video. Soft telecine: pictures that tell the player to show one of their fields twice
    // (repeat_first_field). Each counts as one frame, as the decoder gives it out once.
    int32_t repeatFirstField = 0;
    bool progressiveSequence = false; // frames, not interlaced fields (a repeated picture shows twice)
    // What was wrong with the file and how far it was read; empty when it was read whole.
    QString damage;

    double frameRate() const
    {
        return rateDenominator > 0 ? double(rateNumerator) / rateDenominator : 0.0;
    }
};

// How a key-frame search runs from its position.
enum class KeySearch {
    At,       // the key frame at or before the position: `pos` itself when it is a key frame
    Next,     // the first key frame at or after the position
    Previous, // the last key frame at or before the position
};

class AviFile
{
public:
    // Opens the file for reading. Null when it cannot be opened or is not an AVI file; `error`
    // then says why, in words (FFmpeg's own text included).
    static std::unique_ptr<AviFile> open(const QString& path, QString* error = nullptr);
    // Whether the file's content is one the service reads (an AVI or an MPEG program stream),
    // whatever its name says.
    static bool isVideoFile(const QString& path);
    ~AviFile();
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    QString path() const;

    // The first video stream, or null when the file has none (or its sample table cannot be built).
    std::unique_ptr<AviStream> firstVideoStream(QString* error = nullptr);

    // Called from the destructors of this file and of the stream and decoder made from it.
    void setReleaseObserver(std::function<void(AviRelease)> observer);

    struct Impl;

private:
    explicit AviFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
    friend class AviStream;
    friend class AviFrameDecoder;
};

class AviStream
{
public:
    ~AviStream();
    AviStream(const AviStream&) = delete;
    AviStream& operator=(const AviStream&) = delete;

    const AviStreamInfo& info() const;
    int32_t length() const { return info().length; }

    // The start time of frame n in milliseconds (the sample-to-time conversion; n is clamped to
    // 0 .. length).
    uint32_t sampleToTime(int32_t n) const;

    // Key-frame search in the file's own index, answering presentation positions of key pictures.
    // -1 when there is none in that direction.
    int32_t findKeyFrame(int32_t pos, KeySearch how) const;
    // All key frames in increasing order.
    const std::vector<int32_t>& keyFrames() const;

    // Whether the index was missing, broken or cut short and the samples were found by scanning
    // the chunks of the file instead.
    bool scannedWithoutIndex() const;

    // The frame decoder, or null when no decoder exists for the stream's codec or the picture is
    // unusable (absurd size). `error` says which.
    std::unique_ptr<AviFrameDecoder> openDecoder(QString* error = nullptr);

    struct Impl;

private:
    explicit AviStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
    friend class AviFile;
    friend class AviFrameDecoder;
};

// A decoded picture in the decoder's own form (planar YUV for most codecs). Shared with the
// decoder's cache; convert it only when it is shown.
using AviPicture = std::shared_ptr<const AVFrame>;

class AviFrameDecoder
{
public:
    ~AviFrameDecoder();
    AviFrameDecoder(const AviFrameDecoder&) = delete;
    AviFrameDecoder& operator=(const AviFrameDecoder&) = delete;

    // Frame n in its native form; null when it cannot be decoded (lastError() says why).
    AviPicture decodeFrame(int32_t n);

    // Frame n as a packed bottom-up 24-bit device-independent bitmap: a 40-byte info header
    // followed by the pixel rows, each padded to a multiple of 4 bytes. Empty on failure.
    QByteArray frameDib(int32_t n);

    // Conversions of a native picture (from decodeFrame of this decoder).
    QByteArray toDib(const AviPicture& picture);
    QImage toImage(const AviPicture& picture);
    // The same into `into`, reusing its memory when it already has the picture's size and format and
    // nobody else holds it (stepping through a video then allocates nothing). `into` is unchanged
    // when the conversion cannot be made.
    bool toImage(const AviPicture& picture, QImage& into);

    // Many frames at once, decoded in frame order (the cheapest): `visit` gets the position in
    // `frames` and the picture (null when it cannot be decoded), called in frame order; the picture
    // may be dropped afterwards.
    void visitFrames(const std::vector<int32_t>& frames,
                     const std::function<void(std::size_t index, const AviPicture& picture)>& visit);

    QString lastError() const;

    // How many threads a jump may decode on: the codec's frame or slice threads, for codecs that
    // have them, and whether a second core decodes ahead of steps. Short walks forward decode on the
    // calling thread. 1 keeps every decode there; the default is the number of processor cores (at
    // most 16).
    void setThreads(int count);
    int threads() const;
    // The default: one thread per processor core, at most 16.
    static int defaultThreads();

    // Decoded pictures are kept in the codec's own form in a cache bounded in bytes: unless set
    // here, the longest group of the stream and a few pictures more, sized by the first picture
    // (0 until then), at most a quarter of the machine's memory.
    void setCacheBudget(std::size_t bytes);
    // A ceiling on the budget the decoder sizes itself (0: none): the author's preference for less
    // memory, at the cost of slower steps back once a group no longer fits. Never below two pictures.
    void setCacheLimit(std::size_t bytes);
    std::size_t cacheBudget() const;
    std::size_t cacheBytes() const;
    // Picture memory the decoder holds from the system: the cached pictures, the codecs' own
    // reference pictures and a few released ones kept for reuse. Both of its codecs share it.
    std::size_t pictureMemory() const;
    // Drops every decoded picture and the codecs' memory for them (for a video left alone for a
    // while); the next frame asked for is decoded from its key frame.
    void releaseMemory();
    // How many pictures the codec has produced since the decoder was opened (for tests and
    // benchmarks: it shows how much work an access pattern costs).
    int64_t decodedPictureCount() const;
    // How many of them a second core decoded ahead of the requests: the picture after a step forward,
    // the group before after a step back. Any other request stops that work before it returns.
    int64_t backgroundPictureCount() const;
    // How many pictures came from the threaded decoder (a jump, or a step carrying on after one).
    int64_t threadedJumpCount() const;

    struct Impl;

private:
    explicit AviFrameDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
    friend class AviStream;
};

// The byte layout of a packed 24-bit bitmap of w x h pixels: each row padded to 4 bytes.
inline int dibRowBytes(int width)
{
    return (width * 3 + 3) & ~3;
}
