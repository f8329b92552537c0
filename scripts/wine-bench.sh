# Shell functions of the Wine test bench; sourced, not run.
#
# A bench is a folder holding a private Wine prefix (prefix/) and the links
# its COM ports point at (ports/comN). The prefix's registry maps each COM
# number we use to ports/comN, so that Wine keeps those ports at every
# server start instead of renumbering them after the machine's own ttyS*
# devices; the simulator then points ports/comN at its pseudo-terminal.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
# COM numbers the bench reserves: 3 for the demo, 9 to 20 for the tests.
BENCH_COM_PORTS="3 9 10 11 12 13 14 15 16 17 18 19 20"

bench_env() {
    export WINEPREFIX="$1/prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
}

# Starts the prefix's server unless it runs: in the foreground mode (-f), so
# that it never takes a test's pseudo-terminal as its controlling terminal
# (a detached server does, and floods stderr when the cable is pulled), and
# persisting 30 s after the last program so that the next one starts fast.
# Returns once the server listens, so that no program starts one of its own.
bench_start_server() {
    local marker id pid
    mkdir -p "$WINEPREFIX"
    marker="$(mktemp)"
    id="$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
    "$WINESERVER" -f -p30 >/dev/null 2>&1 &
    pid=$!
    disown 2>/dev/null || true
    for _ in $(seq 1 250); do
        # Exited at once: a server already serves this prefix.
        kill -0 "$pid" 2>/dev/null || break
        [ -n "$(find /tmp -maxdepth 3 -path "*/$id/socket" -newer "$marker" 2>/dev/null)" ] && break
        sleep 0.02
    done
    rm -f "$marker"
}

# Makes the prefix once (about 5 s); later calls return at once.
#   bench_prepare DIR [unmanaged]
# "unmanaged" keeps Wine's windows away from any X window manager: with none
# running (Xvfb), Wine otherwise waits 2 s for one whenever a window closes.
bench_prepare() {
    local bench="$1" unmanaged="${2:-}"
    mkdir -p "$bench/ports"
    bench_env "$bench"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.kavro-bench-ready" ]; then
            echo "Making the Wine prefix $WINEPREFIX ..." >&2
            bench_start_server
            "$WINE" wineboot -i >/dev/null 2>&1
            local n
            for n in $BENCH_COM_PORTS; do
                "$WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$bench/ports/com$n" /f \
                    >/dev/null 2>&1
            done
            # The port mapping takes effect at the next server start.
            "$WINESERVER" -k >/dev/null 2>&1 || true
            "$WINESERVER" -w >/dev/null 2>&1 || true
            touch "$WINEPREFIX/.kavro-bench-ready"
        fi
        if [ -n "$unmanaged" ] && [ ! -f "$WINEPREFIX/.kavro-bench-unmanaged" ]; then
            bench_start_server
            "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
            touch "$WINEPREFIX/.kavro-bench-unmanaged"
        fi
    ) 9>"$bench/.lock"
    bench_start_server
}
