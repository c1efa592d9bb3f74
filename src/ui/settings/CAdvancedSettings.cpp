#include "ui/settings/CAdvancedSettings.h"

#include "base/VerloException.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WindowFrame.h"
#include "ui/settings/CChannelAssignments.h"
#include "ui/settings/CMiscellaneous.h"
#include "ui/settings/CProgramSelection.h"
#include "ui/settings/Win32TabControl.h"
#include "ui/windows/ModalRunner.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

CAdvancedSettings::CAdvancedSettings(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                                     QWidget* parent)
    : QDialog(parent), tabControl_(new Win32TabControl) {
    setWindowTitle(QStringLiteral("Advanced Settings"));
    setModal(true);
    setControlId(tabControl_, kTabControl);

    auto* channels = new CChannelAssignments(parameterSet, exceptionHandler, tabControl_);
    auto* audio = new CMiscellaneous(parameterSet, exceptionHandler, tabControl_);
    auto* programs = new CProgramSelection(parameterSet, exceptionHandler, tabControl_);
    tabControl_->addPage(audio, QStringLiteral("A&udio Settings"));
    tabControl_->addPage(channels, QStringLiteral("C&hannel Assignments"));
    tabControl_->addPage(programs, QStringLiteral("&Program Selection"));
    connect(tabControl_->tabBar(), &QTabBar::currentChanged, this,
            &CAdvancedSettings::selectionChanged);

    auto* close = new CxShadeButton(QStringLiteral("&Close"));
    setControlId(close, kCloseButton);
    close->setMinimumSize(88, 28);
    close->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabControl_);
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);
}

void CAdvancedSettings::selectionChanged() {
    try {
        tabControl_->showSelectedPage();
    } catch (VerloException& exception) {
        ModalRunner::message(this, QStringLiteral("TRX4 Remote"),
                             QString::fromStdString(exception.what()));
    }
}
