#pragma once

#include <QString>

// The one place where paths are joined and converted. The base directory is a native absolute path
// ending in the native separator; directories stored in the movie data are relative to it and use the
// file's form, with "\" between levels ("video\cd1"), because the player reads them so.
namespace paths {

QChar nativeSeparator();

// The folder of a file, as a native path ending in the native separator.
QString directoryOf(const QString& filePath);

// A relative directory in native form ("video/cd1") in the file's form ("video\cd1"), and back.
QString toFileForm(const QString& nativeRelative);
QString fromFileForm(const QString& fileRelative);

// The native path of `name` in the relative directory `fileRelativeDir` (file form) below `base`.
// An empty or "." directory means the base itself. The result is what the program uses to reach
// the disk; "\" in the directory become native separators.
QString resolve(const QString& base, const QString& fileRelativeDir, const QString& name);

} // namespace paths
