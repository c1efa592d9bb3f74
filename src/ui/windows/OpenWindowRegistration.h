#pragma once

class KORAExceptionHandler;
class QWidget;

// Keeps a window registered with the exception handler, which closes it when
// the connection is dropped, and on the window stack while the object lives,
// however the window's modal run ends.
class OpenWindowRegistration {
public:
    OpenWindowRegistration(KORAExceptionHandler& handler, QWidget* window);
    ~OpenWindowRegistration();
    OpenWindowRegistration(const OpenWindowRegistration&) = delete;
    OpenWindowRegistration& operator=(const OpenWindowRegistration&) = delete;

private:
    KORAExceptionHandler& handler_;
    QWidget* window_;
};
