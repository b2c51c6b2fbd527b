#!/usr/bin/python3
"""End-to-end cases: the real launchers under Wine, started by driver.exe,
starting probe.exe, which records how it was started.

  e2e.py list                       names of the cases
  e2e.py setup  --build DIR         Wine prefix, Xvfb and a persistent wineserver
  e2e.py run CASE --build DIR       one case
  e2e.py teardown --build DIR
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
BOX_CAPTION = b"Hopla"
BOX_TEXT = bytes.fromhex(
    "90DD92E8837483408343838B82F093C782DD8D9E82DF82DC82B982F182C582B582BD8142")
IDOK = "1"
SW_SHOWDEFAULT, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED = 10, 2, 3
STARTF_USESHOWWINDOW = 1


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Stand:
    """The Wine prefix and the programs of one build tree."""

    def __init__(self, build, wine=WINE, wineserver=WINESERVER):
        self.wine, self.wineserver = wine, wineserver
        self.build = os.path.abspath(build)
        self.root = os.path.join(self.build, "e2e")
        self.prefix = os.path.join(self.root, "wineprefix")
        self.state_file = os.path.join(self.root, "state.json")
        self.hoplax = os.path.join(self.build, "apps", "hoplax.exe")
        self.hoplarl = os.path.join(self.build, "apps", "hoplarl.exe")
        self.probe = os.path.join(self.build, "tests", "e2e", "probe.exe")
        self.driver = os.path.join(self.build, "tests", "e2e", "driver.exe")

    def env(self, display=None):
        env = dict(os.environ)
        env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=",
                   LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
        if display is None and os.path.exists(self.state_file):
            with open(self.state_file) as f:
                display = json.load(f)["display"]
        if display is not None:
            env["DISPLAY"] = ":%s" % display
        return env

    def setup(self):
        self.teardown()
        os.makedirs(self.root, exist_ok=True)
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=[write_fd], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            display = pipe.readline().strip()
        if not display:
            sys.exit("Xvfb did not start")
        with open(self.state_file, "w") as f:
            json.dump({"display": display, "xvfb": xvfb.pid}, f)
        env = self.env(display)
        started = time.time()
        quiet = dict(env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            subprocess.run([self.wine, "wineboot", "-i"], check=True, timeout=300, **quiet)
        # A persistent server, so the cases do not each pay for its start; it
        # must not hold CTest's output open.
        subprocess.run([self.wineserver, "-k"], **quiet)
        subprocess.run([self.wineserver, "-w"], timeout=60, **quiet)
        subprocess.run([self.wineserver, "-p"], check=True, **quiet)
        # Starts the session's services now, away from any case's output.
        subprocess.run([self.wine, "wineboot"], check=True, timeout=120, **quiet)
        print("Wine prefix %s ready in %.1f s, display :%s" % (self.prefix, time.time() - started,
                                                             display))

    def teardown(self):
        if not os.path.exists(self.state_file):
            return
        subprocess.run([self.wineserver, "-k"], env=self.env(), stderr=subprocess.DEVNULL)
        with open(self.state_file) as f:
            state = json.load(f)
        try:
            os.killpg(state["xvfb"], signal.SIGTERM)
        except ProcessLookupError:
            pass
        os.remove(self.state_file)


class Run:
    """One launcher run in a folder of its own."""

    def __init__(self, stand, name):
        self.stand = stand
        self.dir = os.path.join(stand.root, "cases", name)
        shutil.rmtree(self.dir, ignore_errors=True)
        self.records = os.path.join(self.dir, "records")
        os.makedirs(self.records)
        self.failures = []
        self.snapshot = None
        self.changed = {}  # relative path -> the bytes a case expects there afterwards

    def path(self, relative):
        return os.path.join(self.dir, relative)

    def write(self, relative, data):
        if isinstance(data, str):
            data = data.encode("cp932")
        full = self.path(relative)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)
        return full

    def probe_line(self, name, args=""):
        return "%s %s" % (winpath(self.stand.probe), name) + (" " + args if args else "")

    def files(self):
        """Every file of the case but the harness's own, with its bytes."""
        found = {}
        for folder, _, names in os.walk(self.dir):
            if folder.startswith(self.records):
                continue
            for name in names:
                full = os.path.join(folder, name)
                relative = os.path.relpath(full, self.dir)
                if relative not in ("request.txt", "report.txt", "wine.log"):
                    with open(full, "rb") as f:
                        found[relative] = f.read()
        return found

    def expect_nothing_lost(self):
        """No launcher writes, renames or removes a file: every script is
        byte for byte what it was, but where a case changed it on purpose."""
        if self.snapshot is None:
            return
        want = dict(self.snapshot, **self.changed)
        now = self.files()
        for relative in sorted(set(want) | set(now)):
            self.check(want.get(relative) == now.get(relative), "%s changed" % relative)

    def launch(self, command_line, cwd=None, hold_open=None, hold_share=None, try_open=None,
               timeout_ms=20000):
        if isinstance(command_line, str):
            command_line = command_line.encode("cp932")
        lines = ["cmdline=" + command_line.hex(), "timeout_ms=%d" % timeout_ms]
        if cwd:
            lines.append("cwd=" + winpath(cwd).encode("cp932").hex())
        if hold_open:
            lines.append("hold_open=" + winpath(hold_open).encode("cp932").hex())
        if hold_share is not None:
            lines.append("hold_share=%d" % hold_share)
        if try_open:
            lines.append("try_open=" + winpath(try_open).encode("cp932").hex())
        request, report = self.path("request.txt"), self.path("report.txt")
        self.write("request.txt", "\n".join(lines) + "\n")
        if self.snapshot is None:
            self.snapshot = self.files()
        env = self.stand.env()
        env["HOPLA_PROBE_DIR"] = winpath(self.records)
        # Wine's own helper processes may outlive the run: none of them may
        # hold CTest's output open.
        with open(self.path("wine.log"), "wb") as log:
            subprocess.run([self.stand.wine, self.stand.driver, winpath(request), winpath(report)], env=env,
                           check=True, timeout=timeout_ms / 1000 + 30, stdin=subprocess.DEVNULL,
                           stdout=log, stderr=log)
        with open(report, "rb") as f:
            self.report = dict(line.split(b"=", 1) for line in f.read().splitlines())
        return self.report

    def starts(self, expected_count, settle=1.0, timeout=15.0):
        """Probe records once expected_count probes have ended, in the order
        the launcher created them (Wine hands out process ids in that order;
        a probe's own start time can come later than the next one's)."""
        deadline = time.time() + timeout
        while True:
            records = []
            for name in os.listdir(self.records):
                with open(os.path.join(self.records, name), "rb") as f:
                    records.append(dict(l.split(b"=", 1) for l in f.read().splitlines()))
            ended = [r for r in records if b"end" in r]
            if len(ended) >= expected_count and len(ended) == len(records) or time.time() > deadline:
                break
            time.sleep(0.1)
        # Whatever more would start has had the time to do so.
        time.sleep(settle)
        records = []
        for name in os.listdir(self.records):
            with open(os.path.join(self.records, name), "rb") as f:
                r = dict(l.split(b"=", 1) for l in f.read().splitlines())
            records.append({
                "pid": int(name.split("-")[1].split(".")[0]),
                "start": int(r[b"start"]), "idle": int(r.get(b"idle", b"0")),
                "flags": int(r[b"flags"]), "show": int(r[b"show"]),
                "cwd": r[b"cwd"].decode("cp932"),
                "cmdline": bytes.fromhex(r[b"cmdline"].decode())})
        records.sort(key=lambda r: r["pid"])
        for r in records:
            tail = r["cmdline"].split(b" ", 1)
            r["name"] = tail[1].split(b" ")[0].decode("cp932") if len(tail) > 1 else ""
            r["args"] = tail[1] if len(tail) > 1 else b""
        return records

    def check(self, condition, what):
        if not condition:
            self.failures.append(what)

    def expect_ended_cleanly(self):
        self.check(self.report.get(b"timeout") == b"0", "launcher did not end in time")
        self.check(self.report.get(b"exit") == b"0", "exit code %r" % self.report.get(b"exit"))

    def expect_no_window(self):
        self.expect_ended_cleanly()
        self.check(self.report.get(b"windows") == b"0",
                   "launcher showed %s windows" % self.report.get(b"windows"))

    def expect_error_box(self):
        self.expect_ended_cleanly()
        self.check(self.report.get(b"windows") == b"1",
                   "want exactly one window, the error box; saw %s" % self.report.get(b"windows"))
        field = lambda key: bytes.fromhex(self.report.get(b"window0." + key, b"").decode())
        self.check(field(b"class") == b"#32770", "box class %r" % field(b"class"))
        self.check(field(b"caption") == BOX_CAPTION, "box caption %r" % field(b"caption"))
        self.check(field(b"text") == BOX_TEXT, "box text %s" % field(b"text").hex())
        buttons = self.report.get(b"window0.buttons", b"").decode()
        self.check(buttons == IDOK, "box buttons %r, want OK alone" % buttons)

    def expect_starts(self, expected, **kwargs):
        """expected: (name, args or None for any, show) per start, in order of start."""
        records = self.starts(len(expected), **kwargs)
        got = [(r["name"], r["args"], r["show"]) for r in records]
        matches = len(got) == len(expected) and all(
            g[0] == e[0] and g[2] == e[2] and (e[1] is None or g[1] == e[1])
            for g, e in zip(got, expected))
        self.check(matches, "starts %r, want %r" % (got, expected))
        for r in records:
            self.check(r["flags"] == STARTF_USESHOWWINDOW, "%s: dwFlags %d" % (r["name"], r["flags"]))
        return records


CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


# --- plain launcher --------------------------------------------------------

@case
def plain_script_from_unquoted_path_with_blanks(run, s):
    script = run.write("dir with blanks/my script.txt",
                       run.probe_line("A", 'one "two three"  ') + "\r\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    records = run.expect_starts([("A", b'A one "two three"  ', SW_SHOWDEFAULT)])
    # The started program inherits the launcher's current directory.
    run.check(records and records[0]["cwd"].rstrip("\\") == winpath(run.dir),
              "cwd %r" % (records and records[0]["cwd"]))


@case
def plain_shift_jis_script_path_and_line(run, s):
    # 表 is 0x95 0x5C in code page 932: a trail byte that is a backslash.
    script = run.write("表示/起動.ini", run.probe_line("A", "表示.txt") + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    run.expect_starts([("A", "A 表示.txt".encode("cp932"), SW_SHOWDEFAULT)])


@case
def plain_default_script_in_current_directory(run, s):
    run.write("work/hoplax.ini", run.probe_line("A") + "\n")
    run.launch('"%s"' % winpath(s.hoplax), cwd=run.path("work"))
    run.expect_no_window()
    run.expect_starts([("A", b"A", SW_SHOWDEFAULT)])


@case
def plain_no_default_script_shows_error_box(run, s):
    os.makedirs(run.path("empty"))
    run.launch('"%s"' % winpath(s.hoplax), cwd=run.path("empty"))
    run.expect_error_box()
    run.expect_starts([])


@case
def plain_empty_script_starts_nothing(run, s):
    script = run.write("empty.ini", b"")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    run.expect_starts([])


# How the launcher's own command line is cut: the whole tail is the path.
COMMAND_LINE_FORMS = {
    "plain_quoted_path_shows_error_box": ('"{exe}" "{script}"', False),
    "plain_path_with_further_word_shows_error_box": ('"{exe}" {script} extra', False),
    # The blank reaches CreateFileA, and Windows drops trailing blanks of a name.
    "plain_path_with_trailing_blank_runs": ('"{exe}" {script} ', True),
    "plain_tail_right_behind_quoted_program": ('"{exe}"{script}', True),
    "plain_blanks_and_tabs_before_the_tail": ('"{exe}" \t  {script}', True),
}


def command_line_case(name, form, runs):
    def command_line(run, s):
        script = run.write("s.ini", run.probe_line("A") + "\n")
        run.launch(form.format(exe=winpath(s.hoplax), script=winpath(script)), cwd=run.dir)
        if runs:
            run.expect_no_window()
            run.expect_starts([("A", b"A", SW_SHOWDEFAULT)])
        else:
            run.expect_error_box()
            run.expect_starts([])
    command_line.__name__ = name
    return command_line


for _name, (_form, _runs) in COMMAND_LINE_FORMS.items():
    case(command_line_case(_name, _form, _runs))


@case
def plain_show_modes(run, s):
    script = run.write("s.ini", "\n".join([
        ":MINIMIZE", "# a comment", ":UNKNOWN", run.probe_line("A"),
        run.probe_line("B"), ":MINIMIZE", ":MAXIMIZE", run.probe_line("C"),
        ":minimize", run.probe_line("D")]) + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    run.expect_starts([("A", b"A", SW_SHOWMINIMIZED), ("B", b"B", SW_SHOWDEFAULT),
                       ("C", b"C", SW_SHOWMAXIMIZED), ("D", b"D", SW_SHOWDEFAULT)])


@case
def plain_wait_waits_for_the_last_program_only(run, s):
    script = run.write("s.ini", "\n".join([
        run.probe_line("A", "/hold:4000"), run.probe_line("B", "/hold:1500"), ":WAIT",
        run.probe_line("C")]) + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    records = run.expect_starts([("A", None, 10), ("B", None, 10), ("C", b"C", 10)])
    if len(records) == 3:
        a, b, c = records
        run.check(c["start"] >= b["idle"], "C started before B was ready for input")
        run.check(c["start"] < a["idle"], "C waited for A as well")


@case
def plain_no_wait_starts_at_once(run, s):
    script = run.write("s.ini", "\n".join([
        run.probe_line("A", "/hold:2000"), run.probe_line("B")]) + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    records = run.expect_starts([("A", None, 10), ("B", b"B", 10)])
    if len(records) == 2:
        run.check(records[1]["start"] < records[0]["idle"], "B waited for A without :WAIT")


@case
def plain_wait_after_failed_start_returns_at_once(run, s):
    script = run.write("s.ini", "\n".join([
        run.probe_line("A", "/hold:5000"), "Z:\\no\\such\\program.exe", ":WAIT",
        run.probe_line("B")]) + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    records = run.expect_starts([("A", None, 10), ("B", b"B", 10)])
    if len(records) == 2:
        run.check(records[1]["start"] < records[0]["idle"], "waited on an earlier program")


@case
def plain_end_and_text_mode(run, s):
    # CR LF and LF line ends, a zero byte dropped, a lone CR kept, a blank
    # before :END makes a command line, :END stops before D.
    data = b"".join([
        run.probe_line("A", "x").encode(), b"\r\n",
        run.probe_line("B", "y\rz").encode(), b"\n",
        run.probe_line("C").encode()[:4], b"\0", run.probe_line("C").encode()[4:], b"\r\n",
        b" :END\n:END\n", run.probe_line("D").encode(), b"\n"])
    script = run.write("s.ini", data)
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    run.expect_starts([("A", b"A x", 10), ("B", b"B y\rz", 10), ("C", b"C", 10)])


@case
def plain_ctrl_z_ends_the_script(run, s):
    data = (run.probe_line("A") + "\n" + run.probe_line("B") + "\x1a\n" +
            run.probe_line("C") + "\n").encode()
    script = run.write("s.ini", data)
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_starts([("A", b"A", 10), ("B", b"B", 10)])


@case
def plain_script_held_open_for_writing(run, s):
    script = run.write("s.ini", run.probe_line("A") + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir, hold_open=script)
    run.check(run.report.get(b"held_open") == b"1", "driver could not hold the script open")
    run.expect_no_window()
    run.expect_starts([("A", b"A", 10)])


# --- relay launcher --------------------------------------------------------

def install_relay(run, s, relative="app/hoplarl.exe"):
    full = run.path(relative)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    shutil.copy(s.hoplarl, full)
    return full


def run_relay(run, s, script, tail, relative="app/hoplarl.exe"):
    exe = install_relay(run, s, relative)
    run.write(os.path.join(os.path.dirname(relative), "hoplarl.ini"), script)
    os.makedirs(run.path("elsewhere"), exist_ok=True)
    command = '"%s"' % winpath(exe) + (" " + tail if tail else "")
    run.launch(command, cwd=run.path("elsewhere"))


@case
def relay_quoted_tail_reaches_the_program(run, s):
    run_relay(run, s, run.probe_line("A", "%1") + "\r\n" + run.probe_line("B", "--file=%1 %1"),
              '"C:\\My Files\\a b.txt"')
    run.expect_no_window()
    run.expect_starts([("A", b'A "C:\\My Files\\a b.txt"', 10),
                       ("B", b'B --file="C:\\My Files\\a b.txt" %1', 10)])


@case
def relay_without_argument_removes_the_first_token(run, s):
    run_relay(run, s, run.probe_line("A", "%1 %1 x") + "\n", "")
    run.expect_no_window()
    run.expect_starts([("A", b"A  %1 x", 10)])


@case
def relay_tail_end_stops_the_script(run, s):
    run_relay(run, s, "\n".join([run.probe_line("A"), "%1", run.probe_line("B")]) + "\n", ":END")
    run.expect_starts([("A", b"A", 10)])


@case
def relay_tail_comment_makes_a_comment(run, s):
    run_relay(run, s, "\n".join(["%1 " + run.probe_line("A"), run.probe_line("B", "%1")]) + "\n",
              "#x")
    run.expect_starts([("B", b"B #x", 10)])


@case
def relay_tail_wait_makes_a_directive(run, s):
    run_relay(run, s, "\n".join([run.probe_line("A", "/hold:1500"), "%1", run.probe_line("B")]),
              ":WAIT")
    records = run.expect_starts([("A", None, 10), ("B", b"B", 10)])
    if len(records) == 2:
        run.check(records[1]["start"] >= records[0]["idle"], "B started before A was ready")


@case
def relay_renamed_program_reads_hoplarl_ini(run, s):
    run_relay(run, s, run.probe_line("A", "%1") + "\n", "x", relative="app/other name.exe")
    run.expect_no_window()
    run.expect_starts([("A", b"A x", 10)])


@case
def relay_missing_script_shows_error_box(run, s):
    exe = install_relay(run, s)
    run.write("elsewhere/hoplarl.ini", run.probe_line("A") + "\n")  # in the current directory
    run.launch('"%s" x' % winpath(exe), cwd=run.path("elsewhere"))
    run.expect_error_box()
    run.expect_starts([])


@case
def relay_at_the_root_of_a_drive(run, s):
    # A drive letter of its own, mapped to this case's folder.
    letter = "t:"
    link = os.path.join(s.prefix, "dosdevices", letter)
    if os.path.lexists(link):
        os.remove(link)
    os.makedirs(run.path("root"))
    os.symlink(run.path("root"), link)
    try:
        shutil.copy(s.hoplarl, run.path("root/hoplarl.exe"))
        run.write("root/hoplarl.ini", run.probe_line("A", "%1") + "\n")
        run.launch('T:\\hoplarl.exe "T:\\a file.txt"', cwd=run.dir)
        run.expect_no_window()
        run.expect_starts([("A", b'A "T:\\a file.txt"', 10)])
    finally:
        os.remove(link)

# --- faults and limits -----------------------------------------------------

@case
def fault_script_locked_by_another_program_shows_error_box(run, s):
    script = run.write("s.ini", run.probe_line("A") + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir, hold_open=script,
               hold_share=0)
    run.check(run.report.get(b"held_open") == b"1", "driver could not lock the script")
    run.expect_error_box()
    run.expect_starts([])


@case
def fault_directory_as_script_shows_error_box(run, s):
    os.makedirs(run.path("folder.ini"))
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(run.path("folder.ini"))), cwd=run.dir)
    run.expect_error_box()
    run.expect_starts([])


def long_path_case(length):
    def long_script_path(run, s):
        # The launcher opens exactly what the system opens: the script runs
        # when CreateFileA can open that path, and the box shows when not.
        room = length - len(winpath(run.dir)) - len("\\") - len("\\s.ini")
        # Folders of at most 200 bytes each, as the file system wants.
        folders = "".join("/" if i % 201 == 200 and i < room - 1 else "p" for i in range(room))
        relative = folders + "/s.ini"
        script = run.write(relative, run.probe_line("A") + "\n")
        run.check(len(winpath(script)) == length,
                  "script path of %d bytes, want %d" % (len(winpath(script)), length))
        run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir, try_open=script)
        if run.report.get(b"openable") == b"1":
            run.expect_no_window()
            run.expect_starts([("A", b"A", 10)])
        else:
            run.expect_error_box()
            run.expect_starts([])
    long_script_path.__name__ = "fault_script_path_of_%d_bytes" % length
    return long_script_path


for _length in (300, 600):
    case(long_path_case(_length))


@case
def fault_ten_megabyte_script_of_comments(run, s):
    comment = b"#" + b"-" * 98 + b"\r\n"
    data = comment * (10 * 1024 * 1024 // len(comment)) + run.probe_line("A").encode() + b"\n"
    script = run.write("big.ini", data)
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir, timeout_ms=240000)
    run.expect_no_window()
    run.expect_starts([("A", b"A", 10)])
    first, peak = int(run.report[b"memory_settled"]), int(run.report[b"memory_peak"])
    run.check(first > 0, "no memory figures for the launcher")
    # Reading byte by byte holds nothing of the script: no growth beyond noise.
    run.check(peak - first < 1024 * 1024, "private memory grew from %d to %d" % (first, peak))


@case
def fault_thousand_missing_programs(run, s):
    lines = ["Z:\\no\\such\\program%d.exe /x" % i for i in range(1000)]
    script = run.write("s.ini", "\n".join(lines + [":WAIT", run.probe_line("A")]) + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir, timeout_ms=120000)
    run.expect_no_window()
    run.expect_starts([("A", b"A", 10)])


@case
def fault_line_lengths(run, s):
    def line_of(name, length):
        line = run.probe_line(name, "")
        line += " " + "x" * (length - len(line) - 1)
        assert len(line) == length
        return line
    long1023 = line_of("L1023", 1023)
    script = run.write("s.ini", "\n".join([
        long1023, line_of("L1024", 1024), line_of("L5000", 5000),
        "#" + "c" * 3000, run.probe_line("Z")]) + "\n")
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    records = run.expect_starts([("L1023", None, 10), ("Z", b"Z", 10)])
    if records:
        run.check(records[0]["cmdline"] == long1023.encode(), "the 1023-byte line was not kept whole")


@case
def fault_script_changed_while_waiting(run, s):
    script = run.path("s.ini")
    original = "\n".join([run.probe_line("A", "/hold:1000 /append:" + winpath(script)), ":WAIT",
                          run.probe_line("B")]) + "\n"
    addition = run.probe_line("C") + "\n"
    run.write("s.ini", original)
    run.write("s.ini.add", addition)
    run.launch('"%s" %s' % (winpath(s.hoplax), winpath(script)), cwd=run.dir)
    run.expect_no_window()
    # The launcher reads on from where it was, into what was added.
    run.expect_starts([("A", None, 10), ("B", b"B", 10), ("C", b"C", 10)])
    run.changed["s.ini"] = (original + addition).encode("cp932")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["list", "setup", "run", "teardown"])
    parser.add_argument("case", nargs="?")
    parser.add_argument("--build")
    args = parser.parse_args()
    if args.action == "list":
        print(";".join(CASES))
        return
    stand = Stand(args.build)
    if args.action == "setup":
        stand.setup()
    elif args.action == "teardown":
        stand.teardown()
    else:
        run = Run(stand, args.case)
        CASES[args.case](run, stand)
        run.expect_nothing_lost()
        for failure in run.failures:
            print("FAIL: %s" % failure)
        if run.failures:
            sys.exit(1)
        print("ok: %s" % args.case)


if __name__ == "__main__":
    main()
