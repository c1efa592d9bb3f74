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

TEST_F(UnitResponderTest, TheCurrentProgramFollowsTheSelectionOfTheReportedConfiguration) {
    unit.respond(request(SetCommand({{id(0x0500), ParameterValue(1)}})), 0.0);
    const auto status = unit.liveStatus(0.1);
    EXPECT_EQ(dynamic_cast<const StatusCommand&>(*status).values().at(id(0x010E)),
              ParameterValue(1));
}

} // namespace
