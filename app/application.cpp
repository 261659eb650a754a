#include "app/application.h"

#include <QCommandLineParser>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QHelpEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

#include <exception>

#include "app/aboutform.h"
#include "edits/projectedits.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "moviedata/moviedataform.h"
#include "dialogs/qtdialogservice.h"
#include "workspace/mainform.h"
#include "workspace/pagemapform.h"
#include "workspace/problemsform.h"
#include "workspace/previewform.h"
#include "media/videosource.h"

namespace {

constexpr int kHintDelayMs = 100;
constexpr int kHintShowTimeMs = 30000;

// Qt takes the delay before a hint from the style.
class HintDelayStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return kHintDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Qt shows a widget's hint for a time that depends on the length of its text unless the widget says
// otherwise; every widget without its own duration gets the 30 seconds here.
class HintShowTime : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->toolTipDuration() <= 0 && !widget->toolTip().isEmpty()) {
                const auto* help = static_cast<QHelpEvent*>(event);
                QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(), kHintShowTimeMs);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Every window and dialog the program shows lies wholly on a screen, title bar included: a dialog
// centred over a main window near the screen's edge, or one taller than a small or scaled screen, is
// moved (and shrunk, as far as its layout allows) once the window system has framed it, which is when
// it first exposes it: before that the frame's size is not known.
class KeepWindowsOnScreen : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const Qt::WindowType type = widget->windowType();
            if (widget->isWindow() && widget->windowHandle() &&
                (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool)) {
                m_waiting.insert(widget->windowHandle(), widget);
                widget->windowHandle()->installEventFilter(this);
            }
        } else if (event->type() == QEvent::Expose && m_waiting.contains(watched)) {
            auto* window = static_cast<QWindow*>(watched);
            if (window->isExposed()) {
                window->removeEventFilter(this);
                QPointer<QWidget> widget = m_waiting.take(watched);
                QTimer::singleShot(0, widget, [widget] {
                    if (widget && widget->isVisible())
                        TMainForm::bringOnScreen(widget);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QHash<QObject*, QPointer<QWidget>> m_waiting;
};

} // namespace

VazoApplication::VazoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    applyApplicationSettings(*this);
}

bool VazoApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportError(QStringLiteral("An unknown error occurred."));
    }
    return false;
}

void VazoApplication::reportError(const QString& text)
{
    if (m_errorHandler)
        m_errorHandler(text);
    else
        qWarning("%s", qPrintable(text));
}

void applyApplicationSettings(QApplication& app)
{
    app.setApplicationName(kAppTitle);
    if (!app.property("vazoHintsApplied").toBool()) {
        app.setProperty("vazoHintsApplied", true);
        QApplication::setStyle(new HintDelayStyle(QApplication::style()->name())); // the application owns it
        app.installEventFilter(new HintShowTime(&app));                           // owned by the application
        app.installEventFilter(new KeepWindowsOnScreen(&app));                    // owned by the application
    }
}

Application::Application(DialogService* externalDialogs)
    : ownedDialogs(externalDialogs ? nullptr : std::make_unique<QtDialogService>()),
      dialogs(externalDialogs ? *externalDialogs : *ownedDialogs)
{
    // The video's messages belong to the page window, which exists by the time a video is opened.
    video = std::make_unique<VideoSource>([this](const Message& m) { dialogs.showMessage(m, pageViewer.get()); });

    edits = std::make_unique<ProjectEdits>(project);
    mainForm = std::make_unique<TMainForm>(project, dialogs, *video);
    mainForm->setEdits(edits.get());
    mainForm->createMovieDataForm();
    // The tool windows and the About box belong to the main window as the window system sees it: they
    // stay above it, but not above other programs, and every dialog the program opens comes above
    // them. They are destroyed here, before the main window (see the destructor).
    pageViewer = std::make_unique<TPageViewerForm>(project, *edits, dialogs, mainForm.get());
    selectionsViewer = std::make_unique<TSelectionsViewerForm>(*edits, mainForm.get());
    aboutForm = std::make_unique<TAboutForm>(mainForm.get());
    problems = std::make_unique<TProblemsForm>(project, *edits, *video, mainForm.get());
    mainForm->setToolWindows(pageViewer.get(), selectionsViewer.get());
    pageViewer->setWindows(mainForm.get(), selectionsViewer.get());
    selectionsViewer->setWindows(mainForm.get(), pageViewer.get());
    // Undo and Redo work from whichever window has the focus.
    for (QWidget* tool : {static_cast<QWidget*>(pageViewer.get()), static_cast<QWidget*>(selectionsViewer.get()),
                          static_cast<QWidget*>(problems.get())}) {
        tool->addAction(mainForm->undoAction());
        tool->addAction(mainForm->redoAction());
    }
    mainForm->setAboutForm(aboutForm.get());
    // The Problems window checks again after every edit by itself; what it sees outside the project
    // (the open menu video, the files the movie data names) changes with these.
    problems->setWindows(mainForm.get(), pageViewer.get(), selectionsViewer.get());
    mainForm->setProblemsWindow(problems.get());
    for (auto signal : {&TMainForm::videoOpened, &TMainForm::projectOpened})
        QObject::connect(mainForm.get(), signal, problems.get(), &TProblemsForm::scheduleCheck);
    QObject::connect(mainForm.get(), &TMainForm::movieDataClosed, problems.get(), &TProblemsForm::scheduleCheck);
    pageMap = std::make_unique<TPageMapForm>(project, *edits, mainForm.get());
    pageMap->setWindows(pageViewer.get(), selectionsViewer.get());
    installPageMap(*mainForm, *pageMap, dialogs);
    preview = std::make_unique<TPreviewForm>(*edits, dialogs);
    installPreviewMenu(*mainForm, *preview, *pageViewer);

    if (auto* app = qobject_cast<VazoApplication*>(QCoreApplication::instance())) {
        app->setErrorHandler([this](const QString& text) {
            dialogs.showMessage({text, kAppTitle, MessageIcon::Error}, mainForm.get());
        });
    }
}

Application::~Application()
{
    if (auto* app = qobject_cast<VazoApplication*>(QCoreApplication::instance()))
        app->setErrorHandler({});
    // A clean exit: the author has answered for the project's changes, so the recovery file goes.
    mainForm->endAutosave();
    // The settings take the base directory from the movie data dialog, so the main window shuts down
    // before anything else goes.
    mainForm->shutdown();
    pageMap.reset();
    problems.reset();
    aboutForm.reset();
    selectionsViewer.reset();
    pageViewer.reset();
    mainForm.reset();
}

void Application::show()
{
    mainForm->show();
    pageViewer->show();
    selectionsViewer->show();
    mainForm->ArrangeToolWindows();
    mainForm->activateWindow();
}

void Application::begin(const QString& file)
{
    mainForm->startAutosave(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    mainForm->offerRecovery();
    if (!file.isEmpty())
        mainForm->openAtStart(file);
}

namespace {

void describeCommandLine(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("Authoring tool for the interactive menus of a movie player."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A menu INI file to open."),
                                 QStringLiteral("[FILE]"));
}

// --help and --version are answered before the window system is opened, so that they work without a
// display (in a terminal over ssh, in a package's checks). Qt's own options (-platform, -style, ...)
// are unknown here, so errors are left to the second reading, after QApplication has taken those out.
void answerHelpAndVersion(int argc, char** argv)
{
    int coreArgc = argc;
    QCoreApplication core(coreArgc, argv);
    QCoreApplication::setApplicationName(kAppTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral(VAZO_VERSION));
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.parse(QCoreApplication::arguments());
    // Both exit. --help-all lists the window system's options too, so it waits for QApplication.
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp();
}

} // namespace

int runApplication(int argc, char** argv)
{
    answerHelpAndVersion(argc, argv);
    VazoApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VAZO_VERSION));
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);
    // Made absolute now: the settings read at start change the current directory.
    const QStringList files = parser.positionalArguments();
    const QString file = files.isEmpty() ? QString() : QFileInfo(files.constFirst()).absoluteFilePath();

    Application application;
    application.show();
    application.begin(file);
    return app.exec();
}
