#pragma once

#include <QApplication>

#include <functional>
#include <memory>

#include "document/model.h"

class DialogService;
class ProjectEdits;
class TAboutForm;
class TMainForm;
class TPageMapForm;
class TProblemsForm;
class TPreviewForm;
class TPageViewerForm;
class TSelectionsViewerForm;
class VideoSource;

// The application object. An error that escapes any command (an exception out of an event handler)
// is caught here and handed to the error handler, so the user sees its text and the program goes on
// with the state the command left.
class VazoApplication : public QApplication
{
    Q_OBJECT
public:
    VazoApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Receives the text of every escaping error. Without a handler the text goes to the log.
    void setErrorHandler(std::function<void(const QString&)> handler) { m_errorHandler = std::move(handler); }

private:
    void reportError(const QString& text);

    std::function<void(const QString&)> m_errorHandler;
};

// The application-wide settings of the start-up: the title "VRPL VazoVevoz", and hints shown 100 ms
// after the pointer comes to rest and kept for 30 seconds.
void applyApplicationSettings(QApplication& app);

// Everything the program runs on, created in the order the start-up needs: the services, the
// project, then the main window, the movie data dialog, the page window, the selection window and
// the About box. Destroyed in the reverse order; the main window's shutdown comes first, while the
// movie data dialog still exists.
struct Application
{
    // Uses `dialogs` when given (tests pass a scripted service), the real message boxes otherwise.
    explicit Application(DialogService* dialogs = nullptr);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Shows the windows and places the tool windows beside the main window.
    void show();
    // What follows the showing at start: the autosave into the user's data folder, the offer of work
    // that a crash left there, then the menu file named on the command line, when there is one.
    void begin(const QString& file = {});

    std::unique_ptr<DialogService> ownedDialogs;
    DialogService& dialogs;
    MenuProject project;
    // Every edit of the project, with its undo stack; outlives the windows that push to it.
    std::unique_ptr<ProjectEdits> edits;
    std::unique_ptr<VideoSource> video;
    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TPageViewerForm> pageViewer;
    std::unique_ptr<TSelectionsViewerForm> selectionsViewer;
    std::unique_ptr<TAboutForm> aboutForm;
    // Every problem the player would meet, checked again after each edit; shown from the Windows menu.
    std::unique_ptr<TProblemsForm> problems;
    // Every page and where each link leads, laid out again after the edits; from the Windows menu.
    std::unique_ptr<TPageMapForm> pageMap;
    // Plays the menu as the player will, from the Preview menu; records and replays walkthroughs.
    std::unique_ptr<TPreviewForm> preview;
};

// Runs the program, `vazovevoz [FILE]`: start-up, message loop, shutdown. Returns the exit code.
int runApplication(int argc, char** argv);
