// SPDX-License-Identifier: MIT
#include "main_window/led_display.h"

#include <QPalette>

namespace main_window
{

LedDisplay::LedDisplay(int digits, QWidget *parent)
    : QLCDNumber(digits, parent)
{
    // Flat segments take the palette's text colour as they are, like a lit LED.
    setSegmentStyle(QLCDNumber::Flat);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
}

void LedDisplay::setNumber(qint32 number) { display(number); }

void LedDisplay::setColours(const QColor &on, const QColor &background)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, on);
    colours.setColor(QPalette::Window, background);
    setPalette(colours);
}

QColor LedDisplay::onColour() const { return palette().color(QPalette::WindowText); }

} // namespace main_window
