// Fuzz target: bytes from the instrument, cut into chunks and mixed with mode
// switches, device presses, Loads and scrolling (input format in
// tests/support/hostile_input.cpp), through the receive handler of a detached
// window. Any broken invariant of the shared state aborts with its description.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/form1.h"
#include "support/hostile_input.h"

namespace {
QApplication *g_app = nullptr;
Form1 *g_form = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_app = new QApplication(*argc, *argv);
    Form1::endProgram = [](int) {};
    g_form = new Form1(PortChoice{PortChoice::Detached, QString()});
    g_form->Form_Load();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string why = hostile::RunReceiveInput(*g_form, data, size);
    if (!why.empty()) {
        std::fprintf(stderr, "receive handler invariant broken: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
