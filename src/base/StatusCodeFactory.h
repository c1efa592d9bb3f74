#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// One status code the unit can report, with the operator's text for it.
struct StatusCodeEntry {
    std::uint16_t code = 0;
    std::string message;
};

// Turns the unit's 16-bit status codes into messages. Codes absent from the
// table consulted resolve to the fallback "Host Error".
class StatusCodeFactory {
public:
    StatusCodeFactory();
    virtual ~StatusCodeFactory() = default;
    StatusCodeFactory(const StatusCodeFactory&) = delete;
    StatusCodeFactory& operator=(const StatusCodeFactory&) = delete;

    // Replies to parameter requests ("Error" replies).
    const StatusCodeEntry& lookUpParameterStatus(std::uint16_t code) const;
    // Results of flash operations; code 0 is success.
    const StatusCodeEntry& lookUpFlashStatus(std::uint16_t code) const;

protected:
    void addParameterCode(std::uint16_t code, std::string message);
    void addFlashCode(std::uint16_t code, std::string message);

private:
    StatusCodeEntry fallback_;
    std::map<std::uint16_t, StatusCodeEntry> parameterCodes_;
    std::map<std::uint16_t, StatusCodeEntry> flashCodes_;
};

// The TRX4's codes. One instance per process, built once on first use (safely
// from any thread) and never changed, so any number of connections on any
// threads share it without a lock. It lives until the process exits: a
// connection that closes calls destroy while others may still be reading
// entries, so destroy releases nothing.
class KORAStatusCodeFactory : public StatusCodeFactory {
public:
    static const KORAStatusCodeFactory& instance();
    // Called by a closing connection; the shared tables stay for the others.
    static void destroy() {}

private:
    KORAStatusCodeFactory();
};

// A status code as it travels: two bytes, big-endian. Raises VerloException
// "error type id not found in buffer" when fewer than 2 bytes are given.
std::uint16_t readStatusCode(const std::uint8_t* buffer, std::size_t size);
