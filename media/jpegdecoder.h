#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <stdexcept>

// JPEG pictures on libjpeg-turbo, for the still pictures of picture pages and their thumbnails.

// A JPEG that cannot be read. what() is the library's own message ("Not a JPEG file: starts with
// 0x54 0x68", ...) or, when the file itself cannot be opened, the system's reason.
class JpegError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    QString message() const { return QString::fromLocal8Bit(what()); }
};

// Pictures larger than this (width x height x 3 bytes) are refused before any pixel memory is
// taken: a damaged header can claim 65500 x 65500 pixels.
constexpr qint64 kMaxJpegPictureBytes = qint64(256) << 20;

// Decodes a whole JPEG into an opaque picture (QImage::Format_RGB32). Grey, colour and CMYK
// files, baseline and progressive, are read. Data that ends early or is corrupt in the middle
// gives the picture as far as it could be decoded (the library fills the rest), and the library's
// warning in *warning when asked for; a file the library cannot read at all throws JpegError.
QImage decodeJpeg(const QByteArray& bytes, QString* warning = nullptr);
QImage decodeJpegFile(const QString& path, QString* warning = nullptr);
