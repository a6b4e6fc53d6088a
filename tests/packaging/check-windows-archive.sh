#!/bin/sh
# Checks the Windows release archive that tools/build-windows.sh leaves in dist/: its file
# list, the host's install file, and that each DLL is of its bitness, exports exactly the
# plug-in's entry points undecorated and imports only DLLs of Windows itself.
set -eu
cd "$(dirname "$0")/../.."

version=$(sed -n 's/^project(kivMrkWLX VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=dist/kivMrkWLX-$version-windows.zip
objdump=x86_64-w64-mingw32-objdump
failed=0
fail() {
  echo "check-windows-archive: $*" >&2
  failed=1
}

[ -s "$zip" ] || { fail "no archive $zip"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/kivzip.XXXXXX")
trap 'rm -rf "$work"' EXIT
zip_path=$(pwd)/$zip
(cd "$work" && cmake -E tar xf "$zip_path")

# Flat, so that the host copies every file into the plug-in's folder.
expected="expat-COPYING.txt
kivMrkWLX.wlx
kivMrkWLX.wlx64
libjpeg-turbo-LICENSE.md
libjpeg-turbo-README.ijg
mingw-w64-runtime-copyright.txt
pluginst.inf
readme.txt"
actual=$(cd "$work" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "files in the archive:
$actual
expected:
$expected"

# The install file: one section, the fields the host asks for, names of files in the archive.
inf=$work/pluginst.inf
field() { tr -d '\r' <"$inf" | sed -n "s/^$1=//p"; }
[ "$(tr -d '\r' <"$inf" | sed -n '1p')" = "[plugininstall]" ] || fail "pluginst.inf does not start with [plugininstall]"
[ "$(tr -d '\r' <"$inf" | grep -c '^\[')" = 1 ] || fail "pluginst.inf has more than one section"
[ -n "$(field description)" ] || fail "pluginst.inf has no description"
for pair in type=wlx file=kivMrkWLX.wlx file64=kivMrkWLX.wlx64 defaultdir=kivMrkWLX; do
  key=${pair%%=*}
  [ "$(field "$key" | wc -l)" = 1 ] && [ "$key=$(field "$key")" = "$pair" ] ||
    fail "pluginst.inf: $key is '$(field "$key")', expected '${pair#*=}'"
done
for key in file file64; do
  [ -s "$work/$(field $key)" ] || fail "pluginst.inf names $key=$(field $key), which is not in the archive"
done
# Text for Windows: every line ends in CR LF.
for f in pluginst.inf readme.txt; do
  [ "$(grep -c "$(printf '\r')\$" "$work/$f")" = "$(wc -l <"$work/$f")" ] || fail "$f has lines without CR LF"
done
grep -q "kivMrkWLX $version" "$work/readme.txt" || fail "readme.txt does not name version $version"
grep -q "libjpeg-turbo" "$work/libjpeg-turbo-LICENSE.md" || fail "libjpeg-turbo-LICENSE.md is not libjpeg-turbo's licence"
grep -q "Independent JPEG Group" "$work/libjpeg-turbo-README.ijg" || fail "libjpeg-turbo-README.ijg is not the IJG text"
grep -q "Thai Open Source Software Center" "$work/expat-COPYING.txt" || fail "expat-COPYING.txt is not expat's licence"

# The DLLs: the archive's are the ones built, each of its bitness, exporting the names of the
# .def file undecorated (a 32-bit __stdcall export would otherwise be ListLoad@12), and
# importing only system DLLs (no libstdc++, libgcc or libjpeg DLL beside them).
exports=$(sed -n 's/^  *\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*$/\1/p' src/host/kivMrkWLX.def | LC_ALL=C sort)
for pair in kivMrkWLX.wlx:pei-i386 kivMrkWLX.wlx64:pei-x86-64; do
  dll=${pair%%:*}
  format=${pair#*:}
  cmp -s "$work/$dll" "build/windows/$dll" || fail "$dll in the archive is not build/windows/$dll"
  "$objdump" -p "$work/$dll" >"$work/$dll.txt"
  grep -q "file format $format\$" "$work/$dll.txt" || fail "$dll is not $format"
  got=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' "$work/$dll.txt" |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | LC_ALL=C sort)
  [ "$got" = "$exports" ] || fail "$dll exports:
$got
expected:
$exports"
  others=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/$dll.txt" | tr 'a-z' 'A-Z' |
    grep -v -x -E 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|OLE32.DLL|OLEAUT32.DLL|MSVCRT.DLL|ADVAPI32.DLL|BCRYPT.DLL|SHELL32.DLL|SHLWAPI.DLL|API-MS-WIN-[A-Z0-9-]*.DLL' || true)
  [ -z "$others" ] || fail "$dll needs DLLs that are not part of Windows: $others"
done

[ "$failed" = 0 ] && echo "Windows release archive $zip: checked"
exit "$failed"
