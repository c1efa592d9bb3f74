#pragma once

#include "base/ParameterValue.h"

#include <cstdint>

// Answers yes or no for a value, for example whether a lamp is lit.
class ParameterEvaluator {
public:
    virtual ~ParameterEvaluator() = default;

    virtual bool evaluate(const ParameterValue& value) const = 0;
};

// True for one 16-bit number.
class IntEvaluator : public ParameterEvaluator {
public:
    explicit IntEvaluator(std::uint16_t expected = 1) : expected_(expected) {}

    bool evaluate(const ParameterValue& value) const override;

private:
    std::uint16_t expected_;
};

// True for the coding modes with surround channels (2/1, 3/1, 2/2, 3/2).
class DiscreteSurroundsEvaluator : public ParameterEvaluator {
public:
    bool evaluate(const ParameterValue& value) const override;
};
