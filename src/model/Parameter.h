#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"
#include "base/ParameterValueMap.h"
#include "model/Subject.h"

#include <cstdint>
#include <iosfwd>
#include <set>

class GenericProtocol;
class ParameterFormatter;

// One reading of the unit, mirrored in the application: the value last read
// from its source, its limits and its display formatter. Observers are told
// whenever the value changes. Neither the source nor the formatter is owned.
class Parameter : public Subject {
public:
    // The value starts equal to the minimum; the parameter is available.
    Parameter(GenericProtocol* source, ParameterId id, ParameterValue minimum,
              ParameterValue maximum, ParameterFormatter* formatter = nullptr);
    Parameter(const Parameter&) = default;
    Parameter& operator=(const Parameter&) = delete;
    ~Parameter() override;

    // Writes the text of value with formatter, else with the parameter's own,
    // else as an unsigned number. Returns whether the stream is still good.
    virtual bool format(std::ostream& stream, const ParameterValue& value,
                        const ParameterFormatter* formatter = nullptr) const;
    // The value to show.
    virtual const ParameterValue& value() const;
    // Reads the value from the source; notifies when it changed (or always,
    // with alwaysNotify).
    virtual void refresh();
    // Takes this parameter's entry of values, if any; returns whether it was
    // taken (and notified).
    virtual bool update(const ParameterValueMap& values);

    ParameterId id() const { return id_; }
    const ParameterValue& minimum() const { return minimum_; }
    const ParameterValue& maximum() const { return maximum_; }
    GenericProtocol* source() const { return source_; }
    bool available() const { return available_; }
    bool alwaysNotify() const { return alwaysNotify_; }
    ParameterFormatter* formatter() const { return formatter_; }
    const std::set<std::uint32_t>& availabilityKeys() const { return availabilityKeys_; }

    // Installs a formatter and returns the previous one.
    ParameterFormatter* setFormatter(ParameterFormatter* formatter);
    void setAlwaysNotify(bool flag) { alwaysNotify_ = flag; }
    // Remembers a non-zero key, then notifies when the availability changes.
    void setAvailable(bool flag, std::uint32_t key);

    // Whether value, taken as a signed 16-bit number, lies within the limits.
    bool withinLimits(const ParameterValue& value) const;

protected:
    // The value last read from the source, for subclasses that keep more than one.
    const ParameterValue& readValue() const { return value_; }
    void setReadValue(const ParameterValue& value) { value_ = value; }

private:
    ParameterValue minimum_;
    ParameterValue maximum_;
    GenericProtocol* source_;
    ParameterId id_;
    ParameterValue value_;
    std::set<std::uint32_t> availabilityKeys_;
    bool available_ = true;
    bool alwaysNotify_ = false;
    ParameterFormatter* formatter_;
};
