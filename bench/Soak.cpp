// The soak run: the application's TCP connection chain polls a trx4-unit at
// the main window's 30 ms rate for a given time while the unit fails at
// random (drops the host, sends garbage or oversize messages, refuses writes).
// On a failed conversation the chain is dropped and reopened, as the window
// does; on an error reply it goes on. Resident memory, descriptors and threads
// are printed after the warm-up and at the end; descriptor or thread growth
// fails the run, and so does resident growth of 1 MiB or more.
#include "UnitProcess.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "session/UnitSession.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const ParameterId surroundDelay(std::uint16_t{0x0303});

std::size_t entries(const char* folder) {
    const auto range = std::filesystem::directory_iterator(folder);
    return static_cast<std::size_t>(std::distance(begin(range), end(range)));
}

struct Usage {
    long residentKiB = 0;
    std::size_t descriptors = entries("/proc/self/fd");
    std::size_t threads = entries("/proc/self/task");

    Usage() {
        std::ifstream status("/proc/self/status");
        std::string key;
        while (status >> key) {
            if (key == "VmRSS:") {
                status >> residentKiB;
                break;
            }
            status.ignore(4096, '\n');
        }
    }
    void print(const char* when) const {
        std::printf("%-6s resident %ld KiB, descriptors %zu, threads %zu\n", when, residentKiB,
                    descriptors, threads);
    }
};

// The unit's faults for one run of the unit: it always drops its host after
// a random while, and adds one other failure or none.
std::vector<std::string> randomFaults(std::mt19937& random) {
    std::vector<std::string> arguments{
        "--listen",
        "127.0.0.1:0",
        "--status-interval-ms",
        "100",
        "--drop-after-seconds",
        std::to_string(std::uniform_int_distribution(1, 10)(random))};
    const std::string every = std::to_string(std::uniform_int_distribution(10, 100)(random));
    switch (std::uniform_int_distribution(0, 3)(random)) {
    case 0:
        arguments.insert(arguments.end(), {"--wire-fault", "garbage:" + every});
        break;
    case 1:
        arguments.insert(arguments.end(), {"--wire-fault", "oversize:" + every});
        break;
    case 2:
        arguments.insert(arguments.end(), {"--set-error", "2"});
        break;
    default:
        break;
    }
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::stod(argv[1]) : 10.0;
    std::mt19937 random(argc > 2 ? static_cast<unsigned>(std::stoul(argv[2])) : 4444u);
    const auto end = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                              std::chrono::duration<double>(minutes * 60));

    std::unique_ptr<UnitProcess> unit;
    UnitSession session;
    std::map<std::string, unsigned> failures;
    unsigned long ticks = 0;
    unsigned long reconnections = 0;
    unsigned long hostErrors = 0;
    std::optional<Usage> start;
    int value = 20;

    while (SteadyClock::now() < end) {
        const auto tickStart = SteadyClock::now();
        try {
            if (!unit) {
                unit = std::make_unique<UnitProcess>(randomFaults(random));
            }
            if (!session.isOpen()) {
                session.open(ConnectionTarget::tcp("127.0.0.1", unit->port()));
                ++reconnections;
            }
            KORAParams& params = *session.parameters();
            params.pollNext();
            params.refreshControls();
            if (++ticks % 50 == 0) {
                value = value == 20 ? 21 : 20;
                params.controlParameters().find(surroundDelay).setValue(ParameterValue(value));
            }
        } catch (const HostException&) {
            ++hostErrors;
        } catch (const VerloException& error) {
            ++failures[error.what()];
            // A failed conversation: close the session; the next tick reopens it,
            // now and then with a new unit with other faults.
            session.close();
            if (std::bernoulli_distribution(0.3)(random)) {
                unit.reset();
            }
        }
        if (!start && ticks == 200) {
            // After the warm-up, measured as at the end: nothing open.
            session.close();
            unit.reset();
            start.emplace();
            start->print("start");
        }
        std::this_thread::sleep_until(tickStart + 30ms);
    }
    session.close();
    unit.reset();

    const Usage finish;
    finish.print("end");
    std::printf("ticks %lu, connections %lu, error replies %lu\n", ticks, reconnections,
                hostErrors);
    for (const auto& [message, count] : failures) {
        std::printf("%6u x %s\n", count, message.c_str());
    }
    if (!start) {
        std::printf("too short to measure\n");
        return 1;
    }
    const long growth = finish.residentKiB - start->residentKiB;
    std::printf("growth: resident %+ld KiB, descriptors %+ld, threads %+ld\n", growth,
                static_cast<long>(finish.descriptors) - static_cast<long>(start->descriptors),
                static_cast<long>(finish.threads) - static_cast<long>(start->threads));
    const bool leaked = finish.descriptors > start->descriptors || finish.threads > start->threads;
    return leaked || growth >= 1024 ? 1 : 0;
}
