"""Times Pillow's BILINEAR resize for the resample benchmark.

Reads commands on stdin: "load SW SH DW DH" makes an in-memory RGB picture
(the same pattern the benchmark uses), "run" resizes it once and prints the
milliseconds taken, "quit" ends.
"""
import sys
import time

from PIL import Image


def picture(w, h):
    rows = bytearray(w * h * 3)
    for y in range(h):
        base = y * w * 3
        for x in range(0, w):
            i = base + 3 * x
            rows[i] = (x * 7 + y * 3) & 255
            rows[i + 1] = (x ^ y) & 255
            rows[i + 2] = ((x + y) >> 2) & 255
    return Image.frombytes("RGB", (w, h), bytes(rows))


def main():
    img = None
    size = None
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        if words[0] == "load":
            sw, sh, dw, dh = map(int, words[1:5])
            img = picture(sw, sh)
            size = (dw, dh)
            print("ok", flush=True)
        elif words[0] == "run":
            t = time.perf_counter()
            out = img.resize(size, Image.BILINEAR)
            out.tobytes()[:1]
            print("%.4f" % ((time.perf_counter() - t) * 1000.0), flush=True)
        elif words[0] == "quit":
            break


if __name__ == "__main__":
    main()
