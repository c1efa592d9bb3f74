#include "model/ParameterReport.h"
#include "model/ParameterFormatter.h"
#include "model/ParameterSet.h"
#include "model/ParameterTransaction.h"
#include "protocol/VerloException.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// A formatter that cannot format: its rows are left out of every report.
class BrokenFormatter : public ParameterFormatter {
public:
    using ParameterFormatter::ParameterFormatter;
    bool format(std::ostream&, const ParameterValue&) const override { return false; }
};

class ParameterReportTest : public ::testing::Test {
protected:
    ParameterReportTest() {
        mode.addText(ParameterValue(0), "Off");
        mode.addText(ParameterValue(1), "On & <loud>");
        unit.values = {{ParameterId(0x0100), ParameterValue(-1)},
                       {ParameterId(0x0101), ParameterValue(std::string("\"a\" & b"))},
                       {ParameterId(0x0200), ParameterValue(3)},
                       {ParameterId(0x0300), ParameterValue(0)},
                       {ParameterId(0x0301), ParameterValue(std::string("trx4"))},
                       {ParameterId(0x0302), ParameterValue(7)}};
        set.statusParameters().add(&unit, ParameterId(0x0100), MinimumShortValue,
                                   MaximumShortValue);
        set.statusParameters().add(&unit, ParameterId(0x0101), MinimumShortValue, MaximumShortValue,
                                   &name);
        set.statusParameters().add(&unit, ParameterId(0x0200), MinimumShortValue, MaximumShortValue,
                                   &broken);
        set.controlParameters().add(&unit, ParameterId(0x0300), ParameterValue(0),
                                    ParameterValue(1), &mode);
        set.controlParameters().add(&unit, ParameterId(0x0301), MinimumShortValue,
                                    MaximumShortValue, &host);
        set.controlParameters().add(&unit, ParameterId(0x0302), MinimumShortValue,
                                    MaximumShortValue);
        set.refreshControls();
        set.statusParameters().refreshAll(&unit);
    }

    RecordingProtocol unit;
    EnumeratedFormatter mode{"Mode"};
    StringFormatter host{"Host <Name>"};
    StringFormatter name{"Label"};
    BrokenFormatter broken{"Broken"};
    ParameterSet set{unit};
};

TEST_F(ParameterReportTest, HtmlReportEscapesRowsAndShowsTheUnitsValues) {
    // An edit not yet sent: the report still shows what the unit holds.
    ParameterTransaction edit;
    set.controlParameters().find(ParameterId(0x0300)).setValue(ParameterValue(1), &edit);
    std::ostringstream stream;
    set.writeHtmlReport(stream, "Unit <b>");
    EXPECT_EQ(stream.str(), "<HTML><HEAD><TITLE>Unit <b></TITLE> </HEAD> <BODY>\r\n"
                            "<H1>Unit <b></H1>\n"
                            "<BR><CAPTION><FONT SIZE=+1>CONTROL PARAMETERS </FONT></CAPTION>\r\n"
                            "<TABLE BORDER COLS=2>\r\n"
                            "<TR><TD>Mode</TD><TD>Off</TD></TR>\r\n"
                            "<TR><TD>Host &lt;Name&gt;</TD><TD>trx4</TD></TR>\r\n"
                            "<TR><TD>770 (3, 2)</TD><TD>7</TD></TR>\r\n"
                            "</TABLE>\r\n"
                            "<BR><CAPTION><FONT SIZE=+1>STATUS PARAMETERS </FONT></CAPTION>\r\n"
                            "<TABLE BORDER COLS=2>\r\n"
                            "<TR><TD>256 (1, 0)</TD><TD>-1</TD></TR>\r\n"
                            "<TR><TD>Label</TD><TD>&quot;a&quot; &amp; b</TD></TR>\r\n"
                            "</TABLE>\r\n"
                            "</BODY></HTML>\r\n");
}

TEST_F(ParameterReportTest, TextReportListsControlsThenStatus) {
    set.controlParameters().find(ParameterId(0x0300)).setValue(ParameterValue(1));
    std::ostringstream stream;
    set.writeTextReport(stream, "TRX4");
    EXPECT_EQ(stream.str(), "TRX4\r\n\r\n"
                            "CONTROL PARAMETERS\r\n"
                            "Mode: On & <loud>\r\n"
                            "Host <Name>: trx4\r\n"
                            "770 (3, 2): 7\r\n"
                            "STATUS PARAMETERS\r\n"
                            "256 (1, 0): -1\r\n"
                            "Label: \"a\" & b\r\n");
}

TEST_F(ParameterReportTest, GroupSectionsCoverOneGroup) {
    std::ostringstream text;
    set.writeControlTextGroup(text, 3, "Settings");
    set.writeStatusTextGroup(text, 2, "Nothing shown");
    set.writeStatusTextGroup(text, 1, "Status");
    EXPECT_EQ(text.str(),
              "\r\nSettings\r\n\tMode: Off\r\n\tHost <Name>: trx4\r\n\t770 (3, 2): 7\r\n"
              "\r\nNothing shown\r\n"
              "\r\nStatus\r\n\t256 (1, 0): -1\r\n\tLabel: \"a\" & b\r\n");

    std::ostringstream html;
    set.writeStatusHtmlGroup(html, 1, "Status & more");
    set.writeControlHtmlGroup(html, 5, "Empty");
    EXPECT_EQ(html.str(), "<BR><CAPTION><FONT SIZE=+1>Status & more </FONT></CAPTION>\r\n"
                          "<TABLE BORDER COLS=2>\r\n"
                          "<TR><TD>256 (1, 0)</TD><TD>-1</TD></TR>\r\n"
                          "<TR><TD>Label</TD><TD>&quot;a&quot; &amp; b</TD></TR>\r\n"
                          "</TABLE>\r\n"
                          "<BR><CAPTION><FONT SIZE=+1>Empty </FONT></CAPTION>\r\n"
                          "<TABLE BORDER COLS=2>\r\n"
                          "</TABLE>\r\n");
}

TEST_F(ParameterReportTest, FailedStreamStopsAFullReport) {
    std::ostringstream failed;
    failed.setstate(std::ios::failbit);
    EXPECT_EQ(thrownMessage<VerloException>([&] { set.writeHtmlReport(failed, "x"); }),
              "Error formatting a parameter as html.");
    EXPECT_EQ(thrownMessage<VerloException>([&] { set.writeTextReport(failed, "x"); }),
              "Error formatting a parameter as text.");
}

TEST(HtmlEscapeTest, EscapesMarkupCharactersOnly) {
    EXPECT_EQ(escapeHtml("a<b>&\"c\"'d"), "a&lt;b&gt;&amp;&quot;c&quot;'d");
    EXPECT_EQ(escapeHtml("S/PDIF Port 0: 4x AES/EBU (acmod))"),
              "S/PDIF Port 0: 4x AES/EBU (acmod))");
    EXPECT_EQ(escapeHtml(""), "");
}

} // namespace
