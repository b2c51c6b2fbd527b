#!/bin/bash
# Builds the release (scripts/release.sh) from two fresh copies of the source
# tree at paths of different lengths, one after the other, and compares the
# programs, the zip and its sums byte for byte.
set -euo pipefail
source=$(realpath "$1")
work=$(mktemp -d /tmp/hopla-release.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Both builds get the same zip times; a copy has no git history to take them from.
epoch=$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 1767225600)

trees=("$work/a" "$work/a-second-tree/b")
for tree in "${trees[@]}"; do
    mkdir -p "$tree"
    tar -C "$source" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$tree" -xf -
    if ! SOURCE_DATE_EPOCH=$epoch "$tree/scripts/release.sh" >"$tree.log" 2>&1; then
        cat "$tree.log"
        exit 1
    fi
    mkdir "$tree/unpacked"
    (cd "$tree/unpacked" && unzip -q "$tree"/dist/*.zip)
done

status=0
first=${trees[0]} second=${trees[1]}
programs=$(cd "$first/unpacked" && find . -name '*.exe' | sort)
[ "$(echo "$programs" | wc -l)" -eq 2 ] || { echo "expected two programs in the zip: $programs"; exit 1; }
for program in $programs; do
    if cmp "$first/unpacked/$program" "$second/unpacked/$program"; then
        echo "same bytes: $program"
    else
        status=1
    fi
done
for file in $(cd "$first/dist" && ls); do
    if cmp "$first/dist/$file" "$second/dist/$file"; then
        echo "same bytes: dist/$file"
    else
        status=1
    fi
done
exit $status
