#pragma once

// The two ways a real file system refuses a file, for the tests of saving: a small tmpfs that is full
// (mounted here when the test runs as root, as CI does) and a file-size limit (RLIMIT_FSIZE) set in a
// child process, which needs no root.
#include <QtTest>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <functional>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// A 64 KiB tmpfs, unmounted (and its mount point removed) when this goes, also when a test fails.
class SmallDisk
{
public:
    SmallDisk()
    {
        if (::geteuid() != 0) {
            m_why = QStringLiteral("mounting a small file system needs root (CI runs the tests as root)");
            return;
        }
        m_point = QDir::temp().filePath(QStringLiteral("vazo-full-XXXXXX"));
        QByteArray point = QFile::encodeName(m_point);
        if (!::mkdtemp(point.data())) {
            m_why = QStringLiteral("no mount point");
            return;
        }
        m_point = QFile::decodeName(point);
        if (::mount("tmpfs", point.constData(), "tmpfs", 0, "size=64k,mode=0777") != 0) {
            m_why = QStringLiteral("cannot mount a tmpfs here: %1").arg(qt_error_string(errno));
            ::rmdir(point.constData());
            m_point.clear();
            return;
        }
        m_mounted = true;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_point).constData(), MNT_DETACH);
        if (!m_point.isEmpty())
            ::rmdir(QFile::encodeName(m_point).constData());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool ok() const { return m_mounted; }
    // Why there is no small disk, for QSKIP.
    QString whyNot() const { return m_why; }
    QString filePath(const QString& name) const { return QDir(m_point).filePath(name); }

    // Takes every free byte, so that the next write of any file fails with "No space left on device".
    bool fill() const
    {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QString m_point;
    QString m_why;
    bool m_mounted = false;
};

// The limit every test of the size limit uses: smaller than any menu file written there.
constexpr rlim_t kFileSizeLimit = 50;

// Sets the file-size limit in the process that calls it, with SIGXFSZ ignored so that a write past the
// limit fails with EFBIG ("File too large") instead of ending the process.
inline void limitFileSize()
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{kFileSizeLimit, kFileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// A QProcess whose program runs under the file-size limit.
inline void runWithFileSizeLimit(QProcess& process)
{
    process.setChildProcessModifier([] { limitFileSize(); });
}

// Runs `work` in a forked copy of this process under the file-size limit and gives back the bytes it
// returned, so that the limit never reaches the test itself. Empty with `failed` set when the child
// did not end normally.
inline QByteArray inChildWithFileSizeLimit(const std::function<QByteArray()>& work, bool* failed = nullptr)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        if (failed)
            *failed = true;
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        limitFileSize();
        const QByteArray out = work();
        qint64 done = 0;
        while (done < out.size()) {
            const ssize_t n = ::write(fds[1], out.constData() + done, size_t(out.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        out.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (failed)
        *failed = pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    return out;
}
