#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// The RIFF structure of an AVI file as far as the AVI file service needs it: the headers of the
// first video stream and its sample table, read from the file's own index (OpenDML or the legacy
// idx1) or, when that is missing, broken or points beyond the end of the file, found by walking the
// chunks. Only headers are read, never the picture data. Everything read is bounds-checked against
// the file size, so a damaged file gives a short table, never a huge allocation.

struct AviSample
{
    int64_t pos = 0;   // file offset of the chunk's data
    uint32_t size = 0; // 0: a drop sample, which shows the previous picture again
    bool key = false;  // from the index; for scanned files decided later by the codec
};

struct AviLayout
{
    bool isAvi = false; // "RIFF" .... "AVI " at the start
    int videoStream = -1; // number of the first stream of type "vids" (chunk ids "00dc", "01db", ...)

    // Its stream header.
    QByteArray handler; // fccHandler, 4 bytes
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t length = 0;
    int16_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    bool hasStreamHeader = false;

    // Its format (BITMAPINFOHEADER).
    int32_t bitmapWidth = 0;
    int32_t bitmapHeight = 0;
    uint16_t bitCount = 0;
    QByteArray compression; // biCompression, 4 bytes
    bool hasFormat = false;

    // OpenDML extended header.
    bool hasOpenDmlHeader = false;
    uint32_t openDmlTotalFrames = 0;

    enum class Source { None, OpenDmlIndex, LegacyIndex, Scan };
    Source source = Source::None;
    std::vector<AviSample> samples; // one per sample of the video stream, drop samples included

    QString problem; // why the index was not used, for diagnostics
};

// Reads the layout of the file at `path`. Never throws; a file that cannot be read gives isAvi false.
AviLayout readAviLayout(const QString& path);

// The MPEG-4 (DivX, Xvid) picture types (0 = I, 1 = P, 2 = B, 3 = S) of the VOPs in one chunk, in order.
std::vector<int> mpeg4VopTypes(const QByteArray& chunk);
