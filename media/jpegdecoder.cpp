#include "media/jpegdecoder.h"

#include <QFile>
#include <QtEndian>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg reports errors by calling error_exit, which must not return. We jump back to the
// decoding function and turn the message into an exception there, outside the library's frames;
// nothing with a destructor is created between the setjmp and the calls that may jump.
struct Decoder
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errorManager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    char firstWarning[JMSG_LENGTH_MAX] = {};
    bool created = false;
    std::vector<uchar> cmykRow; // sized after the header is read; lives outside the jump's reach

    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

Decoder* decoderOf(j_common_ptr cinfo)
{
    // cinfo is the first member of Decoder.
    return reinterpret_cast<Decoder*>(cinfo);
}

void errorExit(j_common_ptr cinfo)
{
    Decoder* d = decoderOf(cinfo);
    (*cinfo->err->format_message)(cinfo, d->message);
    std::longjmp(d->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level)
{
    // Level -1 is a warning about corrupt data; keep the first one, ignore trace messages.
    if (level != -1)
        return;
    Decoder* d = decoderOf(cinfo);
    if (d->firstWarning[0] == '\0')
        (*cinfo->err->format_message)(cinfo, d->firstWarning);
    cinfo->err->num_warnings++;
}

// Adobe writes CMYK inverted (0 = full ink); most CMYK JPEGs in the wild come from it.
void cmykRowToRgb32(const uchar* src, QRgb* dst, int width, bool inverted)
{
    for (int x = 0; x < width; ++x) {
        int c = src[4 * x], m = src[4 * x + 1], y = src[4 * x + 2], k = src[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        dst[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

} // namespace

QImage decodeJpeg(const QByteArray& bytes, QString* warning)
{
    if (warning)
        warning->clear();
    auto d = std::make_unique<Decoder>();
    Decoder* const dec = d.get();
    QImage image;
    QImage* const out = &image;

    static_assert(offsetof(Decoder, cinfo) == 0);
    dec->cinfo.err = jpeg_std_error(&dec->errorManager);
    dec->errorManager.error_exit = errorExit;
    dec->errorManager.emit_message = emitMessage;

    if (setjmp(dec->jump))
        throw JpegError(dec->message);

    jpeg_create_decompress(&dec->cinfo);
    dec->created = true;
    // An empty buffer makes the library report "Empty input file" through error_exit.
    jpeg_mem_src(&dec->cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&dec->cinfo, TRUE);

    const qint64 w = dec->cinfo.image_width;
    const qint64 h = dec->cinfo.image_height;
    if (w <= 0 || h <= 0 || w * h * 3 > kMaxJpegPictureBytes) {
        std::snprintf(dec->message, sizeof dec->message, "JPEG picture too large: %lld x %lld pixels",
                      static_cast<long long>(w), static_cast<long long>(h));
        std::longjmp(dec->jump, 1);
    }

    const bool cmyk = dec->cinfo.jpeg_color_space == JCS_CMYK || dec->cinfo.jpeg_color_space == JCS_YCCK;
    if (cmyk)
        dec->cinfo.out_color_space = JCS_CMYK;
    else
        dec->cinfo.out_color_space = (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) ? JCS_EXT_BGRA : JCS_EXT_ARGB;

    jpeg_start_decompress(&dec->cinfo);
    *out = QImage(int(dec->cinfo.output_width), int(dec->cinfo.output_height), QImage::Format_RGB32);
    if (out->isNull()) {
        std::snprintf(dec->message, sizeof dec->message, "Not enough memory for a %u x %u picture",
                      dec->cinfo.output_width, dec->cinfo.output_height);
        std::longjmp(dec->jump, 1);
    }
    if (cmyk)
        dec->cmykRow.resize(size_t(dec->cinfo.output_width) * 4);
    // Adobe's APP14 marker tells inverted CMYK.
    const bool inverted = dec->cinfo.saw_Adobe_marker;

    while (dec->cinfo.output_scanline < dec->cinfo.output_height) {
        const int y = int(dec->cinfo.output_scanline);
        JSAMPROW row = cmyk ? dec->cmykRow.data() : out->scanLine(y);
        if (jpeg_read_scanlines(&dec->cinfo, &row, 1) != 1)
            break; // suspended data source cannot happen with a memory source; stay safe anyway
        if (cmyk)
            cmykRowToRgb32(dec->cmykRow.data(), reinterpret_cast<QRgb*>(out->scanLine(y)),
                           int(dec->cinfo.output_width), inverted);
    }
    jpeg_finish_decompress(&dec->cinfo);

    if (warning && dec->firstWarning[0] != '\0')
        *warning = QString::fromLocal8Bit(dec->firstWarning);
    return image;
}

QImage decodeJpegFile(const QString& path, QString* warning)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw JpegError(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()).toStdString());
    // A JPEG of the largest picture we accept is far smaller than this; a bigger file is not one
    // we can show and is not read into memory.
    if (file.size() > kMaxJpegPictureBytes)
        throw JpegError(QStringLiteral("\"%1\" is too large for a JPEG picture").arg(path).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw JpegError(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()).toStdString());
    return decodeJpeg(bytes, warning);
}
