// Any bytes as a menu file: reading must end with messages, never a crash or a hang. And whatever was
// read, once written, must settle: the reader trims blanks and control characters at the ends of
// lines, so a value that ends a line may lose them on its first round trip (a documented
// normalisation), but a file that has been through one round trip must come back byte for byte.
// The player model then walks whatever was read: clicks, keys and time chosen from the input's bytes,
// bounded in number; it must never crash or hang, and the walkthrough recorded on the way must replay
// on a fresh model without a difference.
#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "document/projectloader.h"
#include "document/projectwriter.h"
#include "player/walkrecorder.h"
#include "player/walkreplay.h"

namespace {

// A small generator seeded from the input, so that every input has its own walk and a crash
// reproduces from the input alone.
class Walker
{
public:
    explicit Walker(const QByteArray& bytes)
    {
        for (char c : bytes)
            m_state = (m_state ^ quint8(c)) * 0x100000001b3ull;
    }
    quint64 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }

private:
    quint64 m_state = 0xcbf29ce484222325ull;
};

void walkThePlayer(const MenuProject& project, const QByteArray& bytes)
{
    Walker w(bytes);
    PlayerModel model(project);
    Walkthrough walk;
    {
        WalkRecorder recorder(model);
        model.startAtStartPage();
        for (int step = 0; step < 400; ++step) {
            const Page* page = model.page();
            const int selections = page ? int(page->selections.size()) : 0;
            const int pick = selections ? w.below(selections) : -1;
            switch (w.below(12)) {
            case 0: model.advanceFrames(w.below(300)); break;
            case 1: model.advanceTime(w.below(5000)); break;
            case 2: model.click(pick >= 0 ? model.selectionRect(pick).center() : QPoint()); break;
            case 3: model.click(QPoint(w.below(1000) - 100, w.below(800) - 100)); break;
            case 4: model.key(PlayerKey(w.below(5))); break;
            case 5: model.pointerMoved(pick >= 0 ? model.selectionRect(pick).center() : QPoint()); break;
            case 6: model.closeMessage(); break;
            case 7: model.menuButton(); break;
            case 8: model.skipTransition(); break;
            case 9: model.runToEnd(); break;
            case 10:
                // By number, as a walkthrough names pages: the first page of that number.
                if (!project.pages.empty())
                    model.start(findPageIndex(project, project.pages[size_t(w.below(int(project.pages.size())))]->number));
                break;
            default: model.setFrameRate(w.below(4) ? 25.0 : w.below(1000) / 7.0); break;
            }
            (void)model.statusText();
        }
        walk = recorder.walkthrough();
    }
    // The text form reads back to the same steps, and the steps replay as they were recorded.
    Walkthrough read;
    QString error;
    if (!parseWalkthrough(formatWalkthrough(walk), read, &error) || read.steps.size() != walk.steps.size() ||
        !std::equal(read.steps.begin(), read.steps.end(), walk.steps.begin())) {
        std::fprintf(stderr, "a recorded walkthrough does not read back: %s\n%s", qPrintable(error),
                     qPrintable(formatWalkthrough(walk)));
        std::abort();
    }
    if (const std::optional<WalkFailure> failure = replayWalkthrough(project, read)) {
        std::fprintf(stderr, "a recorded walkthrough does not replay: %s\n%s", qPrintable(failure->sentence()),
                     qPrintable(formatWalkthrough(walk)));
        std::abort();
    }
}

std::optional<QByteArray> roundTrip(const QByteArray& bytes, bool mustReadCompletely)
{
    MenuProject project;
    const LoadReport report = LoadProjectFromBytes(bytes, QStringLiteral("/fuzz/menu.ini"), project, {});
    if (!mustReadCompletely)
        walkThePlayer(project, bytes);
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
