#!/usr/bin/env bash
# Builds the core, tandro-sync.exe and the core tests for Windows with mingw-w64, then runs
# the tests and the smoke run under Wine in a fresh prefix with a Japanese locale, under
# which Wine's system code page is 932 as on Japanese Windows.
#   scripts/test-windows.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}

scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine wine64 locales
if ! locale -a | grep -qix 'ja_JP.utf8'; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  "${sudo[@]}" locale-gen
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTANDRO_BUILD_GUI=OFF \
  -DTANDRO_GTEST_SOURCES=/usr/src/googletest
cmake --build "$build"

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tandro-wine-XXXXXX")
export WINEPREFIX WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
trap 'wineserver -k || true; rm -rf "$WINEPREFIX"' EXIT
# One server for every run below: one that is still shutting down after the tests can
# reset the first connection of the smoke run.
wineserver -p
wine64=/usr/lib/wine/wine64
"$wine64" wineboot -i
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
scripts/smoke-windows.sh "$wine64" "$build/src/tandro-sync.exe"
