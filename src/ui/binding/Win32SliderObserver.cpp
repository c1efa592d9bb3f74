#include "ui/binding/Win32SliderObserver.h"

#include "model/ControlParameter.h"

#include <algorithm>

ScrollCode scrollCodeOf(QAbstractSlider::SliderAction action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollCode::LineUp;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollCode::LineDown;
    case QAbstractSlider::SliderPageStepSub:
        return ScrollCode::PageUp;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollCode::PageDown;
    case QAbstractSlider::SliderToMinimum:
        return ScrollCode::Top;
    case QAbstractSlider::SliderToMaximum:
        return ScrollCode::Bottom;
    case QAbstractSlider::SliderMove:
        return ScrollCode::ThumbTrack;
    case QAbstractSlider::SliderNoAction:
        break;
    }
    return ScrollCode::EndTrack;
}

Win32SliderObserver::Win32SliderObserver(QSlider* slider, bool inverted, bool holdPosition)
    : slider_(slider), inverted_(inverted), holdPosition_(holdPosition) {}

int Win32SliderObserver::toParameterUnits(int value) {
    return value;
}

int Win32SliderObserver::toSliderUnits(int value) {
    return value;
}

void Win32SliderObserver::setRangeAndPosition(const ControlParameter& parameter) {
    const int minimum = parameter.minimum().toSignedInt();
    const int maximum = parameter.maximum().toSignedInt();
    const int value = parameter.value().toSignedInt();
    if (inverted_) {
        slider_->setRange(-maximum, -minimum);
        position_ = -value;
    } else {
        slider_->setRange(minimum, maximum);
        position_ = value;
    }
}

void Win32SliderObserver::update(Subject& subject, Transaction* /*hint*/) {
    ControlParameter* parameter = this->subject();
    if (&subject != parameter || slider_ == nullptr) {
        return;
    }
    slider_->setEnabled(parameter->available());
    setRangeAndPosition(*parameter);
    if (!holdPosition_) {
        slider_->setValue(position_);
    }
}

void Win32SliderObserver::configureSlider(int tickFrequency, int lineSize, int pageSize) {
    ControlParameter* parameter = subject();
    if (parameter == nullptr || slider_ == nullptr) {
        return;
    }
    slider_->setPageStep(pageSize);
    slider_->setSingleStep(lineSize);
    lineSize_ = lineSize;
    pageSize_ = pageSize;
    setRangeAndPosition(*parameter);
    slider_->setValue(position_);
    slider_->setTickInterval(tickFrequency);
}

std::optional<ParameterValue> Win32SliderObserver::wanted(ScrollCode code) {
    ControlParameter* parameter = subject();
    if (parameter == nullptr || slider_ == nullptr) {
        return std::nullopt;
    }
    // In the parameter's units: an inverted slider's position and range negated.
    int thumb = slider_->sliderPosition();
    int low = slider_->minimum();
    int high = slider_->maximum();
    if (inverted_) {
        thumb = -thumb;
        std::swap(low, high);
        low = -low;
        high = -high;
    }
    const int sign = inverted_ ? -1 : 1;
    int change = 0;
    switch (code) {
    case ScrollCode::LineUp:
        change = -sign * lineSize_;
        break;
    case ScrollCode::LineDown:
        change = sign * lineSize_;
        break;
    case ScrollCode::PageUp:
        change = -sign * pageSize_;
        break;
    case ScrollCode::PageDown:
        change = sign * pageSize_;
        break;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
    case ScrollCode::Top:
    case ScrollCode::Bottom:
        change = thumb - sign * position_;
        break;
    case ScrollCode::EndTrack:
        break;
    }
    if (change == 0) {
        return std::nullopt;
    }
    // Signed, so that a parameter with negative values moves as well.
    const int position =
        std::clamp(toSliderUnits(parameter->value().toSignedInt()) + change, low, high);
    return ParameterValue(toParameterUnits(position));
}
