// SPDX-License-Identifier: MIT
#include "evening/evening.h"

#include "competition/competition_host.h"
#include "competition/running_competition.h"
#include "evening/scoreboard_state.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "link/link_status.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "results/game_recorder.h"
#include "settings/settings_store.h"
#include "web/web_scoreboard.h"

namespace evening
{

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

Evening::Evening(results::ResultsStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_webSettings(web::ReadWebSettings())
{
    setObjectName(QStringLiteral("Evening"));
    // The system bus is joined only once the board is on screen (startDeferred()).
    m_links = new PlayerLinks(this, PlayerLinks::BluetoothStart::Deferred);
    m_session = new game::GameSession(this);
    m_clock = new game::GameClock(
        *m_session, [links = m_links] { return links->latestSamples(); }, this);
    m_clock->setCountIn(settings_store::Read(settings_store::sound::kCountInOnBoard),
        settings_store::Read(settings_store::sound::kCountInForHeats));
    m_recorder = new results::GameRecorder(store, this);
    m_competition = new competition::CompetitionHost(*m_clock, store, this);
    m_web = new web::WebScoreboard({}, this);

    // A finished game is recorded; the competition takes its heat's result from the record,
    // which carries its id and how the game ended.
    connect(m_session, &game::GameSession::ended, m_recorder, &results::GameRecorder::take);
    // Every second of a running game is kept too, so a crash loses none of it.
    connect(m_session, &game::GameSession::progressed, m_recorder, &results::GameRecorder::keep);
    connect(m_recorder, &results::GameRecorder::recorded, m_competition,
        &competition::CompetitionHost::gameRecorded);
    // The game learns of every link's state from here alone, whoever opens or closes it.
    const auto tellSession = [this](PlayerSlot player) {
        m_session->setLink(
            player, m_links->isOpen(player), link_status::RecordedName(m_links->status(player)));
    };
    connect(m_links, &PlayerLinks::openChanged, this,
        [tellSession](PlayerSlot player, bool) { tellSession(player); });
    connect(m_links, &PlayerLinks::statusChanged, this, tellSession);

    // One state for every view, made from the game, the links and the competition.
    m_scoreboard = new ScoreboardPublisher(this);
    m_scoreboard->showSnapshot(m_session->snapshot());
    connect(
        m_session, &game::GameSession::updated, m_scoreboard, &ScoreboardPublisher::showSnapshot);
    connect(m_links, &PlayerLinks::openChanged, m_scoreboard, &ScoreboardPublisher::setLinked);
    connect(m_competition, &competition::CompetitionHost::boardChanged, m_scoreboard,
        &ScoreboardPublisher::showBetweenHeats);
    m_web->showState(m_scoreboard->state());
    connect(m_scoreboard, &ScoreboardPublisher::published, m_web, &web::WebScoreboard::showState);
    connect(m_web, &web::WebScoreboard::started, this, &Evening::webAddressChanged);
    connect(m_web, &web::WebScoreboard::stopped, this, [this] { Q_EMIT webAddressChanged({}); });
    connect(m_web, &web::WebScoreboard::failed, this, [this](const QString &message) {
        // Nothing is served, so the page is off for this run; the stored choice stays, and the
        // next start tries again.
        m_webSettings.on = false;
        Q_EMIT webAddressChanged({});
        Q_EMIT webFailed(message);
    });
    serveWeb();
}

Evening::~Evening()
{
    // The competition's model saves through the recorder's store; it goes before the links and
    // the game it plays.
    delete m_competition;
}

void Evening::loadPlayers()
{
    rotavex::PlayerName names;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        names[n] = settings_store::ReadPlayerName(n);
    }
    m_session->setPlayerNames(names);
    if (!settings_store::ReadOpenAtStart()) {
        return;
    }
    // Four message boxes at start-up would be a storm: a link that cannot open waits for its
    // device instead, and its status says so.
    openStoredLinks({ 1, 2, 3, 4 });
}

void Evening::startDeferred()
{
    if (m_deferredStarted) {
        return;
    }
    m_deferredStarted = true;
    m_links->startBluetooth();
    m_competition->model().resume();
}

QList<PlayerSlot> Evening::heatPlayersWithoutLink() const
{
    QList<PlayerSlot> players;
    const competition::RunningCompetition &model = m_competition->model();
    if (!model.current() || !model.calledHeat() || m_session->snapshot().running) {
        return players;
    }
    const game::Seated &seated = m_session->seated();
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (seated[n] && !m_links->isOpen(n)) {
            players.append(n);
        }
    }
    return players;
}

bool Evening::heatHasLinkedPlayer() const
{
    const game::Seated &seated = m_session->seated();
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (seated[n] && m_links->isOpen(n)) {
            return true;
        }
    }
    return false;
}

void Evening::openStoredLinks(const QList<PlayerSlot> &players)
{
    for (const PlayerSlot n : players) {
        const QString device = settings_store::ReadPlayerDevice(n);
        const qint16 port = settings_store::ReadPlayerPort(n);
        if (!device.isEmpty()) {
            m_links->openDeviceAtStart(n, device);
        } else if (port >= 1 && port <= port_names::kPortCount) {
            m_links->openAtStart(n, port);
        }
    }
}

std::optional<QString> Evening::chooseWeb(const web::WebSettings &settings)
{
    m_webSettings = settings;
    const std::optional<QString> message = web::WriteWebSettings(settings);
    serveWeb();
    return message;
}

QString Evening::webAddress() const { return m_web->address(); }

void Evening::serveWeb()
{
    if (m_webSettings.on) {
        m_web->start(m_webSettings.port, m_webSettings.allInterfaces);
    } else {
        m_web->stop();
    }
}

void Evening::end()
{
    m_clock->stop();
    m_links->closeAll();
}

} // namespace evening
