#pragma once

#include "base/ParameterValueMap.h"
#include "protocol/DummyKORAProtocol.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Limits of one device parameter, compared as signed 16-bit integers.
struct ParameterRange {
    ParameterValue minimum;
    ParameterValue maximum;

    // True for parameters without real limits (texts such as the host name).
    bool unlimited() const;
    // Whether the unit accepts value for a parameter with these limits.
    bool accepts(const ParameterValue& value) const;
};

using ParameterRangeMap = std::map<ParameterId, ParameterRange>;

// The unit's device parameters: the status group and the control groups 3, 5
// and 7, with the simulated unit's factory values. Writes are checked against
// each parameter's limits, and the eight signal outputs (0x030E..0x0315) stay
// a permutation: writing one the value another holds swaps the two.
class UnitState {
public:
    // Parameter status codes of refused writes.
    static constexpr std::uint16_t illegalParameterId = 1;
    static constexpr std::uint16_t illegalParameterValue = 2;

    // The keys of ranges are the unit's device parameters.
    explicit UnitState(ParameterRangeMap ranges);

    // The limits of every device parameter, as the application's catalogue
    // declares them, so that the unit refuses exactly what the host would.
    static ParameterRangeMap catalogueRanges();

    // Every device parameter with its value, in identifier order.
    ParameterValueMap values() const;
    // The value of a device parameter; none for other identifiers.
    std::optional<ParameterValue> value(ParameterId id) const;
    const ParameterRangeMap& ranges() const { return ranges_; }

    // 0 when the host may write every pair, otherwise the status code of the
    // first pair refused: an identifier that is no writable device parameter,
    // or a value outside its limits.
    std::uint16_t check(const ParameterValueMap& writes) const;
    // Applies writes that check() accepted, in identifier order. Returns every
    // identifier written plus any signal output swapped with one of them.
    std::vector<ParameterId> apply(const ParameterValueMap& writes);

    // Status parameters change by the unit's own doing, without range checks.
    void setStatus(ParameterId id, const ParameterValue& value);

    // Firmware version A.B.C.D, kept in 0x0114 (A, B) and 0x0113 (C, D).
    using Version = std::array<std::uint8_t, 4>;
    Version firmwareVersion() const;
    void setFirmwareVersion(const Version& version);

    // The Program Selection parameter of a program configuration (a value of
    // 0x0101); none for values outside the configuration list.
    static std::optional<ParameterId> programSelectionFor(int configuration);

    static bool isStatus(ParameterId id) { return id.group() == 1; }
    static bool isSignalOutput(ParameterId id);

private:
    ParameterRangeMap ranges_;
    // The simulated unit keeps the values and the swap rule of the outputs.
    DummyKORAProtocol store_;
};
