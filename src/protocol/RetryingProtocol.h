#pragma once

#include "protocol/GenericProtocol.h"

// Repeats an operation that failed with a ProtocolException (a HostException
// included) until it has failed `attempts` times; any other failure passes at
// once. Status, tag and downloads are not repeated.
class RetryingProtocol : public GenericProtocol {
public:
    // inner is not owned and must outlive this object.
    RetryingProtocol(GenericProtocol* inner, unsigned attempts);

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
    // A retrying front end is only ever built over a real unit.
    bool hasDevice() override;
    void downloadFile(const std::string& fileName, ProgressCommand& progress) override;
    void downloadBlock(const std::uint8_t* bytes, std::size_t count, std::uint32_t blockNumber,
                       bool burn) override;
    std::string getEventLog() override;
    std::string getErrorLog() override;

private:
    template <typename Operation> auto retry(Operation operation);

    GenericProtocol* inner_;
    unsigned attempts_;
};
