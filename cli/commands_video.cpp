#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include "cli/commands.h"
#include "core/safefile.h"
#include "media/countframes.h"
#include "media/avifile.h"
#include "media/videosource.h"

// The video commands of vrplmenu: what the editor knows about a video, the frame counts the movie
// data dialog computes, and single frames exactly as the editor shows them.
namespace cli {
namespace {

void videoUsageError(const QString& text)
{
    printLine(stderr, QStringLiteral("vrplmenu: %1 (see vrplmenu --help)").arg(text));
}

// Everything after the command name that is not an option.
struct Parsed
{
    QStringList positional;
    QString output;
    bool keyFrames = false;
    QString error;
};

Parsed parse(const QStringList& args, bool allowOutput, bool allowKeyFrames)
{
    Parsed p;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (allowOutput && a == QLatin1String("-o")) {
            if (i + 1 >= args.size()) {
                p.error = QStringLiteral("-o needs a file name");
                return p;
            }
            p.output = args[++i];
        } else if (allowKeyFrames && a == QLatin1String("--key-frames")) {
            p.keyFrames = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1 && !a.at(1).isDigit()) {
            p.error = QStringLiteral("unknown option '%1'").arg(a);
            return p;
        } else {
            p.positional.append(a);
        }
    }
    return p;
}

QString rateText(const AviStreamInfo& info)
{
    if (info.rateDenominator <= 0 || info.rateNumerator <= 0)
        return QStringLiteral("unknown");
    QString fps = QString::number(info.frameRate(), 'f', 3);
    while (fps.endsWith(QLatin1Char('0')))
        fps.chop(1);
    if (fps.endsWith(QLatin1Char('.')))
        fps.chop(1);
    return QStringLiteral("%1 (%2/%3)").arg(fps).arg(info.rateNumerator).arg(info.rateDenominator);
}

} // namespace

int videoInfo(const QStringList& args)
{
    const Parsed p = parse(args, false, true);
    if (!p.error.isEmpty() || p.positional.size() != 1) {
        videoUsageError(p.error.isEmpty() ? QStringLiteral("video-info takes one FILE") : p.error);
        return 2;
    }
    const QString path = p.positional.first();

    // The same messages as when the editor opens the file as its menu video.
    const std::unique_ptr<AviFile> file = AviFile::open(path);
    if (!file) {
        printMessage(stderr, Message{kUnableToOpenFile, kCaptionError, MessageIcon::Error});
        return 2;
    }
    const std::unique_ptr<AviStream> stream = file->firstVideoStream();
    if (!stream) {
        printMessage(stderr,
                     Message{kUnableToOpenStream, kCaptionError, MessageIcon::Error});
        return 2;
    }
    int status = 0;
    const AviStreamInfo& info = stream->info();
    if (!info.valid) {
        printMessage(stderr, Message{kNoStreamInfo, kCaptionWarning,
                                     MessageIcon::Warning});
        status = 1;
    }
    QString decoderError;
    const bool decodable = stream->openDecoder(&decoderError) != nullptr;

    const std::vector<int32_t>& keys = stream->keyFrames();
    printLine(stdout, QStringLiteral("File: %1").arg(QFileInfo(path).fileName()));
    printLine(stdout, QStringLiteral("Frames: %1").arg(info.length));
    printLine(stdout, QStringLiteral("Picture: %1 x %2").arg(info.width).arg(info.height));
    printLine(stdout, QStringLiteral("Frame rate: %1").arg(rateText(info)));
    QString codec = info.codecName;
    if (!info.fourCC.isEmpty() && info.fourCC != info.codecName)
        codec += QStringLiteral(" (%1)").arg(info.fourCC);
    if (!decodable)
        codec += QStringLiteral(", no decoder");
    printLine(stdout, QStringLiteral("Codec: %1").arg(codec));
    printLine(stdout, QStringLiteral("Key frames: %1").arg(keys.size()));
    if (info.container == QLatin1String("MPEG-PS")) {
        printLine(stdout, QStringLiteral("Container: MPEG program stream"));
        printLine(stdout, QStringLiteral("Sequence: %1").arg(info.progressiveSequence ? QStringLiteral("progressive")
                                                                                       : QStringLiteral("interlaced")));
        // Soft telecine: film at 24 frames a second stored for NTSC, whose pictures tell the player
        // to show a field twice. Every picture is one frame however long it is shown.
        if (info.repeatFirstField > 0)
            printLine(stdout, QStringLiteral("Soft telecine: %1 of %2 pictures repeat a field (repeat_first_field); "
                                             "each counts as one frame, so the frames are fewer than the frame "
                                             "rate times the running time")
                                  .arg(info.repeatFirstField)
                                  .arg(info.length));
        else
            printLine(stdout, QStringLiteral("Soft telecine: none (no picture repeats a field)"));
        printLine(stdout, QStringLiteral("Running time: %1 ms").arg(stream->sampleToTime(info.length)));
    }
    if (!info.damage.isEmpty()) {
        printMessage(stderr, Message{info.damage, kCaptionWarning, MessageIcon::Warning});
        status = 1;
    }
    if (stream->scannedWithoutIndex())
        printLine(stdout, QStringLiteral("Index: missing or damaged, chunks scanned"));
    if (p.keyFrames) {
        QStringList numbers;
        numbers.reserve(qsizetype(keys.size()));
        for (int32_t k : keys)
            numbers.append(QString::number(k));
        printLine(stdout, QStringLiteral("Key frame numbers: %1").arg(numbers.join(QLatin1Char(' '))));
    }
    return status;
}

int countFrames(const QStringList& args)
{
    const Parsed p = parse(args, false, false);
    if (!p.error.isEmpty() || p.positional.isEmpty()) {
        videoUsageError(p.error.isEmpty() ? QStringLiteral("count-frames needs at least one FILE") : p.error);
        return 2;
    }
    int messages = 0;
    for (const QString& path : p.positional) {
        const uint32_t frames = CountVideoFrames(path, [&](const Message& m) {
            ++messages;
            printMessage(stderr, m);
        });
        printLine(stdout, QStringLiteral("%1 %2").arg(frames).arg(path));
    }
    return messages == 0 ? 0 : 1;
}

int frame(const QStringList& args)
{
    const Parsed p = parse(args, true, false);
    if (!p.error.isEmpty() || p.positional.size() != 2 || p.output.isEmpty()) {
        videoUsageError(p.error.isEmpty() ? QStringLiteral("frame takes FILE N -o OUT") : p.error);
        return 2;
    }
    const QString path = p.positional.at(0);
    bool isNumber = false;
    const int n = p.positional.at(1).toInt(&isNumber);
    if (!isNumber) {
        videoUsageError(QStringLiteral("'%1' is not a valid integer value").arg(p.positional.at(1)));
        return 2;
    }
    const QString suffix = QFileInfo(p.output).suffix().toLower();
    QByteArray format;
    if (suffix == QLatin1String("png"))
        format = "PNG";
    else if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        format = "JPEG";
    else {
        videoUsageError(QStringLiteral("OUT must end in .png, .jpg or .jpeg"));
        return 2;
    }

    int messages = 0;
    VideoSource video([&](const Message& m) {
        ++messages;
        printMessage(stderr, m);
    });
    if (!video.OpenVideo(path))
        return 2;
    if (n < 0 || n >= video.FrameCount()) {
        printLine(stderr, QStringLiteral("vrplmenu: frame %1 is outside the video's frames 0 .. %2")
                              .arg(n)
                              .arg(video.FrameCount() - 1));
        return 2;
    }
    if (!video.hasDecoder()) {
        printLine(stderr, QStringLiteral("vrplmenu: no decoder for the codec of %1").arg(path));
        return 2;
    }
    if (!video.ShowFrame(n))
        return messages > 0 ? 1 : 2;

    // The picture is encoded in memory and written as one file by the safe writer, so that a full
    // disk leaves an existing OUT as it was instead of a part of a picture.
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImageWriter writer(&encoded, format);
    if (format == "JPEG")
        writer.setQuality(95);
    if (!writer.write(video.picture())) {
        printLine(stderr, QStringLiteral("vrplmenu: cannot write %1: %2").arg(p.output, writer.errorString()));
        return 2;
    }
    const FileWriteResult written = writeFileSafely(p.output, encoded.data());
    if (!written) {
        printLine(stderr, QStringLiteral("vrplmenu: ") + fileWriteFailureText(p.output, written));
        return 2;
    }
    return messages == 0 ? 0 : 1;
}

} // namespace cli
