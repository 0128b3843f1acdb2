// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"

frmMain::frmMain(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Rotavex"));
}

frmMain::~frmMain() = default;
