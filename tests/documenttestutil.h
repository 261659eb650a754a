#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include "document/actiontypes.h"
#include "document/messages.h"
#include "document/model.h"

// Lines joined with CRLF, as the player's files are written; "\t" in the test text is a real tab.
inline QByteArray crlf(const QList<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

// The head every loadable file needs.
inline QList<QByteArray> minimalHead()
{
    return {"[Vireo Ini File]", "", "[MAIN]", "Title=Film", "ID=F1", "", "[MOVIE]", "Directory=.",
            "AVIName=film.avi", ""};
}

struct MessageLog
{
    QList<Message> messages;
    MessageSink sink()
    {
        return [this](const Message& m) { messages.append(m); };
    }
    QStringList texts() const
    {
        QStringList t;
        for (const Message& m : messages)
            t << m.text;
        return t;
    }
};

// A selection's actions as "type:parameter" joined by ";", for compact comparisons.
inline QString describeActions(const Selection& s)
{
    QStringList parts;
    for (const auto& a : s.actions)
        parts << QString::number(a->type) + QLatin1Char(':') + a->parameter;
    return parts.join(QLatin1Char(';'));
}
