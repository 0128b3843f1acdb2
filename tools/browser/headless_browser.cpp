// SPDX-License-Identifier: MIT
#include "headless_browser.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace
{

// Runs the event loop until `done` holds or the time is up.
template <typename Done> bool waitFor(Done done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

} // namespace

HeadlessBrowser::HeadlessBrowser(QSize viewport, bool mobile)
{
    m_process.setProgram(QStringLiteral("chromium"));
    m_process.setArguments({ QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
        QStringLiteral("--disable-dev-shm-usage"), QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--remote-debugging-address=127.0.0.1"),
        QStringLiteral("--remote-debugging-port=0"),
        QStringLiteral("--user-data-dir=") + m_profile.path(),
        QStringLiteral("--window-size=%1,%2").arg(viewport.width()).arg(viewport.height()),
        QStringLiteral("about:blank") });
    m_process.start();
    // The browser names its protocol's address on its error output.
    QString endpoint;
    const QRegularExpression listening(QStringLiteral("DevTools listening on ws://([^/]+)/"));
    QByteArray said;
    waitFor(
        [&] {
            said += m_process.readAllStandardError();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(said));
            endpoint = match.hasMatch() ? match.captured(1) : QString();
            return !endpoint.isEmpty() || m_process.state() == QProcess::NotRunning;
        },
        30000);
    if (endpoint.isEmpty()) {
        m_error = QStringLiteral("chromium did not start: ") + QString::fromUtf8(said.right(500));
        return;
    }
    QNetworkAccessManager network;
    QNetworkReply *list =
        network.get(QNetworkRequest(QUrl(QStringLiteral("http://%1/json/list").arg(endpoint))));
    waitFor([&] { return list->isFinished(); }, 15000);
    QString pageAddress;
    for (const QJsonValue target : QJsonDocument::fromJson(list->readAll()).array()) {
        if (target[QStringLiteral("type")].toString() == QLatin1String("page")) {
            pageAddress = target[QStringLiteral("webSocketDebuggerUrl")].toString();
            break;
        }
    }
    list->deleteLater();
    if (pageAddress.isEmpty()) {
        m_error = QStringLiteral("chromium shows no page");
        return;
    }
    QObject::connect(
        &m_page, &QWebSocket::textMessageReceived, &m_page, [this](const QString &text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.contains(QStringLiteral("id"))) {
                m_replyId = message[QStringLiteral("id")].toInt();
                m_reply = message;
            } else {
                m_events.append(message[QStringLiteral("method")].toString());
            }
        });
    m_page.open(QUrl(pageAddress));
    if (!waitFor([&] { return isReady(); }, 15000)) {
        m_error = QStringLiteral("the page's protocol did not answer");
        return;
    }
    call(QStringLiteral("Page.enable"), {}, 15000);
    call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
        { { QStringLiteral("width"), viewport.width() },
            { QStringLiteral("height"), viewport.height() },
            { QStringLiteral("deviceScaleFactor"), 1 }, { QStringLiteral("mobile"), mobile } },
        15000);
}

HeadlessBrowser::~HeadlessBrowser()
{
    m_page.abort();
    m_process.kill();
    m_process.waitForFinished(10000);
}

QJsonObject HeadlessBrowser::call(const QString &method, const QJsonObject &params, int timeoutMs)
{
    if (!isReady()) {
        return {};
    }
    const int id = ++m_nextId;
    m_page.sendTextMessage(QString::fromUtf8(QJsonDocument(
        QJsonObject { { QStringLiteral("id"), id }, { QStringLiteral("method"), method },
            { QStringLiteral("params"),
                params } }).toJson(QJsonDocument::Compact)));
    if (!waitFor([&] { return m_replyId == id; }, timeoutMs)) {
        m_error = method + QStringLiteral(" got no answer");
        return {};
    }
    if (m_reply.contains(QStringLiteral("error"))) {
        m_error = method + QStringLiteral(": ")
            + QString::fromUtf8(
                QJsonDocument(m_reply[QStringLiteral("error")].toObject()).toJson());
    }
    return m_reply[QStringLiteral("result")].toObject();
}

bool HeadlessBrowser::open(const QUrl &url, int timeoutMs)
{
    const qsizetype loadsBefore = m_events.count(QStringLiteral("Page.loadEventFired"));
    call(QStringLiteral("Page.navigate"), { { QStringLiteral("url"), url.toString() } }, timeoutMs);
    return waitFor(
        [&] { return m_events.count(QStringLiteral("Page.loadEventFired")) > loadsBefore; },
        timeoutMs);
}

QJsonValue HeadlessBrowser::evaluate(const QString &expression, int timeoutMs)
{
    const QJsonObject result = call(QStringLiteral("Runtime.evaluate"),
        { { QStringLiteral("expression"), expression }, { QStringLiteral("returnByValue"), true } },
        timeoutMs);
    return result[QStringLiteral("result")].toObject()[QStringLiteral("value")];
}

QByteArray HeadlessBrowser::screenshot(int timeoutMs)
{
    const QJsonObject result = call(QStringLiteral("Page.captureScreenshot"),
        { { QStringLiteral("format"), QStringLiteral("png") } }, timeoutMs);
    return QByteArray::fromBase64(result[QStringLiteral("data")].toString().toLatin1());
}
