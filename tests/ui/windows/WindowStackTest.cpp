#include "ui/windows/WindowStack.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A top-level window that exists on screen but is hidden.
std::unique_ptr<QWidget> createdWindow() {
    auto window = std::make_unique<QWidget>();
    window->winId();
    return window;
}

TEST(WindowStackTest, KeepsTheNewestWindowShown) {
    WindowStack stack;
    auto settings = createdWindow();
    auto advanced = createdWindow();
    stack.push(settings.get());
    stack.push(advanced.get());
    EXPECT_EQ(stack.windows(), (QList<QWidget*>{settings.get(), advanced.get()}));
    EXPECT_TRUE(advanced->isVisible());
    EXPECT_EQ(stack.lastShown(), advanced.get());

    // The window it showed last is left alone...
    advanced->hide();
    stack.showTop();
    EXPECT_FALSE(advanced->isVisible());
    // ...and the one below is shown again when the top one goes.
    settings->hide();
    stack.pop();
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(stack.windows(), QList<QWidget*>{settings.get()});

    stack.pop();
    EXPECT_EQ(stack.lastShown(), nullptr);
    stack.pop();
    EXPECT_TRUE(stack.windows().isEmpty());
}

TEST(WindowStackTest, OnlyWindowsThatExistAreShown) {
    WindowStack stack;
    QWidget notCreated;
    stack.push(&notCreated);
    EXPECT_FALSE(notCreated.isVisible()) << "shown before its owner runs it";
    notCreated.winId();
    stack.showTop();
    EXPECT_TRUE(notCreated.isVisible());

    auto destroyed = createdWindow();
    stack.push(destroyed.get());
    destroyed.reset();
    stack.showTop();
    EXPECT_EQ(stack.windows(), (QList<QWidget*>{&notCreated, nullptr}));
}

} // namespace
