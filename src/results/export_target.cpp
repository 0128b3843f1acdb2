// SPDX-License-Identifier: MIT
#include "results/export_target.h"

#include "settings/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace results
{

namespace
{

    QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

    // Unbuffered writes to a descriptor, so each failure is seen at once with its errno.
    class DescriptorDevice : public QIODevice
    {
    public:
        explicit DescriptorDevice(int fd)
            : m_fd(fd)
        {
            open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        }

    protected:
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *data, qint64 size) override
        {
            qint64 done = 0;
            while (done < size) {
                const ssize_t n = ::write(m_fd, data + done, size_t(size - done));
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    setErrorString(systemReason(n < 0 ? errno : ENOSPC));
                    return -1;
                }
                done += n;
            }
            return done;
        }

    private:
        int m_fd;
    };

    bool fail(QString *error, const QString &reason)
    {
        if (error) {
            *error = reason;
        }
        return false;
    }

    bool writeThrough(int fd, const ExportWriter &write, QString *error)
    {
        DescriptorDevice device(fd);
        QString reason;
        if (!write(device, &reason)) {
            return fail(error, reason.isEmpty() ? device.errorString() : reason);
        }
        // A pipe or terminal has nothing to flush; a device may still refuse on sync.
        if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
            return fail(error, systemReason(errno));
        }
        return true;
    }

    bool writeStraight(
        const QString &target, const ExportWriter &write, QString *error, ExportOpen open)
    {
        const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_APPEND
            | (open == ExportOpen::NoWait ? O_NONBLOCK : 0);
        const int fd = ::open(QFile::encodeName(target).constData(), flags);
        if (fd < 0) {
            return fail(error, systemReason(errno));
        }
        // Only the open may not wait; the writes go at the reader's pace.
        if (open == ExportOpen::NoWait) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        }
        const bool written = writeThrough(fd, write, error);
        if (::close(fd) != 0 && written) {
            return fail(error, systemReason(errno));
        }
        return written;
    }

    bool writeReplacing(const QString &target, const ExportWriter &write, QString *error)
    {
        // Through a link the linked file is replaced, so the link stays as the user made it.
        const QFileInfo info(target);
        const QString path = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
        const QFileInfo final(path);
        QByteArray temp = QFile::encodeName(final.absolutePath() + QStringLiteral("/.")
            + final.fileName() + QStringLiteral(".XXXXXX"));
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) {
            return fail(error, systemReason(errno));
        }
        struct stat existing = {};
        mode_t mode = 0;
        if (::stat(QFile::encodeName(path).constData(), &existing) == 0) {
            mode = existing.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        bool ok = ::fchmod(fd, mode) == 0 || fail(error, systemReason(errno));
        ok = ok && writeThrough(fd, write, error);
        if (::close(fd) != 0 && ok) {
            ok = fail(error, systemReason(errno));
        }
        if (ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
            ok = fail(error, systemReason(errno));
        }
        if (!ok) {
            ::unlink(temp.constData());
        }
        return ok;
    }

} // namespace

bool IsResultsFile(const QString &target, const QString &resultsFile)
{
    if (target == QLatin1String("-")) {
        return false;
    }
    const QFileInfo results(resultsFile);
    const QString folder = results.absoluteDir().canonicalPath();
    const QFileInfo info(target);
    // The folder as the system resolves it, so links and "a/../b" name the same place.
    const QString targetFolder = info.absoluteDir().canonicalPath();
    const QString targetPath =
        info.exists() ? info.canonicalFilePath() : targetFolder + u'/' + info.fileName();
    if (folder.isEmpty() || targetFolder.isEmpty()) {
        return false;
    }
    for (const char *suffix : { "", "-wal", "-shm", "-journal" }) {
        const QString companion = folder + u'/' + results.fileName() + QLatin1String(suffix);
        if (targetPath == companion) {
            return true;
        }
        struct stat a = {};
        struct stat b = {};
        if (::stat(QFile::encodeName(companion).constData(), &a) == 0
            && ::stat(QFile::encodeName(target).constData(), &b) == 0 && a.st_dev == b.st_dev
            && a.st_ino == b.st_ino) {
            return true;
        }
    }
    return false;
}

bool WriteExport(const QString &target, const QString &resultsFile, const ExportWriter &write,
    QString *error, ExportOpen open)
{
    if (IsResultsFile(target, resultsFile)) {
        return fail(error, QStringLiteral("that is the results file itself"));
    }
    if (target == QLatin1String("-")) {
        return writeThrough(STDOUT_FILENO, write, error);
    }
    struct stat st = {};
    if (::stat(QFile::encodeName(target).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            return fail(error, systemReason(EISDIR));
        }
        return writeStraight(target, write, error, open);
    }
    return writeReplacing(target, write, error);
}

QString ExportFolder()
{
    const QString last = settings_store::Read(settings_store::results::kExportFolder);
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString SuggestedExportPath(const QString &fileName)
{
    return QDir(ExportFolder()).filePath(fileName);
}

void RememberExportFolder(const QString &path)
{
    // Exports work on without the setting; the next one just starts elsewhere.
    settings_store::Write(settings_store::results::kExportFolder, QFileInfo(path).absolutePath());
}

} // namespace results
