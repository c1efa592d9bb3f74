#include "protocol/StatusCodeFactory.h"
#include "protocol/VerloException.h"

#include <gtest/gtest.h>

namespace {

class StatusCodeFactoryTest : public ::testing::Test {
protected:
    void TearDown() override { KORAStatusCodeFactory::destroy(); }
};

TEST_F(StatusCodeFactoryTest, ParameterCodesResolveToTheirMessages) {
    const auto& factory = KORAStatusCodeFactory::instance();
    EXPECT_EQ(factory.lookUpParameterStatus(1).message, "Illegal Parameter Id");
    EXPECT_EQ(factory.lookUpParameterStatus(2).message, "Illegal Parameter Value");
    EXPECT_EQ(factory.lookUpParameterStatus(3).message, "Conflicting Parameter Values");
    EXPECT_EQ(factory.lookUpParameterStatus(3).code, 3);
}

TEST_F(StatusCodeFactoryTest, FlashCodesResolveToTheirMessages) {
    const auto& factory = KORAStatusCodeFactory::instance();
    EXPECT_EQ(factory.lookUpFlashStatus(0).message, "The flash operation completed successfully");
    EXPECT_EQ(factory.lookUpFlashStatus(0).code, 0);
    EXPECT_EQ(factory.lookUpFlashStatus(1).message, "The client should retry the operation");
    EXPECT_EQ(factory.lookUpFlashStatus(2).message,
              "The unit needs to be returned to Verlo for servicing");
}

TEST_F(StatusCodeFactoryTest, UnknownCodesFallBackToHostErrorPerTable) {
    const auto& factory = KORAStatusCodeFactory::instance();
    for (const std::uint16_t code : {0, 4, 512, 0xFFFF}) {
        const StatusCodeEntry& entry = factory.lookUpParameterStatus(code);
        EXPECT_EQ(entry.message, "Host Error") << code;
        EXPECT_EQ(entry.code, 0xFFFF);
    }
    // Flash code 3 is unknown even though parameter code 3 exists.
    EXPECT_EQ(factory.lookUpFlashStatus(3).message, "Host Error");
    EXPECT_EQ(factory.lookUpFlashStatus(0xFFFF).message, "Host Error");
}

TEST_F(StatusCodeFactoryTest, InstanceIsSharedUntilDestroyedThenRebuilt) {
    const auto* first = &KORAStatusCodeFactory::instance();
    EXPECT_EQ(first, &KORAStatusCodeFactory::instance());
    KORAStatusCodeFactory::destroy();
    KORAStatusCodeFactory::destroy();
    EXPECT_EQ(KORAStatusCodeFactory::instance().lookUpParameterStatus(2).message,
              "Illegal Parameter Value");
}

TEST(ReadStatusCode, ReadsTwoBytesBigEndian) {
    const std::uint8_t low[] = {0x00, 0x02, 0x99};
    const std::uint8_t high[] = {0x02, 0x00};
    EXPECT_EQ(readStatusCode(low, sizeof low), 2);
    EXPECT_EQ(readStatusCode(high, sizeof high), 512);
    EXPECT_EQ(
        KORAStatusCodeFactory::instance().lookUpParameterStatus(readStatusCode(high, 2)).message,
        "Host Error");
    KORAStatusCodeFactory::destroy();
}

TEST(ReadStatusCode, ShortBufferIsRejected) {
    const std::uint8_t one[] = {0x00};
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}}) {
        try {
            readStatusCode(one, size);
            FAIL() << "accepted " << size << " bytes";
        } catch (const VerloException& e) {
            EXPECT_STREQ(e.what(), "error type id not found in buffer");
        }
    }
}

} // namespace
