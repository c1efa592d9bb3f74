#include "UnitProcess.h"
#include "support/LoopbackServer.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

namespace {

// Asks until the answer holds or 30 s pass; returns the last answer.
template <typename Ask, typename Holds> auto waitFor(Ask ask, Holds holds) {
    auto answer = ask();
    for (int i = 0; i < 300 && !holds(answer); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        answer = ask();
    }
    return answer;
}

// The exporter watches three units of one emulator and one of another; a real
// Prometheus server scrapes it, sees all four up, then the lone one down once
// its emulator stops. Every query of the shipped dashboard, for all units,
// returns data from it.
TEST(Exporter, PrometheusSeesUnitsUpThenOneDown) {
    if (!std::filesystem::exists("/usr/bin/prometheus")) {
        GTEST_SKIP() << "prometheus is not installed (Debian package prometheus)";
    }
    const TemporaryDirectory folder;
    UnitProcess three({"--units", "3", "--listen", "127.0.0.1:0"}, std::chrono::seconds(20), 3);
    UnitProcess lone({"--listen", "127.0.0.1:0"});
    std::string units = "lone tcp:127.0.0.1:" + std::to_string(lone.port()) + "\n";
    for (std::size_t i = 0; i < 3; ++i) {
        units += "booth-" + std::to_string(i) +
                 " tcp:127.0.0.1:" + std::to_string(three.portOf(i)) + "  # one of three\n";
    }
    UnitProcess exporter(
        {"--units", folder.write("units", {units.begin(), units.end()}), "--listen", "127.0.0.1:0"},
        std::chrono::seconds(20), 1, TRX4_EXPORTER_EXECUTABLE);

    // Free a moment ago.
    const int prometheusPort = LoopbackServer().port();
    const std::string config = "global:\n  scrape_interval: 1s\nscrape_configs:\n"
                               "  - job_name: trx4\n    static_configs:\n"
                               "      - targets: ['127.0.0.1:" +
                               std::to_string(exporter.port()) + "']\n";
    // A child that prints no ports: stopped, like a unit, however the test ends.
    const UnitProcess prometheus(
        {"--config.file=" + folder.write("prometheus.yml", {config.begin(), config.end()}),
         "--storage.tsdb.path=" + (folder.path() / "data").string(),
         "--web.listen-address=127.0.0.1:" + std::to_string(prometheusPort), "--log.level=error"},
        std::chrono::seconds(20), 0, "/usr/bin/prometheus");
    httplib::Client api("127.0.0.1", prometheusPort);
    // Each unit's trx4_up as Prometheus last scraped it.
    const auto up = [&] {
        std::map<std::string, std::string> values;
        const auto reply = api.Get("/api/v1/query?query=trx4_up");
        if (reply && reply->status == 200) {
            const auto answer = nlohmann::json::parse(reply->body);
            for (const auto& sample : answer["data"]["result"]) {
                values[sample["metric"]["unit"]] = sample["value"][1];
            }
        }
        return values;
    };
    const std::map<std::string, std::string> allUp{
        {"booth-0", "1"}, {"booth-1", "1"}, {"booth-2", "1"}, {"lone", "1"}};
    EXPECT_EQ(waitFor(up, [&](const auto& values) { return values == allUp; }), allUp);
    std::ifstream dashboard(TRX4_DASHBOARD);
    const auto fields = nlohmann::json::parse(dashboard).flatten();
    std::set<std::string> unanswered;
    for (const auto& [pointer, expr] : fields.items()) {
        if (pointer.ends_with("/expr")) {
            const std::string allUnits =
                std::regex_replace(expr.get<std::string>(), std::regex("\\$unit\\b"), ".+");
            unanswered.insert(std::regex_replace(allUnits, std::regex("\\$__rate_interval"), "1m"));
        }
    }
    ASSERT_FALSE(unanswered.empty());
    const auto ask = [&] {
        std::erase_if(unanswered, [&](const std::string& query) {
            const auto reply = api.Get("/api/v1/query", httplib::Params{{"query", query}}, {});
            return reply && reply->status == 200 &&
                   !nlohmann::json::parse(reply->body)["data"]["result"].empty();
        });
        return unanswered;
    };
    EXPECT_THAT(waitFor(ask, [](const auto& left) { return left.empty(); }), testing::IsEmpty());
    lone.stop();
    EXPECT_EQ(waitFor(up, [](auto values) { return values["lone"] == "0"; })["lone"], "0");
}

} // namespace
