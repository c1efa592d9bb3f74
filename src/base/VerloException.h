#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

// The system's failure family. Every failure carries a complete English
// message for the operator; the classes tell the error handler how to react.
class VerloException : public std::runtime_error {
public:
    explicit VerloException(const std::string& message = std::string())
        : std::runtime_error(message) {}
};

// A conversation with the unit went wrong (framing, CRC, time-outs, replies).
class ProtocolException : public VerloException {
public:
    using VerloException::VerloException;
};

// The unit ended the connection: it was switched off or unplugged, or it
// serves another host (a unit serves one at a time).
class ConnectionClosedException : public VerloException {
public:
    static constexpr const char* closed = "The TRX4 closed the connection";
    static constexpr const char* closedAtOnce =
        "The TRX4 closed the connection at once; it may be serving another host";

    explicit ConnectionClosedException(const std::string& message = closed)
        : VerloException(message) {}
};

// The unit answered with an "Error" reply carrying a parameter status code,
// kept as the unit sent it so that a relay can pass the same code on.
class HostException : public ProtocolException {
public:
    explicit HostException(const std::string& message = std::string(),
                           std::optional<std::uint16_t> code = std::nullopt)
        : ProtocolException(message), code_(code) {}

    const std::optional<std::uint16_t>& code() const { return code_; }

private:
    std::optional<std::uint16_t> code_;
};

// A flash operation (erase, download, burn) did not succeed. Keeps the
// unit's status code, when its reply carried one, because a firmware transfer
// starts again after a transient refusal but stops after a permanent one.
class FlashException : public VerloException {
public:
    // "The client should retry the operation".
    static constexpr std::uint16_t retryCode = 1;

    explicit FlashException(const std::string& message = std::string(),
                            std::optional<std::uint16_t> code = std::nullopt,
                            bool refusedBurn = false)
        : VerloException(message), code_(code), refusedBurn_(refusedBurn) {}

    const std::optional<std::uint16_t>& code() const { return code_; }
    // The refusal answered the Burn And Reboot itself: the unit received the burn.
    bool refusedBurn() const { return refusedBurn_; }

private:
    std::optional<std::uint16_t> code_;
    bool refusedBurn_;
};

// A file could not be opened, read, written or understood. The message names
// the path and the reason; path() gives the path alone.
class FileException : public VerloException {
public:
    FileException(std::string path, const std::string& message)
        : VerloException(message), path_(std::move(path)) {}

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A firmware image failed its checksum.
class DataValidationException : public VerloException {
public:
    using VerloException::VerloException;
};
