#include "ui/look/PaletteDialog.h"

#include "ui/look/BitmapResource.h"
#include "ui/look/Palette.h"

#include <QPainter>

PaletteDialog::PaletteDialog(int templateId, int bitmapId, QWidget* parent)
    : QDialog(parent), templateId_(templateId), background_(BitmapResource::load(bitmapId)) {}

void PaletteDialog::showEvent(QShowEvent* event) {
    Palette::instance().styleControls(this);
    QDialog::showEvent(event);
}

void PaletteDialog::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    Palette::instance().paintBackground(painter, background_);
}
