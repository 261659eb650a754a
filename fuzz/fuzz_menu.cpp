// Any bytes as a menu file: reading must end with messages, never a crash or a hang. And whatever was
// read, once written, must settle: the reader trims blanks and control characters at the ends of
// lines, so a value that ends a line may lose them on its first round trip (a documented
// normalisation), but a file that has been through one round trip must come back byte for byte.
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "document/projectloader.h"
#include "document/projectwriter.h"

namespace {

std::optional<QByteArray> roundTrip(const QByteArray& bytes, bool mustReadCompletely)
{
    MenuProject project;
    const LoadReport report = LoadProjectFromBytes(bytes, QStringLiteral("/fuzz/menu.ini"), project, {});
    if (mustReadCompletely && (!report.headComplete || !report.pagesRead)) {
        std::fprintf(stderr, "a written file does not read completely\n");
        std::abort();
    }
    return BuildMenuFile(project, {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<QByteArray> first =
        roundTrip(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), false);
    if (!first)
        return 0;
    const std::optional<QByteArray> second = roundTrip(*first, true);
    if (!second)
        std::abort();
    const std::optional<QByteArray> third = roundTrip(*second, true);
    if (!third || *third != *second) {
        std::fprintf(stderr, "a written file does not read back to itself\n");
        std::abort();
    }
    return 0;
}
