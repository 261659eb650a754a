#include "dvdimport/dvdreader.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <dvdread/nav_read.h>
#include <dvdread/nav_types.h>
}

namespace dvdimport {

namespace {

struct ReaderDeleter { void operator()(dvd_reader_t* d) const { DVDClose(d); } };
struct IfoDeleter { void operator()(ifo_handle_t* i) const { ifoClose(i); } };
struct FileDeleter { void operator()(dvd_file_t* f) const { DVDCloseFile(f); } };
using IfoPtr = std::unique_ptr<ifo_handle_t, IfoDeleter>;
using FilePtr = std::unique_ptr<dvd_file_t, FileDeleter>;

constexpr int kSector = 2048;

void collect(void* priv, dvd_logger_level_t level, const char* format, va_list args)
{
    if (level == DVD_LOGGER_LEVEL_DEBUG || level == DVD_LOGGER_LEVEL_INFO)
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    static_cast<QStringList*>(priv)->append(QString::fromLocal8Bit(text).trimmed());
}

QSize pictureSize(const video_attr_t& attr)
{
    const bool pal = attr.video_format == 1;
    const int full = pal ? 576 : 480;
    switch (attr.picture_size) {
    case 1: return {704, full};
    case 2: return {352, full};
    case 3: return {352, full / 2};
    default: return {720, full};
    }
}

std::vector<Command> commands(const vm_cmd_t* list, int count)
{
    std::vector<Command> out;
    for (int i = 0; list && i < count; ++i) {
        Command c;
        std::copy(std::begin(list[i].bytes), std::end(list[i].bytes), c.begin());
        out.push_back(c);
    }
    return out;
}

QString languageCode(uint16_t code)
{
    const char a = char(code >> 8);
    const char b = char(code & 0xff);
    if (a < 'a' || a > 'z' || b < 'a' || b > 'z')
        return {};
    return QString(QLatin1Char(a)) + QLatin1Char(b);
}

// The buttons of the highlight in a menu cell's first navigation pack.
void readButtons(dvd_file_t* vob, const cell_playback_t& cell, DvdMenu& menu)
{
    unsigned char block[kSector];
    if (!vob || DVDReadBlocks(vob, int(cell.first_sector), 1, block) != 1)
        return;
    // A navigation pack: pack header, system header, then the PCI packet (private stream 2, sub-stream 0).
    const unsigned char pack[4] = {0, 0, 1, 0xBA};
    const unsigned char pciStart[4] = {0, 0, 1, 0xBF};
    if (std::memcmp(block, pack, 4) != 0 || std::memcmp(block + 0x26, pciStart, 4) != 0 || block[0x2c] != 0)
        return;
    pci_t pci;
    navRead_PCI(&pci, block + 0x2d);
    const hl_gi_t& gi = pci.hli.hl_gi;
    if ((gi.hli_ss & 3) == 0)
        return;
    const int count = std::min<int>(gi.btn_ns & 0x3f, 36);
    // The buttons of the first group, the one shown on a 4:3 screen or the only one.
    for (int i = 0; i < count; ++i) {
        const btni_t& b = pci.hli.btnit[i];
        DvdButton button;
        button.rect = QRect(QPoint(int(b.x_start), int(b.y_start)), QPoint(int(b.x_end), int(b.y_end)));
        std::copy(std::begin(b.cmd.bytes), std::end(b.cmd.bytes), button.command.begin());
        menu.buttons.push_back(button);
    }
    menu.forcedButton = gi.fosl_btnn & 0x3f;
}

void readMenus(dvd_reader_t* dvd, ifo_handle_t* ifo, int titleSet, const video_attr_t& attr, DvdDisc& disc)
{
    if (!ifo->pgci_ut || ifo->pgci_ut->nr_of_lus == 0 || !ifo->pgci_ut->lu)
        return;
    // The first language's menus: a disc with menus in several languages has the same pages in each.
    const pgcit_t* table = ifo->pgci_ut->lu[0].pgcit;
    if (!table)
        return;
    FilePtr vob(DVDOpenFile(dvd, titleSet, DVD_READ_MENU_VOBS));
    for (int i = 0; i < table->nr_of_pgci_srp; ++i) {
        const pgci_srp_t& srp = table->pgci_srp[i];
        DvdMenu menu;
        menu.titleSet = titleSet;
        menu.pgc = i + 1;
        menu.entry = srp.entry_id & 0x80;
        const int type = srp.entry_id & 0x0f;
        menu.type = menu.entry && type >= 2 && type <= 7 ? MenuType(type) : MenuType::None;
        menu.pictureSize = pictureSize(attr);
        menu.pal = attr.video_format == 1;
        const pgc_t* pgc = srp.pgc;
        if (!pgc) {
            disc.notes.push_back(QStringLiteral("Menu %1 of %2 could not be read.")
                                     .arg(i + 1)
                                     .arg(titleSet == 0 ? QStringLiteral("the video manager")
                                                        : QStringLiteral("title set %1").arg(titleSet)));
            disc.menus.push_back(menu);
            continue;
        }
        menu.stillTime = pgc->still_time;
        menu.nextPgc = pgc->next_pgc_nr;
        menu.previousPgc = pgc->prev_pgc_nr;
        menu.upPgc = pgc->goup_pgc_nr;
        if (pgc->command_tbl) {
            menu.preCommands = commands(pgc->command_tbl->pre_cmds, pgc->command_tbl->nr_of_pre);
            menu.postCommands = commands(pgc->command_tbl->post_cmds, pgc->command_tbl->nr_of_post);
            menu.cellCommands = commands(pgc->command_tbl->cell_cmds, pgc->command_tbl->nr_of_cell);
        }
        for (int c = 0; pgc->cell_playback && c < pgc->nr_of_cells; ++c) {
            const cell_playback_t& cp = pgc->cell_playback[c];
            DvdCell cell;
            cell.firstSector = cp.first_sector;
            cell.lastSector = cp.last_sector;
            cell.stillTime = cp.still_time;
            cell.frames = dvdTimeFrames(cp.playback_time.hour, cp.playback_time.minute, cp.playback_time.second,
                                        cp.playback_time.frame_u);
            menu.cells.push_back(cell);
            // A button that changes over the cells keeps the rectangle of the first cell.
            if (c == 0)
                readButtons(vob.get(), cp, menu);
        }
        disc.menus.push_back(menu);
    }
}

// The first frame of each part of a title, from the playing times of the cells before the part's
// first cell, over the title's programs in the order the parts name them.
std::vector<int> partFrames(const ifo_handle_t* vts, int titleInSet)
{
    std::vector<int> frames;
    if (!vts->vts_ptt_srpt || !vts->vts_pgcit || titleInSet < 1 || titleInSet > vts->vts_ptt_srpt->nr_of_srpts)
        return frames;
    const ttu_t& ttu = vts->vts_ptt_srpt->title[titleInSet - 1];
    std::map<int, int> pgcStart; // frames before each PGC of the title, in the order the parts reach them
    int total = 0;
    for (int p = 0; p < ttu.nr_of_ptts; ++p) {
        const int pgcn = ttu.ptt[p].pgcn;
        const int pgn = ttu.ptt[p].pgn;
        if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp)
            continue;
        const pgc_t* pgc = vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
        if (!pgc || !pgc->program_map || !pgc->cell_playback || pgn < 1 || pgn > pgc->nr_of_programs)
            continue;
        if (!pgcStart.count(pgcn)) {
            pgcStart[pgcn] = total;
            for (int c = 0; c < pgc->nr_of_cells; ++c) {
                const dvd_time_t& t = pgc->cell_playback[c].playback_time;
                total += dvdTimeFrames(t.hour, t.minute, t.second, t.frame_u);
            }
        }
        int frame = pgcStart[pgcn];
        const int firstCell = pgc->program_map[pgn - 1];
        for (int c = 0; c + 1 < firstCell && c < pgc->nr_of_cells; ++c) {
            const dvd_time_t& t = pgc->cell_playback[c].playback_time;
            frame += dvdTimeFrames(t.hour, t.minute, t.second, t.frame_u);
        }
        frames.push_back(frame);
    }
    return frames;
}

int titleFrames(const ifo_handle_t* vts, int titleInSet)
{
    if (!vts->vts_ptt_srpt || !vts->vts_pgcit || titleInSet < 1 || titleInSet > vts->vts_ptt_srpt->nr_of_srpts)
        return 0;
    const ttu_t& ttu = vts->vts_ptt_srpt->title[titleInSet - 1];
    int total = 0;
    std::vector<int> seen;
    for (int p = 0; p < ttu.nr_of_ptts; ++p) {
        const int pgcn = ttu.ptt[p].pgcn;
        if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp || std::find(seen.begin(), seen.end(), pgcn) != seen.end())
            continue;
        seen.push_back(pgcn);
        if (const pgc_t* pgc = vts->vts_pgcit->pgci_srp[pgcn - 1].pgc)
            total += dvdTimeFrames(pgc->playback_time.hour, pgc->playback_time.minute, pgc->playback_time.second,
                                   pgc->playback_time.frame_u);
    }
    return total;
}

// Whether every table a disc's table file points at lies inside the file. libdvdread 6.1 trusts what
// the tables claim: it frees a table twice when the table's first bytes lie past the file's end (it
// fails reading them, frees the table and leaves the pointer for its closing to free again), and it
// asks for as much memory as a table's size field says (gigabytes from a damaged one). So such a file
// must never reach it. The backup is looked at too: libdvdread turns to it when the first file fails.
// Empty when all is well; otherwise the damaged file's name.
QString tablesOutsideFile(dvd_reader_t* dvd, int titleSet)
{
    struct Table
    {
        int offset;     // of the table's sector number in the file's head
        int sizeField;  // of the table's last byte in its own head; -1: no size checked
    };
    static const Table vmgTables[] = {{0xC4, 4}, {0xC8, 4}, {0xCC, 4}, {0xD0, 4}, {0xD4, -1}, {0xD8, 4}, {0xDC, 0}};
    static const Table vtsTables[] = {{0xC8, 4}, {0xCC, 4}, {0xD0, 4}, {0xD4, 4}, {0xD8, 4}, {0xDC, 0}, {0xE0, 4}, {0xE4, 0}};
    auto be32 = [](const unsigned char* p) { return qint64(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; };
    for (const dvd_read_domain_t domain : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
        const QString shown = (titleSet == 0 ? QStringLiteral("VIDEO_TS")
                                             : QStringLiteral("VTS_%1_0").arg(titleSet, 2, 10, QLatin1Char('0')))
                              + (domain == DVD_READ_INFO_FILE ? QStringLiteral(".IFO") : QStringLiteral(".BUP"));
        FilePtr file(DVDOpenFile(dvd, titleSet, domain));
        if (!file)
            continue; // libdvdread finds that out itself
        unsigned char head[kSector];
        const qint64 blocks = DVDFileSize(file.get());
        if (blocks < 1 || DVDFileSeek(file.get(), 0) != 0 || DVDReadBytes(file.get(), head, kSector) != kSector)
            continue; // too short for any table: refused by libdvdread before it reads one
        const qint64 bytes = blocks * kSector;
        auto inside = [&](const Table& t) {
            const qint64 start = be32(head + t.offset) * kSector;
            if (start == 0)
                return true;
            unsigned char tableHead[8];
            if (start + 8 > bytes || DVDFileSeek(file.get(), int32_t(start)) != start
                || DVDReadBytes(file.get(), tableHead, 8) != 8)
                return false;
            return t.sizeField < 0 || start + be32(tableHead + t.sizeField) + 1 <= bytes;
        };
        const bool ok = titleSet == 0 ? std::all_of(std::begin(vmgTables), std::end(vmgTables), inside)
                                      : std::all_of(std::begin(vtsTables), std::end(vtsTables), inside);
        if (!ok)
            return shown;
    }
    return {};
}

QString volumeName(dvd_reader_t* dvd, const QString& path)
{
    char name[33] = {};
    unsigned char set[128];
    if (DVDUDFVolumeInfo(dvd, name, sizeof name, set, sizeof set) == 0 && name[0])
        return QString::fromLatin1(name).trimmed();
    if (DVDISOVolumeInfo(dvd, name, sizeof name, set, sizeof set) == 0 && name[0])
        return QString::fromLatin1(name).trimmed();
    // A folder has no volume: its name stands for it (the folder above VIDEO_TS when given that).
    QFileInfo info(path);
    if (info.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
        info = QFileInfo(info.absolutePath());
    return info.isDir() ? info.fileName() : info.completeBaseName();
}

} // namespace

struct DvdSource::Handles
{
    std::unique_ptr<dvd_reader_t, ReaderDeleter> dvd;
    dvd_logger_cb logger{};
};

DvdSource::~DvdSource() = default;

std::unique_ptr<DvdSource> DvdSource::openHere(const QString& path, QString* error)
{
    std::unique_ptr<DvdSource> source(new DvdSource);
    auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
            if (!source->m_messages.isEmpty())
                *error += QStringLiteral(" (libdvdread: %1)").arg(source->m_messages.join(QStringLiteral("; ")));
        }
        return nullptr;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("%1 does not exist").arg(path));
    QString root = info.absoluteFilePath();
    // libdvdread takes the folder above VIDEO_TS or an image.
    if (info.isDir() && info.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
        root = info.absolutePath();
    if (info.isDir() && !QFileInfo::exists(QDir(root).filePath(QStringLiteral("VIDEO_TS")))
        && !QFileInfo::exists(QDir(root).filePath(QStringLiteral("video_ts"))))
        return fail(QStringLiteral("%1 holds no VIDEO_TS folder").arg(path));

    source->m_handles = std::make_unique<Handles>();
    source->m_handles->logger.pf_log = collect;
    source->m_handles->dvd.reset(DVDOpen2(&source->m_messages, &source->m_handles->logger,
                                          QFile::encodeName(root).constData()));
    dvd_reader_t* dvd = source->m_handles->dvd.get();
    if (!dvd)
        return fail(QStringLiteral("%1 cannot be opened as a DVD").arg(path));
    // What the library says while it looks for a drive and for its decryption library concerns discs,
    // not folders and images; only what it says about the tables from here on is kept.
    source->m_messages.clear();
    const QString damaged = tablesOutsideFile(dvd, 0);
    if (!damaged.isEmpty())
        return fail(QStringLiteral("the video manager's table (%1) of %2 is damaged: a table lies past its end")
                        .arg(damaged, path));
    IfoPtr vmg(ifoOpen(dvd, 0));
    if (!vmg || !vmg->vmgi_mat)
        return fail(QStringLiteral("the video manager's table (VIDEO_TS.IFO) of %1 cannot be read").arg(path));

    DvdDisc& disc = source->m_disc;
    disc.volume = volumeName(dvd, path);
    if (vmg->first_play_pgc && vmg->first_play_pgc->command_tbl && vmg->first_play_pgc->command_tbl->nr_of_pre > 0) {
        std::copy(std::begin(vmg->first_play_pgc->command_tbl->pre_cmds[0].bytes),
                  std::end(vmg->first_play_pgc->command_tbl->pre_cmds[0].bytes), disc.firstPlay.begin());
        disc.hasFirstPlay = true;
    }
    readMenus(dvd, vmg.get(), 0, vmg->vmgi_mat->vmgm_video_attr, disc);

    const int titleSets = vmg->vmgi_mat->vmg_nr_of_title_sets;
    std::vector<IfoPtr> sets(size_t(titleSets) + 1);
    for (int ts = 1; ts <= titleSets && ts < 100; ++ts) {
        const QString damagedSet = tablesOutsideFile(dvd, ts);
        if (!damagedSet.isEmpty()) {
            disc.notes.push_back(QStringLiteral("The table of title set %1 (%2) is damaged; its menus are left out.")
                                     .arg(ts)
                                     .arg(damagedSet));
            continue;
        }
        sets[size_t(ts)].reset(ifoOpen(dvd, ts));
        if (!sets[size_t(ts)] || !sets[size_t(ts)]->vtsi_mat) {
            disc.notes.push_back(QStringLiteral("The table of title set %1 cannot be read; its menus are left out.").arg(ts));
            sets[size_t(ts)].reset();
            continue;
        }
        readMenus(dvd, sets[size_t(ts)].get(), ts, sets[size_t(ts)]->vtsi_mat->vtsm_video_attr, disc);
    }

    // The titles; the longest is the movie.
    int longest = -1;
    if (vmg->tt_srpt && vmg->tt_srpt->title) {
        for (int t = 0; t < vmg->tt_srpt->nr_of_srpts; ++t) {
            const title_info_t& ti = vmg->tt_srpt->title[t];
            DvdTitle title;
            title.titleSet = ti.title_set_nr;
            title.titleInSet = ti.vts_ttn;
            title.parts = ti.nr_of_ptts;
            if (ti.title_set_nr >= 1 && ti.title_set_nr <= titleSets && sets[ti.title_set_nr])
                title.frames = titleFrames(sets[ti.title_set_nr].get(), ti.vts_ttn);
            disc.titles.push_back(title);
            if (title.frames > longest) {
                longest = title.frames;
                disc.mainTitle = t + 1;
            }
        }
    }
    if (disc.mainTitle > 0) {
        const DvdTitle& main = disc.titles[size_t(disc.mainTitle - 1)];
        if (const ifo_handle_t* vts = sets[size_t(main.titleSet)].get()) {
            disc.chapterFrames = partFrames(vts, main.titleInSet);
            disc.pal = vts->vtsi_mat->vts_video_attr.video_format == 1;
            disc.frameRate = disc.pal ? 25.0 : 30000.0 / 1001.0;
            for (int a = 0; a < std::min<int>(vts->vtsi_mat->nr_of_vts_audio_streams, 8); ++a)
                disc.audioLanguages.push_back(languageCode(vts->vtsi_mat->vts_audio_attr[a].lang_code));
            for (int s = 0; s < std::min<int>(vts->vtsi_mat->nr_of_vts_subp_streams, 32); ++s)
                disc.subtitleLanguages.push_back(languageCode(vts->vtsi_mat->vts_subp_attr[s].lang_code));
        }
    }
    return source;
}

QByteArray DvdSource::readSectorsHere(int titleSet, uint32_t first, uint32_t last) const
{
    if (!m_handles || last < first)
        return {};
    FilePtr vob(DVDOpenFile(m_handles->dvd.get(), titleSet, DVD_READ_MENU_VOBS));
    if (!vob)
        return {};
    const qint64 blocks = qint64(last) - first + 1;
    if (blocks > DVDFileSize(vob.get()))
        return {};
    QByteArray out(qsizetype(blocks * kSector), Qt::Uninitialized);
    auto* data = reinterpret_cast<unsigned char*>(out.data());
    for (qint64 done = 0; done < blocks;) {
        const int chunk = int(std::min<qint64>(blocks - done, 512));
        if (DVDReadBlocks(vob.get(), int(first + done), size_t(chunk), data + done * kSector) != chunk)
            return {};
        done += chunk;
    }
    return out;
}

namespace {

QDataStream& operator<<(QDataStream& out, const Command& c)
{
    for (uint8_t b : c)
        out << b;
    return out;
}
QDataStream& operator>>(QDataStream& in, Command& c)
{
    for (uint8_t& b : c)
        in >> b;
    return in;
}

template <typename T, typename Each> void writeList(QDataStream& out, const std::vector<T>& list, Each each)
{
    out << quint32(list.size());
    for (const T& item : list)
        each(item);
}
template <typename T, typename Each> void readList(QDataStream& in, std::vector<T>& list, Each each)
{
    quint32 n = 0;
    in >> n;
    list.clear();
    for (quint32 i = 0; i < n && in.status() == QDataStream::Ok; ++i)
        each(list.emplace_back());
}

void writeDisc(QDataStream& out, const DvdDisc& d)
{
    out << d.volume << d.hasFirstPlay << d.firstPlay << qint32(d.mainTitle) << d.pal << d.frameRate;
    writeList(out, d.menus, [&](const DvdMenu& m) {
        out << qint32(m.titleSet) << qint32(m.pgc) << quint8(m.type) << m.entry << qint32(m.stillTime)
            << qint32(m.nextPgc) << qint32(m.previousPgc) << qint32(m.upPgc) << qint32(m.forcedButton)
            << m.pictureSize << m.pal;
        writeList(out, m.cells, [&](const DvdCell& c) {
            out << c.firstSector << c.lastSector << qint32(c.frames) << qint32(c.stillTime);
        });
        for (const std::vector<Command>* list : {&m.preCommands, &m.postCommands, &m.cellCommands})
            writeList(out, *list, [&](const Command& c) { out << c; });
        writeList(out, m.buttons, [&](const DvdButton& b) { out << b.rect << b.command; });
    });
    writeList(out, d.titles, [&](const DvdTitle& t) {
        out << qint32(t.titleSet) << qint32(t.titleInSet) << qint32(t.parts) << qint32(t.frames);
    });
    writeList(out, d.chapterFrames, [&](int f) { out << qint32(f); });
    for (const std::vector<QString>* list : {&d.audioLanguages, &d.subtitleLanguages, &d.notes})
        writeList(out, *list, [&](const QString& t) { out << t; });
}

void readDisc(QDataStream& in, DvdDisc& d)
{
    auto int32 = [&](int& v) {
        qint32 x = 0;
        in >> x;
        v = x;
    };
    int main = 0;
    in >> d.volume >> d.hasFirstPlay >> d.firstPlay;
    int32(main);
    d.mainTitle = main;
    in >> d.pal >> d.frameRate;
    readList(in, d.menus, [&](DvdMenu& m) {
        quint8 type = 0;
        int32(m.titleSet);
        int32(m.pgc);
        in >> type >> m.entry;
        m.type = MenuType(type);
        int32(m.stillTime);
        int32(m.nextPgc);
        int32(m.previousPgc);
        int32(m.upPgc);
        int32(m.forcedButton);
        in >> m.pictureSize >> m.pal;
        readList(in, m.cells, [&](DvdCell& c) {
            in >> c.firstSector >> c.lastSector;
            int32(c.frames);
            int32(c.stillTime);
        });
        for (std::vector<Command>* list : {&m.preCommands, &m.postCommands, &m.cellCommands})
            readList(in, *list, [&](Command& c) { in >> c; });
        readList(in, m.buttons, [&](DvdButton& b) { in >> b.rect >> b.command; });
    });
    readList(in, d.titles, [&](DvdTitle& t) {
        int32(t.titleSet);
        int32(t.titleInSet);
        int32(t.parts);
        int32(t.frames);
    });
    readList(in, d.chapterFrames, [&](int& f) { int32(f); });
    for (std::vector<QString>* list : {&d.audioLanguages, &d.subtitleLanguages, &d.notes})
        readList(in, *list, [&](QString& t) { in >> t; });
}

} // namespace

QByteArray DvdSource::readInHelper(const QString& path)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    QString why;
    const std::unique_ptr<DvdSource> here = openHere(path, &why);
    out << bool(here);
    if (!here) {
        out << why;
        return bytes;
    }
    writeDisc(out, here->m_disc);
    out << here->m_messages;
    for (const DvdMenu& m : here->m_disc.menus) {
        for (const DvdCell& c : m.cells)
            out << here->readSectorsHere(m.titleSet, c.firstSector, c.lastSector);
    }
    return bytes;
}

QString DvdSource::helperPath()
{
    const QString set = qEnvironmentVariable("VAZO_DVDREAD");
    if (!set.isEmpty())
        return set;
    // Beside the program in a build folder (the test and benchmark programs sit one or two folders
    // below it), or in the program's own folder of helpers when installed.
    const QString here = QCoreApplication::applicationDirPath();
    for (const char* place : {"/", "/../", "/../../", "/../libexec/vazovevoz/"}) {
        const QString candidate = QDir::cleanPath(here + QLatin1String(place) + QLatin1String(kHelperName));
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return {};
}

// libdvdread reads a damaged disc's tables without checking all they claim, and can crash on them. So
// it runs in a helper process of its own, which reads the tables and the menus' sectors and hands them
// over on its standard output; a crash there costs the import, never the program. (A fork of this
// process would do without a helper, but a fork of a program with threads may hang on a lock another
// thread held.)
std::unique_ptr<DvdSource> DvdSource::open(const QString& path, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    const QString helper = helperPath();
    if (helper.isEmpty())
        return fail(QStringLiteral("the DVD reader %1 is not installed beside the program").arg(QLatin1String(kHelperName)));
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(helper, {QFileInfo(path).absoluteFilePath()});
    if (!process.waitForStarted(-1))
        return fail(QStringLiteral("the DVD reader %1 cannot be started: %2").arg(helper, process.errorString()));
    QByteArray bytes;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(1000);
        bytes += process.readAllStandardOutput();
    }
    bytes += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit)
        return fail(QStringLiteral("libdvdread stopped on the tables of %1: they are damaged").arg(path));
    if (process.exitCode() != 0)
        return fail(QStringLiteral("the tables of %1 could not be read").arg(path));
    QDataStream in(bytes);
    bool opened = false;
    in >> opened;
    if (!opened) {
        QString why;
        in >> why;
        return fail(why.isEmpty() ? QStringLiteral("the tables of %1 could not be read").arg(path) : why);
    }
    std::unique_ptr<DvdSource> source(new DvdSource);
    readDisc(in, source->m_disc);
    in >> source->m_messages;
    for (const DvdMenu& m : source->m_disc.menus) {
        for (const DvdCell& c : m.cells) {
            QByteArray sectors;
            in >> sectors;
            source->m_sectors[{m.titleSet, c.firstSector, c.lastSector}] = sectors;
        }
    }
    if (in.status() != QDataStream::Ok)
        return fail(QStringLiteral("the tables of %1 could not be read").arg(path));
    return source;
}

QByteArray DvdSource::menuSectors(int titleSet, uint32_t first, uint32_t last) const
{
    const auto it = m_sectors.find({titleSet, first, last});
    return it == m_sectors.end() ? QByteArray() : it->second;
}

} // namespace dvdimport
