#pragma once

#include "base/ParameterValue.h"

#include <string>

// Turns the text of an edit control into a value and a value into editable text.
class ParameterConverter {
public:
    virtual ~ParameterConverter() = default;

    // Returns false, leaving value unchanged, when the text does not parse.
    virtual bool parse(ParameterValue& value, const std::string& text) const = 0;
    virtual void render(std::string& text, const ParameterValue& value) const = 0;
};

// Signed 16-bit decimal numbers.
class IntParameterConverter : public ParameterConverter {
public:
    // Rendered numbers are padded with '0' to width characters.
    explicit IntParameterConverter(int width = 1) : width_(width) {}

    // Reads a number from the start of the text as stream extraction does
    // (leading blanks skipped, optional sign, stops at the first non-digit).
    bool parse(ParameterValue& value, const std::string& text) const override;
    // The signed number; zeros pad between the sign and the digits.
    void render(std::string& text, const ParameterValue& value) const override;

private:
    int width_;
};

// The value's bytes as text and back.
class StringParameterConverter : public ParameterConverter {
public:
    bool parse(ParameterValue& value, const std::string& text) const override;
    void render(std::string& text, const ParameterValue& value) const override;
};
