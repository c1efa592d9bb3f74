#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

// Runs code and returns the message of the E it throws, or "" when it succeeds.
template <typename E, typename F> std::string failureOf(F&& code) {
    try {
        code();
    } catch (const E& error) {
        return error.what();
    }
    return {};
}

// Runs code, which must throw an E with a message, and returns that message.
template <typename E, typename F> std::string thrownMessage(F&& code) {
    const std::string message = failureOf<E>(std::forward<F>(code));
    EXPECT_NE(message, "") << "nothing was thrown";
    return message;
}
