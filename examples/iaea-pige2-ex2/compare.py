#!/usr/bin/env python3
"""Compares the curves reproduce.sh made with the published stochastic-theory
curves of the exercise: a Markdown table of edge measures and an SVG figure.
Standard library only.
    python3 compare.py <folder of the published .csv files> <folder of the curves>
"""
import math
import sys
from pathlib import Path

RESONANCE = 1683.3  # keV
PLATEAU = (RESONANCE + 3.0, RESONANCE + 4.5)  # keV, the plateau the curves are divided by
COMPARED = (1682.0, 1688.0)  # keV, the exercise's beam energies

CASES = [  # title, published file, our curves (first one is the case's own), energies drawn
    ("No beam spread, no Doppler", "stochastic_no_beam_spread_noDoppler_50eV_step_bugfixed.csv",
     ["no-doppler", "doppler"], (1682.5, 1686.0)),
    ("No beam spread, Doppler at 300 K", "stochastic_no_beam_spread_50eV_step.csv",
     ["doppler", "sigma-100", "no-doppler"], (1682.5, 1686.0)),
    ("1 keV beam spread, Doppler at 300 K", "stochastic_1keV_beam_spread_50eV_step.csv",
     ["spread-fwhm", "spread-sigma"], (1681.0, 1688.0)),
]
LABELS = {
    "no-doppler": "Tervane, no Doppler",
    "doppler": "Tervane, Doppler sigma 57 eV",
    "sigma-100": "Tervane, sigma 100 eV as published",
    "spread-fwhm": "Tervane, 1 keV as FWHM",
    "spread-sigma": "Tervane, 1 keV as sigma",
}


def read_published(path):
    rows = path.read_text().splitlines()[1:]
    return [tuple(float(v) for v in row.split(",")) for row in rows if row.strip()]


def read_curve(path):
    return [tuple(float(v) for v in row.split()) for row in path.read_text().splitlines()
            if row.strip()]


def normalised(curve):
    inside = [y for x, y in curve if PLATEAU[0] <= x <= PLATEAU[1]]
    plateau = sum(inside) / len(inside)
    return [(x, y / plateau) for x, y in curve]


def crossing(curve, level):
    """Energy where the curve first rises through `level`, linearly interpolated."""
    for (x0, y0), (x1, y1) in zip(curve, curve[1:]):
        if y0 < level <= y1:
            return x0 + (level - y0) * (x1 - x0) / (y1 - y0)
    return math.nan


def value_at(curve, x):
    for (x0, y0), (x1, y1) in zip(curve, curve[1:]):
        if x0 <= x <= x1:
            return y0 + (x - x0) * (y1 - y0) / (x1 - x0)
    return 0.0 if x < curve[0][0] else math.nan


def measures(curve):
    half = crossing(curve, 0.5)
    rise = crossing(curve, 0.88) - crossing(curve, 0.12)
    overshoot = max(y for x, y in curve if x <= PLATEAU[1]) - 1.0
    return half, rise, overshoot


def rms_difference(ours, published):
    diffs = [value_at(ours, x) - y for x, y in published if COMPARED[0] <= x <= COMPARED[1]]
    return math.sqrt(sum(d * d for d in diffs) / len(diffs))


def table(data, curves):
    lines = []
    for title, file, ours, _ in CASES:
        published = data[file]
        lines += [f"**{title}**", "",
                  "| curve | half height (keV) | 12-88% rise (eV) | overshoot (%) | RMS difference (%) |",
                  "|---|---|---|---|---|"]
        half, rise, over = measures(published)
        lines.append(f"| published (stochastic theory) | {half:.3f} | {rise * 1000:.0f} | "
                     f"{over * 100:.1f} | — |")
        for name in ours:
            half, rise, over = measures(curves[name])
            rms = rms_difference(curves[name], published)
            lines.append(f"| {LABELS[name]} | {half:.3f} | {rise * 1000:.0f} | {over * 100:.1f} | "
                         f"{rms * 100:.2f} |")
        lines.append("")
    return "\n".join(lines)


def svg(data, curves):
    width, height, panel_w, top, bottom, left = 1020, 340, 300, 30, 290, 45
    y_range = (0.0, 1.5)
    colours = ["#c0392b", "#2471a3", "#7d8c2e"]
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           'font-family="sans-serif" font-size="10">',
           f'<rect width="{width}" height="{height}" fill="white"/>']
    for k, (title, file, ours, x_range) in enumerate(CASES):
        x0 = left + k * (panel_w + 35)

        def px(x):
            return x0 + (x - x_range[0]) / (x_range[1] - x_range[0]) * panel_w

        def py(y):
            return bottom - (y - y_range[0]) / (y_range[1] - y_range[0]) * (bottom - top)

        def path(curve, colour, dash=""):
            points = " ".join(f"{px(x):.1f},{py(y):.1f}" for x, y in curve
                              if x_range[0] <= x <= x_range[1])
            return (f'<polyline fill="none" stroke="{colour}" stroke-width="1.4" {dash}'
                    f'points="{points}"/>')

        out.append(f'<rect x="{x0}" y="{top}" width="{panel_w}" height="{bottom - top}" '
                   'fill="none" stroke="black"/>')
        out.append(f'<text x="{x0 + panel_w / 2}" y="{top - 10}" text-anchor="middle">{title}</text>')
        ticks = range(math.ceil(x_range[0]), math.floor(x_range[1]) + 1)
        for e in ticks if len(ticks) < 6 else ticks[::2]:
            out.append(f'<text x="{px(e):.1f}" y="{bottom + 15}" text-anchor="middle">{e}</text>')
        for y in (0.0, 0.5, 1.0, 1.5):
            out.append(f'<text x="{x0 - 5}" y="{py(y) + 4:.1f}" text-anchor="end">{y:.1f}</text>')
        out.append(f'<text x="{x0 + panel_w / 2}" y="{bottom + 30}" text-anchor="middle">'
                   'beam energy (keV)</text>')
        out.append(path(data[file], "black"))
        for i, name in enumerate(ours):
            out.append(path(curves[name], colours[i], 'stroke-dasharray="5,3" ' if i == 1 else ""))
        legend = [("published (stochastic theory)", "black")] + [
            (LABELS[name], colours[i]) for i, name in enumerate(ours)]
        for i, (text, colour) in enumerate(legend):
            y = py(0.45) + 14 * i
            dash = 'stroke-dasharray="5,3" ' if i == 2 else ""
            out.append(f'<line x1="{x0 + 110}" y1="{y - 4}" x2="{x0 + 130}" y2="{y - 4}" {dash}'
                       f'stroke="{colour}" stroke-width="1.4"/>')
            out.append(f'<text x="{x0 + 134}" y="{y}">{text}</text>')
    out.append("</svg>")
    return "\n".join(out)


def main():
    published_dir, curves_dir = Path(sys.argv[1]), Path(sys.argv[2])
    data = {file: normalised(read_published(published_dir / file)) for _, file, _, _ in CASES}
    curves = {name: normalised(read_curve(curves_dir / f"curve-{name}.txt")) for name in LABELS}
    (curves_dir / "comparison.md").write_text(table(data, curves))
    (curves_dir / "comparison.svg").write_text(svg(data, curves))
    print(table(data, curves))


if __name__ == "__main__":
    main()
