#!/usr/bin/python3
"""Writes the dialog fonts of the Wine prefixes: copies of IPA Gothic and IPA PGothic whose
line height is one em, so that at 96 DPI a 10-point dialog gets the base units Windows
gives it with "ＭＳ ゴシック" (7 x 13 px). The IPA originals add 401/2048 em below the
baseline, which makes the base unit 14 px tall and moves every template control down
while the pickers, placed in client pixels, stay.

Usage: make-dialog-fonts.py <source folder> <output folder>
Needs Debian's python3-fonttools (run with /usr/bin/python3)."""
import os
import sys

from fontTools.ttLib import TTFont

FONTS = [
    ("ipag.ttf", "tavrel-gothic.ttf", "Tavrel Gothic", "TavrelGothic"),
    ("ipagp.ttf", "tavrel-pgothic.ttf", "Tavrel PGothic", "TavrelPGothic"),
]
ASCENT, DESCENT = 1802, 246  # of 2048 units: one em in all


def main():
    source, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    for src, dst, family, postscript in FONTS:
        font = TTFont(os.path.join(source, src))
        if font["head"].unitsPerEm != ASCENT + DESCENT:
            sys.exit(f"make-dialog-fonts: {src} has {font['head'].unitsPerEm} units per em")
        os2, hhea = font["OS/2"], font["hhea"]
        os2.usWinAscent, os2.usWinDescent = ASCENT, DESCENT
        os2.sTypoAscender, os2.sTypoDescender, os2.sTypoLineGap = ASCENT, -DESCENT, 0
        hhea.ascent, hhea.descent, hhea.lineGap = ASCENT, -DESCENT, 0
        names = font["name"]
        for record in names.names:
            if record.nameID in (1, 4, 16):
                names.setName(family, record.nameID, record.platformID, record.platEncID, record.langID)
            elif record.nameID == 3:
                names.setName(postscript + " Regular", 3, record.platformID, record.platEncID, record.langID)
            elif record.nameID == 6:
                names.setName(postscript, 6, record.platformID, record.platEncID, record.langID)
        font.save(os.path.join(out, dst))


if __name__ == "__main__":
    main()
