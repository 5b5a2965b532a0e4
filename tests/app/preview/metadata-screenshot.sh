#!/usr/bin/env bash
# Takes the user guide's pictures of what a class's qualifiers add, under Xvfb, in a Wine desktop window, over a
# scripted machine that keeps its classes' descriptions as Windows does (Wine's WMI keeps none):
# docs/guide-metadata-descriptions.png and docs/guide-value-names.png.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/wine-env.sh
source scripts/preview-shot.sh

exe="$BUILD_DIR/tests/app/MetadataPreview.exe"
mkdir -p docs
start_xvfb || exit 1
trap 'stop_xvfb' EXIT

settle=${METADATA_SETTLE_SECONDS:-3}
preview_shot metadata "$exe" 96 docs/guide-metadata-descriptions.png 1280x800 "$settle" --view=metadata
preview_shot metadata "$exe" 96 docs/guide-value-names.png 1280x800 "$settle" --view=values
