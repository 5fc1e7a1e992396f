// Fuzz target: any bytes as an imported capture file. The first byte picks
// the importer (.log, .vcd, .csv, .sr), the rest is the file. A refusal must
// carry a message; an accepted capture must keep the importers' promises and
// come back unchanged through its own format. A crash or a broken property
// aborts with its description.
#include <cstdio>
#include <cstdlib>

#include "support/import_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string why = hostile::RunImportInput(data, size);
    if (!why.empty()) {
        std::fprintf(stderr, "import property broken: %s\n", why.c_str());
        std::abort();
    }
    return 0;
}
