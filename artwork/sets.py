"""The eight controllers. Each set draws two views into one 300 x 320
picture; element numbers are the ones the Test page lights:

 1-4 face buttons (top, right, bottom, left)   5-8 shoulders (UL, UR, LL, LR)
 9 Select  10 Start  11/12 left/right stick pressed in
 13-16 direction pad (up, right, down, left)
 17/21 first stick down/up, 18/22 right/left, 19/23 second stick down/up,
 20/24 right/left; 25 a fixed part that never lights.
"""

import math

from canvas import (BG, H, W, Picture, arc_arrow, arrow, darker, ellipse, lighter, pill_shape,
                    poly, rrect, text, thick_line)

BODY = (188, 190, 202)
RECESS = (168, 170, 186)
BUTTON = (100, 102, 118)
MARK = (236, 236, 244)
ARROW = (132, 136, 164)
INK = (60, 60, 76)


# ---------------------------------------------------------------- controls

def dpad(p, cx, cy, arm=20, half=9, colour=BUTTON, mark=MARK, recess=RECESS):
    """Four separate arms around a small gap, 13 up, 14 right, 15 down, 16 left."""
    p.shape(ellipse(cx, cy, arm + half + 6), recess)
    gap = 3
    for elem, (dx, dy) in ((13, (0, -1)), (14, (1, 0)), (15, (0, 1)), (16, (-1, 0))):
        # Arm drawn pointing up, then turned; its inner end is a point.
        pts = [(-half, -(arm + half)), (half, -(arm + half)), (half, -half), (0, -gap), (-half, -half)]
        turned = [(cx + (-y * dx if dx else x * -dy), cy + (x * dx if dx else y * -dy)) for x, y in pts]
        p.shape(poly(turned), colour, elem)
        tx, ty = cx + dx * (arm + 1), cy + dy * (arm + 1)
        direction = {(0, -1): 'up', (1, 0): 'right', (0, 1): 'down', (-1, 0): 'left'}[(dx, dy)]
        p.shape(arrow(tx, ty, direction, length=9, width=10, shaft=0.1), mark, elem, outline=None, flat=True)


def face_buttons(p, cx, cy, spread=23, r=11, colour=BUTTON, mark=MARK, recess=RECESS, numbers=True):
    p.shape(ellipse(cx, cy, spread + r + 6), recess)
    for elem, (dx, dy) in ((1, (0, -1)), (2, (1, 0)), (3, (0, 1)), (4, (-1, 0))):
        bx, by = cx + dx * spread, cy + dy * spread
        p.shape(ellipse(bx, by, r), colour, elem)
        if numbers:
            p.shape(text(bx, by, str(elem), int(r * 1.2)), mark, elem, outline=None, flat=True)


def pill(p, x0, y0, x1, y1, elem, colour=BUTTON):
    p.shape(pill_shape(x0, y0, x1, y1), colour, elem)


def select_start(p, cx, cy, colour=BUTTON, ink=INK, with_select=True, gap=16):
    """Two small pills left and right of cx, named underneath."""
    if with_select:
        pill(p, cx - gap - 22, cy - 5, cx - gap, cy + 5, 9, colour)
        p.label(cx - gap - 11, cy + 13, 'SELECT', 7, ink)
        pill(p, cx + gap, cy - 5, cx + gap + 22, cy + 5, 10, colour)
        p.label(cx + gap + 11, cy + 13, 'START', 7, ink)
    else:
        pill(p, cx - 11, cy - 5, cx + 11, cy + 5, 10, colour)
        p.label(cx, cy + 13, 'START', 8, ink)


def stick(p, cx, cy, press, up, down, left, right, cap=BUTTON, arrows=ARROW, ring=RECESS, reach=24):
    p.shape(ellipse(cx, cy, 16), ring)
    if press:
        p.shape(ellipse(cx, cy, 12), cap, press)
        p.shape(ellipse(cx, cy, 7), lighter(cap, 0.15), press, outline=None)
    else:
        p.shape(ellipse(cx, cy, 12), cap)
    for elem, d, dx, dy in ((up, 'up', 0, -1), (down, 'down', 0, 1), (left, 'left', -1, 0), (right, 'right', 1, 0)):
        p.shape(arrow(cx + dx * reach, cy + dy * reach, d, length=14, width=13), arrows, elem)


def shoulder(p, x0, y0, x1, y1, elem, colour=BUTTON, mark=MARK, r=6):
    p.shape(rrect(x0, y0, x1, y1, r), colour, elem)
    p.shape(text((x0 + x1) / 2, (y0 + y1) / 2, str(elem), min(11, y1 - y0 - 4)), mark, elem,
            outline=None, flat=True)


def turn_arrows(p, cx, cy, r, low, high, colour=ARROW, spread=70, width=9):
    """A pair of curved arrows over (cx, cy): low turns anticlockwise
    (head on the left), high clockwise (head on the right)."""
    p.shape(arc_arrow(cx, cy, r, 92, 92 + spread, width=width), colour, low)
    p.shape(arc_arrow(cx, cy, r, 88, 88 - spread, width=width), colour, high)


# ---------------------------------------------------------------- pads

def pad_front(p, body, dark_edge=False, sticks=False, dial=False):
    """The front edge of a pad: upper and lower shoulder buttons on each
    side, the body's edge below them."""
    outline = darker(body, 0.6)
    if sticks:
        for x in (112, 188):
            p.shape(rrect(x - 4, 22, x + 4, 46, 2), darker(body, 0.35))
            p.shape(rrect(x - 14, 14, x + 14, 26, 5), BUTTON)
    if dial:
        p.shape(rrect(108, 30, 192, 50, 8), darker(body, 0.25))
        for x in range(114, 190, 8):
            p.shape(rrect(x, 33, x + 3, 47, 1), darker(body, 0.5), outline=None)
    p.shape([rrect(34, 44, 266, 104, 22), ellipse(62, 84, 34, 24), ellipse(238, 84, 34, 24)], body,
            outline=outline, line=2)
    shoulder(p, 46, 26, 112, 44, 5)
    shoulder(p, 188, 26, 254, 44, 6)
    p.shape(rrect(40, 48, 118, 58, 3), darker(body, 0.2))
    p.shape(rrect(182, 48, 260, 58, 3), darker(body, 0.2))
    shoulder(p, 48, 58, 110, 76, 7)
    shoulder(p, 190, 58, 252, 76, 8)
    p.shape(rrect(128, 64, 172, 72, 3), darker(body, 0.25), outline=None)


def pad_top_body(p, body):
    outline = darker(body, 0.6)
    p.shape([rrect(36, 124, 264, 230, 44), ellipse(74, 250, 46, 62), ellipse(226, 250, 46, 62)], body,
            outline=outline, line=2)


def draw_digital():
    p = Picture()
    pad_front(p, BODY)
    pad_top_body(p, BODY)
    dpad(p, 82, 182)
    face_buttons(p, 218, 182)
    select_start(p, 150, 168, gap=8)
    return p.finish()


def draw_twostick():
    p = Picture()
    pad_front(p, BODY, sticks=True)
    pad_top_body(p, BODY)
    dpad(p, 80, 172, arm=17, half=8)
    face_buttons(p, 220, 172, spread=20, r=10)
    select_start(p, 150, 150, gap=8)
    stick(p, 114, 236, 11, 21, 17, 22, 18)
    stick(p, 186, 236, 12, 23, 19, 24, 20)
    return p.finish()


DARK = (70, 72, 86)
DARK_BUTTON = (140, 142, 160)
DARK_RECESS = (52, 54, 66)


def draw_dial():
    p = Picture()
    pad_front(p, DARK, dial=True)
    pad_top_body(p, DARK)
    dpad(p, 74, 186, arm=17, half=8, colour=DARK_BUTTON, mark=DARK, recess=DARK_RECESS)
    face_buttons(p, 226, 186, spread=20, r=10, colour=DARK_BUTTON, mark=DARK, recess=DARK_RECESS)
    select_start(p, 150, 136, colour=DARK_BUTTON, ink=(236, 236, 244), gap=8)
    # The dial: a big knurled wheel between the grips.
    p.shape(ellipse(150, 222, 40), DARK_RECESS)
    p.shape(ellipse(150, 222, 34), (110, 112, 128))
    for i in range(24):
        t = math.radians(i * 15)
        p.shape(ellipse(150 + 30 * math.cos(t), 222 + 30 * math.sin(t), 2), (80, 82, 96), outline=None)
    p.shape(ellipse(150, 222, 12), (150, 152, 168))
    p.shape(ellipse(150, 198, 4), (230, 230, 240))
    turn_arrows(p, 150, 222, 50, 22, 18, colour=(150, 154, 190), spread=62)
    return p.finish()


TWIST = (206, 196, 176)


def draw_twist():
    p = Picture()
    outline = darker(TWIST, 0.6)
    # Front edge: two halves and the swivel between them.
    p.shape(rrect(136, 52, 164, 96, 6), darker(TWIST, 0.25))
    for y in range(58, 92, 6):
        p.shape(rrect(138, y, 162, y + 2, 1), darker(TWIST, 0.45), outline=None)
    p.shape([rrect(28, 44, 136, 104, 22), ellipse(58, 84, 30, 22)], TWIST, outline=outline, line=2)
    p.shape([rrect(164, 44, 272, 104, 22), ellipse(242, 84, 30, 22)], TWIST, outline=outline, line=2)
    shoulder(p, 40, 26, 104, 44, 5)
    shoulder(p, 196, 26, 260, 44, 6)
    shoulder(p, 44, 56, 100, 74, 7)
    shoulder(p, 200, 56, 256, 74, 8)
    # From above: left half with the direction pad, right half with the
    # buttons, the swivel joining them.
    p.shape(rrect(128, 186, 172, 226, 10), darker(TWIST, 0.3))
    p.shape([rrect(24, 150, 140, 250, 40), ellipse(66, 262, 40, 44)], TWIST, outline=outline, line=2)
    p.shape([rrect(160, 150, 276, 250, 40), ellipse(234, 262, 40, 44)], TWIST, outline=outline, line=2)
    p.shape(ellipse(150, 206, 18), darker(TWIST, 0.15))
    p.shape(ellipse(150, 206, 7), darker(TWIST, 0.4))
    dpad(p, 80, 200, arm=17, half=8)
    face_buttons(p, 220, 200, spread=20, r=10)
    pill(p, 176, 240, 198, 250, 10)
    p.label(187, 259, 'START', 8, INK)
    turn_arrows(p, 150, 206, 42, 22, 18, spread=56)
    return p.finish()


def draw_wheel():
    p = Picture()
    rim = (84, 86, 100)
    base = (176, 178, 194)
    outline = darker(base, 0.6)
    # Seen from above: the rim as a bar, paddles behind it, the base below.
    p.shape(rrect(100, 58, 200, 96, 8), base, outline=outline, line=2)
    shoulder(p, 54, 16, 98, 32, 5)
    shoulder(p, 202, 16, 246, 32, 6)
    shoulder(p, 58, 36, 98, 52, 7)
    shoulder(p, 202, 36, 242, 52, 8)
    p.shape(rrect(140, 38, 160, 60, 3), darker(base, 0.3))
    p.shape(rrect(80, 26, 220, 44, 9), rim, 25)
    # Seen from the driver's seat.
    p.shape(rrect(118, 232, 182, 256, 6), base, outline=outline, line=2)
    p.shape(rrect(140, 214, 160, 234, 3), darker(base, 0.3))
    p.shape([ellipse(150, 168, 64)], rim, 25)
    p.shape(ellipse(150, 168, 52), BG, outline=None)
    p.shape([rrect(98, 154, 202, 184, 10), rrect(138, 170, 162, 218, 6)], (150, 152, 168))
    p.shape(ellipse(150, 172, 22), (120, 122, 138))
    pill(p, 134, 160, 148, 168, 9)
    pill(p, 152, 160, 166, 168, 10)
    dpad(p, 116, 168, arm=9, half=5, recess=(150, 152, 168))
    face_buttons(p, 184, 168, spread=10, r=5, numbers=False, recess=(150, 152, 168))
    p.shape(ellipse(135, 244, 5), BUTTON, 11)
    p.shape(ellipse(165, 244, 5), BUTTON, 12)
    p.shape(arc_arrow(150, 168, 78, 130, 220, width=10), ARROW, 22)
    p.shape(arc_arrow(150, 168, 78, 50, -40, width=10), ARROW, 18)
    # The pedal unit.
    p.shape(rrect(88, 264, 212, 314, 8), base, outline=outline, line=2)
    for elem, x in ((23, 104), (19, 158)):
        p.shape(rrect(x, 270, x + 38, 308, 6), BUTTON, elem)
        for y in range(277, 304, 7):
            p.shape(rrect(x + 7, y, x + 31, y + 2, 1), MARK, elem, outline=None, flat=True)
    return p.finish()


MAT = (70, 74, 110)
PANEL = (150, 156, 200)


def draw_dance():
    p = Picture()
    p.shape(rrect(26, 22, 274, 306, 10), MAT)
    pill(p, 104, 34, 136, 44, 9)
    p.label(120, 53, 'SELECT', 8, (236, 236, 244))
    pill(p, 164, 34, 196, 44, 10)
    p.label(180, 53, 'START', 8, (236, 236, 244))
    x0, y0, c = 36, 66, 76
    cells = {(0, 0): 3, (2, 0): 2, (1, 0): 13, (2, 1): 14, (1, 2): 15, (0, 1): 16}
    dirs = {13: 'up', 14: 'right', 15: 'down', 16: 'left'}
    for (i, j), elem in cells.items():
        bx, by = x0 + i * (c + 2), y0 + j * (c + 2)
        p.shape(rrect(bx + 3, by + 3, bx + c - 3, by + c - 3, 10), PANEL, elem)
        mx, my = bx + c / 2, by + c / 2
        if elem in dirs:
            p.shape(arrow(mx, my, dirs[elem], length=46, width=40), MARK, elem, outline=(90, 94, 130),
                    flat=True, hot=(255, 255, 255))
        elif elem == 2:
            star = []
            for k in range(10):
                r = 22 if k % 2 == 0 else 9
                t = math.radians(90 + k * 36)
                star.append((mx + r * math.cos(t), my - r * math.sin(t)))
            p.shape(poly(star), MARK, elem, outline=None, flat=True)
        else:
            p.shape(poly([(mx, my - 22), (mx + 18, my), (mx, my + 22), (mx - 18, my)]), MARK, elem,
                    outline=None, flat=True)
    # Centre and the two plain lower corners.
    bx, by = x0 + (c + 2), y0 + (c + 2)
    p.shape(ellipse(bx + c / 2, by + c / 2, 30), (110, 116, 160), 25)
    p.shape(ellipse(bx + c / 2, by + c / 2, 14), (150, 156, 200), 25)
    for i in (0, 2):
        bx, by = x0 + i * (c + 2), y0 + 2 * (c + 2)
        p.shape(rrect(bx + 3, by + 3, bx + c - 3, by + c - 3, 10), (90, 94, 134))
    return p.finish()


HORI = (60, 62, 74)
GRIP = (116, 118, 134)


def draw_hori():
    p = Picture()
    outline = darker(HORI, 0.6)
    # Front edge: the base with both handles standing on it.
    for cx, up, low in ((80, 5, 7), (220, 6, 8)):
        p.shape(rrect(cx - 6, 56, cx + 6, 80, 2), darker(GRIP, 0.3))
        p.shape(rrect(cx - 18, 10, cx + 18, 64, 12), GRIP, 25)
        shoulder(p, cx - 12, 18, cx + 12, 32, up)
        shoulder(p, cx - 12, 38, cx + 12, 52, low)
    p.shape(rrect(14, 76, 286, 110, 10), HORI, outline=outline, line=2)
    p.shape(ellipse(150, 93, 7), BUTTON, 11)
    p.label(150, 104, '11', 7, (230, 230, 240))
    # From above: the base, each handle head with arrows for its movements.
    p.shape(rrect(10, 122, 290, 314, 16), HORI, outline=outline, line=2)
    for cx, up, down, left, right in ((80, 21, 17, 22, 18), (220, 23, 19, 24, 20)):
        cy = 212
        for elem, d, dx, dy in ((up, 'up', 0, -1), (down, 'down', 0, 1), (left, 'left', -1, 0),
                                (right, 'right', 1, 0)):
            p.shape(arrow(cx + dx * 50, cy + dy * 50, d, length=18, width=18), (150, 154, 190), elem)
        p.shape(ellipse(cx, cy, 34), GRIP, 25)
    dpad(p, 80, 212, arm=13, half=6, recess=darker(GRIP, 0.2))
    face_buttons(p, 220, 212, spread=15, r=7, numbers=True, recess=darker(GRIP, 0.2))
    pill(p, 139, 140, 161, 150, 9)
    p.label(150, 158, 'SELECT', 7, (230, 230, 240))
    pill(p, 139, 270, 161, 280, 10)
    p.label(150, 288, 'START', 7, (230, 230, 240))
    p.shape(ellipse(150, 212, 8), BUTTON, 12)
    p.label(150, 228, '12', 7, (230, 230, 240))
    return p.finish()


ROD = (150, 120, 92)
REEL = (176, 178, 194)


def draw_fishing():
    p = Picture()
    outline = darker(ROD, 0.6)
    # From the side: grip, rod stub, the reel hanging below with its crank.
    p.shape(poly([(200, 52), (290, 58), (290, 62), (200, 70)]), darker(ROD, 0.2))
    p.shape(rrect(16, 44, 204, 78, 14), ROD, outline=outline, line=2)
    shoulder(p, 40, 30, 70, 44, 5)
    shoulder(p, 76, 30, 106, 44, 6)
    shoulder(p, 44, 78, 72, 92, 7, r=4)
    shoulder(p, 80, 78, 108, 92, 8, r=4)
    p.shape(rrect(150, 76, 170, 92, 3), darker(REEL, 0.3))
    p.shape(ellipse(170, 120, 28), REEL)
    p.shape(ellipse(170, 120, 10), darker(REEL, 0.3))
    p.shape(thick_line([(170, 120), (192, 134)], 5), darker(REEL, 0.45))
    p.shape(ellipse(194, 136, 5), (90, 92, 108))
    p.shape(arc_arrow(170, 120, 40, 150, 250, width=9), ARROW, 23)
    p.shape(arc_arrow(170, 120, 40, 30, -70, width=9), ARROW, 19)
    # From above: stick under the thumb, the buttons, the reel's crank
    # knob showing beside the handle.
    p.shape(poly([(214, 216), (292, 222), (292, 226), (214, 234)]), darker(ROD, 0.2))
    p.shape(rrect(150, 262, 196, 292, 8), REEL)
    p.shape(thick_line([(188, 284), (214, 296)], 5), darker(REEL, 0.45))
    p.shape(ellipse(216, 297, 5), (90, 92, 108))
    p.shape(rrect(16, 176, 218, 272, 30), ROD, outline=outline, line=2)
    stick(p, 66, 224, 11, 21, 17, 22, 18, arrows=(206, 186, 160), ring=darker(ROD, 0.25))
    face_buttons(p, 144, 224, spread=18, r=9, recess=darker(ROD, 0.2))
    pill(p, 184, 194, 206, 204, 9)
    p.label(195, 213, 'SELECT', 7, (250, 240, 230))
    pill(p, 184, 232, 206, 242, 10)
    p.label(195, 251, 'START', 7, (250, 240, 230))
    return p.finish()


class Set:
    def __init__(self, name, hot_id, normal_id, map_id, elements, draw):
        self.name = name
        self.hot_id = hot_id
        self.normal_id = normal_id
        self.map_id = map_id
        self.elements = elements
        self.draw = draw


def _r(a, b):
    return list(range(a, b + 1))


SETS = [
    Set('digital pad', 145, 146, 147, _r(1, 10) + _r(13, 16), draw_digital),
    Set('two-stick pad', 148, 149, 150, _r(1, 24), draw_twostick),
    Set('dial pad', 151, 152, 153, _r(1, 10) + _r(13, 16) + [18, 22], draw_dial),
    Set('twisting pad', 154, 155, 156, _r(1, 8) + [10] + _r(13, 16) + [18, 22], draw_twist),
    Set('wheel with pedals', 162, 163, 164, _r(1, 16) + [18, 19, 22, 23, 25], draw_wheel),
    Set('dance mat', 165, 166, 167, [2, 3, 9, 10] + _r(13, 16) + [25], draw_dance),
    Set('base with two handles', 168, 169, 170, _r(1, 25), draw_hori),
    Set('fishing controller', 171, 173, 172, _r(1, 11) + [17, 18, 19, 21, 22, 23], draw_fishing),
]
