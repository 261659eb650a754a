#include "media/programstream.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The packs and packets of a program stream. A pack header (00 00 01 BA) is followed by packets,
// each a start code 00 00 01 with its stream id and a 16-bit length; video packets (ids E0 to EF)
// carry the video elementary stream, with a header of timestamps before the data. MPEG-1 and MPEG-2
// write the pack header and the packet header differently; both are read.

FileWindow::FileWindow(std::size_t blockBytes) : m_block(blockBytes) {}

FileWindow::~FileWindow()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileWindow::open(const QString& path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat st = {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_size = st.st_size;
    return true;
}

const uint8_t* FileWindow::refill(int64_t pos, int64_t want, int64_t* have)
{
    *have = 0;
    if (m_fd < 0 || pos < 0 || pos >= m_size)
        return nullptr;
    want = std::min(want, m_size - pos);
    const int64_t bufferEnd = m_bufferPos + m_bufferLength;
    if (pos < m_bufferPos || pos + want > bufferEnd) {
        // A walk forward asks for the start of the next packet before it has done with the data of
        // the one it is in: the last packet's worth of bytes stays in front, so that going back to
        // them reads nothing again. Read afresh, every block would be read about twice.
        int64_t keepFrom = pos;
        if (pos >= m_bufferPos && pos <= bufferEnd)
            keepFrom = std::max(m_bufferPos, pos - kLookBehind);
        const int64_t keep = pos >= m_bufferPos && pos <= bufferEnd ? bufferEnd - keepFrom : 0;
        const int64_t length = std::min<int64_t>((pos - keepFrom) + std::max<int64_t>(int64_t(m_block), want),
                                                 m_size - keepFrom);
        if (m_buffer.size() < size_t(length))
            m_buffer.resize(size_t(length));
        if (keep > 0 && keepFrom > m_bufferPos)
            std::memmove(m_buffer.data(), m_buffer.data() + (keepFrom - m_bufferPos), size_t(keep));
        int64_t got = keep;
        while (got < length) {
            const ssize_t n = ::pread(m_fd, m_buffer.data() + got, size_t(length - got), keepFrom + got);
            if (n <= 0)
                break;
            got += n;
        }
        m_bufferPos = keepFrom;
        m_bufferLength = got;
    }
    *have = std::min(want, m_bufferPos + m_bufferLength - pos);
    return *have > 0 ? m_buffer.data() + (pos - m_bufferPos) : nullptr;
}

namespace {

bool isPacketId(uint8_t id)
{
    return id >= 0xBB; // system header, stream map, private, padding, audio, video, ...
}

bool isUnitStart(const uint8_t* p)
{
    return p[0] == 0 && p[1] == 0 && p[2] == 1 && (p[3] == 0xBA || p[3] == 0xB9 || isPacketId(p[3]));
}

// The next pack or packet start code at or after `from`, or the end of the file.
int64_t findUnitStart(FileWindow& file, int64_t from)
{
    constexpr int64_t kStep = 64 * 1024;
    int64_t pos = from;
    for (;;) {
        int64_t have = 0;
        const uint8_t* p = file.at(pos, kStep + 3, &have);
        if (!p || have < 4)
            return file.size();
        const uint8_t* end = p + have - 3;
        for (const uint8_t* q = p; q < end;) {
            q = static_cast<const uint8_t*>(std::memchr(q, 1, size_t(end + 2 - q)));
            if (!q)
                break;
            if (q - p >= 2 && q + 1 < p + have && isUnitStart(q - 2))
                return pos + (q - 2 - p);
            ++q;
        }
        pos += have - 3;
    }
}

// Where the data of a video packet starts, counted from the packet's start code; -1 when its header
// makes no sense.
int packetHeaderLength(const uint8_t* p, int64_t have)
{
    if (have < 9)
        return -1;
    if ((p[6] & 0xC0) == 0x80) // MPEG-2: flags, then the length of the optional fields
        return 9 + p[8];
    // MPEG-1: stuffing, an optional buffer size, then the timestamps.
    int i = 6;
    while (i < have && p[i] == 0xFF && i < 6 + 16)
        ++i;
    if (i + 1 < have && (p[i] & 0xC0) == 0x40)
        i += 2;
    if (i >= have)
        return -1;
    if ((p[i] & 0xF0) == 0x20)
        return i + 5;
    if ((p[i] & 0xF0) == 0x30)
        return i + 10;
    if (p[i] == 0x0F)
        return i + 1;
    return -1;
}

} // namespace

bool looksLikeProgramStream(const QByteArray& head)
{
    // A pack header, followed by the start of a pack or packet where its length says. A file cut
    // from a longer one may begin inside a pack, so the first pack is looked for in what is given.
    const auto* p = reinterpret_cast<const uint8_t*>(head.constData());
    const qsizetype n = head.size();
    for (qsizetype i = 0; i + 14 + 7 + 4 <= n; ++i) {
        if (!(p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xBA))
            continue;
        qsizetype next = -1;
        if ((p[i + 4] & 0xC0) == 0x40)
            next = i + 14 + (p[i + 13] & 7);
        else if ((p[i + 4] & 0xF0) == 0x20)
            next = i + 12;
        if (next >= 0 && next + 4 <= n && isUnitStart(p + next))
            return true;
    }
    return false;
}

PsUnit psUnitAt(FileWindow& file, int64_t pos)
{
    PsUnit unit;
    int64_t have = 0;
    // The longest header first (an MPEG-2 pack header with its stuffing); a packet whole below.
    const uint8_t* p = file.at(pos, 14 + 7, &have);
    if (!p || have < 4) {
        unit.kind = PsUnit::Kind::End;
        unit.next = file.size();
        return unit;
    }
    if (!isUnitStart(p)) {
        unit.kind = PsUnit::Kind::Garbage;
        unit.next = findUnitStart(file, pos + 1);
        return unit;
    }
    const uint8_t id = p[3];
    if (id == 0xB9) {
        unit.kind = PsUnit::Kind::End;
        unit.next = pos + 4;
        return unit;
    }
    if (id == 0xBA) {
        unit.kind = PsUnit::Kind::Pack;
        if (have >= 14 && (p[4] & 0xC0) == 0x40)
            unit.next = pos + 14 + (p[13] & 7);
        else if (have >= 12 && (p[4] & 0xF0) == 0x20)
            unit.next = pos + 12;
        else {
            unit.kind = PsUnit::Kind::Garbage;
            unit.next = findUnitStart(file, pos + 1);
        }
        return unit;
    }
    if (have < 6) {
        unit.kind = PsUnit::Kind::Garbage;
        unit.next = file.size();
        return unit;
    }
    const int64_t length = int64_t(p[4]) << 8 | p[5];
    p = file.at(pos, 6 + length, &have);
    if (!p || have < 6) {
        unit.kind = PsUnit::Kind::End;
        unit.next = file.size();
        return unit;
    }
    unit.kind = PsUnit::Kind::Packet;
    unit.streamId = id;
    unit.next = pos + 6 + length;
    const bool video = (id & 0xF0) == 0xE0;
    int header = 6;
    if (video) {
        header = packetHeaderLength(p, have);
        if (header < 0 || header > 6 + length) {
            // Not a packet header we can read: step over it as an unknown packet would be.
            unit.streamId = 0;
            header = int(std::min<int64_t>(6 + length, have));
        }
    }
    unit.payloadPos = pos + header;
    unit.payloadLength = std::max<int64_t>(0, 6 + length - header);
    if (unit.next > file.size()) {
        // The file ends inside the packet.
        unit.cut = true;
        unit.next = file.size();
        unit.payloadLength = std::max<int64_t>(0, file.size() - unit.payloadPos);
    } else if (unit.next + 4 <= file.size()) {
        int64_t tailHave = 0;
        const uint8_t* after = file.at(unit.next, 4, &tailHave);
        if (after && tailHave >= 4 && !isUnitStart(after)) {
            // The packet is shorter than its length says when a pack starts inside it: it was cut
            // there (a damaged copy); its data ends where the pack begins.
            const uint8_t* q = p + header;
            const uint8_t* end = p + std::min<int64_t>(have, 6 + length) - 3;
            for (; q < end; ++q) {
                if (q[0] == 0 && q[1] == 0 && q[2] == 1 && q[3] == 0xBA) {
                    unit.cut = true;
                    unit.next = pos + (q - p);
                    unit.payloadLength = unit.next - unit.payloadPos;
                    break;
                }
            }
        }
    }
    return unit;
}

QByteArray readElementaryBytes(FileWindow& file, uint8_t streamId, EsPlace from, uint32_t size)
{
    QByteArray out;
    out.reserve(int(size));
    int64_t pos = from.packet;
    int64_t skip = from.offset;
    while (uint32_t(out.size()) < size && pos < file.size()) {
        const PsUnit unit = psUnitAt(file, pos);
        if (unit.next <= pos)
            break;
        if (unit.kind == PsUnit::Kind::Packet && unit.streamId == streamId && unit.payloadLength > skip) {
            const int64_t want = std::min<int64_t>(unit.payloadLength - skip, int64_t(size) - out.size());
            int64_t have = 0;
            const uint8_t* data = file.at(unit.payloadPos + skip, want, &have);
            if (!data || have < want)
                break;
            out.append(reinterpret_cast<const char*>(data), int(want));
            skip = 0;
        } else if (unit.kind == PsUnit::Kind::Packet && unit.streamId == streamId) {
            skip -= unit.payloadLength;
        }
        pos = unit.next;
    }
    return out;
}
