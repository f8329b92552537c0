#!/usr/bin/env bash
# Installs what building and testing need, when missing (Debian 12).
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have_cmd xvfb-run || need+=(xvfb)
have_cmd xauth || need+=(xauth)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
# The release archive is written by a few lines of Python, from a commit.
have_cmd python3 || need+=(python3)
have_cmd git || need+=(git)
# A signed release: the certificate is read with openssl, the program signed
# and verified with osslsigncode.
have_cmd openssl || need+=(openssl)
have_cmd osslsigncode || need+=(osslsigncode)
# The real ImageMagick (some images carry a stand-in named convert).
dpkg -s imagemagick >/dev/null 2>&1 || need+=(imagemagick)

if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
