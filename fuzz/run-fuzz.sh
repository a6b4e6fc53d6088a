#!/bin/sh
# A bounded fuzz run of the report pipeline: BUILD_DIR SECONDS. Seeds are the samples, the
# seed files here and, when present, the segment files of the shared corpus.
set -eu
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/thumbs"
cp "$here"/../samples/* "$work/corpus/"
[ -d "$here/seeds" ] && cp "$here"/seeds/* "$work/corpus/" 2>/dev/null || true
if [ -d "$here/../../shared/corpus/segments" ]; then
  find "$here/../../shared/corpus/segments" -name '*.MRK' -size -64k | head -400 |
    while read -r f; do cp "$f" "$work/corpus/$(echo "$f" | md5sum | cut -c1-16).MRK"; done
fi
# Thumbnail files of the run go to a scratch directory.
TMPDIR="$work/thumbs" "$build/fuzz/kivmrk_fuzz" -max_total_time="$seconds" -max_len=70000 \
  -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$work/corpus"
