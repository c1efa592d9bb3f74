#pragma once

#include "base/DeviceStatus.h"
#include "base/ParameterValueMap.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ProgressCommand;

// The one interface through which the parameter model reaches a unit, real
// or simulated. Every failure is thrown as a VerloException or a subclass.
class GenericProtocol {
public:
    virtual ~GenericProtocol() = default;

    virtual DeviceStatus getStatus() = 0;
    virtual void setTag(std::uint32_t tag) = 0;
    virtual void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) = 0;
    virtual void setValues(const ParameterValueMap& values, std::uint32_t delayMs) = 0;
    virtual void setValuesAndRead(const ParameterValueMap& values, ParameterValueMap& result,
                                  std::uint32_t delayMs) = 0;
    virtual ParameterValue getValue(ParameterId id) = 0;
    virtual void getValues(const ParameterIdList& ids, ParameterValueMap& result) = 0;
    virtual ParameterValue setValueAndRead(ParameterId id, const ParameterValue& value,
                                           std::uint32_t delayMs) = 0;
    virtual bool hasDevice() = 0;
    virtual void downloadFile(const std::string& fileName, ProgressCommand& progress) = 0;
    virtual void downloadBlock(const std::uint8_t* bytes, std::size_t count,
                               std::uint32_t blockNumber, bool burn) = 0;
    virtual std::string getEventLog() = 0;
    virtual std::string getErrorLog() = 0;
};
