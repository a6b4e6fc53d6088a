#!/bin/sh
# Fuzz runs of the libFuzzer targets: BUILD_DIR SECONDS [TARGET...], SECONDS for each target
# (CI runs a short budget; a local run gives a longer one, for example 1800). TARGET is
# pipeline, tiff, jpegimage, photoshop, hp or wholefile; all of them by default. Seeds are the samples, the seed files
# here, the regression inputs of the tests and, when present, the files of the shared corpus
# (KIV_CORPUS, by default ../shared/corpus beside the checkout). Findings are left in
# FINDINGS_DIR (default fuzz-findings in the current directory) and make the run fail.
set -eu
export LC_ALL=C
build=$1
seconds=$2
shift 2
[ $# -gt 0 ] || set -- pipeline tiff jpegimage photoshop hp wholefile
here=$(cd "$(dirname "$0")" && pwd)
corpus=${KIV_CORPUS:-$here/../../shared/corpus}
findings=${FINDINGS_DIR:-$PWD/fuzz-findings}
mkdir -p "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Segment files: the samples, our seeds, the regression inputs and the corpus segments.
mkdir -p "$work/segments"
for dir in "$here/../samples" "$here/seeds" "$here/../tests/regression"; do
  for f in "$dir"/*.MRK; do cp "$f" "$work/segments/$(basename "$dir")-$(basename "$f")"; done
done
if [ -d "$corpus/segments" ]; then
  find "$corpus/segments" -name '*.MRK' -size -64k | head -400 |
    while read -r f; do cp "$f" "$work/segments/$(echo "$f" | md5sum | cut -c1-16).MRK"; done
fi
# TIFF structures: the EXIF segments without their marker, length, identifier and pad.
mkdir -p "$work/tiff"
for f in "$work"/segments/*.MRK; do
  [ "$(head -c 8 "$f" | tail -c 4)" = Exif ] && tail -c +11 "$f" >"$work/tiff/$(basename "$f")"
done
# Photoshop resource payloads: the resource segments without marker, length and identifier.
mkdir -p "$work/photoshop"
for f in "$work"/segments/*.MRK; do
  [ "$(head -c 17 "$f" | tail -c 13)" = "Photoshop 3.0" ] &&
    tail -c +19 "$f" >"$work/photoshop/$(basename "$f")"
done
# HP thumbnails: the APP4 segment files.
mkdir -p "$work/hp"
for f in "$work"/segments/*.MRK; do
  [ "$(head -c 2 "$f" | od -An -tx1 | tr -d ' ')" = ffe4 ] && cp "$f" "$work/hp/"
done
# JPEG pictures: the small corpus files, and the pictures inside the regression inputs.
# Whole files: the seed files here and the small corpus files (cut to 16 KiB by max_len:
# damaged files are what the walk is there for).
mkdir -p "$work/jpegimage" "$work/whole"
cp "$here"/seeds/* "$work/whole/"
if [ -d "$corpus/jpeg" ]; then
  find "$corpus/jpeg" -type f -size -64k | while read -r f; do cp "$f" "$work/jpegimage/"; done
  cp "$work"/jpegimage/* "$work/whole/"
fi
for f in "$here"/../tests/regression/*.MRK "$here"/../samples/*.MRK; do
  offset=$(grep -obUaP '\xFF\xD8\xFF' "$f" | head -1 | cut -d: -f1 || true)
  [ -n "$offset" ] && tail -c +"$((offset + 1))" "$f" >"$work/jpegimage/$(basename "$f").jpg"
done

status=0
for target in "$@"; do
  # Small inputs explore faster; segments and pictures get room for a thumbnail.
  binary=kivmrk_fuzz_$target
  case $target in
  pipeline) seeds=$work/segments max_len=16384 ;;
  tiff) seeds=$work/tiff max_len=4096 ;;
  jpegimage) seeds=$work/jpegimage max_len=16384 ;;
  photoshop) seeds=$work/photoshop max_len=16384 ;;
  hp) seeds=$work/hp max_len=16384 ;;
  wholefile) seeds=$work/whole max_len=16384 binary=kivmrk_wholefile_fuzz ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
  esac
  mkdir -p "$work/run-$target"
  # Thumbnail files of the run go to a scratch directory, in memory where there is one.
  thumbs=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
  echo "== $target: $seconds s, $(ls "$seeds" | wc -l) seeds"
  # Resource blow-ups are findings: one allocation above 128 MB, 1.5 GB resident, or an input
  # that takes more than ten seconds. The largest picture a report may decode takes about two
  # seconds in this instrumented build on an idle machine; the margin is for busy ones.
  if ! TMPDIR="$thumbs" "$build/fuzz/$binary" \
    -max_total_time="$seconds" -max_len=$max_len -malloc_limit_mb=128 -rss_limit_mb=1536 \
    -timeout=10 -dict="$here/kivmrk.dict" -artifact_prefix="$findings/$target-" \
    -print_final_stats=1 "$work/run-$target" "$seeds" 2>"$work/log-$target"; then
    status=1
    tail -n 60 "$work/log-$target" >&2
  fi
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
    "$work/log-$target" || true
  grep -E 'cov: [0-9]+' "$work/log-$target" | tail -1 || true
  rm -rf "$thumbs"
done
exit $status
