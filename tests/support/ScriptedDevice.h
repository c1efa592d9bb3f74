#pragma once

#include "protocol/VerloException.h"
#include "transport/SerialDeviceImplementation.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// A byte device whose far end is a script: the bytes the unit will send,
// with pauses where a read times out, and a record of everything the host
// wrote and every time-out it set. Reads return short at a pause or when the
// script runs out, as a real device does when its time-out expires.
class ScriptedDevice : public SerialDeviceImplementation {
public:
    using Bytes = std::vector<std::uint8_t>;

    void unitSends(const Bytes& bytes) {
        for (const std::uint8_t byte : bytes) {
            script_.push_back(byte);
        }
    }

    // The next read that gets here stops, returning what it has so far.
    void unitPauses() { script_.push_back(pause); }

    // Runs after each host write, so a test can answer what was just written.
    void onWrite(std::function<void(ScriptedDevice&, const Bytes&)> reaction) {
        reaction_ = std::move(reaction);
    }

    // Every write fails from now on, as on a dropped connection.
    void failWrites() { failWrites_ = true; }

    void setTimeout(std::uint32_t milliseconds) override { timeouts_.push_back(milliseconds); }

    void write(const std::uint8_t* bytes, std::size_t count) override {
        if (failWrites_) {
            throw VerloException("scripted write failure");
        }
        const Bytes chunk(bytes, bytes + count);
        written_.insert(written_.end(), chunk.begin(), chunk.end());
        ++writeCount_;
        if (reaction_) {
            reaction_(*this, chunk);
        }
    }

    std::size_t read(std::uint8_t* buffer, std::size_t count) override {
        ++readCount_;
        std::size_t taken = 0;
        while (taken < count && !script_.empty()) {
            const int next = script_.front();
            script_.pop_front();
            if (next == pause) {
                break;
            }
            buffer[taken++] = static_cast<std::uint8_t>(next);
        }
        return taken;
    }

    const Bytes& written() const { return written_; }
    void clearWritten() { written_.clear(); }
    std::size_t writeCount() const { return writeCount_; }
    std::size_t readCount() const { return readCount_; }
    const std::vector<std::uint32_t>& timeouts() const { return timeouts_; }
    // Unit bytes not yet read (pauses not counted).
    std::size_t unread() const {
        std::size_t count = 0;
        for (const int entry : script_) {
            count += entry != pause ? 1 : 0;
        }
        return count;
    }

private:
    static constexpr int pause = -1;

    std::deque<int> script_;
    std::function<void(ScriptedDevice&, const Bytes&)> reaction_;
    bool failWrites_ = false;
    Bytes written_;
    std::size_t writeCount_ = 0;
    std::size_t readCount_ = 0;
    std::vector<std::uint32_t> timeouts_;
};
