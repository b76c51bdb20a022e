#!/usr/bin/python3
"""Pictures of the real Nimbrel.exe for people to look at, rendered under Wine on a virtual X server.

    tools/contact-sheet.py [--build build/windows]

Runs the bar at 96, 120, 144 and 192 DPI (100 to 200 %) in each of the four looks, with the Browser drop-down
open, and writes:

  docs/contact-sheet.png      every scale and look side by side, shown in the README
  docs/settings-menu.png      the bar's own menu, opened by a right-click, with Dock at open
  docs/links-bar.png          a bar at the top and one at the left with a Links folder of the user's own programs
  docs/help/bar-labelled.pdf  the bar at 144 DPI with each button named, for the manual (built without Wine)

Needs the Windows build (Nimbrel.exe and the test lab's programs), Wine, Xvfb, xdotool, ImageMagick and
python3-pil; runs on the test lab (tests/lab/lab.py) and takes about three minutes.
"""

import argparse
import re
import sys
import time
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "lab"))
from bar import Bar, settings  # noqa: E402
from lab import log, records  # noqa: E402

DPIS = (96, 120, 144, 192)
LOOKS = ("Classic", "Flat", "Gradient", "Dark")
INSTALLED = ["Mozilla Firefox/firefox.exe", "Opera/opera.exe", "Netscape/Netscape Browser/netscape.exe"]
SHEET_BACKGROUND = (246, 246, 246)
INK = (40, 40, 40)


def capture(exe, dpi, style):
    """The screen with the Browser menu open, the bar's buttons and the menu's frame, at one scale and look."""
    # Classic is the look of a file without a STYLE line; "STYLE=0" reads as 1.
    with Bar(f"sheet-{dpi}-{style}", exe, settings=settings(style=style or None), dpi=dpi) as s:
        for where in INSTALLED:
            s.install(where)
        s.launch((1000, 3))
        buttons = s.toolbar()
        bare = s.picture()
        s.click_button("Browser")
        s.wait_menu()
        # The first entry lit from the keyboard: the pointer stays in the band, so no tick parks the bar.
        s.keys("Down")
        time.sleep(1.0)
        shot = s.picture()
        frame = records(s.menus()[2], "MENU")[0]
        menu = tuple(int(v) for v in frame[2:6])
        return bare, shot, buttons, menu, s.geometry()


def menu_picture(exe, out):
    """The left part of a TOP bar with its menu opened by a right-click and Dock at opened by its access key."""
    with Bar("sheet-menu", exe, settings=settings("TOP", "TOP")) as s:
        s.launch((1000, 3))
        s.click_at(120, 12, button=3)
        s.wait_menu()
        s.keys("d")
        time.sleep(1.0)
        shot = s.picture()
        frames = [tuple(int(v) for v in frame[2:6]) for frame in records(s.menus()[2], "MENU")]
        right = max(frame[2] for frame in frames) + 16
        bottom = max(frame[3] for frame in frames) + 16
        shot.crop((0, 0, right, bottom)).save(out)
        log(f"wrote {out} ({right} x {bottom}); menus at {frames}")


# The user's own programs of the Links pictures: a name and the Tango picture its shortcut shows.
OWN = (("Mail", "internet-mail"), ("Chat", "internet-group-chat"), ("Notes", "accessories-text-editor"),
       ("Terminal", "utilities-terminal"), ("Calculator", "accessories-calculator"))


def plant_own_programs(s):
    """Shortcuts to a stand-in program, each with a Tango picture made into an .ico file, and a folder of two."""
    s.install("Tools/tool.exe")
    for name, picture in OWN:
        icon = s.beside(f"Pictures\\{picture}.ico")
        icon.parent.mkdir(parents=True, exist_ok=True)
        with Image.open(f"/usr/share/icons/Tango/32x32/apps/{picture}.png") as png:
            png.convert("RGBA").save(icon, sizes=[(32, 32)])
        folder = "Links\\Work\\" if name in ("Terminal", "Calculator") else "Links\\"
        s.beside(folder).mkdir(parents=True, exist_ok=True)
        s.desktop("link", f"{s.folder}\\{folder}{name}.lnk", "C:\\Program Files\\Tools\\tool.exe", "",
                  f"{s.folder}\\Pictures\\{picture}.ico")


def links_picture(exe, out):
    """The right end of a TOP bar and the foot of a LEFT bar, each with the Links folder's buttons after Help."""
    shots = []
    for edge in ("TOP", "LEFT"):
        with Bar(f"sheet-links-{edge}", exe, settings=settings(edge, edge)) as s:
            plant_own_programs(s)
            s.launch(s.on_band(edge))
            time.sleep(1.5)
            buttons = s.toolbar()
            help_button, last = buttons[15], [b for b in buttons if not b.hidden][-1]
            shot = s.picture()
            if edge == "TOP":
                shots.append(shot.crop((help_button.left - 160, 0, last.right + 8, s.geometry().h)))
            else:
                shots.append(shot.crop((0, help_button.top - 120, s.geometry().w, last.bottom + 8)))
    top, left = shots
    picture = Image.new("RGB", (top.width + left.width + 24, max(top.height, left.height)), SHEET_BACKGROUND)
    picture.paste(top, (0, 0))
    picture.paste(left, (top.width + 24, 0))
    picture.save(out, optimize=True)
    log(f"wrote {out}")


def sheet(cells):
    """Rows of scales, columns of looks; each cell the bar's start and the open menu."""
    pad, label_w, head_h = 12, 110, 26
    col_w = [max(cells[d, look].width for d in DPIS) for look in LOOKS]
    row_h = [max(cells[d, look].height for look in LOOKS) for d in DPIS]
    out = Image.new("RGB", (label_w + sum(col_w) + pad * (len(LOOKS) + 1), head_h + sum(row_h) + pad * len(DPIS)),
                    SHEET_BACKGROUND)
    draw = ImageDraw.Draw(out)
    x = label_w + pad
    for look, width in zip(LOOKS, col_w):
        draw.text((x, 8), f"{LOOKS.index(look)} {look}", fill=INK)
        x += width + pad
    y = head_h
    for dpi, height in zip(DPIS, row_h):
        draw.text((8, y + 4), f"{dpi} DPI ({dpi * 100 // 96} %)", fill=INK)
        x = label_w + pad
        for look, width in zip(LOOKS, col_w):
            out.paste(cells[dpi, look], (x, y))
            x += width + pad
        y += height + pad
    return out


def label_font(size):
    try:
        return ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", size)
    except OSError:
        return ImageFont.load_default()


def labelled_bar(shot, buttons, geometry):
    """The whole bar with every button's name below it on a leader line, the names spread over four rows."""
    bar = shot.crop((0, 0, max(b.right for b in buttons) + 8, geometry.h))
    named = [b for b in buttons if not b.separator]
    font = label_font(15)
    line_h = 22
    # Each name goes on the first row where it clears the name before it.
    ends, placed = [], []
    for b in named:
        x = (b.left + b.right) // 2
        row = next((r for r, end in enumerate(ends) if end < x), len(ends))
        if row == len(ends):
            ends.append(0)
        ends[row] = x + 3 + font.getlength(b.tip) + 8
        placed.append((b, x, row))
    out = Image.new("RGB", (int(max(ends)) + 4, bar.height + len(ends) * line_h + 8), (255, 255, 255))
    out.paste(bar, (0, 0))
    draw = ImageDraw.Draw(out)
    for b, x, row in placed:
        y = bar.height + 4 + row * line_h
        draw.line([(x, b.bottom - 3), (x, y + 4)], fill=(150, 150, 150))
        draw.text((x + 3, y), b.tip, fill=INK, font=font)
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(ROOT / "build" / "windows"))
    parser.add_argument("--sheet", default=str(ROOT / "docs" / "contact-sheet.png"))
    parser.add_argument("--bar", default=str(ROOT / "docs" / "help" / "bar-labelled.pdf"))
    parser.add_argument("--menu", default=str(ROOT / "docs" / "settings-menu.png"))
    parser.add_argument("--links", default=str(ROOT / "docs" / "links-bar.png"))
    parser.add_argument("--only", choices=["menu", "links"], help="make only this picture")
    args = parser.parse_args()
    exe = Path(args.build) / "src" / "win32" / "Nimbrel.exe"
    if args.only in (None, "menu"):
        menu_picture(exe, args.menu)
    if args.only in (None, "links"):
        links_picture(exe, args.links)
    if args.only:
        return 0
    cells = {}
    for dpi in DPIS:
        for style, look in enumerate(LOOKS):
            bare, shot, buttons, menu, geometry = capture(exe, dpi, style)
            # The left of the bar down to the bottom of the open menu.
            right = max(menu[2], buttons[5].right) + 6
            cells[dpi, look] = shot.crop((0, 0, right, menu[3] + 6))
            log(f"{dpi} DPI {look}: buttons {buttons[0]} ... menu {menu}")
            if dpi == 144 and look == "Flat":
                bar = labelled_bar(bare, buttons, geometry)
    sheet(cells).save(args.sheet, optimize=True)
    # Dated by nothing but the epoch, so that the same pictures give the same bytes.
    epoch = time.gmtime(0)
    bar.save(args.bar, "PDF", resolution=144.0, creationDate=epoch, modDate=epoch, producer="Nimbrel")
    # The manual places the picture at its own size.
    manual = ROOT / "docs" / "help" / "nimbrel.ms"
    size = f"{bar.width * 72 / 144:g}p {bar.height * 72 / 144:g}p"
    text = re.sub(r"^\.PIC bar-labelled\.pdf .*$", f".PIC bar-labelled.pdf {size}", manual.read_text(), flags=re.M)
    manual.write_text(text)
    log(f"wrote {args.sheet} and {args.bar} ({size})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
