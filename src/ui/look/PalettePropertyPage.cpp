#include "ui/look/PalettePropertyPage.h"

#include "ui/look/BitmapResource.h"
#include "ui/look/Palette.h"

#include <QPainter>

PalettePropertyPage::PalettePropertyPage(int templateId, int bitmapId, QWidget* parent)
    : QWidget(parent), templateId_(templateId), background_(BitmapResource::load(bitmapId)) {}

void PalettePropertyPage::showEvent(QShowEvent* event) {
    Palette::instance().styleControls(this);
    QWidget::showEvent(event);
}

void PalettePropertyPage::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    Palette::instance().paintBackground(painter, background_);
}
