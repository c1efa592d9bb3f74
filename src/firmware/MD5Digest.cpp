#include "firmware/MD5Digest.h"

#include "base/VerloException.h"

#include <openssl/evp.h>

#include <string>

namespace {

// EVP_md5 can be refused, e.g. by a FIPS-only configuration of libcrypto.
[[noreturn]] void unavailable() {
    throw VerloException("MD5 checksum could not be computed");
}

} // namespace

void MD5Digest::ContextDeleter::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

MD5Digest::MD5Digest() : context_(EVP_MD_CTX_new()) {
    if (!context_) {
        unavailable();
    }
    reset();
}

MD5Digest::~MD5Digest() = default;

void MD5Digest::reset() {
    if (EVP_DigestInit_ex(context_.get(), EVP_md5(), nullptr) != 1) {
        unavailable();
    }
}

void MD5Digest::add(const std::uint8_t* data, std::size_t length) {
    if (EVP_DigestUpdate(context_.get(), data, length) != 1) {
        unavailable();
    }
}

MD5Digest::Value MD5Digest::value() const {
    // Finished on a copy, so the running digest can take more bytes.
    const std::unique_ptr<evp_md_ctx_st, ContextDeleter> copy(EVP_MD_CTX_new());
    Value result{};
    unsigned int written = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context_.get()) != 1 ||
        EVP_DigestFinal_ex(copy.get(), result.data(), &written) != 1 || written != result.size()) {
        unavailable();
    }
    return result;
}

std::string MD5Digest::hex(const Value& value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : value) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}
