#!/usr/bin/env bash
# Regenerates docs/screenshots/: both pages of the sheet for every pad kind
# the simulated converter plays, the Test page for every "Type:" entry, and
# the Force page with each button held.
#
#   tools/cphost/make-screenshots.sh [BUILD_ARCH_DIR] [OUT_DIR]
#
# BUILD_ARCH_DIR defaults to build/i686 (built first: targets tavrelusbcp,
# fakedinput, cphost, tavrelsim); OUT_DIR to docs/screenshots.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
b=${1:-$here/build/i686}
out=${2:-$here/docs/screenshots}
b=$(cd "$b" && pwd) || exit 1
mkdir -p "$out"
out=$(cd "$out" && pwd)

cmake --build "$b" -j2 --target tavrelusbcp fakedinput cphost tavrelsim || exit 1

run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
cp "$b/controlpanel/tavrelusbcp.dll" "$run/"
cp "$(find "$b/tests/doubles" -name dinput.dll | head -1)" "$run/dinput.dll"
for t in cphost tavrelsim; do cp "$(find "$b/tools" -name "$t.exe" | head -1)" "$run/"; done

export WINEPREFIX=${WINEPREFIX:-$(dirname "$b")/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="dinput=n,b;mscoree,mshtml="
export TAVREL_OWN_DISPLAY=1
. "$here/scripts/wine-env"
wine_start || exit 1
trap 'wine_stop; rm -rf "$run"' EXIT
cd "$run"
# Xvfb has no window manager: let Wine draw the frames itself, so that the
# shots show the sheet's caption and icon (a setting of this prefix only).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
winout=$(winepath -w "$out")

# Identification bytes of the pads the simulator knows.
declare -A ident=([twostick]=70 [digital]=40 [dial]=E0 [twist]=20 [fishing]=80 [wheel]=10 [dance]=30
                  [hori]=50 [none]=FF)

# shot KIND PREFIX [cphost options...]: one sheet run against a pad of KIND
# that holds buttons 1, 3, 10 and 13 and pushes axis 1 low and axis 3 high,
# so the shots show lit buttons and arrows and off-centre thumbs.
shot() {
  local kind=$1 prefix=$2
  shift 2
  local pipe="tavrel-shots-$$-$prefix"
  printf '0 00 05 12 20 80 D0 60 %s\n' "${ident[$kind]}" >"$run/$prefix.txt"
  export TAVREL_FAKEDI_JOYSTICKS="0=\\\\.\\pipe\\$pipe"
  wine tavrelsim.exe --pipe "$pipe" --kind "$kind" --script "$prefix.txt" --seconds 30 --quiet >/dev/null &
  local sim=$!
  sleep 1
  wine cphost.exe --dll tavrelusbcp.dll --id 0 --screenshot "$winout" --after 1500 --prefix "$prefix-" "$@" \
    || echo "make-screenshots: $prefix failed" >&2
  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
}

for kind in twostick digital dial twist fishing wheel dance hori none; do
  shot "$kind" "$kind"
done
for sel in 1:hori 2:dance 3:cockpit 4:fishing; do
  shot twostick "type-${sel#*:}" --page test --select "${sel%%:*}"
done
shot twostick hold-shock --page force --hold shock
shot twostick hold-rumble --page force --hold rumble
ls -1 "$out"
