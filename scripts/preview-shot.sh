# Sourced by the preview screenshot scripts: `preview_shot` runs a preview program in a Wine desktop window
# under Xvfb, in a copy of the test prefix set to one DPI, and saves the rectangle the program reports.
# The caller has sourced scripts/wine-env.sh and started Xvfb.
#
#   preview_shot NAME EXE DPI OUTPUT WIDTHxHEIGHT SETTLE_SECONDS [program options...]
#
# The program writes "x y width height" of what to keep to the file named by --rect-file. Pop-up windows are
# taken as they are on screen: `import` composes them, where a plain framebuffer dump of Xvfb shows them black.
preview_shot() {
    local name=$1 exe=$2 dpi=$3 output=$4 desktop=$5 settle=$6
    shift 6
    local base_prefix=${PREVIEW_BASE_PREFIX:-$WINEPREFIX}
    local rect_file="$BUILD_DIR/$name-rect.txt"
    local width=${desktop%x*} height=${desktop#*x}
    (
        export WINEPREFIX="$BUILD_DIR/$name-prefix-$dpi"
        if [[ ! -d "$WINEPREFIX" ]]; then
            cp -a "$base_prefix" "$WINEPREFIX"
        fi
        cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        # Only this copy's server: the DPI is read when it starts.
        wineserver -k >/dev/null 2>&1 || true
        start_wine_session || true
        # The DPI of the prefix: the desktop's setting and the ones Wine's font code reads.
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        rm -f "$rect_file"
        wine explorer /desktop="$name,$desktop" "$exe" "$@" "--rect-file=Z:$rect_file" >/dev/null 2>&1 &
        local program=$!
        for _ in $(seq 150); do
            [[ -s "$rect_file" ]] && break
            sleep 0.2
        done
        # The pointer in a corner of the desktop, away from what it would light up.
        xdotool mousemove $((width - 10)) $((height - 10)) 2>/dev/null || true
        sleep "$settle"
        local x y w h
        read -r x y w h < <(tr -d "\r" <"$rect_file")
        import -window root -crop "${w}x${h}+$x+$y" +repage "$output"
        echo "Saved $output (${w}x${h} at ${dpi} DPI)"
        wineserver -k >/dev/null 2>&1 || true
        kill "$program" 2>/dev/null || true
        wait "$program" 2>/dev/null || true
    )
}
