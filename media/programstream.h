#pragma once

// MPEG program streams (DVD VOB files, MPEG-1 and MPEG-2 .mpg files): the packs and packets that
// carry the video, and the index of its pictures, found by reading headers only, never by decoding.
// Private to media/.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Reads a file in large blocks and gives out any span of it from memory.
class FileWindow
{
public:
    explicit FileWindow(std::size_t blockBytes = std::size_t(1) << 20);
    ~FileWindow();
    FileWindow(const FileWindow&) = delete;
    FileWindow& operator=(const FileWindow&) = delete;

    bool open(const QString& path);
    int64_t size() const { return m_size; }
    // The bytes from `pos` on: at least `want` of them unless the file ends first; `have` says how
    // many are there (0 at the end or on a read error).
    const uint8_t* at(int64_t pos, int64_t want, int64_t* have)
    {
        // Most calls of a walk through the packets find their bytes in the block read last.
        if (want > 0 && pos >= m_bufferPos && pos + want <= m_bufferPos + m_bufferLength) {
            *have = want;
            return m_buffer.data() + (pos - m_bufferPos);
        }
        return refill(pos, want, have);
    }

private:
    const uint8_t* refill(int64_t pos, int64_t want, int64_t* have);

    // What a refill keeps of the bytes before the place asked for: a whole packet.
    static constexpr int64_t kLookBehind = 64 * 1024 + 16;
    int m_fd = -1;
    int64_t m_size = 0;
    std::vector<uint8_t> m_buffer;
    int64_t m_bufferPos = 0;
    int64_t m_bufferLength = 0;
    std::size_t m_block;
};

// One step through the packs of a program stream.
struct PsUnit
{
    enum class Kind { Pack, Packet, End, Garbage };
    Kind kind = Kind::End;
    int64_t next = 0;       // where the next unit starts
    uint8_t streamId = 0;   // of a packet
    int64_t payloadPos = 0; // of a packet: its data after the packet header
    int64_t payloadLength = 0;
    bool cut = false;       // a packet that ends before its length says (the file ends, or the next pack begins)
};

// The unit at `pos`. Garbage (bytes that start no pack or packet) reaches up to the next pack or
// packet start, so that a walk resynchronises after it.
PsUnit psUnitAt(FileWindow& file, int64_t pos);

// Whether the bytes start like a program stream: a pack header of MPEG-1 or MPEG-2.
bool looksLikeProgramStream(const QByteArray& head);

// Where a byte of the video elementary stream lies: the packet that holds it and its place in the
// packet's data.
struct EsPlace
{
    int64_t packet = 0;
    uint32_t offset = 0;
};

// `size` bytes of the video elementary stream of `streamId`, starting at `from`, gathered from the
// packets that carry them. Fewer when the stream ends first.
QByteArray readElementaryBytes(FileWindow& file, uint8_t streamId, EsPlace from, uint32_t size);

// A picture of the index: one coded frame (two field pictures count as one).
struct PsPicture
{
    EsPlace place;  // the first byte of its headers (sequence, group or picture header)
    uint32_t size = 0; // bytes of elementary stream up to the next picture's headers
    uint16_t temporalReference = 0;
    uint8_t type = 0;  // 1 I, 2 P, 3 B
    uint8_t flags = 0; // PsFlag
    int32_t sequence = 0; // the sequence header in force (index into PsIndex::sequences)
    int32_t shown = 0;    // its place in presentation order
};

enum PsFlag : uint8_t {
    kPsSequenceHeader = 1,  // its bytes begin with a sequence header
    kPsGroup = 2,           // ... hold a group header
    kPsClosedGroup = 4,     // ... of a closed group
    kPsRepeatFirstField = 8,
    kPsTopFieldFirst = 16,
    kPsProgressiveFrame = 32,
    kPsFieldPictures = 64,  // coded as two field pictures
};

struct PsSequence
{
    EsPlace place;
    uint32_t size = 0; // the sequence header and its extensions
    int width = 0;
    int height = 0;
    int frameRateCode = 0;
    int frameRateExtN = 0;
    int frameRateExtD = 0;
    bool mpeg2 = false;
    bool progressive = false;
};

struct PsIndex
{
    uint8_t streamId = 0; // of the video packets
    std::vector<PsPicture> pictures; // in decode order, as the decoder is to get them
    std::vector<PsSequence> sequences;
    int32_t leftOutAtStart = 0; // pictures before the first that can be decoded
    QString damage;             // what was wrong and how far the file was read
};

// Scans the file's packs and the headers of its first MPEG video stream. False when the file has
// no MPEG video (`error` says why); a damaged file gives the pictures up to the damage that can be
// decoded, and says what happened in `damage`.
bool scanProgramStream(FileWindow& file, PsIndex& index, QString* error);

// The index kept in the user's cache folder, keyed by the file's size and modification time.
bool loadCachedIndex(const QString& path, PsIndex& index);
void saveCachedIndex(const QString& path, const PsIndex& index);
QString indexCachePath(const QString& path);
