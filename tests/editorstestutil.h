#pragma once

// The program started offscreen with a scripted dialog service and an isolated settings folder, with
// the helpers the editor tests share: controls by name, pages added through the page window, and mouse
// work on the picture.
#include <QtTest>

#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QToolButton>

#include <memory>

#include "app/application.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "editors/pageviewerform.h"
#include "editors/selectionsviewerform.h"
#include "fixtures/videofixtures.h"
#include "dialogs/scripteddialogservice.h"
#include "workspace/mainform.h"
#include "workspace/rshape.h"

template <typename T>
T* child(QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

class EditorHarness
{
public:
    ScriptedDialogService dialogs;
    std::unique_ptr<QTemporaryDir> settingsDir;
    std::unique_ptr<Application> app;
    QString startDir;

    // 320 x 240, 60 frames, a key frame every 12.
    static const fixtures::VideoFixture& video()
    {
        static QTemporaryDir dir;
        static const fixtures::VideoFixture v = [] {
            fixtures::VideoSpec spec;
            spec.width = 320;
            spec.height = 240;
            spec.frames = 60;
            return fixtures::writeVideo(dir.filePath(QStringLiteral("menu.avi")), spec);
        }();
        return v;
    }

    Application& start(bool withVideo = true)
    {
        settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir->path());
        startDir = QDir::currentPath();
        dialogs.clear();
        app = std::make_unique<Application>(&dialogs);
        app->show();
        if (!QTest::qWaitForWindowExposed(app->mainForm.get()))
            qFatal("main window not exposed");
        if (withVideo)
            main().OpenVideo(video().path);
        return *app;
    }
    void stop()
    {
        app.reset();
        QDir::setCurrent(startDir);
    }

    TMainForm& main() { return *app->mainForm; }
    TPageViewerForm& pages() { return *app->pageViewer; }
    TSelectionsViewerForm& selections() { return *app->selectionsViewer; }
    ProjectEdits& edits() { return *app->edits; }
    MenuProject& project() { return app->project; }
    QWidget* picture() { return main().videoImage(); }

    // Adds a page through the page window as the author does: fields, then Add.
    Page* addPage(const QString& number, const QString& name, const QString& range = QStringLiteral("0-0"))
    {
        pages().edNumber->setText(number);
        pages().edPageName->setText(name);
        pages().edRange->setText(range);
        pages().bttAddClick();
        return pages().currentPage();
    }

    // Drags out a rectangle on the picture from `from` to `to` (picture pixels).
    void draw(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(picture(), button, {}, from);
        QTest::mouseMove(picture(), to);
        QTest::mouseRelease(picture(), button, {}, to);
    }

    // Drags a rectangle by (dx, dy), grabbing it 5 pixels inside its corner.
    void drag(RShape* shape, QPoint by)
    {
        const QPoint grab(5, 5);
        QTest::mousePress(shape, Qt::LeftButton, {}, grab);
        QTest::mouseMove(shape, grab + by);
        QTest::mouseRelease(shape, Qt::LeftButton, {}, grab);
    }

    QStringList areas(const Page& page) const
    {
        QStringList out;
        for (const auto& s : page.selections)
            out << s->name + QLatin1Char('=') + s->area;
        return out;
    }
};
