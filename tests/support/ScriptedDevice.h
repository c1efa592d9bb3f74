#pragma once

#include "transport/SerialDeviceImplementation.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// A byte device whose far end is a script of the bytes the unit will send,
// with a record of everything the host wrote and every time-out it set. A
// read returns short when the script runs out, as a real device does when its
// time-out expires.
class ScriptedDevice : public SerialDeviceImplementation {
public:
    using Bytes = std::vector<std::uint8_t>;

    Bytes written;
    std::vector<std::uint32_t> timeouts;
    // Called at every read, e.g. to let time pass on a test clock.
    std::function<void()> onRead;

    void unitSends(const Bytes& bytes) {
        script_.insert(script_.end(), bytes.begin(), bytes.end());
    }
    // Unit bytes not yet read.
    std::size_t unread() const { return script_.size(); }

    void setTimeout(std::uint32_t milliseconds) override { timeouts.push_back(milliseconds); }
    void write(const std::uint8_t* bytes, std::size_t count) override {
        written.insert(written.end(), bytes, bytes + count);
    }
    std::size_t read(std::uint8_t* buffer, std::size_t count) override {
        if (onRead) {
            onRead();
        }
        const std::size_t taken = std::min(count, script_.size());
        std::copy_n(script_.begin(), taken, buffer);
        script_.erase(script_.begin(), script_.begin() + static_cast<std::ptrdiff_t>(taken));
        return taken;
    }

private:
    std::deque<std::uint8_t> script_;
};
