// SPDX-License-Identifier: MIT
#include "results/export_command.h"

#include "results/export_target.h"
#include "results/results_store.h"

#include <QDir>
#include <QTextStream>

namespace results
{

ExportExit ExportResults(
    const QString &folder, const QString &target, QTextStream &errors, CsvText style)
{
    const ResultsStore store(folder, ResultsStore::Access::ReadOnly);
    if (const QString why = store.readFailure(); !why.isEmpty()) {
        errors << "Could not read the results in " << QDir::toNativeSeparators(store.filePath())
               << ": " << why << Qt::endl;
        return ExportExit::Failed;
    }
    QString error;
    const bool written = WriteExport(
        target, store.filePath(),
        [&store, style](
            QIODevice &device, QString *why) { return WriteCsv(device, store, why, style); },
        &error);
    if (!written && !store.lastError().isEmpty()) {
        errors << "Could not read the results in " << QDir::toNativeSeparators(store.filePath())
               << ": " << store.lastError() << Qt::endl;
        return ExportExit::Failed;
    }
    if (!written) {
        errors << "Could not write the results to "
               << (target == QLatin1String("-") ? QStringLiteral("standard output") : target)
               << ": " << error << Qt::endl;
        return ExportExit::Failed;
    }
    return ExportExit::Written;
}

} // namespace results
