#pragma once

#include "model/Subject.h"
#include "ui/binding/MeterConfiguration.h"

#include <QColor>
#include <QPointer>

#include <cstdint>
#include <functional>

class MeterScaler;
class MeterWidget;
class Parameter;

// Milliseconds since the program started; the meters' time base.
using MeterClock = std::function<std::int64_t()>;
std::int64_t programMilliseconds();

// Draws a level meter: scales the parameter's reading, lets the bar rise and
// fall at the configured rates and hands the rendered image to its widget.
class Win32MeterObserver : public Observer<Parameter> {
public:
    static constexpr QColor kBackground{0, 0, 128};
    // The bar above the reference, and below it.
    static constexpr QColor kAboveReference{255, 190, 0};
    static constexpr QColor kBelowReference{255, 0, 0};

    // Throws VerloException "Null meter window" without a window and "Null
    // meter scaler" without a scaler (not owned). clock defaults to
    // programMilliseconds.
    Win32MeterObserver(MeterWidget* window, const MeterScaler* scaler,
                       const MeterConfiguration& configuration, MeterClock clock = {});

    void update(Subject& subject, Transaction* hint) override;

    // The level last drawn.
    double displayed() const { return displayed_; }

private:
    double levelOf(const Parameter& parameter) const;
    double withBallistics(double level, std::int64_t now) const;
    void draw(double level);

    QPointer<MeterWidget> window_;
    const MeterScaler* scaler_;
    MeterConfiguration configuration_;
    MeterClock clock_;
    double displayed_ = 0.0;
    // When the last level was drawn; 0 before the first one.
    std::int64_t lastTime_ = 0;
};
