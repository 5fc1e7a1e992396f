#pragma once

#include <QList>
#include <QString>

#include "frame/port_choice.h"

class MainWindow;

// Choices made around the window that the next start takes up again: the
// decoding time limit, "Detect after every new capture" and the port last
// chosen when the instrument's own port failed. The window itself is never
// touched: it starts in its design state whatever was remembered.
namespace RememberedChoices {

// Applies what was remembered to the frame's panels and menus and keeps
// remembering their later changes. Nothing happens without a settings store.
void attach(MainWindow &window);

// What identifies an offer in the store: its device, or "simulated".
QString offerKey(const PortOffer &offer);
// The offers with the one whose key is `lastKey` moved to the front; the
// others keep their order. An unknown key changes nothing.
QList<PortOffer> lastChosenFirst(QList<PortOffer> offers, const QString &lastKey);

QString lastPortKey();
void rememberPort(const PortOffer &offer);

// The folder a file dialog of the given kind ("open", "export") last ended
// in, empty when none; and its update after a file was taken from there.
QString lastFolder(const QString &kind);
void rememberFolder(const QString &kind, const QString &filePath);
// The last export format, as the filter of its menu command.
QString lastExportFormat();
void rememberExportFormat(const QString &filter);

} // namespace RememberedChoices
