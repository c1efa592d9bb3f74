#include "ui/look/Palette.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTextEdit>

std::unique_ptr<Palette> Palette::instance_;

namespace {

// The background bitmaps are drawn from this column on.
constexpr int kBackgroundShift = 10;

void applyColors(QWidget* control, ControlKind kind, const ControlColors& colors) {
    QPalette palette = control->palette();
    if (colors.brush.style() == Qt::NoBrush) {
        control->setAutoFillBackground(false);
    } else if (kind == ControlKind::Edit) {
        palette.setBrush(QPalette::Base, colors.brush);
    } else {
        palette.setBrush(control->backgroundRole(), colors.brush);
        control->setAutoFillBackground(true);
    }
    const auto setText = [&palette](QPalette::ColorGroup group, const QColor& color) {
        for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
            palette.setColor(group, role, color);
        }
    };
    if (colors.text) {
        setText(QPalette::Active, *colors.text);
        setText(QPalette::Inactive, *colors.text);
    }
    if (colors.disabledText) {
        setText(QPalette::Disabled, *colors.disabledText);
    }
    control->setPalette(palette);
}

} // namespace

ControlKind controlKindOf(const QWidget* control) {
    if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QTextEdit*>(control) ||
        qobject_cast<const QPlainTextEdit*>(control) ||
        qobject_cast<const QAbstractSpinBox*>(control)) {
        return ControlKind::Edit;
    }
    if (qobject_cast<const QCheckBox*>(control) || qobject_cast<const QRadioButton*>(control) ||
        qobject_cast<const QGroupBox*>(control)) {
        return ControlKind::Button;
    }
    if (qobject_cast<const QLabel*>(control)) {
        return ControlKind::Static;
    }
    if (qobject_cast<const QSlider*>(control)) {
        return ControlKind::Slider;
    }
    return ControlKind::Other;
}

Palette::~Palette() = default;

bool Palette::paintBackground(QPainter& painter, const QPixmap& bitmap) {
    if (bitmap.isNull()) {
        return false;
    }
    const QPaintDevice* device = painter.device();
    painter.drawTiledPixmap(QRect(0, 0, device->width(), device->height()), bitmap,
                            QPoint(kBackgroundShift, 0));
    return true;
}

void Palette::styleControls(QWidget* window) {
    for (QObject* child : window->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control == nullptr || control->isWindow()) {
            continue;
        }
        const ControlKind kind = controlKindOf(control);
        const QPalette::ColorRole role =
            kind == ControlKind::Edit ? QPalette::Base : control->backgroundRole();
        const ControlColors defaults{control->palette().brush(role), std::nullopt, std::nullopt};
        const ControlColors colors = controlColor(control, kind, defaults);
        if (colors != defaults) {
            applyColors(control, kind, colors);
        }
        styleControls(control);
    }
}

Palette& Palette::instance() {
    if (!instance_) {
        instance_ = std::make_unique<BrushedSteelPalette>();
    }
    return *instance_;
}

void Palette::destroyInstance() {
    instance_.reset();
}

ControlColors BrushedSteelPalette::controlColor(const QWidget* /*control*/, ControlKind kind,
                                                const ControlColors& defaults) {
    switch (kind) {
    case ControlKind::Edit:
        return {editBrush_, std::nullopt, std::nullopt};
    case ControlKind::Slider:
        return {sliderBrush_, std::nullopt, std::nullopt};
    case ControlKind::Button:
    case ControlKind::Static:
        return {nullBrush_, kTextColor, kDisabledTextColor};
    case ControlKind::Other:
        break;
    }
    return defaults;
}
