// Writes small seed inputs for the media fuzzers with the test fixture generators:
//   fuzz_seeds fuzz_avi DIR    a few tiny AVIs of every kind and their damaged copies
//   fuzz_seeds fuzz_jpeg DIR   a few JPEGs: baseline, progressive, grey, CMYK, damaged
//   fuzz_seeds fuzz_programstream DIR   small VOB and MPEG files, open and closed groups, cut ones
// Other target names write nothing, so scripts/fuzz.sh can ask for any target.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <exception>

#include "fixtures/jpegfixtures.h"
#include "fixtures/mpegfixtures.h"
#include "fixtures/videofixtures.h"

using namespace fixtures;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds TARGET DIR\n");
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);
    QDir dir(QString::fromLocal8Bit(argv[2]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 2;
    auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    try {
        if (target == QLatin1String("fuzz_avi")) {
            VideoSpec s;
            s.width = 48;
            s.height = 32;
            s.frames = 8;
            s.keyInterval = 4;
            const VideoFixture plain = writeVideo(at("mpeg4.avi"), s);
            s.bFrames = 2;
            writeVideo(at("mpeg4-b2.avi"), s);
            s.bFrames = 0;
            s.kind = VideoKind::Mjpeg;
            s.drops = {2, 3};
            writeVideo(at("mjpeg-drops.avi"), s);
            s.drops.clear();
            s.kind = VideoKind::RawBgr24;
            s.width = 34;
            s.height = 24;
            s.frames = 3;
            writeVideo(at("raw.avi"), s);
            s.kind = VideoKind::RawBgr24TopDown;
            writeVideo(at("raw-topdown.avi"), s);
            VideoSpec x;
            x.kind = VideoKind::XvidPacked;
            x.width = 48;
            x.height = 32;
            x.frames = 8;
            x.bFrames = 1;
            x.keyInterval = 4;
            writeVideo(at("xvid-packed.avi"), x);
            x.kind = VideoKind::H264;
            x.frames = 12;
            x.keyInterval = 6;
            x.bFrames = 3;
            try {
                writeVideo(at("h264-b3.avi"), x);
            } catch (const FixtureError&) {
                // FFmpeg without libx264: the other seeds still go in
            }
            writeAudioOnlyAvi(at("audio.avi"), 1);
            writeCopyWithoutIndex(plain.path, at("noindex.avi"));
            writeCopyWithFourcc(plain.path, at("unknown.avi"), "VZQX");
            writeCopyWithPictureSize(plain.path, at("negative-height.avi"), 48, -32);
            writeTruncatedCopy(plain.path, at("truncated.avi"), QFileInfo(plain.path).size() * 2 / 3);
        } else if (target == QLatin1String("fuzz_opensave")) {
            // Files of other kinds an author may pick by mistake, beside the menu seeds.
            VideoSpec s;
            s.width = 32;
            s.height = 24;
            s.frames = 2;
            writeVideo(at("movie.avi"), s);
            writePatternJpeg(at("picture.jpg"), 5, 32, 24);
        } else if (target == QLatin1String("fuzz_programstream")) {
            // The fuzzer puts a pack header in front of every input: the seeds go without theirs.
            auto seed = [&](const char* name, const MpegSpec& spec) {
                const QString full = at(name) + QStringLiteral(".full");
                writeProgramStream(full, spec);
                writeSlice(full, at(name), 14, QFileInfo(full).size());
                QFile::remove(full);
            };
            MpegSpec m;
            m.width = 48;
            m.height = 32;
            m.frames = 14;
            m.keyInterval = 6;
            seed("open.vob", m);
            m.closedGop = true;
            m.muxer = "dvd";
            m.softTelecine = true;
            seed("closed-telecine.vob", m);
            m.muxer = "mpeg";
            m.mpeg1 = true;
            m.softTelecine = false;
            seed("mpeg1.mpg", m);
        } else if (target == QLatin1String("fuzz_jpeg")) {
            writePatternJpeg(at("baseline.jpg"), 5, 48, 32);
            writePatternJpeg(at("progressive.jpg"), 6, 48, 32, {80, false, true, false});
            writePatternJpeg(at("grey.jpg"), 7, 48, 32, {80, true, false, false});
            writePatternJpeg(at("cmyk.jpg"), 8, 48, 32, {80, false, false, true});
            writeDamagedJpeg(at("truncated.jpg"), JpegDamage::Truncated);
            writeDamagedJpeg(at("huge.jpg"), JpegDamage::HugeDimensions);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
