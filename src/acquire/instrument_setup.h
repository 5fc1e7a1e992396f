#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

#include "capture/capture.h"

// The acquisition settings of a capture taken from the command line, held as
// the values the window's controls would hold for them. A setting that no
// option names keeps the window's design state, so the bytes sent are fully
// determined by the options.
struct InstrumentSetup {
    bool analog = false;        // Option4(1) selected
    int rateIndex = 0;          // position in the mode's rate list (Combo1)
    int32_t length = 32767;     // measurement length in sample periods (Slider1)
    bool secondKind = false;    // Option1(1): "Pattern" in Logic mode, "FreeRun" in Analog mode
    int conditionCode = 3;      // tag of the selected condition button: "↑ ＝"
    int channel = 0;            // trigger channel CH1..CH4 = 0..3 (Option3)
    int patternMask = 0b0101;   // pattern boxes, bit i = CH(i+1): CH1 and CH3 ticked
    int levelScroll = 127;      // trigger-level scroll bar (VScroll2); level count = 255 - value

    // The mode's longest measurement: 32767 (Logic) or 16383 (Analog).
    int32_t maxLength() const;
    Capture::Mode mode() const { return analog ? Capture::Mode::Analog : Capture::Mode::Logic; }
    CaptureTrigger trigger() const;
};

// The six commands the Setting button sends for these settings, in order.
QList<QByteArray> SettingCommands(const InstrumentSetup &setup);
