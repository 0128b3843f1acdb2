// SPDX-License-Identifier: MIT
#include "evening/scoreboard_state.h"

#include "measurement/colour_bands.h"

#include <algorithm>
#include <cmath>

namespace evening
{

namespace
{

    using rotavex::kFirstPlayer;
    using rotavex::kLastPlayer;

    HeatSeat seatOf(const competition::Competition &competition, competition::PlayerId id)
    {
        const competition::Player *player =
            id == competition::kNoPlayer ? nullptr : competition::FindPlayer(competition, id);
        return player ? HeatSeat { player->name, true } : HeatSeat {};
    }

    // The result of the game shown, its participants only: revolutions as shown live, mean rpm
    // from the bar (the Strength bar shows the mean) and best rpm from the record.
    Ranking resultOf(const game::Snapshot &snapshot, const ScoreboardState &state)
    {
        Ranking results;
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const PlayerState &player = state.players[p];
            if (!player.playing) {
                continue;
            }
            Place entry;
            entry.seat = p;
            // The names it was played with, though the board's names may have changed since.
            entry.name = snapshot.playedNames[p].isEmpty() ? player.name : snapshot.playedNames[p];
            entry.revolutions = player.live;
            entry.meanRpm = static_cast<qint64>(std::floor(std::max(0.0, snapshot.players[p].bar)));
            entry.bestRpm = player.bestRpm;
            results.push_back(entry);
        }
        return RankByRevolutions(std::move(results));
    }

    PerPlayer<bool> leadersOf(const ScoreboardState &state)
    {
        PerPlayer<qint64> values;
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const PlayerState &player = state.players[p];
            switch (state.mode) {
            case PlayMode::Speed:
                values[p] = player.bestRpm;
                break;
            case PlayMode::Strength:
                values[p] = player.live;
                break;
            case PlayMode::Unset:
                values[p] = 0;
                break;
            }
        }
        return Leaders(values);
    }

} // namespace

ScoreboardState StateFrom(const game::Snapshot &snapshot, const PerPlayer<bool> &linked,
    const std::optional<BetweenHeats> &betweenHeats)
{
    ScoreboardState state;
    state.mode = snapshot.mode;
    state.running = snapshot.running;
    state.topRpm = snapshot.topRpm;
    state.countdownSeconds = snapshot.countdownSeconds;
    const bool revolutions = snapshot.reading == game::Reading::Strength
        || snapshot.reading == game::Reading::StrengthRest;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const game::PlayerSnapshot &from = snapshot.players[p];
        PlayerState &player = state.players[p];
        player.seat = p;
        player.name = from.name;
        player.seated = from.seated;
        player.linked = linked[p];
        player.playing = from.participating;
        player.unit = revolutions ? Unit::Revolutions : Unit::Rpm;
        if (snapshot.reading == game::Reading::Strength) {
            player.live = std::llround(from.revolutions);
        } else if (snapshot.reading == game::Reading::Speed) {
            player.live = from.rpm;
        }
        player.bestRpm = from.record.value_or(0);
        player.bar = std::clamp(from.bar / kBarMaximumRpm, 0.0, 1.0);
        player.colour = from.barColour.value_or(speed_mode::SpeedColour(0.0));
    }
    const PerPlayer<bool> leaders = leadersOf(state);
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        state.players[p].leader = leaders[p];
    }
    if (snapshot.ranOut && snapshot.mode == PlayMode::Strength) {
        state.result = resultOf(snapshot, state);
    }
    state.countIn = snapshot.countIn;
    // While a heat's game counts in or runs, the spectators follow the game, not the standings.
    if (!snapshot.running && snapshot.countIn == 0) {
        state.betweenHeats = betweenHeats;
    }
    return state;
}

BetweenHeats BetweenHeatsFor(const competition::Competition &competition, std::optional<int> called)
{
    BetweenHeats shown;
    shown.competition = competition.settings.name;
    shown.heatCount = int(competition.heats.size());
    shown.gameKind = competition.settings.gameKind;
    shown.rule = competition::RuleOf(competition.settings);
    shown.standings = competition::Standings(competition);
    const std::optional<int> heat = called ? called : competition::NextHeat(competition);
    if (!heat || *heat < 0 || *heat >= competition.heats.size()) {
        return shown;
    }
    shown.heat = *heat + 1;
    for (const competition::PlayerId id : competition.heats[*heat].seats) {
        shown.seats.append(seatOf(competition, id));
    }
    if (*heat + 1 < competition.heats.size()) {
        shown.nextHeat = *heat + 2;
        for (const competition::PlayerId id : competition.heats[*heat + 1].seats) {
            if (const HeatSeat seat = seatOf(competition, id); seat.seated) {
                shown.nextNames.append(seat.name);
            }
        }
    }
    return shown;
}

Ranking RankByRevolutions(Ranking ranking)
{
    std::stable_sort(ranking.begin(), ranking.end(),
        [](const Place &a, const Place &b) { return a.revolutions > b.revolutions; });
    for (std::size_t i = 0; i < ranking.size(); ++i) {
        const bool tied = i > 0 && ranking[i].revolutions == ranking[i - 1].revolutions;
        ranking[i].rank = tied ? ranking[i - 1].rank : static_cast<int>(i) + 1;
    }
    return ranking;
}

PerPlayer<bool> Leaders(const PerPlayer<qint64> &values)
{
    qint64 best = 0;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        best = std::max(best, values[p]);
    }
    PerPlayer<bool> leaders;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        leaders[p] = best > 0 && values[p] == best;
    }
    return leaders;
}

ScoreboardPublisher::ScoreboardPublisher(QObject *parent)
    : QObject(parent)
    , m_state(StateFrom(m_snapshot))
{
}

void ScoreboardPublisher::showSnapshot(const game::Snapshot &snapshot)
{
    m_snapshot = snapshot;
    update();
}

void ScoreboardPublisher::setLinked(rotavex::PlayerSlot player, bool open)
{
    m_linked[player] = open;
    update();
}

void ScoreboardPublisher::showBetweenHeats(const std::optional<BetweenHeats> &betweenHeats)
{
    m_betweenHeats = betweenHeats;
    update();
}

void ScoreboardPublisher::update()
{
    ScoreboardState state = StateFrom(m_snapshot, m_linked, m_betweenHeats);
    // The session tells of every tick; the views hear only of what a spectator would see move.
    if (state == m_state) {
        return;
    }
    m_state = std::move(state);
    Q_EMIT published(m_state);
}

} // namespace evening
