#pragma once

#include <cstdint>

// The running checksum of configuration files is a signed 32-bit sum that
// wraps; the addition is done unsigned so that wrapping is well defined.
inline void addToChecksum(std::int32_t& checksum, std::int32_t amount) {
    checksum = static_cast<std::int32_t>(static_cast<std::uint32_t>(checksum) +
                                         static_cast<std::uint32_t>(amount));
}

// A file byte counts as a signed byte (-128..127).
inline void addByteToChecksum(std::int32_t& checksum, std::uint8_t byte) {
    addToChecksum(checksum, static_cast<std::int8_t>(byte));
}
