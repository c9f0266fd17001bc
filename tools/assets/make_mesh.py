#!/usr/bin/env python3
"""Writes the stage background's board: a flat mesh in the X-file text form
(game/mesh/board.x) and the tile picture it is textured with
(game/texture/board.bmp).

The board lies on the ground plane (y = 0), 12 units wide (x -6..6) and
8 units deep (z 0..8), cut into 3 x 2 quads; its texture coordinates repeat
the tile every 4 units (the mesh pass wraps them). Stage scripts lay boards
one behind the other and slide them towards the camera.

    python3 tools/assets/make_mesh.py

Standard library only (the picture uses make_images.py's canvas).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_images import Canvas  # noqa: E402

# A road rather than a floor: the software rasteriser pays for every board
# pixel, and a 24-wide board covering the whole screen cost a quarter of a
# frame on one core.
WIDTH, DEPTH = 12.0, 8.0
COLUMNS, ROWS = 3, 2
TILE = 4.0


def board_x():
    vertices, coords, faces = [], [], []
    for row in range(ROWS + 1):
        for column in range(COLUMNS + 1):
            x = -WIDTH / 2 + WIDTH * column / COLUMNS
            z = DEPTH * row / ROWS
            vertices.append((x, 0.0, z))
            coords.append(((x + WIDTH / 2) / TILE, z / TILE))
    for row in range(ROWS):
        for column in range(COLUMNS):
            a = row * (COLUMNS + 1) + column
            b, c, d = a + 1, a + COLUMNS + 1, a + COLUMNS + 2
            # Clockwise seen from above (y up, left-handed): the visible side.
            faces.append((a, c, d))
            faces.append((a, d, b))

    def listed(items, form):
        return ",\n".join("    " + form(item) for item in items) + ";"

    return "\n".join([
        "xof 0303txt 0032",
        "// Sorvanthe: the stage background's board (made by tools/assets/make_mesh.py).",
        "Mesh board {",
        f"  {len(vertices)};",
        listed(vertices, lambda v: f"{v[0]:.4f};{v[1]:.4f};{v[2]:.4f};"),
        f"  {len(faces)};",
        listed(faces, lambda f: f"3;{f[0]},{f[1]},{f[2]};"),
        "  MeshMaterialList {",
        "    1;",
        f"    {len(faces)};",
        listed([0] * len(faces), lambda m: f"{m}"),
        "    Material {",
        "      1.000000;1.000000;1.000000;1.000000;;",
        "      0.000000;",
        "      0.000000;0.000000;0.000000;;",
        "      0.000000;0.000000;0.000000;;",
        '      TextureFilename { "board.bmp"; }',
        "    }",
        "  }",
        "  MeshTextureCoords {",
        f"    {len(coords)};",
        listed(coords, lambda t: f"{t[0]:.4f};{t[1]:.4f};"),
        "  }",
        "}",
        "",
    ])


def board_bmp():
    """A dark tile with a lit rim and a small mark in the middle."""
    c = Canvas(64, 64)
    c.rect(0, 0, 64, 64, (14, 20, 44, 255))
    c.rect(0, 0, 64, 3, (50, 90, 160, 255))
    c.rect(0, 0, 3, 64, (50, 90, 160, 255))
    c.rect(29, 29, 35, 35, (36, 60, 110, 255))
    return c.bmp()


def main():
    game = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "game")
    os.makedirs(os.path.join(game, "mesh"), exist_ok=True)
    with open(os.path.join(game, "mesh", "board.x"), "w", newline="\r\n") as f:
        f.write(board_x())
    with open(os.path.join(game, "texture", "board.bmp"), "wb") as f:
        f.write(board_bmp())


if __name__ == "__main__":
    main()
