#pragma once

// The check's own workings, shared by its source files; users include menucheck.h.

#include <array>
#include <unordered_map>
#include <vector>

#include "check/menucheck.h"
#include "document/actiontypes.h"
#include "document/menulinks.h"

namespace check_detail {

// A decimal integer, blanks around it allowed (the way the player reads its numbers).
bool readNumber(const QString& text, qint64& value);

// True when the text is printable ASCII (tabs allowed) and, where "#" separates fields, holds none:
// such a text can have no problem of its own.
inline bool plainText(const QString& text, bool hashSeparates)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x7F || (u < 0x20 && u != u'\t') || (hashSeparates && u == u'#'))
            return false;
    }
    return true;
}

// Walks the links a viewer can follow from a page. Where an absolute jump leads depends on its page
// number alone, so each number is resolved once: a large menu has thousands of jumps to a few hundred
// pages.
class LinkWalker
{
public:
    explicit LinkWalker(const MenuProject& project) : m_project(project) {}
    // Calls visit(const FollowedLink&) for each link of the page, in the page's order, its end last.
    template <typename Visit> void walk(int pageIndex, Visit&& visit);
    Link followJump(int pageIndex, const MenuAction& action);

private:

    const MenuProject& m_project;
    std::unordered_map<int, Link> m_jumps; // where an absolute jump to each page number leads
};

template <typename Visit> void LinkWalker::walk(int pageIndex, Visit&& visit)
{
    const Page& page = *m_project.pages[size_t(pageIndex)];
    if (selectionsCanBeChosen(page)) {
        for (int s = 0; s < int(page.selections.size()); ++s) {
            if (!selectionCanBeChosen(page, s))
                continue;
            const auto& actions = page.selections[size_t(s)]->actions;
            for (int a = 0; a < int(actions.size()); ++a) {
                const MenuAction& action = *actions[size_t(a)];
                const Link link = followJump(pageIndex, action);
                if (link.kind != LinkKind::None || leavesMenu(action.type))
                    visit(FollowedLink{pageIndex, s, a, action.type, link});
                if (endsActionList(action.type))
                    break;
            }
        }
    }
    const PageEnd end = pageEnd(m_project, pageIndex);
    const int code = end.kind == EndKind::EndAction ? page.actionAtEnd->type : 0;
    if (end.link.kind != LinkKind::None || (end.kind == EndKind::EndAction && leavesMenu(code)))
        visit(FollowedLink{pageIndex, -1, -1, code, end.link});
}

class Checker
{
public:
    Checker(const MenuProject& project, const CheckContext& context, std::vector<Problem>& out);
    void run();

private:
    // The movie data (check_moviedata.cpp).
    void checkMovieData();
    void checkMenuKeys();
    void checkChapters();
    void checkFiles();
    void checkMovieDataTexts();
    bool fileExists(const QString& field, const QString& directory, const QString& name, bool picture = false,
                    const ProblemLocation* where = nullptr, const QString& label = {});

    // The pages (menucheck.cpp).
    void findReachablePages();
    void checkPage(int pageIndex);
    void checkPageEnd(int pageIndex);
    void checkSelections(int pageIndex);
    void checkAction(int pageIndex, int selectionIndex, int actionIndex, const MenuAction& action);
    bool checkSignedJump(int pageIndex, int selectionIndex, int actionIndex, const MenuAction& action);
    void checkPageTexts(int pageIndex);
    void checkParameterText(int pageIndex, int selectionIndex, int actionIndex, const MenuAction& action);

    // Texts: a line break, "#" where it separates fields, a character the encoding cannot hold.
    void checkText(const QString& value, const ProblemLocation& where, const QString& label, bool hashSeparates,
                   bool inHead);

    void add(Severity severity, const char* code, const QString& text, ProblemLocation where);
    void appendPageLabel(QString& out, int pageIndex) const;
    void appendSelectionLabel(QString& out, int pageIndex, int selectionIndex) const;
    void appendActionLabel(QString& out, int pageIndex, int selectionIndex, int actionIndex) const;
    QString pageLabel(int pageIndex) const;
    QString selectionLabel(int pageIndex, int selectionIndex) const;
    QString actionLabel(int pageIndex, int selectionIndex, int actionIndex) const;
    static QString fieldLabel(const QString& field);

    const MenuProject& m_project;
    const CheckContext& m_context;
    std::vector<Problem>& m_out;
    QSize m_picture;               // empty when unknown
    std::vector<bool> m_reachable; // empty when no page is named as a way into the menu
    LinkWalker m_links;
    std::unordered_map<const char*, QString> m_codes;
    mutable std::array<QString, kActionTypeCount> m_actionNames; // made when first needed
};

} // namespace check_detail
