#pragma once

#include <QImage>
#include <QWidget>

// A level meter's surface. It only paints the image its observer hands it;
// levels, ballistics and colours are the observer's business. Disabled, it
// draws the image dimmed: its values are no longer current.
class MeterWidget : public QWidget {
    Q_OBJECT

public:
    explicit MeterWidget(QWidget* parent = nullptr);

    // Shows image from the next paint on; it is drawn at the top left corner.
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QImage image_;
};
