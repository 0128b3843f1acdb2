// SPDX-License-Identifier: MIT
#include "competition/lineup.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <bit>
#include <limits>
#include <queue>
#include <tuple>
#include <vector>

namespace competition
{

namespace
{

    constexpr int kUnset = -1;

    // What the planner knows of everyone's past heats, indexed densely. Each person meets at
    // most three others a heat, so the meetings are short lists per person, not a square table.
    class History
    {
    public:
        explicit History(int people)
            : m_people(people)
            , m_devices(std::size_t(people) * kDevices, 0)
            , m_met(std::size_t(people))
        {
        }

        int people() const { return m_people; }
        int used(int person, int device) const
        {
            return m_devices[std::size_t(person) * kDevices + std::size_t(device)];
        }
        int met(int a, int b) const
        {
            for (const auto &[other, times] : m_met[std::size_t(a)]) {
                if (other == b) {
                    return times;
                }
            }
            return 0;
        }
        // Everyone `person` has met, with how often.
        const std::vector<std::pair<int, int>> &meetings(int person) const
        {
            return m_met[std::size_t(person)];
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
                        meet(a, b);
                        meet(b, a);
                    }
                }
            }
        }

    private:
        void meet(int a, int b)
        {
            for (auto &[other, times] : m_met[std::size_t(a)]) {
                if (other == b) {
                    ++times;
                    return;
                }
            }
            m_met[std::size_t(a)].emplace_back(b, 1);
        }

        int m_people;
        std::vector<int> m_devices;
        std::vector<std::vector<std::pair<int, int>>> m_met;
    };

    // How far apart (in a device's column, or in the round's heats) two players may be for the
    // improving exchanges to look at them: every pair in a small round, neighbours in a big one,
    // so a round costs time in proportion to its players.
    constexpr std::size_t kReach = 24;

    using Columns = std::array<std::vector<int>, kDevices>;

    // Puts every player on a device, at most capacity[d] on device d, at the least total cost:
    // players are added one by one along a cheapest path that may move earlier players to
    // another device (successive shortest paths over the four devices). The cheapest player to
    // move from one device to another is kept in a heap per pair of devices (the earliest to
    // arrive among equals), so each step costs a few heap operations, not a pass over everyone.
    template <typename Cost>
    qint64 assignDevices(const std::vector<int> &people, const std::array<int, kDevices> &capacity,
        const Cost &cost, Columns &columns)
    {
        constexpr qint64 kInfinite = std::numeric_limits<qint64>::max() / 4;
        // (cost of the move, arrival on the device, person); stale once the person moved on.
        using Entry = std::tuple<qint64, qint64, int>;
        using Heap = std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>>;
        std::array<std::array<Heap, kDevices>, kDevices> movers;
        // person -> (device, arrival)
        std::vector<std::pair<int, qint64>> where(
            std::size_t(people.empty() ? 0 : *std::max_element(people.begin(), people.end()) + 1),
            { kUnset, 0 });
        std::array<int, kDevices> sizes {};
        qint64 arrivals = 0;
        auto place = [&](int person, int device) {
            where[std::size_t(person)] = { device, ++arrivals };
            ++sizes[std::size_t(device)];
            for (int b = 0; b < kDevices; ++b) {
                if (b != device) {
                    movers[std::size_t(device)][std::size_t(b)].emplace(
                        cost(person, b) - cost(person, device), arrivals, person);
                }
            }
        };
        auto cheapest = [&](int a, int b) -> const Entry * {
            Heap &heap = movers[std::size_t(a)][std::size_t(b)];
            while (!heap.empty()) {
                const auto &[delta, arrival, person] = heap.top();
                const auto &at = where[std::size_t(person)];
                if (at.first == a && at.second == arrival) {
                    return &heap.top();
                }
                heap.pop();
            }
            return nullptr;
        };
        qint64 total = 0;
        for (const int person : people) {
            std::array<std::array<qint64, kDevices>, kDevices> move {};
            for (int a = 0; a < kDevices; ++a) {
                for (int b = 0; b < kDevices; ++b) {
                    const Entry *entry = a == b ? nullptr : cheapest(a, b);
                    move[a][b] = entry ? std::get<0>(*entry) : kInfinite;
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
                if (sizes[std::size_t(d)] < capacity[std::size_t(d)]
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
                const int mover = std::get<2>(*cheapest(from, to));
                --sizes[std::size_t(from)];
                place(mover, to);
                to = from;
            }
            place(person, to);
        }
        // Each device's players in the order they arrived there.
        std::vector<std::tuple<int, qint64, int>> order;
        order.reserve(people.size());
        for (const int person : people) {
            const auto &at = where[std::size_t(person)];
            order.emplace_back(at.first, at.second, person);
        }
        std::sort(order.begin(), order.end());
        for (auto &column : columns) {
            column.clear();
        }
        for (const auto &[device, arrival, person] : order) {
            columns[std::size_t(device)].push_back(person);
        }
        return total;
    }

    // Players on the same device never meet in this round, so the device columns should hold
    // players who have met before and split those who have not. Exchanges that keep the device
    // cost move players between columns while that gathers more past meetings per column; in a
    // big round only players near each other in their columns are tried.
    template <typename Cost>
    void mixColumns(Columns &columns, const Cost &cost, const History &history, int people)
    {
        // metInColumn[person][d]: past meetings of the person with the players on device d.
        std::vector<int> column(std::size_t(people), kUnset);
        std::vector<std::array<int, kDevices>> metInColumn(std::size_t(people), { 0, 0, 0, 0 });
        int count = 0;
        for (int d = 0; d < kDevices; ++d) {
            for (const int p : columns[std::size_t(d)]) {
                column[std::size_t(p)] = d;
                ++count;
            }
        }
        if (count < 2) {
            return;
        }
        for (int d = 0; d < kDevices; ++d) {
            for (const int p : columns[std::size_t(d)]) {
                for (const auto &[q, times] : history.meetings(p)) {
                    if (column[std::size_t(q)] != kUnset) {
                        metInColumn[std::size_t(p)][std::size_t(column[std::size_t(q)])] += times;
                    }
                }
            }
        }
        for (int pass = 0; pass < 3; ++pass) {
            bool improved = false;
            for (int a = 0; a < kDevices; ++a) {
                for (int b = a + 1; b < kDevices; ++b) {
                    auto &first = columns[std::size_t(a)];
                    auto &second = columns[std::size_t(b)];
                    for (std::size_t i = 0; i < first.size(); ++i) {
                        const std::size_t from = i > kReach ? i - kReach : 0;
                        const std::size_t to = std::min(second.size(), i + kReach);
                        for (std::size_t j = from; j < to; ++j) {
                            const int x = first[i];
                            const int y = second[j];
                            // Two who met nobody gather nothing by changing places.
                            if ((history.meetings(x).empty() && history.meetings(y).empty())
                                || cost(x, b) + cost(y, a) != cost(x, a) + cost(y, b)) {
                                continue;
                            }
                            const auto &mx = metInColumn[std::size_t(x)];
                            const auto &my = metInColumn[std::size_t(y)];
                            const int together = history.met(x, y);
                            const int before = mx[std::size_t(a)] + my[std::size_t(b)];
                            const int after =
                                mx[std::size_t(b)] - together + my[std::size_t(a)] - together;
                            if (after <= before) {
                                continue;
                            }
                            // Only those who met x or y count them differently now.
                            for (const auto &[p, times] : history.meetings(y)) {
                                metInColumn[std::size_t(p)][std::size_t(a)] += times;
                                metInColumn[std::size_t(p)][std::size_t(b)] -= times;
                            }
                            for (const auto &[p, times] : history.meetings(x)) {
                                metInColumn[std::size_t(p)][std::size_t(a)] -= times;
                                metInColumn[std::size_t(p)][std::size_t(b)] += times;
                            }
                            column[std::size_t(x)] = b;
                            column[std::size_t(y)] = a;
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

        mixColumns(best, cost, history, history.people());

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
        std::array<std::size_t, kDevices> firstOpen {};
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
                auto &first = firstOpen[std::size_t(d)];
                while (first < column.size() && placed[std::size_t(d)][first]) {
                    ++first;
                }
                int choice = kUnset;
                int choiceMet = 0;
                std::size_t tried = 0;
                for (std::size_t i = first; i < column.size() && tried < kReach; ++i) {
                    if (placed[std::size_t(d)][i]) {
                        continue;
                    }
                    ++tried;
                    const int met = metInRow(column[i], row, d);
                    if (choice == kUnset || met < choiceMet) {
                        choice = int(i);
                        choiceMet = met;
                    }
                    if (met == 0) {
                        break;
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
                    for (int s = r + 1; s < std::min(heats, r + 1 + int(kReach)); ++s) {
                        auto &first = rows[std::size_t(r)];
                        auto &second = rows[std::size_t(s)];
                        const int x = first[std::size_t(d)];
                        const int y = second[std::size_t(d)];
                        if (x == kUnset || y == kUnset
                            || (history.meetings(x).empty() && history.meetings(y).empty())) {
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
