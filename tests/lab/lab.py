#!/usr/bin/env python3
"""The test lab: Windows programs under Wine on a private X server that looks like the desktop people have.

Every harness starts its programs here, most of them through the bar driver built on it (bar.py): the end-to-end
cases (tests/e2e), the package tests (tests/package), the soak (tests/soak), the benchmark (bench) and the contact
sheet (tools/contact-sheet.py). Needs Debian's python3-xlib; run it with /usr/bin/python3.

    with Lab("name", display=Display.workarea(1280, 800, (0, 0, 1280, 760)), dpi=144) as lab:
        bar = lab.start(r"C:\\Apps\\Nimbrel.exe")        # a Popen whose pid is the program's own
        wid = lab.find_window("Nimbrel", bar)           # its X window, once viewable
        lab.geometry(wid)                               # x, y, w, h, viewable
        lab.move_pointer(900, 12); lab.click()          # XTEST, in X coordinates
        lab.wait_until("what", predicate, 5)            # or Failure naming what did not happen
        lab.stays("what", predicate, 2.5)               # or Failure: proves that nothing changes for a time
        lab.keys("Right", "Return", "alt+F4")           # SendInput from inside Wine, to the foreground window
        lab.desktop("monitors")                         # desktop.exe's records, read from inside Wine
        lab.taskbar()                                   # a topmost stand-in over the strip left by the work area
        lab.toolbar(), lab.menus()                      # the running bar's controls, read by probe.exe

Displays: Display.plain(W, H) is an Xvfb screen; Display.workarea(W, H, (L, T, R, B)) also sets the root window's
_NET_WORKAREA before Wine starts (Wine reads it when it reads the display, not when it changes); Display.modes(W, H,
[(W2, H2)]) adds RandR modes that ChangeDisplaySettingsW (`desktop mode W H`) can switch to; Display.two_monitors()
runs Xorg's dummy driver as root: the primary at 0,0-1280,800 and a second monitor at -1024,0-0,768 in Windows'
coordinates, so X = Windows + display.origin. Cases on that display take turns (one Xorg with a VT at a time).

The template prefix is made once per work folder ($NIMBREL_LAB_WORK, /tmp/nimbrel-lab by default; `lab.py template`
makes it afresh, every lab makes it when it is missing or stale): wineboot, Managed=N (there is no window manager),
the lab's programs from $NIMBREL_LAB_HELPERS in C:\\lab, .pdf files and web addresses opened by a recording handler,
traps where an unquoted command line would run something else. Each lab gets a copy (Wine's read-only files
hard-linked) whose user.reg takes the DPI and the visual style before Wine starts; Wine 8 makes prefixes with the
light style on, as Windows 10 and 11 have it, so on is the default.

A Lab ends only what it started, by its own ids: its programs, its prefix's wineserver, its X server.
"""

import argparse
import collections
import fcntl
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

from Xlib import X, display as xdisplay
from Xlib.error import XError
from Xlib.ext import xtest

ROOT = Path(__file__).resolve().parents[2]
WORK = Path(os.environ.get("NIMBREL_LAB_WORK", "/tmp/nimbrel-lab"))
HELPERS = Path(os.environ.get("NIMBREL_LAB_HELPERS", ROOT / "build" / "windows" / "helpers"))
KEEP = os.environ.get("NIMBREL_LAB_KEEP") == "1"
SKIP = 77
DISPLAYS = range(100, 140)
TOOLS = ("wine", "wineserver", "Xvfb", "xdotool", "xdpyinfo", "xprop", "xrandr", "cvt")
WINE_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
LAB = "C:\\lab"
DESKTOP = LAB + "\\desktop.exe"
PROBE = LAB + "\\probe.exe"
# The programs of the template's C:\lab; the recorder also stands in as the traps and the document handler.
PLANTED = ("desktop.exe", "probe.exe", "menuprobe.dll", "recorder.exe", "handler.exe")
# Places where a program started from an unquoted command line would run something else first.
TRAPS = ["Program.exe", "Program Files/Mozilla.exe", "Program Files/microsoft.exe", "Program Files/google.exe",
         "Program Files/netscape/netscape.exe"]
# Files that Wine only ever reads; a lab's prefix shares them with the template through hard links.
SHARED_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".nls", ".ttf", ".ocx", ".acm", ".cpl", ".tlb", ".ax", ".ds",
                   ".msstyles", ".manifest", ".inf", ".pnf", ".icm", ".json", ".mui"}
LIGHT_STYLE = "C:\\windows\\resources\\themes\\light\\light.msstyles"

TEMPLATE_REG = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CLASSES_ROOT\.pdf]
@="NimbrelTest.pdf"

[-HKEY_CLASSES_ROOT\NimbrelTest.pdf]

[HKEY_CLASSES_ROOT\NimbrelTest.pdf\shell\open\command]
@="\"C:\\lab\\handler.exe\" \"%1\""

[-HKEY_CLASSES_ROOT\http\shell]

[HKEY_CLASSES_ROOT\http\shell\open\command]
@="\"C:\\lab\\handler.exe\" \"%1\""

[-HKEY_CLASSES_ROOT\https\shell]

[HKEY_CLASSES_ROOT\https\shell\open\command]
@="\"C:\\lab\\handler.exe\" \"%1\""
"""

# One virtual card, two heads; each gets its mode from xrandr once the server runs.
DUMMY_CONFIG = """Section "Device"
    Identifier "card"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Screen"
    Identifier "screen"
    Device "card"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2304 800
    EndSubSection
EndSection
"""


class Failure(Exception):
    """The program, or the lab, is not as it should be."""


def check(condition, message):
    if not condition:
        raise Failure(message)


class Skipped(Exception):
    """The case cannot be set up on this machine."""


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def wait_for(predicate, timeout, interval=0.1):
    """Polls predicate until it gives something true and returns that, or None after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value or None
        time.sleep(interval)


def missing_tools(*more):
    return [tool for tool in TOOLS + more if shutil.which(tool) is None]


def run_main(main):
    """Runs a harness: a TERM signal (a test's timeout) still ends what the lab started, a Failure prints FAIL."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        sys.exit(main())
    except Failure as failure:
        print(f"FAIL: {failure}", flush=True)
        sys.exit(1)


def run_cases(cases, names, *args):
    """Runs the named cases of the table, each printing PASS (with what it returned), FAIL or SKIP and its time;
    the exit status: 1 when any failed, SKIP when all were skipped or the tools are missing."""
    lacking = missing_tools()
    if lacking:
        print(f"SKIP: missing {', '.join(lacking)}")
        return SKIP
    results = []
    for name in names:
        started = time.time()
        try:
            detail = cases[name](*args)
            print(f"PASS {name}{': ' + detail if detail else ''} ({time.time() - started:.1f} s)", flush=True)
            results.append(True)
        except Skipped as reason:
            print(f"SKIP {name}: {reason}", flush=True)
            results.append(None)
        except Failure as failure:
            print(f"FAIL {name}: {failure} ({time.time() - started:.1f} s)", flush=True)
            results.append(False)
    return 1 if False in results else SKIP if all(r is None for r in results) else 0


def records(text, kind=None):
    """Tab-separated records, one a line, as the lab's Windows helpers print them; only those of kind when given."""
    rows = [line.split("\t") for line in text.splitlines() if line]
    return [row for row in rows if kind is None or row[0] == kind]


def stop_process(proc, timeout=5):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def find_ci(base: Path, relative: str) -> Path:
    """base/relative, matching existing names without regard to case, as Windows does."""
    path = base
    for part in relative.replace("\\", "/").split("/"):
        match = None
        if path.is_dir():
            match = next((entry for entry in path.iterdir() if entry.name.lower() == part.lower()), None)
        path = match if match is not None else path / part
    return path


def wine_env(prefix: Path, display: str, overrides=None):
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", DISPLAY=display,
               WINEDLLOVERRIDES=WINE_OVERRIDES + (f";{overrides}" if overrides else ""),
               # Wine turns Unix file names and arguments into UTF-16 by the locale: make it UTF-8.
               LANG="C.UTF-8", LC_ALL="C.UTF-8",
               # Wine's Recycle Bin is the host's trash, $XDG_DATA_HOME/Trash: the lab's own.
               XDG_DATA_HOME=str(prefix / "xdg-data"))
    env.pop("WAYLAND_DISPLAY", None)
    return env


# --- displays ------------------------------------------------------------------------------------------------------
class Display:
    """The screen a lab shows to Wine; made by plain(), workarea(), modes() or two_monitors()."""

    def __init__(self, width, height, work_area=None, extra_modes=(), monitors=1):
        self.width, self.height = width, height
        self.work_area = work_area
        self.extra_modes = list(extra_modes)
        self.monitors = monitors
        # Where Windows' (0, 0) lies in X's coordinates.
        self.origin = (1024, 0) if monitors == 2 else (0, 0)

    @classmethod
    def plain(cls, width=1024, height=768):
        return cls(width, height)

    @classmethod
    def workarea(cls, width=1280, height=800, area=(0, 0, 1280, 760)):
        """A screen whose work area (left, top, right, bottom) leaves room for a taskbar."""
        return cls(width, height, work_area=area)

    @classmethod
    def modes(cls, width=1280, height=800, extra=((1024, 768),)):
        return cls(width, height, extra_modes=extra)

    @classmethod
    def two_monitors(cls):
        return cls(1280, 800, monitors=2)

    def __repr__(self):
        return (f"Display({self.width}x{self.height}, work area {self.work_area}, modes {self.extra_modes}, "
                f"{self.monitors} monitor(s))")

    def launch(self, number, folder: Path):
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # -noreset: otherwise the server forgets the pointer and the root's properties when its last client leaves.
        check(self.monitors == 1 or os.geteuid() == 0, "two monitors take Xorg's dummy driver, which runs as root")
        if self.monitors == 1:
            return subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{self.width}x{self.height}x24",
                                     "-noreset", "-nolisten", "tcp"], **quiet)
        config = folder / "xorg.conf"
        config.write_text(DUMMY_CONFIG)
        return subprocess.Popen(["Xorg", f":{number}", "-config", str(config), "-noreset", "-nolisten", "tcp",
                                 "-logfile", str(folder / "xorg.log"), "vt8"], **quiet)

    def prepare(self, xrun):
        """Sets the screen up before Wine first looks at it; xrun runs an X tool on it."""
        if self.work_area:
            left, top, right, bottom = self.work_area
            xrun("xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA",
                 f"{left}, {top}, {right - left}, {bottom - top}")
        for width, height in self.extra_modes:
            xrun("xrandr", "--newmode", *modeline(width, height))
            xrun("xrandr", "--addmode", "screen", f"{width}x{height}")
        if self.monitors == 2:
            xrun("xrandr", "--newmode", *modeline(1280, 800))
            xrun("xrandr", "--addmode", "DUMMY0", "1280x800")
            xrun("xrandr", "--addmode", "DUMMY1", "1024x768")
            xrun("xrandr", "--fb", "2304x800", "--output", "DUMMY1", "--mode", "1024x768", "--pos", "0x0",
                 "--output", "DUMMY0", "--mode", "1280x800", "--pos", "1024x0", "--primary")
            # Wine reads the layout through RandR without probing; until a client asks for a probe, it finds DUMMY0
            # alone. Then let the server settle.
            xrun("xrandr", "--query")
            time.sleep(1)


def modeline(width, height):
    """A 60 Hz CVT mode named WxH, as xrandr --newmode takes it."""
    out = subprocess.run(["cvt", str(width), str(height), "60"], capture_output=True, text=True, check=True).stdout
    fields = re.search(r'^Modeline\s+"[^"]*"\s+(.*)$', out, re.M).group(1).split()
    return [f"{width}x{height}", *fields]


def display_taken(number):
    """True while a live X server holds the display; a lock that a dead server left behind counts as free."""
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


# --- the template prefix -------------------------------------------------------------------------------------------
TEMPLATE = WORK / "template"


def template_stamp():
    """What the template was made from: Wine's version and the lab's programs."""
    digest = hashlib.sha256()
    for name in PLANTED + ("trap.exe",):
        check((HELPERS / name).is_file(), f"no {HELPERS / name}: build the lab's programs with the windows preset")
        digest.update((HELPERS / name).read_bytes())
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    return f"{version} {digest.hexdigest()}"


def ensure_template(fresh=False):
    """Makes the template when it is missing, stale or fresh is asked for; labs started side by side make it once."""
    WORK.mkdir(parents=True, exist_ok=True)
    with open(WORK / "template.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        marker, stamp = TEMPLATE / "nimbrel-lab-ready", template_stamp()
        if fresh or not (marker.exists() and marker.read_text() == stamp):
            started = time.time()
            make_template(Lab("template"))
            marker.write_text(stamp)
            log(f"template ready in {time.time() - started:.1f} s")


def make_template(lab):
    lab.prefix = TEMPLATE
    if TEMPLATE.exists():
        lab.server("-k")
        shutil.rmtree(TEMPLATE)
    TEMPLATE.mkdir(parents=True)
    lab.start_x()
    try:
        # Now and then a Wine service crashes while a prefix is first made and its crash handler keeps the prefix
        # busy for good, so that the next command never returns; a fresh prefix cures it.
        for attempt in (1, 2):
            try:
                lab.wine("wineboot", "-i", timeout=180)
                lab.server("-w", timeout=120)
                break
            except subprocess.TimeoutExpired:
                check(attempt == 1, "the Wine prefix could not be made twice running")
                log("making the Wine prefix hung; trying a fresh one")
                lab.server("-k")
                shutil.rmtree(TEMPLATE)
                TEMPLATE.mkdir()
        for name in PLANTED:
            lab.plant(HELPERS / name, f"{LAB}\\{name}")
        lab.path(f"{LAB}\\setup.reg").write_text(TEMPLATE_REG.replace("\n", "\r\n"), encoding="ascii")
        lab.wine("regedit", "/S", f"{LAB}\\setup.reg", timeout=120)
        for trap in TRAPS:
            lab.plant(HELPERS / "trap.exe", f"C:\\{trap}")
        # The traps must be able to fire: an unquoted path with spaces reaches them when nothing else is there.
        out = lab.wine(PROBE, "run", "C:\\Program Files\\Mozilla Firefox\\firefox", check_rc=False).stdout
        log(f"trap check: probe said {out.strip()!r}, log {read_log(lab.drive_c)}")
        check(any(tag == "TRAP" for tag, _, _ in read_log(lab.drive_c)),
              "an unquoted 'C:\\Program Files\\Mozilla Firefox\\firefox' did not reach a planted trap")
        lab.path(f"{LAB}\\log.txt").unlink()
        lab.server("-w", timeout=120)
        check(b'"Managed"="N"' in (TEMPLATE / "user.reg").read_bytes(), "registry settings were not saved")
    finally:
        lab.server("-k")
        stop_process(lab.x_proc)


def copy_prefix(source: Path, target: Path):
    """A copy of a prefix: its read-only system files linked, everything else copied."""
    subprocess.run(["cp", "-al", str(source), str(target)], check=True)
    for folder, _, files in os.walk(target):
        for name in files:
            path = Path(folder) / name
            if path.suffix.lower() not in SHARED_SUFFIXES and not path.is_symlink():
                data = path.read_bytes()
                mode = path.stat().st_mode
                path.unlink()
                path.write_bytes(data)
                path.chmod(mode)


def read_log(drive_c: Path):
    """The recording stand-ins' records in C:\\lab\\log.txt: (tag, image path, command line)."""
    path = drive_c / "lab" / "log.txt"
    if not path.exists():
        return []
    return [tuple((line.split("\t", 2) + ["", ""])[:3])
            for line in path.read_bytes().decode("utf-8", errors="replace").split("\r\n") if line]


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


def set_user_values(prefix: Path, key, values):
    """Writes values (str: REG_SZ, int: REG_DWORD) into an existing key of the prefix's HKCU, before Wine runs."""
    reg = prefix / "user.reg"
    lines = reg.read_text(encoding="utf-8", errors="surrogateescape").split("\n")
    header = "[" + key.replace("\\", "\\\\") + "]"
    section = next((i for i, line in enumerate(lines) if line == header or line.startswith(header + " ")), None)
    check(section is not None, f"no key {key} in {reg}")
    end = next((i for i in range(section + 1, len(lines)) if lines[i].startswith("[")), len(lines))
    names = {f'"{name}"=' for name in values}
    lines[section + 1:end] = [line for line in lines[section + 1:end] if line[:line.find("=") + 1] not in names]
    # The key's header is followed by a #time line; values come after it.
    at = section + 1 + (lines[section + 1].startswith("#time=") if section + 1 < len(lines) else 0)
    for name, value in values.items():
        text = f"dword:{value:08x}" if isinstance(value, int) else '"' + value.replace("\\", "\\\\") + '"'
        lines.insert(at, f'"{name}"={text}')
    reg.write_text("\n".join(lines), encoding="utf-8", errors="surrogateescape")


# --- the lab -------------------------------------------------------------------------------------------------------
class Geometry(collections.namedtuple("Geometry", "x y w h viewable")):
    """A top-level X window: position on the root window, size, and whether it is mapped and viewable."""

    rect = property(lambda self: self[:4])

    def __repr__(self):
        return f"(x={self.x}, y={self.y}, w={self.w}, h={self.h}, {'viewable' if self.viewable else 'unmapped'})"


class Button:
    """A toolbar button as probe.exe reads it, in screen pixels; a menu item reads the same way."""

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


class MenuItem(Button):
    def __init__(self, fields):
        super().__init__(fields)
        self.text = self.tip.replace("&", "")

    @property
    def grayed(self):
        return bool(self.state & 0x03)  # MFS_GRAYED / MFS_DISABLED

    def __repr__(self):
        return f"<{self.text!r} state={self.state} [{self.left},{self.top},{self.right},{self.bottom}]>"


class Recorder:
    """A helper running in the lab (desktop.exe taskbar, window or focusevents) and the records it has printed so
    far; ready once it has printed its first record of the kind ready."""

    def __init__(self, lab, *args, ready="WINDOW"):
        self.proc = lab.start(DESKTOP, *args, output=subprocess.PIPE)
        self.lines = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()
        self.window = lab.wait_until(f"desktop.exe {args[0]} to be ready",
                                     lambda: next(iter(self.records(ready)), None), 30)

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.decode("utf-8", errors="replace").rstrip("\r\n"))

    def records(self, kind=None):
        return records("\n".join(self.lines), kind)


class Lab:
    """One desktop: an X server, a copy of the template prefix, and the programs started in them."""

    def __init__(self, name, display=None, dpi=96, visual_style=True, overrides=None, server=False):
        self.name = name
        self.display = display or Display.plain()
        self.dpi = dpi
        self.visual_style = visual_style
        self.overrides = overrides
        self.persistent_server = server
        self.prefix = WORK / f"case-{name}"
        self.display_name = self.env = self.x_proc = self.server_proc = self.x = None
        self.procs = []
        self.on_close = []  # steps that need the programs ended and the prefix still there

    def open(self):
        """Copies the template, starts the X server and, when asked, a wineserver that stays up for the whole run."""
        ensure_template()
        if self.prefix.exists():
            self.server("-k")
            shutil.rmtree(self.prefix)
        copy_prefix(TEMPLATE, self.prefix)
        (self.prefix / "xdg-data").mkdir()
        if self.dpi != 96:
            set_user_values(self.prefix, "Control Panel\\Desktop", {"LogPixels": self.dpi})
        style = {"ThemeActive": "1", "DllName": LIGHT_STYLE, "ColorName": "Blue", "SizeName": "NormalSize"}
        set_user_values(self.prefix, "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager",
                        style if self.visual_style else {"ThemeActive": "0"})
        try:
            self.start_x()
            self.x = xdisplay.Display(self.display_name)
            if self.persistent_server:
                # No measured start pays for starting the wineserver.
                self.server_proc = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env,
                                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                time.sleep(0.3)
        except BaseException:
            self.close(keep=True)
            raise
        log(f"lab {self.name}: {self.display} on {self.display_name}, prefix {self.prefix}")
        return self

    def start_x(self):
        """The X server, on the first free display number, set up before Wine first looks at it."""
        for number in DISPLAYS:
            if display_taken(number):
                continue
            self.x_proc = self.display.launch(number, self.prefix)
            self.display_name, self.env = f":{number}", wine_env(self.prefix, f":{number}", self.overrides)
            answers = lambda: self.x_proc.poll() is not None or self.run("xdpyinfo", check_rc=False).returncode == 0
            # A server that lost the number to another one starting at the same moment ends at once.
            if wait_for(answers, 15) and self.x_proc.poll() is None:
                self.display.prepare(self.run)
                return
            stop_process(self.x_proc)
        raise Failure(f"no free X display in :{DISPLAYS.start}-:{DISPLAYS.stop - 1}")

    def close(self, keep=False):
        if self.prefix.exists():
            self.server("-k")
        for proc in self.procs:
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        if self.x is not None:
            self.x.close()
        for proc in (self.server_proc, self.x_proc):
            if proc is not None:
                stop_process(proc)
        for step in reversed(self.on_close):
            step()
        if (keep or KEEP) and self.prefix.exists():
            log(f"kept {self.prefix} to look into")
        else:
            shutil.rmtree(self.prefix, ignore_errors=True)

    def __enter__(self):
        return self.open()

    def __exit__(self, kind, value, traceback):
        self.close(keep=kind is not None)
        return False

    # --- files -----------------------------------------------------------------------------------------------------
    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def path(self, windows_path) -> Path:
        """The Unix path behind a C:\\ path of this prefix."""
        check(windows_path[:3].upper() == "C:\\", f"not a C:\\ path: {windows_path}")
        return find_ci(self.drive_c, windows_path[3:])

    def plant(self, source, windows_path) -> Path:
        """Copies source to windows_path, never writing through a link shared with the template."""
        target = self.path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        if target.exists():
            target.unlink()
        shutil.copy2(source, target)
        return target

    # --- programs --------------------------------------------------------------------------------------------------
    def run(self, *argv, timeout=60, check_rc=True):
        """Runs a command on this lab's display and prefix and waits for it; stdout and stderr as text."""
        result = subprocess.run([str(a) for a in argv], env=self.env, capture_output=True, text=True,
                                errors="replace", timeout=timeout)
        if check_rc and result.returncode != 0:
            raise Failure(f"{' '.join(map(str, argv))} exited {result.returncode}: {result.stderr.strip()}")
        return result

    def wine(self, *args, timeout=60, check_rc=True):
        return self.run("wine", *args, timeout=timeout, check_rc=check_rc)

    def server(self, *args, timeout=60):
        subprocess.run(["wineserver", *args], env=wine_env(self.prefix, ""), capture_output=True, timeout=timeout)

    def start(self, program, *args, output=None):
        """Starts a program as a user's `wine prog.exe` would, in the background; the Popen's pid is the program's."""
        proc = subprocess.Popen(["wine", str(program), *map(str, args)], env=self.env, cwd=self.prefix,
                                stdout=output or subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL if output is subprocess.PIPE else subprocess.STDOUT)
        self.procs.append(proc)
        return proc

    def wait_until(self, what, predicate, timeout, interval=0.05):
        value = wait_for(predicate, timeout, interval)
        if not value:
            raise Failure(f"timed out after {timeout} s waiting for {what}{self.describe()}")
        return value

    def stays(self, what, predicate, seconds, interval=0.1):
        """Proves that predicate holds all through the next seconds: the one wait for something not to happen."""
        deadline = time.monotonic() + seconds
        while True:
            check(predicate(), f"{what} no longer holds{self.describe()}")
            if time.monotonic() >= deadline:
                return
            time.sleep(interval)

    def describe(self):
        """More to say when a wait times out."""
        return ""

    # --- windows ---------------------------------------------------------------------------------------------------
    def windows(self, title, pid=None):
        """The X windows titled exactly title (of the process pid when given), mapped or not."""
        args = ["--pid", str(pid)] if pid else []
        out = self.run("xdotool", "search", "--all", *args, "--name", f"^{re.escape(title)}$", check_rc=False).stdout
        return out.split()

    def find_window(self, title, proc=None, timeout=45):
        """Waits for a viewable window titled title (of proc, a Popen, when given) and returns its X id."""

        def found():
            check(proc is None or proc.poll() is None, f"the program ended early with status {proc and proc.returncode}")
            return next((w for w in self.windows(title, proc and proc.pid) if self.geometry(w).viewable), None)

        return self.wait_until(f"a visible window titled {title!r}", found, timeout, 0.25)

    def geometry(self, wid) -> Geometry:
        try:
            window = self.x.create_resource_object("window", int(wid))
            g = window.get_geometry()
            return Geometry(g.x, g.y, g.width, g.height, window.get_attributes().map_state == X.IsViewable)
        except XError:
            raise Failure(f"window {wid} is gone") from None

    def screenshot(self, path):
        """The whole X screen into path (ImageMagick's import; the suffix gives the format)."""
        self.run("import", "-window", "root", "-depth", "8", path, timeout=30)

    def picture(self):
        """The whole X screen as an RGB picture of python3-pil."""
        from PIL import Image

        self.screenshot(self.prefix / "screen.png")
        with Image.open(self.prefix / "screen.png") as shot:
            return shot.convert("RGB")

    # --- hands -----------------------------------------------------------------------------------------------------
    def move_pointer(self, x, y):
        xtest.fake_input(self.x, X.MotionNotify, x=int(x), y=int(y))
        at = self.x.screen().root.query_pointer()
        check((at.root_x, at.root_y) == (x, y), f"the pointer did not move to {x, y}: {at.root_x, at.root_y}")

    def click(self, button=1):
        """Presses and releases a pointer button; returns CLOCK_REALTIME ns taken just before the press."""
        stamp = time.time_ns()
        xtest.fake_input(self.x, X.ButtonPress, button)
        xtest.fake_input(self.x, X.ButtonRelease, button)
        self.x.sync()
        return stamp

    def keys(self, *names, delay=150):
        """Presses keys with SendInput, so that they reach the foreground window whatever X's focus."""
        self.desktop("keys", "-d", delay, *names)

    # --- the lab's Windows helpers ---------------------------------------------------------------------------------
    def desktop(self, *args):
        """desktop.exe's records: what a program inside Wine sees of the desktop, or what it did."""
        result = self.wine(DESKTOP, *args, check_rc=False)
        check(result.returncode == 0, f"desktop.exe {' '.join(map(str, args))} failed: {result.stdout.strip()}")
        return records(result.stdout)

    def taskbar(self, *place):
        """A topmost window over place (left, top, right, bottom), by default the strip that the display's work area
        leaves to a taskbar, recording the messages it gets."""
        if not place:
            left, top, right, bottom = self.display.work_area
            width, height = self.display.width, self.display.height
            place = ((0, bottom, width, height) if bottom < height else (0, 0, width, top) if top > 0 else
                     (0, 0, left, height) if left > 0 else (right, 0, width, height))
        return Recorder(self, "taskbar", *place)

    def window(self, title="Lab", place=()):
        """An ordinary window in the foreground (at place, left, top, right, bottom in Windows' coordinates, when
        given), recording the keys and messages it gets."""
        return Recorder(self, "window", title, *place)

    def focus_events(self):
        """Every EVENT_OBJECT_FOCUS of the lab's other programs from now on, as a screen reader hears them."""
        return Recorder(self, "focusevents", ready="HOOKED")

    def probe(self, *args):
        """probe.exe's output about the bar running here; it always prints a line when Wine started it."""
        out = ""
        for attempt in range(3):
            out = self.wine(PROBE, *args, check_rc=False).stdout
            if out.strip():
                break
            time.sleep(0.5)
        return out

    def toolbar(self):
        """The toolbar's buttons. A posted rebuild (the Links folder read at the start, a new scale) replaces the
        toolbar, which holds no buttons for a moment in between."""
        probed = []

        def buttons():
            probed.append(self.probe("toolbar"))
            return [Button(fields) for fields in records(probed[-1], "BUTTON")]

        found = wait_for(buttons, 3)
        check(found, f"probe found no toolbar buttons: {probed[-1]!r}")
        return found

    def menus(self):
        """(a menu is open, its items, probe's output)."""
        out = self.probe("menu")
        return "MENU\t" in out, [MenuItem(fields) for fields in records(out, "ITEM")], out


# --- command line --------------------------------------------------------------------------------------------------
def cleanup(work: Path):
    """Ends the wineservers of what is left of a work folder and removes it."""
    if work.exists():
        for prefix in work.glob("case-*"):
            subprocess.run(["wineserver", "-k"], env=wine_env(prefix, ""), capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


def show(args):
    """Runs a program on a plain lab display and saves a picture of the screen once its window is up."""
    with Lab("show") as lab:
        program = lab.plant(args.program, f"C:\\show\\{Path(args.program).name}")
        lab.find_window(args.title, lab.start(program))
        time.sleep(1)
        lab.screenshot(Path(args.out).resolve())
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("template", help="make the template prefix afresh in the work folder")
    commands.add_parser("cleanup", help="end what is left in the work folder and remove it")
    shot = commands.add_parser("show", help="run a program on a virtual display and save a screenshot")
    shot.add_argument("program")
    shot.add_argument("--title", required=True)
    shot.add_argument("--out", required=True)
    args = parser.parse_args()
    lacking = missing_tools()
    if args.command != "cleanup" and lacking:
        print(f"SKIP: missing {', '.join(lacking)}")
        return SKIP
    if args.command == "template":
        ensure_template(fresh=True)
    elif args.command == "cleanup":
        cleanup(WORK)
    else:
        return show(args)
    return 0


if __name__ == "__main__":
    run_main(main)
