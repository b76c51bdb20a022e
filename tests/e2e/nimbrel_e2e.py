#!/usr/bin/env python3
"""End-to-end tests of Nimbrel.exe under Wine on a virtual X server.

    nimbrel_e2e.py setup   --work DIR --exe NIMBREL.EXE --helpers DIR   build the template prefix
    nimbrel_e2e.py run CASE --work DIR --exe NIMBREL.EXE --helpers DIR  run one case in a copy of it
    nimbrel_e2e.py cleanup --work DIR ...                               remove the work folder
    nimbrel_e2e.py list                                                 print the case names

Each case gets a copy of the template prefix, its own Xvfb display and its own wineserver, and drives the bar
like a user: it moves and clicks the pointer with xdotool, reads window geometry with xwininfo, and finds
buttons and menu items through probe.exe, which asks the running program's own controls.
Exit status 77 means the tools are missing and the case was skipped.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

SKIP = 77
DISPLAYS = [97, 98, 99] + list(range(101, 110))
SCREEN_W, SCREEN_H = 1024, 768
TWIPS_PER_PIXEL = 15
TOOLS = ("wine", "wineserver", "Xvfb", "xdotool", "xwininfo")
WINE_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"

# Places where a launcher started from an unquoted command line would run something else first.
TRAPS = ["Program.exe", "Program Files/Mozilla.exe", "Program Files/microsoft.exe", "Program Files/google.exe",
         "Program Files/netscape/netscape.exe"]

APP_DIR = "Apps/Bar"
APP_WIN = "C:\\Apps\\Bar"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def px(twips):
    """Twips to pixels, to the nearest pixel."""
    return int(twips / TWIPS_PER_PIXEL + 0.5)


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


def find_ci(base: Path, relative: str) -> Path:
    """The path below base, matching existing folder names without regard to case, as Windows does."""
    path = base
    for part in relative.split("/"):
        match = None
        if path.is_dir():
            for entry in path.iterdir():
                if entry.name.lower() == part.lower():
                    match = entry
                    break
        path = match if match is not None else path / part
    return path


class Xvfb:
    """A private virtual X server on the first free display of our range."""

    def __init__(self):
        self.proc = None
        self.display = None
        for number in DISPLAYS:
            if self._taken(number):
                continue
            # -noreset: without it the server resets, pointer included, whenever its last client disconnects.
            proc = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24", "-noreset",
                                     "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                if Path(f"/tmp/.X11-unix/X{number}").exists() and self._answers(number):
                    self.proc, self.display = proc, number
                    return
                time.sleep(0.1)
            self._stop(proc)
        raise Failure("no free X display in :97-:99, :101-:109")

    @staticmethod
    def _taken(number):
        """True while a live X server holds the display; Xvfb itself clears the lock of a dead one."""
        lock = Path(f"/tmp/.X{number}-lock")
        try:
            pid = int(lock.read_text().strip())
        except (OSError, ValueError):
            return lock.exists()
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return False
        except PermissionError:
            pass
        return True

    @staticmethod
    def _answers(number):
        env = dict(os.environ, DISPLAY=f":{number}")
        return subprocess.run(["xdotool", "getmouselocation"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    @staticmethod
    def _stop(proc):
        if proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def stop(self):
        if self.proc is not None:
            self._stop(self.proc)
            self.proc = None


class Wine:
    """Commands run in one Wine prefix on one display."""

    def __init__(self, prefix: Path, display: int):
        self.prefix = prefix
        self.display = display
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES=WINE_OVERRIDES,
                        DISPLAY=f":{display}")
        self.env.pop("WAYLAND_DISPLAY", None)

    def run(self, *args, timeout=60, check_rc=True):
        result = subprocess.run(["wine", *args], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout)
        if check_rc and result.returncode != 0:
            raise Failure(f"wine {' '.join(args)} exited {result.returncode}: {result.stderr.decode(errors='replace')}")
        return result.stdout.decode("utf-8", errors="replace")

    def server(self, *args, timeout=60):
        subprocess.run(["wineserver", *args], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=timeout)

    def x(self, *args, timeout=20):
        result = subprocess.run(list(args), env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout)
        return result.returncode, result.stdout.decode(errors="replace")

    def drive_c(self) -> Path:
        return self.prefix / "drive_c"


REG_TEMPLATE = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CLASSES_ROOT\.pdf]
@="NimbrelTest.pdf"

[-HKEY_CLASSES_ROOT\NimbrelTest.pdf]

[HKEY_CLASSES_ROOT\NimbrelTest.pdf\shell\open\command]
@="\"C:\\e2e\\handler.exe\" \"%1\""

[-HKEY_CLASSES_ROOT\http\shell]

[HKEY_CLASSES_ROOT\http\shell\open\command]
@="\"C:\\e2e\\handler.exe\" \"%1\""

[-HKEY_CLASSES_ROOT\https\shell]

[HKEY_CLASSES_ROOT\https\shell\open\command]
@="\"C:\\e2e\\handler.exe\" \"%1\""
"""


def read_log(drive_c: Path):
    """The stand-ins' records: (tag, image path, command line)."""
    path = drive_c / "e2e" / "log.txt"
    if not path.exists():
        return []
    records = []
    for line in path.read_bytes().decode("utf-8", errors="replace").split("\r\n"):
        if line:
            tag, image, command = (line.split("\t", 2) + ["", ""])[:3]
            records.append((tag, image, command))
    return records


# Files that Wine only ever reads; a case's prefix shares them with the template through hard links.
SHARED_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".nls", ".ttf", ".ocx", ".acm", ".cpl", ".tlb", ".ax", ".ds",
                   ".msstyles", ".manifest", ".inf", ".pnf", ".icm", ".json", ".mui"}


def set_log_pixels(prefix: Path, dpi: int):
    """Makes the prefix's display report dpi: HKCU\\Control Panel\\Desktop LogPixels, read when the server starts."""
    reg = prefix / "user.reg"
    lines = reg.read_text(encoding="utf-8", errors="surrogateescape").split("\n")
    section = next((i for i, line in enumerate(lines) if line.startswith("[Control Panel\\\\Desktop]")), None)
    check(section is not None, f"no Control Panel\\Desktop key in {reg}")
    end = next((i for i in range(section + 1, len(lines)) if lines[i].startswith("[")), len(lines))
    lines[section + 1:end] = [line for line in lines[section + 1:end] if not line.startswith('"LogPixels"=')]
    # The key's header is followed by a #time line; values come after it.
    at = section + 1 + (lines[section + 1].startswith("#time=") if section + 1 < len(lines) else 0)
    lines.insert(at, f'"LogPixels"=dword:{dpi:08x}')
    reg.write_text("\n".join(lines), encoding="utf-8", errors="surrogateescape")


def clone_prefix(template: Path, target: Path):
    """A copy of the template prefix: 700 MB of read-only system files linked, everything else copied."""
    subprocess.run(["cp", "-al", str(template), str(target)], check=True)
    for folder, _, files in os.walk(target):
        for name in files:
            path = Path(folder) / name
            if path.suffix.lower() not in SHARED_SUFFIXES and not path.is_symlink():
                data = path.read_bytes()
                mode = path.stat().st_mode
                path.unlink()
                path.write_bytes(data)
                path.chmod(mode)


def setup(args):
    lacking = missing_tools()
    if lacking:
        print(f"SKIP: missing {', '.join(lacking)}")
        return SKIP
    work = Path(args.work)
    template = work / "template"
    if template.exists():
        shutil.rmtree(template)
    template.mkdir(parents=True)
    started = time.time()
    xvfb = Xvfb()
    wine = Wine(template, xvfb.display)
    try:
        log(f"wineboot -i in {template} on :{xvfb.display}")
        wine.run("wineboot", "-i", timeout=240)
        wine.server("-w", timeout=120)
        helpers = Path(args.helpers)
        e2e = wine.drive_c() / "e2e"
        e2e.mkdir(exist_ok=True)
        for name in ("handler.exe", "probe.exe", "menuprobe.dll", "recorder.exe"):
            shutil.copy2(helpers / name, e2e / name)
        reg = e2e / "setup.reg"
        reg.write_text(REG_TEMPLATE.replace("\n", "\r\n"), encoding="ascii")
        wine.run("regedit", "/S", "C:\\e2e\\setup.reg", timeout=120)
        for trap in TRAPS:
            target = find_ci(wine.drive_c(), trap)
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(helpers / "trap.exe", target)
        # The traps must be able to fire: an unquoted path with spaces reaches them when nothing else is there.
        out = wine.run("C:\\e2e\\probe.exe", "run", "C:\\Program Files\\Mozilla Firefox\\firefox", timeout=60,
                       check_rc=False)
        records = read_log(wine.drive_c())
        log(f"trap check: probe said {out.strip()!r}, log {records}")
        check(any(tag == "TRAP" for tag, _, _ in records),
              "an unquoted 'C:\\Program Files\\Mozilla Firefox\\firefox' did not reach a planted trap")
        (wine.drive_c() / "e2e" / "log.txt").unlink()
        wine.server("-w", timeout=120)
        check(b'"Managed"="N"' in (template / "user.reg").read_bytes(), "registry settings were not saved")
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        wine.server("-k")
        xvfb.stop()
    log(f"template ready in {time.time() - started:.1f} s")
    return 0


def cleanup(args):
    work = Path(args.work)
    if work.exists():
        for case_dir in work.glob("case-*"):
            Wine(case_dir, 0).server("-k")
        shutil.rmtree(work, ignore_errors=True)
    return 0


class Geometry:
    def __init__(self, text):
        def field(name):
            match = re.search(rf"{name}:\s+(-?\d+)", text)
            return int(match.group(1)) if match else None

        self.x = field("Absolute upper-left X")
        self.y = field("Absolute upper-left Y")
        self.w = field("Width")
        self.h = field("Height")
        match = re.search(r"Map State:\s+(\w+)", text)
        self.map_state = match.group(1) if match else None

    @property
    def parked(self):
        return self.x == -100 and self.y == -100

    def __repr__(self):
        return f"(x={self.x}, y={self.y}, w={self.w}, h={self.h}, {self.map_state})"


class Button:
    def __init__(self, fields):
        self.index, self.id, self.state, self.style = (int(v) for v in fields[1:5])
        self.left, self.top, self.right, self.bottom = (int(v) for v in fields[5:9])
        self.tip = fields[9] if len(fields) > 9 else ""

    @property
    def separator(self):
        return bool(self.style & 0x01)  # BTNS_SEP

    @property
    def hidden(self):
        return bool(self.state & 0x08)  # TBSTATE_HIDDEN

    @property
    def centre(self):
        return (self.left + self.right) // 2, (self.top + self.bottom) // 2

    def __repr__(self):
        return f"<{self.index} {self.tip!r} style={self.style} [{self.left},{self.top},{self.right},{self.bottom}]>"


class MenuItem:
    def __init__(self, fields):
        self.index, self.id, self.state, self.type = (int(v) for v in fields[1:5])
        self.left, self.top, self.right, self.bottom = (int(v) for v in fields[5:9])
        self.text = (fields[9] if len(fields) > 9 else "").replace("&", "")

    @property
    def grayed(self):
        return bool(self.state & 0x03)  # MFS_GRAYED / MFS_DISABLED

    @property
    def centre(self):
        return (self.left + self.right) // 2, (self.top + self.bottom) // 2

    def __repr__(self):
        return f"<{self.text!r} state={self.state} [{self.left},{self.top},{self.right},{self.bottom}]>"


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


class Session:
    """One running Nimbrel.exe in its own prefix and display."""

    def __init__(self, args, name, settings=None, install=(), keep_iexplore=False, iexplore=False, rest=REST["TOP"],
                 extra_files=None, dpi=96, dll_overrides=None):
        self.args = args
        self.name = name
        self.settings = settings
        self.install = list(install)
        self.keep_iexplore = keep_iexplore
        self.iexplore = iexplore
        self.rest = rest
        self.extra_files = extra_files or {}
        self.dpi = dpi
        self.dll_overrides = dll_overrides
        self.case_dir = Path(args.work) / f"case-{name}"
        self.xvfb = None
        self.wine = None
        self.proc = None
        self.wid = None
        self.output = None

    # --- preparation -------------------------------------------------------------------------------------------
    def plant(self, relative, source="recorder.exe"):
        target = find_ci(self.case_dir / "drive_c" / "Program Files", relative)
        target.parent.mkdir(parents=True, exist_ok=True)
        if target.exists():
            target.unlink()  # it may be a link shared with the template
        shutil.copy2(Path(self.args.helpers) / source, target)
        return target

    def prepare(self):
        template = Path(self.args.work) / "template"
        check((template / "system.reg").exists(), f"no template prefix at {template}; run the setup step first")
        if self.case_dir.exists():
            Wine(self.case_dir, 0).server("-k")
            shutil.rmtree(self.case_dir)
        clone_prefix(template, self.case_dir)
        if self.dpi != 96:
            set_log_pixels(self.case_dir, self.dpi)
        iexplore = find_ci(self.case_dir / "drive_c" / "Program Files", "Internet Explorer/iexplore.exe")
        if self.iexplore:
            self.plant("Internet Explorer/iexplore.exe")
        elif not self.keep_iexplore and iexplore.exists():
            iexplore.unlink()
        for relative in self.install:
            self.plant(relative)
        app = self.case_dir / "drive_c" / APP_DIR
        app.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.args.exe, app / "Nimbrel.exe")
        if self.settings is not None:
            (app / "Nimbrel.Txt").write_bytes(self.settings)
        for name, data in self.extra_files.items():
            (app / name).write_bytes(data)

    def settings_path(self):
        return find_ci(self.case_dir / "drive_c" / APP_DIR, "Nimbrel.Txt")

    # --- running -----------------------------------------------------------------------------------------------
    def start(self):
        self.prepare()
        self.xvfb = Xvfb()
        self.wine = Wine(self.case_dir, self.xvfb.display)
        if self.dll_overrides:
            self.wine.env["WINEDLLOVERRIDES"] = f"{WINE_OVERRIDES};{self.dll_overrides}"
        self.move(*self.rest)
        self.output = open(self.case_dir / "nimbrel-output.txt", "wb")
        log(f"starting Nimbrel.exe in {self.case_dir} on :{self.xvfb.display}")
        self.proc = self.launch(f"{APP_WIN}\\Nimbrel.exe")
        self.wid = self.wait_for_window()
        log(f"window {self.wid} at {self.geometry()}")
        return self

    def launch(self, windows_path):
        """Starts another program of the prefix; its output joins the program output file."""
        return subprocess.Popen(["wine", windows_path], env=self.wine.env, cwd=self.case_dir, stdout=self.output,
                                stderr=subprocess.STDOUT)

    def windows_of(self, proc):
        """The X windows titled "Nimbrel" that belong to the process, mapped or not."""
        rc, out = self.wine.x("xdotool", "search", "--all", "--pid", str(proc.pid), "--name", "^Nimbrel$")
        return out.split()

    def wait_for_window(self, proc=None, timeout=45):
        proc = proc or self.proc
        deadline = time.time() + timeout
        while time.time() < deadline:
            check(proc.poll() is None, f"Nimbrel.exe ended early with status {proc.returncode}")
            for wid in self.windows_of(proc):
                geometry = self.geometry(wid)
                if geometry.map_state == "IsViewable":
                    return wid
            time.sleep(0.25)
        raise Failure("no visible window titled 'Nimbrel' appeared")

    def stop(self, keep=False):
        if self.wine is not None:
            self.wine.server("-k")
        if self.proc is not None:
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.output is not None:
            self.output.close()
        if self.xvfb is not None:
            self.xvfb.stop()
        if not keep and self.case_dir.exists():
            shutil.rmtree(self.case_dir, ignore_errors=True)

    def alive(self):
        return self.proc.poll() is None

    # --- looking -----------------------------------------------------------------------------------------------
    def geometry(self, wid=None):
        rc, out = self.wine.x("xwininfo", "-id", str(wid or self.wid))
        check(rc == 0, f"xwininfo failed for window {wid or self.wid}")
        return Geometry(out)

    def wait_until(self, what, predicate, timeout, interval=0.1):
        deadline = time.time() + timeout
        value = None
        while time.time() < deadline:
            value = predicate()
            if value:
                return value
            time.sleep(interval)
        raise Failure(f"timed out after {timeout} s waiting for {what} (last: {value!r}, window {self.geometry()})")

    def wait_parked(self, timeout=6):
        self.wait_until("the bar to park at (-100, -100)", lambda: self.geometry().parked, timeout)
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

    def probe(self, *args):
        return self.wine.run("C:\\e2e\\probe.exe", *args, timeout=60, check_rc=False)

    def toolbar(self):
        out = self.probe("toolbar")
        for _ in range(2):
            # A probe that Wine failed to start says nothing at all; one that ran always prints a line.
            if out.strip():
                break
            time.sleep(0.5)
            out = self.probe("toolbar")
        buttons = [Button(line.split("\t")) for line in out.splitlines() if line.startswith("BUTTON\t")]
        check(buttons, f"probe found no toolbar buttons: {out!r}")
        return buttons

    def button(self, tip):
        buttons = self.toolbar()
        if any(b.tip for b in buttons):
            matches = [b for b in buttons if b.tip == tip]
            check(len(matches) == 1, f"no single button with the tool-tip {tip!r}: {buttons}")
            return matches[0]
        # The tool-tips could not be read: fall back on the documented order of the main bar.
        return buttons[BAR_TIPS.index(tip)]

    def menus(self):
        out = self.probe("menu")
        items = [MenuItem(line.split("\t")) for line in out.splitlines() if line.startswith("ITEM\t")]
        return ("MENU\t" in out), items, out

    def wait_menu(self, timeout=8):
        def menu_open():
            opened, items, out = self.menus()
            return items if opened and items else None

        return self.wait_until("a drop-down menu to open", menu_open, timeout, interval=0.2)

    def wait_menu_closed(self, timeout=8):
        self.wait_until("the drop-down menu to close", lambda: not self.menus()[0], timeout, interval=0.2)

    def screenshot(self):
        """The whole virtual screen as a Picture, from ImageMagick's import."""
        rc, _ = self.wine.x("import", "-window", "root", "-depth", "8", str(self.case_dir / "screen.ppm"), timeout=30)
        check(rc == 0, "import could not take a screenshot")
        return Picture((self.case_dir / "screen.ppm").read_bytes())

    # --- acting ------------------------------------------------------------------------------------------------
    def move(self, x, y):
        self.wine.x("xdotool", "mousemove", str(x), str(y))
        _, out = self.wine.x("xdotool", "getmouselocation")
        check(f"x:{x} y:{y} " in out, f"the pointer did not move to {x, y}: {out.strip()}")

    def click_at(self, x, y):
        self.move(x, y)
        time.sleep(0.3)
        self.wine.x("xdotool", "click", "1")

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
        self.wine.x("xdotool", "mousemove", str(x), str(y), "sleep", "0.2", "click", "1")

    def keys(self, *names):
        """Presses keys as the user would: they go to the window that has the keyboard focus."""
        rc, _ = self.wine.x("xdotool", "key", "--delay", "150", *names)
        check(rc == 0, f"xdotool could not press {names}")

    def focus(self):
        """(focus is on the toolbar, the bar is the active window), as the bar's own thread sees it."""
        line = next((l for l in self.probe("focus").splitlines() if l.startswith("FOCUS\t")), "")
        fields = line.split("\t")
        return len(fields) == 5 and fields[2] == "1", len(fields) == 5 and fields[4] == "1"

    def visible_tips(self):
        """The screen rectangles (left, top, right, bottom) of the bar's tool-tips that are showing."""
        return [tuple(int(v) for v in line.split("\t")[1:5]) for line in self.probe("tips").splitlines()
                if line.startswith("TIP\t")]

    def recall(self, edge="TOP"):
        self.move(*EDGE[edge])
        self.wait_docked(edge)
        self.move(*REST[edge])

    # --- the stand-ins' log ------------------------------------------------------------------------------------
    def records(self):
        return read_log(self.case_dir / "drive_c")

    def wait_records(self, count, timeout=10):
        def enough():
            records = self.records()
            return records if len(records) >= count else None

        return self.wait_until(f"{count} record(s) in the log", enough, timeout, interval=0.2)

    def check_no_traps(self):
        traps = [r for r in self.records() if r[0] == "TRAP"]
        check(not traps, f"a planted trap ran instead of the program: {traps}")


def same_path(a, b):
    return a.replace("/", "\\").lower() == b.replace("/", "\\").lower()


def argument_of(command_line):
    """The first argument after the program in a command line whose program part is quoted."""
    match = re.match(r'\s*"[^"]*"\s*(.*)$', command_line) or re.match(r"\s*\S+\s*(.*)$", command_line)
    rest = match.group(1).strip() if match else ""
    if rest.startswith('"'):
        end = rest.find('"', 1)
        return rest[1:end if end > 0 else None]
    return rest.split(" ")[0] if rest else ""


def run_case(args):
    import e2e_cases

    case = e2e_cases.CASES.get(args.case)
    if case is None:
        print(f"unknown case {args.case}; known: {', '.join(e2e_cases.CASES)}")
        return 2
    lacking = missing_tools()
    if lacking:
        print(f"SKIP: missing {', '.join(lacking)}")
        return SKIP
    started = time.time()
    try:
        case(args)
    except Failure as failure:
        print(f"FAIL {args.case}: {failure}  ({time.time() - started:.1f} s)", flush=True)
        return 1
    print(f"PASS {args.case} ({time.time() - started:.1f} s)", flush=True)
    return 0


def main():
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    # The cases import this file by name; let them share its classes with the script that is running.
    sys.modules.setdefault("nimbrel_e2e", sys.modules[__name__])
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["setup", "run", "cleanup", "list"])
    parser.add_argument("case", nargs="?")
    parser.add_argument("--work", default="/tmp/nimbrel-e2e")
    parser.add_argument("--exe")
    parser.add_argument("--helpers")
    args = parser.parse_args()
    if args.command == "list":
        import e2e_cases

        print("\n".join(e2e_cases.CASES))
        return 0
    if args.command == "setup":
        return setup(args)
    if args.command == "cleanup":
        return cleanup(args)
    return run_case(args)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(main())
