#include "model/ParameterConverter.h"

#include <cstdint>
#include <iomanip>
#include <limits>
#include <sstream>

bool IntParameterConverter::parse(ParameterValue& value, const std::string& text) const {
    std::istringstream stream(text);
    long number = 0;
    if (!(stream >> number) || number < std::numeric_limits<std::int16_t>::min() ||
        number > std::numeric_limits<std::int16_t>::max()) {
        return false;
    }
    value = ParameterValue(static_cast<int>(number));
    return true;
}

void IntParameterConverter::render(std::string& text, const ParameterValue& value) const {
    std::ostringstream stream;
    stream << std::setfill('0') << std::internal << std::setw(width_) << value.toSignedInt();
    text = stream.str();
}

bool StringParameterConverter::parse(ParameterValue& value, const std::string& text) const {
    value = ParameterValue(text);
    return true;
}

void StringParameterConverter::render(std::string& text, const ParameterValue& value) const {
    text = value.bytes();
}
