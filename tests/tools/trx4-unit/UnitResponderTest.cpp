#include "UnitResponder.h"

#include "protocol/Command.h"
#include "protocol/QUIPPacket.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

namespace {

TEST(UnitResponder, TheLiveStatusFollowsTheSelectedProgramAndCannotPassForAGetAllAnswer) {
    UnitState state(UnitState::catalogueRanges());
    const UnitOptions options;
    UnitResponder unit(state, *Scenario::find("multi-program"), options);
    const unitwire::Bytes set = unitwire::body(unitwire::Set, {{0x0500, unitwire::integer(1)}});
    unit.respond(UnitRequest::decode(set.data(), set.size()), 0.0);
    const auto status = unit.liveStatus(0.1);
    EXPECT_EQ(
        dynamic_cast<const StatusCommand&>(*status).values().at(ParameterId(std::uint16_t{0x010E})),
        ParameterValue(1));

    QUIPPacket packet;
    packet.setCommand(*unit.liveStatus(1.5));
    // A host takes a Status of 100 bytes or more as its Get All answer, and a
    // frame counts the packet's length field too.
    EXPECT_LT(packet.dataLength() + QUIPPacket::lengthFieldSize, 100u);
}

} // namespace
