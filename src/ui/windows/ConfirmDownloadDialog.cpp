#include "ui/windows/ConfirmDownloadDialog.h"

#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/StringTable.h"
#include "ui/look/WindowFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kBackgroundBitmap = 136;

CxShadeButton* shadedButton(const QString& caption, int id) {
    auto* button = new CxShadeButton(caption);
    setControlId(button, id);
    button->setMinimumSize(100, 28);
    button->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    return button;
}

} // namespace

ConfirmDownloadDialog::ConfirmDownloadDialog(QWidget* parent)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent) {
    setWindowTitle(QStringLiteral("Dialog"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    auto* warning = new QLabel(StringTable::load(kWarningString));
    // Its lines break where the text breaks them, and nowhere else.
    warning->setTextFormat(Qt::PlainText);
    setControlId(warning, kWarningText);
    layout->addWidget(warning);

    CxShadeButton* update = shadedButton(QStringLiteral("&Update"), kUpdateButton);
    connect(update, &QPushButton::clicked, this, &QDialog::accept);
    CxShadeButton* dontUpdate = shadedButton(QStringLiteral("&Don't Update"), kDontUpdateButton);
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
