#include "RawHost.h"
#include "TracedUnitTest.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "protocol/Command.h"
#include "protocol/GenericProtocol.h"
#include "session/UnitSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <regex>

namespace {

using namespace std::chrono_literals;
using unitwire::Bytes;

const ParameterId digitalDelay{std::uint16_t{0x0303}};

double unixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class HubTest : public TracedUnitTest {
protected:
    // With metrics, the second output line is the metrics port.
    void startHub(const std::string& target, bool metrics = false, bool awaitUnit = true) {
        const std::string line = target + " serve:127.0.0.1:0\n";
        std::vector<std::string> arguments{"--units",
                                           folder.write("units", {line.begin(), line.end()})};
        if (metrics) {
            arguments.insert(arguments.end(), {"--web.listen-address", "127.0.0.1:0"});
        }
        hub = std::make_unique<UnitProcess>(arguments, 20s, metrics ? 2 : 1, TRX4_HUB_EXECUTABLE);
        ASSERT_TRUE(!awaitUnit || servesUnit(10s));
    }
    // The unit's sample of a metric 50 ms from now (waitUntil asks at once
    // again), -1 when there is none.
    double metric(const std::string& name) const {
        std::this_thread::sleep_for(50ms);
        const auto reply = httplib::Client("127.0.0.1", hub->portOf(1)).Get("/metrics");
        std::smatch found;
        const std::string text = reply ? reply->body : "";
        return std::regex_search(text, found, std::regex(name + "\\{unit=\"booth\"\\} (\\S+)"))
                   ? std::stod(found[1])
                   : -1;
    }
    // Whether a host gets a Get All Response within timeout: until the hub
    // holds the unit, every host is closed at once.
    bool servesUnit(std::chrono::milliseconds timeout) const {
        return waitUntil([&] { return serves(hub->port(), 500ms); }, timeout);
    }
    void startHubForUnit() { startHub("booth tcp:127.0.0.1:" + std::to_string(unit->port())); }
    // A host that has had its Get All Response, which must come first.
    std::unique_ptr<RawHost> informedHost() {
        auto host = std::make_unique<RawHost>(hub->port());
        host->send(unitwire::body(unitwire::GetAll));
        const auto first = host->receive(3s);
        EXPECT_TRUE(first && first->commandType().code() == unitwire::GetAllResponse);
        return host;
    }
    ProcessResult ctl(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--tcp", "127.0.0.1:" + std::to_string(hub->port())});
        return runProcess(TRX4CTL_EXECUTABLE, arguments);
    }

    std::unique_ptr<UnitProcess> hub;
};

TEST_F(HubTest, ManyHostsShareTheUnitAndEachSetReachesItOnce) {
    startUnit();
    startHub("booth tcp:127.0.0.1:" + std::to_string(unit->port()), true);
    UnitSession window;
    window.open(ConnectionTarget::tcp("127.0.0.1", hub->port()));
    const auto watcher = informedHost();
    watcher->send(unitwire::body(unitwire::GetEventLog));
    ASSERT_NE(watcher->await(unitwire::EventLog), nullptr);

    // Two trx4ctl at once beside the window and the watcher.
    const pid_t getter = startProcess(
        TRX4CTL_EXECUTABLE, {"--tcp", "127.0.0.1:" + std::to_string(hub->port()), "get", "0x0303"},
        {"", folder.write("get", {}), ""});
    const auto set = ctl({"set", "0x0303=30"});
    EXPECT_EQ(awaitExit(getter, std::chrono::steady_clock::now() + 30s), 0);
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "0x0303: 30\n");

    // The watcher and the window see the Set of another host.
    EXPECT_NE(watcher->await(unitwire::Status, 3s,
                             [](const Command& status) { return status.contains(digitalDelay); }),
              nullptr);
    EXPECT_TRUE(waitUntil(
        [&] {
            window.takeInPending();
            window.parameters()->pollNext();
            return window.frontEnd().getValue(digitalDelay).toSignedInt() == 30;
        },
        5s));
    // A late host gets every value the unit reported, but no log text.
    const auto late = std::make_unique<RawHost>(hub->port());
    late->send(unitwire::body(unitwire::GetAll));
    const auto all = late->receive(3s);
    ASSERT_TRUE(all && all->commandType().code() == unitwire::GetAllResponse);
    const auto& values = dynamic_cast<const StatusCommand&>(*all).values();
    EXPECT_GT(values.size(), 50u);
    EXPECT_EQ(values.at(digitalDelay).toSignedInt(), 30);
    EXPECT_FALSE(values.contains(LogCommand::logSlot));

    // The exporter's metrics, from the same connection, up once it has been held 5 s.
    EXPECT_TRUE(waitUntil([&] { return metric("trx4_up") == 1; }, 10s));

    window.close();
    hub->stop();
    const auto trace = stopAndReadTrace();
    // The hub's own Get All alone reached the unit, and the one Set once.
    EXPECT_EQ(messages(trace, "received", "GetAll").size(), 1u);
    EXPECT_EQ(messages(trace, "received", "Set").size(), 1u);
    EXPECT_EQ(countEvents(trace, "host-connected"), 1u);
}

TEST_F(HubTest, AnErrorGoesToItsSenderAlone) {
    startUnit({"--set-error", "2"});
    startHubForUnit();
    const auto sender = informedHost();
    const auto other = informedHost();
    sender->send(unitwire::body(unitwire::Set, {{0x0303, unitwire::integer(30)}}));
    const auto error = sender->await(unitwire::Error);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(dynamic_cast<const ErrorCommand&>(*error).status().code, 2);
    EXPECT_EQ(other->await(unitwire::Error, 1s), nullptr);
    // Through the core, the window reads the unit's own text.
    UnitSession window;
    window.open(ConnectionTarget::tcp("127.0.0.1", hub->port()));
    EXPECT_EQ(thrownMessage<HostException>([&] {
                  window.singleAttemptFrontEnd().setValue(digitalDelay, ParameterValue(40), 0);
              }),
              "Error: Illegal Parameter Value");
}

TEST_F(HubTest, AHostThatBreaksTheProtocolOrSaysNothingIsDroppedAlone) {
    startUnit();
    startHubForUnit();
    const auto pinger = informedHost();
    RawHost silent(hub->port());
    const struct {
        const char* what;
        Bytes wire;
    } bad[] = {
        {"garbage", {'g', 'a', 'r', 'b', 'a', 'g', 'e', '!'}},
        {"oversize", unitwire::join({unitwire::bigEndian(16384 + 5 + 4, 4), {4}})},
        {"empty body", unitwire::bigEndian(4, 4)},
        {"unknown type", unitwire::packet({18})},
    };
    for (const auto& row : bad) {
        RawHost host(hub->port());
        host.sendBytes(row.wire);
        EXPECT_TRUE(host.closedWithin(1s)) << row.what;
    }
    // A host that only pings stays; one that said nothing goes after 10 s.
    const auto deadline = std::chrono::steady_clock::now() + 11s;
    while (std::chrono::steady_clock::now() < deadline) {
        pinger->send(unitwire::body(unitwire::PingRequest));
        ASSERT_NE(pinger->await(unitwire::PingResponse, 2s), nullptr);
        std::this_thread::sleep_for(1s);
    }
    EXPECT_TRUE(silent.closedWithin(1s));
    EXPECT_FALSE(pinger->closedWithin(300ms));
    EXPECT_NE(pinger->await(unitwire::Status, 1s), nullptr);
    hub->stop();
    // The unit saw one host throughout.
    const auto trace = stopAndReadTrace();
    EXPECT_EQ(countEvents(trace, "host-connected"), 1u);
    EXPECT_EQ(countEvents(trace, "request-rejected"), 0u);
}

// A unit is up 5 s after its Get All. A lost one closes its hosts until it
// is back: at once when its connection closes, when hung within 5 s of its
// last message, the polls since not counted. Held 30 s, it is tried again
// after 1 s however long the back-off grew while it was refused.
TEST_F(HubTest, ALostUnitClosesItsHostsUntilItIsBack) {
    startUnit();
    const std::string port = std::to_string(unit->port());
    unit->stop();
    startHub("booth tcp:127.0.0.1:" + port, true, false);
    // Refused at 0, 1 and 3 s, it is tried next at 7 s, then 8 s later.
    std::this_thread::sleep_for(3500ms);
    const auto restartUnit = [&] {
        unit = std::make_unique<UnitProcess>(
            std::vector<std::string>{"--listen", "127.0.0.1:" + port, "--trace", tracePath});
    };
    restartUnit();
    ASSERT_TRUE(waitUntil([&] { return metric("trx4_last_message_timestamp_seconds") > 0; }, 10s));
    const double held = unixNow();
    ASSERT_TRUE(waitUntil([&] { return metric("trx4_up") == 1; }, 10s));
    EXPECT_GE(unixNow() - held, 4.5);
    std::this_thread::sleep_for(std::chrono::duration<double>(held + 31 - unixNow()));
    for (const int signal : {SIGKILL, SIGSTOP}) {
        const auto host = informedHost();
        ::kill(unit->pid(), signal);
        EXPECT_TRUE(host->closedWithin(signal == SIGKILL ? 1s : 6s)) << signal;
        RawHost refused(hub->port());
        EXPECT_TRUE(refused.closedWithin(1s)) << signal;
        const double last = metric("trx4_last_message_timestamp_seconds");
        EXPECT_EQ(metric("trx4_up"), 0) << signal;
        EXPECT_LE(unixNow() - last, 5.2) << signal;
        EXPECT_LT(metric("trx4_last_poll_timestamp_seconds") - last, 1) << signal;
        if (signal == SIGSTOP) {
            ::kill(unit->pid(), SIGCONT);
        } else {
            unit->stop();
            restartUnit();
        }
        // Tried again after 1 s, then after 2 s.
        EXPECT_TRUE(servesUnit(4s)) << signal;
    }
}

TEST_F(HubTest, AFirmwareUpdateBelongsToOneHostUntilTheBurn) {
    startUnit({"--reboot-seconds", "1"});
    startHubForUnit();
    const auto owner = informedHost();
    const auto other = informedHost();
    const auto flashCode = [](RawHost& host, const Bytes& step) {
        host.send(step);
        const auto done = host.await(unitwire::FlashOperationDone);
        return done ? dynamic_cast<const StatusCodeCommand&>(*done).status().code : -1;
    };
    const Bytes block = unitwire::textBody(unitwire::Code(10), "FW:1.4.2.7 build 9");
    EXPECT_EQ(flashCode(*owner, unitwire::body(unitwire::EraseFlash)), 0);
    // Meanwhile another host is told to retry and its Set is refused.
    EXPECT_EQ(flashCode(*other, unitwire::body(unitwire::EraseFlash)), 1);
    EXPECT_EQ(flashCode(*other, block), 1);
    other->send(unitwire::body(unitwire::Set, {{0x0303, unitwire::integer(30)}}));
    const auto refused = other->await(unitwire::Error);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(dynamic_cast<const ErrorCommand&>(*refused).status().message, "Host Error");
    EXPECT_NE(other->await(unitwire::Status), nullptr);
    EXPECT_EQ(flashCode(*owner, block), 0);
    EXPECT_EQ(flashCode(*owner, unitwire::body(unitwire::Code(11))), 0);
    // The unit reboots; the hub closes its hosts and finds the unit again.
    EXPECT_TRUE(other->closedWithin(2s));
    EXPECT_TRUE(servesUnit(15s));
    hub->stop();
    // Each step reaches the unit once, as its host sent it.
    EXPECT_THAT(flashSteps(stopAndReadTrace()),
                testing::ElementsAre("Erase Flash", "Download Data 1", "Burn And Reboot 1"));
}

// A unit that fails soon after each Get All is never up, and is tried after
// 1, 2, 4 s and so on rather than every second.
TEST_F(HubTest, AUnitThatKeepsFailingIsNeverUpAndTriedEverLessOften) {
    startUnit({"--wire-fault", "garbage"});
    startHub("booth tcp:127.0.0.1:" + std::to_string(unit->port()), true, false);
    EXPECT_FALSE(waitUntil([&] { return metric("trx4_up") == 1; }, 12s));
    hub->stop();
    EXPECT_THAT(countEvents(stopAndReadTrace(), "host-connected"),
                testing::AllOf(testing::Ge(3u), testing::Le(5u)));
}

TEST_F(HubTest, ASerialUnitIsServedOverTcp) {
    startSerialUnit();
    startHub("booth serial:" + unit->firstLine());
    const auto one = ctl({"get", "0x0303"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "0x0303: 20\n");
    const auto set = ctl({"set", "0x0303=40"});
    EXPECT_EQ(set.out, "0x0303: 40\n") << set.err;
}

} // namespace
