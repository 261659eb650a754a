#pragma once

#include <QString>

#include <functional>

// Every message of the document layer goes to a sink that the caller supplies: the windows show it in a
// message box, the command-line tool prints it, tests record it. The reader and writer never show
// anything themselves.
enum class MessageIcon { None, Information, Warning, Error };

struct Message
{
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;

    bool operator==(const Message&) const = default;
};

using MessageSink = std::function<void(const Message&)>;

// The application title, used as the caption of the save checks and the block syntax errors.
inline const QString kAppTitle = QStringLiteral("VRPL VazoVevoz");
inline const QString kCaptionError = QStringLiteral("Error");
inline const QString kCaptionWarning = QStringLiteral("Warning");
