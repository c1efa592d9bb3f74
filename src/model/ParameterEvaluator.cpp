#include "model/ParameterEvaluator.h"

bool IntEvaluator::evaluate(const ParameterValue& value) const {
    return value.toInt() == expected_;
}

bool DiscreteSurroundsEvaluator::evaluate(const ParameterValue& value) const {
    const std::uint16_t mode = value.toInt();
    return mode >= 4 && mode <= 7;
}
