#include "protocol/QUIPProtocol.h"

#include "base/VerloException.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"
#include "support/ManualClock.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedDevice.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace unitwire;

namespace {

const Bytes getAllResponse = packet(body(GetAllResponse, {{0x0302, "en"}}));

Bytes statusPacket(std::uint16_t id, int value) {
    return packet(body(Status, {{id, integer(value)}}));
}
Bytes flashDone(std::uint16_t code) {
    return packet(statusCodeBody(FlashOperationDone, code));
}

// A TCP connection whose unit has already sent what the test scripts: the
// host takes nothing in before it has written its request.
struct PacketConnection {
    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket link;
    ManualClock clock;
};

class QUIPProtocolTest : public ::testing::Test, protected PacketConnection {
protected:
    // Connects, the unit answering the Get All, and forgets the traffic so far.
    QUIPProtocolTest() {
        transport.unitSends(getAllResponse);
        protocol = std::make_unique<QUIPProtocol>(device, link, clock);
        EXPECT_EQ(transport.written, packet({GetAll}));
        transport.written.clear();
        transport.timeouts.clear();
    }

    std::unique_ptr<QUIPProtocol> protocol;
};

} // namespace

TEST(QUIPProtocolGetAll, TheAnswerMustComeWithinTwentyMessages) {
    // A body of 1 + 2 + 2 + n bytes for one text pair of n characters.
    const Bytes status100 = packet(body(Status, {{0x0102, std::string(95, 't')}}));
    const Bytes status99 = packet(body(Status, {{0x0101, std::string(94, 's')}}));
    const std::pair<Bytes, bool> rows[] = {
        {join({repeated(18, packet({PingRequest})), getAllResponse}), true},
        {join({repeated(19, packet({PingRequest})), getAllResponse}), false},
        {{}, false},
        {join({status99, status100}), true},
        {status99, false},
    };
    for (const auto& [unit, connects] : rows) {
        PacketConnection connection;
        connection.transport.unitSends(unit);
        const std::string failure = failureOf<ProtocolException>(
            [&] { QUIPProtocol(connection.device, connection.link, connection.clock); });
        EXPECT_EQ(failure, connects ? "" : "No response to 'Get All' request") << unit.size();
        EXPECT_EQ(connection.transport.timeouts.front(), 2000u);
    }
}

TEST_F(QUIPProtocolTest, PollingTakesInOneMessageAtMostOrTakesInAll) {
    transport.unitSends(join({statusPacket(0x0101, 44), statusPacket(0x0101, 96)}));
    ParameterValueMap result;
    protocol->getValues({ParameterId(0x0101), ParameterId(0x0199)}, result);
    EXPECT_EQ(result, (ParameterValueMap{{ParameterId(0x0101), ParameterValue(44)},
                                         {ParameterId(0x0199), ParameterValue()}}));
    // 1 ms for a message to start, the packet's own wait for its body, 2000 ms
    // to handle it, back to 1 ms, and 2000 ms for what follows.
    EXPECT_EQ(transport.timeouts, (std::vector<std::uint32_t>{1, 10000, 2000, 1, 2000}));
    protocol->getValues({ParameterId(0x0101)}, result);
    EXPECT_EQ(result.at(ParameterId(0x0101)), ParameterValue(96));

    // Everything waiting is taken in, in order, leaving nothing queued; a
    // second call finds nothing.
    for (int level = 1; level <= 12; ++level) {
        transport.unitSends(statusPacket(0x0106, level));
    }
    EXPECT_EQ(protocol->takeInPending(), 12u);
    EXPECT_EQ(protocol->getValue(ParameterId(0x0106)), ParameterValue(12));
    EXPECT_EQ(transport.unread(), 0u);
    EXPECT_EQ(protocol->takeInPending(), 0u);
}

// Each row: seconds passed before a poll, whether the unit sent a message
// just before it, and what the poll does: nothing, ping (without waiting for
// the answer) or fail; the last field repeats the row that many polls.
TEST_F(QUIPProtocolTest, PollingPingsASilentUnitAndGivesUpAnUnansweredPing) {
    enum Then { Nothing, Pings, Fails };
    const struct {
        int seconds;
        bool unitTalks;
        Then then;
        int times = 1;
    } rows[] = {
        {1, false, Nothing},
        {1, false, Pings},   // silent for two seconds
        {1, false, Nothing}, // the ping is on its way
        {0, true, Nothing},
        {1, false, Nothing},
        {1, false, Pings},
        {1, true, Nothing}, // a late answer still counts
        // A unit that talks is still pinged every fifteen seconds.
        {1, true, Nothing, 14},
        {1, true, Pings},
        {1, true, Nothing},
        {2, false, Pings},
        {1, false, Nothing},
        {1, false, Fails},
        {0, false, Fails}, // at once again: a retry does not wait
        {0, true, Nothing},
    };
    int poll = 0;
    for (const auto& [seconds, unitTalks, then, times] : rows) {
        for (int time = 0; time < times; ++time) {
            ++poll;
            clock.advance(std::chrono::seconds(seconds));
            if (unitTalks) {
                transport.unitSends(statusPacket(0x0101, poll));
            }
            transport.written.clear();
            ParameterValueMap result;
            const std::string failure =
                failureOf<ProtocolException>([&] { protocol->getValues({}, result); });
            EXPECT_EQ(failure, then == Fails ? "Lost Connection to the Device" : "")
                << "poll " << poll;
            EXPECT_EQ(transport.written, then == Pings ? packet({PingRequest}) : Bytes())
                << "poll " << poll;
        }
    }
}

TEST_F(QUIPProtocolTest, ASetWaitsForAStatusNamingAWrittenIdentifier) {
    const Bytes later = statusPacket(0x0103, 1);
    transport.unitSends(
        join({statusPacket(0x0101, 1),
              packet(body(Status, {{0x0301, integer(5)}, {0x0102, integer(9)}})), later}));
    protocol->setValue(ParameterId(0x0301), ParameterValue(5), 250);
    EXPECT_EQ(transport.written, packet(body(Set, {{0x0301, integer(5)}})));
    EXPECT_EQ(protocol->getValue(ParameterId(0x0102)), ParameterValue(9));
    EXPECT_EQ(transport.unread(), later.size()) << "the wait ends at the confirming Status";
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{
                                  std::chrono::milliseconds(0), std::chrono::milliseconds(250)}));
}

TEST_F(QUIPProtocolTest, AnUnconfirmedSetEndsAtATimeoutOrAfterThreeHundredMessages) {
    transport.unitSends(statusPacket(0x0102, 2));
    protocol->setValues({{ParameterId(0x0301), ParameterValue(1)},
                         {ParameterId(0x0302), ParameterValue(std::string("fr"))}},
                        40);
    EXPECT_EQ(transport.written, packet(body(Set, {{0x0301, integer(1)}, {0x0302, "fr"}})));
    EXPECT_EQ(protocol->getValue(ParameterId(0x0102)), ParameterValue(2));
    EXPECT_EQ(clock.sleeps().back(), std::chrono::milliseconds(40));
    EXPECT_EQ(transport.timeouts.back(), 2000u) << "each reply read is bounded";

    for (int i = 0; i < 400; ++i) {
        transport.unitSends(statusPacket(0x0101, i));
    }
    protocol->setValue(ParameterId(0x0301), ParameterValue(1), 0);
    EXPECT_EQ(protocol->getValue(ParameterId(0x0101)), ParameterValue(299));
    EXPECT_EQ(transport.unread(), 100 * statusPacket(0x0101, 0).size());

    // Other messages do not extend the wait: it ends two seconds after the Set
    // went out, each read bounded by what is left of them.
    transport.timeouts.clear();
    transport.onRead = [this] { clock.advance(std::chrono::milliseconds(150)); };
    protocol->setValue(ParameterId(0x0301), ParameterValue(1), 0);
    EXPECT_EQ(protocol->getValue(ParameterId(0x0101)), ParameterValue(306));
    std::erase(transport.timeouts, 10000u); // the packet's own wait for its body
    EXPECT_EQ(transport.timeouts,
              (std::vector<std::uint32_t>{2000, 1700, 1400, 1100, 800, 500, 200}));
}

TEST_F(QUIPProtocolTest, EachFlashStepNeedsItsReplyWithinThreeHundredMessages) {
    const std::uint8_t block[] = {7};
    const auto download = [&](std::uint32_t number, bool burn) {
        transport.written.clear();
        transport.timeouts.clear();
        return failureOf<VerloException>([&] { protocol->downloadBlock(block, 1, number, burn); });
    };
    EXPECT_EQ(download(0, false), "Expected response not received");
    transport.unitSends(join({repeated(298, statusPacket(0x0101, 5)), flashDone(0)}));
    EXPECT_EQ(download(0, false), "");
    EXPECT_EQ(protocol->getValue(ParameterId(0x0101)), ParameterValue(5)) << "handled meanwhile";
    transport.unitSends(join({repeated(299, statusPacket(0x0101, 0)), flashDone(0)}));
    EXPECT_EQ(download(0, false), "Expected response not received");
    EXPECT_EQ(transport.unread(), 0u);

    transport.unitSends(join({flashDone(2), flashDone(0)}));
    EXPECT_EQ(download(1, true), "Error: The unit needs to be returned to Verlo for servicing");
    EXPECT_EQ(transport.written, packet({EraseFlash})) << "nothing after the failed step";
    EXPECT_EQ(transport.timeouts.front(), 30000u);
}

TEST_F(QUIPProtocolTest, AFileGoesOutInBlocksOnlyTheFirstErasingAndLogsAreTheirRepliesText) {
    TemporaryDirectory folder;
    RecordingProgress progress;
    transport.unitSends(repeated(3, flashDone(0)));
    protocol->downloadFile(folder.write("image.bin", Bytes(4097, 0xA5)), progress);
    Bytes first(4097, 0xA5);
    first[0] = DownloadData;
    EXPECT_EQ(transport.written,
              join({packet({EraseFlash}), packet(first), packet({DownloadData, 0xA5})}));
    EXPECT_EQ(progress.percents, (std::vector<std::uint32_t>{99, 100}));

    transport.written.clear();
    transport.unitSends(
        join({packet(textBody(EventLog, "boot")), packet(textBody(ErrorLog, "fan"))}));
    EXPECT_EQ(protocol->getEventLog(), "boot");
    EXPECT_EQ(protocol->getErrorLog(), "fan");
    EXPECT_EQ(transport.written, join({packet({GetEventLog}), packet({GetErrorLog})}));
}

// Connections on several threads open, turn an "Error" reply into its text
// through the shared tables and close, so closes overlap others' look-ups.
TEST(SharedStatusCodes, ConnectionsOpenAndCloseConcurrently) {
    std::atomic<int> wrongMessages{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                PacketConnection connection;
                connection.transport.unitSends(
                    join({getAllResponse, packet(statusCodeBody(Error, 3))}));
                QUIPProtocol protocol(connection.device, connection.link, connection.clock);
                wrongMessages += thrownMessage<HostException>([&] {
                                     protocol.setValue(ParameterId(0x0300), ParameterValue(1), 0);
                                 }) != "Error: Conflicting Parameter Values";
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrongMessages, 0);
}
