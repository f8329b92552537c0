#!/usr/bin/env bash
# Builds the tool and opens it against the simulated controller.
#
# The simulator plays a controller on COM3 of a Wine prefix of its own
# (build/demo), registered there as a Ports device so that the tool lists it.
# With a display: the tool opens in a window and the simulator runs in this
# terminal, where keys 1-8 toggle the switches and q quits.
# Without one: everything runs under Xvfb, the script connects through the
# window as a user would, changes the switches and saves screenshots.
# KAVRO_DPI=120, 144 or 192 runs the tool at that display scale (125 %,
# 150 %, 200 %) instead of 96 (100 %); headless screenshots then go to
# build/screenshots-DPI.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
demo="$build/demo"
dpi="${KAVRO_DPI:-96}"
shots_default="$build/screenshots"
[ "$dpi" = 96 ] || shots_default="$build/screenshots-$dpi"
shots="${KAVRO_SHOTS_DIR:-$shots_default}"

bash "$root/scripts/deps.sh"
build_host kavro-sim
build_win KAVRO_Display_Limit_Switches kavro-register-ports kavro-window-driver

if [ "${1:-}" != "--inner" ] && [ -z "${DISPLAY:-}" ]; then
    echo "No display: running headless under Xvfb."
    # The X screen is the Wine desktop's size: Wine moves the pointer (for the
    # tool tip's picture) only while it is inside its desktop.
    exec xvfb-run -a -s "-screen 0 $((560 * dpi / 96))x$((250 * dpi / 96))x24" bash "$0" --inner
fi

. "$root/scripts/wine-bench.sh"
bench_prepare "$demo"
bin="$build/win/bin"
sim="$build/host/sim/kavro-sim"
"$WINE" "$bin/kavro-register-ports.exe" COM3 >/dev/null
# The display scale, read by the tool as it starts; set at every run so that
# the prefix never keeps a scale from an earlier one.
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null

pids=()
cleanup() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -f "$demo/sim-commands"
}
trap cleanup EXIT

# Headless runs use a Wine virtual desktop, which draws the caption and
# frame as Windows does; with a display the tool gets a window of its own.
desktop_key='HKCU\Software\Wine\Explorer'
if [ "${1:-}" != "--inner" ]; then
    "$WINE" reg delete "$desktop_key" /v Desktop /f >/dev/null 2>&1 || true
    # A person at the machine: the tool in a window, the controller here.
    "$WINE" "$bin/KAVRO_Display_Limit_Switches.exe" >/dev/null 2>&1 &
    pids+=($!)
    echo "The tool lists COM3: choose it and press Connect."
    "$sim" interactive --link "$demo/ports/com3" --serial "KV-0815" --switches 10100000
    exit 0
fi

# Headless: the same inside the virtual desktop, driven by a small program
# that presses the tool's buttons as a user would.
# One desktop per scale, sized for it: a desktop left set by an earlier run
# opens with the first Wine program here, in the size it was given then.
desktop="KAVRO-$dpi"
"$WINE" reg add "$desktop_key\\Desktops" /v "$desktop" /t REG_SZ /d "$((560 * dpi / 96))x$((250 * dpi / 96))" /f \
    >/dev/null
"$WINE" reg add "$desktop_key" /v Desktop /t REG_SZ /d "$desktop" /f >/dev/null
mkdir -p "$shots"
rm -f "$demo/sim-commands"
mkfifo "$demo/sim-commands"
"$sim" interactive --link "$demo/ports/com3" --serial "KV-0815" --switches 00000000 \
    <"$demo/sim-commands" >"$demo/sim.log" 2>&1 &
pids+=($!)
exec 8>"$demo/sim-commands"
"$WINE" "$bin/KAVRO_Display_Limit_Switches.exe" >/dev/null 2>&1 &
pids+=($!)

driver() { "$WINE" "$bin/kavro-window-driver.exe" "$@"; }
# shot NAME [rect command]: saves the window (caption and frame included),
# and says what a screen reader reads of the panel then.
shot() {
    sleep 0.7
    read -r x y w h < <(driver "${2:-rect}" | tr -d '\r')
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$1.png"
    echo "  $shots/$1.png"
    [ -n "${2:-}" ] || echo "    a screen reader reads: $(driver read-aloud | tr -d '\r')"
}

driver wait
echo "Screenshots:"
shot not-connected
driver connect
shot connected-all-clear
echo "switches 10100110" >&8
shot connected-mixed
echo "switches 01011000" >&8
shot connected-other
shot port-tooltip port-tip
shot about about
driver about-ok
driver close
sleep 1
echo "Simulator log: $demo/sim.log"
