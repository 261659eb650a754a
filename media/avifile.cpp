#include "media/avifile.h"

#include "media/avicontainer.h"
#include "media/programstream.h"
#include "media/pscontainer.h"
#include "media/videofile_p.h"

#include <QFile>

#include <algorithm>
#include <climits>

// The front of the video file service: a file is opened by the reader its content calls for, and
// its first video stream answers the frame count, times and key frames from that reader's index.

namespace {

QByteArray headOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

bool isProgramStream(const QString& path)
{
    const QByteArray head = headOf(path);
    return !head.startsWith("RIFF") && looksLikeProgramStream(head);
}

} // namespace

bool AviFile::isVideoFile(const QString& path)
{
    const QByteArray head = headOf(path);
    return (head.startsWith("RIFF") && head.mid(8, 4) == "AVI ") || looksLikeProgramStream(head);
}

AviFile::AviFile(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

AviFile::~AviFile()
{
    d->container.reset();
    d->released(AviRelease::File);
}

QString AviFile::path() const
{
    return d->path;
}

void AviFile::setReleaseObserver(std::function<void(AviRelease)> observer)
{
    d->observer = std::move(observer);
}

std::unique_ptr<AviFile> AviFile::open(const QString& path, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no file name");
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    // The reader is chosen by what the file holds, not by its name: DVD VOB files and MPEG files
    // are program streams, and a renamed file is still read.
    if (isProgramStream(path))
        impl->container = openProgramStreamContainer(path, error);
    else
        impl->container = openAviContainer(path, error);
    if (!impl->container)
        return nullptr;
    return std::unique_ptr<AviFile>(new AviFile(std::move(impl)));
}

std::unique_ptr<AviStream> AviFile::firstVideoStream(QString* error)
{
    const PictureIndex* index = d->container->firstVideoStream(error);
    if (!index)
        return nullptr;
    auto impl = std::make_unique<AviStream::Impl>();
    impl->file = d.get();
    impl->container = d->container.get();
    impl->index = index;
    return std::unique_ptr<AviStream>(new AviStream(std::move(impl)));
}

AviStream::AviStream(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

AviStream::~AviStream()
{
    d->file->released(AviRelease::Stream);
}

const AviStreamInfo& AviStream::info() const
{
    return d->index->info;
}

uint32_t AviStream::sampleToTime(int32_t n) const
{
    const std::vector<uint32_t>& times = d->index->frameTimes;
    if (!times.empty())
        return times[size_t(std::clamp<int64_t>(n, 0, int64_t(times.size()) - 1))];
    if (d->index->rate == 0)
        return 0;
    const int64_t clamped = std::clamp<int64_t>(n, 0, d->index->info.length);
    const uint64_t ms = uint64_t(clamped) * d->index->scale * 1000u / d->index->rate;
    return uint32_t(std::min<uint64_t>(ms, UINT32_MAX));
}

int32_t AviStream::findKeyFrame(int32_t pos, KeySearch how) const
{
    const std::vector<int32_t>& keys = d->index->keyFrames;
    const int32_t length = d->index->info.length;
    if (keys.empty() || length <= 0)
        return -1;
    if (how == KeySearch::Next) {
        if (pos >= length)
            return -1;
        const auto it = std::lower_bound(keys.begin(), keys.end(), std::max(pos, 0));
        return it == keys.end() ? -1 : *it;
    }
    if (pos < 0)
        return -1;
    const auto it = std::upper_bound(keys.begin(), keys.end(), std::min(pos, length - 1));
    return it == keys.begin() ? -1 : *(it - 1);
}

const std::vector<int32_t>& AviStream::keyFrames() const
{
    return d->index->keyFrames;
}

bool AviStream::scannedWithoutIndex() const
{
    return d->index->scanned;
}
