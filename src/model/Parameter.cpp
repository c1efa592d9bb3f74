#include "model/Parameter.h"

#include "model/ParameterFormatter.h"
#include "protocol/GenericProtocol.h"

#include <ostream>
#include <utility>

Parameter::Parameter(GenericProtocol* source, ParameterId id, ParameterValue minimum,
                     ParameterValue maximum, ParameterFormatter* formatter)
    : minimum_(std::move(minimum)), maximum_(std::move(maximum)), source_(source), id_(id),
      value_(minimum_), formatter_(formatter) {}

Parameter::~Parameter() = default;

bool Parameter::format(std::ostream& stream, const ParameterValue& value,
                       const ParameterFormatter* formatter) const {
    if (formatter == nullptr) {
        formatter = formatter_;
    }
    if (formatter != nullptr) {
        return formatter->format(stream, value);
    }
    stream << value.toInt();
    return !stream.fail();
}

const ParameterValue& Parameter::value() const {
    return value_;
}

void Parameter::refresh() {
    ParameterValue read = source_->getValue(id_);
    if (read != value_ || alwaysNotify_) {
        value_ = std::move(read);
        notify(nullptr);
    }
}

bool Parameter::update(const ParameterValueMap& values) {
    const auto entry = values.find(id_);
    if (entry == values.end()) {
        return false;
    }
    if (entry->second == value_ && !alwaysNotify_) {
        return false;
    }
    value_ = entry->second;
    notify(nullptr);
    return true;
}

ParameterFormatter* Parameter::setFormatter(ParameterFormatter* formatter) {
    return std::exchange(formatter_, formatter);
}

void Parameter::setAvailable(bool flag, std::uint32_t key) {
    if (key != 0) {
        availabilityKeys_.insert(key);
    }
    if (available_ != flag) {
        available_ = flag;
        notify(nullptr);
    }
}

bool Parameter::withinLimits(const ParameterValue& value) const {
    const std::int16_t number = value.toSignedInt();
    return number >= minimum_.toSignedInt() && number <= maximum_.toSignedInt();
}
