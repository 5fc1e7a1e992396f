#pragma once

#include "frame/launcher.h"
#include "frame/main_window.h"

// The framed window on the built-in simulated instrument, started as the
// program starts it. Captures take no time; `paced` keeps the line speed of
// 115200 baud. With `capture`, Setting and Run have read a 20 MHz capture.
// Closing the window does not end the test program.
struct SimulatedWindow {
    explicit SimulatedWindow(bool capture = true, bool paced = false);

    Launcher launcher;
    MainWindow *window = nullptr;
};
