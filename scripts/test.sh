#!/bin/bash
# Sets up the machine, builds all three trees and runs every test:
#   host     unit tests of the engine and the Windows layer (stand-in)
#   sanitize the same under ASan and UBSan, and a minute of fuzzing
#   mingw64  the x86-64 programs end to end under 64-bit Wine
#   mingw32  the 32-bit deliverables: structure checks, reproducible release,
#            every end-to-end case under 32-bit Wine in an emulated machine
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
status=0
for preset in host sanitize mingw64 mingw32; do
    echo "== $preset"
    cmake --workflow --preset "$preset" || status=1
done
exit $status
