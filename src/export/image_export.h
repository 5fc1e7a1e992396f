#pragma once

#include <QImage>
#include <QString>

class Form1;
class QIODevice;

// Pictures of the drawing area as it is shown (traces, scale, cursors,
// channel names, view start) under one caption line with the rate, the
// magnification and the cursor readouts. The only export that needs the
// window: it paints the window's own drawing area.

// The caption line, e.g. "Logic Analyzer  20MHz  Mag 1/10  Δt 2.5us  400kHz".
QString CaptureImageCaption(const Form1 &form);

// The picture as pixels (PNG files and the clipboard).
QImage CaptureImage(const Form1 &form);

// The picture as SVG vectors: the traces and cursor lines are paths, the
// names and the caption text. False with a reason when it cannot be written.
bool WriteCaptureSvg(const Form1 &form, QIODevice &out, QString *error);
