#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>

// The process-wide list of the modal windows that are open, most recent
// last. Showing its top window again keeps the newest modal window visible
// above the ones that opened it.
class WindowStack {
public:
    // Appends the window, then showTop().
    void push(QWidget* window);
    // Removes the last window, then showTop(); an empty stack stays empty.
    // When the stack becomes empty, lastShown() becomes none.
    void pop();
    // Shows the last window when it still exists, has been created on screen
    // and is not the one this stack showed last.
    void showTop();

    QWidget* lastShown() const { return lastShown_; }
    // The windows in push order; a destroyed one reads as nullptr.
    QList<QWidget*> windows() const;

    static WindowStack& instance();
    // Deletes the process-wide stack; the next instance() makes a new one.
    static void destroyInstance();

private:
    QList<QPointer<QWidget>> windows_;
    QPointer<QWidget> lastShown_;

    static std::unique_ptr<WindowStack> instance_;
};
