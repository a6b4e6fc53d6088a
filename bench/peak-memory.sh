#!/bin/sh
# Peak resident memory of `kivmrk SEGMENT` on the benchmark's synthetic segments (the largest
# generic, EXIF and Photoshop segments, and the 200-entry EXIF segment), above the command's
# start-up size (`kivmrk --version`), from GNU time; then the same, with the input's size and
# the page's, for the hostile inputs of many megabytes that tests/regression/make-inputs.py
# writes (whole files of gathered pieces and of Photoshop blocks): each should stay within
# its input's size plus a fixed amount.
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

here=$(dirname "$0")
if command -v python3 >/dev/null 2>&1; then
  python3 "$here/../tests/regression/make-inputs.py" --large "$work"
  for input in "$work"/*.jpg "$work"/photoshop-*.MRK; do
    kib=$(peak "$build/kivmrk" "$input" -o "$work/page.html")
    size=$(($(wc -c <"$input") / 1024))
    echo "$(basename "$input"): $size KiB input, $kib KiB peak, $((kib - base - size)) KiB above" \
      "start-up and input, page $(($(wc -c <"$work/page.html") / 1024)) KiB"
  done
fi
