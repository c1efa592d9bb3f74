#include "e2e/RawHost.h"

#include "MetricsServer.h"
#include "MetricsText.h"
#include "ProcessMetrics.h"
#include "WebConfig.h"

#include "base/VerloException.h"
#include "support/ProcessRun.h"
#include "support/ThrownMessage.h"

#include <crypt.h>
#include <httplib.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <csignal>

namespace {

using testing::HasSubstr;

// 64 idle connections and 8 that send their request a byte at a time leave
// scrapes fast; the whole text, the program's own metrics too, passes promtool.
TEST(MetricsServer, IdleAndSlowClientsDoNotHoldUpAScrape) {
    UnitSnapshot unit;
    unit.unit = "booth-1";
    MetricsServer server(
        {"127.0.0.1:0", "/metrics", std::nullopt},
        [&] { return metricsText({unit}) + processMetricsText(); },
        [](std::string&) { return true; });
    server.start();
    // The first 8 are the slow ones. Connections beyond a short backlog would
    // wait a second to be tried again.
    std::vector<std::unique_ptr<RawHost>> clients(72);
    const auto burst = std::chrono::steady_clock::now();
    std::generate(clients.begin(), clients.end(),
                  [&] { return std::make_unique<RawHost>(server.port()); });
    EXPECT_LT(std::chrono::steady_clock::now() - burst, std::chrono::milliseconds(900));
    httplib::Client scraper("127.0.0.1", server.port());
    std::vector<std::chrono::steady_clock::duration> times;
    std::string body;
    for (std::size_t i = 0; i < 5; ++i) {
        for (std::size_t slow = 0; slow < 8; ++slow) {
            clients[slow]->sendBytes({static_cast<std::uint8_t>("GET /"[i])});
        }
        const auto start = std::chrono::steady_clock::now();
        const auto reply = scraper.Get("/metrics");
        times.push_back(std::chrono::steady_clock::now() - start);
        ASSERT_TRUE(reply);
        body = reply->body;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::sort(times.begin(), times.end());
    EXPECT_LT(times[2], std::chrono::milliseconds(100));
    const ProcessResult check = runProcess("/usr/bin/promtool", {"check", "metrics"}, body);
    EXPECT_EQ(check.status, 0) << check.out << check.err << body;
    const std::size_t started = body.find("\nprocess_start_time_seconds ");
    ASSERT_NE(started, std::string::npos) << body;
    const double now = static_cast<double>(std::time(nullptr));
    EXPECT_THAT(std::stod(body.substr(started + 28)),
                testing::AllOf(testing::Le(now), testing::Gt(now - 600)));
}

// HTTPS with one user: every page asks for the user, a refused password is
// never taken for a good one, and a bad file on reload keeps the one in force.
TEST(MetricsServer, ServesTlsToTheUsersOfTheWebConfig) {
    std::signal(SIGPIPE, SIG_IGN);
    const TemporaryDirectory folder;
    const std::string dir = folder.path().string();
    ASSERT_EQ(
        runProcess("/usr/bin/openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                        "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=a",
                                        "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem"})
            .status,
        0);
    const auto data = std::make_unique<crypt_data>();
    const std::string hash = crypt_r(
        "s3cret", crypt_gensalt_rn("$2b$", 5, nullptr, 0, data->setting, sizeof data->setting),
        data.get());
    const std::string yaml = "tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n"
                             "basic_auth_users:\n  scraper: " +
                             hash + "\n";
    const std::string web = folder.write("web.yml", {yaml.begin(), yaml.end()});
    int reloads = 0;
    MetricsServer server(
        {"127.0.0.1:0", "/metrics", web}, [] { return std::string("m 1\n"); },
        [&](std::string&) { return ++reloads > 0; });
    server.start();
    const struct {
        std::string path, user, password;
        int status;
    } rows[] = {{"/metrics", "scraper", "wrong", 401},
                {"/metrics", "scraper", "wrong", 401},
                {"/metrics", "scraper", "s3cret", 200},
                {"/metrics", "scraper", "s3cret!", 401},
                {"/-/healthy", "", "", 401},
                {"/", "scraper", "s3cret", 200},
                {"POST /-/reload", "scraper", "s3cret", 200}};
    const std::string bad = "basic_auth_users: [\n";
    for (int round = 0; round < 2; ++round) {
        for (const auto& row : rows) {
            httplib::SSLClient client("127.0.0.1", server.port());
            client.enable_server_certificate_verification(false);
            if (!row.user.empty()) {
                client.set_basic_auth(row.user, row.password);
            }
            const auto reply = row.path.starts_with("POST ") ? client.Post(row.path.substr(5))
                                                             : client.Get(row.path);
            ASSERT_TRUE(reply) << row.path;
            EXPECT_EQ(reply->status, row.status) << row.path << " " << row.password;
            EXPECT_EQ(reply->has_header("WWW-Authenticate"), row.status == 401) << row.path;
        }
        // A file that is no YAML, then none at all.
        if (round == 0) {
            folder.write("web.yml", {bad.begin(), bad.end()});
        } else {
            std::filesystem::remove(web);
        }
        EXPECT_THAT(thrownMessage<VerloException>([&] { server.reloadWebConfig(); }),
                    HasSubstr(web + (round == 0 ? ":2:" : ": cannot be read")));
    }
    EXPECT_EQ(reloads, 2);
    EXPECT_FALSE(httplib::Client("127.0.0.1", server.port()).Get("/metrics"));
}

TEST(WebConfig, ABadFileNamesTheFileAndTheKey) {
    const TemporaryDirectory folder;
    const struct {
        std::string text, says;
    } rows[] = {
        {"tls_server_config:\n  cert_fil: c.pem\n", ":2: tls_server_config.cert_fil: unknown key"},
        {"basic_auth_user:\n  a: b\n", ":1: basic_auth_user: unknown key"},
        {"basic_auth_users:\n  a: plain\n", ":2: basic_auth_users.a: is not a bcrypt hash"},
        {"tls_server_config:\n  cert_file: no.pem\n  key_file: no.pem\n",
         ":2: tls_server_config.cert_file: cannot read"}};
    for (const auto& row : rows) {
        const std::string path = folder.write("web.yml", {row.text.begin(), row.text.end()});
        EXPECT_THAT(thrownMessage<VerloException>([&] { WebConfig config(path); }),
                    HasSubstr(path + row.says));
    }
}

} // namespace
