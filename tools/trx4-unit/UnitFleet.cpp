#include "UnitFleet.h"

#include "Scenario.h"
#include "StopSignal.h"
#include "TcpServer.h"
#include "UnitOptions.h"
#include "UnitResponder.h"
#include "UnitState.h"

#include <exception>
#include <mutex>
#include <thread>

namespace {

UnitOptions withPort(UnitOptions options, std::uint16_t port) {
    options.listenPort = port;
    return options;
}

} // namespace

struct UnitFleet::PlayedUnit {
    PlayedUnit(const UnitOptions& fleetOptions, std::uint16_t port,
               std::chrono::steady_clock::time_point started)
        : options(withPort(fleetOptions, port)), state(UnitState::catalogueRanges()),
          responder(state, *Scenario::find(options.scenario), options),
          server(options, responder, nullptr, started) {}

    UnitOptions options;
    UnitState state;
    UnitResponder responder;
    TcpServer server;
};

UnitFleet::UnitFleet(const UnitOptions& options, std::chrono::steady_clock::time_point started) {
    for (std::uint32_t i = 0; i < options.units; ++i) {
        const auto port =
            static_cast<std::uint16_t>(options.listenPort == 0 ? 0 : options.listenPort + i);
        units_.push_back(std::make_unique<PlayedUnit>(options, port, started));
    }
}

UnitFleet::~UnitFleet() = default;

void UnitFleet::listen() {
    for (auto& unit : units_) {
        unit->server.listen();
    }
}

std::vector<std::uint16_t> UnitFleet::ports() const {
    std::vector<std::uint16_t> ports;
    for (const auto& unit : units_) {
        ports.push_back(unit->server.port());
    }
    return ports;
}

void UnitFleet::run() {
    std::mutex failureLock;
    std::exception_ptr failure;
    std::vector<std::thread> threads;
    for (auto& unit : units_) {
        threads.emplace_back([&, server = &unit->server] {
            try {
                server->run();
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                if (!failure) {
                    failure = std::current_exception();
                }
                StopSignal::request();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}
