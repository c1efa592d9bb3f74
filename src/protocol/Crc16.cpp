#include "protocol/Crc16.h"

namespace {

constexpr Crc16::Table buildTable() {
    Crc16::Table table{};
    for (unsigned i = 0; i < table.size(); ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? (crc << 1) ^ Crc16::polynomial : crc << 1;
        }
        table[i] = static_cast<std::uint16_t>(crc & 0xFFFF);
    }
    return table;
}

// Built at compile time: it is the same for every connection and is never
// written, so threads may share it freely.
constexpr Crc16::Table crcTable = buildTable();

} // namespace

const Crc16::Table& Crc16::table() {
    return crcTable;
}

std::uint16_t Crc16::compute(const std::uint8_t* bytes, std::size_t count) {
    Crc16 crc;
    crc.add(bytes, count);
    return crc.value();
}

void Crc16::add(const std::uint8_t* bytes, std::size_t count) {
    unsigned crc = value_;
    for (std::size_t i = 0; i < count; ++i) {
        crc = crcTable[(bytes[i] ^ (crc >> 8)) & 0xFF] ^ ((crc << 8) & 0xFFFF);
    }
    value_ = static_cast<std::uint16_t>(crc);
}
