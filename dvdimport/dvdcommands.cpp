#include "dvdimport/dvdcommands.h"

#include <QStringList>

namespace dvdimport {

int dvdTimeFrames(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte)
{
    auto bcd = [](uint8_t v) { return (v >> 4) * 10 + (v & 0x0f); };
    const int rate = (frameByte >> 6) == 1 ? 25 : 30;
    return ((bcd(hour) * 60 + bcd(minute)) * 60 + bcd(second)) * rate + bcd(frameByte & 0x3f);
}

namespace {

// `count` bits of the command whose highest is bit `start`, bit 63 being the top bit of the first byte
// (the way DVD documents number them).
uint32_t bits(const Command& c, int start, int count)
{
    uint64_t all = 0;
    for (uint8_t b : c)
        all = (all << 8) | b;
    return uint32_t((all >> (start - count + 1)) & ((uint64_t(1) << count) - 1));
}

QString registerName(uint32_t reg)
{
    return reg & 0x80 ? QStringLiteral("system register %1").arg(reg & 0x1f)
                      : QStringLiteral("general register %1").arg(reg & 0x0f);
}

// The value of a register where the command runs, when it is fixed there.
std::optional<uint16_t> registerValue(uint32_t reg, const CommandContext& context)
{
    if (reg & 0x80 || reg > 15)
        return std::nullopt; // the player's own state (language, title, ...) is never fixed
    return context.registers[reg];
}

std::optional<bool> compare(uint32_t op, uint16_t a, uint16_t b)
{
    switch (op) {
    case 1: return (a & b) != 0;
    case 2: return a == b;
    case 3: return a != b;
    case 4: return a >= b;
    case 5: return a > b;
    case 6: return a <= b;
    case 7: return a < b;
    default: return std::nullopt;
    }
}

class Translator
{
public:
    Translator(const Command& c, const CommandContext& ctx) : m_c(c), m_ctx(ctx) {}

    CommandTranslation run()
    {
        switch (bits(m_c, 63, 3)) {
        case 0: special(); break;
        case 1:
            if (!condition(ifVersion1()))
                break;
            if (bits(m_c, 60, 1))
                jump();
            else
                link();
            break;
        case 2:
            if (!condition(ifVersion2()))
                break;
            systemSet();
            link();
            break;
        case 3:
            if (!condition(ifVersion3()))
                break;
            generalSet();
            link();
            break;
        default:
            untranslated(QStringLiteral("a computation with registers (%1)").arg(commandText(m_c)));
        }
        return std::move(m_out);
    }

private:
    struct Comparison
    {
        uint32_t op = 0;
        uint32_t reg = 0;
        std::optional<uint16_t> left;
        std::optional<uint16_t> right;
        QString rightName;
    };

    // A comparison of the register named by `regBits` bits from `regStart` with a constant (16 bits from
    // `immStart`) or with the register in the byte from `otherStart`.
    Comparison comparison(int regStart, int regBits, bool immediate, int immStart, int otherStart) const
    {
        Comparison c;
        c.op = bits(m_c, 54, 3);
        c.reg = bits(m_c, regStart, regBits);
        c.left = registerValue(c.reg, m_ctx);
        if (immediate)
            c.right = uint16_t(bits(m_c, immStart, 16));
        else {
            c.right = registerValue(bits(m_c, otherStart, 8), m_ctx);
            c.rightName = registerName(bits(m_c, otherStart, 8));
        }
        return c;
    }
    Comparison ifVersion1() const { return comparison(39, 8, bits(m_c, 55, 1), 31, 23); }
    Comparison ifVersion2() const { return comparison(15, 8, false, 0, 7); }
    Comparison ifVersion3() const { return comparison(43, 4, bits(m_c, 55, 1), 15, 7); }

    // Whether the rest of the command runs: always without a comparison; with one, when its registers
    // are fixed and it holds. An unknown outcome is reported and stops the translation.
    bool condition(const Comparison& c)
    {
        if (c.op == 0)
            return true;
        if (!c.left || !c.right) {
            untranslated(QStringLiteral("a condition on %1").arg(!c.left ? registerName(c.reg) : c.rightName));
            return false;
        }
        const std::optional<bool> holds = compare(c.op, *c.left, *c.right);
        return holds.value_or(false);
    }

    void untranslated(const QString& what)
    {
        if (!m_out.untranslated.isEmpty())
            m_out.untranslated += QStringLiteral(", ");
        m_out.untranslated += what;
    }

    void add(CommandEffect e) { m_out.effects.push_back(e); }
    void jumpMenu(int titleSet, int pgc)
    {
        CommandEffect e;
        e.kind = CommandEffect::Kind::JumpMenu;
        e.titleSet = titleSet;
        e.pgc = pgc;
        add(e);
    }
    void self() { jumpMenu(m_ctx.titleSet, m_ctx.pgc); }

    void playTitle(int title, int part)
    {
        if (title < 1 || title > int(m_ctx.titles.size())) {
            untranslated(QStringLiteral("a jump to title %1, which the disc does not have").arg(title));
            return;
        }
        CommandEffect e;
        e.kind = CommandEffect::Kind::PlayTitle;
        e.title = title;
        e.part = part;
        add(e);
    }

    // The disc's number of a title set's title.
    int discTitle(int titleSet, int titleInSet) const
    {
        for (size_t i = 0; i < m_ctx.titles.size(); ++i) {
            if (m_ctx.titles[i] == std::make_pair(titleSet, titleInSet))
                return int(i) + 1;
        }
        return 0;
    }

    // The entry menu of a type in a domain, by its menu id as the jumps give it.
    void entryMenu(int titleSet, uint32_t menuId)
    {
        if (titleSet >= 0 && titleSet < int(m_ctx.menuTypes.size())) {
            const std::vector<MenuType>& types = m_ctx.menuTypes[size_t(titleSet)];
            for (size_t i = 0; i < types.size(); ++i) {
                if (uint32_t(types[i]) == menuId && types[i] != MenuType::None) {
                    jumpMenu(titleSet, int(i) + 1);
                    return;
                }
            }
        }
        untranslated(QStringLiteral("a jump to menu %1 of %2, which the disc does not have")
                         .arg(menuId)
                         .arg(titleSet == 0 ? QStringLiteral("the video manager")
                                            : QStringLiteral("title set %1").arg(titleSet)));
    }

    void pgcOf(int titleSet, int pgc, const QString& what)
    {
        if (titleSet >= 0 && titleSet < int(m_ctx.menuTypes.size()) && pgc >= 1
            && pgc <= int(m_ctx.menuTypes[size_t(titleSet)].size()))
            jumpMenu(titleSet, pgc);
        else
            untranslated(QStringLiteral("%1 to menu %2, which the disc does not have").arg(what).arg(pgc));
    }

    void special()
    {
        const Comparison c = ifVersion1();
        if (!condition(c))
            return;
        switch (bits(m_c, 51, 4)) {
        case 0: break; // does nothing
        case 1: untranslated(QStringLiteral("a goto to command %1").arg(bits(m_c, 7, 8))); break;
        case 2: untranslated(QStringLiteral("a break out of the menu's commands")); break;
        default: untranslated(QStringLiteral("a change of the parental level")); break;
        }
    }

    void link()
    {
        const uint32_t op = bits(m_c, 51, 4);
        switch (op) {
        case 0: break; // no link
        case 1: {
            const uint32_t sub = bits(m_c, 4, 5);
            switch (sub) {
            case 0: break;
            case 1: case 2: case 3: case 5: case 6: case 7: case 9: self(); break;
            case 10: pgcOf(m_ctx.titleSet, m_ctx.nextPgc, QStringLiteral("a link to the next menu")); break;
            case 11: pgcOf(m_ctx.titleSet, m_ctx.previousPgc, QStringLiteral("a link to the previous menu")); break;
            case 12: pgcOf(m_ctx.titleSet, m_ctx.upPgc, QStringLiteral("a link to the menu above")); break;
            case 13: untranslated(QStringLiteral("a link to the menu's end commands")); break;
            case 16: add({CommandEffect::Kind::Resume}); break;
            default: untranslated(QStringLiteral("an unknown link (%1)").arg(sub)); break;
            }
            break;
        }
        case 4: pgcOf(m_ctx.titleSet, int(bits(m_c, 14, 15)), QStringLiteral("a link")); break;
        case 5: untranslated(QStringLiteral("a link to part %1 of the title playing").arg(bits(m_c, 9, 10))); break;
        case 6: case 7: self(); break;
        default: untranslated(QStringLiteral("an unknown link (%1)").arg(op)); break;
        }
    }

    void jump()
    {
        switch (bits(m_c, 51, 4)) {
        case 1: untranslated(QStringLiteral("the end of the playback")); break;
        case 2: playTitle(int(bits(m_c, 22, 7)), 0); break;
        case 3: vtsTitle(int(bits(m_c, 22, 7)), 0); break;
        case 5: vtsTitle(int(bits(m_c, 22, 7)), int(bits(m_c, 41, 10))); break;
        case 6:
            switch (bits(m_c, 23, 2)) {
            case 0: untranslated(QStringLiteral("a jump to the first-play program")); break;
            case 1: entryMenu(0, bits(m_c, 19, 4)); break;
            case 2: {
                const int vts = int(bits(m_c, 30, 7));
                entryMenu(vts == 0 ? m_ctx.titleSet : vts, bits(m_c, 19, 4));
                break;
            }
            default: pgcOf(0, int(bits(m_c, 46, 15)), QStringLiteral("a jump")); break;
            }
            break;
        case 8:
            switch (bits(m_c, 23, 2)) {
            case 0: untranslated(QStringLiteral("a call of the first-play program")); break;
            case 1: entryMenu(0, bits(m_c, 19, 4)); break;
            case 2: entryMenu(m_ctx.titleSet, bits(m_c, 19, 4)); break;
            default: pgcOf(0, int(bits(m_c, 46, 15)), QStringLiteral("a call")); break;
            }
            break;
        default: untranslated(QStringLiteral("an unknown jump (%1)").arg(commandText(m_c))); break;
        }
    }

    void vtsTitle(int titleInSet, int part)
    {
        const int title = discTitle(m_ctx.titleSet, titleInSet);
        if (title == 0) {
            untranslated(QStringLiteral("a jump to title %1 of title set %2, which the disc does not have")
                             .arg(titleInSet)
                             .arg(m_ctx.titleSet));
            return;
        }
        playTitle(title, part);
    }

    void systemSet()
    {
        switch (bits(m_c, 59, 4)) {
        case 1: {
            const bool direct = bits(m_c, 60, 1);
            if (bits(m_c, 39, 1)) {
                if (direct)
                    add({CommandEffect::Kind::Audio, 0, 0, 0, 0, int(bits(m_c, 38, 7))});
                else
                    untranslated(QStringLiteral("an audio stream taken from %1").arg(registerName(bits(m_c, 35, 4))));
            }
            if (bits(m_c, 31, 1)) {
                if (direct) {
                    const uint32_t v = bits(m_c, 30, 7);
                    add({CommandEffect::Kind::Subpicture, 0, 0, 0, 0, v & 0x40 ? int(v & 0x3f) : -1});
                } else
                    untranslated(QStringLiteral("a subpicture stream taken from %1").arg(registerName(bits(m_c, 27, 4))));
            }
            if (bits(m_c, 23, 1))
                untranslated(QStringLiteral("a change of the camera angle"));
            break;
        }
        case 6: break; // lights a button: nothing the player's pages need
        case 2: untranslated(QStringLiteral("a navigation timer")); break;
        case 3: untranslated(QStringLiteral("a setting of general register %1").arg(bits(m_c, 19, 4))); break;
        case 4: untranslated(QStringLiteral("a setting of the karaoke mixing")); break;
        default: untranslated(QStringLiteral("an unknown system setting (%1)").arg(commandText(m_c))); break;
        }
    }

    void generalSet()
    {
        if (bits(m_c, 59, 4) != 0)
            untranslated(QStringLiteral("a computation with %1").arg(registerName(bits(m_c, 35, 4))));
    }

    const Command& m_c;
    const CommandContext& m_ctx;
    CommandTranslation m_out;
};

} // namespace

CommandTranslation translateCommand(const Command& command, const CommandContext& context)
{
    return Translator(command, context).run();
}

std::array<std::optional<uint16_t>, 16> fixedRegisters(const std::vector<Command>& commands)
{
    std::array<std::optional<uint16_t>, 16> regs{};
    for (const Command& c : commands) {
        const uint32_t type = bits(c, 63, 3);
        if (type == 2 && bits(c, 59, 4) == 6 && bits(c, 54, 3) == 0 && bits(c, 51, 4) == 0)
            continue; // lights a button: registers stay as they are
        if (type != 3 || bits(c, 54, 3) != 0 || bits(c, 51, 4) != 0)
            break; // a condition, a jump or something else: what follows is not followed
        const uint32_t op = bits(c, 59, 4);
        const uint32_t reg = bits(c, 35, 4);
        if (op == 1 && bits(c, 60, 1))
            regs[reg] = uint16_t(bits(c, 31, 16));
        else if (op != 0)
            regs[reg].reset();
    }
    return regs;
}

int buttonSetByCommands(const std::vector<Command>& commands)
{
    int button = 0;
    for (const Command& c : commands) {
        const uint32_t type = bits(c, 63, 3);
        if (type == 2 && bits(c, 59, 4) == 6 && bits(c, 54, 3) == 0) {
            if (bits(c, 60, 1))
                button = int(bits(c, 31, 16) >> 10);
            else
                button = 0; // from a register: not fixed
        }
        if (bits(c, 51, 4) != 0 || (type == 1))
            break; // a link or a jump leaves the menu's commands
    }
    return button;
}

QString commandText(const Command& command)
{
    QStringList hex;
    for (uint8_t b : command)
        hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return hex.join(QLatin1Char(' '));
}

} // namespace dvdimport
