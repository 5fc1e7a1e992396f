#pragma once

// Access to libsigrokdecode for the files of src/decode only.
//
// The library keeps process-wide state (the embedded Python interpreter, the
// loaded decoders) and a session may only be driven from one thread, so every
// call into it is made while holding one process-wide lock. Whoever holds the
// lock may block for as long as a decoding run takes (about 0.1 s for a full
// capture); the UI thread never takes it.

#include <QString>
#include <mutex>
#include <vector>

namespace decode_internal {

// The lock every entry into the library holds.
std::unique_lock<std::mutex> LockLibrary();

// Initialises the library and loads every installed decoder, once per
// process (about 0.4 s). The caller holds the lock. Empty on success, else why
// the library cannot be used (the same text on every later call).
QString EnsureLibraryLocked();

// One message the library logged at error level, and the stack of the run
// that was being driven when it arrived (-1: none).
struct LoggedError {
    int stack = -1;
    QString text;
};

// Collects the library's error messages while a run holds the lock. The
// library reports a decoder's Python exception only through its log, so this
// is how the run learns what went wrong. Only one capture exists at a time
// (the lock guarantees it).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The stack the following calls drive; messages are tagged with it.
    void setStack(int stack);
    // Messages so far, in arrival order; the capture is emptied.
    std::vector<LoggedError> take();
};

} // namespace decode_internal
