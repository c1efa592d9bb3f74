#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct evp_md_ctx_st;

// The MD5 digest (RFC 1321) of bytes added piece by piece, so that a large
// image or a transfer in progress never has to be held whole.
class MD5Digest {
public:
    static constexpr std::size_t size = 16;
    using Value = std::array<std::uint8_t, size>;

    // Throws VerloException when the system's MD5 is unavailable.
    MD5Digest();
    ~MD5Digest();
    MD5Digest(const MD5Digest&) = delete;
    MD5Digest& operator=(const MD5Digest&) = delete;

    void add(const std::uint8_t* data, std::size_t length);
    // The digest of everything added so far; adding may go on afterwards.
    Value value() const;
    // Starts again as if nothing had been added.
    void reset();

    // 32 lower-case hexadecimal digits.
    static std::string hex(const Value& value);

private:
    struct ContextDeleter {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextDeleter> context_;
};
