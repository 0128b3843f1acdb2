// SPDX-License-Identifier: MIT
#include "scores/recent_games_model.h"

#include "results/results_store.h"
#include "scores/score_text.h"
#include "widgets/tool_tip.h"

#include <QLocale>

namespace scores
{

namespace
{
    constexpr qsizetype kShownChars = 200;
}

QString ShownName(const QString &name)
{
    if (name.size() <= kShownChars) {
        return name;
    }
    const qsizetype cut =
        name.at(kShownChars - 1).isHighSurrogate() ? kShownChars - 1 : kShownChars;
    return name.left(cut) + QChar(0x2026);
}

QString ToolTip(const QString &plain) { return widgets::ToolTipText(ShownName(plain)); }

QString ModeCaption(rotavex::PlayMode mode, std::optional<int> presetSeconds, bool complete)
{
    if (mode == rotavex::PlayMode::Speed) {
        return QStringLiteral("Speed");
    }
    QString caption = presetSeconds ? QStringLiteral("Strength %1 s").arg(*presetSeconds)
                                    : QStringLiteral("Strength");
    if (!complete) {
        caption += QStringLiteral(" (stopped)");
    }
    return caption;
}

RecentGamesModel::RecentGamesModel(results::ResultsStore &store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    reload();
}

void RecentGamesModel::reload()
{
    beginResetModel();
    // No count of all games: that would read the whole history each time the board opens.
    m_games.clear();
    m_read = 0;
    const QList<results::GameSummary> page = m_store.recentGames(0, kPageSize);
    m_more = page.size() == kPageSize;
    append(page);
    endResetModel();
}

qint64 RecentGamesModel::gameId(int row) const
{
    return row >= 0 && row < m_games.size() ? m_games[row].id : 0;
}

int RecentGamesModel::rowOf(qint64 gameId) const
{
    for (int row = 0; row < m_games.size(); ++row) {
        if (m_games[row].id == gameId) {
            return row;
        }
    }
    return -1;
}

int RecentGamesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_games.size());
}

int RecentGamesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecentGamesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_games.size()) {
        return {};
    }
    const results::GameSummary &game = m_games[index.row()];
    if (role == Qt::TextAlignmentRole && index.column() == Seconds) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole && index.column() == Players) {
        // A cell cut short by its column still tells every name.
        return ToolTip(game.playerNames.join(QStringLiteral(", ")));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case Started:
        return score_text::CompactDate(game.startedAt, QDateTime::currentDateTime(), QLocale());
    case Mode:
        return ModeCaption(game.mode, game.presetSeconds, game.complete);
    case Seconds:
        return game.ticks;
    case Players: {
        QStringList names;
        for (const QString &name : game.playerNames) {
            names.append(ShownName(name));
        }
        return names.join(QStringLiteral(", "));
    }
    default:
        return {};
    }
}

QVariant RecentGamesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case Started:
        return QStringLiteral("Started");
    case Mode:
        return QStringLiteral("Mode");
    case Seconds:
        return QStringLiteral("Seconds");
    case Players:
        return QStringLiteral("Players");
    default:
        return {};
    }
}

void RecentGamesModel::append(const QList<results::GameSummary> &page)
{
    m_read += int(page.size());
    for (const results::GameSummary &game : page) {
        if (game.id != m_hidden) {
            m_games.append(game);
        }
    }
}

bool RecentGamesModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void RecentGamesModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid()) {
        return;
    }
    const QList<results::GameSummary> page = m_store.recentGames(m_read, kPageSize);
    m_more = page.size() == kPageSize;
    qsizetype shown = page.size();
    for (const results::GameSummary &game : page) {
        shown -= game.id == m_hidden ? 1 : 0;
    }
    if (shown == 0) {
        m_read += int(page.size());
        return;
    }
    beginInsertRows(QModelIndex(), int(m_games.size()), int(m_games.size() + shown - 1));
    append(page);
    endInsertRows();
}

} // namespace scores
