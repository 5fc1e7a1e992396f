#include "support/simulated_window.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include "app/form1.h"

namespace {

AppOptions SimulatorOptions(bool paced)
{
    AppOptions o;
    o.simulate = true;
    o.simPacing = paced;
    o.simTimeScale = 0;
    return o;
}

} // namespace

SimulatedWindow::SimulatedWindow(bool capture, bool paced) : launcher(SimulatorOptions(paced))
{
    Form1::endProgram = [](int) {};
    QString error;
    bool shown = false;
    window = launcher.start(&error, &shown);
    EXPECT_NE(window, nullptr) << qPrintable(error);
    if (!window)
        return;
    window->show();
    if (capture) {
        window->form().Command1[0]->click(); // Setting
        window->form().Command1[1]->click(); // Run, then the read
    }
}
