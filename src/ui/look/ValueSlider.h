#pragma once

#include <QSlider>

// A slider whose coloured fill shows the value: it runs from the end of the
// value's minimum to the handle. Styles fill from the end where the slider's
// own minimum is drawn; an inverted slider (inverted appearance, showing the
// negated value so that the parameter's maximum is on top) is filled from
// the other end instead, where the parameter's minimum lies.
class ValueSlider : public QSlider {
    Q_OBJECT

public:
    explicit ValueSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
