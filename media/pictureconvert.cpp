#include "media/framedecoder_p.h"

#include <cstdlib>
#include <cstring>

// Decoded pictures into what the program shows: an RGB32 image for the window, a packed bottom-up
// 24-bit bitmap for the frame's BMP image.

namespace {

// The colour converter's vector code works on groups of pixels: given rows just as long as the
// picture is wide, it either writes past the end of a row (valgrind shows 8-byte stores reaching past
// the end of the memory) or leaves the last pixels of every row unconverted (black), depending on
// the width. Every picture it writes into therefore has rows long enough for whole groups, and ends
// in slack that no row uses.
constexpr size_t kScaleSlack = 256;
int scaleStride(int width, int bytesPerPixel)
{
    return ((width + 31) & ~31) * bytesPerPixel;
}

// An RGB32 picture whose memory ends in the converter's slack; the picture owns the memory.
QImage paddedImage(int w, int h)
{
    const qsizetype bytesPerLine = scaleStride(w, 4);
    void* data = std::malloc(size_t(bytesPerLine) * size_t(h) + kScaleSlack);
    if (!data)
        return {};
    return QImage(static_cast<uchar*>(data), w, h, bytesPerLine, QImage::Format_RGB32, [](void* p) { std::free(p); },
                  data);
}

} // namespace

QImage AviFrameDecoder::toImage(const AviPicture& picture)
{
    QImage image;
    return toImage(picture, image) ? image : QImage();
}

bool AviFrameDecoder::toImage(const AviPicture& picture, QImage& into)
{
    if (!picture)
        return false;
    const int w = picture->width;
    const int h = picture->height;
    // Default quality (bilinear, no accurate rounding): the picture is shown at its own size, so
    // only the colour conversion runs, and the accurate variant costs many times the decode.
    d->sws.reset(sws_getCachedContext(d->sws.release(), w, h, AVPixelFormat(picture->format), w, h,
                                      AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!d->sws) {
        d->error = QStringLiteral("no conversion from the decoder's picture format");
        return false;
    }
    // A fresh 1.6 MB picture for every step costs the kernel more than the conversion itself.
    const bool reusable = into.size() == QSize(w, h) && into.format() == QImage::Format_RGB32 &&
                          into.isDetached() && into.bytesPerLine() == scaleStride(w, 4);
    QImage image = reusable ? std::move(into) : paddedImage(w, h);
    if (image.isNull()) {
        d->error = QStringLiteral("out of memory for a %1 x %2 picture").arg(w).arg(h);
        return false;
    }
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(d->sws.get(), picture->data, picture->linesize, 0, h, dst, dstStride);
    into = std::move(image);
    return true;
}

QByteArray AviFrameDecoder::toDib(const AviPicture& picture)
{
    if (!picture)
        return {};
    const int w = picture->width;
    const int h = picture->height;
    const int rowBytes = dibRowBytes(w);
    const qsizetype pixelBytes = qsizetype(rowBytes) * h;
    QByteArray dib(40 + pixelBytes, '\0');
    auto put32 = [&dib](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + i] = char((v >> (8 * i)) & 0xff);
    };
    put32(0, 40);
    put32(4, uint32_t(w));
    put32(8, uint32_t(h)); // positive: rows run bottom-up
    dib[12] = 1;           // planes
    dib[14] = 24;          // bits per pixel
    put32(16, 0);          // BI_RGB
    put32(20, uint32_t(pixelBytes));

    d->sws.reset(sws_getCachedContext(d->sws.release(), w, h, AVPixelFormat(picture->format), w, h,
                                      AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!d->sws) {
        d->error = QStringLiteral("no conversion from the decoder's picture format");
        return {};
    }
    // The rows are converted top-down into scratch memory with rows the converter can fill whole,
    // then laid out bottom-up in the bitmap's own row size.
    const int stride = scaleStride(w, 3);
    std::vector<uint8_t> scratch(size_t(stride) * size_t(h) + kScaleSlack);
    uint8_t* dst[4] = {scratch.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    sws_scale(d->sws.get(), picture->data, picture->linesize, 0, h, dst, dstStride);
    auto* pixels = reinterpret_cast<uint8_t*>(dib.data()) + 40;
    for (int row = 0; row < h; ++row)
        std::memcpy(pixels + qsizetype(rowBytes) * (h - 1 - row), scratch.data() + qsizetype(stride) * row,
                    size_t(w) * 3);
    return dib;
}
