#include <QFileInfo>

#include "cli/commands.h"
#include "document/projectloader.h"
#include "player/walkreplay.h"

namespace cli {

int walk(const QStringList& args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "vrplmenu: walk takes FILE.ini and WALK.walk (see vrplmenu --help)\n");
        return 2;
    }
    const QString iniPath = args[0];
    const QString walkPath = args[1];
    if (!QFileInfo(iniPath).isFile()) {
        printMessage(stderr, Message{QStringLiteral("Can't open file"), kCaptionError, MessageIcon::Error});
        return 2;
    }
    Walkthrough walkthrough;
    QString error;
    if (!loadWalkthrough(walkPath, walkthrough, &error)) {
        printLine(stderr, QStringLiteral("vrplmenu: %1: %2").arg(walkPath, error));
        return 2;
    }
    MenuProject project;
    // The menu's own messages do not decide the walk; they are shown so that the author sees them.
    const LoadReport report = LoadProject(iniPath, project, [](const Message& m) { printMessage(stderr, m); });
    if (!report.fileReadable || !report.menuFile) {
        if (report.fileReadable)
            printLine(stderr, QStringLiteral("vrplmenu: %1 is not a menu file").arg(iniPath));
        return 2;
    }
    const std::optional<WalkFailure> failure = replayWalkthrough(project, walkthrough);
    if (failure) {
        printLine(stdout, failure->sentence());
        return 1;
    }
    printLine(stdout, QStringLiteral("The walkthrough holds: %1 steps.").arg(walkthrough.steps.size()));
    return 0;
}

} // namespace cli
