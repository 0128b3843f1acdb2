// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QAbstractTableModel>
#include <QList>

namespace results
{
class ResultsStore;
}

namespace scores
{

/// The recorded games newest first, read from the store a page at a time as the view scrolls.
class RecentGamesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 100;
    enum Column { Started = 0, Mode, Seconds, Players, ColumnCount };

    explicit RecentGamesModel(results::ResultsStore &store, QObject *parent = nullptr);

    /// Starts again from the newest game.
    void reload();
    /// A game the list leaves out (one deleted with Undo still possible); takes effect at the
    /// next reload().
    void setHiddenGame(std::optional<qint64> gameId) { m_hidden = gameId; }
    qint64 gameId(int row) const;
    int rowOf(qint64 gameId) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    results::ResultsStore &m_store;
    void append(const QList<results::GameSummary> &page);

    QList<results::GameSummary> m_games;
    std::optional<qint64> m_hidden;
    int m_read = 0; ///< games read from the store, the hidden one included
    bool m_more = false; ///< the last page read was full, so more games may follow
};

/// A name as the lists show it: at most a few hundred characters (never half a surrogate
/// pair), with an ellipsis when shortened. Lists never need more, and laying out ten thousand
/// characters on every repaint would slow the window down.
QString ShownName(const QString &name);

/// Up to 200 characters of `plain` as a tooltip that breaks only at blanks.
QString ToolTip(const QString &plain);

/// "Speed" or "Strength 60 s" (with "stopped" for a Strength game stopped early).
QString ModeCaption(rotavex::PlayMode mode, std::optional<int> presetSeconds, bool complete);

} // namespace scores
