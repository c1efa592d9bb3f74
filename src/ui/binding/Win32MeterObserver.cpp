#include "ui/binding/Win32MeterObserver.h"

#include "base/VerloException.h"
#include "model/MeterScaler.h"
#include "model/Parameter.h"
#include "ui/look/MeterWidget.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// Taken during static initialisation, that is when the program starts.
const auto programStart = std::chrono::steady_clock::now();

} // namespace

std::int64_t programMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 programStart)
        .count();
}

Win32MeterObserver::Win32MeterObserver(MeterWidget* window, const MeterScaler* scaler,
                                       const MeterConfiguration& configuration, MeterClock clock)
    : window_(window), scaler_(scaler), configuration_(configuration),
      clock_(clock ? std::move(clock) : MeterClock(programMilliseconds)) {
    if (window == nullptr) {
        throw VerloException("Null meter window");
    }
    if (scaler == nullptr) {
        throw VerloException("Null meter scaler");
    }
}

void Win32MeterObserver::update(Subject& subject, Transaction* /*hint*/) {
    Parameter* parameter = this->subject();
    if (&subject != parameter || window_ == nullptr) {
        return;
    }
    if (!parameter->available()) {
        QImage image(window_->size(), QImage::Format_RGB32);
        image.fill(window_->palette().color(QPalette::Button));
        window_->setImage(image);
        return;
    }
    const std::int64_t now = clock_();
    const double level = withBallistics(levelOf(*parameter), now);
    draw(level);
    displayed_ = level;
    lastTime_ = now;
}

double Win32MeterObserver::levelOf(const Parameter& parameter) const {
    const double raw = parameter.value().toSignedInt();
    const double level =
        scaler_->scale(raw * configuration_.gain + configuration_.offset, configuration_.floor);
    return std::max(configuration_.floor, std::min(level, configuration_.top));
}

double Win32MeterObserver::withBallistics(double level, std::int64_t now) const {
    if (lastTime_ == 0) {
        return level;
    }
    const double seconds = static_cast<double>(now - lastTime_) * 0.001;
    if (level > displayed_ && configuration_.riseRate > 0) {
        return std::min(displayed_ + seconds * configuration_.riseRate, level);
    }
    if (level < displayed_ && configuration_.fallRate > 0) {
        return std::max(displayed_ - seconds * configuration_.fallRate, level);
    }
    return level;
}

void Win32MeterObserver::draw(double level) {
    const QSize size = window_->size();
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBackground);
    const double reference = configuration_.reference;
    if (level != reference) {
        const int extent = configuration_.horizontal ? size.width() : size.height();
        const double span = configuration_.top - configuration_.floor;
        // Pixels from the bottom (left) edge to the level v.
        const auto offsetOf = [&](double v) {
            const double fraction = span != 0 ? (v - configuration_.floor) / span : 0.0;
            return static_cast<int>(std::lround(fraction * extent));
        };
        const int low = offsetOf(std::min(level, reference));
        const int high = offsetOf(std::max(level, reference));
        const QRect band = configuration_.horizontal
                               ? QRect(low, 0, high - low, size.height())
                               : QRect(0, size.height() - high, size.width(), high - low);
        QPainter painter(&image);
        painter.fillRect(band, level > reference ? kAboveReference : kBelowReference);
    }
    window_->setImage(image);
}
