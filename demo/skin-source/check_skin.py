#!/usr/bin/env python3
"""Checks that the demo skin is one the launcher can load and show as meant.

    python3 demo/skin-source/check_skin.py

The launcher reads cg.txt and the pictures with rules of its own (GBK text cut
to fixed byte widths, pictures copied opaquely, a green colour key in the
launcher, state pictures cut below one another from style.png); a skin can
break any of them without the generator noticing. These tests read the files
as the launcher does.
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

try:
    from PIL import Image
except ImportError:
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

HERE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "skin")


def read_ini(path):
    """The launcher's reading of cg.txt: sections and keys without regard to
    ASCII case, ';' and '#' lines are comments, the key ends at the first '=',
    blanks around key and value trimmed, the last of a repeated key wins."""
    sections = {}
    current = sections.setdefault("", {})
    with open(path, "rb") as fh:
        data = fh.read()
    for raw in data.split(b"\n"):
        line = raw.strip(b" \t\r")
        if not line or line[:1] in (b";", b"#"):
            continue
        if line[:1] == b"[" and b"]" in line:
            name = line[1:line.index(b"]")].strip().decode("utf-8").lower()
            current = sections.setdefault(name, {})
            continue
        if b"=" not in line or line.startswith(b"="):
            continue
        key, value = line.split(b"=", 1)
        current[key.strip(b" \t").decode("utf-8").lower()] = value.strip(b" \t").decode("utf-8")
    return sections


def png_chunks(path):
    with open(path, "rb") as fh:
        data = fh.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, chunks = 8, []
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, "%s: bad CRC in %s" % (path, kind)
        chunks.append((kind.decode("ascii"), body))
        pos += 12 + length
    return chunks


def load(name):
    with Image.open(os.path.join(HERE, name)) as img:
        img.load()
        return img.copy()


def gbk_len(text):
    return len(text.encode("gbk"))


# Byte limits of the model's text fields (field width less the NUL).
GLOBAL_LIMITS = {
    "gameheader": 63, "title": 127, "firstUrl": 127, "notityTitle": 63, "notifyCloseTitle": 63,
    "clearFlashTitle": 63, "clearFlashMsg": 127, "closeMsg": 63, "versionUrl": 127,
    "exeUrl": 127, "server": 63, "version": 63,
}
GLOBAL_INTS = [
    "linkCount", "left", "right", "top", "bottom", "topLeftImage", "topRightImage",
    "bottomLeftImage", "bottomRight", "topImage", "leftImage", "htmlHeadHeight", "minGameWidth",
    "minGameHeight", "titleColor", "loginCenterColor", "port", "menuCount", "logx", "logy",
    "titlex", "titley", "titleWidth", "titleHeight", "picCount", "gameButtonCount",
] + ["edgeImage%d" % n for n in range(1, 9)]

# Who fills which function-key slot, in the order the game window registers them.
SHORTCUT_REGISTRATION = [("gamebutton", 5), ("gamebutton", 8), ("gamebutton", 11), ("gamebutton", 7),
                         ("gamebutton", 6), ("gamebutton", 10), ("menu", 2), ("menu", 1), ("menu", 3)]


class SkinTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ini = read_ini(os.path.join(HERE, "cg.txt"))
        cls.g = cls.ini["global"]
        cls.sheet = load("style.png")
        cls.main = load("main1.png")

    def section(self, name):
        return self.ini.get(name.lower(), {})

    def num(self, sec, key):
        return int(sec[key.lower()])

    def rect(self, sec):
        return tuple(self.num(sec, k) for k in ("x", "y", "width", "height"))

    def pics(self):
        return [self.rect(self.section("gamePic%d" % n)) for n in range(1, self.num(self.g, "picCount") + 1)]

    def buttons(self):
        return [self.section("gamebutton%d" % n) for n in range(1, self.num(self.g, "gameButtonCount") + 1)]

    # ------------------------------------------------------------ cg.txt --

    def test_text_file_form(self):
        with open(os.path.join(HERE, "cg.txt"), "rb") as fh:
            data = fh.read()
        # A byte-order mark would hide the [global] header and the launcher would
        # end silently; CR would survive the packer's conversion untouched.
        self.assertFalse(data.startswith(b"\xef\xbb\xbf"))
        self.assertNotIn(b"\r", data)
        data.decode("utf-8").encode("gbk")  # the packer must be able to convert every character

    def test_every_global_key_present_and_readable(self):
        for key in list(GLOBAL_LIMITS) + GLOBAL_INTS + ["delay"]:
            self.assertIn(key.lower(), self.g, key)
        for key in GLOBAL_INTS:
            # The launcher's number reading stops at the first non-digit: a hex
            # colour or a stray unit would read as something else.
            self.assertRegex(self.g[key.lower()], r"^-?[0-9]+$", key)
        for key, limit in GLOBAL_LIMITS.items():
            self.assertLessEqual(gbk_len(self.g[key.lower()]), limit, key)
        self.assertEqual(self.g["firsturl"], "", "a first address would skip the launcher")
        self.assertGreaterEqual(self.num(self.g, "linkCount"), 1)
        for key in ("titleColor", "loginCenterColor"):
            self.assertLessEqual(self.num(self.g, key), 0xFFFFFF, key)

    def test_list_texts_fit_their_fields(self):
        for b in self.buttons():
            self.assertLessEqual(gbk_len(b.get("title", "")), 31)
            self.assertLessEqual(gbk_len(b.get("tips", "")), 31)
            self.assertLessEqual(gbk_len(b.get("url", "")), 255)
        for n in range(1, self.num(self.g, "linkCount") + 1):
            self.assertLessEqual(gbk_len(self.section("link%d" % n).get("url", "")), 255)
        for n in range(1, self.num(self.g, "menuCount") + 1):
            m = self.section("menu%d" % n)
            self.assertLessEqual(gbk_len(m["title"]), 31)
            if self.num(m, "type") == 4:
                # shown as title and version in one 64-byte buffer
                self.assertLessEqual(gbk_len(m["title"] + self.g["version"]), 63)

    def test_menu_has_each_command_once(self):
        types = sorted(self.num(self.section("menu%d" % n), "type")
                       for n in range(1, self.num(self.g, "menuCount") + 1))
        self.assertEqual(types, [1, 2, 3, 4])

    def test_function_keys(self):
        slots = {}
        for kind, typ in SHORTCUT_REGISTRATION:
            count = self.num(self.g, "gameButtonCount" if kind == "gamebutton" else "menuCount")
            for n in range(1, count + 1):
                sec = self.section("%s%d" % (kind, n))
                key = self.num(sec, "shortCut")
                if self.num(sec, "type") == typ and 1 <= key <= 12:
                    self.assertNotIn(key, slots, "F%d claimed twice" % key)
                    slots[key] = (kind, typ)
        self.assertEqual(slots, {5: ("menu", 1), 9: ("gamebutton", 8), 11: ("menu", 3)})

    # ---------------------------------------------------------- launcher --

    def test_main_picture(self):
        self.assertEqual(self.main.mode, "RGBA")
        self.assertEqual(self.main.size, (760, 544))
        a = self.main.getchannel("A")
        w, h = self.main.size
        ring = [a.getpixel((x, y)) for x in range(w) for y in (0, h - 1)] + \
               [a.getpixel((x, y)) for y in range(h) for x in (0, w - 1)]
        self.assertEqual(max(ring), 0, "the outer edge of the launcher must be see-through")

    def test_link_areas(self):
        w, h = self.main.size
        alpha = self.main.getchannel("A")
        names = set(os.listdir(HERE))
        pages = 0
        for n in range(1, self.num(self.g, "linkCount") + 1):
            link = self.section("link%d" % n)
            typ = self.num(link, "type")
            x, y = self.num(link, "x"), self.num(link, "y")
            if typ in (1, 2, 3):
                normal = load("%d_n.png" % n)
                pressed = load("%d_d.png" % n)
                self.assertEqual(normal.size, pressed.size, n)
                bw, bh = normal.size
                self.assertLessEqual(x + bw, w)
                self.assertLessEqual(y + bh, h)
                # The button is drawn opaquely over the layered picture: where
                # that picture is see-through the button would float on nothing.
                self.assertEqual(alpha.crop((x, y, x + bw, y + bh)).getextrema()[0], 255, n)
                for pic in (normal, pressed):
                    self.assertEqual(pic.mode, "RGB")
                    colours = {c for _, c in pic.getcolors(bw * bh)}
                    # pure green is the companion's colour key: it would be a hole
                    self.assertNotIn((0, 255, 0), colours, n)
                self.assertNotEqual(normal.tobytes(), pressed.tobytes(), "pressed must look different")
            else:
                self.assertNotIn("%d_n.png" % n, names)
                self.assertNotIn("%d_d.png" % n, names)
            if typ == 4:
                pages += 1
                pw, ph = self.num(link, "width"), self.num(link, "height")
                self.assertLessEqual(x + pw, w)
                self.assertLessEqual(y + ph, h)
                if pages == 1:
                    # the page's placeholder colour should be the panel drawn there
                    c = self.num(self.g, "loginCenterColor")
                    fill = (c & 255, c >> 8 & 255, c >> 16 & 255, 255)
                    self.assertEqual(self.main.crop((x, y, x + pw, y + ph)).getcolors(), [(pw * ph, fill)])
        self.assertEqual(pages, 1)

    def test_link_buttons_do_not_overlap(self):
        boxes = []
        for n in range(1, self.num(self.g, "linkCount") + 1):
            link = self.section("link%d" % n)
            typ = self.num(link, "type")
            if typ in (1, 2, 3):
                bw, bh = load("%d_n.png" % n).size
            elif typ == 4:
                bw, bh = self.num(link, "width"), self.num(link, "height")
            else:
                continue
            x, y = self.num(link, "x"), self.num(link, "y")
            for other in boxes:
                ox, oy, ow, oh = other
                self.assertFalse(x < ox + ow and ox < x + bw and y < oy + oh and oy < y + bh,
                                 "link%d overlaps %s" % (n, other))
            boxes.append((x, y, bw, bh))

    # ------------------------------------------------------- game window --

    def test_sheet_rectangles(self):
        sw, sh = self.sheet.size
        self.assertEqual(self.sheet.mode, "RGBA")
        frame = {self.num(self.g, "edgeImage%d" % i) for i in range(1, 9)}
        used_by_buttons = {self.num(b, "image") for b in self.buttons()}
        for n, (x, y, w, h) in enumerate(self.pics(), 1):
            sec = self.section("gamePic%d" % n)
            self.assertTrue(w > 0 and h > 0 and x >= 0 and y >= 0, n)
            self.assertLessEqual(x + w, sw, n)
            self.assertLessEqual(y + h, sh, n)
            if n in used_by_buttons:
                # three states, cut one below the other
                step = h + self.num(sec, "interval")
                self.assertLessEqual(y + 2 * step + h, sh, n)
                self.assertEqual(self.sheet.crop((x, y, x + w, y + 2 * step + h)).getchannel("A").getextrema()[0],
                                 255, "button pictures are copied opaquely: %d" % n)
            if n in frame:
                self.assertEqual(self.sheet.crop((x, y, x + w, y + h)).getchannel("A").getextrema()[0], 255, n)

    def test_frame_pieces(self):
        pics = self.pics()
        p = [None] + [pics[self.num(self.g, "edgeImage%d" % i) - 1] for i in range(1, 9)]
        w = [None] + [r[2] for r in p[1:]]
        h = [None] + [r[3] for r in p[1:]]
        self.assertEqual(h[2], 27, "title strip height")
        self.assertEqual((h[1], h[3]), (h[2], h[2]), "top corners span the strip")
        self.assertEqual((w[4], w[5]), (3, 3))
        self.assertEqual(h[7], 3)
        # the bottom corners reach at least as far up as the bottom edge and
        # as far in as the side edges, or a notch shows at the seams
        for corner in (6, 8):
            self.assertGreaterEqual(h[corner], h[7])
            self.assertGreaterEqual(w[corner], w[4])

    def test_title_strip_contents(self):
        strip = self.pics()[self.num(self.g, "edgeImage2") - 1][3]
        min_w = self.num(self.g, "minGameWidth")
        right_border = self.pics()[self.num(self.g, "edgeImage5") - 1][2]
        logo = load("logo.png")
        self.assertEqual(logo.mode, "RGB")
        lx, ly = self.num(self.g, "logx"), self.num(self.g, "logy")
        self.assertLessEqual(ly + logo.height, strip)
        placed = []
        by_type = {}
        for b in self.buttons():
            typ = self.num(b, "type")
            by_type.setdefault(typ, []).append(b)
            x, y, w, h = self.pics()[self.num(b, "image") - 1]
            bx, by = self.num(b, "x"), self.num(b, "y")
            self.assertLess(bx, 0)
            self.assertLessEqual(by + h, strip, "button %s leaves the strip" % b)
            placed.append((typ, min_w + bx - right_border, by, w, h))
        self.assertEqual(sorted(by_type), [1, 5, 6, 7, 8, 10, 11, 12])
        self.assertEqual(self.num(by_type[5][0], "x"), -28)
        # maximise and restore take turns in one place; nothing else may overlap,
        # nor the logo or the title in the smallest framed window
        title_right = self.num(self.g, "titlex") + self.num(self.g, "titleWidth")
        for i, (t, x, y, w, h) in enumerate(placed):
            self.assertGreater(x, max(lx + logo.width, title_right), "button over the title")
            for t2, x2, y2, w2, h2 in placed[i + 1:]:
                if {t, t2} == {6, 10}:
                    self.assertEqual((x, y), (x2, y2))
                    continue
                self.assertFalse(x < x2 + w2 and x2 < x + w and y < y2 + h2 and y2 < y + h)

    # ------------------------------------------------------------ files --

    def test_png_forms(self):
        for name in sorted(os.listdir(HERE)):
            if not name.endswith(".png"):
                continue
            chunks = png_chunks(os.path.join(HERE, name))
            kinds = [k for k, _ in chunks]
            self.assertNotIn("tIME", kinds, name)
            colour_type = chunks[0][1][9]
            self.assertEqual(colour_type, 6 if name in ("main1.png", "style.png") else 2, name)

    def test_generator_reproduces_committed_pictures(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)), "generate.py"), out], check=True)
            made = sorted(n for n in os.listdir(out) if n.endswith(".png"))
            kept = sorted(n for n in os.listdir(HERE) if n.endswith(".png"))
            self.assertEqual(made, kept)
            for name in made:
                with open(os.path.join(out, name), "rb") as a, open(os.path.join(HERE, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), "%s is stale: run generate.py" % name)


if __name__ == "__main__":
    unittest.main()
