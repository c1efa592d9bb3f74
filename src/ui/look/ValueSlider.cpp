#include "ui/look/ValueSlider.h"

#include <QStyleOptionSlider>
#include <QStylePainter>

ValueSlider::ValueSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent) {}

void ValueSlider::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks) {
        option.subControls |= QStyle::SC_SliderTickmarks;
    }
    if (invertedAppearance()) {
        // Drawn the other way up with the position mirrored, the handle stays
        // where it is while the fill starts from the far end.
        option.upsideDown = !option.upsideDown;
        option.sliderPosition = option.minimum + option.maximum - option.sliderPosition;
        option.sliderValue = option.minimum + option.maximum - option.sliderValue;
    }
    painter.drawComplexControl(QStyle::CC_Slider, option);
}
