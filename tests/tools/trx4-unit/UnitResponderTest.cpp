// The responder, its options and the parts of the unit it is built from.
#include "UnitResponder.h"

#include "protocol/Command.h"
#include "protocol/QUIPPacket.h"
#include "support/UnitWire.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <stdexcept>

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

TEST(MeterGenerator, ReadingsFollowTheDecibelScaleOfTheUnit) {
    for (const auto& [db, reading] : std::vector<std::pair<double, std::uint16_t>>{
             {3.0, 20860}, {0.0, 20860}, {-20.0, 2086}, {-200.0, 0}}) {
        EXPECT_EQ(MeterGenerator::reading(db), reading) << db << " dB";
    }
}

TEST(UnitLog, StampsOneLineEntriesAndDropsTheOldestToStayWithinItsLength) {
    UnitLog log("T", "-", 40);
    EXPECT_EQ(log.text(), "T\n-\n");
    log.add(3725.7, "a\r\nb");
    log.add(360000.0, "c");
    log.add(360001.0, "d");
    EXPECT_EQ(log.text(), "T\n01:02:05 a  b\n100:00:00 c\n100:00:01 d\n");
    log.add(360001.0, "e");
    EXPECT_EQ(log.text(), "T\n100:00:00 c\n100:00:01 d\n100:00:01 e\n");
    // An entry longer than the whole log is cut, never split over lines.
    log.add(0.0, std::string(100, 'x'));
    EXPECT_EQ(log.text(), "T\n00:00:00 " + std::string(28, 'x') + "\n");
}

TEST(TraceWriter, WritesUtcTimesToTheMillisecondAndFourDigitIdentifiers) {
    const std::chrono::system_clock::time_point time(std::chrono::milliseconds(1700000000250));
    EXPECT_EQ(TraceWriter::timestamp(time), "2023-11-14T22:13:20.250Z");
    EXPECT_EQ(TraceWriter::hex(ParameterId(std::uint16_t{0x0D07})), "0x0D07");
}

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

TEST(UnitState, RefusesBadWritesAndKeepsTheSignalOutputsAPermutation) {
    UnitState state(UnitState::catalogueRanges());
    // Limits are signed (0xFFFF is -1), and a text is no number for a limited
    // parameter, whatever its last bytes say.
    const std::vector<std::tuple<std::uint16_t, ParameterValue, std::uint16_t>> rows = {
        {0x0303, ParameterValue(20), 0},
        {0x0303, ParameterValue(19), UnitState::illegalParameterValue},
        {0x0304, ParameterValue(-1), UnitState::illegalParameterValue},
        {0x0304, ParameterValue(std::string("x\0\5", 3)), UnitState::illegalParameterValue},
        {0x0701, ParameterValue(std::string("projection-booth")), 0},
        {0x0104, ParameterValue(1), UnitState::illegalParameterId}};
    for (const auto& [number, value, expected] : rows) {
        EXPECT_EQ(state.check({{id(number), value}}), expected)
            << std::hex << number << " " << testing::PrintToString(value.bytes());
    }
    // One bad pair refuses the whole write.
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(30)}, {id(0x0304), ParameterValue(500)}}),
              UnitState::illegalParameterValue);

    // Each swap happens in identifier order: 0x030E takes 7 from 0x0315, then
    // 0x030F takes it from 0x030E.
    EXPECT_EQ(state.apply({{id(0x030E), ParameterValue(7)}, {id(0x030F), ParameterValue(7)}}),
              (std::vector<ParameterId>{id(0x030E), id(0x030F), id(0x0315)}));
    std::vector<int> outputs;
    for (std::uint16_t number = 0x030E; number <= 0x0315; ++number) {
        outputs.push_back(state.value(id(number))->toSignedInt());
    }
    EXPECT_EQ(outputs, (std::vector<int>{1, 7, 2, 3, 4, 5, 6, 0}));
}

TEST(UnitOptions, ReadsAddressesAndFaultsAndRefusesMalformedOnes) {
    EXPECT_EQ(FlashFault::parse("burn:65535").code, 65535);
    EXPECT_EQ(WireFault::parse("oversize:7").every, 7u);
    for (const char* bad : {"burn", "burn:", "flash:1", "erase:-1", "download:65536"}) {
        EXPECT_THROW(FlashFault::parse(bad), std::invalid_argument) << bad;
    }
    for (const char* bad : {"noise", "garbage:", "garbage:0", "oversize:x"}) {
        EXPECT_THROW(WireFault::parse(bad), std::invalid_argument) << bad;
    }
    for (const char* bad :
         {"", "1.4.0", "1.4.0.0.", "1..0.0", "128.0.0.0", "1.256.0.0", "1.4.0.x", "1.4.0.256"}) {
        EXPECT_THROW(UnitOptions::parseFirmware(bad), std::invalid_argument) << bad;
    }
    CLI::App app;
    UnitOptions options;
    UnitOptions::declare(app, options);
    for (const char* bad : {"0", "-1", "nan", "inf", "1s"}) {
        EXPECT_THROW(app.parse(std::string("--drop-after-seconds '") + bad + "'", false),
                     CLI::ValidationError)
            << bad;
    }
    app.parse("--drop-after-seconds 0.5", false);
    EXPECT_EQ(options.dropAfterSeconds, 0.5);
    for (const char* bad : {"localhost", ":4444", "host:", "host:65536", "host:12x", "host: 5"}) {
        EXPECT_THROW(app.parse(std::string("--listen ") + bad, false), CLI::ValidationError) << bad;
    }
    app.parse("--listen [::1]:65535", false);
    EXPECT_EQ(options.listenHost, "::1");
    EXPECT_EQ(options.listenPort, 65535);
    app.parse("--listen 127.0.0.1:0", false);
    EXPECT_EQ(options.listenPort, 0);
}

} // namespace
