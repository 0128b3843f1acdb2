// SPDX-License-Identifier: MIT
#include "main_window/web_view.h"

#include "display/frm_display.h"
#include "evening/scoreboard_state.h"
#include "settings/settings_store.h"
#include "web/qr_code.h"
#include "web/web_scoreboard.h"
#include "widgets/whole_lines.h"

#include <QImage>
#include <QTimer>

namespace main_window
{

namespace
{
    // The address's QR code as a picture, one pixel a module, with the four light modules all
    // round that a camera needs to find it.
    QImage CodePicture(const QString &address)
    {
        const web::QrCode code = web::EncodeQr(address.toUtf8());
        if (code.size == 0) {
            return {};
        }
        const int quiet = 4;
        QImage picture(code.size + 2 * quiet, code.size + 2 * quiet, QImage::Format_RGB32);
        picture.fill(Qt::white);
        for (int y = 0; y < code.size; ++y) {
            for (int x = 0; x < code.size; ++x) {
                if (code.at(x, y)) {
                    picture.setPixel(x + quiet, y + quiet, 0xFF000000u);
                }
            }
        }
        return picture;
    }
} // namespace

WebView::WebView(evening::ScoreboardPublisher &scoreboard, QWidget &window)
    : m_window(window)
    , m_web(new web::WebScoreboard({}, this))
    , m_settings(web::ReadWebSettings())
{
    m_web->showState(scoreboard.state());
    connect(&scoreboard, &evening::ScoreboardPublisher::published, m_web,
        &web::WebScoreboard::showState);
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
    display->setWebChoices(m_settings.on, m_settings.allInterfaces, m_settings.port);
    display->showWebAddress(address(), CodePicture(address()));
    connect(this, &WebView::addressChanged, display, [display](const QString &address) {
        display->showWebAddress(address, CodePicture(address));
    });
    connect(display, &frmDisplay::webChoicesMade, this,
        [this](bool on, bool allInterfaces, quint16 port) {
            choose({ on, port, allInterfaces });
        });
}

void WebView::choose(const web::WebSettings &settings)
{
    m_settings = settings;
    if (m_display) {
        m_display->setWebChoices(settings.on, settings.allInterfaces, settings.port);
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
