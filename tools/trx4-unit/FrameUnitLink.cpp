#include "FrameUnitLink.h"

#include "FileDescriptorDevice.h"
#include "TraceWriter.h"

#include "base/VerloException.h"
#include "protocol/CommandType.h"
#include "protocol/Crc16.h"
#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"

#include <algorithm>
#include <cstring>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::uint8_t magic[4] = {'Q', 'U', 'I', 'P'};

std::uint32_t milliseconds(SteadyClock::time_point deadline) {
    const auto left = deadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero()) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

const char* frameName(std::uint8_t type) {
    switch (type) {
    case QUIPFrame::Acknowledgement:
        return "acknowledgement";
    case QUIPFrame::CrcError:
        return "crc-error";
    case QUIPFrame::Data:
        return "data";
    case QUIPFrame::Disconnect:
        return "disconnect";
    default:
        return "filler";
    }
}

} // namespace

FrameUnitLink::FrameUnitLink(FileDescriptorDevice& device, TraceWriter* trace,
                             std::uint32_t corruptEvery)
    : device_(device), trace_(trace), corruptEvery_(corruptEvery) {}

bool FrameUnitLink::hostGone() const {
    return hostLeft_ || device_.hostGone();
}

void FrameUnitLink::event(const char* name, const std::string& detail) {
    if (trace_ != nullptr) {
        trace_->event(name, detail);
    }
}

std::optional<std::vector<std::uint8_t>> FrameUnitLink::receive(std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    try {
        while (pending_.empty() && !hostGone()) {
            if (readFrame(deadline) == Incoming::Nothing) {
                break;
            }
        }
    } catch (const VerloException& error) {
        event("link-error", error.what());
    }
    if (pending_.empty()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> body = std::move(pending_.front());
    pending_.pop_front();
    return body;
}

bool FrameUnitLink::send(const Command& command) {
    if (hostGone()) {
        return false;
    }
    QUIPPacket packet;
    packet.setCommand(command);
    std::vector<std::uint8_t> data(packet.dataLength() + QUIPPacket::lengthFieldSize);
    packet.writeToBuffer(data.data(), data.size());
    bool corrupted = false;
    try {
        corrupted = writeFrame(QUIPFrame::Data, data);
        awaitAcknowledgement();
    } catch (const VerloException& error) {
        event("link-error", error.what());
    }
    return corrupted;
}

void FrameUnitLink::sendMalformed(WireFault::Kind fault) {
    if (hostGone()) {
        return;
    }
    try {
        if (fault == WireFault::Garbage) {
            std::vector<std::uint8_t> wire(64);
            std::generate(wire.begin(), wire.end(),
                          [this] { return static_cast<std::uint8_t>(random_()); });
            device_.write(wire.data(), wire.size());
        } else {
            // Filled as the packet link fills its oversize packet, not with
            // zeros: the host does not check the magic, so after refusing the
            // frame it would take the zeros that follow for acknowledgements.
            writeFrame(QUIPFrame::Data, std::vector<std::uint8_t>(QUIPFrame::maximumDataLength + 1,
                                                                  CommandType::Status));
        }
    } catch (const VerloException& error) {
        event("link-error", error.what());
    }
}

void FrameUnitLink::disconnect() {
    try {
        writeFrame(QUIPFrame::Disconnect, {});
    } catch (const VerloException& error) {
        event("link-error", error.what());
    }
}

bool FrameUnitLink::writeFrame(std::uint8_t type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> wire(QUIPFrame::headerSize + data.size() + QUIPFrame::crcSize);
    std::copy(std::begin(magic), std::end(magic), wire.begin());
    wire[4] = type;
    const auto length = static_cast<std::uint32_t>(data.size());
    for (int byte = 0; byte < 4; ++byte) {
        wire[5 + byte] = static_cast<std::uint8_t>(length >> (24 - 8 * byte));
    }
    std::copy(data.begin(), data.end(), wire.begin() + QUIPFrame::headerSize);
    std::uint16_t crc = Crc16::compute(wire.data(), QUIPFrame::headerSize + data.size());
    ++framesSent_;
    const bool corrupt = corruptEvery_ != 0 && framesSent_ % corruptEvery_ == 0;
    if (corrupt) {
        crc ^= 0xFFFF;
        if (type != QUIPFrame::Data) {
            event("frame-corrupted", frameName(type));
        }
    }
    wire[wire.size() - 2] = static_cast<std::uint8_t>(crc >> 8);
    wire[wire.size() - 1] = static_cast<std::uint8_t>(crc & 0xFF);
    device_.write(wire.data(), wire.size());
    return corrupt;
}

void FrameUnitLink::awaitAcknowledgement() {
    const auto deadline = SteadyClock::now() + acknowledgementTimeout;
    while (!hostGone()) {
        switch (readFrame(deadline)) {
        case Incoming::Acknowledgement:
            hostSilent_ = false;
            return;
        case Incoming::CrcErrorNotice:
        case Incoming::Disconnect:
            // The host threw the frame away or left: nothing more will come for it.
            return;
        case Incoming::Nothing:
            if (SteadyClock::now() >= deadline) {
                hostSilent_ = true;
                event("acknowledgement-timeout");
                return;
            }
            break;
        case Incoming::Data:
        case Incoming::Other:
            break;
        }
    }
}

bool FrameUnitLink::readExact(std::uint8_t* buffer, std::size_t count,
                              SteadyClock::time_point deadline) {
    device_.setTimeout(milliseconds(deadline));
    return device_.read(buffer, count) == count;
}

FrameUnitLink::Incoming FrameUnitLink::readFrame(SteadyClock::time_point firstByteDeadline) {
    std::uint8_t header[QUIPFrame::headerSize];
    if (!readExact(header, 1, firstByteDeadline)) {
        return Incoming::Nothing;
    }
    const auto frameDeadline = SteadyClock::now() + frameTimeout;
    // Find the magic: bytes before it are noise from a line that was opened
    // midway or a frame cut short.
    std::size_t have = 1;
    std::size_t skipped = 0;
    while (true) {
        if (!readExact(header + have, 4 - have, frameDeadline)) {
            event("frame-incomplete", "no frame start");
            return Incoming::Other;
        }
        have = 4;
        if (std::memcmp(header, magic, 4) == 0) {
            break;
        }
        std::memmove(header, header + 1, 3);
        have = 3;
        ++skipped;
    }
    if (skipped > 0) {
        event("bytes-skipped", std::to_string(skipped));
    }
    if (!readExact(header + 4, QUIPFrame::headerSize - 4, frameDeadline)) {
        event("frame-incomplete", "header");
        return Incoming::Other;
    }
    const std::uint8_t type = header[4];
    const std::uint32_t length = std::uint32_t{header[5]} << 24 | std::uint32_t{header[6]} << 16 |
                                 std::uint32_t{header[7]} << 8 | std::uint32_t{header[8]};
    if (length > QUIPFrame::maximumDataLength) {
        // No way to tell where the frame ends: start afresh from the next bytes.
        event("frame-rejected", "data length " + std::to_string(length));
        return Incoming::Other;
    }
    std::vector<std::uint8_t> data(length);
    std::uint8_t crcBytes[QUIPFrame::crcSize];
    if (!readExact(data.data(), data.size(), frameDeadline) ||
        !readExact(crcBytes, sizeof crcBytes, frameDeadline)) {
        event("frame-incomplete", "data");
        return Incoming::Other;
    }
    Crc16 crc;
    crc.add(header, sizeof header);
    crc.add(data.data(), data.size());
    const auto received = static_cast<std::uint16_t>(crcBytes[0] << 8 | crcBytes[1]);
    if (crc.value() != received) {
        event("crc-error", std::string("received a ") + frameName(type) + " frame with a bad CRC");
        writeFrame(QUIPFrame::CrcError, {});
        return Incoming::Other;
    }

    switch (type) {
    case QUIPFrame::Acknowledgement:
        return Incoming::Acknowledgement;
    case QUIPFrame::CrcError:
        event("crc-error-reported", "the host received a frame with a bad CRC");
        return Incoming::CrcErrorNotice;
    case QUIPFrame::Disconnect:
        // Not acknowledged: the host does not wait for it, and a stale
        // acknowledgement would greet the next host that opens the line.
        hostLeft_ = true;
        event("host-disconnected");
        return Incoming::Disconnect;
    default:
        break;
    }
    writeFrame(QUIPFrame::Acknowledgement, {});
    hostSilent_ = false;
    if (type != QUIPFrame::Data) {
        return Incoming::Other;
    }
    try {
        QUIPPacket packet(data.data(), data.size());
        pending_.push_back(packet.body());
    } catch (const VerloException& error) {
        event("frame-rejected", error.what());
        return Incoming::Other;
    }
    return Incoming::Data;
}
