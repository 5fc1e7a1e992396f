#pragma once

// Access to libsigrokdecode for the files of src/decode only.
//
// The library keeps process-wide state (the embedded Python interpreter, the
// loaded decoders) and a session may only be driven from one thread, so every
// call into it is made while holding one process-wide lock. Whoever holds the
// lock may block for as long as a decoding run takes (about 0.1 s for a full
// capture); the UI thread never takes it.

#include <QString>
#include <QStringList>
#include <mutex>
#include <vector>

#include "decode/decode_limits.h"

namespace decode_internal {

// The lock every entry into the library holds.
std::unique_lock<std::mutex> LockLibrary();

// Initialises the library, once per process; loads no decoder. The caller
// holds the lock. Empty on success, else why the library cannot be used (the
// same text on every later call).
QString EnsureLibraryLocked();

// A folder the library reads decoders from, in its order: a decoder in an
// earlier folder hides one of the same name in a later one.
struct DecoderFolder {
    QString path;
    bool user = false; // the user's own ($SIGROKDECODE_DIR, the XDG data folder), not the installed ones
};
// The folders that exist, as the library found them at initialisation; the
// library is initialised.
std::vector<DecoderFolder> DecoderFoldersLocked();
// Where the user's own decoders go, whether or not the folders exist yet:
// $SIGROKDECODE_DIR when set, then the data folder's libsigrokdecode/decoders.
QStringList UserDecoderFolders();

// A decoder that could not be loaded, with what the library logged about it
// (the Python error and its traceback).
struct DecoderLoadFailure {
    QString id;     // the folder's name, which is the decoder's id
    QString folder; // the folder it lies in
    QString log;
};
// Loads the decoders of the folders one by one, every one or only those of
// `ids` (nullptr: every one); a decoder already loaded stays. A directory that
// holds neither __init__.py nor pd.py is no decoder. `unknown` gets the ids
// no folder holds. An import that has not finished after `importSeconds` is
// stopped, and so is the whole load when `control` is stopped (what loaded
// stays loaded).
std::vector<DecoderLoadFailure> LoadDecodersLocked(const QStringList *ids, QStringList *unknown,
                                                   DecodeControl *control, double importSeconds);
// Unloads every decoder and makes Python forget the modules read from the
// decoder folders, so the next load reads the files again.
void UnloadDecodersLocked();

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

    // The stack the following calls drive (or the decoder being loaded);
    // messages are tagged with it.
    void setStack(int stack);
    // Messages so far, in arrival order; the capture is emptied.
    std::vector<LoggedError> take();
};

} // namespace decode_internal
