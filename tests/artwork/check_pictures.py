#!/usr/bin/python3
"""Checks the committed picture resources and the icon against the rules the
Test page relies on. Reads only the files, not the drawing program, so it
also catches hand-edited or truncated resources.

    check_pictures.py [REPO]      exit status 0 when every rule holds
"""

import os
import struct
import sys
import unittest
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

W, H = 300, 320
BG_BGR = bytes((255, 217, 217))


def _r(a, b):
    return set(range(a, b + 1))


# name: (highlighted, normal, map, element numbers the map must hold)
SETS = {
    'digital pad': (145, 146, 147, _r(1, 10) | _r(13, 16)),
    'two-stick pad': (148, 149, 150, _r(1, 24)),
    'dial pad': (151, 152, 153, _r(1, 10) | _r(13, 16) | {18, 22}),
    'twisting pad': (154, 155, 156, _r(1, 8) | {10} | _r(13, 16) | {18, 22}),
    'wheel with pedals': (162, 163, 164, _r(1, 16) | {18, 19, 22, 23, 25}),
    'dance mat': (165, 166, 167, {2, 3, 9, 10} | _r(13, 16) | {25}),
    'base with two handles': (168, 169, 170, _r(1, 25)),
    'fishing controller': (171, 173, 172, _r(1, 11) | {17, 18, 19, 21, 22, 23}),
}


def inflate(raw, expected):
    """(data, problem): the bytes of one resource inflated, after checking
    it is exactly one zlib stream of the expected length with nothing
    around it."""
    if raw[:2] != b'\x78\x9c':
        return None, 'header %s, want 78 9c' % raw[:2].hex()
    d = zlib.decompressobj()
    try:
        data = d.decompress(raw)
    except zlib.error as e:
        return None, 'damaged stream (%s)' % e
    if not d.eof:
        return None, 'stream does not end'
    if d.unused_data:
        return None, '%d bytes after the stream' % len(d.unused_data)
    if len(data) != expected:
        return None, 'inflates to %d bytes, want %d' % (len(data), expected)
    return data, None


def load_set(root, name):
    out = []
    for number, size in zip(SETS[name][:3], (W * H * 3, W * H * 3, W * H)):
        with open(os.path.join(root, 'controlpanel', 'pictures', '%d.z' % number), 'rb') as f:
            data, problem = inflate(f.read(), size)
        if problem:
            raise AssertionError('%d.z: %s' % (number, problem))
        out.append(data)
    return out


def set_problems(hot, normal, emap, want):
    """Everything wrong with one inflated set, as readable lines."""
    problems = []
    got = set(emap) - {0}
    if got != want:
        problems.append('map holds elements %s, want %s' % (sorted(got), sorted(want)))

    # The pictures differ exactly at the pixels of elements 1 to 24, and at
    # every one of them.
    wrong = []
    for k, e in enumerate(emap):
        i = 3 * k
        differs = hot[i:i + 3] != normal[i:i + 3]
        if differs != (1 <= e <= 24):
            wrong.append((k % W, H - 1 - k // W, e, differs))
    if wrong:
        problems.append('%d pixels where lighting and map disagree (x, y from the top, element, '
                        'differs): %s' % (len(wrong), wrong[:6]))

    # Background around the controller: the outermost frame of pixels shows
    # it in both pictures and belongs to no element.
    for k in range(W * H):
        if k % W in (0, W - 1) or k // W in (0, H - 1):
            if emap[k] or normal[3 * k:3 * k + 3] != BG_BGR or hot[3 * k:3 * k + 3] != BG_BGR:
                problems.append('frame pixel (%d, %d) is not background' % (k % W, H - 1 - k // W))
                break

    stats = {}
    for k, e in enumerate(emap):
        if not e:
            continue
        x, y = k % W, k // W
        s = stats.setdefault(e, {'n': 0, 'box': [x, y, x, y], 'diff': 0, 'rgb': [0, 0, 0]})
        s['n'] += 1
        b = s['box']
        b[0], b[1], b[2], b[3] = min(b[0], x), min(b[1], y), max(b[2], x), max(b[3], y)
        i = 3 * k
        hb, hg, hr = hot[i], hot[i + 1], hot[i + 2]
        s['diff'] += abs(hb - normal[i]) + abs(hg - normal[i + 1]) + abs(hr - normal[i + 2])
        s['rgb'][0] += hr
        s['rgb'][1] += hg
        s['rgb'][2] += hb
    for e, s in sorted(stats.items()):
        n = s['n']
        x0, y0, x1, y1 = s['box']
        if n < 20:
            problems.append('element %d: %d pixels, too small to see' % (e, n))
        # A highlight follows the control's own outline, not a box around it.
        if n == (x1 - x0 + 1) * (y1 - y0 + 1):
            problems.append('element %d fills its bounding box' % e)
        if e > 24:
            continue
        r, g, b = (c / n for c in s['rgb'])
        if s['diff'] / n < 90:
            problems.append('element %d lights too faintly' % e)
        if r < b + 60 or r + g < 300:
            problems.append('element %d: highlight (%d, %d, %d) is not bright and warm' % (e, r, g, b))
    return problems


class PictureSets(unittest.TestCase):
    def test_every_set(self):
        for name in SETS:
            with self.subTest(name):
                hot, normal, emap = load_set(REPO, name)
                self.assertEqual(set_problems(hot, normal, emap, SETS[name][3]), [])

    def test_rows_are_bottom_up(self):
        # The digital pad's shoulder buttons sit in the upper part of the
        # image, so they must come in the last stored rows.
        _, _, emap = load_set(REPO, 'digital pad')
        rows = [k // W for k, e in enumerate(emap) if e in (5, 6, 7, 8)]
        self.assertGreater(min(rows), H // 2)


class CheckerCatches(unittest.TestCase):
    """The rules above must reject the faults they are there for."""

    @classmethod
    def setUpClass(cls):
        cls.hot, cls.normal, cls.emap = (bytearray(b) for b in load_set(REPO, 'digital pad'))
        cls.want = SETS['digital pad'][3]

    def problems(self, hot=None, normal=None, emap=None, want=None):
        return set_problems(hot or self.hot, normal or self.normal, emap or self.emap,
                            want or self.want)

    def pixel_of(self, element):
        return next(k for k, e in enumerate(self.emap) if e == element)

    def test_lit_pixel_left_unchanged(self):
        hot = bytearray(self.hot)
        k = self.pixel_of(3)
        hot[3 * k:3 * k + 3] = self.normal[3 * k:3 * k + 3]
        self.assertTrue(any('disagree' in p for p in self.problems(hot=hot)))

    def test_change_outside_any_control(self):
        hot = bytearray(self.hot)
        k = self.emap.index(0, W * 200)
        hot[3 * k] ^= 1
        self.assertTrue(any('disagree' in p for p in self.problems(hot=hot)))

    def test_missing_and_extra_elements(self):
        emap = bytearray(self.emap)
        emap[:] = bytes(10 if e == 9 else e for e in emap)
        self.assertTrue(any('map holds' in p for p in self.problems(emap=emap)))
        emap = bytearray(self.emap)
        k = self.pixel_of(4)
        emap[k] = 17
        self.assertTrue(any('map holds' in p for p in self.problems(emap=emap)))

    def test_boxy_cold_or_faint_highlight(self):
        # Every element lit as a box: the bounding box of element 1 gets
        # element 1 in the map and the highlight painted over it.
        hot, emap = bytearray(self.hot), bytearray(self.emap)
        ks = [k for k, e in enumerate(emap) if e == 1]
        xs, ys = [k % W for k in ks], [k // W for k in ks]
        for y in range(min(ys), max(ys) + 1):
            for x in range(min(xs), max(xs) + 1):
                k = y * W + x
                emap[k] = 1
                hot[3 * k:3 * k + 3] = bytes((40, 200, 255))
        self.assertIn('element 1 fills its bounding box', self.problems(hot=hot, emap=emap))
        # Lit in blue, or lit by a shade too slight to notice.
        for colour in (bytes((255, 120, 60)), None):
            hot = bytearray(self.hot)
            for k, e in enumerate(self.emap):
                if e == 2:
                    n = self.normal[3 * k:3 * k + 3]
                    hot[3 * k:3 * k + 3] = colour or bytes((n[0], n[1], n[2] ^ 8))
            self.assertTrue(any(p.startswith('element 2') for p in self.problems(hot=hot)),
                            self.problems(hot=hot))

    def test_background_frame(self):
        normal = bytearray(self.normal)
        hot = bytearray(self.hot)
        normal[0:3] = hot[0:3] = bytes((255, 255, 255))
        self.assertTrue(any('frame pixel' in p for p in self.problems(hot=hot, normal=normal)))

    def test_stream_form(self):
        data = bytes(self.emap)
        good = zlib.compress(data, 6)
        self.assertEqual(inflate(good, W * H), (data, None))
        self.assertIn('after the stream', inflate(good + b'\0', W * H)[1])
        self.assertIn('does not end', inflate(good[:-10], W * H)[1])
        self.assertIn('header', inflate(zlib.compress(data, 9), W * H)[1])
        self.assertIn('header', inflate(b'\0' + good, W * H)[1])
        self.assertIn('inflates to', inflate(zlib.compress(data[:-300], 6), W * H)[1])


class Icon(unittest.TestCase):
    def test_two_images_4_and_8_bit(self):
        with open(os.path.join(REPO, 'controlpanel', 'icon142.ico'), 'rb') as f:
            ico = f.read()
        reserved, kind, count = struct.unpack_from('<HHH', ico, 0)
        self.assertEqual((reserved, kind, count), (0, 1, 2))
        seen = []
        end = 6 + 16 * count
        for n in range(count):
            w, h, colours, _, planes, bits, size, offset = struct.unpack_from('<BBBBHHII', ico, 6 + 16 * n)
            self.assertEqual((w, h, planes), (32, 32, 1))
            self.assertEqual(colours, 16 if bits == 4 else 0)
            self.assertGreaterEqual(offset, end)
            hdr = struct.unpack_from('<IiiHHIIiiII', ico, offset)
            self.assertEqual(hdr[:5], (40, 32, 64, 1, bits))
            table = 4 << bits
            xor = 32 * 32 * bits // 8
            andm = 32 * 4
            self.assertEqual(size, 40 + table + xor + andm)
            self.assertLessEqual(offset + size, len(ico))
            # Not blank: some pixels opaque, some transparent.
            mask = ico[offset + 40 + table + xor:offset + size]
            self.assertNotEqual(mask, b'\xff' * andm)
            self.assertNotEqual(mask, b'\0' * andm)
            end = offset + size
            seen.append(bits)
        self.assertEqual(sorted(seen), [4, 8])
        self.assertEqual(end, len(ico))


if __name__ == '__main__':
    if len(sys.argv) > 1 and not sys.argv[1].startswith('-'):
        REPO = sys.argv.pop(1)
    unittest.main()
