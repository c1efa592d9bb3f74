#pragma once

#include "model/ConfigurationDiff.h"
#include "ui/look/PaletteDialog.h"

#include <vector>

class QTableWidget;

// Before a configuration file is written to the unit: the settings it
// changes, each with the unit's value and the file's, and the question
// whether to write them. "Load" accepts, "Cancel" rejects.
class LoadSummaryDialog : public PaletteDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 161;
    static constexpr int kLoadButton = 1;
    static constexpr int kCancelButton = 2;
    static constexpr int kChangesTable = 1039;

    // Each change holds the unit's value on its left and the file's on its
    // right.
    LoadSummaryDialog(const QString& path,
                      const std::vector<ConfigurationDiff::Difference>& changes,
                      QWidget* parent = nullptr);
};
