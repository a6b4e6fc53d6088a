#!/bin/sh
# Bounded fuzz runs: BUILD_DIR SECONDS, for each target. The report pipeline's seeds are the
# samples, the seed files here and, when present, the segment files of the shared corpus; the
# whole-file reading's are the seed files and the smaller JPEG files of the corpus (cut to
# 16 KiB: the pieces cost their reports, and damaged files are what the walk is there for).
set -eu
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/../../shared/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/whole" "$work/thumbs"
cp "$here"/../samples/* "$work/corpus/"
[ -d "$here/seeds" ] && cp "$here"/seeds/* "$work/corpus/" 2>/dev/null || true
[ -d "$here/seeds" ] && cp "$here"/seeds/* "$work/whole/" 2>/dev/null || true
if [ -d "$corpus/segments" ]; then
  find "$corpus/segments" -name '*.MRK' -size -64k | head -400 |
    while read -r f; do cp "$f" "$work/corpus/$(echo "$f" | md5sum | cut -c1-16).MRK"; done
fi
if [ -d "$corpus/jpeg" ]; then
  find "$corpus/jpeg" -type f -size -64k | while read -r f; do cp "$f" "$work/whole/"; done
fi
# Thumbnail files of the runs go to a scratch directory.
TMPDIR="$work/thumbs" "$build/fuzz/kivmrk_fuzz" -max_total_time="$seconds" -max_len=70000 \
  -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$work/corpus"
TMPDIR="$work/thumbs" "$build/fuzz/kivmrk_wholefile_fuzz" -max_total_time="$seconds" \
  -max_len=16384 -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$work/whole"
