// SPDX-License-Identifier: MIT
#include "main_window/unsaved_results_prompt.h"

#include "results/csv.h"
#include "results/export_target.h"
#include "results/results_store.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace main_window
{

bool MayEndWithUnsavedResults(QWidget *parent, results::ResultsStore &store)
{
    QString exportFailure;
    while (!store.writePending()) {
        const int count = int(store.pendingGames().size());
        QStringList what;
        if (count > 0) {
            what.append(count == 1 ? QStringLiteral("A finished game")
                                   : QStringLiteral("%1 finished games").arg(count));
        }
        if (store.pendingChanges() > 0) {
            what.append(what.isEmpty() ? QStringLiteral("The latest changes of the competition")
                                       : QStringLiteral("the latest changes of the competition"));
        }
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Rotavex"),
            what.join(QStringLiteral(" and "))
                + QStringLiteral(" could not be written to %1 (%2) and will be lost when Rotavex "
                                 "ends.")
                      .arg(store.filePath(), store.whyNotSaved()),
            QMessageBox::NoButton, parent);
        box.setObjectName(QStringLiteral("msgUnsavedResults"));
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(exportFailure);
        QPushButton *retry = box.addButton(QStringLiteral("Try again"), QMessageBox::AcceptRole);
        retry->setObjectName(QStringLiteral("cmdTryAgain"));
        QPushButton *exportGames = count == 0
            ? nullptr
            : box.addButton(QStringLiteral("Export games to CSV…"), QMessageBox::ActionRole);
        if (exportGames) {
            exportGames->setObjectName(QStringLiteral("cmdExportWaiting"));
        }
        QPushButton *discard =
            box.addButton(QStringLiteral("Quit without them"), QMessageBox::DestructiveRole);
        discard->setObjectName(QStringLiteral("cmdDiscardWaiting"));
        QPushButton *cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(retry);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == discard) {
            return true;
        }
        if (exportGames && box.clickedButton() == exportGames) {
            const QString path =
                QFileDialog::getSaveFileName(parent, QStringLiteral("Export the unsaved games"),
                    results::SuggestedExportPath(QStringLiteral("rotavex-unsaved.csv")),
                    QStringLiteral("CSV files (*.csv);;All files (*)"));
            if (path.isEmpty()) {
                continue;
            }
            results::RememberExportFolder(path);
            const QList<results::GameRecord> games = store.pendingGames();
            QString why;
            if (results::WriteExport(
                    path, store.filePath(),
                    [&games](QIODevice &device, QString *error) {
                        return results::WriteCsv(device, games, error);
                    },
                    &why, results::ExportOpen::NoWait)) {
                return true;
            }
            exportFailure = QStringLiteral("Could not export to %1: %2").arg(path, why);
            continue;
        }
        if (box.clickedButton() != retry) {
            return false;
        }
    }
    return true;
}

} // namespace main_window
