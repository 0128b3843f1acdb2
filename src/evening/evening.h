// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"
#include "web/web_settings.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class PlayerLinks;

namespace game
{
class GameClock;
class GameSession;
} // namespace game

namespace results
{
class GameRecorder;
class ResultsStore;
} // namespace results

namespace competition
{
class CompetitionHost;
} // namespace competition

namespace web
{
class WebScoreboard;
} // namespace web

namespace evening
{

class ScoreboardPublisher;

/// Everything an evening of games is, made once when the program starts and shared by every
/// window: the players' links, the game (its session and clock), the recorder and the results
/// store, the competition (resumed from the store at once, whether or not its window is ever
/// opened) and the web scoreboard. Windows show its state and send it commands; none of them
/// owns a part of it. Qt Core, SQL, D-Bus and Network only: it runs without a window.
class Evening : public QObject
{
    Q_OBJECT
public:
    /// `store` must outlive the evening; without one nothing is recorded and the competitions
    /// are kept in memory for this run.
    explicit Evening(results::ResultsStore *store = nullptr, QObject *parent = nullptr);
    ~Evening() override;

    PlayerLinks &links() { return *m_links; }
    game::GameSession &session() { return *m_session; }
    game::GameClock &clock() { return *m_clock; }
    results::GameRecorder &recorder() { return *m_recorder; }
    /// The results file the games go to; nullptr without one.
    results::ResultsStore *store() const { return m_store; }
    competition::CompetitionHost &competition() { return *m_competition; }
    web::WebScoreboard &web() { return *m_web; }
    /// The one scoreboard state every view shows (the spectators' display, the web page),
    /// published on every change of the game, the links or the competition.
    ScoreboardPublisher &scoreboard() { return *m_scoreboard; }

    /// The players' names from the settings and, when the settings ask for it, their links
    /// opened (a link that cannot open waits for its device instead of asking anyone).
    void loadPlayers();
    /// What can wait until the board is on screen: joins the system bus for the Bluetooth
    /// devices (the links of stored devices wait for it) and takes up the competition left
    /// open in the results file (which is opened then). Once; later calls do nothing.
    void startDeferred();

    /// The players seated in the competition's called heat whose link is not open, by device;
    /// empty without a called heat, while a game runs, or when every seated player is linked.
    QList<rotavex::PlayerSlot> heatPlayersWithoutLink() const;
    /// Whether any player seated in the called heat has an open link.
    bool heatHasLinkedPlayer() const;
    /// Starts opening the stored port or device of each of `players` (a link that cannot open
    /// yet waits for its device, as at start-up).
    void openStoredLinks(const QList<rotavex::PlayerSlot> &players);

    /// The web scoreboard's set-up now; the page is off when it could not be served.
    const web::WebSettings &webSettings() const { return m_webSettings; }
    /// Serves the web scoreboard (or stops) as `settings` say; they are stored first. A message
    /// for the user when they could not be stored, else nullopt. The outcome of serving comes
    /// as webAddressChanged() or webFailed().
    std::optional<QString> chooseWeb(const web::WebSettings &settings);
    /// The address spectators open, "" while the page is not served.
    QString webAddress() const;

    /// The evening ends: the running game is ended as Stop ends it and every link is closed.
    void end();

Q_SIGNALS:
    /// The web scoreboard's address changed ("" when serving ended or failed).
    void webAddressChanged(const QString &address);
    /// The web scoreboard could not be served: `message` says why, for the user.
    void webFailed(const QString &message);

private:
    void serveWeb();

    results::ResultsStore *m_store;
    PlayerLinks *m_links = nullptr;
    game::GameSession *m_session = nullptr;
    game::GameClock *m_clock = nullptr;
    results::GameRecorder *m_recorder = nullptr;
    competition::CompetitionHost *m_competition = nullptr;
    web::WebScoreboard *m_web = nullptr;
    ScoreboardPublisher *m_scoreboard = nullptr;
    web::WebSettings m_webSettings;
    bool m_deferredStarted = false;
};

} // namespace evening
