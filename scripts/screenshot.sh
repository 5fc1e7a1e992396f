#!/usr/bin/env bash
# Makes the README's pictures of the framed window with a simulated capture
# (alone, with the detection and measurement panels, decoding UART, and
# halfway through a read-back):
# the program itself, under the offscreen platform, presses Setting and Run
# against the simulated instrument and saves its window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target logic-analyzer
mkdir -p docs
# A desktop screen of 1920 x 1080: the frame fits itself to the screen, and
# the offscreen platform's own screen is smaller than any desktop's.
run=(env QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/offscreen-screen.json")
"${run[@]}" ./build/logic-analyzer --no-settings --simulate --sim-no-pacing --sim-time-scale 0 \
  --screenshot docs/framed-window.png
"${run[@]}" ./build/logic-analyzer --no-settings --simulate --sim-no-pacing --sim-time-scale 0 \
  --screenshot docs/analysis-panels.png --screenshot-actions actionDetect,actionMeasurements
"${run[@]}" ./build/logic-analyzer --no-settings --simulate --sim-no-pacing --sim-time-scale 0 \
  --screenshot docs/decoding.png \
  --screenshot-actions "rate:1MHz,decode:uart:rx=CH1:format=ascii,mag:3,view:3950,tab:Byte streams"
# Halfway through a read-back: the simulator paced at the line speed, and
# decoders that follow the read.
"${run[@]}" ./build/logic-analyzer --no-settings --simulate --sim-time-scale 0 \
  --screenshot docs/overview-reading.png \
  --screenshot-actions "rate:1MHz,decode:uart:rx=CH1:format=ascii,decode:spi:clk=CH2:mosi=CH3:cs=CH4,decode:i2c:scl=CH5:sda=CH6,reading:50"
echo "docs/framed-window.png docs/analysis-panels.png docs/decoding.png docs/overview-reading.png"
