#include "protocol/Command.h"

#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using unitwire::Bytes;
using unitwire::integer;

namespace {

std::unique_ptr<Command> decode(const Bytes& body) {
    return Command::decode(body.data(), body.size());
}

Bytes encode(const Command& command) {
    Bytes out(command.size());
    EXPECT_EQ(command.write(out.data(), out.size()), out.size());
    return out;
}

struct Handler {
    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket reply;
    ParameterValueMap cache;

    void handle(const Command& command) { command.handle(cache, device, reply); }
};

} // namespace

TEST(CommandDecoding, RejectsUnknownCodesAndMessagesTheHostNeverReceives) {
    for (const std::uint8_t code : {18, 127, 128, 255}) {
        EXPECT_EQ(thrownMessage<VerloException>([&] {
                      decode({code, 0, 0, 0, 0});
                  }),
                  "unrecognized command type");
    }
    for (const std::uint8_t code : {2, 3, 5, 6, 7, 9, 11, 16, 17}) {
        EXPECT_EQ(thrownMessage<VerloException>([&] { decode({code}); }), "unrecognized message")
            << int{code};
    }
    EXPECT_EQ(thrownMessage<VerloException>([] { Command::decode(nullptr, 0); }),
              "missing command type in buffer");
    const auto data = decode({unitwire::DownloadData, 1, 2, 3});
    EXPECT_EQ(dynamic_cast<DownloadDataCommand&>(*data).bytes(), (Bytes{1, 2, 3}));
}

TEST(ParameterListCommands, StatusDecodesPairsUpToTheEndOfTheBody) {
    EXPECT_TRUE(dynamic_cast<StatusCommand&>(*decode({unitwire::Status})).values().empty());

    const auto status = decode(unitwire::body(
        unitwire::GetAllResponse, {{0x0102, integer(-2)}, {0x0301, "v1.2"}, {0x0303, ""}}));
    EXPECT_EQ(status->commandType().code(), CommandType::GetAllResponse);
    EXPECT_EQ(dynamic_cast<StatusCommand&>(*status).values(),
              (ParameterValueMap{{ParameterId(0x0102), ParameterValue(-2)},
                                 {ParameterId(0x0301), ParameterValue(std::string("v1.2"))},
                                 {ParameterId(0x0303), ParameterValue(std::string())}}));

    Bytes truncated = unitwire::body(unitwire::Status, {{0x0102, integer(7)}});
    truncated.pop_back();
    EXPECT_THROW(decode(truncated), VerloException);
    EXPECT_THROW(decode({unitwire::Status, 0x01}), VerloException) << "half an identifier";

    const Bytes setBody = unitwire::body(unitwire::Set);
    StatusCommand notAStatus;
    EXPECT_EQ(thrownMessage<VerloException>([&] { notAStatus.read(setBody.data(), 1); }),
              "incorrect status command type");
    SetCommand notASet;
    EXPECT_EQ(
        thrownMessage<VerloException>([&] { notASet.read(Bytes{unitwire::Status}.data(), 1); }),
        "incorrect command type");
}

TEST(ParameterListCommands, SetEncodesPairsInIdentifierOrderAfterCheckingRoom) {
    EXPECT_EQ(encode(SetCommand(ParameterId(0x0305), ParameterValue(0x1234))),
              (Bytes{unitwire::Set, 0x03, 0x05, 0, 0x12, 0x34}));
    const SetCommand set({{ParameterId(0x0502), ParameterValue(std::string("abc"))},
                          {ParameterId(0x0301), ParameterValue(-1)}});
    EXPECT_EQ(encode(set), unitwire::body(unitwire::Set, {{0x0301, integer(-1)}, {0x0502, "abc"}}));

    Bytes buffer(set.size() - 1, 0xEE);
    EXPECT_EQ(thrownMessage<VerloException>([&] { set.write(buffer.data(), buffer.size()); }),
              "not enough room for command in buffer");
    EXPECT_EQ(buffer, Bytes(set.size() - 1, 0xEE)) << "nothing written";
    EXPECT_EQ(thrownMessage<VerloException>([&] { GetAllCommand().write(buffer.data(), 0); }),
              "no room for command type in buffer");
}

TEST(ParameterListCommands, HandleStoresIntoTheCacheReplacingOldValues) {
    Handler handler;
    handler.cache[ParameterId(0x0101)] = ParameterValue(1);
    handler.cache[ParameterId(0x0102)] = ParameterValue(2);
    handler.handle(
        *decode(unitwire::body(unitwire::Status, {{0x0102, integer(20)}, {0x0103, integer(30)}})));
    EXPECT_EQ(handler.cache, (ParameterValueMap{{ParameterId(0x0101), ParameterValue(1)},
                                                {ParameterId(0x0102), ParameterValue(20)},
                                                {ParameterId(0x0103), ParameterValue(30)}}));
}

TEST(StatusCodeReplies, ErrorRaisesHostExceptionWithTheUnitsMessage) {
    Handler handler;
    const auto messageFor = [&](std::uint16_t code) {
        const auto error = decode(unitwire::statusCodeBody(unitwire::Error, code));
        return thrownMessage<HostException>([&] { handler.handle(*error); });
    };
    EXPECT_EQ(messageFor(2), "Error: Illegal Parameter Value");
    EXPECT_EQ(messageFor(1), "Error: Illegal Parameter Id");
    EXPECT_EQ(messageFor(0), "Error: Host Error");
    for (const Bytes& shortBody : {Bytes{unitwire::Error}, Bytes{unitwire::Error, 0, 0, 2}}) {
        EXPECT_EQ(thrownMessage<VerloException>([&] { decode(shortBody); }),
                  "error type id not found in buffer");
    }
}

TEST(StatusCodeReplies, FlashOperationDoneNeedsFiveBytesAndFailsOnNonZeroCodes) {
    const Bytes full = unitwire::statusCodeBody(unitwire::FlashOperationDone, 0);
    EXPECT_EQ(thrownMessage<FlashException>([&] { decode(Bytes(full.begin(), full.begin() + 3)); }),
              "Missing flash operation success code");
    EXPECT_EQ(thrownMessage<VerloException>([&] { decode(Bytes(full.begin(), full.begin() + 4)); }),
              "error type id not found in buffer");

    Handler handler;
    EXPECT_NO_THROW(handler.handle(*decode(full)));
    const auto failed = decode(unitwire::statusCodeBody(unitwire::FlashOperationDone, 1));
    EXPECT_EQ(thrownMessage<FlashException>([&] { handler.handle(*failed); }),
              "Error: The client should retry the operation");
}

TEST(LogCommands, TextGoesToTheLogSlotReplacingTheLastLog) {
    Handler handler;
    handler.handle(*decode(unitwire::textBody(unitwire::EventLog, "boot\r\nlock 48k")));
    EXPECT_EQ(handler.cache.at(ParameterId(0xFFFF)).toString(), "boot\r\nlock 48k");
    handler.handle(*decode({unitwire::ErrorLog}));
    EXPECT_EQ(handler.cache,
              (ParameterValueMap{{ParameterId(0xFFFF), ParameterValue(std::string())}}));
}

TEST(SimpleCommands, EncodeAsTheirTypeAndPingRequestIsAnsweredThroughTheReplyLink) {
    EXPECT_EQ(encode(EraseFlashCommand()), (Bytes{unitwire::EraseFlash}));
    EXPECT_EQ(encode(LogRequestCommand(CommandType::lookUp(CommandType::GetErrorLog))),
              (Bytes{unitwire::GetErrorLog}));
    const std::uint8_t block[] = {0xDE, 0xAD, 0x00};
    EXPECT_EQ(encode(DownloadDataCommand(block, 3)),
              (Bytes{unitwire::DownloadData, 0xDE, 0xAD, 0}));

    Handler handler;
    handler.handle(*decode({unitwire::PingRequest}));
    EXPECT_EQ(handler.transport.written(), unitwire::packet({unitwire::PingResponse}));
}
