#pragma once

#include "base/VerloException.h"
#include "protocol/GenericProtocol.h"
#include "protocol/ProtocolImplementation.h"

#include <cstdint>
#include <exception>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A unit held in memory that records every call, so tests can tell what
// reached it and in how many requests. It serves as the front end a parameter
// set talks to and as the back end behind a ForwardingProtocol: each override
// below stands for the operation of the same name in both interfaces. It can
// refuse writes to some identifiers (the unit keeps its value) and fail the
// next calls.
class RecordingProtocol : public GenericProtocol, public ProtocolImplementation {
public:
    struct Write {
        ParameterId id;
        ParameterValue value;
        std::uint32_t delayMs;
    };

    ParameterValueMap values;
    std::set<ParameterId> refused;
    std::vector<ParameterIdList> getValuesCalls;
    std::vector<Write> writes;
    std::vector<std::pair<ParameterValueMap, std::uint32_t>> setValuesCalls;
    bool device = true;
    int failuresLeft = 0;

    // The next calls of any operation but setTag and hasDevice throw this
    // instead of doing their work.
    template <class Exception> void failNext(const Exception& exception, int times = 1) {
        failure_ = std::make_exception_ptr(exception);
        failuresLeft = times;
    }

    DeviceStatus getStatus() override { return checked<DeviceStatus>(OkStatus()); }
    void setTag(std::uint32_t tag) override { ProtocolImplementation::setTag(tag); }
    void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) override {
        check();
        writes.push_back({id, value, delayMs});
        store(id, value);
    }
    void setValues(const ParameterValueMap& map, std::uint32_t delayMs) override {
        check();
        setValuesCalls.emplace_back(map, delayMs);
        for (const auto& [id, value] : map) {
            store(id, value);
        }
    }
    void setValuesAndRead(const ParameterValueMap& map, ParameterValueMap& result,
                          std::uint32_t) override {
        check();
        for (const auto& [id, value] : map) {
            store(id, value);
            result[id] = values[id];
        }
    }
    ParameterValue getValue(ParameterId id) override {
        check();
        return values[id];
    }
    void getValues(const ParameterIdList& ids, ParameterValueMap& result) override {
        check();
        getValuesCalls.push_back(ids);
        for (const ParameterId id : ids) {
            const auto found = values.find(id);
            if (found != values.end()) {
                result[id] = found->second;
            }
        }
    }
    ParameterValue setValueAndRead(ParameterId id, const ParameterValue& value,
                                   std::uint32_t delayMs) override {
        setValue(id, value, delayMs);
        return values[id];
    }
    bool hasDevice() override { return device; }
    void downloadFile(const std::string&, ProgressCommand&) override { check(); }
    void downloadBlock(const std::uint8_t*, std::size_t, std::uint32_t, bool) override { check(); }
    std::string getEventLog() override { return checked<std::string>("events"); }
    std::string getErrorLog() override { return checked<std::string>("errors"); }

private:
    void check() {
        if (failuresLeft > 0) {
            --failuresLeft;
            std::rethrow_exception(failure_);
        }
    }
    // The answer of a call that has nothing to record, unless the call fails.
    template <class Result> Result checked(Result result) {
        check();
        return result;
    }
    void store(ParameterId id, const ParameterValue& value) {
        if (refused.count(id) == 0) {
            values[id] = value;
        }
    }

    std::exception_ptr failure_;
};
