#!/usr/bin/env bash
# The crash test at full strength: a first copy and change-set re-syncs of FILES files,
# each killed KILLS times at seeded random moments, for each seed in SEEDS.
#   bench/crash.sh [BUILD_DIR]      defaults: FILES=10000 KILLS=100 SEEDS="1 2 3"
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
test=$build/tests/safety/crash_test
[ -x "$test" ] || { echo "no $test: build the tests first (scripts/test.sh)" >&2; exit 2; }
export TZ=JST-9 LANG=C.UTF-8 LC_ALL=C.UTF-8
[ -d /dev/shm ] && export TMPDIR=/dev/shm
export TANDRO_CRASH_FILES=${FILES:-10000} TANDRO_CRASH_KILLS=${KILLS:-100}
for seed in ${SEEDS:-1 2 3}; do
  echo "seed $seed: $TANDRO_CRASH_FILES files, $TANDRO_CRASH_KILLS kills per scenario"
  TANDRO_CRASH_SEED=$seed "$test" --gtest_brief=1
done
