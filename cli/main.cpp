#include <QCoreApplication>

#include <cstdio>

#include "cli/commands.h"

namespace {

const char* kUsage =
    "Usage: vrplmenu COMMAND [ARGUMENTS]\n"
    "Checks and normalises menu INI files of the VRPL VazoVevoz menu editor, and inspects videos.\n"
    "\n"
    "Commands:\n"
    "  check FILE [--strict] [--json] [--no-files]\n"
    "                             read FILE as the editor opens it; print each message as\n"
    "                             CAPTION: TEXT, then each problem the player would meet as\n"
    "                             FILE:LINE: error|warning: CODE: TEXT, and a summary line;\n"
    "                             --strict fails on warnings too, --json prints the problems\n"
    "                             as a JSON array (messages on standard error), --no-files\n"
    "                             leaves out the files the movie data names\n"
    "  normalize FILE [-o OUT]    read FILE and write it as the editor saves it, to OUT or\n"
    "                             standard output; messages go to standard error\n"
    "  video-info FILE [--key-frames]\n"
    "                             frame count, picture size, frame rate, codec, number of key\n"
    "                             frames and container of an AVI or MPEG file (VOB, MPG; with\n"
    "                             its soft-telecine flags); with --key-frames their numbers\n"
    "  count-frames FILE...       the frame count of each file as the movie data dialog\n"
    "                             computes it, a line COUNT FILE each; messages on standard error\n"
    "  frame FILE N -o OUT        frame N (from 0) exactly as the editor shows it, written as\n"
    "                             PNG or JPEG by the extension of OUT (.png, .jpg, .jpeg)\n"
    "  walk FILE WALK             replay the walkthrough WALK (.walk) on the menu FILE as the\n"
    "                             player would; exit 1 naming the step that no longer holds\n"
    "  find-buttons FILE [--range FIRST-LAST] [--json]\n"
    "                             the rectangles proposed for the buttons of a JPEG picture\n"
    "                             or of frames FIRST to LAST of a menu video (all without\n"
    "                             --range), one Area per line, best first, or a JSON array;\n"
    "                             exit 0 also when none was found\n"
    "  map FILE [-o OUT]          the page map: every page and where each link leads, as DOT\n"
    "                             (standard output without -o) or drawn as SVG or PNG by the\n"
    "                             extension of OUT (.dot, .svg, .png)\n"
    "  import-dvd SOURCE -o MENU.ini [--menu-video avi|vob]\n"
    "                             the menus of a DVD (a VIDEO_TS folder, the folder above it\n"
    "                             or an ISO image) as a menu file, its pages' video (an MPEG-4\n"
    "                             AVI, or with vob the menus' own sectors) and still pictures\n"
    "                             beside it; the report on standard error, exit 1 when some\n"
    "                             button commands could not be translated\n"
    "\n"
    "Options:\n"
    "  --help                     show this text\n"
    "  --version                  show the version\n"
    "\n"
    "Exit status: 0 without messages, 1 with messages (for check: also with errors, or\n"
    "warnings with --strict), 2 when a file cannot be read.\n";

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == QLatin1String("--version")) {
        std::printf("vrplmenu %s\n", VAZO_VERSION);
        return 0;
    }
    if (command == QLatin1String("check"))
        return cli::check(args);
    if (command == QLatin1String("normalize"))
        return cli::normalize(args);
    if (command == QLatin1String("video-info"))
        return cli::videoInfo(args);
    if (command == QLatin1String("count-frames"))
        return cli::countFrames(args);
    if (command == QLatin1String("frame"))
        return cli::frame(args);
    if (command == QLatin1String("walk"))
        return cli::walk(args);
    if (command == QLatin1String("find-buttons"))
        return cli::findButtons(args);
    if (command == QLatin1String("map"))
        return cli::map(args);
    if (command == QLatin1String("import-dvd"))
        return cli::importDvd(args);
    std::fprintf(stderr, "vrplmenu: unknown command '%s'\n\n%s", qPrintable(command), kUsage);
    return 2;
}
