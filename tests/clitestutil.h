#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// Runs the built vrplmenu as a user would, with its exit status and both output streams.
struct CliRun
{
    int exitCode = -1; // -1 when it did not finish in time or crashed
    QByteArray out;
    QByteArray err;
};

inline CliRun runVrplmenu(const QStringList& args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(QStringLiteral(VRPLMENU_PATH), args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return CliRun{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
