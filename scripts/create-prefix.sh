#!/usr/bin/env bash
# Creates the project-local Wine prefix once; later runs start from it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

stamp="$WINEPREFIX/.quarrow-ready"
if [[ ! -f "$stamp" ]]; then
    mkdir -p "$WINEPREFIX"
    echo "Creating Wine prefix in $WINEPREFIX"
    # Without a display wineboot still works; with DISPLAY unset no window is shown.
    env -u DISPLAY wineboot --init >/dev/null 2>&1 || true
    # Waits until the prefix is written; bounded, as a persistent server would keep -w waiting.
    timeout 60 wineserver -w || true
    touch "$stamp"
fi

# Settings of the prefix, applied once to new and existing prefixes alike.
settings="$WINEPREFIX/.quarrow-settings-1"
if [[ ! -f "$settings" ]]; then
    # Unmanaged top-level windows: the test display has no window manager, and Wine waits two seconds
    # for a window manager to withdraw every managed window that is hidden or destroyed.
    env -u DISPLAY wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A persistent server of a developer's session would keep -w waiting; it has the setting already.
    timeout 60 wineserver -w || true
    touch "$settings"
fi

# Wine's own fonts (Tahoma, Marlett for the caption buttons, ...) from the fonts-wine package: this Wine
# loads fonts from C:\windows\Fonts but does not put its own there.
if [[ -d /usr/share/wine/fonts ]]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
