#pragma once

#include <cstdint>

// Told the percentage (0..100) of a transfer as it advances.
class ProgressCommand {
public:
    virtual void execute(std::uint32_t percent) = 0;

protected:
    ~ProgressCommand() = default;
};
