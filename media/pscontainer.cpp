#include "media/pscontainer.h"

#include "media/ffmpegsupport.h"
#include "media/programstream.h"

#include <algorithm>
#include <climits>
#include <cstring>

// The program-stream reader of the container layer. Its pictures are those of the index
// (media/psindex.cpp) in decode order; frame n is the picture shown n-th, which is the rank the
// decoder gives it (MPEG video holds back each picture that is not a B-picture until the next one,
// so every picture comes out one picture after it went in). Timestamps are not used at all: a
// stream whose clock jumps or wraps (joined titles, cut files) is counted just the same.

namespace {

// The frame rates of MPEG-1 and MPEG-2 by their code (ISO/IEC 13818-2, table 6-4).
constexpr int kRates[9][2] = {{0, 1}, {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}};

class ProgramStreamContainer final : public VideoContainer
{
public:
    QString path;
    FileWindow file{std::size_t(256) << 10};
    PsIndex ps;
    PictureIndex index;
    ParametersPtr parameters;
    bool built = false;
    bool found = false;
    QString problem;

    const PictureIndex* firstVideoStream(QString* error) override
    {
        if (!built) {
            built = true;
            found = build();
        }
        if (!found)
            setError(error, QStringLiteral("%1: %2").arg(path, problem));
        return found ? &index : nullptr;
    }
    const AVCodecParameters* codecParameters() const override { return parameters.get(); }
    bool readPicture(int32_t rank, bool startsRun, AVPacket* pkt, uint32_t limit, QString* error) override
    {
        av_packet_unref(pkt);
        const PsPicture& p = ps.pictures[size_t(rank)];
        if (p.size > limit) {
            setError(error, QStringLiteral("picture %1 is larger than any picture of the stream").arg(rank));
            return false;
        }
        // A decode that starts at a picture without the sequence header in front of it gets the
        // header in force, so that a fresh decoder knows the picture size.
        QByteArray head;
        if (startsRun && !(p.flags & kPsSequenceHeader) && p.sequence >= 0) {
            const PsSequence& s = ps.sequences[size_t(p.sequence)];
            head = readElementaryBytes(file, ps.streamId, s.place, s.size);
        }
        const QByteArray bytes = readElementaryBytes(file, ps.streamId, p.place, p.size);
        if (uint32_t(bytes.size()) < p.size) {
            setError(error, QStringLiteral("cannot read picture %1 at byte %2").arg(rank).arg(p.place.packet));
            return false;
        }
        const int rc = av_new_packet(pkt, int(head.size() + bytes.size()));
        if (rc < 0) {
            setError(error, ffmpegText(rc));
            return false;
        }
        std::memcpy(pkt->data, head.constData(), size_t(head.size()));
        std::memcpy(pkt->data + head.size(), bytes.constData(), size_t(bytes.size()));
        return true;
    }
    QByteArray readPictureHead(int32_t rank, uint32_t limit) override
    {
        const PsPicture& p = ps.pictures[size_t(rank)];
        return readElementaryBytes(file, ps.streamId, p.place, std::min(p.size, limit));
    }
    uint32_t pictureSize(int32_t rank) const override { return ps.pictures[size_t(rank)].size; }
    bool disposable(int32_t rank, const AVPacket*) const override
    {
        return ps.pictures[size_t(rank)].type == 3; // MPEG B-pictures are never references
    }

private:
    bool build();
};

bool ProgramStreamContainer::build()
{
    if (!loadCachedIndex(path, ps)) {
        // The scan reads the whole file in order, in blocks the processor's cache holds while the
        // scan looks at them (128 KB was the fastest of 64 KB to 4 MB; reading a block costs more
        // than the scan of it).
        FileWindow whole(std::size_t(128) << 10);
        if (!whole.open(path)) {
            problem = QStringLiteral("cannot be read");
            return false;
        }
        if (!scanProgramStream(whole, ps, &problem))
            return false;
        saveCachedIndex(path, ps);
    }
    const int32_t count = int32_t(std::min<size_t>(ps.pictures.size(), size_t(INT32_MAX)));
    // The picture size and rate are those of the first picture that is decoded.
    const PsSequence& seq = ps.sequences[size_t(count > 0 ? std::max(0, ps.pictures.front().sequence) : 0)];

    AviStreamInfo& info = index.info;
    info.container = QStringLiteral("MPEG-PS");
    info.length = count;
    info.damage = ps.damage;
    info.progressiveSequence = seq.progressive;
    const int code = seq.frameRateCode >= 1 && seq.frameRateCode <= 8 ? seq.frameRateCode : 0;
    const int64_t num = int64_t(kRates[code][0]) * (seq.frameRateExtN + 1);
    const int64_t den = int64_t(kRates[code][1]) * (seq.frameRateExtD + 1);
    info.rateNumerator = int(std::min<int64_t>(num, INT32_MAX));
    info.rateDenominator = int(std::min<int64_t>(den, INT32_MAX));
    index.rate = uint32_t(info.rateNumerator);
    index.scale = uint32_t(info.rateDenominator);
    info.codecName = seq.mpeg2 ? QStringLiteral("mpeg2video") : QStringLiteral("mpeg1video");
    info.fourCC = seq.mpeg2 ? QStringLiteral("MPEG-2") : QStringLiteral("MPEG-1");
    const bool sizeSane = seq.width > 0 && seq.height > 0 && seq.width <= kMaxPictureBytes / 3 / seq.height;
    if (sizeSane) {
        info.width = seq.width;
        info.height = seq.height;
    }
    info.valid = sizeSane && num > 0 && count > 0;

    index.pictureSample.resize(size_t(count));
    for (int32_t r = 0; r < count; ++r) {
        const PsPicture& p = ps.pictures[size_t(r)];
        index.pictureSample[size_t(r)] = r;
        if (p.flags & kPsRepeatFirstField)
            ++info.repeatFirstField;
        if (p.type == 1) {
            index.keyRanks.push_back(r);
            index.keyPictureRanks.push_back(std::clamp(p.shown, r, count - 1));
            index.keyFrames.push_back(std::clamp(p.shown, 0, count - 1));
        }
    }
    std::sort(index.keyFrames.begin(), index.keyFrames.end());

    // With soft telecine a picture lasts two or three fields, so a frame's time is the sum of what
    // the pictures before it last, not its number over the rate.
    if (info.repeatFirstField > 0 && num > 0) {
        std::vector<int> fields(size_t(count), 2);
        for (const PsPicture& p : ps.pictures) {
            int f = 2;
            if (p.flags & kPsRepeatFirstField)
                f = seq.progressive ? ((p.flags & kPsTopFieldFirst) ? 6 : 4) : 3;
            fields[size_t(p.shown)] = f;
        }
        index.frameTimes.resize(size_t(count) + 1);
        int64_t sum = 0;
        for (int32_t n = 0; n <= count; ++n) {
            index.frameTimes[size_t(n)] = uint32_t(std::min<int64_t>(sum * 1000 * den / (num * 2), UINT32_MAX));
            if (n < count)
                sum += fields[size_t(n)];
        }
    }

    parameters.reset(avcodec_parameters_alloc());
    if (parameters) {
        parameters->codec_type = AVMEDIA_TYPE_VIDEO;
        parameters->codec_id = seq.mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO;
        parameters->width = info.width;
        parameters->height = info.height;
    }
    index.usable = sizeSane && parameters && count > 0;
    return true;
}

} // namespace

std::unique_ptr<VideoContainer> openProgramStreamContainer(const QString& path, QString* error)
{
    prepareFfmpeg();
    auto container = std::make_unique<ProgramStreamContainer>();
    container->path = path;
    if (!container->file.open(path)) {
        setError(error, QStringLiteral("%1: cannot be opened").arg(path));
        return nullptr;
    }
    return container;
}
