#!/bin/sh
# Peak resident memory of `kivmrk SEGMENT` on the benchmark's synthetic segments (the largest
# generic, EXIF and Photoshop segments, and the 200-entry EXIF segment), above the command's
# start-up size (`kivmrk --version`), from GNU time.
#
#   sh bench/peak-memory.sh [BUILD_DIR]      BUILD_DIR defaults to build/release
set -eu
build=${1:-build/release}
if [ ! -x /usr/bin/time ]; then
  echo "peak-memory.sh needs GNU time (/usr/bin/time, Debian package time)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/kivmrk_bench" --write-segments "$work"

# The peak in KiB of the command given.
peak() {
  /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1
  tail -n 1 "$work/peak"
}

base=$(peak "$build/kivmrk" --version)
echo "start-up: $base KiB"
for segment in "$work"/*.MRK; do
  kib=$(peak "$build/kivmrk" "$segment")
  echo "$(basename "$segment" .MRK): $kib KiB, $((kib - base)) KiB above start-up"
done
