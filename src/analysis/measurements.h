#pragma once

#include <array>
#include <cstdint>

#include "capture/capture.h"

// Measurements over a window [fromSample, toSample) of a capture, in seconds
// and volts from the capture's exact sample period and volts per count.
//
// An edge belongs to the window when both samples it lies between do
// (from < edge time < to). Pulses are measured only when whole: the stretch
// before the first edge and after the last one in the window may be cut by
// the window, so they count for neither the shortest nor the longest pulse
// (a window with fewer than two edges has no pulse to measure).

struct ChannelMeasurement {
    int risingEdges = 0;
    int fallingEdges = 0;
    // From the whole periods between the first and the last rising edge (the
    // falling edges when there are fewer than two rising ones); 0 when the
    // window holds no whole period.
    double frequencyHz = 0;
    double periodSeconds = 0;
    // High time over those whole periods; without a whole period, the share
    // of the window spent high.
    double dutyCycle = 0;
    double highFraction = 0; // share of the window spent high
    // Whole pulses only; 0 when there is none of that level.
    int highPulses = 0, lowPulses = 0;
    double shortestHighSeconds = 0, longestHighSeconds = 0;
    double shortestLowSeconds = 0, longestLowSeconds = 0;
    int levelAtStart = 0, levelAtEnd = 0;
};

struct AnalogMeasurement {
    bool present = false; // Analog captures only
    double minVolts = 0, maxVolts = 0, meanVolts = 0;
    double rmsVolts = 0;   // root mean square of the voltage itself (DC included)
    double peakToPeakVolts = 0;
    // From the upward crossings of the mean, each counted only after the
    // signal went below the mean by the hysteresis (a tenth of the
    // peak-to-peak, at least 2 counts), so noise does not add crossings.
    double frequencyHz = 0;
    int crossings = 0;
};

struct Measurements {
    int32_t fromSample = 0, toSample = 0; // the window as clamped to the capture
    double windowSeconds = 0;
    std::array<ChannelMeasurement, Capture::kChannels> channels;
    AnalogMeasurement analog;
};

// Measures every logic channel (and the analog channel of an Analog capture)
// over [fromSample, toSample), clamped to [0, sampleCount); the whole capture
// is [0, sampleCount()).
Measurements MeasureChannels(const Capture &capture, int32_t fromSample, int32_t toSample);
