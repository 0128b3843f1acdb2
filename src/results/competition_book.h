// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QString>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace results
{

/// What the store knows of the competitions beyond the file: this run's states, which file's
/// ids they go by, and the file's state each change was made against. What waits to be written
/// is in the write queue, not here. Part of ResultsStore.
struct CompetitionBook {
    /// This run's latest state of each competition it saved, by its id here.
    std::map<qint64, competition::Competition> states;
    std::map<qint64, qint64> savedOrder;
    qint64 saves = 0;
    std::set<qint64> closed;
    /// Id here -> id in the file, where they differ: one made in this run before the file took
    /// it (negative here), or one the file held before it was replaced (0: not in it yet).
    std::map<qint64, qint64> inFile;
    /// The file the ids and states above belong to (ResultsStore::fileGeneration()).
    int generation = 0;
    /// Id in the file -> the state this run last read or wrote there.
    std::map<qint64, competition::Competition> base;
    /// Set by a write that found the competition changed by another instance.
    std::optional<competition::Competition> conflict;
    bool saving = false;
    qint64 nextId = -1;
    std::function<void(const competition::Competition &)> conflictHandler;

    /// The file's id of a competition; 0 when the file does not hold it yet.
    qint64 realId(qint64 id) const
    {
        const auto found = inFile.find(id);
        return found != inFile.end() ? found->second : std::max<qint64>(id, 0);
    }
    /// A file started anew (the old one removed, replaced or damaged) holds none of this run's
    /// competitions, whatever its ids say: each is written there as a new one.
    void follow(int fileGeneration)
    {
        if (fileGeneration == generation) {
            return;
        }
        generation = fileGeneration;
        base.clear();
        for (const auto &[id, state] : states) {
            inFile[id] = 0;
        }
    }
};

} // namespace results
