#include "ui/windows/OpenDeviceDialog.h"

#include "ui/look/ApplicationProfile.h"
#include "ui/look/BitmapResource.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WindowFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

namespace {

constexpr int kBackgroundBitmap = 136;
constexpr int kHeadingBitmap = 145;

QString key(const char* name) {
    return QString::fromUtf8(OpenDeviceDialog::kSection) + u'/' + QString::fromUtf8(name);
}

} // namespace

OpenDeviceDialog::OpenDeviceDialog(QWidget* parent)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent) {
    // A normal frame, so that the operator can move it and tell it from the
    // main window behind it. (Without one, a window manager could place it
    // where the toolkit did not know, and its lists opened far from it.)
    setWindowTitle(QStringLiteral("TRX4 Remote"));
    setModal(true);

    connectionList_ = new QComboBox;
    connectionList_->setObjectName(QStringLiteral("connection"));
    connectionList_->addItems(
        {QStringLiteral("Ethernet"), QStringLiteral("Serial"), QStringLiteral("Off Line")});
    portList_ = new QComboBox;
    portList_->setObjectName(QStringLiteral("port"));
    portList_->addItems({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                         QStringLiteral("COM4")});
    portList_->setEnabled(false);
    addressEdit_ = new QLineEdit;
    addressEdit_->setObjectName(QStringLiteral("tcpAddress"));
    // A unit behind a forwarded port or a hub is reached as HOST:PORT.
    addressEdit_->setPlaceholderText(QStringLiteral("host or host:port"));
    reconnectBox_ = new QCheckBox(QStringLiteral("&Reconnect automatically"));
    reconnectBox_->setObjectName(QStringLiteral("reconnect"));

    const std::unique_ptr<QSettings> profile = ApplicationProfile::open();
    connectionType_ = profile->value(key(kConnectionTypeKey), ConnectionType::OffLine).toInt();
    serialPort_ = profile->value(key(kSerialPortKey), 1).toInt();
    tcpAddress_ = profile->value(key(kTcpAddressKey), QString()).toString();
    reconnects_ = profile->value(key(kReconnectKey), true).toBool();
    reconnectBox_->setChecked(reconnects_);
    // A stored value without an entry (type 3, say) selects nothing and is
    // kept as it is until the operator chooses.
    connectionList_->setCurrentIndex(connectionType_ < connectionList_->count() ? connectionType_
                                                                                : -1);
    portList_->setCurrentIndex(serialPort_ - 1 < portList_->count() ? serialPort_ - 1 : -1);
    addressEdit_->setText(tcpAddress_);
    enableControls();

    connect(connectionList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        connectionType_ = index;
        enableControls();
    });
    connect(portList_, &QComboBox::currentIndexChanged, this,
            [this](int index) { serialPort_ = index + 1; });
    connect(addressEdit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { tcpAddress_ = text; });
    connect(reconnectBox_, &QCheckBox::toggled, this, [this](bool on) { reconnects_ = on; });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    auto* heading = new QLabel;
    heading->setPixmap(BitmapResource::load(kHeadingBitmap));
    layout->addWidget(heading);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Co&nnection"), connectionList_);
    form->addRow(QStringLiteral("&Port"), portList_);
    form->addRow(QStringLiteral("TCP/IP &Address"), addressEdit_);
    form->addRow(QString(), reconnectBox_);
    layout->addLayout(form);

    auto* okButton = CxShadeButton::dialogButton(QStringLiteral("&OK"), kOkButton, 88);
    okButton->setDefault(true);
    auto* cancelButton = CxShadeButton::dialogButton(QStringLiteral("&Cancel"), kCancelButton, 88);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);

    auto* notice = new QGroupBox;
    auto* noticeLayout = new QVBoxLayout(notice);
    auto* noticeText = new QLabel(
        QString::fromUtf8("TRX4 and Verlo\u00ae are trademarks of Verlo. All rights reserved."));
    noticeText->setWordWrap(true);
    noticeLayout->addWidget(noticeText);
    layout->addWidget(notice);
    fixWindowFrame(*this, FrameButtons::CloseOnly);
}

OpenDeviceDialog::~OpenDeviceDialog() {
    const std::unique_ptr<QSettings> profile = ApplicationProfile::open();
    profile->setValue(key(kConnectionTypeKey), connectionType_);
    profile->setValue(key(kTcpAddressKey), tcpAddress_);
    profile->setValue(key(kSerialPortKey), serialPort_);
    profile->setValue(key(kReconnectKey), reconnects_);
}

void OpenDeviceDialog::enableControls() {
    addressEdit_->setEnabled(connectionType_ == ConnectionType::Ethernet);
    portList_->setEnabled(connectionType_ == ConnectionType::Serial ||
                          connectionType_ == ConnectionType::SerialAlternate);
}
