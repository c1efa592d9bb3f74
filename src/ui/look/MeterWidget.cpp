#include "ui/look/MeterWidget.h"

#include <QPainter>

MeterWidget::MeterWidget(QWidget* parent) : QWidget(parent) {
    // The image covers the whole surface; nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MeterWidget::setImage(const QImage& image) {
    image_ = image;
    update();
}

void MeterWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}
