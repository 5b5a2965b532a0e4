#!/usr/bin/env bash
# Starts Quarrow under Wine. Without a display it runs on Xvfb inside a Wine desktop window,
# saves a screenshot to build/screenshot.png after a few seconds and ends.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

exe="$BUILD_DIR/app/Quarrow.exe"
if [[ -n "${DISPLAY:-}" ]]; then
    exec wine "$exe"
fi

start_xvfb || exit 1
start_wine_session
trap 'stop_wine_session; stop_xvfb' EXIT
wine explorer /desktop=Quarrow,1024x768 "$exe" >/dev/null 2>&1 &
sleep "${QUARROW_SCREENSHOT_DELAY:-8}"
# Only the Wine desktop, the screen around it is empty. `import` composes pop-up windows too, which a plain
# framebuffer dump of Xvfb shows black.
import -window root -crop 1024x768+0+0 +repage "$BUILD_DIR/screenshot.png"
echo "Screenshot saved to $BUILD_DIR/screenshot.png"
