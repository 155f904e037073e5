#!/usr/bin/python3
"""Draws the eight controller picture sets of the Test page and the panel icon.

Every set is a normal picture, a highlighted picture and an element map
(300 x 320, one byte per pixel naming the control under it). Each control is
drawn once as a hard-edged shape; the same shape goes into all three images,
so the map and the highlight can never drift apart. The highlighted picture
is the normal one with every control's pixels replaced by the warm version of
that control.

    artwork/make.py                  write controlpanel/pictures/*.z and icon142.ico
    artwork/make.py --contact-sheet  also write docs/contact-sheet.png
    artwork/make.py --out DIR        write everything below DIR instead
    artwork/make.py --check --out DIR
                                     regenerate below DIR and fail when the
                                     committed files differ from it
"""

import argparse
import io
import os
import sys
import zlib

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import icon  # noqa: E402
import sets  # noqa: E402
from sets import W, H, BG  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FONT_BOLD = '/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf'


def dib_rows(img):
    """Bytes of img in resource order: bottom row first, pixels as B, G, R."""
    flipped = img.transpose(Image.FLIP_TOP_BOTTOM)
    if img.mode == 'RGB':
        return flipped.tobytes('raw', 'BGR')
    return flipped.tobytes()


def compress(data):
    # Level 6 is zlib's default and gives the 0x78 0x9C header the loader
    # expects; the resources carry nothing but the stream.
    return zlib.compress(data, 6)


def render_all():
    """{relative path: bytes} of every generated file but the contact sheet."""
    out = {}
    for s in sets.SETS:
        pic = s.draw()
        out['controlpanel/pictures/%d.z' % s.hot_id] = compress(dib_rows(pic.hot))
        out['controlpanel/pictures/%d.z' % s.normal_id] = compress(dib_rows(pic.normal))
        out['controlpanel/pictures/%d.z' % s.map_id] = compress(dib_rows(pic.map))
    out['controlpanel/icon142.ico'] = icon.make_ico()
    return out


def contact_sheet():
    """Every set twice, as drawn and with every control lit, with its name."""
    label_h = 26
    gap = 12
    cols = 4
    rows = (len(sets.SETS) * 2 + cols - 1) // cols
    sheet = Image.new('RGB', (gap + cols * (W + gap), gap + rows * (H + label_h + gap)),
                      (255, 255, 255))
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(FONT_BOLD, 14)
    for i, s in enumerate(sets.SETS):
        pic = s.draw()
        for j, (img, what) in enumerate(((pic.normal, 'normal'), (pic.hot, 'all lit'))):
            k = i * 2 + j
            x = gap + (k % cols) * (W + gap)
            y = gap + (k // cols) * (H + label_h + gap)
            draw.text((x, y + 4), '%s (%s)' % (s.name, what), fill=(0, 0, 0), font=font)
            sheet.paste(img, (x, y + label_h))
            draw.rectangle((x - 1, y + label_h - 1, x + W, y + label_h + H), outline=(120, 120, 120))
    return sheet


def png_bytes(img):
    buf = io.BytesIO()
    img.save(buf, 'PNG', optimize=False, compress_level=9)
    return buf.getvalue()


def same_content(path_a, data_b):
    """Compressed files are compared inflated and PNGs by their pixels, so a
    different zlib build cannot make up-to-date artwork look stale."""
    try:
        with open(path_a, 'rb') as f:
            data_a = f.read()
    except OSError:
        return False
    if path_a.endswith('.z'):
        try:
            return data_a[:2] == data_b[:2] and zlib.decompress(data_a) == zlib.decompress(data_b)
        except zlib.error:
            return False
    if path_a.endswith('.png'):
        try:
            a = Image.open(io.BytesIO(data_a))
            b = Image.open(io.BytesIO(data_b))
            return a.size == b.size and a.convert('RGB').tobytes() == b.convert('RGB').tobytes()
        except OSError:
            return False
    return data_a == data_b


def main(argv):
    ap = argparse.ArgumentParser(description='Draw the controller pictures and the panel icon.')
    ap.add_argument('--out', default=REPO, help='root to write below (default: the repository)')
    ap.add_argument('--contact-sheet', action='store_true', help='also write docs/contact-sheet.png')
    ap.add_argument('--check', action='store_true',
                    help='after writing, compare with the committed files and fail on any difference')
    args = ap.parse_args(argv)

    files = render_all()
    contact_sheet_wanted = args.contact_sheet or args.check
    if contact_sheet_wanted:
        files['docs/contact-sheet.png'] = png_bytes(contact_sheet())
    for rel, data in sorted(files.items()):
        path = os.path.join(args.out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)
    if args.check:
        again = render_all()
        if contact_sheet_wanted:
            again['docs/contact-sheet.png'] = png_bytes(contact_sheet())
        unsteady = [rel for rel in sorted(files) if again[rel] != files[rel]]
        for rel in unsteady:
            print('not deterministic: %s differs between two runs' % rel)
        stale = [rel for rel, data in sorted(files.items())
                 if not same_content(os.path.join(REPO, rel), data)]
        for rel in stale:
            print('stale: %s (run artwork/make.py --contact-sheet)' % rel)
        if stale or unsteady:
            return 1
        print('%d generated files match the committed ones' % len(files))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
