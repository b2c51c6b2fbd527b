#!/bin/bash
# Takes docs/error-box.png: the real hoplax (the x86-64 build; this machine
# runs no 32-bit code) shows its error box under Wine in Japanese, on a
# virtual X display, in a Wine desktop window so that the box has its caption.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 --target hoplax >/dev/null

work=$root/build/screenshot
mkdir -p "$work"
rm -rf "$work/run"
mkdir "$work/run"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
source scripts/wine-display.sh
start_wine_display "$work" "$work/wineprefix" 640x480x24
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    $wine wineboot -i >&3 2>&3
    # Wine looks for the font of the caption's close button only here.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
$wineserver -k >&3 2>&3 || true
$wineserver -w
$wineserver -p >&3 2>&3

# No tail and no hoplax.ini in the current folder: the box.
desktop=480x240
cd "$work/run"
$wine explorer /desktop=Hopla,$desktop "$root/build/mingw64/apps/hoplax.exe" >&3 2>&3 &
shot=$work/screen.png
for _ in $(seq 60); do
    sleep 1
    import -window root -crop $desktop+0+0 +repage "$shot"
    # The desktop alone is one colour; with the box on it, trimming leaves the box.
    width=$(/usr/bin/convert "$shot" -trim -format %w info: 2>/dev/null)
    ((width > 100)) && break
done
((width > 100)) || { echo "screenshot: no box appeared" >&2; exit 1; }
sleep 1  # the box's last paint
import -window root -crop $desktop+0+0 +repage "$shot"
background=$(/usr/bin/convert "$shot" -format '%[pixel:p{0,0}]' info:)
/usr/bin/convert "$shot" -trim +repage -bordercolor "$background" -border 12 -strip \
    -define png:exclude-chunks=date,time "$root/docs/error-box.png"
echo "screenshot: docs/error-box.png ($(/usr/bin/identify -format %wx%h "$root/docs/error-box.png"))"
