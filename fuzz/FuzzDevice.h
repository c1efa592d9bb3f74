#pragma once

#include "base/VerloException.h"
#include "transport/SerialDeviceImplementation.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// A byte device whose far end is the fuzzer's input: reads take the next
// bytes (short at the end, as a device whose time-out expired), writes are
// counted and dropped. Nothing blocks, so a run ends when the input does.
class FuzzDevice : public SerialDeviceImplementation {
public:
    FuzzDevice(const std::uint8_t* data, std::size_t size) : input_(data, data + size) {}

    void setTimeout(std::uint32_t) override {}
    void write(const std::uint8_t*, std::size_t count) override { written_ += count; }
    std::size_t read(std::uint8_t* buffer, std::size_t count) override {
        const std::size_t taken = std::min(count, input_.size() - position_);
        std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(position_), taken, buffer);
        position_ += taken;
        return taken;
    }

    bool exhausted() const { return position_ >= input_.size(); }
    std::size_t written() const { return written_; }

private:
    std::vector<std::uint8_t> input_;
    std::size_t position_ = 0;
    std::size_t written_ = 0;
};

// Runs one step of a harness. The system's own failures are expected answers
// to hostile input; anything else (std::length_error, std::out_of_range, a
// crash) escapes and is a finding.
inline bool survives(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const VerloException&) {
        return false;
    }
}

// The fuzzer's failure: aborts so that libFuzzer and the replay both stop on it.
[[noreturn]] void fuzzFailure(const char* what);
