// SPDX-License-Identifier: MIT
#include "competition/running_competition.h"

#include "competition/competition_store.h"
#include "competition/heat_text.h"
#include "competition/standings.h"

namespace competition
{

RunningCompetition::RunningCompetition(CompetitionStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
}

void RunningCompetition::resume()
{
    if (m_resumed) {
        return;
    }
    m_resumed = true;
    if (const std::optional<qint64> open = m_store.openCompetition()) {
        m_competition = m_store.load(*open);
    }
    if (!m_store.skipped().isEmpty()) {
        m_status = QStringLiteral("Damaged parts of the saved competition were left out: %1.")
                       .arg(m_store.skipped());
    } else if (m_store.filePath().isEmpty()) {
        m_status = QStringLiteral("The results file cannot be used: this competition is kept "
                                  "for this run only.");
    }
    // A change that waited for the file and met another instance's newer one there.
    m_store.setConflictHandler([this](const Competition &stored) {
        m_competition = stored;
        m_called.reset();
        setStatus(QStringLiteral("Another Rotavex changed this competition while a change here "
                                 "waited to be saved; it shows theirs now."));
        Q_EMIT replaced();
    });
    if (m_competition) {
        Q_EMIT replaced();
    }
}

RunningCompetition::~RunningCompetition() { m_store.setConflictHandler({}); }

void RunningCompetition::setStatus(const QString &text)
{
    m_status = text;
    Q_EMIT statusChanged(text);
}

bool RunningCompetition::create(const Settings &settings, const QString &roster)
{
    Competition competition;
    competition.settings = settings;
    competition.settings.name = settings.name.simplified();
    if (competition.settings.name.isEmpty()) {
        setStatus(QStringLiteral("Give the competition a name."));
        return false;
    }
    if (AddPlayers(competition, ParseRoster(roster)).isEmpty()) {
        setStatus(QStringLiteral("Type or paste the players' names, one a line."));
        return false;
    }
    m_competition = competition;
    m_called.reset();
    if (!save(QStringLiteral("created"))) {
        return false;
    }
    Q_EMIT changed();
    return true;
}

bool RunningCompetition::save(const QString &what)
{
    switch (m_store.save(*m_competition)) {
    case CompetitionStore::Saved::Written:
        setStatus(QStringLiteral("Competition %1.").arg(what));
        return true;
    case CompetitionStore::Saved::Waiting:
        setStatus(QStringLiteral("Competition %1; it cannot be written to the results file yet "
                                 "(%2) and is kept until it can.")
                      .arg(what, m_store.lastError()));
        return true;
    case CompetitionStore::Saved::Conflict:
        break;
    }
    // Another instance changed it first: its state stands, this change is not made.
    m_called.reset();
    setStatus(QStringLiteral("Another Rotavex changed this competition first; it shows theirs "
                             "now and this change was not made."));
    Q_EMIT replaced();
    return false;
}

bool RunningCompetition::call(int heat, bool redo)
{
    m_called = heat;
    m_redo = redo;
    const Competition &c = *m_competition;
    Q_EMIT heatCalled(SeatNames(c, c.heats[heat]), HeatTitle(c, heat), OnDeckText(c, heat));
    return true;
}

bool RunningCompetition::callNextHeat()
{
    if (!m_competition || m_called) {
        return false;
    }
    const std::optional<int> next = NextHeat(*m_competition);
    return next && call(*next, false);
}

bool RunningCompetition::callRedo()
{
    if (!m_competition || m_called || PlayedHeats(*m_competition) == 0) {
        return false;
    }
    return call(PlayedHeats(*m_competition) - 1, true);
}

void RunningCompetition::takeGame(const results::GameRecord &game, const OpenLinks &openAtStart)
{
    if (!m_competition || !m_called) {
        return;
    }
    const int heat = *m_called;
    RecordAttempt(*m_competition, SeatResults(m_competition->heats[heat], game, openAtStart),
        game.id, m_redo);
    m_called.reset();
    m_redo = false;
    save(QStringLiteral("saved after %1").arg(HeatTitle(*m_competition, heat)));
    Q_EMIT changed();
    Q_EMIT gameTaken();
}

bool RunningCompetition::addPlayers(const QString &roster)
{
    if (!m_competition) {
        return false;
    }
    const QList<PlayerId> added =
        AddPlayers(*m_competition, ParseRoster(roster), m_called.value_or(-1) + 1);
    if (added.isEmpty()) {
        return false;
    }
    save(QStringLiteral("joined by %1 player(s)").arg(added.size()));
    Q_EMIT changed();
    return true;
}

bool RunningCompetition::retirePlayer(PlayerId id)
{
    const Player *player = m_competition ? FindPlayer(*m_competition, id) : nullptr;
    if (!player) {
        return false;
    }
    const QString name = player->name;
    // The called heat is on the board already; a retirement re-plans only later heats.
    for (int h = PlayedHeats(*m_competition); m_called && h <= *m_called; ++h) {
        if (m_competition->heats[h].deviceOf(id) != 0) {
            setStatus(QStringLiteral("%1 is in the heat on the board: play it first.").arg(name));
            return false;
        }
    }
    if (!RetirePlayer(*m_competition, id, m_called.value_or(-1) + 1)) {
        return false;
    }
    save(QStringLiteral("without %1").arg(name));
    Q_EMIT changed();
    return true;
}

bool RunningCompetition::renamePlayer(PlayerId id, const QString &name)
{
    if (!m_competition) {
        return false;
    }
    const bool renamed = RenamePlayer(*m_competition, id, name);
    if (!renamed) {
        setStatus(QStringLiteral("That name is empty or taken."));
    } else {
        save(QStringLiteral("saved"));
    }
    Q_EMIT changed();
    return renamed;
}

bool RunningCompetition::swap(PlayerId out, PlayerId in)
{
    if (!m_competition || m_called || !Swap(*m_competition, out, in)) {
        return false;
    }
    save(QStringLiteral("saved: %1 and %2 swapped")
             .arg(FindPlayer(*m_competition, out)->name, FindPlayer(*m_competition, in)->name));
    Q_EMIT changed();
    return true;
}

bool RunningCompetition::setRankingRule(RankingRule rule)
{
    if (!m_competition) {
        return false;
    }
    const Settings before = m_competition->settings;
    if (!SetRankingRule(*m_competition, rule)) {
        return false;
    }
    if (m_competition->settings != before) {
        save(QStringLiteral("ranked by %1").arg(RuleText(m_competition->settings)));
    }
    Q_EMIT changed();
    return true;
}

bool RunningCompetition::close()
{
    if (!m_competition) {
        return false;
    }
    m_store.close(m_competition->id);
    m_competition.reset();
    m_called.reset();
    setStatus(QStringLiteral("Competition closed."));
    Q_EMIT closed();
    return true;
}

} // namespace competition
