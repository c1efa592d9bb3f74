#pragma once

#include "protocol/QUIPLink.h"
#include "protocol/QUIPPacket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class Crc16;

// The link of a serial connection: "QUIP", a type byte, a 4-byte big-endian
// data length, the data and a CRC over all of them. Every data frame is
// acknowledged; a frame whose CRC fails is answered with a CRC-error frame.
class QUIPFrame : public QUIPLink {
public:
    enum Type : std::uint8_t {
        Acknowledgement = 0,
        CrcError = 1,
        Data = 2,
        Filler = 3,
        Disconnect = 4,
    };
    // The largest data accepted from the unit; it bounds the allocation.
    static constexpr std::size_t maximumDataLength = 16384;
    // Frames taken in while waiting for one acknowledgement.
    static constexpr unsigned maximumFramesPerAcknowledgement = 20;
    static constexpr std::size_t headerSize = 9;
    static constexpr std::size_t crcSize = 2;

    QUIPFrame() = default;
    // A frame of the given type with no data.
    explicit QUIPFrame(std::uint8_t type) : type_(type) {}
    QUIPFrame(const QUIPFrame&) = delete;
    QUIPFrame& operator=(const QUIPFrame&) = delete;

    std::unique_ptr<QUIPLink> create() const override;
    bool receive(SerialDevice& device) override;
    // Writes the frame; a data frame then waits for the unit's acknowledgement.
    void send(SerialDevice& device, ParameterValueMap* context) override;
    void setCommand(const Command& command) override;
    const Command* command() override;
    // For a data frame: the carried packet's length including its length field.
    std::size_t dataLength() const override { return data_.size(); }
    // A disconnect frame, unacknowledged; failures are ignored since the host
    // is leaving anyway.
    void sendDisconnect(SerialDevice& device) override;

    std::uint8_t type() const { return type_; }
    const QUIPPacket* packet() const { return packet_.get(); }
    const std::vector<std::uint8_t>& data() const { return data_; }

private:
    void clear();
    void awaitAcknowledgement(SerialDevice& device, ParameterValueMap* context);
    static void readExact(SerialDevice& device, Crc16& crc, std::uint8_t* buffer,
                          std::size_t count);
    static void sendEmpty(SerialDevice& device, std::uint8_t type);

    std::uint8_t type_ = Acknowledgement;
    std::unique_ptr<QUIPPacket> packet_;
    std::vector<std::uint8_t> data_;
    // Waits nested through commands handled while waiting (a ping answered
    // before the acknowledgement comes).
    unsigned waitDepth_ = 0;
};
