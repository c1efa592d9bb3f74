#include "HostSession.h"
#include "FileDescriptorDevice.h"
#include "PacketUnitLink.h"
#include "UnitResponder.h"

#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A host that never speaks is dropped once the limit passes; one that spoke
// stays however long it is quiet, until it leaves.
TEST(HostSession, DropsAHostThatSendsNothingButKeepsOneThatSpokeAndWentQuiet) {
    UnitState state(UnitState::catalogueRanges());
    UnitOptions options;
    options.statusIntervalMs = 0;
    UnitResponder responder(state, Scenario::defaultScenario(), options);
    for (const bool speaks : {false, true}) {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        FileDescriptorDevice unit(ends[0]);
        FileDescriptorDevice host(ends[1]);
        PacketUnitLink link(unit, nullptr);
        HostSession session(link, responder, options, nullptr, Clock::now());
        session.dropIfSilentFor(200ms);
        std::thread leaver;
        if (speaks) {
            const unitwire::Bytes ping = unitwire::packet({unitwire::PingRequest});
            host.write(ping.data(), ping.size());
            leaver = std::thread([&ends] {
                std::this_thread::sleep_for(600ms);
                ::shutdown(ends[1], SHUT_RDWR);
            });
        }
        const auto began = Clock::now();
        const HostSession::End end = session.run();
        const auto took = Clock::now() - began;
        if (leaver.joinable()) {
            leaver.join();
        }
        EXPECT_EQ(end, speaks ? HostSession::End::HostLeft : HostSession::End::Dropped) << speaks;
        EXPECT_GE(took, speaks ? 600ms : 200ms) << speaks;
        EXPECT_LT(took, speaks ? 5s : 600ms) << speaks;
        // One entry in all: the silent host's.
        const std::string log = responder.eventLog().text();
        const auto entry = log.find("Dropped a host that sent nothing");
        EXPECT_NE(entry, std::string::npos) << speaks;
        EXPECT_EQ(log.find("Dropped a host", entry + 1), std::string::npos) << speaks;
    }
}

} // namespace
