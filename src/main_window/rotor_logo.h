// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace main_window
{

/// The program's logo: a three-bladed rotor in motion above the word "Rotavex", drawn to fit
/// whatever size the picture box has.
class RotorLogo : public QWidget
{
    Q_OBJECT
public:
    explicit RotorLogo(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace main_window
