// SPDX-License-Identifier: MIT
#include "competition/competition.h"

#include "competition/lineup.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace competition
{

int Heat::size() const
{
    return int(
        std::count_if(seats.begin(), seats.end(), [](PlayerId id) { return id != kNoPlayer; }));
}

int Heat::deviceOf(PlayerId player) const
{
    if (player == kNoPlayer) {
        return 0;
    }
    for (int d = 0; d < kDevices; ++d) {
        if (seats[std::size_t(d)] == player) {
            return d + 1;
        }
    }
    return 0;
}

QList<RankingRule> RulesFor(PlayMode gameKind)
{
    if (gameKind == PlayMode::Speed) {
        return { RankingRule::Best, RankingRule::Mean };
    }
    return { RankingRule::Total, RankingRule::Mean, RankingRule::Best };
}

RankingRule RuleOf(const Settings &settings)
{
    return RulesFor(settings.gameKind).contains(settings.ranking)
        ? settings.ranking
        : RulesFor(settings.gameKind).first();
}

bool SetRankingRule(Competition &competition, RankingRule rule)
{
    if (PlayedHeats(competition) > 0 || !RulesFor(competition.settings.gameKind).contains(rule)) {
        return false;
    }
    competition.settings.ranking = rule;
    return true;
}

QString BoundName(const QString &name)
{
    if (name.size() <= kMaxNameLength) {
        return name;
    }
    return name.left(
        name.at(kMaxNameLength - 1).isHighSurrogate() ? kMaxNameLength - 1 : kMaxNameLength);
}

QStringList ParseRoster(const QString &text, const QStringList &taken)
{
    QSet<QString> used;
    used.reserve(taken.size());
    for (const QString &name : taken) {
        used.insert(name.toCaseFolded());
    }
    // The next number worth trying for each name, so a thousand copies of one name count on
    // instead of trying every taken number again.
    QHash<QString, int> nextNumber;
    QStringList names;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QString name = BoundName(line.toString().simplified());
        if (name.isEmpty()) {
            continue;
        }
        const QString folded = name.toCaseFolded();
        QString unique = name;
        QString uniqueFolded = folded;
        if (used.contains(folded)) {
            int &n = nextNumber[folded];
            n = std::max(n, 2);
            do {
                unique = QStringLiteral("%1 (%2)").arg(name).arg(n++);
                uniqueFolded = unique.toCaseFolded();
            } while (used.contains(uniqueFolded));
        }
        used.insert(uniqueFolded);
        names.append(unique);
    }
    return names;
}

QList<PlayerId> ActivePlayers(const Competition &competition)
{
    QList<PlayerId> active;
    for (const Player &player : competition.players) {
        if (!player.retired) {
            active.append(player.id);
        }
    }
    return active;
}

const Player *FindPlayer(const Competition &competition, PlayerId id)
{
    const auto found = std::lower_bound(competition.players.begin(), competition.players.end(), id,
        [](const Player &player, PlayerId wanted) { return player.id < wanted; });
    if (found != competition.players.end() && found->id == id) {
        return &*found;
    }
    // A list built out of order still finds its players, only slower.
    for (const Player &player : competition.players) {
        if (player.id == id) {
            return &player;
        }
    }
    return nullptr;
}

int PlayedHeats(const Competition &competition)
{
    int played = 0;
    for (const Attempt &attempt : competition.attempts) {
        played = std::max(played, attempt.heat + 1);
    }
    return played;
}

std::optional<int> NextHeat(const Competition &competition)
{
    const int played = PlayedHeats(competition);
    return played < competition.heats.size() ? std::optional<int>(played) : std::nullopt;
}

const Attempt *CountedAttempt(const Competition &competition, int heat)
{
    const Attempt *counted = nullptr;
    for (const Attempt &attempt : competition.attempts) {
        if (attempt.heat == heat && (!counted || attempt.attempt > counted->attempt)) {
            counted = &attempt;
        }
    }
    return counted;
}

void Replan(Competition &competition, int keepHeats)
{
    const int keep =
        std::clamp(std::max(keepHeats, PlayedHeats(competition)), 0, int(competition.heats.size()));
    // The competition is at the round of the next heat; a round whose heats are all played is
    // over, also for players who join after it.
    const int firstOpen = keep < competition.heats.size() ? competition.heats[keep].round
        : competition.heats.isEmpty()                     ? 1
                                                          : competition.heats.last().round + 1;
    competition.heats = PlanLineup(ActivePlayers(competition), competition.settings.rounds,
        competition.heats.first(keep), firstOpen);
}

QList<PlayerId> AddPlayers(Competition &competition, const QStringList &names, int keepHeats)
{
    PlayerId next = 1;
    QStringList taken;
    for (const Player &player : competition.players) {
        next = std::max(next, player.id + 1);
        taken.append(player.name);
    }
    QList<PlayerId> added;
    for (const QString &name : ParseRoster(names.join(QLatin1Char('\n')), taken)) {
        competition.players.append(Player { next, name, false });
        added.append(next++);
    }
    if (!added.isEmpty()) {
        Replan(competition, keepHeats);
    }
    return added;
}

bool RetirePlayer(Competition &competition, PlayerId id, int keepHeats)
{
    for (Player &player : competition.players) {
        if (player.id == id && !player.retired) {
            player.retired = true;
            Replan(competition, keepHeats);
            return true;
        }
    }
    return false;
}

bool RenamePlayer(Competition &competition, PlayerId id, const QString &name)
{
    const QString plain = BoundName(name.simplified());
    if (plain.isEmpty()) {
        return false;
    }
    for (const Player &player : competition.players) {
        if (player.id != id && player.name.compare(plain, Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    for (Player &player : competition.players) {
        if (player.id == id) {
            player.name = plain;
            return true;
        }
    }
    return false;
}

namespace
{

    // The unplayed heat the player sits in, -1 when none.
    int unplayedHeatOf(const Competition &competition, PlayerId player)
    {
        for (int h = PlayedHeats(competition); h < competition.heats.size(); ++h) {
            if (competition.heats[h].deviceOf(player) != 0) {
                return h;
            }
        }
        return -1;
    }

} // namespace

QList<PlayerId> SwapCandidates(const Competition &competition, PlayerId player)
{
    QList<PlayerId> candidates;
    const int heat = unplayedHeatOf(competition, player);
    if (heat < 0) {
        return candidates;
    }
    const int round = competition.heats[heat].round;
    for (int h = PlayedHeats(competition); h < competition.heats.size(); ++h) {
        const Heat &other = competition.heats[h];
        if (h == heat || other.round != round) {
            continue;
        }
        for (const PlayerId id : other.seats) {
            if (id != kNoPlayer) {
                candidates.append(id);
            }
        }
    }
    return candidates;
}

bool Swap(Competition &competition, PlayerId player, PlayerId other)
{
    if (!SwapCandidates(competition, player).contains(other)) {
        return false;
    }
    Heat &first = competition.heats[unplayedHeatOf(competition, player)];
    Heat &second = competition.heats[unplayedHeatOf(competition, other)];
    first.seats[std::size_t(first.deviceOf(player) - 1)] = other;
    second.seats[std::size_t(second.deviceOf(other) - 1)] = player;
    return true;
}

std::optional<int> RecordAttempt(
    Competition &competition, QList<SeatResult> seats, qint64 gameId, bool redo)
{
    const int played = PlayedHeats(competition);
    const int heat = redo ? played - 1 : played;
    if (heat < 0 || heat >= competition.heats.size()) {
        return std::nullopt;
    }
    const Attempt *previous = CountedAttempt(competition, heat);
    Attempt attempt;
    attempt.heat = heat;
    attempt.attempt = previous ? previous->attempt + 1 : 1;
    attempt.gameId = gameId;
    attempt.seats = std::move(seats);
    competition.attempts.append(attempt);
    return heat;
}

} // namespace competition
