// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Lets desktops match the window to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.rotavex.Rotavex"));
    frmMain window;
    window.show();
    return app.exec();
}
