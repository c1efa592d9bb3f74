// The application's connection chain against a trx4-unit that fails: it
// vanishes in the middle of an exchange, never answers, sends what is no
// message or corrupts every frame. Each failure must surface as a failed
// conversation, which takes the window off line, never as an error reply,
// which would keep the connection, and within the protocol's time-outs; and
// tearing the chain down must leave no thread or descriptor behind.
#include "TracedUnitTest.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "protocol/QUIPProtocol.h"
#include "session/ProtocolChain.h"
#include "session/UnitSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

const ParameterId surroundDelay(std::uint16_t{0x0303});

// Two attempts of the retrying front end, each bounded by the reply time-out.
constexpr auto replyBound = 2 * std::chrono::milliseconds(QUIPProtocol::replyTimeoutMs) + 500ms;

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

class Faults : public TracedUnitTest {
protected:
    void TearDown() override {
        joinKiller();
        unit.reset();
        const Resources after;
        EXPECT_EQ(after.descriptors, before_.descriptors);
        EXPECT_EQ(after.threads, before_.threads);
    }

    // A unit listening on a free local port, or on a pseudo terminal, with
    // the given options added; target reaches it.
    void start(const std::vector<std::string>& options, bool overSerial = false) {
        joinKiller();
        if (overSerial) {
            startSerialUnit(options);
        } else {
            startUnit(options);
        }
        target = overSerial ? ConnectionTarget::parseSerial(unit->firstLine())
                            : ConnectionTarget::tcp("127.0.0.1", unit->port());
    }

    // Kills the unit, without a word on the wire, soon after its trace shows
    // that it received the request (and before it can answer, when it runs
    // with a latency).
    void vanishOnReceiving(const std::string& request) {
        killer_ = std::thread([this, pid = unit->pid(), request] {
            const auto deadline = SteadyClock::now() + 10s;
            while (!received(request) && SteadyClock::now() < deadline) {
                std::this_thread::sleep_for(5ms);
            }
            // Not before the host has read what the unit sent first, such as
            // a frame's acknowledgement, which the hang-up would discard.
            std::this_thread::sleep_for(100ms);
            if (received(request)) {
                ::kill(pid, SIGKILL);
            }
        });
    }
    bool received(const std::string& request) const {
        try {
            return !messages(readTrace(tracePath), "received", request).empty();
        } catch (const nlohmann::json::parse_error&) {
            // The line being written is not complete yet.
            return false;
        }
    }
    void joinKiller() {
        if (killer_.joinable()) {
            killer_.join();
        }
    }

    // Runs the operation until it fails (it is repeated when it succeeds, as
    // the polling timer repeats, until the deadline; a deadline of 0 allows a
    // single attempt), sorts the failure and keeps how long it took and the
    // failed conversation's message.
    template <typename Operation>
    Outcome outcomeOf(Operation operation, std::chrono::milliseconds deadline = 8s) {
        const auto began = SteadyClock::now();
        do {
            try {
                operation();
            } catch (const HostException&) {
                took = SteadyClock::now() - began;
                return Outcome::HostError;
            } catch (const VerloException& error) {
                took = SteadyClock::now() - began;
                failure = error.what();
                return Outcome::FailedConversation;
            }
            std::this_thread::sleep_for(30ms);
        } while (SteadyClock::now() < began + deadline);
        return Outcome::Nothing;
    }

    ConnectionTarget target;
    SteadyClock::duration took{};
    std::string failure;

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
};

// While the window polls, a unit that vanishes, sends garbage or oversize
// messages or drops its host ends the conversation within the time-outs.
TEST_F(Faults, AFailingUnitEndsThePollingConversation) {
    // The unit's fault (none: it vanishes after the first tick), whether it
    // is reached over a serial line, and the failure's message if it matters.
    const std::tuple<std::vector<std::string>, bool, const char*> units[] = {
        {{}, false, nullptr},
        {{"--wire-fault", "garbage"}, false, nullptr},
        {{"--wire-fault", "garbage"}, true, nullptr},
        {{"--wire-fault", "oversize"}, false, nullptr},
        {{"--wire-fault", "oversize"}, true, nullptr},
        {{"--drop-after-seconds", "0.5"}, false, nullptr},
        // Over a serial line the unit says that it drops the host.
        {{"--drop-after-seconds", "0.5"}, true, "TRX4 Disconnected"},
    };
    for (const auto& [fault, overSerial, message] : units) {
        std::vector<std::string> options{"--status-interval-ms", "30"};
        options.insert(options.end(), fault.begin(), fault.end());
        start(options, overSerial);
        UnitSession session;
        session.open(target);
        KORAParams& params = *session.parameters();
        const auto tick = [&] {
            params.pollNext();
            params.refreshControls();
        };
        tick();
        if (fault.empty()) {
            ::kill(unit->pid(), SIGKILL);
        }
        const std::string row = (fault.empty() ? "vanishing" : fault.back()) +
                                (overSerial ? " over the serial line" : " over TCP");
        EXPECT_EQ(outcomeOf(tick), Outcome::FailedConversation) << row;
        EXPECT_LT(took, replyBound) << row;
        if (message != nullptr) {
            EXPECT_EQ(failure, message);
        }
        // A unit that dropped its host takes the next one.
        if (!fault.empty() && fault.front() == "--drop-after-seconds") {
            EXPECT_NO_THROW(ProtocolChain next(target)) << row;
        }
    }
}

// A closed connection is seen at once, also during a flash step, which may
// otherwise take 30 s (every step waits alike; the burn is the last). A unit
// vanishing during a serial write closes the line under it: the write fails
// as a lost connection naming the device, before any reply time-out.
TEST_F(Faults, TheUnitVanishingDuringAnExchangeFailsItPromptly) {
    const std::vector<std::uint8_t> block(4096, 0x5A);
    const auto set = [](GenericProtocol& unit) {
        unit.setValue(surroundDelay, ParameterValue(30), 0);
    };
    const auto burn = [&block](GenericProtocol& unit) {
        unit.downloadBlock(block.data(), block.size(), 2, true);
    };
    const std::tuple<const char*, bool, std::function<void(GenericProtocol&)>> exchanges[] = {
        {"Set", false, set},
        {"Set", true, set},
        {"Burn And Reboot", false, burn},
    };
    for (const auto& [request, overSerial, exchange] : exchanges) {
        start({"--latency-ms", "1000", "--status-interval-ms", "0"}, overSerial);
        ProtocolChain chain(target);
        vanishOnReceiving(request);
        EXPECT_EQ(outcomeOf([&] { exchange(chain.frontEnd()); }, 0s), Outcome::FailedConversation)
            << request;
        EXPECT_LT(took, replyBound) << request;
        if (overSerial) {
            EXPECT_EQ(failure, "The serial device " + target.serialPath +
                                   " was removed (Input/output error)");
            EXPECT_LT(took, std::chrono::milliseconds(QUIPProtocol::replyTimeoutMs));
        }
    }
}

// Dying during Get All, never answering and corrupting every frame all fail
// the connection, and the half-built chain leaves nothing open.
TEST_F(Faults, AUnitThatCannotCompleteGetAllFailsTheConnection) {
    // The unit's options, whether it is reached over a serial line, and the
    // request on whose receipt it dies, if any.
    const std::tuple<std::vector<std::string>, bool, const char*> units[] = {
        // The unit would answer too late for the host anyway; it dies first.
        {{"--latency-ms", "5000"}, false, "GetAll"},
        {{"--silent"}, false, nullptr},
        {{"--corrupt-every", "1"}, true, nullptr},
    };
    for (const auto& [options, overSerial, vanishOn] : units) {
        start(options, overSerial);
        if (vanishOn != nullptr) {
            vanishOnReceiving(vanishOn);
        }
        EXPECT_EQ(outcomeOf([&] { ProtocolChain chain(target); }, 0s), Outcome::FailedConversation)
            << options.front();
        EXPECT_LT(took, replyBound) << options.front();
    }
    // A unit serves one host: a second one is closed at once, and told why it may be.
    start({});
    const ProtocolChain served(target);
    EXPECT_EQ(outcomeOf([&] { ProtocolChain second(target); }, 0s), Outcome::FailedConversation);
    EXPECT_EQ(failure, ConnectionClosedException::closedAtOnce);
}

// A unit that hangs with its connection open is given up once its silence
// and the unanswered ping have lasted their limits; a silent unit that
// answers its pings is never given up.
TEST_F(Faults, AHungUnitIsGivenUpWithinFiveSecondsOfItsLastMessage) {
    start({"--status-interval-ms", "0"});
    ProtocolChain chain(target);
    ParameterValueMap values;
    const auto poll = [&] { chain.frontEnd().getValues({surroundDelay}, values); };
    EXPECT_EQ(outcomeOf(poll, 5s), Outcome::Nothing);
    ::kill(unit->pid(), SIGSTOP);
    EXPECT_EQ(outcomeOf(poll), Outcome::FailedConversation);
    EXPECT_EQ(failure, "Lost Connection to the Device");
    EXPECT_LT(took, QUIPProtocol::silenceLimit + QUIPProtocol::pingAnswerLimit + 500ms);
    ::kill(unit->pid(), SIGCONT);
}

} // namespace
