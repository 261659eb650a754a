// Any eight bytes as a DVD button command, with the rest of the input shaping the disc around it (how
// many menus and titles, which register the menu's pre-command fixes, where the command sits): the
// translation must never crash, every jump it makes must lead to a menu or title that exists, and the
// project made from it must always be one the writer saves, whatever could not be translated.
#include <cstdint>
#include <cstdlib>

#include "document/projectwriter.h"
#include "dvdimport/dvdcommands.h"
#include "dvdimport/dvdproject.h"

using namespace dvdimport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 20)
        return 0;
    Command button{};
    Command pre{};
    Command post{};
    std::copy(data, data + 8, button.begin());
    std::copy(data + 8, data + 16, pre.begin());
    const int sets = data[16] % 3;          // title sets beside the video manager
    const int menusPerDomain = 1 + data[17] % 4;
    const int titles = data[18] % 4;
    const int where = data[19];
    if (size >= 28)
        std::copy(data + 20, data + 28, post.begin());

    DvdDisc disc;
    disc.volume = QStringLiteral("FUZZ");
    for (int ts = 0; ts <= sets; ++ts) {
        for (int m = 1; m <= menusPerDomain; ++m) {
            DvdMenu menu;
            menu.titleSet = ts;
            menu.pgc = m;
            menu.entry = m == 1;
            menu.type = m == 1 ? (ts == 0 ? MenuType::Title : MenuType::Root) : MenuType(1 + (m + where) % 7);
            menu.nextPgc = (m + where) % (menusPerDomain + 2);
            menu.previousPgc = (m + where / 7) % (menusPerDomain + 2);
            menu.upPgc = where % (menusPerDomain + 2);
            menu.preCommands = {pre};
            menu.postCommands = {post};
            menu.buttons.push_back({QRect(10, 10, 50, 20), button});
            menu.pictureSize = QSize(720, 576);
            disc.menus.push_back(menu);
        }
    }
    for (int t = 1; t <= titles; ++t)
        disc.titles.push_back({1 + t % std::max(1, sets), t, 3, 1000});
    disc.mainTitle = titles > 0 ? 1 : 0;
    disc.chapterFrames = {0, 100, 200};
    disc.audioLanguages = {QStringLiteral("en"), QStringLiteral("xx")};
    disc.subtitleLanguages = {QStringLiteral("de")};

    for (const DvdMenu& menu : disc.menus) {
        CommandContext context;
        context.titleSet = menu.titleSet;
        context.pgc = menu.pgc;
        context.nextPgc = menu.nextPgc;
        context.menuTypes.assign(size_t(sets) + 1, std::vector<MenuType>(size_t(menusPerDomain), MenuType::None));
        for (const DvdMenu& m : disc.menus)
            context.menuTypes[size_t(m.titleSet)][size_t(m.pgc - 1)] = m.type;
        for (const DvdTitle& t : disc.titles)
            context.titles.emplace_back(t.titleSet, t.titleInSet);
        context.registers = fixedRegisters(menu.preCommands);
        for (const CommandEffect& e : translateCommand(button, context).effects) {
            if (e.kind == CommandEffect::Kind::JumpMenu
                && (e.titleSet < 0 || e.titleSet > sets || e.pgc < 1 || e.pgc > menusPerDomain))
                std::abort();
            if (e.kind == CommandEffect::Kind::PlayTitle && (e.title < 1 || e.title > titles))
                std::abort();
        }
    }

    std::vector<int> frames(disc.menus.size(), where % 3);
    MenuProject project;
    ImportReport report;
    buildProject(disc, planMenus(disc, frames, QStringLiteral("menu")), ProjectNames{}, project, report);
    // A disc without titles leaves the movie file unset, which the save rightly refuses.
    if (titles > 0 && !BuildMenuFile(project, {}))
        std::abort();
    return 0;
}
