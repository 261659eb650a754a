#pragma once

#include <QString>

#include <optional>

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

// `path` ending in the native separator (an empty path stays empty).
QString withTrailingSeparator(const QString& path);
// `path` without its trailing separator; a lone root separator is kept.
QString withoutTrailingSeparator(const QString& path);

// The root folder that chosen files are checked against: a trailing separator is added, then every
// "/./" (or "\.\") is folded into one separator, so a root built as a base directory followed by the
// relative directory "." is the base directory itself. An empty root stays empty: nothing lies below
// it, whereas a lone "/" would take in every path on the disk.
QString normalisedRoot(const QString& root);

// The normalised root of the relative directory `fileRelativeDir` (file form) below `base`. Empty when
// `base` is empty.
QString rootBelow(const QString& base, const QString& fileRelativeDir);

// Whether `path` begins with `root`, compared exactly and case-sensitively, character by character.
// An empty root holds nothing.
bool isBelow(const QString& path, const QString& root);

// A chosen file split by the relative-path rule.
struct RelativeFilePath
{
    QString directory; // below the root, file form ("video\cd1"), "." for the root itself
    QString fileName;  // the name alone
};

// `filePath` relative to `root` (a normalised root), or nothing when the file is not below it. The
// path is cleaned first, so "a/../../x" cannot pass the prefix test and then climb out of the root.
std::optional<RelativeFilePath> relativeFile(const QString& root, const QString& filePath);

// A chosen folder as the relative directory of the movie data: file form below `base`, "." for `base`
// itself, or nothing when it lies elsewhere. With an empty base every folder is accepted and comes
// back whole, in native form, without its trailing separator.
std::optional<QString> relativeFolder(const QString& base, const QString& folder);

// The name part of a path (after its last native separator).
QString fileNameOf(const QString& path);

} // namespace paths
