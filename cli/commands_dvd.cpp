#include <QFileInfo>

#include "cli/commands.h"
#include "document/projectwriter.h"
#include "dvdimport/dvdimport.h"

namespace cli {

namespace {

int usage(const QString& why)
{
    printLine(stderr, QStringLiteral("vrplmenu: %1 (see vrplmenu --help)").arg(why));
    return 2;
}

} // namespace

int importDvd(const QStringList& args)
{
    dvdimport::ImportOptions options;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-o") && i + 1 < args.size()) {
            options.menuFile = args[++i];
        } else if (a == QLatin1String("--menu-video") && i + 1 < args.size()) {
            const QString kind = args[++i];
            if (kind == QLatin1String("avi"))
                options.video = dvdimport::MenuVideoKind::Avi;
            else if (kind == QLatin1String("vob"))
                options.video = dvdimport::MenuVideoKind::Vob;
            else
                return usage(QStringLiteral("--menu-video takes avi or vob, not '%1'").arg(kind));
        } else if (options.source.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            options.source = a;
        } else {
            return usage(QStringLiteral("import-dvd does not take '%1'").arg(a));
        }
    }
    if (options.source.isEmpty() || options.menuFile.isEmpty())
        return usage(QStringLiteral("import-dvd takes SOURCE and -o MENU.ini"));
    options.menuFile = QFileInfo(options.menuFile).absoluteFilePath();

    const dvdimport::ImportResult result = dvdimport::importDvd(options);
    if (!result.ok) {
        printLine(stderr, QStringLiteral("vrplmenu: %1").arg(result.error));
        return 2;
    }
    // The save speaks only when it refuses or fails, and then nothing was written.
    const SaveResult saved =
        SaveProjectFile(result.project, options.menuFile, [](const Message& m) { printMessage(stderr, m); });
    for (const QString& line : result.report.lines())
        printLine(stderr, line);
    if (!saved)
        return 2;
    return result.report.untranslated.isEmpty() ? 0 : 1;
}

} // namespace cli
