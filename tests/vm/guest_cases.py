#!/usr/bin/python3
"""Runs in the guest: every case of e2e.py on the 32-bit programs under
32-bit Wine, one outcome file a case in the job disk's results/.

  guest_cases.py all --job DIR       setup, every case of DIR/cases.txt, teardown
  guest_cases.py one CASE --job DIR  one case, in a process of its own
"""
import argparse
import os
import re
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e  # noqa: E402

# Made when the image was built (guest/bake), on the guest's throwaway root disk.
PREFIX = "/var/lib/hopla/prefix"
WINE = "/usr/lib/wine/wine"
WINESERVER = "/usr/lib/wine/wineserver32"
# One case under full emulation, Wine's start-ups included.
CASE_TIMEOUT_S = 150
# Starting a process takes the guest seconds where this machine takes a tenth
# of one: the probes' holds, which tell a launcher's wait from none, are
# stretched by this much, and so is the time given to them to end.
TIME_SCALE = 3
# Cases that cannot run in the guest, with the reason.
SKIPPED = {}


class GuestStand(e2e.Stand):
    """The 32-bit Wine of the guest, on the prefix that came with the image."""

    def __init__(self, build):
        super().__init__(build, wine=WINE, wineserver=WINESERVER)
        self.prefix = PREFIX


class GuestRun(e2e.Run):
    def probe_line(self, name, args=""):
        args = re.sub(r"/hold:(\d+)", lambda m: "/hold:%d" % (int(m.group(1)) * TIME_SCALE), args)
        return super().probe_line(name, args)

    def starts(self, expected_count, settle=1.0, timeout=15.0):
        return super().starts(expected_count, settle=settle, timeout=timeout * TIME_SCALE)


def say(text):
    print("hopla-vm: " + text, flush=True)


def write_outcome(results, case, status, output):
    with open(os.path.join(results, case + ".txt"), "wb") as f:
        f.write(status.encode() + b"\n" + output)


def run_all(job):
    build, results = os.path.join(job, "build"), os.path.join(job, "results")
    os.makedirs(results, exist_ok=True)
    with open(os.path.join(job, "cases.txt")) as f:
        cases = [line.strip() for line in f if line.strip()]
    stand = GuestStand(build)
    started = time.time()
    try:
        stand.setup()
        setup_error = None
    except Exception:
        setup_error = traceback.format_exc()
    say("Wine set up in %.0f s%s" % (time.time() - started, " FAILED" if setup_error else ""))
    # What ran the cases: the 32-bit loader on a prefix without a 64-bit side.
    version = subprocess.run([WINE, "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()
    bits = "32-bit" if not os.path.exists(os.path.join(PREFIX, "drive_c/windows/syswow64")) else "64-bit"
    say("%s, %s prefix, kernel %s" % (version, bits, os.uname().machine))
    passed = failed = skipped = 0
    for case in cases:
        started = time.time()
        if setup_error:
            status, output = "fail", ("Wine setup in the guest failed:\n" + setup_error).encode()
        elif case in SKIPPED:
            status, output = "skip", ("not run in the guest: %s\n" % SKIPPED[case]).encode()
        else:
            try:
                child = subprocess.run(
                    [sys.executable, os.path.abspath(__file__), "one", case, "--job", job],
                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                    timeout=CASE_TIMEOUT_S)
                status, output = ("pass" if child.returncode == 0 else "fail"), child.stdout
            except subprocess.TimeoutExpired as expired:
                status = "fail"
                output = (expired.stdout or b"") + (
                    b"\ncase did not end within %d s in the guest\n" % CASE_TIMEOUT_S)
        elapsed = time.time() - started
        output += b"(%.1f s in the guest)\n" % elapsed
        write_outcome(results, case, status, output)
        passed += status == "pass"
        failed += status == "fail"
        skipped += status == "skip"
        say("%s %s (%.1f s)" % (status, case, elapsed))
    stand.teardown()
    summary = "%d passed, %d failed, %d skipped in the guest" % (passed, failed, skipped)
    with open(os.path.join(results, "done"), "w") as f:
        f.write(summary + "\n")
    say(summary)


def run_one(job, case):
    # e2e.py's own "run", on the guest's Wine and with stretched holds.
    e2e.Stand, e2e.Run = GuestStand, GuestRun
    sys.argv = ["e2e.py", "run", case, "--build", os.path.join(job, "build")]
    e2e.main()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["all", "one"])
    parser.add_argument("case", nargs="?")
    parser.add_argument("--job", required=True)
    args = parser.parse_args()
    if args.action == "all":
        run_all(args.job)
    else:
        run_one(args.job, args.case)


if __name__ == "__main__":
    main()
