#pragma once

#include <QColor>
#include <QImage>
#include <QPushButton>

#include <optional>

// A push button with a brushed-metal face. It draws itself: the textured face
// (brighter while the pointer is over it), a raised edge that sinks while the
// button is pressed, and its caption, shifted one pixel right and down while
// pressed and greyed while disabled. As a check box or radio button it keeps
// its own check state and shows it by staying sunk in.
class CxShadeButton : public QPushButton {
    Q_OBJECT

public:
    enum class Kind { PushButton, CheckBox, RadioButton };

    // Width of the raised or sunken edge drawn around the face.
    static constexpr int kEdgeWidth = 2;
    // Distance of the caption from the button's sides.
    static constexpr int kBorderWidth = 4;
    // The only shade type: strokes, gradient and noise, like brushed metal.
    static constexpr int kBrushedMetal = 8;

    explicit CxShadeButton(const QString& text = QString(), QWidget* parent = nullptr);
    // A dialog's push button: brushed metal, with its control id, at least
    // minimumWidth wide and 28 high.
    static CxShadeButton* dialogButton(const QString& caption, int id, int minimumWidth);

    // Prepares the face images for the button's size (again on every resize):
    // granularity sets the noise, highlight how much brighter the face is
    // while the pointer is over it, coloring how many percent of color are
    // mixed into the face. Throws VerloException for a shade type other than
    // kBrushedMetal. Until it is called the button looks like a plain one.
    void setShade(int shadeType, int granularity, int highlight, int coloring, QColor color);

    Kind kind() const { return kind_; }
    void setKind(Kind kind);

    // Left, right or centred; the caption is always one line, centred vertically.
    Qt::Alignment textAlignment() const { return alignment_; }
    void setTextAlignment(Qt::Alignment alignment);

    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);

    // True while the pointer is over the button.
    bool isHot() const { return hot_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void nextCheckState() override;

private:
    struct Shade {
        int type;
        int granularity;
        int highlight;
        int coloring;
        QColor color;
    };

    void buildImages();
    void drawCaption(QPainter& painter, bool sunken);

    Kind kind_ = Kind::PushButton;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
    QColor textColor_;
    bool hot_ = false;
    std::optional<Shade> shade_;
    QImage normalImage_;
    QImage pressedImage_;
    QImage hotImage_;
    QImage disabledImage_;
};
