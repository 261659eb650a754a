#include "media/programstream.h"

#include <QFile>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The packs and packets of a program stream. A pack header (00 00 01 BA) is followed by packets,
// each a start code 00 00 01 with its stream id and a 16-bit length; video packets (ids E0 to EF)
// carry the video elementary stream, with a header of timestamps before the data. MPEG-1 and MPEG-2
// write the pack header and the packet header differently; both are read.

// The blocks read ahead: the reader fills them in order, each in slot (block % kSlots), never more
// than kSlots - 1 past the block the walk looks at; in front of each block there is room for the
// bytes the walk keeps from the block before.
struct FileWindow::Ahead
{
    static constexpr int kSlots = 4;
    static constexpr int64_t kPorch = 2 * kLookBehind;
    std::vector<uint8_t> blocks[kSlots];
    int64_t lengths[kSlots] = {};
    std::mutex lock;
    std::condition_variable changed;
    int64_t readBlocks = 0; // blocks 0 .. readBlocks - 1 have been read
    int64_t firstHeld = 0;  // no block before this one is used any more
    bool finished = false;  // the reader has stopped: the end of the file, a read error, or told to
    bool stop = false;
    std::thread reader;
};

FileWindow::FileWindow(std::size_t blockBytes) : m_block(blockBytes) {}

FileWindow::~FileWindow()
{
    if (m_ahead) {
        {
            std::lock_guard<std::mutex> guard(m_ahead->lock);
            m_ahead->stop = true;
        }
        m_ahead->changed.notify_all();
        m_ahead->reader.join();
    }
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

void FileWindow::readAhead()
{
    if (m_fd < 0 || m_ahead)
        return;
    m_ahead = std::make_unique<Ahead>();
    Ahead* a = m_ahead.get();
    for (auto& slot : a->blocks)
        slot.resize(size_t(Ahead::kPorch) + m_block);
    a->reader = std::thread([this, a] {
        const int64_t block = int64_t(m_block);
        for (int64_t k = 0; k * block < m_size; ++k) {
            {
                std::unique_lock<std::mutex> guard(a->lock);
                a->changed.wait(guard, [&] { return a->stop || k < a->firstHeld + Ahead::kSlots; });
                if (a->stop)
                    break;
            }
            uint8_t* into = a->blocks[k % Ahead::kSlots].data() + Ahead::kPorch;
            const int64_t length = std::min(block, m_size - k * block);
            int64_t got = 0;
            while (got < length) {
                const ssize_t n = ::pread(m_fd, into + got, size_t(length - got), k * block + got);
                if (n <= 0)
                    break;
                got += n;
            }
            {
                std::lock_guard<std::mutex> guard(a->lock);
                a->lengths[k % Ahead::kSlots] = got;
                a->readBlocks = k + 1;
            }
            a->changed.notify_all();
            if (got < length)
                break; // the walk reads the rest itself and meets the error there
        }
        {
            std::lock_guard<std::mutex> guard(a->lock);
            a->finished = true;
        }
        a->changed.notify_all();
    });
}

// The view moved on to the block read ahead that holds the end of the bytes asked for, with the
// bytes the walk may come back to copied in front of it from the view it leaves; null when that
// cannot be done (a step back, a span longer than a block, the reader stopped before it).
const uint8_t* FileWindow::fromReadAhead(int64_t pos, int64_t want, int64_t* have)
{
    Ahead* a = m_ahead.get();
    const int64_t block = int64_t(m_block);
    const int64_t t = (pos + want - 1) / block;
    const int64_t blockStart = t * block;
    if (want > block || t <= m_heldBlock)
        return nullptr;
    int64_t keepFrom = blockStart;
    if (m_bufferLength > 0 && blockStart <= m_bufferPos + m_bufferLength)
        keepFrom = std::max(m_bufferPos, std::min(pos, blockStart) - kLookBehind);
    if (keepFrom > pos || blockStart - keepFrom > Ahead::kPorch)
        return nullptr;
    {
        std::unique_lock<std::mutex> guard(a->lock);
        if (t < a->firstHeld)
            return nullptr; // its slot may hold a later block by now
        if (m_heldBlock < 0 || keepFrom == blockStart) {
            // No block read ahead is looked at any more: the reader may go on past them.
            a->firstHeld = t;
            if (m_heldBlock >= 0) {
                m_heldBlock = -1;
                m_bufferLength = 0;
            }
            a->changed.notify_all();
        }
        a->changed.wait(guard, [&] { return a->readBlocks > t || a->finished; });
        if (a->readBlocks <= t)
            return nullptr;
    }
    uint8_t* base = a->blocks[t % Ahead::kSlots].data() + Ahead::kPorch;
    const int64_t porch = blockStart - keepFrom;
    if (porch > 0)
        std::memcpy(base - porch, m_view + (keepFrom - m_bufferPos), size_t(porch));
    m_view = base - porch;
    m_bufferPos = keepFrom;
    m_bufferLength = porch + a->lengths[t % Ahead::kSlots];
    m_heldBlock = t;
    {
        std::lock_guard<std::mutex> guard(a->lock);
        a->firstHeld = t;
    }
    a->changed.notify_all();
    *have = std::min(want, m_bufferPos + m_bufferLength - pos);
    return *have > 0 ? m_view + (pos - m_bufferPos) : nullptr;
}

const uint8_t* FileWindow::refill(int64_t pos, int64_t want, int64_t* have)
{
    *have = 0;
    if (m_fd < 0 || pos < 0 || pos >= m_size)
        return nullptr;
    want = std::min(want, m_size - pos);
    const int64_t bufferEnd = m_bufferPos + m_bufferLength;
    if (pos >= m_bufferPos && pos + want <= bufferEnd) {
        *have = want;
        return want > 0 ? m_view + (pos - m_bufferPos) : nullptr;
    }
    if (m_ahead && want > 0) {
        if (const uint8_t* p = fromReadAhead(pos, want, have))
            return p;
    }
    // A walk forward asks for the start of the next packet before it has done with the data of the
    // one it is in: the last packet's worth of bytes stays in front, so that going back to them
    // reads nothing again. Read afresh, every block would be read about twice.
    int64_t keepFrom = pos;
    if (pos >= m_bufferPos && pos <= bufferEnd)
        keepFrom = std::max(m_bufferPos, pos - kLookBehind);
    const int64_t keep = pos >= m_bufferPos && pos <= bufferEnd ? bufferEnd - keepFrom : 0;
    const int64_t length = std::min<int64_t>((pos - keepFrom) + std::max<int64_t>(int64_t(m_block), want),
                                             m_size - keepFrom);
    if (keep > 0 && m_view == m_buffer.data() && m_buffer.size() >= size_t(length)) {
        if (keepFrom > m_bufferPos)
            std::memmove(m_buffer.data(), m_buffer.data() + (keepFrom - m_bufferPos), size_t(keep));
    } else {
        // Kept bytes from a block read ahead, or a buffer that has to grow.
        std::vector<uint8_t> fresh(std::max(size_t(length), m_buffer.size()));
        if (keep > 0)
            std::memcpy(fresh.data(), m_view + (keepFrom - m_bufferPos), size_t(keep));
        m_buffer.swap(fresh);
    }
    int64_t got = keep;
    while (got < length) {
        const ssize_t n = ::pread(m_fd, m_buffer.data() + got, size_t(length - got), keepFrom + got);
        if (n <= 0)
            break;
        got += n;
    }
    m_view = m_buffer.data();
    m_heldBlock = -1;
    m_bufferPos = keepFrom;
    m_bufferLength = got;
    *have = std::min(want, m_bufferPos + m_bufferLength - pos);
    return *have > 0 ? m_view + (pos - m_bufferPos) : nullptr;
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
