#include "ui/look/MeterWidget.h"

#include <QEvent>
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
    if (!isEnabled()) {
        painter.fillRect(rect(), QColor(128, 128, 128, 176));
    }
}

void MeterWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        update();
    }
    QWidget::changeEvent(event);
}
