#pragma once

#include <QByteArray>
#include <QString>

#include "capture/capture.h"
#include "export/zip_archive.h"
#include <vector>

// A sigrok session file (.sr, format version 2) of a capture, as PulseView
// and sigrok-cli open it: "version", "metadata" (sample rate, CH1..CH8, one
// byte per sample), "logic-1-1" with the levels and, in Analog mode,
// "analog-1-9-1" with the analog input as 32-bit little-endian floats in
// volts. The capture's own sample rate is kept.
//
// `extra` entries follow those (this program's analysis of the capture).
// False with a reason in `error` when the archive cannot be built.
bool SigrokSessionBytes(const Capture &capture, QByteArray *archive, QString *error,
                        const std::vector<ZipEntry> &extra = {});

// Name of the metadata section that carries this program's notes on the
// capture; sigrok's readers pass over sections they do not know.
inline constexpr const char kSigrokNotesSection[] = "logic analyzer";
