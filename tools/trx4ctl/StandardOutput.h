#pragma once

#include "base/FileDescriptor.h"

#include <array>
#include <ostream>
#include <streambuf>

// Standard output for a stream, failing loudly: a write that does not go
// through (a full disk, a closed descriptor, a reader that went away) throws
// FileException "Error writing the output: <the system's words>" at once, so
// that no command reports success for output nobody got. While it lives, the
// stream given to it writes through it and throws on failure.
class StandardOutput : public std::streambuf {
public:
    explicit StandardOutput(std::ostream& stream);
    // Gives the stream its own buffer back; what is still buffered is written,
    // failures ignored (call finish() to hear of them).
    ~StandardOutput() override;
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    // Writes what is buffered; throws as any write does.
    void finish();

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    void writeBuffered();

    std::ostream& stream_;
    std::streambuf* previous_;
    FileDescriptor output_;
    std::array<char, 8192> buffer_{};
};
