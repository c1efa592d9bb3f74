#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

struct ssl_st;

// The web configuration file, in the format Prometheus exporters share:
// tls_server_config (cert_file, key_file) serves HTTPS, basic_auth_users
// (user: bcrypt hash) asks every request for one of those users. The
// certificate and key are read with the file, so that a bad one is refused
// at once rather than at the first connection.
class WebConfig {
public:
    // Plain HTTP without users.
    WebConfig();
    // Reads FILE; VerloException naming the file, the line and the key at
    // fault (an unknown key is a fault, so that a typing error is not taken
    // for a setting that is off).
    explicit WebConfig(const std::filesystem::path& file);
    ~WebConfig();
    WebConfig(const WebConfig&) = delete;
    WebConfig& operator=(const WebConfig&) = delete;

    bool tls() const { return certificate_ != nullptr; }
    bool hasUsers() const { return !users_.empty(); }
    // Whether USER with PASSWORD is one of the users. Safe from any thread.
    // A bcrypt check takes milliseconds on purpose, so the digest of each
    // user's last accepted password is kept and a repeated scrape skips it.
    bool accepts(const std::string& user, const std::string& password) const;
    // Gives one TLS connection the certificate chain and key; false when
    // OpenSSL refuses them.
    bool useCertificate(ssl_st* connection) const;

private:
    struct Certificate;
    using Digest = std::array<unsigned char, 32>;

    std::unique_ptr<Certificate> certificate_;
    std::map<std::string, std::string> users_;
    mutable std::mutex acceptedMutex_;
    mutable std::map<std::string, Digest> accepted_;
};
