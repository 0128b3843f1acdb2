// SPDX-License-Identifier: MIT
#include "main_window/web_view.h"

#include "display/frm_display.h"
#include "evening/evening.h"
#include "settings/settings_store.h"
#include "web/qr_code.h"
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

WebView::WebView(evening::Evening &evening, QWidget &window)
    : m_evening(evening)
    , m_window(window)
{
    connect(&evening, &evening::Evening::webAddressChanged, this, &WebView::addressChanged);
    connect(&evening, &evening::Evening::webFailed, this, &WebView::failed);
}

WebView::~WebView() = default;

QString WebView::address() const { return m_evening.webAddress(); }

void WebView::attach(frmDisplay *display)
{
    m_display = display;
    const web::WebSettings &settings = m_evening.webSettings();
    display->setWebChoices(settings.on, settings.allInterfaces, settings.port);
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
    if (m_display) {
        m_display->setWebChoices(settings.on, settings.allInterfaces, settings.port);
    }
    if (const std::optional<QString> message = m_evening.chooseWeb(settings)) {
        widgets::ShowPlainMessage(&m_window, QString::fromLatin1(settings_store::kApplication),
            *message, QStringLiteral("msgSettings"));
    }
}

void WebView::failed(const QString &message)
{
    // The menu's tick says whether the page is served.
    if (m_display) {
        const web::WebSettings &settings = m_evening.webSettings();
        m_display->setWebChoices(settings.on, settings.allInterfaces, settings.port);
    }
    // The program goes on without the page; the message waits for the event loop so a failure
    // at start-up stands beside the board.
    QTimer::singleShot(0, this, [this, message] {
        widgets::ShowPlainMessage(&m_window, QString::fromLatin1(settings_store::kApplication),
            message, QStringLiteral("msgWebScoreboard"));
    });
}

} // namespace main_window
