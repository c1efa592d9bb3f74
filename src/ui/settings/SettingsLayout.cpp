#include "ui/settings/SettingsLayout.h"

#include "ui/look/ControlId.h"
#include "ui/look/ValueSlider.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>

DelaySlider addDelaySlider(QWidget* box, int sliderId, int textId, int topDelay, int bottomDelay,
                           const char* units) {
    auto* slider = new ValueSlider(Qt::Vertical);
    setControlId(slider, sliderId);
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setTickPosition(QSlider::TicksRight);
    slider->setMinimumHeight(140);
    auto* text = new QLabel;
    setControlId(text, textId);
    text->setAlignment(Qt::AlignCenter);
    text->setMinimumWidth(40);

    auto* layout = new QGridLayout(box);
    layout->addWidget(slider, 0, 0, 3, 1, Qt::AlignHCenter);
    layout->addWidget(new QLabel(QString::number(topDelay)), 0, 1, Qt::AlignTop);
    auto* unitsLabel = new QLabel(QString::fromLatin1(units));
    unitsLabel->setBuddy(slider);
    layout->addWidget(unitsLabel, 1, 1, Qt::AlignVCenter);
    layout->addWidget(new QLabel(QString::number(bottomDelay)), 2, 1, Qt::AlignBottom);
    layout->addWidget(text, 3, 0, 1, 2);
    return {slider, text};
}
