#include "ui/CKORARemoteGUIDlg.h"

#include "protocol/ForwardingProtocol.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/RetryingProtocol.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "transport/Win32SerialPort.h"
#include "transport/Win32Socket.h"
#include "ui/CKORARemoteGUIApp.h"
#include "ui/ControlId.h"
#include "ui/CxShadeButton.h"
#include "ui/KORAExceptionHandler.h"
#include "ui/ModalRunner.h"
#include "ui/Palette.h"
#include "ui/WindowStack.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

namespace {

// The device path for serial port n, when the profile names one.
QString serialPortPath(int port) {
    const std::unique_ptr<QSettings> profile = CKORARemoteGUIApp::profile();
    return profile->value(QStringLiteral("Serial Ports/COM%1").arg(port)).toString();
}

} // namespace

CKORARemoteGUIDlg::CKORARemoteGUIDlg(int connectionType, const QString& tcpAddress, int serialPort,
                                     QWidget* parent, std::uint16_t unitTcpPort)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent), unitTcpPort_(unitTcpPort),
      connectionType_(connectionType), tcpAddress_(tcpAddress), serialPort_(serialPort),
      exceptionHandler_(std::make_unique<KORAExceptionHandler>(*this)) {
    setWindowTitle(QStringLiteral("TRX4 Remote"));
    pollTimer_.setInterval(kPollInterval);
    connect(&pollTimer_, &QTimer::timeout, this, &CKORARemoteGUIDlg::pollTick);

    auto* layout = new QVBoxLayout(this);
    auto* connection = new QGroupBox(QStringLiteral("Connection"));
    auto* connectionLayout = new QVBoxLayout(connection);
    connectionLayout->addWidget(addStatic(kConnectionTypeText));
    connectionLayout->addWidget(addStatic(kConnectionAddressText));
    layout->addWidget(connection);

    auto* versions = new QGroupBox(QStringLiteral("Software Versions"));
    auto* versionsLayout = new QGridLayout(versions);
    versionsLayout->addWidget(new QLabel(QStringLiteral("Remote")), 0, 0);
    versionsLayout->addWidget(addStatic(kRemoteVersionText, QString::fromUtf8(kRemoteVersion)), 0,
                              1);
    layout->addWidget(versions);

    auto* openButton = new CxShadeButton(QStringLiteral("&Open Device..."));
    setControlId(openButton, kOpenDeviceButton);
    connect(openButton, &QPushButton::clicked, this, &CKORARemoteGUIDlg::onOpenDevice);
    auto* exitButton = new CxShadeButton(QStringLiteral("Exit"));
    setControlId(exitButton, kExitButton);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(openButton);
    buttons->addStretch();
    buttons->addWidget(exitButton);
    layout->addLayout(buttons);
}

CKORARemoteGUIDlg::~CKORARemoteGUIDlg() {
    stopPolling();
    closeDevice();
    exceptionHandler_.reset();
    Palette::destroyInstance();
}

void CKORARemoteGUIDlg::initialise() {
    for (CxShadeButton* button : findChildren<CxShadeButton*>()) {
        button->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    }
    openDevice(connectionType_, tcpAddress_, serialPort_, false);
    startPolling();
}

bool CKORARemoteGUIDlg::openDevice(int type, const QString& address, int port,
                                   bool keepTypeOnFailure) {
    connectionType_ = type;
    tcpAddress_ = address;
    serialPort_ = port;
    bool fellBack = false;
    const bool opened = exceptionHandler_->guard(KORAExceptionHandler::kOpenDevice, [&] {
        if (type == ConnectionType::Ethernet || type == ConnectionType::Serial ||
            type == ConnectionType::SerialAlternate) {
            const bool open =
                type == ConnectionType::Ethernet ? openEthernet(address) : openSerial(port);
            if (open) {
                parameterSet_ = std::make_unique<KORAParams>(*retryingFrontEnd_);
            } else {
                closeDevice();
            }
        } else {
            connectionType_ = ConnectionType::OffLine;
            buildOffLineChain();
        }
        if (parameterSet_ == nullptr) {
            // A handler that ran meanwhile may have recorded off line already.
            const int remembered = connectionType_;
            connectionType_ = ConnectionType::OffLine;
            buildOffLineChain();
            if (keepTypeOnFailure) {
                connectionType_ = remembered;
            }
            fellBack = true;
        }
        bindIndicators();
    });
    if (!opened || (keepTypeOnFailure && fellBack)) {
        return false;
    }
    startPolling();
    return true;
}

bool CKORARemoteGUIDlg::reopenDevice(bool keepTypeOnFailure) {
    closeDevice();
    return openDevice(connectionType_, tcpAddress_, serialPort_, keepTypeOnFailure);
}

void CKORARemoteGUIDlg::closeDevice() {
    parameterSet_.reset();
    retryingFrontEnd_.reset();
    protocolFrontEnd_.reset();
    protocolImplementation_.reset();
    deviceAdapter_.reset();
    transport_.reset();
}

bool CKORARemoteGUIDlg::openEthernet(const QString& address) {
    return exceptionHandler_->guard(KORAExceptionHandler::kOpenEthernet, [&] {
        transport_ = std::make_unique<Win32Socket>(address.toStdString(), unitTcpPort_);
        deviceAdapter_ = std::make_unique<SerialDevice>(*transport_);
        protocolImplementation_ = std::make_unique<QUIPProtocol>(*deviceAdapter_, tcpFraming_);
        protocolFrontEnd_ = std::make_unique<ForwardingProtocol>(protocolImplementation_.get());
        retryingFrontEnd_ = std::make_unique<RetryingProtocol>(protocolFrontEnd_.get(), kAttempts);
        tcpAddress_ = address;
    });
}

bool CKORARemoteGUIDlg::openSerial(int port) {
    return exceptionHandler_->guard(KORAExceptionHandler::kOpenSerial, [&] {
        const QString path = serialPortPath(port);
        if (path.isEmpty()) {
            transport_ = std::make_unique<Win32SerialPort>(static_cast<std::uint32_t>(port),
                                                           kSerialBaudRate);
        } else {
            transport_ = std::make_unique<Win32SerialPort>(path.toStdString(), kSerialBaudRate);
        }
        deviceAdapter_ = std::make_unique<SerialDevice>(*transport_);
        protocolImplementation_ = std::make_unique<QUIPProtocol>(*deviceAdapter_, serialFraming_);
        protocolFrontEnd_ = std::make_unique<ForwardingProtocol>(protocolImplementation_.get());
        retryingFrontEnd_ = std::make_unique<RetryingProtocol>(protocolFrontEnd_.get(), kAttempts);
        tcpAddress_.clear();
    });
}

void CKORARemoteGUIDlg::buildOffLineChain() {
    protocolFrontEnd_ = std::make_unique<ForwardingProtocol>(&simulatedProtocol_);
    parameterSet_ = std::make_unique<KORAParams>(*protocolFrontEnd_);
}

void CKORARemoteGUIDlg::startPolling() {
    if (!pollTimer_.isActive()) {
        pollTimer_.start();
    }
}

bool CKORARemoteGUIDlg::stopPolling() {
    const bool wasPolling = pollTimer_.isActive();
    pollTimer_.stop();
    return wasPolling;
}

void CKORARemoteGUIDlg::pollTick() {
    WindowStack::instance().showTop();
    exceptionHandler_->guard(KORAExceptionHandler::kPollingTick, [this] {
        parameterSet_->pollNext();
        parameterSet_->refreshControls();
    });
}

void CKORARemoteGUIDlg::showConnection() {
    switch (connectionType_) {
    case ConnectionType::Ethernet:
        setStaticText(kConnectionTypeText, QStringLiteral("Ethernet"));
        setStaticText(kConnectionAddressText, tcpAddress_);
        break;
    case ConnectionType::Serial:
    case ConnectionType::SerialAlternate:
        setStaticText(kConnectionTypeText, QStringLiteral("Serial"));
        setStaticText(kConnectionAddressText, QStringLiteral("COM%1").arg(serialPort_));
        break;
    case ConnectionType::OffLine:
        setStaticText(kConnectionTypeText, QStringLiteral("Off Line"));
        setStaticText(kConnectionAddressText, QString());
        break;
    default:
        throw VerloException("unrecognized connection type");
    }
}

void CKORARemoteGUIDlg::bindIndicators() {
    showConnection();
}

void CKORARemoteGUIDlg::setStaticText(int id, const QString& text) {
    auto* label = findControl<QLabel>(this, id);
    // The text is transparent: the background behind it is drawn again.
    update(label->geometry());
    label->setText(text);
}

QLabel* CKORARemoteGUIDlg::addStatic(int id, const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    setControlId(label, id);
    return label;
}

void CKORARemoteGUIDlg::onOpenDevice() {
    stopPolling();
    OpenDeviceDialog dialog(this);
    if (ModalRunner::run(dialog) == QDialog::Accepted) {
        closeDevice();
        openDevice(dialog.connectionType(), dialog.tcpAddress(), dialog.serialPort(), false);
    }
    startPolling();
}
