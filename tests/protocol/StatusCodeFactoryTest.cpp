#include "protocol/StatusCodeFactory.h"
#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

namespace {

class StatusCodeFactoryTest : public ::testing::Test {
protected:
    void TearDown() override { KORAStatusCodeFactory::destroy(); }
};

TEST_F(StatusCodeFactoryTest, EachTableHasItsOwnCodesAndFallsBackToHostError) {
    const auto& factory = KORAStatusCodeFactory::instance();
    EXPECT_EQ(factory.lookUpParameterStatus(3).message, "Conflicting Parameter Values");
    EXPECT_EQ(factory.lookUpParameterStatus(3).code, 3);
    EXPECT_EQ(factory.lookUpFlashStatus(1).message, "The client should retry the operation");
    for (const std::uint16_t code : {0, 4, 512, 0xFFFF}) {
        const StatusCodeEntry& entry = factory.lookUpParameterStatus(code);
        EXPECT_EQ(entry.message, "Host Error") << code;
        EXPECT_EQ(entry.code, 0xFFFF);
    }
    // Flash code 3 is unknown even though parameter code 3 exists.
    EXPECT_EQ(factory.lookUpFlashStatus(3).message, "Host Error");
}

TEST_F(StatusCodeFactoryTest, InstanceIsSharedUntilDestroyedThenRebuilt) {
    const auto* first = &KORAStatusCodeFactory::instance();
    EXPECT_EQ(first, &KORAStatusCodeFactory::instance());
    KORAStatusCodeFactory::destroy();
    KORAStatusCodeFactory::destroy();
    EXPECT_EQ(KORAStatusCodeFactory::instance().lookUpParameterStatus(2).message,
              "Illegal Parameter Value");
}

TEST(ReadStatusCode, ReadsTwoBytesBigEndianAndRejectsFewer) {
    const std::uint8_t low[] = {0x00, 0x02, 0x99};
    const std::uint8_t high[] = {0x02, 0x00};
    EXPECT_EQ(readStatusCode(low, sizeof low), 2);
    EXPECT_EQ(readStatusCode(high, sizeof high), 512);
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}}) {
        EXPECT_EQ(thrownMessage<VerloException>([&] { readStatusCode(low, size); }),
                  "error type id not found in buffer");
    }
}

} // namespace
