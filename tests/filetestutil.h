#pragma once

// Whole files in and out, for tests that write their inputs and read back what the program wrote.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

// The file's bytes; empty when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the bytes or stops the test program: a test cannot go on without its input.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}
