// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

/// A private D-Bus daemon standing in for the system bus: started on construction, with
/// DBUS_SYSTEM_BUS_ADDRESS pointing at it, stopped on destruction. Make it before anything in the
/// process touches the system bus: Qt connects once per process.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isValid() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

private:
    QString m_address;
    qint64 m_pid = 0;
};

/// The fake Bluetooth service (rotavex-fakebluez) on the private bus, driven through its
/// standard input. Stopped on destruction.
class FakeBluezProcess
{
public:
    /// Starts the fake with `arguments` and waits until it owns its name.
    explicit FakeBluezProcess(const QStringList &arguments = {});
    ~FakeBluezProcess();
    FakeBluezProcess(const FakeBluezProcess &) = delete;
    FakeBluezProcess &operator=(const FakeBluezProcess &) = delete;

    bool isReady() const { return m_ready; }
    /// Sends one command ("vanish 1", "hang", …) and waits for its answer; true on "ok".
    bool command(const QString &line);
    /// Stops the fake: the service is gone from the bus.
    void stop();

    /// The path of the fake's executable.
    static QString program();
    /// The address of device `number` (1-based), as the fake gives it.
    static QString address(int number);

private:
    std::unique_ptr<QProcess> m_process;
    bool m_ready = false;
};
