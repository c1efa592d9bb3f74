#include "ui/settings/CProgramSelection.h"

#include "ui/look/ControlId.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

#include <initializer_list>

namespace {

constexpr int kBackgroundBitmap = 136;
// Every program row has this many buttons; those it does not need are inactive.
constexpr int kRowButtons = 4;

struct Choice {
    int id;
    const char* text;
};

// Buttons for the values 0, 1, ... of parameter, side by side in one group of
// their own (radio buttons exclude each other per parent). Parameter 0 means
// none: the row stands for a single-program input, its one button checked.
// The row takes the focus for its label's key and hands it to its checked
// button, from which the arrow keys choose; the key itself changes nothing.
QWidget* addChoices(Win32Controller& controller, std::initializer_list<Choice> choices,
                    std::uint16_t parameter, int width) {
    auto* row = new QWidget;
    row->setFocusPolicy(Qt::ClickFocus);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    int value = 0;
    for (const Choice& choice : choices) {
        auto* button = new QRadioButton(QString::fromLatin1(choice.text));
        setControlId(button, choice.id);
        layout->addWidget(button);
        if (row->focusProxy() == nullptr) {
            row->setFocusProxy(button);
        }
        QObject::connect(button, &QAbstractButton::toggled, row, [row, button](bool checked) {
            if (checked) {
                row->setFocusProxy(button);
            }
        });
        if (parameter != 0) {
            controller.bindCheckBox(button, ParameterId(parameter), value++);
            controller.connectChanges(button);
        } else {
            button->setChecked(true);
        }
    }
    for (int i = static_cast<int>(choices.size()); i < width; ++i) {
        auto* inactive = new QRadioButton(QStringLiteral("(inactive)"));
        inactive->setEnabled(false);
        layout->addWidget(inactive);
    }
    layout->addStretch();
    return row;
}

// The label, keyed to the row of choices beside it.
void addLabelledRow(QGridLayout* grid, const char* name, QWidget* choices) {
    const int row = grid->rowCount();
    auto* label = new QLabel(QString::fromLatin1(name));
    label->setBuddy(choices);
    grid->addWidget(label, row, 0);
    grid->addWidget(choices, row, 1);
}

} // namespace

CProgramSelection::CProgramSelection(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                                     QWidget* parent)
    : PalettePropertyPage(kTemplateId, kBackgroundBitmap, parent),
      controller_(parameterSet, exceptionHandler) {
    auto* layout = new QVBoxLayout(this);

    auto* sdi = new QGroupBox(QStringLiteral("SDI Audio"));
    auto* sdiLayout = new QGridLayout(sdi);
    addLabelledRow(
        sdiLayout, "&Group",
        addChoices(controller_, {{1201, "1"}, {1202, "2"}, {1203, "3"}, {1204, "4"}}, 0x0301, 4));
    addLabelledRow(sdiLayout, "P&rogram",
                   addChoices(controller_, {{1205, "Ch 1&&2"}, {1206, "Ch 3&&4"}}, 0x0302, 2));
    layout->addWidget(sdi);

    auto* programs = new QGroupBox(QStringLiteral("Verlo E Program Select"));
    auto* rows = new QGridLayout(programs);
    const auto addRow = [&](const char* name, std::initializer_list<Choice> choices,
                            std::uint16_t parameter) {
        addLabelledRow(rows, name, addChoices(controller_, choices, parameter, kRowButtons));
    };
    // The buttons' texts repeat, so the rows' names carry the keys.
    addRow("5.1+&2", {{1233, "5.1"}, {1234, "Stereo"}}, 0x0500);
    addRow("5.1+2&x1", {{1229, "5.1"}, {1230, "Mono 1"}, {1231, "Mono 2"}}, 0x0501);
    addRow("&4x2", {{1212, "Stereo 1"}, {1213, "Stereo 2"}, {1214, "Stereo 3"}, {1215, "Stereo 4"}},
           0x0506);
    addRow("&3x2", {{1216, "Stereo 1"}, {1217, "Stereo 2"}, {1218, "Stereo 3"}}, 0x050d);
    addRow("&7.1", {{kSevenOneButton, "7.1"}}, 0);
    addRow("&5.1", {{kFiveOneButton, "5.1"}}, 0);
    layout->addWidget(programs);
    layout->addStretch();
}
