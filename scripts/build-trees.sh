# Configures and builds the two trees; sourced by the project's commands.
#   build_host [target...]   native tree: portable logic, host tests, simulator
#   build_win [target...]    mingw-w64 tree: the tool, Windows-side tests, bench
# With no target, everything is built. Set KAVRO_BUILD_DIR to build elsewhere.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAVRO_BUILD_DIR:-$root/build}"
# One job more than cores: a compile waiting on the disk leaves its core to another.
jobs="$(($(nproc) + 1))"

_targets() {
    local t
    for t in "$@"; do printf -- '--target %s ' "$t"; done
}

build_host() {
    cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    # shellcheck disable=SC2046
    cmake --build "$build/host" -j "$jobs" $(_targets "$@")
}

build_win() {
    cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DKAVRO_SIM="$build/host/tests/sim/kavro-test-sim" >/dev/null
    # shellcheck disable=SC2046
    cmake --build "$build/win" -j "$jobs" $(_targets "$@")
}
