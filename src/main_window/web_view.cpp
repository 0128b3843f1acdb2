// SPDX-License-Identifier: MIT
#include "main_window/web_view.h"

#include "display/frm_display.h"
#include "game/game_session.h"
#include "settings/settings_store.h"
#include "web/web_scoreboard.h"
#include "widgets/whole_lines.h"

#include <QTimer>

namespace main_window
{

WebView::WebView(game::GameSession &session, QWidget &window)
    : m_window(window)
    , m_web(new web::WebScoreboard({}, this))
    , m_settings(web::ReadWebSettings())
{
    m_web->showSnapshot(session.snapshot());
    connect(&session, &game::GameSession::updated, m_web, &web::WebScoreboard::showSnapshot);
    connect(m_web, &web::WebScoreboard::started, this, &WebView::addressChanged);
    connect(m_web, &web::WebScoreboard::stopped, this, [this] { Q_EMIT addressChanged({}); });
    connect(m_web, &web::WebScoreboard::failed, this, &WebView::failed);
    apply();
}

WebView::~WebView() = default;

QString WebView::address() const { return m_web->address(); }

void WebView::attach(frmDisplay *display)
{
    m_display = display;
    display->setWebSettings(m_settings);
    display->showWebAddress(address());
    connect(this, &WebView::addressChanged, display, &frmDisplay::showWebAddress);
    connect(display, &frmDisplay::webSettingsChosen, this, &WebView::choose);
}

void WebView::choose(const web::WebSettings &settings)
{
    m_settings = settings;
    if (m_display) {
        m_display->setWebSettings(settings);
    }
    if (const std::optional<QString> message = web::WriteWebSettings(settings)) {
        widgets::ShowPlainMessage(&m_window, QString::fromLatin1(settings_store::kApplication),
            *message, QStringLiteral("msgSettings"));
    }
    apply();
}

void WebView::apply()
{
    if (m_settings.on) {
        m_web->start(m_settings.port, m_settings.allInterfaces);
    } else {
        m_web->stop();
    }
}

void WebView::failed(const QString &message)
{
    Q_EMIT addressChanged({});
    // The program goes on without the page; the message waits for the event loop so a failure
    // at start-up stands beside the board.
    QTimer::singleShot(0, this, [this, message] {
        widgets::ShowPlainMessage(&m_window, QString::fromLatin1(settings_store::kApplication),
            message, QStringLiteral("msgWebScoreboard"));
    });
}

} // namespace main_window
