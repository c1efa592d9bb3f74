#pragma once

class HostException;
class QWidget;
class VerloException;

// Where the guard of a user-interface command sends what it caught. The
// handler decides what the operator sees and what becomes of the connection.
class ExceptionHandler {
public:
    explicit ExceptionHandler(QWidget* window) : window_(window) {}
    virtual ~ExceptionHandler() = default;

    ExceptionHandler(const ExceptionHandler&) = delete;
    ExceptionHandler& operator=(const ExceptionHandler&) = delete;

    virtual void handleVerloException(VerloException& exception) = 0;
    virtual void handleHostException(HostException& exception) = 0;
    // Anything that is not a VerloException.
    virtual void handleUnknownException() = 0;

    // While busy, the handling operations that honour it return at once.
    bool busy() const { return busy_; }
    void setBusy(bool busy) { busy_ = busy; }

    QWidget* window() const { return window_; }

private:
    bool busy_ = false;
    QWidget* window_;
};
