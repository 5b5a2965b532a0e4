#!/usr/bin/env bash
# Takes the control gallery's screenshots under Xvfb, in a Wine desktop window, at 96 and 144 DPI:
# docs/toolkit-gallery-96.png, docs/toolkit-gallery-144.png and docs/toolkit-menu-96.png, -144.png (menus
# open).
# Each DPI runs in its own copy of the test prefix, whose LogPixels is set to that DPI.
set -euo pipefail
cd "$(dirname "$0")/../../../.."
source scripts/wine-env.sh

exe="$BUILD_DIR/tests/core/controls/ControlGallery.exe"
base_prefix="$WINEPREFIX"
rect_file="$BUILD_DIR/gallery-rect.txt"
mkdir -p docs

start_xvfb || exit 1
trap 'stop_xvfb' EXIT
# The pointer in a corner, away from the controls it would light up.
xdotool mousemove 1279 1023 2>/dev/null || true

shoot() {
    local dpi=$1 output=$2 options=${3:-}
    export WINEPREFIX="$BUILD_DIR/gallery-prefix-$dpi"
    if [[ ! -d "$WINEPREFIX" ]]; then
        cp -a "$base_prefix" "$WINEPREFIX"
    fi
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    start_wine_session || true
    # The DPI of the prefix: the desktop's setting and the one Wine's font code reads.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    rm -f "$rect_file"
    wine explorer /desktop=Gallery,1280x1000 "$exe" $options "--rect-file=Z:$rect_file" >/dev/null 2>&1 &
    local program=$!
    for _ in $(seq 100); do
        [[ -s "$rect_file" ]] && break
        sleep 0.2
    done
    # Wine starts with its pointer in the middle of the desktop, over the form; move it to a corner.
    xdotool mousemove 2 998 2>/dev/null || true
    sleep "${GALLERY_SETTLE_SECONDS:-3}"
    read -r x y w h < <(tr -d "\r" <"$rect_file")
    xwd -root -silent | convert xwd:- -crop "${w}x${h}+$x+$y" +repage "$output"
    # Wine under Xvfb shows pop-up windows black: the menus' own pictures go where they stand.
    if [[ -s "$BUILD_DIR/popups.txt" ]]; then
        while read -r picture px py; do
            picture=${picture#Z:}
            convert "$output" "$picture" -geometry "+$((px - x))+$((py - y))" -composite "$output"
        done < <(tr -d "\r" <"$BUILD_DIR/popups.txt")
        rm -f "$BUILD_DIR/popups.txt" "$BUILD_DIR"/popup-*.bmp
    fi
    echo "Saved $output (${w}x${h} at ${dpi} DPI)"
    wineserver -k >/dev/null 2>&1 || true
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

shoot 96 docs/toolkit-gallery-96.png
shoot 144 docs/toolkit-gallery-144.png
shoot 96 docs/toolkit-menu-96.png "--open-menu --popup-dir=Z:$BUILD_DIR"
shoot 144 docs/toolkit-menu-144.png "--open-menu --popup-dir=Z:$BUILD_DIR"
