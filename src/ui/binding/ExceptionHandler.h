#pragma once

#include "base/VerloException.h"

class QWidget;

// Where the guard of a user-interface command sends what it caught. The
// handler decides what the operator sees and what becomes of the connection.
class ExceptionHandler {
public:
    // Which exception types a guarded command catches separately; a type not
    // caught separately falls into the next broader one (a HostException is
    // a ProtocolException, and both, FlashException and FileException are
    // VerloExceptions).
    struct Routes {
        bool host = false;
        bool protocol = false;
        bool fatal = false;
        bool file = false;
    };
    // The route of every guarded command.
    static constexpr Routes kPollingTick{true, true, false, false};
    static constexpr Routes kOpenEthernet{true, false, false, false};
    static constexpr Routes kOpenSerial{true, true, false, false};
    static constexpr Routes kOpenDevice{false, false, false, false};
    static constexpr Routes kLoadOrSave{true, false, false, true};
    static constexpr Routes kControlChanged{true, false, false, true};
    static constexpr Routes kImageSelection{true, false, false, true};
    static constexpr Routes kFirmwareStep{true, false, true, false};

    explicit ExceptionHandler(QWidget* window) : window_(window) {}
    virtual ~ExceptionHandler() = default;

    ExceptionHandler(const ExceptionHandler&) = delete;
    ExceptionHandler& operator=(const ExceptionHandler&) = delete;

    virtual void handleVerloException(VerloException& exception) = 0;
    virtual void handleHostException(HostException& exception) = 0;
    // Anything that is not a VerloException.
    virtual void handleUnknownException() = 0;
    // A flash operation failed: the unit's hardware is suspect.
    virtual void handleFatalFailure(VerloException& exception) = 0;
    virtual void handleProtocolException(ProtocolException& exception) = 0;
    // A file the operator chose cannot be used; the unit is not at fault.
    virtual void handleFileException(FileException& exception) = 0;

    // Runs action; what it throws goes to the operation the routes choose.
    // Returns whether action completed.
    template <class Action> bool guard(const Routes& routes, Action&& action);

    // While busy, the handling operations that honour it return at once.
    bool busy() const { return busy_; }
    void setBusy(bool busy) { busy_ = busy; }

    QWidget* window() const { return window_; }

private:
    void routeProtocol(const Routes& routes, ProtocolException& exception) {
        if (routes.protocol) {
            handleProtocolException(exception);
        } else {
            handleVerloException(exception);
        }
    }

    bool busy_ = false;
    QWidget* window_;
};

template <class Action> bool ExceptionHandler::guard(const Routes& routes, Action&& action) {
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
    } catch (FileException& exception) {
        if (routes.file) {
            handleFileException(exception);
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
