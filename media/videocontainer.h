#pragma once

// The container layer of the video file service: what a file holds of its first video stream, as
// numbered pictures with their key marks, in the order they are stored (decode order), and the
// bytes of each. The decoder (media/framedecoder*) works on this alone, whatever the file's kind.
// Private to media/.
//
// Pictures are numbered by "rank", their place among the stored pictures. The decoder gets them in
// rank order and gives them back in presentation order under the same numbers, each one `delay`
// pictures after it got its bytes (see media/framedecoder.cpp); a container whose stored order keeps
// to that rule (AVI with at most one picture held back, MPEG video in its decode order) is decoded
// exactly. Frame numbers are what the user sees: frame n shows the picture of the last rank whose
// frame is at or before n (an AVI drop sample shows the previous picture again).

#include "media/avifile.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

struct AVCodecParameters;
struct AVPacket;

struct PictureIndex
{
    AviStreamInfo info;
    uint32_t scale = 0; // a frame lasts scale / rate seconds
    uint32_t rate = 0;
    std::vector<int32_t> pictureSample;   // rank -> the first frame that shows the picture
    std::vector<int32_t> keyRanks;        // ranks a decode can start from, ascending
    std::vector<int32_t> keyPictureRanks; // the rank each of them shows as its own picture
    std::vector<int32_t> keyFrames;       // frame numbers of the key pictures, ascending
    // Start times in milliseconds of each frame and of the end, when frames last unequally long
    // (soft telecine); empty when every frame lasts scale / rate.
    std::vector<uint32_t> frameTimes;
    bool scanned = false; // the pictures were found without the file's own index
    bool usable = false;  // picture size and codec fit for decoding

    int32_t pictures() const { return int32_t(pictureSample.size()); }
    int32_t rankOf(int32_t n) const
    {
        const auto it = std::upper_bound(pictureSample.begin(), pictureSample.end(), n);
        return it == pictureSample.begin() ? 0 : int32_t(it - pictureSample.begin()) - 1;
    }
};

class VideoContainer
{
public:
    virtual ~VideoContainer() = default;

    // The index of the first video stream, built on the first call; null when the file has none.
    virtual const PictureIndex* firstVideoStream(QString* error) = 0;
    // What the decoder is opened with.
    virtual const AVCodecParameters* codecParameters() const = 0;
    // The bytes of picture `rank` into `pkt`, no more than `limit` of them. `startsRun` when a decode
    // starts here after a restart: the container then adds what the decoder needs to begin (the
    // stream's headers) when the picture's bytes lack it.
    virtual bool readPicture(int32_t rank, bool startsRun, AVPacket* pkt, uint32_t limit, QString* error) = 0;
    // The first bytes of a picture (for its headers); empty when they cannot be read.
    virtual QByteArray readPictureHead(int32_t rank, uint32_t limit) = 0;
    virtual uint32_t pictureSize(int32_t rank) const = 0;
    // Whether no other picture refers to this one (read in `pkt`), so that it need not be decoded
    // when it is shown before the picture asked for.
    virtual bool disposable(int32_t rank, const AVPacket* pkt) const = 0;
    // Whether one stored unit may hold two pictures (MPEG-4 packed bitstreams), which the decoder
    // carries from one unit to the next: such a stream is never decoded on frame threads.
    virtual bool packedBitstream() const { return false; }
    // 256 colours as the decoders take them, for pictures of 8 bits and fewer; empty otherwise.
    virtual QByteArray palette() const { return {}; }
};
