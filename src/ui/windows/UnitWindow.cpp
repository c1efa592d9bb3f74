#include "ui/windows/UnitWindow.h"

UnitWindow::UnitWindow(int templateId, int bitmapId, QWidget* parent)
    : PaletteDialog(templateId, bitmapId, parent) {}
