#!/bin/sh
# Installs what the build needs (Debian, as root), builds, and runs the whole test suite:
# the tests, the Linux plug-in's test host on a virtual X display, the Debian package
# (installed and removed again), the Windows release archive, the Windows plug-in's tests under
# Wine (both bitnesses), the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short fuzz run of each fuzz target.
set -eu
cd "$(dirname "$0")/.."

if [ "${KIV_NO_INSTALL:-0}" != 1 ] && command -v apt-get >/dev/null 2>&1 && [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # 32-bit Wine runs the 32-bit plug-in.
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends \
    cmake make g++ clang libclang-rt-14-dev libjpeg62-turbo-dev libexpat1-dev nettle-dev googletest libgtest-dev \
    libgmock-dev libbenchmark-dev libimage-exiftool-perl netpbm ca-certificates qtbase5-dev \
    nlohmann-json3-dev libcli11-dev man-db \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 dpkg-dev wine wine64 wine32:i386 xvfb xauth >/dev/null
fi

export LC_ALL=C
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKIV_BENCH=ON -DKIV_PLUGIN_QT=ON >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && ctest --output-on-failure -j "$jobs")
# Installed like any command: the program and its manual page.
prefix=$(mktemp -d)
cmake --install build/release --prefix "$prefix" >/dev/null
"$prefix/bin/kivmrk" --version >/dev/null
test -s "$prefix/share/man/man1/kivmrk.1.gz"
rm -rf "$prefix"
# The Debian package: built, checked, installed with apt-get, run and removed again.
(cd build/release && cpack -G DEB >/dev/null)
sh tests/packaging/check-debian-package.sh build/release

sh tools/build-windows.sh
sh tests/packaging/check-windows-archive.sh
sh tests/wine/run-wine-tests.sh

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKIV_SANITIZE=ON -DKIV_PLUGIN_QT=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize && ctest --output-on-failure -j "$jobs")

# Optimised, so that a short run explores far enough.
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIV_FUZZ=ON -DKIV_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$jobs"
FINDINGS_DIR=build/fuzz-findings sh fuzz/run-fuzz.sh build/fuzz 30
echo "All tests passed."
