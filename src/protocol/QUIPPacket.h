#pragma once

#include "protocol/QUIPLink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A length-prefixed command: 4 bytes big-endian (body length + 4), then the
// body. The link of a TCP connection, and the payload of a serial frame.
class QUIPPacket : public QUIPLink {
public:
    // The largest body accepted from the unit; it bounds the allocation.
    static constexpr std::size_t maximumBodyLength = 16384;
    static constexpr std::size_t lengthFieldSize = 4;

    QUIPPacket();
    // A received packet's wire form, as a frame carries it. The length field
    // is not compared with size; the body is everything after it.
    QUIPPacket(const std::uint8_t* bytes, std::size_t size);
    ~QUIPPacket() override;
    QUIPPacket(const QUIPPacket&) = delete;
    QUIPPacket& operator=(const QUIPPacket&) = delete;

    std::unique_ptr<QUIPLink> create() const override;
    bool receive(SerialDevice& device) override;
    // Writes the length field, then the body; nothing is awaited.
    void send(SerialDevice& device, ParameterValueMap* context) override;
    // Encodes the command at once; the command stays the caller's.
    void setCommand(const Command& command) override;
    // The command set, or the one decoded from a received body on first request.
    const Command* command() override;
    std::size_t dataLength() const override { return body_.size(); }

    const std::vector<std::uint8_t>& body() const { return body_; }
    // Writes the whole wire form; returns its length.
    std::size_t writeToBuffer(std::uint8_t* buffer, std::size_t size) const;

private:
    void clear();

    const Command* command_ = nullptr;
    std::unique_ptr<Command> decoded_;
    bool decodePending_ = false;
    std::vector<std::uint8_t> body_;
};
