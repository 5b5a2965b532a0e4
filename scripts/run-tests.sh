#!/usr/bin/env bash
# Runs the whole test suite under Wine: its own Xvfb display, one persistent wineserver for the run.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

start_xvfb || exit 1
start_wine_session
cleanup() {
    stop_wine_session
    stop_xvfb
}
trap cleanup EXIT

ctest --test-dir "$BUILD_DIR" --output-on-failure "$@"
