#include "MetricsText.h"

#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace {

// The text of one unit whose status words are scripted, decoded through the
// catalogue, beside a unit that is down, which reports only its connection and
// its polls. A poll as long as a bucket's bound falls in that bucket.
TEST(MetricsText, DecodesTheStatusAsTheWindowShowsIt) {
    const struct {
        std::map<std::uint16_t, int> status;
        std::vector<std::string> lines;
    } rows[] = {
        {{{0x0104, 5}, {0x0100, 0}, {0x0105, 1}, {0x0106, 20860}, {0x0107, 2086}, {0x0108, 0}},
         {"trx4_decoding{unit=\"booth-1\",mode=\"Muted PCM\"} 1",
          "trx4_decoding{unit=\"booth-1\",mode=\"No Input\"} 0",
          "trx4_frame_rate_fps{unit=\"booth-1\"} 0",
          "trx4_front_panel_input{unit=\"booth-1\",input=\"Film\"} 1",
          "trx4_output_level_dbfs{unit=\"booth-1\",channel=\"L\"} 0",
          "trx4_output_level_dbfs{unit=\"booth-1\",channel=\"C\"} -20",
          "trx4_output_level_dbfs{unit=\"booth-1\",channel=\"R\"} -60",
          "trx4_last_poll_timestamp_seconds{unit=\"booth-1\"} 1700000000.5",
          "trx4_last_message_timestamp_seconds{unit=\"booth-1\"} 1700000000.25",
          "# TYPE trx4_poll_duration_seconds histogram",
          "trx4_poll_duration_seconds_bucket{unit=\"booth-1\",le=\"0.1\"} 1",
          "trx4_poll_duration_seconds_bucket{unit=\"booth-1\",le=\"0.5\"} 2",
          "trx4_poll_duration_seconds_bucket{unit=\"booth-1\",le=\"+Inf\"} 3",
          "trx4_poll_duration_seconds_sum{unit=\"booth-1\"} 8.5625",
          "trx4_poll_duration_seconds_count{unit=\"b\\\"2\"} 0",
          "# TYPE trx4_poll_errors_total counter", "trx4_up{unit=\"b\\\"2\"} 0",
          "trx4_poll_errors_total{unit=\"b\\\"2\"} 3"}},
        {{{0x0104, 3}, {0x0100, 1}, {0x0105, 0}, {0x0114, 0x0104}, {0x0113, 0x0203}},
         {"trx4_decoding{unit=\"booth-1\",mode=\"Verlo Digital\"} 1",
          "trx4_decoding{unit=\"booth-1\",mode=\"Muted PCM\"} 0",
          "trx4_frame_rate_fps{unit=\"booth-1\"} 23.98",
          "trx4_front_panel_input{unit=\"booth-1\",input=\"Digital Media\"} 1",
          "trx4_firmware_info{unit=\"booth-1\",version=\"1.4.2.3\"} 1"}},
    };
    for (const auto& row : rows) {
        DummyKORAProtocol unit;
        for (const auto& [id, value] : row.status) {
            unit.setValue(ParameterId(id), ParameterValue(value), 0);
        }
        ForwardingProtocol frontEnd(&unit);
        KORAParams parameters(frontEnd);
        UnitSnapshot up;
        up.unit = "booth-1";
        up.up = true;
        up.lastPollSeconds = 1700000000.5;
        up.lastMessageSeconds = 1700000000.25;
        for (const double seconds : {0.0625, 0.5, 8.0}) {
            up.observePoll(seconds);
        }
        up.takeValues(parameters);
        UnitSnapshot down;
        down.unit = "b\"2";
        down.pollErrors = 3;
        const std::string text = metricsText({up, down});
        for (const std::string& line : row.lines) {
            EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << "\n" << text;
        }
        // Down, the unit has no labelled samples but its poll durations.
        EXPECT_FALSE(std::regex_search(text, std::regex(R"(unit="b\\"2",(?!le=))"))) << text;
    }
}

} // namespace
