#include "firmware/MD5Validator.h"

#include "protocol/VerloException.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace {

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

} // namespace

MD5Validator::Digest MD5Validator::digest(const std::uint8_t* data, std::size_t length) {
    std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    Digest result{};
    unsigned int written = 0;
    // EVP_md5 can be refused, e.g. by a FIPS-only configuration of libcrypto.
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), data, length) != 1 ||
        EVP_DigestFinal_ex(context.get(), result.data(), &written) != 1 ||
        written != result.size()) {
        throw VerloException("MD5 checksum could not be computed");
    }
    return result;
}

void MD5Validator::validate(const std::uint8_t* data, std::size_t length) const {
    // A block too short to hold a digest cannot carry a valid one.
    if (length < digestSize) {
        throw DataValidationException("MD5 checksum error");
    }
    const std::size_t covered = length - digestSize;
    const Digest computed = digest(data, covered);
    if (!std::equal(computed.begin(), computed.end(), data + covered)) {
        throw DataValidationException("MD5 checksum error");
    }
}
