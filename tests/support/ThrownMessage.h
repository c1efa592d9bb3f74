#pragma once

#include <gtest/gtest.h>

#include <string>

// Runs code, which must throw an E, and returns that exception's message.
template <typename E, typename F> std::string thrownMessage(F&& code) {
    try {
        code();
    } catch (const E& error) {
        return error.what();
    }
    ADD_FAILURE() << "nothing was thrown";
    return {};
}

// Runs code and returns the message of the E it throws, or "" when it succeeds.
template <typename E, typename F> std::string failureOf(F&& code) {
    try {
        code();
    } catch (const E& error) {
        return error.what();
    }
    return {};
}
