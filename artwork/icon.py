"""The control panel's icon: a pad in the pictures' style, 32 x 32, stored
twice in one ICO file, as a 16-colour (4-bit) and a 256-colour (8-bit)
image. Pillow only writes 32-bit icons, so the container is built here:
ICONDIR, one ICONDIRENTRY per image, then per image a BITMAPINFOHEADER of
doubled height, the colour table, the XOR pixels and the AND (transparency)
mask, all rows bottom-up and padded to four bytes.
"""

import struct

from PIL import Image, ImageDraw

SIZE = 32

# The sixteen colours every display adapter offers; the 4-bit image keeps to them.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
         (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


# How the icon's colours come out in 16 colours: nearest-colour matching
# would turn the greys navy and the warm buttons olive.
TO_VGA16 = {
    (56, 56, 72): (0, 0, 0),
    (60, 60, 76): (0, 0, 0),
    (200, 200, 214): (192, 192, 192),
    (184, 184, 200): (192, 192, 192),
    (236, 236, 244): (255, 255, 255),
    (168, 72, 0): (128, 0, 0),
    (255, 210, 60): (255, 255, 0),
}


def draw_pad():
    """RGBA picture of the icon, hard-edged: alpha is 0 or 255 only."""
    img = Image.new('RGBA', (SIZE, SIZE), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    outline = (56, 56, 72, 255)
    # Body: a bar with two grips, lit from above.
    d.rounded_rectangle((2, 8, 29, 20), radius=6, fill=outline)
    d.ellipse((1, 12, 12, 28), fill=outline)
    d.ellipse((19, 12, 30, 28), fill=outline)
    d.rounded_rectangle((3, 9, 28, 19), radius=5, fill=(200, 200, 214, 255))
    d.ellipse((2, 13, 11, 27), fill=(184, 184, 200, 255))
    d.ellipse((20, 13, 29, 27), fill=(184, 184, 200, 255))
    d.rectangle((6, 10, 25, 11), fill=(236, 236, 244, 255))
    # Direction pad.
    d.rectangle((6, 12, 8, 18), fill=(60, 60, 76, 255))
    d.rectangle((4, 14, 10, 16), fill=(60, 60, 76, 255))
    # Face buttons, warm like a lit control.
    for x, y in ((23, 11), (26, 14), (23, 17), (20, 14)):
        d.rectangle((x, y, x + 2, y + 2), fill=(168, 72, 0, 255))
        d.point((x + 1, y + 1), fill=(255, 210, 60, 255))
    # Select and Start.
    d.rectangle((13, 15, 14, 15), fill=(60, 60, 76, 255))
    d.rectangle((17, 15, 18, 15), fill=(60, 60, 76, 255))
    return img


def _nearest(c, palette):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(c, palette[i])))


def _image_entry(img, bits):
    """BITMAPINFOHEADER + colour table + XOR + AND mask of one icon image."""
    pixels = [img.getpixel((x, y)) for y in range(SIZE) for x in range(SIZE)]
    opaque = [p[3] >= 128 for p in pixels]
    colours = [p[:3] for p in pixels]
    if bits == 4:
        palette = list(VGA16)
    else:
        palette = sorted(set(c for c, o in zip(colours, opaque) if o) | {(0, 0, 0)})
        if len(palette) > 256:
            raise ValueError('icon uses more than 256 colours')
    index = {}
    idx = []
    for c, o in zip(colours, opaque):
        if not o:
            idx.append(0)
            continue
        if c not in index:
            if bits == 4:
                c4 = TO_VGA16.get(c, c)
                index[c] = palette.index(c4) if c4 in palette else _nearest(c4, palette)
            else:
                index[c] = palette.index(c)
        idx.append(index[c])
    ncolours = 1 << bits
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    table += b'\0' * (4 * ncolours - len(table))

    xor_rows = []
    and_rows = []
    for y in reversed(range(SIZE)):
        row = idx[y * SIZE:(y + 1) * SIZE]
        if bits == 4:
            data = bytes((row[i] << 4) | row[i + 1] for i in range(0, SIZE, 2))
        else:
            data = bytes(row)
        xor_rows.append(data + b'\0' * (-len(data) % 4))
        mask = 0
        for x in range(SIZE):
            mask = (mask << 1) | (0 if opaque[y * SIZE + x] else 1)
        and_rows.append(struct.pack('>I', mask))
    xor = b''.join(xor_rows)
    andm = b''.join(and_rows)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, bits, 0, len(xor) + len(andm),
                         0, 0, 0, 0)
    return header + table + xor + andm


def make_ico():
    img = draw_pad()
    images = [(4, _image_entry(img, 4)), (8, _image_entry(img, 8))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for bits, data in images:
        entries += struct.pack('<BBBBHHII', SIZE, SIZE, 16 if bits == 4 else 0, 0, 1, bits,
                               len(data), offset)
        offset += len(data)
    return out + entries + b''.join(data for _, data in images)
