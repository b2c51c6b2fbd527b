#!/bin/bash
# Builds the release from a clean 32-bit build:
#   dist/hopla-VERSION.zip   the two programs, example scripts, the user guide
#   dist/SHA256SUMS
# The same sources give the same bytes: the programs carry no time stamp or
# path, and the zip's times come from SOURCE_DATE_EPOCH (default: the time of
# the last commit).
#   scripts/release.sh [DIST]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dist=$(realpath -m "${1:-dist}")

version=$(sed -n 's/^project(hopla VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
[ -n "$epoch" ] || { echo "release: set SOURCE_DATE_EPOCH (no git history here)" >&2; exit 1; }
# Debian's linker would stamp the programs with it: they must need no help.
unset SOURCE_DATE_EPOCH

scripts/setup.sh
build=$root/build/release
rm -rf "$build"
cmake --preset mingw32 -B "$build" >/dev/null
cmake --build "$build" --target hoplax hoplarl >/dev/null
ctest --test-dir "$build" -R '^structure\.' --output-on-failure >/dev/null

name=hopla-$version
stage=$build/stage/$name
mkdir -p "$stage/examples"
cp "$build/apps/hoplax.exe" "$build/apps/hoplarl.exe" docs/guide.en.md docs/guide.ja.md \
   docs/error-box.png "$stage/"
# Scripts are read in the ANSI code page: Shift_JIS, as Notepad on Japanese
# Windows saves them, with CR LF.
for script in release/examples/*.ini; do
    iconv -f UTF-8 -t CP932 "$script" | sed 's/$/\r/' >"$stage/examples/$(basename "$script")"
done
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$epoch" {} +

mkdir -p "$dist"
rm -f "$dist/$name.zip" "$dist/SHA256SUMS"
# -X: no uid, gid or extra time fields; UTC: zip stores local time.
(cd "$build/stage" && find "$name" -type f | LC_ALL=C sort |
    TZ=UTC zip -X -D -9 -q "$dist/$name.zip" -@)
(cd "$dist" && sha256sum "$name.zip" >SHA256SUMS)
echo "release: $dist/$name.zip"
cat "$dist/SHA256SUMS"
