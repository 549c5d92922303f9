#!/usr/bin/env python3
"""Page speed of the packed demo launcher against Chromium in app mode, on the same pages.

    python3 bench/page_speed/measure.py --launcher BUILD/launcher --pack BUILD/launcher-pack
        [--runs 5] [--settle 3] [--out FILE]

Needs a display (bench/page_speed/run starts Xvfb when there is none) and Debian's chromium.

For each scenario -- the login page, and the demo game -- both programs are started the same way,
alternately, several times:

  time    from just before the process is started to the moment the page's own load beacon
          (/beacon?event=login or ?event=game, sent from the page's load handler) reaches the demo
          server; both clocks are CLOCK_MONOTONIC of this machine
  memory  the proportional set size (PSS) summed over the whole process tree -- the program and
          every process it started (web engine, GPU, zygote, network and crash helpers) -- read
          from /proc/PID/smaps_rollup once the page has been up for --settle seconds

One warm-up run of each program comes first and is not counted: both then start with a used
profile and warm file caches, as a player's second start would. The medians go to a small table
with the ratios launcher / chromium; the targets are 0.7 for both.
"""

import argparse
import datetime
import os
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# Ratios to Chromium the launcher aims at: time to the page, CPU time used by then, memory.
TARGETS = {"time": 0.6, "cpu": 0.5, "pss": 0.6}


# ------------------------------------------------------------------------------ processes ---

def read_stat(pid):
    """(ppid, session id) of a process, or None once it has gone."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            text = f.read().decode("utf-8", "replace")
    except OSError:
        return None
    fields = text[text.rfind(")") + 2:].split()
    return int(fields[1]), int(fields[3])


def process_tree(root):
    """The root and every process that descends from it or runs in its session (helpers that
    detach from their parent by a double fork stay in the session)."""
    stats = {}
    for name in os.listdir("/proc"):
        if name.isdigit():
            stat = read_stat(int(name))
            if stat:
                stats[int(name)] = stat
    tree = {root} if root in stats else set()
    grew = True
    while grew:
        grew = False
        for pid, (ppid, session) in stats.items():
            if pid not in tree and (ppid in tree or session == root):
                tree.add(pid)
                grew = True
    return tree


def memory_kib(pid):
    """(PSS, USS) of a process in KiB. PSS shares each page among the processes that map it,
    so it drops a little when unrelated processes use the same libraries; USS, the pages only
    this process maps, does not."""
    pss = uss = 0
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
                elif line.startswith(("Private_Clean:", "Private_Dirty:")):
                    uss += int(line.split()[1])
    except OSError:
        pass
    return pss, uss


def cpu_seconds(pids):
    """CPU time the processes used so far, with that of their children that ended."""
    ticks = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat", "rb") as f:
                text = f.read().decode("utf-8", "replace")
        except OSError:
            continue
        fields = text[text.rfind(")") + 2:].split()
        ticks += sum(int(v) for v in fields[11:15])  # utime stime cutime cstime
    return ticks / os.sysconf("SC_CLK_TCK")


def stop_tree(proc):
    """Ends the process we started and everything in its session (it leads its own session)."""
    pids = process_tree(proc.pid)
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            pass
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        try:
            proc.wait(timeout=5)
            break
        except subprocess.TimeoutExpired:
            continue
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and any(read_stat(pid) for pid in pids):
        time.sleep(0.05)


# --------------------------------------------------------------------------------- server ---

class Site:
    """The demo operator site on a free loopback port, with its beacon log."""

    def __init__(self, workdir):
        self.log = os.path.join(workdir, "beacons.log")
        open(self.log, "w").close()
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "demo/site/server.py"), "--port", "0",
             "--root", os.path.join(ROOT, "demo/site"), "--quiet", "--beacon-log", self.log],
            stdout=subprocess.PIPE, text=True)
        ready = self.proc.stdout.readline().split()
        if len(ready) != 2 or ready[0] != "ready":
            raise SystemExit("the demo site did not start")
        self.port = int(ready[1])
        self.origin = f"http://127.0.0.1:{self.port}"

    def mark(self):
        return os.path.getsize(self.log)

    def wait_beacon(self, event, since, proc, timeout):
        """Server time of the first beacon named event after offset since; None when the
        program ended or the time ran out first."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with open(self.log) as f:
                f.seek(since)
                for line in f:
                    name, _, stamp = line.strip().partition(" ")
                    if name == event:
                        return float(stamp)
            if proc.poll() is not None:
                return None
            time.sleep(0.005)
        return None

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


# ------------------------------------------------------------------------------- programs ---

def pack_launcher(pack, launcher, site, workdir, first_url, name):
    """The demo skin, pointed at the bench's port, packed into a launcher of its own."""
    skin = os.path.join(workdir, f"skin-{name}")
    shutil.copytree(os.path.join(ROOT, "demo/skin"), skin)
    cg = os.path.join(skin, "cg.txt")
    with open(cg, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("127.0.0.1:8765", f"127.0.0.1:{site.port}")
    text = re.sub(r"(?m)^port=8765$", f"port={site.port}", text)
    text = re.sub(r"(?m)^firstUrl=.*$", f"firstUrl={first_url}", text)
    with open(cg, "w", encoding="utf-8") as f:
        f.write(text)
    exe = os.path.join(workdir, f"星辰远征-{name}")
    subprocess.run([pack, "build", skin, "-o", exe, "--exe", launcher], check=True,
                   stdout=subprocess.DEVNULL)
    return exe


def chromium_command(url, profile, size):
    command = ["chromium", f"--app={url}", f"--user-data-dir={profile}", "--no-first-run",
               "--no-default-browser-check", f"--window-size={size[0]},{size[1]}"]
    if os.geteuid() == 0:
        command.append("--no-sandbox")  # Chromium refuses to start as root otherwise
    return command


def process_name(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            # Chromium rewrites its helpers' command lines into one text with blanks.
            args = f.read().decode("utf-8", "replace").replace("\0", " ").split()
        kind = [a for a in args if a.startswith("--type=")]
        return " ".join([os.path.basename(args[0])] + kind) if args else "?"
    except OSError:
        return "?"


def measure(command, site, event, env, cwd, settle, detail=False, timeout=60):
    """One run: seconds to the beacon, CPU seconds used by then, PSS and USS of the tree in KiB
    and its number of processes; None when the page never sent its beacon."""
    since = site.mark()
    started = time.monotonic()
    proc = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        beacon = site.wait_beacon(event, since, proc, timeout)
        if beacon is None:
            return None
        tree = process_tree(proc.pid)
        cpu = cpu_seconds(tree)
        # What the program's helper processes (the engine's web and network processes, or
        # Chromium's renderers) used: the part a launcher cannot spend less of itself.
        helpers_cpu = cpu_seconds([pid for pid in tree if pid != proc.pid])
        time.sleep(settle)
        if proc.poll() is not None:
            return None
        tree = process_tree(proc.pid)
        sizes = {pid: memory_kib(pid) for pid in tree}
        if detail:
            for pid, (pss, uss) in sorted(sizes.items(), key=lambda item: -item[1][0]):
                print(f"    PSS {pss / 1024:7.1f} MiB  USS {uss / 1024:7.1f} MiB  {process_name(pid)}")
        return {"time": beacon - started, "cpu": cpu, "helpers_cpu": helpers_cpu,
                "pss": sum(v[0] for v in sizes.values()),
                "uss": sum(v[1] for v in sizes.values()), "processes": len(tree)}
    finally:
        stop_tree(proc)


# ---------------------------------------------------------------------------------- table ---

def summary(values):
    if not values:
        return None
    return statistics.median(values), min(values), max(values)


def fmt_time(s):
    return "n/a" if s is None else f"{s[0]:.3f} s ({s[1]:.3f}-{s[2]:.3f})"


def fmt_cpu(s):
    return "n/a" if s is None else f"{s[0]:.2f} s ({s[1]:.2f}-{s[2]:.2f})"


def fmt_mem(s):
    return "n/a" if s is None else f"{s[0] / 1024:.1f} MiB ({s[1] / 1024:.0f}-{s[2] / 1024:.0f})"


def ratio_cell(ours, theirs, target):
    if ours is None or theirs is None or theirs[0] == 0:
        return "n/a", "not measured"
    r = ours[0] / theirs[0]
    if target is None:
        return f"{r:.2f}", ""
    return f"{r:.2f}", (f"<= {target}: " + ("met" if r <= target else "MISSED"))


def chromium_version():
    try:
        out = subprocess.run(["chromium", "--version"], capture_output=True, text=True, timeout=30)
        return out.stdout.strip().splitlines()[-1]
    except (OSError, subprocess.SubprocessError, IndexError):
        return "chromium (version unknown)"


def git_head():
    try:
        head = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"],
                              capture_output=True, text=True).stdout.strip()
        dirty = subprocess.run(["git", "-C", ROOT, "status", "--porcelain"],
                               capture_output=True, text=True).stdout.strip()
        return head + (" with uncommitted changes in the work tree" if dirty else "")
    except OSError:
        return "?"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--launcher", required=True, help="the launcher executable (Release)")
    parser.add_argument("--pack", required=True, help="launcher-pack")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--settle", type=float, default=3.0,
                        help="seconds the page runs before its memory is read")
    parser.add_argument("--out", default=os.path.join(HERE, "last-results.txt"))
    parser.add_argument("--detail", action="store_true", help="PSS of each process of each run")
    parser.add_argument("--bare", help="the bare engine program (bare_engine.c), timed beside")
    parser.add_argument("--launcher-env", action="append", default=[], metavar="NAME=VALUE",
                        help="extra environment of the launcher only (to try engine settings)")
    options = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        raise SystemExit("no DISPLAY (bench/page_speed/run starts Xvfb)")
    if not shutil.which("chromium"):
        raise SystemExit("chromium is not installed (bench/page_speed/run installs it)")

    workdir = tempfile.mkdtemp(prefix="page-speed-")
    site = Site(workdir)
    # Both programs get the same fresh home: no cache, profile or desktop folder of the user's
    # is read or written (the launcher puts a shortcut on the desktop).
    home = os.path.join(workdir, "home")
    os.makedirs(os.path.join(home, "Desktop"))
    env = dict(os.environ, HOME=home, XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local/share"),
               NO_PROXY="127.0.0.1,localhost,::1", no_proxy="127.0.0.1,localhost,::1")
    for proxy in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(proxy, None)

    launcher_env = dict(env)
    for setting in options.launcher_env:
        name, _, value = setting.partition("=")
        launcher_env[name] = value

    login_url = f"{site.origin}/login.html"
    game_url = f"{site.origin}/game/index.html?user=bench&zone=1"
    try:
        login_exe = pack_launcher(options.pack, options.launcher, site, workdir, "", "login")
        game_exe = pack_launcher(options.pack, options.launcher, site, workdir, game_url, "game")
        profile = os.path.join(workdir, "chromium-profile")
        # The launcher's login page area is 685 x 383 inside a 760 x 544 window; the game window
        # is maximised on the work area, all of Xvfb's screen here.
        scenarios = [
            ("login", "login", [login_exe], chromium_command(login_url, profile, (760, 544)),
             [options.bare, login_url, "685", "383"]),
            ("game", "game", [game_exe], chromium_command(game_url, profile, (1920, 1080)),
             [options.bare, game_url, "1920", "1080"]),
        ]
        results = {}
        for name, event, ours, theirs, bare in scenarios:
            sides = [("launcher", ours, launcher_env), ("chromium", theirs, env)]
            if options.bare:
                sides.append(("bare", bare, env))
            for side, command, side_env in sides:
                measure(command, site, event, side_env, workdir, 1.0)  # warm-up, not counted
                results[(name, side)] = []
            for run in range(options.runs):
                for side, command, side_env in sides:
                    got = measure(command, site, event, side_env, workdir, options.settle,
                                  options.detail)
                    print(f"{name:5} {side:8} run {run + 1}: " +
                          ("no beacon" if got is None else
                           f"{got['time']:.3f} s (CPU {got['cpu']:.2f} s), PSS "
                           f"{got['pss'] / 1024:.1f} MiB, USS {got['uss'] / 1024:.1f} MiB "
                           f"in {got['processes']} processes"),
                          flush=True)
                    if got:
                        results[(name, side)].append(got)
    finally:
        site.stop()
        shutil.rmtree(workdir, ignore_errors=True)

    rows = []
    for name, what in (("login", "start -> login page shown"), ("game", "start -> game page loaded")):
        ours = results[(name, "launcher")]
        theirs = results[(name, "chromium")]
        for key, fmt, label in (
                ("time", fmt_time, what),
                ("cpu", fmt_cpu, f"CPU time used by then, {name}"),
                ("helpers_cpu", fmt_cpu, f"  of it in helper processes, {name}"),
                ("pss", fmt_mem, f"PSS of the process tree, {name}"),
                ("uss", fmt_mem, f"  USS (private pages), {name}")):
            a = summary([r[key] for r in ours])
            b = summary([r[key] for r in theirs])
            ratio, verdict = ratio_cell(a, b, TARGETS.get(key))
            row = (label, fmt(a), fmt(b), ratio, verdict)
            if options.bare:
                c = summary([r[key] for r in results[(name, "bare")]])
                row += (fmt(c), ratio_cell(c, b, None)[0])
            rows.append(row)
        count = [summary([r["processes"] for r in results[(name, side)]])
                 for side in ("launcher", "chromium") + (("bare",) if options.bare else ())]
        cells = ["n/a" if not c else str(int(c[0])) for c in count]
        rows.append((f"  processes, {name}", cells[0], cells[1], "", "") +
                    ((cells[2], "") if options.bare else ()))

    header = ("measure", "launcher", "chromium --app", "ratio", "target")
    if options.bare:
        header += ("bare engine", "ratio")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(len(header))]
    lines = [
        f"page speed, {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, "
        f"commit {git_head()}, {options.runs} runs each, median (min-max)",
        f"machine: {os.cpu_count()} cores, {platform.machine()}, {platform.release()}; "
        f"display {os.environ.get('DISPLAY')}; {chromium_version()}",
        "both sides are timed by the page's own load beacon (/beacon?event=login or ?event=game) "
        "arriving at the demo server",
        *(["bare engine: a program that only shows the page in one WebKitGTK view with the "
           "launcher's engine settings (bench/page_speed/bare_engine.c), the floor of any launcher "
           "on this engine"] if options.bare else []),
        "memory: PSS summed over the program and every process it started, "
        f"{options.settle:g} s after the beacon",
        "CPU time and USS are for reading the others: the wall time swings with the machine's "
        "load, CPU time much less; PSS of shared libraries drops while unrelated processes map "
        "them too, USS does not",
        f"load average at the end: {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores",
    ]
    if options.launcher_env:
        lines.append("launcher environment: " + " ".join(options.launcher_env))
    if os.geteuid() == 0:
        lines.append("chromium ran with --no-sandbox (the bench ran as root, where Chromium "
                     "refuses to start with its sandbox)")
    lines.append("")
    for row in [header] + rows:
        lines.append("  ".join(str(cell).ljust(widths[i]) for i, cell in enumerate(row)).rstrip())
    text = "\n".join(lines) + "\n"
    print()
    print(text, end="")
    with open(options.out, "w", encoding="utf-8") as f:
        f.write(text)
    print(f"written to {options.out}")


if __name__ == "__main__":
    main()
