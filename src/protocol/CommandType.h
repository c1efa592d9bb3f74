#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The kind of a command: the first byte of every packet body, and its name.
// The records live for the whole process and are compared by code.
class CommandType {
public:
    enum Code : std::uint8_t {
        PingRequest = 0,
        PingResponse = 1,
        Set = 2,
        GetAll = 3,
        Status = 4,
        Minimum = 5,
        Maximum = 6,
        Enable = 7,
        Error = 8,
        EraseFlash = 9,
        DownloadData = 10,
        BurnAndReboot = 11,
        FlashOperationDone = 12,
        EventLog = 13,
        ErrorLog = 14,
        GetAllResponse = 15,
        GetEventLog = 16,
        GetErrorLog = 17,
    };
    static constexpr std::size_t count = 18;

    // The record of a code; codes above 17 raise "unrecognized command type".
    static const CommandType& lookUp(std::uint8_t code);

    std::uint8_t code() const { return code_; }
    const std::string& name() const { return name_; }

    friend bool operator==(const CommandType& a, const CommandType& b) {
        return a.code_ == b.code_;
    }

    CommandType(std::uint8_t code, std::string name) : code_(code), name_(std::move(name)) {}

private:
    std::uint8_t code_;
    std::string name_;
};
