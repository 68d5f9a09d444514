#!/usr/bin/env bash
# What the running saver costs on a desktop: the real `pomrivel /s` on a
# private Xvfb at 640x480 and at 1920x1080. For each program and screen it
# prints the saver's and the X server's CPU (from /proc/PID/stat, over a
# fixed window once frames are showing), the saver's peak RSS (VmHWM), the
# time from exec to the first caption of the trace (the first frame: the
# saver sets the caption in its first frame), and the frame rate the caption
# shows.
#
#   bench/desktop_cost.sh [--seconds N] [--starts N] [--sizes "WxH ..."] [PROGRAM ...]
#
# PROGRAM defaults to build/pomrivel. Give two programs (say, a build before
# a change and one after) to measure them side by side in one run. It is a
# benchmark: it prints figures and never fails on them.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=8
starts=5
sizes="640x480 1920x1080"
programs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --starts) starts="$2"; shift 2 ;;
    --sizes) sizes="$2"; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) programs+=("$1"); shift ;;
  esac
done
[ ${#programs[@]} -gt 0 ] || programs=(build/pomrivel)
for p in "${programs[@]}"; do
  [ -x "$p" ] || { echo "desktop_cost: $p is not a program (build it first)" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "desktop_cost: Xvfb is not installed" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=""
saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill -KILL "$saver_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A FIFO held open at both ends: reading it only ever times out.
mkfifo "$work/pause"
exec 9<>"$work/pause"

ticks_per_second=$(getconf CLK_TCK)
now_ns() { date +%s%N; }
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
peak_rss_mb() { awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

start_xvfb() {
  local fifo="$work/display"
  rm -f "$fifo"
  mkfifo "$fifo"
  Xvfb -displayfd 4 -screen 0 "$1x24" -nolisten tcp -noreset 4>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r number <"$fifo"
  display=":$number"
}

stop_xvfb() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# Starts the saver with a fresh trace; sets saver_pid and first_ms (exec to
# the first caption), or first_ms=- when no frame came within 10 s.
start_saver() {
  local program="$1" trace="$work/trace" line
  : >"$trace"
  # Only shell builtins while the saver starts (the clock from
  # EPOCHREALTIME, the pause from a read that times out), so the watching
  # takes no CPU from the start it times.
  local t0=${EPOCHREALTIME/./}
  DISPLAY="$display" POMRIVEL_BACKEND=sdl POMRIVEL_TRACE="$trace" "$program" /s >/dev/null 2>&1 &
  saver_pid=$!
  first_ms=-
  local deadline=$((t0 + 10000000))
  while [ "${EPOCHREALTIME/./}" -lt $deadline ]; do
    while IFS= read -r line; do
      if [[ $line == "caption "* ]]; then
        first_ms=$(((${EPOCHREALTIME/./} - t0) / 1000))
        return
      fi
    done <"$trace"
    read -rt 0.001 -u 9 line || true
  done
}

stop_saver() {
  kill -TERM "$saver_pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$saver_pid" 2>/dev/null || true
  wait "$saver_pid" 2>/dev/null || true
  saver_pid=""
}

median() { tr ' ' '\n' | grep -v '^-*$' | sort -n | awk '{ a[NR] = $1 } END { if (NR) print a[int((NR + 1) / 2)]; else print "-" }'; }

printf '%-28s %-10s %8s %8s %9s %13s %6s\n' program screen "saver %" "X %" "peak MB" "first frame" fps
for size in $sizes; do
  for program in "${programs[@]}"; do
    start_xvfb "$size"
    # Start-up: several starts, the median.
    firsts=()
    for _ in $(seq "$starts"); do
      start_saver "$program"
      firsts+=("$first_ms")
      stop_saver
      # Let the X server finish with the last client first: a start right
      # behind another one's exit measures that clean-up too (SDL's start
      # alone takes twice as long then).
      sleep 0.5
    done
    first=$(echo "${firsts[*]}" | median)

    # Cost: one run, measured after two seconds of frames.
    start_saver "$program"
    sleep 2
    s0=$(cpu_ticks "$saver_pid"); x0=$(cpu_ticks "$xvfb_pid"); t0=$(now_ns)
    sleep "$seconds"
    s1=$(cpu_ticks "$saver_pid"); x1=$(cpu_ticks "$xvfb_pid"); t1=$(now_ns)
    rss=$(peak_rss_mb "$saver_pid")
    fps=$(grep '^caption "Frames Per Second' "$work/trace" | tail -n 1 | sed 's/[^0-9]//g')
    stop_saver
    stop_xvfb

    wall=$(((t1 - t0) / 1000000))
    saver_pct=$(awk -v t=$((s1 - s0)) -v hz="$ticks_per_second" -v ms="$wall" 'BEGIN { printf "%.1f", 100 * t / hz / (ms / 1000) }')
    x_pct=$(awk -v t=$((x1 - x0)) -v hz="$ticks_per_second" -v ms="$wall" 'BEGIN { printf "%.1f", 100 * t / hz / (ms / 1000) }')
    printf '%-28s %-10s %8s %8s %9s %10s ms %6s\n' "$program" "$size" "$saver_pct" "$x_pct" "$rss" "$first" "${fps:--}"
  done
done
