#include "ui/look/CxShadeButton.h"

#include "ui/look/ControlId.h"

#include "ui/look/Palette.h"

#include "base/VerloException.h"

#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

// The face palette: highlight at index 0, face colour in the middle, shadow
// at the end.
constexpr int kPaletteSize = 64;
constexpr int kFaceIndex = kPaletteSize / 2;
// The cleared face starts a little lighter than the face colour.
constexpr int kClearIndex = kFaceIndex - 8;
constexpr int kStrokeCount = 200;
constexpr int kStrokeMaxIndex = 40;
// How many palette steps the face darkens from top to bottom and from left
// to right.
constexpr int kRowGradient = 20;
constexpr int kColumnGradient = 6;

// One generator for all buttons, so that every face is a little different.
std::mt19937& randomSource() {
    static std::mt19937 source(0x7254'5834);
    return source;
}

int randomBelow(int bound) {
    return bound <= 0 ? 0 : std::uniform_int_distribution<int>(0, bound - 1)(randomSource());
}

QColor mix(const QColor& from, const QColor& to, double amount) {
    return QColor::fromRgbF(
        static_cast<float>(from.redF() + (to.redF() - from.redF()) * amount),
        static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * amount),
        static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

QList<QRgb> faceColors(const QPalette& palette, int coloring, const QColor& color) {
    const QColor highlight = palette.color(QPalette::Light);
    const QColor face = palette.color(QPalette::Button);
    const QColor shadow = palette.color(QPalette::Dark);
    const double tint = std::clamp(coloring, 0, 100) / 100.0;
    QList<QRgb> colors;
    for (int i = 0; i < kPaletteSize; ++i) {
        const QColor step =
            i < kFaceIndex
                ? mix(highlight, face, static_cast<double>(i) / kFaceIndex)
                : mix(face, shadow,
                      static_cast<double>(i - kFaceIndex) / (kPaletteSize - 1 - kFaceIndex));
        colors.append(mix(step, color, tint).rgb());
    }
    return colors;
}

// The same pixels, each shown highlight steps nearer to index 0.
QList<QRgb> brightened(const QList<QRgb>& colors, int highlight) {
    QList<QRgb> result;
    for (int i = 0; i < colors.size(); ++i) {
        result.append(colors[std::clamp(i - highlight, 0, kPaletteSize - 1)]);
    }
    return result;
}

// Half way to the face colour, without hue: a flat, greyed face.
QList<QRgb> greyed(const QList<QRgb>& colors, const QColor& face) {
    QList<QRgb> result;
    for (const QRgb rgb : colors) {
        const int grey = qGray(mix(QColor(rgb), face, 0.5).rgb());
        result.append(qRgb(grey, grey, grey));
    }
    return result;
}

void drawStroke(QImage& image, int x, int y, int halfLength, int index) {
    for (int step = -halfLength; step <= halfLength; ++step) {
        const int px = x + step;
        const int py = y + step;
        if (px >= 0 && py >= 0 && px < image.width() && py < image.height()) {
            image.scanLine(py)[px] = static_cast<uchar>(index);
        }
    }
}

} // namespace

CxShadeButton::CxShadeButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent), textColor_(palette().color(QPalette::ButtonText)) {
    setAttribute(Qt::WA_Hover);
}

CxShadeButton* CxShadeButton::dialogButton(const QString& caption, int id, int minimumWidth) {
    auto* button = new CxShadeButton(caption);
    setControlId(button, id);
    button->setMinimumSize(minimumWidth, 28);
    button->setShade(kBrushedMetal, 8, 10, 0, QColor());
    return button;
}

void CxShadeButton::setShade(int shadeType, int granularity, int highlight, int coloring,
                             QColor color) {
    if (shadeType != kBrushedMetal) {
        throw VerloException("Unsupported button shade type: " + std::to_string(shadeType));
    }
    shade_ = Shade{shadeType, std::max(granularity, 0), std::clamp(highlight, 0, kPaletteSize - 1),
                   coloring, color};
    buildImages();
    update();
}

void CxShadeButton::setKind(Kind kind) {
    kind_ = kind;
    setCheckable(kind != Kind::PushButton);
    update();
}

void CxShadeButton::setTextAlignment(Qt::Alignment alignment) {
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void CxShadeButton::setTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void CxShadeButton::buildImages() {
    const QSize faceSize = size() - QSize(2 * kEdgeWidth, 2 * kEdgeWidth);
    if (!shade_ || faceSize.isEmpty()) {
        normalImage_ = pressedImage_ = hotImage_ = disabledImage_ = QImage();
        return;
    }
    const int width = faceSize.width();
    const int height = faceSize.height();
    QImage face(faceSize, QImage::Format_Indexed8);
    const QList<QRgb> colors = faceColors(palette(), shade_->coloring, shade_->color);
    face.setColorTable(colors);
    face.fill(kClearIndex);

    const int maxHalfLength = std::min(width, height) / 2;
    for (int i = 0; i < kStrokeCount; ++i) {
        const int x = randomBelow(width);
        const int y = randomBelow(height);
        drawStroke(face, x, y, randomBelow(maxHalfLength + 1), randomBelow(kStrokeMaxIndex + 1));
    }

    const int noise = shade_->granularity;
    for (int y = 0; y < height; ++y) {
        uchar* line = face.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int gradient = y * kRowGradient / height + x * kColumnGradient / width;
            const int grain = randomBelow(noise + 1) - noise / 2;
            line[x] =
                static_cast<uchar>(std::clamp(line[x] + gradient + grain, 0, kPaletteSize - 1));
        }
    }

    normalImage_ = face;
    pressedImage_ = face.copy();
    hotImage_ = face.copy();
    hotImage_.setColorTable(brightened(colors, shade_->highlight));
    disabledImage_ = face.copy();
    disabledImage_.setColorTable(greyed(colors, palette().color(QPalette::Button)));
}

void CxShadeButton::paintEvent(QPaintEvent* event) {
    if (!shade_ || normalImage_.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const bool sunken = isDown() || (kind_ != Kind::PushButton && isChecked());
    const QImage& face = !isEnabled() ? disabledImage_
                         : sunken     ? pressedImage_
                         : hot_       ? hotImage_
                                      : normalImage_;
    painter.drawImage(kEdgeWidth, kEdgeWidth, face);
    qDrawWinPanel(&painter, rect(), palette(), sunken);
    drawCaption(painter, sunken);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(kBorderWidth, kBorderWidth, -kBorderWidth, -kBorderWidth);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CxShadeButton::drawCaption(QPainter& painter, bool sunken) {
    QRect area = rect().adjusted(kBorderWidth, kBorderWidth, -kBorderWidth, -kBorderWidth);
    if (sunken) {
        area.translate(1, 1);
    }
    const int flags =
        static_cast<int>(alignment_) | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (isEnabled()) {
        painter.setPen(textColor_);
        painter.drawText(area, flags, text());
        return;
    }
    // Engraved: a highlight one pixel down and right, the shadow on top, in
    // the disabled text colour that stays readable on the greyed face.
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(area.translated(1, 1), flags, text());
    painter.setPen(BrushedSteelPalette::kDisabledTextColor);
    painter.drawText(area, flags, text());
}

void CxShadeButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    // Qt repeats resize events without a change of size (painting a hidden
    // button sends one); the face changes only with the size.
    if (shade_ && normalImage_.size() != event->size() - QSize(2 * kEdgeWidth, 2 * kEdgeWidth)) {
        buildImages();
    }
}

void CxShadeButton::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CxShadeButton::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CxShadeButton::nextCheckState() {
    if (kind_ == Kind::RadioButton) {
        setChecked(true);
    } else {
        setChecked(!isChecked());
    }
}
