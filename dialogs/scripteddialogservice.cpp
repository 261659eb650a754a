#include "dialogs/scripteddialogservice.h"

#include <QFileInfo>

void ScriptedDialogService::showMessage(const Message& message, QWidget* owner)
{
    m_messages.append({message, owner});
    if (onMessage)
        onMessage(message);
}

QStringList ScriptedDialogService::getOpenFileNames(const FileDialogOptions& options, QWidget* owner)
{
    m_requests.append({Kind::OpenFiles, options, owner});
    QStringList answer = nextAnswer();
    // A single-selection dialog can never hand back more than one file.
    if (!options.multipleSelection && answer.size() > 1)
        answer = answer.mid(0, 1);
    return answer;
}

QString ScriptedDialogService::getSaveFileName(const FileDialogOptions& options, QWidget* owner)
{
    m_requests.append({Kind::SaveFile, options, owner});
    const QStringList answer = nextAnswer();
    if (answer.isEmpty())
        return {};
    // Like the real dialog: a name typed without extension gets the default one.
    QString name = answer.constFirst();
    QString ext = options.defaultExtension;
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    if (!ext.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + ext;
    return name;
}

QString ScriptedDialogService::browseFolder(const QString& caption, const QString& startFolder, QWidget* owner)
{
    FileDialogOptions options;
    options.caption = caption;
    options.startFolder = startFolder;
    m_requests.append({Kind::Folder, options, owner});
    const QStringList answer = nextAnswer();
    return answer.isEmpty() ? QString() : answer.constFirst();
}

QList<Message> ScriptedDialogService::messages() const
{
    QList<Message> result;
    result.reserve(m_messages.size());
    for (const ShownMessage& m : m_messages)
        result.append(m.message);
    return result;
}

QStringList ScriptedDialogService::nextAnswer()
{
    return m_answers.isEmpty() ? QStringList() : m_answers.dequeue();
}

DialogService::Choice ScriptedDialogService::ask(const QString& question, const QString&,
                                                 const QList<Choice>& buttons, QWidget*)
{
    m_questions.append(question);
    m_questionButtons.append(buttons);
    if (!m_choices.isEmpty())
        return m_choices.dequeue();
    return buttons.isEmpty() ? Choice::Cancel : buttons.last();
}
