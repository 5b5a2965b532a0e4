#!/usr/bin/env bash
# Takes screenshots of the about dialog under Xvfb, in a Wine desktop window, at 96 and 144 DPI:
# docs/about-96.png and docs/about-144.png. Each DPI runs in its own copy of the test prefix.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/wine-env.sh

exe="$BUILD_DIR/tests/app/AboutPreview.exe"
base_prefix="$WINEPREFIX"
rect_file="$BUILD_DIR/about-rect.txt"
mkdir -p docs

start_xvfb || exit 1
trap 'stop_xvfb' EXIT

shoot() {
    local dpi=$1 output=$2
    export WINEPREFIX="$BUILD_DIR/about-prefix-$dpi"
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
    wine explorer /desktop=About,1000x700 "$exe" "--rect-file=Z:$rect_file" >/dev/null 2>&1 &
    local program=$!
    for _ in $(seq 100); do
        [[ -s "$rect_file" ]] && break
        sleep 0.2
    done
    xdotool mousemove 2 698 2>/dev/null || true
    sleep "${ABOUT_SETTLE_SECONDS:-3}"
    read -r x y w h < <(tr -d "\r" <"$rect_file")
    xwd -root -silent | convert xwd:- -crop "${w}x${h}+$x+$y" +repage "$output"
    echo "Saved $output (${w}x${h} at ${dpi} DPI)"
    wineserver -k >/dev/null 2>&1 || true
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

shoot 96 docs/about-96.png
shoot 144 docs/about-144.png
