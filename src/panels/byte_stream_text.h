#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

struct DecodeResult;

// The byte streams of a result that a reader wants as text: what went over a
// UART line, a SPI data line, an I2C bus.

struct ByteStream {
    QString label;      // "uart-1: RX data"
    QString instance;   // "uart-1"
    QString classId;    // "rx-data"
    QByteArray bytes;
};

// Every data class of every instance that holds at least one byte, in
// instance order.
std::vector<ByteStream> ByteStreamsOf(const DecodeResult &result);

// The bytes as text: printable ASCII as it is, line breaks (LF, CR LF, CR) as
// line breaks, a tab as a tab, a backslash as "\\", every other byte as
// "\xNN", so nothing is hidden and nothing is ambiguous.
QString BytesAsText(const QByteArray &bytes);
// A hex dump, 16 bytes a line: offset, the bytes in hex (a gap after eight)
// and the printable ones between bars, others as '.':
// "0000  6c 61 2d 73 69 6d 20 23  31 0d 0a                 |la-sim #1..|"
QString BytesAsHexDump(const QByteArray &bytes);
