#include "StandardOutput.h"

#include "base/VerloException.h"

#include <system_error>
#include <unistd.h>

StandardOutput::StandardOutput(std::ostream& stream)
    : stream_(stream), previous_(stream.rdbuf(this)), output_(::dup(STDOUT_FILENO)) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    // The write's own exception reaches the caller, not a bad bit nobody reads.
    stream_.exceptions(std::ios::badbit);
}

StandardOutput::~StandardOutput() {
    try {
        writeBuffered();
    } catch (const FileException&) {
        // Leaving anyway; finish() is where a caller hears of it.
    }
    stream_.exceptions(std::ios::goodbit);
    stream_.rdbuf(previous_);
}

void StandardOutput::finish() {
    stream_.flush();
    writeBuffered();
}

StandardOutput::int_type StandardOutput::overflow(int_type c) {
    writeBuffered();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int StandardOutput::sync() {
    writeBuffered();
    return 0;
}

void StandardOutput::writeBuffered() {
    const auto count = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    if (count == 0) {
        return;
    }
    // A closed standard output has no copy: the write then fails as EBADF.
    if (const int error = output_.writeAll(buffer_.data(), count); error != 0) {
        throw FileException("",
                            "Error writing the output: " + std::generic_category().message(error));
    }
}
