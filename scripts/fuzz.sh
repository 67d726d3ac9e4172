#!/usr/bin/env bash
# Builds ini_fuzz, the libFuzzer target over the profile INI reader and writer, with Debian's
# clang 14 and its runtime, and runs it for the given seconds (60 by default), starting from
# fuzz/corpus and what earlier runs here found. Exits non-zero when it finds a fault; the
# input that shows it is kept in build/fuzz/artifacts/ and printed in base64.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz

# The compiler and the fuzzer runtime come from one LLVM version.
scripts/install-deps.sh clang-14 libclang-rt-14-dev
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTANDRO_FUZZ=ON -DTANDRO_BUILD_GUI=OFF -DTANDRO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target ini_fuzz

mkdir -p "$build/corpus" "$build/artifacts"
rm -f "$build"/artifacts/*
log=$build/fuzz.log
echo "ini_fuzz: ${seconds} s, log in $log"
status=0
"$build/fuzz/ini_fuzz" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "$build/corpus" fuzz/corpus >"$log" 2>&1 || status=$?

artifacts=("$build"/artifacts/*)
if [ "$status" -ne 0 ] || [ -e "${artifacts[0]}" ]; then
  tail -n 120 "$log"
  for artifact in "${artifacts[@]}"; do
    [ -e "$artifact" ] || continue
    echo "--- $artifact (base64):"
    base64 -w 0 "$artifact"
    echo
  done
  echo "ini_fuzz: FAILED (exit $status)"
  exit 1
fi
# The progress lines are many; the start and the closing figures say enough.
grep -E '^(INFO:|#[0-9]+[[:space:]]+(INITED|DONE)|Done|stat::)' "$log" || true
echo "ini_fuzz: no fault in ${seconds} s"
