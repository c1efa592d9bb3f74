#pragma once

#include <QBrush>
#include <QColor>

#include <memory>
#include <optional>

class QPainter;
class QPixmap;
class QWidget;

// What a control is, as far as its colours go.
enum class ControlKind {
    Edit,   // line and text edits, spin boxes
    Button, // check boxes, radio buttons, group boxes (push buttons draw themselves)
    Static, // labels, pictures
    Slider,
    Other,
};

ControlKind controlKindOf(const QWidget* control);

// The colours a control is drawn with. A brush of style Qt::NoBrush leaves
// the control transparent, so the window's background shows through.
struct ControlColors {
    QBrush brush;
    std::optional<QColor> text;
    // The text while the control is disabled.
    std::optional<QColor> disabledText;

    friend bool operator==(const ControlColors&, const ControlColors&) = default;
};

// The process-wide look of the windows: how a window's background bitmap is
// painted and which colours its controls get.
class Palette {
public:
    virtual ~Palette();

    // Paints the bitmap as the window's background, taking the source from
    // column 10 (the bitmap appears shifted 10 pixels to the left). Where the
    // window is larger than what the bitmap covers, the bitmap repeats.
    // Returns true: the background is painted.
    virtual bool paintBackground(QPainter& painter, const QPixmap& bitmap);

    // The colours for a control of the kind; defaults are the control's own.
    virtual ControlColors controlColor(const QWidget* control, ControlKind kind,
                                       const ControlColors& defaults) = 0;

    // Gives every control of the window (child windows excepted) its colours.
    void styleControls(QWidget* window);

    // The process-wide palette, a BrushedSteelPalette created on first use.
    static Palette& instance();
    // Deletes it; the next instance() makes a new one.
    static void destroyInstance();

private:
    static std::unique_ptr<Palette> instance_;
};

// Dark-blue transparent texts, white edit boxes, grey sliders.
class BrushedSteelPalette : public Palette {
public:
    static constexpr QColor kTextColor{0, 0, 125};
    // Grey, so that it reads as disabled, yet dark enough to keep a contrast
    // of at least 3:1 against every colour of the background bitmaps and
    // against the greyed face of a disabled shaded button.
    static constexpr QColor kDisabledTextColor{64, 64, 80};
    static constexpr QColor kEditColor{255, 255, 255};
    static constexpr QColor kSliderColor{195, 195, 195};

    ControlColors controlColor(const QWidget* control, ControlKind kind,
                               const ControlColors& defaults) override;

private:
    QBrush nullBrush_{Qt::NoBrush};
    QBrush editBrush_{kEditColor};
    QBrush sliderBrush_{kSliderColor};
};
