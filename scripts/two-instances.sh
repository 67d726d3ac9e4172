#!/usr/bin/env bash
# Starts two copies of the real program on a virtual X display with a window manager, as a
# person would: the first copy's window is minimised, the second copy says that the program
# runs already, Return closes its box, and the second copy must end while the first copy's
# window comes back restored and active. Then the first copy is killed, and a third copy must
# start normally over the socket file it left behind.
#   scripts/two-instances.sh <tandro executable>
# Exits 77 (skipped) when xvfb-run, xdotool, the X tools or the window manager openbox are
# missing.
# TANDRO_SCREENSHOTS=<folder> keeps a screenshot of each step.
set -euo pipefail

program=$(realpath "${1:?usage: $0 <tandro executable>}")
patience=60  # seconds; only a guard against a hang, every wait ends when its condition holds

skip() {
  echo "SKIP: $*"
  exit 77
}

if [ -z "${TANDRO_ON_XVFB:-}" ]; then
  for tool in xvfb-run xauth xdotool xprop xwininfo openbox; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  TANDRO_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

# The copies meet in a runtime folder of their own and keep their settings to themselves.
scratch=$(mktemp -d)
mkdir -m 700 "$scratch/runtime"
export TMPDIR=$scratch XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config
unset QT_QPA_PLATFORM
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Also from inside $(...), where only the message gets out.
fail() {
  echo "FAIL: $*" >&2
  tail -n +1 "$scratch"/*.log >&2
  screenshot failure
  exit 1
}

step=0
screenshot() {
  [ -n "${TANDRO_SCREENSHOTS:-}" ] || return 0
  step=$((step + 1))
  mkdir -p "$TANDRO_SCREENSHOTS"
  import -window root "$TANDRO_SCREENSHOTS/$step-$1.png"
}

# Waits until the command succeeds.
wait_until() {
  local deadline=$((SECONDS + patience))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# The visible window of process $1 whose type is $2 (NORMAL for a main window, DIALOG).
window_of() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q "_NET_WM_WINDOW_TYPE_$2" &&
      echo "$window" && return 0
  done
  return 1
}

await_window() {
  wait_until window_of "$1" "$2" || fail "process $1 shows no $2 window"
  window_of "$1" "$2"
}

is_iconic() { xprop -id "$1" WM_STATE | grep -q 'window state: Iconic'; }
is_restored() {
  xprop -id "$1" WM_STATE | grep -q 'window state: Normal' &&
    xwininfo -id "$1" | grep -q 'IsViewable' &&
    ! xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN
}
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
has_ended() { ! kill -0 "$1" 2>/dev/null; }

# Starts a copy of the program; its process id is left in $copy.
start_copy() {
  "$program" >"$scratch/copy-$1.log" 2>&1 &
  copy=$!
  pids+=("$copy")
}

# A window mapped while the window manager still starts may never be managed.
openbox --startup "touch $scratch/wm-ready" >"$scratch/wm.log" 2>&1 &
pids+=($!)
wait_until test -e "$scratch/wm-ready" || fail "the window manager did not start"

start_copy first
first=$copy
first_window=$(await_window "$first" NORMAL)
[ -S "$XDG_RUNTIME_DIR/Tandro" ] || fail "the first copy serves no socket in the runtime folder"
xdotool windowminimize "$first_window"
wait_until is_iconic "$first_window" || fail "the first window was not minimised"
screenshot first-minimised

start_copy second
second=$copy
box=$(await_window "$second" DIALOG)
[ "$(xdotool getwindowname "$box")" = Tandro ] || fail "the second copy's box is not titled Tandro"
screenshot second-says-so
xdotool windowactivate --sync "$box" key Return

wait_until has_ended "$second" || fail "the second copy did not end"
wait "$second" || fail "the second copy ended with status $?"
wait_until is_restored "$first_window" || fail "the first window was not restored"
wait_until is_active "$first_window" || fail "the first window is not active"
screenshot first-restored
echo "PASS: the second copy ended; the first window is restored and active"

kill -KILL "$first"
wait "$first" 2>/dev/null || true
start_copy third
third=$copy
await_window "$third" NORMAL >/dev/null
has_ended "$third" && fail "the third copy ended"
screenshot third-started
echo "PASS: a copy starts over the socket file of a killed one"
