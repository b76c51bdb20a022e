#!/usr/bin/env python3
"""End-to-end tests of Nimbrel.exe under Wine, on the test lab's desktop (tests/lab/lab.py).

    nimbrel_e2e.py CASE --exe NIMBREL.EXE   run one case
    nimbrel_e2e.py list                     print the case names

Each case runs in its own lab (a copy of the template prefix, its own X server and wineserver) and drives the bar
like a user: it moves and clicks the pointer with xdotool, presses keys from inside Wine, reads window geometry with
xwininfo, and finds buttons and menu items through probe.exe, which asks the running program's own controls.
Exit status 77 means the tools are missing and the case was skipped.
"""

import argparse
import shutil
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "lab"))
import lab  # noqa: E402
from lab import check, log  # noqa: E402

SCREEN_W, SCREEN_H = 1024, 768
TWIPS_PER_PIXEL = 15
APP_WIN = "C:\\Apps\\Bar"


def px(twips):
    """Twips to pixels, to the nearest pixel."""
    return int(twips / TWIPS_PER_PIXEL + 0.5)


# Tool-tips of the main bar's 16 places, in order ("" for the two separators).
BAR_TIPS = ["Exit", "", "Browser", "Search", "Mail", "FTP", "Messaging", "P-2-P", "Programs", "",
            "Internet Connections", "Firewall", "Security", "Internet Settings", "About Me", "Help"]

# Where the pointer rests so that the bar, once docked, stays docked; and a pixel inside each recall zone.
REST = {"TOP": (900, 12), "BOTTOM": (900, SCREEN_H - 12), "LEFT": (12, 700), "RIGHT": (SCREEN_W - 12, 700)}
EDGE = {"TOP": (900, 1), "BOTTOM": (900, SCREEN_H - 2), "LEFT": (1, 700), "RIGHT": (SCREEN_W - 2, 700)}
AWAY = (512, 384)


def expected_geometry(edge, recalled=False):
    """Window rectangle (x, y, w, h) in pixels by the start-up placement rules, and flush after a recall."""
    bar = px(400) * TWIPS_PER_PIXEL  # the bar keeps whole pixels: 405 twips
    screen_w, screen_h = SCREEN_W * TWIPS_PER_PIXEL, SCREEN_H * TWIPS_PER_PIXEL
    if edge in ("LEFT", "RIGHT"):
        win_w = px(bar + 40) * TWIPS_PER_PIXEL  # read back after it was set
        left = 0 if edge == "LEFT" else screen_w - win_w
        return px(left), 0, px(win_w), SCREEN_H
    win_h = px(bar + 50) * TWIPS_PER_PIXEL
    top = 0 if edge != "BOTTOM" else screen_h - win_h + (0 if recalled else 10)
    return 0, px(top), SCREEN_W, px(win_h)


class Picture:
    """A binary PPM (P6, 8 bits) in memory; pixel (x, y) as an (r, g, b) tuple."""

    def __init__(self, data):
        fields, at = [], 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
        check(fields[0] == b"P6" and fields[3] == b"255", f"not an 8-bit binary PPM: {fields}")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[at + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def rows_unlike(self, left, top, right, bottom, background, tolerance=40):
        """The rows of the rectangle with a pixel that differs from background by more than tolerance."""
        return [y for y in range(top, bottom)
                if any(max(abs(a - b) for a, b in zip(self.pixel(x, y), background)) > tolerance
                       for x in range(left, right))]


class Session(lab.Lab):
    """One running Nimbrel.exe in its own lab; `with` ends it, keeping the prefix when the case failed."""

    def __init__(self, args, name, settings=None, install=(), keep_iexplore=False, iexplore=False, rest=REST["TOP"],
                 extra_files=None, dpi=96, dll_overrides=None, display=None, visual_style=True):
        super().__init__(name, display=display, dpi=dpi, overrides=dll_overrides, visual_style=visual_style)
        self.args = args
        self.settings = settings
        self.install = list(install)
        self.keep_iexplore = keep_iexplore
        self.iexplore = iexplore
        self.rest = rest
        self.extra_files = extra_files or {}
        self.proc = self.wid = self.output = None

    # --- preparation -------------------------------------------------------------------------------------------
    def install_program(self, relative, source="recorder.exe"):
        return self.plant(lab.HELPERS / source, f"C:\\Program Files\\{relative}")

    def prepare(self):
        iexplore = self.path("C:\\Program Files\\Internet Explorer\\iexplore.exe")
        if self.iexplore:
            self.install_program("Internet Explorer/iexplore.exe")
        elif not self.keep_iexplore and iexplore.exists():
            iexplore.unlink()
        for relative in self.install:
            self.install_program(relative)
        app = self.path(APP_WIN)
        app.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.args.exe, app / "Nimbrel.exe")
        if self.settings is not None:
            (app / "Nimbrel.Txt").write_bytes(self.settings)
        for name, data in self.extra_files.items():
            (app / name).write_bytes(data)

    def settings_path(self):
        return self.path(f"{APP_WIN}\\Nimbrel.Txt")

    # --- running -----------------------------------------------------------------------------------------------
    def __enter__(self):
        self.open()
        try:
            self.prepare()
            self.move_pointer(*self.rest)
            self.output = open(self.prefix / "nimbrel-output.txt", "wb")
            self.proc = self.launch(f"{APP_WIN}\\Nimbrel.exe")
            self.wid = self.wait_for_window()
            log(f"window {self.wid} at {self.geometry()}")
        except BaseException:
            self.close(keep=True)
            raise
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            out = self.prefix / "nimbrel-output.txt"
            if out.exists():
                log(f"program output: {out.read_bytes()[-2000:]!r}")
            log(f"log of stand-ins: {self.records()}")
        if self.output is not None:
            self.output.close()
        return super().__exit__(kind, value, traceback)

    def launch(self, windows_path):
        """Starts another program of the prefix; its output joins the program output file."""
        return self.start(windows_path, output=self.output)

    def windows_of(self, proc):
        """The X windows titled "Nimbrel" that belong to the process, mapped or not."""
        return self.windows("Nimbrel", proc.pid)

    def wait_for_window(self, proc=None, timeout=45):
        return self.find_window("Nimbrel", proc or self.proc, timeout)

    def alive(self):
        return self.proc.poll() is None

    # --- looking -----------------------------------------------------------------------------------------------
    def geometry(self, wid=None):
        return super().geometry(wid or self.wid)

    def parked(self):
        return self.geometry().rect[:2] == (-100, -100)

    def describe(self):
        try:
            return f" (window {self.geometry()})" if self.wid else ""
        except lab.Failure:
            return " (the window is gone)"

    def wait_parked(self, timeout=6):
        self.wait_until("the bar to park at (-100, -100)", self.parked, timeout)
        log(f"parked: {self.geometry()}")

    def wait_docked(self, edge, recalled=True, timeout=6):
        x, y, w, h = expected_geometry(edge, recalled)

        def docked():
            g = self.geometry()
            return g if (abs(g.x - x) <= 1 and abs(g.y - y) <= 1 and abs(g.w - w) <= 1 and abs(g.h - h) <= 1) else None

        g = self.wait_until(f"the bar docked at {edge} {x, y, w, h}", docked, timeout)
        log(f"docked at {edge}: {g}")
        return g

    def stays(self, what, predicate, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            check(predicate(), f"{what} no longer holds: window {self.geometry()}")
            time.sleep(0.2)

    def button(self, tip):
        buttons = self.toolbar()
        if any(b.tip for b in buttons):
            matches = [b for b in buttons if b.tip == tip]
            check(len(matches) == 1, f"no single button with the tool-tip {tip!r}: {buttons}")
            return matches[0]
        # The tool-tips could not be read: fall back on the documented order of the main bar.
        return buttons[BAR_TIPS.index(tip)]

    def wait_menu(self, timeout=8):
        def menu_open():
            opened, items, out = self.menus()
            return items if opened and items else None

        return self.wait_until("a drop-down menu to open", menu_open, timeout, interval=0.2)

    def wait_menu_closed(self, timeout=8):
        self.wait_until("the drop-down menu to close", lambda: not self.menus()[0], timeout, interval=0.2)

    def picture(self):
        """The whole virtual screen as a Picture."""
        self.screenshot(self.prefix / "screen.ppm")
        return Picture((self.prefix / "screen.ppm").read_bytes())

    def focus(self):
        """(focus is on the toolbar, the bar is the active window), as the bar's own thread sees it."""
        fields = next(iter(lab.records(self.probe("focus"), "FOCUS")), [])
        return len(fields) == 5 and fields[2] == "1", len(fields) == 5 and fields[4] == "1"

    def visible_tips(self):
        """The screen rectangles (left, top, right, bottom) of the bar's tool-tips that are showing."""
        return [tuple(int(v) for v in fields[1:5]) for fields in lab.records(self.probe("tips"), "TIP")]

    # --- acting ------------------------------------------------------------------------------------------------
    def click_at(self, x, y):
        self.move_pointer(x, y)
        time.sleep(0.3)
        self.click()

    def click_button(self, tip):
        b = self.button(tip)
        log(f"click {tip!r} at {b.centre}")
        self.click_at(*b.centre)

    def open_menu(self, tip):
        self.click_button(tip)
        items = self.wait_menu()
        log(f"{tip} menu: {items}")
        return items

    def click_item(self, items, text):
        matches = [item for item in items if item.text == text]
        check(len(matches) == 1, f"no single menu item {text!r}: {items}")
        x, y = matches[0].centre
        log(f"click menu item {text!r} at {(x, y)}")
        # One xdotool call: the pointer leaves the bar's band only a moment before the click.
        self.run("xdotool", "mousemove", x, y, "sleep", "0.2", "click", "1")

    def recall(self, edge="TOP"):
        self.move_pointer(*EDGE[edge])
        self.wait_docked(edge)
        self.move_pointer(*REST[edge])

    # --- the stand-ins' log ------------------------------------------------------------------------------------
    def records(self):
        return lab.read_log(self.drive_c)

    def wait_records(self, count, timeout=10):
        def enough():
            records = self.records()
            return records if len(records) >= count else None

        return self.wait_until(f"{count} record(s) in the log", enough, timeout, interval=0.2)

    def check_no_traps(self):
        traps = [r for r in self.records() if r[0] == "TRAP"]
        check(not traps, f"a planted trap ran instead of the program: {traps}")


def main():
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    # The cases import this file by name; let them share its classes with the script that is running.
    sys.modules.setdefault("nimbrel_e2e", sys.modules[__name__])
    import e2e_cases

    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=["list", *e2e_cases.CASES])
    parser.add_argument("--exe")
    args = parser.parse_args()
    if args.case == "list":
        print("\n".join(e2e_cases.CASES))
        return 0
    lacking = lab.missing_tools()
    if lacking:
        print(f"SKIP: missing {', '.join(lacking)}")
        return lab.SKIP
    started = time.time()
    try:
        e2e_cases.CASES[args.case](args)
    except lab.Failure as failure:
        print(f"FAIL {args.case}: {failure}  ({time.time() - started:.1f} s)", flush=True)
        return 1
    print(f"PASS {args.case} ({time.time() - started:.1f} s)", flush=True)
    return 0


if __name__ == "__main__":
    lab.run_main(main)
