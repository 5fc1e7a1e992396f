#pragma once

// The program's version, defined once in CMake.
#ifndef LA_VERSION
#define LA_VERSION "1.0"
#endif
