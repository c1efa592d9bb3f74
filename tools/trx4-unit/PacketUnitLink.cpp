#include "PacketUnitLink.h"

#include "FileDescriptorDevice.h"
#include "TraceWriter.h"

#include "base/VerloException.h"
#include "protocol/CommandType.h"
#include "protocol/QUIPPacket.h"

#include <algorithm>

PacketUnitLink::PacketUnitLink(FileDescriptorDevice& device, TraceWriter* trace,
                               std::chrono::milliseconds lengthTimeout)
    : device_(device), adapter_(device), trace_(trace), lengthTimeout_(lengthTimeout) {}

bool PacketUnitLink::hostGone() const {
    return failed_ || device_.hostGone();
}

void PacketUnitLink::fail(const std::string& reason) {
    failed_ = true;
    if (trace_ != nullptr) {
        trace_->event("link-error", reason);
    }
}

std::optional<std::vector<std::uint8_t>>
PacketUnitLink::receive(std::chrono::milliseconds timeout) {
    if (hostGone()) {
        return std::nullopt;
    }
    if (!device_.waitForBytes(QUIPPacket::lengthFieldSize, timeout)) {
        // A host that stops inside a length field would hold the unit for good.
        const auto now = std::chrono::steady_clock::now();
        if (device_.available() == 0) {
            partialSince_.reset();
        } else if (!partialSince_) {
            partialSince_ = now;
        } else if (now - *partialSince_ >= lengthTimeout_) {
            fail("incomplete packet length");
        }
        return std::nullopt;
    }
    partialSince_.reset();
    QUIPPacket packet;
    try {
        if (!packet.receive(adapter_)) {
            return std::nullopt;
        }
    } catch (const VerloException& error) {
        fail(error.what());
        return std::nullopt;
    }
    return packet.body();
}

bool PacketUnitLink::send(const Command& command) {
    if (hostGone()) {
        return false;
    }
    QUIPPacket packet;
    packet.setCommand(command);
    try {
        packet.send(adapter_, nullptr);
    } catch (const VerloException& error) {
        fail(error.what());
    }
    return false;
}

void PacketUnitLink::sendMalformed(WireFault::Kind fault) {
    if (hostGone()) {
        return;
    }
    std::vector<std::uint8_t> wire;
    if (fault == WireFault::Garbage) {
        wire.resize(64);
        std::generate(wire.begin(), wire.end(),
                      [this] { return static_cast<std::uint8_t>(random_()); });
    } else {
        wire.assign(QUIPPacket::lengthFieldSize + QUIPPacket::maximumBodyLength + 1,
                    CommandType::Status);
        const auto length = static_cast<std::uint32_t>(wire.size());
        for (std::size_t byte = 0; byte < QUIPPacket::lengthFieldSize; ++byte) {
            wire[byte] = static_cast<std::uint8_t>(length >> (24 - 8 * byte));
        }
    }
    try {
        adapter_.write(wire.data(), wire.size());
    } catch (const VerloException& error) {
        fail(error.what());
    }
}
