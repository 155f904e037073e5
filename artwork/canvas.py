"""A small drawing kit: hard-edged shapes painted into a normal picture, a
highlighted picture and an element map at the same time.

A shape is a union of primitives (ellipses, rounded rectangles, polygons,
text). It is filled with a top-to-bottom shade of its colour and gets a one
pixel outline. When it belongs to a control (element 1 to 24) the
highlighted picture receives the warm version instead; body parts and the
fixed element 25 are painted identically into both.
"""

import math

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

W, H = 300, 320
BG = (217, 217, 255)
FONT_BOLD = '/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf'

# The lit look of every control: bright yellow to orange with a brown rim.
HOT_TOP = (255, 246, 150)
HOT_BOTTOM = (255, 160, 24)
HOT_OUTLINE = (168, 72, 0)
HOT_MARK = (150, 56, 0)

_fonts = {}


def font(size):
    if size not in _fonts:
        _fonts[size] = ImageFont.truetype(FONT_BOLD, size)
    return _fonts[size]


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def lighter(c, t=0.35):
    return mix(c, (255, 255, 255), t)


def darker(c, t=0.35):
    return mix(c, (0, 0, 0), t)


# Primitives: each is a callable drawing with fill 255 on an 'L' mask.

def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry
    return lambda d: d.ellipse((cx - rx, cy - ry, cx + rx, cy + ry), fill=255)


def rrect(x0, y0, x1, y1, r=4):
    """Rounded rectangle from two bars and four corner discs: true round
    corners even at small radii."""
    x0, y0, x1, y1 = (int(round(v)) for v in (x0, y0, x1, y1))
    r = int(max(0, min(r, (x1 - x0) // 2, (y1 - y0) // 2)))

    def draw(d):
        d.rectangle((x0 + r, y0, x1 - r, y1), fill=255)
        d.rectangle((x0, y0 + r, x1, y1 - r), fill=255)
        for cx, cy in ((x0 + r, y0 + r), (x1 - r, y0 + r), (x0 + r, y1 - r), (x1 - r, y1 - r)):
            d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=255)
    return draw


def pill_shape(x0, y0, x1, y1):
    """A capsule: a bar with round ends (Pillow's rounded rectangle turns
    octagonal when the radius is half the height)."""
    r = (y1 - y0) / 2.0
    parts = [ellipse(x0 + r, y0 + r, r), ellipse(x1 - r, y0 + r, r)]
    parts.append(lambda d: d.rectangle((int(x0 + r), y0, int(x1 - r), y1), fill=255))
    return parts


def poly(points):
    pts = [(int(round(x)), int(round(y))) for x, y in points]
    return lambda d: d.polygon(pts, fill=255)


def thick_line(points, width):
    pts = [(int(round(x)), int(round(y))) for x, y in points]
    return lambda d: d.line(pts, fill=255, width=width, joint='curve')


def text(cx, cy, s, size):
    """Text centred on (cx, cy). Drawn into the mask and thresholded later,
    so it stays hard-edged like every other shape."""
    return lambda d: d.text((cx, cy), s, fill=255, font=font(size), anchor='mm')


def arrow(cx, cy, direction, length=16, width=14, shaft=None):
    """Straight arrow centred on (cx, cy) pointing 'up', 'down', 'left' or 'right'."""
    shaft = width * 0.45 if shaft is None else shaft
    head = length * 0.55
    half = length / 2.0
    # Drawn pointing right, then turned.
    pts = [(-half, -shaft / 2), (half - head, -shaft / 2), (half - head, -width / 2), (half, 0),
           (half - head, width / 2), (half - head, shaft / 2), (-half, shaft / 2)]
    rot = {'right': (1, 0), 'left': (-1, 0), 'down': (0, 1), 'up': (0, -1)}[direction]
    out = []
    for x, y in pts:
        if rot[0]:
            out.append((cx + x * rot[0], cy + y))
        else:
            out.append((cx - y * rot[1], cy + x * rot[1]))
    return poly(out)


def arc_arrow(cx, cy, r, a0, a1, width=9, head=9):
    """Curved arrow along the circle (cx, cy, r) from angle a0 to a1 degrees
    (0 = right, 90 = up), its head at a1."""
    sign = 1 if a1 > a0 else -1
    head_deg = math.degrees(head * 1.4 / r)
    ae = a1 - sign * head_deg
    steps = max(4, int(abs(ae - a0) / 5))

    def at(rad, deg):
        t = math.radians(deg)
        return (cx + rad * math.cos(t), cy - rad * math.sin(t))

    angles = [a0 + (ae - a0) * i / steps for i in range(steps + 1)]
    outer = [at(r + width / 2.0, a) for a in angles]
    inner = [at(r - width / 2.0, a) for a in reversed(angles)]
    tip = [at(r + width / 2.0 + head * 0.6, ae), at(r, a1), at(r - width / 2.0 - head * 0.6, ae)]
    return poly(outer + tip + inner)


class Picture:
    def __init__(self):
        self.normal = Image.new('RGB', (W, H), BG)
        self.hot = Image.new('RGB', (W, H), BG)
        self.map = Image.new('L', (W, H), 0)

    @staticmethod
    def _mask(prims):
        m = Image.new('L', (W, H), 0)
        d = ImageDraw.Draw(m)
        for p in prims:
            p(d)
        return m.point(lambda v: 255 if v >= 128 else 0)

    @staticmethod
    def _shade(box, top, bottom):
        x0, y0, x1, y1 = box
        h = y1 - y0
        col = Image.new('RGB', (1, h))
        for i in range(h):
            col.putpixel((0, i), mix(top, bottom, i / max(1, h - 1)))
        return col.resize((x1 - x0, h), Image.NEAREST)

    def _paint(self, img, mask, box, top, bottom, outline, flat, line=1):
        if flat:
            layer = Image.new('RGB', (box[2] - box[0], box[3] - box[1]), top)
        else:
            layer = self._shade(box, top, bottom)
        m = mask.crop(box)
        img.paste(layer, box[:2], m)
        if outline is not None:
            inner = m.filter(ImageFilter.MinFilter(2 * line + 1))
            edge = ImageChops.subtract(m, inner)
            img.paste(outline, box, edge)

    def shape(self, prims, colour, elem=0, outline='auto', flat=False, hot=None, line=1):
        """Paints the union of prims. colour is the shape's base colour;
        outline a colour, None, or 'auto' (a dark version of colour). flat
        shapes (marks on a control: digits, arrows, ribs) get no shade, and
        inside a control their highlighted colour is the dark warm mark
        colour unless hot gives another."""
        if callable(prims):
            prims = [prims]
        mask = self._mask(prims)
        box = mask.getbbox()
        if box is None:
            return
        if outline == 'auto':
            outline = darker(colour, 0.55)
        top, bottom = (colour, colour) if flat else (lighter(colour, 0.3), darker(colour, 0.12))
        self._paint(self.normal, mask, box, top, bottom, outline, flat, line)
        if 1 <= elem <= 24:
            if flat:
                c = HOT_MARK if hot is None else hot
                self._paint(self.hot, mask, box, c, c, None, True)
            else:
                self._paint(self.hot, mask, box, HOT_TOP, HOT_BOTTOM,
                            HOT_OUTLINE if outline is not None else None, False, line)
        else:
            self._paint(self.hot, mask, box, top, bottom, outline, flat, line)
        self.map.paste(elem, box, mask.crop(box))

    def label(self, cx, cy, s, size, colour):
        """Anti-aliased text on the body; it must not overlap a control."""
        for img in (self.normal, self.hot):
            ImageDraw.Draw(img).text((cx, cy), s, fill=colour, font=font(size), anchor='mm')

    def finish(self):
        """Makes the highlighted picture equal to the normal one outside the
        controls, and refuses artwork where a control pixel would not change."""
        lit = self.map.point(lambda v: 255 if 1 <= v <= 24 else 0)
        self.hot = Image.composite(self.hot, self.normal, lit)
        r, g, b = ImageChops.difference(self.hot, self.normal).split()
        diff = ImageChops.lighter(ImageChops.lighter(r, g), b).point(lambda v: 255 if v else 0)
        unchanged = ImageChops.subtract(lit, diff)
        if unchanged.getbbox() is not None:
            raise ValueError('control pixels that do not light in %s' % (unchanged.getbbox(),))
        return self
