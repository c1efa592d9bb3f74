#pragma once

#include <stdexcept>
#include <string>

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

// The unit answered with an "Error" reply carrying a parameter status code.
class HostException : public ProtocolException {
public:
    using ProtocolException::ProtocolException;
};

// A flash operation (erase, download, burn) did not succeed.
class FlashException : public VerloException {
public:
    using VerloException::VerloException;
};

// A firmware image failed its checksum.
class DataValidationException : public VerloException {
public:
    using VerloException::VerloException;
};
