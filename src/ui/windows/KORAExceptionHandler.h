#pragma once

#include "ui/binding/ExceptionHandler.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class UnitWindow;

// The main window's exception handler. A failed conversation with the unit
// switches the window to the simulated unit after telling the operator; an
// error reply from the unit is shown and the connection kept; a failed flash
// operation is reported as a hardware failure; anything unexpected ends the
// program.
class KORAExceptionHandler : public ExceptionHandler {
public:
    static constexpr const char* kApplicationError = "TRX4 Remote Application Error";
    static constexpr const char* kHardwareFailure =
        "The Kex310 has failed.  Please contact Verlo technical support for assistance.";

    explicit KORAExceptionHandler(UnitWindow& mainWindow);
    ~KORAExceptionHandler() override;

    void handleVerloException(VerloException& exception) override;
    void handleHostException(HostException& exception) override;
    void handleUnknownException() override;
    void handleFatalFailure(VerloException& exception) override;
    void handleProtocolException(ProtocolException& exception) override;

    // The window it serves.
    UnitWindow& mainWindow() const { return mainWindow_; }

    // The windows to close when the connection is dropped.
    void registerWindow(QWidget* window);
    // Removes every registration of the window.
    void unregisterWindow(QWidget* window);
    // Asks every registered window to close once control is back in the event
    // loop, then forgets them all.
    void closeOpenWindows();
    std::size_t openWindowCount() const { return openWindows_.size(); }
    // The main window goes on with the simulated unit (address empty, port
    // 1, polling), and every registered window is asked to close.
    void dropConnection();

private:
    UnitWindow& mainWindow_;
    std::vector<QPointer<QWidget>> openWindows_;
};
