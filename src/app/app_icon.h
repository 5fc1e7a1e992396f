#pragma once

#include <QIcon>
#include <QImage>

// The application icon: a logic step over a sine, drawn for any size. The
// window uses 32 x 32 and 16 x 16; the installed icon theme gets the usual
// sizes from the same drawing.
QImage AppIconImage(int size);
QIcon MakeAppIcon();
