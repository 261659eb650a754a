// Any bytes as a file the author opens and then saves over: a file is taken for a menu only when it is
// text, what is not text is never written over, and a menu the program saved is always taken for a
// menu again, which the program saves over again. These are the rules that keep an author's video
// or picture from being replaced by a menu.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "core/filekind.h"
#include "document/projectloader.h"
#include "document/projectwriter.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_opensave: %s\n", what);
    std::abort();
}

// A project that always saves: what the author had open when the file was picked.
const MenuProject& openMenu()
{
    static const MenuProject project = [] {
        MenuProject p;
        p.movieData.title = QStringLiteral("Film");
        p.movieData.id = QStringLiteral("F1");
        p.movieData.movieDirectory = QStringLiteral(".");
        p.movieData.aviName = QStringLiteral("film.avi");
        return p;
    }();
    return project;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString picked = dir.filePath(QStringLiteral("picked.ini"));
    if (!writeAll(picked, bytes))
        fail("cannot write the input");

    MenuProject read;
    const LoadReport report = LoadProject(picked, read, {});
    if (report.menuFile && !report.notText.isEmpty())
        fail("binary data taken for a menu file");
    if (report.notText != describeNonText(bytes))
        fail("the reader and the writer tell the file's kind apart differently");

    // Saving the open menu under the picked name: refused exactly when the file is not text, and then
    // the file is as it was.
    const SaveResult saved = SaveProjectFile(openMenu(), picked, {});
    if (bool(saved) == !report.notText.isEmpty())
        fail("a save over the picked file went the wrong way");
    if (!saved && readAll(picked) != bytes)
        fail("a refused save changed the file");

    // What was read, once saved by the program, is a menu file. (Whether it then comes back byte for
    // byte is fuzz_menu's question.)
    if (report.menuFile) {
        const QString again = dir.filePath(QStringLiteral("again.ini"));
        QFile::remove(again);
        if (SaveProjectFile(read, again, {})) {
            MenuProject second;
            if (!LoadProject(again, second, {}).menuFile)
                fail("a menu the program saved is not taken for a menu");
            // And the program saves over it again.
            if (!SaveProjectFile(second, again, {}))
                fail("a menu the program saved cannot be saved over");
        }
    }
    return 0;
}
