// SPDX-License-Identifier: MIT
#pragma once

#include "results/csv.h"
#include "results/game_record.h"
#include "results/undoable_deletion.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QChartView;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;
class QTabWidget;

namespace results
{
class ResultsStore;
}

namespace scores
{
class RecentGamesModel;
}

/// The high-score window: the best results of each list, the recorded games newest first,
/// the chart and players of the selected game, CSV export and deletion. It reads the store
/// page by page, so it opens as quickly with ten thousand games as with ten.
class frmScore : public QWidget
{
    Q_OBJECT
public:
    /// `store` must outlive the window.
    explicit frmScore(results::ResultsStore &store, QWidget *parent = nullptr);
    ~frmScore() override;

    /// Asks for a file to save CSV into, starting at `suggestedPath` (a file name in the folder
    /// last exported to, or in Documents the first time); "" cancels. Defaults to a save-file
    /// dialog. The folder of the chosen file is remembered in the settings.
    using FileChooser = std::function<QString(QWidget *parent, const QString &suggestedPath)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    /// Asks before everything is deleted; false cancels. Defaults to a question box whose
    /// default answer is No, so Enter and Escape both keep the games.
    using Confirmation = std::function<bool(QWidget *parent, const QString &question)>;
    void setConfirmation(Confirmation confirm) { m_confirm = std::move(confirm); }

    /// Reads the lists and the first page of games again (after a game was recorded).
    void reload();
    /// Selects the recent game with this id, when it is on a loaded page.
    bool selectGame(qint64 id);
    /// The game whose chart and players are shown.
    std::optional<qint64> selectedGame() const;
    /// The game deleted last, hidden from every list but still in the file until the next
    /// deletion, the window's close or its end; Undo brings it back.
    std::optional<qint64> pendingDeletion() const { return m_deletion.hidden(); }

public Q_SLOTS:
    void exportSelectedGame();
    void exportAllGames();
    /// Hides the selected game and offers Undo in the status line; the game deleted before it
    /// leaves the file now.
    void deleteSelectedGame();
    void deleteAllGames();
    /// Brings the game deleted last back and selects it.
    void undoDeletion();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    /// Fills the list's table; true when its top entry is this run's new best.
    bool fillRanking(results::BestList list);
    void showGame(const std::optional<results::GameRecord> &game);
    void updateTitle(const QStringList &newBests);
    /// How the export writes names: as the check box chkRawNames says.
    results::CsvText csvText() const;
    bool writeCsvFile(
        const QString &suggestedName, const std::function<bool(QIODevice &, QString *)> &write);
    /// Removes the hidden game from the file; the undo window closes.
    void finishDeletion();
    void fitColumns(QTableView *table, int nameColumn);
    void setStatus(const QString &text, bool undoable = false);
    void buildTabOrder();

    results::ResultsStore &m_store;
    results::UndoableDeletion m_deletion;
    QTableWidget *m_bestSpeed = nullptr;
    QTabWidget *m_strengthTabs = nullptr;
    std::array<QTableWidget *, 3> m_bestStrength {};
    QTableView *m_recent = nullptr;
    scores::RecentGamesModel *m_recentModel = nullptr;
    QLabel *m_gameCaption = nullptr;
    QChartView *m_chart = nullptr;
    QTableWidget *m_players = nullptr;
    QPushButton *m_exportGame = nullptr;
    QPushButton *m_exportAll = nullptr;
    QCheckBox *m_rawNames = nullptr; ///< export names exactly as typed (no formula guard)
    QPushButton *m_deleteGame = nullptr;
    QPushButton *m_deleteAll = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_undo = nullptr;
    std::optional<results::GameRecord> m_shown;
    QSize m_storedSize;
    FileChooser m_chooseFile;
    Confirmation m_confirm;
};
