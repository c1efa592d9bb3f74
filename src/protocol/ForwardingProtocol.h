#pragma once

#include "protocol/GenericProtocol.h"

class ProtocolImplementation;

// Passes each call to a protocol implementation and checks that a list of
// values read back answers exactly the identifiers that were asked for.
class ForwardingProtocol : public GenericProtocol {
public:
    // implementation is not owned and must outlive this object.
    explicit ForwardingProtocol(ProtocolImplementation* implementation);

    DeviceStatus getStatus() override;
    void setTag(std::uint32_t tag) override;
    void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) override;
    void setValues(const ParameterValueMap& values, std::uint32_t delayMs) override;
    void setValuesAndRead(const ParameterValueMap& values, ParameterValueMap& result,
                          std::uint32_t delayMs) override;
    ParameterValue getValue(ParameterId id) override;
    void getValues(const ParameterIdList& ids, ParameterValueMap& result) override;
    ParameterValue setValueAndRead(ParameterId id, const ParameterValue& value,
                                   std::uint32_t delayMs) override;
    bool hasDevice() override;
    void downloadFile(const std::string& fileName, ProgressCommand& progress) override;
    void downloadBlock(const std::uint8_t* bytes, std::size_t count, std::uint32_t blockNumber,
                       bool burn) override;
    std::string getEventLog() override;
    std::string getErrorLog() override;

private:
    ProtocolImplementation* implementation_;
};
