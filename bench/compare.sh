#!/bin/sh
# Whole-process time and peak memory of `kivmrk FILE` against two other tools that show a
# JPEG file's structure, `exiftool -htmlDump FILE` and `exiv2 -pS FILE`, on every JPEG file
# of the corpus. Tools that are not installed are skipped.
#
#   sh bench/compare.sh [KIVMRK [CORPUS_DIR [RUNS]]]
#
# KIVMRK defaults to build/release/kivmrk, CORPUS_DIR to ../shared/corpus/jpeg beside the
# project, RUNS (per file and tool; the median counts) to 3. Prints, per tool, the median over
# the files of the time in milliseconds and of the peak resident memory in MiB; the figures
# per file go to bench-compare.tsv in the current directory.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kivmrk=${1:-$here/../build/release/kivmrk}
corpus=${2:-$here/../../shared/corpus/jpeg}
runs=${3:-3}

if [ ! -x /usr/bin/time ]; then
  echo "compare.sh needs GNU time (/usr/bin/time, Debian package time) for the peak memory" >&2
  exit 1
fi
if [ ! -x "$kivmrk" ]; then
  echo "no kivmrk at $kivmrk (build it first, or give its path)" >&2
  exit 1
fi
if [ ! -d "$corpus" ]; then
  echo "no corpus at $corpus" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=bench-compare.tsv
printf 'tool\tfile\tbytes\tms\tpeak_KiB\n' >"$out"

# The median of the numbers on standard input, one a line.
median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2];
    else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# measure TOOL FILE COMMAND...: RUNS runs; the median time (ms) and peak memory (KiB).
measure() {
  tool=$1
  file=$2
  shift 2
  : >"$work/times"
  : >"$work/peaks"
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000)) >>"$work/times"
    tail -n 1 "$work/peak" >>"$work/peaks"
    i=$((i + 1))
  done
  us=$(median <"$work/times")
  kib=$(median <"$work/peaks")
  printf '%s\t%s\t%s\t%s\t%s\n' "$tool" "$(basename "$file")" "$(wc -c <"$file")" \
    "$(awk -v u="$us" 'BEGIN { printf "%.2f", u / 1000 }')" "$kib" >>"$out"
}

tools="kivmrk"
command -v exiftool >/dev/null 2>&1 && tools="$tools exiftool" ||
  echo "exiftool not installed: skipped" >&2
command -v exiv2 >/dev/null 2>&1 && tools="$tools exiv2" || echo "exiv2 not installed: skipped" >&2

for file in "$corpus"/*; do
  [ -f "$file" ] || continue
  for tool in $tools; do
    case $tool in
    kivmrk) TMPDIR=$work measure kivmrk "$file" "$kivmrk" "$file" ;;
    exiftool) measure exiftool "$file" exiftool -htmlDump "$file" ;;
    exiv2) measure exiv2 "$file" exiv2 -pS "$file" ;;
    esac
  done
done

printf '%-10s %8s %12s %14s\n' tool files "median ms" "median MiB"
for tool in $tools; do
  files=$(awk -F '\t' -v t="$tool" '$1 == t' "$out" | wc -l)
  ms=$(awk -F '\t' -v t="$tool" '$1 == t { print $4 }' "$out" | median)
  kib=$(awk -F '\t' -v t="$tool" '$1 == t { print $5 }' "$out" | median)
  printf '%-10s %8s %12s %14s\n' "$tool" "$files" "$ms" "$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')"
done
echo "per file: $out"
