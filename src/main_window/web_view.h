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
class ScoreboardPublisher;
} // namespace evening

namespace web
{
class WebScoreboard;
} // namespace web

namespace main_window
{

/// The board's side of the web scoreboard: serves the scoreboard's state as the stored set-up
/// says, shows the address on the spectators' display and the board, and takes the display
/// menu's choices (stored, then applied).
class WebView : public QObject
{
    Q_OBJECT
public:
    /// `scoreboard` and `window` must outlive the view; serving starts when the set-up says so.
    WebView(evening::ScoreboardPublisher &scoreboard, QWidget &window);
    ~WebView() override;

    web::WebScoreboard &scoreboard() { return *m_web; }
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
    void apply();
    void failed(const QString &message);

    QWidget &m_window;
    web::WebScoreboard *m_web = nullptr;
    web::WebSettings m_settings;
    QPointer<frmDisplay> m_display;
};

} // namespace main_window
