#!/usr/bin/env python3
"""Smoke cases of the lab's displays: what a program inside Wine reads back of each, printed as desktop.exe gives it.

    smoke.py CASE      workarea | modes | two_monitors | visual_style | keys
"""

import os
import shutil
import sys
import time
from pathlib import Path

from lab import Display, Lab, Skipped, check, log, run_cases, run_main

CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


def show(lab, *args):
    """desktop.exe's records, printed for the case's log."""
    rows = lab.desktop(*args)
    log(f"desktop {' '.join(map(str, args))}:")
    print("\n".join("\t".join(row) for row in rows), flush=True)
    return rows


def numbers(rows, kind):
    """The numeric fields of every record of kind."""
    return [tuple(int(v) for v in row[1:] if v.lstrip("-").isdigit()) for row in rows if row[0] == kind]


def check_desktop(rows, monitors, work, screen, virtual):
    check(numbers(rows, "MONITOR") == monitors, f"monitors {numbers(rows, 'MONITOR')}, expected {monitors}")
    check(numbers(rows, "WORKAREA") == [work], f"SPI_GETWORKAREA {numbers(rows, 'WORKAREA')}, expected {work}")
    check(numbers(rows, "SCREEN") == [screen], f"SM_CXSCREEN, SM_CYSCREEN {numbers(rows, 'SCREEN')}, expected {screen}")
    check(numbers(rows, "VIRTUAL") == [virtual], f"the virtual screen {numbers(rows, 'VIRTUAL')}, expected {virtual}")


def check_one_monitor(rows, width, height, work_bottom):
    """One primary monitor of width x height whose work area ends at work_bottom."""
    check_desktop(rows, [(0, 0, width, height, 0, 0, width, work_bottom, 1)], (0, 0, width, work_bottom),
                  (width, height), (0, 0, width, height, 1))


@case
def workarea():
    """A taskbar's strip at the bottom: rcWork and SPI_GETWORKAREA end at 760, and a topmost stand-in covers the
    strip. A change of _NET_WORKAREA while Wine runs reaches a program only when Wine reads the display again, and
    no top-level window is told; SPI_SETWORKAREA changes only the caller's own view."""
    with Lab("smoke-workarea", display=Display.workarea(1280, 800, (0, 0, 1280, 760))) as lab:
        check_one_monitor(show(lab, "monitors"), 1280, 800, 760)
        taskbar = lab.taskbar()
        g = lab.geometry(lab.find_window("Taskbar", taskbar.proc))
        check(g.rect == (0, 760, 1280, 40) and g.viewable, f"the stand-in taskbar is at {g}")

        lab.run("xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", "0, 0, 1280, 700")
        time.sleep(3)
        check_one_monitor(show(lab, "monitors"), 1280, 800, 760)
        show(lab, "mode", 1280, 800)  # the same mode: Wine reads the display afresh
        check_one_monitor(show(lab, "monitors"), 1280, 800, 700)

        own = show(lab, "workarea", 0, 0, 1280, 740)
        check(numbers(own, "WORKAREA") == [(0, 0, 1280, 740)], f"the caller reads {numbers(own, 'WORKAREA')}")
        check(numbers(own, "MONITOR")[0][4:8] == (0, 0, 1280, 700), f"the caller's rcWork {numbers(own, 'MONITOR')}")
        check_one_monitor(show(lab, "monitors"), 1280, 800, 700)
        time.sleep(1)
        told = taskbar.records()
        log(f"the stand-in taskbar was told: {told[1:]}")
        check(not taskbar.records("SETTINGCHANGE"), f"a WM_SETTINGCHANGE arrived: {told}")
        check(numbers(told, "DISPLAYCHANGE") == [(32, 1280, 800)], f"WM_DISPLAYCHANGE: {told}")


@case
def modes():
    """1280 x 800 with 1024 x 768 beside it: ChangeDisplaySettingsW switches, the metrics follow, every top-level
    window hears WM_DISPLAYCHANGE, and X's screen has the new size."""
    with Lab("smoke-modes", display=Display.modes(1280, 800, [(1024, 768)])) as lab:
        listed = show(lab, "modes")
        sizes = {row[:2] for row in numbers(listed, "MODE")}
        check({(1280, 800), (1024, 768)} <= sizes, f"modes {sizes}")
        check(numbers(listed, "CURRENT")[0][:2] == (1280, 800), f"current mode {numbers(listed, 'CURRENT')}")
        check_one_monitor(show(lab, "monitors"), 1280, 800, 800)
        window = lab.window("Lab")
        show(lab, "mode", 1024, 768)
        check_one_monitor(show(lab, "monitors"), 1024, 768, 768)
        lab.wait_until("WM_DISPLAYCHANGE", lambda: numbers(window.records(), "DISPLAYCHANGE"), 5)
        log(f"the window was told: {window.records()[1:]}")
        check(numbers(window.records(), "DISPLAYCHANGE") == [(32, 1024, 768)], f"told {window.records()}")
        screen = lab.run("xdpyinfo").stdout
        check("dimensions:    1024x768 pixels" in screen, "X's screen is not 1024 x 768")


@case
def two_monitors():
    """Xorg's dummy driver with two heads: the primary at 0,0-1280,800, a second at -1024,0-0,768, and a window at
    Windows' (-900, 100) shows at X's (124, 100)."""
    if os.geteuid() != 0 or not shutil.which("Xorg") or not Path("/usr/lib/xorg/modules/drivers/dummy_drv.so").exists():
        raise Skipped("two monitors take Xorg with its dummy driver (xserver-xorg-video-dummy), run as root")
    with Lab("smoke-two-monitors", display=Display.two_monitors()) as lab:
        check_desktop(show(lab, "monitors"), [(0, 0, 1280, 800, 0, 0, 1280, 800, 1),
                                              (-1024, 0, 0, 768, -1024, 0, 0, 768, 0)],
                      (0, 0, 1280, 800), (1280, 800), (-1024, 0, 2304, 800, 2))
        window = lab.window("Left", (-900, 100, -500, 400))
        g = lab.geometry(lab.find_window("Left", window.proc))
        x, y = lab.display.origin
        check(g.viewable and (g.x - x, g.y - y) == (-900, 100), f"the window at Windows' (-900, 100) shows at {g}")


@case
def visual_style():
    """With the visual style on, the light style is active; off, none is."""
    for on in (True, False):
        with Lab(f"smoke-style-{'on' if on else 'off'}", visual_style=on) as lab:
            theme = show(lab, "theme")[0]
            expected = ["THEME", "1", "1", "C:\\windows\\resources\\themes\\light\\light.msstyles", "Blue",
                        "NormalSize"] if on else ["THEME", "0", "0", "", "", ""]
            check(theme == expected, f"visual style {'on' if on else 'off'}: {theme}, expected {expected}")


@case
def keys():
    """SendInput from desktop.exe reaches the foreground window: the keys the keyboard cases will press."""
    with Lab("smoke-keys") as lab:
        window = lab.window("Keys")
        names = ["Right", "Left", "Up", "Down", "Home", "End", "Return", "space", "Escape", "Tab", "F2", "a"]
        lab.keys(*names, delay=50)
        codes = [0x27, 0x25, 0x26, 0x28, 0x24, 0x23, 0x0D, 0x20, 0x1B, 0x09, 0x71, 0x41]
        down = lambda: [int(row[3]) for row in window.records("KEY") if row[1] == "down"]
        lab.wait_until("the keys to arrive", lambda: len(down()) >= len(codes), 5)
        check(down() == codes, f"the window got {[hex(c) for c in down()]}, expected {[hex(c) for c in codes]}")
        lab.keys("alt+F4")
        lab.wait_until("the window to close", lambda: window.proc.poll() is not None, 5)
        log(f"the window was told: {window.records()[1:]}")
        chord = [(row[2], int(row[3])) for row in window.records("KEY") if row[1] == "down"][-2:]
        check(chord == [("sys", 0x12), ("sys", 0x73)], f"Alt+F4 arrived as {chord}")
        check(window.records("CLOSE"), "Alt+F4 did not close the window")


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in CASES:
        print(__doc__)
        return 2
    return run_cases(CASES, sys.argv[1:])


if __name__ == "__main__":
    run_main(main)
