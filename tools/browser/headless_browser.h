// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebSocket>

#include <memory>

/// A headless Chromium (Debian's `chromium`) driven over its DevTools protocol on the loopback:
/// opens a page, reads it with script and takes its picture. Pages that keep a live feed open
/// are read after real time has passed, which --dump-dom cannot do. Every call waits, running
/// the event loop, up to its time limit.
class HeadlessBrowser
{
public:
    /// Starts the browser with a page of `viewport` CSS pixels; `mobile` emulates a phone.
    HeadlessBrowser(QSize viewport, bool mobile);
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser &) = delete;
    HeadlessBrowser &operator=(const HeadlessBrowser &) = delete;

    /// Whether the browser runs and its page is ready; error() says why not.
    bool isReady() const { return m_page.state() == QAbstractSocket::ConnectedState; }
    QString error() const { return m_error; }

    /// Loads `url` and waits for its load event.
    bool open(const QUrl &url, int timeoutMs = 15000);
    /// The value of a script expression on the page (undefined: a null value).
    QJsonValue evaluate(const QString &expression, int timeoutMs = 15000);
    /// The page's picture as PNG, empty on failure.
    QByteArray screenshot(int timeoutMs = 15000);
    /// The protocol's events seen so far ("Page.javascriptDialogOpening" ...).
    QStringList events() const { return m_events; }

private:
    QJsonObject call(const QString &method, const QJsonObject &params, int timeoutMs);

    QTemporaryDir m_profile;
    QProcess m_process;
    QWebSocket m_page;
    int m_nextId = 0;
    QJsonObject m_reply;
    int m_replyId = -1;
    QStringList m_events;
    QString m_error;
};
