#pragma once

#include "ui/look/PaletteDialog.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;

// How the application reaches the unit, as the profile stores it.
namespace ConnectionType {
constexpr int Ethernet = 0;
constexpr int Serial = 1;
constexpr int OffLine = 2;
// Behaves as Serial everywhere; the connection dialog offers no entry for it.
constexpr int SerialAlternate = 3;
} // namespace ConnectionType

// The connection dialog: "Ethernet" to a TCP/IP address, "Serial" on a port,
// or "Off Line". It starts with the choice stored in the profile and stores
// the choice again when it goes, after Cancel as after OK.
class OpenDeviceDialog : public PaletteDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 151;
    static constexpr int kOkButton = 1;
    static constexpr int kCancelButton = 2;

    // The profile's section and keys.
    static constexpr const char* kSection = "Settings";
    static constexpr const char* kConnectionTypeKey = "connection type";
    static constexpr const char* kTcpAddressKey = "tcp address";
    static constexpr const char* kSerialPortKey = "serial port";
    // Whether the main window reconnects by itself to a unit it lost.
    static constexpr const char* kReconnectKey = "reconnect";

    explicit OpenDeviceDialog(QWidget* parent = nullptr);
    ~OpenDeviceDialog() override;

    int connectionType() const { return connectionType_; }
    QString tcpAddress() const { return tcpAddress_; }
    int serialPort() const { return serialPort_; }

private:
    void enableControls();

    int connectionType_ = ConnectionType::OffLine;
    QString tcpAddress_;
    int serialPort_ = 1;
    bool reconnects_ = true;
    QComboBox* connectionList_;
    QComboBox* portList_;
    QLineEdit* addressEdit_;
    QCheckBox* reconnectBox_;
};
