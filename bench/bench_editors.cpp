// The action maker and the page list's paste, as the author meets them in the running program: the
// parameter box rebuilt for a movie with 99 chapters (when the type changes, when the selection window
// is activated and when an action is loaded), and pasting a chapter page of 16 selections with 3
// actions each onto another page (the copies, one undo step, and showing the page with its
// rectangles), each with the repaint that follows. Both must fit well within one frame of a 25 fps video (40 ms), so that neither is felt.
// Prints each time as a share of that frame, and against the cost of filling the same box with the
// same number of plain texts, measured in the same run.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "app/application.h"
#include "document/actiontypes.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "dialogs/scripteddialogservice.h"

#include "benchtiming.h"

namespace {

constexpr double kFrameMs = 40.0;

using benchtiming::bestOfPairs;
const auto timeMs = benchtiming::wallMs;

void report(const char* what, double ms, double baselineMs)
{
    std::printf("%-58s %8.3f ms  %6.3f of a frame  %6.2f x baseline\n", what, ms, ms / kFrameMs, ms / baselineMs);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.filePath("xdg").toLocal8Bit()); // the user's settings stay untouched
    VazoApplication qapp(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 31;

    ScriptedDialogService dialogs;
    Application app(&dialogs);
    app.show();
    MenuProject& project = app.project;
    for (int k = 1; k <= 99; ++k) {
        auto chapter = std::make_unique<Chapter>();
        chapter->number = QString::number(k);
        chapter->firstFrame = QString::number(k * 1000);
        chapter->name = QStringLiteral("Chapter %1 of the movie").arg(k);
        project.movieData.chapters.push_back(std::move(chapter));
    }
    // A chapter page of 16 selections, each with a chapter, a language and a message, and an empty page.
    auto source = std::make_unique<Page>(1, QStringLiteral("Chapters 1-16"));
    source->selectionAvailable = true;
    for (int i = 0; i < 16; ++i) {
        const int left = 10 + (i % 4) * 170, top = 10 + (i / 4) * 130;
        auto s = std::make_unique<Selection>(QStringLiteral("Selection-%1").arg(i + 1),
                                             QStringLiteral("%1,%2-%3,%4").arg(left).arg(top).arg(left + 160).arg(top + 120));
        s->addAction(ActPlayFromChapter, QString::number(i + 1));
        s->addAction(ActChangeLanguage, QStringLiteral("0"));
        s->addAction(ActMessageBox, QStringLiteral("Chapter %1").arg(i + 1));
        source->addSelection(std::move(s));
    }
    app.edits->insertPage(0, std::move(source));
    auto target = std::make_unique<Page>(2, QStringLiteral("Chapters 17-32"));
    target->selectionAvailable = true;
    app.edits->insertPage(1, std::move(target));
    app.edits->stack().clear();
    TPageViewerForm& pages = *app.pageViewer;
    TSelectionsViewerForm& sels = *app.selectionsViewer;
    pages.refreshJumpAtEnd(false);
    pages.selectRow(0);
    pages.ShowPage(0);

    // 1. The parameter box rebuilt for "Play from chapter" with 99 chapters, against filling a plain
    // box with 99 texts.
    sels.cbAction->setCurrentIndex(ActPlayFromChapter - 1);
    QStringList texts;
    for (int k = 1; k <= 99; ++k)
        texts << QStringLiteral("%1) Chapter %1 of the movie").arg(k);
    QComboBox plain;
    plain.show(); // painted as the parameter box is
    const auto [rebuild, fill] = bestOfPairs(
        runs,
        [&] {
            sels.cbActionChange();
            QApplication::processEvents(); // the repaint
        },
        [&] {
            plain.clear();
            plain.addItems(texts);
            plain.setCurrentIndex(0);
            QApplication::processEvents();
        });
    if (sels.cbActionParameter->count() != 99)
        return 1;

    // 2. Paste of the 16 selections onto the second page and showing it, against showing the page with
    // 16 selections alone. Each paste is undone (untimed) before the next.
    pages.puPLCopySelectionsClick();
    pages.selectRow(1);
    pages.ShowPage(1);
    double paste = 1e300, show = 1e300;
    for (int i = 0; i < runs; ++i) {
        paste = std::min(paste, timeMs([&] {
            pages.puPLPasteSelectionsClick();
            QApplication::processEvents(); // the repaint of the windows and the picture
        }));
        if (project.pages[1]->selections.size() != 16)
            return 1;
        show = std::min(show, timeMs([&] {
            pages.ShowPage(1);
            QApplication::processEvents();
        }));
        app.edits->stack().undo();
        pages.ShowPage(1);
        QApplication::processEvents();
    }

    std::printf("Action maker and page commands, best of %d runs (one frame at 25 fps = %.0f ms)\n", runs, kFrameMs);
    report("rebuild parameter box, 99 chapters (vs plain box fill)", rebuild, fill);
    report("paste 16 selections x 3 actions (vs showing that page)", paste, show);
    const bool ok = rebuild < kFrameMs && paste < kFrameMs;
    std::printf("%s\n", ok ? "both below one frame" : "ABOVE ONE FRAME");
    return ok ? 0 : 2;
}
