#include "protocol/RetryingProtocol.h"

#include "base/VerloException.h"

RetryingProtocol::RetryingProtocol(GenericProtocol* inner, unsigned attempts)
    : inner_(inner), attempts_(attempts) {}

template <typename Operation> auto RetryingProtocol::retry(Operation operation) {
    unsigned failures = 0;
    for (;;) {
        try {
            return operation();
        } catch (const ProtocolException&) {
            ++failures;
            if (failures >= attempts_) {
                throw;
            }
        }
    }
}

DeviceStatus RetryingProtocol::getStatus() {
    return inner_->getStatus();
}

void RetryingProtocol::setTag(std::uint32_t tag) {
    inner_->setTag(tag);
}

void RetryingProtocol::setValue(ParameterId id, const ParameterValue& value,
                                std::uint32_t delayMs) {
    retry([&] { inner_->setValue(id, value, delayMs); });
}

void RetryingProtocol::setValues(const ParameterValueMap& values, std::uint32_t delayMs) {
    retry([&] { inner_->setValues(values, delayMs); });
}

void RetryingProtocol::setValuesAndRead(const ParameterValueMap& values, ParameterValueMap& result,
                                        std::uint32_t delayMs) {
    retry([&] { inner_->setValuesAndRead(values, result, delayMs); });
}

ParameterValue RetryingProtocol::getValue(ParameterId id) {
    return retry([&] { return inner_->getValue(id); });
}

void RetryingProtocol::getValues(const ParameterIdList& ids, ParameterValueMap& result) {
    // A failed attempt may have left partial or unasked-for entries behind;
    // each attempt starts from the caller's map as it was handed in.
    const ParameterValueMap original = result;
    retry([&] {
        result = original;
        inner_->getValues(ids, result);
    });
}

ParameterValue RetryingProtocol::setValueAndRead(ParameterId id, const ParameterValue& value,
                                                 std::uint32_t delayMs) {
    return retry([&] { return inner_->setValueAndRead(id, value, delayMs); });
}

bool RetryingProtocol::hasDevice() {
    return true;
}

void RetryingProtocol::downloadFile(const std::string& fileName, ProgressCommand& progress) {
    inner_->downloadFile(fileName, progress);
}

// Never repeated: a unit whose reply was lost may have taken the block
// already and would append it twice. The firmware transfer starts again from
// the erase instead.
void RetryingProtocol::downloadBlock(const std::uint8_t* bytes, std::size_t count,
                                     std::uint32_t blockNumber, bool burn) {
    inner_->downloadBlock(bytes, count, blockNumber, burn);
}

std::string RetryingProtocol::getEventLog() {
    return retry([&] { return inner_->getEventLog(); });
}

std::string RetryingProtocol::getErrorLog() {
    return retry([&] { return inner_->getErrorLog(); });
}
