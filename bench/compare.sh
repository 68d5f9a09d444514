#!/bin/sh
# Runs gdi_bench and prints each drawing figure as a ratio to the memcpy of
# the same bytes, with PASS or MISS against its target. For people reading
# results; nothing here is a test.
#
#   bench/compare.sh [PROGRAM] [BENCHMARK OPTIONS...]
#   bench/compare.sh --json FILE      # summarise a saved --benchmark_out file
#
# PROGRAM defaults to build-bench/bench/gdi_bench. The run uses 5
# repetitions, interleaved at random, and compares medians of CPU time;
# options given after PROGRAM are passed on and can override these.
set -eu

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = "--json" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 --json FILE" >&2; exit 2; }
    json=$2
else
    program=${1:-$here/../build-bench/bench/gdi_bench}
    [ $# -gt 0 ] && shift
    [ -x "$program" ] || { echo "$0: no program at $program (build the gdi_bench target first)" >&2; exit 2; }
    json=$(mktemp "${TMPDIR:-/tmp}/gdi_bench.XXXXXX.json")
    trap 'rm -f "$json"' EXIT
    "$program" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true \
        --benchmark_out="$json" --benchmark_out_format=json "$@"
    echo
fi

python3 - "$json" <<'EOF'
import json, sys

# figure name (or prefix) -> (memcpy it is read against, target ratio or None)
PAIRS = [
    ("BM_BitBltCopy/640x480", "BM_Memcpy/640x480", 1.5),
    ("BM_MaskedPair/640x405", "BM_Memcpy/640x405", 4.0),
    ("BM_MaskedPair/mask_SRCAND_only", "BM_Memcpy/640x405", None),
    ("BM_MaskedPair/image_SRCPAINT_only", "BM_Memcpy/640x405", None),
    ("BM_RectangleClear/640x480", "BM_Memcpy/640x480", 1.5),
    ("BM_StretchBlt/640x480_to_1920x1080", "BM_Memcpy/1920x1080", None),
    ("BM_StretchBlt/107x181_mirrored", "BM_Memcpy/107x181", None),
    ("BM_Scene/640x480", "BM_Memcpy/640x480", 4.5),
    ("BM_Frame/640x480", "BM_Memcpy/640x480", 6.0),
    ("BM_ScaleLetterboxed/640x480_into_1920x1080", "BM_Memcpy/1920x1080", 2.5),
    ("BM_ScaleLetterboxed/640x480_into_1024x768", "BM_Memcpy/1024x768", None),
    ("BM_ScaleLetterboxed/640x480_into_1280x960", "BM_Memcpy/1280x960", None),
    ("BM_ScaleLetterboxed/640x480_into_200x150", "BM_Memcpy/200x150", None),
]
SCALE = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}

with open(sys.argv[1]) as f:
    runs = json.load(f)["benchmarks"]

median, cv, errors = {}, {}, {}
for r in runs:
    name = r.get("run_name", r["name"])
    if r.get("error_occurred"):
        errors[name] = r.get("error_message", "error")
        continue
    us = r["cpu_time"] * SCALE[r.get("time_unit", "ns")]
    kind = r.get("aggregate_name")
    if kind == "median":
        median[name] = [us]  # replaces any single repetitions listed before it
    elif kind is None and r.get("run_type", "iteration") == "iteration":
        median.setdefault(name, []).append(us)
    elif kind == "cv":
        cv[name] = r["cpu_time"]  # a fraction, whatever the unit says

def mid(xs):
    xs = sorted(xs)
    n = len(xs)
    return xs[n // 2] if n % 2 else (xs[n // 2 - 1] + xs[n // 2]) / 2

def fmt_cv(name):
    return f"{100 * cv[name]:4.1f}%" if name in cv else "   - "

print(f"{'figure':42} {'median us':>10} {'cv':>5}  {'memcpy us':>9} {'cv':>5}  {'ratio':>6} {'target':>6}  verdict")
misses = 0
def order(name):
    i = next((k for k, p in enumerate(PAIRS) if name.startswith(p[0])), len(PAIRS))
    return (i, name)

names = sorted({r.get("run_name", r["name"]) for r in runs}, key=order)
for name in names:
    if name in errors:
        print(f"{name:42} skipped: {errors.pop(name)}")
        continue
    if name not in median or name.startswith("BM_Memcpy/"):
        continue
    pair = next((p for p in PAIRS if name.startswith(p[0])), None)
    if pair is None:
        continue
    t = mid(median.pop(name))
    base_name, target = pair[1], pair[2]
    if base_name not in median:
        print(f"{name:42} {t:10.1f} {fmt_cv(name)}  (no {base_name} in this run)")
        continue
    base = mid(median[base_name])
    ratio = t / base
    if target is None:
        verdict, tgt = "(reported)", "-"
    else:
        verdict, tgt = ("PASS" if ratio <= target else "MISS"), f"{target:.1f}x"
        misses += verdict == "MISS"
    print(f"{name:42} {t:10.1f} {fmt_cv(name)}  {base:9.1f} {fmt_cv(base_name)}  {ratio:5.2f}x {tgt:>6}  {verdict}")
print(f"\n{misses} figure(s) miss their target." if misses else "\nEvery figure with a target meets it.")
EOF
