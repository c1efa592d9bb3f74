#pragma once

#include "ui/binding/ExceptionHandler.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class UnitWindow;

// The main window's exception handler. Only a lost connection (a failed
// conversation with the unit) switches the window to the simulated unit,
// after telling the operator so; an error reply from the unit and a file that
// cannot be used are shown with their own words, and the connection, polling
// and open windows stay; a failed flash operation is reported as a hardware
// failure; anything unexpected ends the program.
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
    void handleFileException(FileException& exception) override;

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
    // Shows the message with polling paused; nothing else changes.
    void tell(const std::string& message);

    UnitWindow& mainWindow_;
    std::vector<QPointer<QWidget>> openWindows_;
};
