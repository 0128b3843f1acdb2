// SPDX-License-Identifier: MIT
#pragma once

#include "web/web_settings.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;
class frmDisplay;

namespace evening
{
class Evening;
} // namespace evening

namespace main_window
{

/// The windows' side of the evening's web scoreboard: shows its address (with a QR code) on
/// the spectators' display, tells the user when it cannot be served, and takes the display
/// menu's choices.
class WebView : public QObject
{
    Q_OBJECT
public:
    /// `evening` and `window` must outlive the view.
    WebView(evening::Evening &evening, QWidget &window);
    ~WebView() override;

    /// The spectators' display shows the address and offers the set-up from now on.
    void attach(frmDisplay *display);
    /// Stores `settings` and serves (or stops) as they say.
    void choose(const web::WebSettings &settings);
    /// The address spectators open, "" while not serving.
    QString address() const;

Q_SIGNALS:
    /// The address changed ("" when serving ended or failed).
    void addressChanged(const QString &address);

private:
    void failed(const QString &message);

    evening::Evening &m_evening;
    QWidget &m_window;
    QPointer<frmDisplay> m_display;
};

} // namespace main_window
