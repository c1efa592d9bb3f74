#pragma once

#include "base/DeviceStatus.h"
#include "base/ParameterValueMap.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ProgressCommand;

// A back end behind ForwardingProtocol: the packet protocol of a real unit or
// a unit simulated in memory. The defaults build lists from single operations.
class ProtocolImplementation {
public:
    virtual ~ProtocolImplementation() = default;

    virtual DeviceStatus getStatus() = 0;
    virtual void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) = 0;
    virtual ParameterValue getValue(ParameterId id) = 0;
    // For each identifier in list order: result[id] = getValue(id).
    virtual void getValues(const ParameterIdList& ids, ParameterValueMap& result);
    virtual bool hasDevice();
    // Both raise "Download not implemented for this protocol".
    virtual void downloadFile(const std::string& fileName, ProgressCommand& progress);
    virtual void downloadBlock(const std::uint8_t* bytes, std::size_t count,
                               std::uint32_t blockNumber, bool burn);
    // For each pair in map order: setValue.
    virtual void setValues(const ParameterValueMap& values, std::uint32_t delayMs);
    // For each pair in map order: setValue, then result[id] = getValue(id).
    virtual void setValuesAndRead(const ParameterValueMap& values, ParameterValueMap& result,
                                  std::uint32_t delayMs);
    virtual std::string getEventLog() = 0;
    virtual std::string getErrorLog() = 0;

    std::uint32_t tag() const { return tag_; }
    void setTag(std::uint32_t tag) { tag_ = tag; }

private:
    std::uint32_t tag_ = 0;
};
