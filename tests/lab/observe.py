"""Watching the programs of a lab from outside: X structure events, X requests on the wire, /proc figures.

- MapWatcher: a client that listens to the root window's substructure and timestamps (CLOCK_MONOTONIC, ns) every
  top-level window that is mapped, unmapped, moved or destroyed, with its name;
- RequestRecorder: an X RECORD context that logs, with the X server's own millisecond clock, every QueryPointer,
  MapWindow, UnmapWindow, ConfigureWindow and PutImage request of every client. Under Wine, GetCursorPos becomes an X
  QueryPointer when the pointer has not moved for 100 ms, so a pointer-watch tick is visible on the wire, and so is
  the window move it decides on; and whatever a window paints reaches the screen as one image put into its X window.

Needs Debian's python3-xlib.
"""

import os
import struct
import threading
import time
from pathlib import Path

from Xlib import X, display as xdisplay
from Xlib.error import XError
from Xlib.ext import record

from lab import Failure

# X core request opcodes recorded.
OP_MAP, OP_UNMAP, OP_CONFIGURE, OP_QUERY_POINTER, OP_PUT_IMAGE = 8, 10, 12, 38, 72
# MIT-SHM's ShmPutImage, recorded as OP_PUT_IMAGE: Wine flushes a window's drawing with it where the server has MIT-SHM.
SHM_PUT_IMAGE = 3


def now_ns():
    return time.monotonic_ns()


# --- process figures -----------------------------------------------------------------------------------------------
def rss_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise Failure(f"no VmRSS for {pid}")


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
        self.lock = threading.Lock()
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
            with self.lock:
                self.events.append((stamp, kind, wid, self.names.get(wid, ""), x, y))

    def mark(self):
        with self.lock:
            return len(self.events)

    def since(self, index):
        with self.lock:
            return list(self.events[index:])

    def stop(self):
        self.running = False
        try:
            self.d.close()
        except Exception:
            pass


class RequestRecorder:
    """An X RECORD context over QueryPointer, MapWindow, UnmapWindow, ConfigureWindow and the image puts of all
    clients."""

    def __init__(self, display_name):
        self.ctl = xdisplay.Display(display_name)
        self.data = xdisplay.Display(display_name)
        if not self.ctl.has_extension("RECORD"):
            raise Failure("the X server has no RECORD extension")
        self.mask = self.ctl.display.info.resource_id_mask
        shm = self.ctl.query_extension("MIT-SHM")
        self.shm = shm.major_opcode if shm else None
        none = {"core_requests": (0, 0), "core_replies": (0, 0), "ext_requests": (0, 0, 0, 0),
                "ext_replies": (0, 0, 0, 0), "delivered_events": (0, 0), "device_events": (0, 0), "errors": (0, 0),
                "client_started": False, "client_died": False}
        ranges = [dict(none, core_requests=(op, op))
                  for op in (OP_MAP, OP_UNMAP, OP_CONFIGURE, OP_QUERY_POINTER, OP_PUT_IMAGE)]
        if self.shm:
            ranges.append(dict(none, ext_requests=(self.shm, self.shm, SHM_PUT_IMAGE, SHM_PUT_IMAGE)))
        self.ctx = self.ctl.record_create_context(record.FromServerTime, [record.AllClients], ranges)
        self.ctl.sync()  # the context must exist before the other connection enables it
        # (server ms, monotonic ns at arrival, client id base, opcode, window or drawable, x, y)
        self.requests = []
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
            opcode = OP_PUT_IMAGE if data[pos] == self.shm else data[pos]
            (length,) = struct.unpack_from(fmt + "H", data, pos + 2)
            head = 4
            if length == 0 and pos + 8 <= len(data):  # BIG-REQUESTS: the length follows as 32 bits
                (length,) = struct.unpack_from(fmt + "I", data, pos + 4)
                head = 8
            size = length * 4
            if size < head:
                break
            body = data[pos:pos + size]
            window = x = y = None
            if opcode in (OP_MAP, OP_UNMAP, OP_CONFIGURE, OP_PUT_IMAGE) and len(body) >= head + 4:
                (window,) = struct.unpack_from(fmt + "I", body, head)
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
