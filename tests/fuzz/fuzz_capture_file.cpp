// Fuzz target: any bytes as a capture file, through CaptureFileReader (checked
// field by field against the documented rules) and through the parser behind
// Load (checked against the same rules and the record limit). A crash or a
// broken property aborts with its description.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "support/hostile_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string why = hostile::RunCaptureFileInput(data, size);
    if (!why.empty()) {
        std::fprintf(stderr, "capture file property broken: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
