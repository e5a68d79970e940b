#!/usr/bin/python3
"""axis_oracle.py DALK_AXIS: dalk-axis's fitted values against the exact
least-squares line, in rational arithmetic, of the decimals as written.

On pseudo-random measurement sets (the same ones every run) of 2 to 10,000
measurements, at slices near 0, near +-2,000,000,000 with a spread of 2,048,
and across the whole 32-bit range, each printed axis value must be the exact
value rounded to six decimals, a tie to even, unless the exact value lies
within 1e-9 of a rounding boundary. A failure names the set and the value.
"""
import random
import subprocess
import sys
import tempfile
from fractions import Fraction

MARGIN = Fraction(1, 10**9)


def exact_line(points):
    n = len(points)
    sx = sum(x for x, _ in points)
    sy = sum(y for _, y in points)
    sxx = n * sum(x * x for x, _ in points) - sx * sx
    sxy = n * sum(x * y for x, y in points) - sx * sy
    slope = Fraction(sxy) / sxx
    return lambda at: (sy + slope * (n * at - sx)) / n


def six_decimals(v):
    """%.6f of the exact v, or None within MARGIN of a boundary or of 0."""
    scaled = v * 10**6
    whole = scaled.numerator // scaled.denominator
    rest = scaled - whole
    if abs(rest - Fraction(1, 2)) < MARGIN * 10**6 or abs(v) < MARGIN:
        return None
    rounded = whole + (1 if rest > Fraction(1, 2) else 0)
    sign = "-" if v < 0 else ""
    rounded = abs(rounded)
    return f"{sign}{rounded // 10**6}.{rounded % 10**6:06d}"


def axis_text(rng):
    whole = rng.randrange(0, 5000)
    digits = rng.randrange(0, 10)
    text = str(whole) + ("." + "".join(rng.choice("0123456789") for _ in range(digits)) if digits else "")
    if rng.random() < 0.1:
        text = "-" + text
    if rng.random() < 0.1:
        text += "e" + str(rng.randrange(-3, 2))
    return text


def measurement_set(rng, count):
    kind = rng.randrange(4)
    if kind == 0:
        low, spread = rng.randrange(-3000, 3000), rng.choice([1, 10, 2048])
    elif kind == 1:
        low, spread = rng.choice([2_000_000_000, -2_000_002_048]), 2048
    elif kind == 2:
        low, spread = -2**31, 2**32 - 1
    else:
        low, spread = rng.randrange(-10**6, 10**6), rng.randrange(2, 10**5)
    lines = []
    slices = set()
    while len(lines) < count or len(slices) < 2:
        s = low + rng.randrange(spread + 1)
        slices.add(s)
        lines.append((s, axis_text(rng)))
    first, last = min(slices), max(slices)
    ends = sorted(rng.randrange(max(-2**31, first - spread), min(2**31 - 1, last + spread) + 1)
                  for _ in range(2))
    return lines, ends


def main():
    tool = sys.argv[1]
    rng = random.Random(2026_12_10)
    sizes = [2] * 60 + [3] * 60 + [5] * 40 + [20] * 40 + [200] * 20 + [2000] * 4 + [10000] * 4
    checked = skipped = failed = 0
    for number, count in enumerate(sizes):
        lines, (start, end) = measurement_set(rng, count)
        text = "".join(f"{s} {a}\n" for s, a in lines)
        with tempfile.TemporaryFile() as f:
            f.write(text.encode())
            f.seek(0)
            run = subprocess.run([tool, str(start), str(end)], stdin=f, capture_output=True,
                                 timeout=60)
        line = exact_line([(s, Fraction(a)) for s, a in lines])
        words = run.stdout.decode().split()
        if run.returncode != 0 or len(words) != 5:
            print(f"FAIL: set {number} ({count} measurements, {start} {end}): status "
                  f"{run.returncode}, {run.stderr.decode()[:200]!r}")
            failed += 1
            continue
        for at, got in ((start, words[2]), (end, words[4])):
            want = six_decimals(line(at))
            if want is None:
                skipped += 1
            elif got == want:
                checked += 1
            else:
                failed += 1
                print(f"FAIL: set {number} ({count} measurements at slices "
                      f"{min(s for s, _ in lines)}..{max(s for s, _ in lines)}): "
                      f"at slice {at}, {got}, want {want} (exact {float(line(at))!r})")
    # A million equal measurements: one pass of a double sum misses their
    # mean by 3e-8, across the boundary 1e-8 from it.
    with tempfile.TemporaryFile() as f:
        f.write(b"0 4096.10000051\n1 4096.10000051\n" * 500000)
        f.seek(0)
        run = subprocess.run([tool, "0", "1"], stdin=f, capture_output=True, timeout=60)
    if run.stdout == b"dalk 0 4096.100001 1 4096.100001\n":
        checked += 1
    else:
        failed += 1
        print(f"FAIL: a million measurements of 4096.10000051: {run.stdout[:80]!r}")
    print(f"axis oracle: {checked} values exact, {skipped} near a boundary, {failed} wrong")
    sys.exit(1 if failed or checked < len(sizes) else 0)


if __name__ == "__main__":
    main()
