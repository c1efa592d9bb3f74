#include "model/ParameterFormatter.h"

#include <ostream>
#include <utility>

ParameterFormatter::ParameterFormatter(std::string name) : name_(std::move(name)) {}

ParameterFormatter::~ParameterFormatter() = default;

bool ParameterFormatter::writeName(std::ostream& stream) const {
    stream << name_;
    return !stream.fail();
}

void EnumeratedFormatter::addText(const ParameterValue& value, std::string text) {
    texts_.insert_or_assign(value.toSignedInt(), std::move(text));
}

bool EnumeratedFormatter::format(std::ostream& stream, const ParameterValue& value) const {
    const std::int16_t number = value.toSignedInt();
    const auto text = texts_.find(number);
    if (text != texts_.end()) {
        stream << text->second;
    } else {
        stream << number;
    }
    return !stream.fail();
}

bool DialNormFormatter::format(std::ostream& stream, const ParameterValue& value) const {
    const std::int16_t number = value.toSignedInt();
    if (number <= 0) {
        stream << "------";
    } else {
        stream << '-' << number << "dB";
    }
    return !stream.fail();
}

bool StringFormatter::format(std::ostream& stream, const ParameterValue& value) const {
    stream << value.bytes();
    return !stream.fail();
}
