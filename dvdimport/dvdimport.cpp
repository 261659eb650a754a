#include "dvdimport/dvdimport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>

#include <map>

#include "check/menucheck.h"
#include "core/paths.h"
#include "core/safefile.h"
#include "dvdimport/dvdreader.h"
#include "media/mpeg4writer.h"
#include "media/videosource.h"

namespace dvdimport {

namespace {

struct Cancelled
{
};

class Importer
{
public:
    Importer(const ImportOptions& options, const ImportCallbacks& callbacks, ImportResult& result)
        : m_options(options), m_callbacks(callbacks), m_result(result)
    {
    }

    void run()
    {
        QString error;
        m_source = DvdSource::open(m_options.source, &error);
        if (!m_source) {
            m_result.error = error;
            return;
        }
        const DvdDisc& disc = m_source->disc();
        if (disc.menus.empty()) {
            m_result.error = QStringLiteral("%1 has no menus").arg(m_options.source);
            return;
        }
        if (!m_temp.isValid()) {
            m_result.error = QStringLiteral("no folder for the menus' video: %1").arg(m_temp.errorString());
            return;
        }
        const QFileInfo target(m_options.menuFile);
        const QString prefix = target.completeBaseName();
        const QString folder = target.absolutePath();

        // Until the menus are decoded, their cells' playing times tell how much there is to encode.
        const bool avi = m_options.video == MenuVideoKind::Avi;
        m_total = int(disc.menus.size()) * (avi ? 2 : 3);
        for (const DvdMenu& menu : disc.menus) {
            for (const DvdCell& cell : menu.cells)
                m_total += avi && cell.frames > 1 ? cell.frames : 0;
        }
        // Each menu's sectors into a file of its own, and the pictures each holds.
        std::vector<int> frames;
        for (size_t i = 0; i < disc.menus.size(); ++i) {
            step(QStringLiteral("Reading menu %1 of %2").arg(i + 1).arg(disc.menus.size()));
            frames.push_back(readMenu(disc.menus[i], int(i)));
        }
        const std::vector<MenuPlan> plan = planMenus(disc, frames, prefix);
        int moving = 0;
        for (size_t i = 0; i < plan.size(); ++i) {
            if (!plan[i].still)
                moving += frames[i];
        }
        m_total = int(disc.menus.size()) * (avi ? 2 : 3) + (avi ? moving : 0);

        // The still pictures.
        std::vector<std::pair<QString, QByteArray>> files;
        for (size_t i = 0; i < plan.size(); ++i) {
            step(QStringLiteral("Picture of menu %1").arg(i + 1));
            if (!plan[i].still)
                continue;
            QByteArray jpeg = stillPicture(int(i));
            if (jpeg.isEmpty())
                m_result.report.notes << QStringLiteral("The picture of page %1 could not be decoded.").arg(i + 1);
            else
                files.emplace_back(QDir(folder).filePath(plan[i].pictureFile), std::move(jpeg));
        }

        // The menu video.
        ProjectNames names;
        if (moving > 0) {
            const QString suffix = m_options.video == MenuVideoKind::Avi ? QStringLiteral(".avi") : QStringLiteral(".vob");
            names.menuVideo = prefix + suffix;
            QByteArray video = m_options.video == MenuVideoKind::Avi ? encodeAvi(plan, frames) : joinVobs(plan);
            if (video.isEmpty())
                return; // the error is set
            files.emplace_back(QDir(folder).filePath(names.menuVideo), std::move(video));
        }

        names.movieDirectory = movieDirectory(folder);
        m_result.project.baseDirectory = paths::withTrailingSeparator(QDir::toNativeSeparators(folder));
        buildProject(disc, plan, names, m_result.project, m_result.report);
        for (const QString& note : disc.notes)
            m_result.report.notes << note;
        if (!m_source->libraryMessages().isEmpty())
            m_result.report.notes << QStringLiteral("libdvdread: %1").arg(m_source->libraryMessages().join(QStringLiteral("; ")));
        if (moving > 0)
            m_result.report.imported << QStringLiteral("a menu video of %1 frames").arg(moving);
        for (const Problem& p : checkProject(m_result.project)) {
            if (p.code == QLatin1String("page-unreachable"))
                m_result.report.unreachable << p.text;
        }

        // Only now, with everything made, is anything written; the last chance to cancel is before.
        if (cancelled())
            throw Cancelled{};
        for (const auto& [path, bytes] : files) {
            const FileWriteResult written = writeFileSafely(path, bytes);
            if (!written) {
                m_result.error = fileWriteFailureText(path, written);
                return;
            }
            m_result.filesWritten << path;
        }
        m_result.ok = true;
    }

private:
    bool cancelled() const { return m_callbacks.cancel && m_callbacks.cancel->load(); }

    void step(const QString& what)
    {
        if (cancelled())
            throw Cancelled{};
        if (m_callbacks.progress)
            m_callbacks.progress(m_done, std::max(m_total, m_done + 1), what);
        ++m_done;
    }

    // The disc's VIDEO_TS folder relative to the menu's folder when it lies inside it (the menu saved
    // beside the disc), so that the movie file the project names is there.
    QString movieDirectory(const QString& menuFolder) const
    {
        QFileInfo source(m_options.source);
        QString videoTs = source.absoluteFilePath();
        if (source.isDir() && source.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) != 0)
            videoTs = QDir(videoTs).filePath(QStringLiteral("VIDEO_TS"));
        if (source.isDir()) {
            const QString relative = QDir(menuFolder).relativeFilePath(videoTs);
            if (!relative.startsWith(QLatin1String("..")) && !QDir::isAbsolutePath(relative))
                return paths::toFileForm(QDir::toNativeSeparators(relative));
        }
        return QStringLiteral("VIDEO_TS");
    }

    QString partPath(int index) const { return m_temp.filePath(QStringLiteral("menu%1.vob").arg(index + 1)); }

    // The menu's cells' sectors, written to a file of their own; the number of pictures in them.
    int readMenu(const DvdMenu& menu, int index)
    {
        QByteArray bytes;
        for (const DvdCell& cell : menu.cells)
            bytes += m_source->menuSectors(menu.titleSet, cell.firstSector, cell.lastSector);
        m_parts[index] = bytes;
        if (bytes.isEmpty())
            return 0;
        QFile f(partPath(index));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 0;
        f.close();
        VideoSource video([](const Message&) {});
        if (!video.OpenVideo(partPath(index)))
            return 0;
        return std::max(0, int(video.FrameCount()));
    }

    QByteArray stillPicture(int index)
    {
        VideoSource video([](const Message&) {});
        if (!video.OpenVideo(partPath(index)) || !video.hasDecoder() || !video.ShowFrame(0))
            return {};
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "JPEG");
        writer.setQuality(92);
        if (!writer.write(video.picture()))
            return {};
        return buffer.data();
    }

    QByteArray encodeAvi(const std::vector<MenuPlan>& plan, const std::vector<int>& frames)
    {
        const DvdDisc& disc = m_source->disc();
        Mpeg4AviWriter writer;
        QString error;
        bool started = false;
        for (size_t i = 0; i < plan.size(); ++i) {
            if (plan[i].still)
                continue;
            VideoSource video([](const Message&) {});
            if (!video.OpenVideo(partPath(int(i))) || !video.hasDecoder()) {
                m_result.error = QStringLiteral("the video of menu %1 cannot be decoded").arg(i + 1);
                return {};
            }
            if (!started) {
                const bool pal = disc.menus[i].pal;
                if (!writer.start(video.pictureWidth(), video.pictureHeight(), pal ? 25 : 30000, pal ? 1 : 1001, &error)) {
                    m_result.error = error;
                    return {};
                }
                started = true;
            }
            for (int n = 0; n < frames[i]; ++n) {
                step(QStringLiteral("Encoding menu %1").arg(i + 1));
                if (!video.ShowFrame(n)) {
                    m_result.error = QStringLiteral("frame %1 of menu %2 cannot be decoded").arg(n).arg(i + 1);
                    return {};
                }
                if (!writer.add(video.picture(), &error)) {
                    m_result.error = error;
                    return {};
                }
            }
        }
        std::optional<QByteArray> bytes = writer.finish(&error);
        if (!bytes) {
            m_result.error = error;
            return {};
        }
        return *bytes;
    }

    // The motion menus' own sectors one after another, without encoding.
    QByteArray joinVobs(const std::vector<MenuPlan>& plan)
    {
        QByteArray out;
        for (size_t i = 0; i < plan.size(); ++i) {
            step(QStringLiteral("Copying menu %1").arg(i + 1));
            if (!plan[i].still)
                out += m_parts[int(i)];
        }
        return out;
    }

    const ImportOptions& m_options;
    const ImportCallbacks& m_callbacks;
    ImportResult& m_result;
    std::unique_ptr<DvdSource> m_source;
    QTemporaryDir m_temp;
    std::map<int, QByteArray> m_parts;
    int m_done = 0;
    int m_total = 0;
};

} // namespace

ImportResult importDvd(const ImportOptions& options, const ImportCallbacks& callbacks)
{
    ImportResult result;
    try {
        Importer(options, callbacks, result).run();
    } catch (const Cancelled&) {
        result = ImportResult{};
        result.cancelled = true;
        result.error = QStringLiteral("The import was cancelled; nothing was written.");
    }
    return result;
}

} // namespace dvdimport
