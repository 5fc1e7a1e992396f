#!/usr/bin/env bash
# Builds the Debian package in build-pkg/ and prints its path:
#
#     bash scripts/package.sh
#     sudo apt install ./build-pkg/logic-analyzer_<version>_<arch>.deb
#
# Only what the package holds is built (the program, the simulator and the
# icons); its library dependencies are read from the binaries.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-pkg -j"$(nproc)" --target logic-analyzer la-sim la-icons
rm -f build-pkg/*.deb
(cd build-pkg && cpack -G DEB >/dev/null)
ls build-pkg/*.deb
