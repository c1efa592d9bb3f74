#pragma once

#include "UnitProcess.h"
#include "support/LoopbackServer.h"

#include <memory>

// A fixture around one trx4-unit process that writes its trace to a file in
// the test's own folder.
class TracedUnitTest : public testing::Test {
protected:
    // Listening on a free local port, with the given options added.
    void startUnit(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--listen", "127.0.0.1:0", "--trace", tracePath});
        unit = std::make_unique<UnitProcess>(options);
    }
    // On a pseudo terminal instead of a port.
    void startSerialUnit(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--pty", "--trace", tracePath});
        unit = std::make_unique<UnitProcess>(options);
    }
    std::vector<nlohmann::json> stopAndReadTrace() {
        EXPECT_EQ(unit->stop(), 0);
        return readTrace(tracePath);
    }
    // Waits (bounded) until the unit has written the event to its trace.
    bool awaitEvent(const std::string& event) const {
        return waitUntil(
            [&] {
                // The whole trace is read each time: look every 20 ms only.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return countEvents(readTrace(tracePath), event) > 0;
            },
            std::chrono::seconds(10));
    }

    TemporaryDirectory folder;
    std::string tracePath = (folder.path() / "trace.jsonl").string();
    std::unique_ptr<UnitProcess> unit;
};

// The flash commands the unit received, in order, each with the block count
// it reported ("Erase Flash", "Download Data 2", "Burn And Reboot 3").
inline std::vector<std::string> flashSteps(const std::vector<nlohmann::json>& trace) {
    std::vector<std::string> steps;
    for (const nlohmann::json& line : trace) {
        const std::string command = line.value("command", "");
        if (line.value("direction", "") == "received" &&
            (command == "Erase Flash" || command == "Download Data" ||
             command == "Burn And Reboot")) {
            steps.push_back(command + (line.contains("blocks") ? " " + line["blocks"].dump() : ""));
        }
    }
    return steps;
}
