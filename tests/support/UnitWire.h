#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}
inline Bytes repeated(std::size_t count, const Bytes& part) {
    Bytes out;
    for (std::size_t i = 0; i < count; ++i) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}
inline Bytes bigEndian(std::uint32_t value, int bytes) {
    Bytes out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return out;
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
    for (const auto& [id, value] : pairs) {
        const Bytes tag = value.size() == 2 ? Bytes{0} : join({{1}, bigEndian(value.size(), 1)});
        out = join({out, bigEndian(id, 2), tag, Bytes(value.begin(), value.end())});
    }
    return out;
}
inline Bytes statusCodeBody(Code code, std::uint16_t status) {
    return join({{code, 0x55, 0xAA}, bigEndian(status, 2)});
}
inline Bytes textBody(Code code, const std::string& text) {
    return join({{code}, Bytes(text.begin(), text.end())});
}

inline Bytes packet(const Bytes& body) {
    return join({bigEndian(static_cast<std::uint32_t>(body.size() + 4), 4), body});
}
inline Bytes frame(std::uint8_t type, const Bytes& data = {}, bool corruptCrc = false) {
    Bytes out = join({{'Q', 'U', 'I', 'P', type}, bigEndian(data.size(), 4), data});
    const std::uint16_t crc = crc16(out.data(), out.size()) ^ (corruptCrc ? 0x0101 : 0);
    return join({out, bigEndian(crc, 2)});
}
inline Bytes dataFrame(const Bytes& body) {
    return frame(2, packet(body));
}
inline Bytes ack() {
    return frame(0);
}

} // namespace unitwire
