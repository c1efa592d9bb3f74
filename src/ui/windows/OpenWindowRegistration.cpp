#include "ui/windows/OpenWindowRegistration.h"

#include "ui/look/WindowStack.h"
#include "ui/windows/KORAExceptionHandler.h"

OpenWindowRegistration::OpenWindowRegistration(KORAExceptionHandler& handler, QWidget* window)
    : handler_(handler), window_(window) {
    handler_.registerWindow(window_);
    WindowStack::instance().push(window_);
}

OpenWindowRegistration::~OpenWindowRegistration() {
    WindowStack::instance().pop();
    handler_.unregisterWindow(window_);
}
