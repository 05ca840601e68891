#!/usr/bin/env python3
"""Draws the six 16 x 16 tool-bar images of the main window into src/app/icons/.

Each image is pixel art: one character per pixel, '.' transparent, the others looked up in
PALETTE. Only the standard library is used, so the images can be redrawn anywhere:

    python3 scripts/make_icons.py
"""
import os
import struct
import zlib

PALETTE = {
    "k": (40, 40, 40, 255),      # outline
    "w": (255, 255, 255, 255),   # paper
    "g": (160, 160, 160, 255),   # grey
    "G": (210, 210, 210, 255),   # light grey
    "b": (30, 80, 180, 255),     # blue
    "B": (120, 170, 240, 255),   # light blue
    "r": (200, 30, 30, 255),     # red
    "R": (240, 110, 100, 255),   # light red
    "y": (240, 200, 40, 255),    # yellow
    "o": (200, 120, 40, 255),    # wood
    "O": (150, 80, 20, 255),     # dark wood
    "n": (40, 150, 60, 255),     # green
    "N": (120, 210, 120, 255),   # light green
}

IMAGES = {
    # 0: leave the program: an open door and an arrow pointing out of it
    "exit": [
        "................",
        "..kkkkkkkk......",
        "..kGGGGGGk......",
        "..kGOOOOOk......",
        "..kGOooooOk.....",
        "..kGOooooOk..r..",
        "..kGOooooOk..rr.",
        "..kGOoyoorrrrrrr",
        "..kGOooooOk..rr.",
        "..kGOooooOk..r..",
        "..kGOooooOk.....",
        "..kGOooooOk.....",
        "..kGOOOOOOk.....",
        "..kGGGGGGGk.....",
        "..kkkkkkkkk.....",
        "................",
    ],
    # 1: a new questionnaire: a blank sheet with a folded corner and a star
    "new": [
        ".kkkkkkkk.......",
        ".kwwwwwwkk......",
        ".kwwwwwwkGk.....",
        ".kwwwwwwkkkk....",
        ".kwwwwwwwwwk....",
        ".kwgggggwwwk..y.",
        ".kwwwwwwwwwk.yyy",
        ".kwgggggggwk..y.",
        ".kwwwwwwwwwk....",
        ".kwgggggggwk....",
        ".kwwwwwwwwwk....",
        ".kwgggggggwk....",
        ".kwwwwwwwwwk....",
        ".kwwwwwwwwwk....",
        ".kkkkkkkkkkk....",
        "................",
    ],
    # 2: change a questionnaire: a pencil across a sheet
    "edit": [
        "kkkkkkkkk.......",
        "kwwwwwwwk...kk..",
        "kwgggggwk..kRRk.",
        "kwwwwwwwk.kyRk..",
        "kwgggggwkkyyk...",
        "kwwwwwwwkyyk....",
        "kwgggggwyyk.....",
        "kwwwwwwyyk......",
        "kwggggyyk.......",
        "kwwwwGGk........",
        "kwgggkk.........",
        "kwwwwwwwk.......",
        "kwgggggwk.......",
        "kwwwwwwwk.......",
        "kkkkkkkkk.......",
        "................",
    ],
    # 3: look a questionnaire up: a magnifying glass
    "query": [
        "................",
        "....kkkk........",
        "..kkBBBBkk......",
        "..kBwBBBBk......",
        ".kBwBBBBBBk.....",
        ".kBBBBBBBBk.....",
        ".kBBBBBBBBk.....",
        ".kBBBBBBBBk.....",
        "..kBBBBBBk......",
        "..kkBBBBkkk.....",
        "....kkkk.kOk....",
        ".........kOOk...",
        "..........kOOk..",
        "...........kOOk.",
        "............kkk.",
        "................",
    ],
    # 4: statistics: a bar chart
    "total": [
        "................",
        "...........kkk..",
        "...........kbk..",
        "...........kbk..",
        ".......kkk.kbk..",
        ".......krk.kbk..",
        ".......krk.kbk..",
        "...kkk.krk.kbk..",
        "...knk.krk.kbk..",
        "...knk.krk.kbk..",
        "...knk.krk.kbk..",
        "...knk.krk.kbk..",
        "k..knk.krk.kbk..",
        "kkkkkkkkkkkkkkkk",
        "k...............",
        "................",
    ],
    # 5: delete a questionnaire: a red cross
    "delete": [
        "................",
        "................",
        "..rr.......rr...",
        "..rRr.....rRr...",
        "...rRr...rRr....",
        "....rRr.rRr.....",
        ".....rRrRr......",
        "......rRr.......",
        ".....rRrRr......",
        "....rRr.rRr.....",
        "...rRr...rRr....",
        "..rRr.....rRr...",
        "..rr.......rr...",
        "................",
        "................",
        "................",
    ],
}


def png(rows):
    raw = b""
    for row in rows:
        assert len(row) == 16, row
        raw += b"\x00" + b"".join(bytes(PALETTE.get(c, (0, 0, 0, 0))) for c in row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", 16, len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "app", "icons")
    os.makedirs(out, exist_ok=True)
    for name, rows in IMAGES.items():
        assert len(rows) == 16, name
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(png(rows))


if __name__ == "__main__":
    main()
