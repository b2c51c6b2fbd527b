#!/bin/bash
# Times the x86-64 launcher under Wine against its floors and prints medians
# and ratios (docs/performance.md shows and explains a run):
#   bench/run.sh [ROUNDS]
# Each round runs every group once in turn (hyperfine); the medians are over
# the samples of all rounds, so that a slow spell of a busy machine falls on
# all the commands of a group rather than on one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${1:-10}

scripts/setup.sh
for preset in mingw64 mingw32; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target hoplax hoplarl >/dev/null
done
cmake -S bench -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" >/dev/null
cmake --build build/bench >/dev/null

work=$root/build/bench/run
results=$work/results
rm -rf "$work"
mkdir -p "$results"
cp build/mingw64/apps/hoplax.exe build/bench/floor.exe build/bench/spawnloop.exe \
   build/bench/trivial.exe "$work/"
/usr/bin/python3 bench/bench.py imports "$work/floor.exe" "$work/hoplax.exe"
/usr/bin/python3 bench/bench.py inputs "$work"

# A display, as on a desktop.
source scripts/wine-display.sh
start_wine_display "$work" "$root/build/bench/wineprefix" 1024x768x24
[ -f "$WINEPREFIX/system.reg" ] || { echo "bench: creating a Wine prefix"; $wine wineboot -i >&3 2>&3; }
# One server for all runs, started now: its start is no part of any figure.
$wineserver -k >&3 2>&3 || true
$wineserver -w
$wineserver -p >&3 2>&3
$wine wineboot >&3 2>&3

cd "$work"
settle="/usr/bin/python3 $root/bench/settle.py"
group() {  # NAME RUNS WARMUP then pairs of command name and command
    local name=$1 runs=$2 warmup=$3 round=$4
    shift 4
    local args=()
    while (($#)); do args+=(-n "$1" "$2"); shift 2; done
    hyperfine -N --style basic --runs "$runs" --warmup "$warmup" --prepare "$settle" \
              --export-json "$results/$name-$round.json" "${args[@]}" >>"$work/hyperfine.log" 2>&1 ||
        { tail -20 "$work/hyperfine.log"; exit 1; }
}
for round in $(seq "$rounds"); do
    echo "bench: round $round of $rounds"
    group own 5 1 $round "floor" "$wine floor.exe" "hoplax empty" "$wine hoplax.exe empty.ini" \
        "trivial" "$wine trivial.exe"
    group launch20 2 0 $round \
        "loop 20" "$wine spawnloop.exe 20 trivial.exe" \
        "hoplax 20" "$wine hoplax.exe launch20.ini" \
        "cmd 20" "$wine cmd.exe /c launch20.cmd"
    group launch100 1 0 $round \
        "loop 100" "$wine spawnloop.exe 100 trivial.exe" \
        "hoplax 100" "$wine hoplax.exe launch100.ini" \
        "cmd 100" "$wine cmd.exe /c launch100.cmd"
    group read 2 0 $round \
        "hoplax comments 0k" "$wine hoplax.exe empty.ini" \
        "hoplax comments 1k" "$wine hoplax.exe comments1k.ini" \
        "hoplax comments 100k" "$wine hoplax.exe comments100k.ini" \
        "hoplax comments 1024k" "$wine hoplax.exe comments1024k.ini"
done
cd "$root"
echo
/usr/bin/python3 bench/bench.py report "$results" build/mingw32/apps/hoplax.exe build/mingw32/apps/hoplarl.exe \
    | tee "$work/report.md"
