// Any bytes as a disc's tables (fuzz/seeds-fuzz_dvdifo holds those of a disc made by dvdauthor): the
// input is cut into the video manager's table and a title set's table (each also as its backup), put
// in a VIDEO_TS folder beside small menu videos, and the disc is read and made into a project.
// libdvdread runs in a child process, so its own crashes on damaged tables come back as a refusal
// with a reason; what is fuzzed here is what the program does with whatever the child hands over.
// The sanitiser still reports what goes wrong inside the child, and libFuzzer may write a crash file
// for it while the run goes on: a file whose report shows DvdSource::openHere under libdvdread is the
// library's fault, kept in its process. A
// crash, a hang or a huge allocation in the program is a bug, and so is a project the writer cannot
// save although the disc has a title.
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <QFileInfo>

#include <unistd.h>

#include "document/projectwriter.h"
#include "dvdimport/dvdproject.h"
#include "dvdimport/dvdreader.h"

namespace {

QString folder()
{
    static const QString path = [] {
        const QString p = QDir::temp().filePath(QStringLiteral("vazo-fuzz-dvd-%1/VIDEO_TS").arg(qint64(::getpid())));
        QDir().mkpath(p);
        return p;
    }();
    return path;
}

void put(const QString& name, const QByteArray& bytes)
{
    QFile f(QDir(folder()).filePath(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace

// libdvdread sizes its tables' memory by the counts the tables claim, and handles a refused allocation
// as a damaged table. Outside the sanitiser a huge request just fails; here it must fail the same way
// instead of stopping the run.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    if (size < 2)
        return 0;
    // The first two bytes (little-endian) give the length of the video manager's table.
    const qsizetype cut = qsizetype(data[0]) | qsizetype(data[1]) << 8;
    const QByteArray vmg = all.mid(2, cut);
    const QByteArray vts = all.mid(2 + cut);
    put(QStringLiteral("VIDEO_TS.IFO"), vmg);
    put(QStringLiteral("VIDEO_TS.BUP"), vmg);
    put(QStringLiteral("VTS_01_0.IFO"), vts);
    put(QStringLiteral("VTS_01_0.BUP"), vts);
    // Menu videos of a few sectors, so that cells that point into them read something.
    static bool videos = false;
    if (!videos) {
        QByteArray sectors(2048 * 16, '\0');
        for (int s = 0; s < 16; ++s)
            sectors.replace(s * 2048, 4, QByteArray("\0\0\1\xBA", 4));
        put(QStringLiteral("VIDEO_TS.VOB"), sectors);
        put(QStringLiteral("VTS_01_0.VOB"), sectors);
        put(QStringLiteral("VTS_01_1.VOB"), sectors);
        videos = true;
    }

    QString error;
    const std::unique_ptr<dvdimport::DvdSource> source =
        dvdimport::DvdSource::open(QFileInfo(folder()).absolutePath(), &error);
    if (!source) {
        if (error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const dvdimport::DvdDisc& disc = source->disc();
    std::vector<int> frames(disc.menus.size(), 2);
    MenuProject project;
    dvdimport::ImportReport report;
    dvdimport::buildProject(disc, dvdimport::planMenus(disc, frames, QStringLiteral("menu")), {}, project, report);
    const MessageSink say = [](const Message& m) { std::fprintf(stderr, "%s\n", qPrintable(m.text)); };
    if (disc.mainTitle > 0 && !BuildMenuFile(project, say))
        std::abort(); // with a title to name as the movie, whatever was read can be saved
    for (const dvdimport::DvdMenu& m : disc.menus) {
        for (const dvdimport::DvdCell& c : m.cells)
            (void)source->menuSectors(m.titleSet, c.firstSector, c.lastSector);
    }
    return 0;
}
