#include "ui/windows/ConfirmDownloadDialog.h"

#include "firmware/FirmwareImage.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/StringTable.h"
#include "ui/look/WindowFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kBackgroundBitmap = 136;

} // namespace

ConfirmDownloadDialog::ConfirmDownloadDialog(const QString& fileName, const FirmwareImage& image,
                                             QWidget* parent)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent) {
    setWindowTitle(QStringLiteral("Update Firmware"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    QString named =
        QStringLiteral("Image file: %1\nSize: %2 bytes").arg(fileName).arg(image.size());
    if (image.version()) {
        named += QStringLiteral("\nVersion: %1")
                     .arg(QString::fromStdString(FirmwareImage::versionText(*image.version())));
    }
    auto* imageText = new QLabel(named);
    imageText->setTextFormat(Qt::PlainText);
    setControlId(imageText, kImageText);
    layout->addWidget(imageText);
    auto* warning = new QLabel(StringTable::load(kWarningString));
    // Its lines break where the text breaks them, and nowhere else.
    warning->setTextFormat(Qt::PlainText);
    setControlId(warning, kWarningText);
    layout->addWidget(warning);

    CxShadeButton* update =
        CxShadeButton::dialogButton(QStringLiteral("&Update"), kUpdateButton, 100);
    connect(update, &QPushButton::clicked, this, &QDialog::accept);
    CxShadeButton* dontUpdate =
        CxShadeButton::dialogButton(QStringLiteral("&Don't Update"), kDontUpdateButton, 100);
    // Interrupting a transfer ruins the unit, so the safe answer is the default.
    dontUpdate->setDefault(true);
    connect(dontUpdate, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(update);
    buttons->addWidget(dontUpdate);
    buttons->addStretch();
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);
}
