#include "base/StatusCodeFactory.h"

#include "base/VerloException.h"

#include <utility>

namespace {

const StatusCodeEntry& lookUp(const std::map<std::uint16_t, StatusCodeEntry>& table,
                              std::uint16_t code, const StatusCodeEntry& fallback) {
    const auto found = table.find(code);
    return found == table.end() ? fallback : found->second;
}

} // namespace

StatusCodeFactory::StatusCodeFactory() : fallback_{0xFFFF, "Host Error"} {}

const StatusCodeEntry& StatusCodeFactory::lookUpParameterStatus(std::uint16_t code) const {
    return lookUp(parameterCodes_, code, fallback_);
}

const StatusCodeEntry& StatusCodeFactory::lookUpFlashStatus(std::uint16_t code) const {
    return lookUp(flashCodes_, code, fallback_);
}

void StatusCodeFactory::addParameterCode(std::uint16_t code, std::string message) {
    parameterCodes_[code] = StatusCodeEntry{code, std::move(message)};
}

void StatusCodeFactory::addFlashCode(std::uint16_t code, std::string message) {
    flashCodes_[code] = StatusCodeEntry{code, std::move(message)};
}

KORAStatusCodeFactory::KORAStatusCodeFactory() {
    addParameterCode(2, "Illegal Parameter Value");
    addParameterCode(1, "Illegal Parameter Id");
    addParameterCode(3, "Conflicting Parameter Values");
    addFlashCode(0, "The flash operation completed successfully");
    addFlashCode(1, "The client should retry the operation");
    addFlashCode(2, "The unit needs to be returned to Verlo for servicing");
}

const KORAStatusCodeFactory& KORAStatusCodeFactory::instance() {
    // Initialised exactly once even when connections start together.
    static const KORAStatusCodeFactory factory;
    return factory;
}

std::uint16_t readStatusCode(const std::uint8_t* buffer, std::size_t size) {
    if (size < 2) {
        throw VerloException("error type id not found in buffer");
    }
    return static_cast<std::uint16_t>(buffer[0] << 8 | buffer[1]);
}
