#include "MetricsServer.h"

#include "WebConfig.h"

#include "base/VerloException.h"
#include "base/Version.h"
#include "model/ParameterReport.h"
#include "session/ConnectionTarget.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>

#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

// One worker per connection: far more than the scrapers and browsers that
// come at once, so that idle and slow clients leave workers free.
constexpr std::size_t workers = 256;
// Time-outs in whole seconds (as the library takes them): an idle
// connection's worker comes back after keepAliveSeconds, one that stops
// sending after readSeconds.
constexpr time_t keepAliveSeconds = 2;
constexpr std::size_t keepAliveRequests = 20;
constexpr time_t readSeconds = 2;
constexpr time_t writeSeconds = 5;
// No request here has a body beyond a few bytes.
constexpr std::size_t payloadLimit = 4096;
// Where the package puts the README.
constexpr const char* readmeFile = "/usr/share/doc/trx4-remote/README.md";

std::string regexEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (std::string_view(".^$|()[]{}*+?\\").find(c) != std::string_view::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::string landingPage(const std::string& telemetryPath) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\">"
           "<title>trx4-hub</title></head>\n<body>\n<h1>trx4-hub</h1>\n<p>TRX4 Remote " +
           std::string(trx4Version) + "</p>\n<ul>\n<li><a href=\"" + escapeHtml(telemetryPath) +
           "\">Metrics</a></li>\n<li><a href=\"/-/healthy\">Health</a></li>\n"
           "<li><a href=\"/-/ready\">Readiness</a></li>\n"
           "<li><a href=\"/README.md\">README</a></li>\n</ul>\n</body>\n</html>\n";
}

// The user and password of a Basic Authorization header, if it is one.
bool basicCredentials(const std::string& header, std::string& user, std::string& password) {
    constexpr std::string_view scheme = "Basic ";
    if (!header.starts_with(scheme)) {
        return false;
    }
    const std::string encoded = header.substr(scheme.size());
    std::string decoded(encoded.size() / 4 * 3 + 3, '\0');
    const int size = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                                     reinterpret_cast<const unsigned char*>(encoded.data()),
                                     static_cast<int>(encoded.size()));
    if (size < 0 || encoded.empty() || encoded.size() % 4 != 0) {
        return false;
    }
    // The decoder counts the padding as bytes.
    const std::size_t padding = encoded.ends_with("==") ? 2 : encoded.ends_with("=") ? 1 : 0;
    decoded.resize(static_cast<std::size_t>(size) - padding);
    const std::size_t colon = decoded.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    return true;
}

void answer(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

} // namespace

MetricsServer::MetricsServer(MetricsServerOptions options, std::function<std::string()> metrics,
                             std::function<bool(std::string& error)> reload)
    : options_(std::move(options)),
      webConfig_(options_.webConfigFile ? std::make_shared<const WebConfig>(*options_.webConfigFile)
                                        : std::make_shared<const WebConfig>()) {
    const std::string& path = options_.telemetryPath;
    if (!path.starts_with("/") || path == "/" || path.starts_with("/-/") || path == "/README.md") {
        throw VerloException("The telemetry path " + path +
                             " must start with / and be none of the other pages");
    }
    const ConnectionTarget listen = ConnectionTarget::parseListen(options_.listenAddress);
    if (webConfig_->tls()) {
        server_ = std::make_unique<httplib::SSLServer>([this](SSL_CTX& context) {
            SSL_CTX_set_min_proto_version(&context, TLS1_2_VERSION);
            SSL_CTX_set_options(&context, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
            // Each handshake takes the certificate of the configuration in
            // force, so that a reload renews it without a restart.
            SSL_CTX_set_cert_cb(
                &context,
                [](SSL* connection, void* server) {
                    return static_cast<MetricsServer*>(server)->webConfig()->useCertificate(
                               connection)
                               ? 1
                               : 0;
                },
                this);
            return true;
        });
        if (!server_->is_valid()) {
            throw VerloException("Cannot set up TLS for " + options_.listenAddress);
        }
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    server_->new_task_queue = [] { return new httplib::ThreadPool(workers); };
    server_->set_keep_alive_timeout(keepAliveSeconds);
    server_->set_keep_alive_max_count(keepAliveRequests);
    server_->set_read_timeout(readSeconds);
    server_->set_write_timeout(writeSeconds);
    server_->set_payload_max_length(payloadLimit);
    // The headers and the body go out in separate writes: without this the
    // body waits for the client's delayed acknowledgement, some 40 ms.
    server_->set_tcp_nodelay(true);

    int listening = -1;
    server_->set_socket_options([&listening](int socket) {
        httplib::default_socket_options(socket);
        listening = socket;
    });
    const int port = listen.port == 0
                         ? server_->bind_to_any_port(listen.host)
                         : (server_->bind_to_port(listen.host, listen.port) ? listen.port : -1);
    // The library's backlog of 5 drops the connections beyond it, which then
    // wait a second to try again: a burst of clients would hold up a scrape.
    if (port < 0 || ::listen(listening, SOMAXCONN) != 0) {
        throw VerloException("Cannot listen on " + options_.listenAddress);
    }
    port_ = static_cast<std::uint16_t>(port);

    // With users, every page asks for one, as the other exporters do.
    server_->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            const std::shared_ptr<const WebConfig> web = webConfig();
            std::string user;
            std::string password;
            if (!web->hasUsers() ||
                (basicCredentials(request.get_header_value("Authorization"), user, password) &&
                 web->accepts(user, password))) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.set_header("WWW-Authenticate", "Basic");
            answer(response, 401, "Unauthorized");
            return httplib::Server::HandlerResponse::Handled;
        });
    server_->Get(regexEscaped(path), [metrics = std::move(metrics)](const httplib::Request&,
                                                                    httplib::Response& response) {
        response.set_content(metrics(), "text/plain; version=0.0.4; charset=utf-8");
    });
    server_->Get("/-/healthy", [](const httplib::Request&, httplib::Response& response) {
        answer(response, 200, "Healthy");
    });
    server_->Get("/-/ready", [](const httplib::Request&, httplib::Response& response) {
        answer(response, 200, "Ready");
    });
    // Taken with its reader, which is left unused: the request has no body, and
    // the library answers 400 to a POST without a length unless a reader handles it.
    server_->Post("/-/reload",
                  [reload = std::move(reload)](const httplib::Request&, httplib::Response& response,
                                               const httplib::ContentReader&) {
                      // Whatever body came is not read: it must not be taken for a request.
                      response.set_header("Connection", "close");
                      std::string error;
                      if (reload(error)) {
                          answer(response, 200, "Reloaded");
                      } else {
                          answer(response, 500, error);
                      }
                  });
    server_->Get("/",
                 [page = landingPage(path)](const httplib::Request&, httplib::Response& response) {
                     response.set_content(page, "text/html; charset=utf-8");
                 });
    server_->Get("/README\\.md", [](const httplib::Request&, httplib::Response& response) {
        std::ifstream file(readmeFile);
        if (!file) {
            answer(response, 404,
                   std::string("The README is installed with the package, as ") + readmeFile);
            return;
        }
        std::ostringstream text;
        text << file.rdbuf();
        response.set_content(text.str(), "text/markdown; charset=utf-8");
    });
}

MetricsServer::~MetricsServer() {
    if (!thread_.joinable()) {
        return;
    }
    // stop() does nothing until the thread has begun to listen, and a stop
    // that came too early would leave it listening for good.
    while (!finished_) {
        if (server_->is_running()) {
            server_->stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
}

void MetricsServer::start() {
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        finished_ = true;
    });
}

void MetricsServer::reloadWebConfig() {
    if (!options_.webConfigFile) {
        return;
    }
    auto next = std::make_shared<const WebConfig>(*options_.webConfigFile);
    if (next->tls() != webConfig()->tls()) {
        throw VerloException(options_.webConfigFile->string() +
                             ": turning TLS on or off takes a restart; the web configuration "
                             "in force stays");
    }
    const std::lock_guard lock(webConfigMutex_);
    webConfig_ = std::move(next);
}

std::shared_ptr<const WebConfig> MetricsServer::webConfig() const {
    const std::lock_guard lock(webConfigMutex_);
    return webConfig_;
}
