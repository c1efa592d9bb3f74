#pragma once

#include "firmware/MD5Digest.h"
#include "firmware/Validator.h"

#include <cstddef>
#include <cstdint>

// A block is valid when its last 16 bytes are the MD5 digest (RFC 1321) of
// the bytes before them.
class MD5Validator : public Validator {
public:
    static constexpr std::size_t digestSize = MD5Digest::size;
    using Digest = MD5Digest::Value;

    static Digest digest(const std::uint8_t* data, std::size_t length);

    void validate(const std::uint8_t* data, std::size_t length) const override;
    void validate(std::uint64_t length, const Reader& read) const override;
    std::size_t checksumSize() const override { return digestSize; }
};
