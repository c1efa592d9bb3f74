#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

// A parameter's value: a byte string. Exactly two bytes are a big-endian
// 16-bit integer; any other length is text or raw data, carried unchanged.
class ParameterValue {
public:
    // The wire's length byte is signed on the unit, so longer values cannot travel.
    static constexpr std::size_t maximumWireLength = 127;

    // The integer 0.
    ParameterValue();
    // The low 16 bits of value, high byte first (so -1 becomes 0xFF 0xFF).
    explicit ParameterValue(int value);
    // The bytes, copied unchanged.
    explicit ParameterValue(std::string bytes);

    const std::string& bytes() const { return bytes_; }
    std::size_t length() const { return bytes_.size(); }

    // The last two bytes read big-endian (0 when empty, the byte when one).
    std::uint16_t toInt() const;
    // toInt() taken as signed 16-bit, as limits are compared.
    std::int16_t toSignedInt() const { return static_cast<std::int16_t>(toInt()); }
    std::string toString() const { return bytes_; }

    // Wire form: tag 0 + two bytes for a two-byte value, otherwise tag 1 +
    // length byte + bytes. Values longer than 127 bytes have no wire form.
    std::size_t encodedSize() const;
    std::size_t encode(std::uint8_t* buffer, std::size_t capacity) const;
    std::size_t decode(const std::uint8_t* buffer, std::size_t size);

    // File form: 32-bit little-endian length, then the bytes; each byte is
    // added to the running checksum as a signed byte, the length as 32 bits.
    void save(std::ostream& stream, std::int32_t& checksum) const;
    bool restore(std::istream& stream, std::int32_t& checksum);

    friend bool operator==(const ParameterValue&, const ParameterValue&) = default;

private:
    std::string bytes_;
};

// Limits of parameters that have none of their own: -32768 and 32767.
extern const ParameterValue MinimumShortValue;
extern const ParameterValue MaximumShortValue;
