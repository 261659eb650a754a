// Any bytes as a menu file, then the menu check on whatever was read: it must never crash or hang,
// every problem must point at a page, selection and action that exist, and the check must agree with
// the save: a project the writer refuses to save has at least one error, so that a menu the check
// calls free of errors can always be saved. And the pages it calls unreachable are exactly those the
// player model does not get to by playing every selection, key and end from the same ways in.
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "check/menucheck.h"
#include "document/projectloader.h"
#include "document/menulinks.h"
#include "document/projectwriter.h"
#include "player/explore.h"

namespace {

bool pointsAtSomething(const MenuProject& project, const ProblemLocation& w)
{
    if (w.pageIndex < 0)
        return w.selectionIndex < 0 && w.actionIndex < 0 && !w.field.isEmpty();
    if (size_t(w.pageIndex) >= project.pages.size())
        return false;
    const Page& page = *project.pages[size_t(w.pageIndex)];
    if (w.selectionIndex < 0)
        return w.actionIndex < 0;
    if (size_t(w.selectionIndex) >= page.selections.size())
        return false;
    return w.actionIndex < int(page.selections[size_t(w.selectionIndex)]->actions.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MenuProject project;
    LoadProjectFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                         QStringLiteral("/fuzz/menu.ini"), project, {});
    const std::vector<Problem> problems = checkProject(project);
    for (const Problem& p : problems) {
        if (!pointsAtSomething(project, p.where) || p.code.isEmpty() || p.text.isEmpty()) {
            std::fprintf(stderr, "a problem points nowhere: %s %s\n", qPrintable(p.code), qPrintable(p.text));
            std::abort();
        }
    }
    if (!menuEntryPages(project).empty()) {
        std::vector<bool> byCheck(project.pages.size(), true);
        for (const Problem& p : problems)
            if (p.code == QLatin1String("page-unreachable"))
                byCheck[size_t(p.where.pageIndex)] = false;
        if (byCheck != pagesReachedByPlaying(project)) {
            std::fprintf(stderr, "the check and the player model disagree on the pages a viewer reaches\n");
            std::abort();
        }
    }
    Message refusal;
    if (!BuildMenuFile(project, [&](const Message& m) { refusal = m; }) &&
        countProblems(problems, Severity::Error) == 0) {
        std::fprintf(stderr, "the save is refused but the check finds no error: %s\n", qPrintable(refusal.text));
        std::abort();
    }
    return 0;
}
