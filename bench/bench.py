#!/usr/bin/python3
"""The benchmark's inputs and its report (bench/run.sh runs it).

  bench.py inputs DIR          scripts and batch files of the runs
  bench.py imports EXE EXE...  fails unless all import the same DLLs
  bench.py report DIR SIZES..  medians and ratios from hyperfine's JSON files
"""
import glob
import json
import os
import statistics
import sys

LAUNCH_COUNTS = (20, 100)
READ_SIZES_KB = (1, 100, 1024)
LAUNCHED = "trivial.exe"


def comment_script(size):
    line = b"#" + b"-" * 61 + b"\r\n"  # 64 bytes, so every size is whole lines
    assert size % len(line) == 0
    return line * (size // len(line))


def inputs(directory):
    def write(name, data):
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)

    write("empty.ini", b"")
    for n in LAUNCH_COUNTS:
        write("launch%d.ini" % n, (LAUNCHED + "\r\n").encode() * n)
        # What a user would write instead; "" is the window title start takes first.
        write("launch%d.cmd" % n, b"@echo off\r\n" + ('start "" %s\r\n' % LAUNCHED).encode() * n)
    for kb in READ_SIZES_KB:
        write("comments%dk.ini" % kb, comment_script(kb * 1024))


def imports(paths):
    import pefile
    sets = {}
    for path in paths:
        pe = pefile.PE(path)
        sets[path] = sorted(e.dll.decode().lower() for e in pe.DIRECTORY_ENTRY_IMPORT)
    if len({tuple(s) for s in sets.values()}) != 1:
        for path, dlls in sets.items():
            print("  %s: %s" % (path, ", ".join(dlls)), file=sys.stderr)
        sys.exit("bench: the floor must import the DLLs the launcher imports")
    print("imports (floor and launcher alike): %s" % ", ".join(next(iter(sets.values()))))


def load(directory):
    """Every sample of every command over all rounds, by command name."""
    samples = {}
    for path in sorted(glob.glob(os.path.join(directory, "*.json"))):
        with open(path) as f:
            for result in json.load(f)["results"]:
                samples.setdefault(result["command"], []).extend(result["times"])
    return samples


def report(directory, sizes):
    samples = load(directory)
    med = {name: statistics.median(times) * 1000 for name, times in samples.items()}

    def row(name):
        times = samples[name]
        return "| %s | %.1f | %.1f–%.1f | %d |" % (
            name, med[name], min(times) * 1000, max(times) * 1000, len(times))

    out = []
    out.append("### Own cost: an empty script\n")
    out.append("| run | median ms | range ms | samples |\n|---|---|---|---|")
    out += [row("floor"), row("hoplax empty"), row("trivial")]
    extra = med["hoplax empty"] - med["floor"]
    out.append("\nhoplax / floor = **%.2f** (hoplax %+.1f ms); trivial.exe, the program "
               "launched below, run on its own: %.1f ms\n"
               % (med["hoplax empty"] / med["floor"], extra, med["trivial"]))

    out.append("### Launching N programs\n")
    out.append("| run | median ms | range ms | samples |\n|---|---|---|---|")
    for n in LAUNCH_COUNTS:
        out += [row("loop %d" % n), row("hoplax %d" % n), row("cmd %d" % n)]
    out.append("\n| N | hoplax / loop | hoplax / cmd start | hoplax ms per program | "
               "loop ms per program | cmd ms per program |\n|---|---|---|---|---|---|")
    for n in LAUNCH_COUNTS:
        h, l, c = med["hoplax %d" % n], med["loop %d" % n], med["cmd %d" % n]
        out.append("| %d | **%.2f** | **%.2f** | %.1f | %.1f | %.1f |" % (
            n, h / l, h / c, (h - med["hoplax empty"]) / n, (l - med["floor"]) / n,
            (c - med["floor"]) / n))

    out.append("\n### Reading a script of comments only\n")
    out.append("| script | median ms | range ms | samples | ms per KB above the empty script |\n"
               "|---|---|---|---|---|")
    out.append(row("hoplax comments 0k") + " |")
    for kb in READ_SIZES_KB:
        name = "hoplax comments %dk" % kb
        out.append("%s %.2f |" % (row(name), (med[name] - med["hoplax comments 0k"]) / kb))
    small, large = med["hoplax comments 100k"], med["hoplax comments 1024k"]
    out.append("\nfrom 100 KB to 1 MB: **%.2f ms per KB** (%.1f µs per byte)\n"
               % ((large - small) / 924, (large - small) / 924 / 1024 * 1000))

    out.append("### Size of the 32-bit programs\n")
    out.append("| program | bytes |\n|---|---|")
    for path in sizes:
        out.append("| %s | %d |" % (os.path.basename(path), os.path.getsize(path)))
    print("\n".join(out))


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    if command == "inputs":
        inputs(*args)
    elif command == "imports":
        imports(args)
    elif command == "report":
        report(args[0], args[1:])
    else:
        sys.exit(__doc__)
