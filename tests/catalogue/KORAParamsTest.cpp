#include "RecordedCatalogue.h"

#include "model/ParameterTransaction.h"
#include "protocol/VerloException.h"

#include <gtest/gtest.h>

#include <set>

namespace {

bool isLocalGroup(std::uint8_t group) {
    return group == 9 || group == 11 || group == 13;
}

class KORAParamsTest : public ::testing::Test {
protected:
    KORAParamsTest() : params(catalogue.build()) {}

    RecordedCatalogue catalogue;
    KORAParams& params;
};

TEST_F(KORAParamsTest, HoldsEveryParameterOfTheUnitWithItsKindAndSource) {
    EXPECT_EQ(params.statusParameters().size(), 21u);
    EXPECT_EQ(params.controlParameters().size(), 113u);
    // The simulated unit knows exactly the unit's 134 identifiers.
    int local = 0;
    const DummyKORAProtocol simulated;
    for (const auto& [id, value] : simulated.values()) {
        SCOPED_TRACE(id.toText());
        if (id.group() == 1) {
            EXPECT_EQ(params.statusParameters().find(id).source(), params.protocol());
            EXPECT_EQ(params.controlParameters().lookup(id), nullptr);
        } else {
            const GenericProtocol* expected =
                isLocalGroup(id.group()) ? params.localSource() : params.protocol();
            EXPECT_EQ(params.controlParameters().find(id).source(), expected);
            local += isLocalGroup(id.group()) ? 1 : 0;
        }
    }
    EXPECT_EQ(local, 54);
    EXPECT_NE(params.localSource(), params.protocol());
}

TEST_F(KORAParamsTest, LoadsDeviceControlsThenStatusAndNeverAsksTheUnitForLocalOnes) {
    std::vector<std::string> expected;
    for (const auto& [id, parameter] : params.controlParameters()) {
        if (!isLocalGroup(id.group())) {
            expected.push_back("getValue " + FakeProtocolImplementation::hex(id));
        }
    }
    for (const auto& [id, parameter] : params.statusParameters()) {
        expected.push_back("getValue " + FakeProtocolImplementation::hex(id));
    }
    EXPECT_EQ(expected.size(), 80u);
    EXPECT_EQ(catalogue.unit.calls, expected);
}

TEST_F(KORAParamsTest, LocalChangesStayInTheApplication) {
    catalogue.unit.calls.clear();
    catalogue.control(0x0b00).setValue(ParameterValue(1));
    catalogue.control(0x0905).setValue(ParameterValue(1));
    ParameterTransaction edit;
    catalogue.control(0x0928).setValue(ParameterValue(40), &edit);
    edit.commit();
    params.refreshControls();
    EXPECT_EQ(catalogue.pending(0x0b00), 1);
    EXPECT_EQ(catalogue.pending(0x0905), 1);
    EXPECT_EQ(catalogue.pending(0x0928), 40);
    EXPECT_EQ(catalogue.writes(), 0);
    for (const std::string& call : catalogue.unit.calls) {
        EXPECT_EQ(call.find("getValue 0x09"), std::string::npos) << call;
        EXPECT_EQ(call.find("getValue 0x0B"), std::string::npos) << call;
    }

    catalogue.control(0x0304).setValue(ParameterValue(10));
    EXPECT_TRUE(catalogue.wrote("setValue 0x0304=10 delay 0"));
}

TEST_F(KORAParamsTest, NamesAndTextsAreTheUnitsOwn) {
    EXPECT_EQ(catalogue.name(0x0111), "Verlo Digital Coding mode (acmod))");
    EXPECT_EQ(catalogue.text(0x0111, 7), "3/2");
    EXPECT_EQ(catalogue.text(0x0301, 3), "Group four");
    EXPECT_EQ(catalogue.text(0x0101, 23), "7.1 Screen");
    EXPECT_EQ(catalogue.text(0x030a, 7), "Automation Port 7");
    EXPECT_EQ(catalogue.text(0x030b, 8), "Unassigned");
    EXPECT_EQ(catalogue.text(0x0316, 0), "Don't mute");
    EXPECT_EQ(catalogue.name(0x091f), "4x AES/EBU Port 7");
    EXPECT_EQ(catalogue.name(0x0d07), "Channel 7");
    EXPECT_EQ(catalogue.text(0x0d07, 5), "Right Surround");
    EXPECT_EQ(catalogue.text(0x0701, 0x4142), "AB");
    // Texts that are empty on purpose, and choices shown as bare digits.
    EXPECT_EQ(catalogue.text(0x0317, 1), "");
    EXPECT_EQ(catalogue.text(0x010f, 0), "");
    EXPECT_EQ(catalogue.text(0x0110, 0), "");
    EXPECT_EQ(catalogue.text(0x030d, 0), "0");
    EXPECT_EQ(catalogue.text(0x031b, 1), "1");
    // Values beyond a list show their number.
    EXPECT_EQ(catalogue.text(0x0300, 9), "9");
    // Parameters without a formatter.
    for (const std::uint16_t bare : {0x0106, 0x0113, 0x0303, 0x030e, 0x0500, 0x0928, 0x0b03}) {
        EXPECT_EQ(params.findParameter(ParameterId(bare)).formatter(), nullptr) << bare;
    }
}

TEST_F(KORAParamsTest, DialogueNormalizationUsesItsOwnFormatter) {
    EXPECT_EQ(catalogue.name(0x0112), "Dialog Normalization");
    EXPECT_EQ(catalogue.text(0x0112, 27), "-27dB");
    EXPECT_EQ(catalogue.text(0x0112, 0), "------");
}

TEST_F(KORAParamsTest, LimitsAreChecked) {
    ControlParameter& delay = catalogue.control(0x0303);
    for (const int refused : {19, 151}) {
        delay.setValue(ParameterValue(refused));
        EXPECT_EQ(catalogue.pending(0x0303), 20);
    }
    delay.setValue(ParameterValue(150));
    EXPECT_EQ(catalogue.pending(0x0303), 150);

    EXPECT_EQ(catalogue.status(0x0114).maximum(), ParameterValue(-1));
    EXPECT_EQ(catalogue.control(0x0518).maximum(), ParameterValue(0));
    EXPECT_EQ(catalogue.control(0x050a).maximum(), ParameterValue(7));
    EXPECT_EQ(catalogue.control(0x0510).maximum(), ParameterValue(5));
}

TEST_F(KORAParamsTest, OnlyLevelMetersAlwaysNotify) {
    std::set<std::uint16_t> notifying;
    for (const auto& [id, parameter] : params.statusParameters()) {
        if (parameter.alwaysNotify()) {
            notifying.insert(id.number());
        }
    }
    for (const auto& [id, parameter] : params.controlParameters()) {
        EXPECT_FALSE(parameter.alwaysNotify());
        EXPECT_TRUE(parameter.restorable());
        EXPECT_EQ(parameter.settleDelay(), 0u);
    }
    EXPECT_EQ(notifying, (std::set<std::uint16_t>{0x0106, 0x0107, 0x0108, 0x0109, 0x010a, 0x010b,
                                                  0x010c, 0x010d}));
}

TEST_F(KORAParamsTest, PollingReadsTheStatusGroup) {
    for (int poll = 0; poll < 2; ++poll) {
        catalogue.unit.calls.clear();
        params.pollNext();
        EXPECT_EQ(catalogue.unit.calls.size(), 21u);
        EXPECT_EQ(catalogue.unit.calls.front(), "getValue 0x0100");
        EXPECT_EQ(catalogue.unit.calls.back(), "getValue 0x0114");
    }
}

TEST_F(KORAParamsTest, ReportsAndLogs) {
    std::ostringstream text;
    params.writeTextReport(text, "TRX4");
    params.writeReportNotes(text, "TRX4");
    EXPECT_TRUE(text.str().empty());

    std::ostringstream html;
    params.writeHtmlReport(html, "TRX4");
    const std::string page = html.str();
    std::size_t rows = 0;
    for (std::size_t at = page.find("<TR>"); at != std::string::npos;
         at = page.find("<TR>", at + 1)) {
        ++rows;
    }
    EXPECT_EQ(rows, 134u);
    EXPECT_NE(page.find("<TR><TD>Cinema Processor</TD><TD>Arvo B</TD></TR>\r\n"),
              std::string::npos);
    EXPECT_NE(page.find("<TR><TD>Host Name</TD><TD>trx4</TD></TR>\r\n"), std::string::npos);
    EXPECT_NE(page.find("<TR><TD>Dialog Normalization</TD><TD>------</TD></TR>\r\n"),
              std::string::npos);

    std::string log;
    params.getEventLog(log);
    EXPECT_EQ(log, "events");
    params.getErrorLog(log);
    EXPECT_EQ(log, "errors");
}

TEST(KORAParamsConstructionTest, FailureOfTheUnitPropagates) {
    RecordedCatalogue catalogue;
    catalogue.unit.failNext(ProtocolException("TRX4 Disconnected"));
    EXPECT_THROW(catalogue.build(), ProtocolException);
    EXPECT_EQ(catalogue.params, nullptr);
}

TEST(KORAParamsOffLineTest, SavedConfigurationLoadsBackIntoAFreshCatalogue) {
    DummyKORAProtocol firstUnit;
    ForwardingProtocol firstFront(&firstUnit);
    KORAParams first(firstFront);
    const auto set = [&first](std::uint16_t id, const ParameterValue& value) {
        first.controlParameters().find(ParameterId(id)).setValue(value);
    };
    set(0x0300, ParameterValue(8));
    set(0x030a, ParameterValue(3));
    set(0x0305, ParameterValue(2));
    set(0x0306, ParameterValue(3));
    set(0x0307, ParameterValue(0));
    set(0x0310, ParameterValue(5));
    set(0x0701, ParameterValue(std::string("booth-1")));
    set(0x0b01, ParameterValue(120));
    set(0x0907, ParameterValue(1));
    first.refreshControls();
    std::stringstream file;
    first.saveControls(file);

    DummyKORAProtocol secondUnit;
    ForwardingProtocol secondFront(&secondUnit);
    KORAParams second(secondFront);
    second.restoreControls(file);
    second.refreshControls();
    for (const auto& [id, parameter] : first.controlParameters()) {
        EXPECT_EQ(second.controlParameters().find(id).value(), parameter.value()) << id.toText();
    }
    EXPECT_EQ(second.controlParameters().find(ParameterId(0x0d05)).value(), ParameterValue(2));
}

} // namespace
