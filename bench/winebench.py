#!/usr/bin/python3
"""Nimbrel.exe against a bare Win32 window under Wine on Xvfb: start-up, memory, idle cost, reaction, launch.
With two --variant options, only start-up and memory of the two, started in turns.

Run through bench/run-bench.sh, which builds the programs first. Everything happens in one Wine prefix on one
private display with one persistent wineserver, and a sleeping helper process keeps Wine's background processes
up, so that every measured start finds the same Wine state.
"""

import argparse
import functools
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path, PureWindowsPath

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "lab"))
import lab  # noqa: E402
import observe  # noqa: E402
from bar import Bar  # noqa: E402
from lab import Failure, log  # noqa: E402

BARE = r"C:\bench\bare\bare.exe"
BARE_DLLS = r"C:\bench\bare\bare-dlls.exe"
IDLE = r"C:\bench\idle.exe"


# The start-up in steps, from Wine's relay trace of one start: each step ends where the line of the next one shows
# (the last one ends at the window's map, seen from X). Wine stamps each line with CLOCK_MONOTONIC_RAW in ms.
STEPS = [
    ("Wine: the process started, the exe mapped", r'Loaded L".*\\Nimbrel\.exe"'),
    ("loader: the imported system DLLs mapped and attached", r"Call KERNEL32\.SetDefaultDllDirectories"),
    ("DLL search narrowed, the bar's folder claimed", r"Ret  KERNEL32\.CreateMutexW"),
    ("InitCommonControlsEx: comctl32 6, the X11 driver, uxtheme", r"Ret  comctl32\.InitCommonControlsEx"),
    ("COM apartment", r"Ret  combase\.CoInitializeEx"),
    ("main window", r"Call shell32\.SHGetSpecialFolderLocation"),
    ("Program Files folders, settings, placement", r"Call KERNEL32\.\w+\(.*microsoft office"),
    ("catalogue and install checks", r"Call user32\.GetFocus"),
    ("GetFocus, the toolbar's first call", r"Ret  user32\.GetFocus"),
    ("pictures: WIC loaded, the strip decoded, the image list", r"CreateWindowExW\(.*ToolbarWindow32"),
    ("toolbar: created and filled, look and style", r"Call user32\.ShowWindow\([0-9a-f]+,00000005\)"),
    ("ShowWindow until X maps the window", None),
]
RELAYED = ("SetDefaultDllDirectories;CreateMutexW;InitCommonControlsEx;CoInitializeEx;SHGetSpecialFolderLocation;"
           "CreateFileW;GetFileAttributesW;GetFocus;CreateWindowExW;ShowWindow")


def step_times(trace, spawn_ms, map_ms):
    """The ms of each step of STEPS in a trace; None for a step whose line is missing (the next one takes its time)."""
    stamped = [(int(m[1]) * 1000 + int(m[2]), line) for m, line in
               ((re.match(r"(\d+)\.(\d{3}):", line), line) for line in trace.splitlines()) if m]
    times, at, since = [], 0, spawn_ms
    for _, pattern in STEPS:
        if pattern is None:
            found, end = at, map_ms
        else:
            found = next((i for i in range(at, len(stamped)) if re.search(pattern, stamped[i][1])), None)
            end = None if found is None else stamped[found][0]
        times.append(None if end is None else end - since)
        if end is not None:
            at, since = found, end
    return times


# Programs that every prefix has, each with icons of its own: what the shortcuts in a planted Links folder start.
SHORTCUT_TARGETS = (r"C:\windows\notepad.exe", r"C:\windows\regedit.exe", r"C:\windows\system32\cmd.exe",
                    r"C:\windows\system32\taskmgr.exe", r"C:\windows\system32\winemine.exe",
                    r"C:\windows\system32\winefile.exe", r"C:\windows\system32\clock.exe",
                    r"C:\Program Files\Windows NT\Accessories\wordpad.exe")


@functools.cache
def shortcuts(bar):
    """A shell link to each of SHORTCUT_TARGETS, written by Wine's own shell link object: one Wine start each, so they
    are made once per lab and copied. Its output is not read: Wine's desktop process, which it may start, would keep
    that open."""
    made = []
    for target in SHORTCUT_TARGETS:
        name = rf"C:\bench\shortcuts\{PureWindowsPath(target).stem}.lnk"
        bar.path(name).parent.mkdir(parents=True, exist_ok=True)
        lab.check(bar.start(lab.DESKTOP, "link", name, target).wait(60) == 0, f"desktop.exe did not write {name}")
        made.append(bar.path(name))
    return made


def plant_links(bar, folder, count):
    """A Links folder of count entries as people have them: every other one a shortcut to a program, the rest
    internet shortcuts."""
    links = folder / "Links"
    links.mkdir()
    for i in range(1, count + 1):
        if i % 2:
            (links / f"Site {i:03}.url").write_bytes(b"[InternetShortcut]\r\nURL=http://example.com/%d/\r\n" % i)
        else:
            link = shortcuts(bar)[i // 2 % len(SHORTCUT_TARGETS)]
            shutil.copy2(link, links / f"{link.stem} {i:03}.lnk")


# What a set-up plants beside the exe: "plain" nothing, "links=N" a Links folder of N entries.
SETUPS = {"plain": lambda bar, folder, count: None, "links": plant_links}


class Variant:
    """An exe started from its own folder C:\\bench\\<key> with the bar's settings and its set-up beside it."""

    def __init__(self, key, label, exe, setup="plain"):
        kind = setup.partition("=")[0]
        if kind not in SETUPS:
            raise SystemExit(f"unknown set-up {setup!r}: {', '.join(SETUPS)}")
        self.key, self.label, self.exe, self.setup = key, label, exe, setup
        self.folder = f"C:\\bench\\{key}"
        self.path = self.folder + "\\Nimbrel.exe"

    def plant(self, bar):
        bar.plant(self.exe, self.path)
        bar.path(self.folder + "\\Nimbrel.Txt").write_bytes(bar.settings)
        kind, _, count = self.setup.partition("=")
        SETUPS[kind](bar, bar.path(self.folder), int(count or 0))

    def __str__(self):
        return self.label + ("" if self.setup == "plain" else f", {self.setup}")


class Bench:
    def __init__(self, args, variants):
        self.args, self.variants = args, variants
        # The bar's own folder is the first variant's: idle, reaction and launch run it.
        self.bar = Bar("bench", folder=variants[0].folder, server=True).open()
        for variant in variants:
            variant.plant(self.bar)
        build = Path(args.build)
        self.bar.plant(build / "bare.exe", BARE)
        self.bar.plant(build / "bare-dlls.exe", BARE_DLLS)
        self.bar.plant(build / "idle.exe", IDLE)
        self.bar.install("Mozilla Firefox/firefox.exe", "stamp.exe")
        self.keeper = self.bar.start(IDLE)
        # Where the pointer rests while start-up and memory are measured: on the band, above the buttons. A Links
        # button may lie under on_band(), and its hot look and tool-tip would draw.
        self.resting = (self.bar.on_band()[0], 2)
        time.sleep(3)

    def close(self):
        self.bar.close()

    # --- one start --------------------------------------------------------------------------------------------------
    def launch(self, path=None, title="Nimbrel", pointer=None):
        ms = self.bar.launch(pointer, path, title)
        image = observe.image_name(self.bar.proc.pid)
        if (path or self.bar.exe_path).lower() not in image.lower():
            raise Failure(f"pid {self.bar.proc.pid} is {image!r}, not {path}")
        return ms

    def stop(self):
        self.bar.end()
        time.sleep(0.7)  # let the wineserver finish the process off before the next start

    def mapped_at(self, mark):
        """Monotonic ns of the bar's window's map among the watcher's events since mark."""
        return next(e[0] for e in self.bar.watcher.since(mark) if e[1] == "map" and e[2] == self.bar.wid)

    def start_and_memory(self, path, title):
        """(ms to the map, RSS MiB and CPU ms of the process once its start settled, ms from the map to the last
        drawing into its window). The CPU time is the start-up's work with little of the waits that a busy machine adds
        to the first figure."""
        mark, spawned = self.bar.watcher.mark(), observe.now_ns()
        ms = self.launch(path, title, self.resting)
        painted = self.settle(spawned, self.mapped_at(mark) / 1e6)
        pid = self.bar.proc.pid
        rss, cpu = observe.rss_kib(pid), observe.cpu_ns(pid)
        self.stop()
        return ms, rss / 1024.0, cpu / 1e6, painted

    def settle(self, spawned, map_ms, timeout=120):
        """Waits 3 s from the spawn, then until the window has had no drawing put on the screen for a second and the
        process has used under 20 ms of CPU in it: by then a Links folder's pictures are on the toolbar and the thread
        that made them is idle. Returns the ms from the map to the last drawing (None: there was none)."""
        bar, pid, samples = self.bar, self.bar.proc.pid, []
        while True:
            now = observe.now_ns()
            samples.append((now, observe.cpu_ns(pid)))
            drawn = [r[0] for r in bar.recorder.since(bar.mark) if r[3] == observe.OP_PUT_IMAGE and r[4] == bar.wid]
            before = next((cpu for at, cpu in reversed(samples) if at <= now - 1e9), None)
            if (now - spawned >= 3e9 and now / 1e6 - max(drawn, default=map_ms) >= 1000 and before is not None
                    and samples[-1][1] - before < 20e6):
                return max(drawn) - map_ms if drawn else None
            if now - spawned > timeout * 1e9:
                raise Failure(f"the start of {bar.proc.pid} did not settle within {timeout} s")
            time.sleep(0.1)

    def rounds(self):
        """Each round starts the variants in turns (the first one goes first in odd rounds, last in even ones), then
        the bare window, then its floor: the bare window with the bar's system libraries. Round 0 warms up."""
        rows = []
        for i in range(self.args.pairs + 1):
            order = self.variants if i % 2 else self.variants[::-1]
            starts = [(v.key, v.path, "Nimbrel") for v in order] + [("bare", BARE, "Bare"), ("floor", BARE_DLLS,
                                                                                            "BareDlls")]
            row = {"first": order[0].key}
            for key, path, title in starts:
                row[key] = self.start_and_memory(path, title)
            log(f"{'warm-up' if i == 0 else f'round {i}'}: " +
                ", ".join(f"{key} {row[key][0]:.1f} ms {row[key][1]:.1f} MiB, last paint {row[key][3] or 0:+.0f} ms"
                          for key, _, _ in starts))
            if i > 0:
                rows.append(row)
        return rows

    def steps(self):
        """Each variant started in turns with Wine's relay trace on, --steps times: the steps' durations."""
        bar, env, output = self.bar, self.bar.env, self.bar.output
        bar.wine("reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/d", RELAYED, "/f")
        bar.env = dict(env, WINEDEBUG="+timestamp,+loaddll,+relay")
        found = {v.key: [] for v in self.variants}
        try:
            for i in range(self.args.steps):
                for v in self.variants if i % 2 else self.variants[::-1]:
                    mark = bar.watcher.mark()
                    with open(bar.prefix / "trace.txt", "wb") as bar.output:
                        ms = self.launch(v.path)
                        raw_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) - observe.now_ns()
                        self.stop()
                    map_ms = (self.mapped_at(mark) + raw_ns) / 1e6
                    times = step_times((bar.prefix / "trace.txt").read_text(errors="replace"), map_ms - ms, map_ms)
                    log(f"traced start of {v.key}: {ms:.1f} ms, steps {times}")
                    found[v.key].append(times)
        finally:
            bar.env, bar.output = env, output
        return found

    # --- idle ---------------------------------------------------------------------------------------------------------
    def idle(self, path, title, pointer, label):
        ms = self.launch(path, title, pointer)
        proc, bar = self.bar.proc, self.bar
        time.sleep(max(0.0, 3.0 - ms / 1000))  # past the first tick and its one-shot timer
        mark = bar.recorder.mark()
        c0, u0, s0 = observe.cpu_ns(proc.pid), observe.cpu_ticks_ms(proc.pid), observe.now_ns()
        time.sleep(self.args.idle)
        c1, u1, s1 = observe.cpu_ns(proc.pid), observe.cpu_ticks_ms(proc.pid), observe.now_ns()
        ticks = len(bar.recorder.queries(bar.client, mark))
        g = bar.geometry()
        self.stop()
        result = {"label": label, "seconds": (s1 - s0) / 1e9, "cpu_ms": (c1 - c0) / 1e6, "cpu_ms_stat": u1 - u0,
                  "pointer_queries": ticks, "window": tuple(g)}
        log(f"idle {label}: {result}")
        return result

    # --- reaction -----------------------------------------------------------------------------------------------------
    # Timer1 ticks on a fixed 2000 ms grid (Wine re-arms window timers from their due time, not from the dispatch).
    # Each tick's GetCursorPos shows on the wire as a QueryPointer of the bar's X client, so the grid is found
    # from a tick that moved the bar (the driver's tick_grid), and every later decision is timed from its own tick.
    # While the pointer rests on the bar, the toolbar's hover tracking also queries the pointer every 400 ms;
    # only queries on the grid count as ticks.
    def moves(self, start_ms, end_ms):
        bar = self.bar
        return [r for r in bar.requests() if r[4] == bar.wid and start_ms <= r[0] <= end_ms and
                (r[3] in (observe.OP_MAP, observe.OP_UNMAP) or
                 (r[3] == observe.OP_CONFIGURE and (r[5] is not None or r[6] is not None)))]

    def decision(self, grid_ms, want):
        """Times one decision from the tick's own pointer query: the query just before the move, on or after the
        grid point (a busy machine can deliver a timer message late; that delay is reported apart as late_ms).
        When the tick read a cached pointer and sent no query, the grid point stands in for it."""
        bar = self.bar
        burst = self.moves(grid_ms, grid_ms + 1000)
        if not burst:
            raise Failure(f"the tick at {grid_ms} ms did not {want} the bar")
        burst = [r for r in burst if r[0] <= burst[0][0] + 50]  # not the topmost release 100 ms later
        place = [(r[5], r[6]) for r in burst if r[3] == observe.OP_CONFIGURE]
        expected = bar.parked_at if want == "park" else bar.docked_rect()[:2]
        if expected not in place:
            raise Failure(f"the tick at {grid_ms} ms moved the bar to {place}, not {expected}")
        queries = [q[0] for q in bar.requests(observe.OP_QUERY_POINTER) if grid_ms - 3 <= q[0] <= burst[0][0]]
        tick_ms = queries[-1] if queries else grid_ms
        seen = [e[0] / 1e6 for e in bar.watcher.since(0)
                if e[2] == bar.wid and e[1] in ("configure", "map", "unmap") and
                tick_ms <= e[0] / 1e6 <= burst[-1][0] + 20]
        result = {"kind": want, "tick_ms": tick_ms, "from_query": bool(queries), "late_ms": tick_ms - grid_ms,
                  "first_ms": burst[0][0] - tick_ms, "last_ms": burst[-1][0] - tick_ms,
                  "seen_ms": round(max(seen) - tick_ms, 2) if seen else None}
        log(f"{want}: {result}")
        return result

    def reaction(self):
        bar = self.bar
        self.launch(pointer=bar.away)
        bar.wait_parked()
        tick0, kind = bar.tick_grid()
        results = [self.decision(tick0, kind)]
        want = "park" if bar.parked() else "dock"  # the last decision; each move asks for the other one
        for _ in range(2 * self.args.reactions - 1):
            want = "dock" if want == "park" else "park"
            now_ms = observe.now_ns() / 1e6
            tick = tick0 + 2000 * (int((now_ms - tick0) // 2000) + 1)
            if tick - now_ms < 1000:
                tick += 2000
            time.sleep((tick - 1000 - now_ms) / 1000.0)  # move half-way between two ticks
            bar.move_pointer(*(bar.at_edge() if want == "dock" else bar.away))
            time.sleep(max(0.0, (tick + 300 - observe.now_ns() / 1e6) / 1000.0))
            results.append(self.decision(tick, want))
        self.stop()
        return results, tick0

    # --- click to launch ----------------------------------------------------------------------------------------------
    def click_to_launch(self):
        bar = self.bar
        self.launch(pointer=bar.away)
        bar.wait_parked()
        bar.recall()
        button = bar.button("Browser").centre
        # Calibration: open the menu once and read where the FireFox item is.
        bar.click_at(*button, settle=0.2)
        item = [i for i in bar.wait_menu() if i.text == "FireFox"]
        bar.keys("Escape")
        if not item:
            raise Failure("no FireFox item in the Browser menu")
        results = []
        for _ in range(self.args.launches):
            if bar.parked():
                bar.recall()
            bar.move_pointer(*button)
            # Start right after a tick so that no tick falls while the pointer is over the open menu.
            bar.next_tick(after=0.1)
            before = len(bar.launches())
            mark = bar.watcher.mark()
            bar.click()
            bar.wait_until("a drop-down menu", lambda: any(e[1] == "map" and e[2] != bar.wid
                                                           for e in bar.watcher.since(mark)), 5, 0.005)
            clicked = bar.click_at(*item[0].centre, settle=0.25)
            bar.wait_until("the recorder's stamp", lambda: len(bar.launches()) > before, 10)
            stamp = int(bar.launches()[-1].split("\t")[0])
            results.append((stamp - clicked) / 1e6)
            log(f"click to launch: {results[-1]:.1f} ms")
            bar.wait_parked(4)
            bar.move_pointer(*bar.on_band())
        self.stop()
        return results


def machine():
    def first(cmd, key):
        out = subprocess.run(cmd, capture_output=True, text=True).stdout
        for line in out.splitlines():
            if line.startswith(key):
                return line.split(":", 1)[1].strip()
        return "?"

    mem_kib = int(first(["cat", "/proc/meminfo"], "MemTotal").split()[0])
    return {"cpu": first(["lscpu"], "Model name"), "cpus": os.cpu_count(), "ram_gib": round(mem_kib / 1048576, 1),
            "debian": Path("/etc/debian_version").read_text().strip(), "kernel": platform.release(),
            "wine": subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip(),
            "load": os.getloadavg()}


def verdict(ok):
    return "met" if ok else "NOT met"


def spread(values, digits=1, prefix="", sign=""):
    """Median (quartiles; min–max) of values."""
    q1, q2, q3 = statistics.quantiles(values, n=4, method="inclusive") if len(values) > 1 else values * 3
    f = lambda v: f"{prefix}{v:{sign}.{digits}f}"
    return f"{f(q2)} ({f(q1)}–{f(q3)}; {f(min(values))}–{f(max(values))})"


def startup_report(rows, variants, limit):
    """Every program's start-up, CPU time and memory over the rounds, each variant against the bare window and its
    floor; with two variants, the second one against the first, pair by pair."""
    med = statistics.median
    keys = [v.key for v in variants] + ["bare", "floor"]
    names = {v.key: f"{v.key}: {v}" for v in variants}
    names.update(bare="bare window", floor="floor: bare window + the bar's system libraries")
    ms, mib, cpu, painted = ({k: [r[k][i] for r in rows] for k in keys} for i in range(4))
    ratio = lambda k, base, of=ms: [a / b for a, b in zip(of[k], of[base])]
    pair = len(variants) == 2
    lines = [f"Per round, ms from the start to the window's map ({', '.join(names[k] for k in keys)}):",
             "| round | first | " + " | ".join(keys) + (" | B / A |" if pair else " |"),
             "|---" * (2 + len(keys) + pair) + "|"]
    for i, r in enumerate(rows, 1):
        lines.append(f"| {i} | {r['first']} | " + " | ".join(f"{r[k][0]:.1f}" for k in keys) +
                     (f" | {r['B'][0] / r['A'][0]:.3f} |" if pair else " |"))
    lines += ["", f"Over {len(rows)} rounds: median (quartiles; min–max); ratios are taken in each round; CPU and "
              "RSS of the process once its start settled (3 s after it at the soonest); last paint: from the map to "
              "the last drawing put into the window.",
              "| program | start-up ms | x bare | x floor | CPU ms | RSS MiB | last paint ms |",
              "|---|---|---|---|---|---|---|"]
    for k in keys:
        against = [spread(ratio(k, base), 2, "x") if base != k else "-" for base in ("bare", "floor")]
        drawn = [v for v in painted[k] if v is not None]
        figures = [spread(ms[k]), *against, spread(cpu[k]), spread(mib[k]), spread(drawn, 0) if drawn else "-"]
        lines.append(f"| {names[k]} | {' | '.join(figures)} |")
    if pair:
        ab = ratio("B", "A")
        by_first = {k: [x for x, r in zip(ab, rows) if r["first"] == k] for k in "AB"}
        lines += ["", f"B / A, pair by pair: start-up {spread(ab, 3, 'x')} over {len(ab)} pairs ("
                  + "; ".join(f"x{med(v):.3f} in the {len(v)} where {k} went first" for k, v in by_first.items() if v)
                  + f"); CPU {spread(ratio('B', 'A', cpu), 3, 'x')}; "
                  f"RSS B - A {spread([y - x for x, y in zip(mib['A'], mib['B'])], sign='+')} MiB."]
        if limit:
            lines.append(f"Goal: start-up B / A at most x{limit:.2f}: {verdict(med(ab) <= limit)}.")
    return lines


def steps_report(steps, variants):
    """The median of each step over the traced starts, per variant."""
    keys = [v.key for v in variants]
    lines = ["", f"Where start-up goes: ms per step, median (min–max) of {len(steps[keys[0]])} starts of each traced "
             "by Wine (+timestamp,+loaddll,+relay)", "| step | " + " | ".join(keys) + " |",
             "|---" * (1 + len(keys)) + "|"]
    for i, (label, _) in enumerate(STEPS + [("whole start-up to the map", None)]):
        cells = []
        for k in keys:
            values = [sum(d for d in run if d is not None) if i == len(STEPS) else run[i] for run in steps[k]]
            values = [v for v in values if v is not None]
            cells.append(f"{statistics.median(values):.0f} ({min(values):.0f}–{max(values):.0f})" if values else "-")
        lines.append(f"| {label} | " + " | ".join(cells) + " |")
    return lines


def report(m, rows, variants, args, idle=None, react=None, launches=None, steps=None):
    med = statistics.median
    lines = [f"Machine: {m['cpu']}, {m['cpus']} CPUs, {m['ram_gib']} GiB RAM, Debian {m['debian']}, "
             f"kernel {m['kernel']}, {m['wine']}, load average at the end {m['load'][0]:.2f}", ""]
    lines += startup_report(rows, variants, args.limit)
    if steps:
        lines += steps_report(steps, variants)
    if idle is None:
        return "\n".join(lines)
    lines.append("")
    s_ratio = [r["A"][0] / r["bare"][0] for r in rows]
    m_diff = [r["A"][1] - r["bare"][1] for r in rows]
    idle_n = [i for i in idle if i["label"].startswith("Nimbrel")]
    idle_b = [i for i in idle if i["label"].startswith("bare")][0]
    table = [("metric", "Nimbrel (median)", "bare (median)", "ratio / difference", "goal", "result")]
    table.append(("start-up to window mapped", f"{med(r['A'][0] for r in rows):.1f} ms",
                  f"{med(r['bare'][0] for r in rows):.1f} ms", f"x{med(s_ratio):.2f} (median of pair ratios)",
                  "<= 1.10 x bare", verdict(med(s_ratio) <= 1.10)))
    table.append(("resident set 3 s after start", f"{med(r['A'][1] for r in rows):.1f} MiB",
                  f"{med(r['bare'][1] for r in rows):.1f} MiB", f"{med(m_diff):+.1f} MiB (median of pair differences)",
                  "<= bare + 6 MiB", verdict(med(m_diff) <= 6.0)))
    for i in idle_n:
        ticks = i["seconds"] / 2.0  # Timer1's period; the queries seen also count the toolbar's hover tracking
        per_tick = i["cpu_ms"] / ticks
        net = (i["cpu_ms"] - idle_b["cpu_ms"] * i["seconds"] / idle_b["seconds"]) / ticks
        table.append((f"idle CPU, {i['label'][8:]}, {i['seconds']:.0f} s = {i['seconds'] / 2:.0f} ticks",
                      f"{i['cpu_ms']:.1f} ms = {per_tick:.3f} ms/tick", f"{idle_b['cpu_ms']:.1f} ms",
                      f"{net:+.3f} ms/tick above bare", "< 1 ms CPU per tick", verdict(per_tick < 1.0)))
    parks = [r["last_ms"] for r in react if r["kind"] == "park"]
    docks = [r["last_ms"] for r in react if r["kind"] == "dock"]
    late = max(r["late_ms"] for r in react)
    cached = sum(1 for r in react if not r["from_query"])
    lines.append(f"Reaction: timed from each tick's own pointer query ({cached} of {len(react)} ticks read a cached "
                 f"pointer and were timed from the 2000 ms grid); ticks came up to {late} ms after the grid point.")
    lines.append("")
    table.append((f"reaction, park (n={len(parks)})", f"{med(parks):.0f} ms (max {max(parks)})", "-", "-",
                  "< 20 ms", verdict(med(parks) < 20)))
    table.append((f"reaction, dock (n={len(docks)})", f"{med(docks):.0f} ms (max {max(docks)})", "-", "-",
                  "< 20 ms", verdict(med(docks) < 20)))
    table.append((f"click to launch (n={len(launches)})", f"{med(launches):.0f} ms (min {min(launches):.0f}, max "
                  f"{max(launches):.0f})", "-", "-", "report", "reported"))
    lines.append("| " + " | ".join(table[0]) + " |")
    lines.append("|" + "---|" * len(table[0]))
    for row in table[1:]:
        lines.append("| " + " | ".join(row) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True, help="Nimbrel.exe")
    parser.add_argument("--build", default=str(lab.HELPERS), help="folder with bare.exe, idle.exe, stamp.exe")
    parser.add_argument("--variant", nargs=3, action="append", metavar=("LABEL", "EXE", "SETUP"),
                        help="twice: the two variants to start in turns (plain, links=N)")
    parser.add_argument("--pairs", type=int, help="rounds measured after the warm-up: 7, or 25 with two variants")
    parser.add_argument("--limit", type=float, help="the most the second variant may take, as a ratio to the first")
    parser.add_argument("--steps", type=int, default=0, help="traced starts of each variant, timing start-up's steps")
    parser.add_argument("--idle", type=float, default=60.0, help="seconds of idle measurement per program")
    parser.add_argument("--reactions", type=int, default=7, help="dock and park decisions measured, each")
    parser.add_argument("--launches", type=int, default=5)
    parser.add_argument("--out", help="write the table and the raw figures here (.md and .json)")
    args = parser.parse_args()
    if args.variant and len(args.variant) != 2:
        parser.error("--variant is given twice or not at all")
    variants = [Variant(key, *v) for key, v in zip("AB", args.variant or [("this build", args.exe, "plain")])]
    args.pairs = args.pairs or (25 if args.variant else 7)
    started = time.time()
    bench = Bench(args, variants)
    idle = react = launches = None
    try:
        log(f"display {bench.bar.display}, prefix {bench.bar.prefix}")
        rows = bench.rounds()
        steps = bench.steps() if args.steps else None
        if len(variants) == 1:
            idle = [bench.idle(None, "Nimbrel", None, "Nimbrel docked, pointer resting on the bar"),
                    bench.idle(None, "Nimbrel", bench.bar.away, "Nimbrel parked, pointer resting below the band"),
                    bench.idle(BARE, "Bare", None, "bare window")]
            react, _ = bench.reaction()
            launches = bench.click_to_launch()
    finally:
        bench.close()
    text = report(machine(), rows, variants, args, idle, react, launches, steps)
    text += f"\n\nWhole run: {time.time() - started:.0f} s."
    print("\n" + text)
    if args.out:
        Path(args.out + ".md").write_text(text + "\n")
        raw = {"variants": {v.key: {"label": v.label, "exe": v.exe, "setup": v.setup} for v in variants},
               "rounds": rows, "steps": steps, "idle": idle, "reaction": react, "launch_ms": launches}
        Path(args.out + ".json").write_text(json.dumps(raw, indent=1, default=str))
    return 0


if __name__ == "__main__":
    sys.exit(main())
