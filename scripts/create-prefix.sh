#!/usr/bin/env bash
# Creates the project-local Wine prefix once; later runs start from it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

stamp="$WINEPREFIX/.quarrow-ready"
if [[ -f "$stamp" ]]; then
    exit 0
fi
mkdir -p "$WINEPREFIX"
echo "Creating Wine prefix in $WINEPREFIX"
# Without a display wineboot still works; with DISPLAY unset no window is shown.
env -u DISPLAY wineboot --init >/dev/null 2>&1 || true
wineserver -w
touch "$stamp"
