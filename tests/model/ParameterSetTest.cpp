#include "model/ParameterSet.h"
#include "protocol/DummyProtocol.h"
#include "protocol/VerloException.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const ParameterId levelId(1, 6);
const ParameterId versionId(2, 0);
const ParameterId delayId(3, 3);
const ParameterId sharedId(1, 9); // a control parameter that also has a status twin
const ParameterId unitsId(11, 0);

// A set built the way a catalogue builds one.
class TestSet : public ParameterSet {
public:
    explicit TestSet(RecordingProtocol& unit) : ParameterSet(unit) {
        auto& levels = makeFormatter<EnumeratedFormatter>("Level");
        statusParameters().add(&unit, levelId, ParameterValue(0), ParameterValue(20860), &levels);
        statusParameters().add(&unit, versionId, MinimumShortValue, MaximumShortValue);
        statusParameters().add(&unit, sharedId, ParameterValue(0), ParameterValue(8));
        controlParameters().add(&unit, delayId, ParameterValue(20), ParameterValue(150));
        controlParameters().add(&unit, sharedId, ParameterValue(0), ParameterValue(8));
        controlParameters().add(localSource(), unitsId, ParameterValue(0), ParameterValue(1));
    }

    using ParameterSet::addPollGroup;
    using ParameterSet::adoptObserver;
    using ParameterSet::adoptRule;
    using ParameterSet::setLocalImplementation;
};

class ParameterSetTest : public ::testing::Test {
protected:
    ParameterSetTest() {
        unit.values = {{levelId, ParameterValue(100)},
                       {versionId, ParameterValue(0x0102)},
                       {sharedId, ParameterValue(4)},
                       {delayId, ParameterValue(30)}};
        set = std::make_unique<TestSet>(unit);
    }

    RecordingProtocol unit;
    std::unique_ptr<TestSet> set;
};

// Tells, when it is destroyed, whether its subject had died before it.
class OrderProbe : public Observer<Parameter> {
public:
    OrderProbe(Parameter& parameter, std::vector<std::string>& journal, std::string name)
        : journal_(journal), name_(std::move(name)) {
        setSubject(&parameter);
        parameter.attach(*this);
    }
    ~OrderProbe() override {
        journal_.push_back(name_ + (subject() != nullptr ? " with its subject" : " orphaned"));
    }
    void update(Subject&, Transaction*) override {}

private:
    std::vector<std::string>& journal_;
    std::string name_;
};

} // namespace

TEST_F(ParameterSetTest, FindParameterLooksAmongControlsFirstThenStatus) {
    EXPECT_EQ(&set->findParameter(sharedId), &set->controlParameters().find(sharedId));
    EXPECT_EQ(&set->findParameter(levelId), &set->statusParameters().find(levelId));
    EXPECT_THROW(set->controlParameters().find(levelId), VerloException);
    EXPECT_EQ(thrownMessage<VerloException>([&] { set->findParameter(ParameterId(5, 1)); }),
              "Couldn't find parameter 1281 (5, 1)\n");
}

TEST_F(ParameterSetTest, ObserversAreBoundByIdentifierAndUpdatedAtOnce) {
    RecordingObserver status;
    RecordingObserverOf<ControlParameter> control;
    RecordingObserver controlAsParameter;
    set->observeStatus(sharedId, status);
    set->observeControl(sharedId, control);
    set->observeControl(delayId, controlAsParameter);
    EXPECT_EQ(status.subject(), &set->statusParameters().find(sharedId));
    EXPECT_EQ(control.subject(), &set->controlParameters().find(sharedId));
    EXPECT_EQ(controlAsParameter.subject(), &set->controlParameters().find(delayId));
    EXPECT_EQ(status.calls.size(), 1u);
    EXPECT_EQ(control.calls.size(), 1u);
    EXPECT_THROW(set->observeStatus(delayId, status), VerloException);
}

TEST_F(ParameterSetTest, PollNextRefreshesTheGroupsInTurn) {
    set->pollNext();
    EXPECT_THAT(unit.getValuesCalls, IsEmpty()) << "no group to poll yet";
    set->addPollGroup(1);
    set->addPollGroup(2);
    set->pollNext();
    set->pollNext();
    set->pollNext();
    ASSERT_EQ(unit.getValuesCalls.size(), 3u);
    EXPECT_THAT(unit.getValuesCalls[0], ElementsAre(levelId, sharedId));
    EXPECT_THAT(unit.getValuesCalls[1], ElementsAre(versionId));
    EXPECT_THAT(unit.getValuesCalls[2], ElementsAre(levelId, sharedId));
    EXPECT_EQ(set->statusParameters().find(versionId).value(), ParameterValue(0x0102));

    set->addPollGroup(7); // joins the tail, behind group 1
    set->pollNext();
    set->pollNext();
    set->pollNext();
    EXPECT_THAT(unit.getValuesCalls[3], ElementsAre(versionId));
    EXPECT_THAT(unit.getValuesCalls[4], ElementsAre(levelId, sharedId));
    EXPECT_THAT(unit.getValuesCalls[5], IsEmpty()) << "group 7";
}

TEST_F(ParameterSetTest, AGroupWhosePollFailedIsPolledAgainNext) {
    set->addPollGroup(1);
    set->addPollGroup(2);
    unit.failNext(ProtocolException("Timeout"));
    EXPECT_THROW(set->pollNext(), ProtocolException);
    set->pollNext();
    ASSERT_EQ(unit.getValuesCalls.size(), 1u);
    EXPECT_THAT(unit.getValuesCalls[0], ElementsAre(levelId, sharedId));
}

TEST_F(ParameterSetTest, RefreshControlsReadsOnlyTheUnitsControls) {
    set->refreshControls();
    ASSERT_EQ(unit.getValuesCalls.size(), 1u);
    EXPECT_THAT(unit.getValuesCalls[0], ElementsAre(sharedId, delayId));
    EXPECT_EQ(set->controlParameters().find(delayId).value(), ParameterValue(30));
}

TEST_F(ParameterSetTest, SetControlWritesAValueWithinTheLimitsAndReturnsThePendingValue) {
    EXPECT_EQ(set->setControl(delayId, ParameterValue(90)), ParameterValue(90));
    EXPECT_EQ(unit.getValuesCalls.size(), 1u) << "the controls are refreshed first";
    ASSERT_EQ(unit.writes.size(), 1u);
    EXPECT_EQ(unit.values[delayId], ParameterValue(90));

    EXPECT_EQ(set->setControl(delayId, ParameterValue(151)), ParameterValue(90));
    EXPECT_EQ(unit.writes.size(), 1u);

    unit.refused.insert(delayId);
    EXPECT_EQ(set->setControl(delayId, ParameterValue(100)), ParameterValue(90));
}

TEST_F(ParameterSetTest, SetControlsAndReadTakesTheAnswersInTwoPhases) {
    set->refreshControls();
    ControlParameter& delay = set->controlParameters().find(delayId);
    ControlParameter& shared = set->controlParameters().find(sharedId);
    RecordingObserverOf<ControlParameter> observer;
    observer.watch(delay);
    ParameterValue sharedSeen;
    observer.onUpdate = [&](Subject&, Transaction*) { sharedSeen = shared.value(); };
    unit.refused.insert(sharedId);

    ParameterValueMap results;
    set->setControlsAndRead({{delayId, ParameterValue(40)}, {sharedId, ParameterValue(5)}}, results,
                            10);
    ASSERT_EQ(unit.setValuesAndReadCalls.size(), 1u);
    EXPECT_EQ(results.at(sharedId), ParameterValue(4));
    EXPECT_EQ(delay.value(), ParameterValue(40));
    EXPECT_EQ(shared.value(), ParameterValue(4));
    EXPECT_EQ(sharedSeen, ParameterValue(4));
}

TEST_F(ParameterSetTest, LocalParametersLiveInTheSetsOwnSimulatedUnit) {
    ControlParameter& units = set->controlParameters().find(unitsId);
    set->controlParameters().refreshAll(set->localSource());
    units.setValue(ParameterValue(1));
    set->controlParameters().refreshAll(set->localSource());
    EXPECT_EQ(units.value(), ParameterValue(1));
    EXPECT_THAT(unit.writes, IsEmpty());
    EXPECT_THAT(unit.getValuesCalls, IsEmpty());
    EXPECT_FALSE(set->localSource()->hasDevice());
    EXPECT_TRUE(set->hasDevice());
}

TEST_F(ParameterSetTest, TheLocalUnitCanBeReplacedOnlyBeforeParametersUseIt) {
    DummyProtocol replacement;
    EXPECT_THROW(set->setLocalImplementation(replacement), VerloException);

    struct EmptySet : ParameterSet {
        using ParameterSet::ParameterSet;
        using ParameterSet::setLocalImplementation;
    };
    RecordingProtocol other;
    EmptySet empty(other);
    replacement.setValue(unitsId, ParameterValue(1), 0);
    empty.setLocalImplementation(replacement);
    ControlParameter& units = empty.controlParameters().add(empty.localSource(), unitsId,
                                                            ParameterValue(0), ParameterValue(1));
    empty.controlParameters().refreshAll(empty.localSource());
    EXPECT_EQ(units.value(), ParameterValue(1));
}

TEST_F(ParameterSetTest, RulesGoFirstThenParametersTellTheObserversStillAttached) {
    std::vector<std::string> journal;
    Parameter& level = set->statusParameters().find(levelId);
    set->adoptRule(std::make_unique<OrderProbe>(level, journal, "rule"));
    set->adoptObserver(std::make_unique<OrderProbe>(level, journal, "observer"));
    auto leftOver = std::make_unique<OrderProbe>(level, journal, "window");
    set.reset();
    EXPECT_THAT(journal, ElementsAre("rule with its subject", "observer with its subject"));
    leftOver.reset();
    EXPECT_EQ(journal.back(), "window orphaned");
}
