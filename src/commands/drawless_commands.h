#pragma once

// The commands that draw nothing: --capture, --detect, --decode, --export to
// a data format, --help, --version, and a command line that is not
// understood. They need no window system, fonts or widgets, so they start
// like command-line tools.
//
// Runs the command the arguments ask for and returns true with its exit
// status in `status`; returns false, having done nothing, when the arguments
// ask for the window, a picture or --list-ports.
bool RunDrawlessCommand(int &argc, char **argv, int *status);
