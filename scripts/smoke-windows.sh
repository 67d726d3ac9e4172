#!/usr/bin/env bash
# Smoke run of tandro-sync.exe under Wine on real trees with Japanese names and a Shift_JIS
# profile (code page 932): a first copy, a quiet second run, one change each way, and a
# conflict answered from stdin. scripts/test-windows.sh runs it inside its Wine prefix.
#   scripts/smoke-windows.sh WINE64 TANDRO-SYNC.EXE
set -euo pipefail
wine=$1
exe=$2
export TZ=JST-9

work=$(mktemp -d "${TMPDIR:-/tmp}/tandro-smoke-XXXXXX")
trap 'rm -rf "$work"' EXIT
local_root="$work/ローカル"
removable_root="$work/リムーバブル"
profiles="$work/プロファイル"
mkdir -p "$local_root/資料" "$removable_root" "$profiles"

fail() {
  echo "smoke-windows: $*" >&2
  echo "--- stdout" >&2 && cat "$work/out.txt" >&2
  echo "--- stderr" >&2 && cat "$work/err.txt" >&2
  exit 1
}

# The Windows form of a Unix path: Wine shows the Unix root as drive Z:.
windows_path() {
  local path="Z:$1"
  echo "${path//\//\\}"
}

put() { # put FILE CONTENT LOCAL-TIME
  printf '%s' "$2" >"$1"
  touch -d "$3" "$1"
}

# sync EXPECTED-STATUS [ANSWERS]: one run of the profile 仕事, answers on stdin.
sync() {
  local status=0
  printf '%s' "${2:-}" >"$work/in.txt"
  "$wine" "$exe" --profile-dir "$(windows_path "$profiles")" 仕事 \
    <"$work/in.txt" >"$work/out.txt" 2>"$work/err.txt" || status=$?
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

expect_out() {
  grep -qF -- "$1" "$work/out.txt" || fail "no line '$1'"
}

expect_content() {
  [ "$(cat "$1")" = "$2" ] || fail "$1 holds '$(cat "$1")', expected '$2'"
}

profile_text() {
  iconv -f CP932 -t UTF-8 "$profiles/仕事.ini"
}

# Puts every sync record back to an hour before the edits below, as if they came later.
rewind_records() {
  profile_text | sed -E 's#=[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9:]+\r$#=2008/02/19 15:00:59\r#' |
    iconv -f UTF-8 -t CP932 >"$work/rewound.ini"
  mv "$work/rewound.ini" "$profiles/仕事.ini"
}

before='2008-02-19 14:00:00'
after='2008-02-19 16:00:00'
put "$local_root/資料/報告書.txt" "報告 1" "$before"
put "$local_root/メモ.txt" "メモ 1" "$before"
printf '[Path]\r\nLocal=%s\\\r\nRemove=%s\\\r\n' "$(windows_path "$local_root")" \
  "$(windows_path "$removable_root")" | iconv -f UTF-8 -t CP932 >"$profiles/仕事.ini"

sync 0
expect_out '資料\報告書.txt  リムーバブルへコピー'
expect_out 'メモ.txt  リムーバブルへコピー'
expect_content "$removable_root/資料/報告書.txt" "報告 1"
expect_content "$removable_root/メモ.txt" "メモ 1"
profile_text | grep -q '^資料\\報告書.txt=' || fail "no record in the Shift_JIS profile"

sync 0
[ "$(grep -c . "$work/out.txt")" -eq 1 ] || fail "the second run did something"
expect_out '  同期完了!! '

rewind_records
put "$local_root/メモ.txt" "メモ 2" "$after"
put "$removable_root/資料/報告書.txt" "報告 2" "$after"
sync 0
expect_out 'メモ.txt  リムーバブルへ更新'
expect_out '資料\報告書.txt  ローカルへ更新'
expect_content "$removable_root/メモ.txt" "メモ 2"
expect_content "$local_root/資料/報告書.txt" "報告 2"

rewind_records
touch -d "$before" "$local_root/資料/報告書.txt" "$removable_root/資料/報告書.txt"
put "$local_root/メモ.txt" "メモ ローカル" "$after"
put "$removable_root/メモ.txt" "メモ リムーバブル" "$after"
sync 0 $'n\n'
grep -qF '両方更新されているファイルです。' "$work/err.txt" || fail "no conflict question"
expect_out 'メモ.txt  ローカルへ更新'
expect_content "$local_root/メモ.txt" "メモ リムーバブル"

leftovers=$(find "$work" -name '.tandro-*')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
echo "smoke-windows: first copy, quiet run, changes each way and a conflict all passed"
