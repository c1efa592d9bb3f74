#pragma once

#include <cstddef>
#include <cstdint>

// Checks a byte block whose check value stands at its end. Callers hold
// validators by value or by reference and never delete through this type.
class Validator {
public:
    // Returns on success; throws DataValidationException when the block fails.
    virtual void validate(const std::uint8_t* data, std::size_t length) const = 0;
    // How many bytes at the end of a block hold the check value.
    virtual std::size_t checksumSize() const = 0;

protected:
    ~Validator() = default;
};
