#include <QFileInfo>

#include <cerrno>

#include "cli/commands.h"
#include "document/projectloader.h"
#include "pagemap/maplayout.h"
#include "pagemap/pagegraph.h"

namespace cli {

int map(const QStringList& args)
{
    QString in, out;
    bool usage = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("-o") && i + 1 < args.size())
            out = args[++i];
        else if (in.isEmpty() && args[i] != QLatin1String("-o"))
            in = args[i];
        else
            usage = true;
    }
    if (usage || in.isEmpty()) {
        std::fprintf(stderr, "vrplmenu: map takes FILE [-o OUT.svg|.png|.dot] (see vrplmenu --help)\n");
        return 2;
    }
    if (!QFileInfo(in).isFile()) {
        printMessage(stderr, Message{QStringLiteral("Can't open file"), kCaptionError, MessageIcon::Error});
        return 2;
    }
    MenuProject project;
    int messages = 0;
    const LoadReport report = LoadProject(in, project, [&](const Message& m) {
        ++messages;
        printMessage(stderr, m);
    });
    if (!report.fileReadable || !report.menuFile) {
        if (report.fileReadable)
            printLine(stderr, QStringLiteral("vrplmenu: %1 is not a menu file").arg(in));
        return 2;
    }
    const PageMap pageMap = buildPageMap(project);
    if (out.isEmpty()) {
        const QByteArray bytes = pageMapDot(pageMap);
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
            std::fflush(stdout) != 0) {
            printLine(stderr, QStringLiteral("vrplmenu: cannot write to standard output: %1").arg(qt_error_string(errno)));
            return 2;
        }
    } else if (const QString error = exportPageMap(pageMap, out); !error.isEmpty()) {
        printLine(stderr, QStringLiteral("vrplmenu: %1").arg(error));
        return 2;
    }
    return messages == 0 ? 0 : 1;
}

} // namespace cli
