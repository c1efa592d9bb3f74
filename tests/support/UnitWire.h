#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// The unit's side of the wire, written out by hand so that tests check the
// host's encoders and decoders against an independent rendering.
namespace unitwire {

using Bytes = std::vector<std::uint8_t>;

enum Code : std::uint8_t {
    PingRequest = 0,
    PingResponse = 1,
    Set = 2,
    GetAll = 3,
    Status = 4,
    Error = 8,
    EraseFlash = 9,
    DownloadData = 10,
    BurnAndReboot = 11,
    FlashOperationDone = 12,
    EventLog = 13,
    ErrorLog = 14,
    GetAllResponse = 15,
    GetEventLog = 16,
    GetErrorLog = 17,
};

// Bit by bit, most significant first: polynomial 0x8005, start 0, no final XOR.
inline std::uint16_t crc16(const std::uint8_t* bytes, std::size_t count) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= unsigned{bytes[i]} << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? ((crc << 1) ^ 0x8005) & 0xFFFF : (crc << 1) & 0xFFFF;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

inline void append32(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// A value as it travels: tag 0 and two bytes, or tag 1, a length and the bytes.
struct Pair {
    std::uint16_t id;
    std::string value;
};

inline std::string integer(int value) {
    return std::string{static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

inline Bytes body(Code code, const std::vector<Pair>& pairs = {}) {
    Bytes out{code};
    for (const auto& pair : pairs) {
        out.push_back(static_cast<std::uint8_t>(pair.id >> 8));
        out.push_back(static_cast<std::uint8_t>(pair.id & 0xFF));
        if (pair.value.size() == 2) {
            out.push_back(0);
        } else {
            out.push_back(1);
            out.push_back(static_cast<std::uint8_t>(pair.value.size()));
        }
        out.insert(out.end(), pair.value.begin(), pair.value.end());
    }
    return out;
}

inline Bytes statusCodeBody(Code code, std::uint16_t status) {
    return Bytes{code, 0x55, 0xAA, static_cast<std::uint8_t>(status >> 8),
                 static_cast<std::uint8_t>(status & 0xFF)};
}

inline Bytes textBody(Code code, const std::string& text) {
    Bytes out{code};
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

inline Bytes packet(const Bytes& body) {
    Bytes out;
    append32(out, static_cast<std::uint32_t>(body.size() + 4));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes frame(std::uint8_t type, const Bytes& data = {}, bool corruptCrc = false) {
    Bytes out{'Q', 'U', 'I', 'P', type};
    append32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    std::uint16_t crc = crc16(out.data(), out.size());
    if (corruptCrc) {
        crc ^= 0x0101;
    }
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return out;
}

inline Bytes dataFrame(const Bytes& body) {
    return frame(2, packet(body));
}
inline Bytes ack() {
    return frame(0);
}

inline std::uint32_t read32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t{bytes.at(at)} << 24 | std::uint32_t{bytes.at(at + 1)} << 16 |
           std::uint32_t{bytes.at(at + 2)} << 8 | std::uint32_t{bytes.at(at + 3)};
}

// The bodies of back-to-back packets; the length fields must tile the bytes
// exactly, except for an incomplete last packet when partialTail is set.
inline std::vector<Bytes> splitPackets(const Bytes& stream, bool partialTail = false) {
    std::vector<Bytes> bodies;
    std::size_t at = 0;
    while (at < stream.size()) {
        if (partialTail && (stream.size() - at < 4 || at + read32(stream, at) > stream.size())) {
            break;
        }
        const std::uint32_t length = read32(stream, at);
        if (length < 4 || at + length > stream.size()) {
            throw std::runtime_error("malformed packet stream");
        }
        bodies.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at + 4),
                            stream.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return bodies;
}

struct Frame {
    std::uint8_t type;
    Bytes data;
    bool crcGood;
};

// Back-to-back frames; every one must start with the magic.
inline std::vector<Frame> splitFrames(const Bytes& stream) {
    std::vector<Frame> frames;
    std::size_t at = 0;
    while (at < stream.size()) {
        if (stream.size() - at < 11 || stream[at] != 'Q' || stream[at + 1] != 'U' ||
            stream[at + 2] != 'I' || stream[at + 3] != 'P') {
            throw std::runtime_error("malformed frame stream");
        }
        const std::uint32_t length = read32(stream, at + 5);
        const std::size_t end = at + 9 + length;
        if (end + 2 > stream.size()) {
            throw std::runtime_error("truncated frame");
        }
        const std::uint16_t crc = static_cast<std::uint16_t>(stream[end] << 8 | stream[end + 1]);
        frames.push_back({stream[at + 4],
                          Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at + 9),
                                stream.begin() + static_cast<std::ptrdiff_t>(end)),
                          crc == crc16(stream.data() + at, 9 + length)});
        at = end + 2;
    }
    return frames;
}

} // namespace unitwire
