#!/usr/bin/env bash
# Makes the Wine prefix the tests run in, once per build directory: a fresh
# prefix with Wine's null display driver, so that windows and message loops
# work without a display. Safe to call from tests running in parallel.
set -euo pipefail
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tamberlyx-ready" ] && exit 0

rm -rf "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
# No downloads of the .NET and HTML runtimes: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w
touch "$prefix/.tamberlyx-ready"
echo "Wine prefix ready: $prefix"
