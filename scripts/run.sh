#!/usr/bin/env bash
# Builds everything and runs the saver: on the desktop when there is one,
# otherwise on a virtual screen, writing some of its frames as pictures.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # A key release, a click or a mouse movement ends it.
  exec build/pomrivel /s
fi

# No display: two minutes of the saver on a virtual screen, every 250th
# picture written (the sand shows in pictures 2765 to 5728).
out=captures
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running the saver on a virtual screen."
build/pomrivel-capture --frames 24 --every 250 --out "$out"
echo "The pictures are in $(pwd)/$out/ (build/pomrivel-capture --help explains their numbers)."
