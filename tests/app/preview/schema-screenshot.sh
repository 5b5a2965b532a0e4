#!/usr/bin/env bash
# Takes the user guide's pictures of all of WMI under Xvfb, in a Wine desktop window, over a scripted machine that
# lists its namespaces and classes as Windows does (Wine's WMI lists none): docs/guide-namespaces.png,
# docs/guide-find-class.png and docs/guide-instance.png.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/wine-env.sh
source scripts/preview-shot.sh

exe="$BUILD_DIR/tests/app/SchemaPreview.exe"
mkdir -p docs
start_xvfb || exit 1
trap 'stop_xvfb' EXIT

settle=${SCHEMA_SETTLE_SECONDS:-3}
preview_shot schema "$exe" 96 docs/guide-namespaces.png 1280x800 "$settle" --view=namespaces
preview_shot schema "$exe" 96 docs/guide-find-class.png 1280x800 "$settle" --view=findclass
preview_shot schema "$exe" 96 docs/guide-instance.png 1280x800 "$settle" --view=sheet
