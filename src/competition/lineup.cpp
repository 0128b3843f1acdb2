// SPDX-License-Identifier: MIT
#include "competition/lineup.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <bit>
#include <limits>
#include <vector>

namespace competition
{

namespace
{

    constexpr int kUnset = -1;

    // What the planner knows of everyone's past heats, indexed densely.
    class History
    {
    public:
        explicit History(int people)
            : m_people(people)
            , m_devices(std::size_t(people) * kDevices, 0)
            , m_met(std::size_t(people) * std::size_t(people), 0)
        {
        }

        int used(int person, int device) const
        {
            return m_devices[std::size_t(person) * kDevices + std::size_t(device)];
        }
        int met(int a, int b) const
        {
            return m_met[std::size_t(a) * std::size_t(m_people) + std::size_t(b)];
        }

        // `seats` holds dense indices, kUnset for an empty seat.
        void add(const std::array<int, kDevices> &seats)
        {
            for (int d = 0; d < kDevices; ++d) {
                const int a = seats[std::size_t(d)];
                if (a == kUnset) {
                    continue;
                }
                ++m_devices[std::size_t(a) * kDevices + std::size_t(d)];
                for (int e = d + 1; e < kDevices; ++e) {
                    const int b = seats[std::size_t(e)];
                    if (b != kUnset) {
                        ++m_met[std::size_t(a) * std::size_t(m_people) + std::size_t(b)];
                        ++m_met[std::size_t(b) * std::size_t(m_people) + std::size_t(a)];
                    }
                }
            }
        }

    private:
        int m_people;
        std::vector<int> m_devices;
        std::vector<int> m_met;
    };

    using Columns = std::array<std::vector<int>, kDevices>;

    // Puts every player on a device, at most capacity[d] on device d, at the least total cost:
    // players are added one by one along a cheapest path that may move earlier players to
    // another device (successive shortest paths over the four devices).
    template <typename Cost>
    qint64 assignDevices(const std::vector<int> &people, const std::array<int, kDevices> &capacity,
        const Cost &cost, Columns &columns)
    {
        constexpr qint64 kInfinite = std::numeric_limits<qint64>::max() / 4;
        for (auto &column : columns) {
            column.clear();
        }
        qint64 total = 0;
        for (const int person : people) {
            // Cheapest move of someone on device a over to device b, and who it would be.
            std::array<std::array<qint64, kDevices>, kDevices> move {};
            std::array<std::array<std::size_t, kDevices>, kDevices> mover {};
            for (int a = 0; a < kDevices; ++a) {
                for (int b = 0; b < kDevices; ++b) {
                    move[a][b] = kInfinite;
                    if (a == b) {
                        continue;
                    }
                    const auto &column = columns[std::size_t(a)];
                    for (std::size_t i = 0; i < column.size(); ++i) {
                        const qint64 delta = cost(column[i], b) - cost(column[i], a);
                        if (delta < move[a][b]) {
                            move[a][b] = delta;
                            mover[a][b] = i;
                        }
                    }
                }
            }
            std::array<qint64, kDevices> distance {};
            std::array<int, kDevices> previous {};
            for (int d = 0; d < kDevices; ++d) {
                distance[std::size_t(d)] = cost(person, d);
                previous[std::size_t(d)] = kUnset;
            }
            for (int pass = 1; pass < kDevices; ++pass) {
                for (int a = 0; a < kDevices; ++a) {
                    for (int b = 0; b < kDevices; ++b) {
                        if (move[a][b] < kInfinite
                            && distance[std::size_t(a)] + move[a][b] < distance[std::size_t(b)]) {
                            distance[std::size_t(b)] = distance[std::size_t(a)] + move[a][b];
                            previous[std::size_t(b)] = a;
                        }
                    }
                }
            }
            int target = kUnset;
            for (int d = 0; d < kDevices; ++d) {
                if (int(columns[std::size_t(d)].size()) < capacity[std::size_t(d)]
                    && (target == kUnset
                        || distance[std::size_t(d)] < distance[std::size_t(target)])) {
                    target = d;
                }
            }
            if (target == kUnset) {
                return kInfinite;
            }
            total += distance[std::size_t(target)];
            // Walk the path back from the device with room: each step moves one player along.
            int to = target;
            while (previous[std::size_t(to)] != kUnset) {
                const int from = previous[std::size_t(to)];
                auto &source = columns[std::size_t(from)];
                const std::size_t i = mover[from][to];
                columns[std::size_t(to)].push_back(source[i]);
                source.erase(source.begin() + qsizetype(i));
                to = from;
            }
            columns[std::size_t(to)].push_back(person);
        }
        return total;
    }

    // Players on the same device never meet in this round, so the device columns should hold
    // players who have met before and split those who have not. Exchanges that keep the device
    // cost move players between columns while that gathers more past meetings per column.
    template <typename Cost>
    void mixColumns(Columns &columns, const Cost &cost, const History &history)
    {
        std::vector<int> people;
        for (const auto &column : columns) {
            people.insert(people.end(), column.begin(), column.end());
        }
        if (people.size() < 2) {
            return;
        }
        // metInColumn[person][d]: past meetings of the person with the players on device d.
        QHash<int, std::array<int, kDevices>> metInColumn;
        for (const int p : people) {
            std::array<int, kDevices> sums {};
            for (int d = 0; d < kDevices; ++d) {
                for (const int q : columns[std::size_t(d)]) {
                    sums[std::size_t(d)] += history.met(p, q);
                }
            }
            metInColumn.insert(p, sums);
        }
        for (int pass = 0; pass < 3; ++pass) {
            bool improved = false;
            for (int a = 0; a < kDevices; ++a) {
                for (int b = a + 1; b < kDevices; ++b) {
                    auto &first = columns[std::size_t(a)];
                    auto &second = columns[std::size_t(b)];
                    for (std::size_t i = 0; i < first.size(); ++i) {
                        for (std::size_t j = 0; j < second.size(); ++j) {
                            const int x = first[i];
                            const int y = second[j];
                            if (cost(x, b) + cost(y, a) != cost(x, a) + cost(y, b)) {
                                continue;
                            }
                            const auto &mx = metInColumn[x];
                            const auto &my = metInColumn[y];
                            const int together = history.met(x, y);
                            const int before = mx[std::size_t(a)] + my[std::size_t(b)];
                            const int after =
                                mx[std::size_t(b)] - together + my[std::size_t(a)] - together;
                            if (after <= before) {
                                continue;
                            }
                            for (const int p : people) {
                                auto &sums = metInColumn[p];
                                sums[std::size_t(a)] += history.met(p, y) - history.met(p, x);
                                sums[std::size_t(b)] += history.met(p, x) - history.met(p, y);
                            }
                            std::swap(first[i], second[j]);
                            improved = true;
                        }
                    }
                }
            }
            if (!improved) {
                break;
            }
        }
    }

    // The heats of one round for `people` (dense indices, in joining order).
    std::vector<std::array<int, kDevices>> planRound(
        const std::vector<int> &people, const History &history)
    {
        const int n = int(people.size());
        const int heats = (n + kDevices - 1) / kDevices;
        const int empty = heats * kDevices - n;
        auto cost = [&](int person, int device) -> qint64 { return history.used(person, device); };

        // Over four rounds every device must seat everyone once, so the empty seats go to the
        // devices used most so far: first choose those, then the cheapest assignment.
        std::array<qint64, kDevices> usage {};
        for (const int person : people) {
            for (int d = 0; d < kDevices; ++d) {
                usage[std::size_t(d)] += history.used(person, d);
            }
        }
        qint64 bestUsage = -1;
        for (unsigned mask = 0; mask < (1u << kDevices); ++mask) {
            if (std::popcount(mask) != empty) {
                continue;
            }
            qint64 blocked = 0;
            for (int d = 0; d < kDevices; ++d) {
                blocked += ((mask >> d) & 1u) != 0 ? usage[std::size_t(d)] : 0;
            }
            bestUsage = std::max(bestUsage, blocked);
        }

        // The empty seats go to distinct devices; try every such choice.
        Columns best;
        std::array<int, kDevices> bestEmpty {};
        qint64 bestCost = std::numeric_limits<qint64>::max();
        for (unsigned mask = 0; mask < (1u << kDevices); ++mask) {
            if (std::popcount(mask) != empty) {
                continue;
            }
            qint64 blocked = 0;
            for (int d = 0; d < kDevices; ++d) {
                blocked += ((mask >> d) & 1u) != 0 ? usage[std::size_t(d)] : 0;
            }
            if (blocked != bestUsage) {
                continue;
            }
            std::array<int, kDevices> capacity {};
            std::array<int, kDevices> emptyAt {};
            for (int d = 0; d < kDevices; ++d) {
                emptyAt[std::size_t(d)] = (mask >> d) & 1u;
                capacity[std::size_t(d)] = heats - emptyAt[std::size_t(d)];
            }
            Columns columns;
            const qint64 total = assignDevices(people, capacity, cost, columns);
            if (total < bestCost) {
                bestCost = total;
                best = columns;
                bestEmpty = emptyAt;
            }
        }

        mixColumns(best, cost, history);

        // Empty seats go to the last heats, one per heat while there are enough heats, so the
        // sizes differ by one at most.
        std::vector<std::array<int, kDevices>> rows(
            std::size_t(heats), std::array<int, kDevices> { kUnset, kUnset, kUnset, kUnset });
        std::vector<std::array<bool, kDevices>> open(
            std::size_t(heats), std::array<bool, kDevices> { true, true, true, true });
        int k = 0;
        for (int d = 0; d < kDevices; ++d) {
            if (bestEmpty[std::size_t(d)] != 0) {
                open[std::size_t(heats - 1 - k % heats)][std::size_t(d)] = false;
                ++k;
            }
        }

        auto metInRow = [&](int person, const std::array<int, kDevices> &row, int skipDevice) {
            int sum = 0;
            for (int d = 0; d < kDevices; ++d) {
                const int other = row[std::size_t(d)];
                if (d != skipDevice && other != kUnset) {
                    const int times = history.met(person, other);
                    sum += times * times;
                }
            }
            return sum;
        };

        // Fill heat by heat, each seat with the player of that device who has met the heat's
        // players least.
        std::array<std::vector<bool>, kDevices> placed;
        for (int d = 0; d < kDevices; ++d) {
            placed[std::size_t(d)].assign(best[std::size_t(d)].size(), false);
        }
        for (int r = 0; r < heats; ++r) {
            auto &row = rows[std::size_t(r)];
            for (int d = 0; d < kDevices; ++d) {
                if (!open[std::size_t(r)][std::size_t(d)]) {
                    continue;
                }
                const auto &column = best[std::size_t(d)];
                int choice = kUnset;
                int choiceMet = 0;
                for (std::size_t i = 0; i < column.size(); ++i) {
                    if (placed[std::size_t(d)][i]) {
                        continue;
                    }
                    const int met = metInRow(column[i], row, d);
                    if (choice == kUnset || met < choiceMet) {
                        choice = int(i);
                        choiceMet = met;
                    }
                }
                if (choice != kUnset) {
                    placed[std::size_t(d)][std::size_t(choice)] = true;
                    row[std::size_t(d)] = column[std::size_t(choice)];
                }
            }
        }

        // Then exchange players of the same device between heats while that lowers repeats.
        for (int pass = 0; pass < 4; ++pass) {
            bool improved = false;
            for (int d = 0; d < kDevices; ++d) {
                for (int r = 0; r < heats; ++r) {
                    for (int s = r + 1; s < heats; ++s) {
                        auto &first = rows[std::size_t(r)];
                        auto &second = rows[std::size_t(s)];
                        const int x = first[std::size_t(d)];
                        const int y = second[std::size_t(d)];
                        if (x == kUnset || y == kUnset) {
                            continue;
                        }
                        const int before = metInRow(x, first, d) + metInRow(y, second, d);
                        const int after = metInRow(y, first, d) + metInRow(x, second, d);
                        if (after < before) {
                            std::swap(first[std::size_t(d)], second[std::size_t(d)]);
                            improved = true;
                        }
                    }
                }
            }
            if (!improved) {
                break;
            }
        }
        return rows;
    }

} // namespace

QList<Heat> PlanLineup(
    const QList<PlayerId> &active, int rounds, const QList<Heat> &played, int firstOpenRound)
{
    // Dense indices for everyone the plan or the past heats mention.
    QHash<PlayerId, int> index;
    std::vector<PlayerId> ids;
    auto indexOf = [&](PlayerId id) {
        const auto found = index.constFind(id);
        if (found != index.constEnd()) {
            return *found;
        }
        const int next = int(ids.size());
        index.insert(id, next);
        ids.push_back(id);
        return next;
    };
    for (const PlayerId id : active) {
        indexOf(id);
    }
    for (const Heat &heat : played) {
        for (const PlayerId id : heat.seats) {
            if (id != kNoPlayer) {
                indexOf(id);
            }
        }
    }

    History history(int(ids.size()));
    auto dense = [&](const Heat &heat) {
        std::array<int, kDevices> seats {};
        for (int d = 0; d < kDevices; ++d) {
            const PlayerId id = heat.seats[std::size_t(d)];
            seats[std::size_t(d)] = id == kNoPlayer ? kUnset : index.value(id);
        }
        return seats;
    };
    for (const Heat &heat : played) {
        history.add(dense(heat));
    }

    QList<Heat> plan = played;
    for (int round = std::max(1, firstOpenRound); round <= rounds; ++round) {
        std::vector<bool> seated(ids.size(), false);
        for (const Heat &heat : played) {
            if (heat.round != round) {
                continue;
            }
            for (const PlayerId id : heat.seats) {
                if (id != kNoPlayer) {
                    seated[std::size_t(index.value(id))] = true;
                }
            }
        }
        std::vector<int> people;
        QSet<PlayerId> seen;
        for (const PlayerId id : active) {
            const int i = index.value(id);
            if (!seated[std::size_t(i)] && !seen.contains(id)) {
                seen.insert(id);
                people.push_back(i);
            }
        }
        if (people.empty()) {
            continue;
        }
        for (const auto &row : planRound(people, history)) {
            history.add(row);
            Heat heat;
            heat.round = round;
            for (int d = 0; d < kDevices; ++d) {
                const int i = row[std::size_t(d)];
                heat.seats[std::size_t(d)] = i == kUnset ? kNoPlayer : ids[std::size_t(i)];
            }
            plan.append(heat);
        }
    }
    return plan;
}

} // namespace competition
