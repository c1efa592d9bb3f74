#include "protocol/QUIPPacket.h"

#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/SerialDevice.h"

#include <algorithm>
#include <string>

namespace {

// Time allowed for the rest of a packet once its first byte has arrived.
constexpr std::uint32_t packetTimeoutMs = 10000;

void writeLength(std::uint8_t* buffer, std::uint32_t length) {
    buffer[0] = static_cast<std::uint8_t>(length >> 24);
    buffer[1] = static_cast<std::uint8_t>(length >> 16);
    buffer[2] = static_cast<std::uint8_t>(length >> 8);
    buffer[3] = static_cast<std::uint8_t>(length);
}

std::uint32_t readLength(const std::uint8_t* buffer) {
    return std::uint32_t{buffer[0]} << 24 | std::uint32_t{buffer[1]} << 16 |
           std::uint32_t{buffer[2]} << 8 | std::uint32_t{buffer[3]};
}

} // namespace

QUIPPacket::QUIPPacket(const std::uint8_t* bytes, std::size_t size) {
    if (size <= lengthFieldSize) {
        throw ProtocolException("invalid buffer size received");
    }
    body_.assign(bytes + lengthFieldSize, bytes + size);
    decodePending_ = true;
}

QUIPPacket::QUIPPacket() = default;

QUIPPacket::~QUIPPacket() = default;

std::unique_ptr<QUIPLink> QUIPPacket::create() const {
    return std::make_unique<QUIPPacket>();
}

void QUIPPacket::clear() {
    command_ = nullptr;
    decoded_.reset();
    decodePending_ = false;
    body_.clear();
}

bool QUIPPacket::receive(SerialDevice& device) {
    clear();
    std::uint8_t header[lengthFieldSize];
    // The time-out set by the caller only decides whether a packet has begun;
    // the rest of its length field may follow in later segments.
    std::size_t received = device.read(header, lengthFieldSize);
    if (received == 0) {
        return false;
    }
    device.setTimeout(packetTimeoutMs);
    if (received < lengthFieldSize) {
        received += device.read(header + received, lengthFieldSize - received);
    }
    if (received < lengthFieldSize) {
        throw ProtocolException(
            "No complete packet length from the TRX4: " + std::to_string(received) + " of " +
            std::to_string(lengthFieldSize) + " bytes arrived");
    }
    const std::uint32_t length = readLength(header);
    if (length < lengthFieldSize) {
        throw ProtocolException("packet size too small: " + std::to_string(length));
    }
    const std::size_t bodyLength = length - lengthFieldSize;
    if (bodyLength > maximumBodyLength) {
        throw ProtocolException("packet size too large: " + std::to_string(bodyLength));
    }
    body_.resize(bodyLength);
    if (bodyLength != 0 && device.read(body_.data(), bodyLength) < bodyLength) {
        body_.clear();
        throw ProtocolException("packet length received but packet data missing");
    }
    decodePending_ = true;
    return true;
}

void QUIPPacket::send(SerialDevice& device, ParameterValueMap*) {
    std::uint8_t header[lengthFieldSize];
    writeLength(header, static_cast<std::uint32_t>(body_.size() + lengthFieldSize));
    device.write(header, lengthFieldSize);
    device.write(body_.data(), body_.size());
}

void QUIPPacket::setCommand(const Command& command) {
    clear();
    body_.resize(command.size());
    try {
        command.write(body_.data(), body_.size());
    } catch (...) {
        body_.clear();
        throw;
    }
    command_ = &command;
}

const Command* QUIPPacket::command() {
    if (decodePending_) {
        decodePending_ = false;
        decoded_ = Command::decode(body_.data(), body_.size());
        command_ = decoded_.get();
    }
    return command_;
}

std::size_t QUIPPacket::writeToBuffer(std::uint8_t* buffer, std::size_t size) const {
    const std::size_t total = body_.size() + lengthFieldSize;
    if (size < total) {
        throw VerloException("A packet does not fit the buffer given for it");
    }
    writeLength(buffer, static_cast<std::uint32_t>(total));
    std::copy(body_.begin(), body_.end(), buffer + lengthFieldSize);
    return total;
}
