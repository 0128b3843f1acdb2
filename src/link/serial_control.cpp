// SPDX-License-Identifier: MIT
#include "link/serial_control.h"

#include <QSerialPort>

SerialControl::SerialControl(QObject *parent) : QObject(parent), m_port(new QSerialPort(this)) { }

SerialControl::~SerialControl() = default;
