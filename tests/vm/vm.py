#!/usr/bin/python3
"""The end-to-end cases on the 32-bit programs, in an emulated x86-64 machine
whose kernel runs 32-bit code (this one's cannot), under 32-bit Wine.

  vm.py boot --build DIR --timeout S
                                 one boot of the guest runs every case
  vm.py result CASE --build DIR  that case's outcome from the boot
  vm.py guest --image DIR --payload IMG [--persist] --serial LOG --timeout S
                                 one boot with a job disk (image.sh uses it)
"""
import argparse
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import e2e  # noqa: E402
import guest_cases  # noqa: E402

QEMU = "qemu-system-x86_64"
SKIP = 77
# A guest that prints nothing for this long is taken for hung.
SILENCE_S = 420


def fail(message):
    print("vm: " + message, file=sys.stderr)
    sys.exit(1)


def die_with_parent():
    # qemu must not outlive a harness that CTest has killed on its timeout.
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)


def guest(image, payload, serial, timeout, persist=False, echo=True):
    """Boots the guest on its job disk; True if the job ended with status 0."""
    if not shutil.which(QEMU):
        fail("%s is missing: run scripts/setup.sh" % QEMU)
    accel = "kvm:tcg" if os.access("/dev/kvm", os.R_OK | os.W_OK) else "tcg"
    command = [
        QEMU, "-machine", "q35,accel=" + accel, "-smp", "2", "-m", "4096",
        "-nodefaults", "-no-reboot", "-display", "none", "-serial", "stdio", "-monitor", "none",
        "-kernel", os.path.join(image, "vmlinuz"), "-initrd", os.path.join(image, "initrd.img"),
        "-append", "root=/dev/vda rw console=ttyS0 init=/usr/local/sbin/hopla-init panic=-1 "
                   "quiet loglevel=3",
        "-drive", "file=%s,format=raw,if=virtio%s" % (os.path.join(image, "root.img"),
                                                      "" if persist else ",snapshot=on"),
        "-drive", "file=%s,format=raw,if=virtio" % payload]
    started = time.time()
    try:
        qemu = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, preexec_fn=die_with_parent)
    except OSError as error:
        fail("cannot start %s: %s" % (QEMU, error))
    last_output = [time.time()]
    job_status = [None]

    def pump():
        with open(serial, "wb") as log:
            for line in qemu.stdout:
                log.write(line)
                log.flush()
                last_output[0] = time.time()
                text = line.decode("utf-8", "replace").rstrip()
                if text.startswith("hopla-vm: job ended with status "):
                    job_status[0] = int(text.rsplit(" ", 1)[1])
                if echo and (text.startswith("hopla-vm:") or QEMU in text):
                    print("%6.1f s  %s" % (time.time() - started, text), flush=True)

    reader = threading.Thread(target=pump, daemon=True)
    reader.start()
    why = None
    while qemu.poll() is None:
        time.sleep(1)
        if time.time() - started > timeout:
            why = "did not power off within %d s" % timeout
        elif time.time() - last_output[0] > SILENCE_S:
            why = "printed nothing for %d s" % SILENCE_S
        if why:
            qemu.kill()
            qemu.wait()
            break
    reader.join(10)
    if why:
        print("vm: the guest %s; killed (serial console in %s)" % (why, serial))
        return False
    if qemu.returncode != 0:
        print("vm: %s ended with exit code %d (serial console in %s)"
              % (QEMU, qemu.returncode, serial))
        return False
    if job_status[0] is None:
        print("vm: the guest ran no job (serial console in %s)" % serial)
        return False
    print("vm: guest powered off after %.0f s, job status %d" % (time.time() - started,
                                                                 job_status[0]))
    return job_status[0] == 0


def paths(build):
    work = os.path.join(os.path.abspath(build), "vm")
    return work, os.path.join(work, "results")


def boot(build, timeout):
    work, results = paths(build)
    # Outcomes of an earlier boot must never stand for this one.
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    found = subprocess.run([os.path.join(HERE, "image.sh"), "--path"], stdout=subprocess.PIPE,
                           text=True)
    if found.returncode != 0:
        fail("no guest image (the test vm.image builds it)")
    image = found.stdout.strip()
    overlay = os.environ.get("TMPDIR", "/var/tmp")
    for where, need_gb in ((overlay, 2), (work, 2)):
        free = shutil.disk_usage(where).free / 2**30
        if free < need_gb:
            fail("only %.1f GB free in %s, the guest needs %d" % (free, where, need_gb))

    # The job disk: the programs where e2e.py looks for them in a build tree,
    # e2e.py itself, the guest's runner and the cases to run.
    stand = e2e.Stand(build)
    stage = os.path.join(work, "stage")
    guest_build = os.path.join(stage, "build")
    for program in (stand.hoplax, stand.hoplarl, stand.probe, stand.driver):
        if not os.path.exists(program):
            fail("%s is not built" % program)
        target = os.path.join(guest_build, os.path.relpath(program, stand.build))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(program, target)
    harness = os.path.join(stage, "harness")
    os.makedirs(harness)
    shutil.copy(e2e.__file__, harness)
    shutil.copy(guest_cases.__file__, harness)
    with open(os.path.join(stage, "cases.txt"), "w") as f:
        f.write("\n".join(e2e.CASES) + "\n")
    with open(os.path.join(stage, "job"), "w") as f:
        f.write("exec python3 /hopla/harness/guest_cases.py all --job /hopla\n")
    payload = os.path.join(work, "job.img")
    subprocess.run(["mkfs.ext4", "-q", "-F", "-d", stage, payload, "1G"], check=True,
                   stdout=subprocess.DEVNULL)

    ok = guest(image, payload, os.path.join(work, "serial.log"), timeout)
    # What the guest wrote, the cases' folders included, for a look afterwards.
    for name in ("results", "build/e2e/cases"):
        target = os.path.join(work, "out", name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        subprocess.run(["debugfs", "-R", "rdump /%s %s" % (name, os.path.dirname(target)),
                        payload], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if os.path.isdir(os.path.join(work, "out", "results")):
        os.rename(os.path.join(work, "out", "results"), results)
    if not ok or not os.path.exists(os.path.join(results, "done")):
        with open(os.path.join(work, "serial.log"), "rb") as f:
            sys.stdout.write(b"".join(f.readlines()[-40:]).decode("utf-8", "replace"))
        fail("the guest did not run the cases to the end")
    with open(os.path.join(results, "done")) as f:
        print(f.read().rstrip())


def result(build, case):
    results = paths(build)[1]
    path = os.path.join(results, case + ".txt")
    if not os.path.exists(path):
        fail("no outcome of %s from the guest (see %s)" % (case, os.path.dirname(results)))
    with open(path, "rb") as f:
        status, _, output = f.read().partition(b"\n")
    sys.stdout.write(output.decode("utf-8", "replace"))
    if status == b"skip":
        sys.exit(SKIP)
    sys.exit(0 if status == b"pass" else 1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["boot", "result", "guest"])
    parser.add_argument("case", nargs="?")
    parser.add_argument("--build")
    parser.add_argument("--image")
    parser.add_argument("--payload")
    parser.add_argument("--serial")
    parser.add_argument("--timeout", type=int, default=3600)
    parser.add_argument("--persist", action="store_true")
    args = parser.parse_args()
    if args.action == "boot":
        boot(args.build, args.timeout)
    elif args.action == "result":
        result(args.build, args.case)
    else:
        sys.exit(0 if guest(args.image, args.payload, args.serial, args.timeout,
                            persist=args.persist) else 1)


if __name__ == "__main__":
    main()
