// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QTextStream;

namespace results
{

/// Writes every game recorded in `folder` as CSV to `target` ("-" for standard output),
/// without a display. Problems go to `errors` as plain text. Returns the process exit code:
/// 0 on success, 1 when the CSV could not be written.
int ExportResults(const QString &folder, const QString &target, QTextStream &errors);

} // namespace results
