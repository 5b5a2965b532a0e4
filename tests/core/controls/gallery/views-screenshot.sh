#!/usr/bin/env bash
# Takes the screenshots of the views under Xvfb, in a Wine desktop window, at 96 and 144 DPI:
# docs/toolkit-views-96.png and -144.png (class tree with images, grid of 100,000 rows sorted and scrolled
# to the middle), docs/toolkit-check-tree-96.png and -144.png (the options dialog's check-box tree) and
# docs/toolkit-properties-96.png and -144.png (a process's property sheet).
# Each DPI runs in its own copy of the test prefix, whose LogPixels is set to that DPI.
set -euo pipefail
cd "$(dirname "$0")/../../../.."
source scripts/wine-env.sh
source scripts/preview-shot.sh

exe="$BUILD_DIR/tests/core/controls/ViewsGallery.exe"
mkdir -p docs
start_xvfb || exit 1
trap 'stop_xvfb' EXIT

settle=${GALLERY_SETTLE_SECONDS:-3}
preview_shot gallery "$exe" 96 docs/toolkit-views-96.png 1280x1000 "$settle"
preview_shot gallery "$exe" 96 docs/toolkit-check-tree-96.png 1280x1000 "$settle" --check-tree
preview_shot gallery "$exe" 144 docs/toolkit-views-144.png 1280x1000 "$settle"
preview_shot gallery "$exe" 144 docs/toolkit-check-tree-144.png 1280x1000 "$settle" --check-tree
preview_shot gallery "$exe" 96 docs/toolkit-properties-96.png 1280x1000 "$settle" --properties
preview_shot gallery "$exe" 144 docs/toolkit-properties-144.png 1280x1000 "$settle" --properties
