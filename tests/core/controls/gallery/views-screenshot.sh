#!/usr/bin/env bash
# Takes the screenshots of the views under Xvfb, in a Wine desktop window, at 96 and 144 DPI:
# docs/toolkit-views-96.png and -144.png (class tree with images, grid of 100,000 rows sorted and scrolled
# to the middle) and docs/toolkit-check-tree-96.png and -144.png (the options dialog's check-box tree).
# Each DPI runs in its own copy of the test prefix, whose LogPixels is set to that DPI.
set -euo pipefail
cd "$(dirname "$0")/../../../.."
source scripts/wine-env.sh

exe="$BUILD_DIR/tests/core/controls/ViewsGallery.exe"
base_prefix="$WINEPREFIX"
rect_file="$BUILD_DIR/views-rect.txt"
mkdir -p docs

start_xvfb || exit 1
trap 'stop_xvfb' EXIT

shoot() {
    local dpi=$1 output=$2 options=${3:-}
    export WINEPREFIX="$BUILD_DIR/gallery-prefix-$dpi"
    if [[ ! -d "$WINEPREFIX" ]]; then
        cp -a "$base_prefix" "$WINEPREFIX"
    fi
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    start_wine_session || true
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    rm -f "$rect_file"
    wine explorer /desktop=Views,1280x1000 "$exe" $options "--rect-file=Z:$rect_file" >/dev/null 2>&1 &
    local program=$!
    for _ in $(seq 100); do
        [[ -s "$rect_file" ]] && break
        sleep 0.2
    done
    # The pointer away from the window, so that nothing is lit up by it.
    xdotool mousemove 1270 990 2>/dev/null || true
    sleep "${GALLERY_SETTLE_SECONDS:-3}"
    read -r x y w h < <(tr -d "\r" <"$rect_file")
    xwd -root -silent | convert xwd:- -crop "${w}x${h}+$x+$y" +repage "$output"
    echo "Saved $output (${w}x${h} at ${dpi} DPI)"
    wineserver -k >/dev/null 2>&1 || true
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

shoot 96 docs/toolkit-views-96.png
shoot 96 docs/toolkit-check-tree-96.png --check-tree
shoot 144 docs/toolkit-views-144.png
shoot 144 docs/toolkit-check-tree-144.png --check-tree
