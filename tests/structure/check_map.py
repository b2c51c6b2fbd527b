#!/usr/bin/python3
"""Checks from a linker map which functions a program carries.

  check_map.py MAP --kept SYMBOL... --absent SYMBOL...

Each program must carry what it runs and nothing of the other program's.
"""
import argparse
import re
import sys


def placed_symbols(map_text):
    # Only what the memory map places counts; discarded sections are listed
    # before it.
    placed = map_text.split("Linker script and memory map", 1)[-1]
    return {m.group(1).strip() for m in re.finditer(r"^\s+0x[0-9a-f]+\s+(\S.*)$", placed, re.M)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("map")
    parser.add_argument("--kept", nargs="*", default=[])
    parser.add_argument("--absent", nargs="*", default=[])
    args = parser.parse_args()
    with open(args.map) as f:
        symbols = placed_symbols(f.read())
    # A bare name stands for every overload; a full signature for itself.
    linked = lambda name: any(s == name or s.startswith(name + "(") for s in symbols)
    failed = False
    for name in args.kept:
        ok = linked(name)
        failed |= not ok
        print("%s: %s is linked in" % ("ok" if ok else "FAIL", name))
    for name in args.absent:
        ok = not linked(name)
        failed |= not ok
        print("%s: %s is not linked in" % ("ok" if ok else "FAIL", name))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
