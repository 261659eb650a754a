// The program as the recovery test crashes it: it starts on the menu file it is given, makes two
// edits through the project's edits as the author's commands do (a new title, the first page
// deleted), writes the autosave, prints the recovery file's path and then runs until it is killed.
#include <QTimer>

#include <cstdio>

#include "app/application.h"
#include "edits/projectedits.h"
#include "dialogs/scripteddialogservice.h"
#include "workspace/mainform.h"

int main(int argc, char** argv)
{
    VazoApplication app(argc, argv);
    if (argc < 2)
        return 2;
    // Nothing waits for an answer offscreen; the start must not find work to recover anyway.
    ScriptedDialogService dialogs;
    Application application(&dialogs);
    application.show();
    application.begin(QString::fromLocal8Bit(argv[1]));
    if (!dialogs.questions().isEmpty() || application.project.pages.empty())
        return 3;

    application.edits->setMovieText(&MovieData::title, QStringLiteral("Recovered work"), QStringLiteral("Title"));
    application.edits->deletePage(0);
    application.mainForm->autosave();
    std::printf("%s\n", qPrintable(application.mainForm->autosavePath()));
    std::fflush(stdout);
    return app.exec();
}
