#!/usr/bin/python3
"""Nimbrel.exe against a bare Win32 window under Wine on Xvfb: start-up, memory, idle cost, reaction, launch.

Run through bench/run-bench.sh, which builds the programs first. Everything happens in one Wine prefix on one
private display with one persistent wineserver, and a sleeping helper process keeps Wine's background processes
up, so that every measured start finds the same Wine state.
"""

import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "lab"))
import lab  # noqa: E402
import observe  # noqa: E402
from bar import Bar  # noqa: E402
from lab import Failure, log  # noqa: E402

BARE = r"C:\bench\bare\bare.exe"
BARE_DLLS = r"C:\bench\bare\bare-dlls.exe"
IDLE = r"C:\bench\idle.exe"


class Bench:
    def __init__(self, args):
        self.args = args
        self.bar = Bar("bench", args.exe, folder=r"C:\bench\Nimbrel", server=True).open()
        build = Path(args.build)
        self.bar.plant(build / "bare.exe", BARE)
        self.bar.plant(build / "bare-dlls.exe", BARE_DLLS)
        self.bar.plant(build / "idle.exe", IDLE)
        self.bar.install("Mozilla Firefox/firefox.exe", "stamp.exe")
        self.keeper = self.bar.start(IDLE)
        time.sleep(3)

    def close(self):
        self.bar.close()

    # --- one start --------------------------------------------------------------------------------------------------
    def launch(self, path=None, title="Nimbrel", pointer=None):
        ms = self.bar.launch(pointer, path, title)
        image = observe.image_name(self.bar.proc.pid)
        if (path or self.bar.exe_path).rsplit("\\", 1)[-1].lower() not in image.lower():
            raise Failure(f"pid {self.bar.proc.pid} is {image!r}, not {path}")
        return ms

    def stop(self):
        self.bar.end()
        time.sleep(0.7)  # let the wineserver finish the process off before the next start

    def start_and_memory(self, path, title):
        ms = self.launch(path, title)
        time.sleep(max(0.0, 3.0 - ms / 1000))
        rss = observe.rss_kib(self.bar.proc.pid)
        self.stop()
        return ms, rss / 1024.0

    def pairs(self):
        rows = []
        for i in range(self.args.pairs + 1):
            a = self.start_and_memory(None, "Nimbrel")
            b = self.start_and_memory(BARE, "Bare")
            # Not part of the pair: the bare window with the bar's system libraries, to tell their share.
            c = self.start_and_memory(BARE_DLLS, "BareDlls")
            label = "warm-up" if i == 0 else f"pair {i}"
            log(f"{label}: start-up {a[0]:.1f} / {b[0]:.1f} ms (with libraries {c[0]:.1f}), "
                f"RSS {a[1]:.1f} / {b[1]:.1f} MiB (with libraries {c[1]:.1f})")
            if i > 0:
                rows.append({"startup_nimbrel_ms": a[0], "startup_bare_ms": b[0], "rss_nimbrel_mib": a[1],
                             "rss_bare_mib": b[1], "startup_dlls_ms": c[0], "rss_dlls_mib": c[1]})
        return rows

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


def report(m, rows, idle, react, launches, args):
    med = statistics.median
    s_n = [r["startup_nimbrel_ms"] for r in rows]
    s_b = [r["startup_bare_ms"] for r in rows]
    m_n = [r["rss_nimbrel_mib"] for r in rows]
    m_b = [r["rss_bare_mib"] for r in rows]
    s_ratio = [a / b for a, b in zip(s_n, s_b)]
    m_diff = [a - b for a, b in zip(m_n, m_b)]
    lines = [f"Machine: {m['cpu']}, {m['cpus']} CPUs, {m['ram_gib']} GiB RAM, Debian {m['debian']}, "
             f"kernel {m['kernel']}, {m['wine']}, load average at the end {m['load'][0]:.2f}", ""]
    lines.append("Per pair (Nimbrel / bare):")
    lines.append("| pair | start-up Nimbrel ms | start-up bare ms | ratio | RSS Nimbrel MiB | RSS bare MiB | difference MiB "
                 "| bare + libraries: start-up ms, RSS MiB |")
    lines.append("|---|---|---|---|---|---|---|---|")
    for i, r in enumerate(rows, 1):
        lines.append(f"| {i} | {r['startup_nimbrel_ms']:.1f} | {r['startup_bare_ms']:.1f} | {s_ratio[i - 1]:.2f} | "
                     f"{r['rss_nimbrel_mib']:.1f} | {r['rss_bare_mib']:.1f} | {m_diff[i - 1]:+.1f} | "
                     f"{r['startup_dlls_ms']:.1f}, {r['rss_dlls_mib']:.1f} |")
    lines.append("")
    idle_n = [i for i in idle if i["label"].startswith("Nimbrel")]
    idle_b = [i for i in idle if i["label"].startswith("bare")][0]
    table = [("metric", "Nimbrel (median)", "bare (median)", "ratio / difference", "goal", "result")]
    table.append(("start-up to window mapped", f"{med(s_n):.1f} ms", f"{med(s_b):.1f} ms",
                  f"x{med(s_ratio):.2f} (median of pair ratios)", "<= 1.10 x bare", verdict(med(s_ratio) <= 1.10)))
    table.append(("resident set 3 s after start", f"{med(m_n):.1f} MiB", f"{med(m_b):.1f} MiB",
                  f"{med(m_diff):+.1f} MiB (median of pair differences)", "<= bare + 6 MiB", verdict(med(m_diff) <= 6.0)))
    s_d = [r["startup_dlls_ms"] for r in rows]
    m_d = [r["rss_dlls_mib"] for r in rows]
    table.append(("(diagnostic) bare window + the bar's system libraries", f"{med(s_d):.1f} ms, {med(m_d):.1f} MiB",
                  "-", f"x{med([d / b for d, b in zip(s_d, s_b)]):.2f} start-up, {med([d - b for d, b in zip(m_d, m_b)]):+.1f} MiB",
                  "-", "-"))
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
    parser.add_argument("--pairs", type=int, default=7)
    parser.add_argument("--idle", type=float, default=60.0, help="seconds of idle measurement per program")
    parser.add_argument("--reactions", type=int, default=7, help="dock and park decisions measured, each")
    parser.add_argument("--launches", type=int, default=5)
    parser.add_argument("--out", help="write the table and the raw figures here (.md and .json)")
    args = parser.parse_args()
    started = time.time()
    bench = Bench(args)
    try:
        log(f"display {bench.bar.display}, prefix {bench.bar.prefix}")
        rows = bench.pairs()
        idle = [bench.idle(None, "Nimbrel", None, "Nimbrel docked, pointer resting on the bar"),
                bench.idle(None, "Nimbrel", bench.bar.away, "Nimbrel parked, pointer resting below the band"),
                bench.idle(BARE, "Bare", None, "bare window")]
        react, _ = bench.reaction()
        launches = bench.click_to_launch()
    finally:
        bench.close()
    text = report(machine(), rows, idle, react, launches, args)
    text += f"\n\nWhole run: {time.time() - started:.0f} s."
    print("\n" + text)
    if args.out:
        Path(args.out + ".md").write_text(text + "\n")
        Path(args.out + ".json").write_text(json.dumps({"pairs": rows, "idle": idle, "reaction": react,
                                                        "launch_ms": launches}, indent=1, default=str))
    return 0


if __name__ == "__main__":
    sys.exit(main())
