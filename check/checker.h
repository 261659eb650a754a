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
    Link followJump(int pageIndex, const MenuAction& action);
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
    std::unordered_map<const char*, QString> m_codes;
    std::unordered_map<int, Link> m_jumps; // where an absolute jump to each page number leads
    mutable std::array<QString, kActionTypeCount> m_actionNames; // made when first needed
};

} // namespace check_detail
