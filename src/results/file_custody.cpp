// SPDX-License-Identifier: MIT
#include "results/file_custody.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace results::custody
{

FileKind KindOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(name.constData(), &st) != 0) {
        return FileKind::Missing;
    }
    if (::stat(name.constData(), &st) != 0) {
        return FileKind::Other;
    }
    if (S_ISDIR(st.st_mode)) {
        return FileKind::Folder;
    }
    return S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Other;
}

Header DatabaseHeader(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Header::Unreadable;
    }
    struct stat st = {};
    char bytes[16] = {};
    Header header = Header::Other;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const ssize_t n = ::read(fd, bytes, sizeof bytes);
        // SQLite treats an empty file as an empty database.
        if (n == 0
            || (n == ssize_t(sizeof bytes)
                && std::memcmp(bytes, "SQLite format 3\0", sizeof bytes) == 0)) {
            header = Header::Database;
        } else if (n < 0) {
            header = Header::Unreadable;
        }
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return header;
}

bool DiskIsFull(const QString &folder)
{
    struct statvfs fs = {};
    return ::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && fs.f_bavail == 0;
}

std::optional<FileId> FileIdOf(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return FileId { quint64(st.st_dev), quint64(st.st_ino) };
}

QString MoveAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n) {
        aside = path + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    }
    // A rename moves the name only: a link stays a link, a device or FIFO is never opened.
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        return QString();
    }
    // Journal files of the old file must not be replayed into the fresh one.
    for (const char *suffix : { "-wal", "-shm" }) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion)) {
            QFile::rename(companion, aside + QLatin1String(suffix));
        }
    }
    return aside;
}

namespace
{

    QByteArray bootId()
    {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }

    // Field 22 of /proc/<pid>/stat, the start in clock ticks since boot; "" when it is gone.
    QByteArray startTime(qint64 pid)
    {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        const QByteArray stat = file.readAll();
        // The name in parentheses may hold spaces and parentheses: count after the last one.
        const qsizetype nameEnd = stat.lastIndexOf(')');
        const QList<QByteArray> fields = stat.mid(nameEnd + 1).simplified().split(' ');
        constexpr qsizetype kStartTime = 22 - 3;
        return nameEnd < 0 || fields.size() <= kStartTime ? QByteArray() : fields[kStartTime];
    }

} // namespace

void SyncInBackground(const QString &path, const std::shared_ptr<std::atomic_bool> &busy)
{
    if (busy->exchange(true)) {
        return;
    }
    // A flush goes to the file, whichever descriptor asks for it: SQLite's own one need not
    // be touched from another thread.
    QThreadPool::globalInstance()->start([name = QFile::encodeName(path), busy] {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
        busy->store(false);
    });
}

QString InstanceKey()
{
    const qint64 pid = ::getpid();
    return QString::fromLatin1(bootId() + ':' + QByteArray::number(pid) + ':' + startTime(pid));
}

bool InstanceAlive(const QString &key)
{
    const QStringList parts = key.split(u':');
    if (parts.size() != 3 || parts[0].toLatin1() != bootId()) {
        return false;
    }
    bool ok = false;
    const qint64 pid = parts[1].toLongLong(&ok);
    if (!ok || pid <= 0) {
        return false;
    }
    const QByteArray started = startTime(pid);
    return !started.isEmpty() && started == parts[2].toLatin1();
}

} // namespace results::custody
