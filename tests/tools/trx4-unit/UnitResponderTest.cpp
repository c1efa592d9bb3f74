#include "UnitResponder.h"

#include "protocol/Command.h"
#include "protocol/CommandType.h"
#include "protocol/QUIPPacket.h"

#include <gtest/gtest.h>

namespace {

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

UnitRequest request(CommandType::Code code, std::vector<std::uint8_t> data = {}) {
    std::vector<std::uint8_t> body{code};
    body.insert(body.end(), data.begin(), data.end());
    return UnitRequest::decode(body.data(), body.size());
}

UnitRequest setRequest(ParameterValueMap values) {
    SetCommand set(std::move(values));
    std::vector<std::uint8_t> body(set.size());
    set.write(body.data(), body.size());
    return UnitRequest::decode(body.data(), body.size());
}

class UnitResponderTest : public testing::Test {
protected:
    UnitState state{UnitState::catalogueRanges()};
    UnitOptions options;
    std::unique_ptr<UnitResponder> responder;

    UnitResponder& make(const std::string& scenario = "digital") {
        responder = std::make_unique<UnitResponder>(state, *Scenario::find(scenario), options);
        return *responder;
    }
    static const Command& only(const UnitResponder::Outcome& outcome) {
        EXPECT_EQ(outcome.replies.size(), 1u);
        return *outcome.replies.at(0);
    }
};

TEST_F(UnitResponderTest, TheLiveStatusCannotBeMistakenForAGetAllAnswer) {
    auto status = make().liveStatus(1.5);
    QUIPPacket packet;
    packet.setCommand(*status);
    // A host takes a Status of 100 bytes or more as its Get All answer, and a
    // frame counts the packet's length field too.
    EXPECT_LT(packet.dataLength() + QUIPPacket::lengthFieldSize, 100u);
    const auto& values = dynamic_cast<const StatusCommand&>(*status).values();
    EXPECT_EQ(values.size(), UnitResponder::liveStatusIds().size());
    EXPECT_EQ(values.at(id(0x0104)), ParameterValue(3));
    EXPECT_GT(values.at(id(0x0106)).toInt(), 0);
}

TEST_F(UnitResponderTest, AnswersRequestsAndStaysSilentWhenToldTo) {
    UnitResponder& unit = make();
    const auto all = unit.respond(request(CommandType::GetAll), 0.0);
    EXPECT_EQ(only(all).commandType().code(), CommandType::GetAllResponse);
    EXPECT_EQ(dynamic_cast<const StatusCommand&>(only(all)).values().size(), 80u);
    EXPECT_EQ(only(unit.respond(request(CommandType::PingRequest), 0.0)).commandType().code(),
              CommandType::PingResponse);
    EXPECT_TRUE(unit.respond(request(CommandType::PingResponse), 0.0).replies.empty());
    // A reply from the host means nothing to the unit, which notes it.
    EXPECT_TRUE(unit.respond(request(CommandType::Status), 0.0).replies.empty());
    EXPECT_NE(unit.errorLog().text().find("unexpected \"Status\""), std::string::npos);

    options.silent = true;
    EXPECT_TRUE(unit.respond(request(CommandType::GetAll), 0.0).replies.empty());
}

TEST_F(UnitResponderTest, RefusedWritesChangeNothingAndCarryTheirStatusCode) {
    UnitResponder& unit = make();
    const auto refused = unit.respond(
        setRequest({{id(0x0303), ParameterValue(30)}, {id(0x0304), ParameterValue(161)}}), 0.0);
    EXPECT_EQ(dynamic_cast<const ErrorCommand&>(only(refused)).status().code, 2);
    EXPECT_EQ(*state.value(id(0x0303)), ParameterValue(20));

    options.setError = 3;
    const auto injected = unit.respond(setRequest({{id(0x0303), ParameterValue(30)}}), 0.0);
    EXPECT_EQ(dynamic_cast<const ErrorCommand&>(only(injected)).status().code, 3);
    EXPECT_EQ(*state.value(id(0x0303)), ParameterValue(20));
}

TEST_F(UnitResponderTest, CarriesOutTheFlashStepsAndRebootsIntoTheImagesVersion) {
    UnitResponder& unit = make();
    EXPECT_EQ(dynamic_cast<const FlashOperationDoneCommand&>(
                  only(unit.respond(request(CommandType::EraseFlash), 0.0)))
                  .status()
                  .code,
              0);
    const std::string head = "FW:2.10.0.255 and more";
    unit.respond(request(CommandType::DownloadData, {head.begin(), head.end()}), 0.0);
    const auto second = unit.respond(request(CommandType::DownloadData, {1, 2, 3}), 0.0);
    EXPECT_EQ(second.blocks, 2u);
    const auto burn = unit.respond(request(CommandType::BurnAndReboot), 0.0);
    EXPECT_TRUE(burn.reboot);
    EXPECT_EQ(burn.blocks, 2u);
    // The new version shows only once the unit has rebooted.
    EXPECT_EQ(state.firmwareVersion(), (UnitState::Version{0, 0, 0, 0}));
    unit.finishReboot(30.0);
    EXPECT_EQ(state.firmwareVersion(), (UnitState::Version{2, 10, 0, 255}));

    options.flashError = FlashFault{FlashStep::Burn, 1};
    const auto failed = unit.respond(request(CommandType::BurnAndReboot), 0.0);
    EXPECT_FALSE(failed.reboot);
    EXPECT_EQ(dynamic_cast<const FlashOperationDoneCommand&>(only(failed)).status().code, 1);
}

TEST(UnitResponderImage, ReadsOnlyAWellFormedVersion) {
    auto version = [](const std::string& text) {
        return UnitResponder::imageVersion(std::vector<std::uint8_t>(text.begin(), text.end()));
    };
    EXPECT_EQ(version("FW:1.2.3.4"), (UnitState::Version{1, 2, 3, 4}));
    for (const char* bad : {"FW:1.2.3", "FW:1.2.3.256", "fw:1.2.3.4", "XFW:1.2.3.4", "FW:1..3.4",
                            "FW:-1.2.3.4", ""}) {
        EXPECT_FALSE(version(bad)) << bad;
    }
}

TEST_F(UnitResponderTest, TheCurrentProgramFollowsTheSelectionOfTheReportedConfiguration) {
    UnitResponder& unit = make("multi-program");
    unit.respond(setRequest({{id(0x0500), ParameterValue(1)}}), 0.0);
    auto status = unit.liveStatus(0.1);
    EXPECT_EQ(dynamic_cast<const StatusCommand&>(*status).values().at(id(0x010E)),
              ParameterValue(1));
}

} // namespace
