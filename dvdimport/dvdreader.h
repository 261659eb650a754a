#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <tuple>

#include "dvdimport/dvdstructure.h"

// A DVD opened with libdvdread: a VIDEO_TS folder, the folder that holds one, or an ISO image. The
// library stays inside this file, and runs in a helper process of its own, vazo-dvdread (a damaged disc
// can make it crash); its own error messages are collected, never printed.
namespace dvdimport {

class DvdSource
{
public:
    ~DvdSource();
    DvdSource(const DvdSource&) = delete;
    DvdSource& operator=(const DvdSource&) = delete;

    // Opens the disc and reads its tables. Null when the source is no DVD or its tables cannot be read;
    // *error then says why, with libdvdread's own messages.
    static std::unique_ptr<DvdSource> open(const QString& path, QString* error);

    const DvdDisc& disc() const { return m_disc; }

    // The bytes of sectors [first, last] of a domain's menu video (title set 0: the video manager's),
    // for a cell of one of the disc's menus. Empty when they could not be read.
    QByteArray menuSectors(int titleSet, uint32_t first, uint32_t last) const;

    // The helper's work: the disc read here, with its tables and menus' sectors as bytes for open().
    static QByteArray readInHelper(const QString& path);
    static constexpr const char* kHelperName = "vazo-dvdread";
    // Where the helper is: $VAZO_DVDREAD, else beside the program; empty when it is nowhere.
    static QString helperPath();

    // What libdvdread reported while the disc was read (its warnings about damaged tables, ...).
    const QStringList& libraryMessages() const { return m_messages; }

private:
    DvdSource() = default;
    // The reading itself, in the helper process.
    static std::unique_ptr<DvdSource> openHere(const QString& path, QString* error);
    QByteArray readSectorsHere(int titleSet, uint32_t first, uint32_t last) const;

    struct Handles;
    std::unique_ptr<Handles> m_handles;
    DvdDisc m_disc;
    QStringList m_messages;
    std::map<std::tuple<int, uint32_t, uint32_t>, QByteArray> m_sectors;
};

} // namespace dvdimport
