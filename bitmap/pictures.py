#!/usr/bin/env python3
"""Draws every picture the dialogs load, as SVG, and renders it with rsvg-convert.

Colours, font and words come from theme.py; the sizes and positions below are the ones the
dialogs' code places the pictures at. Every picture is written as an opaque RGB PNG: where a
picture needs transparency (the list icons) the see-through pixels are magenta, which the
library masks; everything else is drawn over the exact colour that lies behind it in its dialog,
so it looks right whether or not it is drawn with its mask.
"""
import argparse
import base64
import math
import os
import subprocess
import sys
from xml.sax.saxutils import escape

sys.dont_write_bytecode = True  # keep the source folder free of compiled modules
import theme as T  # noqa: E402
from pngfile import read_rgba, write_ico, write_rgb  # noqa: E402

# Where the dialogs put things (client coordinates).
LISTE_W, LISTE_H = 519, 460              # both dialogs: the customisation lies over the list
LIST_BOX = (14, 114, 491, 272)           # the device list control
LIST_COLUMNS_X = (14, 124, 254)          # its columns are 110, 130 and 251 wide
BUTTON_X = (249, 308, 367, 426)          # validation, annuler, personnaliser, tester
BUTTON_Y = 391
BUTTON_W, BUTTON_H = 57, 38              # the buttons are 59 pixels apart
OVERLAY_MAJ_X, OVERLAY_WARNING_X, OVERLAY_Y = 240, 246, 434
OVERLAY_H = 20
LOGO = (366, 0, 113, 83)                 # the hidden double-click area
HEADER_H = 88                            # the customisation labels start at y 100
PERSO_CONTENT_BOTTOM = 387               # its lowest controls (page buttons at y 350) end above
ANIM_W, ANIM_H = 44, 60                  # drawn at 20,30 in a 415x115 window, text from x 68
ICON_SIZES = (16, 32, 48)


def rgb(c):
    return "#%02x%02x%02x" % c


def svg(w, h, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" '
            f'width="{w}" height="{h}" viewBox="0 0 {w} {h}">{body}</svg>')


def rect(x, y, w, h, fill, r=0, stroke=None, width=1.0, opacity=1.0):
    line = f' stroke="{rgb(stroke)}" stroke-width="{width}"' if stroke else ""
    return (f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{r}" fill="{rgb(fill)}"'
            f' fill-opacity="{opacity}"{line}/>')


def text(x, y, s, size, fill, bold=False, anchor="start", spacing=0):
    weight = "bold" if bold else "normal"
    return (f'<text x="{x}" y="{y}" font-family="{T.FONT}" font-size="{size}" '
            f'font-weight="{weight}" fill="{rgb(fill)}" text-anchor="{anchor}" '
            f'letter-spacing="{spacing}">{escape(s)}</text>')


def stroked(d, colour, width, fill="none"):
    return (f'<path d="{d}" fill="{fill}" stroke="{rgb(colour)}" stroke-width="{width}" '
            'stroke-linecap="round" stroke-linejoin="round"/>')


def place(x, y, scale, body):
    return f'<g transform="translate({x} {y}) scale({scale})">{body}</g>'


class Renderer:
    """rsvg-convert behind a cache, and the text measures that keep words inside their boxes."""

    def __init__(self, rsvg):
        self.rsvg = rsvg
        self.widths = {}

    def png(self, source):
        done = subprocess.run([self.rsvg, "--format=png"], input=source.encode("utf-8"),
                              capture_output=True, check=False)
        if done.returncode != 0:
            sys.exit("rsvg-convert failed: " + done.stderr.decode(errors="replace"))
        return done.stdout

    def rgba(self, source):
        return read_rgba(self.png(source))

    def ink_width(self, s, size, bold, spacing=0):
        key = (s, size, bold, spacing)
        if key not in self.widths:
            w, h = 40 + int(len(s) * size * 1.2), int(size * 3)
            _, _, rows = self.rgba(svg(w, h, text(10, size * 2, s, size, (0, 0, 0), bold,
                                                  spacing=spacing)))
            xs = [x for row in rows for x, p in enumerate(row) if p[3] > 0]
            self.widths[key] = (max(xs) - min(xs) + 1) if xs else 0
        return self.widths[key]

    def fit(self, s, size, bold, room, smallest):
        """The largest size from `size` down to `smallest` (half-pixel steps) at which the text
        fits in `room` pixels; the build stops rather than let a word spill out of its box."""
        while self.ink_width(s, size, bold) > room:
            size -= 0.5
            if size < smallest:
                sys.exit(f'"{s}" does not fit in {room} pixels: shorten it in theme.py')
        return size


# Glyphs in a 16-unit box, one colour: the buttons' and the list's symbols.
def gear_path(cx, cy, outer, root, hole, teeth=8, turn=0.0):
    d = ""
    step = 360.0 / teeth
    for i in range(teeth):
        a = turn + i * step
        corners = [(a - step * 0.32, root), (a - step * 0.17, outer),
                   (a + step * 0.17, outer), (a + step * 0.32, root)]
        for j, (deg, r) in enumerate(corners):
            x, y = cx + r * math.cos(math.radians(deg)), cy + r * math.sin(math.radians(deg))
            if i == 0 and j == 0:
                d += f"M{x:.2f} {y:.2f} "
            elif j == 0:
                d += f"A{root} {root} 0 0 1 {x:.2f} {y:.2f} "
            else:
                d += f"L{x:.2f} {y:.2f} "
    a = turn + teeth * step - step * 0.32
    d += (f"A{root} {root} 0 0 1 {cx + root * math.cos(math.radians(a)):.2f} "
          f"{cy + root * math.sin(math.radians(a)):.2f} Z ")
    d += (f"M{cx + hole} {cy} A{hole} {hole} 0 1 0 {cx - hole} {cy} "
          f"A{hole} {hole} 0 1 0 {cx + hole} {cy} Z")
    return d


def glyph(name, colour, turn=0.0):
    if name == "check":
        return stroked("M3 8.6 L6.5 12.1 L13 4.8", colour, 2.4)
    if name == "upload":
        return stroked("M8 11 V3.4 M4.5 6.8 L8 3.3 L11.5 6.8 M3.2 14 H12.8", colour, 2.1)
    if name == "warning":
        return (stroked("M8 1.9 L14.7 13.9 H1.3 Z", colour, 1.7)
                + stroked("M8 6.2 V9.3", colour, 1.9)
                + f'<circle cx="8" cy="11.7" r="1.05" fill="{rgb(colour)}"/>')
    if name == "cross":
        return stroked("M4.2 4.2 L11.8 11.8 M11.8 4.2 L4.2 11.8", colour, 2.4)
    if name == "gear":
        return (f'<path d="{gear_path(8, 8, 7.6, 5.4, 2.3, turn=turn)}" fill="{rgb(colour)}" '
                'fill-rule="evenodd"/>')
    if name == "led":
        rays = "".join(
            f"M{8 + 5.3 * math.cos(math.radians(a)):.2f} {9.6 + 5.3 * math.sin(math.radians(a)):.2f} "
            f"L{8 + 7.4 * math.cos(math.radians(a)):.2f} {9.6 + 7.4 * math.sin(math.radians(a)):.2f} "
            for a in (180, 225, 270, 315, 0))
        return (f'<circle cx="8" cy="9.6" r="3.4" fill="{rgb(colour)}"/>'
                + stroked(rays, colour, 1.6))
    raise ValueError(name)


# The three states of the list: coloured badges with a white symbol.
def status_badge(kind):
    if kind == "ok":
        return (f'<circle cx="8" cy="8" r="7.5" fill="{rgb(T.GREEN)}"/>'
                + stroked("M4.6 8.3 L7 10.7 L11.5 5.7", T.WHITE, 2))
    if kind == "maj":
        return (f'<circle cx="8" cy="8" r="7.5" fill="{rgb(T.ORANGE)}"/>'
                + stroked("M8 11.8 V4.5 M5 7.4 L8 4.4 L11 7.4", T.WHITE, 2))
    return (stroked("M8 1.3 L15 14.4 H1 Z", T.RED, 1.4, fill=rgb(T.RED))
            + stroked("M8 5.8 V9.4", T.WHITE, 2)
            + f'<circle cx="8" cy="12.2" r="1.1" fill="{rgb(T.WHITE)}"/>')


def mark(colour):
    """The product's sign in a 32-unit box: a T whose stem ends on a terminal ring."""
    return (f'<rect x="5" y="4" width="22" height="5.6" rx="2.8" fill="{rgb(colour)}"/>'
            f'<rect x="13.2" y="6" width="5.6" height="12.6" fill="{rgb(colour)}"/>'
            f'<circle cx="16" cy="22.6" r="4.4" fill="none" stroke="{rgb(colour)}" '
            'stroke-width="3.2"/>')


def header(title, subtitle, title_x, ren):
    """Orange rule along the top, white heading band, and the logo hanging as a tab."""
    x, y, w, h = LOGO
    tab = (f'<path d="M{x} 0 H{x + w} V{h - 10} Q{x + w} {h} {x + w - 10} {h} H{x + 10} '
           f'Q{x} {h} {x} {h - 10} Z" fill="{rgb(T.ORANGE)}"/>')
    shadow = tab.replace(f'fill="{rgb(T.ORANGE)}"', 'fill="#000000" fill-opacity="0.12"')
    room = x - title_x - 12
    title_size = ren.fit(title, 19, True, room, 14)
    subtitle_size = ren.fit(subtitle, 12.5, False, room, 10)
    word_size = ren.fit(T.MARQUE, 20, True, w - 16, 12)
    return (rect(0, 0, LISTE_W, HEADER_H, T.WHITE)
            + rect(0, HEADER_H, LISTE_W, 1, T.RULE)
            + rect(0, 0, LISTE_W, 4, T.ORANGE)
            + f'<g transform="translate(0 1.5)">{shadow}</g>' + tab
            + place(x + (w - 40) / 2, 6, 40 / 32, mark(T.WHITE))
            + text(x + w / 2, 70, T.MARQUE, word_size, T.WHITE, bold=True, anchor="middle")
            + text(title_x, 42, title, title_size, T.INK, bold=True)
            + text(title_x, 66, subtitle, subtitle_size, T.MUTED))


def fond(ren):
    lx, ly, lw, lh = LIST_BOX
    columns = "".join(text(x + (24 if i == 0 else 4), 107, label, 9.5, T.MUTED, bold=True,
                           spacing=0.6)
                      for i, (x, label) in enumerate(zip(LIST_COLUMNS_X, T.LISTE_COLONNES)))
    legend = ""
    for i, (kind, words) in enumerate((("ok", T.LEGENDE_OK), ("maj", T.LEGENDE_MAJ),
                                       ("warning", T.LEGENDE_WARNING))):
        y = 395 + i * 19
        legend += (place(lx + 2, y, 1, status_badge(kind))
                   + text(lx + 24, y + 12, words,
                          ren.fit(words, 11.5, False, OVERLAY_MAJ_X - lx - 36, 9), T.MUTED))
    body = (rect(0, 0, LISTE_W, LISTE_H, T.PANEL)
            + header(T.LISTE_TITRE, T.LISTE_SOUS_TITRE, 26, ren)
            + columns
            + rect(lx - 0.5, ly - 0.5, lw + 1, lh + 1, T.WHITE, stroke=T.FRAME)
            + legend)
    return svg(LISTE_W, LISTE_H, body)


def fondpersonnaliser(ren):
    hint_size = ren.fit(T.PERSO_AIDE, 11.5, False, BUTTON_X[0] - 22 - 12, 9)
    body = (rect(0, 0, LISTE_W, LISTE_H, T.PANEL)
            + rect(0, 0, LISTE_W, PERSO_CONTENT_BOTTOM, T.WHITE)
            + rect(0, PERSO_CONTENT_BOTTOM, LISTE_W, 1, T.RULE)
            + header(T.PERSO_TITRE, T.PERSO_SOUS_TITRE, 22, ren)
            + text(22, BUTTON_Y + 24, T.PERSO_AIDE, hint_size, T.MUTED))
    return svg(LISTE_W, LISTE_H, body)


# Buttons: the validation buttons are filled orange, the others light; pressed is orange.
BUTTON_STATES = {
    # style, state: face, outline, symbol, label
    ("strong", ""): (T.ORANGE, T.ORANGE_PRESSED, T.WHITE, T.WHITE),
    ("strong", "_s"): (T.ORANGE_HOVER, T.ORANGE, T.WHITE, T.WHITE),
    ("strong", "_on"): (T.ORANGE_PRESSED, T.ORANGE_PRESSED, T.WHITE, T.WHITE),
    ("light", ""): (T.WHITE, T.FRAME, T.ORANGE, T.INK),
    ("light", "_s"): (T.ORANGE_TINT, T.ORANGE, T.ORANGE, T.INK),
    ("light", "_on"): (T.ORANGE, T.ORANGE_PRESSED, T.WHITE, T.WHITE),
}
BUTTONS = (  # file name, label's name in theme.py, symbol, style
    ("ok", "BOUTON_OK", "check", "strong"),
    ("maj", "BOUTON_OK", "upload", "strong"),
    ("warning", "BOUTON_OK", "warning", "strong"),
    ("annuler", "BOUTON_ANNULER", "cross", "light"),
    ("personnaliser", "BOUTON_PERSONNALISER", "gear", "light"),
    ("tester", "BOUTON_TESTER", "led", "light"),
)


def button_label_size(ren):
    """One size for every button's label, the largest at which the longest one fits."""
    return min(ren.fit(getattr(T, label), 10.5, True, BUTTON_W - 5, 8.5)
               for _, label, _, _ in BUTTONS)


def button(label, symbol, style, state, size):
    face, outline, ink, label_ink = BUTTON_STATES[(style, state)]
    pressed = state == "_on"
    dy = 1 if pressed else 0
    shadow = "" if pressed else rect(0.5, 1.5, BUTTON_W - 1, BUTTON_H - 2, (0, 0, 0), r=5,
                                     opacity=0.10)
    body = (rect(0, 0, BUTTON_W, BUTTON_H, T.PANEL) + shadow
            + rect(0.5, 0.5 + dy, BUTTON_W - 1, BUTTON_H - 2, face, r=5, stroke=outline)
            + place((BUTTON_W - 16) / 2, 5 + dy, 1, glyph(symbol, ink))
            + text(BUTTON_W / 2, 31.5 + dy, label, size, label_ink, bold=True, anchor="middle"))
    return svg(BUTTON_W, BUTTON_H, body)


def overlay(x, kind, words, ren):
    """One line under the validation button; its badge lines up with the button's left edge."""
    w = LIST_BOX[0] + LIST_BOX[2] - x
    badge_x = BUTTON_X[0] - x
    room = w - badge_x - 22
    body = (rect(0, 0, w, OVERLAY_H, T.PANEL) + place(badge_x, 2, 1, status_badge(kind))
            + text(badge_x + 22, 14.5, words, ren.fit(words, 11.5, True, room, 9), T.INK,
                   bold=True))
    return svg(w, OVERLAY_H, body)


def device(led):
    """The Tavlin as the wait window shows it: a module with its terminal rows and network
    socket; `led` draws the front lamp."""
    body = (rect(9, 1.5, 26, 6, (214, 217, 222), r=1.5)
            + "".join(f'<circle cx="{x}" cy="4.5" r="1.4" fill="{rgb(T.METAL)}"/>'
                      for x in (14, 19.3, 24.6, 30))
            + rect(4.5, 6.5, 35, 47, T.WHITE, r=4, stroke=T.METAL, width=1.2)
            + f'<path d="M5.1 16 V10.5 Q5.1 7.1 8.5 7.1 H35.5 Q38.9 7.1 38.9 10.5 V16 Z" '
              f'fill="{rgb(T.ORANGE)}"/>'
            + place(15, 7.8, 14 / 32, mark(T.WHITE))
            + rect(9, 42, 13, 8.5, (62, 66, 72), r=1.2)
            + rect(12.5, 50, 6, 1.8, (62, 66, 72))
            + led)
    return body


def tester(lit):
    if lit:
        led = (f'<circle cx="22" cy="29" r="9" fill="{rgb(T.ORANGE)}" fill-opacity="0.22"/>'
               f'<circle cx="22" cy="29" r="5" fill="{rgb(T.ORANGE)}"/>'
               '<circle cx="20.4" cy="27.4" r="1.5" fill="#ffffff" fill-opacity="0.7"/>')
    else:
        led = (f'<circle cx="22" cy="29" r="5" fill="{rgb((226, 228, 231))}" '
               f'stroke="{rgb(T.FRAME)}" stroke-width="1"/>')
    return svg(ANIM_W, ANIM_H, rect(0, 0, ANIM_W, ANIM_H, T.PANEL) + device(led))


def personnaliser(turn):
    led = f'<circle cx="14" cy="29" r="3" fill="{rgb(T.GREEN)}"/>'
    gear = (f'<circle cx="31.5" cy="45" r="10.5" fill="{rgb(T.PANEL)}"/>'
            + place(22, 35.5, 19 / 16, glyph("gear", T.ORANGE, turn)))
    return svg(ANIM_W, ANIM_H, rect(0, 0, ANIM_W, ANIM_H, T.PANEL) + device(led) + gear)


def small_icon(kind):
    return svg(16, 16, status_badge(kind))


def program_icon(size):
    if size <= 16:
        # Scaled down, the sign blurs: at 16 pixels it is redrawn on whole pixels.
        white = rgb(T.WHITE)
        return svg(size, size, place(0, 0, size / 16,
                                     rect(0, 0, 16, 16, T.ORANGE, r=3)
                                     + rect(3, 2, 10, 2, T.WHITE)
                                     + rect(7, 4, 2, 5, T.WHITE)
                                     + f'<circle cx="8" cy="11" r="2.25" fill="none" '
                                       f'stroke="{white}" stroke-width="1.5"/>'))
    body = (rect(0, 0, 32, 32, T.ORANGE, r=7)
            + place(2.4, 1.8, 0.85, mark(T.WHITE)))
    return svg(size, size, place(0, 0, size / 32, body))


def opaque(width, height, rows):
    return write_rgb(width, height, [[(r, g, b) for r, g, b, _ in row] for row in rows])


def keyed(width, height, rows, matte=T.WHITE):
    """Magenta where the drawing is mostly see-through; elsewhere the drawing over `matte`
    (the list's white), so the mask leaves no pink fringe around round edges."""
    out = []
    for row in rows:
        line = []
        for r, g, b, a in row:
            if a < 128:
                line.append(T.MAGENTA)
            else:
                line.append(tuple((c * a + m * (255 - a)) // 255 for c, m in zip((r, g, b), matte)))
        out.append(line)
    return write_rgb(width, height, out)


def all_pictures(ren):
    """[(file name, SVG source, keyed)] for every picture of bitmap/."""
    pictures = [("fond.png", fond(ren), False),
                ("fondpersonnaliser.png", fondpersonnaliser(ren), False)]
    label_size = button_label_size(ren)
    for state in ("", "_on", "_s"):
        for name, label, symbol, style in BUTTONS:
            pictures.append((f"{name}{state}.png",
                             button(getattr(T, label), symbol, style, state, label_size),
                             False))
    for kind in ("ok", "maj", "warning"):
        pictures.append((f"{kind}-small.png", small_icon(kind), True))
    pictures += [("tester1.png", tester(True), False), ("tester2.png", tester(False), False),
                 ("personnaliser1.png", personnaliser(0.0), False),
                 ("personnaliser2.png", personnaliser(22.5), False),
                 ("texte_maj.png", overlay(OVERLAY_MAJ_X, "maj", T.TEXTE_MAJ, ren), False),
                 ("texte_warning.png",
                  overlay(OVERLAY_WARNING_X, "warning", T.TEXTE_WARNING, ren), False)]
    return pictures


def check_font():
    """The words must be set in the named font, not in whatever the machine substitutes."""
    for style in ("", ":bold"):
        try:
            found = subprocess.run(["fc-match", "-f", "%{family[0]}", T.FONT + style],
                                   capture_output=True, text=True, check=True).stdout
        except (OSError, subprocess.CalledProcessError):
            sys.exit("fc-match (fontconfig) is needed to check the pictures' font")
        if found != T.FONT:
            sys.exit(f'font "{T.FONT}{style}" is not installed (found "{found}"): '
                     "install fonts-dejavu-core")


def data_uri(png):
    return "data:image/png;base64," + base64.b64encode(png).decode("ascii")


def contact_sheet(items, ren):
    """One picture showing every picture at its own size with its name; `items` are
    (name, png bytes, width, height) or None to start a new row."""
    width, margin, gap = 1120, 20, 24
    parts, x, y, row_h = [], margin, margin + 30, 0
    parts.append(text(margin, margin + 14, "Images de bitmap/ (taille réelle ; le magenta est "
                      "transparent)", 15, T.INK, bold=True))
    for item in items:
        if item is None:
            if row_h:
                x, y, row_h = margin, y + row_h + gap, 0
            continue
        name, png, w, h = item
        cell = max(w, ren.ink_width(name, 10.5, False) + 4)
        if x + cell > width - margin:
            x, y, row_h = margin, y + row_h + gap, 0
        parts.append(rect(x - 1.5, y - 1.5, w + 3, h + 3, T.WHITE, stroke=(170, 175, 182)))
        parts.append(f'<image x="{x}" y="{y}" width="{w}" height="{h}" '
                     f'xlink:href="{data_uri(png)}"/>')
        parts.append(text(x, y + h + 16, name, 10.5, T.INK))
        row_h = max(row_h, h + 20)
        x += cell + gap
    height = y + row_h + margin
    return svg(width, height, rect(0, 0, width, height, (232, 234, 238)) + "".join(parts))


def link_into(folder, target):
    """A symbolic link in `folder` to `target`, for programs built in other folders."""
    os.makedirs(folder, exist_ok=True)
    link = os.path.join(folder, os.path.basename(target))
    if os.path.islink(link):
        os.remove(link)
    elif os.path.exists(link):
        return
    os.symlink(os.path.relpath(target, folder), link)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rsvg", default="rsvg-convert")
    parser.add_argument("--out", required=True, help="folder beside the programs")
    parser.add_argument("--sheet", help="contact sheet PNG to write")
    parser.add_argument("--link", action="append", default=[],
                        help="other program folders that get links to bitmap/ and the icon")
    args = parser.parse_args()

    check_font()
    ren = Renderer(args.rsvg)
    pictures_dir = os.path.join(args.out, "bitmap")
    os.makedirs(pictures_dir, exist_ok=True)
    made = {}
    for name, source, is_keyed in all_pictures(ren):
        w, h, rows = ren.rgba(source)
        png = keyed(w, h, rows) if is_keyed else opaque(w, h, rows)
        with open(os.path.join(pictures_dir, name), "wb") as f:
            f.write(png)
        made[name] = (png, w, h)

    # The pictures with words again in English, only those that differ.
    english_dir = os.path.join(pictures_dir, "en")
    os.makedirs(english_dir, exist_ok=True)
    french = {k: getattr(T, k) for k in T.ENGLISH}
    for k, v in T.ENGLISH.items():
        setattr(T, k, v)
    for name, source, is_keyed in all_pictures(ren):
        w, h, rows = ren.rgba(source)
        png = keyed(w, h, rows) if is_keyed else opaque(w, h, rows)
        if png != made[name][0]:
            with open(os.path.join(english_dir, name), "wb") as f:
                f.write(png)
    for k, v in french.items():
        setattr(T, k, v)

    icons = [(size, ren.png(program_icon(size))) for size in ICON_SIZES]
    ico = write_ico([(size, read_rgba(png)[2]) for size, png in icons])
    for folder in (args.out, pictures_dir):
        with open(os.path.join(folder, "Tavlin.ico"), "wb") as f:
            f.write(ico)
    for folder in args.link:
        link_into(folder, pictures_dir)
        link_into(folder, os.path.join(args.out, "Tavlin.ico"))

    if args.sheet:
        items = [(n, *made[n]) for n in ("fond.png", "fondpersonnaliser.png")] + [None]
        for state in ("", "_on", "_s"):
            items += [(f"{b[0]}{state}.png", *made[f"{b[0]}{state}.png"]) for b in BUTTONS]
            items.append(None)
        items += [(n, *made[n]) for n in ("tester1.png", "tester2.png", "personnaliser1.png",
                                          "personnaliser2.png", "ok-small.png", "maj-small.png",
                                          "warning-small.png")]
        items += [(f"Tavlin.ico {size}", png, size, size) for size, png in icons] + [None]
        items += [(n, *made[n]) for n in ("texte_maj.png", "texte_warning.png")]
        os.makedirs(os.path.dirname(os.path.abspath(args.sheet)), exist_ok=True)
        with open(args.sheet, "wb") as f:
            f.write(ren.png(contact_sheet(items, ren)))


if __name__ == "__main__":
    main()
