// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

/// One player's link to its device, whatever carries it (a serial port, a Bluetooth
/// connection): opens, closes, hands over the bytes it receives and says when it stands, fails
/// or goes down, with a reason in words for a person. The owner decides when bytes are taken
/// in; the link only says that some wait. Each kind keeps its own way and pace of
/// reconnecting; the owner only says when to keep trying.
class LinkTransport : public QObject
{
    Q_OBJECT
public:
    /// Who asks for an open, which decides how long it may take and what its failure does.
    enum class Opening { ByUser, AtStart };

    using QObject::QObject;

    /// Starts opening the link's device. Returns the failure at once when it cannot work;
    /// otherwise std::nullopt, and opened() or failed() follows (perhaps within this call).
    [[nodiscard]] virtual std::optional<QString> open(Opening opening) = 0;
    /// Tries the device again at the link's own pace, quietly, until it opens (opened()) or
    /// close() is called.
    virtual void keepTrying() = 0;
    /// Closes the link and ends any opening or trying; nothing follows. Closing a closed link
    /// is fine.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    /// Hands over every byte that has reached the link by now, as received() within this call.
    /// Returns whether any came; after a call that found nothing, the next byte raises
    /// pending() again. Nothing happens on a closed link.
    virtual bool takeIn() = 0;
    /// Whether the link may take its device now; asked before every quiet try, so a device a
    /// player holds is left alone. Everything may by default.
    void setMayOpen(std::function<bool()> mayOpen) { m_mayOpen = std::move(mayOpen); }

Q_SIGNALS:
    /// The link stands, after open() or a quiet try.
    void opened();
    /// An open() that returned std::nullopt did not work.
    void failed(const QString &reason);
    /// The open link went down by itself.
    void lost(const QString &reason);
    /// While the link waits, what stands in its way changed (the adapter was switched off).
    void reasonChanged(const QString &reason);
    /// The device is known by a new name.
    void renamed(const QString &name);
    /// Bytes wait to be taken in (takeIn()). Raised once; then the link is not watched until a
    /// takeIn() finds nothing, so the owner reads a streaming device at its own pace.
    void pending();
    /// Bytes from the device, in order.
    void received(const QByteArray &bytes);

protected:
    bool mayOpen() const { return !m_mayOpen || m_mayOpen(); }

private:
    std::function<bool()> m_mayOpen;
};
