#include "RawHost.h"
#include "UnitProcess.h"
#include "support/LoopbackServer.h"

#include <httplib.h>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Reloads keep a host of an unchanged unit, start and stop the others, and
// keep everything on a bad file; trx4ctl --units goes through the hub.
TEST(HubProgram, ReloadChangesOnlyWhatTheFileChanged) {
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", "3", "--listen", "127.0.0.1:0"}, 20s, 3);
    std::vector<std::string> lines;
    std::vector<std::uint16_t> served;
    for (std::size_t i = 0; i < 3; ++i) {
        served.push_back(static_cast<std::uint16_t>(LoopbackServer().port()));
        lines.push_back("u" + std::to_string(i) +
                        " tcp:127.0.0.1:" + std::to_string(units.portOf(i)) +
                        " serve:127.0.0.1:" + std::to_string(served[i]) + "\n");
    }
    auto write = [&](const std::string& t) { return folder.write("units", {t.begin(), t.end()}); };
    const UnitProcess hub(
        {"--units", write(lines[0] + lines[1]), "--web.listen-address", "127.0.0.1:0"}, 20s, 3,
        TRX4_HUB_EXECUTABLE);
    ASSERT_TRUE(waitUntil([&] { return serves(served[0], 1s); }, 10s));
    const auto ctl =
        runProcess(TRX4CTL_EXECUTABLE, {"--units", write(lines[0] + lines[2]), "get", "0x0303"});
    EXPECT_EQ(ctl.status, 0) << ctl.out << ctl.err;
    RawHost kept(served[0]);
    kept.send(unitwire::body(unitwire::GetAll));
    httplib::Client http("127.0.0.1", hub.portOf(2));
    const auto reloaded = [&](const std::string& value) {
        const auto reply = http.Get("/metrics");
        return reply && reply->body.find("trx4_config_last_reload_successful " + value + "\n") !=
                            std::string::npos;
    };
    const struct {
        std::string file;
        bool signal;
        const char* successful;
        bool servesOne, servesTwo;
    } steps[] = {
        {lines[0] + lines[2], true, "1", false, true},
        {lines[0] + "u1 tcp:127.0.0.1\nbroken\n", false, "0", false, true},
        {lines[0] + lines[1], false, "1", true, false},
    };
    for (const auto& step : steps) {
        write(step.file);
        const auto status = [&] {
            const auto reply = http.Post("/-/reload");
            return reply ? reply->status : 0;
        };
        EXPECT_TRUE(step.signal ? ::kill(hub.pid(), SIGHUP) == 0
                                : status() == (*step.successful == '1' ? 200 : 500));
        const auto asListed = [&] {
            return reloaded(step.successful) && serves(served[1], 1s) == step.servesOne &&
                   serves(served[2], 1s) == step.servesTwo;
        };
        EXPECT_TRUE(waitUntil(asListed, 10s)) << step.file;
    }
    EXPECT_FALSE(kept.closedWithin(300ms));
}

// A stop signal at any moment of start-up ends the hub within 2 s; units
// beyond the descriptor limit are left out, with one line saying so.
TEST(HubProgram, StopsWithinTwoSecondsAndSaysWhatTheDescriptorLimitAllows) {
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", "1000", "--listen", "127.0.0.1:0"}, 60s, 1000);
    std::string file;
    for (std::size_t i = 0; i < 1000; ++i) {
        file += "u" + std::to_string(i) + " tcp:127.0.0.1:" + std::to_string(units.portOf(i)) +
                " serve:127.0.0.1:0\n";
    }
    const std::string path = folder.write("units", {file.begin(), file.end()});
    const std::string limited =
        "descriptor limit 64 allows 6 of 1000 units; the others are not started";
    const struct {
        std::chrono::milliseconds after;
        bool limit, hung;
    } runs[] = {{0ms, false, false}, {30ms, false, false}, {300ms, false, false},
                {3s, false, false},  {1s, false, true},    {1s, true, false}};
    for (const auto& run : runs) {
        // Hung units hold their hubs in the connection's time-outs.
        ::kill(units.pid(), run.hung ? SIGSTOP : SIGCONT);
        const std::string log = folder.write("log", {});
        const pid_t hub = startProcess("/usr/bin/prlimit",
                                       {run.limit ? "--nofile=64:64" : "--nofile=1024:20000",
                                        TRX4_HUB_EXECUTABLE, "--units", path},
                                       {"", folder.write("out", {}), log});
        std::this_thread::sleep_for(run.after);
        ::kill(hub, SIGTERM);
        // Before the program takes the signals, their default action ends it.
        const int status = awaitExit(hub, std::chrono::steady_clock::now() + 2s);
        EXPECT_TRUE(status == 0 || status == 128 + SIGTERM) << status << " " << run.after.count();
        const std::string text = fileText(log);
        const auto at = text.find("descriptor limit");
        EXPECT_EQ(at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at),
                  run.limit ? limited : "");
        // While few units are busy, every hub is stopped and joined in time.
        EXPECT_TRUE(run.after > 1s || run.hung || text.find("without waiting") == std::string::npos)
            << text;
    }
}

} // namespace
