#!/usr/bin/env bash
# Takes screenshots of both tabs of the options dialog under Xvfb, in a Wine desktop window, at 96 and
# 144 DPI: docs/options-reports-96.png, docs/options-config-96.png and the 144 DPI pair. Each DPI runs in
# its own copy of the test prefix.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/wine-env.sh
source scripts/preview-shot.sh

exe="$BUILD_DIR/tests/app/OptionsPreview.exe"
mkdir -p docs
start_xvfb || exit 1
trap 'stop_xvfb' EXIT

settle=${OPTIONS_SETTLE_SECONDS:-3}
preview_shot options "$exe" 96 docs/options-reports-96.png 1000x700 "$settle" --tab=0
preview_shot options "$exe" 96 docs/options-config-96.png 1000x700 "$settle" --tab=1
preview_shot options "$exe" 144 docs/options-reports-144.png 1280x1000 "$settle" --tab=0
preview_shot options "$exe" 144 docs/options-config-144.png 1280x1000 "$settle" --tab=1
