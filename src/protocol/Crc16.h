#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The frame check of the serial link: polynomial 0x8005, initial value 0,
// most significant bit first, no reflection and no final XOR.
class Crc16 {
public:
    static constexpr std::uint16_t polynomial = 0x8005;
    using Table = std::array<std::uint16_t, 256>;

    // Entry i is the CRC of the single byte i, starting from 0.
    static const Table& table();
    static std::uint16_t compute(const std::uint8_t* bytes, std::size_t count);

    void add(const std::uint8_t* bytes, std::size_t count);
    std::uint16_t value() const { return value_; }
    void reset() { value_ = 0; }

private:
    std::uint16_t value_ = 0;
};
