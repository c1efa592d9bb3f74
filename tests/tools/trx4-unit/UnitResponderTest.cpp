#include "UnitResponder.h"

#include "protocol/Command.h"
#include "protocol/CommandType.h"
#include "protocol/QUIPPacket.h"

#include <gtest/gtest.h>

namespace {

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

UnitRequest request(const Command& command) {
    std::vector<std::uint8_t> body(command.size());
    command.write(body.data(), body.size());
    return UnitRequest::decode(body.data(), body.size());
}

class UnitResponderTest : public testing::Test {
protected:
    UnitState state{UnitState::catalogueRanges()};
    UnitOptions options;
    UnitResponder unit{state, *Scenario::find("multi-program"), options};
};

TEST_F(UnitResponderTest, TheLiveStatusCannotBeMistakenForAGetAllAnswer) {
    QUIPPacket packet;
    packet.setCommand(*unit.liveStatus(1.5));
    // A host takes a Status of 100 bytes or more as its Get All answer, and a
    // frame counts the packet's length field too.
    EXPECT_LT(packet.dataLength() + QUIPPacket::lengthFieldSize, 100u);
}

TEST_F(UnitResponderTest, AnswersAPing) {
    const auto ping = unit.respond(request(PingRequestCommand()), 0.0);
    EXPECT_EQ(ping.replies.at(0)->commandType().code(), CommandType::PingResponse);
}

TEST_F(UnitResponderTest, RefusedWritesChangeNothingAndCarryTheirStatusCode) {
    auto refusal = [this](ParameterValueMap values) {
        const auto outcome = unit.respond(request(SetCommand(std::move(values))), 0.0);
        return dynamic_cast<const ErrorCommand&>(*outcome.replies.at(0)).status().code;
    };
    EXPECT_EQ(refusal({{id(0x0303), ParameterValue(30)}, {id(0x0304), ParameterValue(161)}}), 2);
    options.setError = 3;
    EXPECT_EQ(refusal({{id(0x0303), ParameterValue(30)}}), 3);
    options.ignoreSet = true;
    EXPECT_TRUE(
        unit.respond(request(SetCommand({{id(0x0303), ParameterValue(30)}})), 0.0).replies.empty());
    EXPECT_EQ(*state.value(id(0x0303)), ParameterValue(20));
}

TEST_F(UnitResponderTest, AFailedBurnDoesNotReboot) {
    options.flashError = FlashFault{FlashStep::Burn, 1};
    const auto failed = unit.respond(request(BurnAndRebootCommand()), 0.0);
    EXPECT_FALSE(failed.reboot);
    EXPECT_EQ(dynamic_cast<const FlashOperationDoneCommand&>(*failed.replies.at(0)).status().code,
              1);
}

TEST_F(UnitResponderTest, TheCurrentProgramFollowsTheSelectionOfTheReportedConfiguration) {
    unit.respond(request(SetCommand({{id(0x0500), ParameterValue(1)}})), 0.0);
    const auto status = unit.liveStatus(0.1);
    EXPECT_EQ(dynamic_cast<const StatusCommand&>(*status).values().at(id(0x010E)),
              ParameterValue(1));
}

} // namespace
