"""A small laboratory for measuring Windows programs under Wine on a private Xvfb display.

Shared by bench/winebench.py (performance figures) and the Wine soak and bad-environment tests under tests/soak.
It owns: the template Wine prefix (made once with wineboot, copied per run with cp -a), one Xvfb on a display of
the range :111-:119, one wineserver per run, and two X observers on that display:

- MapWatcher: a client that listens to the root window's substructure and timestamps (CLOCK_MONOTONIC, ns) every
  top-level window that is mapped, unmapped or moved, with its name;
- RequestRecorder: an X RECORD context that logs, with the X server's own millisecond clock, every QueryPointer,
  MapWindow, UnmapWindow and ConfigureWindow request of every client. Under Wine, GetCursorPos becomes an X
  QueryPointer when the pointer has not moved for 100 ms, so a pointer-watch tick is visible on the wire, and so is
  the window move it decides on.

Needs python3-xlib (Debian) and runs with /usr/bin/python3.
"""

import fcntl
import os
import shutil
import signal
import struct
import subprocess
import threading
import time
from pathlib import Path

from Xlib import X, display as xdisplay
from Xlib.error import XError
from Xlib.ext import record, xtest

DISPLAYS = range(111, 120)
SCREEN_W, SCREEN_H = 1024, 768
WINE_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
WORK = Path(os.environ.get("NIMBREL_BENCH_WORK", "/tmp/nimbrel-bench"))

# X core request opcodes recorded.
OP_MAP, OP_UNMAP, OP_CONFIGURE, OP_QUERY_POINTER = 8, 10, 12, 38


class LabError(Exception):
    pass


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def now_ns():
    return time.monotonic_ns()


# --- Xvfb ----------------------------------------------------------------------------------------------------------
class Xvfb:
    """A private virtual X server on the first free display of :111-:119."""

    def __init__(self, width=SCREEN_W, height=SCREEN_H):
        self.proc = None
        self.number = None
        for number in DISPLAYS:
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            proc = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None:
                if Path(f"/tmp/.X11-unix/X{number}").exists():
                    try:
                        xdisplay.Display(f":{number}").close()
                        self.proc, self.number = proc, number
                        return
                    except Exception:
                        pass
                time.sleep(0.1)
            stop_process(proc)
        raise LabError("no free X display in :111-:119")

    @property
    def name(self):
        return f":{self.number}"

    def stop(self):
        if self.proc is not None:
            stop_process(self.proc)
            self.proc = None


def stop_process(proc, timeout=5):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


# --- Wine prefix ---------------------------------------------------------------------------------------------------
def wine_version():
    return subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()


def wine_env(prefix: Path, display: str):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES=WINE_OVERRIDES, DISPLAY=display)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def ensure_template(display: str) -> Path:
    """A booted prefix with unmanaged X windows, made once per Wine version and reused."""
    WORK.mkdir(parents=True, exist_ok=True)
    with open(WORK / "template.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # runs started side by side make it once
        return _ensure_template(display)


def _ensure_template(display: str) -> Path:
    template = WORK / "template"
    marker = template / "nimbrel-bench-ready"
    version = wine_version()
    if marker.exists() and marker.read_text() == version:
        return template
    if template.exists():
        subprocess.run(["wineserver", "-k"], env=wine_env(template, display), capture_output=True)
        shutil.rmtree(template)
    template.mkdir(parents=True)
    env = wine_env(template, display)
    log(f"making the template prefix {template} (wineboot -i, about 10 s)")
    subprocess.run(["wine", "wineboot", "-i"], env=env, capture_output=True, timeout=300, check=True)
    # Without a window manager a managed window moved off the screen blocks SetWindowPos for seconds.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                   env=env, capture_output=True, timeout=120, check=True)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    if b'"Managed"="N"' not in (template / "user.reg").read_bytes():
        raise LabError("the template prefix did not keep Managed=N")
    marker.write_text(version)
    return template


def find_ci(base: Path, relative: str) -> Path:
    """base/relative, matching existing names without regard to case as Windows does."""
    path = base
    for part in relative.replace("\\", "/").split("/"):
        match = None
        if path.is_dir():
            match = next((e for e in path.iterdir() if e.name.lower() == part.lower()), None)
        path = match if match is not None else path / part
    return path


class Lab:
    """One copy of the template prefix on one Xvfb, with its own wineserver and X observers."""

    def __init__(self, name, persistent_server=True):
        WORK.mkdir(parents=True, exist_ok=True)
        self.xvfb = Xvfb()
        self.display = self.xvfb.name
        self.prefix = WORK / f"{name}-{self.xvfb.number}"
        self.server = None
        self.procs = []
        self.watcher = None
        self.recorder = None
        self.mounts = []
        try:
            template = ensure_template(self.display)
            if self.prefix.exists():
                subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
                shutil.rmtree(self.prefix)
            subprocess.run(["cp", "-a", str(template), str(self.prefix)], check=True)
            if persistent_server:
                # One wineserver for the whole run, so that no measured start pays for starting it.
                self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL)
                time.sleep(0.3)
            self.x = xdisplay.Display(self.display)
            self.watcher = MapWatcher(self.display)
            self.recorder = RequestRecorder(self.display)
        except BaseException:
            self.close()
            raise

    @property
    def env(self):
        return wine_env(self.prefix, self.display)

    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def path(self, windows_path: str) -> Path:
        """The Linux path behind a C:\\ path of this prefix."""
        assert windows_path[:3].upper() == "C:\\"
        return find_ci(self.drive_c, windows_path[3:])

    def plant(self, source: Path, windows_path: str) -> Path:
        target = self.path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        if target.exists():
            target.unlink()
        shutil.copy2(source, target)
        return target

    def start(self, windows_path: str, *args, output=None) -> subprocess.Popen:
        """Starts a program exactly as a user's 'wine prog.exe' would; the Popen's pid is the program's own."""
        proc = subprocess.Popen(["wine", windows_path, *args], env=self.env, cwd=str(self.prefix),
                                stdout=output or subprocess.DEVNULL, stderr=subprocess.STDOUT)
        self.procs.append(proc)
        return proc

    def wine(self, *args, timeout=60):
        result = subprocess.run(["wine", *args], env=self.env, capture_output=True, timeout=timeout)
        return result.returncode, result.stdout.decode("utf-8", errors="replace")

    # pointer and buttons through the XTEST extension, so that every action is one request and timed exactly
    def move(self, x, y):
        xtest.fake_input(self.x, X.MotionNotify, x=int(x), y=int(y))
        self.x.sync()

    def click(self):
        """Presses and releases the left button; returns CLOCK_REALTIME ns taken just before the press."""
        stamp = time.time_ns()
        xtest.fake_input(self.x, X.ButtonPress, 1)
        xtest.fake_input(self.x, X.ButtonRelease, 1)
        self.x.sync()
        return stamp

    def geometry(self, wid):
        """(x, y, width, height, mapped) of a top-level window, or None when it no longer exists."""
        try:
            w = self.x.create_resource_object("window", wid)
            g = w.get_geometry()
            a = w.get_attributes()
            return g.x, g.y, g.width, g.height, a.map_state == X.IsViewable
        except XError:
            return None

    def wait_until(self, what, predicate, timeout, interval=0.02):
        deadline = time.monotonic() + timeout
        value = None
        while time.monotonic() < deadline:
            value = predicate()
            if value:
                return value
            time.sleep(interval)
        raise LabError(f"timed out after {timeout} s waiting for {what} (last {value!r})")

    def bind_read_only(self, folder: Path):
        """Makes a folder read-only even for root: a read-only bind mount of it onto itself."""
        subprocess.run(["mount", "--bind", str(folder), str(folder)], check=True)
        self.mounts.append(folder)
        subprocess.run(["mount", "-o", "remount,bind,ro", str(folder)], check=True)

    def kill(self, proc):
        if proc.poll() is None:
            proc.send_signal(signal.SIGKILL)
            proc.wait(10)

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
        if self.prefix.exists():
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        for proc in self.procs:
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                pass
        if self.server is not None:
            stop_process(self.server)
        for folder in reversed(self.mounts):
            subprocess.run(["umount", str(folder)], capture_output=True)
        self.mounts = []
        for observer in (self.recorder, self.watcher):
            if observer is not None:
                observer.stop()
        if getattr(self, "x", None) is not None:
            self.x.close()
            self.x = None
        self.xvfb.stop()
        if os.environ.get("NIMBREL_BENCH_KEEP") != "1" and self.prefix.exists():
            shutil.rmtree(self.prefix, ignore_errors=True)


# --- process figures -----------------------------------------------------------------------------------------------
def rss_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise LabError(f"no VmRSS for {pid}")


def cpu_ns(pid):
    """CPU time of every thread of the process, from the scheduler's nanosecond counters."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return total


def cpu_ticks_ms(pid):
    """utime + stime from /proc/PID/stat in ms (10 ms resolution), as a cross-check of cpu_ns."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    hz = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) * 1000.0 / hz


def image_name(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
    except FileNotFoundError:
        return ""


# --- X observers ---------------------------------------------------------------------------------------------------
class MapWatcher:
    """Timestamps top-level windows being mapped, unmapped and configured, seen from the root window."""

    def __init__(self, display_name):
        self.d = xdisplay.Display(display_name)
        root = self.d.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.d.sync()
        self.events = []  # (monotonic ns, kind, wid, name, x, y)
        self.names = {}
        self.cond = threading.Condition()
        self.running = True
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def _name(self, window):
        try:
            name = window.get_wm_name()
            if isinstance(name, bytes):
                name = name.decode("latin-1")
            return name or ""
        except XError:
            return ""

    def _loop(self):
        while self.running:
            try:
                event = self.d.next_event()
            except Exception:
                return
            stamp = now_ns()
            kind = {X.MapNotify: "map", X.UnmapNotify: "unmap", X.ConfigureNotify: "configure",
                    X.DestroyNotify: "destroy"}.get(event.type)
            if kind is None:
                continue
            wid = event.window.id
            if kind == "map" or wid not in self.names:
                self.names[wid] = self._name(event.window)
            x = getattr(event, "x", None)
            y = getattr(event, "y", None)
            with self.cond:
                self.events.append((stamp, kind, wid, self.names.get(wid, ""), x, y))
                self.cond.notify_all()

    def mark(self):
        with self.cond:
            return len(self.events)

    def wait_map(self, name, since, timeout):
        """The first map of a window called name after event index since: (monotonic ns, wid)."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for stamp, kind, wid, wname, _, _ in self.events[since:]:
                    if kind == "map" and (name is None or wname == name):
                        return stamp, wid
                left = deadline - time.monotonic()
                if left <= 0:
                    raise LabError(f"no window {name!r} was mapped within {timeout} s")
                self.cond.wait(left)

    def since(self, index):
        with self.cond:
            return list(self.events[index:])

    def stop(self):
        self.running = False
        try:
            self.d.close()
        except Exception:
            pass


class RequestRecorder:
    """An X RECORD context over QueryPointer, MapWindow, UnmapWindow and ConfigureWindow of all clients."""

    def __init__(self, display_name):
        self.ctl = xdisplay.Display(display_name)
        self.data = xdisplay.Display(display_name)
        if not self.ctl.has_extension("RECORD"):
            raise LabError("the X server has no RECORD extension")
        self.mask = self.ctl.display.info.resource_id_mask
        ranges = []
        for op in (OP_MAP, OP_UNMAP, OP_CONFIGURE, OP_QUERY_POINTER):
            ranges.append({"core_requests": (op, op), "core_replies": (0, 0), "ext_requests": (0, 0, 0, 0),
                           "ext_replies": (0, 0, 0, 0), "delivered_events": (0, 0), "device_events": (0, 0),
                           "errors": (0, 0), "client_started": False, "client_died": False})
        self.ctx = self.ctl.record_create_context(record.FromServerTime, [record.AllClients], ranges)
        self.ctl.sync()  # the context must exist before the other connection enables it
        self.requests = []  # (server ms, monotonic ns at arrival, client id base, opcode, window, x, y)
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def _loop(self):
        try:
            self.data.record_enable_context(self.ctx, self._reply)
        except Exception:
            pass

    def _reply(self, reply):
        if reply.category != record.FromClient:
            return
        arrival = now_ns()
        data = bytes(reply.data)
        fmt = "<" if not reply.client_swapped else ">"
        # The server stamps each reply; requests batched into one reply share its time.
        server_ms = reply.server_time
        pos = 0
        found = []
        while pos + 4 <= len(data):
            opcode = data[pos]
            (length,) = struct.unpack_from(fmt + "H", data, pos + 2)
            size = length * 4
            if size == 0:  # a big request; not among the recorded ones
                break
            body = data[pos:pos + size]
            window = x = y = None
            if opcode in (OP_MAP, OP_UNMAP, OP_CONFIGURE) and len(body) >= 8:
                (window,) = struct.unpack_from(fmt + "I", body, 4)
            if opcode == OP_CONFIGURE and len(body) >= 12:
                (value_mask,) = struct.unpack_from(fmt + "H", body, 8)
                values = body[12:]
                if value_mask & 1 and len(values) >= 4:
                    (x,) = struct.unpack_from(fmt + "i", values, 0)
                if value_mask & 2:
                    offset = 4 if value_mask & 1 else 0
                    if len(values) >= offset + 4:
                        (y,) = struct.unpack_from(fmt + "i", values, offset)
            found.append((server_ms, arrival, reply.id_base, opcode, window, x, y))
            pos += size
        with self.lock:
            self.requests.extend(found)

    def client_of(self, wid):
        return wid & ~self.mask

    def mark(self):
        with self.lock:
            return len(self.requests)

    def since(self, index):
        with self.lock:
            return list(self.requests[index:])

    def queries(self, client, index=0):
        return [r for r in self.since(index) if r[2] == client and r[3] == OP_QUERY_POINTER]

    def stop(self):
        try:
            self.ctl.record_disable_context(self.ctx)
            self.ctl.flush()
            self.ctl.record_free_context(self.ctx)
            self.ctl.close()
        except Exception:
            pass
        self.thread.join(2)
        try:
            self.data.close()
        except Exception:
            pass
