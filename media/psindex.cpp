#include "media/programstream.h"

#include "core/safefile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <deque>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

// The index of an MPEG video stream, found from its headers alone. The video's bytes arrive in
// packets; the scan looks for the start codes (00 00 01 and a code) in them, also across the end of
// one packet and the start of the next, and reads the few bytes after each code it needs:
//
//   B3 sequence header     picture size, frame rate
//   B5 extension           MPEG-2: the sequence's (progressive, frame rate ratio) and each
//                          picture's (field or frame, repeat_first_field, top_field_first)
//   B8 group header        closed group
//   00 picture header      temporal reference, type (I, P, B)
//
// A picture's bytes run from the first header in front of it (a sequence or group header, or its
// own picture header) to the first header of the next one; those are the bytes the decoder gets.
//
// The decoder gives out what it can decode, and the index holds just those pictures, so that its
// count is the frame count: nothing before the first sequence header (the picture size is not yet
// known) nor before the first I-picture (there is nothing to predict from), and not the B-pictures
// right after that first I-picture when its group is open (they refer to a picture the file does
// not hold: a file cut in the middle of a group, or the second file of a title).

namespace {

// The first start code (00 00 01) that lies whole in [p, end), or `end`. This is where the scan
// spends its time. MPEG pictures hold many zero bytes and many 01 bytes (one in twenty and one in
// thirty in DVD video), so looking for either stops too often; the three bytes are compared at
// every position at once, 32 or 16 positions a step, and only real start codes stop the loop.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) const uint8_t* startCodeAvx2(const uint8_t* p, const uint8_t* last)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi8(1);
    for (; last - p >= 32; p += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
        const __m256i hit = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(a, zero), _mm256_cmpeq_epi8(b, zero)),
                                             _mm256_cmpeq_epi8(c, one));
        const uint32_t mask = uint32_t(_mm256_movemask_epi8(hit));
        if (mask != 0)
            return p + __builtin_ctz(mask);
    }
    return p;
}
#endif

const uint8_t* nextStartCode(const uint8_t* p, const uint8_t* end)
{
    if (end - p < 3)
        return end;
    const uint8_t* last = end - 2; // a start code begins before this
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        p = startCodeAvx2(p, last);
        if (last - p >= 32)
            return p;
    }
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    for (; last - p >= 16; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
        const __m128i hit = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(a, zero), _mm_cmpeq_epi8(b, zero)),
                                          _mm_cmpeq_epi8(c, one));
        const uint32_t mask = uint32_t(_mm_movemask_epi8(hit));
        if (mask != 0)
            return p + __builtin_ctz(mask);
    }
#endif
    for (; p < last; ++p) {
        if (p[0] == 0 && p[1] == 0 && p[2] == 1)
            return p;
    }
    return end;
}

constexpr int kHeaderBytes = 12; // the code and the bytes after it that any header needs

struct Found
{
    uint8_t code = 0;
    EsPlace place;           // of the start code's first byte
    int64_t es = 0;          // its offset in the elementary stream
    uint8_t bytes[kHeaderBytes] = {}; // the code and what follows
    int have = 0;
};

class HeaderScan
{
public:
    explicit HeaderScan(PsIndex& index) : m_index(index) {}

    // The data of one video packet, which starts at `packet` in the file.
    void segment(const uint8_t* data, int64_t length, int64_t packet)
    {
        if (length <= 0)
            return;
        // The last few packets are enough to place a header: none is longer than kHeaderBytes, and
        // one that waits for its bytes waits for the next packet only.
        m_segments[m_segmentCount++ % kSegments] = {m_es, packet};
        // Headers found earlier still waiting for their bytes: each took every byte up to the end
        // of the segments before, so each goes on with the first bytes of this one.
        for (Found& f : m_waiting) {
            const int take = int(std::min<int64_t>(kHeaderBytes - f.have, length));
            std::memcpy(f.bytes + f.have, data, size_t(take));
            f.have += take;
        }
        flushWaiting();
        // Start codes reaching back into the previous segment.
        if (m_zeros >= 2 && data[0] == 1)
            found(m_es - 2, data, length, 1);
        if (m_zeros >= 1 && length >= 2 && data[0] == 0 && data[1] == 1)
            found(m_es - 1, data, length, 2);
        const uint8_t* end = data + length;
        for (const uint8_t* q = nextStartCode(data, end); q < end; q = nextStartCode(q + 3, end))
            found(m_es + (q - data), data, length, (q + 3) - data);
        // Zeros at the end, for a start code that continues in the next segment.
        int zeros = 0;
        for (int64_t i = length - 1; i >= 0 && zeros < 2 && data[i] == 0; --i)
            ++zeros;
        m_zeros = zeros == length ? std::min(2, m_zeros + zeros) : zeros;
        m_es += length;
        flushWaiting();
    }

    void finish()
    {
        // Headers that never got all their bytes: the stream ends there.
        for (Found& f : m_waiting) {
            std::memset(f.bytes + f.have, 0, size_t(kHeaderBytes - f.have));
            f.have = kHeaderBytes;
        }
        flushWaiting();
        closeSequence(m_es);
        m_esEnd = m_es;
    }

    // Raw pictures (one per picture header) with the elementary stream offset of their first byte.
    struct Raw
    {
        PsPicture picture;
        int64_t es = 0;
        uint8_t structure = 3;
    };
    std::vector<Raw> raws;
    std::vector<int64_t> sequenceEs;
    int64_t m_esEnd = 0;
    bool groupBeforeSequence = false; // a group header came before any sequence header

private:
    struct Segment
    {
        int64_t es; // of its first byte
        int64_t packet;
    };

    EsPlace placeOf(int64_t es) const
    {
        const size_t kept = std::min(m_segmentCount, kSegments);
        for (size_t i = 1; i <= kept; ++i) {
            const Segment& s = m_segments[(m_segmentCount - i) % kSegments];
            if (s.es <= es)
                return {s.packet, uint32_t(es - s.es)};
        }
        return kept == 0 ? EsPlace{} : EsPlace{m_segments[(m_segmentCount - kept) % kSegments].packet, 0};
    }

    // A start code whose first byte is at `es`; its code byte is at `codeAt` in this segment.
    void found(int64_t es, const uint8_t* data, int64_t length, int64_t codeAt)
    {
        // Slices, one for each row of blocks, are most of the start codes and none of the headers.
        if (codeAt < length && data[codeAt] >= 0x01 && data[codeAt] <= 0xAF)
            return;
        Found f;
        f.es = es;
        f.place = placeOf(es);
        const int take = int(std::clamp<int64_t>(length - codeAt, 0, kHeaderBytes));
        std::memcpy(f.bytes, data + codeAt, size_t(take));
        f.have = take;
        if (m_waiting.empty() && f.have >= kHeaderBytes) {
            handle(f); // the usual case: the header lies whole in the packet
            return;
        }
        m_waiting.push_back(f);
        flushWaiting();
    }

    void flushWaiting()
    {
        while (!m_waiting.empty() && m_waiting.front().have >= kHeaderBytes) {
            handle(m_waiting.front());
            m_waiting.pop_front();
        }
    }

    void closeSequence(int64_t es)
    {
        if (m_openSequence >= 0) {
            PsSequence& s = m_index.sequences[size_t(m_openSequence)];
            s.size = uint32_t(std::min<int64_t>(es - sequenceEs[size_t(m_openSequence)], 4096));
            m_openSequence = -1;
        }
    }

    void unitStart(const Found& f)
    {
        if (m_unitEs < 0) {
            m_unitEs = f.es;
            m_unitPlace = f.place;
            m_unitFlags = 0;
        }
    }

    void handle(const Found& f)
    {
        const uint8_t* b = f.bytes + 1;
        switch (f.bytes[0]) {
        case 0xB3: {
            closeSequence(f.es);
            unitStart(f);
            m_unitFlags |= kPsSequenceHeader;
            PsSequence s;
            s.place = f.place;
            s.width = b[0] << 4 | b[1] >> 4;
            s.height = (b[1] & 0x0F) << 8 | b[2];
            s.frameRateCode = b[3] & 0x0F;
            m_index.sequences.push_back(s);
            sequenceEs.push_back(f.es);
            m_openSequence = int(m_index.sequences.size()) - 1;
            m_inExtensionOf = 1;
            break;
        }
        case 0xB5: {
            const int id = b[0] >> 4;
            if (id == 1 && m_inExtensionOf == 1 && !m_index.sequences.empty()) {
                PsSequence& s = m_index.sequences.back();
                s.mpeg2 = true;
                s.progressive = (b[1] >> 3) & 1;
                s.width |= (((b[1] & 1) << 1) | (b[2] >> 7)) << 12;
                s.height |= ((b[2] >> 5) & 3) << 12;
                s.frameRateExtN = (b[5] >> 5) & 3;
                s.frameRateExtD = b[5] & 0x1F;
            } else if (id == 8 && m_inExtensionOf == 2 && !raws.empty()) {
                Raw& r = raws.back();
                r.structure = b[2] & 3;
                if (b[3] & 0x80)
                    r.picture.flags |= kPsTopFieldFirst;
                if (b[3] & 0x02)
                    r.picture.flags |= kPsRepeatFirstField;
                if (b[4] & 0x80)
                    r.picture.flags |= kPsProgressiveFrame;
            }
            break;
        }
        case 0xB8:
            if (m_index.sequences.empty())
                groupBeforeSequence = true;
            closeSequence(f.es);
            unitStart(f);
            m_unitFlags |= kPsGroup;
            if (b[3] & 0x40)
                m_unitFlags |= kPsClosedGroup;
            m_inExtensionOf = 0;
            break;
        case 0x00: {
            closeSequence(f.es);
            unitStart(f);
            Raw r;
            r.es = m_unitEs;
            r.picture.place = m_unitPlace;
            r.picture.flags = m_unitFlags;
            r.picture.temporalReference = uint16_t(b[0] << 2 | b[1] >> 6);
            r.picture.type = (b[1] >> 3) & 7;
            r.picture.sequence = int32_t(m_index.sequences.size()) - 1;
            raws.push_back(r);
            m_unitEs = -1;
            m_inExtensionOf = 2;
            break;
        }
        default:
            break;
        }
    }

    static constexpr size_t kSegments = 8;
    PsIndex& m_index;
    Segment m_segments[kSegments] = {};
    size_t m_segmentCount = 0;
    std::deque<Found> m_waiting;
    int64_t m_es = 0;
    int m_zeros = 0;
    int64_t m_unitEs = -1;
    EsPlace m_unitPlace;
    uint8_t m_unitFlags = 0;
    int m_openSequence = -1;
    int m_inExtensionOf = 0; // 1 after a sequence header, 2 after a picture header
};

} // namespace

bool scanProgramStream(FileWindow& file, PsIndex& index, QString* error)
{
    index = PsIndex();
    HeaderScan scan(index);
    int64_t pos = 0;
    int64_t garbage = 0;
    int64_t firstGarbage = -1;
    int64_t cutAt = -1;
    bool cutAtEnd = false;
    while (pos < file.size()) {
        const PsUnit unit = psUnitAt(file, pos);
        if (unit.kind == PsUnit::Kind::Garbage) {
            garbage += unit.next - pos;
            if (firstGarbage < 0)
                firstGarbage = pos;
        }
        if (unit.kind == PsUnit::Kind::Packet && (unit.streamId & 0xF0) == 0xE0) {
            if (index.streamId == 0)
                index.streamId = unit.streamId;
            if (unit.streamId == index.streamId) {
                int64_t have = 0;
                const uint8_t* data = file.at(unit.payloadPos, unit.payloadLength, &have);
                if (data)
                    scan.segment(data, have, pos);
                if (unit.cut) {
                    if (cutAt < 0)
                        cutAt = pos;
                    cutAtEnd = unit.next >= file.size();
                }
            }
        }
        if (unit.next <= pos)
            break;
        pos = unit.next;
    }
    scan.finish();

    // Field pictures come in pairs: the pair is one frame, the bytes of both.
    std::vector<HeaderScan::Raw> frames;
    frames.reserve(scan.raws.size());
    for (size_t i = 0; i < scan.raws.size(); ++i) {
        HeaderScan::Raw r = scan.raws[i];
        if (r.structure != 3 && i + 1 < scan.raws.size() && scan.raws[i + 1].structure != 3 &&
            scan.raws[i + 1].structure != r.structure &&
            scan.raws[i + 1].picture.temporalReference == r.picture.temporalReference) {
            r.picture.flags |= kPsFieldPictures;
            ++i;
        }
        frames.push_back(r);
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        const int64_t end = i + 1 < frames.size() ? frames[i + 1].es : scan.m_esEnd;
        frames[i].picture.size = uint32_t(std::clamp<int64_t>(end - frames[i].es, 0, UINT32_MAX));
    }

    // What the decoder can begin with.
    size_t first = 0;
    while (first < frames.size() && (frames[first].picture.sequence < 0 || frames[first].picture.type != 1))
        ++first;
    size_t skipB = first + 1;
    if (first < frames.size() && !(frames[first].picture.flags & kPsClosedGroup)) {
        while (skipB < frames.size() && frames[skipB].picture.type == 3)
            ++skipB;
    }
    index.leftOutAtStart = int32_t(first < frames.size() ? first + (skipB - first - 1) : frames.size());
    for (size_t i = first; i < frames.size(); ++i) {
        if (i > first && i < skipB)
            continue;
        index.pictures.push_back(frames[i].picture);
    }

    // Presentation order: a B-picture is shown at once, any other when the next one that is not a
    // B-picture arrives (or at the end).
    int32_t shown = 0;
    int32_t held = -1;
    for (size_t i = 0; i < index.pictures.size(); ++i) {
        PsPicture& p = index.pictures[i];
        if (p.type == 3) {
            p.shown = shown++;
        } else {
            if (held >= 0)
                index.pictures[size_t(held)].shown = shown++;
            held = int32_t(i);
        }
    }
    if (held >= 0)
        index.pictures[size_t(held)].shown = shown++;

    if (index.streamId == 0) {
        if (error)
            *error = QStringLiteral("the file holds no MPEG video");
        return false;
    }
    if (index.sequences.empty()) {
        if (error)
            *error = QStringLiteral("the MPEG video has no sequence header");
        return false;
    }
    QStringList notes;
    if (firstGarbage >= 0)
        notes << QStringLiteral("%1 bytes that belong to no pack were skipped, the first at byte %2")
                     .arg(garbage)
                     .arg(firstGarbage);
    if (cutAt >= 0)
        notes << (cutAtEnd ? QStringLiteral("the file ends inside a packet at byte %1, so its last picture is incomplete").arg(cutAt)
                           : QStringLiteral("a packet at byte %1 is cut short").arg(cutAt));
    if (scan.groupBeforeSequence)
        notes << QStringLiteral("the first group has no sequence header before it; its pictures are left out");
    if (!notes.isEmpty())
        index.damage = QStringLiteral("The video is damaged and was read as far as it is sound: %1.").arg(notes.join(QStringLiteral("; ")));
    return true;
}

// ---------------------------------------------------------------------------------------------------
// The cache of indexes. One file per video, named by a hash of its path, holding the video's size
// and modification time: a video that changed is scanned again. Copying tools keep the time of a
// file and the VOB files of a DVD are all 1 GiB, so a checksum of the file's first and last 64 KiB
// goes with them: another file put in the same place with the same size and time is scanned too.

namespace {

constexpr quint32 kCacheMagic = 0x56505349; // "VPSI"
constexpr quint32 kCacheVersion = 2;

struct FileKey
{
    qint64 size = -1;
    qint64 modified = 0;
    QByteArray ends; // the checksum of the first and last 64 KiB
};

FileKey keyOf(const QString& path)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!info.exists() || !file.open(QIODevice::ReadOnly))
        return {};
    constexpr qint64 kEnd = 64 * 1024;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(file.read(kEnd));
    if (file.size() > kEnd && file.seek(std::max(kEnd, file.size() - kEnd)))
        hash.addData(file.read(kEnd));
    return {info.size(), info.lastModified().toMSecsSinceEpoch(), hash.result()};
}

} // namespace

QString indexCachePath(const QString& path)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (folder.isEmpty())
        return {};
    const QByteArray hash =
        QCryptographicHash::hash(QFileInfo(path).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder + QStringLiteral("/vazovevoz/stream-index/") + QString::fromLatin1(hash) + QStringLiteral(".idx");
}

bool loadCachedIndex(const QString& path, PsIndex& index)
{
    const QString cache = indexCachePath(path);
    const FileKey key = keyOf(path);
    QFile file(cache);
    if (cache.isEmpty() || key.size < 0 || !file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    quint32 magic = 0, version = 0;
    qint64 size = 0, modified = 0;
    QString name;
    QByteArray ends;
    in >> magic >> version;
    if (magic != kCacheMagic || version != kCacheVersion)
        return false;
    in >> size >> modified >> name >> ends;
    if (size != key.size || modified != key.modified || ends != key.ends || name != QFileInfo(path).absoluteFilePath())
        return false;
    PsIndex loaded;
    quint8 streamId = 0;
    quint32 pictures = 0, sequences = 0;
    qint32 leftOut = 0;
    in >> streamId >> leftOut >> loaded.damage >> sequences >> pictures;
    // The counts are bounded by what the file can hold, so a damaged cache cannot ask for a huge table.
    if (in.status() != QDataStream::Ok || quint64(pictures) * 20 > quint64(file.size()) ||
        quint64(sequences) * 20 > quint64(file.size()))
        return false;
    loaded.streamId = streamId;
    loaded.leftOutAtStart = leftOut;
    loaded.sequences.resize(sequences);
    for (PsSequence& s : loaded.sequences) {
        qint64 packet = 0;
        quint32 offset = 0, bytes = 0;
        qint32 w = 0, h = 0, rate = 0, n = 0, d = 0;
        bool mpeg2 = false, progressive = false;
        in >> packet >> offset >> bytes >> w >> h >> rate >> n >> d >> mpeg2 >> progressive;
        s.place = {packet, offset};
        s.size = bytes;
        s.width = w;
        s.height = h;
        s.frameRateCode = rate;
        s.frameRateExtN = n;
        s.frameRateExtD = d;
        s.mpeg2 = mpeg2;
        s.progressive = progressive;
    }
    loaded.pictures.resize(pictures);
    for (PsPicture& p : loaded.pictures) {
        qint64 packet = 0;
        quint32 offset = 0, bytes = 0;
        quint16 tref = 0;
        quint8 type = 0, flags = 0;
        qint32 sequence = 0, shown = 0;
        in >> packet >> offset >> bytes >> tref >> type >> flags >> sequence >> shown;
        p.place = {packet, offset};
        p.size = bytes;
        p.temporalReference = tref;
        p.type = type;
        p.flags = flags;
        p.sequence = sequence;
        p.shown = shown;
        if (sequence < 0 || quint32(sequence) >= sequences || shown < 0 || quint32(shown) >= pictures)
            return false;
    }
    if (in.status() != QDataStream::Ok)
        return false;
    index = std::move(loaded);
    return true;
}

void saveCachedIndex(const QString& path, const PsIndex& index)
{
    const QString cache = indexCachePath(path);
    const FileKey key = keyOf(path);
    if (cache.isEmpty() || key.size < 0 || !QDir().mkpath(QFileInfo(cache).absolutePath()))
        return;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kCacheMagic << kCacheVersion << key.size << key.modified << QFileInfo(path).absoluteFilePath() << key.ends;
    out << quint8(index.streamId) << qint32(index.leftOutAtStart) << index.damage << quint32(index.sequences.size())
        << quint32(index.pictures.size());
    for (const PsSequence& s : index.sequences)
        out << qint64(s.place.packet) << quint32(s.place.offset) << quint32(s.size) << qint32(s.width)
            << qint32(s.height) << qint32(s.frameRateCode) << qint32(s.frameRateExtN) << qint32(s.frameRateExtD)
            << s.mpeg2 << s.progressive;
    for (const PsPicture& p : index.pictures)
        out << qint64(p.place.packet) << quint32(p.place.offset) << quint32(p.size) << quint16(p.temporalReference)
            << quint8(p.type) << quint8(p.flags) << qint32(p.sequence) << qint32(p.shown);
    // A cache that cannot be written costs a scan at the next opening, nothing more.
    (void)writeFileSafely(cache, bytes);
}
