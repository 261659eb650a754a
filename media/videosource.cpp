#include "media/videosource.h"

#include "media/jpegdecoder.h"

#include <QtEndian>

#include <limits>

namespace {


constexpr int kBmpFileHeaderBytes = 14;

uint32_t readLe32(const QByteArray& data, int at)
{
    return qFromLittleEndian<uint32_t>(data.constData() + at);
}

} // namespace

VideoSource::VideoSource(MessageSink sink) : m_sink(std::move(sink)) {}

VideoSource::~VideoSource()
{
    CloseVideo();
}

void VideoSource::report(const QString& text, const QString& caption, MessageIcon icon) const
{
    if (m_sink)
        m_sink(Message{text, caption, icon});
}

void VideoSource::setReleaseObserver(std::function<void(AviRelease)> observer)
{
    m_releaseObserver = std::move(observer);
    if (m_file)
        m_file->setReleaseObserver(m_releaseObserver);
}

bool VideoSource::OpenVideo(const QString& path)
{
    CloseVideo();

    m_file = AviFile::open(path);
    if (!m_file) {
        report(kUnableToOpenFile, kCaptionError, MessageIcon::Error);
        return false;
    }
    m_file->setReleaseObserver(m_releaseObserver);

    m_stream = m_file->firstVideoStream();
    if (!m_stream) {
        report(kUnableToOpenStream, kCaptionError, MessageIcon::Error);
        m_file.reset();
        return false;
    }
    // A stream whose header cannot be used is opened anyway, as far as it goes: it then has no
    // decoder (zero frames, an absurd picture size) and shows nothing.
    if (!m_stream->info().valid)
        report(kNoStreamInfo, kCaptionWarning, MessageIcon::Warning);
    // A damaged MPEG file is shown as far as it is sound; the author is told what is missing.
    if (!m_stream->info().damage.isEmpty())
        report(m_stream->info().damage, kCaptionWarning, MessageIcon::Warning);

    m_decoder = m_stream->openDecoder();
    applyDecoderSettings();
    return true;
}

void VideoSource::setDecoderSettings(const DecoderSettings& settings)
{
    m_decoderSettings = settings;
    applyDecoderSettings();
}

void VideoSource::applyDecoderSettings()
{
    if (!m_decoder)
        return;
    const int threads = m_decoderSettings.threads > 0 ? m_decoderSettings.threads : AviFrameDecoder::defaultThreads();
    if (m_decoder->threads() != threads)
        m_decoder->setThreads(threads);
    m_decoder->setCacheLimit(m_decoderSettings.cacheLimit);
}

void VideoSource::CloseVideo()
{
    m_decoder.reset();
    m_stream.reset();
    m_file.reset();
    m_lastFrame.reset();
    m_bmp.clear();
}

bool VideoSource::isOpen() const
{
    return m_file && m_stream;
}

bool VideoSource::hasDecoder() const
{
    return m_decoder != nullptr;
}

bool VideoSource::ShowFrame(int n)
{
    if (!m_decoder)
        return false;
    AviPicture frame = m_decoder->decodeFrame(n);
    if (!m_decoder->toImage(frame, m_picture)) {
        report(kGetFrameFailed, kCaptionError, MessageIcon::Error);
        return false;
    }
    m_lastFrame = std::move(frame);
    m_bmp.clear();
    return true;
}

void VideoSource::releaseMemory()
{
    if (m_decoder)
        m_decoder->releaseMemory();
}

const QByteArray& VideoSource::lastBmpImage() const
{
    // Made on demand: the picture itself is converted straight from the decoded frame, so the
    // frame is converted only once per step.
    if (m_bmp.isEmpty() && m_lastFrame && m_decoder)
        m_bmp = bmpFileImage(m_decoder->toDib(m_lastFrame));
    return m_bmp;
}

QByteArray VideoSource::bmpFileImage(const QByteArray& dib)
{
    if (dib.size() < 40)
        return {};
    const uint32_t infoSize = readLe32(dib, 0);
    if (infoSize < 40 || infoSize > uint32_t(dib.size()))
        return {};
    const int bitCount = qFromLittleEndian<uint16_t>(dib.constData() + 14);
    const uint32_t compression = readLe32(dib, 16);
    const uint32_t coloursUsed = readLe32(dib, 32);
    // Colour table: the colours used, or the full table for 8 bits and fewer; masks for bit fields
    // when the info header has no room for them.
    qint64 extra = 0;
    if (bitCount <= 8)
        extra = qint64(coloursUsed ? coloursUsed : (1u << bitCount)) * 4;
    else if (coloursUsed)
        extra = qint64(coloursUsed) * 4;
    if (infoSize == 40 && (compression == 3 /* BI_BITFIELDS */ || compression == 6 /* BI_ALPHABITFIELDS */))
        extra += compression == 3 ? 12 : 16;
    const qint64 offset = kBmpFileHeaderBytes + qint64(infoSize) + extra;
    const qint64 total = kBmpFileHeaderBytes + qint64(dib.size());
    if (offset > total || total > std::numeric_limits<uint32_t>::max())
        return {};

    QByteArray image(kBmpFileHeaderBytes, '\0');
    image[0] = 'B';
    image[1] = 'M';
    qToLittleEndian<uint32_t>(uint32_t(total), image.data() + 2);
    // bytes 6..9: two reserved words, 0
    qToLittleEndian<uint32_t>(uint32_t(offset), image.data() + 10);
    image.append(dib);
    return image;
}

uint32_t VideoSource::FrameTime(int n) const
{
    return m_stream ? m_stream->sampleToTime(n) : 0;
}

bool VideoSource::IsKeyFrame(int n) const
{
    return m_stream && m_stream->findKeyFrame(n, KeySearch::At) == n;
}

int VideoSource::NextKeyFrame(int n) const
{
    if (!m_stream || n == std::numeric_limits<int>::max())
        return -1;
    return m_stream->findKeyFrame(n + 1, KeySearch::Next);
}

int VideoSource::PreviousKeyFrame(int n) const
{
    if (!m_stream || n == std::numeric_limits<int>::min())
        return -1;
    return m_stream->findKeyFrame(n - 1, KeySearch::Previous);
}

int32_t VideoSource::FrameCount() const
{
    return m_stream ? m_stream->length() : 0;
}

int VideoSource::pictureWidth() const
{
    return m_stream ? m_stream->info().width : 0;
}

int VideoSource::pictureHeight() const
{
    return m_stream ? m_stream->info().height : 0;
}

void VideoSource::ShowPicture(const QString& path)
{
    // Throws JpegError with the library's text; the picture stays as it was.
    m_picture = decodeJpegFile(path);
}

const QImage& VideoSource::picture() const
{
    return m_picture;
}

std::vector<QImage> VideoSource::thumbnails(const std::vector<int>& frames, QSize size)
{
    std::vector<QImage> result(frames.size());
    if (!m_decoder || frames.empty())
        return result;
    const std::vector<int32_t> wanted(frames.begin(), frames.end());
    m_decoder->visitFrames(wanted, [&](std::size_t i, const AviPicture& picture) {
        const QImage full = m_decoder->toImage(picture);
        if (!full.isNull())
            result[i] = full.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    });
    return result;
}

VideoSource::TimeSplit VideoSource::SplitTime(uint32_t ms)
{
    TimeSplit split;
    const uint32_t hours = ms / 3600000u;
    uint32_t rest = ms - hours * 3600000u;
    const uint32_t minutes = rest / 60000u;
    rest -= minutes * 60000u;
    const uint32_t seconds = rest / 1000u;
    // The hours field is 8 bits wide, as the frame information keeps it; more than 255 hours of
    // menu video do not occur.
    split.hours = uint8_t(hours);
    split.minutes = uint8_t(minutes);
    split.seconds = uint8_t(seconds);
    split.milliseconds = uint16_t(rest - seconds * 1000u);
    return split;
}
