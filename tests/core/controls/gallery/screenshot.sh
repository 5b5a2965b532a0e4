#!/usr/bin/env bash
# Takes the control gallery's screenshots under Xvfb, in a Wine desktop window, at 96 and 144 DPI:
# docs/toolkit-gallery-96.png, docs/toolkit-gallery-144.png and docs/toolkit-menu-96.png, -144.png (menus
# open).
# Each DPI runs in its own copy of the test prefix, whose LogPixels is set to that DPI.
set -euo pipefail
cd "$(dirname "$0")/../../../.."
source scripts/wine-env.sh
source scripts/preview-shot.sh

exe="$BUILD_DIR/tests/core/controls/ControlGallery.exe"
mkdir -p docs
start_xvfb || exit 1
trap 'stop_xvfb' EXIT

settle=${GALLERY_SETTLE_SECONDS:-3}
preview_shot gallery "$exe" 96 docs/toolkit-gallery-96.png 1280x1000 "$settle"
preview_shot gallery "$exe" 144 docs/toolkit-gallery-144.png 1280x1000 "$settle"
preview_shot gallery "$exe" 96 docs/toolkit-menu-96.png 1280x1000 "$settle" --open-menu
preview_shot gallery "$exe" 144 docs/toolkit-menu-144.png 1280x1000 "$settle" --open-menu
