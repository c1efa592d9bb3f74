#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "support/RecordingProgress.h"

#include <gtest/gtest.h>

#include <set>

namespace {

ParameterValue intValue(int v) {
    return ParameterValue(v);
}
ParameterValue text(const char* t) {
    return ParameterValue(std::string(t));
}

TEST(DummyProtocolTest, StoresAndReadsBackValues) {
    DummyProtocol dummy;
    dummy.setValue(ParameterId(0x0D02), text("abc"), 500);
    EXPECT_EQ(dummy.getValue(ParameterId(0x0D02)), text("abc"));
    EXPECT_EQ(dummy.getStatus().success(), 1);
    EXPECT_EQ(dummy.getStatus().message(), "Ok");
    EXPECT_FALSE(dummy.hasDevice());
    EXPECT_EQ(dummy.getEventLog(), "No Events");
    EXPECT_EQ(dummy.getErrorLog(), "No Errors");
}

TEST(DummyProtocolTest, UnknownIdentifierReadsAsZeroAndIsStored) {
    DummyProtocol dummy;
    EXPECT_TRUE(dummy.values().empty());
    EXPECT_EQ(dummy.getValue(ParameterId(0x4242)), ParameterValue(0));
    EXPECT_EQ(dummy.values().size(), 1U);
    EXPECT_TRUE(dummy.values().contains(ParameterId(0x4242)));
}

TEST(DummyProtocolTest, DownloadsReturnAtOnce) {
    DummyProtocol dummy;
    RecordingProgress progress;
    dummy.downloadFile("/nonexistent/image.bin", progress);
    const std::uint8_t block[2] = {1, 2};
    dummy.downloadBlock(block, 2, 0, true);
    EXPECT_EQ(progress.percents.size(), 0u);
}

TEST(DummyKORAProtocolTest, HoldsTheUnitsFactoryValues) {
    DummyKORAProtocol unit;
    const ParameterValueMap& values = unit.values();
    ASSERT_EQ(values.size(), 134U);
    std::set<int> groups;
    for (const auto& entry : values) {
        groups.insert(entry.first.group());
    }
    EXPECT_EQ(groups, (std::set<int>{1, 3, 5, 7, 9, 11, 13}));
    EXPECT_TRUE(values.contains(ParameterId(0x0114)));
    EXPECT_FALSE(values.contains(ParameterId(0x0115)));
    EXPECT_TRUE(values.contains(ParameterId(0x031B)));
    EXPECT_TRUE(values.contains(ParameterId(0x0518)));
    EXPECT_TRUE(values.contains(ParameterId(0x0B03)));
    EXPECT_FALSE(values.contains(ParameterId(0x0B04)));

    // Texts, numbers and the routing that starts as the identity.
    EXPECT_EQ(values.at(ParameterId(0x0101)), intValue(24));
    EXPECT_EQ(values.at(ParameterId(0x0303)), intValue(20));
    EXPECT_EQ(values.at(ParameterId(0x0701)), text("trx4"));
    EXPECT_EQ(values.at(ParameterId(0x0929)), text("0.0.0.0"));
    for (int offset = 0; offset < 8; ++offset) {
        EXPECT_EQ(values.at(ParameterId(static_cast<std::uint16_t>(0x030E + offset))),
                  intValue(offset));
    }
}

std::vector<int> routing(DummyKORAProtocol& unit) {
    std::vector<int> result;
    for (std::uint16_t id = 0x030E; id <= 0x0315; ++id) {
        result.push_back(unit.getValue(ParameterId(id)).toSignedInt());
    }
    return result;
}

TEST(DummyKORAProtocolTest, RoutingStaysAPermutationBySwapping) {
    DummyKORAProtocol unit;
    unit.setValue(ParameterId(0x0310), intValue(5), 0);
    EXPECT_EQ(routing(unit), (std::vector<int>{0, 1, 5, 3, 4, 2, 6, 7}));

    unit.setValue(ParameterId(0x0310), intValue(5), 0);
    EXPECT_EQ(routing(unit), (std::vector<int>{0, 1, 5, 3, 4, 2, 6, 7}));

    unit.setValue(ParameterId(0x0315), intValue(0), 0);
    EXPECT_EQ(routing(unit), (std::vector<int>{7, 1, 5, 3, 4, 2, 6, 0}));
}

TEST(DummyKORAProtocolTest, UnheldRoutingValueIsStoredAlone) {
    DummyKORAProtocol unit;
    unit.setValue(ParameterId(0x0310), intValue(9), 0);
    EXPECT_EQ(routing(unit), (std::vector<int>{0, 1, 9, 3, 4, 5, 6, 7}));
}

TEST(DummyKORAProtocolTest, SwapRuleCoversOnlyTheRoutingGroup) {
    DummyKORAProtocol unit;
    unit.setValue(ParameterId(0x0D02), intValue(5), 0);
    EXPECT_EQ(unit.getValue(ParameterId(0x0D05)), intValue(5));
    EXPECT_EQ(unit.getValue(ParameterId(0x0D02)), intValue(5));
    unit.setValue(ParameterId(0x0316), intValue(3), 0);
    EXPECT_EQ(routing(unit), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(DummyKORAProtocolTest, ReloadingRestoresFactoryValuesThroughForwarding) {
    DummyKORAProtocol unit;
    ForwardingProtocol protocol(&unit);
    protocol.setValue(ParameterId(0x0701), text("booth-2"), 0);
    EXPECT_EQ(protocol.getValue(ParameterId(0x0701)), text("booth-2"));
    ParameterValueMap read;
    protocol.getValues({ParameterId(0x030E), ParameterId(0x0101)}, read);
    EXPECT_EQ(read.at(ParameterId(0x0101)), intValue(24));
    unit.loadInitialValues();
    EXPECT_EQ(unit.getValue(ParameterId(0x0701)), text("trx4"));
}

} // namespace
