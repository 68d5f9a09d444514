#!/usr/bin/env bash
# The Windows saver end to end under Wine, on an Xvfb screen of 640x480x24
# (so the saver's switch to 640x480 asks for the mode the X server has):
#
#   /p 1234  ends at once with status 0;
#   /c, /a   show their boxes, found by title, with the exact texts (Wine's
#            msgbox trace names the text each box was made with); a press
#            of the space bar closes them and the saver ends with status 0;
#   /s       opens a full-screen window, topmost as Win32 sees it, whose
#            caption soon shows the frame rate; a screenshot two seconds
#            later shows the scene, pixel for pixel the frame of the native
#            build's headless capture with the same scroll position; a key
#            release ends it with status 0 within two seconds.
#
# usage: e2e.sh POMRIVEL.SCR NATIVE_BUILD WORK_DIR WINDOW_STYLE.EXE
# NATIVE_BUILD holds pomrivel-capture; WINDOW_STYLE.EXE prints a window's
# extended style from inside Wine. The prefix is POMRIVEL_WINEPREFIX or
# wineprefix next to the .scr, made by scripts/wine-run.sh when missing.
set -uo pipefail

scr="$(realpath "$1")"
native="$(realpath "$2")"
work="$3"
window_style="$(realpath "$4")"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
wine_run="$root/scripts/wine-run.sh"
export POMRIVEL_WINEPREFIX="${POMRIVEL_WINEPREFIX:-$(dirname "$scr")/wineprefix}"
export WINEPREFIX="$POMRIVEL_WINEPREFIX"

# Rows of the screenshot that must equal the captured frame: all of them.
exact_from=0
exact_to=479

rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
now() { date +%s%N; }
ms_since() { echo $((($(now) - $1) / 1000000)); }

# Waits up to $2 seconds for process $1 to end; its status in $status.
wait_exit() {
  local pid=$1 limit_ms=$(($2 * 1000)) start
  start=$(now)
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$(ms_since "$start")" -gt "$limit_ms" ]; then
      status=timeout
      kill "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      return 1
    fi
    sleep 0.05
  done
  wait "$pid"
  status=$?
  return 0
}

# A shown window whose title matches the regular expression $1, within $2 seconds.
find_window() {
  local start w
  start=$(now)
  while [ "$(ms_since "$start")" -lt $(($2 * 1000)) ]; do
    w="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)"
    if [ -n "$w" ]; then
      echo "$w"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

c++ -std=c++17 -O2 -I "$root/tests" -o "$work/screen-match" "$here/screen_match.cpp" "$root/tests/support/png.cpp" \
  $(pkg-config --cflags --libs libpng) ||
  { echo "FAIL: cannot build screen-match"; exit 1; }
[ -x "$native/pomrivel-capture" ] || { echo "FAIL: no $native/pomrivel-capture (build the native tree first)"; exit 1; }

# A wineserver left from other tests belongs to another display; let it end
# so this run's starts on ours.
wineserver -w 2>/dev/null

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
echo "Xvfb on $DISPLAY"
cleanup() {
  wineserver -k 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
}
trap cleanup EXIT

# The prefix, made now if missing, so no timing below includes making it.
start=$(now)
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "Wine cannot start a program in $WINEPREFIX"
echo "Wine ready in $(ms_since "$start") ms"

# ---- /p 1234: the preview is not supported; the saver ends at once -------
start=$(now)
"$wine_run" "$scr" /p 1234 &
pid=$!
if wait_exit $pid 10; then
  echo "/p 1234: status $status after $(ms_since "$start") ms (Wine's start included)"
  [ "$status" = 0 ] || fail "/p 1234 ended with status $status"
else
  fail "/p 1234 still running after 10 s"
fi

# ---- /c and /a: the boxes ------------------------------------------------
check_box() {
  local switch=$1 title=$2 text=$3 trace="$work/box-${1#/}.log" w
  WINEDEBUG=trace+msgbox "$wine_run" "$scr" "$switch" 2>"$trace" &
  local pid=$!
  if ! w="$(find_window "^${title//./\\.}\$" 20)"; then
    fail "$switch: no window titled '$title'"
    kill $pid 2>/dev/null
    wait $pid 2>/dev/null
    return
  fi
  if grep -qF "MSGBOX_OnInit L\"$text\"" "$trace"; then
    echo "$switch: box '$title' with the text '$text'"
  else
    fail "$switch: the box's text is not '$text': $(grep MSGBOX_OnInit "$trace")"
  fi
  # The space bar, not Return: the box's button takes the press and clicks
  # on the release, so the box sees both. Return closes the box on its
  # press; its release then reaches no Wine window, and a Wine that keeps
  # the key state (10 does) still has Return down when the saver's window
  # gets the focus next, and sends it the release, which ends the saver.
  xdotool key space
  if wait_exit $pid 10; then
    [ "$status" = 0 ] || fail "$switch ended with status $status"
  else
    fail "$switch still running 10 s after the space bar"
  fi
}
check_box /c "Settings..." "No settings to configure."
check_box /a "Error" "This screensaver doesn't support passwords"

# ---- /s: the saver -------------------------------------------------------
"$wine_run" "$scr" /s >"$work/saver.log" 2>&1 &
pid=$!
if w="$(find_window '^(Pomrivel 1\.0 by the Pomrivel authors|Frames Per Second: [0-9]+)$' 30)"; then
  sleep 2
  xwd -root -silent >"$work/screen.xwd" || fail "/s: no screenshot"
  geometry="$(xdotool getwindowgeometry "$w" | tr -s ' \n' ' ')"
  echo "/s: window $w:$geometry"
  case "$geometry" in
    *"Position: 0,0 "*"Geometry: 640x480"*) ;;
    *) fail "/s: the window does not cover the 640x480 screen" ;;
  esac
  # Topmost as Windows keeps it: WS_EX_TOPMOST (8) in the window's extended
  # style, read inside Wine. (What Wine tells the X side of it depends on
  # the version and on a window manager being there.)
  exstyle="$("$wine_run" "$window_style" pomrivel1WndClass 2>>"$work/window_style.log" | tr -d '\r')"
  if [[ "$exstyle" =~ ^0x[0-9a-f]{8}$ ]]; then
    echo "/s: extended style $exstyle"
    ((exstyle & 8)) || fail "/s: the window is not topmost (extended style $exstyle)"
  else
    fail "/s: cannot read the window's style: '$exstyle' $(cat "$work/window_style.log")"
  fi
  caption="$(xdotool getwindowname "$w" 2>/dev/null)"
  echo "/s: caption '$caption'"
  fps="${caption#Frames Per Second: }"
  if [[ "$fps" =~ ^[0-9]+$ ]]; then
    [ "$fps" -ge 25 ] && [ "$fps" -le 60 ] || fail "/s: $fps frames a second, expected about 48"
  else
    fail "/s: the caption shows no frame rate"
  fi

  start=$(now)
  xdotool key space
  if wait_exit $pid 2; then
    echo "/s: status $status $(ms_since "$start") ms after the key"
    [ "$status" = 0 ] || fail "/s ended with status $status"
  else
    fail "/s still running 2 s after a key release"
  fi
else
  fail "/s: no saver window"
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
fi

# ---- The screenshot against the headless frames --------------------------
if [ -s "$work/screen.xwd" ]; then
  # Two seconds at 50 frames a second is about frame 100; pictures 1 to 250
  # cover a slow start, and no two of them scroll alike.
  "$native/pomrivel-capture" --first 1 --frames 250 --out "$work/frames" >/dev/null 2>&1 ||
    fail "pomrivel-capture failed"
  if match="$("$work/screen-match" --rows $exact_from $exact_to "$work/screen.xwd" "$work"/frames/*.png)"; then
    read -r frame diff runner_up <<<"$match"
    read -r _ all _ <<<"$("$work/screen-match" "$work/screen.xwd" "$frame")"
    echo "screenshot: $(basename "$frame"), rows $exact_from-$exact_to: $diff pixels differ" \
      "(next best frame: $runner_up); whole screen: $all pixels differ"
    [ "$diff" = 0 ] || fail "the screenshot is no captured frame in rows $exact_from-$exact_to"
    [ "$runner_up" != 0 ] || fail "two captured frames match the screenshot alike"
  else
    fail "screen-match failed"
  fi
  rm -rf "$work/frames"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
