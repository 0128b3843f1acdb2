// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#include <optional>

/// What stands at the results file's place, looked at without ever blocking on it, and moving it
/// aside. Plain functions over paths.
namespace results::custody
{

/// What stands at a path, following links: a FIFO, socket, device or dangling link is Other.
enum class FileKind { Missing, Regular, Folder, Other };
FileKind KindOf(const QString &path);

/// Whether a regular file starts like an SQLite database (an empty file is one). Opened
/// non-blocking, and it must still be a regular file once open; Unreadable leaves errno set.
enum class Header { Database, Other, Unreadable };
Header DatabaseHeader(const QString &path);

/// True when the file system of `folder` has no space left for us.
bool DiskIsFull(const QString &folder);

/// Which file a path names now: device and inode, nullopt when nothing is there.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &) const = default;
};
std::optional<FileId> FileIdOf(const QString &path);

/// Renames `path` (and its journal files) to `path`.unreadable-<date-time>[-n], never opening
/// it: a link stays a link. Returns the new name, "" when it could not be renamed.
QString MoveAside(const QString &path);

/// Flushes the file at `path` to the disk on a worker thread, so the caller never waits for a
/// slow disk; does nothing while the flush started before with the same `busy` still runs.
void SyncInBackground(const QString &path, const std::shared_ptr<std::atomic_bool> &busy);

/// This process, as a text no other process has had since the computer started: the boot's id,
/// the process id and its start time.
QString InstanceKey();
/// Whether the process named by an InstanceKey() is still running. A key of an earlier boot,
/// of a process gone, or of another process with the same id, is not.
bool InstanceAlive(const QString &key);

} // namespace results::custody
