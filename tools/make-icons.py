#!/usr/bin/python3
"""Builds the toolbar picture strips and the program icon from the Tango icon theme.

Reads assets/icons/icons.tsv (one row per toolbar picture index) and writes:

  src/win32/res/toolbar-N.png   N = 16, 20, 24, 32, 48: the 38 pictures side by side
                                (38 N x N), 8-bit RGBA with straight alpha
  src/win32/res/nimbrel.ico     the program icon, 16 to 256 px, 32 bpp entries
  assets/icons/preview.png      a contact sheet of all of them, for reviewing
  assets/icons/CREDITS.txt      its "Pictures used" section: the source of every size

Each size comes from Tango's own picture of that size where the theme has one, otherwise from
its scalable SVG rendered at exactly that size by rsvg-convert; bitmaps are never scaled.
Needs python3-pil and librsvg2-bin. The same inputs and package versions give the same bytes.
--check regenerates into a temporary folder and compares pixels with the checked-in files.
"""

import argparse
import collections
import io
import os
import pathlib
import struct
import subprocess
import sys
import tempfile

try:
    from PIL import Image, ImageDraw
except ImportError:
    sys.exit("make-icons: needs python3-pil (Debian's package serves /usr/bin/python3)")

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_TANGO_DIR = "/usr/share/icons/Tango"
TABLE = os.path.join("assets", "icons", "icons.tsv")
CREDITS = os.path.join("assets", "icons", "CREDITS.txt")
PREVIEW = os.path.join("assets", "icons", "preview.png")
PROGRAM_ICO = os.path.join("src", "win32", "res", "nimbrel.ico")
STRIP_SIZES = (16, 20, 24, 32, 48)
PICTURE_COUNT = 38
ICON_NAME = "categories/applications-internet"
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
# Entries this large are PNG (Vista and later): a 32 bpp DIB of 48 px and up costs three times the bytes.
PNG_ENTRY_FROM = 48
CREDITS_MARKER = "Pictures used\n-------------\n"


class IconError(Exception):
    pass


def strip_path(size):
    return os.path.join("src", "win32", "res", f"toolbar-{size}.png")


def read_table(path):
    """Returns the Tango names of the toolbar pictures in index order."""
    names = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if line.startswith("#") or not line.strip():
                continue
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 3 or fields[0] != str(len(names)) or not fields[1]:
                raise IconError(f"{path}:{number}: expected '{len(names)}<TAB>context/name<TAB>button'")
            names.append(fields[1])
    if len(names) != PICTURE_COUNT:
        raise IconError(f"{path}: {len(names)} pictures, expected {PICTURE_COUNT}")
    return names


def cleaned(img):
    """A fresh RGBA copy whose fully transparent pixels have colour 0 (no metadata carried over)."""
    img = img.convert("RGBA")
    out = Image.new("RGBA", img.size, (0, 0, 0, 0))
    out.paste(img, mask=img.getchannel("A").point(lambda a: 255 if a else 0))
    return out


def render_svg(path, size):
    try:
        run = subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-f", "png", path],
                             capture_output=True, check=False)
    except FileNotFoundError:
        raise IconError("rsvg-convert not found (Debian package librsvg2-bin)") from None
    if run.returncode != 0:
        raise IconError(f"rsvg-convert failed on {path}: {run.stderr.decode(errors='replace').strip()}")
    return Image.open(io.BytesIO(run.stdout))


def tango_sizes(tango_dir):
    """The theme's bitmap sizes, from its NxN folders."""
    folders = [entry.partition("x") for entry in os.listdir(tango_dir)]
    return sorted(int(n) for n, x, m in folders if x and n.isdigit() and n == m)


def picture(tango_dir, name, size):
    """One size x size picture and a description of its source with the name as <name>."""
    bitmaps = [s for s in tango_sizes(tango_dir) if os.path.isfile(os.path.join(tango_dir, f"{s}x{s}", name + ".png"))]
    svg = os.path.join(tango_dir, "scalable", name + ".svg")
    if size in bitmaps:
        img, how = Image.open(os.path.join(tango_dir, f"{size}x{size}", name + ".png")), f"{size}x{size}/<name>.png"
    elif os.path.isfile(svg):
        img, how = render_svg(svg, size), f"scalable/<name>.svg rendered at {size} px"
    elif any(s < size for s in bitmaps):
        # Without a design for this size, the largest smaller one centred keeps every pixel sharp.
        s = max(s for s in bitmaps if s < size)
        small = cleaned(Image.open(os.path.join(tango_dir, f"{s}x{s}", name + ".png")))
        img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
        img.paste(small, ((size - small.width) // 2, (size - small.height) // 2))
        how = f"{s}x{s}/<name>.png centred on {size} px"
    else:
        raise IconError(f"{name}: no source for {size} px in {tango_dir}")
    if img.size != (size, size):
        raise IconError(f"{name}: {how.replace('<name>', name)} is {img.width}x{img.height}, expected {size}x{size}")
    return cleaned(img), how


def png_bytes(img):
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def ico_bytes(images):
    """An ICO container: PNG entries from PNG_ENTRY_FROM px, 32 bpp DIBs with AND mask below."""
    blobs = []
    for img in images:
        n = img.width
        if n >= PNG_ENTRY_FROM:
            blobs.append(png_bytes(img))
            continue
        flipped = img.transpose(Image.Transpose.FLIP_TOP_BOTTOM)
        pixels = flipped.tobytes("raw", "BGRA")
        alpha = flipped.getchannel("A").tobytes()
        stride = (n + 31) // 32 * 4
        mask = bytearray(stride * n)
        for i, a in enumerate(alpha):
            if a == 0:
                y, x = divmod(i, n)
                mask[y * stride + x // 8] |= 0x80 >> (x % 8)
        header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
        blobs.append(header + pixels + bytes(mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for img, blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", img.width % 256, img.height % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def ico_entries(blob):
    """Each entry of an ICO as (kind, size, RGBA bytes, AND mask)."""
    reserved, kind, count = struct.unpack_from("<HHH", blob)
    if reserved != 0 or kind != 1:
        raise IconError("not an icon file")
    entries = []
    for i in range(count):
        length, offset = struct.unpack_from("<II", blob, 6 + 16 * i + 8)
        data = blob[offset : offset + length]
        if data.startswith(b"\x89PNG"):
            img = Image.open(io.BytesIO(data))
            entries.append(("PNG", img.size, img.convert("RGBA").tobytes(), b""))
            continue
        header, width, height, _, bits = struct.unpack_from("<IiiHH", data)
        if bits != 32 or height != 2 * width:
            raise IconError(f"entry {i}: {bits} bpp {width}x{height // 2} DIB, expected 32 bpp square")
        end = header + width * width * 4
        img = Image.frombytes("RGBA", (width, width), data[header:end], "raw", "BGRA")
        entries.append(("DIB", img.size, img.transpose(Image.Transpose.FLIP_TOP_BOTTOM).tobytes(), data[end:]))
    return entries


def preview(strips, icons):
    """All strips at 1:1 on a light sheet, then the icon entries, each row labelled."""
    icon_row = Image.new("RGBA", (sum(i.width + 12 for i in icons), icons[-1].height), (0, 0, 0, 0))
    for i, img in enumerate(icons):
        icon_row.paste(img, (sum(j.width + 12 for j in icons[:i]), icon_row.height - img.height))
    rows = [(f"{n} px", strips[n]) for n in STRIP_SIZES] + [("icon", icon_row)]
    width = 56 + max(img.width for _, img in rows) + 8
    sheet = Image.new("RGBA", (width, 8 + sum(img.height + 12 for _, img in rows)), (236, 236, 236, 255))
    top = 8
    for label, img in rows:
        ImageDraw.Draw(sheet).text((8, top + img.height // 2 - 5), label, fill=(40, 40, 40, 255))
        sheet.alpha_composite(img, (56, top))
        top += img.height + 12
    return sheet.convert("RGB")


def credits_section(table_names, strip_sources, icon_sources):
    lines = ["Paths are inside the theme's folder; <name> is the picture's Tango name in icons.tsv.", ""]
    for size in STRIP_SIZES:
        usual = collections.Counter(strip_sources[size]).most_common(1)[0][0]
        lines.append(f"{os.path.basename(strip_path(size))}: each picture from {usual}")
        for index, how in enumerate(strip_sources[size]):
            if how != usual:
                lines.append(f"    except picture {index}: {how.replace('<name>', table_names[index])}")
    lines += ["", f"nimbrel.ico, from <name> = {ICON_NAME}:"]
    lines += [f"  {size:3} px  {how}" + ("  (PNG entry)" if size >= PNG_ENTRY_FROM else "")
              for size, how in zip(ICON_SIZES, icon_sources)]
    return "\n".join(lines) + "\n"


def generate(tango_dir, table, credits_in, out_dir):
    """Writes every output under out_dir; returns their paths relative to it."""
    names = read_table(table)
    with open(credits_in, encoding="utf-8") as f:
        head, marker, _ = f.read().partition(CREDITS_MARKER)
    if not marker:
        raise IconError(f"{credits_in}: no '{CREDITS_MARKER.splitlines()[0]}' heading")
    outputs, strips, strip_sources = {}, {}, {}
    for size in STRIP_SIZES:
        strip = Image.new("RGBA", (PICTURE_COUNT * size, size), (0, 0, 0, 0))
        strip_sources[size] = []
        for index, name in enumerate(names):
            img, how = picture(tango_dir, name, size)
            strip.paste(img, (index * size, 0))
            strip_sources[size].append(how)
        strips[size] = strip
        outputs[strip_path(size)] = png_bytes(strip)
    icons, icon_sources = zip(*(picture(tango_dir, ICON_NAME, size) for size in ICON_SIZES))
    outputs[PROGRAM_ICO] = ico_bytes(icons)
    outputs[PREVIEW] = png_bytes(preview(strips, icons))
    outputs[CREDITS] = (head + CREDITS_MARKER + "\n" + credits_section(names, strip_sources, icon_sources)).encode()
    for rel, blob in outputs.items():
        path = os.path.join(out_dir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(blob)
    return list(outputs)


def differences(rel, expected_path, actual_path):
    """What differs between the fresh file and the checked-in one, as a list of texts."""
    expected, actual = pathlib.Path(expected_path).read_bytes(), pathlib.Path(actual_path).read_bytes()
    if rel == CREDITS:
        return [] if expected == actual else ["text differs"]
    if rel == PROGRAM_ICO:
        want, have = ico_entries(expected), ico_entries(actual)
        if [e[:2] for e in want] != [e[:2] for e in have]:
            return [f"entries {[f'{k} {s[0]}' for k, s, *_ in have]}, expected {[f'{k} {s[0]}' for k, s, *_ in want]}"]
        return [f"{s[0]} px entry: pixels differ" for (_, s, *w), (_, _, *h) in zip(want, have) if w != h]
    want, have = Image.open(io.BytesIO(expected)), Image.open(io.BytesIO(actual))
    if (have.size, have.mode) != (want.size, want.mode):
        return [f"{have.width}x{have.height} {have.mode}, expected {want.width}x{want.height} {want.mode}"]
    if have.tobytes() == want.tobytes():
        return []
    first = next(i for i, (a, b) in enumerate(zip(have.getdata(), want.getdata())) if a != b)
    return [f"pixels differ, first at ({first % want.width}, {first // want.width})"]


def check(tango_dir, table, out_dir):
    problems = []
    with tempfile.TemporaryDirectory(prefix="make-icons-") as tmp:
        for rel in generate(tango_dir, table, os.path.join(out_dir, CREDITS), tmp):
            committed = os.path.join(out_dir, rel)
            if not os.path.isfile(committed):
                problems.append(f"{rel}: missing")
                continue
            try:
                problems += [f"{rel}: {text}" for text in differences(rel, os.path.join(tmp, rel), committed)]
            except (OSError, ValueError, struct.error, IconError) as err:
                problems.append(f"{rel}: cannot be read ({err})")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print("make-icons: out of date; run tools/make-icons.py to regenerate", file=sys.stderr)
        return 1
    print(f"pictures up to date ({PICTURE_COUNT} pictures, strips {', '.join(map(str, STRIP_SIZES))} px, icon)")
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tango-dir", default=DEFAULT_TANGO_DIR, help="Tango icon theme folder (default: %(default)s)")
    parser.add_argument("--table", default=os.path.join(REPO_ROOT, TABLE), help="picture table (default: %(default)s)")
    parser.add_argument("--out-dir", default=REPO_ROOT, help="repository root to write into (default: %(default)s)")
    parser.add_argument("--check", action="store_true", help="compare fresh output with the files in --out-dir")
    args = parser.parse_args(argv)
    try:
        if args.check:
            return check(args.tango_dir, args.table, args.out_dir)
        for rel in generate(args.tango_dir, args.table, os.path.join(args.out_dir, CREDITS), args.out_dir):
            print(f"wrote {rel} ({os.path.getsize(os.path.join(args.out_dir, rel))} bytes)")
    except (IconError, OSError) as err:
        print(f"make-icons: {err}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
