// The application's connection chain against a trx4-unit that fails: it
// vanishes in the middle of an exchange, sends what is no message, corrupts
// every frame or refuses every write. Each failure must surface as the
// exception the window's error handler expects (a failed conversation takes
// the window off line; an error reply keeps the connection) within the
// protocol's time-outs, and tearing the chain down must leave no thread or
// descriptor behind.
#include "UnitProcess.h"
#include "e2e/HostChain.h"
#include "support/TemporaryDirectory.h"

#include "catalogue/KORAParams.h"
#include "protocol/VerloException.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const ParameterId surroundDelay(std::uint16_t{0x0303});

std::size_t entries(const char* folder) {
    const auto range = std::filesystem::directory_iterator(folder);
    return static_cast<std::size_t>(std::distance(begin(range), end(range)));
}

// What a failure must never leak: open descriptors and threads of this process.
struct Resources {
    std::size_t descriptors = entries("/proc/self/fd");
    std::size_t threads = entries("/proc/self/task");
};

// How a fault ended: the exception's class as the error handler sorts it.
enum class Outcome { Nothing, HostError, FailedConversation };

class Faults : public testing::Test {
protected:
    void TearDown() override {
        if (killer_.joinable()) {
            killer_.join();
        }
        unit.reset();
        const Resources after;
        EXPECT_EQ(after.descriptors, before_.descriptors);
        EXPECT_EQ(after.threads, before_.threads);
    }

    void start(std::vector<std::string> extra) {
        std::vector<std::string> arguments{"--trace", tracePath};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        unit = std::make_unique<UnitProcess>(arguments);
    }
    void startTcp(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--listen", "127.0.0.1:0"});
        start(std::move(extra));
    }

    // Kills the unit, without a word on the wire, as soon as its trace shows
    // that it received the named request (and before it can answer, when it
    // runs with a latency).
    void vanishOnReceiving(const std::string& command) {
        const pid_t pid = unit->pid();
        killer_ = std::thread([this, pid, command] {
            const auto deadline = SteadyClock::now() + 10s;
            while (SteadyClock::now() < deadline) {
                if (received(command)) {
                    faultAt_ = SteadyClock::now().time_since_epoch().count();
                    ::kill(pid, SIGKILL);
                    return;
                }
                std::this_thread::sleep_for(5ms);
            }
        });
    }
    bool received(const std::string& command) const {
        try {
            return std::filesystem::exists(tracePath) &&
                   !messages(readTrace(tracePath), "received", command).empty();
        } catch (const nlohmann::json::parse_error&) {
            // The line being written is not complete yet.
            return false;
        }
    }
    void vanishNow() {
        faultAt_ = SteadyClock::now().time_since_epoch().count();
        ::kill(unit->pid(), SIGKILL);
    }

    // Runs the operation until it fails (it is repeated when it succeeds, as
    // the polling timer repeats, until the deadline; a deadline of 0 allows a
    // single attempt) and sorts the failure.
    template <typename Operation>
    Outcome outcomeOf(Operation operation, std::chrono::milliseconds deadline = 8s) {
        const auto end = SteadyClock::now() + deadline;
        do {
            try {
                operation();
            } catch (const HostException&) {
                failedAt_ = SteadyClock::now();
                return Outcome::HostError;
            } catch (const VerloException&) {
                failedAt_ = SteadyClock::now();
                return Outcome::FailedConversation;
            }
            std::this_thread::sleep_for(30ms);
        } while (SteadyClock::now() < end);
        return Outcome::Nothing;
    }

    // Time from the fault to the failure.
    std::chrono::milliseconds reaction() const {
        const SteadyClock::time_point fault{SteadyClock::duration(faultAt_.load())};
        return std::chrono::duration_cast<std::chrono::milliseconds>(failedAt_ - fault);
    }

    TemporaryDirectory folder;
    std::string tracePath = (folder.path() / "trace.jsonl").string();
    std::unique_ptr<UnitProcess> unit;

private:
    // A sanitizer's runtime starts a thread of its own along with the first
    // thread of the program; it is started before the count.
    struct FirstThread {
        FirstThread() {
            std::thread([] {}).join();
        }
    } firstThread_;
    Resources before_;
    std::thread killer_;
    std::atomic<SteadyClock::rep> faultAt_{0};
    SteadyClock::time_point failedAt_{};
};

// Two attempts of the retrying front end, each bounded by the reply time-out.
constexpr auto replyBound = 2 * std::chrono::milliseconds(QUIPProtocol::replyTimeoutMs) + 500ms;

TEST_F(Faults, TheUnitVanishingDuringPollingTakesTheWindowOffLine) {
    startTcp({"--status-interval-ms", "30"});
    TcpChain chain(unit->port());
    KORAParams params(chain.retrying);
    for (int tick = 0; tick < 5; ++tick) {
        params.pollNext();
        params.refreshControls();
    }
    vanishNow();
    EXPECT_EQ(outcomeOf([&] {
                  params.pollNext();
                  params.refreshControls();
              }),
              Outcome::FailedConversation);
    EXPECT_LT(reaction(), replyBound);
}

TEST_F(Faults, TheUnitVanishingDuringGetAllFailsTheConnection) {
    // The unit would answer too late for the host anyway; it dies first.
    startTcp({"--latency-ms", "5000"});
    vanishOnReceiving("GetAll");
    EXPECT_EQ(outcomeOf([&] { TcpChain chain(unit->port()); }, 0s), Outcome::FailedConversation);
    EXPECT_LT(reaction(), replyBound);
}

TEST_F(Faults, TheUnitVanishingDuringAWriteTakesTheWindowOffLine) {
    startTcp({"--latency-ms", "1000", "--status-interval-ms", "0"});
    TcpChain chain(unit->port());
    vanishOnReceiving("Set");
    EXPECT_EQ(outcomeOf([&] { chain.retrying.setValue(surroundDelay, ParameterValue(30), 0); }, 0s),
              Outcome::FailedConversation);
    EXPECT_LT(reaction(), replyBound);
}

// Block 2 without the burn is a download alone; block 1 starts with the erase;
// the burn follows the download of the last block.
struct FlashStepCase {
    const char* name;
    const char* request;
    std::uint32_t block;
    bool burn;
};

void PrintTo(const FlashStepCase& step, std::ostream* out) {
    *out << step.request;
}

class FlashFaults : public Faults, public testing::WithParamInterface<FlashStepCase> {};

TEST_P(FlashFaults, TheUnitVanishingDuringAFlashStepFailsTheUpdate) {
    startTcp({"--latency-ms", "1000", "--status-interval-ms", "0"});
    TcpChain chain(unit->port());
    vanishOnReceiving(GetParam().request);
    const std::vector<std::uint8_t> block(4096, 0x5A);
    EXPECT_EQ(outcomeOf(
                  [&] {
                      chain.retrying.downloadBlock(block.data(), block.size(), GetParam().block,
                                                   GetParam().burn);
                  },
                  0s),
              Outcome::FailedConversation);
    // Far inside the 30 s a flash step may take: a closed connection is seen at once.
    EXPECT_LT(reaction(), replyBound);
}

INSTANTIATE_TEST_SUITE_P(EachStep, FlashFaults,
                         testing::Values(FlashStepCase{"Erase", "Erase Flash", 1, false},
                                         FlashStepCase{"Download", "Download Data", 2, false},
                                         FlashStepCase{"Burn", "Burn And Reboot", 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Faults, GarbageAndOversizeMessagesEndTheConversation) {
    for (const char* fault : {"garbage", "oversize"}) {
        startTcp({"--status-interval-ms", "30", "--wire-fault", fault});
        TcpChain tcp(unit->port());
        KORAParams overTcp(tcp.retrying);
        EXPECT_EQ(outcomeOf([&] { overTcp.pollNext(); }, 3s), Outcome::FailedConversation) << fault;

        start({"--pty", "--status-interval-ms", "30", "--wire-fault", fault});
        SerialChain serial(unit->firstLine());
        KORAParams overSerial(serial.retrying);
        EXPECT_EQ(outcomeOf([&] { overSerial.pollNext(); }, 3s), Outcome::FailedConversation)
            << fault << " over the serial line";
    }
}

TEST_F(Faults, AnErrorReplyToEveryWriteKeepsTheConnection) {
    startTcp({"--set-error", "3", "--status-interval-ms", "30"});
    TcpChain chain(unit->port());
    KORAParams params(chain.retrying);
    auto& delay = params.controlParameters().find(surroundDelay);
    for (int value : {30, 40}) {
        EXPECT_EQ(outcomeOf([&] { delay.setValue(ParameterValue(value)); }), Outcome::HostError);
        // The unit still talks: polling goes on and the refused value was not taken.
        params.pollNext();
        params.refreshControls();
        EXPECT_EQ(delay.value(), ParameterValue(20));
    }
    EXPECT_FALSE(chain.retrying.getEventLog().empty());
}

TEST_F(Faults, ACorruptedCrcOnEveryFrameFailsTheSerialConnection) {
    start({"--pty", "--corrupt-every", "1"});
    const auto began = SteadyClock::now();
    EXPECT_EQ(outcomeOf([&] { SerialChain chain(unit->firstLine()); }, 0s),
              Outcome::FailedConversation);
    EXPECT_LT(SteadyClock::now() - began, replyBound);
}

// A serial write ends without error when no answer comes (a unit may confirm
// other identifiers only), so the vanished unit shows only in what the write
// did not change, and the next exchange fails.
TEST_F(Faults, TheUnitVanishingDuringASerialWriteFailsTheNextExchange) {
    start({"--pty", "--latency-ms", "1000", "--status-interval-ms", "0"});
    SerialChain chain(unit->firstLine());
    vanishOnReceiving("Set");
    chain.retrying.setValue(surroundDelay, ParameterValue(30), 0);
    EXPECT_EQ(chain.retrying.getValue(surroundDelay), ParameterValue(20));
    EXPECT_EQ(outcomeOf([&] { chain.retrying.setValue(surroundDelay, ParameterValue(31), 0); }, 0s),
              Outcome::FailedConversation);
    EXPECT_LT(reaction(), replyBound);
}

} // namespace
