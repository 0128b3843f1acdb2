// SPDX-License-Identifier: MIT
#include "setup/frm_setup.h"

#include "link/bluetooth_devices.h"
#include "link/link_status.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "settings/settings_store.h"
#include "setup/port_list.h"
#include "setup/setup_layout.h"
#include "twips/twips_adapter.h"
#include "widgets/focus_ring.h"
#include "widgets/tag_label.h"
#include "widgets/tool_tip.h"
#include "widgets/whole_lines.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

#include <chrono>
#include <optional>

using namespace std::chrono_literals;

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

// Whether a COM entry's device was there at the last look; apart from the roles the device
// entries use.
constexpr int kPresentRole = Qt::UserRole + 8;

// Reasons come as parts of a sentence; a message box shows them as one.
QString asSentence(QString text)
{
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

// A green dot for an entry whose device is there, an empty square of the same size for one
// whose device is not, so the captions stay in line.
QIcon presenceIcon(bool present, int size)
{
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    if (present) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 90, 30), 1));
        painter.setBrush(QColor(30, 170, 60));
        painter.drawEllipse(QRectF(1.5, 1.5, size - 3.0, size - 3.0));
    }
    return QIcon(picture);
}

QString nameLabelObjectName(PlayerSlot player)
{
    static constexpr const char *kNames[] = { "Label1", "Label4", "Label5", "Label6" };
    return QString::fromLatin1(kNames[player - kFirstPlayer]);
}

} // namespace

frmSetup::frmSetup(PlayerLinks &links, const rotavex::PlayerName &names, QWidget *parent)
    : QDialog(parent)
    , m_links(links)
    , m_names(names)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Setup"));
    setWindowFlags(
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(twips::toPixels(
        { 0, 0, setup_layout::kDesignClientWidth, setup_layout::kDesignClientHeight }, *this)
                     .size());

    buildControls();
    buildTabOrder();
    widgets::FocusRing::install(this);
    Form_Load();
    markPresentPorts();
    // A device comes and goes while the dialog is up (a paired phone, a plugged adapter).
    m_portWatch = new QTimer(this);
    m_portWatch->setObjectName(QStringLiteral("tmrPorts"));
    m_portWatch->setInterval(1s);
    connect(m_portWatch, &QTimer::timeout, this, &frmSetup::markPresentPorts);
    m_portWatch->start();
    // A device can vanish or come back while the dialog is up; the buttons must follow.
    connect(&m_links, &PlayerLinks::statusChanged, this, &frmSetup::RefreshPortControls);
    connect(&m_links.bluetoothDevices(), &BluetoothDevices::changed, this,
        &frmSetup::RefreshDeviceEntries);
    m_players[kFirstPlayer].txtName->setFocus();
}

frmSetup::~frmSetup() = default;

QRect frmSetup::designPixels(QAnyStringView objectName) const
{
    return twips::designPixels(setup_layout::DesignInventory(), objectName, *this);
}

void frmSetup::buildControls()
{
    QFont base = font();
    base.setPointSizeF(8.25);
    setFont(base);
    QFont caption = base;
    caption.setPointSizeF(9.75);
    // The buttons sit high in each frame, where a style would put the frame's top border below
    // its caption; a border around the whole frame with the caption inside keeps them clear.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 6px; "
                                 "margin-top: 0px; padding-top: 0px; } "
                                 "QGroupBox::title { subcontrol-origin: border; left: 8px; "
                                 "top: 4px; }"));

    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        PlayerControls &c = m_players[player];
        const QString frameName = QStringLiteral("fr%1").arg(setup_layout::FrameIndex(player));
        const QString number = QString::number(player);

        c.fr = new QGroupBox(QStringLiteral("Player %1").arg(player), this);
        c.fr->setObjectName(frameName);
        c.fr->setFont(caption);
        c.fr->setGeometry(designPixels(frameName));

        c.Label7 = new widgets::TagLabel(c.fr);
        c.Label7->setText(QStringLiteral("Bluetooth input port:"));
        c.Label7->setObjectName(QStringLiteral("Label7%1").arg(player - kFirstPlayer));
        c.Label7->setGeometry(designPixels("Label7#"));

        c.cboPort = new QComboBox(c.fr);
        c.cboPort->setObjectName(QStringLiteral("cboPort") + number);
        c.cboPort->setEditable(false);
        c.cboPort->setGeometry(designPixels("cboPort#"));
        c.cboPort->setAccessibleName(QStringLiteral("Player %1 port").arg(player));

        c.cmdOpen = new QPushButton(QStringLiteral("Open"), c.fr);
        c.cmdOpen->setObjectName(QStringLiteral("cmdOpen") + number);
        c.cmdOpen->setGeometry(designPixels("cmdOpen#"));

        c.cmdClose = new QPushButton(QStringLiteral("Close"), c.fr);
        c.cmdClose->setObjectName(QStringLiteral("cmdClose") + number);
        c.cmdClose->setGeometry(designPixels("cmdClose#"));

        c.nameLabel = new widgets::TagLabel(c.fr);
        c.nameLabel->setText(QStringLiteral("Name:"));
        c.nameLabel->setObjectName(nameLabelObjectName(player));
        c.nameLabel->setGeometry(designPixels("nameLabel#"));

        c.txtName = new QLineEdit(c.fr);
        c.txtName->setObjectName(QStringLiteral("txtName") + number);
        c.txtName->setMaxLength(int(settings_store::kMaxNameLength));
        c.txtName->setGeometry(designPixels("txtName#"));
        c.txtName->setAccessibleName(QStringLiteral("Player %1 name").arg(player));

        // The frame's larger caption font must not spread to the controls inside it.
        for (QWidget *inner : { static_cast<QWidget *>(c.Label7), static_cast<QWidget *>(c.cboPort),
                 static_cast<QWidget *>(c.cmdOpen), static_cast<QWidget *>(c.cmdClose),
                 static_cast<QWidget *>(c.nameLabel), static_cast<QWidget *>(c.txtName) }) {
            inner->setFont(base);
        }
        // Fixed design widths: a caption wider than its label shrinks instead of being cut.
        widgets::FitCaption(static_cast<widgets::TagLabel *>(c.Label7));
        widgets::FitCaption(static_cast<widgets::TagLabel *>(c.nameLabel));

        connect(c.cboPort, &QComboBox::currentIndexChanged, this,
            [list = c.cboPort] { port_list::ShowSelection(*list); });
        connect(c.cmdOpen, &QPushButton::clicked, this, [this, player] { OpenAction(player); });
        connect(c.cmdClose, &QPushButton::clicked, this, [this, player] { CloseAction(player); });
    }

    chkOpenAtStart = new QCheckBox(QStringLiteral("Open these links when Rotavex starts"), this);
    chkOpenAtStart->setObjectName(QStringLiteral("chkOpenAtStart"));
    chkOpenAtStart->setGeometry(designPixels("chkOpenAtStart"));

    cmdClose = new QPushButton(QStringLiteral("OK"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(designPixels("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &frmSetup::cmdClose_Click);

    // Return in a name field must not press a button (a dialog would otherwise pick the
    // first Open button as its default).
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void frmSetup::buildTabOrder()
{
    // Every name first, so a roster is typed in one go; then the links.
    QList<QWidget *> order;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        order << m_players[player].txtName;
    }
    order << m_players[kFirstPlayer].cmdOpen;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        order << m_players[player].cboPort;
    }
    order << m_players[kFirstPlayer].cmdClose;
    for (PlayerSlot player = kFirstPlayer + 1; player <= kLastPlayer; ++player) {
        order << m_players[player].cmdOpen << m_players[player].cmdClose;
    }
    order << chkOpenAtStart << cmdClose << m_players[kFirstPlayer].txtName;
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void frmSetup::Form_Load()
{
    // All stored ports are read before any list is filled.
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        m_storedPort[player] = settings_store::ReadPlayerPort(player);
        m_storedDevice[player] = settings_store::ReadPlayerDevice(player);
    }
    for (int port = 1; port <= port_names::kPortCount; ++port) {
        const QString entry = port_names::PortCaption(port);
        for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
            m_players[player].cboPort->addItem(entry);
        }
    }
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const int port = m_storedPort[player];
        // A list selects its first entry as soon as it has one; 0 or a number that names no
        // entry leaves the list without a selection instead.
        m_players[player].cboPort->setCurrentIndex(
            port >= 1 && port <= port_names::kPortCount ? port - 1 : -1);
    }
    RefreshDeviceEntries();
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        if (!m_storedDevice[player].isEmpty()) {
            port_list::SelectDevice(*m_players[player].cboPort, m_storedDevice[player],
                m_links.bluetoothDevices().nameOf(m_storedDevice[player]));
        }
    }
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        m_players[player].txtName->setText(m_names[player]);
    }
    chkOpenAtStart->setChecked(settings_store::ReadOpenAtStart());
    RefreshPortControls();
}

rotavex::PlayerName frmSetup::Unload()
{
    m_storeMessages.clear();
    if (const std::optional<QString> kept =
            settings_store::KeepUnreadableCopy(QDateTime::currentDateTime())) {
        m_storeMessages << *kept;
    }
    // Every write is checked, but one failure is one message: the rest fail the same way.
    std::optional<QString> failure;
    const auto note = [&failure](std::optional<QString> result) {
        if (result && !failure) {
            failure = result;
        }
    };
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const QComboBox &list = *m_players[player].cboPort;
        const QString device = port_list::DeviceAt(list, list.currentIndex());
        // A device chosen instead of a port keeps the port for when it is chosen again.
        note(settings_store::WritePlayerPort(
            player, device.isEmpty() ? list.currentIndex() + 1 : m_storedPort[player]));
        note(settings_store::WritePlayerDevice(player, device));
    }
    rotavex::PlayerName names;
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        names[player] = m_players[player].txtName->text();
    }
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        note(settings_store::WritePlayerName(player, names[player]));
    }
    note(settings_store::WriteOpenAtStart(chkOpenAtStart->isChecked()));
    if (failure) {
        m_storeMessages << *failure
                + QStringLiteral(" The names stay on the board until Rotavex ends, but the next "
                                 "start will not know them.");
    }
    return names;
}

void frmSetup::RefreshPortControls()
{
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        const bool open = m_links.isOpen(player);
        link_status::LinkStatus status = m_links.status(player);
        PlayerControls &c = m_players[player];
        // A link that opens (a device that came back, say) greys its port list and Open; Qt
        // would pass their focus on down the dialog, to another player's button. It stays with
        // the player instead, in the name field, where a stray key does no harm.
        const QWidget *focused = focusWidget();
        if (open && (focused == c.cmdOpen || focused == c.cboPort)) {
            c.txtName->setFocus(Qt::OtherFocusReason);
        }
        c.cmdOpen->setEnabled(!open);
        // Close also ends a wait for a device that went away.
        c.cmdClose->setEnabled(open || link_status::IsWaiting(status.state));
        c.cboPort->setEnabled(!open);
        if (status.port == 0 && status.device.isEmpty()) {
            status.port = m_storedPort[player];
            status.device = m_storedDevice[player];
            status.deviceName = m_links.bluetoothDevices().nameOf(status.device);
        }
        // Tooltips guess at markup; the reason comes from the serial layer.
        c.fr->setToolTip(widgets::ToolTipText(link_status::Describe(status)));
    }
}

void frmSetup::OpenAction(PlayerSlot player)
{
    const int selected = m_players[player].cboPort->currentIndex();
    const auto port = static_cast<qint16>(selected + 1);
    const QString device = port_list::DeviceAt(*m_players[player].cboPort, selected);
    if (!device.isEmpty()) {
        OpenDeviceAction(player, device,
            m_players[player].cboPort->itemData(selected, Qt::UserRole + 1).toString());
        return;
    }

    BeginBusy();
    std::optional<QString> error;
    if (selected < 0) {
        error = QStringLiteral("No port is selected.");
    } else {
        error = m_links.open(player, port);
    }
    if (error) {
        ShowOpenFailure(port, *error);
    }
    EndBusy();

    RefreshPortControls();
}

void frmSetup::OpenDeviceAction(PlayerSlot player, const QString &address, const QString &name)
{
    BeginBusy();
    if (const std::optional<QString> refused = m_links.beginOpenDevice(player, address)) {
        OpenDeviceFinished(player, address, name, *refused);
        return;
    }
    // The connection is made without this thread waiting: the dialog stays greyed (the board
    // and its timers keep running) until the links say how it went.
    auto *once = new QObject(this);
    connect(&m_links, &PlayerLinks::bluetoothOpenFinished, once,
        [this, once, player, address, name](PlayerSlot finished, const QString &failure) {
            if (finished == player) {
                delete once;
                OpenDeviceFinished(player, address, name, failure);
            }
        });
}

void frmSetup::OpenDeviceFinished(
    PlayerSlot, const QString &address, const QString &name, const QString &failure)
{
    if (!failure.isEmpty()) {
        ShowOpenFailure(name.isEmpty() ? address : name, asSentence(failure));
    }
    EndBusy();

    RefreshPortControls();
}

void frmSetup::RefreshDeviceEntries()
{
    const QList<bluetooth_inventory::SerialDevice> devices =
        m_links.bluetoothDevices().serialDevices();
    for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
        port_list::SetDevices(*m_players[player].cboPort, devices);
    }
}

void frmSetup::CloseAction(PlayerSlot player)
{
    m_links.close(player);
    RefreshPortControls();
}

void frmSetup::cmdClose_Click() { accept(); }

void frmSetup::BeginBusy()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
    // Let the cursor and the greyed dialog show before the open may block.
    QCoreApplication::processEvents();
}

void frmSetup::EndBusy()
{
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    QCoreApplication::processEvents();
}

void frmSetup::ShowOpenFailure(int port, const QString &description)
{
    ShowOpenFailure(port_names::PortCaption(port), description);
}

void frmSetup::ShowOpenFailure(const QString &linkName, const QString &description)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(settings_store::kApplication),
        QStringLiteral("Cannot open %1 !\r\n").arg(linkName) + description, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    // The device path it names stays on one line.
    widgets::KeepLinesWhole(box);
    box.exec();
}

void frmSetup::markPresentPorts()
{
    const int size = QFontMetrics(font()).height() * 3 / 4;
    const QIcon present = presenceIcon(true, size);
    const QIcon absent = presenceIcon(false, size);
    for (int port = 1; port <= port_names::kPortCount; ++port) {
        // Only a look at the file system: whether the port's device path exists now.
        const bool there = !port_names::Resolve(port).device.isEmpty();
        for (PlayerSlot player = kFirstPlayer; player <= kLastPlayer; ++player) {
            QComboBox *list = m_players[player].cboPort;
            if (list->count() < port || list->itemData(port - 1, kPresentRole) == there) {
                continue;
            }
            list->setItemIcon(port - 1, there ? present : absent);
            list->setItemData(port - 1, there, kPresentRole);
            list->setItemData(port - 1,
                there ? QStringLiteral("A device is there") : QStringLiteral("No device"),
                Qt::ToolTipRole);
        }
    }
}
