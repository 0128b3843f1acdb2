// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "competition/heat_game.h"
#include "results/game_record.h"

#include <QObject>
#include <QStringList>

#include <optional>

namespace competition
{

class CompetitionStore;

/// The competition being run: the one left open in the store, the heat called and waiting for
/// its game, and whether that heat is the last one played again. Every change is saved through
/// the store at once; the windows show it and send it commands.
class RunningCompetition : public QObject
{
    Q_OBJECT
public:
    /// `store` must outlive the model; nothing is read from it until resume().
    explicit RunningCompetition(CompetitionStore &store, QObject *parent = nullptr);
    /// Takes up the competition left open in the store (once; later calls do nothing), with
    /// replaced() when there is one. Until then the model has no competition.
    void resume();
    ~RunningCompetition() override;

    CompetitionStore &store() const { return m_store; }
    /// The competition running, nullptr when none is open.
    const Competition *current() const { return m_competition ? &*m_competition : nullptr; }
    /// The heat called and waiting for its game, if any.
    std::optional<int> calledHeat() const { return m_called; }
    /// Whether the called heat is the last one played again.
    bool redoCalled() const { return m_redo; }
    /// What became of the last command, for the organiser ("" when there is nothing to say).
    QString status() const { return m_status; }

    /// Starts a competition with these settings and players (one a line); false (with a
    /// status) when it has no name or no players.
    bool create(const Settings &settings, const QString &roster);
    /// Calls the next heat: heatCalled() with its names.
    bool callNextHeat();
    /// Calls the last played heat again; its next result becomes a new attempt.
    bool callRedo();
    /// The game played for the called heat ended: its result becomes the heat's. A game
    /// without a called heat is not the competition's and is ignored.
    void takeGame(const results::GameRecord &game, const OpenLinks &openAtStart);
    bool addPlayers(const QString &roster);
    bool retirePlayer(PlayerId id);
    /// Renames a player; an empty or taken name is refused (changed() either way, so a view
    /// shows the name kept).
    bool renamePlayer(PlayerId id, const QString &name);
    bool swap(PlayerId out, PlayerId in);
    /// Changes the ranking rule; refused once a heat is played.
    bool setRankingRule(RankingRule rule);
    /// Closes the competition; it stays in the file with its results.
    bool close();

Q_SIGNALS:
    /// A heat was called: the names at devices 1..4 ("" for a free device), "Heat n of m" and
    /// "Next: …" (empty after the last heat).
    void heatCalled(const QStringList &names, const QString &title, const QString &onDeck);
    /// The called heat's game became its result (changed() has been sent already).
    void gameTaken();
    /// The standings or the heats changed (a result, a roster change).
    void changed();
    /// Another instance's newer state of the competition replaced this one's.
    void replaced();
    /// The competition was closed.
    void closed();
    void statusChanged(const QString &text);

private:
    bool call(int heat, bool redo);
    bool save(const QString &what);
    void setStatus(const QString &text);

    CompetitionStore &m_store;
    std::optional<Competition> m_competition;
    std::optional<int> m_called;
    bool m_redo = false;
    bool m_resumed = false;
    QString m_status;
};

} // namespace competition
