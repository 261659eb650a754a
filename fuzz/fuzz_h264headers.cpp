// Feeds arbitrary bytes to the H.264 header reader as a few chunks of one group, then orders what
// it read. Any crash, hang or out-of-bounds read is a bug; reading nothing is a fine answer.
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/h264order.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The input is chunks one after another, each after a byte that gives its length.
    H264HeaderReader reader;
    std::vector<H264Picture> pictures;
    size_t at = 0;
    while (at < size) {
        const size_t n = std::min<size_t>(data[at], size - at - 1);
        const QByteArray chunk(reinterpret_cast<const char*>(data + at + 1), qsizetype(n));
        if (const auto picture = reader.read(chunk))
            pictures.push_back(*picture);
        at += 1 + n;
    }
    (void)h264GroupOrder(pictures);
    return 0;
}
