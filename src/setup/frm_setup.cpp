// SPDX-License-Identifier: MIT
#include "setup/frm_setup.h"

#include "main_window/frm_main.h"

frmSetup::frmSetup(frmMain &owner) : QDialog(&owner), m_owner(owner)
{
    setWindowTitle(QStringLiteral("Setup"));
}

frmSetup::~frmSetup() = default;

void frmSetup::Unload() { }
