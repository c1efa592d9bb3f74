#include "protocol/CommandType.h"

#include "base/VerloException.h"

#include <array>

namespace {

// The names are the system's own texts, kept byte for byte ("Miniumum" too).
const std::array<CommandType, CommandType::count>& registry() {
    static const std::array<CommandType, CommandType::count> types{{
        {CommandType::PingRequest, "Ping Request"},
        {CommandType::PingResponse, "Ping Response"},
        {CommandType::Set, "Set"},
        {CommandType::GetAll, "GetAll"},
        {CommandType::Status, "Status"},
        {CommandType::Minimum, "Miniumum"},
        {CommandType::Maximum, "Maximum"},
        {CommandType::Enable, "Enable"},
        {CommandType::Error, "Error"},
        {CommandType::EraseFlash, "Erase Flash"},
        {CommandType::DownloadData, "Download Data"},
        {CommandType::BurnAndReboot, "Burn And Reboot"},
        {CommandType::FlashOperationDone, "Flash Operation Done"},
        {CommandType::EventLog, "Event Log"},
        {CommandType::ErrorLog, "Error Log"},
        {CommandType::GetAllResponse, "Get All Response"},
        {CommandType::GetEventLog, "Get Event Log"},
        {CommandType::GetErrorLog, "Get Error Log"},
    }};
    return types;
}

} // namespace

const CommandType& CommandType::lookUp(std::uint8_t code) {
    if (code >= count) {
        throw VerloException("unrecognized command type");
    }
    return registry()[code];
}
