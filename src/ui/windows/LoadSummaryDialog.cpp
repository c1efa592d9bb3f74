#include "ui/windows/LoadSummaryDialog.h"

#include "model/ParameterText.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WindowFrame.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr int kBackgroundBitmap = 136;

QString valueText(const ConfigurationDiff::Difference& change,
                  const std::optional<ParameterValue>& value) {
    if (!value) {
        return QStringLiteral("(absent)");
    }
    if (change.parameter == nullptr) {
        return QString::fromStdString(value->toString());
    }
    return QString::fromStdString(ParameterText::valueText(*change.parameter, *value));
}

} // namespace

LoadSummaryDialog::LoadSummaryDialog(const QString& path,
                                     const std::vector<ConfigurationDiff::Difference>& changes,
                                     QWidget* parent)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent) {
    setWindowTitle(QStringLiteral("Load Settings"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(12);
    auto* question =
        new QLabel(QStringLiteral("Loading %1 changes these settings of the TRX4:").arg(path));
    question->setTextFormat(Qt::PlainText);
    question->setWordWrap(true);
    layout->addWidget(question);

    auto* table = new QTableWidget(static_cast<int>(changes.size()), 3);
    setControlId(table, kChangesTable);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("TRX4"), QStringLiteral("File")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    for (int row = 0; row < table->rowCount(); ++row) {
        const ConfigurationDiff::Difference& change = changes[static_cast<std::size_t>(row)];
        const std::string name = change.parameter != nullptr
                                     ? ParameterText::label(*change.parameter)
                                     : ParameterText::idText(change.id);
        table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(name)));
        table->setItem(row, 1, new QTableWidgetItem(valueText(change, change.left)));
        table->setItem(row, 2, new QTableWidgetItem(valueText(change, change.right)));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setMinimumWidth(460);
    layout->addWidget(table);

    CxShadeButton* load = CxShadeButton::dialogButton(QStringLiteral("&Load"), kLoadButton, 100);
    connect(load, &QPushButton::clicked, this, &QDialog::accept);
    CxShadeButton* cancel =
        CxShadeButton::dialogButton(QStringLiteral("&Cancel"), kCancelButton, 100);
    // Writing changes the theatre's sound, so the safe answer is the default.
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(load);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);
}
