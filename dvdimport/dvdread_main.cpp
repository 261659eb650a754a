// vazo-dvdread SOURCE: reads a DVD's tables and its menus' sectors with libdvdread and writes them to
// standard output for the program's DVD import, which runs it so that a crash of the library on a
// damaged disc ends this process only.
#include <QCoreApplication>

#include <cstdio>

#include "dvdimport/dvdreader.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: vazo-dvdread SOURCE (used by the DVD import of VazoVevoz)\n", stderr);
        return 2;
    }
    const QByteArray bytes = dvdimport::DvdSource::readInHelper(QString::fromLocal8Bit(argv[1]));
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) && std::fflush(stdout) == 0
               ? 0
               : 1;
}
