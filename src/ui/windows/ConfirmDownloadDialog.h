#pragma once

#include "ui/look/PaletteDialog.h"

class FirmwareImage;

// Names the image about to be sent (file, size and, when its payload names
// one, its version), warns the operator that a firmware update must not be
// interrupted and asks whether to go on: "Update" accepts, "Don't Update"
// rejects.
class ConfirmDownloadDialog : public PaletteDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 159;
    static constexpr int kUpdateButton = 1;
    static constexpr int kDontUpdateButton = 2;
    static constexpr int kWarningText = 1038;
    static constexpr int kWarningString = 22500;
    static constexpr int kImageText = 1040;

    ConfirmDownloadDialog(const QString& fileName, const FirmwareImage& image,
                          QWidget* parent = nullptr);
};
