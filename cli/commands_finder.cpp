#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

#include "cli/commands.h"
#include "document/areatext.h"
#include "finder/buttonfinder.h"
#include "media/jpegdecoder.h"
#include "media/videosource.h"

// find-buttons: the rectangles the program would propose for a still picture or for a frame range of
// the menu video, as Area texts.
namespace cli {
namespace {

void finderUsageError(const QString& text)
{
    printLine(stderr, QStringLiteral("vrplmenu: %1 (see vrplmenu --help)").arg(text));
}

QString areaOf(const QRect& r)
{
    return formatArea(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

} // namespace

int findButtons(const QStringList& args)
{
    QString path;
    QString range;
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--range")) {
            if (i + 1 >= args.size()) {
                finderUsageError(QStringLiteral("--range needs FIRST-LAST"));
                return 2;
            }
            range = args[++i];
        } else if (a.startsWith(QLatin1Char('-')) || !path.isEmpty()) {
            finderUsageError(QStringLiteral("unknown argument '%1'").arg(a));
            return 2;
        } else {
            path = a;
        }
    }
    if (path.isEmpty()) {
        finderUsageError(QStringLiteral("find-buttons takes one FILE"));
        return 2;
    }

    std::vector<QRect> found;
    if (AviFile::isVideoFile(path)) {
        int messages = 0;
        VideoSource video([&](const Message& m) {
            ++messages;
            printMessage(stderr, m);
        });
        if (!video.OpenVideo(path))
            return 2;
        if (!video.hasDecoder()) {
            printLine(stderr, QStringLiteral("vrplmenu: no decoder for the codec of %1").arg(path));
            return 2;
        }
        int first = 0;
        int last = video.FrameCount() - 1;
        if (!range.isEmpty()) {
            static const QRegularExpression pattern(QStringLiteral("^(\\d+)-(\\d+)$"));
            const QRegularExpressionMatch m = pattern.match(range);
            if (!m.hasMatch()) {
                finderUsageError(QStringLiteral("'%1' is no range FIRST-LAST").arg(range));
                return 2;
            }
            first = m.captured(1).toInt();
            last = m.captured(2).toInt();
        }
        if (first > last || last >= video.FrameCount()) {
            printLine(stderr, QStringLiteral("vrplmenu: the range %1-%2 is not within the video's frames 0 .. %3")
                                  .arg(first)
                                  .arg(last)
                                  .arg(video.FrameCount() - 1));
            return 2;
        }
        const std::vector<int> frames = finder::sampleFrames(first, last, video.stream()->keyFrames());
        const std::vector<QImage> pictures =
            video.thumbnails(frames, QSize(video.pictureWidth(), video.pictureHeight()));
        if (std::all_of(pictures.begin(), pictures.end(), [](const QImage& p) { return p.isNull(); })) {
            printLine(stderr, QStringLiteral("vrplmenu: no frame of %1-%2 could be decoded").arg(first).arg(last));
            return 2;
        }
        found = finder::findButtons(pictures);
    } else {
        if (!range.isEmpty()) {
            finderUsageError(QStringLiteral("--range is for a menu video, not a picture"));
            return 2;
        }
        QImage picture;
        try {
            QString warning;
            picture = decodeJpegFile(path, &warning);
            if (!warning.isEmpty())
                printLine(stderr, QStringLiteral("vrplmenu: %1: %2").arg(path, warning));
        } catch (const JpegError& e) {
            printLine(stderr, QStringLiteral("vrplmenu: %1: %2").arg(path, e.message()));
            return 2;
        }
        found = finder::findButtons(picture);
    }

    if (json) {
        QJsonArray array;
        for (const QRect& r : found)
            array.append(QJsonObject{{QStringLiteral("area"), areaOf(r)},
                                     {QStringLiteral("left"), r.left()},
                                     {QStringLiteral("top"), r.top()},
                                     {QStringLiteral("right"), r.left() + r.width()},
                                     {QStringLiteral("bottom"), r.top() + r.height()}});
        const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Indented);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    } else {
        for (const QRect& r : found)
            printLine(stdout, areaOf(r));
    }
    return 0;
}

} // namespace cli
