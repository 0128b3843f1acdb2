// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QIODevice;

namespace results
{

/// Fills the device it is given; false (with the reason in the string) when it could not.
using ExportWriter = std::function<bool(QIODevice &device, QString *error)>;

/// Writes what `write` produces to `target`, checking every write and the final flush. A regular
/// file (or a new one) is replaced only once the whole text is on disk, keeping its permissions;
/// through a symbolic link the linked file is replaced. Anything else — "-" (standard output), a
/// terminal, a device, a FIFO — is written straight through and never replaced. A target that is
/// `resultsFile` or one of its journal files is refused. False with a plain-text reason (the
/// system's words, e.g. "No space left on device") in `error` on failure.
/// Opening a FIFO for writing waits for a reader; a window must not wait, so it says NoWait and a
/// FIFO without a reader fails at once ("No such device or address").
enum class ExportOpen { MayWait, NoWait };
bool WriteExport(const QString &target, const QString &resultsFile, const ExportWriter &write,
    QString *error, ExportOpen open = ExportOpen::MayWait);

/// True when `target` names `resultsFile` or one of SQLite's companion files of it, directly or
/// through links, whether or not it exists yet.
bool IsResultsFile(const QString &target, const QString &resultsFile);

/// Where every export's file dialog starts: the folder of the last export (`ExportFolder` in the
/// settings) while it exists, else Documents, else the home folder.
QString ExportFolder();
/// `fileName` in ExportFolder(): what an export dialog suggests.
QString SuggestedExportPath(const QString &fileName);
/// Remembers the folder of the chosen `path` as the one the next export starts in.
void RememberExportFolder(const QString &path);

} // namespace results
