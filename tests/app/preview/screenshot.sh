#!/usr/bin/env bash
# Takes screenshots of the about dialog under Xvfb, in a Wine desktop window, at 96 and 144 DPI:
# docs/about-96.png and docs/about-144.png. Each DPI runs in its own copy of the test prefix.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/wine-env.sh
source scripts/preview-shot.sh

exe="$BUILD_DIR/tests/app/AboutPreview.exe"
mkdir -p docs
start_xvfb || exit 1
trap 'stop_xvfb' EXIT

settle=${ABOUT_SETTLE_SECONDS:-3}
preview_shot about "$exe" 96 docs/about-96.png 1000x700 "$settle"
preview_shot about "$exe" 144 docs/about-144.png 1000x700 "$settle"
