#include "media/h264order.h"

#include <algorithm>
#include <numeric>

namespace {

// Headers are short; the payload beyond them is picture data nobody here reads. (Parameter sets
// with scaling matrices can run to a kilobyte or two.)
constexpr size_t kSliceHeaderBytes = 64;
constexpr size_t kParameterSetBytes = 4096;

// Reads bits, most significant first; reading past the end sets `failed` and gives zeros.
class BitReader
{
public:
    explicit BitReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }

    uint32_t bits(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 1) | bit();
        return v;
    }
    uint32_t bit()
    {
        if (m_pos >= m_bytes.size() * 8) {
            m_failed = true;
            return 0;
        }
        const uint32_t b = (m_bytes[m_pos / 8] >> (7 - m_pos % 8)) & 1u;
        ++m_pos;
        return b;
    }
    // Exp-Golomb codes; more than 31 leading zeros is no valid header.
    uint32_t ue()
    {
        int zeros = 0;
        while (bit() == 0) {
            if (m_failed || ++zeros > 31) {
                m_failed = true;
                return 0;
            }
        }
        return zeros == 0 ? 0 : ((1u << zeros) - 1 + bits(zeros));
    }
    int32_t se()
    {
        const uint32_t k = ue();
        return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
    bool m_failed = false;
};

// The payload of a NAL unit after its header byte, without the bytes that keep start codes out of it.
std::vector<uint8_t> rbspOf(const uint8_t* p, size_t n, size_t limit = kParameterSetBytes)
{
    std::vector<uint8_t> out;
    out.reserve(std::min(n, limit));
    int zeros = 0;
    for (size_t i = 1; i < n && out.size() < limit; ++i) {
        if (zeros >= 2 && p[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = p[i] == 0 ? zeros + 1 : 0;
        out.push_back(p[i]);
    }
    return out;
}

// Calls visit(start, size) for every NAL unit between start codes until it returns false.
template <typename Visit>
void forEachNal(const QByteArray& data, Visit visit)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData());
    const size_t n = size_t(data.size());
    auto nextStart = [&](size_t from) {
        for (size_t i = from; i + 2 < n; ++i) {
            if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1)
                return i;
        }
        return n;
    };
    size_t start = nextStart(0);
    while (start < n) {
        const size_t begin = start + 3;
        start = nextStart(begin);
        size_t end = start;
        while (end > begin && p[end - 1] == 0) // the zero before a four-byte start code
            --end;
        if (end > begin && !visit(p + begin, end - begin))
            return;
    }
}

bool hasChromaFormat(uint32_t profile)
{
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138:
    case 139: case 134: case 135:
        return true;
    default:
        return false;
    }
}

} // namespace

void H264HeaderReader::addParameterSets(const QByteArray& data)
{
    forEachNal(data, [&](const uint8_t* p, size_t n) {
        const int type = p[0] & 0x1f;
        if (type == 7)
            readSps(rbspOf(p, n));
        else if (type == 8)
            readPps(rbspOf(p, n));
        return true;
    });
}

std::optional<H264Picture> H264HeaderReader::read(const QByteArray& chunk)
{
    std::optional<H264Picture> picture;
    forEachNal(chunk, [&](const uint8_t* p, size_t n) {
        const int type = p[0] & 0x1f;
        if (type == 7) {
            readSps(rbspOf(p, n));
        } else if (type == 8) {
            readPps(rbspOf(p, n));
        } else if (type == 1 || type == 5) {
            picture = readSlice(rbspOf(p, n, kSliceHeaderBytes), type, (p[0] >> 5) & 3);
            return false; // the first slice speaks for its picture
        }
        return true;
    });
    return picture;
}

void H264HeaderReader::readSps(const std::vector<uint8_t>& rbsp)
{
    BitReader r(rbsp);
    const uint32_t profile = r.bits(8);
    r.bits(16); // constraint flags, level
    const uint32_t id = r.ue();
    Sps sps;
    if (hasChromaFormat(profile)) {
        const uint32_t chroma = r.ue();
        if (chroma == 3)
            sps.separateColourPlanes = r.bit() != 0;
        r.ue(); // luma bit depth
        r.ue(); // chroma bit depth
        r.bit(); // lossless bypass
        if (r.bit()) { // scaling matrices: skipped over, their values do not matter here
            const int lists = chroma != 3 ? 8 : 12;
            for (int i = 0; i < lists && !r.failed(); ++i) {
                if (!r.bit())
                    continue;
                const int size = i < 6 ? 16 : 64;
                int last = 8;
                int next = 8;
                for (int j = 0; j < size && !r.failed(); ++j) {
                    if (next != 0)
                        next = int((last + int64_t(r.se()) % 256 + 512) % 256);
                    last = next == 0 ? last : next;
                }
            }
        }
    }
    // Values are checked before they are used: a damaged header may hold any number.
    const uint32_t frameNumBits = r.ue();
    const uint32_t pocType = r.ue();
    if (frameNumBits > 12 || pocType > 2)
        return;
    sps.log2MaxFrameNum = int(frameNumBits) + 4;
    sps.pocType = int(pocType);
    if (sps.pocType == 0) {
        const uint32_t pocBits = r.ue();
        if (pocBits > 12)
            return;
        sps.log2MaxPocLsb = int(pocBits) + 4;
    } else if (sps.pocType == 1) {
        r.bit();
        r.se();
        r.se();
        const uint32_t cycle = r.ue();
        for (uint32_t i = 0; i < cycle && i < 256 && !r.failed(); ++i)
            r.se();
    }
    r.ue();  // reference frames
    r.bit(); // gaps in frame numbers allowed
    r.ue();  // width
    r.ue();  // height
    sps.frameMbsOnly = r.bit() != 0;
    if (r.failed() || id >= m_sps.size())
        return;
    sps.known = true;
    m_sps[id] = sps;
}

void H264HeaderReader::readPps(const std::vector<uint8_t>& rbsp)
{
    BitReader r(rbsp);
    const uint32_t id = r.ue();
    const uint32_t spsId = r.ue();
    r.bit(); // entropy coding
    Pps pps;
    pps.bottomPocInFrame = r.bit() != 0;
    if (r.failed() || id >= m_pps.size() || spsId >= m_sps.size())
        return;
    pps.sps = int(spsId);
    pps.known = true;
    m_pps[id] = pps;
}

std::optional<H264Picture> H264HeaderReader::readSlice(const std::vector<uint8_t>& rbsp, int nalType, int refIdc) const
{
    BitReader r(rbsp);
    r.ue(); // first macroblock
    r.ue(); // slice type
    const uint32_t ppsId = r.ue();
    if (r.failed() || ppsId >= m_pps.size() || !m_pps[ppsId].known || !m_sps[size_t(m_pps[ppsId].sps)].known)
        return std::nullopt;
    const Pps& pps = m_pps[ppsId];
    const Sps& sps = m_sps[size_t(pps.sps)];
    H264Picture picture;
    picture.idr = nalType == 5;
    picture.reference = refIdc != 0;
    picture.pocType = sps.pocType;
    if (sps.separateColourPlanes)
        r.bits(2);
    r.bits(sps.log2MaxFrameNum);
    if (!sps.frameMbsOnly && r.bit())
        return std::nullopt; // a field, not a frame: not followed
    if (picture.idr)
        r.ue();
    if (sps.pocType == 0) {
        picture.maxPocLsb = int32_t(1) << sps.log2MaxPocLsb;
        picture.pocLsb = int32_t(r.bits(sps.log2MaxPocLsb));
        if (pps.bottomPocInFrame)
            picture.bottomDelta = r.se();
    } else if (sps.pocType == 1) {
        return std::nullopt;
    }
    if (r.failed())
        return std::nullopt;
    return picture;
}

std::optional<std::vector<H264GroupPicture>> h264GroupOrder(const std::vector<H264Picture>& pictures)
{
    if (pictures.empty() || !pictures.front().idr)
        return std::nullopt;
    const int type = pictures.front().pocType;
    std::vector<int64_t> order(pictures.size());
    int64_t prevMsb = 0;
    int32_t prevLsb = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const H264Picture& p = pictures[i];
        if (p.pocType != type || (i > 0 && p.idr))
            return std::nullopt;
        if (type == 2) {
            order[i] = int64_t(i); // shown in stored order
            continue;
        }
        if (type != 0 || p.maxPocLsb <= 0)
            return std::nullopt;
        // The high part of the order continues from the last picture others refer to, stepping
        // up or down by a whole wrap when the low bits have wrapped.
        int64_t msb = prevMsb;
        if (p.pocLsb < prevLsb && prevLsb - p.pocLsb >= p.maxPocLsb / 2)
            msb += p.maxPocLsb;
        else if (p.pocLsb > prevLsb && p.pocLsb - prevLsb > p.maxPocLsb / 2)
            msb -= p.maxPocLsb;
        order[i] = msb + p.pocLsb + std::min(0, p.bottomDelta);
        if (p.reference) {
            prevMsb = msb;
            prevLsb = p.pocLsb;
        }
    }
    std::vector<size_t> byShow(pictures.size());
    std::iota(byShow.begin(), byShow.end(), size_t(0));
    std::stable_sort(byShow.begin(), byShow.end(), [&](size_t a, size_t b) { return order[a] < order[b]; });
    std::vector<H264GroupPicture> group(pictures.size());
    for (size_t k = 0; k < byShow.size(); ++k) {
        if (k > 0 && order[byShow[k]] == order[byShow[k - 1]])
            return std::nullopt; // two pictures in one place: something here is not understood
        group[byShow[k]] = H264GroupPicture{int32_t(k), pictures[byShow[k]].reference};
    }
    // The first picture of a group is shown first; anything else means the group is not closed.
    if (group.front().shown != 0)
        return std::nullopt;
    return group;
}
