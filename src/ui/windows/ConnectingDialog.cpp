#include "ui/windows/ConnectingDialog.h"

#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WindowFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kBackgroundBitmap = 136;

} // namespace

ConnectingDialog::ConnectingDialog(const QString& where, QWidget* parent)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent) {
    setWindowTitle(QStringLiteral("TRX4 Remote"));
    setModal(true);
    auto* message = new QLabel(QStringLiteral("Connecting to %1\u2026").arg(where));
    message->setTextFormat(Qt::PlainText);
    setControlId(message, kMessageText);
    auto* cancel = new CxShadeButton(QStringLiteral("Cancel"));
    setControlId(cancel, kCancelButton);
    cancel->setMinimumSize(88, 28);
    cancel->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 14);
    layout->addWidget(message);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);
}
