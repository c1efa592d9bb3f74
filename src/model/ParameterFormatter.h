#pragma once

#include "base/ParameterValue.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>

// A parameter's display name and the text of its values. Both operations
// return whether the stream is still good after writing.
class ParameterFormatter {
public:
    explicit ParameterFormatter(std::string name);
    virtual ~ParameterFormatter();

    virtual bool format(std::ostream& stream, const ParameterValue& value) const = 0;
    virtual bool writeName(std::ostream& stream) const;

    const std::string& name() const { return name_; }

private:
    std::string name_;
};

// Texts for listed values; any other value shows as its signed number.
class EnumeratedFormatter : public ParameterFormatter {
public:
    using ParameterFormatter::ParameterFormatter;

    // Sets the text of value (keyed by its signed 16-bit number); a later call
    // for the same value replaces the text.
    void addText(const ParameterValue& value, std::string text);
    bool format(std::ostream& stream, const ParameterValue& value) const override;

private:
    std::map<std::int16_t, std::string> texts_;
};

// Dialogue normalization: -27dB for 27; "------" for zero or less.
class DialNormFormatter : public ParameterFormatter {
public:
    using ParameterFormatter::ParameterFormatter;

    bool format(std::ostream& stream, const ParameterValue& value) const override;
};

// The value's bytes as text.
class StringFormatter : public ParameterFormatter {
public:
    using ParameterFormatter::ParameterFormatter;

    bool format(std::ostream& stream, const ParameterValue& value) const override;
};
