#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it. Without
# arguments it talks to the built-in simulated instrument; any arguments are
# handed to the program instead (e.g. --port /dev/ttyUSB0 for real hardware).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target logic-analyzer la-sim
if [ $# -eq 0 ]; then
  set -- --simulate
fi
exec ./build/logic-analyzer "$@"
