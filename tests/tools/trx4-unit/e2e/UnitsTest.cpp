#include "UnitProcess.h"

#include "protocol/GenericProtocol.h"
#include "protocol/ProtocolChain.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

const ParameterId cinemaProcessor(std::uint16_t{0x0300});

// Three units in one process, each on its own port with its own state, all
// connected at once; a signal stops them all.
TEST(Units, EachUnitHasItsOwnPortAndState) {
    UnitProcess unit({"--units", "3", "--listen", "127.0.0.1:0"}, std::chrono::seconds(20), 3);
    std::set<std::uint16_t> ports;
    std::vector<std::unique_ptr<ProtocolChain>> chains;
    for (std::size_t i = 0; i < 3; ++i) {
        ports.insert(unit.portOf(i));
        chains.push_back(
            std::make_unique<ProtocolChain>(ConnectionTarget::tcp("127.0.0.1", unit.portOf(i))));
    }
    EXPECT_EQ(ports.size(), 3u);
    const ParameterValue factory = chains[2]->frontEnd().getValue(cinemaProcessor);
    const ParameterValue changed(factory == ParameterValue(3) ? 4 : 3);
    chains[0]->frontEnd().setValue(cinemaProcessor, changed, 0);
    EXPECT_EQ(chains[0]->frontEnd().getValue(cinemaProcessor), changed);
    chains[1].reset();
    chains[1] = std::make_unique<ProtocolChain>(ConnectionTarget::tcp("127.0.0.1", unit.portOf(1)));
    EXPECT_EQ(chains[1]->frontEnd().getValue(cinemaProcessor), factory);
    EXPECT_EQ(chains[2]->frontEnd().getValue(cinemaProcessor), factory);
    EXPECT_EQ(unit.stop(SIGTERM), 0);
}

TEST(Units, RefusesOptionsThatCannotServeMany) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--units", "2", "--pty"},
             {"--units", "2", "--listen", "127.0.0.1:0", "--trace", "t.jsonl"},
             {"--units", "0"},
             {"--units", "3", "--listen", "127.0.0.1:65534"}}) {
        EXPECT_EQ(UnitProcess::runToEnd(arguments), 2) << arguments.back();
    }
}

} // namespace
