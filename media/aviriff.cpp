#include "media/aviriff.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr uint32_t kKeyFrameFlag = 0x10;     // AVIIF_KEYFRAME in idx1
constexpr uint32_t kListFlag = 0x01;         // AVIIF_LIST in idx1
constexpr uint32_t kNotKeyBit = 0x80000000u; // in OpenDML standard index entries
constexpr int kMaxRiffParts = 4096;          // AVIX parts followed; far beyond any real file
// Samples of one stream: 55 hours at 50 frames a second. An index claiming more is not believed,
// so the table stays below a few hundred megabytes whatever the file says.
constexpr qint64 kMaxSamples = 10'000'000;
constexpr qint64 kIndexBlock = 1 << 20; // legacy index entries are read a block at a time
constexpr qint64 kMaxIndexParts = 1 << 16; // OpenDML standard indexes (each covers thousands of samples)

uint32_t le32(const char* p)
{
    return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
           uint32_t(uint8_t(p[3])) << 24;
}
uint16_t le16(const char* p)
{
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}
uint64_t le64(const char* p)
{
    return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32;
}

bool isId(const char* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

// Reads through one file handle, every read checked against the size.
class Reader
{
public:
    explicit Reader(const QString& path) : m_file(path) {}
    bool open()
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        m_size = m_file.size();
        return true;
    }
    qint64 size() const { return m_size; }

    // Exactly `n` bytes at `pos`, or nothing.
    std::optional<QByteArray> read(qint64 pos, qint64 n)
    {
        if (pos < 0 || n < 0 || pos > m_size || n > m_size - pos)
            return std::nullopt;
        if (!m_file.seek(pos))
            return std::nullopt;
        QByteArray data = m_file.read(n);
        if (data.size() != n)
            return std::nullopt;
        return data;
    }

    struct Chunk
    {
        char id[4];
        uint32_t size;
        qint64 pos; // of the header
        qint64 dataPos() const { return pos + 8; }
        qint64 end() const { return pos + 8 + size + (size & 1); }
    };
    std::optional<Chunk> chunkAt(qint64 pos)
    {
        const auto head = read(pos, 8);
        if (!head)
            return std::nullopt;
        Chunk c;
        std::memcpy(c.id, head->constData(), 4);
        c.size = le32(head->constData() + 4);
        c.pos = pos;
        return c;
    }
    // The list type of a LIST or RIFF chunk.
    std::optional<QByteArray> listType(const Chunk& c)
    {
        return read(c.dataPos(), 4);
    }

private:
    QFile m_file;
    qint64 m_size = 0;
};

// The chunk ids of the video stream's samples: "NNdc" (compressed) and "NNdb" (uncompressed).
struct StreamIds
{
    char digits[2];
    bool matchesSample(const char* id) const
    {
        return id[0] == digits[0] && id[1] == digits[1] && id[2] == 'd' && (id[3] == 'c' || id[3] == 'b');
    }
};

class LayoutReader
{
public:
    LayoutReader(Reader& r, AviLayout& out) : r(r), out(out) {}

    void run()
    {
        const auto riff = r.chunkAt(0);
        if (!riff || !isId(riff->id, "RIFF"))
            return;
        const auto type = r.listType(*riff);
        if (!type || *type != "AVI ")
            return;
        out.isAvi = true;

        // Top-level chunks of the first RIFF part; a size running past the end of the file (a
        // truncated file) is cut at the end of the file.
        const qint64 riffEnd = std::min<qint64>(riff->end(), r.size());
        walkTopLevel(riff->dataPos() + 4, riffEnd, true);
        if (out.videoStream < 0)
            return;
        m_ids.digits[0] = char('0' + out.videoStream / 10);
        m_ids.digits[1] = char('0' + out.videoStream % 10);

        // OpenDML continuation parts ("RIFF" .... "AVIX") follow the first part.
        qint64 pos = riff->end();
        for (int part = 0; part < kMaxRiffParts && pos + 12 <= r.size(); ++part) {
            const auto next = r.chunkAt(pos);
            if (!next || !isId(next->id, "RIFF"))
                break;
            const auto t = r.listType(*next);
            if (!t || *t != "AVIX")
                break;
            walkTopLevel(next->dataPos() + 4, std::min<qint64>(next->end(), r.size()), false);
            pos = next->end();
        }

        if (readOpenDmlIndex()) {
            out.source = AviLayout::Source::OpenDmlIndex;
        } else if (readLegacyIndex()) {
            out.source = AviLayout::Source::LegacyIndex;
        } else {
            scanMovies();
            out.source = AviLayout::Source::Scan;
        }
    }

private:
    void walkTopLevel(qint64 pos, qint64 end, bool first)
    {
        while (pos + 8 <= end) {
            const auto c = r.chunkAt(pos);
            if (!c)
                break;
            if (isId(c->id, "LIST")) {
                const auto t = r.listType(*c);
                if (!t)
                    break;
                if (first && *t == "hdrl")
                    walkHeaderList(c->dataPos() + 4, std::min<qint64>(c->end(), end));
                else if (*t == "movi")
                    m_movies.push_back({c->dataPos() + 4, std::min<qint64>(c->end(), r.size())});
            } else if (first && isId(c->id, "idx1")) {
                m_idx1 = *c;
            }
            if (c->end() <= pos)
                break;
            pos = c->end();
        }
    }

    void walkHeaderList(qint64 pos, qint64 end)
    {
        int streamNumber = 0;
        while (pos + 8 <= end) {
            const auto c = r.chunkAt(pos);
            if (!c)
                break;
            if (isId(c->id, "LIST")) {
                const auto t = r.listType(*c);
                if (!t)
                    break;
                if (*t == "strl") {
                    if (out.videoStream < 0)
                        readStreamList(c->dataPos() + 4, std::min<qint64>(c->end(), end), streamNumber);
                    ++streamNumber;
                } else if (*t == "odml") {
                    readOpenDmlList(c->dataPos() + 4, std::min<qint64>(c->end(), end));
                }
            }
            if (c->end() <= pos)
                break;
            pos = c->end();
        }
    }

    void readStreamList(qint64 pos, qint64 end, int streamNumber)
    {
        std::optional<QByteArray> strh, strf;
        std::optional<Reader::Chunk> indx;
        while (pos + 8 <= end) {
            const auto c = r.chunkAt(pos);
            if (!c)
                break;
            if (isId(c->id, "strh") && !strh)
                strh = r.read(c->dataPos(), std::min<qint64>(c->size, 64));
            else if (isId(c->id, "strf") && !strf)
                strf = r.read(c->dataPos(), std::min<qint64>(c->size, 40));
            else if (isId(c->id, "indx") && !indx)
                indx = *c;
            if (c->end() <= pos)
                break;
            pos = c->end();
        }
        if (!strh || strh->size() < 48 || !isId(strh->constData(), "vids"))
            return;
        if (streamNumber > 99)
            return;
        out.videoStream = streamNumber;
        const char* h = strh->constData();
        out.handler = strh->mid(4, 4);
        out.scale = le32(h + 20);
        out.rate = le32(h + 24);
        out.length = le32(h + 32);
        if (strh->size() >= 56) {
            out.frameLeft = int16_t(le16(h + 48));
            out.frameTop = int16_t(le16(h + 50));
            out.frameRight = int16_t(le16(h + 52));
            out.frameBottom = int16_t(le16(h + 54));
        }
        out.hasStreamHeader = true;
        if (strf && strf->size() >= 20) {
            const char* f = strf->constData();
            out.bitmapWidth = int32_t(le32(f + 4));
            out.bitmapHeight = int32_t(le32(f + 8));
            out.bitCount = le16(f + 14);
            out.compression = strf->mid(16, 4);
            out.hasFormat = true;
        }
        m_indx = indx;
    }

    void readOpenDmlList(qint64 pos, qint64 end)
    {
        while (pos + 8 <= end) {
            const auto c = r.chunkAt(pos);
            if (!c)
                break;
            if (isId(c->id, "dmlh") && c->size >= 4) {
                if (const auto d = r.read(c->dataPos(), 4)) {
                    out.hasOpenDmlHeader = true;
                    out.openDmlTotalFrames = le32(d->constData());
                }
            }
            if (c->end() <= pos)
                break;
            pos = c->end();
        }
    }

    // A sample's data must lie inside the file; otherwise the index belongs to a longer file.
    bool inside(qint64 pos, qint64 size) const { return pos >= 0 && size >= 0 && pos <= r.size() - size; }

    // The chunk header right before a sample's data names our stream and the same size.
    bool headerMatches(qint64 dataPos, uint32_t size)
    {
        const auto c = r.chunkAt(dataPos - 8);
        return c && m_ids.matchesSample(c->id) && c->size == size;
    }

    bool readOpenDmlIndex()
    {
        if (!m_indx)
            return false;
        const auto head = r.read(m_indx->dataPos(), std::min<qint64>(m_indx->size, 24));
        if (!head || head->size() < 24) {
            out.problem = QStringLiteral("OpenDML index header is cut short");
            return false;
        }
        const char* h = head->constData();
        const int longsPerEntry = le16(h);
        const int indexType = uint8_t(h[3]);
        const uint32_t inUse = le32(h + 4);
        std::vector<AviSample> samples;
        if (indexType == 0 && longsPerEntry == 4) {
            // An index of indexes: each entry names one standard index chunk.
            const qint64 maxEntries = (qint64(m_indx->size) - 24) / 16;
            if (inUse == 0 || qint64(inUse) > maxEntries || qint64(inUse) > kMaxIndexParts) {
                out.problem = QStringLiteral("OpenDML super index is empty or larger than its chunk");
                return false;
            }
            const auto entries = r.read(m_indx->dataPos() + 24, qint64(inUse) * 16);
            if (!entries)
                return false;
            for (uint32_t i = 0; i < inUse; ++i) {
                const qint64 offset = qint64(le64(entries->constData() + i * 16));
                if (!readStandardIndex(offset, samples))
                    return false;
            }
        } else if (indexType == 1) {
            if (!readStandardIndex(m_indx->pos, samples))
                return false;
        } else {
            out.problem = QStringLiteral("unknown OpenDML index type");
            return false;
        }
        if (samples.empty())
            return false;
        if (!spotCheck(samples))
            return false;
        out.samples = std::move(samples);
        return true;
    }

    bool readStandardIndex(qint64 chunkPos, std::vector<AviSample>& samples)
    {
        const auto c = r.chunkAt(chunkPos);
        if (!c || c->size < 24) {
            out.problem = QStringLiteral("OpenDML standard index missing");
            return false;
        }
        const auto head = r.read(c->dataPos(), 24);
        if (!head)
            return false;
        const char* h = head->constData();
        const int longsPerEntry = le16(h);
        const int indexType = uint8_t(h[3]);
        const uint32_t inUse = le32(h + 4);
        if (!m_ids.matchesSample(h + 8) || indexType != 1 || longsPerEntry != 2) {
            out.problem = QStringLiteral("OpenDML standard index of another kind or stream");
            return false;
        }
        const qint64 base = qint64(le64(h + 12));
        if (qint64(inUse) > (qint64(c->size) - 24) / 8) {
            out.problem = QStringLiteral("OpenDML standard index larger than its chunk");
            return false;
        }
        const auto entries = r.read(c->dataPos() + 24, qint64(inUse) * 8);
        if (!entries)
            return false;
        if (qint64(samples.size()) + inUse > kMaxSamples) {
            out.problem = QStringLiteral("OpenDML index holds more samples than any video");
            return false;
        }
        samples.reserve(samples.size() + inUse);
        for (uint32_t i = 0; i < inUse; ++i) {
            const char* e = entries->constData() + i * 8;
            const uint32_t sizeWord = le32(e + 4);
            AviSample s;
            s.pos = base + qint64(le32(e));
            s.size = sizeWord & ~kNotKeyBit;
            s.key = (sizeWord & kNotKeyBit) == 0 && s.size > 0;
            if (!inside(s.pos, s.size)) {
                out.problem = QStringLiteral("OpenDML index points beyond the end of the file");
                return false;
            }
            samples.push_back(s);
        }
        return true;
    }

    bool readLegacyIndex()
    {
        if (!m_idx1 || m_movies.empty())
            return false;
        const qint64 count = qint64(m_idx1->size) / 16;
        if (count <= 0)
            return false;
        if (m_idx1->dataPos() + count * 16 > r.size()) {
            out.problem = QStringLiteral("legacy index is cut short");
            return false;
        }
        // Offsets count from the "movi" list type, or (some writers) from the start of the file.
        const qint64 moviType = m_movies.front().first - 4;
        std::optional<qint64> base;
        std::vector<AviSample> samples;
        std::optional<QByteArray> block;
        qint64 blockFirst = 0;
        for (qint64 i = 0; i < count; ++i) {
            if (!block || i - blockFirst >= block->size() / 16) {
                blockFirst = i;
                block = r.read(m_idx1->dataPos() + i * 16, std::min(count - i, kIndexBlock / 16) * 16);
                if (!block)
                    return false;
            }
            const char* e = block->constData() + (i - blockFirst) * 16;
            if (!m_ids.matchesSample(e) || (le32(e + 4) & kListFlag))
                continue;
            const qint64 offset = le32(e + 8);
            const uint32_t size = le32(e + 12);
            if (!base) {
                for (const qint64 candidate : {moviType, qint64(0)}) {
                    const auto c = r.chunkAt(candidate + offset);
                    if (c && std::memcmp(c->id, e, 4) == 0 && c->size == size) {
                        base = candidate;
                        break;
                    }
                }
                if (!base) {
                    out.problem = QStringLiteral("legacy index does not point at the chunks");
                    return false;
                }
            }
            AviSample s;
            s.pos = *base + offset + 8;
            s.size = size;
            s.key = (le32(e + 4) & kKeyFrameFlag) && size > 0;
            if (!inside(s.pos, s.size)) {
                out.problem = QStringLiteral("legacy index points beyond the end of the file");
                return false;
            }
            if (qint64(samples.size()) >= kMaxSamples) {
                out.problem = QStringLiteral("legacy index holds more samples than any video");
                return false;
            }
            samples.push_back(s);
        }
        if (samples.empty())
            return false;
        // A legacy index only covers the first part of an OpenDML file.
        if (out.hasOpenDmlHeader && out.openDmlTotalFrames > samples.size() && m_movies.size() > 1) {
            out.problem = QStringLiteral("legacy index covers only the first part of the file");
            return false;
        }
        if (!spotCheck(samples))
            return false;
        out.samples = std::move(samples);
        return true;
    }

    // The first and the last non-empty samples must sit in chunks of our stream.
    bool spotCheck(const std::vector<AviSample>& samples)
    {
        const auto first = std::find_if(samples.begin(), samples.end(), [](const AviSample& s) { return s.size > 0; });
        const auto last = std::find_if(samples.rbegin(), samples.rend(), [](const AviSample& s) { return s.size > 0; });
        if (first == samples.end())
            return true; // only drop samples: nothing to check
        if (!headerMatches(first->pos, first->size) || !headerMatches(last->pos, last->size)) {
            out.problem = QStringLiteral("index does not match the chunks");
            return false;
        }
        return true;
    }

    // Walks the chunks of every "movi" list; stops at the end of the file or at the first chunk that
    // is cut off or unreadable.
    void scanMovies()
    {
        std::vector<AviSample> samples;
        for (const auto& [begin, end] : m_movies) {
            qint64 pos = begin;
            while (pos + 8 <= end) {
                const auto c = r.chunkAt(pos);
                if (!c)
                    break;
                if (isId(c->id, "LIST")) {
                    // "rec " groups: step inside.
                    pos += 12;
                    continue;
                }
                if (c->dataPos() + c->size > r.size())
                    break; // cut off
                if (m_ids.matchesSample(c->id)) {
                    if (qint64(samples.size()) >= kMaxSamples)
                        break;
                    AviSample s;
                    s.pos = c->dataPos();
                    s.size = c->size;
                    samples.push_back(s);
                }
                pos = c->end();
            }
        }
        out.samples = std::move(samples);
    }

    Reader& r;
    AviLayout& out;
    StreamIds m_ids{{'0', '0'}};
    std::optional<Reader::Chunk> m_indx;
    std::optional<Reader::Chunk> m_idx1;
    std::vector<std::pair<qint64, qint64>> m_movies; // data begin (after "movi"), end
};

} // namespace

AviLayout readAviLayout(const QString& path)
{
    AviLayout layout;
    Reader reader(path);
    if (!reader.open())
        return layout;
    LayoutReader(reader, layout).run();
    return layout;
}

std::vector<int> mpeg4VopTypes(const QByteArray& chunk)
{
    std::vector<int> types;
    const auto* p = reinterpret_cast<const uint8_t*>(chunk.constData());
    const qsizetype n = chunk.size();
    for (qsizetype i = 0; i + 4 < n; ++i) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xB6) {
            types.push_back(p[i + 4] >> 6);
            i += 4;
        }
    }
    return types;
}
