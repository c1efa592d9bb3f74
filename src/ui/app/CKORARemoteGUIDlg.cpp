#include "ui/app/CKORARemoteGUIDlg.h"
#include "base/KORAParameterIds.h"

#include "base/AtomicFile.h"
#include "base/VerloException.h"
#include "base/Version.h"
#include "model/ConfigurationDiff.h"
#include "session/ConfigurationLoad.h"
#include "ui/look/ApplicationProfile.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/MessageDialog.h"
#include "ui/look/Palette.h"
#include "ui/look/WindowStack.h"
#include "ui/windows/ConnectingDialog.h"
#include "ui/windows/ConnectionAttempt.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/LoadSummaryDialog.h"
#include "ui/windows/ModalRunner.h"
#include "ui/windows/OpenWindowRegistration.h"

#include "ui/binding/Win32Controller.h"
#include "ui/look/BitmapResource.h"
#include "ui/look/MeterWidget.h"
#include "ui/look/StringTable.h"
#include "ui/look/WaitCursor.h"
#include "ui/look/WindowFrame.h"
#include "ui/settings/CBasicSettings.h"

#include <QAction>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace {

constexpr int kHeadingBitmap = 145;
constexpr int kMeterHeight = 180;

// The labels of the program positions, left to right, for each value of the
// program configuration; positions not listed are empty.
const std::vector<const char*> kProgramLabels[] = {
    {"5.1", "2"},
    {"5.1", "1", "1"},
    {"4", "4"},
    {"4", "2", "2"},
    {"4", "2", "1", "1"},
    {"4", "1", "1", "1", "1"},
    {"2", "2", "2", "2"},
    {"2", "2", "2", "1", "1"},
    {"2", "2", "1", "1", "1", "1"},
    {"2", "1", "1", "1", "1", "1", "1"},
    {"1", "1", "1", "1", "1", "1", "1", "1"},
    {"5.1"},
    {"4", "2"},
    {"4", "1", "1"},
    {"2", "2", "2"},
    {"2", "2", "1", "1"},
    {"2", "1", "1", "1", "1"},
    {"1", "1", "1", "1", "1", "1"},
    {"4"},
    {"2", "2"},
    {"2", "1", "1"},
    {"1", "1", "1", "1"},
    {"7.1"},
    {"7.1S"},
    {},
};

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

const ParameterId kProgramConfiguration = id(0x0101);
const ParameterId kCurrentProgram = id(0x010e);

// The text indicators after the program labels, in binding order.
struct TextIndicator {
    int control;
    std::uint16_t parameter;
    bool isControl;
};
constexpr TextIndicator kTextIndicators[] = {
    {1024, 0x0929, true},  {1091, 0x0100, false}, {1092, 0x0102, false},
    {1093, 0x0103, false}, {1102, 0x0112, false}, {1103, 0x0111, false},
    {1105, 0x0110, false}, {1101, 0x010f, false}, {1201, 0x0317, true},
};

// The LEDs after the program LEDs, in binding order: each is lit while its
// parameter has the expected value.
struct LedIndicator {
    int control;
    std::uint16_t parameter;
    std::uint16_t expected;
};
constexpr LedIndicator kLedIndicators[] = {
    {1099, 0x0104, 1}, {1100, 0x0104, 2}, {1095, 0x0104, 3}, {1096, 0x0104, 4},
    {1094, 0x0104, 0}, {1114, 0x0104, 5}, {1097, 0x0105, 0}, {1098, 0x0105, 1},
};

// The texts that each value of the right-hand columns may show ('|' between
// them): each value is given room for its widest, so that the columns keep
// their widths whatever the unit and the connection show.
struct TextRoom {
    int control;
    const char* texts;
};
constexpr TextRoom kTextRooms[] = {
    {1091, "No Lock|23.98 fps|29.97 fps|59.94 fps"},
    {1093, "None|SDI"},
    {1102, "------|-31dB"},
    {1201, "(Disabled)"},
    {1103, "---|3/2"},
    {1101, "L"},
    {1105, "Surround"},
    {CKORARemoteGUIDlg::kConnectionTypeText, "Ethernet|Serial|Off Line"},
    {CKORARemoteGUIDlg::kConnectionAddressText, "255.255.255.255:65535|[ffff::ffff]:65535"},
    {1024, "88.88.88.88"},
    {CKORARemoteGUIDlg::kRemoteVersionText, "88.88.88.88"},
};

MeterConfiguration meterConfiguration() {
    MeterConfiguration configuration;
    configuration.horizontal = false;
    configuration.gain = 1.0;
    configuration.offset = 0.0;
    configuration.floor = -60.0;
    configuration.reference = -60.0;
    configuration.top = 0.0;
    configuration.riseRate = 0.0;
    configuration.fallRate = 40.0;
    return configuration;
}

// The about box: the program icon, its name and version, and "OK".
class AboutDialog : public QDialog {
public:
    static constexpr int kTemplateId = 100;

    AboutDialog(const QPixmap& icon, QWidget* parent) : QDialog(parent) {
        setWindowTitle(QStringLiteral("About KORARemoteGUI"));
        auto* iconLabel = new QLabel;
        iconLabel->setPixmap(icon);
        auto* text = new QLabel(
            QStringLiteral("KORARemoteGUI Version %1").arg(QString::fromUtf8(trx4Version)));
        auto* ok = new QPushButton(QStringLiteral("&OK"));
        setControlId(ok, 1);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        auto* layout = new QGridLayout(this);
        layout->addWidget(iconLabel, 0, 0);
        layout->addWidget(text, 0, 1);
        layout->addWidget(ok, 0, 2, Qt::AlignTop);
        fixWindowFrame(*this, FrameButtons::CloseOnly);
    }
};

// A message in the application's look, with "OK".
void inform(QWidget* parent, const std::string& text) {
    MessageDialog dialog(MessageDialog::kTemplateId, QString::fromStdString(text), parent);
    ModalRunner::run(dialog);
}

// The device path for serial port n, when the profile names one.
QString serialPortPath(int port) {
    const std::unique_ptr<QSettings> profile = ApplicationProfile::open();
    return profile->value(QStringLiteral("Serial Ports/COM%1").arg(port)).toString();
}

} // namespace

CKORARemoteGUIDlg::CKORARemoteGUIDlg(int connectionType, const QString& tcpAddress, int serialPort,
                                     QWidget* parent, std::uint16_t unitTcpPort)
    : UnitWindow(kTemplateId, kBackgroundBitmap, parent), unitTcpPort_(unitTcpPort),
      connectionType_(connectionType), tcpAddress_(tcpAddress), serialPort_(serialPort),
      icon_(BitmapResource::load(kIconBitmap)),
      exceptionHandler_(std::make_unique<KORAExceptionHandler>(*this)),
      controller_(std::make_unique<Win32Controller>(nullptr, exceptionHandler_.get())) {
    setWindowTitle(QStringLiteral("TRX4 Remote"));
    session_.setReplacedListener([this] { followSession(); });
    pollTimer_.setInterval(kPollInterval);
    connect(&pollTimer_, &QTimer::timeout, this, &CKORARemoteGUIDlg::pollTick);
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &CKORARemoteGUIDlg::reconnect);

    for (int position = 0; position < kProgramPositions; ++position) {
        auto formatter = std::make_unique<EnumeratedFormatter>("Verlo E Program Configuration");
        for (int value = 0; value < static_cast<int>(std::size(kProgramLabels)); ++value) {
            const std::vector<const char*>& labels = kProgramLabels[value];
            formatter->addText(ParameterValue(value),
                               position < static_cast<int>(labels.size()) ? labels[position] : "");
        }
        programLabelFormatters_.push_back(std::move(formatter));
        programEvaluators_.emplace_back(static_cast<std::uint16_t>(position));
    }
    for (const LedIndicator& led : kLedIndicators) {
        ledEvaluators_.emplace_back(led.expected);
    }
    buildLayout();
}

CKORARemoteGUIDlg::~CKORARemoteGUIDlg() {
    stopPolling();
    attempt_.reset();
    closeDevice();
    controller_.reset();
    exceptionHandler_.reset();
    Palette::destroyInstance();
}

void CKORARemoteGUIDlg::initialise() {
    addAboutEntry();
    setWindowIcon(QIcon(icon_));
    const std::pair<int, const char*> leds[] = {{kLedOffBitmap, "Error loading the off led"},
                                                {kLedOnBitmap, "Error loading the on led"},
                                                {kLedErrorBitmap, "Error loading the error led"}};
    for (const auto& [id, message] : leds) {
        if (!BitmapResource::contains(id)) {
            throw VerloException(message);
        }
    }
    ledOff_ = BitmapResource::load(kLedOffBitmap);
    ledOn_ = BitmapResource::load(kLedOnBitmap);
    for (CxShadeButton* button : findChildren<CxShadeButton*>()) {
        button->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    }
    openDevice(connectionType_, tcpAddress_, serialPort_, false);
    startPolling();
}

std::chrono::seconds CKORARemoteGUIDlg::reconnectDelay(int attempt) {
    constexpr std::chrono::seconds first{2};
    constexpr std::chrono::seconds longest{30};
    std::chrono::seconds delay = first;
    for (int n = 1; n < attempt && delay < longest; ++n) {
        delay *= 2;
    }
    return std::min(delay, longest);
}

bool CKORARemoteGUIDlg::openDevice(int type, const QString& address, int port,
                                   bool keepTypeOnFailure) {
    // The operator's choice (or the drop to off line) replaces whatever was
    // under way in the background.
    attempt_.reset();
    stopReconnecting();
    connectionType_ = type;
    tcpAddress_ = address;
    serialPort_ = port;
    bool fellBack = false;
    const bool opened = exceptionHandler_->guard(KORAExceptionHandler::kOpenDevice, [&] {
        if (type == ConnectionType::Ethernet || type == ConnectionType::Serial ||
            type == ConnectionType::SerialAlternate) {
            const bool open =
                type == ConnectionType::Ethernet ? openEthernet(address) : openSerial(port);
            if (!open) {
                closeDevice();
            }
        } else {
            connectionType_ = ConnectionType::OffLine;
            session_.open(ConnectionTarget{});
        }
        if (!session_.isOpen()) {
            // The real unit could not be opened: the simulated one stands in.
            // A handler that ran meanwhile may have recorded off line already.
            if (!keepTypeOnFailure) {
                connectionType_ = ConnectionType::OffLine;
            }
            session_.goOffLine();
            fellBack = true;
        }
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
    session_.close();
}

void CKORARemoteGUIDlg::beginReopen() {
    stopReconnecting();
    if (attempt_ != nullptr) {
        return;
    }
    stopPolling();
    closeDevice();
    // Not stale: the reboot wait's own display tells the operator.
    session_.goOffLine();
    if (connectionType_ == ConnectionType::OffLine) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                startPolling();
                emit reopenFinished(true);
            },
            Qt::QueuedConnection);
        return;
    }
    ConnectionTarget target;
    // An address that cannot be used fails the attempt as a refused one does.
    if (!exceptionHandler_->guard(KORAExceptionHandler::kOpenDevice, [&] {
            target = targetOf(connectionType_, tcpAddress_, serialPort_);
        })) {
        QMetaObject::invokeMethod(
            this, [this] { emit reopenFinished(false); }, Qt::QueuedConnection);
        return;
    }
    startAttempt(target, AttemptPurpose::Reopen);
}

void CKORARemoteGUIDlg::goOffLine() {
    const bool lostUnit = session_.isOpen() && !session_.isOffLine();
    const int lostType = connectionType_;
    const QString lostAddress = tcpAddress_;
    const int lostPort = serialPort_;
    closeDevice();
    openDevice(ConnectionType::OffLine, QString(), 1, false);
    if (lostUnit &&
        ApplicationProfile::open()->value(QString::fromUtf8(kReconnectKey), true).toBool()) {
        lostType_ = lostType;
        lostAddress_ = lostAddress;
        lostPort_ = lostPort;
        reconnectAttempt_ = 1;
        scheduleReconnect();
    }
}

ConnectionTarget CKORARemoteGUIDlg::targetOf(int type, const QString& address, int port) const {
    if (type == ConnectionType::Ethernet) {
        try {
            return ConnectionTarget::parseTcp(address.trimmed().toStdString(), unitTcpPort_);
        } catch (const std::invalid_argument& error) {
            throw VerloException(std::string("The TCP/IP address is not usable: ") + error.what());
        }
    }
    if (type == ConnectionType::Serial || type == ConnectionType::SerialAlternate) {
        return ConnectionTarget::serial(static_cast<std::uint32_t>(port),
                                        serialPortPath(port).toStdString());
    }
    return ConnectionTarget{};
}

bool CKORARemoteGUIDlg::connectAway(const ConnectionTarget& target, const QString& where) {
    ConnectionAttempt attempt(target);
    ConnectingDialog dialog(where, this);
    QEventLoop loop;
    connect(&attempt, &ConnectionAttempt::finished, &loop, &QEventLoop::quit);
    connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.open();
    loop.exec();
    dialog.hide();
    if (!attempt.isFinished()) {
        // Cancelled: the attempt is abandoned as it goes.
        return false;
    }
    session_.adopt(attempt.take());
    return true;
}

void CKORARemoteGUIDlg::startAttempt(const ConnectionTarget& target, AttemptPurpose purpose) {
    attemptPurpose_ = purpose;
    attempt_ = std::make_unique<ConnectionAttempt>(target);
    connect(attempt_.get(), &ConnectionAttempt::finished, this,
            &CKORARemoteGUIDlg::attemptFinished);
}

void CKORARemoteGUIDlg::attemptFinished() {
    const std::unique_ptr<ConnectionAttempt> attempt = std::move(attempt_);
    bool opened = false;
    // A failed attempt in the background is no news: the next one follows,
    // or the reboot wait goes on. Only the unexpected reaches the handler.
    exceptionHandler_->guard(KORAExceptionHandler::kOpenDevice, [&] {
        try {
            UnitSession::Connection connection = attempt->take();
            if (attemptPurpose_ == AttemptPurpose::Reconnect) {
                connectionType_ = lostType_;
                tcpAddress_ = lostAddress_;
                serialPort_ = lostPort_;
                stopReconnecting();
            }
            session_.adopt(std::move(connection));
            opened = true;
        } catch (const VerloException&) {
        }
    });
    if (opened) {
        startPolling();
    }
    if (attemptPurpose_ == AttemptPurpose::Reopen) {
        emit reopenFinished(opened);
    } else if (!opened && reconnectAttempt_ > 0) {
        ++reconnectAttempt_;
        scheduleReconnect();
    }
}

void CKORARemoteGUIDlg::scheduleReconnect() {
    reconnectTimer_.start(reconnectDelay(reconnectAttempt_));
    showConnectionState();
}

void CKORARemoteGUIDlg::reconnect() {
    // A settings dialog or the firmware update's reboot wait holds the
    // connection: try again once it is closed.
    if (exceptionHandler_->openWindowCount() > 0 || attempt_ != nullptr) {
        reconnectTimer_.start(std::chrono::seconds(1));
        return;
    }
    ConnectionTarget target;
    if (!exceptionHandler_->guard(KORAExceptionHandler::kOpenDevice,
                                  [&] { target = targetOf(lostType_, lostAddress_, lostPort_); })) {
        stopReconnecting();
        return;
    }
    startAttempt(target, AttemptPurpose::Reconnect);
}

void CKORARemoteGUIDlg::stopReconnecting() {
    reconnectTimer_.stop();
    if (reconnectAttempt_ > 0) {
        reconnectAttempt_ = 0;
        if (attemptPurpose_ == AttemptPurpose::Reconnect) {
            attempt_.reset();
        }
        showConnectionState();
    }
}

void CKORARemoteGUIDlg::followSession() {
    // The controller must not reach a set once it is gone.
    controller_->setParameterSet(session_.parameters());
    if (session_.isOpen()) {
        bindIndicators();
    }
    emit parameterSetChanged();
}

bool CKORARemoteGUIDlg::openEthernet(const QString& address) {
    // A cancelled attempt is the operator's own choice: no error follows.
    bool connected = false;
    const bool guarded = exceptionHandler_->guard(KORAExceptionHandler::kOpenEthernet, [&] {
        connected = connectAway(targetOf(ConnectionType::Ethernet, address, 1), address);
        if (connected) {
            tcpAddress_ = address;
        }
    });
    return guarded && connected;
}

bool CKORARemoteGUIDlg::openSerial(int port) {
    bool connected = false;
    const bool guarded = exceptionHandler_->guard(KORAExceptionHandler::kOpenSerial, [&] {
        connected = connectAway(targetOf(ConnectionType::Serial, QString(), port),
                                QStringLiteral("COM%1").arg(port));
        if (connected) {
            tcpAddress_.clear();
        }
    });
    return guarded && connected;
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
    // A failed open while the handler is busy can leave no parameter set;
    // there is nothing to poll until the next open succeeds.
    KORAParams* parameters = session_.parameters();
    if (parameters == nullptr) {
        return;
    }
    exceptionHandler_->guard(KORAExceptionHandler::kPollingTick, [parameters] {
        parameters->pollNext();
        parameters->refreshControls();
    });
    showSilence();
}

void CKORARemoteGUIDlg::showSilence() {
    const bool stale =
        session_.isOpen() && !session_.isOffLine() && session_.silence() >= kStaleAfter;
    if (stale != stale_) {
        stale_ = stale;
        for (QWidget* panel : livePanels_) {
            panel->setEnabled(!stale);
        }
    }
    showConnectionState();
}

void CKORARemoteGUIDlg::showConnectionState() {
    QString text;
    if (reconnectAttempt_ > 0) {
        const QString where = lostType_ == ConnectionType::Ethernet
                                  ? lostAddress_
                                  : QStringLiteral("COM%1").arg(lostPort_);
        text = QStringLiteral("Reconnecting to %1 (attempt %2)\u2026")
                   .arg(where)
                   .arg(reconnectAttempt_);
    } else if (stale_) {
        text =
            QStringLiteral("No answer from the TRX4 for %1 s")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(session_.silence()).count());
    }
    auto* label = findControl<QLabel>(this, kConnectionStateText);
    if (label->text() != text) {
        setStaticText(kConnectionStateText, text);
    }
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
    for (int position = 0; position < kProgramPositions; ++position) {
        controller_->bindStatusText(findControl<QLabel>(this, kFirstProgramLabel + position),
                                    kProgramConfiguration, programLabelFormatters_[position].get());
    }
    for (const TextIndicator& indicator : kTextIndicators) {
        auto* label = findControl<QLabel>(this, indicator.control);
        if (indicator.isControl) {
            controller_->bindControlText(label, id(indicator.parameter));
        } else {
            controller_->bindStatusText(label, id(indicator.parameter));
        }
    }
    const MeterConfiguration configuration = meterConfiguration();
    for (int meter = 0; meter < kMeters; ++meter) {
        controller_->bindMeter(
            meters_[meter],
            id(static_cast<std::uint16_t>(KORAParameterIds::firstLevelMeter.number() + meter)),
            &meterScaler_, configuration);
    }
    for (int position = 0; position < kProgramPositions; ++position) {
        controller_->bindBitmap(findControl<QLabel>(this, kFirstProgramLed + position),
                                kCurrentProgram, &programEvaluators_[position], ledOn_, ledOff_,
                                false);
    }
    for (std::size_t led = 0; led < std::size(kLedIndicators); ++led) {
        controller_->bindBitmap(findControl<QLabel>(this, kLedIndicators[led].control),
                                id(kLedIndicators[led].parameter), &ledEvaluators_[led], ledOn_,
                                ledOff_, false);
    }
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

void CKORARemoteGUIDlg::changeSettings() {
    // Polling goes on while the dialog is open; a dropped connection closes it.
    CBasicSettings dialog(parameterSet(), this, exceptionHandler_.get());
    const OpenWindowRegistration registration(*exceptionHandler_, &dialog);
    ModalRunner::run(dialog);
}

void CKORARemoteGUIDlg::loadSettings() {
    stopPolling();
    const QString path = ModalRunner::current().chooseFile(
        this, {FileRequest::Mode::Open, QStringLiteral("Load Settings"),
               QString::fromUtf8(kFileFilter), QString::fromUtf8(kFileExtension)});
    if (!path.isEmpty()) {
        exceptionHandler_->guard(KORAExceptionHandler::kLoadOrSave, [&] {
            const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
            KORAParams& parameters = *parameterSet();
            ParameterValueMap wanted;
            std::vector<ConfigurationDiff::Difference> changes;
            {
                const WaitCursor waiting;
                wanted = ConfigurationLoad::read(parameters, file);
                parameters.refreshControls();
                changes = ConfigurationDiff::between(parameters,
                                                     ConfigurationDiff::saved(parameters), wanted);
            }
            // Settings the file does not hold stay as they are.
            std::erase_if(
                changes, [](const ConfigurationDiff::Difference& change) { return !change.right; });
            if (changes.empty()) {
                inform(this,
                       "The TRX4 already holds every setting in " + file + "; nothing was loaded.");
                return;
            }
            LoadSummaryDialog summary(QString::fromStdString(file), changes, this);
            if (ModalRunner::run(summary) != QDialog::Accepted) {
                return;
            }
            {
                const WaitCursor waiting;
                ConfigurationLoad::write(parameters, file, wanted);
            }
            inform(this, std::to_string(changes.size()) +
                             (changes.size() == 1 ? " setting" : " settings") + " loaded from " +
                             file);
        });
    }
    startPolling();
}

void CKORARemoteGUIDlg::saveSettings() {
    stopPolling();
    const QString path = ModalRunner::current().chooseFile(
        this, {FileRequest::Mode::Save, QStringLiteral("Save Settings"),
               QString::fromUtf8(kFileFilter), QString::fromUtf8(kFileExtension)});
    if (!path.isEmpty()) {
        exceptionHandler_->guard(KORAExceptionHandler::kLoadOrSave, [&] {
            const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
            {
                const WaitCursor waiting;
                std::ostringstream contents;
                parameterSet()->saveControls(contents);
                AtomicFile::write(file, contents.str());
            }
            inform(this, "Settings saved to " + file);
        });
    }
    startPolling();
}

void CKORARemoteGUIDlg::openDeviceCommand() {
    // The operator takes over: no reconnection behind the dialog's back.
    stopReconnecting();
    stopPolling();
    OpenDeviceDialog dialog(this);
    if (ModalRunner::run(dialog) == QDialog::Accepted) {
        closeDevice();
        openDevice(dialog.connectionType(), dialog.tcpAddress(), dialog.serialPort(), false);
    }
    startPolling();
}

void CKORARemoteGUIDlg::keyPressEvent(QKeyEvent* event) {
    // A dialog ends on Escape; this one ends the program, which only Exit
    // and the close box may do.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    UnitWindow::keyPressEvent(event);
}

void CKORARemoteGUIDlg::showAbout() {
    AboutDialog about(icon_, this);
    ModalRunner::run(about);
}

void CKORARemoteGUIDlg::addAboutEntry() {
    const QString entry = StringTable::load(kAboutMenuString);
    if (entry.isEmpty()) {
        return;
    }
    // The desktop offers no system menu to extend; the window's own context
    // menu carries the entry instead, below a separator.
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* about = new QAction(entry, this);
    connect(about, &QAction::triggered, this, &CKORARemoteGUIDlg::showAbout);
    addAction(separator);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CKORARemoteGUIDlg::buildLayout() {
    const auto text = [this](int id, const QString& initial = QString()) {
        return addStatic(id, initial);
    };
    const auto led = [this](int id) {
        auto* label = new QLabel;
        setControlId(label, id);
        label->setFixedSize(16, 16);
        label->setScaledContents(true);
        return label;
    };
    const auto ledRow = [&](QGridLayout* grid, int row, int id, const char* caption) {
        grid->addWidget(led(id), row, 0);
        grid->addWidget(new QLabel(QString::fromUtf8(caption)), row, 1);
    };

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setHorizontalSpacing(12);

    auto* heading = new QLabel;
    heading->setPixmap(BitmapResource::load(kHeadingBitmap));
    layout->addWidget(heading, 0, 0, 1, 3);

    auto* output = new QGroupBox(QStringLiteral("Output Level"));
    auto* meterGrid = new QGridLayout(output);
    const char* const scale[] = {"+20", "0", "-20", "-40"};
    // The scale spans the meters' height, its first mark at their top.
    auto* scaleColumn = new QWidget;
    scaleColumn->setFixedHeight(kMeterHeight);
    auto* scaleLayout = new QVBoxLayout(scaleColumn);
    scaleLayout->setContentsMargins(0, 0, 0, 0);
    for (const char* mark : scale) {
        if (mark != scale[0]) {
            scaleLayout->addStretch();
        }
        scaleLayout->addWidget(new QLabel(QString::fromUtf8(mark)));
    }
    meterGrid->addWidget(scaleColumn, 0, 0);
    const char* const channels[] = {"L", "C", "R", "Ls", "Rs", "SW", "7", "8"};
    for (int channel = 0; channel < kMeters; ++channel) {
        auto* label = new QLabel(QString::fromUtf8(channels[channel]));
        label->setAlignment(Qt::AlignHCenter);
        auto* meter = new MeterWidget;
        setControlId(meter, kFirstMeter + channel);
        meter->setFixedSize(14, kMeterHeight);
        meters_.push_back(meter);
        meterGrid->addWidget(meter, 0, channel + 1, Qt::AlignHCenter);
        meterGrid->addWidget(label, 1, channel + 1);
    }
    layout->addWidget(output, 1, 0, 3, 1);

    auto* programs = new QGroupBox(QString::fromUtf8("Verlo\u00ae E Program Configuration"));
    auto* programGrid = new QGridLayout(programs);
    for (int position = 0; position < kProgramPositions; ++position) {
        QLabel* label = text(kFirstProgramLabel + position);
        label->setAlignment(Qt::AlignHCenter);
        label->setMinimumWidth(28);
        programGrid->addWidget(label, 0, position, Qt::AlignHCenter);
        programGrid->addWidget(led(kFirstProgramLed + position), 1, position, Qt::AlignHCenter);
    }
    layout->addWidget(programs, 1, 1, 1, 2);

    auto* decoding = new QGroupBox(QStringLiteral("Decoding"));
    auto* decodingGrid = new QGridLayout(decoding);
    ledRow(decodingGrid, 0, 1094, "None");
    ledRow(decodingGrid, 1, 1099, "PCM L/R Discrete");
    ledRow(decodingGrid, 2, 1100, "PCM Tessel\u00ae");
    ledRow(decodingGrid, 3, 1095, "Verlo\u00ae Digital");
    ledRow(decodingGrid, 4, 1096, "Verlo\u00ae E");
    ledRow(decodingGrid, 5, 1114, "PCM Muted");
    layout->addWidget(decoding, 2, 1);

    auto* status = new QGroupBox(QStringLiteral("Status"));
    auto* statusGrid = new QGridLayout(status);
    statusGrid->addWidget(new QLabel(QStringLiteral("Video Frame Rate")), 0, 0);
    statusGrid->addWidget(text(1091), 0, 1);
    // Hidden, as the unit reports no sample rate worth showing.
    auto* sampleRateCaption = new QLabel(QStringLiteral("Audio Sample Rate"));
    QLabel* sampleRate = text(1092);
    sampleRateCaption->hide();
    sampleRate->hide();
    statusGrid->addWidget(sampleRateCaption, 1, 0);
    statusGrid->addWidget(sampleRate, 1, 1);
    statusGrid->addWidget(new QLabel(QStringLiteral("Option Card")), 2, 0);
    statusGrid->addWidget(text(1093), 2, 1);
    layout->addWidget(status, 2, 2);

    auto* metadata = new QGroupBox(QStringLiteral("Metadata"));
    auto* metadataGrid = new QGridLayout(metadata);
    metadataGrid->addWidget(new QLabel(QStringLiteral("Dialnorm")), 0, 0);
    metadataGrid->addWidget(text(1102), 0, 1);
    metadataGrid->addWidget(text(1201), 0, 2, 1, 2);
    metadataGrid->addWidget(new QLabel(QStringLiteral("Channel Mode")), 1, 0);
    metadataGrid->addWidget(text(1103), 1, 1);
    metadataGrid->addWidget(text(1101), 1, 2);
    metadataGrid->addWidget(text(1105), 1, 3);
    layout->addWidget(metadata, 3, 1);

    auto* frontPanel = new QGroupBox(QStringLiteral("Front Panel"));
    auto* frontGrid = new QGridLayout(frontPanel);
    ledRow(frontGrid, 0, 1098, "Film");
    ledRow(frontGrid, 1, 1097, "Digital Media");
    layout->addWidget(frontPanel, 3, 2);

    auto* connection = new QGroupBox(QStringLiteral("Connection"));
    auto* connectionLayout = new QVBoxLayout(connection);
    connectionLayout->addWidget(text(kConnectionTypeText));
    connectionLayout->addWidget(text(kConnectionAddressText));
    QLabel* state = text(kConnectionStateText);
    state->setWordWrap(true);
    connectionLayout->addWidget(state);
    layout->addWidget(connection, 4, 1);
    livePanels_ = {output, programs, decoding, status, metadata, frontPanel};

    auto* versions = new QGroupBox(QStringLiteral("Software Versions"));
    auto* versionsGrid = new QGridLayout(versions);
    versionsGrid->addWidget(new QLabel(QStringLiteral("Firmware")), 0, 0);
    versionsGrid->addWidget(text(1024), 0, 1);
    versionsGrid->addWidget(new QLabel(QStringLiteral("Remote")), 1, 0);
    versionsGrid->addWidget(text(kRemoteVersionText, QString::fromUtf8(trx4Version)), 1, 1);
    layout->addWidget(versions, 4, 2);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](int id, const char* caption, void (CKORARemoteGUIDlg::*action)()) {
        auto* shaded = new CxShadeButton(QString::fromUtf8(caption));
        setControlId(shaded, id);
        shaded->setMinimumSize(120, 30);
        if (action != nullptr) {
            connect(shaded, &QPushButton::clicked, this, action);
        }
        buttons->addWidget(shaded);
        return shaded;
    };
    button(kChangeSettingsButton, "&Change Settings...", &CKORARemoteGUIDlg::changeSettings);
    button(kLoadSettingsButton, "&Load Settings", &CKORARemoteGUIDlg::loadSettings);
    button(kSaveSettingsButton, "&Save Settings", &CKORARemoteGUIDlg::saveSettings);
    button(kOpenDeviceButton, "&Open Device...", &CKORARemoteGUIDlg::openDeviceCommand);
    button(kHelpButton, "&Help", nullptr)->hide();
    buttons->addStretch();
    CxShadeButton* exit = button(kExitButton, "E&xit", nullptr);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    layout->addLayout(buttons, 5, 0, 1, 3);
    for (const TextRoom& room : kTextRooms) {
        auto* label = findControl<QLabel>(this, room.control);
        int widest = 0;
        for (const QString& text : QString::fromUtf8(room.texts).split(u'|')) {
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(text));
        }
        label->setFixedWidth(widest);
    }
    fixWindowFrame(*this, FrameButtons::MinimiseAndClose);
}
