#include "model/ParameterMap.h"
#include "model/ControlParameterMap.h"
#include "model/Parameter.h"
#include "protocol/VerloException.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ParameterMap, FindRaisesCouldNotFindWithTheIdentifierText) {
    ParameterMap<Parameter> map;
    map.add(nullptr, ParameterId(1, 0), ParameterValue(0), ParameterValue(8));
    EXPECT_EQ(&map.find(ParameterId(1, 0)), map.lookup(ParameterId(1, 0)));
    EXPECT_EQ(thrownMessage<VerloException>([&] { map.find(ParameterId(3, 10)); }),
              "Couldn't find parameter 778 (3, 10)\n");
    EXPECT_THROW(map.add(nullptr, ParameterId(1, 0), ParameterValue(0), ParameterValue(1)),
                 VerloException);
}

TEST(ParameterMap, ParametersKeepTheirAddressesAsTheMapGrows) {
    ParameterMap<Parameter> map;
    Parameter& first = map.add(nullptr, ParameterId(1, 50), ParameterValue(0), ParameterValue(8));
    RecordingObserver observer;
    observer.watch(first);
    for (int index = 0; index < 100; ++index) {
        if (index != 50) {
            map.add(nullptr, ParameterId(1, static_cast<std::uint8_t>(index)), ParameterValue(0),
                    ParameterValue(8));
        }
    }
    EXPECT_EQ(map.lookup(ParameterId(1, 50)), &first);
    map.updateAll(ParameterValueMap{{ParameterId(1, 50), ParameterValue(4)}});
    EXPECT_EQ(observer.calls.size(), 2u);
}

class RefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::uint16_t number : {0x0100, 0x0101, 0x0200, 0x0201}) {
            map.add(&unit, ParameterId(number), ParameterValue(0), ParameterValue(100));
            unit.values[ParameterId(number)] = ParameterValue(number & 0xFF ? 11 : 10);
        }
        map.add(&other, ParameterId(1, 2), ParameterValue(0), ParameterValue(100));
        other.values[ParameterId(1, 2)] = ParameterValue(12);
    }

    RecordingProtocol unit;
    RecordingProtocol other;
    ParameterMap<Parameter> map;
};

TEST_F(RefreshTest, RefreshGroupAsksOnceForTheGroupsParametersOfThatSource) {
    map.refreshGroup(&unit, 1);
    ASSERT_EQ(unit.getValuesCalls.size(), 1u);
    EXPECT_THAT(unit.getValuesCalls[0], ElementsAre(ParameterId(1, 0), ParameterId(1, 1)));
    EXPECT_EQ(map.find(ParameterId(1, 1)).value(), ParameterValue(11));
    EXPECT_EQ(map.find(ParameterId(2, 0)).value(), ParameterValue(0));
    EXPECT_EQ(map.find(ParameterId(1, 2)).value(), ParameterValue(0));
    EXPECT_THAT(other.getValuesCalls, IsEmpty());
}

TEST_F(RefreshTest, RefreshAllAsksForEveryParameterOfThatSourceAndKeepsWhatIsNotAnswered) {
    map.refreshAll(&unit);
    map.refreshAll(&unit);
    ASSERT_EQ(unit.getValuesCalls.size(), 2u);
    EXPECT_THAT(unit.getValuesCalls[1], ElementsAre(ParameterId(1, 0), ParameterId(1, 1),
                                                    ParameterId(2, 0), ParameterId(2, 1)));
    EXPECT_EQ(map.find(ParameterId(2, 1)).value(), ParameterValue(11));
    map.refreshAll(&other);
    EXPECT_EQ(map.find(ParameterId(1, 2)).value(), ParameterValue(12));

    unit.values.erase(ParameterId(1, 1));
    unit.values[ParameterId(1, 0)] = ParameterValue(50);
    map.refreshAll(&unit);
    EXPECT_EQ(map.find(ParameterId(1, 0)).value(), ParameterValue(50));
    EXPECT_EQ(map.find(ParameterId(1, 1)).value(), ParameterValue(11)) << "missing from the answer";
}

TEST_F(RefreshTest, AGroupWithoutParametersOfTheSourceSendsAnEmptyRequest) {
    RecordingObserver observer;
    observer.watch(map.find(ParameterId(1, 0)));
    map.refreshGroup(&other, 2);
    ASSERT_EQ(other.getValuesCalls.size(), 1u);
    EXPECT_THAT(other.getValuesCalls[0], IsEmpty());
    EXPECT_EQ(observer.calls.size(), 1u);
}

TEST_F(RefreshTest, AFailedReadChangesNothingAndTheNextOneWorks) {
    unit.failNext(ProtocolException("Timeout"));
    EXPECT_THROW(map.refreshAll(&unit), ProtocolException);
    EXPECT_EQ(map.find(ParameterId(1, 0)).value(), ParameterValue(0));
    map.refreshAll(&unit);
    EXPECT_EQ(map.find(ParameterId(1, 0)).value(), ParameterValue(10));
}

TEST(ParameterMapUpdateAll, StatusParametersNotifyOneByOne) {
    ParameterMap<Parameter> map;
    Parameter& a = map.add(nullptr, ParameterId(1, 0), ParameterValue(0), ParameterValue(8));
    Parameter& b = map.add(nullptr, ParameterId(1, 1), ParameterValue(0), ParameterValue(8));
    RecordingObserver observer;
    observer.watch(a);
    ParameterValue bSeen;
    observer.onUpdate = [&](Subject&, Transaction*) { bSeen = b.value(); };
    map.updateAll(ParameterValueMap{{a.id(), ParameterValue(1)}, {b.id(), ParameterValue(2)}});
    EXPECT_EQ(bSeen, ParameterValue(0)) << "a notifies before b takes its value";
}

TEST(ParameterMapUpdateAll, ControlParametersAllHoldTheirValuesBeforeTheFirstObserverRuns) {
    ControlParameterMap map;
    ControlParameter& a = map.add(nullptr, ParameterId(3, 0), ParameterValue(0), ParameterValue(8));
    ControlParameter& b = map.add(nullptr, ParameterId(3, 1), ParameterValue(0), ParameterValue(8));
    ControlParameter& c = map.add(nullptr, ParameterId(3, 2), ParameterValue(0), ParameterValue(8));
    std::vector<std::string> journal;
    RecordingObserverOf<ControlParameter> onA("a", &journal), onB("b", &journal),
        onC("c", &journal);
    onB.watch(b);
    onA.watch(a);
    onC.watch(c);
    journal.clear();
    std::vector<ParameterValue> seenByA;
    onA.onUpdate = [&](Subject&, Transaction*) { seenByA = {a.value(), b.value()}; };
    std::vector<ParameterValue> seenByB;
    onB.onUpdate = [&](Subject&, Transaction*) { seenByB = {a.value(), b.value()}; };

    map.updateAll(ParameterValueMap{
        {a.id(), ParameterValue(5)}, {b.id(), ParameterValue(6)}, {c.id(), ParameterValue(0)}});
    EXPECT_THAT(journal, ElementsAre("a", "b")) << "in identifier order, unchanged c silent";
    EXPECT_THAT(seenByA, ElementsAre(ParameterValue(5), ParameterValue(6)));
    EXPECT_THAT(seenByB, ElementsAre(ParameterValue(5), ParameterValue(6)));
    EXPECT_EQ(onA.calls.back().hint, nullptr);
}

TEST(ParameterMapUpdateAll, AnObserverMayStartAnotherUpdateOfTheSameMap) {
    ControlParameterMap map;
    ControlParameter& a = map.add(nullptr, ParameterId(3, 0), ParameterValue(0), ParameterValue(8));
    ControlParameter& b = map.add(nullptr, ParameterId(3, 1), ParameterValue(0), ParameterValue(8));
    RecordingObserverOf<ControlParameter> onA, onB;
    onA.watch(a);
    onB.watch(b);
    onA.onUpdate = [&](Subject&, Transaction*) {
        if (a.value() == ParameterValue(1)) {
            map.updateAll(ParameterValueMap{{b.id(), ParameterValue(7)}});
        }
    };
    map.updateAll(ParameterValueMap{{a.id(), ParameterValue(1)}, {b.id(), ParameterValue(2)}});
    EXPECT_EQ(b.value(), ParameterValue(7));
    EXPECT_EQ(onB.calls.size(), 3u) << "attach, the inner update, the outer one";
}
