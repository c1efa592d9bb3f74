#include "protocol/Command.h"

#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ScriptedDevice.h"
#include "support/UnitWire.h"

#include <gmock/gmock.h>
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

// Runs code and returns the message of the exception of type E it must raise.
template <typename E, typename F> std::string messageOf(F&& code) {
    try {
        code();
    } catch (const E& error) {
        return error.what();
    }
    ADD_FAILURE() << "nothing was thrown";
    return {};
}

struct HandleContext {
    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket reply;
    ParameterValueMap cache;

    void handle(const Command& command) { command.handle(cache, device, reply); }
};

} // namespace

TEST(CommandType, RegistryHoldsEighteenNamedCodes) {
    const std::vector<std::string> names = {"Ping Request",
                                            "Ping Response",
                                            "Set",
                                            "GetAll",
                                            "Status",
                                            "Miniumum",
                                            "Maximum",
                                            "Enable",
                                            "Error",
                                            "Erase Flash",
                                            "Download Data",
                                            "Burn And Reboot",
                                            "Flash Operation Done",
                                            "Event Log",
                                            "Error Log",
                                            "Get All Response",
                                            "Get Event Log",
                                            "Get Error Log"};
    ASSERT_EQ(names.size(), CommandType::count);
    for (std::uint8_t code = 0; code < CommandType::count; ++code) {
        const CommandType& type = CommandType::lookUp(code);
        EXPECT_EQ(type.code(), code);
        EXPECT_EQ(type.name(), names[code]);
        EXPECT_EQ(&type, &CommandType::lookUp(code)) << "records are made once";
    }
    EXPECT_EQ(messageOf<VerloException>([] { CommandType::lookUp(18); }),
              "unrecognized command type");
}

TEST(CommandDecoding, RejectsCodesOutsideTheRegistryAndMessagesTheHostNeverReceives) {
    for (const std::uint8_t code : {18, 127, 128, 255}) {
        EXPECT_EQ(messageOf<VerloException>([&] {
                      decode({code, 0, 0, 0, 0});
                  }),
                  "unrecognized command type")
            << int{code};
    }
    for (const std::uint8_t code : {2, 3, 5, 6, 7, 9, 11, 16, 17}) {
        EXPECT_EQ(messageOf<VerloException>([&] { decode({code}); }), "unrecognized message")
            << int{code};
    }
    EXPECT_EQ(messageOf<VerloException>([] { Command::decode(nullptr, 0); }),
              "missing command type in buffer");
}

TEST(CommandDecoding, BuildsTheCommandOfEachUnitMessage) {
    EXPECT_EQ(decode({unitwire::PingRequest})->commandType().code(), CommandType::PingRequest);
    EXPECT_EQ(decode({unitwire::PingResponse})->commandType().code(), CommandType::PingResponse);
    EXPECT_EQ(decode(unitwire::body(unitwire::GetAllResponse))->commandType().code(),
              CommandType::GetAllResponse);
    EXPECT_EQ(decode(unitwire::textBody(unitwire::ErrorLog, "x"))->commandType().code(),
              CommandType::ErrorLog);

    const auto data = decode({unitwire::DownloadData, 1, 2, 3});
    ASSERT_NE(dynamic_cast<DownloadDataCommand*>(data.get()), nullptr);
    EXPECT_EQ(static_cast<DownloadDataCommand&>(*data).bytes(),
              (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(ParameterListCommands, StatusDecodesEveryPairUpToTheEndOfTheBody) {
    const auto empty = decode(unitwire::body(unitwire::Status));
    EXPECT_TRUE(dynamic_cast<StatusCommand&>(*empty).values().empty());

    const auto status = decode(
        unitwire::body(unitwire::Status, {{0x0102, integer(-2)}, {0x0301, "v1.2"}, {0x0303, ""}}));
    const auto& values = dynamic_cast<StatusCommand&>(*status).values();
    EXPECT_EQ(values, (ParameterValueMap{{ParameterId(0x0102), ParameterValue(-2)},
                                         {ParameterId(0x0301), ParameterValue(std::string("v1.2"))},
                                         {ParameterId(0x0303), ParameterValue(std::string())}}));
    EXPECT_TRUE(status->contains(ParameterId(0x0301)));
    EXPECT_FALSE(status->contains(ParameterId(0x0302)));

    Bytes truncated = unitwire::body(unitwire::Status, {{0x0102, integer(7)}});
    truncated.pop_back();
    EXPECT_THROW(decode(truncated), VerloException);
    EXPECT_THROW(decode({unitwire::Status, 0x01}), VerloException) << "half an identifier";
}

TEST(ParameterListCommands, StatusAndSetInsistOnTheirOwnTypes) {
    const Bytes setBody = unitwire::body(unitwire::Set, {{0x0301, integer(1)}});
    StatusCommand status;
    EXPECT_EQ(messageOf<VerloException>([&] { status.read(setBody.data(), setBody.size()); }),
              "incorrect status command type");
    const Bytes statusBody = unitwire::body(unitwire::Status);
    SetCommand set;
    EXPECT_EQ(messageOf<VerloException>([&] { set.read(statusBody.data(), statusBody.size()); }),
              "incorrect command type");
    EXPECT_EQ(
        messageOf<VerloException>([] { StatusCommand(CommandType::lookUp(CommandType::Set)); }),
        "incorrect status command type");
}

TEST(ParameterListCommands, SetEncodesPairsInIdentifierOrder) {
    EXPECT_EQ(encode(SetCommand(ParameterId(0x0305), ParameterValue(0x1234))),
              (Bytes{2, 0x03, 0x05, 0, 0x12, 0x34}));

    const SetCommand set(
        ParameterValueMap{{ParameterId(0x0502), ParameterValue(std::string("abc"))},
                          {ParameterId(0x0301), ParameterValue(-1)}});
    EXPECT_EQ(encode(set), unitwire::body(unitwire::Set, {{0x0301, integer(-1)}, {0x0502, "abc"}}));

    SetCommand decoded;
    const Bytes wire = encode(set);
    EXPECT_EQ(decoded.read(wire.data(), wire.size()), wire.size());
    EXPECT_EQ(decoded.values(), set.values());
}

TEST(ParameterListCommands, WriteChecksRoomBeforeWriting) {
    const SetCommand set(ParameterId(0x0301), ParameterValue(5));
    Bytes buffer(set.size() - 1, 0xEE);
    EXPECT_EQ(messageOf<VerloException>([&] { set.write(buffer.data(), buffer.size()); }),
              "not enough room for command in buffer");
    EXPECT_EQ(buffer, Bytes(set.size() - 1, 0xEE)) << "nothing written";
    EXPECT_EQ(messageOf<VerloException>([&] { set.write(buffer.data(), 0); }),
              "no room for command type in buffer");
    EXPECT_EQ(messageOf<VerloException>([&] { GetAllCommand().write(buffer.data(), 0); }),
              "no room for command type in buffer");
}

TEST(ParameterListCommands, SetIsAnsweredByAReplyNamingAnyWrittenIdentifier) {
    const SetCommand set(ParameterValueMap{{ParameterId(0x0301), ParameterValue(1)},
                                           {ParameterId(0x0302), ParameterValue(2)}});
    const StatusCommand other(CommandType::lookUp(CommandType::Status),
                              {{ParameterId(0x0303), ParameterValue(1)}});
    const StatusCommand naming(
        CommandType::lookUp(CommandType::Status),
        {{ParameterId(0x0100), ParameterValue(1)}, {ParameterId(0x0302), ParameterValue(9)}});
    EXPECT_TRUE(set.isAnsweredBy(naming));
    EXPECT_FALSE(set.isAnsweredBy(other));
    EXPECT_FALSE(set.isAnsweredBy(StatusCommand()));
    EXPECT_FALSE(set.isAnsweredBy(PingResponseCommand()));
}

TEST(ParameterListCommands, HandleStoresIntoTheCacheReplacingOldValues) {
    HandleContext context;
    context.cache[ParameterId(0x0101)] = ParameterValue(1);
    context.cache[ParameterId(0x0102)] = ParameterValue(2);
    context.handle(
        *decode(unitwire::body(unitwire::Status, {{0x0102, integer(20)}, {0x0103, integer(30)}})));
    EXPECT_EQ(context.cache, (ParameterValueMap{{ParameterId(0x0101), ParameterValue(1)},
                                                {ParameterId(0x0102), ParameterValue(20)},
                                                {ParameterId(0x0103), ParameterValue(30)}}));
    context.handle(SetCommand(ParameterId(0x0101), ParameterValue(11)));
    EXPECT_EQ(context.cache[ParameterId(0x0101)], ParameterValue(11));
    EXPECT_TRUE(context.transport.written().empty());
}

TEST(StatusCodeReplies, ErrorRaisesHostExceptionWithTheUnitsMessage) {
    HandleContext context;
    const auto messageFor = [&](std::uint16_t code) {
        const auto error = decode(unitwire::statusCodeBody(unitwire::Error, code));
        return messageOf<HostException>([&] { context.handle(*error); });
    };
    EXPECT_EQ(messageFor(2), "Error: Illegal Parameter Value");
    EXPECT_EQ(messageFor(1), "Error: Illegal Parameter Id");
    EXPECT_EQ(messageFor(3), "Error: Conflicting Parameter Values");
    EXPECT_EQ(messageFor(0), "Error: Host Error");
    EXPECT_EQ(messageFor(0x0200), "Error: Host Error");

    for (const Bytes& shortBody : {Bytes{unitwire::Error}, Bytes{unitwire::Error, 0, 0, 2}}) {
        EXPECT_EQ(messageOf<VerloException>([&] { decode(shortBody); }),
                  "error type id not found in buffer");
    }
    EXPECT_EQ(encode(ErrorCommand(2)), (Bytes{unitwire::Error, 0, 0, 0, 2}));
}

TEST(StatusCodeReplies, FlashOperationDoneNeedsFiveBytesAndFailsOnNonZeroCodes) {
    const Bytes full = unitwire::statusCodeBody(unitwire::FlashOperationDone, 0);
    EXPECT_EQ(messageOf<FlashException>([&] { decode(Bytes(full.begin(), full.begin() + 3)); }),
              "Missing flash operation success code");
    const std::string fourBytes =
        messageOf<VerloException>([&] { decode(Bytes(full.begin(), full.begin() + 4)); });
    EXPECT_EQ(fourBytes, "error type id not found in buffer");

    HandleContext context;
    EXPECT_NO_THROW(context.handle(*decode(full)));
    const auto messageFor = [&](std::uint16_t code) {
        const auto done = decode(unitwire::statusCodeBody(unitwire::FlashOperationDone, code));
        return messageOf<FlashException>([&] { context.handle(*done); });
    };
    EXPECT_EQ(messageFor(1), "Error: The client should retry the operation");
    EXPECT_EQ(messageFor(2), "Error: The unit needs to be returned to Verlo for servicing");
    EXPECT_EQ(messageFor(0xFFFF), "Error: Host Error");
}

TEST(LogCommands, TextGoesToTheLogSlotReplacingTheLastLog) {
    HandleContext context;
    context.handle(*decode(unitwire::textBody(unitwire::EventLog, "boot\r\nlock 48k")));
    EXPECT_EQ(context.cache.at(ParameterId(0xFFFF)).toString(), "boot\r\nlock 48k");
    context.handle(*decode({unitwire::EventLog}));
    EXPECT_EQ(context.cache.at(ParameterId(0xFFFF)).toString(), "");
    EXPECT_EQ(context.cache.size(), 1u);

    const LogCommand log(CommandType::lookUp(CommandType::ErrorLog), "fault");
    EXPECT_EQ(encode(log), unitwire::textBody(unitwire::ErrorLog, "fault"));
    EXPECT_THROW(LogCommand(CommandType::lookUp(CommandType::Status)), VerloException);
    EXPECT_THROW(LogRequestCommand(CommandType::lookUp(CommandType::EventLog)), VerloException);
    EXPECT_EQ(encode(LogRequestCommand(CommandType::lookUp(CommandType::GetErrorLog))),
              (Bytes{unitwire::GetErrorLog}));
}

TEST(SimpleCommands, EncodeAsTheirTypeByteAndPingRequestAnswersThroughTheReplyLink) {
    EXPECT_EQ(encode(GetAllCommand()), (Bytes{unitwire::GetAll}));
    EXPECT_EQ(encode(EraseFlashCommand()), (Bytes{unitwire::EraseFlash}));
    EXPECT_EQ(encode(BurnAndRebootCommand()), (Bytes{unitwire::BurnAndReboot}));
    const std::uint8_t block[] = {0xDE, 0xAD, 0x00};
    EXPECT_EQ(encode(DownloadDataCommand(block, 3)),
              (Bytes{unitwire::DownloadData, 0xDE, 0xAD, 0}));

    HandleContext context;
    context.handle(*decode({unitwire::PingRequest}));
    EXPECT_EQ(context.transport.written(), unitwire::packet({unitwire::PingResponse}));
    EXPECT_TRUE(context.cache.empty());
}
