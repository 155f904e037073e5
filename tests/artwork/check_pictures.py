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

REPO = os.environ.get('TAVREL_REPO') or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
PICTURES = os.path.join(REPO, 'controlpanel', 'pictures')

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


def inflate_resource(number, expected):
    """The resource's bytes inflated, after checking it is exactly one zlib
    stream of the expected length with nothing around it."""
    with open(os.path.join(PICTURES, '%d.z' % number), 'rb') as f:
        raw = f.read()
    if raw[:2] != b'\x78\x9c':
        raise AssertionError('%d.z: header %s, want 78 9c' % (number, raw[:2].hex()))
    d = zlib.decompressobj()
    data = d.decompress(raw)
    if not d.eof:
        raise AssertionError('%d.z: zlib stream does not end' % number)
    if d.unused_data:
        raise AssertionError('%d.z: %d bytes after the stream' % (number, len(d.unused_data)))
    if len(data) != expected:
        raise AssertionError('%d.z: inflates to %d bytes, want %d' % (number, len(data), expected))
    return data


def load_set(name):
    hot_id, normal_id, map_id, _ = SETS[name]
    return (inflate_resource(hot_id, W * H * 3), inflate_resource(normal_id, W * H * 3),
            inflate_resource(map_id, W * H))


def element_stats(hot, normal, emap):
    """Per element: pixel count, bounding box (in storage rows), summed
    channel difference and summed highlighted red/green/blue."""
    stats = {}
    for k, e in enumerate(emap):
        if not e:
            continue
        x, y = k % W, k // W
        s = stats.get(e)
        if s is None:
            s = stats[e] = {'n': 0, 'box': [x, y, x, y], 'diff': 0, 'rgb': [0, 0, 0]}
        s['n'] += 1
        b = s['box']
        b[0], b[1], b[2], b[3] = min(b[0], x), min(b[1], y), max(b[2], x), max(b[3], y)
        i = 3 * k
        hb, hg, hr = hot[i], hot[i + 1], hot[i + 2]
        s['diff'] += abs(hb - normal[i]) + abs(hg - normal[i + 1]) + abs(hr - normal[i + 2])
        s['rgb'][0] += hr
        s['rgb'][1] += hg
        s['rgb'][2] += hb
    return stats


class PictureSets(unittest.TestCase):
    def test_every_set(self):
        for name in SETS:
            with self.subTest(name):
                self.check_set(name)

    def check_set(self, name):
        hot, normal, emap = load_set(name)
        want = SETS[name][3]

        self.assertEqual(set(emap) - {0}, want, 'element numbers in the map')

        # The pictures may differ exactly at the pixels of elements 1 to 24,
        # and must differ at every one of them.
        wrong = []
        for k, e in enumerate(emap):
            i = 3 * k
            differs = hot[i:i + 3] != normal[i:i + 3]
            if differs != (1 <= e <= 24):
                wrong.append((k % W, H - 1 - k // W, e, differs))
        self.assertFalse(wrong, 'pixels (x, y from the top, element, differs): %s' % wrong[:8])

        # Background around the controller: the outermost frame of pixels
        # shows it, in both pictures, and belongs to no element.
        frame = [k for k in range(W * H)
                 if k % W in (0, W - 1) or k // W in (0, H - 1)]
        for k in frame:
            self.assertEqual(emap[k], 0, 'frame pixel %d in an element' % k)
            self.assertEqual(normal[3 * k:3 * k + 3], BG_BGR, 'frame pixel %d not background' % k)
            self.assertEqual(hot[3 * k:3 * k + 3], BG_BGR, 'frame pixel %d not background' % k)

        for e, s in element_stats(hot, normal, emap).items():
            x0, y0, x1, y1 = s['box']
            area = (x1 - x0 + 1) * (y1 - y0 + 1)
            with self.subTest(element=e):
                self.assertGreaterEqual(s['n'], 20, 'element %d too small to see' % e)
                # The control's own outline, not a box around it.
                self.assertLess(s['n'], area, 'element %d fills its bounding box' % e)
                if e > 24:
                    continue
                n = s['n']
                r, g, b = (c / n for c in s['rgb'])
                self.assertGreaterEqual(s['diff'] / n, 90, 'element %d lights too faintly' % e)
                self.assertGreater(r, b + 60, 'element %d highlight not warm' % e)
                self.assertGreater(r + g, 300, 'element %d highlight not bright' % e)

    def test_map_and_picture_rows_are_bottom_up(self):
        # The bottom row is stored first: it is background, while the top
        # row of every controller picture is too, so look at the controls:
        # the shoulder buttons of the digital pad sit in the upper part of
        # the image, i.e. in the last stored rows.
        _, _, emap = load_set('digital pad')
        rows = [k // W for k, e in enumerate(emap) if e in (5, 6, 7, 8)]
        self.assertGreater(min(rows), H // 2)


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
        PICTURES = os.path.join(REPO, 'controlpanel', 'pictures')
    unittest.main()
