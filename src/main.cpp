// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    frmMain window;
    window.show();
    return app.exec();
}
