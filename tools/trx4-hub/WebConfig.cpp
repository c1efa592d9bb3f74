#include "WebConfig.h"

#include "base/VerloException.h"

#include <crypt.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <yaml-cpp/yaml.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ChainFree {
    void operator()(STACK_OF(X509) * chain) const { sk_X509_pop_free(chain, X509_free); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// Where a fault is: the file, the line of NODE when it has one, and the key.
class Place {
public:
    explicit Place(std::filesystem::path file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const YAML::Node& node, const std::string& key,
                           const std::string& reason) const {
        std::string where = file_.string();
        if (!node.Mark().is_null()) {
            where += ":" + std::to_string(node.Mark().line + 1);
        }
        throw VerloException(where + ": " + (key.empty() ? "" : key + ": ") + reason);
    }

    std::string scalar(const YAML::Node& node, const std::string& key) const {
        if (!node.IsScalar()) {
            fail(node, key, "must be a single value");
        }
        return node.Scalar();
    }

    void requireMap(const YAML::Node& node, const std::string& key) const {
        if (!node.IsMap()) {
            fail(node, key, "must be a mapping of keys to values");
        }
    }

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
};

std::string openSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return "not in PEM format";
    }
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// An encrypted key would make OpenSSL ask on the terminal; refuse it instead.
int noPassword(char*, int, int, void*) {
    return 0;
}

// The result of crypt(3) for PASSWORD with the salt and cost of HASH, or
// nothing when HASH is no hash crypt knows.
std::optional<std::string> cryptWith(const std::string& password, const std::string& hash) {
    // Some kilobytes: on the heap, and per call so that threads never share it.
    const auto data = std::make_unique<crypt_data>();
    const char* result = crypt_r(password.c_str(), hash.c_str(), data.get());
    if (result == nullptr || result[0] == '*') {
        return std::nullopt;
    }
    return std::string(result);
}

} // namespace

struct WebConfig::Certificate {
    std::unique_ptr<X509, X509Free> leaf;
    std::unique_ptr<STACK_OF(X509), ChainFree> chain;
    std::unique_ptr<EVP_PKEY, KeyFree> key;

    // The leaf first, then any chain, as servers take the file.
    Certificate(const Place& place, const YAML::Node& node, const std::filesystem::path& certFile,
                const std::filesystem::path& keyFile)
        : chain(sk_X509_new_null()) {
        const std::unique_ptr<BIO, BioFree> certs(BIO_new_file(certFile.c_str(), "r"));
        if (!certs) {
            place.fail(node, "tls_server_config.cert_file",
                       "cannot read " + certFile.string() + ": " +
                           std::generic_category().message(errno));
        }
        leaf.reset(PEM_read_bio_X509_AUX(certs.get(), nullptr, noPassword, nullptr));
        if (!leaf) {
            place.fail(node, "tls_server_config.cert_file",
                       "no certificate in " + certFile.string() + ": " + openSslError());
        }
        while (X509* next = PEM_read_bio_X509(certs.get(), nullptr, noPassword, nullptr)) {
            sk_X509_push(chain.get(), next);
        }
        ERR_clear_error();
        const std::unique_ptr<BIO, BioFree> keys(BIO_new_file(keyFile.c_str(), "r"));
        if (!keys) {
            place.fail(node, "tls_server_config.key_file",
                       "cannot read " + keyFile.string() + ": " +
                           std::generic_category().message(errno));
        }
        key.reset(PEM_read_bio_PrivateKey(keys.get(), nullptr, noPassword, nullptr));
        if (!key) {
            place.fail(node, "tls_server_config.key_file",
                       "no unencrypted private key in " + keyFile.string() + ": " + openSslError());
        }
        if (X509_check_private_key(leaf.get(), key.get()) != 1) {
            ERR_clear_error();
            place.fail(node, "tls_server_config.key_file",
                       keyFile.string() + " is not the key of " + certFile.string());
        }
    }
};

WebConfig::WebConfig() = default;

WebConfig::WebConfig(const std::filesystem::path& file) {
    const Place place(file);
    std::ifstream stream(file);
    if (!stream) {
        throw VerloException(file.string() +
                             ": cannot be read: " + std::generic_category().message(errno));
    }
    std::ostringstream text;
    text << stream.rdbuf();
    YAML::Node root;
    try {
        root = YAML::Load(text.str());
    } catch (const YAML::ParserException& error) {
        throw VerloException(file.string() + ":" + std::to_string(error.mark.line + 1) + ": " +
                             error.msg);
    }
    if (root.IsNull()) {
        return;
    }
    place.requireMap(root, "");
    for (const auto& entry : root) {
        const std::string key = place.scalar(entry.first, "");
        const YAML::Node& value = entry.second;
        if (key == "tls_server_config") {
            place.requireMap(value, key);
            std::filesystem::path certFile;
            std::filesystem::path keyFile;
            for (const auto& setting : value) {
                const std::string name = key + "." + place.scalar(setting.first, key);
                // Relative to the configuration file, as the other exporters take them.
                const std::filesystem::path path =
                    file.parent_path() / place.scalar(setting.second, name);
                if (name == "tls_server_config.cert_file") {
                    certFile = path;
                } else if (name == "tls_server_config.key_file") {
                    keyFile = path;
                } else {
                    place.fail(setting.first, name, "unknown key");
                }
            }
            if (certFile.empty() || keyFile.empty()) {
                place.fail(value, key, "needs both cert_file and key_file");
            }
            certificate_ = std::make_unique<Certificate>(place, value, certFile, keyFile);
        } else if (key == "basic_auth_users") {
            place.requireMap(value, key);
            for (const auto& user : value) {
                const std::string name = place.scalar(user.first, key);
                const std::string hash = place.scalar(user.second, key + "." + name);
                if (!hash.starts_with("$2") || !cryptWith("", hash)) {
                    place.fail(user.second, key + "." + name, "is not a bcrypt hash");
                }
                users_[name] = hash;
            }
        } else {
            place.fail(entry.first, key, "unknown key");
        }
    }
}

WebConfig::~WebConfig() = default;

bool WebConfig::accepts(const std::string& user, const std::string& password) const {
    const auto found = users_.find(user);
    // crypt(3) would end the password at a NUL and accept its first part.
    if (found == users_.end() || password.find('\0') != std::string::npos) {
        return false;
    }
    Digest digest{};
    unsigned int size = 0;
    EVP_Digest(password.data(), password.size(), digest.data(), &size, EVP_sha256(), nullptr);
    {
        const std::lock_guard lock(acceptedMutex_);
        const auto cached = accepted_.find(user);
        if (cached != accepted_.end() &&
            CRYPTO_memcmp(cached->second.data(), digest.data(), digest.size()) == 0) {
            return true;
        }
    }
    const std::optional<std::string> result = cryptWith(password, found->second);
    if (!result || result->size() != found->second.size() ||
        CRYPTO_memcmp(result->data(), found->second.data(), result->size()) != 0) {
        return false;
    }
    const std::lock_guard lock(acceptedMutex_);
    accepted_[user] = digest;
    return true;
}

bool WebConfig::useCertificate(ssl_st* connection) const {
    return certificate_ != nullptr &&
           SSL_use_cert_and_key(connection, certificate_->leaf.get(), certificate_->key.get(),
                                certificate_->chain.get(), 1) == 1;
}
