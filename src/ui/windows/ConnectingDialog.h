#pragma once

#include "ui/look/PaletteDialog.h"

#include <QString>

// "Connecting to 10.0.0.5…" with Cancel: shown while a connection is made
// away from the window, which it keeps the operator from using meanwhile.
// Cancel (or Escape, or the close box) rejects it at once.
class ConnectingDialog : public PaletteDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 161;
    static constexpr int kMessageText = 1000;
    static constexpr int kCancelButton = 2;

    // where is the address as the operator typed it, or the serial port.
    explicit ConnectingDialog(const QString& where, QWidget* parent = nullptr);
};
