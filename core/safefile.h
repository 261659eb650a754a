#pragma once

#include <QByteArray>
#include <QString>

// The one way this program writes a file. The new content goes to a temporary file beside the target;
// every write, the sync to the disk and the close are checked, and only a temporary file that is
// complete and on the disk is renamed over the target (the folder is synced after that, so the new name
// survives a power cut too). Until the rename the old file is untouched, so a full disk, a file-size
// limit or a failing device leaves it exactly as it was.
struct FileWriteResult
{
    bool ok = false;
    // The file system's own words for what went wrong ("No space left on device"); empty when ok.
    QString error;
    // Whether the file at the target path is still the one that was there before (or still missing).
    // Only a failure after the rename (the folder could not be synced) leaves this false.
    bool oldFileKept = true;
    // Set when the write was refused because the file there is not text (see ReplaceRule::TextOnly):
    // what it looks like ("an AVI video"). Nothing was written then.
    QString notText;

    explicit operator bool() const { return ok; }
};

// Which files a write may replace. Text files (menus, walkthroughs) are written with TextOnly, so that
// a name mistyped or picked by mistake never costs the author a video or a picture.
enum class ReplaceRule { AnyFile, TextOnly };

FileWriteResult writeFileSafely(const QString& path, const QByteArray& bytes,
                                ReplaceRule rule = ReplaceRule::AnyFile);

// The sentence the program shows or prints for a failed write of `path`: the file system's error and
// what became of the file.
QString fileWriteFailureText(const QString& path, const FileWriteResult& result);
