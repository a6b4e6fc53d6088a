#!/bin/sh
# Checks the Debian package that `cpack -G DEB` made in a build tree: its name, fields, files and
# dependencies; then, as root with apt-get, installs it the way a user does, runs what it
# installed and removes it again.
#
#   sh tests/packaging/check-debian-package.sh BUILD_DIR
set -eu
cd "$(dirname "$0")/../.."
build=${1:?usage: check-debian-package.sh BUILD_DIR}

version=$(sed -n 's/^project(kivMrkWLX VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb=$(cd "$build" && pwd)/kivmrk_${version}_$arch.deb
failed=0
fail() {
  echo "check-debian-package: $*" >&2
  failed=1
}
[ -s "$deb" ] || { fail "no package $deb"; exit 1; }

for pair in "Package=kivmrk" "Version=$version" "Architecture=$arch"; do
  key=${pair%%=*}
  [ "$key=$(dpkg-deb -f "$deb" "$key")" = "$pair" ] || fail "$key is '$(dpkg-deb -f "$deb" "$key")', expected '${pair#*=}'"
done
# Found from the binaries: the C++ runtime, libjpeg, expat and nettle for both, Qt for the
# plug-in.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libjpeg62-turbo libexpat1 libnettle8 libqt5widgets5; do
  echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' | grep -q -x "$lib" ||
    fail "Depends lacks $lib: $depends"
done

expected="./usr/bin/kivmrk
./usr/lib/kivMrkWLX/kivMrkWLX.wlx
./usr/share/man/man1/kivmrk.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "files in the package:
$files
expected:
$expected"

if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
  echo "check-debian-package: not root with apt-get: the package is not installed here" >&2
  [ "$failed" = 0 ] && echo "Debian package $deb: checked (not installed)"
  exit "$failed"
fi

export DEBIAN_FRONTEND=noninteractive
# A package of the same version already installed would be kept as it is.
dpkg -s kivmrk >/dev/null 2>&1 && apt-get remove -y -qq kivmrk >/dev/null
trap 'apt-get remove -y -qq kivmrk >/dev/null 2>&1 || true' EXIT
apt-get install -y -qq "$deb" >/dev/null
[ "$(command -v kivmrk)" = /usr/bin/kivmrk ] || fail "kivmrk is found at '$(command -v kivmrk)', not /usr/bin/kivmrk"
[ "$(/usr/bin/kivmrk --version)" = "kivmrk $version" ] || fail "kivmrk --version says '$(/usr/bin/kivmrk --version)'"
[ "$(man -w kivmrk)" = /usr/share/man/man1/kivmrk.1.gz ] || fail "man -w kivmrk gives '$(man -w kivmrk 2>&1)'"
# The dependencies were enough for the plug-in to load.
missing=$(ldd /usr/lib/kivMrkWLX/kivMrkWLX.wlx | grep 'not found' || true)
[ -z "$missing" ] || fail "the installed plug-in lacks $missing"
apt-get remove -y -qq kivmrk >/dev/null
trap - EXIT
[ ! -e /usr/bin/kivmrk ] || fail "/usr/bin/kivmrk is left after removing the package"

[ "$failed" = 0 ] && echo "Debian package $deb: checked, installed and removed"
exit "$failed"
