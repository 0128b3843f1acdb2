// SPDX-License-Identifier: MIT
#pragma once

#include "results/csv.h"

#include <QString>

class QTextStream;

namespace results
{

/// Exit codes of the command-line export.
enum class ExportExit { Written = 0, Failed = 1 };

/// Writes every game recorded in `folder` as CSV to `target` ("-" for standard output),
/// without a display and without changing anything in `folder`. Problems go to `errors` as
/// plain text. Returns Failed when the results file cannot be read, the target is the results
/// file itself, or the CSV could not be written; Written otherwise (no file yet: the header).
ExportExit ExportResults(const QString &folder, const QString &target, QTextStream &errors,
    CsvText style = CsvText::SpreadsheetSafe);

} // namespace results
