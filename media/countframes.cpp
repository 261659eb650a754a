#include "media/countframes.h"

#include "media/avifile.h"

#include <algorithm>

namespace {

const QString kOpenFailed = QStringLiteral("# AVIFileOpen : AVI source init error !");
const QString kStreamFailed = QStringLiteral("# AVIFileGetStream : AVI source init error !");

void tell(const MessageSink& sink, const QString& text)
{
    if (sink)
        sink(Message{text, kAppTitle, MessageIcon::Information});
}

} // namespace

uint32_t CountVideoFrames(const QString& path, const MessageSink& sink)
{
    // The file and the stream are released when they go out of scope, the stream first.
    const std::unique_ptr<AviFile> file = AviFile::open(path);
    if (!file) {
        tell(sink, kOpenFailed);
        return 0;
    }
    const std::unique_ptr<AviStream> stream = file->firstVideoStream();
    if (!stream) {
        tell(sink, kStreamFailed);
        return 0;
    }
    // A damaged MPEG file counts the frames that can be shown, and says why there may be fewer.
    if (!stream->info().damage.isEmpty())
        tell(sink, stream->info().damage);
    // Only the length matters here: a picture size or frame rate that would stop the stream
    // from being shown does not stop its frames from being counted, and an empty stream counts 0.
    return uint32_t(std::max<int32_t>(0, stream->length()));
}
