#pragma once

#include "protocol/ProtocolImplementation.h"

// A unit simulated in memory: every value written is stored and read back,
// nothing is slow and nothing fails.
class DummyProtocol : public ProtocolImplementation {
public:
    DeviceStatus getStatus() override;
    void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) override;
    // An identifier never stored reads as the integer 0 and is stored from then on.
    ParameterValue getValue(ParameterId id) override;
    bool hasDevice() override;
    void downloadFile(const std::string& fileName, ProgressCommand& progress) override;
    void downloadBlock(const std::uint8_t* bytes, std::size_t count, std::uint32_t blockNumber,
                       bool burn) override;
    std::string getEventLog() override;
    std::string getErrorLog() override;

    const ParameterValueMap& values() const { return values_; }

private:
    ParameterValueMap values_;
};
