#!/usr/bin/env python3
"""Draws the user guide's pictures from the numbers the DLL computed
(tools/docs_data.cpp): curves.png, blends.png and frustum.png.

    pictures.py DATA.json OUT_FOLDER
"""

import json
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

# The same bytes from the same numbers: no time stamp, no version in the file.
METADATA = {"Software": None}


def save(fig, folder, name):
    fig.savefig(os.path.join(folder, name), dpi=100, metadata=METADATA, bbox_inches="tight")
    plt.close(fig)


def curves(data, folder):
    fig, ax = plt.subplots(figsize=(6.4, 4.0))
    points = data["points"]
    ax.plot([p[0] for p in points], [p[1] for p in points], "o--", color="0.6", label="points p0 .. p3")
    for i, p in enumerate(points):
        ax.annotate(f"p{i}", p, textcoords="offset points", xytext=(6, -12))
    styles = {"pVec2_CatmullRom": "-", "pVec2_Hermite": "-.", "pVec2_Cubic": ":", "pVec2_Bezier": "--"}
    for name, line in data["curves"].items():
        ax.plot([p[0] for p in line], [p[1] for p in line], styles[name], linewidth=2, label=name)
    ax.set_title("The four curve commands through the same points, s from 0 to 1")
    ax.set_aspect("equal")
    ax.legend(loc="lower center", fontsize=8)
    save(fig, folder, "curves.png")


def blends(data, folder):
    fig, axes = plt.subplots(1, 3, figsize=(9.6, 3.4))
    a, b = data["from"], data["to"]
    for ax, (name, points) in zip(axes, data["blends"].items()):
        circle = [(math.cos(t / 50 * math.pi), math.sin(t / 50 * math.pi)) for t in range(101)]
        ax.plot([c[0] for c in circle], [c[1] for c in circle], color="0.85")
        for v, colour in ((a, "tab:blue"), (b, "tab:red")):
            ax.annotate("", v, (0, 0), arrowprops={"arrowstyle": "->", "color": colour, "linewidth": 2})
        for p in points:
            ax.annotate("", p, (0, 0), arrowprops={"arrowstyle": "->", "color": "0.4"})
        ax.plot([p[0] for p in points], [p[1] for p in points], "o", color="black", markersize=3)
        ax.set_title(f"{name}, t = 0, 1/8 .. 1", fontsize=9)
        ax.set_xlim(-0.2, 1.1)
        ax.set_ylim(-0.1, 1.1)
        ax.set_aspect("equal")
        ax.set_xticks([])
        ax.set_yticks([])
    fig.suptitle("From a (blue, length 1) to b (red, length 0.6)")
    save(fig, folder, "blends.png")


def frustum(data, folder):
    fig, ax = plt.subplots(figsize=(6.4, 5.2))
    names = ["right", "left", "bottom", "top", "far", "near"]
    xs = [-14, 14]
    for name, (a, b, c, d) in zip(names, data["planes"]):
        if name in ("bottom", "top") or (abs(a) < 1e-6 and abs(c) < 1e-6):
            continue  # seen from above, these planes do not cut the x-z plane in a line
        if abs(c) > 1e-6:  # a·x + c·z + d = 0
            ax.plot(xs, [-(a * x + d) / c for x in xs], color="black", linewidth=1)
            x_label = 9 if name == "right" else -9
            ax.annotate(name, (x_label, -(a * x_label + d) / c), fontsize=8)
    colours = {1: "tab:green", 0: "tab:orange", -1: "tab:red"}
    for x, z, r, test, cut in data["spheres"]:
        ax.add_patch(plt.Circle((x, z), r, color=colours[cut], alpha=0.75 if test else 0.25,
                                fill=bool(test), linewidth=1))
    ax.set_xlim(-14, 14)
    ax.set_ylim(-2, 22.5)
    ax.set_aspect("equal")
    ax.set_xlabel("x")
    ax.set_ylabel("z (the view looks along +z)")
    ax.set_title("Spheres against a perspective view, seen from above\n"
                 "filled: TestSphere keeps it (1), hollow: rejects it (0)\n"
                 "IntersectSphere: green inside (1), orange crossing (0), red outside (-1)", fontsize=10)
    save(fig, folder, "frustum.png")


def main():
    data_path, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    with open(data_path, encoding="utf-8") as f:
        data = json.load(f)
    curves(data, folder)
    blends(data, folder)
    frustum(data, folder)


if __name__ == "__main__":
    main()
