#pragma once

#include <QString>
#include <QList>
#include <QStringList>

#include "document/messages.h"

class QWidget;

// Message boxes, file dialogs and the folder browser all go through this small service, so that the
// windows can be tested with a scripted one and no test ever waits on a real modal window.
class DialogService
{
public:
    virtual ~DialogService() = default;

    struct FileDialogOptions
    {
        QString caption;
        // Filter in the "Description|pattern;pattern|Description|pattern" form the program uses
        // throughout, for
        // example "VRPL INI files (*.ini;*.vrm)|*.INI;*.VRM". Patterns match without regard to case.
        QString filter;
        QString startFolder;
        QString defaultExtension; // without dot, added when the user types a name without extension
        bool multipleSelection = false;
    };

    // A modal message box with an OK button.
    virtual void showMessage(const Message& message, QWidget* owner = nullptr) = 0;
    // Chosen files in the order the user chose them; empty when cancelled.
    virtual QStringList getOpenFileNames(const FileDialogOptions& options, QWidget* owner = nullptr) = 0;
    // The chosen file; empty when cancelled.
    virtual QString getSaveFileName(const FileDialogOptions& options, QWidget* owner = nullptr) = 0;
    // The chosen folder; empty when cancelled.
    virtual QString browseFolder(const QString& caption, const QString& startFolder, QWidget* owner = nullptr) = 0;

    // The answers of a question box, each its own button.
    // SaveAs ("Save as…") and SaveAnyway ("Save anyway") answer the question before saving over a file
    // that was not read completely; Apply answers the question before leaving unapplied page values.
    enum class Choice { Save, Discard, Cancel, Yes, No, SaveAs, SaveAnyway, Apply };
    // A modal question with the given buttons (the first is the default one); the answer is the button
    // pressed, or the last button when the box is closed otherwise.
    virtual Choice ask(const QString& question, const QString& caption, const QList<Choice>& buttons,
                       QWidget* owner = nullptr) = 0;

    // A sink that shows every message it gets through this service.
    MessageSink sinkFor(QWidget* owner)
    {
        return [this, owner](const Message& m) { showMessage(m, owner); };
    }
};
