// la-sim: the simulated instrument on a pseudo-terminal.
//
// Prints the path of the terminal's slave side as the first line of standard
// output; a front end opens that path as its serial port. Then reads commands
// from standard input, one per line:
//   range N   the input-range switch moves to position N (0..4)
//   quit      ends the simulator (so does the end of input)
#include <QtGlobal>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#if defined(Q_OS_UNIX)
#include "sim/pty_transport.h"
#endif

namespace {

void printUsage(std::ostream &out)
{
    out << "Usage: la-sim [--no-pacing] [--time-scale X] [--help]\n"
           "Simulated logic analyzer on a pseudo-terminal. Prints the terminal's path,\n"
           "then reads commands from standard input:\n"
           "  range N   report input-range switch position N (0..4)\n"
           "  quit      end (as does end of input)\n"
           "Options:\n"
           "  --no-pacing     send bytes as fast as possible instead of at 115200 baud\n"
           "  --time-scale X  multiply capture times by X (default 1, 0 = instant)\n"
           "  --help          show this text\n";
}

} // namespace

int main(int argc, char **argv)
{
    bool pacing = true;
    double timeScale = 1.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            return 0;
        } else if (arg == "--no-pacing") {
            pacing = false;
        } else if (arg == "--time-scale" && i + 1 < argc) {
            char *end = nullptr;
            timeScale = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(timeScale >= 0.0)) {
                std::cerr << "la-sim: --time-scale needs a number >= 0\n";
                return 2;
            }
        } else {
            std::cerr << "la-sim: unknown argument '" << arg << "'\n";
            printUsage(std::cerr);
            return 2;
        }
    }

#if defined(Q_OS_UNIX)
    sim::SimulatorPty pty;
    pty.setPacing(pacing);
    pty.setTimeScale(timeScale);
    QString error;
    if (!pty.start(&error)) {
        std::cerr << "la-sim: " << error.toStdString() << '\n';
        return 1;
    }
    std::cout << pty.slavePath().toStdString() << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        if (!(words >> command))
            continue;
        if (command == "quit")
            break;
        int position = -1;
        if (command == "range" && (words >> position) && pty.reportRangeSwitch(position))
            continue;
        std::cerr << "la-sim: expected 'range N' (N = 0..4) or 'quit'\n";
    }
    pty.stop();
    return 0;
#else
    (void)pacing;
    (void)timeScale;
    std::cerr << "la-sim: pseudo-terminals are not available on this system\n";
    return 1;
#endif
}
