#include "media/avicontainer.h"

#include "media/aviriff.h"
#include "media/ffmpegsupport.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>

// The AVI reader: the sample table from the file's own index (media/aviriff.*), one entry per sample
// with the position and size of its chunk; zero-length chunks are drop samples. Only the non-empty
// samples hold pictures, so the pictures are numbered by rank, their place among the non-empty
// samples: frame n shows the picture of the last non-empty sample at or before n.
//
// In an open group of pictures the B-frames stored right after a key chunk are shown before its
// picture and refer to the previous group; the decoder drops them after a restart. The key picture's
// own rank is therefore the key chunk's rank plus the number of those B-frames, which we read from
// the picture headers of the few chunks after each key chunk.

namespace {

constexpr int kMaxLeadingBLookahead = 8;
constexpr size_t kBFrameProbe = 64;

QString printableFourCC(const QByteArray& code)
{
    QString text;
    for (const char c : code) {
        if (c >= 0x20 && c < 0x7f)
            text += QLatin1Char(c);
    }
    return text.trimmed();
}

// The colour table of a picture of 8 bits or fewer, which the stream format carries after its
// header (FFmpeg keeps it as the codec's extra data). Decoders take it with each packet as 256
// opaque colours in native byte order.
QByteArray paletteOf(const AVCodecParameters* par)
{
    if (par->bits_per_coded_sample <= 0 || par->bits_per_coded_sample > 8 || par->extradata_size < 4)
        return {};
    // FFmpeg marks bottom-up rows for its raw decoder by appending "BottomUp" to the extra data.
    static const char bottomUp[] = "BottomUp"; // with its terminating zero: 9 bytes
    int size = par->extradata_size;
    if (size >= int(sizeof bottomUp) &&
        std::memcmp(par->extradata + size - sizeof bottomUp, bottomUp, sizeof bottomUp) == 0)
        size -= int(sizeof bottomUp);
    const int entries = std::min(1 << par->bits_per_coded_sample, size / 4);
    if (entries <= 0)
        return {};
    const uint8_t* table = par->extradata + size - entries * 4;
    QByteArray palette(AVPALETTE_SIZE, '\0');
    auto* colours = reinterpret_cast<uint32_t*>(palette.data());
    for (int i = 0; i < entries; ++i) {
        const uint8_t* q = table + 4 * i; // blue, green, red, unused
        colours[i] = 0xFF000000u | uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
    }
    return palette;
}

class AviContainer final : public VideoContainer
{
public:
    QString path;
    FormatPtr format;
    AviLayout layout;
    AVStream* stream = nullptr; // FFmpeg's, owned by the format context
    std::vector<AviSample> samples;
    QByteArray colours;
    bool bFrames = false; // MPEG-4 (DivX, Xvid) with B-frames
    bool packed = false;  // ... stored as a packed bitstream (a P and a B in one chunk)
    bool indexed = false;
    PictureIndex index;

    const PictureIndex* firstVideoStream(QString* error) override;
    const AVCodecParameters* codecParameters() const override { return stream ? stream->codecpar : nullptr; }
    bool readPicture(int32_t rank, bool, AVPacket* pkt, uint32_t limit, QString* error) override
    {
        const AviSample& s = sampleOf(rank);
        return readChunk(s.pos, s.size, limit, pkt, error);
    }
    QByteArray readPictureHead(int32_t rank, uint32_t limit) override
    {
        const AviSample& s = sampleOf(rank);
        return readHead(s.pos, s.size, limit);
    }
    uint32_t pictureSize(int32_t rank) const override { return sampleOf(rank).size; }
    bool disposable(int32_t, const AVPacket* pkt) const override
    {
        // A B-frame is no reference for any other picture. (Not in packed bitstreams, where the
        // decoder carries a B-frame over from one chunk to the next.)
        if (!bFrames || packed)
            return false;
        const int n = std::min(pkt->size, 256);
        const std::vector<int> types = mpeg4VopTypes(QByteArray::fromRawData(reinterpret_cast<const char*>(pkt->data), n));
        return types.size() == 1 && types.front() == 2;
    }
    bool packedBitstream() const override { return packed; }
    QByteArray palette() const override { return colours; }

private:
    const AviSample& sampleOf(int32_t rank) const { return samples[size_t(index.pictureSample[size_t(rank)])]; }
    // The data of one chunk, read through FFmpeg's own file access.
    bool readChunk(int64_t pos, uint32_t size, uint32_t limit, AVPacket* pkt, QString* error)
    {
        av_packet_unref(pkt);
        if (size > limit) {
            setError(error, QStringLiteral("the chunk at byte %1 is larger than any picture of the stream").arg(pos));
            return false;
        }
        int rc = av_new_packet(pkt, int(size));
        if (rc < 0) {
            setError(error, ffmpegText(rc));
            return false;
        }
        AVIOContext* io = format->pb;
        if (avio_seek(io, pos, SEEK_SET) < 0 || avio_read(io, pkt->data, int(size)) != int(size)) {
            setError(error, QStringLiteral("cannot read the chunk at byte %1").arg(pos));
            av_packet_unref(pkt);
            return false;
        }
        return true;
    }
    QByteArray readHead(int64_t pos, uint32_t size, uint32_t limit)
    {
        const int n = int(std::min(size, limit));
        QByteArray data(n, Qt::Uninitialized);
        AVIOContext* io = format->pb;
        if (avio_seek(io, pos, SEEK_SET) < 0 || avio_read(io, reinterpret_cast<unsigned char*>(data.data()), n) != n)
            return {};
        return data;
    }
    void build();
    bool hasBFrames();
    void findScannedKeys();
    int leadingBFrames(int32_t keyRank);
};

void AviContainer::build()
{
    for (int32_t n = 0; n < int32_t(samples.size()); ++n) {
        if (samples[size_t(n)].size > 0)
            index.pictureSample.push_back(n);
    }
    if (index.scanned)
        findScannedKeys();
    for (int32_t r = 0; r < int32_t(index.pictureSample.size()); ++r) {
        if (samples[size_t(index.pictureSample[size_t(r)])].key)
            index.keyRanks.push_back(r);
    }
    // Decoding has to start somewhere: without a key mark on the first picture (a damaged index),
    // the first picture is where it starts.
    if (!index.pictureSample.empty() && (index.keyRanks.empty() || index.keyRanks.front() != 0))
        index.keyRanks.insert(index.keyRanks.begin(), 0);

    bFrames = stream && stream->codecpar->codec_id == AV_CODEC_ID_MPEG4 && hasBFrames();
    for (const int32_t k : index.keyRanks) {
        int32_t pictureRank = k + (bFrames ? leadingBFrames(k) : 0);
        pictureRank = std::min<int32_t>(pictureRank, int32_t(index.pictureSample.size()) - 1);
        index.keyPictureRanks.push_back(pictureRank);
        index.keyFrames.push_back(index.pictureSample[size_t(pictureRank)]);
    }
    std::sort(index.keyFrames.begin(), index.keyFrames.end());
    index.keyFrames.erase(std::unique(index.keyFrames.begin(), index.keyFrames.end()), index.keyFrames.end());
}

// Whether the first pictures hold any B-frame; a stream without them has no reordering to look
// into at every key frame (which costs a read per key frame when opening). Notes on the way
// whether they come packed, two pictures in a chunk.
bool AviContainer::hasBFrames()
{
    const size_t probe = std::min<size_t>(index.pictureSample.size(), kBFrameProbe);
    bool found = false;
    for (size_t r = 0; r < probe; ++r) {
        const AviSample& s = samples[size_t(index.pictureSample[r])];
        const std::vector<int> types = mpeg4VopTypes(readHead(s.pos, s.size, 4096));
        found = found || std::find(types.begin(), types.end(), 2) != types.end();
        packed = packed || types.size() > 1;
    }
    return found;
}

// The B-frames that follow the key picture in stored order, in its own chunk (packed bitstreams)
// and in the chunks after it, up to the next picture that is not a B-frame.
int AviContainer::leadingBFrames(int32_t keyRank)
{
    int count = 0;
    for (int i = 0; i <= kMaxLeadingBLookahead && keyRank + i < int32_t(index.pictureSample.size()); ++i) {
        const AviSample& s = samples[size_t(index.pictureSample[size_t(keyRank + i)])];
        const std::vector<int> types = mpeg4VopTypes(readHead(s.pos, s.size, 4096));
        auto it = types.begin();
        if (i == 0) {
            it = std::find(types.begin(), types.end(), 0); // the I-VOP
            if (it == types.end())
                return 0;
            ++it;
        } else if (types.empty()) {
            return count;
        }
        for (; it != types.end(); ++it) {
            if (*it != 2)
                return count;
            ++count;
        }
    }
    return count;
}

// A file without a usable index: its key frames come from the pictures themselves.
void AviContainer::findScannedKeys()
{
    const AVCodecID id = stream ? stream->codecpar->codec_id : AV_CODEC_ID_NONE;
    for (const int32_t n : index.pictureSample) {
        AviSample& s = samples[size_t(n)];
        if (isIntraOnly(id)) {
            s.key = true;
        } else if (id == AV_CODEC_ID_MPEG4) {
            const std::vector<int> types = mpeg4VopTypes(readHead(s.pos, s.size, 4096));
            s.key = !types.empty() && types.front() == 0;
        }
        // Other codecs: only the first picture is known to start a group; decoding starts there.
    }
}

const PictureIndex* AviContainer::firstVideoStream(QString* error)
{
    if (layout.videoStream < 0 || !layout.hasStreamHeader) {
        setError(error, QStringLiteral("%1: the file has no video stream").arg(path));
        return nullptr;
    }
    if (indexed)
        return &index;
    indexed = true;

    AVFormatContext* fc = format.get();
    if (unsigned(layout.videoStream) < fc->nb_streams &&
        fc->streams[layout.videoStream]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        stream = fc->streams[layout.videoStream];
    } else {
        for (unsigned i = 0; i < fc->nb_streams; ++i) {
            if (fc->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                stream = fc->streams[i];
                break;
            }
        }
    }

    index.scale = layout.scale;
    index.rate = layout.rate;
    samples = layout.samples;
    index.scanned = layout.source == AviLayout::Source::Scan;
    if (stream)
        colours = paletteOf(stream->codecpar);
    build();

    AviStreamInfo& info = index.info;
    info.container = QStringLiteral("AVI");
    info.length = int32_t(std::min<size_t>(samples.size(), size_t(INT32_MAX)));
    info.fourCC = printableFourCC(layout.handler.isEmpty() || layout.handler == QByteArray(4, '\0')
                                      ? layout.compression
                                      : layout.handler);
    info.rateNumerator = int(std::min<uint32_t>(layout.rate, INT32_MAX));
    info.rateDenominator = int(std::min<uint32_t>(layout.scale, INT32_MAX));

    // Uncompressed pictures may store their rows top-down, which the format says with a negative
    // height (the ffmpeg tool writes RGB so). FFmpeg's reader takes the sign into account; the picture
    // is as high as the number says. A compressed picture with a negative height stays refused.
    const bool uncompressed = layout.compression == QByteArray("\0\0\0\0", 4) || // BI_RGB
                              layout.compression == QByteArray("\3\0\0\0", 4);   // BI_BITFIELDS
    const int64_t formatHeight = uncompressed && layout.bitmapHeight < 0 ? -int64_t(layout.bitmapHeight)
                                                                         : int64_t(layout.bitmapHeight);
    // The picture size is the stream's frame rectangle, or the format's when the rectangle is empty.
    int64_t w = layout.frameRight > layout.frameLeft ? layout.frameRight : layout.bitmapWidth;
    int64_t h = layout.frameBottom > layout.frameTop ? layout.frameBottom : formatHeight;
    // Divided rather than multiplied: the header's numbers may be anything up to 2^32, and their
    // product would overflow before it could be compared.
    auto fits = [](int64_t width, int64_t height) {
        return width > 0 && height > 0 && width <= kMaxPictureBytes / 3 / height;
    };
    const bool sizeSane =
        layout.hasFormat && fits(w, h) && fits(int64_t(layout.bitmapWidth), formatHeight);
    if (sizeSane) {
        info.width = int(w);
        info.height = int(h);
    }
    const AVCodec* codec = stream ? avcodec_find_decoder(stream->codecpar->codec_id) : nullptr;
    info.codecName = codec ? QString::fromLatin1(codec->name) : info.fourCC;
    info.valid = sizeSane && layout.rate > 0 && layout.scale > 0 && info.length > 0;
    index.usable = sizeSane && stream && info.length > 0 && !index.pictureSample.empty();
    return &index;
}

} // namespace

std::unique_ptr<VideoContainer> openAviContainer(const QString& path, QString* error)
{
    prepareFfmpeg();
    auto container = std::make_unique<AviContainer>();
    container->path = path;
    AVFormatContext* raw = nullptr;
    const AVInputFormat* avi = av_find_input_format("avi");
    // Always through FFmpeg's plain file access: a name like "menu:intro.avi" (a legal file name)
    // or "http://..." read from a menu file must not select another of its protocols.
    const QByteArray name = "file:" + QFile::encodeName(path);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int rc = avformat_open_input(&raw, name.constData(), avi, &options);
    av_dict_free(&options);
    if (rc < 0) {
        // On failure FFmpeg has already freed the context.
        setError(error, QStringLiteral("%1: %2").arg(path, ffmpegText(rc)));
        return nullptr;
    }
    container->format.reset(raw);
    container->layout = readAviLayout(path);
    if (!container->layout.isAvi) {
        setError(error, QStringLiteral("%1: not an AVI file").arg(path));
        return nullptr;
    }
    return container;
}
