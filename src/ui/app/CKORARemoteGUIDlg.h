#pragma once

#include "catalogue/KORAParams.h"
#include "model/MeterScaler.h"
#include "model/ParameterEvaluator.h"
#include "model/ParameterFormatter.h"
#include "session/UnitSession.h"
#include "ui/windows/OpenDeviceDialog.h"
#include "ui/windows/UnitWindow.h"

#include <QPixmap>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

class ConnectionAttempt;
class KORAExceptionHandler;
class MeterWidget;
class Win32Controller;
class QLabel;

// The main window: the live status panel of the unit. It owns the unit
// session (real or simulated unit), polls it every 30 ms and hands every
// failure to its exception handler. When a real unit cannot be opened it
// chooses the simulated one, so that it always shows a parameter set.
class CKORARemoteGUIDlg : public UnitWindow {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 102;
    static constexpr int kBackgroundBitmap = 155;
    static constexpr std::uint16_t kUnitTcpPort = ConnectionTarget::unitTcpPort;
    static constexpr int kPollInterval = 30;
    // The polling timer's identity while it runs.
    static constexpr int kPollTimerId = 1;

    static constexpr int kMeters = 8;
    static constexpr int kProgramPositions = 8;
    static constexpr int kIconBitmap = 128;
    static constexpr int kLedOnBitmap = 147;
    static constexpr int kLedOffBitmap = 4014;
    static constexpr int kLedErrorBitmap = 148;

    static constexpr int kConnectionTypeText = 1019;
    static constexpr int kConnectionAddressText = 1018;
    // Below the connection: a unit gone quiet, or the reconnection under way.
    static constexpr int kConnectionStateText = 1020;
    static constexpr int kRemoteVersionText = 1025;
    static constexpr int kFirstProgramLabel = 1600;
    static constexpr int kFirstMeter = 1004;
    static constexpr int kFirstProgramLed = 1106;
    static constexpr int kChangeSettingsButton = 1003;
    static constexpr int kLoadSettingsButton = 57672;
    static constexpr int kSaveSettingsButton = 57671;
    static constexpr int kOpenDeviceButton = 57673;
    static constexpr int kHelpButton = 57670;
    static constexpr int kExitButton = 2;
    static constexpr int kAboutMenuString = 101;
    // The configuration files' choosers.
    static constexpr const char* kFileFilter = "TRX4 Files (*.trx);;All Files (*)";
    static constexpr const char* kFileExtension = "trx";
    // The profile's switch for reconnecting by itself (on unless stored off).
    static constexpr const char* kReconnectKey = "Settings/reconnect";
    // A unit silent this long (its ping a second unanswered) looks stale.
    static constexpr std::chrono::seconds kStaleAfter{3};

    // How long after losing the unit reconnection attempt n (from 1) starts:
    // 2 s, then twice as long each time, up to 30 s.
    static std::chrono::seconds reconnectDelay(int attempt);

    // The unit is reached on unitTcpPort over TCP; only tests choose another
    // than the unit's own port.
    CKORARemoteGUIDlg(int connectionType, const QString& tcpAddress, int serialPort,
                      QWidget* parent = nullptr, std::uint16_t unitTcpPort = kUnitTcpPort);
    ~CKORARemoteGUIDlg() override;

    // Prepares the window for its first showing and opens the unit chosen at
    // construction. Failures that leave the window are thrown.
    void initialise();

    // Builds the connection chain of the type and starts polling; when the
    // unit cannot be opened the simulated one takes its place. With
    // keepTypeOnFailure a fallback keeps the recorded type and does not poll
    // (false is returned). Failures go to the exception handler.
    bool openDevice(int type, const QString& address, int port, bool keepTypeOnFailure);
    // Closes the device, then opens the current connection again.
    bool reopenDevice(bool keepTypeOnFailure);
    void beginReopen() override;
    // Destroys the parameter set, then the connection chain.
    void closeDevice();
    // Closes the device and opens the simulated unit, off line. When that
    // drops a real unit, the window reconnects by itself unless the profile
    // says not to.
    void goOffLine() override;
    bool openEthernet(const QString& address);
    bool openSerial(int port);

    void startPolling() override;
    bool stopPolling() override;
    // kPollTimerId while polling, else 0.
    int pollTimer() const { return pollTimer_.isActive() ? kPollTimerId : 0; }
    // One tick of the polling timer: the next status group and every control.
    void pollTick();
    // The unit has been silent for kStaleAfter: its indicators are dimmed.
    bool isStale() const { return stale_; }
    // A connection is being made in the background (no dialog shown).
    bool isConnecting() const { return attempt_ != nullptr; }
    // Reconnection to a lost unit is waiting or under way.
    bool isReconnecting() const { return reconnectAttempt_ > 0; }

    // Shows the current connection's type and address.
    void showConnection();
    void bindIndicators();

    // The operator's commands.
    void changeSettings();
    void loadSettings();
    void saveSettings();
    void openDeviceCommand();
    void showAbout();

    int connectionType() const { return connectionType_; }
    const QString& tcpAddress() const { return tcpAddress_; }
    int serialPort() const { return serialPort_; }
    KORAParams* parameterSet() const override { return session_.parameters(); }
    KORAExceptionHandler& exceptionHandler() const { return *exceptionHandler_; }
    Win32Controller& controller() const { return *controller_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Why the connection attempt away from the window was made.
    enum class AttemptPurpose { Reopen, Reconnect };
    // Where type, address and port lead. Throws VerloException for an
    // address that does not parse.
    ConnectionTarget targetOf(int type, const QString& address, int port) const;
    // Connects to target away from the window behind the connecting dialog,
    // and adopts the connection. False when the operator cancelled.
    bool connectAway(const ConnectionTarget& target, const QString& where);
    void startAttempt(const ConnectionTarget& target, AttemptPurpose purpose);
    void attemptFinished();
    void scheduleReconnect();
    void reconnect();
    void stopReconnecting();
    // Dims or restores the indicators as the unit's silence says.
    void showSilence();
    void showConnectionState();
    // Hands the session's new parameter set to the controller and binds the
    // indicators to it.
    void followSession();
    void setStaticText(int id, const QString& text);
    QLabel* addStatic(int id, const QString& text = QString());
    void buildLayout();
    void addAboutEntry();

    std::uint16_t unitTcpPort_;
    int connectionType_;
    QString tcpAddress_;
    int serialPort_;

    std::vector<MeterWidget*> meters_;
    // The panels of the unit's live values, dimmed while it is silent.
    std::vector<QWidget*> livePanels_;
    bool stale_ = false;
    // The unit to reconnect to, as the connection settings gave it.
    int lostType_ = 0;
    QString lostAddress_;
    int lostPort_ = 1;
    // The attempt under way or to come, from 1; 0 when not reconnecting.
    int reconnectAttempt_ = 0;
    QTimer reconnectTimer_;
    QPixmap icon_;
    QPixmap ledOn_;
    QPixmap ledOff_;
    // Entry k gives the label of program position k + 1.
    std::vector<std::unique_ptr<EnumeratedFormatter>> programLabelFormatters_;
    // Entry k is lit for program k.
    std::vector<IntEvaluator> programEvaluators_;
    // One per entry of the LED table, in its order.
    std::vector<IntEvaluator> ledEvaluators_;
    KORAMeterScaler meterScaler_;

    std::unique_ptr<KORAExceptionHandler> exceptionHandler_;
    std::unique_ptr<Win32Controller> controller_;
    // Closed by the destructor while the controller still lives.
    UnitSession session_;
    QTimer pollTimer_;
    // Goes before the session: an unfinished attempt is abandoned.
    std::unique_ptr<ConnectionAttempt> attempt_;
    AttemptPurpose attemptPurpose_ = AttemptPurpose::Reopen;
};
