#pragma once

#include <QString>

// Decoders that misbehave, for the tests of what keeps them from freezing or
// sinking the program, written into the test process's own user decoder
// folder ($XDG_DATA_HOME/libsigrokdecode/decoders, private to the process):
//   hang    decode() never returns (a loop in Python)
//   raiser  decode() raises ValueError at kRaiserLine of its pd.py
//   flood   decode() puts out annotations without end
//   broken  fails to import (a module that does not exist, line 2 of pd.py)
// Call before the decoder library is first used in the process: it finds
// the user's folder only if the folder exists then.
QString WriteTestDecoders();
// The user decoder folder of this process.
QString TestDecoderFolder();
// Writes (or rewrites) one decoder reading channel "data": `body` is the
// indented code of its decode() method.
void WriteTestDecoder(const QString &id, const QString &body);

constexpr int kRaiserLine = 28;
