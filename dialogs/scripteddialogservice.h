#pragma once

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QWidget>

#include <functional>

#include "dialogs/dialogservice.h"

// A dialog service for tests: it records every message and every dialog request, and answers the
// file and folder dialogs from a queue. An empty queue answers "cancelled". Nothing is ever shown.
class ScriptedDialogService : public DialogService
{
public:
    enum class Kind { OpenFiles, SaveFile, Folder };

    struct Request
    {
        Kind kind = Kind::OpenFiles;
        FileDialogOptions options;      // for Folder: caption and startFolder only
        QPointer<QWidget> owner;
    };

    struct ShownMessage
    {
        Message message;
        QPointer<QWidget> owner;
    };

    void showMessage(const Message& message, QWidget* owner = nullptr) override;
    QStringList getOpenFileNames(const FileDialogOptions& options, QWidget* owner = nullptr) override;
    QString getSaveFileName(const FileDialogOptions& options, QWidget* owner = nullptr) override;
    QString browseFolder(const QString& caption, const QString& startFolder, QWidget* owner = nullptr) override;
    // Questions are answered from their own queue; an empty queue presses the last button.
    Choice ask(const QString& question, const QString& caption, const QList<Choice>& buttons,
               QWidget* owner = nullptr) override;
    void queueChoice(Choice choice) { m_choices.enqueue(choice); }
    const QStringList& questions() const { return m_questions; }
    // The buttons each question offered, in the order of questions().
    const QList<QList<Choice>>& questionButtons() const { return m_questionButtons; }

    // Answers are taken in order by whichever dialog comes next. An empty answer means "cancelled".
    void queueAnswer(const QStringList& files) { m_answers.enqueue(files); }
    void queueAnswer(const QString& fileOrFolder)
    {
        m_answers.enqueue(fileOrFolder.isEmpty() ? QStringList() : QStringList{fileOrFolder});
    }
    void queueCancel() { m_answers.enqueue({}); }
    qsizetype pendingAnswers() const { return m_answers.size(); }

    // Called for every message right after it was recorded, as a modal box would run while shown.
    std::function<void(const Message&)> onMessage;

    const QList<ShownMessage>& shownMessages() const { return m_messages; }
    QList<Message> messages() const;
    const QList<Request>& requests() const { return m_requests; }
    void clear()
    {
        m_messages.clear();
        m_requests.clear();
        m_answers.clear();
        m_choices.clear();
        m_questions.clear();
        m_questionButtons.clear();
    }

private:
    QStringList nextAnswer();

    QList<ShownMessage> m_messages;
    QList<Request> m_requests;
    QQueue<QStringList> m_answers;
    QQueue<Choice> m_choices;
    QStringList m_questions;
    QList<QList<Choice>> m_questionButtons;
};
