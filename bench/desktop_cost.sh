#!/usr/bin/env bash
# What the running saver costs on a desktop: the real `pomrivel /s` on a
# private Xvfb at each screen size. For each program and screen it prints,
# for each scene on its own (the landscape from 2 s after the start, the
# sand after the third walk, which begins about 56 s after the start), the
# saver's and the X server's CPU (from /proc/PID/stat), the saver's wakeups
# a second (voluntary context switches), its peak RSS (VmHWM), the time from
# exec to the first caption of the trace (the first frame: the saver sets
# the caption in its first frame; the median of several starts), and the
# frame rate the caption shows.
#
#   bench/desktop_cost.sh [--seconds N] [--starts N] [--sizes "WxH ..."] [--no-sand] [--sway] [PROGRAM ...]
#
# --sway adds the saver on sway (headless, the pixman renderer), the saver
# plus the compositor (and XWayland): natively on two outputs, 1920x1080
# and 3840x2160, and through XWayland on one output of the same size in
# all, 4320x2400.
#
# PROGRAM defaults to build/pomrivel. Give two programs (say, a build before
# a change and one after) to measure them side by side in one run; a
# program that needs another backend name than x11 (an older build: sdl)
# can be given as BACKEND:PROGRAM. It is a benchmark: it prints figures and
# never fails on them.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=8
starts=5
sizes="640x480 1920x1080 3840x2160"
sand=yes
sway=no
programs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --starts) starts="$2"; shift 2 ;;
    --sizes) sizes="$2"; shift 2 ;;
    --no-sand) sand=no; shift ;;
    --sway) sway=yes; shift ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) programs+=("$1"); shift ;;
  esac
done
[ ${#programs[@]} -gt 0 ] || programs=(build/pomrivel)
for p in "${programs[@]}"; do
  [ -x "${p#*:}" ] || { echo "desktop_cost: ${p#*:} is not a program (build it first)" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "desktop_cost: Xvfb is not installed" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=""
saver_pid=""
sway_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill -KILL "$saver_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null || true
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
wakeups() { awk '/^voluntary_ctxt_switches:/ { print $2 }' "/proc/$1/status"; }
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

# Starts the saver with a fresh trace and runtime folder; sets saver_pid,
# started_ns and first_ms (exec to the first caption), or first_ms=- when no
# frame came within 10 s.
start_saver() {
  local program="${1#*:}" backend=x11 trace="$work/trace" line
  [[ $1 == *:* ]] && backend="${1%%:*}"
  : >"$trace"
  rm -rf "$work/runtime"
  mkdir -m 700 "$work/runtime"
  # Only shell builtins while the saver starts (the clock from
  # EPOCHREALTIME, the pause from a read that times out), so the watching
  # takes no CPU from the start it times.
  local t0=${EPOCHREALTIME/./}
  started_ns=$(now_ns)
  DISPLAY="$display" WAYLAND_DISPLAY= POMRIVEL_BACKEND="$backend" XDG_RUNTIME_DIR="$work/runtime" \
    POMRIVEL_TRACE="$trace" "$program" /s >/dev/null 2>&1 &
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

# Sleeps until `$1` seconds after the saver started.
sleep_until() {
  local left_ms=$(( $1 * 1000 - ($(now_ns) - started_ns) / 1000000 ))
  [ "$left_ms" -gt 0 ] && sleep "$(awk -v ms="$left_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  return 0
}

# Measures the running saver for `seconds` and prints one row.
measure() {
  local program="$1" size="$2" scene="$3" first="$4"
  local s0 x0 w0 t0 s1 x1 w1 t1
  s0=$(cpu_ticks "$saver_pid"); x0=$(cpu_ticks "$xvfb_pid"); w0=$(wakeups "$saver_pid"); t0=$(now_ns)
  sleep "$seconds"
  s1=$(cpu_ticks "$saver_pid"); x1=$(cpu_ticks "$xvfb_pid"); w1=$(wakeups "$saver_pid"); t1=$(now_ns)
  local rss fps wall
  rss=$(peak_rss_mb "$saver_pid")
  fps=$(grep '^caption "Frames Per Second' "$work/trace" | tail -n 1 | sed 's/[^0-9]//g')
  wall=$(((t1 - t0) / 1000000))
  awk -v p="$program" -v size="$size" -v scene="$scene" -v st=$((s1 - s0)) -v xt=$((x1 - x0)) -v w=$((w1 - w0)) \
      -v hz="$ticks_per_second" -v ms="$wall" -v rss="$rss" -v first="$first" -v fps="${fps:--}" 'BEGIN {
    printf "%-28s %-10s %-9s %8.1f %8.1f %9.0f %9s %10s ms %5s\n", p, size, scene, 100 * st / hz / (ms / 1000),
      100 * xt / hz / (ms / 1000), w / (ms / 1000), rss, first, fps }'
}

printf '%-28s %-10s %-9s %8s %8s %9s %9s %13s %5s\n' program screen scene "saver %" "X %" "wakeups/s" "peak MB" \
  "first frame" fps
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
      # behind another one's exit measures that clean-up too.
      sleep 0.5
    done
    first=$(echo "${firsts[*]}" | median)

    # Cost: one run, the landscape once frames have flowed for two seconds,
    # the sand once the third walk has begun.
    start_saver "$program"
    sleep_until 2
    measure "$program" "$size" landscape "$first"
    if [ "$sand" = yes ]; then
      sleep_until 58
      measure "$program" "$size" sand "$first"
    fi
    stop_saver
    stop_xvfb
  done
done

[ "$sway" = yes ] || exit 0
command -v sway >/dev/null || { echo "desktop_cost: sway is not installed; no sway figures" >&2; exit 0; }

# sway as the user nobody (it will not run as root), in a runtime folder of
# its own; sets sway_pid and sway_dir, and x11_display when XWayland is on.
start_sway() {
  local xwayland="$1"; shift
  # Outside the work folder, which only root may enter.
  sway_dir=$(mktemp -d)
  mkdir -p "$sway_dir/home"
  {
    echo "xwayland $xwayland"
    local n=1
    for output in "$@"; do echo "output HEADLESS-$n $output"; n=$((n + 1)); done
  } >"$sway_dir/config"
  chown -R nobody:nogroup "$sway_dir"
  chmod 700 "$sway_dir"
  local before
  before=$(ls /tmp/.X11-unix 2>/dev/null || true)
  setpriv --reuid=nobody --regid=nogroup --clear-groups -- env -i PATH=/usr/bin:/bin HOME="$sway_dir/home" \
    XDG_RUNTIME_DIR="$sway_dir" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_HEADLESS_OUTPUTS=$# sway -c "$sway_dir/config" >/dev/null 2>&1 &
  sway_pid=$!
  for _ in $(seq 100); do [ -S "$sway_dir/wayland-1" ] && break; sleep 0.05; done
  sleep 0.5  # the outputs configured
  x11_display=""
  if [ "$xwayland" = enable ]; then
    local x
    for x in $(ls /tmp/.X11-unix 2>/dev/null); do
      grep -qx "$x" <<<"$before" || x11_display=":${x#X}"
    done
  fi
}

stop_sway() {
  kill "$sway_pid" 2>/dev/null || true
  wait "$sway_pid" 2>/dev/null || true
  sway_pid=""
  rm -rf "$sway_dir"
}

# The saver on sway, natively or through XWayland (as nobody, whose
# XWayland it is); its CPU with sway's and XWayland's over `seconds`, from
# two seconds after the start.
measure_sway() {
  local program="${1#*:}" backend=x11 setup="$2" way="$3"
  [[ $1 == *:* ]] && backend="${1%%:*}"
  local runtime="$sway_dir/saver-runtime"
  mkdir -m 700 "$runtime"
  if [ "$way" = native ]; then
    WAYLAND_DISPLAY="$sway_dir/wayland-1" DISPLAY= POMRIVEL_BACKEND=wayland XDG_RUNTIME_DIR="$runtime" \
      "$program" /s >/dev/null 2>"$work/saver.err" &
    saver_pid=$!
  else
    chown nobody:nogroup "$runtime"
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- env DISPLAY="$x11_display" WAYLAND_DISPLAY= \
      POMRIVEL_BACKEND="$backend" XDG_RUNTIME_DIR="$runtime" "$program" /s >/dev/null 2>"$work/saver.err" &
    saver_pid=$!
  fi
  sleep 2
  if ! kill -0 "$saver_pid" 2>/dev/null; then
    echo "desktop_cost: the saver ended on sway ($setup): $(cat "$work/saver.err" 2>/dev/null)" >&2
    saver_pid=""
    return
  fi
  local xw="" s0 c0 x0=0 w0 t0 s1 c1 x1=0 w1 t1
  [ "$way" = native ] || xw=$(pgrep -n -u nobody -x Xwayland || true)
  s0=$(cpu_ticks "$saver_pid"); c0=$(cpu_ticks "$sway_pid"); w0=$(wakeups "$saver_pid"); t0=$(now_ns)
  [ -n "$xw" ] && x0=$(cpu_ticks "$xw")
  sleep "$seconds"
  s1=$(cpu_ticks "$saver_pid"); c1=$(cpu_ticks "$sway_pid"); w1=$(wakeups "$saver_pid"); t1=$(now_ns)
  [ -n "$xw" ] && x1=$(cpu_ticks "$xw")
  local rss wall
  rss=$(peak_rss_mb "$saver_pid")
  wall=$(((t1 - t0) / 1000000))
  stop_saver
  awk -v p="$1" -v setup="$setup" -v st=$((s1 - s0)) -v ct=$((c1 - c0)) -v xt=$((x1 - x0)) -v w=$((w1 - w0)) \
      -v hz="$ticks_per_second" -v ms="$wall" -v rss="$rss" 'BEGIN {
    s = 100 * st / hz / (ms / 1000); c = 100 * ct / hz / (ms / 1000); x = 100 * xt / hz / (ms / 1000)
    printf "%-28s %-34s %8.1f %8.1f %9.1f %8.1f %9.0f %9s\n", p, setup, s, c, x, s + c + x, w / (ms / 1000), rss }'
}

echo
printf '%-28s %-34s %8s %8s %9s %8s %9s %9s\n' program "sway, landscape" "saver %" "sway %" "XWayland %" "total %" \
  "wakeups/s" "peak MB"
for program in "${programs[@]}"; do
  if [[ $program != sdl:* ]]; then
    start_sway disable "resolution 1920x1080 position 0,0" "resolution 3840x2160 position 1920,0"
    measure_sway "$program" "native, 1920x1080 + 3840x2160" native
    stop_sway
  fi
  start_sway enable "resolution 4320x2400 position 0,0"
  if [ -n "$x11_display" ]; then
    measure_sway "$program" "XWayland, 4320x2400" xwayland
  else
    echo "desktop_cost: sway started no XWayland (is the xwayland package installed?)" >&2
  fi
  stop_sway
done
