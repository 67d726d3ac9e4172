#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get, uses the installed programs as a user
# would (profiles in the user's configuration folder), and removes the package again.
#   scripts/test-package.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/package}

scripts/install-deps.sh dpkg-dev desktop-file-utils appstream
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDRO_BUILD_TESTS=OFF
cmake --build "$build"
(cd "$build" && cpack)
deb=$(realpath "$build"/tandro_*_*.deb)

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get install -y -q "$deb"
trap '"${sudo[@]}" apt-get remove -y -q tandro' EXIT

# Listings are read whole before grep: with pipefail, grep -q leaving early would fail the
# writer with a broken pipe.
version=$(tandro-sync --version)
grep -q '1\.01\.0001' <<<"$version"
desktop-file-validate /usr/share/applications/com.velmoro.Tandro.desktop
appstreamcli validate --no-net /usr/share/metainfo/com.velmoro.Tandro.metainfo.xml
[ -f /usr/share/icons/hicolor/256x256/apps/tandro.png ]
# Minimal systems leave man pages out when installing; the package must carry them.
contents=$(dpkg-deb -c "$deb")
grep -q 'usr/share/man/man1/tandro-sync\.1' <<<"$contents"

# A user who cannot write beside the installed programs (root could: another user stands in).
user=()
if [ "$(id -u)" -eq 0 ]; then
  id tandro-ci >/dev/null 2>&1 || useradd --create-home tandro-ci
  user=(runuser -u tandro-ci --)
fi
home=$("${user[@]}" sh -c 'echo "$HOME"')
work=$("${user[@]}" mktemp -d "$home/tandro-package-XXXXXX")
"${user[@]}" sh -c "mkdir -p '$work/local/docs' '$work/drive' ~/.config/Velmoro/Tandro &&
  echo hello > '$work/local/docs/a.txt' &&
  printf '[Path]\r\nLocal=%s/\r\nRemove=%s/\r\n' '$work/local' '$work/drive' \
    > ~/.config/Velmoro/Tandro/package-test.ini"
"${user[@]}" tandro-sync package-test
cmp "$work/local/docs/a.txt" "$work/drive/docs/a.txt"
grep -q '^docs\\a.txt=' "$home/.config/Velmoro/Tandro/package-test.ini"

# The installed window shows under Xvfb.
"${user[@]}" xvfb-run -a sh -c '
  tandro & pid=$!
  for _ in $(seq 100); do
    xwininfo -root -tree | grep -q "\"Tandro\"" && { kill $pid; exit 0; }
    sleep 0.2
  done
  kill $pid; echo "the installed tandro showed no window" >&2; exit 1'
rm -rf "$work"
echo "package: built, installed, used and removed"
