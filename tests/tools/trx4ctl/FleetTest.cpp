#include "UnitProcess.h"
#include "support/FirmwareImages.h"
#include "support/LoopbackServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

using testing::HasSubstr;

std::set<std::string> names(const std::filesystem::path& folder) {
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        found.insert(entry.path().filename().string());
    }
    return found;
}

// Three units played by one trx4-unit, one that takes the connection and never
// answers, and one that refuses it.
TEST(Trx4ctlFleet, EveryUnitAnsweringCompletesInTheFileOrderAndTheExitStatusIsTheWorst) {
    TemporaryDirectory folder;
    UnitProcess units{{"--units", "3", "--listen", "127.0.0.1:0", "--status-interval-ms", "0",
                       "--reboot-seconds", "1"},
                      std::chrono::seconds(20),
                      3};
    LoopbackServer silent;
    RefusingPort refusing;
    const auto line = [](const std::string& name, std::uint16_t port) {
        return name + " tcp:127.0.0.1:" + std::to_string(port) + "\n";
    };
    // The failing units between the others, so that the worst is not the last.
    const std::string text = "# booths\n" + line("booth-0", units.portOf(0)) +
                             line("silent", silent.port()) + line("booth-1", units.portOf(1)) +
                             line("refusing", refusing.port()) + line("booth-2", units.portOf(2));
    const std::string unitsFile = folder.write("units.txt", {text.begin(), text.end()});
    const auto ctl = [&](std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), {"--units", unitsFile});
        return runProcess(TRX4CTL_EXECUTABLE, arguments, input);
    };
    const auto path = [&](const std::string& name) { return (folder.path() / name).string(); };

    const auto got = ctl({"--only", "booth-2,booth-0", "get", "0x0303", "Cinema Processor"});
    EXPECT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(got.out, "booth-0  ok          0x0303: 20; 0x0300 Cinema Processor: 1 (Arvo B)\n"
                       "booth-2  ok          0x0303: 20; 0x0300 Cinema Processor: 1 (Arvo B)\n");
    const auto unknown = ctl({"--only", "booth-0,booth-9", "save", path("none")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "trx4ctl: --only names 'booth-9', which the units file does not list\n");
    EXPECT_FALSE(std::filesystem::exists(path("none")));
    const std::string saved = path("saved");
    std::filesystem::create_directory(saved);
    folder.write("saved/silent.trx", {'o', 'l', 'd'});
    const std::string image =
        folder.write("new.bin", signedImage(filledPayload(4096 + 10, "FW:1.4.2.8")));
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string outcomes;
        std::string detail;
        std::string input = {};
        // Set on booth-1 alone before the row runs.
        std::string set = {};
    } rows[] = {
        {{"save", saved}, 3, "ok failed ok failed ok", "No response to 'Get All'"},
        {{"--jobs", "1", "diff", saved},
         4,
         "ok file error different file error ok",
         "1 differ from " + path("saved/booth-1.trx") + ": 0x0303: 20 -> 30",
         "",
         "0x0303=30"},
        {{"--only", "booth-1", "load", saved}, 0, "ok", path("saved/booth-1.trx")},
        {{"--only", "booth-2,refusing,booth-1", "diff", saved}, 4, "ok file error ok", "same as"},
        {{"--only", "booth-0,booth-2", "log", "events", path("logs")}, 0, "ok ok", "logs/"},
        {{"--only", "booth-2", "report", "--text", path("logs")}, 0, "ok", "booth-2.txt"},
        {{"--only", "booth-2,silent", "firmware", image}, 3, "failed ok", "version 1.4.2.8", "y\n"},
    };
    for (const auto& row : rows) {
        if (!row.set.empty()) {
            const std::string tcp = "127.0.0.1:" + std::to_string(units.portOf(1));
            ASSERT_EQ(runProcess(TRX4CTL_EXECUTABLE, {"--tcp", tcp, "set", row.set}).status, 0);
        }
        std::vector<std::string> arguments{"--json"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        const auto run = ctl(arguments, row.input);
        const std::string label = testing::PrintToString(row.arguments);
        EXPECT_EQ(run.status, row.status) << label << run.err;
        std::string outcomes;
        for (const auto& unit : nlohmann::json::parse(run.out)) {
            outcomes += (outcomes.empty() ? "" : " ") + unit.at("outcome").get<std::string>();
        }
        EXPECT_EQ(outcomes, row.outcomes) << label;
        EXPECT_THAT(run.out, HasSubstr(row.detail)) << label;
    }
    // Each unit's file is its own; a failed one keeps its old file whole.
    EXPECT_THAT(names(saved),
                testing::ElementsAre("booth-0.trx", "booth-1.trx", "booth-2.trx", "silent.trx"));
    EXPECT_EQ(fileText(path("saved/silent.trx")), "old");
    EXPECT_THAT(names(path("logs")),
                testing::ElementsAre("booth-0.log", "booth-2.log", "booth-2.txt"));
    EXPECT_THAT(fileText(path("logs/booth-2.log")), testing::StartsWith("TRX4 event log\n"));
}

} // namespace
