#include "ui/settings/CChannelAssignments.h"

#include "ui/look/ControlId.h"

#include <QComboBox>
#include <QFormLayout>

namespace {

constexpr int kBackgroundBitmap = 136;
constexpr int kChannels = 8;
// "Left" .. "Right Extra"
constexpr int kFirstSignalString = 104;
constexpr int kLastSignalString = 111;

} // namespace

CChannelAssignments::CChannelAssignments(ParameterSet* parameterSet,
                                         ExceptionHandler* exceptionHandler, QWidget* parent)
    : PalettePropertyPage(kTemplateId, kBackgroundBitmap, parent),
      controller_(parameterSet, exceptionHandler) {
    auto* layout = new QFormLayout(this);
    for (int k = 0; k < kChannels; ++k) {
        auto* list = new QComboBox;
        setControlId(list, kFirstList + k);
        layout->addRow(QStringLiteral("Channel &%1").arg(k + 1), list);
        // The rules keep the unit's signal outputs the mirror of these.
        controller_.bindComboBox(list, ParameterId(static_cast<std::uint16_t>(0x0d00 + k)),
                                 kFirstSignalString, kLastSignalString);
        controller_.connectChanges(list);
    }
}
