#!/usr/bin/python3
# Makes telop_test_gothic.ttf, the one face the caption goldens draw with: IPAGothic
# (ipag.ttf, IPAfont 003.03; Debian package fonts-ipafont-gothic) cut down to the characters
# the captions use, with its vertical forms, and renamed as the IPA Font License requires of a
# derived font. Needs fontTools (Debian package python3-fonttools).
#
#   make_telop_test_gothic.py /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf telop_test_gothic.ttf
#
# Adding characters changes no existing glyph, but the new file must be checked with the
# goldens (ctest -R draw_fonts) before it is committed.
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

CHARACTERS = " 0123456789/" "速報東京で初雪（火）" "ちょっと一休み" "「ニュース」、。"
NAME = "TelopTestGothic"


def main(source, target):
    options = subset.Options()
    options.layout_features = ["vert", "vrt2"]
    options.hinting = False
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    font = TTFont(source)
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=CHARACTERS)
    subsetter.subset(font)
    names = font["name"]
    renamed = {1: NAME, 3: NAME + " test subset 1", 4: NAME, 6: NAME}
    for record in names.names:
        if record.nameID in renamed:
            record.string = renamed[record.nameID]
    names.names = [r for r in names.names if r.nameID in (0, 1, 2, 3, 4, 5, 6, 13, 14)]
    font.save(target)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
