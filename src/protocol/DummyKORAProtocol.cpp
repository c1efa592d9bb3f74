#include "protocol/DummyKORAProtocol.h"

#include <string>

namespace {

constexpr std::uint16_t firstRouting = 0x030E;
constexpr std::uint16_t lastRouting = 0x0315;

struct IdRange {
    std::uint16_t first;
    std::uint16_t last;
};

constexpr IdRange parameterRanges[] = {
    {0x0100, 0x0114}, {0x0300, 0x031B}, {0x0500, 0x0518}, {0x0700, 0x0705},
    {0x0900, 0x0929}, {0x0B00, 0x0B03}, {0x0D00, 0x0D07},
};

struct InitialInteger {
    std::uint16_t id;
    int value;
};

constexpr InitialInteger initialIntegers[] = {
    {0x0101, 24}, {0x010E, 8}, {0x0111, 1}, {0x0300, 1}, {0x0303, 20}, {0x0305, 4}, {0x0306, 5},
    {0x0307, 1},  {0x0308, 2}, {0x0309, 3}, {0x030A, 8}, {0x030B, 8},  {0x0317, 1}, {0x0700, 1},
};

struct InitialText {
    std::uint16_t id;
    const char* text;
};

constexpr InitialText initialTexts[] = {
    {0x0701, "trx4"},    {0x0702, "localdomain"}, {0x0703, "0.0.0.0"},
    {0x0704, "0.0.0.0"}, {0x0705, "0.0.0.0"},     {0x0929, "0.0.0.0"},
};

} // namespace

DummyKORAProtocol::DummyKORAProtocol() {
    loadInitialValues();
}

void DummyKORAProtocol::setValue(ParameterId id, const ParameterValue& value,
                                 std::uint32_t delayMs) {
    if (id.number() >= firstRouting && id.number() <= lastRouting) {
        for (std::uint16_t member = firstRouting; member <= lastRouting; ++member) {
            const ParameterId memberId(member);
            const auto found = values().find(memberId);
            if (found != values().end() && found->second == value) {
                DummyProtocol::setValue(memberId, getValue(id), delayMs);
                break;
            }
        }
    }
    DummyProtocol::setValue(id, value, delayMs);
}

void DummyKORAProtocol::loadInitialValues() {
    for (const IdRange range : parameterRanges) {
        for (unsigned number = range.first; number <= range.last; ++number) {
            DummyProtocol::setValue(ParameterId(static_cast<std::uint16_t>(number)),
                                    ParameterValue(0), 0);
        }
    }
    for (const InitialInteger initial : initialIntegers) {
        DummyProtocol::setValue(ParameterId(initial.id), ParameterValue(initial.value), 0);
    }
    for (const InitialText initial : initialTexts) {
        DummyProtocol::setValue(ParameterId(initial.id), ParameterValue(std::string(initial.text)),
                                0);
    }
    for (int offset = 0; offset < 8; ++offset) {
        DummyProtocol::setValue(ParameterId(static_cast<std::uint16_t>(firstRouting + offset)),
                                ParameterValue(offset), 0);
        DummyProtocol::setValue(ParameterId(static_cast<std::uint16_t>(0x0D00 + offset)),
                                ParameterValue(offset), 0);
    }
}
