#include "core/safefile.h"

#include "core/filekind.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

// Why not QSaveFile: in Qt 6.4 it buffers writes of less than 16 KiB, so write() reports every byte as
// written while nothing has reached the file yet; the real write happens inside commit(), whose close
// does not look at the outcome of that last flush. On a full disk commit() then renames the empty
// temporary file over the author's menu file and returns true. Writing unbuffered through the system
// calls below lets every failure be seen where it happens.

namespace {

#ifdef Q_OS_UNIX

FileWriteResult failed(int error, bool oldFileKept = true)
{
    FileWriteResult r;
    r.error = qt_error_string(error);
    r.oldFileKept = oldFileKept;
    return r;
}

// Writes all of `bytes`, going on after short writes (a signal, a file-size limit reached part-way
// reports the bytes before the limit first and the error on the next call).
int writeAll(int fd, const QByteArray& bytes)
{
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO; // no progress and no error: never loop on it
        at += n;
        left -= n;
    }
    return 0;
}

// Creates a new file beside the target that nobody else has opened.
int createTemporary(const QByteArray& target, QByteArray& name)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath());
    const QByteArray base = QFile::encodeName(QFileInfo(QFile::decodeName(target)).fileName());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "/." + base + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

FileWriteResult writeUnix(const QString& path, const QByteArray& bytes)
{
    // A link stays a link: the file it points at gets the new content.
    QString where = path;
    const QFileInfo info(path);
    if (info.isSymLink())
        where = info.symLinkTarget();
    const QByteArray target = QFile::encodeName(where);

    QByteArray temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return failed(errno);
    auto discard = [&](int error) {
        ::unlink(temporary.constData());
        return failed(error);
    };

    // The new file keeps the old one's permissions (and owner, where the system lets us).
    struct stat old;
    if (::stat(target.constData(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            ::close(fd);
            return discard(EISDIR);
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            const int error = errno;
            ::close(fd);
            return discard(error);
        }
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the owner or root may give a file away; the content is what matters.
        }
    }

    if (const int error = writeAll(fd, bytes)) {
        ::close(fd);
        return discard(error);
    }
    // The data on the disk before the new name points at it: after a power cut the target holds
    // either the old content or the whole new one.
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return discard(error);
    }
    // Some file systems (network ones) report a failed write only here.
    if (::close(fd) != 0)
        return discard(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        return discard(errno);

    // The folder holds the new name; sync it so that the rename itself is on the disk.
    const QByteArray dir = QFile::encodeName(QFileInfo(where).absolutePath());
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return failed(errno, false);
    const int synced = ::fsync(dirFd);
    const int syncError = errno;
    ::close(dirFd);
    // A file system that cannot sync a folder says so with EINVAL; there is nothing more to do there.
    if (synced != 0 && syncError != EINVAL && syncError != ENOTSUP)
        return failed(syncError, false);

    FileWriteResult done;
    done.ok = true;
    return done;
}

#else

FileWriteResult writeWithSaveFile(const QString& path, const QByteArray& bytes)
{
    // Unbuffered, so that a failing write is seen by write() itself and not lost in a later flush.
    QSaveFile file(path);
    FileWriteResult r;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size() ||
        !file.flush() || !file.commit()) {
        r.error = file.errorString();
        return r;
    }
    r.ok = true;
    return r;
}

#endif

} // namespace

FileWriteResult writeFileSafely(const QString& path, const QByteArray& bytes, ReplaceRule rule)
{
    if (rule == ReplaceRule::TextOnly) {
        const QString kind = describeNonTextFile(path);
        if (!kind.isEmpty()) {
            FileWriteResult refused;
            refused.notText = kind;
            refused.error = QStringLiteral("it looks like %1").arg(kind);
            return refused;
        }
    }
#ifdef Q_OS_UNIX
    return writeUnix(path, bytes);
#else
    return writeWithSaveFile(path, bytes);
#endif
}

QString fileWriteFailureText(const QString& path, const FileWriteResult& result)
{
    const QString native = QDir::toNativeSeparators(path);
    if (!result.notText.isEmpty())
        return QStringLiteral("%1 is not a text file (it looks like %2); choose another name.")
            .arg(QFileInfo(path).fileName(), result.notText);
    if (result.oldFileKept)
        return QStringLiteral("Cannot write the file %1: %2. The file was left as it was.").arg(native, result.error);
    return QStringLiteral("The file %1 was written, but it may not survive a power cut: %2.").arg(native, result.error);
}
