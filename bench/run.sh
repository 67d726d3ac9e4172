#!/usr/bin/env bash
# Side-by-side timing of tandro-sync against cp -a, rsync and unison on the same trees,
# on a fresh loop-mounted ext4 image; prints a Markdown table of medians and ratios.
set -euo pipefail
export LC_ALL=C

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FILES=()
RUNS=3
TANDRO=""
WORK=/var/tmp/tandro-bench
SMALL=0
SEED=1
KEEP=0
OUTPUT=""

usage() {
  cat <<EOF
usage: sudo bench/run.sh [options]

Times, on a fresh journaled ext4 image mounted through a loop device:
  first copy into an empty removable root      cp -a, rsync -a, unison, tandro-sync,
                                               each followed by sync (timed with it)
  re-sync with nothing changed                 rsync -a, unison, tandro-sync,
                                               plus the scan floor (find over both trees)
  re-sync after a change set on the local tree rsync -a --delete, unison, tandro-sync
                                               (1% modified, 0.5% added, 0.5% deleted)
  peak resident memory in the no-change re-sync (GNU time)
Every figure is the median of the runs; working trees are rebuilt before each run as
hard-link clones of pristine trees (caches are kept warm, nothing is dropped).

options:
  -n, --files N      number of files; repeat for several sizes (default 10000 and 100000)
  -r, --runs N       runs per measurement (default 3, at least 3 recommended)
  -t, --tandro PATH  tandro-sync to time (default: first of build*/src/tandro-sync)
  -w, --work DIR     where the image, logs and results go (default $WORK)
      --small        files of 0-1 KiB instead of 1-16 KiB (for 1,000,000-file trees)
      --seed S       seed of the tree and of the change set (default 1)
  -o, --output FILE  also write the table to FILE
      --keep         keep the image file afterwards (it is unmounted anyway)
  -h, --help         this text

Installs rsync, unison, time, g++ and e2fsprogs with apt-get when they are missing.
Run as root (mount, losetup). Logs of every run are kept in DIR/logs.
EOF
}

while [ $# -gt 0 ]; do
  case $1 in
    -n|--files) FILES+=("$2"); shift 2 ;;
    -r|--runs) RUNS=$2; shift 2 ;;
    -t|--tandro) TANDRO=$2; shift 2 ;;
    -w|--work) WORK=$2; shift 2 ;;
    --small) SMALL=1; shift ;;
    --seed) SEED=$2; shift 2 ;;
    -o|--output) OUTPUT=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
[ ${#FILES[@]} -gt 0 ] || FILES=(10000 100000)
[ "$(id -u)" = 0 ] || { echo "run.sh: run as root (loop mount)" >&2; exit 1; }

say() { echo "[$(date +%H:%M:%S)] $*" >&2; }

# --- tools -------------------------------------------------------------------------
missing=()
command -v rsync >/dev/null || missing+=(rsync)
command -v unison >/dev/null || missing+=(unison)
[ -x /usr/bin/time ] || missing+=(time)
command -v g++ >/dev/null || missing+=(g++)
command -v mkfs.ext4 >/dev/null || missing+=(e2fsprogs)
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build_type() {
  local cache
  cache=$(dirname "$1")/../CMakeCache.txt
  [ -f "$cache" ] && sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$cache"
  return 0
}

# Prefer a Release build: a Debug one would say little about speed.
if [ -z "$TANDRO" ]; then
  for candidate in "$REPO"/build*/src/tandro-sync; do
    [ -x "$candidate" ] || continue
    [ -z "$TANDRO" ] && TANDRO=$candidate
    [ "$(build_type "$candidate")" = Release ] && { TANDRO=$candidate; break; }
  done
fi
mkdir -p "$WORK/bin" "$WORK/mnt"
if [ -n "$TANDRO" ]; then
  TANDRO=$(realpath "$TANDRO")
  [ -x "$TANDRO" ] || { echo "run.sh: $TANDRO is not executable" >&2; exit 1; }
  # A copy, so that a rebuild in the tree during the run cannot swap the binary.
  TANDRO_ABOUT="$TANDRO of $(date -r "$TANDRO" '+%Y-%m-%d %H:%M'), sha256 $(sha256sum "$TANDRO" | cut -c1-12), build type $(build_type "$TANDRO" | grep . || echo unknown)"
  case $TANDRO_ABOUT in
    *"build type Release") ;;
    *) say "warning: $TANDRO is not a known Release build; its times may mislead" ;;
  esac
  cp "$TANDRO" "$WORK/bin/tandro-sync"
  TANDRO=$WORK/bin/tandro-sync
else
  say "no tandro-sync found; timing the peers only"
fi

LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
LOGDIR=$WORK/logs/$(date +%Y%m%d-%H%M%S)
mkdir -p "$LOGDIR"
MAKE_TREE=$WORK/bin/make_tree
if [ ! -x "$MAKE_TREE" ] || [ "$REPO/bench/make_tree.cpp" -nt "$MAKE_TREE" ]; then
  g++ -O2 -std=c++20 -o "$MAKE_TREE" "$REPO/bench/make_tree.cpp"
fi

MNT=$WORK/mnt
IMG=""
cleanup() {
  mountpoint -q "$MNT" && umount "$MNT"
  if [ -n "$IMG" ] && [ "$KEEP" = 0 ]; then rm -f "$IMG"; fi
}
trap cleanup EXIT

# --- results -------------------------------------------------------------------------
declare -A TIMES=() RSS=() FAILED=() DIFFERS=() NOTES=()

# Keys are "N|case|tool".
record() {
  local key=$1 rc=$2 secs=$3 rss=$4
  TIMES[$key]="${TIMES[$key]:-} $secs"
  [ -n "$rss" ] && RSS[$key]="${RSS[$key]:-} $rss"
  [ "$rc" = 0 ] || FAILED[$key]=$rc
  printf '%s\t%s\t%s\t%s\n' "$key" "$secs" "${rss:--}" "$rc" >>"$LOGDIR/raw.tsv"
}

# Trees and metadata live on the image, so every tool works on the same file system.
set_paths() {
  P=$MNT/pristine
  RUN=$MNT/run
  LOCAL=$RUN/local
  REMOTE=$RUN/remote
  PROFDIR=$MNT/meta/profiles
  export UNISON=$MNT/meta/unison
}

# The removable root's marker (.tandro) is Tandro's bookkeeping, not a file of the tree.
listing() { (cd "$1" && find . -type f ! -path ./.tandro -printf '%P\t%s\t%Ts\n' | sort); }

# The removable tree must equal the local one in names, sizes and whole-second mtimes.
check_mirror() {
  local key=$1
  if ! cmp -s <(listing "$LOCAL") <(listing "$REMOTE"); then
    DIFFERS[$key]=1
    diff <(listing "$LOCAL") <(listing "$REMOTE") >"$LOGDIR/${key//|/.}.diff" || true
  fi
}

# A tool that wrote into a file in place would also change the pristine copy behind
# the hard link and spoil every later run.
check_pristine() {
  local key=$1 tree
  shift
  for tree in "$@"; do
    if ! cmp -s <(listing "$P/$tree") "$P/$tree.lst"; then
      DIFFERS[$key]=1
      NOTES[pristine]="pristine tree $tree changed during ${key//|/ }; later runs are unreliable"
    fi
  done
}

fresh_first() {
  rm -rf "$RUN" && mkdir -p "$RUN" "$REMOTE"
  cp -al "$P/local0" "$LOCAL"
  rm -rf "$UNISON" && mkdir -p "$UNISON" "$PROFDIR"
  printf '[Path]\nLocal=%s/\nRemove=%s/\n' "$LOCAL" "$REMOTE" >"$PROFDIR/bench.ini"
}

fresh_resync() {
  rm -rf "$RUN" && mkdir -p "$RUN"
  cp -al "$P/$1" "$LOCAL"
  cp -al "$P/remote0" "$REMOTE"
  rm -rf "$UNISON" && cp -a "$P/unison0" "$UNISON"
  [ -f "$P/profile0.ini" ] && cp "$P/profile0.ini" "$PROFDIR/bench.ini"
  return 0
}

tool_argv() {
  local case=$1 tool=$2
  case $tool in
    cp) ARGV=(cp -a "$LOCAL/." "$REMOTE/") ;;
    rsync) if [ "$case" = change ]; then ARGV=(rsync -a --delete "$LOCAL/" "$REMOTE/")
           else ARGV=(rsync -a "$LOCAL/" "$REMOTE/"); fi ;;
    unison) ARGV=(unison "$LOCAL" "$REMOTE" -batch -times -perms 0 -confirmbigdeletes=false
                  -log=false) ;;
    tandro) ARGV=("$TANDRO" --profile-dir "$PROFDIR" bench) ;;
  esac
}

# Wall time from the shell's clock; peak RSS from GNU time around the same process. With
# THEN_SYNC=1 the time runs until a sync after the process is done: what is on the device.
THEN_SYNC=0
timed() {
  local key=$1 log=$LOGDIR/${1//|/.}.run$2
  shift 2
  sync
  local rc=0 t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$log.time" "$@" >"$log.out" 2>&1 </dev/null || rc=$?
  [ "$THEN_SYNC" = 1 ] && sync
  local t1=$EPOCHREALTIME
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log.time")
  record "$key" "$rc" "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}')" "$rss"
  [ "$rc" = 0 ] || say "  $key run exited $rc (see $log.out)"
}

timed_floor() {
  local key=$1 mode=$2
  sync
  local t0=$EPOCHREALTIME
  if [ "$mode" = seq ]; then
    find "$LOCAL" -printf '%T@\n' >/dev/null
    find "$REMOTE" -printf '%T@\n' >/dev/null
  else
    find "$LOCAL" -printf '%T@\n' >/dev/null &
    find "$REMOTE" -printf '%T@\n' >/dev/null &
    wait
  fi
  local t1=$EPOCHREALTIME
  record "$key" 0 "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}')" ""
}

bench_size() {
  local n=$1 per_file_kib r tool
  # Room for about four trees of data (pristine local, pristine removable, working
  # copy, change set) plus slack; the image file is sparse.
  per_file_kib=$(( SMALL ? 16 : 48 ))
  IMG=$WORK/tree-$n.ext4
  rm -f "$IMG"
  truncate -s "$(( n * per_file_kib + 1024 * 1024 ))K" "$IMG"
  mkfs.ext4 -q -F -N $(( 4 * n + n / 5 + 10000 )) "$IMG"
  mount -o loop "$IMG" "$MNT"
  NOTES[image]="ext4 (journal on) on $(findmnt -n -o SOURCE "$MNT") backed by a sparse file of $(du -h --apparent-size "$IMG" | cut -f1) on $(findmnt -n -o FSTYPE --target "$WORK")"
  set_paths
  mkdir -p "$P" "$PROFDIR"

  say "$n files: making the tree"
  "$MAKE_TREE" create "$P/local0" "$n" --seed "$SEED" $( [ "$SMALL" = 1 ] && echo --small ) \
    >"$LOGDIR/tree-$n.txt"
  NOTES[tree-$n]=$(cat "$LOGDIR/tree-$n.txt")
  listing "$P/local0" >"$P/local0.lst"

  # First copy. tandro-sync goes last so that its result becomes the synced pair
  # (with its records) that the re-sync cases start from.
  local tools=(cp rsync unison)
  [ -n "$TANDRO" ] && tools+=(tandro)
  for r in $(seq "$RUNS"); do
    for tool in "${tools[@]}"; do
      say "$n files: first copy, $tool, run $r"
      fresh_first
      tool_argv first "$tool"
      THEN_SYNC=1 timed "$n|first|$tool" "$r" "${ARGV[@]}"
      check_mirror "$n|first|$tool"
      check_pristine "$n|first|$tool" local0
    done
  done
  local tandro_base=0
  if [ -n "$TANDRO" ] && [ -z "${FAILED[$n|first|tandro]:-}" ] &&
     [ -z "${DIFFERS[$n|first|tandro]:-}" ]; then
    mv "$REMOTE" "$P/remote0"
    cp "$PROFDIR/bench.ini" "$P/profile0.ini"
    tandro_base=1
  else
    [ -n "$TANDRO" ] && NOTES[base-$n]="tandro-sync's first copy failed or differed, so it is not timed in the re-sync cases"
    fresh_first
    cp -a "$LOCAL/." "$REMOTE/"
    mv "$REMOTE" "$P/remote0"
    rm -f "$P/profile0.ini"
  fi
  listing "$P/remote0" >"$P/remote0.lst"

  # The records hold the time of the first copy; changes must be over two seconds later.
  sleep 3
  cp -al "$P/local0" "$P/local1"
  "$MAKE_TREE" change "$P/local1" --seed "$SEED" >"$LOGDIR/change-$n.txt"
  NOTES[change-$n]=$(cat "$LOGDIR/change-$n.txt")
  listing "$P/local1" >"$P/local1.lst"

  # unison needs its archive from a completed sync of the same pair before a re-sync
  # means the same work as for the others.
  say "$n files: building unison's archive"
  rm -rf "$RUN" && mkdir -p "$RUN"
  cp -al "$P/local0" "$LOCAL"
  cp -al "$P/remote0" "$REMOTE"
  rm -rf "$UNISON" && mkdir -p "$UNISON"
  tool_argv none unison
  "${ARGV[@]}" >"$LOGDIR/unison-archive-$n.out" 2>&1 </dev/null ||
    { say "unison could not build its archive (see $LOGDIR)"; exit 1; }
  cp -a "$UNISON" "$P/unison0"

  tools=(rsync unison)
  [ "$tandro_base" = 1 ] && tools+=(tandro)
  for r in $(seq "$RUNS"); do
    for tool in "${tools[@]}" floor; do
      say "$n files: no-change re-sync, $tool, run $r"
      fresh_resync local0
      if [ "$tool" = floor ]; then
        timed_floor "$n|none|find-seq" seq
        timed_floor "$n|none|find-par" par
        continue
      fi
      tool_argv none "$tool"
      timed "$n|none|$tool" "$r" "${ARGV[@]}"
      check_mirror "$n|none|$tool"
      check_pristine "$n|none|$tool" local0 remote0
    done
  done

  for r in $(seq "$RUNS"); do
    for tool in "${tools[@]}"; do
      say "$n files: re-sync after the change set, $tool, run $r"
      fresh_resync local1
      tool_argv change "$tool"
      timed "$n|change|$tool" "$r" "${ARGV[@]}"
      check_mirror "$n|change|$tool"
      check_pristine "$n|change|$tool" local1 remote0
    done
  done

  umount "$MNT"
  [ "$KEEP" = 0 ] && rm -f "$IMG"
  IMG=""
}

# --- table ---------------------------------------------------------------------------
median() {
  tr ' ' '\n' | sed '/^$/d' | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) exit; if (NR % 2) print v[(NR + 1) / 2];
                           else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

thousands() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }

# The text of one table cell: the median, or why there is none.
cell() {
  local key=$1 kind=$2 m mark=""
  if [ -n "${FAILED[$key]:-}" ]; then echo "fail (exit ${FAILED[$key]})"; return; fi
  m=$(cell_value "$key" "$kind")
  if [ -z "$m" ]; then echo "—"; return; fi
  [ -n "${DIFFERS[$key]:-}" ] && mark=" †"
  if [ "$kind" = rss ]; then
    awk -v k="$m" -v s="$mark" 'BEGIN {printf "%.1f MiB%s", k / 1024, s}'
  else
    awk -v t="$m" -v s="$mark" 'BEGIN {printf "%.3f s%s", t, s}'
  fi
}

# The median as a bare number, empty when a run failed or none was made.
cell_value() {
  local key=$1 kind=$2
  [ -n "${FAILED[$key]:-}" ] && return
  if [ "$kind" = rss ]; then median <<<"${RSS[$key]:-}"; else median <<<"${TIMES[$key]:-}"; fi
}

ratio() {
  [ -n "$1" ] && [ -n "$2" ] || { echo "—"; return; }
  awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f×", a / b; else print "—"}'
}

table() {
  local n case kind label c t seq="" par=""
  echo "| Case | Files | tandro-sync | cp -a | rsync | unison | find, trees in turn | find, both at once | ÷ cp -a | ÷ rsync | ÷ unison | ÷ find in turn |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  for n in "${FILES[@]}"; do
    for case in first none change rss; do
      kind=time c=$case
      case $case in
        first) label="First copy into an empty root, then sync" ;;
        none) label="Re-sync, nothing changed" ;;
        change) label="Re-sync after the change set" ;;
        rss) label="Peak RSS, re-sync with nothing changed" kind=rss c=none ;;
      esac
      t=$(cell_value "$n|$c|tandro" "$kind")
      seq="—" par="—"
      if [ "$case" = none ]; then
        seq=$(cell "$n|none|find-seq" time)
        par=$(cell "$n|none|find-par" time)
      fi
      printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' \
        "$label" "$(thousands "$n")" "$(cell "$n|$c|tandro" "$kind")" \
        "$(cell "$n|$c|cp" "$kind")" "$(cell "$n|$c|rsync" "$kind")" \
        "$(cell "$n|$c|unison" "$kind")" "$seq" "$par" \
        "$(ratio "$t" "$(cell_value "$n|$c|cp" "$kind")")" \
        "$(ratio "$t" "$(cell_value "$n|$c|rsync" "$kind")")" \
        "$(ratio "$t" "$(cell_value "$n|$c|unison" "$kind")")" \
        "$( [ "$case" = none ] && ratio "$t" "$(cell_value "$n|none|find-seq" time)" || echo "—")"
    done
  done
}

report() {
  local ram cpu
  cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
  ram=$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
  echo "Measured $(date '+%Y-%m-%d') on $(nproc) CPUs ($cpu), $ram RAM, Linux $(uname -r);"
  echo "${NOTES[image]}. Medians of $RUNS runs, warm caches; seed $SEED."
  echo "Tools: $(rsync --version | head -1 | awk '{print "rsync " $3}'), $(unison -version 2>&1 | head -1),"
  echo "$(cp --version | head -1), tandro-sync ${TANDRO_ABOUT:-(not timed)}."
  echo "Load average at start $LOAD_START, at end $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine shows here)."
  echo
  table
  echo
  local n
  for n in "${FILES[@]}"; do
    echo "- $(thousands "$n") files: tree ${NOTES[tree-$n]:-}; change set: ${NOTES[change-$n]:-}."
    [ -n "${NOTES[base-$n]:-}" ] && echo "- ${NOTES[base-$n]}."
  done
  [ -n "${NOTES[pristine]:-}" ] && echo "- Warning: ${NOTES[pristine]}."
  [ ${#DIFFERS[@]} -gt 0 ] && echo "- † the removable tree did not match the local tree afterwards (names, sizes, mtimes); see the .diff files in $LOGDIR."
  echo "- Ratios are tandro-sync's median divided by the peer's (below 1 = tandro-sync faster or smaller). Peak RSS is GNU time's largest single process (rsync runs as several)."
  echo "- Re-sync cases start from tandro-sync's own first copy and records; unison from an archive built by a completed sync of the same pair."
}

for n in "${FILES[@]}"; do
  bench_size "$n"
done
report | tee "$LOGDIR/results.md"
[ -n "$OUTPUT" ] && cp "$LOGDIR/results.md" "$OUTPUT"
exit 0
