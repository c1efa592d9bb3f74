#include "model/Parameter.h"
#include "model/ControlParameter.h"
#include "model/ParameterFormatter.h"
#include "model/ParameterTransaction.h"
#include "protocol/VerloException.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using ::testing::IsEmpty;

namespace {

const ParameterId statusId(1, 4);
const ParameterId controlId(3, 2);

// Remembers what it was asked to record, and the pending value at that moment.
class SpyTransaction : public Transaction {
public:
    std::vector<ControlParameter*> recorded;
    std::vector<ParameterValue> pendingWhenRecorded;
    void commit() override {}
    void rollback() override {}
    void record(ControlParameter& parameter) override {
        recorded.push_back(&parameter);
        pendingWhenRecorded.push_back(parameter.value());
    }
};

std::string formatted(const Parameter& parameter, const ParameterValue& value,
                      const ParameterFormatter* formatter = nullptr) {
    std::ostringstream stream;
    EXPECT_TRUE(parameter.format(stream, value, formatter));
    return stream.str();
}

} // namespace

TEST(Parameter, RefreshNotifiesOnlyWhenTheValueChangesUnlessAlwaysNotifyAndSurvivesFailures) {
    RecordingProtocol unit;
    unit.values[statusId] = ParameterValue(7);
    Parameter parameter(&unit, statusId, ParameterValue(0), ParameterValue(20860));
    EXPECT_EQ(parameter.value(), ParameterValue(0)) << "starts at its minimum";
    RecordingObserver observer;
    observer.watch(parameter);
    observer.calls.clear();

    parameter.refresh();
    EXPECT_EQ(parameter.value(), ParameterValue(7));
    EXPECT_EQ(observer.calls.size(), 1u);
    parameter.refresh();
    EXPECT_EQ(observer.calls.size(), 1u);

    parameter.setAlwaysNotify(true);
    parameter.refresh();
    parameter.refresh();
    EXPECT_EQ(observer.calls.size(), 3u);
    EXPECT_EQ(observer.calls.back().hint, nullptr);

    unit.values[statusId] = ParameterValue(6);
    unit.failNext(ProtocolException("lost"));
    EXPECT_THROW(parameter.refresh(), ProtocolException);
    EXPECT_EQ(parameter.value(), ParameterValue(7));
}

TEST(Parameter, UpdateTakesOnlyItsOwnEntry) {
    Parameter parameter(nullptr, statusId, ParameterValue(0), ParameterValue(8));
    RecordingObserver observer;
    observer.watch(parameter);
    observer.calls.clear();

    EXPECT_FALSE(parameter.update(ParameterValueMap{{ParameterId(1, 5), ParameterValue(3)}}));
    EXPECT_FALSE(parameter.update(ParameterValueMap{{statusId, ParameterValue(0)}}));
    EXPECT_THAT(observer.calls, IsEmpty());

    EXPECT_TRUE(parameter.update(ParameterValueMap{{statusId, ParameterValue(3)}}));
    EXPECT_EQ(parameter.value(), ParameterValue(3));
    EXPECT_EQ(observer.calls.size(), 1u);

    parameter.setAlwaysNotify(true);
    EXPECT_TRUE(parameter.update(ParameterValueMap{{statusId, ParameterValue(3)}}));
    EXPECT_EQ(observer.calls.size(), 2u);
}

TEST(Parameter, FormatsWithTheGivenFormatterElseItsOwnElseAsAnUnsignedNumber) {
    Parameter parameter(nullptr, statusId, MinimumShortValue, MaximumShortValue);
    EXPECT_EQ(formatted(parameter, ParameterValue(std::string("\xFF\xFF"))), "65535");

    EnumeratedFormatter own("Own");
    own.addText(ParameterValue(1), "one");
    StringFormatter given("Given");
    EXPECT_EQ(parameter.setFormatter(&own), nullptr);
    EXPECT_EQ(formatted(parameter, ParameterValue(1)), "one");
    EXPECT_EQ(formatted(parameter, ParameterValue(std::string("AB")), &given), "AB");
    EXPECT_EQ(parameter.setFormatter(nullptr), &own);

    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_FALSE(parameter.format(failed, ParameterValue(1)));
}

TEST(Parameter, SetAvailableKeepsNonZeroKeysAndNotifiesOnlyOnAChange) {
    Parameter parameter(nullptr, statusId, ParameterValue(0), ParameterValue(8));
    RecordingObserver observer;
    observer.watch(parameter);
    observer.calls.clear();

    parameter.setAvailable(true, 7);
    EXPECT_THAT(observer.calls, IsEmpty());
    parameter.setAvailable(false, 0);
    parameter.setAvailable(false, 7);
    EXPECT_FALSE(parameter.available());
    EXPECT_EQ(observer.calls.size(), 1u);
    parameter.setAvailable(true, 9);
    EXPECT_EQ(observer.calls.size(), 2u);
    EXPECT_EQ(parameter.availabilityKeys(), (std::set<std::uint32_t>{7, 9}));
}

class ControlParameterTest : public ::testing::Test {
protected:
    void SetUp() override {
        unit.values[controlId] = ParameterValue(2);
        parameter.refresh();
        observer.watch(parameter);
        observer.calls.clear();
        unit.writes.clear();
    }

    RecordingProtocol unit;
    ControlParameter parameter{&unit, controlId, ParameterValue(0), ParameterValue(8)};
    RecordingObserverOf<ControlParameter> observer;
    SpyTransaction transaction;
};

TEST_F(ControlParameterTest, ValuesOutsideTheLimitsAreIgnoredAndNotRecorded) {
    parameter.setValue(ParameterValue(9), &transaction);
    parameter.setValue(ParameterValue(-1), &transaction);
    parameter.setValue(ParameterValue(9));
    EXPECT_THAT(transaction.recorded, IsEmpty());
    EXPECT_THAT(observer.calls, IsEmpty());
    EXPECT_THAT(unit.writes, IsEmpty());
    EXPECT_EQ(parameter.value(), ParameterValue(2));
}

TEST_F(ControlParameterTest, AChangeWithATransactionIsRecordedFirstThenPendingAndNotified) {
    parameter.setValue(ParameterValue(8), &transaction);
    ASSERT_EQ(transaction.recorded.size(), 1u);
    EXPECT_EQ(transaction.recorded[0], &parameter);
    EXPECT_EQ(transaction.pendingWhenRecorded[0], ParameterValue(2));
    EXPECT_EQ(parameter.value(), ParameterValue(8));
    EXPECT_EQ(parameter.unitValue(), ParameterValue(2));
    ASSERT_EQ(observer.calls.size(), 1u);
    EXPECT_EQ(observer.calls[0].hint, &transaction);
    EXPECT_THAT(unit.writes, IsEmpty());

    parameter.setValue(ParameterValue(8), &transaction);
    EXPECT_EQ(transaction.recorded.size(), 1u) << "the pending value again changes nothing";
}

TEST_F(ControlParameterTest, LimitsAreSigned16BitNumbers) {
    ControlParameter wide(&unit, ParameterId(3, 9), MinimumShortValue, MaximumShortValue);
    wide.setValue(ParameterValue(std::string("\xFF\xFF")), &transaction);
    EXPECT_EQ(wide.value().toSignedInt(), -1);

    ControlParameter around(&unit, ParameterId(3, 10), ParameterValue(-10), ParameterValue(10));
    around.setValue(ParameterValue(std::string("\xFF\xFF")), &transaction);
    EXPECT_EQ(around.value().toSignedInt(), -1);
    around.setValue(ParameterValue(0x8000), &transaction);
    EXPECT_EQ(around.value().toSignedInt(), -1);
}

TEST_F(ControlParameterTest, SetValueWithoutATransactionWritesAtOnceWithTheSettleDelay) {
    parameter.setSettleDelay(250);
    parameter.setValue(ParameterValue(5), nullptr);
    ASSERT_EQ(unit.writes.size(), 1u);
    EXPECT_EQ(unit.writes[0].id, controlId);
    EXPECT_EQ(unit.writes[0].value, ParameterValue(5));
    EXPECT_EQ(unit.writes[0].delayMs, 250u);
    EXPECT_EQ(parameter.value(), ParameterValue(5));
    EXPECT_EQ(parameter.unitValue(), ParameterValue(5));
    ASSERT_EQ(observer.calls.size(), 1u);
    EXPECT_EQ(observer.calls[0].hint, nullptr);

    parameter.setValue(ParameterValue(5));
    parameter.apply(ParameterValue(5));
    EXPECT_EQ(unit.writes.size(), 1u) << "the pending value is not sent again";
}

TEST_F(ControlParameterTest, AValueTheUnitKeepsOrAFailedWriteChangesNothing) {
    unit.refused.insert(controlId);
    parameter.setValue(ParameterValue(5));
    EXPECT_EQ(unit.writes.size(), 1u);
    unit.failNext(HostException("Error: Illegal Parameter Value"));
    EXPECT_THROW(parameter.setValue(ParameterValue(6)), HostException);
    EXPECT_EQ(parameter.value(), ParameterValue(2));
    EXPECT_EQ(parameter.unitValue(), ParameterValue(2));
    EXPECT_THAT(observer.calls, IsEmpty());
}

TEST_F(ControlParameterTest, RevertBringsBackTheUnitsValueAndNotifies) {
    parameter.setValue(ParameterValue(6), &transaction);
    observer.calls.clear();
    parameter.revert();
    EXPECT_EQ(parameter.value(), ParameterValue(2));
    ASSERT_EQ(observer.calls.size(), 1u);
    EXPECT_EQ(observer.calls[0].hint, nullptr);
}

TEST_F(ControlParameterTest, UpdateChangesBothValuesWithoutNotifying) {
    EXPECT_FALSE(parameter.update(ParameterValueMap{{controlId, ParameterValue(2)}}));
    EXPECT_TRUE(parameter.update(ParameterValueMap{{controlId, ParameterValue(4)}}));
    EXPECT_EQ(parameter.value(), ParameterValue(4));
    EXPECT_EQ(parameter.unitValue(), ParameterValue(4));
    EXPECT_THAT(observer.calls, IsEmpty());

    // After a commit the unit's answer equals the pending value; the unit's
    // value must follow, or a later revert would bring back a stale one.
    parameter.setValue(ParameterValue(6), &transaction);
    EXPECT_FALSE(parameter.update(ParameterValueMap{{controlId, ParameterValue(6)}}));
    EXPECT_EQ(parameter.unitValue(), ParameterValue(6));
    parameter.revert();
    EXPECT_EQ(parameter.value(), ParameterValue(6));
}

TEST_F(ControlParameterTest, RefreshShowsObserversTheSettledValue) {
    std::vector<ParameterValue> seen;
    observer.onUpdate = [&](Subject&, Transaction*) { seen.push_back(parameter.value()); };
    unit.values[controlId] = ParameterValue(3);
    parameter.refresh();
    EXPECT_EQ(seen, std::vector<ParameterValue>{ParameterValue(3)});

    parameter.setValue(ParameterValue(7), &transaction);
    seen.clear();
    parameter.refresh();
    EXPECT_EQ(parameter.value(), ParameterValue(3)) << "an edit settles to the unit's value";
    EXPECT_EQ(seen, std::vector<ParameterValue>{ParameterValue(3)});

    seen.clear();
    parameter.refresh();
    EXPECT_THAT(seen, IsEmpty());
}
