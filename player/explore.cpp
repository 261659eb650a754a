#include "player/explore.h"

#include <QSet>

#include <algorithm>
#include <deque>

#include "document/menulinks.h"
#include "player/playermodel.h"

namespace {

class Explorer
{
public:
    explicit Explorer(const MenuProject& project)
        : m_project(project), m_model(project), m_reached(project.pages.size(), false)
    {
    }

    std::vector<bool> run()
    {
        for (const int index : menuEntryPages(m_project))
            reach(index);
        while (!m_queue.empty()) {
            const int index = m_queue.front();
            m_queue.pop_front();
            playPage(index);
        }
        return std::move(m_reached);
    }

private:
    void reach(int index)
    {
        if (index >= 0 && !m_reached[size_t(index)]) {
            m_reached[size_t(index)] = true;
            m_queue.push_back(index);
        }
    }

    // Whatever the last input started is let run: messages are closed (the rest of the action list
    // runs then), and a viewer outside the menu presses "Menu button".
    void settle()
    {
        for (int guard = 0; m_model.messageShown() && guard < 10000; ++guard)
            m_model.closeMessage();
        reach(m_model.pageIndex());
        if (m_model.outsideMenu() && m_model.menuButton())
            reach(m_model.pageIndex());
    }

    void restart(int index, qint64 frames)
    {
        m_model.start(index);
        m_model.advanceFrames(frames);
    }

    void playPage(int index)
    {
        const Page& page = *m_project.pages[size_t(index)];
        // Frames from the page's first: the ends of its range and of its prohibit window are enough,
        // since the window is one run of frames.
        QSet<qint64> offsets{0};
        if (page.backgroundIsVideo) {
            const qint64 first = page.firstFrame, span = std::max(page.firstFrame, page.lastFrame) - first;
            for (const qint64 frame : {qint64(page.lastFrame), qint64(page.prohibitSelectionBefore),
                                       qint64(page.prohibitSelectionAfter)})
                if (frame - first >= 0 && frame - first <= span)
                    offsets.insert(frame - first);
        }
        for (const qint64 offset : std::as_const(offsets)) {
            // Enter on what the page starts with highlighted (or the skip of a transition page).
            restart(index, offset);
            m_model.key(PlayerKey::Enter);
            settle();
            // A click on each selection's area.
            for (int s = 0; s < int(page.selections.size()); ++s) {
                restart(index, offset);
                const QRect r = m_model.selectionRect(s);
                if (!r.isEmpty() && m_model.click(r.center()) != PlayerModel::ClickResult::Ignored)
                    settle();
            }
            pressKeys(index, offset);
        }
        // The end, by time and by a skip.
        m_model.start(index);
        if (m_model.runToEnd())
            settle();
        m_model.start(index);
        if (m_model.skipTransition())
            settle();
    }

    // The arrow keys from the page's start, breadth first over the highlights they lead to, and Enter
    // on each highlight found.
    void pressKeys(int index, qint64 offset)
    {
        std::vector<std::vector<PlayerKey>> paths{{}};
        QSet<int> seen;
        restart(index, offset);
        seen.insert(m_model.highlight());
        for (size_t next = 0; next < paths.size(); ++next) {
            for (const PlayerKey k : {PlayerKey::Left, PlayerKey::Right, PlayerKey::Up, PlayerKey::Down}) {
                std::vector<PlayerKey> path = paths[next];
                path.push_back(k);
                restart(index, offset);
                for (const PlayerKey step : path)
                    m_model.key(step);
                if (seen.contains(m_model.highlight()))
                    continue;
                seen.insert(m_model.highlight());
                paths.push_back(path);
                m_model.key(PlayerKey::Enter);
                settle();
            }
        }
    }

    const MenuProject& m_project;
    PlayerModel m_model;
    std::vector<bool> m_reached;
    std::deque<int> m_queue;
};

} // namespace

std::vector<bool> pagesReachedByPlaying(const MenuProject& project)
{
    return Explorer(project).run();
}
