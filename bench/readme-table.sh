#!/usr/bin/env bash
# Regenerates the measured part of README.md's Performance section: a fresh Release
# build of tandro-sync, gui_run and guard_cost, bench/run.sh on every standard case, and the block
# between <!-- bench:begin --> and <!-- bench:end --> replaced; the prose around it stays.
set -euo pipefail
export LC_ALL=C

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=3
FAT_RUNS=""
SIZES=(10000 100000)
REMOVABLE_FILES=10000
BIG=4G
MILLION=0
WORK=/var/tmp/tandro-bench
BUILD=$REPO/build-bench
JOBS=2
README=$REPO/README.md
WRITE=1

usage() {
  cat <<EOF
usage: bench/readme-table.sh [options]     (as root)

Builds tandro-sync and gui_run (Release) in an emptied build folder, then runs:
  bench/run.sh -n 10000 -n 100000                  trees on ext4
  bench/run.sh -n 1000000 --small                  with --million only
  bench/run.sh --removable fat32 -n 10000          the removable root on FAT32 (fusefat)
  bench/run.sh --removable exfat -n 10000          the removable root on exFAT (exfat-fuse)
  bench/run.sh --big-file 4G                       one 4 GiB file, with the window
  bench/run.sh --big-file 4G --removable xfs       the same file copied to xfs (through
                                                   user space, as to a removable drive)
and puts the results between the bench markers of README.md. Installs what building
and the benchmark need with apt-get. Run it on a quiet machine: the full run takes
about an hour (fusefat copies some 100 files a second), --million adds hours.

options:
      --million        also the 1,000,000-file case (0-1 KiB files)
  -r, --runs N         runs per measurement (default $RUNS)
      --fat-runs N     runs per measurement on FAT32, whose copies are slow (default: --runs)
  -n, --files N        an ext4 tree size, repeatable (default ${SIZES[*]})
      --removable-files N  tree size on FAT32 and exFAT (default $REMOVABLE_FILES)
      --big-file SIZE  the large file (default $BIG)
  -w, --work DIR       bench/run.sh's work folder (default $WORK)
  -b, --build DIR      the build folder, emptied first (default $BUILD)
  -j, --jobs N         parallel build jobs (default $JOBS)
      --readme FILE    the file to update (default $README)
      --print-only     print the block, leave README.md alone
  -h, --help           this text
EOF
}

sizes_given=()
while [ $# -gt 0 ]; do
  case $1 in
    --million) MILLION=1; shift ;;
    -r|--runs) RUNS=$2; shift 2 ;;
    --fat-runs) FAT_RUNS=$2; shift 2 ;;
    -n|--files) sizes_given+=("$2"); shift 2 ;;
    --removable-files) REMOVABLE_FILES=$2; shift 2 ;;
    --big-file) BIG=$2; shift 2 ;;
    -w|--work) WORK=$2; shift 2 ;;
    -b|--build) BUILD=$2; shift 2 ;;
    -j|--jobs) JOBS=$2; shift 2 ;;
    --readme) README=$2; shift 2 ;;
    --print-only) WRITE=0; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "readme-table.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
[ ${#sizes_given[@]} -gt 0 ] && SIZES=("${sizes_given[@]}")
[ "$(id -u)" = 0 ] || { echo "readme-table.sh: run as root (apt-get, mount)" >&2; exit 1; }
if [ "$WRITE" = 1 ] && ! { grep -q '^<!-- bench:begin -->$' "$README" &&
                           grep -q '^<!-- bench:end -->$' "$README"; }; then
  echo "readme-table.sh: $README has no <!-- bench:begin --> / <!-- bench:end --> lines" >&2
  exit 1
fi

say() { echo "[$(date +%H:%M:%S)] $*" >&2; }

say "installing what is missing"
"$REPO/scripts/install-deps.sh" rsync unison time e2fsprogs dosfstools fusefat exfatprogs \
  exfat-fuse psmisc util-linux >&2

COMMIT=$(git -C "$REPO" describe --always --dirty)
case $COMMIT in
  *-dirty) say "warning: the work tree has uncommitted changes; the tables will say $COMMIT" ;;
esac

say "building tandro-sync and gui_run (Release) in $BUILD"
rm -rf "$BUILD"
cmake -S "$REPO" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDRO_BUILD_TESTS=OFF >&2
cmake --build "$BUILD" --target tandro-sync gui_run guard_cost -j "$JOBS" >&2

PARTS=$(mktemp -d)
trap 'rm -rf "$PARTS"' EXIT
common=(-t "$BUILD/src/tandro-sync" -g "$BUILD/bench/gui_run" --commit "$COMMIT" -w "$WORK")

section() {
  local name=$1
  shift
  say "bench/run.sh $*"
  "$REPO/bench/run.sh" "${common[@]}" "$@" -o "$PARTS/$name.md" >/dev/null
}

section 0-header --header-only -r "$RUNS"
size_args=()
for n in "${SIZES[@]}"; do size_args+=(-n "$n"); done
section 1-ext4 --no-header -r "$RUNS" "${size_args[@]}"
[ "$MILLION" = 1 ] && section 2-million --no-header -r "$RUNS" -n 1000000 --small
section 3-fat32 --no-header -r "${FAT_RUNS:-$RUNS}" --removable fat32 -n "$REMOVABLE_FILES"
section 4-exfat --no-header -r "$RUNS" --removable exfat -n "$REMOVABLE_FILES"
section 5-big --no-header -r "$RUNS" --big-file "$BIG"
section 6-big-xfs --no-header -r "$RUNS" --big-file "$BIG" --removable xfs

BLOCK=$PARTS/block.md
{
  echo "<!-- Made by bench/readme-table.sh, which replaces everything up to the end marker. -->"
  first=1
  for file in "$PARTS"/[0-9]-*.md; do
    [ "$first" = 1 ] || echo
    first=0
    cat "$file"
  done
} >"$BLOCK"

if [ "$WRITE" = 1 ]; then
  awk -v block="$BLOCK" '
    /^<!-- bench:begin -->$/ {print; while ((getline line < block) > 0) print line; skip = 1; next}
    /^<!-- bench:end -->$/ {skip = 0}
    !skip' "$README" >"$PARTS/README.md"
  cat "$PARTS/README.md" >"$README"
  say "updated $README"
fi
cat "$BLOCK"
