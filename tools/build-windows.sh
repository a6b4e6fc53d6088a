#!/bin/sh
# Builds the Windows plug-in on Debian: kivMrkWLX.wlx (32-bit) and kivMrkWLX.wlx64 (64-bit)
# in build/windows/, cross-compiled with mingw-w64, with libjpeg built from Debian's own
# libjpeg-turbo source package and expat from Debian's expat source package, both linked in
# statically. Also builds the Wine test host of
# each bitness, and the release archive dist/kivMrkWLX-VERSION-windows.zip: both DLLs, the
# host's install file, a readme and the licences of what is linked in. Installs what it needs
# when run as root on Debian (KIV_NO_INSTALL=1 skips that). libjpeg and expat are built once
# and kept under build/windows/.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/windows
mkdir -p "$out"
jobs=$(nproc 2>/dev/null || echo 2)

can_install() {
  [ "${KIV_NO_INSTALL:-0}" != 1 ] && command -v apt-get >/dev/null 2>&1 && [ "$(id -u)" = 0 ]
}

# Source entries for the same archives the binary packages come from.
add_deb_src() {
  list=/etc/apt/sources.list.d/kivmrk-src.sources
  [ -e "$list" ] && return 0
  found=0
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    if grep -q '^Types:.*deb-src' "$f"; then return 0; fi
    if grep -q '^Types: *deb *$' "$f"; then
      sed 's/^Types: *deb *$/Types: deb-src/' "$f" >>"$list"
      echo >>"$list"
      found=1
    fi
  done
  if [ -e /etc/apt/sources.list ]; then
    grep -q '^deb-src ' /etc/apt/sources.list && return 0
    if grep -q '^deb ' /etc/apt/sources.list; then
      grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >/etc/apt/sources.list.d/kivmrk-src.list
      found=1
    fi
  fi
  [ "$found" = 1 ] && apt-get update -qq
}

if can_install; then
  export DEBIAN_FRONTEND=noninteractive
  if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v x86_64-w64-mingw32-g++ >/dev/null ||
    ! command -v cmake >/dev/null || ! command -v dpkg-source >/dev/null; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
      cmake make dpkg-dev ca-certificates >/dev/null
  fi
fi

# libjpeg: Debian's libjpeg-turbo source, the static library only (no tools, no SIMD).
# The source tree is kept for its licence texts, which go into the archive.
jpeg_src=$out/libjpeg-source
if [ ! -e "$out/libjpeg-i686/lib/libjpeg.a" ] || [ ! -e "$out/libjpeg-x86_64/lib/libjpeg.a" ] ||
  [ ! -e "$jpeg_src/LICENSE.md" ]; then
  if [ ! -e "$jpeg_src/CMakeLists.txt" ] || [ ! -e "$jpeg_src/LICENSE.md" ]; then
    can_install && add_deb_src
    rm -rf "$out/libjpeg-download"
    mkdir -p "$out/libjpeg-download"
    (cd "$out/libjpeg-download" && apt-get source -qq libjpeg-turbo >/dev/null)
    dir=$(find "$out/libjpeg-download" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
    [ -n "$dir" ] || { echo "apt-get source libjpeg-turbo gave no source tree" >&2; exit 1; }
    rm -rf "$jpeg_src"
    mv "$dir" "$jpeg_src"
    rm -rf "$out/libjpeg-download"
  fi
  for arch in i686 x86_64; do
    prefix=$out/libjpeg-$arch
    [ -e "$prefix/lib/libjpeg.a" ] && continue
    b=$out/libjpeg-build-$arch
    cmake -S "$jpeg_src" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
      -DWITH_TURBOJPEG=OFF >/dev/null
    cmake --build "$b" --target jpeg-static -j "$jobs" >/dev/null
    mkdir -p "$prefix/lib" "$prefix/include"
    cp "$b/libjpeg.a" "$prefix/lib/"
    cp "$b/jconfig.h" "$jpeg_src/jpeglib.h" "$jpeg_src/jmorecfg.h" "$jpeg_src/jerror.h" \
      "$prefix/include/"
    rm -rf "$b"
  done
fi

# expat: Debian's source, the static library only, without DTD support (documents with a
# document type declaration are refused anyway). The source tree is kept for its licence.
expat_src=$out/expat-source
if [ ! -e "$out/expat-i686/lib/libexpat.a" ] || [ ! -e "$out/expat-x86_64/lib/libexpat.a" ] ||
  [ ! -e "$expat_src/COPYING" ]; then
  # Debian's tree holds the library in expat/.
  if [ ! -e "$expat_src/expat/CMakeLists.txt" ] || [ ! -e "$expat_src/COPYING" ]; then
    can_install && add_deb_src
    rm -rf "$out/expat-download"
    mkdir -p "$out/expat-download"
    # The newest source first; a mirror may lack it (security updates), so the older
    # versions the archive lists are tried after it.
    (cd "$out/expat-download" && { apt-get source -qq expat >/dev/null 2>&1 ||
      for v in $(apt-cache showsrc expat | sed -n 's/^Version: //p' | sort -r -V); do
        rm -rf ./*
        apt-get source -qq "expat=$v" >/dev/null 2>&1 && break
      done; })
    dir=$(find "$out/expat-download" -mindepth 1 -maxdepth 1 -type d -name 'expat-*' | head -n 1)
    [ -n "$dir" ] || { echo "apt-get source expat gave no source tree" >&2; exit 1; }
    rm -rf "$expat_src"
    mv "$dir" "$expat_src"
    rm -rf "$out/expat-download"
  fi
  for arch in i686 x86_64; do
    prefix=$out/expat-$arch
    [ -e "$prefix/lib/libexpat.a" ] && continue
    b=$out/expat-build-$arch
    cmake -S "$expat_src/expat" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DEXPAT_SHARED_LIBS=OFF \
      -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
      -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF -DEXPAT_DTD=OFF >/dev/null
    cmake --build "$b" -j "$jobs" >/dev/null
    mkdir -p "$prefix/lib" "$prefix/include"
    cp "$b/libexpat.a" "$prefix/lib/"
    cp "$expat_src/expat/lib/expat.h" "$expat_src/expat/lib/expat_external.h" "$prefix/include/"
    rm -rf "$b"
  done
fi

launcher=
command -v ccache >/dev/null 2>&1 &&
  launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
for arch in i686 x86_64; do
  b=$out/$arch
  # shellcheck disable=SC2086
  # nlohmann-json is headers only: Debian's, apart from the system's own headers.
  mkdir -p "$out/nlohmann-json/include"
  cp -r /usr/include/nlohmann "$out/nlohmann-json/include/"
  cmake -S . -B "$b" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DKIV_NLOHMANN_INCLUDE_DIR="$out/nlohmann-json/include" \
    -DCMAKE_BUILD_TYPE=Release -DKIV_TESTS=OFF $launcher \
    -DJPEG_INCLUDE_DIR="$out/libjpeg-$arch/include" \
    -DJPEG_LIBRARY="$out/libjpeg-$arch/lib/libjpeg.a" \
    -DEXPAT_INCLUDE_DIR="$out/expat-$arch/include" \
    -DEXPAT_LIBRARY="$out/expat-$arch/lib/libexpat.a" >/dev/null
  cmake --build "$b" -j "$jobs"
done
cp "$out/i686/kivMrkWLX.wlx" "$out/x86_64/kivMrkWLX.wlx64" "$out/"
echo "Windows plug-in: $out/kivMrkWLX.wlx and $out/kivMrkWLX.wlx64"

# The release archive. The host installs a plug-in from an archive that holds pluginst.inf;
# its text files get Windows line ends.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/x86_64/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $out/x86_64/CMakeCache.txt" >&2; exit 1; }
stage=$out/dist-stage
rm -rf "$stage"
mkdir -p "$stage" "$root/dist"
crlf() { sed 's/\r*$/\r/' "$@"; }
cp "$out/kivMrkWLX.wlx" "$out/kivMrkWLX.wlx64" "$stage/"
crlf "$root/packaging/windows/pluginst.inf" >"$stage/pluginst.inf"
# What is linked in: the name in the archive, what it is, and the licence text it comes from.
licences="libjpeg-turbo-LICENSE.md|libjpeg-turbo (JPEG decoding)|$jpeg_src/LICENSE.md
libjpeg-turbo-README.ijg|libjpeg-turbo, the IJG licence it refers to|$jpeg_src/README.ijg
expat-COPYING.txt|expat (XML parsing)|$expat_src/COPYING
mingw-w64-runtime-copyright.txt|the mingw-w64 C runtime|/usr/share/doc/mingw-w64-x86-64-dev/copyright"
{
  sed "s/@VERSION@/$version/" "$root/packaging/windows/readme.txt"
  echo "$licences" | while IFS='|' read -r name what from; do
    printf '  %-32s %s\n' "$name" "$what"
  done
} | crlf >"$stage/readme.txt"
echo "$licences" | while IFS='|' read -r name what from; do
  [ -s "$from" ] || { echo "no licence text at $from" >&2; exit 1; }
  crlf "$from" >"$stage/$name"
done
zip=$root/dist/kivMrkWLX-$version-windows.zip
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip -- *)
rm -rf "$stage"
echo "Windows release archive: $zip"
