#!/bin/sh
# Whole-process cost of kivmrk against two other tools that read the same files, paired: in
# each round every tool runs once on the same input, in an order that turns from round to
# round, so that a busy machine weighs on all of them alike.
#
#   sh bench/compare.sh [KIVMRK [CORPUS [ROUNDS]]]
#
# KIVMRK defaults to build/release/kivmrk, CORPUS to ../shared/corpus beside the project (its
# folders jpeg and modern are used), ROUNDS to 5. Tools that are not installed are skipped.
#
# One file, one process: `kivmrk FILE` (the whole-file page) against `exiv2 -pS FILE`, on
# every JPEG or TIFF file; per tool the median over the files of each file's median time, and
# the median of the per-file ratios.
#
# Many files: the folder's image files (copied to a temporary folder, so that every tool sees
# the same files and nothing else) as `kivmrk -r --json DIR`, `exiftool -json -r DIR` and
# `exiv2 -pa FILE` run once per file; files per second, median over the rounds.
#
# Times are CPU (user and system) of the processes, and wall clock beside them.
# Figures per file and round go to bench-compare.tsv in the current directory.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kivmrk=${1:-$here/../build/release/kivmrk}
corpus=${2:-$here/../../shared/corpus}
rounds=${3:-5}

if [ ! -x "$kivmrk" ]; then
  echo "no kivmrk at $kivmrk (build it first, or give its path)" >&2
  exit 1
fi
if [ ! -d "$corpus" ]; then
  echo "no corpus at $corpus" >&2
  exit 1
fi
if ! perl -MTime::HiRes -e 1 2>/dev/null; then
  echo "compare.sh needs perl with Time::HiRes (Debian package perl)" >&2
  exit 1
fi
exiv2=$(command -v exiv2 || true)
exiftool=$(command -v exiftool || true)
[ -n "$exiv2" ] || echo "exiv2 not installed: skipped" >&2
[ -n "$exiftool" ] || echo "exiftool not installed: skipped" >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

CORPUS=$corpus KIVMRK=$kivmrk EXIV2=$exiv2 EXIFTOOL=$exiftool ROUNDS=$rounds WORK=$work \
  perl -MTime::HiRes=time -e '
use strict;
use warnings;
use File::Copy;
my ($kivmrk, $exiv2, $exiftool, $rounds, $work) = @ENV{qw(KIVMRK EXIV2 EXIFTOOL ROUNDS WORK)};
open(my $tsv, ">", "bench-compare.tsv") or die "bench-compare.tsv: $!";
print $tsv "test\ttool\tinput\tround\tcpu_seconds\twall_seconds\n";

# Runs a command with its output thrown away; the seconds of CPU it took (user and system:
# on a shared machine the wall clock mostly counts the other processes), the wall-clock
# seconds added to $wall.
our $wall = 0;
sub run {
  my @command = @_;
  my $start = time;
  my $pid = fork // die "fork: $!";
  if ($pid == 0) {
    open(STDOUT, ">", "/dev/null");
    open(STDERR, ">", "/dev/null");
    exec(@command) or exit 127;
  }
  # wait4 (system call 61 on x86-64) for the child'"'"'s own CPU time to the microsecond; the
  # times of perl count in clock ticks.
  my ($status, $usage) = ("\0" x 8, "\0" x 256);
  syscall(61, $pid, $status, 0, $usage) == $pid or die "wait4: $!";
  $wall += time - $start;
  my ($us, $uus, $ss, $sus) = unpack("q4", $usage);
  return $us + $ss + ($uus + $sus) / 1e6;
}
sub median {
  my @v = sort { $a <=> $b } @_;
  return 0 unless @v;
  return @v % 2 ? $v[$#v / 2] : ($v[@v / 2 - 1] + $v[@v / 2]) / 2;
}
# The files a JPEG or TIFF reader takes: those that start like one.
sub images {
  my ($dir) = @_;
  opendir(my $dh, $dir) or return ();
  my @files;
  for my $name (sort readdir $dh) {
    my $path = "$dir/$name";
    next unless -f $path;
    open(my $fh, "<:raw", $path) or next;
    read($fh, my $head, 3);
    push @files, $path if defined $head && ($head =~ /^\xFF\xD8\xFF/ || $head =~ /^(II|MM)/);
  }
  return @files;
}
# Each round runs every tool once, the first tool turning from round to round.
sub rounds {
  my ($test, $input, %tools) = @_;
  my @names = sort keys %tools;
  my %times;
  for my $round (1 .. $rounds) {
    my @order = (@names[($round % @names) .. $#names], @names[0 .. ($round % @names) - 1]);
    for my $tool (@order) {
      local $wall = 0;
      my $t = $tools{$tool}->();
      push @{$times{$tool}}, $t;
      push @{$times{"$tool (wall)"}}, $wall;
      printf $tsv "%s\t%s\t%s\t%d\t%.6f\t%.6f\n", $test, $tool, $input, $round, $t, $wall;
    }
  }
  return map { $_ => median(@{$times{$_}}) } keys %times;
}

for my $folder (qw(jpeg modern)) {
  my @files = images("$ENV{CORPUS}/$folder");
  next unless @files;
  printf "%s: %d files\n", $folder, scalar @files;

  my (%per_file, @ratios);
  for my $file (@files) {
    my %tools = (kivmrk => sub { run($kivmrk, $file) });
    $tools{"exiv2 -pS"} = sub { run($exiv2, "-pS", $file) } if $exiv2;
    my %m = rounds("one file", $file, %tools);
    push @{$per_file{$_}}, $m{$_} for keys %m;
    push @ratios, $m{kivmrk} / $m{"exiv2 -pS"} if $exiv2 && $m{"exiv2 -pS"} > 0;
  }
  printf "  one file, one process (median over the files, ms; CPU, wall):\n";
  printf "    %-12s %8.2f %8.2f\n", $_, 1000 * median(@{$per_file{$_}}),
    1000 * median(@{$per_file{"$_ (wall)"}}) for grep { !/wall/ } sort keys %per_file;
  printf "    kivmrk / exiv2 -pS: %.2f (CPU, median of the per-file ratios)\n", median(@ratios)
    if @ratios;

  my $dir = "$work/$folder";
  mkdir $dir;
  copy($_, $dir) or die "copy $_: $!" for @files;
  my @copies = images($dir);
  my %tools = ("kivmrk -r --json" => sub { run($kivmrk, "-r", "--json", $dir) });
  $tools{"exiftool -json -r"} = sub { run($exiftool, "-json", "-r", $dir) } if $exiftool;
  $tools{"exiv2 -pa per file"} = sub { my $t = 0; $t += run($exiv2, "-pa", $_) for @copies; $t }
    if $exiv2;
  my %m = rounds("many files", $folder, %tools);
  printf "  many files (files per second of CPU, of wall; median over %d rounds):\n", $rounds;
  my $own = @copies / $m{"kivmrk -r --json"};
  for my $tool (grep { !/wall/ } sort keys %m) {
    my $fps = @copies / $m{$tool};
    printf "    %-20s %9.1f %9.1f%s\n", $tool, $fps, @copies / $m{"$tool (wall)"},
      $tool eq "kivmrk -r --json" ? "" : sprintf("   (kivmrk: %.1fx)", $own / $fps);
  }
}
print "per round: bench-compare.tsv\n";
'
