#pragma once

#include "base/Clock.h"
#include "firmware/DownloadProgressCommand.h"
#include "ui/binding/Win32Controller.h"
#include "ui/look/PaletteDialog.h"

#include <QTimer>

#include <cstdint>
#include <memory>

class CxShadeButton;
class KORAExceptionHandler;
class ParameterSet;
class QLabel;
class QProgressBar;
class UnitWindow;

// The "Update Software" dialog: the operator selects a firmware image, which
// is checked at once, confirms, and the payload goes to the unit one chunk per
// timer tick. Then the unit burns the image and reboots while the dialog
// waits in 45-second cycles, trying to reconnect in the background (the
// dialog keeps counting and answering meanwhile); once it is back the
// operator is told the version it reports and every open settings window
// closes. After a whole
// cycle without an answer the operator may stop waiting: the main window
// then goes on off line.
//
// The connection belongs to the main window, which replaces its parameter set
// whenever it reopens or falls back off line; the dialog follows every
// replacement as it happens, so nothing in the dialog reaches a destroyed set.
class CDownload : public PaletteDialog {
    Q_OBJECT

public:
    enum class State { Idle, Downloading, Rebooting };

    static constexpr int kTemplateId = 153;
    static constexpr int kBackgroundBitmap = 136;
    static constexpr int kSelectFileButton = 1187;
    static constexpr int kStartUpdateButton = 1188;
    static constexpr int kCloseButton = 2;
    static constexpr int kVersionText = 1024;
    static constexpr int kFileNameText = 1037;
    static constexpr int kStateLabel = 1041;
    static constexpr int kPercentText = 1022;
    static constexpr int kPercentSign = 1042;
    static constexpr int kProgressBar = 1023;
    // The transfer timer's identity while it runs.
    static constexpr int kTimerId = 2;
    static constexpr int kTimerInterval = 30;
    static constexpr std::chrono::seconds kRebootWait{45};
    // The close button's caption once the operator may stop the reboot wait,
    // and what the operator is told then.
    static constexpr const char* kStopWaiting = "Stop &Waiting";
    static constexpr const char* kNotBack =
        "The TRX4 did not come back after the firmware update.\n"
        "Remote goes on in \"off line\" mode; use \"Open Device...\" to connect again.";

    // Neither the parameter set, the main window nor the handler is owned;
    // the clock tells the reboot wait's seconds.
    CDownload(ParameterSet& parameterSet, UnitWindow& mainWindow,
              KORAExceptionHandler& exceptionHandler, Clock& clock = Clock::system(),
              QWidget* parent = nullptr);
    ~CDownload() override;

    // Opens the dialog modally on behalf of the window that owns controller,
    // over its parameter set, its exception handler and the main window that
    // handler serves; while open it is registered on the handler and on the
    // window stack. Throws VerloException "invalid exception handler" unless
    // the controller's handler is a KORAExceptionHandler. Returns the
    // dialog's result.
    static int openFrom(Win32Controller& controller, QWidget* parent = nullptr);

    // Closes the dialog ("Close", Escape, the close box) unless the transfer
    // timer runs; in the reboot wait, once stopping is offered, it stops
    // waiting instead.
    void reject() override;

    // Button 1187: choose an image and check it.
    void selectFile();
    // Button 1188: confirm, then start (or continue) the transfer.
    void startUpdate();
    // One tick of the transfer timer.
    void timerTick();

    State state() const { return state_; }
    // kTimerId while the transfer timer runs, else 0.
    int timer() const { return timer_.isActive() ? kTimerId : 0; }
    const Win32Controller& controller() const { return controller_; }

private:
    void bindDisplays();
    void enterState(State state);
    void enableButtons(bool enabled);
    // An image passed its check and a unit is connected to take it.
    bool canStart() const;
    void rebootTick();
    // What one tick does in the current state.
    void step();
    // The blocking step, under the wait cursor.
    bool sendChunk();
    // The main window's attempt to reopen during the reboot wait has ended.
    void reopenFinished(bool opened);
    // The unit did not come back: off line, tell the operator, close.
    void stopWaiting();
    // Takes the main window's current parameter set for every later use and
    // shows it, except while the unit reboots.
    void followConnection();

    UnitWindow& mainWindow_;
    KORAExceptionHandler& exceptionHandler_;
    Clock& clock_;
    Win32Controller controller_;
    std::unique_ptr<DownloadProgressCommand> progress_;
    State state_ = State::Idle;
    Clock::time_point rebootDeadline_;
    Clock::time_point rebootStart_;
    // Attempts to reconnect in this reboot wait, and whether one runs.
    int reopenAttempts_ = 0;
    bool reopening_ = false;
    // A whole reboot wait passed without an answer.
    bool mayStopWaiting_ = false;
    QTimer timer_;

    CxShadeButton* selectButton_;
    CxShadeButton* startButton_;
    CxShadeButton* closeButton_;
    QLabel* versionText_;
    QLabel* fileNameText_;
    QLabel* stateLabel_;
    QLabel* percentText_;
    QLabel* percentSign_;
    QProgressBar* progressBar_;
};
