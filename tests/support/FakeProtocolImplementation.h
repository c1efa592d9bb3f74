#pragma once

#include "protocol/ProtocolImplementation.h"

#include <cstdio>
#include <deque>
#include <exception>
#include <string>
#include <vector>

// An in-memory back end for driving protocol front ends in tests. It records
// every call it receives as text ("setValue 0x0301=5", "getValue 0x0301",
// ...) and can be told to fail the next calls with given exceptions.
class FakeProtocolImplementation : public ProtocolImplementation {
public:
    ParameterValueMap values;
    std::vector<std::string> calls;
    std::string eventLog = "events";
    std::string errorLog = "errors";

    // Each recorded call first takes the oldest queued failure, if any, and throws it.
    template <typename Exception> void failNext(const Exception& exception, int times = 1) {
        for (int i = 0; i < times; ++i) {
            failures_.push_back(std::make_exception_ptr(exception));
        }
    }
    std::size_t pendingFailures() const { return failures_.size(); }

    static std::string hex(ParameterId id) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id.number()));
        return text;
    }

    DeviceStatus getStatus() override {
        record("getStatus");
        return OkStatus();
    }
    void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) override {
        record("setValue " + hex(id) + "=" + std::to_string(value.toSignedInt()) + " delay " +
               std::to_string(delayMs));
        values[id] = value;
    }
    ParameterValue getValue(ParameterId id) override {
        record("getValue " + hex(id));
        const auto found = values.find(id);
        return found == values.end() ? ParameterValue() : found->second;
    }
    std::string getEventLog() override {
        record("getEventLog");
        return eventLog;
    }
    std::string getErrorLog() override {
        record("getErrorLog");
        return errorLog;
    }

protected:
    void record(const std::string& call) {
        calls.push_back(call);
        if (!failures_.empty()) {
            const std::exception_ptr failure = failures_.front();
            failures_.pop_front();
            std::rethrow_exception(failure);
        }
    }

private:
    std::deque<std::exception_ptr> failures_;
};
