#!/bin/bash
# Fuzzes the engine for longer than the test run does: scripts/fuzz.sh [SECONDS]
# (default 3600). Findings land in build/sanitize/tests/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target script_fuzzer
out=build/sanitize/tests/fuzz
mkdir -p "$out/corpus"
exec "$out/script_fuzzer" -max_total_time="${1:-3600}" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/" "$out/corpus" tests/fuzz/corpus
