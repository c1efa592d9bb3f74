#include "UnitState.h"

#include "catalogue/KORAParams.h"
#include "protocol/ForwardingProtocol.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::uint16_t firstSignalOutput = 0x030E;
constexpr std::uint16_t lastSignalOutput = 0x0315;
const ParameterId firmwareLow(std::uint16_t{0x0113});
const ParameterId firmwareHigh(std::uint16_t{0x0114});

} // namespace

bool ParameterRange::unlimited() const {
    return minimum == MinimumShortValue && maximum == MaximumShortValue;
}

bool ParameterRange::accepts(const ParameterValue& value) const {
    if (unlimited()) {
        return true;
    }
    // A limited parameter holds a number: texts are not numbers in range.
    if (value.length() != 2) {
        return false;
    }
    const std::int16_t number = value.toSignedInt();
    return number >= minimum.toSignedInt() && number <= maximum.toSignedInt();
}

UnitState::UnitState(ParameterRangeMap ranges) : ranges_(std::move(ranges)) {}

ParameterRangeMap UnitState::catalogueRanges() {
    // The catalogue reads its first values while it is built; a simulated
    // unit serves them, and the parameters whose source is that front end
    // are the ones that live on a unit.
    DummyKORAProtocol unit;
    ForwardingProtocol frontEnd(&unit);
    KORAParams catalogue(frontEnd);
    ParameterRangeMap ranges;
    for (const auto& [id, parameter] : catalogue.statusParameters()) {
        if (parameter.source() == &frontEnd) {
            ranges[id] = {parameter.minimum(), parameter.maximum()};
        }
    }
    for (const auto& [id, parameter] : catalogue.controlParameters()) {
        if (parameter.source() == &frontEnd) {
            ranges[id] = {parameter.minimum(), parameter.maximum()};
        }
    }
    return ranges;
}

ParameterValueMap UnitState::values() const {
    ParameterValueMap result;
    for (const auto& [id, range] : ranges_) {
        const auto found = store_.values().find(id);
        result[id] = found != store_.values().end() ? found->second : range.minimum;
    }
    return result;
}

std::optional<ParameterValue> UnitState::value(ParameterId id) const {
    if (!ranges_.contains(id)) {
        return std::nullopt;
    }
    const auto found = store_.values().find(id);
    return found != store_.values().end() ? found->second : ranges_.at(id).minimum;
}

std::uint16_t UnitState::check(const ParameterValueMap& writes) const {
    for (const auto& [id, value] : writes) {
        const auto range = ranges_.find(id);
        // The host reads status parameters; it never writes them.
        if (range == ranges_.end() || isStatus(id)) {
            return illegalParameterId;
        }
        if (!range->second.accepts(value)) {
            return illegalParameterValue;
        }
    }
    return 0;
}

std::vector<ParameterId> UnitState::apply(const ParameterValueMap& writes) {
    std::vector<ParameterId> reported;
    auto report = [&reported](ParameterId id) {
        if (std::find(reported.begin(), reported.end(), id) == reported.end()) {
            reported.push_back(id);
        }
    };
    for (const auto& [id, value] : writes) {
        if (!isSignalOutput(id)) {
            store_.setValue(id, value, 0);
            report(id);
            continue;
        }
        const ParameterValueMap before = values();
        store_.setValue(id, value, 0);
        report(id);
        for (std::uint16_t number = firstSignalOutput; number <= lastSignalOutput; ++number) {
            const ParameterId member(number);
            if (before.at(member) != *this->value(member)) {
                report(member);
            }
        }
    }
    std::sort(reported.begin(), reported.end());
    return reported;
}

void UnitState::setStatus(ParameterId id, const ParameterValue& value) {
    if (ranges_.contains(id)) {
        store_.setValue(id, value, 0);
    }
}

UnitState::Version UnitState::firmwareVersion() const {
    const std::uint16_t high = value(firmwareHigh).value_or(ParameterValue()).toInt();
    const std::uint16_t low = value(firmwareLow).value_or(ParameterValue()).toInt();
    return {static_cast<std::uint8_t>(high >> 8), static_cast<std::uint8_t>(high & 0xFF),
            static_cast<std::uint8_t>(low >> 8), static_cast<std::uint8_t>(low & 0xFF)};
}

void UnitState::setFirmwareVersion(const Version& version) {
    setStatus(firmwareHigh, ParameterValue(version[0] << 8 | version[1]));
    setStatus(firmwareLow, ParameterValue(version[2] << 8 | version[3]));
}

std::optional<ParameterId> UnitState::programSelectionFor(int configuration) {
    // Program Selection 0..24 follow the configuration list in order: first
    // the multi-program ones (0..10, 12..17, 19..21), then the single ones.
    static constexpr int order[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 12, 13,
                                    14, 15, 16, 17, 19, 20, 21, 11, 18, 22, 23, 24};
    for (int index = 0; index < static_cast<int>(std::size(order)); ++index) {
        if (order[index] == configuration) {
            return ParameterId(static_cast<std::uint16_t>(0x0500 + index));
        }
    }
    return std::nullopt;
}

bool UnitState::isSignalOutput(ParameterId id) {
    return id.number() >= firstSignalOutput && id.number() <= lastSignalOutput;
}
