#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

// A parameter's address: a group byte and an index byte. Written as the
// 16-bit number group * 256 + index in hexadecimal (0x0305 is group 3, index 5).
class ParameterId {
public:
    constexpr ParameterId() = default;
    constexpr ParameterId(std::uint8_t group, std::uint8_t index) : group_(group), index_(index) {}
    constexpr explicit ParameterId(std::uint16_t number)
        : group_(static_cast<std::uint8_t>(number >> 8)),
          index_(static_cast<std::uint8_t>(number & 0xFF)) {}

    constexpr std::uint8_t group() const { return group_; }
    constexpr std::uint8_t index() const { return index_; }
    constexpr std::uint16_t number() const {
        return static_cast<std::uint16_t>(group_ << 8 | index_);
    }

    // "%d (%x, %d)" of number, group and index, e.g. "778 (3, 10)".
    std::string toText() const;

    // Wire form: group then index. Both return 2 or raise VerloException.
    std::size_t encode(std::uint8_t* buffer, std::size_t capacity) const;
    std::size_t decode(const std::uint8_t* buffer, std::size_t size);

    // File form: group byte then index byte, each added to the running
    // checksum as a signed byte. restore returns false at a clean end of records.
    void save(std::ostream& stream, std::int32_t& checksum) const;
    bool restore(std::istream& stream, std::int32_t& checksum);

    friend constexpr bool operator==(ParameterId a, ParameterId b) = default;

    // Map order: group, then index, each compared as a signed byte, so
    // 0x80..0xFF sort before 0x00. Configuration files and reports follow it.
    friend constexpr bool operator<(ParameterId a, ParameterId b) {
        const auto ag = static_cast<std::int8_t>(a.group_);
        const auto bg = static_cast<std::int8_t>(b.group_);
        if (ag != bg) {
            return ag < bg;
        }
        return static_cast<std::int8_t>(a.index_) < static_cast<std::int8_t>(b.index_);
    }

private:
    std::uint8_t group_ = 0;
    std::uint8_t index_ = 0;
};
