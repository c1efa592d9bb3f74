#pragma once

class QLabel;
class QSlider;
class QWidget;

// A vertical delay slider of the settings windows with its value text.
struct DelaySlider {
    QSlider* slider;
    QLabel* text;
};

// Lays out in box a vertical slider labelled with the delays at its top and
// bottom and with units ("mSec", the slider's Alt+letter marked), and the
// text that shows the value under it. The slider's minimum is drawn at the
// top, as the inverted binding expects, its fill runs up from the bottom (the
// delay's minimum) to the thumb, and its keys move the thumb the way they
// point.
DelaySlider addDelaySlider(QWidget* box, int sliderId, int textId, int topDelay, int bottomDelay,
                           const char* units);
