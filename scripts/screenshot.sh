#!/usr/bin/env bash
# Makes the README's picture again with the program itself: builds
# tervane-screenshot, which loads the example into the real windows without a
# screen and grabs the main and Draw Profile windows.
#   bash scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/images/main-and-draw-profile.png}
TERVANE_TARGETS=tervane-screenshot nice bash scripts/build.sh
QT_QPA_PLATFORM=offscreen build/tools/tervane-screenshot "$out" examples
echo "wrote $out"
