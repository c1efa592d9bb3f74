#pragma once

#include <QPixmap>
#include <QWidget>

// A page of a tabbed dialog in the application's look: like PaletteDialog,
// its background bitmap and control colours come from the process-wide
// palette.
class PalettePropertyPage : public QWidget {
    Q_OBJECT

public:
    // Loads the background bitmap; throws VerloException when it is missing.
    PalettePropertyPage(int templateId, int bitmapId, QWidget* parent = nullptr);

    int templateId() const { return templateId_; }
    const QPixmap& background() const { return background_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int templateId_;
    QPixmap background_;
};
