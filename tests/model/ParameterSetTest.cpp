#include "model/ParameterSet.h"
#include "base/VerloException.h"
#include "model/ParameterTransaction.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>

#include <memory>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

const ParameterId numberId(1, 0); // no formatter
const ParameterId labelId(1, 1);
const ParameterId brokenId(2, 0);
const ParameterId sharedId(1, 9); // a control parameter that also has a status twin
const ParameterId modeId(3, 0);
const ParameterId delayId(3, 2); // no formatter
const ParameterId unitsId(11, 0);

// A formatter that cannot format: its rows are left out of every report.
class BrokenFormatter : public ParameterFormatter {
public:
    using ParameterFormatter::ParameterFormatter;
    bool format(std::ostream&, const ParameterValue&) const override { return false; }
};

// A set built the way a catalogue builds one.
class TestSet : public ParameterSet {
public:
    explicit TestSet(RecordingProtocol& unit) : ParameterSet(unit) {
        auto& mode = makeFormatter<EnumeratedFormatter>("Mode");
        mode.addText(ParameterValue(0), "Off");
        mode.addText(ParameterValue(1), "On & <loud>");
        auto& status = statusParameters();
        status.add(&unit, numberId, MinimumShortValue, MaximumShortValue);
        status.add(&unit, labelId, MinimumShortValue, MaximumShortValue,
                   &makeFormatter<StringFormatter>("Label <1>"));
        status.add(&unit, brokenId, MinimumShortValue, MaximumShortValue,
                   &makeFormatter<BrokenFormatter>("Broken"));
        status.add(&unit, sharedId, ParameterValue(0), ParameterValue(8));
        controlParameters().add(&unit, sharedId, ParameterValue(0), ParameterValue(8));
        controlParameters().add(&unit, modeId, ParameterValue(0), ParameterValue(1), &mode);
        controlParameters().add(&unit, delayId, ParameterValue(20), ParameterValue(150));
        controlParameters().add(localSource(), unitsId, ParameterValue(0), ParameterValue(1));
    }

    using ParameterSet::addPollGroup;
    using ParameterSet::adoptObserver;
    using ParameterSet::adoptRule;
};

class ParameterSetTest : public ::testing::Test {
protected:
    ParameterSetTest() {
        unit.values = {
            {numberId, ParameterValue(-1)}, {labelId, ParameterValue(std::string("\"a\" & b"))},
            {brokenId, ParameterValue(3)},  {sharedId, ParameterValue(4)},
            {modeId, ParameterValue(0)},    {delayId, ParameterValue(30)}};
        set = std::make_unique<TestSet>(unit);
    }

    ControlParameter& control(ParameterId id) { return set->controlParameters().find(id); }

    RecordingProtocol unit;
    std::unique_ptr<TestSet> set;
};

// Tells, when it is destroyed, whether its subject had died before it.
struct OrderProbe : RecordingObserver {
    OrderProbe(Parameter& parameter, std::vector<std::string>& journal, std::string name)
        : journal(journal), name(std::move(name)) {
        watch(parameter);
    }
    ~OrderProbe() override {
        journal.push_back(name + (subject() ? " with its subject" : " orphaned"));
    }
    std::vector<std::string>& journal;
    std::string name;
};

} // namespace

TEST_F(ParameterSetTest, FindsControlsFirstBindsObserversByIdentifierAndDropsItsOwnFirst) {
    EXPECT_EQ(&set->findParameter(sharedId), &control(sharedId));
    EXPECT_EQ(&set->findParameter(numberId), &set->statusParameters().find(numberId));
    EXPECT_EQ(thrownMessage<VerloException>([&] { set->findParameter(ParameterId(3, 10)); }),
              "Couldn't find parameter 778 (3, 10)\n");
    RecordingObserver status;
    RecordingObserverOf<ControlParameter> controlObserver;
    set->observeStatus(sharedId, status);
    set->observeControl(sharedId, controlObserver);
    EXPECT_EQ(status.subject(), &set->statusParameters().find(sharedId));
    EXPECT_EQ(controlObserver.calls.size(), 1u);
    EXPECT_EQ(controlObserver.subject(), &control(sharedId));
    EXPECT_THROW(set->observeStatus(delayId, status), VerloException);

    // Rules go first, then parameters tell the observers still attached.
    std::vector<std::string> journal;
    Parameter& number = set->statusParameters().find(numberId);
    set->adoptRule(std::make_unique<OrderProbe>(number, journal, "rule"));
    set->adoptObserver(std::make_unique<OrderProbe>(number, journal, "observer"));
    auto leftOver = std::make_unique<OrderProbe>(number, journal, "window");
    set.reset();
    EXPECT_THAT(journal, ElementsAre("rule with its subject", "observer with its subject"));
    leftOver.reset();
    EXPECT_EQ(journal.back(), "window orphaned");
}

TEST_F(ParameterSetTest, PollNextReadsOneGroupAfterAnotherAndRepeatsAFailedOne) {
    set->pollNext();
    EXPECT_THAT(unit.getValuesCalls, IsEmpty()) << "no group to poll yet";
    set->addPollGroup(1);
    set->addPollGroup(2);
    unit.failNext(ProtocolException("Timeout"));
    EXPECT_THROW(set->pollNext(), ProtocolException);
    for (int poll = 0; poll < 3; ++poll) {
        set->pollNext();
    }
    set->addPollGroup(7); // joins the tail, behind group 1
    for (int poll = 0; poll < 3; ++poll) {
        set->pollNext();
    }
    const ParameterIdList first{numberId, labelId, sharedId};
    EXPECT_EQ(unit.getValuesCalls,
              (std::vector<ParameterIdList>{first, {brokenId}, first, {brokenId}, first, {}}));
    EXPECT_EQ(set->statusParameters().find(brokenId).value(), ParameterValue(3));
}

TEST_F(ParameterSetTest, RefreshReadsOnlyItsSourceAndKeepsWhatIsNotAnswered) {
    set->refreshControls();
    EXPECT_EQ(unit.getValuesCalls, (std::vector<ParameterIdList>{{sharedId, modeId, delayId}}));
    EXPECT_EQ(control(delayId).value(), ParameterValue(30));
    unit.values.erase(delayId);
    unit.values[modeId] = ParameterValue(1);
    set->refreshControls();
    EXPECT_EQ(control(modeId).value(), ParameterValue(1));
    EXPECT_EQ(control(delayId).value(), ParameterValue(30));
    // A write reads the unit first: a value it already holds is not sent again.
    unit.values[modeId] = ParameterValue(0);
    EXPECT_EQ(set->setControl(modeId, ParameterValue(0)), ParameterValue(0));
    ParameterValueMap read;
    set->setControlsAndRead({{delayId, ParameterValue(50)}}, read, 0);
    EXPECT_EQ(control(delayId).value(), ParameterValue(50));

    ControlParameter& units = control(unitsId);
    units.setValue(ParameterValue(1));
    set->controlParameters().refreshAll(set->localSource());
    EXPECT_EQ(units.value(), ParameterValue(1));
    EXPECT_THAT(unit.writes, IsEmpty());
    EXPECT_EQ(unit.getValuesCalls.size(), 4u);
}

TEST_F(ParameterSetTest, ControlsAllHoldTheirNewValuesBeforeTheFirstObserverRuns) {
    ControlParameter& shared = control(sharedId);
    ControlParameter& delay = control(delayId);
    std::vector<std::string> journal;
    RecordingObserverOf<ControlParameter> onShared("shared", &journal), onMode("mode", &journal),
        onDelay("delay", &journal);
    onDelay.watch(delay);
    onMode.watch(control(modeId));
    onShared.watch(shared);
    journal.clear();
    std::vector<ParameterValue> seen;
    onShared.onUpdate = [&](Subject&, Transaction*) { seen = {shared.value(), delay.value()}; };
    set->controlParameters().updateAll({{sharedId, ParameterValue(5)},
                                        {modeId, ParameterValue(0)},
                                        {delayId, ParameterValue(40)}});
    EXPECT_THAT(journal, ElementsAre("shared", "delay")) << "in identifier order, mode unchanged";
    EXPECT_THAT(seen, ElementsAre(ParameterValue(5), ParameterValue(40)));
    EXPECT_EQ(onDelay.calls.back().hint, nullptr);

    // An observer may start another update of the same map.
    onShared.onUpdate = [&](Subject&, Transaction*) {
        set->controlParameters().updateAll({{delayId, ParameterValue(77)}});
    };
    set->controlParameters().updateAll(
        {{sharedId, ParameterValue(1)}, {delayId, ParameterValue(41)}});
    EXPECT_EQ(delay.value(), ParameterValue(77));
    EXPECT_EQ(onDelay.calls.size(), 4u) << "attach, the first update, the inner and the outer one";
}

TEST_F(ParameterSetTest, ReportsShowTheUnitsValuesAndAFailedStreamStopsAReport) {
    set->refreshControls();
    set->statusParameters().refreshAll(&unit);
    ParameterTransaction edit;
    control(modeId).setValue(ParameterValue(1), &edit);
    std::ostringstream html;
    set->writeHtmlReport(html, "Unit <b>");
    EXPECT_THAT(html.str(), StartsWith("<HTML><HEAD><TITLE>Unit <b></TITLE> </HEAD> <BODY>\r\n"));
    EXPECT_THAT(html.str(), HasSubstr("<TR><TD>Mode</TD><TD>Off</TD></TR>\r\n"));
    EXPECT_THAT(html.str(), HasSubstr("<TD>Label &lt;1&gt;</TD><TD>&quot;a&quot; &amp; b</TD>"));
    EXPECT_THAT(html.str(), EndsWith("</TABLE>\r\n</BODY></HTML>\r\n"));
    edit.rollback();
    control(modeId).setValue(ParameterValue(1));
    std::ostringstream text;
    set->writeTextReport(text, "TRX4");
    EXPECT_EQ(text.str(),
              "TRX4\r\n\r\nCONTROL PARAMETERS\r\n"
              "265 (1, 9): 4\r\nMode: On & <loud>\r\n770 (3, 2): 30\r\n2816 (b, 0): 0\r\n"
              "STATUS PARAMETERS\r\n"
              "256 (1, 0): -1\r\nLabel <1>: \"a\" & b\r\n265 (1, 9): 4\r\n");

    std::ostringstream failed;
    failed.setstate(std::ios::failbit);
    EXPECT_EQ(thrownMessage<VerloException>([&] { set->writeHtmlReport(failed, "x"); }),
              "Error formatting a parameter as html.");
    EXPECT_EQ(thrownMessage<VerloException>([&] { set->writeTextReport(failed, "x"); }),
              "Error formatting a parameter as text.");
}
