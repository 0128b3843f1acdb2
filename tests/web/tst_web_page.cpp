// SPDX-License-Identifier: MIT
#include "evening/scoreboard_state.h"
#include "headless_browser.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"
#include "main_window/web_view.h"
#include "settings/settings_store.h"
#include "support/pty_pair.h"
#include "web/feed_json.h"
#include "web/web_settings.h"

#include <QAbstractButton>
#include <QTcpServer>
#include <QTest>

namespace
{

const QString kHostileName = QStringLiteral("<img src=x onerror=alert(1)>");
// One revolution in 1000 × 8 µs: 7500 rpm.
const QByteArray kFrame7500("<\x03\xE8>", 4);

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class tst_WebPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsTheGame_data();
    void followsTheGame();
};

void tst_WebPage::followsTheGame_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<bool>("mobile");

    QTest::newRow("the page on a portrait phone") << "/" << QSize(390, 844) << true;
    QTest::newRow("the overlay in a landscape browser source")
        << "/overlay" << QSize(1920, 1080) << false;
}

// The real program with two devices on pseudo-terminals serves its game; Chromium shows every
// tick, and a name made of markup as plain text that runs nothing.
void tst_WebPage::followsTheGame()
{
    QFETCH(QString, path);
    QFETCH(QSize, viewport);
    QFETCH(bool, mobile);
    TempSettings settings;
    TempRuntimeDir runtime;
    settings_store::WritePlayerName(1, kHostileName);
    settings_store::WritePlayerName(2, QStringLiteral("Ben"));
    web::WriteWebSettings({ true, freePort(), false });
    std::array<PtyPair, 2> devices;
    frmMain w;
    for (rotavex::PlayerSlot n = 1; n <= 2; ++n) {
        QVERIFY(devices[n - 1].exposeAs(runtime.portDir(), n));
        QCOMPARE(w.links().open(n, n), std::nullopt);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!w.web().address().isEmpty(), 10000);

    HeadlessBrowser browser(viewport, mobile);
    QVERIFY2(browser.isReady(), qPrintable(browser.error()));
    QVERIFY(browser.open(QUrl(w.web().address()).resolved(QUrl(path))));
    w.findChild<QAbstractButton *>(QStringLiteral("OptMode1"))->click(); // Strength
    w.findChild<QAbstractButton *>(QStringLiteral("CmdStart"))->click();
    const auto text = [&](const QString &selector) {
        return browser
            .evaluate(QStringLiteral("document.querySelector('%1').textContent").arg(selector))
            .toString();
    };
    for (int tick = 0; tick < 4; ++tick) {
        for (rotavex::PlayerSlot n = 1; n <= 2; ++n) {
            const quint32 stored = w.links().latestSamples().stored[n];
            QVERIFY(devices[n - 1].write(kFrame7500));
            QTRY_VERIFY_WITH_TIMEOUT(w.links().latestSamples().stored[n] > stored, 10000);
        }
        w.tmrRefresh_Timer();
        w.tmrStrenght_Timer();
        // The board's own timers tick too: the page must catch up with the game as it is now.
        // A page follows a tick in milliseconds (bench_web measures it); the cap is for a
        // loaded machine running the sanitizer build beside a browser.
        const auto current = [&] { return w.evening().scoreboard().state(); };
        QTRY_VERIFY_WITH_TIMEOUT(text(QStringLiteral("#player2 .value"))
                    == QLocale(QLocale::English).toString(current().players[2].live)
                && text(QStringLiteral("#countdown"))
                    == QString::number(current().countdownSeconds),
            20000);
    }
    QVERIFY(w.session().snapshot().players[2].revolutions > 0);
    QCOMPARE(text(QStringLiteral("#player2 .name")), QStringLiteral("Ben"));
    QCOMPARE(text(QStringLiteral("#player1 .name")), kHostileName);
    QCOMPARE(browser.evaluate(QStringLiteral("document.images.length")).toInt(-1), 0);

    // Between heats the page words the feed's numbers as the display does, and a dash or
    // markup is a name, not an empty seat. Shown and read in one go, so no tick comes between.
    evening::ScoreboardState between = w.evening().scoreboard().state();
    evening::BetweenHeats heats;
    heats.competition = QStringLiteral("Friday cup");
    heats.heat = 3;
    heats.heatCount = 12;
    heats.seats = { { QStringLiteral("–"), true }, {}, { kHostileName, true }, { "Di", true } };
    heats.nextHeat = 4;
    heats.nextNames = QStringList { "–", "Ed" };
    heats.rule = competition::RankingRule::Mean;
    heats.standings = { { 1, QStringLiteral("–"), 1, 1234.4, 2, 0, false },
        { 2, QStringLiteral("Ann"), 1, 1233.6, 1, 1, false },
        { 3, kHostileName, 0, 50.0, 1, 0, true },
        { 4, QStringLiteral("Ed"), 0, 0.0, 0, 2, false } };
    between.running = false;
    between.betweenHeats = heats;
    const QString shown = browser
                              .evaluate(QStringLiteral("show(%1); [...document.querySelectorAll("
                                                       "'#competition :is(h2, p, li, td, th)')]"
                                                       ".map((e) => e.textContent).join('|')")
                                            .arg(QString::fromUtf8(web::FeedJson(between))))
                              .toString();
    QCOMPARE(shown,
        QStringList(
            { "Heat 3 of 12", "Friday cup", "–", "—", kHostileName, "Di", "Next: –, Ed",
                "Standings: mean revolutions per heat played", "", "Name", "revolutions", "rounds",
                "", "1", "–", "1,234 rev", "2", "", "1", "Ann", "1,234 rev", "1", "missed 1", "",
                kHostileName, "50 rev", "1", "retired", "", "Ed", "", "0", "missed 2" })
            .join(QLatin1Char('|')));
    QVERIFY(!browser.events().contains(QStringLiteral("Page.javascriptDialogOpening")));
}

QTEST_MAIN(tst_WebPage)
#include "tst_web_page.moc"
