#include "protocol/QUIPProtocol.h"

#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ManualClock.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedDevice.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using unitwire::Bytes;
using unitwire::integer;

namespace {

const Bytes getAllBody{unitwire::GetAll};

Bytes getAllResponse() {
    return unitwire::packet(unitwire::body(
        unitwire::GetAllResponse, {{0x0101, integer(48)}, {0x0301, integer(2)}, {0x0302, "en"}}));
}

Bytes statusPacket(const std::vector<unitwire::Pair>& pairs) {
    return unitwire::packet(unitwire::body(unitwire::Status, pairs));
}

// Answers each packet the host completes with whatever the test decides.
class Responder {
public:
    explicit Responder(ScriptedDevice& transport) {
        transport.onWrite([this](ScriptedDevice& device, const Bytes&) {
            const auto bodies = unitwire::splitPackets(device.written(), true);
            for (; handled_ < bodies.size(); ++handled_) {
                received.push_back(bodies[handled_]);
                if (answer) {
                    device.unitSends(answer(bodies[handled_]));
                }
            }
        });
    }

    std::function<Bytes(const Bytes& body)> answer;
    std::vector<Bytes> received;

private:
    std::size_t handled_ = 0;
};

class ProtocolTest : public ::testing::Test {
protected:
    std::unique_ptr<QUIPProtocol> connect() {
        transport.unitSends(getAllResponse());
        auto protocol = std::make_unique<QUIPProtocol>(device, link, clock);
        transport.clearWritten();
        return protocol;
    }

    std::vector<Bytes> hostBodies() const { return unitwire::splitPackets(transport.written()); }

    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket link;
    ManualClock clock;
};

} // namespace

TEST_F(ProtocolTest, ConstructionReadsEveryValue) {
    transport.unitSends(getAllResponse());
    QUIPProtocol protocol(device, link, clock);
    EXPECT_EQ(hostBodies(), std::vector<Bytes>{getAllBody});
    EXPECT_EQ(transport.timeouts().front(), 2000u);
    EXPECT_EQ(protocol.getValue(ParameterId(0x0101)), ParameterValue(48));
    EXPECT_EQ(protocol.getValue(ParameterId(0x0302)), ParameterValue(std::string("en")));
    EXPECT_EQ(protocol.getStatus().message(), "Ok");
    EXPECT_EQ(protocol.getStatus().success(), 1);
    EXPECT_TRUE(protocol.hasDevice());
}

TEST_F(ProtocolTest, GetAllToleratesNineteenMessagesButNotTwenty) {
    for (int i = 0; i < 18; ++i) {
        transport.unitSends(unitwire::packet({unitwire::PingRequest}));
    }
    transport.unitSends(getAllResponse());
    {
        QUIPProtocol protocol(device, link, clock);
        const auto bodies = hostBodies();
        ASSERT_EQ(bodies.size(), 19u);
        EXPECT_EQ(bodies[18], Bytes{unitwire::PingResponse}) << "every ping is answered";
    }

    for (int i = 0; i < 19; ++i) {
        transport.unitSends(unitwire::packet({unitwire::PingRequest}));
    }
    transport.unitSends(getAllResponse());
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { QUIPProtocol(device, link, clock); }),
              "No response to 'Get All' request");

    ScriptedDevice silent;
    SerialDevice silentDevice(silent);
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { QUIPProtocol(silentDevice, link, clock); }),
              "No response to 'Get All' request");
}

TEST_F(ProtocolTest, AStatusOfAtLeastOneHundredBytesAlsoCompletesGetAll) {
    // A body of 1 + 2 + 2 + n bytes for one text pair of n characters.
    transport.unitSends(statusPacket({{0x0101, std::string(94, 's')}}));
    transport.unitSends(statusPacket({{0x0102, std::string(95, 't')}}));
    QUIPProtocol protocol(device, link, clock);
    EXPECT_EQ(protocol.getValue(ParameterId(0x0102)).length(), 95u);
    EXPECT_EQ(transport.unread(), 0u);

    transport.unitSends(statusPacket({{0x0101, std::string(94, 's')}}));
    EXPECT_THROW(QUIPProtocol(device, link, clock), ProtocolException) << "99 bytes are not enough";
}

TEST_F(ProtocolTest, PollingTakesInAtMostOnePendingMessage) {
    auto protocol = connect();
    transport.unitSends(statusPacket({{0x0101, integer(44)}}));
    transport.unitSends(statusPacket({{0x0101, integer(96)}}));

    const std::size_t settings = transport.timeouts().size();
    ParameterValueMap result;
    protocol->getValues({ParameterId(0x0101), ParameterId(0x0199)}, result);
    EXPECT_EQ(result, (ParameterValueMap{{ParameterId(0x0101), ParameterValue(44)},
                                         {ParameterId(0x0199), ParameterValue()}}));
    // 1 ms for a message to start, the packet's own wait for its body, 2000 ms
    // to handle it, back to 1 ms, and 2000 ms for what follows.
    EXPECT_EQ(std::vector<std::uint32_t>(transport.timeouts().begin() +
                                             static_cast<std::ptrdiff_t>(settings),
                                         transport.timeouts().end()),
              (std::vector<std::uint32_t>{1, 10000, 2000, 1, 2000}));
    EXPECT_TRUE(transport.written().empty());

    protocol->getValues({ParameterId(0x0101)}, result);
    EXPECT_EQ(result.at(ParameterId(0x0101)), ParameterValue(96));

    ParameterValueMap empty;
    protocol->getValues({}, empty);
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(transport.written().empty());
}

TEST_F(ProtocolTest, PingsOnlyWhenMoreThanFifteenSecondsHavePassed) {
    auto protocol = connect();
    ParameterValueMap result;
    clock.advance(15);
    protocol->getValues({}, result);
    EXPECT_TRUE(transport.written().empty());

    clock.advance(1);
    transport.unitSends(unitwire::packet({unitwire::PingResponse}));
    protocol->getValues({}, result);
    EXPECT_EQ(hostBodies(), std::vector<Bytes>{Bytes{unitwire::PingRequest}});
    EXPECT_EQ(transport.unread(), 0u) << "the ping's answer was read";

    transport.clearWritten();
    clock.advance(15);
    protocol->getValues({}, result);
    EXPECT_TRUE(transport.written().empty()) << "the interval restarts at the ping";
}

TEST_F(ProtocolTest, SetWaitsForAStatusNamingAWrittenIdentifier) {
    auto protocol = connect();
    Responder unit(transport);
    unit.answer = [](const Bytes&) {
        Bytes out = statusPacket({{0x0101, integer(1)}});
        const Bytes naming = statusPacket({{0x0301, integer(5)}, {0x0102, integer(9)}});
        out.insert(out.end(), naming.begin(), naming.end());
        const Bytes later = statusPacket({{0x0103, integer(1)}});
        out.insert(out.end(), later.begin(), later.end());
        return out;
    };
    protocol->setValue(ParameterId(0x0301), ParameterValue(5), 250);

    ASSERT_EQ(unit.received.size(), 1u);
    EXPECT_EQ(unit.received[0], unitwire::body(unitwire::Set, {{0x0301, integer(5)}}));
    EXPECT_EQ(protocol->getValue(ParameterId(0x0102)), ParameterValue(9));
    EXPECT_EQ(transport.unread(), statusPacket({{0x0103, integer(1)}}).size())
        << "the wait ends at the confirming Status";
    EXPECT_EQ(clock.sleeps(), (std::vector<std::uint32_t>{0, 250}));
}

TEST_F(ProtocolTest, UnconfirmedSetEndsAtATimeoutOrAfterThreeHundredMessages) {
    auto protocol = connect();
    transport.unitSends(statusPacket({{0x0102, integer(2)}}));
    protocol->setValues({{ParameterId(0x0301), ParameterValue(1)},
                         {ParameterId(0x0302), ParameterValue(std::string("fr"))}},
                        40);
    EXPECT_EQ(hostBodies(), std::vector<Bytes>{unitwire::body(
                                unitwire::Set, {{0x0301, integer(1)}, {0x0302, "fr"}})});
    EXPECT_EQ(protocol->getValue(ParameterId(0x0102)), ParameterValue(2));
    EXPECT_EQ(clock.sleeps().back(), 40u);
    EXPECT_EQ(transport.timeouts().back(), 2000u) << "each reply read is bounded";

    for (int i = 0; i < 400; ++i) {
        transport.unitSends(statusPacket({{0x0101, integer(i)}}));
    }
    protocol->setValue(ParameterId(0x0301), ParameterValue(1), 0);
    EXPECT_EQ(protocol->getValue(ParameterId(0x0101)), ParameterValue(299));
    EXPECT_EQ(transport.unread(), 100 * statusPacket({{0x0101, integer(0)}}).size());
}

TEST_F(ProtocolTest, ErrorReplyBecomesHostExceptionAndTheConnectionStaysUsable) {
    auto protocol = connect();
    transport.unitSends(unitwire::packet(unitwire::statusCodeBody(unitwire::Error, 2)));
    EXPECT_EQ(thrownMessage<HostException>(
                  [&] { protocol->setValue(ParameterId(0x0301), ParameterValue(99), 100); }),
              "Error: Illegal Parameter Value");
    EXPECT_EQ(clock.sleeps(), std::vector<std::uint32_t>{0}) << "no settle delay after a refusal";

    transport.unitSends(statusPacket({{0x0301, integer(3)}}));
    protocol->setValue(ParameterId(0x0301), ParameterValue(3), 0);
    EXPECT_EQ(protocol->getValue(ParameterId(0x0301)), ParameterValue(3));
}

TEST_F(ProtocolTest, FlashStepsEraseForBlockOneBurnWhenAskedAndStopAtAFailure) {
    auto protocol = connect();
    Responder unit(transport);
    unit.answer = [](const Bytes&) {
        return unitwire::packet(unitwire::statusCodeBody(unitwire::FlashOperationDone, 0));
    };
    const std::uint8_t block[] = {1, 2, 3};
    protocol->downloadBlock(block, 3, 1, false);
    protocol->downloadBlock(block, 3, 2, false);
    protocol->downloadBlock(block, 2, 3, true);

    const Bytes data{unitwire::DownloadData, 1, 2, 3};
    EXPECT_EQ(unit.received, (std::vector<Bytes>{{unitwire::EraseFlash},
                                                 data,
                                                 data,
                                                 {unitwire::DownloadData, 1, 2},
                                                 {unitwire::BurnAndReboot}}));
    EXPECT_EQ(std::count(transport.timeouts().begin(), transport.timeouts().end(), 30000u), 5);

    unit.received.clear();
    unit.answer = [](const Bytes&) {
        return unitwire::packet(unitwire::statusCodeBody(unitwire::FlashOperationDone, 2));
    };
    EXPECT_EQ(thrownMessage<FlashException>([&] { protocol->downloadBlock(block, 1, 1, true); }),
              "Error: The unit needs to be returned to Verlo for servicing");
    EXPECT_EQ(unit.received, std::vector<Bytes>{Bytes{unitwire::EraseFlash}}) << "nothing after it";
}

TEST_F(ProtocolTest, SpecificRepliesMustComeBeforeTheThreeHundredthMessage) {
    auto protocol = connect();
    const std::uint8_t block[] = {7};
    EXPECT_EQ(
        thrownMessage<ProtocolException>([&] { protocol->downloadBlock(block, 1, 0, false); }),
        "Expected response not received");

    const auto queue = [&](int others) {
        for (int i = 0; i < others; ++i) {
            transport.unitSends(statusPacket({{0x0101, integer(i)}}));
        }
        transport.unitSends(
            unitwire::packet(unitwire::statusCodeBody(unitwire::FlashOperationDone, 0)));
    };
    queue(298);
    EXPECT_NO_THROW(protocol->downloadBlock(block, 1, 0, false));
    EXPECT_EQ(protocol->getValue(ParameterId(0x0101)), ParameterValue(297)) << "handled meanwhile";

    queue(299);
    EXPECT_EQ(
        thrownMessage<ProtocolException>([&] { protocol->downloadBlock(block, 1, 0, false); }),
        "Expected response not received");
    EXPECT_EQ(transport.unread(), 0u);
}

TEST_F(ProtocolTest, LogsAreReturnedFromTheLogSlot) {
    auto protocol = connect();
    Responder unit(transport);
    unit.answer = [](const Bytes& body) {
        if (body == Bytes{unitwire::GetEventLog}) {
            return unitwire::packet(unitwire::textBody(unitwire::EventLog, "power on"));
        }
        return unitwire::packet(unitwire::textBody(unitwire::ErrorLog, "no lock"));
    };
    EXPECT_EQ(protocol->getEventLog(), "power on");
    EXPECT_EQ(protocol->getErrorLog(), "no lock");
    EXPECT_EQ(protocol->getValue(ParameterId(0xFFFF)), ParameterValue(std::string("no lock")));
    EXPECT_EQ(unit.received,
              (std::vector<Bytes>{{unitwire::GetEventLog}, {unitwire::GetErrorLog}}));
}

class DownloadFileTest : public ProtocolTest {
protected:
    void SetUp() override {
        protocol = connect();
        unit = std::make_unique<Responder>(transport);
        unit->answer = [](const Bytes&) {
            return unitwire::packet(unitwire::statusCodeBody(unitwire::FlashOperationDone, 0));
        };
    }

    // An image of size bytes counting through 0..250, so blocks differ.
    std::string writeImage(std::size_t size) {
        Bytes image(size);
        for (std::size_t i = 0; i < size; ++i) {
            image[i] = static_cast<std::uint8_t>(i % 251);
        }
        return directory.write("image.bin", image);
    }
    // Erase, download and burn requests in order, each as its type byte.
    std::vector<std::uint8_t> steps() const {
        std::vector<std::uint8_t> types;
        for (const auto& body : unit->received) {
            types.push_back(body.at(0));
        }
        return types;
    }

    std::unique_ptr<QUIPProtocol> protocol;
    std::unique_ptr<Responder> unit;
    RecordingProgress progress;
    TemporaryDirectory directory;
};

TEST_F(DownloadFileTest, WholeBlocksAreSentInOrderWithOneEraseAndNoBurn) {
    protocol->downloadFile(writeImage(3 * 4096), progress);
    EXPECT_EQ(steps(), (std::vector<std::uint8_t>{unitwire::EraseFlash, unitwire::DownloadData,
                                                  unitwire::DownloadData, unitwire::DownloadData}));
    EXPECT_EQ(progress.percents, (std::vector<std::uint32_t>{33, 66, 100}));
    ASSERT_EQ(unit->received[3].size(), 4097u);
    EXPECT_EQ(unit->received[3][1], static_cast<std::uint8_t>(8192 % 251));
}

TEST_F(DownloadFileTest, ShortAndUnevenFilesStillEraseExactlyOnce) {
    protocol->downloadFile(writeImage(100), progress);
    EXPECT_EQ(steps(), (std::vector<std::uint8_t>{unitwire::EraseFlash, unitwire::DownloadData}));
    EXPECT_EQ(progress.percents, std::vector<std::uint32_t>{100});

    unit->received.clear();
    progress.percents.clear();
    protocol->downloadFile(writeImage(5000), progress);
    EXPECT_EQ(steps(), (std::vector<std::uint8_t>{unitwire::EraseFlash, unitwire::DownloadData,
                                                  unitwire::DownloadData}));
    EXPECT_EQ(unit->received[2].size(), 1u + 904u);
    EXPECT_EQ(progress.percents, (std::vector<std::uint32_t>{81, 100}));
}

TEST_F(DownloadFileTest, EmptyAndMissingFiles) {
    protocol->downloadFile(writeImage(0), progress);
    EXPECT_TRUE(unit->received.empty());
    EXPECT_TRUE(progress.percents.empty());

    const std::string missing = (directory.path() / "absent.bin").string();
    EXPECT_EQ(thrownMessage<VerloException>([&] { protocol->downloadFile(missing, progress); }),
              "Error opening " + missing);
}

TEST(ProtocolOverFrames, GetAllSetAndDisconnectOverASerialLink) {
    ScriptedDevice transport;
    SerialDevice device(transport);
    QUIPFrame link;
    ManualClock clock;
    transport.unitSends(unitwire::ack());
    transport.unitSends(
        unitwire::dataFrame(unitwire::body(unitwire::GetAllResponse, {{0x0301, integer(1)}})));
    {
        QUIPProtocol protocol(device, link, clock);
        EXPECT_EQ(protocol.getValue(ParameterId(0x0301)), ParameterValue(1));

        transport.unitSends(unitwire::ack());
        transport.unitSends(
            unitwire::dataFrame(unitwire::body(unitwire::Status, {{0x0301, integer(2)}})));
        protocol.setValue(ParameterId(0x0301), ParameterValue(2), 0);
        EXPECT_EQ(protocol.getValue(ParameterId(0x0301)), ParameterValue(2));
        transport.clearWritten();
    }
    const auto frames = unitwire::splitFrames(transport.written());
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].type, QUIPFrame::Disconnect);
}
