#!/bin/bash
# Builds the x86-64 launchers and runs each on an example script under Wine,
# then shows what they started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64 >/dev/null

demo=$root/build/mingw64/demo
rm -rf "$demo/records" "$demo/relay"
mkdir -p "$demo/records" "$demo/relay"
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOPLA_PROBE_DIR="Z:${demo//\//\\}\\records"
wine=/usr/lib/wine/wine64
[ -f "$WINEPREFIX/system.reg" ] || { echo "demo: creating a Wine prefix"; $wine wineboot -i >/dev/null 2>&1; }

show() {
    /usr/bin/python3 - "$demo/records" <<'PY'
import os, sys
names = {2: "minimised", 3: "maximised", 10: "default"}
directory = sys.argv[1]
files = sorted(os.listdir(directory), key=lambda n: int(n.split("-")[1].split(".")[0]))
for n in files:
    r = dict(l.split("=", 1) for l in open(os.path.join(directory, n)).read().splitlines())
    line = bytes.fromhex(r["cmdline"]).decode("cp932", "replace")
    print("  started: %-60s window: %s" % (line, names.get(int(r["show"]), r["show"])))
PY
    rm -f "$demo/records"/*
}

# The programs a script names are found in the current directory.
cd "$root/build/mingw64/tests/e2e"
echo "hoplax examples/demo.ini:"
sed 's/^/  | /' "$root/examples/demo.ini"
$wine "$root/build/mingw64/apps/hoplax.exe" "Z:${root//\//\\}\\examples\\demo.ini"
/usr/lib/wine/wineserver64 -w
show

echo
cp "$root/build/mingw64/apps/hoplarl.exe" "$root/examples/hoplarl.ini" "$demo/relay/"
echo "hoplarl \"C:\\My Files\\report.txt\", with examples/hoplarl.ini beside it:"
sed 's/^/  | /' "$root/examples/hoplarl.ini"
$wine "$demo/relay/hoplarl.exe" 'C:\My Files\report.txt'
/usr/lib/wine/wineserver64 -w
show
