#!/usr/bin/env python3
"""Peak memory and start-up delay of the saver with hostile bitmap files.

Runs the saver on the headless backend until its first frame is captured,
once in an empty working directory and once with five 1,080-byte RLE8 files
named 666 and 668 to 671, each declaring a 16384 x 4096 image of a single
end-of-bitmap mark. The two runs alternate; the report gives each one's
median peak RSS and wall time, and how much later the first frame came with
the files. With --size WxH the files declare that size instead (2048x2048
is the largest a file may decode into). For people reading results; nothing
here is a test.

    bench/bitmap_files.py [PROGRAM] [--runs N] [--size WxH]

PROGRAM defaults to build/pomrivel.
"""
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time


def hostile_rle8(width=16384, height=4096):
    palette = bytes(4 * 256)
    stream = bytes([0, 1])  # end of bitmap at once: every pixel index 0
    off_bits = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(stream), 2835, 2835, 256, 0)
    header = b"BM" + struct.pack("<IHHI", off_bits + len(stream), 0, 0, off_bits)
    return header + info + palette + stream


def run_once(program, cwd):
    out = tempfile.mkdtemp(prefix="frames-")
    env = dict(os.environ)
    env["POMRIVEL_BACKEND"] = "headless"
    # The first picture is the blank window; the second is the first frame.
    env["POMRIVEL_HEADLESS"] = f"capture={out};capture-first=1;capture-count=1;exit-after=600000"
    start = time.monotonic()
    proc = subprocess.Popen([program, "/s"], cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.monotonic() - start
    frames = len(os.listdir(out))
    subprocess.run(["rm", "-rf", out])
    if os.waitstatus_to_exitcode(status) != 0 or frames != 1:
        sys.exit(f"{program} in {cwd}: status {status}, {frames} frames captured")
    return usage.ru_maxrss / 1024, seconds  # MB, s


def main():
    args = sys.argv[1:]
    runs, width, height = 3, 16384, 4096
    if "--runs" in args:
        i = args.index("--runs")
        runs = int(args[i + 1])
        del args[i : i + 2]
    if "--size" in args:
        i = args.index("--size")
        width, height = (int(v) for v in args[i + 1].lower().split("x"))
        del args[i : i + 2]
    here = os.path.dirname(os.path.abspath(__file__))
    program = os.path.abspath(args[0] if args else os.path.join(here, "..", "build", "pomrivel"))
    if not os.access(program, os.X_OK):
        sys.exit(f"{sys.argv[0]}: no program at {program}")

    with tempfile.TemporaryDirectory() as empty, tempfile.TemporaryDirectory() as hostile:
        for name in ("666", "668", "669", "670", "671"):
            with open(os.path.join(hostile, name), "wb") as f:
                f.write(hostile_rle8(width, height))
        results = {"empty": [], "hostile": []}
        for _ in range(runs):
            for label, cwd in (("empty", empty), ("hostile", hostile)):
                results[label].append(run_once(program, cwd))

    med = {k: (statistics.median(r[0] for r in v), statistics.median(r[1] for r in v)) for k, v in results.items()}
    print(f"five {width}x{height} RLE8 files of {len(hostile_rle8(width, height))} bytes each, median of {runs} runs")
    for label in ("empty", "hostile"):
        print(f"{label:8} peak RSS {med[label][0]:8.1f} MB   run to first frame {med[label][1]:6.3f} s")
    print(f"first frame later with the five files by {med['hostile'][1] - med['empty'][1]:.3f} s")


if __name__ == "__main__":
    main()
