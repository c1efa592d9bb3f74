#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

// Checks a byte block whose check value stands at its end. Callers hold
// validators by value or by reference and never delete through this type.
class Validator {
public:
    // Fills the whole span with the block's next bytes, or throws.
    using Reader = std::function<void(std::span<std::uint8_t>)>;

    // Returns on success; throws DataValidationException when the block fails.
    virtual void validate(const std::uint8_t* data, std::size_t length) const = 0;
    // The same check of a block of length bytes, taken through read in
    // pieces so that it is never held whole.
    virtual void validate(std::uint64_t length, const Reader& read) const = 0;
    // How many bytes at the end of a block hold the check value.
    virtual std::size_t checksumSize() const = 0;

protected:
    ~Validator() = default;
};
