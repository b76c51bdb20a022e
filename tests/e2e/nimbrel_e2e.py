#!/usr/bin/python3
"""End-to-end cases of Nimbrel.exe under Wine: each drives one fresh bar (tests/lab/bar.py) in its own lab as a user
would, and raises Failure when it misbehaves.

    nimbrel_e2e.py CASE --exe NIMBREL.EXE   run one case
    nimbrel_e2e.py list                     print the case names

Exit status 77 means the tools are missing and the case was skipped.
"""

import argparse
import contextlib
import sys
from functools import partial
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "lab"))
import lab  # noqa: E402
from bar import APP, BAR_TIPS, PROGRAM_FILES, Bar, DEFAULT_SETTINGS, settings  # noqa: E402
from lab import argument_of, check, log, same_path  # noqa: E402

CASES = {}


@contextlib.contextmanager
def running(exe, name, at=None, install=(), files=None, before=None, **options):
    """The case's bar, started with the pointer at `at` (on its band by default) after its programs and files (and
    whatever `before` does to the lab); with no settings file unless given one."""
    with Bar(name, exe, **{"settings": None, **options}) as s:
        for where in install:
            s.install(where)
        for relative, data in (files or {}).items():
            s.put(relative, data)
        if before:
            before(s)
        s.launch(at)
        yield s


def add(name, function, *params):
    """A case: function gets a starter of the case's bar, then params."""
    CASES[name] = lambda exe: function(partial(running, exe, name), *params)


def case(function):
    add(function.__name__, function)
    return function


def new_record(s, before, what, tag):
    """Waits for the one record after the first `before` of the stand-ins' log, of kind tag."""
    s.wait_records(before + 1)
    s.stays(f"{what}: one record in the log", lambda: len(s.records()) == before + 1, 1.0)
    record = s.records()[before]
    check(record[0] == tag, f"{what}: a {record[0]} stand-in ran instead of the {tag} one: {record}")
    return record


def check_launch(s, before, relative, what):
    """The click started exactly PROGRAM_FILES\\relative by its full path, with a quoted command line."""
    path = f"{PROGRAM_FILES}\\{relative}"
    _, image, command = new_record(s, before, what, "RUN")
    check(same_path(image, path), f"{what}: started {image!r}, expected {path!r}")
    check(command.strip().lower() == f'"{path}"'.lower(),
          f"{what}: command line {command!r}, expected the quoted full path \"{path}\"")
    s.check_no_traps()


def start_from(s, tip, text, relative, before=0, listed=None):
    """Opens tip's drop-down (listing exactly `listed` when given), clicks text, checks that exactly
    PROGRAM_FILES\\relative started, and waits for the bar to park; returns the items listed."""
    items = s.open_menu(tip)
    check(listed is None or visible_texts(items) == listed, f"{tip} lists {visible_texts(items)}")
    s.click_item(items, text)
    check_launch(s, before, relative, text)
    s.wait_parked()
    return items


def check_opened(s, before, what):
    _, _, command = new_record(s, before, what, "OPEN")
    received = argument_of(command)
    log(f"{what}: the handler received {received!r} (command line {command!r})")
    return received


def visible_texts(items):
    return [item.text for item in items]


def rows_unlike(shot, left, top, right, bottom, background, tolerance=40):
    """The rows of the rectangle with a pixel that differs from background by more than tolerance."""
    return [y for y in range(top, bottom) if any(
        max(abs(a - b) for a, b in zip(shot.getpixel((x, y)), background)) > tolerance for x in range(left, right))]


# --- start-up and placement ------------------------------------------------------------------------------------


@case
def default_settings_file(run):
    """No settings file: the 53-byte default appears, the bar docks at the top across the screen."""
    with run() as s:
        path = s.wait_until("the settings file", lambda: s.settings_file if s.settings_file.exists() else None, 10)
        data = path.read_bytes()
        check(path.name == "Nimbrel.Txt", f"settings file written as {path.name!r}")
        check(data == DEFAULT_SETTINGS, f"default settings file is {len(data)} bytes {data!r}")
        s.check_docked("TOP")
        buttons = s.toolbar()
        log(f"toolbar: {buttons}")
        check(len(buttons) == 16, f"the toolbar holds {len(buttons)} buttons, expected 16")
        check([b.index for b in buttons if b.separator] == [1, 9], f"separators are not at places 2 and 10: {buttons}")
        check([b.tip for b in buttons] == BAR_TIPS, f"tool-tips {[b.tip for b in buttons]}, expected {BAR_TIPS}")
        check(not any(b.hidden for b in buttons), "a main-bar button is hidden")
        drop = [b.index for b in buttons if b.style & 0x88]  # BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN
        check(drop == list(range(2, 9)), f"drop-down buttons at {drop}, expected the seven categories")
        lefts = [b.left for b in buttons]
        check(lefts == sorted(lefts) and buttons[-1].right <= 1024, "the top bar does not run left to right")
        check(all(b.top >= 0 and b.bottom <= 31 for b in buttons), "a button lies outside the top band")
        # With the pointer on the bar the watch keeps it docked over two ticks.
        s.stays("the docked top bar", lambda: not s.parked(), 4.5)
        s.check_docked("TOP")
        check(s.settings_file.read_bytes() == DEFAULT_SETTINGS, "the settings file changed while running")


@case
def scale_150_percent(run):
    """At 144 DPI (10 twips a pixel) the bar is 400 twips thick and draws 24-px pictures in its middle."""
    with run(dpi=144, install=["Mozilla Firefox/firefox.exe", "Opera/opera.exe"], at=(900, 5)) as s:
        g = s.geometry()
        check((g.x, g.y, g.w, g.h) == (0, 0, 1024, 45), f"the TOP window is {g}, expected 1024 x 45 at (0, 0)")
        buttons = s.toolbar()
        # The window's thin border is one pixel; the band is the first 40 pixels of the client area.
        middle = g.y + 1 + 40 / 2
        for b in (b for b in buttons if not b.separator):
            check(g.y + 1 < b.top and b.bottom < g.y + 41, f"{b} does not lie inside the band, clear of its edges")
            # Sized for 24-px pictures: taller than a 16-px button (22), within the band.
            check(30 <= b.bottom - b.top <= 40, f"{b} is {b.bottom - b.top} px high, not sized for 24-px pictures")
        shot = s.picture()
        exit_button = buttons[0]
        background = shot.getpixel((exit_button.left + 1, exit_button.top + 1))
        rows = rows_unlike(shot, exit_button.left + 2, exit_button.top + 2, exit_button.right - 2,
                           exit_button.bottom - 2, background)
        check(rows, f"no picture drawn in {exit_button}")
        log(f"Exit picture rows {rows[0]}..{rows[-1]}")
        check(rows[-1] - rows[0] + 1 > 16, f"the Exit picture is only {rows[-1] - rows[0] + 1} px high")
        check(abs((rows[0] + rows[-1]) / 2 - middle) <= 1.5, f"the Exit picture's middle is not the band's ({middle})")
        items = s.open_menu("Browser")
        check(visible_texts(items) == ["FireFox", "Opera"], f"Browser lists {visible_texts(items)}")
        for item in items:
            check(item.bottom - item.top >= 24, f"menu item {item} is too low for a 24-px picture")


@case
def scale_change_while_running(run):
    """WM_DPICHANGED tells the scale of the monitor under the window, as when a bar parks next to a monitor of
    another scale; the bar is drawn for the primary monitor, whose scale has not changed: docked or parked, it keeps
    its size and place, and comes back as before. (Wine cannot change a scale while programs run.)"""
    with run() as s:
        s.check_docked("TOP")
        heights = {b.bottom - b.top for b in s.toolbar() if not b.separator}
        s.probe("dpi", "144")
        s.stays("the docked bar at 100 %", lambda: s.geometry().rect == (0, 0, 1024, 30), 1.5)
        check({b.bottom - b.top for b in s.toolbar() if not b.separator} == heights, "the buttons were resized")
        s.park()
        s.probe("dpi", "192")
        s.stays("the parked bar at 100 %", lambda: (lambda g: (g.x, g.y, g.h) == (-100, -100, 30))(s.geometry()), 1.5)
        s.recall("TOP")
        s.check_docked("TOP", recalled=True)


def edge_case(run, edge):
    with run(settings=settings(edge, edge)) as s:
        s.check_docked(edge)
        buttons = s.toolbar()
        check(len(buttons) == 16, f"the toolbar holds {len(buttons)} buttons, expected 16")
        if edge in ("LEFT", "RIGHT"):
            tops = [b.top for b in buttons]
            check(tops == sorted(tops) and buttons[-1].top > buttons[0].top,
                  f"the {edge} bar does not run top to bottom: {buttons}")
        else:
            lefts = [b.left for b in buttons]
            check(lefts == sorted(lefts) and buttons[-1].left > buttons[0].left,
                  f"the {edge} bar does not run left to right: {buttons}")
        g = s.geometry()
        check(all(g.x <= b.left and b.right <= g.x + g.w and g.y <= b.top and b.bottom <= g.y + g.h for b in buttons),
              f"buttons lie outside the window {g}: {buttons}")
        s.stays(f"the docked {edge} bar", lambda: not s.parked(), 2.5)
        # Pointer away from the band: parked at the next tick; at the edge: back, flush with it.
        s.park()
        s.recall(edge)
        s.stays(f"the recalled {edge} bar", lambda: not s.parked(), 2.5)
        s.check_docked(edge, recalled=True)


for edge in ("TOP", "RIGHT", "BOTTOM", "LEFT"):
    add(f"dock_{edge.lower()}", edge_case, edge)


@case
def dock_unrecognised_value(run):
    """' LEFT' (leading space) is no edge: the bar docks as for TOP and the file keeps its text."""
    text = b"TOOLBAR_POSITION= LEFT\r\nPOINTER_POSITION=TOP\r\nSTYLE=2\r\n"
    with run(settings=text) as s:
        s.check_docked("TOP")
        s.park()
        s.recall("TOP")
        s.check_docked("TOP", recalled=True)
        check(s.settings_file.read_bytes() == text, "the settings file was rewritten")


# --- the desktops people have: a taskbar, display changes, two monitors -----------------------------------------


def stays_at(s, what, rect, seconds=4.5):
    s.stays(what, lambda: s.geometry().rect == rect, seconds)


@case
def taskbar_below_a_bottom_bar(run):
    """A 40-px taskbar at the bottom of 1280 x 800: the BOTTOM bar docks on top of it (10 twips lower at start-up),
    stays while the pointer rests on the taskbar, parks, and comes back above it from the screen's last row."""
    display = lab.Display.workarea(1280, 800, (0, 0, 1280, 760))
    with run(settings=settings("BOTTOM", "BOTTOM"), display=display, at=(900, 780)) as s:
        taskbar = s.taskbar()
        stays_at(s, "the bar on the taskbar, the pointer resting on the taskbar", (0, 731, 1280, 30))
        s.move_pointer(640, 400)
        s.wait_parked()
        s.move_pointer(640, 780)
        stays_at(s, "the parked bar, the pointer on the taskbar above the screen's edge", (-100, -100, 1280, 30), 2.5)
        s.move_pointer(640, 799)
        s.wait_rect("the bar back on the taskbar", (0, 730, 1280, 30))
        s.move_pointer(900, 780)
        stays_at(s, "the recalled bar, the pointer resting on the taskbar", (0, 730, 1280, 30), 2.5)
        strip = s.geometry(s.find_window("Taskbar", taskbar.proc)).rect
        check(strip == (0, 760, 1280, 40), f"the stand-in taskbar is at {strip}")


@case
def resolution_change_moves_a_right_bar(run):
    """1280 x 800 becomes 1024 x 768 while a RIGHT bar is docked: it stands at the new edge, as high as the new
    screen, parks, and the new right edge calls it back."""
    display = lab.Display.modes(1280, 800, [(1024, 768)])
    with run(settings=settings("RIGHT", "RIGHT"), display=display, at=(1270, 400)) as s:
        check(s.geometry().rect == (1250, 0, 30, 800), f"not docked at the right of 1280 x 800: {s.geometry()}")
        s.desktop("mode", 1024, 768)
        s.wait_rect("the docked bar at the new right edge", (994, 0, 30, 768))
        s.move_pointer(1012, 400)
        stays_at(s, "the docked bar, the pointer on it", (994, 0, 30, 768), 2.5)
        s.move_pointer(500, 400)
        s.wait_parked()
        s.move_pointer(1022, 400)
        s.wait_rect("the bar called back from the new right edge", (994, 0, 30, 768))


@case
def second_monitor_left_of_the_primary(run):
    """A 1024 x 768 monitor left of the 1280 x 800 primary continues the LEFT edge: a LEFT bar parks on no monitor;
    the bar's 30 px just past the shared border keep it docked and call it back, deeper on the left monitor neither;
    the primary's own edge calls it back as ever."""
    display = lab.Display.two_monitors()
    left = display.origin[0]  # X of Windows' x = 0
    with run(settings=settings("LEFT", "LEFT"), display=display, at=(left + 12, 400)) as s:
        docked, parked = (left, 0, 30, 800), (left - 1024 - 30, -800, 30, 800)
        stays_at(s, "the docked bar, the pointer on it", docked, 2.5)
        s.move_pointer(left - 1, 400)
        stays_at(s, "the docked bar, the pointer just past the shared border", docked)
        s.move_pointer(left - 31, 400)
        # Beyond the corner of both monitors: right of it is x -1024 in Windows' coordinates, below it y 0.
        s.wait_rect("the bar parked on no monitor", parked)
        stays_at(s, "the parked bar, the pointer deeper on the left monitor", parked)
        s.move_pointer(left - 1, 400)
        s.wait_rect("the bar called back from just past the shared border", docked)
        s.move_pointer(left - 300, 400)
        s.wait_rect("the bar parked again", parked)
        s.move_pointer(left + 1, 400)
        s.wait_rect("the bar called back from the primary's left edge", docked)


@case
def recall_from_bottom_for_top_bar(run):
    """A TOP bar called back from the bottom edge; the top edge does not call it."""
    with run(settings=settings("TOP", "BOTTOM")) as s:
        s.check_docked("TOP")
        s.park()
        s.move_pointer(*s.at_edge("TOP"))
        s.stays("the parked bar with the pointer at the top edge", lambda: s.parked(), 4.5)
        s.move_pointer(*s.at_edge("BOTTOM"))
        s.wait_docked("TOP")
        # The pointer stayed at the bottom, outside the top band: the next tick parks the bar again.
        s.wait_parked()


@case
def recall_edge_unrecognised(run):
    """POINTER_POSITION=MIDDLE never calls the parked bar back, whichever edge the pointer touches."""
    with run(settings=settings("TOP", "MIDDLE")) as s:
        s.check_docked("TOP")
        s.park()
        for point in ((0, 0), (s.display.width - 1, s.display.height - 1), s.at_edge("TOP"), s.at_edge("LEFT")):
            s.move_pointer(*point)
            s.stays(f"the parked bar with the pointer at {point}", lambda: s.parked(), 4.5)


# --- the Links folder ------------------------------------------------------------------------------------------


def make_link(s, relative, target, arguments=None):
    """A shell link beside the exe, made by Windows' own shell link object."""
    s.beside(relative).parent.mkdir(parents=True, exist_ok=True)
    s.desktop("link", f"{s.folder}\\{relative}", target, *([arguments] if arguments else []))


def own_tips(s):
    """The tips of the buttons shown after Help; the » at the end shows its text and has none."""
    return [b.tip for b in s.toolbar()[len(BAR_TIPS):] if not b.hidden]


@case
def links_are_buttons_that_start_their_entries(run):
    """Shortcuts in Links are buttons after Help, behind a separator, in Explorer's order, named by their tips and drawn
    with the shell's pictures; a click starts the shortcut's target with its arguments, and the bar parks."""
    tool = f"{PROGRAM_FILES}\\Tools\\tool.exe"

    def shortcuts(s):
        s.install("Tools/tool.exe")
        make_link(s, "Links\\10 Chat.lnk", tool, "--chat")
        make_link(s, "Links\\1 Mail.lnk", tool, '--to "a b"')

    with run(before=shortcuts) as s:
        check(own_tips(s) == ["", "1 Mail", "10 Chat"], f"the bar's own buttons: {own_tips(s)}")
        mail = s.button("1 Mail")
        shot = s.picture()
        background = shot.getpixel((mail.left + 1, mail.top + 1))
        drawn = rows_unlike(shot, mail.left, mail.top, mail.right, mail.bottom, background)
        check(len(drawn) >= (mail.bottom - mail.top) // 3, f"no picture on the 1 Mail button: rows {drawn}")
        s.click_button("1 Mail")
        _, image, command = new_record(s, 0, "1 Mail", "RUN")
        check(same_path(image, tool) and command.endswith('--to "a b"'), f"started {image!r} as {command!r}")
        s.wait_parked()


@case
def links_follow_the_folder(run):
    """An entry added to Links while the bar runs shows as a button, and one removed goes, each within a second or
    two; the catalogue's buttons stay as they are."""
    with run(files={"Links/Notes.pdf": b"%PDF-"}) as s:
        check(own_tips(s) == ["", "Notes"], f"the bar's own buttons: {own_tips(s)}")
        s.put("Links/Plan.pdf", b"%PDF-")
        s.wait_until("the new entry's button", lambda: own_tips(s) == ["", "Notes", "Plan"], 4)
        s.beside("Links/Notes.pdf").unlink()
        s.wait_until("the removed entry's button to go", lambda: own_tips(s) == ["", "Plan"], 4)
        check([b.tip for b in s.toolbar()][:len(BAR_TIPS)] == BAR_TIPS, "the catalogue's buttons changed")


@case
def links_that_do_not_fit_go_into_the_more_menu(run):
    """Forty entries on a 1024-pixel bar: those that do not fit go into the » menu at the bar's end, which starts
    them as their buttons would."""
    files = {f"Links/Entry {i:02}.pdf": b"%PDF-" for i in range(40)}
    with run(files=files) as s:
        more = s.toolbar()[-1]
        shown = own_tips(s)
        check(not more.hidden and shown[-1] == "" and 2 < len(shown) < 41, f"the bar's own buttons shown: {shown}")
        s.click_at(*more.centre)
        items = s.wait_menu()
        listed = visible_texts(items)
        check(listed == [f"Entry {i:02}" for i in range(len(shown) - 2, 40)], f"the » menu lists {listed}")
        s.click_item(items, "Entry 39")
        received = check_opened(s, 0, "Entry 39")
        check(received.endswith("Links\\Entry 39.pdf"), f"the » menu opened {received!r}")
        s.wait_parked()


@case
def add_to_the_bar_and_remove_from_it(run):
    """Add to the bar… in the bar's menu: the file chosen in the dialog gets a shortcut in Links, made with the folder,
    and a button; Remove from the bar in that button's menu moves the shortcut to the Recycle Bin (Wine's is the
    host's trash) and the button goes."""
    with run(files={"Docs/Plan.pdf": b"%PDF-"}) as s:
        s.click_at(*s.on_band("TOP"), button=3)
        s.wait_menu()
        s.keys("a")
        s.wait_until("the Add to the bar dialog", lambda: s.windows("Add to the bar"), 10, 0.25)
        s.desktop("type", f"{s.folder}\\Docs\\Plan.pdf")
        s.keys("Return")
        s.wait_until("the new entry's button", lambda: own_tips(s) == ["", "Plan"], 6)
        check(s.beside("Links/Plan.lnk").is_file(), f"no shortcut in Links: {list(s.beside('Links').iterdir())}")
        s.click_at(*s.button("Plan").centre, button=3)
        s.wait_menu()
        s.keys("r")
        s.wait_until("the button to go", lambda: own_tips(s) == [], 6)
        trash = s.prefix / "xdg-data" / "Trash" / "files"
        check(not s.beside("Links/Plan.lnk").exists() and any(trash.glob("Plan*.lnk")),
              f"the shortcut is not in the trash: {list(trash.iterdir()) if trash.exists() else 'no trash'}")


@case
def what_is_dropped_on_the_bar_is_added_or_opened(run):
    """A file dragged from another program (by OLE drag and drop, as from Explorer) and let go on the bar's empty end
    gets a shortcut in Links and a button; let go on a Links button, it is passed to that button's program, quoted,
    and the bar parks as after a click."""
    tool = f"{PROGRAM_FILES}\\Tools\\tool.exe"
    plan = "Docs\\Plan B.pdf"

    def shortcut(s):
        s.install("Tools/tool.exe")
        make_link(s, "Links\\Tool.lnk", tool)

    with run(before=shortcut, files={plan: b"%PDF-"}) as s:
        end = (s.display.width - 20, s.button("Tool").centre[1])
        s.move_pointer(*end)
        s.desktop("drag", f"{s.folder}\\{plan}", *end)
        s.wait_until("the dropped file's button", lambda: own_tips(s) == ["", "Plan B", "Tool"], 6)
        check(s.beside("Links/Plan B.lnk").is_file(), f"no shortcut in Links: {list(s.beside('Links').iterdir())}")
        s.move_pointer(*s.button("Tool").centre)
        s.desktop("drag", f"{s.folder}\\{plan}", *s.button("Tool").centre)
        _, image, command = new_record(s, 0, "the drop on Tool", "RUN")
        check(same_path(image, tool) and command.endswith(f'"{s.folder}\\{plan}"'), f"started {image!r} as {command!r}")
        s.wait_parked()


# --- drop-downs and launching ----------------------------------------------------------------------------------


@case
def browser_lists_installed(run):
    """Only installed browsers are listed; FireFox starts exactly its executable; an empty drop-down says so."""
    with run(install=["Mozilla Firefox/firefox.exe", "opera/opera.exe"]) as s:
        items = start_from(s, "Browser", "FireFox", "Mozilla Firefox\\firefox.exe", listed=["FireFox", "Opera"])
        check(not any(item.grayed for item in items), "an installed browser is greyed")
        s.wait_menu_closed()
        s.recall("TOP")
        items = s.open_menu("P-2-P")
        check(len(items) == 1 and items[0].grayed and "no program found" in items[0].text.lower(),
              f"the empty P-2-P drop-down shows {items}")
        s.check_no_traps()


@case
def explorer_and_messaging(run):
    """Explorer listed when present; spaces in nested folders; bar order kept in the Messaging drop-down."""
    with run(install=["Internet Explorer/iexplore.exe", "netscape/netscape browser/netscape.exe",
                      "messenger/msmsgs.exe", "icqlite/icqlite.exe"]) as s:
        start_from(s, "Browser", "Netscape", "netscape\\netscape browser\\netscape.exe", 0, ["Explorer", "Netscape"])
        s.recall("TOP")
        start_from(s, "Messaging", "ICQ", "icqlite\\icqlite.exe", 1, ["MS Messenger", "ICQ"])
        s.recall("TOP")
        start_from(s, "Browser", "Explorer", "Internet Explorer\\iexplore.exe", 2)


@case
def outlook_in_numbered_office(run):
    """Outlook found in office11 (before office12) and started from there."""
    with run(install=["microsoft office/office11/outlook.exe", "microsoft office/office12/outlook.exe",
                      "mozilla thunderbird/thunderbird.exe"]) as s:
        start_from(s, "Mail", "Outlook", "microsoft office\\office11\\outlook.exe", listed=["Outlook", "Thunderbird"])


@case
def program_in_32_bit_program_files(run):
    """A catalogued program present only under "Program Files (x86)" is listed and started from there."""
    with run(install=["C:\\Program Files (x86)\\Mozilla Firefox\\firefox.exe"]) as s:
        s.click_item(s.open_menu("Browser"), "FireFox")
        path = "C:\\Program Files (x86)\\Mozilla Firefox\\firefox.exe"
        _, image, command = new_record(s, 0, "FireFox", "RUN")
        check(same_path(image, path) and command.strip().lower() == f'"{path}"'.lower(),
              f"started {image!r} with {command!r}, expected the quoted {path!r}")
        s.wait_parked()


@case
def search_items_open_addresses(run):
    """The three search items open their home pages through the http association."""
    with run() as s:
        expected = {"Altavista": "http://www.altavista.com/", "Yahoo": "http://www.yahoo.com/",
                    "Google": "http://www.google.com/"}
        for number, (text, address) in enumerate(expected.items()):
            if number:
                s.recall("TOP")
            items = s.open_menu("Search")
            check(visible_texts(items) == list(expected), f"Search lists {visible_texts(items)}")
            s.click_item(items, text)
            received = check_opened(s, number, text)
            check(received == address, f"{text}: the handler received {received!r}, expected {address!r}")
            s.wait_parked()
        s.check_no_traps()


@case
def about_and_help(run):
    """About Me opens the web site; Help opens the program's folder followed by "/nimbrel.pdf"."""
    with run(files={"nimbrel.pdf": b"%PDF-1.4\n%%EOF\n"}) as s:
        s.click_button("About Me")
        received = check_opened(s, 0, "About Me")
        check(received == "http://www.nimbrel.org/", f"About Me: the handler received {received!r}")
        s.wait_parked()
        s.recall("TOP")
        s.click_button("Help")
        received = check_opened(s, 1, "Help")
        expected = f"{APP}/nimbrel.pdf"
        # Wine may hand the document to the handler with the separator normalised; both name the same file.
        check(received == expected or same_path(received, expected),
              f"Help: the handler received {received!r}, expected {expected!r}")
        s.wait_parked()
        s.check_no_traps()


@case
def exit_keeps_settings(run):
    """Exit ends the process at once and leaves the settings file untouched."""
    text = b"[Nimbrel]\r\nTOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=3\r\nCOMMENT=kept as it is\r\n"
    with run(settings=text) as s:
        path = s.settings_file
        before = path.stat().st_mtime_ns
        s.click_button("Exit")
        s.wait_until("the process to end", lambda: not s.alive(), 10)
        log(f"Nimbrel.exe ended with status {s.proc.returncode}")
        check(path.read_bytes() == text, f"the settings file changed: {path.read_bytes()!r}")
        check(path.stat().st_mtime_ns == before, "the settings file was written")
        out = s.run("xdotool", "search", "--onlyvisible", "--name", "^Nimbrel$", check_rc=False).stdout
        check(not out.strip(), f"a Nimbrel window is still shown: {out!r}")
        check(not s.records(), f"Exit started something: {s.records()}")


@case
def menu_click_after_tick(run):
    """A pointer-watch tick falls while the drop-down is open; the item clicked afterwards still starts."""
    with run(install=["google/google earth/googleearth.exe", "tellme/tellme.exe"]) as s:
        items = s.open_menu("Programs")
        check(visible_texts(items) == ["Google Earth", "TellMe(Text-2-Speech)"],
              f"Programs lists {visible_texts(items)}")
        target = [item for item in items if item.text == "Google Earth"][0]
        s.move_pointer(*target.centre)
        # Two ticks at least; the pointer is below the band, so a tick may park the bar under the menu.
        s.stays("the bar with its drop-down open", s.alive, 4.5)
        opened, now, out = s.menus()
        check(opened and visible_texts(now) == visible_texts(items), f"the drop-down closed during the ticks: {out!r}")
        log(f"after the ticks: window {s.geometry()}")
        s.click_item(now, "Google Earth")
        check_launch(s, 0, "google\\google earth\\googleearth.exe", "Google Earth")
        s.wait_parked()
        s.wait_menu_closed()


# --- the keyboard and the tips ---------------------------------------------------------------------------------


def keyboard_opens_menu_and_starts(run, style, visual_style):
    """The bar has the focus at start-up: Right, Right, Enter opens Browser, Down, Enter starts its first program; in
    every look (Classic is a file without a STYLE line), with the visual style on and off."""
    with run(settings=settings(style=style or None), visual_style=visual_style,
             install=["Mozilla Firefox/firefox.exe", "Opera/opera.exe"]) as s:
        check(s.focus() == (True, True), f"the toolbar does not have the focus after start-up: {s.focus()}")
        s.keys("Right", "Right", "Return")
        items = s.wait_menu()
        check(visible_texts(items) == ["FireFox", "Opera"], f"Right, Right, Enter opened {visible_texts(items)}")
        s.keys("Down", "Return")
        check_launch(s, 0, "Mozilla Firefox\\firefox.exe", "FireFox chosen from the keyboard")
        s.wait_parked()
        s.wait_menu_closed()
        # Every show gives the focus back to the toolbar, with no button lit until an arrow key is pressed.
        s.recall("TOP")
        check(s.focus() == (True, True), f"the toolbar does not have the focus after a recall: {s.focus()}")
        s.keys("Escape")
        check(not s.menus()[0], "Escape opened something")


for style, look in enumerate(("classic", "flat", "gradient", "dark")):
    for styled in (True, False):
        name = f"keyboard_opens_menu_and_starts_{look}" + ("" if styled else "_unstyled")
        add(name, keyboard_opens_menu_and_starts, style, styled)


@case
def second_start_gives_the_keyboard(run):
    """Keys on a bar that the pointer parked do nothing. With another window in front, a second start (what the
    shortcut key does) docks the bar in front and gives it the keyboard, no button lit; it stays while the keys work
    it, each move reaches screen readers as a focus event, and Esc lets it park at the next tick, giving the
    foreground back to the window that had it, which the topmost release does not take away again."""
    with run(install=["Mozilla Firefox/firefox.exe"]) as s:
        s.park()
        # Windows leaves the parked window the active one; Wine deactivates it as it unmaps it.
        s.probe("activate")
        check(s.focus() == (True, True), f"the parked bar does not have the keyboard: {s.focus()}")
        s.keys("Right", "Return", "space", "Down", "Return")
        s.stays("the parked bar, deaf to the keys", lambda: s.alive() and s.parked() and not s.records(), 1.0)
        check(not s.menus()[0], "a key opened a menu of the parked bar")

        editor = s.window("Editor")
        s.keys("a")
        s.wait_until("the editor to have the keyboard", lambda: editor.records("KEY"), 5)
        screen_reader = s.focus_events()
        second = s.another()
        s.wait_until("the second start to end", lambda: second.poll() is not None, 10)
        s.wait_docked("TOP")
        check(s.focus() == (True, True), f"the called bar does not have the keyboard: {s.focus()}")
        s.keys("Right", "Right")
        s.stays("the bar called by the keyboard, the pointer away", lambda: not s.parked(), 4.5)
        ours = [(int(f[2]), int(f[3])) for f in screen_reader.records("FOCUS") if f[4] == "ToolbarWindow32"]
        # OBJID_CLIENT (-4); child ids count every button from 1: Exit is 1, the separator 2, Browser 3.
        check(ours[-2:] == [(-4, 1), (-4, 3)], f"the screen reader heard {screen_reader.records('FOCUS')}")

        # Esc parks the bar at once, and a key typed right after it reaches the window from before the call.
        typed = len(editor.records("KEY"))
        s.keys("Escape", "b")
        s.wait_parked(timeout=1)
        s.wait_until("the editor to have the keyboard back", lambda: len(editor.records("KEY")) > typed, 5)
        # The topmost release comes 100 ms after the park.
        s.stays("the parked bar out of the foreground", lambda: s.focus()[1] is False, 0.5)


@case
def another_window_ends_the_keyboards_call(run):
    """A bar called by the keyboard parks at the next tick once the user clicks another program's window, the
    pointer away from it; the foreground stays with that window."""
    with run() as s:
        s.park()
        editor = s.window("Editor", (300, 300, 700, 600))
        second = s.another()
        s.wait_until("the second start to end", lambda: second.poll() is not None, 10)
        s.wait_docked("TOP")
        check(s.focus()[1], "the called bar is not the active window")
        s.click_at(500, 450)
        # At the next tick; the click leaves the pointer away from the band.
        s.wait_parked(timeout=3)
        typed = len(editor.records("KEY"))
        s.keys("c")
        s.wait_until("the editor to keep the keyboard", lambda: len(editor.records("KEY")) > typed, 5)


def open_settings_menu_and_dock_left(s):
    s.click_at(*s.on_band("TOP"), button=3)
    s.wait_menu()
    s.keys("d", "l")
    s.wait_rect("the bar at the left edge", s.docked_rect("LEFT", recalled=False), timeout=1)


@case
def settings_menu_moves_the_bar_and_keeps_the_file(run):
    """A right-click on a TOP bar, D (Dock at), L (Left): the bar stands at the left edge within a second; the file
    says LEFT for both edges and keeps its note and its unknown key byte for byte; a new start comes up at the left."""
    text = b"; my bar\r\nTOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nCOLOUR=red\r\nSTYLE=1\r\n"
    with run(settings=text) as s:
        open_settings_menu_and_dock_left(s)
        expected = text.replace(b"=TOP", b"=LEFT")
        s.wait_until("the file to say LEFT", lambda: s.settings_bytes() == expected, 2)
        s.end()
        s.edge = "LEFT"
        s.launch(s.on_band("LEFT"))
        s.check_docked("LEFT")


@case
def settings_menu_with_the_file_held_by_another_program(run):
    """With Nimbrel.Txt held open by another program, the menu still moves the bar, and a message says that the
    change could not be saved; the file stays as it was."""
    text = settings("TOP", "TOP")
    with run(settings=text) as s:
        s.plant(lab.HELPERS / "locker.exe", "C:\\bench\\locker.exe")
        locker = s.start("C:\\bench\\locker.exe", f"{s.folder}\\Nimbrel.Txt", "60")
        s.wait_until("the lock", lambda: s.path("C:\\bench\\locker-ready.txt").exists(), 30)
        open_settings_menu_and_dock_left(s)
        s.wait_until("a message beside the bar's window", lambda: len(s.windows("Nimbrel", s.proc.pid)) > 1, 5)
        s.end(locker)
        check(s.settings_bytes() == text, f"the held file changed: {s.settings_bytes()!r}")


@case
def quick_click_leaves_only_the_menu(run):
    """A click at once on a category: its tip, armed by the pointer's arrival, never covers the open menu."""
    with run(install=["Opera/opera.exe"]) as s:
        x, y = s.button("Browser").centre
        s.move_pointer(x, y)
        s.click()
        items = s.wait_menu()
        check(visible_texts(items) == ["Opera"], f"Browser lists {visible_texts(items)}")
        # Well past the tip's delay of half a second.
        s.stays("no tip over the open menu", lambda: not s.visible_tips(), 2.0)
        s.keys("Escape")
        s.wait_menu_closed()
        # With the menu closed the tips are back: resting on a button shows its tip beside it.
        search = s.button("Search")
        s.move_pointer(*search.centre)
        near = lambda t: search.left - 40 <= t[0] <= search.right and search.top <= t[1] <= search.bottom + 40
        s.wait_until("the Search tip", lambda: [t for t in s.visible_tips() if near(t)], 5)


# --- a hostile program folder ----------------------------------------------------------------------------------


@case
def planted_dlls_stay_out(run):
    """UxTheme.dll and MSIMG32.dll planted beside the program, searched there first as Windows would: neither runs,
    and the bar docks, launches, parks and comes back."""
    marker = (lab.HELPERS / "marker.dll").read_bytes()
    with run(install=["Mozilla Firefox/firefox.exe"], files={"UxTheme.dll": marker, "MSIMG32.dll": marker},
             overrides="uxtheme,msimg32=n,b") as s:
        s.check_docked("TOP")
        start_from(s, "Browser", "FireFox", "Mozilla Firefox\\firefox.exe")
        s.recall("TOP")
        s.check_docked("TOP", recalled=True)
        planted = [r for r in s.records() if r[0] == "DLL"]
        check(not planted, f"a planted DLL ran: {planted}")


# --- only Exit ends the bar, one bar per folder ----------------------------------------------------------------


def check_settings_kept(s, path, text, mtime):
    check(path.read_bytes() == text, f"the settings file changed: {path.read_bytes()!r}")
    check(path.stat().st_mtime_ns == mtime, "the settings file was written")


@case
def close_refused(run):
    """Alt+F4 on the focused bar and a WM_CLOSE from another program leave it running; it parks, comes back,
    and Exit still ends it."""
    with run() as s:
        s.keys("alt+F4")
        out = s.probe("close")
        check("CLOSE\t1" in out, f"probe could not post WM_CLOSE: {out!r}")
        s.stays("the bar after Alt+F4 and WM_CLOSE", lambda: s.alive() and s.geometry().viewable, 2.5)
        s.check_docked("TOP")
        s.park()
        s.recall("TOP")
        s.click_button("Exit")
        s.wait_until("the process to end after Exit", lambda: not s.alive(), 10)


@case
def session_end_ends_at_once(run):
    """At log-off the bar answers WM_QUERYENDSESSION with yes, and WM_ENDSESSION ends it by itself at once;
    the settings file is not written."""
    text = settings("TOP", "TOP", 2)
    with run(settings=text) as s:
        path = s.settings_file
        mtime = path.stat().st_mtime_ns
        out = s.probe("endsession")
        log(f"probe: {out.strip()!r}")
        check("QUERY\t1" in out, f"the bar did not agree to end the session: {out!r}")
        s.wait_until("the process to end after WM_ENDSESSION", lambda: not s.alive(), 3)
        check_settings_kept(s, path, text, mtime)
        check(not s.records(), f"ending the session started something: {s.records()}")


@case
def wine_end_session(run):
    """wineboot --end-session (Wine's log-off) succeeds without a prompt and the bar is gone."""
    text = settings("TOP", "TOP", 3)
    with run(settings=text) as s:
        path = s.settings_file
        mtime = path.stat().st_mtime_ns
        s.wine("wineboot", "--end-session", timeout=30)
        s.wait_until("the process to end after the session ended", lambda: not s.alive(), 5)
        check_settings_kept(s, path, text, mtime)


@case
def second_start_hands_over(run):
    """A second start of the same Nimbrel.exe, named in other letter case, shows no window, writes no settings file
    and ends; the parked bar docks as at its recall edge. Once the first bar is killed, a new start runs."""
    with run(settings=settings("TOP", "TOP")) as s:
        s.park()
        # The running bar has read its settings; a start that reached its own start-up would write them afresh.
        s.settings_file.unlink()
        second = s.another(APP.upper() + "\\nimbrel.EXE")
        shown = set()

        def second_ended():
            shown.update(s.windows("Nimbrel", second.pid))
            return second.poll() is not None

        s.wait_until("the second start to end", second_ended, 10)
        log(f"second start ended with status {second.returncode}")
        check(second.returncode == 0, f"the second start ended with status {second.returncode}")
        check(not shown, f"the second start showed windows {shown}")
        s.wait_docked("TOP")
        check(not s.settings_file.exists(), "the second start wrote a settings file")
        check(s.alive(), "the first bar ended")
        # The bar was called for the keyboard: the watch leaves it until Esc, then parks it as after any recall.
        s.stays("the called bar, the pointer away", lambda: not s.parked(), 2.5)
        s.keys("Escape")
        s.wait_parked()
        s.end()
        s.launch(s.away)
        log(f"after the first bar was killed a new one runs: window {s.geometry()}")


@case
def other_folder_runs_beside(run):
    """A copy in another folder, with its own settings file, runs beside the first bar with its own edge."""
    with run(settings=settings("TOP", "TOP")) as s:
        s.plant(s.exe, "C:\\Apps\\Other\\Nimbrel.exe").with_name("Nimbrel.Txt").write_bytes(settings("LEFT", "LEFT"))
        beside = s.another("C:\\Apps\\Other\\Nimbrel.exe")
        g = s.geometry(s.find_window("Nimbrel", beside, timeout=20))
        log(f"the other folder's bar: {g}")
        x, y, w, h = s.docked_rect("LEFT", recalled=False)
        check(g.x == x and g.w == w and g.h == h, f"the other bar is not docked at the left: {g}")
        check(s.alive() and beside.poll() is None, "one of the two bars ended")
        s.check_docked("TOP")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=["list", *CASES])
    parser.add_argument("--exe")
    args = parser.parse_args()
    if args.case == "list":
        print("\n".join(CASES))
        return 0
    return lab.run_cases(CASES, [args.case], args.exe)


if __name__ == "__main__":
    lab.run_main(main)
