// SPDX-License-Identifier: MIT
#include "results/export_command.h"

#include "results/csv.h"
#include "results/results_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace results
{

namespace
{

    bool writeTo(QIODevice &device, const QString &folder, QTextStream &errors, QString &error)
    {
        // Nothing recorded yet: an export creates no results file.
        if (!QFileInfo::exists(QDir(folder).filePath(QLatin1String(ResultsStore::kFileName)))) {
            return WriteCsv(device, QList<GameRecord> {}, &error);
        }
        ResultsStore store(folder);
        if (const QString notice = store.takeNotice(); !notice.isEmpty()) {
            errors << notice << Qt::endl;
        }
        return WriteCsv(device, store, &error);
    }

} // namespace

int ExportResults(const QString &folder, const QString &target, QTextStream &errors)
{
    QString error;
    if (target == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || !writeTo(out, folder, errors, error)) {
            errors << "Could not write the results to standard output: " << error << Qt::endl;
            return 1;
        }
        return 0;
    }
    // A file is replaced only once the whole export is written.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || !writeTo(out, folder, errors, error) || !out.commit()) {
        errors << "Could not write the results to " << target << ": "
               << (error.isEmpty() ? out.errorString() : error) << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace results
