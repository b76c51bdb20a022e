#!/usr/bin/python3
"""Long runs and hostile surroundings for Nimbrel.exe under Wine, each case in its own lab (tests/lab/lab.py).

    wine_cases.py soak [--seconds N | --short]   the pointer enters and leaves the band for N s (default 300)
    wine_cases.py bad-env [CASE ...]             read-only-folder settings-directory settings-locked
                                                 settings-16mib program-deleted help-missing (default: all)

Option --exe names Nimbrel.exe (the windows preset's by default). Each case prints PASS, FAIL or SKIP with its
figures; the exit status is 1 when any case failed, 77 when every case was skipped (tools missing).
"""

import argparse
import os
import random
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "bench"))
try:
    import Xlib  # noqa: F401
except ModuleNotFoundError:
    print("SKIP: python3-xlib is missing")
    sys.exit(77)
import winelab as wl  # noqa: E402
from winelab import Failure, check, lab  # noqa: E402

APP = r"C:\bar"
EXE = APP + r"\Nimbrel.exe"
FIREFOX = r"C:\Program Files\Mozilla Firefox\firefox.exe"
LAUNCH_LOG = r"C:\bench\launch.txt"
DEFAULT_SETTINGS = b"TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=1\r\n"
REST, EDGE, AWAY = (900, 12), (900, 1), (512, 400)
TOP_PLACE = (0, 0, wl.SCREEN_W, 30)
PARKED = (-100, -100)


class Skipped(Exception):
    """The case cannot be set up on this machine."""


class Bar(wl.ObservedLab):
    """One Nimbrel.exe in its own lab."""

    def __init__(self, args, name, settings=DEFAULT_SETTINGS, firefox=True):
        super().__init__(name)
        self.args, self.settings, self.firefox = args, settings, firefox
        self.proc = self.wid = None

    def open(self):
        super().open()
        self.plant(Path(self.args.exe), EXE)
        self.app = self.path(APP)
        if self.settings is not None:
            (self.app / "Nimbrel.Txt").write_bytes(self.settings)
        if self.firefox:
            self.plant(lab.HELPERS / "stamp.exe", FIREFOX)
        self.plant(lab.HELPERS / "locker.exe", r"C:\bench\locker.exe")
        return self

    def launch(self, pointer=AWAY):
        self.move(*pointer)
        mark = self.watcher.mark()
        t0 = wl.now_ns()
        self.proc = self.start(EXE)
        t1, self.wid = self.watcher.wait_map("Nimbrel", mark, 90)
        self.client = self.recorder.client_of(self.wid)
        return (t1 - t0) / 1e6

    def alive(self):
        return self.proc.poll() is None

    def where(self):
        g = self.place(self.wid)
        check(g is not None, "the bar's window is gone")
        return g

    def wait_place(self, what, xy, timeout=5):
        return self.wait_until(what, lambda: self.where()[:2] == xy, timeout)

    def park_and_recall(self, edge=EDGE, docked=(0, 0)):
        """The pointer leaves the band, the bar parks; it touches the recall edge, the bar docks."""
        self.move(*AWAY)
        self.wait_place("the bar to park", PARKED)
        self.move(*edge)
        self.wait_place("the bar to dock again", docked)
        self.move(*REST)

    def button(self, tip):
        buttons = self.toolbar()
        match = [b for b in buttons if b.tip == tip]
        check(match, f"no toolbar button {tip!r}: {buttons}")
        return match[0].centre

    def click_at(self, xy):
        self.move(*xy)
        time.sleep(0.25)
        self.click()

    def open_menu_and_click(self, tip, item_text):
        """Clicks a drop-down button, then the named item; returns the time of the item click (ns, realtime)."""
        mark = self.watcher.mark()
        self.click_at(self.button(tip))
        self.wait_until("a drop-down menu", lambda: any(
            e[1] == "map" and e[2] != self.wid for e in self.watcher.since(mark)), 5)
        time.sleep(0.3)
        _, items, out = self.menus()
        match = [i for i in items if i.text.lower() == item_text.lower()]
        check(match, f"no menu item {item_text!r}: {out!r}")
        self.move(*match[0].centre)
        time.sleep(0.25)
        return self.click()

    def launches(self):
        path = self.path(LAUNCH_LOG)
        return path.read_text().splitlines() if path.exists() else []

    def named_windows_since(self, mark):
        """Windows with a title (dialogs, message boxes) mapped since the mark, other than the bar."""
        return [e for e in self.watcher.since(mark) if e[1] == "map" and e[2] != self.wid and e[3]]


def listing(folder: Path):
    return sorted((str(p.relative_to(folder)), p.stat().st_size, p.stat().st_mtime_ns) for p in folder.rglob("*"))


# --- soak -----------------------------------------------------------------------------------------------------------
def soak(args):
    seconds = 40.0 if args.short else args.seconds
    first_sample = 10.0 if args.short else 60.0
    rng = random.Random(4)
    with Bar(args, "soak") as bar:
        bar.launch(AWAY)
        t0 = time.monotonic()
        edge_visits = away_visits = 0
        rss_first = None
        target = "edge"
        mark = bar.recorder.mark()
        while time.monotonic() - t0 < seconds:
            if target == "edge":
                bar.move(*EDGE)
                edge_visits += 1
            else:
                bar.move(rng.randint(0, wl.SCREEN_W - 1), rng.randint(60, wl.SCREEN_H - 1))
                away_visits += 1
            target = "away" if target == "edge" else "edge"
            dwell = rng.uniform(2.5, 4.0)
            end = time.monotonic() + dwell
            while time.monotonic() < end:
                if rss_first is None and time.monotonic() - t0 >= first_sample:
                    rss_first = wl.rss_kib(bar.proc.pid)
                    wl.log(f"RSS after {first_sample:.0f} s: {rss_first} KiB")
                time.sleep(0.05)
            check(bar.alive(), "Nimbrel.exe ended during the soak")
        bar.move(*AWAY)
        time.sleep(2.5)
        rss_last = wl.rss_kib(bar.proc.pid)
        requests = bar.recorder.since(mark)
        docks = sum(1 for r in requests if r[2] == bar.client and r[4] == bar.wid and r[3] == wl.OP_MAP)
        parks = sum(1 for r in requests if r[2] == bar.client and r[4] == bar.wid and r[3] == wl.OP_UNMAP)
        change = (rss_last - rss_first) / rss_first * 100.0
        wl.log(f"{seconds:.0f} s: {edge_visits} visits to the edge, {away_visits} away; the bar docked {docks} and "
               f"parked {parks} times; RSS {rss_first} -> {rss_last} KiB ({change:+.2f} %)")
        # Every stay lasts longer than a tick period, so every visit must be answered, except the first one at the
        # edge, which finds the bar still docked from start-up; the move away after the loop adds one park.
        check(docks >= edge_visits - 1, f"only {docks} docks for {edge_visits} visits to the edge")
        check(parks >= away_visits - 1, f"only {parks} parks for {away_visits} stays away")
        check(abs(change) <= 1.0, f"resident set changed by {change:+.2f} % (limit 1 %)")
        # Still docks, parks and launches.
        bar.park_and_recall()
        time.sleep(2.5)
        before = len(bar.launches())
        bar.open_menu_and_click("Browser", "FireFox")
        bar.wait_until("the launched program's record", lambda: len(bar.launches()) > before, 10)
        bar.wait_place("the bar to park after the launch", PARKED)
        check(bar.alive(), "Nimbrel.exe ended after the launch")
        return (f"{seconds:.0f} s, {edge_visits}+{away_visits} pointer moves, {docks} docks, {parks} parks, "
                f"RSS {rss_first} -> {rss_last} KiB ({change:+.2f} %), docks/parks/launches at the end")


# --- bad environment ------------------------------------------------------------------------------------------------
def read_only_folder(args):
    with Bar(args, "readonly", settings=None) as bar:
        before = listing(bar.app)
        if os.geteuid() == 0:
            # Root writes through permission bits, and so would Wine running as root: a read-only mount stops both.
            try:
                subprocess.run(["mount", "--bind", bar.app, bar.app], check=True)
                bar.on_close.append(lambda: subprocess.run(["umount", bar.app], capture_output=True))
                subprocess.run(["mount", "-o", "remount,bind,ro", bar.app], check=True)
            except subprocess.CalledProcessError as error:
                raise Skipped(f"running as root and cannot mount the folder read-only ({error}); run as another user")
            how = "read-only bind mount (running as root)"
        else:
            bar.app.chmod(0o555)
            bar.on_close.append(lambda: bar.app.chmod(0o755))
            how = "chmod a-w"
        probe = bar.app / "probe.tmp"
        try:
            probe.write_bytes(b"x")
            probe.unlink()
            raise Failure(f"the folder is still writable after the {how}")
        except OSError:
            pass
        ms = bar.launch(REST)
        time.sleep(2.5)
        check(bar.where()[:4] == TOP_PLACE, f"not docked at the top: {bar.where()}")
        bar.park_and_recall()
        check(bar.alive(), "Nimbrel.exe ended")
        check(listing(bar.app) == before, f"the folder changed: {listing(bar.app)}")
        return f"{how}; window after {ms:.0f} ms, docked at TOP, recalled at TOP, no file written"


def settings_directory(args):
    with Bar(args, "settingsdir", settings=None) as bar:
        folder = bar.app / "Nimbrel.Txt"
        folder.mkdir()
        (folder / "keep.txt").write_bytes(b"TOOLBAR_POSITION=LEFT\r\n")
        before = listing(bar.app)
        ms = bar.launch(REST)
        time.sleep(2.5)
        check(bar.where()[:4] == TOP_PLACE, f"not docked at the top: {bar.where()}")
        bar.park_and_recall()
        check(bar.alive(), "Nimbrel.exe ended")
        check(listing(bar.app) == before, "the directory or its folder changed")
        return f"window after {ms:.0f} ms, runs with the defaults, directory untouched"


def settings_locked(args):
    content = b"TOOLBAR_POSITION=BOTTOM\r\nPOINTER_POSITION=BOTTOM\r\nSTYLE=2\r\n"
    with Bar(args, "locked", settings=content) as bar:
        locker = bar.start(r"C:\bench\locker.exe", APP + r"\Nimbrel.Txt", "120")
        bar.wait_until("the lock", lambda: bar.path(r"C:\bench\locker-ready.txt").exists(), 30)
        ms = bar.launch(REST)
        time.sleep(2.5)
        # The locked file says BOTTOM; a bar at the top ran with the defaults.
        check(bar.where()[:4] == TOP_PLACE, f"not docked at the top with the defaults: {bar.where()}")
        bar.park_and_recall()
        check(bar.alive(), "Nimbrel.exe ended")
        check(locker.poll() is None, "the locking program ended early")
        bar.kill(locker)
        check((bar.app / "Nimbrel.Txt").read_bytes() == content, "the locked file's content changed")
        return f"window after {ms:.0f} ms, defaults (TOP) instead of the locked file's BOTTOM, content unchanged"


def settings_16mib(args):
    line = b"[padding " + b"x" * 53 + b"]\r\n"  # 64 bytes, skipped as a section line
    tail = b"TOOLBAR_POSITION=BOTTOM\r\nPOINTER_POSITION=BOTTOM\r\n"
    body = line * ((16 * 1024 * 1024 - len(tail)) // len(line))
    data = body + tail
    with Bar(args, "big", settings=DEFAULT_SETTINGS) as bar:
        # A start with the 53-byte file first, in the same prefix, as the yardstick for the big one.
        bar.launch(REST)
        bar.kill(bar.proc)
        time.sleep(1)
        baseline = bar.launch(REST)
        bar.kill(bar.proc)
        time.sleep(1)
        (bar.app / "Nimbrel.Txt").write_bytes(data)
        ms = bar.launch(REST)
        x, y, w, h, _ = bar.where()
        # The last lines of the file win: docked at the bottom (start-up places it up to a pixel lower).
        check(x == 0 and abs(y - (wl.SCREEN_H - h)) <= 1 and w == wl.SCREEN_W,
              f"not docked at the bottom: {bar.where()}")
        bar.park_and_recall(edge=(900, wl.SCREEN_H - 2), docked=(0, wl.SCREEN_H - h))
        check(bar.alive(), "Nimbrel.exe ended")
        check((bar.app / "Nimbrel.Txt").read_bytes() == data, "the settings file changed")
        return (f"{len(data)} bytes ({len(data) // len(line)} lines): window after {ms:.0f} ms (53-byte file: "
                f"{baseline:.0f} ms), read to its end (BOTTOM)")


def program_deleted(args):
    with Bar(args, "deleted") as bar:
        bar.launch(REST)
        time.sleep(2.5)
        bar.path(FIREFOX).unlink()
        mark = bar.watcher.mark()
        bar.open_menu_and_click("Browser", "FireFox")
        bar.wait_place("the bar to park after the click", PARKED)
        time.sleep(3)
        check(bar.alive(), "Nimbrel.exe ended after the click")
        check(not bar.launches(), f"something was launched: {bar.launches()}")
        dialogs = bar.named_windows_since(mark)
        bar.park_and_recall()
        return f"no crash, parked, nothing started, dialogs: {[d[3] for d in dialogs] or 'none'}"


def help_missing(args):
    with Bar(args, "nohelp") as bar:
        bar.launch(REST)
        time.sleep(2.5)
        check(not any(p.name.lower() == "nimbrel.pdf" for p in bar.app.iterdir()), "a help document is present")
        mark = bar.watcher.mark()
        bar.click_at(bar.button("Help"))
        bar.wait_place("the bar to park after the click", PARKED)
        time.sleep(3)
        check(bar.alive(), "Nimbrel.exe ended after the click")
        dialogs = bar.named_windows_since(mark)
        for _ in dialogs:
            bar.keys("Return")  # a shell error box would hold the pointer watch; dismiss it
            time.sleep(0.5)
        bar.park_and_recall()
        return f"no crash, parked, dialogs: {[d[3] for d in dialogs] or 'none'}"


BAD_ENV = {"read-only-folder": read_only_folder, "settings-directory": settings_directory,
           "settings-locked": settings_locked, "settings-16mib": settings_16mib, "program-deleted": program_deleted,
           "help-missing": help_missing}


def run(name, case, args):
    started = time.time()
    try:
        detail = case(args)
    except Skipped as reason:
        print(f"SKIP {name}: {reason}", flush=True)
        return None
    except Failure as failure:
        print(f"FAIL {name}: {failure} ({time.time() - started:.0f} s)", flush=True)
        return False
    print(f"PASS {name}: {detail} ({time.time() - started:.0f} s)", flush=True)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["soak", "bad-env"])
    parser.add_argument("cases", nargs="*")
    parser.add_argument("--exe", default=str(ROOT / "build/windows/src/win32/Nimbrel.exe"))
    parser.add_argument("--seconds", type=float, default=300.0)
    parser.add_argument("--short", action="store_true", help="a 40 s soak for the test command")
    args = parser.parse_args()
    if lab.missing_tools():
        print(f"SKIP: missing {', '.join(lab.missing_tools())}")
        return 77
    if not Path(args.exe).is_file():
        print(f"FAIL: no {args.exe}; build it with the windows preset or pass --exe")
        return 1
    if args.command == "soak":
        return 0 if run("wine-soak", soak, args) else 1
    names = args.cases or list(BAD_ENV)
    unknown = [n for n in names if n not in BAD_ENV]
    if unknown:
        print(f"unknown case(s) {unknown}; known: {', '.join(BAD_ENV)}")
        return 2
    results = [run(name, BAD_ENV[name], args) for name in names]
    if any(result is False for result in results):
        return 1
    return 77 if all(result is None for result in results) else 0


if __name__ == "__main__":
    sys.exit(main())
