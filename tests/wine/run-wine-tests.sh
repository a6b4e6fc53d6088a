#!/bin/sh
# Runs the Windows plug-in's tests (and the core's Windows services' test) under Wine on a virtual X display: the 64-bit test host with
# kivMrkWLX.wlx64 and the 32-bit one with kivMrkWLX.wlx, in a Wine prefix made for this run and
# removed afterwards. Needs what tools/build-windows.sh leaves in build/windows/.
set -eu
cd "$(dirname "$0")/../.."

prefix=$(mktemp -d "${TMPDIR:-/tmp}/kivwine.XXXXXX")
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all
# Unix file names in UTF-8, so that Wine can store any name of the ANSI code page.
export LC_ALL=C.UTF-8
# Neither the .NET runtime nor the HTML engine: their installers would wait for a person. So the
# browser control never becomes ready here, which the viewer has to live with.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A viewer that hangs in its wait for the control fails the run through the time-out (the times
# each check took are printed, not asserted).
# The prefix is made first, and everything that start-up leaves running has ended before the
# tests begin, so that it does not slow them down.
# Some kernels run no 32-bit programs (no IA-32 emulation): there the 64-bit loader runs the
# 64-bit host, and the 32-bit plug-in cannot be tested on this machine, which is said.
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
if "$wine32" --version >/dev/null 2>&1; then
  run32=1
  export WINELOADER="$wine32"
  loader=$wine32
else
  run32=0
  echo "run-wine-tests: this machine runs no 32-bit programs; only the 64-bit plug-in is tested" >&2
  export WINELOADER="$wine64"
  loader=$wine64
fi
export run32 loader wine32

xvfb-run -a sh -c '
  "$loader" wineboot.exe -i >/dev/null 2>&1
  wineserver -w
  rc=0
  timeout 120 "$WINELOADER" build/windows/x86_64/tests/wine/kivWineCoreTest.exe || rc=1
  timeout 600 "$WINELOADER" build/windows/x86_64/tests/wine/kivWineHostTest.exe build/windows/kivMrkWLX.wlx64 samples || rc=1
  if [ "$run32" = 1 ]; then
    timeout 120 "$wine32" build/windows/i686/tests/wine/kivWineCoreTest.exe || rc=1
    timeout 600 "$wine32" build/windows/i686/tests/wine/kivWineHostTest.exe build/windows/kivMrkWLX.wlx samples || rc=1
  fi
  wineserver -w
  exit $rc'
