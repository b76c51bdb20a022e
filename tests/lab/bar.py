"""The bar driver: one Nimbrel.exe in its own lab, started from a folder with a settings text and driven as a user
drives it. The end-to-end cases, the soak and bad-environment cases, the package tests, the benchmark and the
contact sheet all run the bar through it.

    with Bar("name", exe, settings=settings("LEFT", "LEFT"), display=Display.workarea(), dpi=144) as bar:
        bar.install("Opera/opera.exe")              # a recorder as a catalogued program (or at any C:\\ path)
        bar.put("Links/Mail.url", b"...")           # any file beside the exe, before the start or while it runs
        bar.launch()                                # the pointer on the band, the bar started, its window mapped
        bar.docked(), bar.parked()                  # where the bar's 400 twips, the scale and the work area put it
        bar.move_pointer(*bar.away); bar.wait_parked(); bar.recall("LEFT")
        bar.click_at(x, y, button=3); bar.open_menu("Browser"); bar.keys("Escape")
        bar.next_tick()                             # the next pointer-watch tick on the bar's 2 s grid has passed
        bar.stays("the parked bar", bar.parked, 4.5)
        bar.settings_bytes(), bar.records(), bar.another(), bar.end()

The bar's window is watched from X (observe.py): its map is timed as it happens and its ticks are read on the wire.
"""

import re
import shutil
import time
from pathlib import Path

from Xlib import X
from Xlib.error import XError

import lab
import observe
from lab import check, log

APP = "C:\\Apps\\Bar"
PROGRAM_FILES = "C:\\Program Files"
EDGES = ("TOP", "RIGHT", "BOTTOM", "LEFT")
TICK_MS = 2000
# Where stamp.exe, the launch recorder of the soak and the benchmark, appends its stamps.
STAMPS = "C:\\bench\\launch.txt"

# Tool-tips of the main bar's 16 places, in order ("" for the two separators).
BAR_TIPS = ["Exit", "", "Browser", "Search", "Mail", "FTP", "Messaging", "P-2-P", "Programs", "",
            "Internet Connections", "Firewall", "Security", "Internet Settings", "About Me", "Help"]


def settings(toolbar="TOP", pointer="TOP", style=1):
    """A settings text; style None leaves the STYLE line out (the Classic look)."""
    text = f"TOOLBAR_POSITION={toolbar}\r\nPOINTER_POSITION={pointer}\r\n"
    return (text + ("" if style is None else f"STYLE={style}\r\n")).encode("ascii")


# What the bar writes when it finds no settings file.
DEFAULT_SETTINGS = settings()


def edge_of(text):
    """The edge a settings text docks the bar at: its last TOOLBAR_POSITION names it, anything else means TOP."""
    found = re.findall(rb"^TOOLBAR_POSITION=(.*?)\r?$", text or b"", re.M)
    edge = found[-1].decode("ascii", "replace") if found else "TOP"
    return edge if edge in EDGES else "TOP"


class Bar(lab.Lab):
    """A lab with the bar in folder (C:\\Apps\\Bar), copied there from exe when given, with settings as its
    Nimbrel.Txt (None: no file). Internet Explorer, which every prefix has, is removed: a case installs the
    catalogued programs it wants. `with` ends it all, keeping the prefix when the case failed."""

    def __init__(self, name, exe=None, settings=DEFAULT_SETTINGS, folder=APP, **lab_options):
        super().__init__(name, **lab_options)
        self.exe, self.settings, self.folder = exe, settings, folder
        self.edge = edge_of(settings)
        self.proc = self.wid = self.client = self.watcher = self.recorder = self.output = None
        self.mark = 0  # the recorder's requests before this one came before the bar's start
        self.grid = None  # (server ms of a tick, "park" or "dock": what that tick did)

    def open(self):
        super().open()
        try:
            self.watcher = observe.MapWatcher(self.display_name)
            self.recorder = observe.RequestRecorder(self.display_name)
            self.output = open(self.prefix / "programs-output.txt", "wb")
            explorer = self.path(PROGRAM_FILES + "\\Internet Explorer\\iexplore.exe")
            if explorer.exists():
                explorer.unlink()
            if self.exe:
                self.plant(self.exe, self.exe_path)
            if self.settings is not None:
                self.put("Nimbrel.Txt", self.settings)
        except BaseException:
            self.close(keep=True)
            raise
        return self

    def close(self, keep=False):
        if keep and self.output is not None:
            self.output.flush()
            log(f"program output: {(self.prefix / 'programs-output.txt').read_bytes()[-2000:]!r}")
            log(f"log of stand-ins: {self.records()}")
        for observer in (self.recorder, self.watcher):
            if observer is not None:
                observer.stop()
        if self.output is not None:
            self.output.close()
        super().close(keep)

    # --- the folder ------------------------------------------------------------------------------------------------
    @property
    def exe_path(self):
        return f"{self.folder}\\Nimbrel.exe"

    def beside(self, relative="") -> Path:
        """The Unix path of a file or folder beside the exe."""
        return self.path(f"{self.folder}\\{relative}".rstrip("\\"))

    def put(self, relative, data=b""):
        """Writes a file beside the exe (bytes, or a copy of the file at a Path), making its folders."""
        target = self.beside(relative)
        target.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(data, Path):
            shutil.copy2(data, target)
        else:
            target.write_bytes(data)
        return target

    @property
    def settings_file(self) -> Path:
        return self.beside("Nimbrel.Txt")

    def settings_bytes(self):
        return self.settings_file.read_bytes() if self.settings_file.is_file() else None

    def install(self, where, program="recorder.exe"):
        """Plants one of the lab's programs (the recorder by default) as a catalogued program; where is a path below
        C:\\Program Files or a whole C:\\ path."""
        path = where if where[:3].upper() == "C:\\" else f"{PROGRAM_FILES}\\{where}"
        if program == "stamp.exe":
            self.path(STAMPS).parent.mkdir(exist_ok=True)  # it makes no folder of its own
        return self.plant(lab.HELPERS / program, path.replace("/", "\\"))

    # --- starting and ending ---------------------------------------------------------------------------------------
    def launch(self, at=None, program=None, title="Nimbrel", timeout=60):
        """Starts the bar (or another program of the prefix) with the pointer at `at`, on the band by default, and
        waits for its window; returns the milliseconds from the start to the window's map."""
        self.move_pointer(*(at or self.on_band()))
        mark, self.mark = self.watcher.mark(), self.recorder.mark()
        started = observe.now_ns()
        self.proc = self.start(program or self.exe_path, output=self.output)

        def mapped():
            check(self.proc.poll() is None, f"{program or 'the bar'} ended early with status {self.proc.returncode}")
            return next(((stamp, wid) for stamp, kind, wid, name, *_ in self.watcher.since(mark)
                         if kind == "map" and name == title and self.pid_of(wid) == self.proc.pid), None)

        stamp, self.wid = self.wait_until(f"a window titled {title!r}", mapped, timeout, 0.01)
        self.client, self.grid = self.recorder.client_of(self.wid), None
        log(f"window {self.wid} at {self.geometry()}")
        return (stamp - started) / 1e6

    def another(self, program=None):
        """Starts the bar's exe (or program) once more beside the running bar, without waiting for anything."""
        return self.start(program or self.exe_path, output=self.output)

    def attach(self, timeout=20):
        """Takes on the bar that another program (an installer) started: the one viewable window titled Nimbrel."""
        self.wid = int(self.find_window("Nimbrel", timeout=timeout))
        self.proc, self.client, self.grid = None, self.recorder.client_of(self.wid), None
        return self.wid

    def alive(self):
        return self.proc.poll() is None if self.proc else self.place() is not None

    def end(self, proc=None):
        """Kills the bar (or proc) and waits until it is gone and its window with it."""
        proc = proc or self.proc
        if proc.poll() is None:
            proc.kill()
        proc.wait(10)
        if proc is self.proc:
            self.wait_until("the bar's window to go", lambda: self.place() is None, 10)

    def exit(self, timeout=15):
        """Ends the bar with its own Exit button, calling it back first when it is parked."""
        if self.parked():
            self.recall()
        self.click_button("Exit")
        self.wait_until("the bar to end after Exit", lambda: not self.alive(), timeout)

    # --- where it is -----------------------------------------------------------------------------------------------
    def pid_of(self, wid):
        try:
            prop = self.x.create_resource_object("window", wid).get_full_property(
                self.x.intern_atom("_NET_WM_PID"), X.AnyPropertyType)
            return prop.value[0] if prop else None
        except XError:
            return None

    def geometry(self, wid=None):
        return super().geometry(wid or self.wid)

    def place(self):
        """The bar window's geometry, or None once it is gone."""
        try:
            return self.geometry()
        except lab.Failure:
            return None

    def describe(self):
        return f" (window {self.place() or 'gone'})" if self.wid else ""

    def px(self, twips):
        """Twips to whole pixels at the lab's scale."""
        return int(twips * self.dpi / 1440 + 0.5)

    def work_area(self):
        """The primary monitor's work area (left, top, right, bottom) in X's coordinates."""
        d = self.display
        left, top, right, bottom = d.work_area or (0, 0, d.width, d.height)
        return left + d.origin[0], top + d.origin[1], right + d.origin[0], bottom + d.origin[1]

    def docked_rect(self, edge=None, recalled=True):
        """Where the bar docks at edge (its own by default): (x, y, w, h). A band of 400 twips kept in whole pixels,
        with the window's frame; at start-up a BOTTOM bar stands 10 twips lower than after a recall."""
        edge = edge or self.edge
        left, top, right, bottom = self.work_area()
        band = self.px(400) * 1440 / self.dpi
        if edge in ("LEFT", "RIGHT"):
            width = self.px(band + 40)
            return (left if edge == "LEFT" else right - width), top, width, bottom - top
        height = self.px(band + 50)
        y = top if edge == "TOP" else bottom - height + (0 if recalled else self.px(10))
        return left, y, right - left, height

    @property
    def parked_at(self):
        """The parked window's corner: 1500 twips above and left of the screen's."""
        return -self.px(1500), -self.px(1500)

    def docked(self, edge=None, recalled=True):
        g = self.geometry()
        return g.viewable and all(abs(a - b) <= 1 for a, b in zip(g.rect, self.docked_rect(edge, recalled)))

    def parked(self):
        return self.geometry().rect[:2] == self.parked_at

    def check_docked(self, edge=None, recalled=False):
        check(self.docked(edge, recalled), f"{edge or self.edge} placement: window {self.geometry()}, expected "
                                           f"{self.docked_rect(edge, recalled)} (within 1 px)")

    def wait_docked(self, edge=None, recalled=True, timeout=6):
        rect = self.docked_rect(edge, recalled)
        self.wait_until(f"the bar docked at {edge or self.edge} {rect}", lambda: self.docked(edge, recalled), timeout)
        log(f"docked at {edge or self.edge}: {self.geometry()}")

    def wait_parked(self, timeout=6):
        self.wait_until(f"the bar to park at {self.parked_at}", self.parked, timeout)
        log(f"parked: {self.geometry()}")

    def wait_rect(self, what, rect, timeout=6):
        self.wait_until(f"{what} at {rect}", lambda: self.geometry().rect == rect, timeout)

    # --- named points ----------------------------------------------------------------------------------------------
    @property
    def away(self):
        """Off every band and edge: the primary monitor's centre."""
        return self.display.origin[0] + self.display.width // 2, self.display.origin[1] + self.display.height // 2

    def on_band(self, edge=None):
        """A point on the docked bar past its buttons, where the pointer keeps it docked."""
        edge = edge or self.edge
        x, y, w, h = self.docked_rect(edge)
        return {"TOP": (x + w - 124, y + 12), "BOTTOM": (x + w - 124, y + h - 12), "LEFT": (x + 12, y + h - 68),
                "RIGHT": (x + w - 12, y + h - 68)}[edge]

    def at_edge(self, edge=None):
        """A point in the recall zone of edge: the primary monitor's outermost pixels."""
        edge = edge or self.edge
        (x, y), (left, top) = self.on_band(edge), self.display.origin
        return {"TOP": (x, top + 1), "BOTTOM": (x, top + self.display.height - 2), "LEFT": (left + 1, y),
                "RIGHT": (left + self.display.width - 2, y)}[edge]

    # --- the pointer watch -----------------------------------------------------------------------------------------
    def recall(self, edge=None):
        """Touches the recall edge, waits for the bar to dock there and rests the pointer on the band."""
        self.move_pointer(*self.at_edge(edge))
        self.wait_docked(edge)
        self.move_pointer(*self.on_band(edge))

    def park(self):
        """Moves the pointer away and waits for the bar to park."""
        self.move_pointer(*self.away)
        self.wait_parked()

    def park_and_recall(self, edge=None):
        self.park()
        self.recall(edge)

    def tick_grid(self):
        """A tick of the pointer watch, (server ms, "park" or "dock"): the pointer query just before a move of the bar
        since its start. When there is none (a tick right after a pointer move reads Wine's cached pointer and puts
        nothing on the wire), the bar is parked and docked until a tick shows, then left as it was."""
        if self.grid:
            return self.grid
        was_parked, pointer = self.parked(), self.x.screen().root.query_pointer()
        for _ in range(6):
            self.grid = self.grid_from_wire()
            if self.grid:
                break
            time.sleep(0.5)  # off the tick that just moved the bar, so that the next one reads a resting pointer
            if self.parked():
                self.recall()
            else:
                self.park()
        check(self.grid, "no tick's pointer query found before a move of the bar")
        if was_parked and not self.parked():
            self.park()
        elif self.parked() and not was_parked:
            self.recall()
        self.move_pointer(pointer.root_x, pointer.root_y)
        return self.grid

    def requests(self, op=None):
        """The X requests of the bar's client since its start (X reuses its ids for the next start), of op when given:
        (server ms, monotonic ns at arrival, client, op, window, x, y)."""
        return [r for r in self.recorder.since(self.mark) if r[2] == self.client and op in (None, r[3])]

    def grid_from_wire(self):
        mine = self.requests()
        first_map = next((r[0] for r in mine if r[3] == observe.OP_MAP and r[4] == self.wid), None)
        for ms, _, _, op, window, x, y in mine:
            # A move decided by a tick, not the start-up's placement: a tick comes 2 s after the window at the soonest.
            if op == observe.OP_CONFIGURE and window == self.wid and x is not None and first_map is not None \
                    and ms > first_map + 1000:
                queries = [r[0] for r in mine if r[3] == observe.OP_QUERY_POINTER and ms - 50 <= r[0] <= ms]
                if queries:
                    return queries[-1], "park" if (x, y) == self.parked_at else "dock"
        return None

    def next_tick(self, after=0.3):
        """Waits until `after` seconds past the next tick on the bar's grid; returns that tick's server ms."""
        grid = self.tick_grid()[0]
        now = observe.now_ns() / 1e6
        tick = grid + TICK_MS * (int((now - grid) // TICK_MS) + 1)
        time.sleep(max(0.0, (tick - now) / 1000 + after))
        return tick

    # --- the toolbar and its menus ---------------------------------------------------------------------------------
    def click_at(self, x, y, button=1, settle=0.3):
        """Moves the pointer, lets the toolbar see it arrive, and clicks; returns the click's realtime ns."""
        self.move_pointer(x, y)
        time.sleep(settle)
        return self.click(button)

    def button(self, tip):
        buttons = self.toolbar()
        if any(b.tip for b in buttons):
            matches = [b for b in buttons if b.tip == tip]
            check(len(matches) == 1, f"no single button with the tool-tip {tip!r}: {buttons}")
            return matches[0]
        # The tool-tips could not be read: fall back on the documented order of the main bar.
        return buttons[BAR_TIPS.index(tip)]

    def click_button(self, tip, button=1):
        b = self.button(tip)
        check(b.right > b.left and b.bottom > b.top and not b.hidden, f"the {tip} button is not shown: {b}")
        log(f"click {tip!r} at {b.centre}")
        return self.click_at(*b.centre, button=button)

    def wait_menu(self, timeout=8):
        def menu_open():
            opened, items, out = self.menus()
            return items if opened and items else None

        return self.wait_until("a drop-down menu to open", menu_open, timeout, interval=0.2)

    def wait_menu_closed(self, timeout=8):
        self.wait_until("the drop-down menu to close", lambda: not self.menus()[0], timeout, interval=0.2)

    def open_menu(self, tip):
        self.click_button(tip)
        items = self.wait_menu()
        log(f"{tip} menu: {items}")
        return items

    def click_item(self, items, text):
        """Clicks the menu item called text; the pointer leaves the band only a moment before the click."""
        matches = [item for item in items if item.text == text]
        check(len(matches) == 1, f"no single menu item {text!r}: {items}")
        log(f"click menu item {text!r} at {matches[0].centre}")
        return self.click_at(*matches[0].centre, settle=0.2)

    def focus(self):
        """(focus is on the toolbar, the bar is the active window), as the bar's own thread sees it."""
        fields = next(iter(lab.records(self.probe("focus"), "FOCUS")), [])
        return len(fields) == 5 and fields[2] == "1", len(fields) == 5 and fields[4] == "1"

    def visible_tips(self):
        """The screen rectangles (left, top, right, bottom) of the bar's tool-tips that are showing."""
        return [tuple(int(v) for v in fields[1:5]) for fields in lab.records(self.probe("tips"), "TIP")]

    # --- what the stand-ins saw ------------------------------------------------------------------------------------
    def records(self):
        """The recorders' log: (tag, image, command line) of every program start, trap and document opened."""
        return lab.read_log(self.drive_c)

    def wait_records(self, count, timeout=10):
        return self.wait_until(f"{count} record(s) in the log", lambda: len(self.records()) >= count, timeout, 0.1)

    def check_no_traps(self):
        traps = [r for r in self.records() if r[0] == "TRAP"]
        check(not traps, f"a planted trap ran instead of the program: {traps}")

    def launches(self):
        """stamp.exe's lines: "<unix ns>\\t<command line>" for each start."""
        path = self.path(STAMPS)
        return path.read_text().splitlines() if path.exists() else []
