#pragma once

#include <QDialog>
#include <QPixmap>

// A dialog in the application's look: its background bitmap painted by the
// process-wide palette, its controls coloured by it. Built for one dialog
// template; the template id tells the dialogs apart.
class PaletteDialog : public QDialog {
    Q_OBJECT

public:
    // Loads the background bitmap; throws VerloException when it is missing.
    PaletteDialog(int templateId, int bitmapId, QWidget* parent = nullptr);

    int templateId() const { return templateId_; }
    const QPixmap& background() const { return background_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int templateId_;
    QPixmap background_;
};
