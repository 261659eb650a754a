#pragma once

#include <QByteArrayView>
#include <QString>

// Telling a text file from a video, a picture or other binary data by its first bytes. Opening and
// saving ask it before they take a file for a menu or write over one: an author who picks the movie's
// AVI by mistake must never lose it to a Save.

// How many bytes from the start are looked at.
inline constexpr qsizetype kFileKindProbeLength = 4096;

// What the bytes look like when they are not text ("an AVI video", "a JPEG picture", "binary data"),
// for a message that says so; empty when they may be text (also when there are none).
QString describeNonText(QByteArrayView head);

// The same for the first bytes of the file at `path`; empty when it is text, empty or cannot be read.
QString describeNonTextFile(const QString& path);
