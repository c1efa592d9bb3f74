#include "protocol/Command.h"

#include "base/VerloException.h"
#include "protocol/QUIPLink.h"

#include <algorithm>

namespace {

// Bytes between the type byte and the status code of Error and Flash
// Operation Done replies; the host does not interpret them.
constexpr std::size_t statusCodeOffset = 3;
constexpr std::size_t statusCodeSize = 2;

} // namespace

void Command::handle(ParameterValueMap&, SerialDevice&, QUIPLink&) const {}

std::size_t Command::write(std::uint8_t* buffer, std::size_t size) const {
    return writeType(buffer, size);
}

std::size_t Command::size() const {
    return 1;
}

std::size_t Command::read(const std::uint8_t* buffer, std::size_t size) {
    return readOwnType(buffer, size);
}

bool Command::contains(ParameterId) const {
    return false;
}

std::size_t Command::writeType(std::uint8_t* buffer, std::size_t size) const {
    if (size == 0) {
        throw VerloException("no room for command type in buffer");
    }
    if (size < this->size()) {
        throw VerloException("not enough room for command in buffer");
    }
    buffer[0] = commandType().code();
    return 1;
}

const CommandType& Command::readType(const std::uint8_t* buffer, std::size_t size) {
    if (size == 0) {
        throw VerloException("missing command type in buffer");
    }
    return CommandType::lookUp(buffer[0]);
}

std::size_t Command::readOwnType(const std::uint8_t* buffer, std::size_t size) const {
    if (!(readType(buffer, size) == commandType())) {
        throw VerloException("incorrect command type");
    }
    return 1;
}

std::unique_ptr<Command> Command::decode(const std::uint8_t* body, std::size_t size) {
    const CommandType& type = readType(body, size);
    std::unique_ptr<Command> command;
    switch (type.code()) {
    case CommandType::PingRequest:
        command = std::make_unique<PingRequestCommand>();
        break;
    case CommandType::PingResponse:
        command = std::make_unique<PingResponseCommand>();
        break;
    case CommandType::Status:
    case CommandType::GetAllResponse:
        command = std::make_unique<StatusCommand>(type);
        break;
    case CommandType::Error:
        command = std::make_unique<ErrorCommand>();
        break;
    case CommandType::FlashOperationDone:
        command = std::make_unique<FlashOperationDoneCommand>();
        break;
    case CommandType::DownloadData:
        command = std::make_unique<DownloadDataCommand>();
        break;
    case CommandType::EventLog:
    case CommandType::ErrorLog:
        command = std::make_unique<LogCommand>(type);
        break;
    default:
        throw VerloException("unrecognized message");
    }
    command->read(body, size);
    return command;
}

void PingRequestCommand::handle(ParameterValueMap& cache, SerialDevice& device,
                                QUIPLink& reply) const {
    // Shared and immutable, so the reply link never points at a dead command.
    static const PingResponseCommand response;
    reply.setCommand(response);
    reply.send(device, &cache);
}

const CommandType& PingRequestCommand::commandType() const {
    return CommandType::lookUp(CommandType::PingRequest);
}

const CommandType& PingResponseCommand::commandType() const {
    return CommandType::lookUp(CommandType::PingResponse);
}

const CommandType& GetAllCommand::commandType() const {
    return CommandType::lookUp(CommandType::GetAll);
}

const CommandType& EraseFlashCommand::commandType() const {
    return CommandType::lookUp(CommandType::EraseFlash);
}

const CommandType& BurnAndRebootCommand::commandType() const {
    return CommandType::lookUp(CommandType::BurnAndReboot);
}

LogRequestCommand::LogRequestCommand(const CommandType& type) : type_(&type) {
    if (type.code() != CommandType::GetEventLog && type.code() != CommandType::GetErrorLog) {
        throw VerloException("incorrect command type");
    }
}

void ParameterListCommand::handle(ParameterValueMap& cache, SerialDevice&, QUIPLink&) const {
    for (const auto& [id, value] : values_) {
        cache.insert_or_assign(id, value);
    }
}

std::size_t ParameterListCommand::size() const {
    std::size_t total = 1;
    for (const auto& pair : values_) {
        total += 2 + pair.second.encodedSize();
    }
    return total;
}

std::size_t ParameterListCommand::write(std::uint8_t* buffer, std::size_t size) const {
    std::size_t used = writeType(buffer, size);
    for (const auto& [id, value] : values_) {
        used += id.encode(buffer + used, size - used);
        used += value.encode(buffer + used, size - used);
    }
    return used;
}

std::size_t ParameterListCommand::readListType(const std::uint8_t* buffer, std::size_t size) {
    return readOwnType(buffer, size);
}

std::size_t ParameterListCommand::read(const std::uint8_t* buffer, std::size_t size) {
    values_.clear();
    std::size_t used = readListType(buffer, size);
    while (used < size) {
        ParameterId id;
        ParameterValue value;
        used += id.decode(buffer + used, size - used);
        used += value.decode(buffer + used, size - used);
        values_.insert_or_assign(id, std::move(value));
    }
    return used;
}

bool ParameterListCommand::contains(ParameterId id) const {
    return values_.contains(id);
}

bool ParameterListCommand::isAnsweredBy(const Command& reply) const {
    return std::ranges::any_of(values_,
                               [&reply](const auto& pair) { return reply.contains(pair.first); });
}

SetCommand::SetCommand(ParameterId id, const ParameterValue& value)
    : ParameterListCommand(ParameterValueMap{{id, value}}) {}

SetCommand::SetCommand(ParameterValueMap values) : ParameterListCommand(std::move(values)) {}

const CommandType& SetCommand::commandType() const {
    return CommandType::lookUp(CommandType::Set);
}

StatusCommand::StatusCommand() : type_(&CommandType::lookUp(CommandType::Status)) {}

StatusCommand::StatusCommand(const CommandType& type, ParameterValueMap values)
    : ParameterListCommand(std::move(values)), type_(&type) {
    if (type.code() != CommandType::Status && type.code() != CommandType::GetAllResponse) {
        throw VerloException("incorrect status command type");
    }
}

std::size_t StatusCommand::readListType(const std::uint8_t* buffer, std::size_t size) {
    const CommandType& type = readType(buffer, size);
    if (type.code() != CommandType::Status && type.code() != CommandType::GetAllResponse) {
        throw VerloException("incorrect status command type");
    }
    type_ = &type;
    return 1;
}

std::size_t StatusCodeCommand::size() const {
    return statusCodeOffset + statusCodeSize;
}

std::size_t StatusCodeCommand::write(std::uint8_t* buffer, std::size_t size) const {
    writeType(buffer, size);
    buffer[1] = 0;
    buffer[2] = 0;
    buffer[statusCodeOffset] = static_cast<std::uint8_t>(code_ >> 8);
    buffer[statusCodeOffset + 1] = static_cast<std::uint8_t>(code_ & 0xFF);
    return this->size();
}

std::size_t StatusCodeCommand::read(const std::uint8_t* buffer, std::size_t size) {
    readOwnType(buffer, size);
    const std::size_t left = size > statusCodeOffset ? size - statusCodeOffset : 0;
    code_ = readStatusCode(buffer + statusCodeOffset, left);
    status_ = lookUp(code_);
    return statusCodeOffset + statusCodeSize;
}

ErrorCommand::ErrorCommand(std::uint16_t code) : StatusCodeCommand(code, entryFor(code)) {}

void ErrorCommand::handle(ParameterValueMap&, SerialDevice&, QUIPLink&) const {
    throw HostException("Error: " + status().message, code());
}

const CommandType& ErrorCommand::commandType() const {
    return CommandType::lookUp(CommandType::Error);
}

StatusCodeEntry ErrorCommand::lookUp(std::uint16_t code) const {
    return entryFor(code);
}

StatusCodeEntry ErrorCommand::entryFor(std::uint16_t code) {
    return KORAStatusCodeFactory::instance().lookUpParameterStatus(code);
}

FlashOperationDoneCommand::FlashOperationDoneCommand(std::uint16_t code)
    : StatusCodeCommand(code, entryFor(code)) {}

void FlashOperationDoneCommand::handle(ParameterValueMap&, SerialDevice&, QUIPLink&) const {
    if (code() != 0) {
        throw FlashException("Error: " + status().message, code());
    }
}

const CommandType& FlashOperationDoneCommand::commandType() const {
    return CommandType::lookUp(CommandType::FlashOperationDone);
}

std::size_t FlashOperationDoneCommand::read(const std::uint8_t* buffer, std::size_t size) {
    if (size <= statusCodeOffset) {
        throw FlashException("Missing flash operation success code");
    }
    return StatusCodeCommand::read(buffer, size);
}

StatusCodeEntry FlashOperationDoneCommand::lookUp(std::uint16_t code) const {
    return entryFor(code);
}

StatusCodeEntry FlashOperationDoneCommand::entryFor(std::uint16_t code) {
    return KORAStatusCodeFactory::instance().lookUpFlashStatus(code);
}

DownloadDataCommand::DownloadDataCommand(const std::uint8_t* bytes, std::size_t count)
    : bytes_(bytes, bytes + count) {}

const CommandType& DownloadDataCommand::commandType() const {
    return CommandType::lookUp(CommandType::DownloadData);
}

std::size_t DownloadDataCommand::size() const {
    return 1 + bytes_.size();
}

std::size_t DownloadDataCommand::write(std::uint8_t* buffer, std::size_t size) const {
    writeType(buffer, size);
    std::copy(bytes_.begin(), bytes_.end(), buffer + 1);
    return this->size();
}

std::size_t DownloadDataCommand::read(const std::uint8_t* buffer, std::size_t size) {
    readOwnType(buffer, size);
    bytes_.assign(buffer + 1, buffer + size);
    return size;
}

LogCommand::LogCommand(const CommandType& type, std::string text)
    : type_(&type), text_(std::move(text)) {
    if (type.code() != CommandType::EventLog && type.code() != CommandType::ErrorLog) {
        throw VerloException("incorrect command type");
    }
}

void LogCommand::handle(ParameterValueMap& cache, SerialDevice&, QUIPLink&) const {
    cache.insert_or_assign(logSlot, ParameterValue(text_));
}

std::size_t LogCommand::size() const {
    return 1 + text_.size();
}

std::size_t LogCommand::write(std::uint8_t* buffer, std::size_t size) const {
    writeType(buffer, size);
    std::copy(text_.begin(), text_.end(), buffer + 1);
    return this->size();
}

std::size_t LogCommand::read(const std::uint8_t* buffer, std::size_t size) {
    readOwnType(buffer, size);
    text_.assign(reinterpret_cast<const char*>(buffer + 1), size - 1);
    return size;
}
