#include "player/playermodel.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "document/actiontypes.h"
#include "document/areatext.h"
#include "document/menulinks.h"

namespace {

// A directory of the movie data (file form) and a file name, as the player would put them together.
QString joinFileForm(QString dir, const QString& name)
{
    while (dir.endsWith(QLatin1Char('\\')))
        dir.chop(1);
    if (dir.isEmpty() || dir == QLatin1String("."))
        return name;
    return dir + QLatin1Char('\\') + name;
}

bool sameNumber(const QString& a, const QString& b)
{
    bool okA = false, okB = false;
    const int x = a.trimmed().toInt(&okA);
    const int y = b.trimmed().toInt(&okB);
    return okA && okB ? x == y : a.trimmed() == b.trimmed();
}

const QRect kNoRect;

} // namespace

PlayerMessage parsePlayerMessage(const QString& parameter)
{
    PlayerMessage m;
    m.text = parameter;
    QString body = parameter;
    static const QRegularExpression sized(QStringLiteral("^(\\d+) (.*)$"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = sized.match(parameter);
    if (match.hasMatch()) {
        bool ok = false;
        const int size = match.captured(1).toInt(&ok);
        if (ok && size > 0) {
            m.fontSize = size;
            body = match.captured(2);
        }
    }
    m.lines = body.split(QLatin1Char('|'));
    return m;
}

PlayerModel::PlayerModel(const MenuProject& project) : m_project(project) {}

const Page* PlayerModel::page() const
{
    if (m_pageIndex < 0 || m_pageIndex >= int(m_project.pages.size()))
        return nullptr;
    return m_project.pages[size_t(m_pageIndex)].get();
}

bool PlayerModel::start(int pageIndex)
{
    m_outside = false;
    m_messageShown = false;
    m_pendingSelection = -1;
    m_language = 0;
    m_subtitle = 0;
    m_notice.clear();
    if (pageIndex < 0 || pageIndex >= int(m_project.pages.size())) {
        m_pageIndex = -1;
        m_highlight = -1;
        m_rects.clear();
        m_tableOrder.clear();
        m_lineStarts.assign(1, 0);
        m_linePos.clear();
        return false;
    }
    activate(pageIndex);
    emitEvent(PlayerEvent::Started, pageIndex);
    return true;
}

bool PlayerModel::startAtStartPage()
{
    int number = 0;
    const int index = readPageNumber(m_project.movieData.startPage, number) ? findPageIndex(m_project, number) : -1;
    if (index >= 0)
        return start(index);
    const bool started = start(m_project.pages.empty() ? -1 : 0);
    m_notice = QStringLiteral("StartPage \"%1\" names no page").arg(m_project.movieData.startPage);
    return started;
}

void PlayerModel::activate(int pageIndex)
{
    m_pageIndex = pageIndex;
    ++m_activations;
    const Page& p = *m_project.pages[size_t(pageIndex)];
    m_ended = false;
    m_elapsedMs = 0;
    m_timeCarry = 0;
    if (p.backgroundIsVideo) {
        m_first = p.firstFrame;
        m_last = std::max(p.firstFrame, p.lastFrame);
    } else {
        m_first = m_last = 0;
    }
    m_frame = m_first;
    m_rects.clear();
    m_rects.reserve(p.selections.size());
    for (const auto& s : p.selections)
        m_rects.push_back(clickableArea(s->area));
    buildLines();
    const int n = int(p.selections.size());
    m_highlight = p.selectionAvailable && p.defaultSelection >= 1 && p.defaultSelection <= n ? p.defaultSelection - 1 : -1;
}

void PlayerModel::buildLines()
{
    // The player's table for the remote control. Row mode: take the topmost selection not yet placed,
    // gather every unplaced one whose vertical centre lies within its top and bottom, order them from
    // left to right: that is a row; repeat. Column mode swaps the axes. Ties go by list order.
    // Selections without a readable area have no place in the table.
    //
    // Done with two sorted lists instead of scanning the unplaced selections for every line, so that a
    // page with thousands of selections (which the file allows) costs n log n, not n squared.
    const bool columns = page()->columnOrdering;
    const size_t n = m_rects.size();
    m_tableOrder.clear();
    m_lineStarts.assign(1, 0);
    m_linePos.assign(n, {-1, -1});
    m_byLead.clear();
    for (size_t i = 0; i < n; ++i) {
        const QRect& r = m_rects[i];
        if (r.isEmpty())
            continue;
        const int lead = columns ? r.left() : r.top();
        const int extent = columns ? r.width() : r.height();
        m_byLead.push_back(TableItem{lead, extent, 2 * lead + extent, int(i)});
    }
    m_byCentre = m_byLead;
    std::sort(m_byLead.begin(), m_byLead.end(), [](const TableItem& a, const TableItem& b) {
        return a.lead != b.lead ? a.lead < b.lead : a.index < b.index;
    });
    std::sort(m_byCentre.begin(), m_byCentre.end(), [](const TableItem& a, const TableItem& b) {
        return a.centre2 != b.centre2 ? a.centre2 < b.centre2 : a.index < b.index;
    });
    // m_nextOpen[k]: a step towards the first unplaced position at or after k in m_byCentre (path halving).
    const int count = int(m_byCentre.size());
    m_nextOpen.resize(size_t(count) + 1);
    for (int k = 0; k <= count; ++k)
        m_nextOpen[size_t(k)] = k;
    auto firstOpen = [&](int k) {
        while (m_nextOpen[size_t(k)] != k) {
            m_nextOpen[size_t(k)] = m_nextOpen[size_t(m_nextOpen[size_t(k)])];
            k = m_nextOpen[size_t(k)];
        }
        return k;
    };
    for (const TableItem& first : m_byLead) {
        if (m_linePos[size_t(first.index)].first >= 0)
            continue; // already placed
        const int low = 2 * first.lead, high = low + 2 * first.extent;
        const auto from = std::lower_bound(m_byCentre.begin(), m_byCentre.end(), low,
                                           [](const TableItem& i, int value) { return i.centre2 < value; });
        const size_t lineStart = m_tableOrder.size();
        const int lineIndex = int(m_lineStarts.size()) - 1;
        for (int k = firstOpen(int(from - m_byCentre.begin())); k < count && m_byCentre[size_t(k)].centre2 <= high;
             k = firstOpen(k + 1)) {
            const TableItem& item = m_byCentre[size_t(k)];
            m_tableOrder.push_back(item.index);
            m_linePos[size_t(item.index)].first = lineIndex;
            m_nextOpen[size_t(k)] = k + 1;
        }
        // The line from left to right (top to bottom in column mode); ties keep the list order.
        auto acrossOf = [&](int s) {
            const QRect& r = m_rects[size_t(s)];
            return columns ? r.top() : r.left();
        };
        std::sort(m_tableOrder.begin() + qsizetype(lineStart), m_tableOrder.end(),
                  [&](int a, int b) { return acrossOf(a) != acrossOf(b) ? acrossOf(a) < acrossOf(b) : a < b; });
        for (size_t k = lineStart; k < m_tableOrder.size(); ++k)
            m_linePos[size_t(m_tableOrder[k])].second = int(k - lineStart);
        m_lineStarts.push_back(int(m_tableOrder.size()));
    }
}

const QRect& PlayerModel::selectionRect(int index) const
{
    return index >= 0 && index < int(m_rects.size()) ? m_rects[size_t(index)] : kNoRect;
}

bool PlayerModel::selectionsClickable() const
{
    const Page* p = page();
    if (!p || m_outside || m_messageShown || !p->selectionAvailable)
        return false;
    if (p->backgroundIsVideo) {
        if (p->prohibitSelectionBefore > 0 && m_frame < p->prohibitSelectionBefore)
            return false;
        if (p->prohibitSelectionAfter > 0 && m_frame > p->prohibitSelectionAfter)
            return false;
    }
    return true;
}

bool PlayerModel::isTransitionPage() const
{
    const Page* p = page();
    return p && ::isTransitionPage(*p);
}

int PlayerModel::selectionAt(QPoint position) const
{
    for (size_t i = 0; i < m_rects.size(); ++i)
        if (m_rects[i].contains(position))
            return int(i);
    return -1;
}

void PlayerModel::setFrameRate(double framesPerSecond)
{
    // Menu videos run at a few dozen frames a second; the bounds keep absurd headers harmless.
    if (framesPerSecond > 0 && std::isfinite(framesPerSecond))
        m_fps = std::clamp(framesPerSecond, 0.01, 1000.0);
}

bool PlayerModel::canEnd() const
{
    const Page* p = page();
    if (!p || m_outside || m_messageShown || m_ended)
        return false;
    return pageEndsInTime(*p);
}

void PlayerModel::advanceFrame()
{
    advanceFrames(1);
}

void PlayerModel::advanceFrames(qint64 count)
{
    const Page* p = page();
    if (!p || count <= 0 || m_outside || m_messageShown || m_ended || !p->backgroundIsVideo)
        return;
    while (count > 0) {
        const qint64 room = m_last - m_frame;
        if (count <= room) {
            m_frame += count;
            return;
        }
        count -= room + 1;
        if (p->videoLoop) {
            m_frame = m_first;
            count %= m_last - m_first + 1;
            continue;
        }
        // What is left of the time belongs to the page that comes next; it starts at its first frame.
        m_frame = m_last;
        const int from = m_pageIndex;
        if (reachEnd())
            emitEvent(PlayerEvent::PageEnd, from);
        return;
    }
}

void PlayerModel::advanceTime(qint64 milliseconds)
{
    const Page* p = page();
    if (!p || milliseconds <= 0 || m_outside || m_messageShown || m_ended)
        return;
    milliseconds = std::min<qint64>(milliseconds, qint64(1) << 40);
    if (p->backgroundIsVideo) {
        m_timeCarry += double(milliseconds) * m_fps / 1000.0;
        const double whole = std::min(std::floor(m_timeCarry), 1e15);
        m_timeCarry -= whole;
        advanceFrames(qint64(whole));
        return;
    }
    const qint64 limit = qint64(p->pictureDuration) * 1000;
    m_elapsedMs = std::min(m_elapsedMs + milliseconds, qint64(1) << 50);
    if (p->pictureDuration > 0 && m_elapsedMs >= limit) {
        m_elapsedMs = limit;
        const int from = m_pageIndex;
        if (reachEnd())
            emitEvent(PlayerEvent::PageEnd, from);
    }
}

bool PlayerModel::runToEnd()
{
    if (!canEnd())
        return false;
    const Page* p = page();
    if (p->backgroundIsVideo) {
        m_frame = m_last;
        advanceFrames(1);
    } else {
        advanceTime(qint64(p->pictureDuration) * 1000 - m_elapsedMs);
    }
    return true;
}

// The page has played to its end: what happens then is the rule the menu check follows too. True when
// something ran.
bool PlayerModel::reachEnd()
{
    const PageEnd end = pageEnd(m_project, m_pageIndex);
    switch (end.kind) {
    case EndKind::EndAction: {
        const quint64 before = m_activations;
        m_pendingSelection = -1;
        const MenuAction& action = *page()->actionAtEnd;
        if (end.link.kind == LinkKind::None) {
            runAction(action);
        } else if (end.link.kind == LinkKind::Page) {
            activate(end.link.pageIndex);
        } else {
            noteFailedJump(end.link, action);
        }
        if (m_activations == before && !m_outside)
            m_ended = true;
        return true;
    }
    case EndKind::JumpAtEnd:
        if (end.link.kind == LinkKind::Page) {
            activate(end.link.pageIndex);
            return true;
        }
        m_notice = QStringLiteral("Jump at end: no page has number %1").arg(end.link.pageNumber);
        break;
    default:
        break;
    }
    m_ended = true;
    return false;
}

void PlayerModel::runActions(int selection, int firstAction)
{
    const Page& p = *page();
    const auto& actions = p.selections[size_t(selection)]->actions;
    const int pageIndex = m_pageIndex;
    for (size_t i = size_t(firstAction); i < actions.size(); ++i) {
        if (!runAction(*actions[i]))
            continue;
        if (m_messageShown && i + 1 < actions.size()) {
            // A message box waits for OK; the rest of the list runs then.
            m_pendingPage = pageIndex;
            m_pendingSelection = selection;
            m_pendingAction = int(i + 1);
        }
        return;
    }
}

bool PlayerModel::runAction(const MenuAction& action)
{
    switch (action.type) {
    case ActJumpToPage:
    case ActRelativeJump: {
        const Link link = resolveJump(m_project, m_pageIndex, action);
        if (link.kind == LinkKind::Page)
            activate(link.pageIndex);
        else
            noteFailedJump(link, action);
        return true;
    }
    case ActPlayMovie:
    case ActPlayFromChapter:
    case ActSpecialFeature:
    case ActReturnToMovie:
        leaveMenu(action);
        return true;
    case ActMessageBox:
        m_message = parsePlayerMessage(action.parameter);
        m_messageShown = true;
        return true;
    case ActChangeLanguage:
    case ActChangeSubtitle: {
        bool ok = false;
        const int n = action.parameter.trimmed().toInt(&ok);
        if (!ok || n < 0) {
            m_notice = QStringLiteral("%1: \"%2\" is not a number").arg(actionDisplayName(action.type), action.parameter);
            return false;
        }
        (action.type == ActChangeLanguage ? m_language : m_subtitle) = n;
        return false;
    }
    default:
        m_notice = QStringLiteral("Action code %1 is unknown to the player").arg(action.type);
        return false;
    }
}

void PlayerModel::noteFailedJump(const Link& link, const MenuAction& action)
{
    // The player stays where it is; the author learns why.
    switch (link.kind) {
    case LinkKind::MissingPage:
        m_notice = QStringLiteral("Jump: no page has number %1").arg(link.pageNumber);
        break;
    case LinkKind::OffList:
        m_notice = QStringLiteral("Relative jump \"%1\": there is no page there in the list").arg(action.parameter.trimmed());
        break;
    default:
        m_notice = QStringLiteral("Jump: \"%1\" is not a page number").arg(action.parameter);
        break;
    }
}

void PlayerModel::leaveMenu(const MenuAction& action)
{
    const MovieData& md = m_project.movieData;
    MovieStart m;
    const QString param = action.parameter.trimmed();
    const QString cdFiles[3] = {md.aviName, md.avi2Name, md.avi3Name};
    switch (action.type) {
    case ActPlayMovie:
        m.kind = MovieStart::Movie;
        m.file = joinFileForm(md.movieDirectory, md.aviName);
        m.description = QStringLiteral("Play movie: %1 from frame 0").arg(m.file);
        break;
    case ActPlayFromChapter: {
        m.kind = MovieStart::Chapter;
        const Chapter* chapter = nullptr;
        for (const auto& c : md.chapters)
            if (sameNumber(c->number, param)) {
                chapter = c.get();
                break;
            }
        if (!chapter) {
            m.description = QStringLiteral("Play from chapter %1, which the movie data does not list").arg(param);
            m_notice = m.description;
            break;
        }
        // Chapter frames count over all CDs; the player finds the CD and the frame within its file.
        qint64 frame = chapter->firstFrame.trimmed().toLongLong();
        const qint64 cdFrames[2] = {md.cd1Frames.trimmed().toLongLong(), md.cd2Frames.trimmed().toLongLong()};
        int cd = 1;
        for (qint64 frames : cdFrames) {
            if (frames <= 0 || frame < frames)
                break;
            frame -= frames;
            ++cd;
        }
        m.cd = cd;
        m.frame = frame;
        m.file = joinFileForm(md.movieDirectory, cdFiles[cd - 1]);
        m.description = QStringLiteral("Play from chapter %1 \"%2\": %3 (CD %4) from frame %5")
                            .arg(param, chapter->name, m.file)
                            .arg(cd)
                            .arg(frame);
        break;
    }
    case ActSpecialFeature: {
        m.kind = MovieStart::Special;
        const SpecialFeature* special = nullptr;
        for (const auto& s : md.specials)
            if (sameNumber(s->number, param)) {
                special = s.get();
                break;
            }
        if (!special) {
            m.description = QStringLiteral("Special feature %1, which the movie data does not list").arg(param);
            m_notice = m.description;
            break;
        }
        bool ok = false;
        const int cd = md.specialsCD.trimmed().toInt(&ok);
        m.cd = ok && cd >= 1 && cd <= 3 ? cd : 1;
        m.file = joinFileForm(md.movieDirectory, special->file);
        m.description = QStringLiteral("Special feature %1 \"%2\": %3 (CD %4)").arg(param, special->title, m.file).arg(m.cd);
        break;
    }
    default:
        m.kind = MovieStart::ReturnToMovie;
        m.description = QStringLiteral("Return to the movie where the menu was called");
        break;
    }
    m_movie = m;
    m_outside = true;
    m_pendingSelection = -1;
}

PlayerModel::ClickResult PlayerModel::click(QPoint position)
{
    m_notice.clear();
    if (!page() || m_outside)
        return ClickResult::Ignored;
    if (m_messageShown) {
        closeMessage();
        return ClickResult::MessageClosed;
    }
    if (isTransitionPage())
        return skipTransition() ? ClickResult::Skipped : ClickResult::Ignored;
    const int s = selectionAt(position);
    return s >= 0 && choose(s) ? ClickResult::Chosen : ClickResult::Ignored;
}

void PlayerModel::pointerMoved(QPoint position)
{
    pointAt(selectionAt(position));
}

bool PlayerModel::pointAt(int selectionIndex)
{
    const Page* p = page();
    if (!p || m_outside || m_messageShown || !p->selectionAvailable || selectionIndex < 0 ||
        selectionIndex >= int(m_rects.size()) || m_rects[size_t(selectionIndex)].isEmpty())
        return false;
    m_highlight = selectionIndex;
    return true;
}

bool PlayerModel::choose(int selectionIndex)
{
    if (selectionIndex < 0 || selectionIndex >= int(m_rects.size()) || !selectionsClickable())
        return false;
    m_notice.clear();
    m_highlight = selectionIndex;
    const int from = m_pageIndex;
    runActions(selectionIndex, 0);
    emitEvent(PlayerEvent::SelectionClick, from, selectionIndex);
    return true;
}

bool PlayerModel::skipTransition()
{
    if (!isTransitionPage() || m_ended || m_outside || m_messageShown)
        return false;
    // Skipping is playing to the end at once: the end then behaves as it always does.
    m_frame = m_last;
    const int from = m_pageIndex;
    reachEnd();
    emitEvent(PlayerEvent::TransitionSkip, from);
    return true;
}

void PlayerModel::closeMessage()
{
    if (!m_messageShown)
        return;
    m_messageShown = false;
    const int from = m_pageIndex;
    const int selection = m_pendingSelection, action = m_pendingAction;
    m_pendingSelection = -1;
    const Page* p = page();
    if (selection >= 0 && m_pendingPage == m_pageIndex && p && selection < int(p->selections.size()) &&
        action < int(p->selections[size_t(selection)]->actions.size()))
        runActions(selection, action);
    emitEvent(PlayerEvent::MessageClosed, from);
}

bool PlayerModel::key(PlayerKey k)
{
    const Page* p = page();
    if (!p || m_outside)
        return false;
    m_notice.clear();
    if (m_messageShown) {
        if (k != PlayerKey::Enter)
            return false;
        closeMessage();
        return true;
    }
    if (k == PlayerKey::Enter) {
        if (isTransitionPage()) {
            if (!m_ended) {
                m_frame = m_last;
                const int from = m_pageIndex;
                reachEnd();
                emitEvent(PlayerEvent::Key, from, -1, k);
                return true;
            }
            return false;
        }
        if (m_highlight < 0 || !selectionsClickable())
            return false;
        const int from = m_pageIndex, chosen = m_highlight;
        runActions(m_highlight, 0);
        emitEvent(PlayerEvent::Key, from, -1, k, chosen);
        return true;
    }
    if (!p->selectionAvailable || m_tableOrder.empty())
        return false;
    const int before = m_highlight;
    moveHighlight(k);
    if (m_highlight == before)
        return false;
    emitEvent(PlayerEvent::Key, m_pageIndex, -1, k, before);
    return true;
}

void PlayerModel::moveHighlight(PlayerKey k)
{
    if (m_highlight < 0 || m_highlight >= int(m_linePos.size()) || m_linePos[size_t(m_highlight)].first < 0) {
        m_highlight = m_tableOrder.front();
        return;
    }
    auto [lineIndex, pos] = m_linePos[size_t(m_highlight)];
    const bool columns = page()->columnOrdering;
    const PlayerKey alongNext = columns ? PlayerKey::Down : PlayerKey::Right;
    const PlayerKey alongPrev = columns ? PlayerKey::Up : PlayerKey::Left;
    const PlayerKey acrossNext = columns ? PlayerKey::Right : PlayerKey::Down;
    const PlayerKey acrossPrev = columns ? PlayerKey::Left : PlayerKey::Up;
    // At the edges the highlight stays; moving to a shorter row (column) lands on its last place.
    if (k == alongNext && pos + 1 < int(line(lineIndex).size()))
        ++pos;
    else if (k == alongPrev && pos > 0)
        --pos;
    else if (k == acrossNext && lineIndex + 1 < lineCount())
        ++lineIndex;
    else if (k == acrossPrev && lineIndex > 0)
        --lineIndex;
    const std::span<const int> target = line(lineIndex);
    m_highlight = target[size_t(std::min(pos, int(target.size()) - 1))];
}

bool PlayerModel::menuButton()
{
    if (!m_outside)
        return false;
    int number = 0;
    const int index = readPageNumber(m_project.movieData.menuPage, number) ? findPageIndex(m_project, number) : -1;
    if (index < 0) {
        m_notice = QStringLiteral("MenuPage \"%1\" names no page").arg(m_project.movieData.menuPage);
        return false;
    }
    m_outside = false;
    activate(index);
    emitEvent(PlayerEvent::MenuButton, index);
    return true;
}

QString PlayerModel::statusText() const
{
    const MovieData& md = m_project.movieData;
    QString language = QStringLiteral("language %1").arg(m_language);
    for (const auto& l : md.languages)
        if (sameNumber(l->number, QString::number(m_language)))
            language = l->fullName.isEmpty() ? l->shortName : l->fullName;
    QString subtitle = QStringLiteral("off");
    if (m_subtitle != 0) {
        subtitle = QStringLiteral("subtitle %1").arg(m_subtitle);
        for (const auto& s : md.subtitles)
            if (sameNumber(s->number, QString::number(m_subtitle)))
                subtitle = s->fullName.isEmpty() ? s->shortName : s->fullName;
    }
    return QStringLiteral("Audio: %1    Subtitles: %2").arg(language, subtitle);
}

void PlayerModel::emitEvent(PlayerEvent::Kind kind, int pageIndex, int selection, PlayerKey key, int highlightBefore)
{
    if (m_listener)
        m_listener(PlayerEvent{kind, selection, pageIndex, key, highlightBefore});
}
