#pragma once

#include "base/ParameterValue.h"
#include "model/Subject.h"

#include <QAbstractSlider>
#include <QPointer>
#include <QSlider>

#include <optional>

class ControlParameter;

// What the operator did to a slider. Up is towards the slider's minimum.
enum class ScrollCode {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition,
    ThumbTrack,
    Top,
    Bottom,
    EndTrack,
};

// Qt's slider actions as scroll codes: single and page steps towards the
// minimum are up, towards the maximum down; the minimum is the top, the
// maximum the bottom; a move of the thumb is thumb tracking.
ScrollCode scrollCodeOf(QAbstractSlider::SliderAction action);

// A slider over a control parameter's limits. An inverted slider shows the
// negated value, so that the parameter's maximum lies at the slider's
// minimum (the top of a track drawn with its minimum at the top).
class Win32SliderObserver : public Observer<ControlParameter> {
public:
    // With holdPosition, updates leave the thumb where it is.
    Win32SliderObserver(QSlider* slider, bool inverted, bool holdPosition);

    void update(Subject& subject, Transaction* hint) override;
    // Conversions between the parameter's and the slider's units; the identity.
    virtual int toParameterUnits(int value);
    virtual int toSliderUnits(int value);

    // Once attached: sets the line and page sizes, the range and position,
    // then the tick interval.
    void configureSlider(int tickFrequency, int lineSize, int pageSize);
    // The value the scroll code asks for; nothing when it changes nothing.
    std::optional<ParameterValue> wanted(ScrollCode code);

    int position() const { return position_; }

private:
    void setRangeAndPosition(const ControlParameter& parameter);

    QPointer<QSlider> slider_;
    // The slider position matching the parameter.
    int position_ = 0;
    bool inverted_;
    int lineSize_ = 1;
    int pageSize_ = 1;
    bool holdPosition_;
};
