#pragma once

#include "base/VerloException.h"
#include "firmware/DownloadExceptionHandler.h"
#include "ui/binding/ExceptionHandler.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class CKORARemoteGUIDlg;

// The main window's exception handler. A failed conversation with the unit
// switches the window to the simulated unit after telling the operator; an
// error reply from the unit is shown and the connection kept; a failed flash
// operation is reported as a hardware failure; anything unexpected ends the
// program. It also serves the firmware transfer.
class KORAExceptionHandler : public ExceptionHandler, public DownloadExceptionHandler {
public:
    static constexpr const char* kApplicationError = "TRX4 Remote Application Error";
    static constexpr const char* kHardwareFailure =
        "The Kex310 has failed.  Please contact Verlo technical support for assistance.";

    // Which exception types a guarded command catches separately; a type not
    // caught separately falls into the next broader one.
    struct Routes {
        bool host = false;
        bool protocol = false;
        bool fatal = false;
    };
    static constexpr Routes kPollingTick{true, true, false};
    static constexpr Routes kOpenEthernet{true, false, false};
    static constexpr Routes kOpenSerial{true, true, false};
    static constexpr Routes kOpenDevice{false, false, false};
    static constexpr Routes kLoadOrSave{true, false, false};
    static constexpr Routes kControlChanged{true, false, false};
    static constexpr Routes kFirmwareStep{true, false, true};
    static constexpr Routes kLogSwitch{false, false, false};

    explicit KORAExceptionHandler(CKORARemoteGUIDlg& mainWindow);
    ~KORAExceptionHandler() override;

    void handleVerloException(VerloException& exception) override;
    void handleHostException(HostException& exception) override;
    void handleUnknownException() override;
    void handleFatalFailure(VerloException& exception) override;
    virtual void handleProtocolException(ProtocolException& exception);

    // Runs action; what it throws goes to the operation the routes choose.
    // Returns whether action completed.
    template <class Action> bool guard(const Routes& routes, Action&& action);

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
    void routeProtocol(const Routes& routes, ProtocolException& exception);

    CKORARemoteGUIDlg& mainWindow_;
    std::vector<QPointer<QWidget>> openWindows_;
};

template <class Action> bool KORAExceptionHandler::guard(const Routes& routes, Action&& action) {
    try {
        action();
        return true;
    } catch (HostException& exception) {
        if (routes.host) {
            handleHostException(exception);
        } else {
            routeProtocol(routes, exception);
        }
    } catch (ProtocolException& exception) {
        routeProtocol(routes, exception);
    } catch (FlashException& exception) {
        if (routes.fatal) {
            handleFatalFailure(exception);
        } else {
            handleVerloException(exception);
        }
    } catch (VerloException& exception) {
        handleVerloException(exception);
    } catch (...) {
        handleUnknownException();
    }
    return false;
}
