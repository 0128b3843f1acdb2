// SPDX-License-Identifier: MIT
#include "main_window/sound_view.h"

#include "announcer/announcer.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QShortcut>
#include <QSlider>
#include <QToolTip>
#include <QWidgetAction>

namespace main_window
{

SoundButton::SoundButton(announcer::Announcer &announcer, QWidget &window)
    : QToolButton(&window)
    , m_announcer(announcer)
    , m_window(window)
{
    setObjectName(QStringLiteral("cmdSound"));
    setPopupMode(QToolButton::InstantPopup);
    setFocusPolicy(Qt::NoFocus);
    auto *menu = new QMenu(this);
    // The key is the window's own shortcut (below); the menu only names it.
    QAction *sound = menu->addAction(QStringLiteral("&Sound\tCtrl+M"));
    sound->setObjectName(QStringLiteral("actSound"));
    sound->setCheckable(true);
    QAction *voice = menu->addAction(QStringLiteral("&Voice"));
    voice->setObjectName(QStringLiteral("actVoice"));
    voice->setCheckable(true);
    QAction *countIn = menu->addAction(QStringLiteral("&Count in on Start"));
    countIn->setObjectName(QStringLiteral("actCountIn"));
    countIn->setCheckable(true);
    countIn->setChecked(announcer.countInOnBoard());
    countIn->setToolTip(QStringLiteral("Competition heats count in unless set otherwise"));
    auto *volumeRow = new QWidget(menu);
    auto *row = new QHBoxLayout(volumeRow);
    row->addWidget(new QLabel(QStringLiteral("Volume"), volumeRow));
    auto *volume = new QSlider(Qt::Horizontal, volumeRow);
    volume->setObjectName(QStringLiteral("sldVolume"));
    volume->setRange(0, 100);
    volume->setValue(announcer.volume());
    row->addWidget(volume);
    auto *volumeAction = new QWidgetAction(menu);
    volumeAction->setDefaultWidget(volumeRow);
    menu->addAction(volumeAction);
    setMenu(menu);

    // The mute key works on the whole window, menu closed.
    auto *mute = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), &window);
    connect(mute, &QShortcut::activated, this,
        [this] { m_announcer.setSoundOn(!m_announcer.soundOn()); });
    connect(sound, &QAction::triggered, this, [this](bool on) { m_announcer.setSoundOn(on); });
    connect(voice, &QAction::triggered, this, [this](bool on) { m_announcer.setVoiceOn(on); });
    connect(volume, &QSlider::valueChanged, this,
        [this](int percent) { m_announcer.setVolume(percent); });
    connect(
        countIn, &QAction::triggered, this, [this](bool on) { m_announcer.setCountInOnBoard(on); });
    connect(
        &announcer, &announcer::Announcer::changed, this, [this, sound, voice, volume, countIn] {
            sound->setChecked(m_announcer.soundOn());
            countIn->setChecked(m_announcer.countInOnBoard());
            voice->setChecked(m_announcer.voiceOn());
            volume->setValue(m_announcer.volume());
            showState();
        });
    connect(&announcer, &announcer::Announcer::problemFound, this, [this](const QString &message) {
        showState();
        if (isVisible()) {
            QToolTip::showText(mapToGlobal(QPoint(0, height())), message, this);
        }
    });
    sound->setChecked(announcer.soundOn());
    voice->setChecked(announcer.voiceOn());
    showState();
    window.installEventFilter(this);
    place();
}

void SoundButton::showState()
{
    setText(m_announcer.soundOn() ? QStringLiteral("Sound") : QStringLiteral("Muted"));
    const QString tip = m_announcer.soundOn() ? QStringLiteral("Sound on (Ctrl+M mutes)")
                                              : QStringLiteral("Sound off (Ctrl+M turns it on)");
    setToolTip(
        m_announcer.problem().isEmpty() ? tip : tip + QLatin1Char('\n') + m_announcer.problem());
    adjustSize();
    place();
}

void SoundButton::place()
{
    move(m_window.width() - width() - 2, 2);
    raise();
}

bool SoundButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && event->type() == QEvent::Resize) {
        place();
    }
    return QToolButton::eventFilter(watched, event);
}

CountInLabel::CountInLabel(QWidget &board)
    : QLabel(&board)
    , m_board(board)
{
    setObjectName(QStringLiteral("lblCountIn"));
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("QLabel { color: #ffffff; background: rgba(0, 0, 0, 170); "
                                 "border-radius: 24px; }"));
    hide();
    board.installEventFilter(this);
}

void CountInLabel::showNumber(int number)
{
    if (number <= 0) {
        hide();
        return;
    }
    setText(QString::number(number));
    place();
    show();
    raise();
}

void CountInLabel::place()
{
    // A third of the board's height: readable from the back of a room.
    const int side = std::max(60, m_board.height() / 3);
    QFont big = font();
    big.setPixelSize(side * 3 / 4);
    big.setBold(true);
    setFont(big);
    setGeometry((m_board.width() - side) / 2, (m_board.height() - side) / 2, side, side);
}

bool CountInLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_board && event->type() == QEvent::Resize && isVisible()) {
        place();
    }
    return QLabel::eventFilter(watched, event);
}

} // namespace main_window
