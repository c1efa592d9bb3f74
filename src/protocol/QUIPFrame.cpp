#include "protocol/QUIPFrame.h"

#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/Crc16.h"
#include "protocol/SerialDevice.h"

#include <algorithm>

namespace {

constexpr std::uint8_t magic[4] = {'Q', 'U', 'I', 'P'};
// Time allowed for the rest of a frame once its first byte has arrived.
constexpr std::uint32_t frameTimeoutMs = 5000;

} // namespace

std::unique_ptr<QUIPLink> QUIPFrame::create() const {
    return std::make_unique<QUIPFrame>();
}

void QUIPFrame::clear() {
    type_ = Acknowledgement;
    packet_.reset();
    data_.clear();
}

void QUIPFrame::setCommand(const Command& command) {
    clear();
    auto packet = std::make_unique<QUIPPacket>();
    packet->setCommand(command);
    data_.resize(packet->dataLength() + QUIPPacket::lengthFieldSize);
    packet->writeToBuffer(data_.data(), data_.size());
    packet_ = std::move(packet);
    type_ = Data;
}

const Command* QUIPFrame::command() {
    return packet_ ? packet_->command() : nullptr;
}

void QUIPFrame::send(SerialDevice& device, ParameterValueMap* context) {
    // One write of the whole frame: the unit sees the same bytes as from
    // field-by-field writes, with fewer system calls.
    std::vector<std::uint8_t> wire(headerSize + data_.size() + crcSize);
    std::copy(std::begin(magic), std::end(magic), wire.begin());
    wire[4] = type_;
    const auto length = static_cast<std::uint32_t>(data_.size());
    wire[5] = static_cast<std::uint8_t>(length >> 24);
    wire[6] = static_cast<std::uint8_t>(length >> 16);
    wire[7] = static_cast<std::uint8_t>(length >> 8);
    wire[8] = static_cast<std::uint8_t>(length);
    std::copy(data_.begin(), data_.end(), wire.begin() + headerSize);
    const std::uint16_t crc = Crc16::compute(wire.data(), headerSize + data_.size());
    wire[headerSize + data_.size()] = static_cast<std::uint8_t>(crc >> 8);
    wire[headerSize + data_.size() + 1] = static_cast<std::uint8_t>(crc & 0xFF);
    device.write(wire.data(), wire.size());

    if (type_ == Data) {
        awaitAcknowledgement(device, context);
    }
}

void QUIPFrame::awaitAcknowledgement(SerialDevice& device, ParameterValueMap* context) {
    // A unit that keeps asking questions instead of acknowledging would
    // otherwise nest one wait inside another until the stack runs out.
    if (waitDepth_ >= maximumFramesPerAcknowledgement) {
        throw ProtocolException("CRC error");
    }
    struct DepthGuard {
        unsigned& depth;
        explicit DepthGuard(unsigned& d) : depth(++d) {}
        ~DepthGuard() { --depth; }
    } guard(waitDepth_);

    ParameterValueMap scratch;
    ParameterValueMap& cache = context != nullptr ? *context : scratch;
    for (unsigned count = 1;; ++count) {
        QUIPFrame reply;
        if (!reply.receive(device)) {
            throw ProtocolException("Lost Connection to the Device");
        }
        bool acknowledged = false;
        switch (reply.type_) {
        case Acknowledgement:
            acknowledged = true;
            break;
        case CrcError:
        case Disconnect:
            throw ProtocolException("CRC error");
        case Data:
            if (const Command* command = reply.command()) {
                command->handle(cache, device, *this);
            }
            break;
        default:
            break;
        }
        if (count >= maximumFramesPerAcknowledgement) {
            throw ProtocolException("CRC error");
        }
        if (acknowledged) {
            return;
        }
    }
}

void QUIPFrame::readExact(SerialDevice& device, Crc16& crc, std::uint8_t* buffer,
                          std::size_t count) {
    if (count == 0) {
        return;
    }
    if (device.read(buffer, count) < count) {
        throw ProtocolException("expected number of bytes not received");
    }
    crc.add(buffer, count);
}

void QUIPFrame::sendEmpty(SerialDevice& device, std::uint8_t type) {
    QUIPFrame frame(type);
    frame.send(device, nullptr);
}

bool QUIPFrame::receive(SerialDevice& device) {
    clear();
    std::uint8_t header[headerSize];
    // The time-out set by the caller only decides whether a frame has begun;
    // at line speed its first bytes may trickle in one by one after that.
    std::size_t received = device.read(header, sizeof magic);
    if (received == 0) {
        return false;
    }
    device.setTimeout(frameTimeoutMs);
    if (received < sizeof magic) {
        received += device.read(header + received, sizeof magic - received);
    }
    if (received < sizeof magic) {
        throw ProtocolException("read partial header");
    }
    Crc16 crc;
    crc.add(header, sizeof magic);
    readExact(device, crc, header + sizeof magic, headerSize - sizeof magic);
    type_ = header[4];
    const std::uint32_t length = std::uint32_t{header[5]} << 24 | std::uint32_t{header[6]} << 16 |
                                 std::uint32_t{header[7]} << 8 | std::uint32_t{header[8]};
    if (length > maximumDataLength) {
        throw ProtocolException("invalid data length");
    }
    data_.resize(length);
    readExact(device, crc, data_.data(), data_.size());
    std::uint8_t crcBytes[crcSize];
    if (device.read(crcBytes, crcSize) < crcSize) {
        throw ProtocolException("expected number of bytes not received");
    }
    const auto expected = static_cast<std::uint16_t>(crcBytes[0] << 8 | crcBytes[1]);

    if (crc.value() != expected) {
        // The corrupted frame is kept as received, and the unit is told.
        sendEmpty(device, CrcError);
        return true;
    }
    switch (type_) {
    case CrcError:
        clear();
        throw ProtocolException("CRC Error");
    case Acknowledgement:
        break;
    default:
        sendEmpty(device, Acknowledgement);
        if (type_ == Disconnect) {
            throw VerloException("TRX4 Disconnected");
        }
        if (type_ == Data) {
            packet_ = std::make_unique<QUIPPacket>(data_.data(), data_.size());
        }
        break;
    }
    return true;
}

void QUIPFrame::sendDisconnect(SerialDevice& device) {
    try {
        sendEmpty(device, Disconnect);
    } catch (...) {
        // The host is leaving; a unit that cannot be told changes nothing.
    }
}
