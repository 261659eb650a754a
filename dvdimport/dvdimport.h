#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

#include "document/model.h"
#include "dvdimport/dvdproject.h"

// The import of a DVD's menus as a whole: the disc read, each menu's video decoded, the motion menus
// encoded into one menu video (or their own sectors copied into one VOB), the still menus written as
// JPEG pictures, and the project made. Nothing is written before everything is ready, so a cancelled
// or failed import leaves no file behind; every file goes through the safe file writer. Runs on any
// thread; the callbacks are called on it.
namespace dvdimport {

enum class MenuVideoKind { Avi, Vob };

struct ImportOptions
{
    QString source;   // a VIDEO_TS folder, the folder above it, or an ISO image
    QString menuFile; // where the menu file is to be saved: the menu's files go beside it
    MenuVideoKind video = MenuVideoKind::Avi;
};

struct ImportCallbacks
{
    // done of total steps, and what is being done ("Encoding Root 1").
    std::function<void(int done, int total, const QString& what)> progress;
    // Set from elsewhere to stop the import; it then ends without writing anything.
    const std::atomic<bool>* cancel = nullptr;
};

struct ImportResult
{
    bool ok = false;
    bool cancelled = false;
    QString error;            // why it failed, when it did
    MenuProject project;      // the imported project, its base directory the menu file's folder
    ImportReport report;
    QStringList filesWritten; // full paths
};

ImportResult importDvd(const ImportOptions& options, const ImportCallbacks& callbacks = {});

} // namespace dvdimport
