#pragma once

#include "firmware/Validator.h"

#include <array>
#include <cstddef>
#include <cstdint>

// A block is valid when its last 16 bytes are the MD5 digest (RFC 1321) of
// the bytes before them.
class MD5Validator : public Validator {
public:
    static constexpr std::size_t digestSize = 16;
    using Digest = std::array<std::uint8_t, digestSize>;

    static Digest digest(const std::uint8_t* data, std::size_t length);

    void validate(const std::uint8_t* data, std::size_t length) const override;
    std::size_t checksumSize() const override { return digestSize; }
};
