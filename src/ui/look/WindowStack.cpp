#include "ui/look/WindowStack.h"

std::unique_ptr<WindowStack> WindowStack::instance_;

void WindowStack::push(QWidget* window) {
    windows_.append(window);
    showTop();
}

void WindowStack::pop() {
    if (!windows_.isEmpty()) {
        windows_.removeLast();
    }
    if (windows_.isEmpty()) {
        lastShown_.clear();
    }
    showTop();
}

void WindowStack::showTop() {
    if (windows_.isEmpty()) {
        return;
    }
    QWidget* top = windows_.last();
    // A window that has not been created yet is left alone: showing it here
    // would open it before its owner runs it modally.
    if (top == nullptr || !top->testAttribute(Qt::WA_WState_Created) || top == lastShown_) {
        return;
    }
    top->show();
    lastShown_ = top;
}

QList<QWidget*> WindowStack::windows() const {
    QList<QWidget*> result;
    for (const QPointer<QWidget>& window : windows_) {
        result.append(window.data());
    }
    return result;
}

WindowStack& WindowStack::instance() {
    if (!instance_) {
        instance_ = std::make_unique<WindowStack>();
    }
    return *instance_;
}

void WindowStack::destroyInstance() {
    instance_.reset();
}
