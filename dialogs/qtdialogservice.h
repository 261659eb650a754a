#pragma once

#include "dialogs/dialogservice.h"

// The dialog service on Qt's own message boxes and file dialogs.
class QtDialogService : public DialogService
{
public:
    void showMessage(const Message& message, QWidget* owner = nullptr) override;
    QStringList getOpenFileNames(const FileDialogOptions& options, QWidget* owner = nullptr) override;
    QString getSaveFileName(const FileDialogOptions& options, QWidget* owner = nullptr) override;
    QString browseFolder(const QString& caption, const QString& startFolder, QWidget* owner = nullptr) override;
    Choice ask(const QString& question, const QString& caption, const QList<Choice>& buttons,
               QWidget* owner = nullptr) override;

    // "Desc|*.A;*.B|Desc2|*.C" turned into Qt's name filters, one per description:
    // "Desc (*.A *.a *.B *.b)". Each pattern is offered in its own, its lower and its upper case so that
    // file systems and native dialogs that match case-sensitively still find "x.ini" for "*.INI".
    // A trailing description without patterns gets "*".
    static QStringList toQtNameFilters(const QString& filter);
};
