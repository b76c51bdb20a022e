#!/usr/bin/env python3
"""Builds the launcher bar's toolbar strip and program icon from Tango PNGs.

Reads assets/icons/icons.tsv (one row per toolbar picture index), loads each
named picture from the Tango icon theme and writes:

  src/win32/res/toolbar.bmp   608 x 16, 32 bpp BI_RGB, bottom-up, BGRA with
                              straight alpha; picture i starts at x = 16 * i
  src/win32/res/nimbrel.ico   the program icon: 16, 24, 32 and 48 px entries,
                              each a 32 bpp DIB with its AND mask
  assets/icons/preview.png    an enlarged (x4) contact sheet for reviewing

Only the Python 3 standard library is used, and the output depends only on
the input pictures, so running the script twice gives identical files.

  python3 tools/make-icons.py            regenerate the checked-in files
  python3 tools/make-icons.py --check    regenerate into a temporary folder
                                         and compare with the checked-in files
"""

from __future__ import annotations

import argparse
import os
import struct
import sys
import tempfile
import zlib
from dataclasses import dataclass

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_TANGO_DIR = "/usr/share/icons/Tango"
TABLE_PATH = os.path.join("assets", "icons", "icons.tsv")
TOOLBAR_BMP = os.path.join("src", "win32", "res", "toolbar.bmp")
PROGRAM_ICO = os.path.join("src", "win32", "res", "nimbrel.ico")
PREVIEW_PNG = os.path.join("assets", "icons", "preview.png")

PICTURE_COUNT = 38
PICTURE_SIZE = 16

# The program's own icon. Each entry lists the Tango size folders to try, in
# order; a picture smaller than the entry is centred on a transparent square
# and only an entry no folder provides is resampled (box filter) from the
# largest picture available.
PROGRAM_ICON_NAME = "categories/applications-internet"
PROGRAM_ICON_SIZES = (16, 24, 32, 48)
TANGO_SIZE_FOLDERS = (16, 22, 24, 32, 48)


class IconError(Exception):
    pass


# ---------------------------------------------------------------------------
# Images


@dataclass
class Image:
    """An RGBA image, 8 bits per channel, straight alpha, rows top-down."""

    width: int
    height: int
    rgba: bytearray

    def pixel(self, x: int, y: int) -> tuple[int, int, int, int]:
        i = (y * self.width + x) * 4
        return tuple(self.rgba[i : i + 4])  # type: ignore[return-value]


def blank_image(width: int, height: int, rgba: tuple[int, int, int, int] = (0, 0, 0, 0)) -> Image:
    return Image(width, height, bytearray(bytes(rgba) * (width * height)))


def clean_transparent(img: Image) -> Image:
    """Zeroes the colour of fully transparent pixels (their colour is noise)."""
    out = bytearray(img.rgba)
    for i in range(0, len(out), 4):
        if out[i + 3] == 0:
            out[i : i + 3] = b"\0\0\0"
    return Image(img.width, img.height, out)


def pad_image(img: Image, size: int) -> Image:
    """Centres img on a transparent size x size square."""
    if img.width > size or img.height > size:
        raise IconError(f"cannot pad a {img.width}x{img.height} picture to {size}")
    out = blank_image(size, size)
    left = (size - img.width) // 2
    top = (size - img.height) // 2
    for y in range(img.height):
        src = img.rgba[y * img.width * 4 : (y + 1) * img.width * 4]
        start = ((top + y) * size + left) * 4
        out.rgba[start : start + len(src)] = src
    return out


def _box_weights(src_len: int, dst_len: int) -> list[list[tuple[int, int]]]:
    # Source pixel i spans [i * dst_len, (i + 1) * dst_len) and target pixel j
    # spans [j * src_len, (j + 1) * src_len); the weight is their overlap, so
    # every target pixel's weights add up to src_len.
    weights = []
    for j in range(dst_len):
        lo, hi = j * src_len, (j + 1) * src_len
        row = []
        for i in range(lo // dst_len, min(src_len, (hi + dst_len - 1) // dst_len)):
            overlap = min(hi, (i + 1) * dst_len) - max(lo, i * dst_len)
            if overlap > 0:
                row.append((i, overlap))
        weights.append(row)
    return weights


def resample_box(img: Image, width: int, height: int) -> Image:
    """Area-average resampling with premultiplied alpha, in integers only."""
    wx = _box_weights(img.width, width)
    wy = _box_weights(img.height, height)
    total = img.width * img.height
    out = bytearray(width * height * 4)
    for y, row_weights in enumerate(wy):
        for x, col_weights in enumerate(wx):
            r = g = b = a = 0
            for sy, fy in row_weights:
                for sx, fx in col_weights:
                    f = fy * fx
                    pr, pg, pb, pa = img.pixel(sx, sy)
                    r += pr * pa * f
                    g += pg * pa * f
                    b += pb * pa * f
                    a += pa * f
            o = (y * width + x) * 4
            if a:
                out[o] = (r + a // 2) // a
                out[o + 1] = (g + a // 2) // a
                out[o + 2] = (b + a // 2) // a
                out[o + 3] = (a + total // 2) // total
    return clean_transparent(Image(width, height, out))


def scale_nearest(img: Image, factor: int) -> Image:
    out = bytearray()
    for y in range(img.height):
        row = bytearray()
        for x in range(img.width):
            i = (y * img.width + x) * 4
            row += img.rgba[i : i + 4] * factor
        out += bytes(row) * factor
    return Image(img.width * factor, img.height * factor, out)


def composite(dst: Image, src: Image, left: int, top: int) -> None:
    """Draws src over an opaque dst with source-over blending."""
    for y in range(src.height):
        for x in range(src.width):
            r, g, b, a = src.pixel(x, y)
            if a == 0:
                continue
            o = ((top + y) * dst.width + left + x) * 4
            for c, v in enumerate((r, g, b)):
                dst.rgba[o + c] = (v * a + dst.rgba[o + c] * (255 - a) + 127) // 255
            dst.rgba[o + 3] = 255


def fill_rect(dst: Image, left: int, top: int, width: int, height: int, rgba: tuple[int, int, int, int]) -> None:
    px = bytes(rgba)
    for y in range(top, top + height):
        o = (y * dst.width + left) * 4
        dst.rgba[o : o + width * 4] = px * width


# ---------------------------------------------------------------------------
# PNG reading

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
_ALLOWED_DEPTHS = {0: (1, 2, 4, 8, 16), 2: (8, 16), 3: (1, 2, 4, 8), 4: (8, 16), 6: (8, 16)}
_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
# Adam7 passes: (x start, y start, x step, y step)
_ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))


def _paeth(a: int, b: int, c: int) -> int:
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _unfilter(data: bytes, pos: int, width: int, height: int, bits_per_pixel: int) -> tuple[list[bytes], int]:
    """Undoes the scanline filters of one (sub-)image starting at data[pos]."""
    stride = (width * bits_per_pixel + 7) // 8
    bpp = max(1, bits_per_pixel // 8)
    prev = bytearray(stride)
    rows = []
    for _ in range(height):
        if pos + 1 + stride > len(data):
            raise IconError("PNG image data is truncated")
        ftype = data[pos]
        cur = bytearray(data[pos + 1 : pos + 1 + stride])
        pos += 1 + stride
        if ftype == 1:
            for i in range(bpp, stride):
                cur[i] = (cur[i] + cur[i - bpp]) & 0xFF
        elif ftype == 2:
            for i in range(stride):
                cur[i] = (cur[i] + prev[i]) & 0xFF
        elif ftype == 3:
            for i in range(stride):
                left = cur[i - bpp] if i >= bpp else 0
                cur[i] = (cur[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif ftype == 4:
            for i in range(stride):
                left = cur[i - bpp] if i >= bpp else 0
                up_left = prev[i - bpp] if i >= bpp else 0
                cur[i] = (cur[i] + _paeth(left, prev[i], up_left)) & 0xFF
        elif ftype != 0:
            raise IconError(f"unknown PNG filter type {ftype}")
        rows.append(bytes(cur))
        prev = cur
    return rows, pos


def _samples(row: bytes, count: int, depth: int) -> list[int]:
    if depth == 8:
        return list(row[:count])
    if depth == 16:
        return [(row[2 * i] << 8) | row[2 * i + 1] for i in range(count)]
    per_byte = 8 // depth
    mask = (1 << depth) - 1
    return [(row[i // per_byte] >> (8 - depth * (i % per_byte + 1))) & mask for i in range(count)]


def decode_png(blob: bytes, name: str = "PNG") -> Image:
    """Decodes any standard PNG (all colour types and bit depths, tRNS,
    Adam7 interlace) to 8-bit RGBA. Ancillary chunks other than tRNS are
    ignored; colour management (gAMA, cHRM, iCCP) is not applied."""
    if not blob.startswith(PNG_SIGNATURE):
        raise IconError(f"{name}: not a PNG file")
    pos = len(PNG_SIGNATURE)
    header = None
    palette = b""
    trns = None
    idat = bytearray()
    seen_end = False
    while pos < len(blob):
        if pos + 8 > len(blob):
            raise IconError(f"{name}: truncated chunk header")
        (length,) = struct.unpack(">I", blob[pos : pos + 4])
        ctype = blob[pos + 4 : pos + 8]
        body = blob[pos + 8 : pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(blob):
            raise IconError(f"{name}: truncated {ctype!r} chunk")
        (crc,) = struct.unpack(">I", blob[pos + 8 + length : pos + 12 + length])
        if zlib.crc32(ctype + body) & 0xFFFFFFFF != crc:
            raise IconError(f"{name}: CRC mismatch in {ctype!r} chunk")
        pos += 12 + length
        if ctype == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif ctype == b"PLTE":
            palette = body
        elif ctype == b"tRNS":
            trns = body
        elif ctype == b"IDAT":
            idat += body
        elif ctype == b"IEND":
            seen_end = True
            break
        elif not (ctype[0] & 0x20):
            raise IconError(f"{name}: unsupported critical chunk {ctype!r}")
    if header is None or not seen_end:
        raise IconError(f"{name}: missing IHDR or IEND")
    width, height, depth, colour, compression, filtering, interlace = header
    if colour not in _ALLOWED_DEPTHS or depth not in _ALLOWED_DEPTHS[colour]:
        raise IconError(f"{name}: invalid colour type {colour} with bit depth {depth}")
    if compression != 0 or filtering != 0 or interlace not in (0, 1):
        raise IconError(f"{name}: unsupported compression/filter/interlace method")
    if width == 0 or height == 0:
        raise IconError(f"{name}: empty image")
    if colour == 3 and not palette:
        raise IconError(f"{name}: palette image without PLTE")
    try:
        data = zlib.decompress(bytes(idat))
    except zlib.error as err:
        raise IconError(f"{name}: bad image data ({err})") from err

    channels = _CHANNELS[colour]
    bits_per_pixel = channels * depth
    maxval = (1 << depth) - 1

    def to8(v: int) -> int:
        return (v * 255 + maxval // 2) // maxval

    pal_rgba = []
    if colour == 3:
        alphas = trns or b""
        for i in range(len(palette) // 3):
            a = alphas[i] if i < len(alphas) else 255
            pal_rgba.append(bytes(palette[3 * i : 3 * i + 3]) + bytes((a,)))
    key = None
    if trns is not None and colour == 0:
        key = struct.unpack(">H", trns[:2])
    elif trns is not None and colour == 2:
        key = struct.unpack(">HHH", trns[:6])

    def convert(row: bytes, count: int) -> bytes:
        s = _samples(row, count * channels, depth)
        out = bytearray()
        for i in range(count):
            if colour == 3:
                if s[i] >= len(pal_rgba):
                    raise IconError(f"{name}: palette index {s[i]} out of range")
                out += pal_rgba[s[i]]
            elif colour == 0:
                g = to8(s[i])
                out += bytes((g, g, g, 0 if key == (s[i],) else 255))
            elif colour == 4:
                g = to8(s[2 * i])
                out += bytes((g, g, g, to8(s[2 * i + 1])))
            elif colour == 2:
                px = tuple(s[3 * i : 3 * i + 3])
                out += bytes((to8(px[0]), to8(px[1]), to8(px[2]), 0 if key == px else 255))
            else:
                out += bytes(to8(v) for v in s[4 * i : 4 * i + 4])
        return bytes(out)

    rgba = bytearray(width * height * 4)
    if interlace == 0:
        rows, pos = _unfilter(data, 0, width, height, bits_per_pixel)
        for y, row in enumerate(rows):
            rgba[y * width * 4 : (y + 1) * width * 4] = convert(row, width)
    else:
        pos = 0
        for x0, y0, dx, dy in _ADAM7:
            pw = (width - x0 + dx - 1) // dx
            ph = (height - y0 + dy - 1) // dy
            if pw == 0 or ph == 0:
                continue
            rows, pos = _unfilter(data, pos, pw, ph, bits_per_pixel)
            for j, row in enumerate(rows):
                px = convert(row, pw)
                y = y0 + j * dy
                for i in range(pw):
                    o = (y * width + x0 + i * dx) * 4
                    rgba[o : o + 4] = px[4 * i : 4 * i + 4]
    return Image(width, height, rgba)


def read_png(path: str) -> Image:
    try:
        with open(path, "rb") as f:
            blob = f.read()
    except OSError as err:
        raise IconError(f"cannot read {path}: {err.strerror}") from err
    return decode_png(blob, path)


# ---------------------------------------------------------------------------
# Writers


def encode_png(img: Image) -> bytes:
    """8-bit RGBA PNG, no filtering, one IDAT chunk."""

    def chunk(ctype: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + ctype + body + struct.pack(">I", zlib.crc32(ctype + body) & 0xFFFFFFFF)

    stride = img.width * 4
    raw = b"".join(b"\0" + bytes(img.rgba[y * stride : (y + 1) * stride]) for y in range(img.height))
    return (
        PNG_SIGNATURE
        + chunk(b"IHDR", struct.pack(">IIBBBBB", img.width, img.height, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def bgra_bottom_up(img: Image) -> bytes:
    out = bytearray()
    for y in range(img.height - 1, -1, -1):
        row = img.rgba[y * img.width * 4 : (y + 1) * img.width * 4]
        for i in range(0, len(row), 4):
            out += bytes((row[i + 2], row[i + 1], row[i], row[i + 3]))
    return bytes(out)


def encode_bmp(img: Image) -> bytes:
    """32 bpp BI_RGB bottom-up BMP with straight alpha in the fourth byte."""
    pixels = bgra_bottom_up(img)
    info = struct.pack("<IiiHHIIiiII", 40, img.width, img.height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def _and_mask(img: Image) -> bytes:
    stride = ((img.width + 31) // 32) * 4
    out = bytearray()
    for y in range(img.height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(img.width):
            if img.pixel(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def encode_ico(images: list[Image]) -> bytes:
    """ICO file with one 32 bpp DIB entry (colour plus AND mask) per image."""
    bodies = []
    for img in images:
        pixels = bgra_bottom_up(img)
        mask = _and_mask(img)
        info = struct.pack(
            "<IiiHHIIiiII", 40, img.width, 2 * img.height, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0
        )
        bodies.append(info + pixels + mask)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for img, body in zip(images, bodies):
        out += struct.pack(
            "<BBBBHHII", img.width % 256, img.height % 256, 0, 0, 1, 32, len(body), offset
        )
        offset += len(body)
    for body in bodies:
        out += body
    return bytes(out)


def parse_bmp(blob: bytes) -> Image:
    """Reads back a 32 bpp BI_RGB BMP as written by encode_bmp."""
    if len(blob) < 54 or blob[:2] != b"BM":
        raise IconError("not a BMP file")
    _, size, _, _, offset = struct.unpack("<2sIHHI", blob[:14])
    hsize, width, height, planes, bitcount, compression, image_size = struct.unpack("<IiiHHII", blob[14:38])
    if size != len(blob) or hsize != 40 or planes != 1 or bitcount != 32 or compression != 0:
        raise IconError("unexpected BMP header")
    if height <= 0 or width <= 0 or offset + width * height * 4 != len(blob) or image_size != width * height * 4:
        raise IconError("unexpected BMP geometry")
    rgba = bytearray(width * height * 4)
    for row in range(height):
        y = height - 1 - row
        src = blob[offset + row * width * 4 : offset + (row + 1) * width * 4]
        for x in range(width):
            b, g, r, a = src[4 * x : 4 * x + 4]
            rgba[(y * width + x) * 4 : (y * width + x) * 4 + 4] = bytes((r, g, b, a))
    return Image(width, height, rgba)


def parse_ico(blob: bytes) -> list[Image]:
    """Reads back the 32 bpp DIB entries of an ICO file as written by encode_ico."""
    reserved, kind, count = struct.unpack("<HHH", blob[:6])
    if reserved != 0 or kind != 1 or count == 0:
        raise IconError("not an ICO file")
    images = []
    for n in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack("<BBBBHHII", blob[6 + 16 * n : 22 + 16 * n])
        w, h = w or 256, h or 256
        body = blob[offset : offset + size]
        hsize, bw, bh, bplanes, bbits, compression = struct.unpack("<IiiHHI", body[:20])
        mask_stride = ((w + 31) // 32) * 4
        if (
            len(body) != size
            or hsize != 40
            or (bw, bh) != (w, 2 * h)
            or (planes, bits, bplanes, bbits, compression, colours) != (1, 32, 1, 32, 0, 0)
            or size != 40 + w * h * 4 + mask_stride * h
        ):
            raise IconError(f"unexpected ICO entry {n}")
        pixels = body[40 : 40 + w * h * 4]
        bmp = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
        bmp += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(pixels), 0, 0, 0, 0) + pixels
        img = parse_bmp(bmp)
        if body[40 + w * h * 4 :] != _and_mask(img):
            raise IconError(f"ICO entry {n}: AND mask does not match alpha")
        images.append(img)
    return images


# ---------------------------------------------------------------------------
# Preview lettering: 3 x 5 digits

_DIGITS = {
    "0": ("111", "101", "101", "101", "111"),
    "1": ("010", "110", "010", "010", "111"),
    "2": ("111", "001", "111", "100", "111"),
    "3": ("111", "001", "111", "001", "111"),
    "4": ("101", "101", "111", "001", "001"),
    "5": ("111", "100", "111", "001", "111"),
    "6": ("111", "100", "111", "101", "111"),
    "7": ("111", "001", "010", "010", "010"),
    "8": ("111", "101", "111", "101", "111"),
    "9": ("111", "101", "111", "001", "111"),
}


def draw_number(dst: Image, text: str, left: int, top: int, scale: int, rgba: tuple[int, int, int, int]) -> None:
    for n, ch in enumerate(text):
        for y, bits in enumerate(_DIGITS[ch]):
            for x, bit in enumerate(bits):
                if bit == "1":
                    fill_rect(dst, left + (n * 4 + x) * scale, top + y * scale, scale, scale, rgba)


# ---------------------------------------------------------------------------
# Building


@dataclass
class Entry:
    index: int
    icon: str
    description: str


def read_table(path: str) -> list[Entry]:
    entries = []
    with open(path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 3:
                raise IconError(f"{path}:{lineno}: expected 3 tab-separated fields")
            try:
                index = int(fields[0])
            except ValueError:
                raise IconError(f"{path}:{lineno}: bad index {fields[0]!r}") from None
            if "/" not in fields[1]:
                raise IconError(f"{path}:{lineno}: icon must be context/name")
            entries.append(Entry(index, fields[1], fields[2]))
    if [e.index for e in entries] != list(range(PICTURE_COUNT)):
        raise IconError(f"{path}: rows must be indexes 0 to {PICTURE_COUNT - 1} in order")
    return entries


def load_tango(tango_dir: str, size: int, icon: str) -> Image:
    path = os.path.join(tango_dir, f"{size}x{size}", icon + ".png")
    img = read_png(path)
    if (img.width, img.height) != (size, size):
        raise IconError(f"{path}: expected {size}x{size}, found {img.width}x{img.height}")
    return clean_transparent(img)


def build_strip(tango_dir: str, entries: list[Entry]) -> tuple[Image, list[Image]]:
    pictures = [load_tango(tango_dir, PICTURE_SIZE, e.icon) for e in entries]
    strip = blank_image(PICTURE_SIZE * len(pictures), PICTURE_SIZE)
    for i, pic in enumerate(pictures):
        for y in range(PICTURE_SIZE):
            o = (y * strip.width + i * PICTURE_SIZE) * 4
            strip.rgba[o : o + PICTURE_SIZE * 4] = pic.rgba[y * PICTURE_SIZE * 4 : (y + 1) * PICTURE_SIZE * 4]
    return strip, pictures


def build_program_icon(tango_dir: str) -> list[Image]:
    available = {}
    for size in TANGO_SIZE_FOLDERS:
        if os.path.exists(os.path.join(tango_dir, f"{size}x{size}", PROGRAM_ICON_NAME + ".png")):
            available[size] = load_tango(tango_dir, size, PROGRAM_ICON_NAME)
    if not available:
        raise IconError(f"{PROGRAM_ICON_NAME} not found under {tango_dir}")
    images = []
    for size in PROGRAM_ICON_SIZES:
        if size in available:
            images.append(available[size])
            continue
        # A slightly smaller drawing (22 for 24) is padded rather than
        # stretched; otherwise scale the largest drawing.
        smaller = [s for s in available if size - 2 <= s < size]
        if smaller:
            images.append(pad_image(available[max(smaller)], size))
        else:
            images.append(resample_box(available[max(available)], size, size))
    return images


def build_preview(pictures: list[Image], icon_images: list[Image]) -> Image:
    scale, columns = 4, 10
    cell_w, cell_h = PICTURE_SIZE * scale + 16, PICTURE_SIZE * scale + 28
    rows = (len(pictures) + columns - 1) // columns
    icon_row_h = max(img.height for img in icon_images) + 16
    width = columns * cell_w + 8
    height = rows * cell_h + 8 + icon_row_h
    sheet = blank_image(width, height, (240, 240, 240, 255))
    for i, pic in enumerate(pictures):
        left = 8 + (i % columns) * cell_w
        top = 8 + (i // columns) * cell_h
        fill_rect(sheet, left - 1, top - 1, PICTURE_SIZE * scale + 2, PICTURE_SIZE * scale + 2, (200, 200, 200, 255))
        fill_rect(sheet, left, top, PICTURE_SIZE * scale, PICTURE_SIZE * scale, (250, 250, 250, 255))
        composite(sheet, scale_nearest(pic, scale), left, top)
        draw_number(sheet, str(i), left, top + PICTURE_SIZE * scale + 6, 3, (40, 40, 40, 255))
    # The program icon's entries at their own size along the bottom.
    left, top = 8, 8 + rows * cell_h
    for img in icon_images:
        composite(sheet, img, left, top + (icon_row_h - 16 - img.height))
        left += img.width + 12
    return sheet


def generate(tango_dir: str, table: str, out_dir: str) -> list[str]:
    entries = read_table(table)
    strip, pictures = build_strip(tango_dir, entries)
    icon_images = build_program_icon(tango_dir)
    outputs = {
        TOOLBAR_BMP: encode_bmp(strip),
        PROGRAM_ICO: encode_ico(icon_images),
        PREVIEW_PNG: encode_png(build_preview(pictures, icon_images)),
    }
    written = []
    for rel, blob in outputs.items():
        path = os.path.join(out_dir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(blob)
        written.append(rel)
    return written


def same_output(rel: str, expected: bytes, actual: bytes) -> bool:
    if expected == actual:
        return True
    # Compressed PNG bytes depend on the zlib build; the preview is only a
    # review aid, so its pixels are what has to match.
    if rel == PREVIEW_PNG:
        try:
            a, b = decode_png(expected), decode_png(actual)
        except IconError:
            return False
        return (a.width, a.height, a.rgba) == (b.width, b.height, b.rgba)
    return False


def verify_resources(tango_dir: str, entries: list[Entry], out_dir: str) -> list[str]:
    """Reads the resource files back byte by byte and compares them with the
    Tango pictures they were made from. Returns a list of problems."""
    problems = []
    with open(os.path.join(out_dir, TOOLBAR_BMP), "rb") as f:
        blob = f.read()
    pixel_bytes = PICTURE_COUNT * PICTURE_SIZE * PICTURE_SIZE * 4
    expected_header = struct.pack("<2sIHHI", b"BM", 54 + pixel_bytes, 0, 0, 54) + struct.pack(
        "<IiiHHIIiiII", 40, PICTURE_COUNT * PICTURE_SIZE, PICTURE_SIZE, 1, 32, 0, pixel_bytes, 2835, 2835, 0, 0
    )
    if len(blob) != 54 + pixel_bytes:
        problems.append(f"{TOOLBAR_BMP}: {len(blob)} bytes, expected {54 + pixel_bytes}")
    elif blob[:54] != expected_header:
        problems.append(f"{TOOLBAR_BMP}: unexpected file or info header")
    else:
        row_bytes = PICTURE_COUNT * PICTURE_SIZE * 4
        for entry in entries:
            pic = load_tango(tango_dir, PICTURE_SIZE, entry.icon)
            for y in range(PICTURE_SIZE):
                # Bottom-up: the picture's top row is the file's last row.
                start = 54 + (PICTURE_SIZE - 1 - y) * row_bytes + entry.index * PICTURE_SIZE * 4
                for x in range(PICTURE_SIZE):
                    b, g, r, a = blob[start + 4 * x : start + 4 * x + 4]
                    if (r, g, b, a) != pic.pixel(x, y):
                        problems.append(f"{TOOLBAR_BMP}: picture {entry.index} differs at ({x}, {y})")
                        break
                else:
                    continue
                break
    with open(os.path.join(out_dir, PROGRAM_ICO), "rb") as f:
        try:
            icon_images = parse_ico(f.read())
        except (IconError, struct.error) as err:
            return problems + [f"{PROGRAM_ICO}: {err}"]
    sizes = tuple(img.width for img in icon_images)
    if sizes != PROGRAM_ICON_SIZES or any(img.width != img.height for img in icon_images):
        problems.append(f"{PROGRAM_ICO}: entry sizes {sizes}, expected {PROGRAM_ICON_SIZES}")
    else:
        for img in icon_images:
            size = img.width
            path = os.path.join(tango_dir, f"{size}x{size}", PROGRAM_ICON_NAME + ".png")
            if os.path.exists(path) and img.rgba != load_tango(tango_dir, size, PROGRAM_ICON_NAME).rgba:
                problems.append(f"{PROGRAM_ICO}: {size} px entry differs from {path}")
    return problems


def check(tango_dir: str, table: str, out_dir: str) -> int:
    failures = 0
    with tempfile.TemporaryDirectory(prefix="make-icons-") as tmp:
        for rel in generate(tango_dir, table, tmp):
            with open(os.path.join(tmp, rel), "rb") as f:
                fresh = f.read()
            try:
                with open(os.path.join(out_dir, rel), "rb") as f:
                    current = f.read()
            except OSError:
                print(f"missing: {rel}", file=sys.stderr)
                failures += 1
                continue
            if not same_output(rel, current, fresh):
                print(f"out of date: {rel}", file=sys.stderr)
                failures += 1
    if not failures:
        for problem in verify_resources(tango_dir, read_table(table), out_dir):
            print(f"invalid resource: {problem}", file=sys.stderr)
            failures += 1
    if failures:
        print("run tools/make-icons.py to regenerate", file=sys.stderr)
        return 1
    print("icons up to date")
    return 0


# ---------------------------------------------------------------------------
# Self-test of the codecs, independent of the checked-in files. PNG test
# files are written by a separate, deliberately simple encoder below that
# applies every filter type and Adam7 interlacing, so that the decoder is
# checked against an implementation it shares no code with.


def _t_filter(ftype: int, raw: bytes, prior: bytes, bpp: int) -> bytes:
    out = bytearray()
    for i, v in enumerate(raw):
        a = raw[i - bpp] if i >= bpp else 0
        b = prior[i]
        c = prior[i - bpp] if i >= bpp else 0
        if ftype == 0:
            pred = 0
        elif ftype == 1:
            pred = a
        elif ftype == 2:
            pred = b
        elif ftype == 3:
            pred = (a + b) // 2
        else:
            p = a + b - c
            pred = min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
        out.append((v - pred) % 256)
    return bytes([ftype]) + bytes(out)


def _t_pack(samples: list[int], depth: int) -> bytes:
    if depth == 16:
        return b"".join(struct.pack(">H", v) for v in samples)
    if depth == 8:
        return bytes(samples)
    bits = "".join(format(v, f"0{depth}b") for v in samples)
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i : i + 8], 2) for i in range(0, len(bits), 8))


def _t_encode(width, height, colour, depth, pixels, interlace, palette=b"", trns=None, only_filter=None) -> bytes:
    """pixels[y][x] is a tuple of raw samples."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    bpp = max(1, channels * depth // 8)
    if interlace:
        passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    else:
        passes = [(0, 0, 1, 1)]
    raw = bytearray()
    counter = 0
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        prior = None
        for y in range(y0, height, dy):
            if not xs:
                break
            row = _t_pack([s for x in xs for s in pixels[y][x]], depth)
            prior = prior or bytes(len(row))
            raw += _t_filter(counter % 5 if only_filter is None else only_filter, row, prior, bpp)
            counter += 1
            prior = row

    def chunk(ctype: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + ctype + body + struct.pack(">I", zlib.crc32(ctype + body))

    out = PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))
    out += chunk(b"gAMA", struct.pack(">I", 45455))
    if palette:
        out += chunk(b"PLTE", palette)
    if trns is not None:
        out += chunk(b"tRNS", trns)
    data = zlib.compress(bytes(raw))
    # Split the image data over two IDAT chunks.
    out += chunk(b"IDAT", data[: len(data) // 2]) + chunk(b"IDAT", data[len(data) // 2 :])
    return out + chunk(b"IEND", b"")


def _t_to8(v: int, depth: int) -> int:
    return int(v * 255 / ((1 << depth) - 1) + 0.5)


def _self_test_cases():
    import random

    rng = random.Random(7)
    cases = []
    for colour, depths in sorted(_ALLOWED_DEPTHS.items()):
        for depth in depths:
            for interlace in (0, 1):
                for width, height in ((1, 1), (3, 2), (9, 11), (17, 5)):
                    cases.append((colour, depth, interlace, width, height, rng.randrange(1 << 30)))

    def run(colour, depth, interlace, width, height, seed):
        r = random.Random(seed)
        top = (1 << depth) - 1
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
        palette, trns, pal = b"", None, []
        if colour == 3:
            count = min(1 << depth, 1 + r.randrange(1 << depth))
            pal = [tuple(r.randrange(256) for _ in range(3)) for _ in range(count)]
            alphas = [r.randrange(256) for _ in range(r.randrange(count + 1))]
            palette = bytes(c for p in pal for c in p)
            trns = bytes(alphas) if alphas else None
        pixels = [[tuple(r.randrange(top + 1) for _ in range(channels)) for _ in range(width)] for _ in range(height)]
        if colour == 3:
            pixels = [[(v[0] % len(pal),) for v in row] for row in pixels]
        key = None
        if colour in (0, 2) and r.randrange(2):
            key = pixels[r.randrange(height)][r.randrange(width)]
            trns = b"".join(struct.pack(">H", v) for v in key)
        blob = _t_encode(width, height, colour, depth, pixels, interlace, palette, trns)
        expected = bytearray()
        for row in pixels:
            for px in row:
                if colour == 3:
                    alpha = trns[px[0]] if trns and px[0] < len(trns) else 255
                    expected += bytes(pal[px[0]]) + bytes((alpha,))
                elif colour in (0, 4):
                    g = _t_to8(px[0], depth)
                    alpha = _t_to8(px[1], depth) if colour == 4 else (0 if px == key else 255)
                    expected += bytes((g, g, g, alpha))
                else:
                    rgb = bytes(_t_to8(v, depth) for v in px[:3])
                    alpha = _t_to8(px[3], depth) if colour == 6 else (0 if px == key else 255)
                    expected += rgb + bytes((alpha,))
        img = decode_png(blob)
        assert (img.width, img.height) == (width, height), "size"
        assert img.rgba == expected, "pixels differ"

    return [(f"png colour {c} depth {d} interlace {i} {w}x{h}", run, (c, d, i, w, h, s)) for c, d, i, w, h, s in cases]


def _expect_error(func, *args) -> None:
    try:
        func(*args)
    except IconError:
        return
    raise AssertionError("no error raised")


def _t_rejects_damage() -> None:
    good = _t_encode(2, 2, 6, 8, [[(1, 2, 3, 4)] * 2] * 2, 0)
    decode_png(good)
    bad_crc = bytearray(good)
    bad_crc[30] ^= 1
    _expect_error(decode_png, bytes(bad_crc))
    _expect_error(decode_png, good[:40])
    _expect_error(decode_png, b"GIF89a" + good[6:])
    header = good.index(b"IHDR")
    for colour, depth in ((2, 4), (3, 16), (5, 8), (6, 1)):
        ihdr = struct.pack(">IIBBBBB", 2, 2, depth, colour, 0, 0, 0)
        body = b"IHDR" + ihdr
        mutated = good[: header - 4] + struct.pack(">I", 13) + body + struct.pack(">I", zlib.crc32(body))
        _expect_error(decode_png, mutated + good[header + 4 + 13 + 4 :])


def _t_paeth_ties() -> None:
    # Left 60, up 180, up-left 100: the up and up-left distances tie (40),
    # and the predictor must then take the up value.
    pixels = [[(100,), (180,)], [(60,), (33,)]]
    img = decode_png(_t_encode(2, 2, 0, 8, pixels, 0, only_filter=4))
    assert [img.pixel(x, y)[0] for y in range(2) for x in range(2)] == [100, 180, 60, 33]


def _t_bmp_layout() -> None:
    img = blank_image(3, 2)
    img.rgba[0:4] = bytes((10, 20, 30, 40))  # top-left
    img.rgba[20:24] = bytes((50, 60, 70, 255))  # bottom-right
    blob = encode_bmp(img)
    assert len(blob) == 54 + 3 * 2 * 4
    assert struct.unpack("<2sIHHI", blob[:14]) == (b"BM", len(blob), 0, 0, 54)
    fields = struct.unpack("<IiiHHIIiiII", blob[14:54])
    assert fields[:7] == (40, 3, 2, 1, 32, 0, 24), fields
    # Bottom-up BGRA: the file starts with the bottom row.
    assert blob[54 + 8 : 54 + 12] == bytes((70, 60, 50, 255))
    assert blob[54 + 12 : 54 + 16] == bytes((30, 20, 10, 40))
    back = parse_bmp(blob)
    assert (back.width, back.height, back.rgba) == (3, 2, img.rgba)


def _t_ico_layout() -> None:
    small = blank_image(16, 16, (200, 100, 50, 255))
    small.rgba[0:4] = b"\0\0\0\0"
    big = blank_image(33, 33, (1, 2, 3, 128))
    blob = encode_ico([small, big])
    assert struct.unpack("<HHH", blob[:6]) == (0, 1, 2)
    w, h, colours, _, planes, bits, size, offset = struct.unpack("<BBBBHHII", blob[6:22])
    assert (w, h, colours, planes, bits, offset) == (16, 16, 0, 1, 32, 6 + 32)
    assert size == 40 + 16 * 16 * 4 + 16 * 4
    assert struct.unpack("<iI", blob[offset + 8 : offset + 16])[0] == 32  # biHeight = 2 * h
    # The transparent top-left pixel is the first bit of the mask's last row.
    assert blob[offset + size - 4] == 0x80 and blob[offset + size - 3] == 0
    images = parse_ico(blob)
    assert [i.rgba for i in images] == [small.rgba, big.rgba]
    # 33 px rows of mask take 8 bytes (two 32-bit words).
    assert struct.unpack("<I", blob[22 + 8 : 22 + 12])[0] == 40 + 33 * 33 * 4 + 33 * 8


def _t_resample() -> None:
    flat = blank_image(32, 32, (90, 120, 150, 200))
    assert resample_box(flat, 48, 48).rgba == blank_image(48, 48, (90, 120, 150, 200)).rgba
    # Halving averages 2 x 2 blocks, weighting colour by alpha.
    img = blank_image(2, 2)
    img.rgba[0:4] = bytes((200, 0, 0, 255))
    img.rgba[4:8] = bytes((0, 0, 200, 255))
    small = resample_box(img, 1, 1)
    assert small.pixel(0, 0) == (100, 0, 100, 128), small.pixel(0, 0)
    assert sum(sum(w for _, w in row) for row in _box_weights(32, 48)) == 32 * 48


def _t_pad() -> None:
    img = blank_image(22, 22, (5, 6, 7, 255))
    padded = pad_image(img, 24)
    assert padded.pixel(0, 0)[3] == 0 and padded.pixel(23, 23)[3] == 0
    assert padded.pixel(1, 1) == (5, 6, 7, 255) and padded.pixel(22, 22) == (5, 6, 7, 255)
    _expect_error(pad_image, img, 20)


def _t_table(table: str) -> None:
    entries = read_table(table)
    assert [e.index for e in entries] == list(range(PICTURE_COUNT))
    with tempfile.TemporaryDirectory(prefix="make-icons-") as tmp:
        broken = os.path.join(tmp, "t.tsv")
        with open(broken, "w", encoding="utf-8") as f:
            f.write("".join(f"{e.index}\t{e.icon}\t{e.description}\n" for e in entries[:-1]))
        _expect_error(read_table, broken)


def _t_netpbm(tango_dir: str, table: str) -> None:
    """Cross-checks the decoder with netpbm's pngtopam on the real pictures."""
    import shutil
    import subprocess

    if not shutil.which("pngtopam"):
        raise _Skip("pngtopam not installed")
    names = [(PICTURE_SIZE, e.icon) for e in read_table(table)]
    names += [(s, PROGRAM_ICON_NAME) for s in TANGO_SIZE_FOLDERS]
    for size, icon in names:
        path = os.path.join(tango_dir, f"{size}x{size}", icon + ".png")
        if not os.path.exists(path):
            continue
        pam = subprocess.run(["pngtopam", "-alphapam", path], capture_output=True, check=True).stdout
        header, _, data = pam.partition(b"ENDHDR\n")
        fields = dict(line.split(None, 1) for line in header.decode().splitlines()[1:] if " " in line)
        assert fields["DEPTH"] == "4" and fields["MAXVAL"] == "255", (path, fields)
        img = read_png(path)
        assert (img.width, img.height) == (int(fields["WIDTH"]), int(fields["HEIGHT"])), path
        assert bytes(img.rgba) == data, f"{path} decodes differently from pngtopam"


class _Skip(Exception):
    pass


def self_test(tango_dir: str, table: str) -> int:
    tests = _self_test_cases() + [
        ("png rejects damaged files", _t_rejects_damage, ()),
        ("png paeth tie-breaks", _t_paeth_ties, ()),
        ("bmp layout", _t_bmp_layout, ()),
        ("ico layout", _t_ico_layout, ()),
        ("box resampling", _t_resample, ()),
        ("padding", _t_pad, ()),
        ("picture table", _t_table, (table,)),
        ("decoder agrees with pngtopam", _t_netpbm, (tango_dir, table)),
    ]
    passed = failed = skipped = 0
    for name, func, args in tests:
        try:
            func(*args)
            passed += 1
        except _Skip as why:
            print(f"SKIP {name}: {why}")
            skipped += 1
        except Exception as err:  # report every failure, keep going
            print(f"FAIL {name}: {type(err).__name__}: {err}")
            failed += 1
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed else 0


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tango-dir", default=DEFAULT_TANGO_DIR, help="Tango icon theme folder (default: %(default)s)")
    parser.add_argument(
        "--table", default=os.path.join(REPO_ROOT, TABLE_PATH), help="picture table (default: %(default)s)"
    )
    parser.add_argument("--out-dir", default=REPO_ROOT, help="repository root to write into (default: %(default)s)")
    parser.add_argument("--check", action="store_true", help="compare fresh output with the files in --out-dir")
    parser.add_argument("--self-test", action="store_true", help="test the image readers and writers")
    args = parser.parse_args(argv)
    table = args.table
    try:
        if args.self_test:
            return self_test(args.tango_dir, table)
        if args.check:
            return check(args.tango_dir, table, args.out_dir)
        for rel in generate(args.tango_dir, table, args.out_dir):
            print(f"wrote {rel}")
    except IconError as err:
        print(f"make-icons: {err}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
