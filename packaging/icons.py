#!/usr/bin/env python3
"""Draws the launcher's icon as hicolor theme PNGs (SIZE/apps/NAME.png) from the same artwork as
the program icon beside the programs, so the desktop menu shows the same sign."""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bitmap"))
from pictures import Renderer, program_icon  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rsvg", default="rsvg-convert")
    parser.add_argument("--out", required=True, help="the hicolor folder to fill")
    parser.add_argument("--name", required=True, help="icon name, as the desktop entry gives it")
    parser.add_argument("sizes", type=int, nargs="+")
    args = parser.parse_args()
    ren = Renderer(args.rsvg)
    for size in args.sizes:
        folder = os.path.join(args.out, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, args.name + ".png"), "wb") as f:
            f.write(ren.png(program_icon(size)))


if __name__ == "__main__":
    main()
