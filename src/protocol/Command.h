#pragma once

#include "base/ParameterValueMap.h"
#include "base/StatusCodeFactory.h"
#include "protocol/CommandType.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QUIPLink;
class SerialDevice;

// The body of one packet: a type byte and a type-specific payload.
class Command {
public:
    virtual ~Command() = default;

    // Applies a received command: store values, answer a ping, raise the
    // unit's error. Nothing by default.
    virtual void handle(ParameterValueMap& cache, SerialDevice& device, QUIPLink& reply) const;
    virtual const CommandType& commandType() const = 0;
    // Encodes into buffer; returns the bytes written.
    virtual std::size_t write(std::uint8_t* buffer, std::size_t size) const;
    // Encoded size: the type byte plus the payload.
    virtual std::size_t size() const;
    // Decodes from buffer; returns the bytes consumed.
    virtual std::size_t read(const std::uint8_t* buffer, std::size_t size);
    virtual bool contains(ParameterId id) const;

    // The command a received body carries, by its type byte. Only the
    // messages a unit sends are accepted; anything else is "unrecognized message".
    static std::unique_ptr<Command> decode(const std::uint8_t* body, std::size_t size);

protected:
    Command() = default;
    Command(const Command&) = default;
    Command& operator=(const Command&) = default;

    // Checks there is room for the whole command, writes the type byte, returns 1.
    std::size_t writeType(std::uint8_t* buffer, std::size_t size) const;
    // The record named by the first byte.
    static const CommandType& readType(const std::uint8_t* buffer, std::size_t size);
    // Reads the first byte and requires it to be this command's type; returns 1.
    std::size_t readOwnType(const std::uint8_t* buffer, std::size_t size) const;
};

class PingRequestCommand : public Command {
public:
    // Answers with a Ping Response through the reply link.
    void handle(ParameterValueMap& cache, SerialDevice& device, QUIPLink& reply) const override;
    const CommandType& commandType() const override;
};

class PingResponseCommand : public Command {
public:
    const CommandType& commandType() const override;
};

class GetAllCommand : public Command {
public:
    const CommandType& commandType() const override;
};

class EraseFlashCommand : public Command {
public:
    const CommandType& commandType() const override;
};

class BurnAndRebootCommand : public Command {
public:
    const CommandType& commandType() const override;
};

// A Get Event Log or Get Error Log request.
class LogRequestCommand : public Command {
public:
    explicit LogRequestCommand(const CommandType& type);
    const CommandType& commandType() const override { return *type_; }

private:
    const CommandType* type_;
};

// Pairs of identifier and value, in identifier order, up to the end of the body.
class ParameterListCommand : public Command {
public:
    const ParameterValueMap& values() const { return values_; }

    // Stores every pair into the cache, replacing what was there.
    void handle(ParameterValueMap& cache, SerialDevice& device, QUIPLink& reply) const override;
    std::size_t write(std::uint8_t* buffer, std::size_t size) const override;
    std::size_t size() const override;
    std::size_t read(const std::uint8_t* buffer, std::size_t size) override;
    bool contains(ParameterId id) const override;
    // True when the reply reports at least one of these identifiers.
    virtual bool isAnsweredBy(const Command& reply) const;

protected:
    ParameterListCommand() = default;
    explicit ParameterListCommand(ParameterValueMap values) : values_(std::move(values)) {}
    // Reads and checks the type byte; returns 1.
    virtual std::size_t readListType(const std::uint8_t* buffer, std::size_t size);

private:
    ParameterValueMap values_;
};

class SetCommand : public ParameterListCommand {
public:
    SetCommand() = default;
    SetCommand(ParameterId id, const ParameterValue& value);
    explicit SetCommand(ParameterValueMap values);
    const CommandType& commandType() const override;
};

// A Status message, or the Get All Response that has the same form.
class StatusCommand : public ParameterListCommand {
public:
    StatusCommand();
    explicit StatusCommand(const CommandType& type, ParameterValueMap values = {});
    const CommandType& commandType() const override { return *type_; }

protected:
    std::size_t readListType(const std::uint8_t* buffer, std::size_t size) override;

private:
    const CommandType* type_;
};

// A reply carrying a status code after two bytes the host does not interpret.
class StatusCodeCommand : public Command {
public:
    const StatusCodeEntry& status() const { return status_; }
    // The code as sent, also when status() is the table's fallback for it.
    std::uint16_t code() const { return code_; }

    std::size_t write(std::uint8_t* buffer, std::size_t size) const override;
    std::size_t size() const override;
    std::size_t read(const std::uint8_t* buffer, std::size_t size) override;

protected:
    StatusCodeCommand(std::uint16_t code, StatusCodeEntry status)
        : status_(std::move(status)), code_(code) {}
    // The table in which this reply's codes are looked up.
    virtual StatusCodeEntry lookUp(std::uint16_t code) const = 0;

private:
    // A copy, so a command never refers into a factory that was destroyed.
    StatusCodeEntry status_;
    std::uint16_t code_;
};

// The unit refused a parameter request.
class ErrorCommand : public StatusCodeCommand {
public:
    explicit ErrorCommand(std::uint16_t code = 0);
    // Raises HostException "Error: " followed by the status message.
    void handle(ParameterValueMap& cache, SerialDevice& device, QUIPLink& reply) const override;
    const CommandType& commandType() const override;

protected:
    StatusCodeEntry lookUp(std::uint16_t code) const override;

private:
    static StatusCodeEntry entryFor(std::uint16_t code);
};

// The outcome of an erase, download or burn; code 0 is success.
class FlashOperationDoneCommand : public StatusCodeCommand {
public:
    explicit FlashOperationDoneCommand(std::uint16_t code = 0);
    // Raises FlashException "Error: " followed by the status message unless the code is 0.
    void handle(ParameterValueMap& cache, SerialDevice& device, QUIPLink& reply) const override;
    const CommandType& commandType() const override;
    std::size_t read(const std::uint8_t* buffer, std::size_t size) override;

protected:
    StatusCodeEntry lookUp(std::uint16_t code) const override;

private:
    static StatusCodeEntry entryFor(std::uint16_t code);
};

// One block of a firmware image.
class DownloadDataCommand : public Command {
public:
    DownloadDataCommand() = default;
    DownloadDataCommand(const std::uint8_t* bytes, std::size_t count);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    const CommandType& commandType() const override;
    std::size_t write(std::uint8_t* buffer, std::size_t size) const override;
    std::size_t size() const override;
    std::size_t read(const std::uint8_t* buffer, std::size_t size) override;

private:
    std::vector<std::uint8_t> bytes_;
};

// An Event Log or Error Log message: every byte after the type is text.
class LogCommand : public Command {
public:
    explicit LogCommand(const CommandType& type, std::string text = {});

    const std::string& text() const { return text_; }

    // Stores the text in the cache's log slot, replacing what was there.
    void handle(ParameterValueMap& cache, SerialDevice& device, QUIPLink& reply) const override;
    const CommandType& commandType() const override { return *type_; }
    std::size_t write(std::uint8_t* buffer, std::size_t size) const override;
    std::size_t size() const override;
    std::size_t read(const std::uint8_t* buffer, std::size_t size) override;

    // The cache slot that holds the last log received.
    static constexpr ParameterId logSlot{std::uint16_t{0xFFFF}};

private:
    const CommandType* type_;
    std::string text_;
};
