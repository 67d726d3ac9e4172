#!/usr/bin/env bash
# Side-by-side timing of tandro-sync against cp -a, rsync and unison on the same trees,
# on a fresh loop-mounted ext4 image (the removable root optionally on a FAT32 or exFAT
# image mounted through FUSE, or on xfs), and of one large file against cp; prints Markdown tables
# of medians and ratios.
set -euo pipefail
export LC_ALL=C

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FILES=()
RUNS=3
TANDRO=""
GUI=""
GUARDS=unset
COMMIT=""
WORK=/var/tmp/tandro-bench
SMALL=0
SEED=1
KEEP=0
OUTPUT=""
REMOVABLE=ext4
BIG=""
HEADER=1
HEADER_ONLY=0

usage() {
  cat <<EOF
usage: sudo bench/run.sh [options]

Times, on a fresh journaled ext4 image mounted through a loop device:
  first copy into an empty removable root      cp -a, rsync -a, unison, tandro-sync,
                                               each followed by sync (timed with it)
  re-sync with nothing changed                 rsync -a, unison, tandro-sync,
                                               plus the scan floor (find over both trees);
                                               on FAT32 and exFAT also rsync -a --delete
  re-sync after a change set on the local tree rsync -a --delete, unison, tandro-sync
                                               (1% modified, 0.5% added, 0.5% deleted)
  peak resident memory in the first copy and the no-change re-sync (GNU time)
With --big-file, also the first copy of one large file: cp -a, tandro-sync and the
window (bench/gui/gui_run, offscreen), each followed by sync, and the window's longest
gap between paints.
Every figure is the median of the runs; working trees are rebuilt before each run as
hard-link clones of pristine trees (caches are kept warm, nothing is dropped).

options:
  -n, --files N      number of files; repeat for several sizes (default 10000 and 100000,
                     10000 alone with --removable, none with --big-file)
  -r, --runs N       runs per measurement (default 3, at least 3 recommended)
  -t, --tandro PATH  tandro-sync to time (default: first Release build*/src/tandro-sync)
  -g, --gui PATH     gui_run for the large file (default: the one beside tandro-sync)
      --guards PATH  guard_cost, timed on ext4 with the guards on and off in both re-sync
                     cases (default: the one beside tandro-sync; "" for none)
      --commit REV   the commit tandro-sync was built from (default: git describe of the
                     repository its build folder lies in)
  -w, --work DIR     where the image, logs and results go (default $WORK)
      --removable FS the removable root's file system: ext4 (default, the same image as
                     the local tree), fat32 (mkfs.vfat image through fusefat), exfat
                     (mkfs.exfat image through exfat-fuse) or xfs (mkfs.xfs image, kernel
                     driver; with --big-file, a copy between file systems); the local
                     tree stays on ext4
      --big-file [SIZE]  also time one file of SIZE (default 4G; numfmt IEC suffixes)
      --small        files of 0-1 KiB instead of 1-16 KiB (for 1,000,000-file trees)
      --seed S       seed of the tree and of the change set (default 1)
  -o, --output FILE  also write the results to FILE
      --no-header    leave out the paragraph on the machine, the tools and the build
      --header-only  print only that paragraph
      --keep         keep the image files afterwards (they are unmounted anyway)
  -h, --help         this text

Installs rsync, unison, time, g++, e2fsprogs and, for --removable, dosfstools, fusefat,
exfatprogs, exfat-fuse, psmisc and xfsprogs with apt-get when they are missing.
Run as root (mount, losetup). Logs of every run are kept in DIR/logs.
EOF
}

while [ $# -gt 0 ]; do
  case $1 in
    -n|--files) FILES+=("$2"); shift 2 ;;
    -r|--runs) RUNS=$2; shift 2 ;;
    -t|--tandro) TANDRO=$2; shift 2 ;;
    -g|--gui) GUI=$2; shift 2 ;;
    --guards) GUARDS=$2; shift 2 ;;
    --commit) COMMIT=$2; shift 2 ;;
    -w|--work) WORK=$2; shift 2 ;;
    --removable) REMOVABLE=$2; shift 2 ;;
    --big-file=*) BIG=${1#*=}; shift ;;
    --big-file)
      if [ $# -gt 1 ] && [[ $2 =~ ^[0-9] ]]; then BIG=$2; shift 2; else BIG=4G; shift; fi ;;
    --small) SMALL=1; shift ;;
    --seed) SEED=$2; shift 2 ;;
    -o|--output) OUTPUT=$2; shift 2 ;;
    --no-header) HEADER=0; shift ;;
    --header-only) HEADER_ONLY=1; shift ;;
    --keep) KEEP=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case $REMOVABLE in
  ext4|fat32|exfat|xfs) ;;
  *) echo "run.sh: --removable takes ext4, fat32, exfat or xfs" >&2; exit 2 ;;
esac
if [ -n "$BIG" ] && [ "$REMOVABLE" != ext4 ] && [ "$REMOVABLE" != xfs ]; then
  echo "run.sh: --big-file runs on ext4 and xfs only (FAT32 cannot hold a 4 GiB file)" >&2; exit 2
fi
if [ ${#FILES[@]} -eq 0 ] && [ "$HEADER_ONLY" = 0 ] && [ -z "$BIG" ]; then
  if [ "$REMOVABLE" = ext4 ]; then FILES=(10000 100000); else FILES=(10000); fi
fi
[ "$(id -u)" = 0 ] || { echo "run.sh: run as root (loop mount)" >&2; exit 1; }

say() { echo "[$(date +%H:%M:%S)] $*" >&2; }

# --- tools -------------------------------------------------------------------------
missing=()
command -v rsync >/dev/null || missing+=(rsync)
command -v unison >/dev/null || missing+=(unison)
[ -x /usr/bin/time ] || missing+=(time)
command -v g++ >/dev/null || missing+=(g++)
command -v mkfs.ext4 >/dev/null || missing+=(e2fsprogs)
if [ "$REMOVABLE" != ext4 ] || [ "$HEADER_ONLY" = 1 ]; then
  command -v mkfs.vfat >/dev/null || missing+=(dosfstools)
  command -v fusefat >/dev/null || missing+=(fusefat)
  command -v mkfs.exfat >/dev/null || missing+=(exfatprogs)
  command -v mount.exfat-fuse >/dev/null || missing+=(exfat-fuse)
  command -v fuser >/dev/null || missing+=(psmisc)
  command -v mkfs.xfs >/dev/null || missing+=(xfsprogs)
fi
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
mkdir -p "$WORK/bin" "$WORK/mnt" "$WORK/rmnt"
TANDRO_ABOUT=""
if [ -n "$TANDRO" ]; then
  TANDRO=$(realpath "$TANDRO")
  [ -x "$TANDRO" ] || { echo "run.sh: $TANDRO is not executable" >&2; exit 1; }
  [ -z "$GUI" ] && [ -x "$(dirname "$TANDRO")/../bench/gui_run" ] &&
    GUI=$(realpath "$(dirname "$TANDRO")/../bench/gui_run")
  [ "$GUARDS" = unset ] && [ -x "$(dirname "$TANDRO")/../bench/guard_cost" ] &&
    GUARDS=$(realpath "$(dirname "$TANDRO")/../bench/guard_cost")
  if [ -z "$COMMIT" ] && git -C "$(dirname "$TANDRO")" rev-parse --git-dir >/dev/null 2>&1; then
    COMMIT=$(git -C "$(dirname "$TANDRO")" describe --always --dirty)
  fi
  TANDRO_BUILD=$(build_type "$TANDRO" | grep . || echo unknown)
  TANDRO_ABOUT="a $TANDRO_BUILD build of commit ${COMMIT:-unknown} ($TANDRO of $(date -r "$TANDRO" '+%Y-%m-%d %H:%M'), sha256 $(sha256sum "$TANDRO" | cut -c1-12))"
  [ "$TANDRO_BUILD" = Release ] ||
    say "warning: $TANDRO is not a known Release build; its times may mislead"
  # A copy, so that a rebuild in the tree during the run cannot swap the binary.
  cp "$TANDRO" "$WORK/bin/tandro-sync"
  TANDRO=$WORK/bin/tandro-sync
else
  say "no tandro-sync found; timing the peers only"
fi
[ "$GUARDS" = unset ] && GUARDS=""
if [ -n "$GUARDS" ] && [ "$REMOVABLE" = ext4 ]; then
  cp "$(realpath "$GUARDS")" "$WORK/bin/guard_cost"
  GUARDS=$WORK/bin/guard_cost
else
  GUARDS=""
fi
if [ -n "$GUI" ]; then
  GUI=$(realpath "$GUI")
  cp "$GUI" "$WORK/bin/gui_run"
  GUI=$WORK/bin/gui_run
fi

LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
mkdir -p "$WORK/logs"
LOGDIR=$(mktemp -d "$WORK/logs/$(date +%Y%m%d-%H%M%S)-XXXX")
MAKE_TREE=$WORK/bin/make_tree
if [ ! -x "$MAKE_TREE" ] || [ "$REPO/bench/make_tree.cpp" -nt "$MAKE_TREE" ]; then
  g++ -O2 -std=c++20 -o "$MAKE_TREE" "$REPO/bench/make_tree.cpp"
fi

MNT=$WORK/mnt
RMNT=$WORK/rmnt
IMG=""
LOOP=""

# --- the removable file system -------------------------------------------------------
# FAT32 and exFAT live in image files on the ext4 image, mounted through FUSE at $RMNT;
# the removable root is a folder on them, as on a real drive (fusefat also fails to set
# the times of a volume's root folder).
fs_name() {
  case $REMOVABLE in
    ext4) echo "ext4" ;;
    fat32) echo "FAT32 (mkfs.vfat -F 32, mounted through fusefat)" ;;
    exfat) echo "exFAT (mkfs.exfat, mounted through exfat-fuse on a loop device)" ;;
    xfs) echo "xfs (mkfs.xfs, mounted on a loop device; no tool can have the kernel copy into it from ext4, so every copy goes through user space, as to most removable drives)" ;;
  esac
}

# Times on FAT are kept in steps of two seconds; elsewhere whole seconds must agree.
mtime_slack() { if [ "$REMOVABLE" = fat32 ]; then echo 2; else echo 1; fi; }

removable_make() {
  local image=$1 mebibytes=$2
  rm -f "$image"
  truncate -s "${mebibytes}M" "$image"
  case $REMOVABLE in
    fat32) mkfs.vfat -F 32 "$image" >/dev/null ;;
    exfat) mkfs.exfat "$image" >/dev/null ;;
    xfs) mkfs.xfs -q "$image" ;;
  esac
}

# fusefat writes times as UTC and reads them back as local time: UTC keeps them true.
removable_mount() {
  local image=$1
  case $REMOVABLE in
    fat32) TZ=UTC fusefat -o rw+ "$image" "$RMNT" >>"$LOGDIR/mount.log" 2>&1 ;;
    exfat)
      LOOP=$(losetup -f --show "$image")
      TZ=UTC mount.exfat-fuse "$LOOP" "$RMNT" >>"$LOGDIR/mount.log" 2>&1 ;;
    xfs) mount -o loop "$image" "$RMNT" >>"$LOGDIR/mount.log" 2>&1 ;;
  esac
  mountpoint -q "$RMNT" || { say "could not mount $image (see $LOGDIR/mount.log)"; exit 1; }
}

# The FUSE daemon may still be writing when the unmount returns; the image is whole only
# once nothing holds it open. fusefat now and then refuses an unmount as busy right after
# a run: it is asked again for a while before the bench gives up.
removable_umount() {
  local image=$1 i
  for i in $(seq 50); do
    mountpoint -q "$RMNT" || break
    if [ "$REMOVABLE" = fat32 ]; then fusermount -u "$RMNT" 2>/dev/null && break
    else umount "$RMNT" 2>/dev/null && break; fi
    [ "$i" = 50 ] && { say "could not unmount $RMNT: busy"; exit 1; }
    sleep 0.2
  done
  if [ -n "$LOOP" ]; then
    losetup -d "$LOOP"
    LOOP=""
  fi
  for i in $(seq 100); do
    if [ ! -e "$image" ] || ! fuser -s "$image" 2>/dev/null; then break; fi
    [ "$i" = 100 ] && say "warning: $image is still held open"
    sleep 0.1
  done
  return 0
}

# The pristine empty removable image of <MiB>, with the removable root in it.
empty_removable() {
  removable_make "$P/empty.img" "$1"
  removable_mount "$P/empty.img"
  mkdir "$REMOTE"
  removable_umount "$P/empty.img"
  NOTES[removable]="the removable root is a folder on $(fs_name), an image of $1 MiB on the ext4 image"
}

# A working copy of a pristine image, mounted.
removable_from() {
  removable_umount "$RIMG"
  cp --sparse=always "$1" "$RIMG"
  removable_mount "$RIMG"
}

# shellcheck disable=SC2317  # called from the EXIT trap
cleanup() {
  if [ "$REMOVABLE" != ext4 ]; then removable_umount "${RIMG:-}"; fi
  mountpoint -q "$MNT" && umount "$MNT"
  if [ -n "$IMG" ] && [ "$KEEP" = 0 ]; then rm -f "$IMG"; fi
}
trap cleanup EXIT

# --- results -------------------------------------------------------------------------
declare -A TIMES=() RSS=() FAILED=() DIFFERS=() NOTES=() GAPS=() PLANS=() LOOKS=() LINKS=()

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
  [ "$REMOVABLE" = ext4 ] || REMOTE=$RMNT/sync
  RIMG=$MNT/removable.img
  PROFDIR=$MNT/meta/profiles
  export UNISON=$MNT/meta/unison
}

# The removable root's marker (.tandro) is Tandro's bookkeeping, not a file of the tree.
listing() { (cd "$1" && find . -type f ! -path ./.tandro -printf '%P\t%s\t%Ts\n' | sort); }

# The lines of two listings that do not match: names and sizes exactly, mtimes within
# the file system's step. Empty when the trees match.
mirror_diff() {
  awk -F'\t' -v slack="$(mtime_slack)" '
    NR == FNR {size[$1] = $2; time[$1] = $3; next}
    !($1 in size) {print "only on the removable side: " $0; next}
    {d = $3 - time[$1]; if (d < 0) d = -d}
    size[$1] != $2 {print "size differs: " $0 " (local " size[$1] ")"}
    size[$1] == $2 && d >= slack {print "mtime differs: " $0 " (local " time[$1] ")"}
    {delete size[$1]}
    END {for (f in size) print "only on the local side: " f}' "$1" "$2" | sort
}

# The removable tree must equal the local one in names, sizes and whole-second mtimes.
check_mirror() {
  local key=$1 diff_file=$LOGDIR/${1//|/.}.run$2.diff
  mirror_diff <(listing "$LOCAL") <(listing "$REMOTE") >"$diff_file"
  if [ -s "$diff_file" ]; then DIFFERS[$key]=1; else rm -f "$diff_file"; fi
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

fresh_profile() {
  rm -rf "$UNISON" && mkdir -p "$UNISON" "$PROFDIR"
  printf '[Path]\nLocal=%s/\nRemove=%s/\n' "$LOCAL" "$REMOTE" >"$PROFDIR/bench.ini"
}

fresh_first() {
  rm -rf "$RUN" && mkdir -p "$RUN"
  cp -al "$P/local0" "$LOCAL"
  if [ "$REMOVABLE" = ext4 ]; then mkdir -p "$REMOTE"; else removable_from "$P/empty.img"; fi
  fresh_profile
}

fresh_resync() {
  rm -rf "$RUN" && mkdir -p "$RUN"
  cp -al "$P/$1" "$LOCAL"
  if [ "$REMOVABLE" = ext4 ]; then cp -al "$P/remote0" "$REMOTE"; else removable_from "$P/remote0.img"; fi
  rm -rf "$UNISON" && cp -a "$P/unison0" "$UNISON"
  [ -f "$P/profile0.ini" ] && cp "$P/profile0.ini" "$PROFDIR/bench.ini"
  return 0
}

# Neither FAT32 nor exFAT keeps owners or permission bits. fusefat refuses chmod and chown
# (ENOSYS): cp -a fails there and rsync -a cannot even make its temporary files, so both
# copy names, data and times only. exfat-fuse accepts and ignores them.
tool_argv() {
  local case=$1 tool=$2
  case $tool in
    cp) if [ "$REMOVABLE" = fat32 ]; then ARGV=(cp -R --preserve=timestamps "$LOCAL/." "$REMOTE/")
        else ARGV=(cp -a "$LOCAL/." "$REMOTE/"); fi ;;
    rsync | rsync-delete)
      case $REMOVABLE in
        ext4 | xfs) ARGV=(rsync -a) ;;
        fat32) ARGV=(rsync -rlt --modify-window=1) ;;
        exfat) ARGV=(rsync -a --modify-window=1) ;;
      esac
      [ "$case" = change ] || [ "$tool" = rsync-delete ] && ARGV+=(--delete)
      ARGV+=("$LOCAL/" "$REMOTE/") ;;
    unison) ARGV=(unison "$LOCAL" "$REMOTE" -batch -times -confirmbigdeletes=false -log=false)
            case $REMOVABLE in ext4 | xfs) ARGV+=(-perms 0) ;; *) ARGV+=(-fat) ;; esac ;;
    tandro) ARGV=("$TANDRO" --profile-dir "$PROFDIR" bench) ;;
    gui) ARGV=(env QT_QPA_PLATFORM=offscreen "$GUI" sync "$PROFDIR" bench "$LOGDIR/gui.log") ;;
    checked | unchecked) ARGV=("$GUARDS" "$tool" "$PROFDIR" bench) ;;
  esac
}

# rsync on fusefat still sets the permission bits of every new file (ENOSYS there) and
# says so with exit 23: that is known and no failure as long as the mirror check passes.
known_failure() {
  local tool=$1 rc=$2 out=$3 unknown
  [[ "$tool" = rsync* ]] && [ "$REMOVABLE" = fat32 ] && [ "$rc" = 23 ] || return 1
  unknown=$(grep -E '^rsync' "$out" |
    grep -v -E 'failed to set permissions on .*: Function not implemented \(38\)$' |
    grep -v 'some files/attrs were not transferred' || true)
  [ -z "$unknown" ]
}

# Wall time from the shell's clock; peak RSS from GNU time around the same process. With
# THEN_SYNC=1 the time runs until a sync after the process is done: what is on the device.
THEN_SYNC=0
timed() {
  local key=$1 log=$LOGDIR/${1//|/.}.run$2 tool=${1##*|}
  shift 2
  sync
  local rc=0 t0=$EPOCHREALTIME
  /usr/bin/time -v -o "$log.time" "$@" >"$log.out" 2>&1 </dev/null || rc=$?
  [ "$THEN_SYNC" = 1 ] && sync
  local t1=$EPOCHREALTIME
  if [ "$rc" != 0 ] && known_failure "$tool" "$rc" "$log.out"; then
    NOTES[known-$tool]="$tool exited $rc in some runs for reasons known on this file system (see the notes)"
    rc=0
  fi
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log.time")
  record "$key" "$rc" "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}')" "$rss"
  [ "$rc" = 0 ] || say "  $key run exited $rc (see $log.out)"
  if [ "$tool" = checked ]; then
    PLANS[$key]="${PLANS[$key]:-} $(sed -n 's/.* plan \([0-9.]*\) ms.*/\1/p' "$log.out")"
    LOOKS[$key]="${LOOKS[$key]:-} $(sed -n 's/.* looks \([0-9.]*\) ms in \([0-9]*\) calls.*/\1|\2/p' "$log.out")"
    LINKS[$key]="${LINKS[$key]:-} $(sed -n 's/.* link checks \([0-9.]*\) ms in \([0-9]*\) calls.*/\1|\2/p' "$log.out")"
  fi
  LAST_OUT=$log.out
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

# A fresh ext4 image of the given size in KiB, mounted at $MNT.
fresh_image() {
  local name=$1 kib=$2 inodes=$3
  IMG=$WORK/$name.ext4
  rm -f "$IMG"
  truncate -s "${kib}K" "$IMG"
  # Inode tables and journal zeroed now, not by a kernel thread during the first runs.
  mkfs.ext4 -q -F -N "$inodes" -E lazy_itable_init=0,lazy_journal_init=0 "$IMG"
  mount -o loop "$IMG" "$MNT"
  NOTES[image]="ext4 (journal on) on $(findmnt -n -o SOURCE "$MNT") backed by a sparse file of $(du -h --apparent-size "$IMG" | cut -f1) on $(findmnt -n -o FSTYPE --target "$WORK")"
  set_paths
  mkdir -p "$P" "$PROFDIR"
}

drop_image() {
  [ "$REMOVABLE" = ext4 ] || removable_umount "$RIMG"
  umount "$MNT"
  [ "$KEEP" = 0 ] && rm -f "$IMG"
  IMG=""
}

# The base of the re-sync cases: tandro-sync's own first copy and records where that
# copy mirrors the local tree. Where only its mtimes are off (fusefat stamps a renamed
# file with the time of the rename), the local mtimes are put back and its records kept,
# so that every tool starts from a true mirror; otherwise a copy by cp, without records.
make_base() {
  local n=$1 state
  BASE=copy
  # The removable root holds the last run's copy: tandro-sync's, as it runs last.
  if [ -n "$TANDRO" ] && [ -z "${FAILED[$n|first|tandro]:-}" ]; then
    state=$(mirror_diff <(listing "$LOCAL") <(listing "$REMOTE"))
    if [ -z "$state" ]; then
      BASE=tandro
    elif ! grep -q -v '^mtime differs: ' <<<"$state"; then
      cp -R --attributes-only --preserve=timestamps "$LOCAL/." "$REMOTE/"
      state=$(mirror_diff <(listing "$LOCAL") <(listing "$REMOTE"))
      if [ -z "$state" ]; then
        BASE=tandro
        NOTES[base-$n]="tandro-sync's first copy carried the time of the copy instead of the local mtimes; the re-sync cases start from it with the local mtimes put back (cp --attributes-only --preserve=timestamps) and its records as they were"
      fi
    fi
  fi
  if [ "$BASE" = copy ]; then
    [ -n "$TANDRO" ] && NOTES[base-$n]="tandro-sync's first copy failed or differed, so it is not timed in the re-sync cases"
    fresh_first
    tool_argv first cp
    "${ARGV[@]}" >"$LOGDIR/base-$n.out" 2>&1
    rm -f "$PROFDIR/bench.ini"
  fi
  listing "$REMOTE" >"$P/remote0.lst"
  if [ "$REMOVABLE" = ext4 ]; then
    mv "$REMOTE" "$P/remote0"
  else
    removable_umount "$RIMG"
    mv "$RIMG" "$P/remote0.img"
  fi
  if [ -f "$PROFDIR/bench.ini" ]; then cp "$PROFDIR/bench.ini" "$P/profile0.ini"; else rm -f "$P/profile0.ini"; fi
}

# One timed first copy of local0 onto an empty drive side, then sync; checks what arrived.
#   first_copy <case> <tool> <run>
first_copy() {
  fresh_first
  tool_argv first "$2"
  THEN_SYNC=1 timed "$1|first|$2" "$3" "${ARGV[@]}"
  check_mirror "$1|first|$2" "$3"
  check_pristine "$1|first|$2" local0
}

# The tools of run $1 in order, except that guard_cost with the guards and without them take
# turns at going first: a run pays for some of the writing-out of the run before it.
in_turns() {
  local r=$1 tool
  shift
  for tool in "$@"; do
    case $((r % 2))$tool in
      0checked) echo unchecked ;;
      0unchecked) echo checked ;;
      *) echo "$tool" ;;
    esac
  done
}

bench_size() {
  local n=$1 per_file_kib r tool fat_mib=0 pristine_remote=(remote0)
  # Room for about four trees of data (pristine local, pristine removable, working
  # copy, change set) plus slack; the image file is sparse. A FAT32 or exFAT image
  # (32 KiB clusters for exFAT) takes a pristine and a working copy on top.
  per_file_kib=$(( SMALL ? 16 : 48 ))
  if [ "$REMOVABLE" != ext4 ]; then
    fat_mib=$(( n * (SMALL ? 40 : 64) / 1024 + 64 ))
    pristine_remote=()
  fi
  fresh_image "tree-$n" "$(( n * per_file_kib + 1024 * 1024 + 3 * fat_mib * 1024 ))" \
    $(( 4 * n + n / 5 + 10000 ))
  [ "$REMOVABLE" = ext4 ] || empty_removable "$fat_mib"

  say "$n files: making the tree"
  local small=()
  [ "$SMALL" = 1 ] && small=(--small)
  "$MAKE_TREE" create "$P/local0" "$n" --seed "$SEED" "${small[@]}" >"$LOGDIR/tree-$n.txt"
  NOTES[tree-$n]=$(cat "$LOGDIR/tree-$n.txt")
  listing "$P/local0" >"$P/local0.lst"

  # First copy. tandro-sync goes last so that its result becomes the synced pair
  # (with its records) that the re-sync cases start from.
  local tools=(cp rsync unison)
  [ -n "$TANDRO" ] && tools+=(tandro)
  for r in $(seq "$RUNS"); do
    for tool in "${tools[@]}"; do
      say "$n files: first copy, $tool, run $r"
      first_copy "$n" "$tool" "$r"
    done
  done
  make_base "$n"

  # The records hold the time of the first copy; changes must be over two seconds later.
  sleep 3
  cp -al "$P/local0" "$P/local1"
  "$MAKE_TREE" change "$P/local1" --seed "$SEED" >"$LOGDIR/change-$n.txt"
  NOTES[change-$n]=$(cat "$LOGDIR/change-$n.txt")
  listing "$P/local1" >"$P/local1.lst"

  # unison needs its archive from a completed sync of the same pair before a re-sync
  # means the same work as for the others.
  say "$n files: building unison's archive"
  mkdir -p "$P/unison0"
  fresh_resync local0
  rm -rf "$UNISON" && mkdir -p "$UNISON"
  tool_argv none unison
  "${ARGV[@]}" >"$LOGDIR/unison-archive-$n.out" 2>&1 </dev/null ||
    { say "unison could not build its archive (see $LOGDIR)"; exit 1; }
  rm -rf "$P/unison0" && cp -a "$UNISON" "$P/unison0"

  tools=(rsync unison)
  [ "$BASE" = tandro ] && tools+=(tandro)
  # The same run with the looks before acting, the link checks and the root checks answered
  # from what the run saw already; in turns with the others, so that drift weighs on both.
  [ "$BASE" = tandro ] && [ -n "$GUARDS" ] && tools+=(checked unchecked)
  # rsync without --delete never reads the removable tree's folders; a two-way sync must.
  local none_tools=("${tools[@]}")
  [ "$REMOVABLE" = ext4 ] || none_tools+=(rsync-delete)
  for r in $(seq "$RUNS"); do
    for tool in $(in_turns "$r" "${none_tools[@]}") floor; do
      say "$n files: no-change re-sync, $tool, run $r"
      fresh_resync local0
      # Each floor from a fresh mount: FUSE keeps what one scan looked up for a second.
      if [ "$tool" = floor ]; then
        timed_floor "$n|none|find-seq" seq
        fresh_resync local0
        timed_floor "$n|none|find-par" par
        continue
      fi
      tool_argv none "$tool"
      timed "$n|none|$tool" "$r" "${ARGV[@]}"
      check_mirror "$n|none|$tool" "$r"
      check_pristine "$n|none|$tool" local0 "${pristine_remote[@]}"
      # A re-sync with nothing changed that still copies is no such re-sync.
      if [ "$tool" = tandro ] && [ "$(wc -l <"$LAST_OUT")" -gt 1 ]; then
        NOTES[busy-$n]="tandro-sync's no-change re-sync of $n files wrote more than its completion line (see $LAST_OUT)"
      fi
    done
  done

  for r in $(seq "$RUNS"); do
    for tool in $(in_turns "$r" "${tools[@]}"); do
      say "$n files: re-sync after the change set, $tool, run $r"
      fresh_resync local1
      tool_argv change "$tool"
      timed "$n|change|$tool" "$r" "${ARGV[@]}"
      check_mirror "$n|change|$tool" "$r"
      check_pristine "$n|change|$tool" local1 "${pristine_remote[@]}"
    done
  done
  drop_image
}

# One large file of random bytes (a sparse or repetitive one would flatter a copier),
# copied into an empty removable root by cp -a, tandro-sync and the window.
bench_big() {
  local bytes r tool gap
  bytes=$(numfmt --from=iec "$BIG")
  fresh_image big "$(( 2 * bytes / 1024 + 1024 * 1024 ))" 100000
  say "large file: writing $(bytes_text "$bytes") of random bytes"
  mkdir -p "$P/local0"
  head -c "$bytes" /dev/urandom >"$P/local0/big.bin"
  touch -d @1577836800 "$P/local0/big.bin" "$P/local0"
  listing "$P/local0" >"$P/local0.lst"
  # The first large write to a fresh file system pays for loading its allocation
  # metadata; an untimed copy takes that away from whichever tool would run first.
  cp "$P/local0/big.bin" "$P/warm-up.bin" && sync && rm "$P/warm-up.bin" && sync
  [ "$REMOVABLE" = ext4 ] || empty_removable $(( bytes / 1048576 + 1024 ))
  local tools=(cp)
  [ -n "$TANDRO" ] && tools+=(tandro)
  [ -n "$TANDRO" ] && [ -n "$GUI" ] && tools+=(gui)
  [ -n "$GUI" ] || NOTES[gui]="no gui_run found (a GUI build's bench/gui_run, or --gui): the window was not timed"
  local shift_by order
  for r in $(seq "$RUNS"); do
    # Each run starts with another tool: the host writes the image back on its own
    # schedule, and the tool after another's 4 GiB copy and sync meets that writing.
    shift_by=$(( (r - 1) % ${#tools[@]} ))
    order=("${tools[@]:shift_by}" "${tools[@]:0:shift_by}")
    for tool in "${order[@]}"; do
      say "large file: first copy, $tool, run $r"
      first_copy big "$tool" "$r"
      if [ "$tool" = gui ]; then
        gap=$(sed -n 's/^longest gap between paints: \([0-9]*\) ms.*/\1/p' "$LAST_OUT")
        GAPS[big]="${GAPS[big]:-} ${gap:-?}"
      fi
    done
  done
  NOTES[big]="one file of $(bytes_text "$bytes") of random bytes"
  drop_image
}

# --- tables --------------------------------------------------------------------------
median() {
  tr ' ' '\n' | sed '/^$/d' | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) exit; if (NR % 2) print v[(NR + 1) / 2];
                           else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

thousands() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }

bytes_text() { numfmt --to=iec-i --suffix=B --format=%.1f "$1" | sed 's/\.0\([A-Za-z]\)/\1/; s/\([0-9]\)\([KMGT]\)/\1 \2/'; }

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

# What the guards and the plan cost in one case, from guard_cost's runs with the guards and
# without them; the plan as a share of tandro-sync's own time.
guard_cost() {
  local key=$1 with without plan
  with=$(cell_value "$key|checked" time)
  without=$(cell_value "$key|unchecked" time)
  plan=$(median <<<"${PLANS[$key|checked]:-}")
  if [ -z "$with" ] || [ -z "$without" ] || [ -z "$plan" ]; then echo "—"; return; fi
  awk -v a="$with" -v b="$without" -v p="$plan" -v t="$(cell_value "$key|tandro" time)" \
    'BEGIN {printf "guards %.3f s with, %.3f s without (%.1f%%), plan %.1f ms (%.1f%% of tandro-sync)",
            a, b, 100 * (a - b) / a, p, (t > 0 ? p / 10 / t : 0)}'
  local tandro
  tandro=$(cell_value "$key|tandro" time)
  printf '; timed inside the runs with them, %s, and %s' \
    "$(calls_timed "${LOOKS[$key|checked]:-}" "$tandro" "the looks and root checks")" \
    "$(calls_timed "${LINKS[$key|checked]:-}" "$tandro" "the link checks")"
}

# The median time of one kind of guard call in the runs ("ms|calls" each), and its share
# of tandro-sync's median time $2.
calls_timed() {
  local ms calls
  ms=$(tr ' ' '\n' <<<"$1" | cut -d'|' -f1 | median)
  calls=$(tr ' ' '\n' <<<"$1" | cut -d'|' -f2 | median)
  if [ -z "$ms" ]; then echo "$3: —"; return; fi
  awk -v m="$ms" -v c="$calls" -v t="$2" -v what="$3" \
    'BEGIN {printf "%s took %.1f ms in %d calls (%.1f%% of tandro-sync)", what, m, c,
            (t > 0 ? m / 10 / t : 0)}'
}

ratio() {
  if [ -z "$1" ] || [ -z "$2" ]; then echo "—"; return; fi
  awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f×", a / b; else print "—"}'
}

table() {
  local n case kind label c t seq par
  echo "| Case | Files | tandro-sync | cp -a | rsync | unison | find, trees in turn | find, both at once | ÷ cp -a | ÷ rsync | ÷ unison | ÷ find in turn | ÷ find both at once |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  for n in "${FILES[@]}"; do
    for case in first none change rss-first rss-none; do
      kind=time c=$case
      case $case in
        first) label="First copy into an empty root, then sync" ;;
        none) label="Re-sync, nothing changed" ;;
        change) label="Re-sync after the change set" ;;
        rss-first) label="Peak RSS, first copy" kind=rss c=first ;;
        rss-none) label="Peak RSS, re-sync with nothing changed" kind=rss c=none ;;
      esac
      t=$(cell_value "$n|$c|tandro" "$kind")
      seq="—" par="—"
      if [ "$case" = none ]; then
        seq=$(cell "$n|none|find-seq" time)
        par=$(cell "$n|none|find-par" time)
      fi
      printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' \
        "$label" "$(thousands "$n")" "$(cell "$n|$c|tandro" "$kind")" \
        "$(cell "$n|$c|cp" "$kind")" "$(cell "$n|$c|rsync" "$kind")" \
        "$(cell "$n|$c|unison" "$kind")" "$seq" "$par" \
        "$(ratio "$t" "$(cell_value "$n|$c|cp" "$kind")")" \
        "$(ratio "$t" "$(cell_value "$n|$c|rsync" "$kind")")" \
        "$(ratio "$t" "$(cell_value "$n|$c|unison" "$kind")")" \
        "$( [ "$case" = none ] && ratio "$t" "$(cell_value "$n|none|find-seq" time)" || echo "—")" \
        "$( [ "$case" = none ] && ratio "$t" "$(cell_value "$n|none|find-par" time)" || echo "—")"
    done
  done
}

big_table() {
  local t w c gap
  t=$(cell_value "big|first|tandro" time)
  w=$(cell_value "big|first|gui" time)
  c=$(cell_value "big|first|cp" time)
  gap=$(tr ' ' '\n' <<<"${GAPS[big]:-}" | sed '/^$/d' | sort -g | tail -1)
  echo "| Case | Size | tandro-sync | window (gui_run) | cp -a | tandro-sync ÷ cp -a | window ÷ cp -a | window's longest gap between paints |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|"
  printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' \
    "First copy of one file, then sync" "$(bytes_text "$(numfmt --from=iec "$BIG")")" \
    "$(cell "big|first|tandro" time)" "$(cell "big|first|gui" time)" \
    "$(cell "big|first|cp" time)" "$(ratio "$t" "$c")" "$(ratio "$w" "$c")" \
    "$( [ -n "$gap" ] && echo "$gap ms" || echo "—")"
  printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' \
    "Peak RSS, same copy" "" "$(cell "big|first|tandro" rss)" "$(cell "big|first|gui" rss)" \
    "$(cell "big|first|cp" rss)" "—" "—" "—"
}

version_of() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo "?"; }

header() {
  local ram cpu
  cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
  ram=$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
  echo "Measured $(date '+%Y-%m-%d') on $(nproc) CPUs ($cpu), $ram RAM, Linux $(uname -r);"
  echo "tandro-sync ${TANDRO_ABOUT:-(not timed)}."
  echo "Tools: $(rsync --version | head -1 | awk '{print "rsync " $3}'), $(unison -version 2>&1 | head -1),"
  echo "$(cp --version | head -1), fusefat $(version_of fusefat), exfat-fuse $(version_of exfat-fuse),"
  echo "dosfstools $(version_of dosfstools), exfatprogs $(version_of exfatprogs), e2fsprogs $(version_of e2fsprogs)."
  echo
  echo "- Ratios are tandro-sync's median divided by the peer's (below 1 = tandro-sync faster or smaller). Peak RSS is GNU time's largest single process (rsync runs as several)."
  echo "- Every first copy is timed with a sync after it. Re-sync cases start from tandro-sync's own first copy and records; unison from an archive built by a completed sync of the same pair."
}

report() {
  local n
  [ "$HEADER" = 1 ] && { header; echo; }
  if [ ${#FILES[@]} -gt 0 ]; then
    echo "Trees: the local root on ext4, the removable root on $(fs_name)$( [ "$SMALL" = 1 ] && echo ", files of 0-1 KiB")."
    echo "${NOTES[image]:-}. ${NOTES[removable]:+${NOTES[removable]^}. }Medians of $RUNS run$( [ "$RUNS" = 1 ] || echo s), warm caches; seed $SEED."
    echo "Load average at start $LOAD_START, at end $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine shows here)."
    echo
    table
    echo
    for n in "${FILES[@]}"; do
      echo "- $(thousands "$n") files: tree ${NOTES[tree-$n]:-}; change set: ${NOTES[change-$n]:-}."
      [ -n "${NOTES[base-$n]:-}" ] && echo "- ${NOTES[base-$n]}."
      [ -n "${NOTES[busy-$n]:-}" ] && echo "- Warning: ${NOTES[busy-$n]}."
      [ -n "${TIMES[$n|change|checked]:-}" ] &&
        echo "- $(thousands "$n") files, what the guards (the looks before acting, the link checks, the root checks) and the plan cost, by bench/guard_cost: the same run, with the guards answered from what it saw already when they are off, and the plan timed from the end of the listing to the first action. Nothing changed: $(guard_cost "$n|none"). Change set: $(guard_cost "$n|change")."
    done
    case $REMOVABLE in
      fat32) echo "- On FAT32: cp -R --preserve=timestamps and rsync -rlt --modify-window=1, as fusefat refuses chmod and chown (ENOSYS), so cp -a exits 1 and rsync -a cannot make its temporary files; unison -fat. Times are compared within FAT's 2-second step." ;;
      exfat) echo "- On exFAT: cp -a, rsync -a --modify-window=1 and unison -fat; exfat-fuse shows every file as mode 777 and ignores chmod and chown." ;;
    esac
    if [ "$REMOVABLE" != ext4 ]; then
      for n in "${FILES[@]}"; do
        echo "- $(thousands "$n") files, nothing changed: rsync without --delete never reads the removable tree's folders, which a two-way sync must; with --delete it took $(cell "$n|none|rsync-delete" time) (tandro-sync ÷ it: $(ratio "$(cell_value "$n|none|tandro" time)" "$(cell_value "$n|none|rsync-delete" time)"))."
      done
    fi
    [ -n "${NOTES[known-rsync]:-}" ] && echo "- rsync exited 23 where it could not set permission bits (ENOSYS on fusefat) and reported nothing else; its result passed or failed the mirror check on its own."
  fi
  if [ -n "$BIG" ]; then
    [ ${#FILES[@]} -gt 0 ] && echo
    echo "One large file on ext4$( [ "$REMOVABLE" = ext4 ] || echo ", copied to $(fs_name)"): ${NOTES[big]:-}; ${NOTES[image]:-}. Medians of $RUNS run$( [ "$RUNS" = 1 ] || echo s), warm caches."
    [ ${#FILES[@]} -gt 0 ] || echo "Load average at start $LOAD_START, at end $(cut -d' ' -f1-3 /proc/loadavg)."
    echo
    big_table
    echo
    echo "- The window is bench/gui/gui_run (offscreen), its wall time taken from outside like the others; the longest gap between paints is the largest of all runs."
    [ -n "${NOTES[gui]:-}" ] && echo "- ${NOTES[gui]}."
  fi
  [ -n "${NOTES[pristine]:-}" ] && echo "- Warning: ${NOTES[pristine]}."
  [ ${#DIFFERS[@]} -gt 0 ] && echo "- † the removable tree did not match the local tree afterwards (names, sizes, mtimes); see the .diff files in $LOGDIR."
  return 0
}

if [ "$HEADER_ONLY" = 1 ]; then
  header | tee "$LOGDIR/results.md"
else
  for n in "${FILES[@]}"; do
    bench_size "$n"
  done
  [ -n "$BIG" ] && bench_big
  report | tee "$LOGDIR/results.md"
fi
[ -n "$OUTPUT" ] && cp "$LOGDIR/results.md" "$OUTPUT"
exit 0
