// Any bytes as a menu file: reading must end with messages, never a crash or a hang; and whatever was
// read, once written, must read back to the same file (writing what was read is a fixed point).
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "document/projectloader.h"
#include "document/projectwriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    MenuProject project;
    LoadProjectFromBytes(bytes, QStringLiteral("/fuzz/menu.ini"), project, {});
    const std::optional<QByteArray> written = BuildMenuFile(project, {});
    if (!written)
        return 0;
    MenuProject again;
    const LoadReport report = LoadProjectFromBytes(*written, QStringLiteral("/fuzz/menu.ini"), again, {});
    const std::optional<QByteArray> rewritten = BuildMenuFile(again, {});
    if (!report.headComplete || !report.pagesRead || !rewritten || *rewritten != *written) {
        std::fprintf(stderr, "a written file does not read back to itself\n");
        std::abort();
    }
    return 0;
}
