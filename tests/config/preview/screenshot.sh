#!/usr/bin/env bash
# Takes screenshots of both tabs of the options dialog under Xvfb, in a Wine desktop window, at 96 and
# 144 DPI: docs/options-reports-96.png, docs/options-config-96.png and the 144 DPI pair. Each DPI runs in
# its own copy of the test prefix.
set -euo pipefail
cd "$(dirname "$0")/../../.."
source scripts/wine-env.sh

exe="$BUILD_DIR/tests/config/OptionsPreview.exe"
base_prefix="$WINEPREFIX"
rect_file="$BUILD_DIR/options-rect.txt"
mkdir -p docs

start_xvfb || exit 1
trap 'stop_xvfb' EXIT

shoot() {
    local dpi=$1 tab=$2 output=$3 width=$4 height=$5
    export WINEPREFIX="$BUILD_DIR/options-prefix-$dpi"
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
    wine explorer /desktop=Options,"${width}x${height}" "$exe" "--tab=$tab" "--rect-file=Z:$rect_file" \
        >/dev/null 2>&1 &
    local program=$!
    for _ in $(seq 150); do
        [[ -s "$rect_file" ]] && break
        sleep 0.2
    done
    xdotool mousemove 2 $((height - 2)) 2>/dev/null || true
    sleep "${OPTIONS_SETTLE_SECONDS:-3}"
    read -r x y w h < <(tr -d "\r" <"$rect_file")
    xwd -root -silent | convert xwd:- -crop "${w}x${h}+$x+$y" +repage "$output"
    echo "Saved $output (${w}x${h} at ${dpi} DPI)"
    wineserver -k >/dev/null 2>&1 || true
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

shoot 96 0 docs/options-reports-96.png 1000 700
shoot 96 1 docs/options-config-96.png 1000 700
shoot 144 0 docs/options-reports-144.png 1280 1000
shoot 144 1 docs/options-config-144.png 1280 1000
