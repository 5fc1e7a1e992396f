#pragma once

#include <QSettings>
#include <memory>

// Where the frame remembers the user's work between runs: the decoders,
// the panels and their arrangement, the folders last used and the recent
// files. The window itself never reads it: it starts in its design state.
//
// `--no-settings` turns the store off for the whole process: nothing is
// read and nothing is written (the tests and the screenshots use it).
namespace UserSettings {

void disable();
bool enabled();

// The store at the platform's usual place (on Linux
// $XDG_CONFIG_HOME/logic-analyzer/logic-analyzer.ini); null when disabled.
std::unique_ptr<QSettings> open();

} // namespace UserSettings
