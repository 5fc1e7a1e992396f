#!/usr/bin/env bash
# Makes the README's pictures of the framed window with a simulated capture
# (alone, with the detection and measurement panels, and decoding UART):
# the program itself, under the offscreen platform, presses Setting and Run
# against the simulated instrument and saves its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target logic-analyzer
mkdir -p docs
QT_QPA_PLATFORM=offscreen ./build/logic-analyzer --simulate --sim-no-pacing --sim-time-scale 0 \
  --screenshot docs/framed-window.png
QT_QPA_PLATFORM=offscreen ./build/logic-analyzer --simulate --sim-no-pacing --sim-time-scale 0 \
  --screenshot docs/analysis-panels.png --screenshot-actions actionDetect,actionMeasurements
QT_QPA_PLATFORM=offscreen ./build/logic-analyzer --simulate --sim-no-pacing --sim-time-scale 0 \
  --screenshot docs/decoding.png \
  --screenshot-actions "rate:1MHz,decode:uart:rx=CH1:format=ascii,mag:3,view:3950,tab:Byte streams"
echo "docs/framed-window.png docs/analysis-panels.png docs/decoding.png"
