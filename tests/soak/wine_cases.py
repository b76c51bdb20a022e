#!/usr/bin/python3
"""Long runs and hostile surroundings for Nimbrel.exe under Wine, each case in its own lab through the bar driver
(tests/lab/bar.py).

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
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "lab"))
import lab  # noqa: E402
import observe  # noqa: E402
from bar import Bar, settings  # noqa: E402
from lab import Failure, Skipped, check, log  # noqa: E402

FIREFOX = "Mozilla Firefox/firefox.exe"


def listing(folder: Path):
    return sorted((str(p.relative_to(folder)), p.stat().st_size, p.stat().st_mtime_ns) for p in folder.rglob("*"))


# --- soak -----------------------------------------------------------------------------------------------------------
def soak(args):
    seconds = 40.0 if args.short else args.seconds
    first_sample = 10.0 if args.short else 60.0
    rng = random.Random(4)
    with Bar("soak", args.exe, server=True) as bar:
        bar.install(FIREFOX, "stamp.exe")
        bar.launch(bar.away)
        t0 = observe.now_ns() / 1e9
        edge_visits = away_visits = 0
        rss = []

        def running():
            if not rss and observe.now_ns() / 1e9 - t0 >= first_sample:
                rss.append(observe.rss_kib(bar.proc.pid))
                log(f"RSS after {first_sample:.0f} s: {rss[0]} KiB")
            return bar.alive()

        mark = bar.recorder.mark()
        while observe.now_ns() / 1e9 - t0 < seconds:
            if edge_visits == away_visits:
                bar.move_pointer(*bar.at_edge())
                edge_visits += 1
            else:
                bar.move_pointer(rng.randint(0, bar.display.width - 1), rng.randint(60, bar.display.height - 1))
                away_visits += 1
            bar.stays("Nimbrel.exe running through the soak", running, rng.uniform(2.5, 4.0), interval=0.05)
        bar.move_pointer(*bar.away)
        bar.wait_parked()
        rss_first, rss_last = rss[0], observe.rss_kib(bar.proc.pid)
        requests = [r for r in bar.recorder.since(mark) if r[2] == bar.client and r[4] == bar.wid]
        docks = sum(1 for r in requests if r[3] == observe.OP_MAP)
        parks = sum(1 for r in requests if r[3] == observe.OP_UNMAP)
        change = (rss_last - rss_first) / rss_first * 100.0
        log(f"{seconds:.0f} s: {edge_visits} visits to the edge, {away_visits} away; the bar docked {docks} and "
            f"parked {parks} times; RSS {rss_first} -> {rss_last} KiB ({change:+.2f} %)")
        # Every stay lasts longer than a tick period, so every visit must be answered, except the first one at the
        # edge, which finds the bar still docked from start-up; the move away after the loop adds one park.
        check(docks >= edge_visits - 1, f"only {docks} docks for {edge_visits} visits to the edge")
        check(parks >= away_visits - 1, f"only {parks} parks for {away_visits} stays away")
        check(abs(change) <= 1.0, f"resident set changed by {change:+.2f} % (limit 1 %)")
        # Still docks, parks and launches.
        bar.park_and_recall()
        bar.next_tick()
        launch_and_park(bar)
        return (f"{seconds:.0f} s, {edge_visits}+{away_visits} pointer moves, {docks} docks, {parks} parks, "
                f"RSS {rss_first} -> {rss_last} KiB ({change:+.2f} %), docks/parks/launches at the end")


def launch_and_park(bar):
    """FireFox from the Browser drop-down: stamp.exe notes its start, the bar parks and runs on."""
    before = len(bar.launches())
    bar.click_item(bar.open_menu("Browser"), "FireFox")
    bar.wait_until("the launched program's stamp", lambda: len(bar.launches()) > before, 10)
    bar.wait_parked()
    check(bar.alive(), "Nimbrel.exe ended after the launch")


# --- bad environment ------------------------------------------------------------------------------------------------
def runs_with_defaults(bar, what):
    """Started with the pointer on the top band, the bar docks at the top and stays over a tick, parks, comes back."""
    bar.edge = "TOP"  # whatever the settings file would say
    ms = bar.launch()
    bar.stays(f"the bar docked at the top ({what})", lambda: bar.docked("TOP", recalled=False), 2.5)
    bar.park_and_recall("TOP")
    check(bar.alive(), "Nimbrel.exe ended")
    return ms


def read_only_folder(args):
    with Bar("readonly", args.exe, settings=None, server=True) as bar:
        app = bar.beside()
        before = listing(app)
        if os.geteuid() == 0:
            # Root writes through permission bits, and so would Wine running as root: a read-only mount stops both.
            try:
                subprocess.run(["mount", "--bind", app, app], check=True)
                bar.on_close.append(lambda: subprocess.run(["umount", app], capture_output=True))
                subprocess.run(["mount", "-o", "remount,bind,ro", app], check=True)
            except subprocess.CalledProcessError as error:
                raise Skipped(f"running as root and cannot mount the folder read-only ({error}); run as another user")
            how = "read-only bind mount (running as root)"
        else:
            app.chmod(0o555)
            bar.on_close.append(lambda: app.chmod(0o755))
            how = "chmod a-w"
        try:
            (app / "probe.tmp").write_bytes(b"x")
            (app / "probe.tmp").unlink()
            raise Failure(f"the folder is still writable after the {how}")
        except OSError:
            pass
        ms = runs_with_defaults(bar, "no settings file")
        check(listing(app) == before, f"the folder changed: {listing(app)}")
        return f"{how}; window after {ms:.0f} ms, docked at TOP, recalled at TOP, no file written"


def settings_directory(args):
    with Bar("settingsdir", args.exe, settings=None, server=True) as bar:
        bar.put("Nimbrel.Txt/keep.txt", b"TOOLBAR_POSITION=LEFT\r\n")
        before = listing(bar.beside())
        ms = runs_with_defaults(bar, "the settings file a directory")
        check(listing(bar.beside()) == before, "the directory or its folder changed")
        return f"window after {ms:.0f} ms, runs with the defaults, directory untouched"


def settings_locked(args):
    content = settings("BOTTOM", "BOTTOM", 2)
    with Bar("locked", args.exe, settings=content, server=True) as bar:
        bar.plant(lab.HELPERS / "locker.exe", "C:\\bench\\locker.exe")
        locker = bar.start("C:\\bench\\locker.exe", f"{bar.folder}\\Nimbrel.Txt", "120")
        bar.wait_until("the lock", lambda: bar.path("C:\\bench\\locker-ready.txt").exists(), 30)
        # The locked file says BOTTOM; a bar at the top runs with the defaults.
        ms = runs_with_defaults(bar, "the settings file locked")
        check(locker.poll() is None, "the locking program ended early")
        bar.end(locker)
        check(bar.settings_bytes() == content, "the locked file's content changed")
        return f"window after {ms:.0f} ms, defaults (TOP) instead of the locked file's BOTTOM, content unchanged"


def settings_16mib(args):
    line = b"[padding " + b"x" * 53 + b"]\r\n"  # 64 bytes, skipped as a section line
    tail = b"TOOLBAR_POSITION=BOTTOM\r\nPOINTER_POSITION=BOTTOM\r\n"
    data = line * ((16 * 1024 * 1024 - len(tail)) // len(line)) + tail
    with Bar("big", args.exe, server=True) as bar:
        # A start with the 53-byte file first, in the same prefix, as the yardstick for the big one.
        bar.launch()
        bar.end()
        baseline = bar.launch()
        bar.end()
        bar.put("Nimbrel.Txt", data)
        bar.edge = "BOTTOM"
        ms = bar.launch()
        # The last lines of the file win: docked at the bottom.
        bar.check_docked()
        bar.park_and_recall()
        check(bar.alive(), "Nimbrel.exe ended")
        check(bar.settings_bytes() == data, "the settings file changed")
        return (f"{len(data)} bytes ({len(data) // len(line)} lines): window after {ms:.0f} ms (53-byte file: "
                f"{baseline:.0f} ms), read to its end (BOTTOM)")


def program_deleted(args):
    with Bar("deleted", args.exe, server=True) as bar:
        firefox = bar.install(FIREFOX, "stamp.exe")
        bar.launch()
        bar.next_tick()
        firefox.unlink()
        mark = bar.watcher.mark()
        bar.click_item(bar.open_menu("Browser"), "FireFox")
        bar.wait_parked()
        bar.stays("the bar running, nothing started", lambda: bar.alive() and not bar.launches(), 3)
        dialogs = named_windows_since(bar, mark)
        bar.park_and_recall()
        return f"no crash, parked, nothing started, dialogs: {[d[3] for d in dialogs] or 'none'}"


def help_missing(args):
    with Bar("nohelp", args.exe, server=True) as bar:
        bar.launch()
        bar.next_tick()
        check(not any(p.name.lower() == "nimbrel.pdf" for p in bar.beside().iterdir()), "a help document is present")
        mark = bar.watcher.mark()
        bar.click_button("Help")
        bar.wait_parked()
        bar.stays("the bar running", bar.alive, 3)
        dialogs = named_windows_since(bar, mark)
        for _, _, wid, title, *_ in dialogs:
            bar.keys("Return")  # a shell error box would hold the pointer watch; dismiss it
            bar.wait_until(f"the dialog {title!r} to close", lambda: any(
                e[2] == wid and e[1] in ("unmap", "destroy") for e in bar.watcher.since(mark)), 5)
        bar.park_and_recall()
        return f"no crash, parked, dialogs: {[d[3] for d in dialogs] or 'none'}"


def named_windows_since(bar, mark):
    """Windows with a title (dialogs, message boxes) mapped since the mark, other than the bar."""
    return [e for e in bar.watcher.since(mark) if e[1] == "map" and e[2] != bar.wid and e[3]]


BAD_ENV = {"read-only-folder": read_only_folder, "settings-directory": settings_directory,
           "settings-locked": settings_locked, "settings-16mib": settings_16mib, "program-deleted": program_deleted,
           "help-missing": help_missing}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["soak", "bad-env"])
    parser.add_argument("cases", nargs="*")
    parser.add_argument("--exe", default=str(ROOT / "build/windows/src/win32/Nimbrel.exe"))
    parser.add_argument("--seconds", type=float, default=300.0)
    parser.add_argument("--short", action="store_true", help="a 40 s soak for the test command")
    args = parser.parse_args()
    if not Path(args.exe).is_file():
        print(f"FAIL: no {args.exe}; build it with the windows preset or pass --exe")
        return 1
    if args.command == "soak":
        return lab.run_cases({"wine-soak": soak}, ["wine-soak"], args)
    unknown = [n for n in args.cases if n not in BAD_ENV]
    if unknown:
        print(f"unknown case(s) {unknown}; known: {', '.join(BAD_ENV)}")
        return 2
    return lab.run_cases(BAD_ENV, args.cases or list(BAD_ENV), args)


if __name__ == "__main__":
    lab.run_main(main)
