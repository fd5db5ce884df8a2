#!/usr/bin/python3
"""Draws the registration page's three images into this folder.

    banner.jpg  600 x 55 JPEG (JFIF 1.01, baseline, 4:2:0, 72 dpi): logo, slogan and
                the heading "Registration Form" over a light gradient
    arrow.gif   7 x 17 GIF87a, 256-entry global palette, not interlaced: a dark
                violet triangle pointing right on white
    marker.gif  18 x 14 GIF89a, 16-entry global palette, interlaced: a red disc
                bearing a white arrow that points left

The GIFs are written by the small encoder below, which controls exactly the
version, the palette size and the interlacing. The banner needs Pillow
(Debian: python3-pil) and the DejaVu fonts (fonts-dejavu-core).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SUPERSAMPLE = 8


# ---- GIF ---------------------------------------------------------------------

def lzw_encode(pixels, min_code_size):
    """Variable-width LZW as GIF uses it, with a clear code first and the end code last."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    bits, nbits = 0, 0
    out = bytearray()

    def emit(code, width):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def fresh_table():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = fresh_table()
    emit(clear, width)
    run = bytes([pixels[0]])
    for p in pixels[1:]:
        grown = run + bytes([p])
        if grown in table:
            run = grown
            continue
        emit(table[run], width)
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = fresh_table()
        run = bytes([p])
    emit(table[run], width)
    emit(end, width)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def interlaced_rows(height):
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        yield from range(start, height, step)


def write_gif(path, version, width, height, palette, rows, interlace):
    entries = len(palette)
    size_bits = entries.bit_length() - 1          # entries = 2 ** size_bits
    assert 1 << size_bits == entries and 2 <= entries <= 256
    order = interlaced_rows(height) if interlace else range(height)
    pixels = [index for y in order for index in rows[y]]
    min_code_size = max(2, size_bits)
    data = lzw_encode(pixels, min_code_size)
    gif = bytearray(b"GIF" + version)
    gif += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (size_bits - 1), 0, 0)
    for r, g, b in palette:
        gif += bytes((r, g, b))
    gif += struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0x40 if interlace else 0)
    gif.append(min_code_size)
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        gif.append(len(chunk))
        gif += chunk
    gif += b"\x00\x3B"
    with open(path, "wb") as f:
        f.write(gif)


def coverage(width, height, inside):
    """Share of each pixel, 0.0 to 1.0, that lies inside the shape."""
    n = SUPERSAMPLE
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            hits = sum(inside(x + (i + 0.5) / n, y + (j + 0.5) / n) for i in range(n) for j in range(n))
            row.append(hits / (n * n))
        rows.append(row)
    return rows


def blend(a, b, t):
    return tuple(round(a[k] + (b[k] - a[k]) * t) for k in range(3))


def inside_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = side((px, py), a, b), side((px, py), b, c), side((px, py), c, a)
    return not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0))


def make_arrow():
    white, violet = (255, 255, 255), (72, 0, 120)
    palette = [blend(white, violet, i / 255) for i in range(256)]
    shape = coverage(7, 17, lambda x, y: inside_triangle(x, y, (0.5, 3.0), (0.5, 14.0), (6.5, 8.5)))
    rows = [[round(c * 255) for c in row] for row in shape]
    write_gif(os.path.join(HERE, "arrow.gif"), b"87a", 7, 17, palette, rows, interlace=False)


def make_marker():
    white, red = (255, 255, 255), (214, 0, 0)
    palette = [blend(white, red, i / 15) for i in range(16)]
    cx, cy, radius = 9.0, 7.0, 6.6

    def in_disc(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2

    def in_arrow(x, y):
        head = inside_triangle(x, y, (4.2, 7.0), (8.4, 3.4), (8.4, 10.6))
        shaft = 8.0 <= x <= 13.6 and 5.7 <= y <= 8.3
        return head or shaft

    shape = coverage(18, 14, lambda x, y: in_disc(x, y) and not in_arrow(x, y))
    rows = [[round(c * 15) for c in row] for row in shape]
    write_gif(os.path.join(HERE, "marker.gif"), b"89a", 18, 14, palette, rows, interlace=True)


# ---- JPEG ----------------------------------------------------------------------

def make_banner():
    from PIL import Image, ImageDraw, ImageFont

    fonts = "/usr/share/fonts/truetype/dejavu/"
    width, height = 600, 55
    image = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(image)
    left, right = (246, 249, 253), (214, 226, 243)
    for x in range(width):
        draw.line([(x, 0), (x, height)], fill=blend(left, right, x / (width - 1)))

    # The logo: a navy tile with a white "D" and an orange corner.
    draw.rounded_rectangle([8, 7, 48, 47], radius=8, fill=(20, 40, 110))
    draw.polygon([(36, 7), (48, 7), (48, 19)], fill=(240, 140, 30))
    logo = ImageFont.truetype(fonts + "DejaVuSans-Bold.ttf", 28)
    draw.text((28, 28), "D", font=logo, fill=(255, 255, 255), anchor="mm")

    maker = ImageFont.truetype(fonts + "DejaVuSans-Bold.ttf", 15)
    slogan = ImageFont.truetype(fonts + "DejaVuSans-Oblique.ttf", 11)
    draw.text((58, 12), "Dedoru Software Works", font=maker, fill=(20, 40, 110))
    draw.text((58, 32), "Small tools, done right.", font=slogan, fill=(70, 80, 100))

    heading = ImageFont.truetype(fonts + "DejaVuSans-Bold.ttf", 22)
    draw.text((588, 28), "Registration Form", font=heading, fill=(20, 40, 110), anchor="rm")

    image.save(os.path.join(HERE, "banner.jpg"), "JPEG", quality=80, subsampling=2, dpi=(72, 72),
               progressive=False, optimize=False)


if __name__ == "__main__":
    make_arrow()
    make_marker()
    make_banner()
