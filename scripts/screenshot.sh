#!/usr/bin/env bash
# Pictures of every window of Kalvora as a user sees them: on a virtual X
# server (Xvfb) under a window manager (openbox, so the title bars show), on
# a 1280x1024 and a 1366x768 screen, at scales 1 and 2 (QT_SCALE_FACTOR).
# For each screen and scale it starts the program, types a short calculation
# through real key events and saves the whole screen with the main window,
# then with each tool opened from the menu (progression, Lucas-type
# sequence, Mersenne/Fermat numbers, prime console) and with the help page.
#
#   scripts/screenshot.sh [OUTDIR]      (default: out/screenshots)
#
# Files: OUTDIR/WxH-sS-WINDOW.png, and OUTDIR/geometry.txt with the frame
# of every window (xwininfo, client area) beside the screen's size.
# KALVORA_BIN overrides the program (default build/app/kalvora);
# KALVORA_KEYS the typed keys (xdotool type text); KALVORA_SCREENS and
# KALVORA_SCALES the lists of screens and scales. The pictures are taken by
# build/app/kalvora-grab (KALVORA_GRAB overrides it).
set -euo pipefail
cd "$(dirname "$0")/.."

outdir=${1:-out/screenshots}
bin=${KALVORA_BIN:-build/app/kalvora}
grab=${KALVORA_GRAB:-build/app/kalvora-grab}
keys=${KALVORA_KEYS:-"255/7="}
screens=${KALVORA_SCREENS:-"1280x1024 1366x768"}
scales=${KALVORA_SCALES:-"1 2"}
mkdir -p "$outdir"

for tool in Xvfb xdotool openbox xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
fc-list :lang=ja | grep -q . || { echo "no Japanese font (scripts/setup.sh installs fonts-ipafont-gothic)" >&2; exit 1; }
[ -x "$bin" ] || { echo "$bin not built (cmake --build build --target kalvora)" >&2; exit 1; }
[ -x "$grab" ] || { echo "$grab not built (cmake --build build --target kalvora-grab)" >&2; exit 1; }

xvfb_pid= wm_pid= app_pid= runtime=
stop_all() {
  for pid in $app_pid $wm_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $app_pid $wm_pid $xvfb_pid; do wait "$pid" 2>/dev/null || true; done
  [ -n "$runtime" ] && rm -rf "$runtime"
  xvfb_pid= wm_pid= app_pid= runtime=
}
trap stop_all EXIT

# The first visible window whose title is exactly $1 (waits up to 10 s).
find_window() {
  local w
  for _ in $(seq 100); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  echo "the window \"$1\" did not appear" >&2
  return 1
}

# Saves the screen as $prefix-$1.png and notes the frame of window $2.
shoot() {
  local name=$1 win=$2
  sleep 0.6
  env -u QT_SCALE_FACTOR "$grab" 0 "$prefix-$name.png" >/dev/null
  local frame
  frame=$(xwininfo -frame -id "$win" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
                                             /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x","y" "w"x"h}')
  echo "$(basename "$prefix")-$name window at $frame (screen $size)" >>"$outdir/geometry.txt"
  echo "$prefix-$name.png"
}

# Opens a tool from the menu 拡張機能 by its letter, shoots it, closes it with Esc.
tool() {
  local letter=$1 caption=$2 name=$3 w
  xdotool windowactivate --sync "$main" 2>/dev/null || true
  xdotool key alt+a
  sleep 0.3
  xdotool key "$letter"
  w=$(find_window "$caption")
  shoot "$name" "$w"
  xdotool windowactivate --sync "$w" 2>/dev/null || true
  xdotool key Escape
  sleep 0.3
}

: >"$outdir/geometry.txt"
for size in $screens; do
  for scale in $scales; do
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    runtime=$(mktemp -d)
    chmod 700 "$runtime"
    Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$display" XDG_RUNTIME_DIR="$runtime"
    for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
    openbox >/dev/null 2>&1 &
    wm_pid=$!
    sleep 0.5

    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" "$bin" &
    app_pid=$!
    prefix="$outdir/$size-s$scale"
    main=$(find_window Kalvora)
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    sleep 0.3
    xdotool type --delay 80 "$keys"
    shoot main "$main"
    tool t "等差・等比 数列" progression
    tool l "Lucas型数列" lucas
    tool f "Mersenne数、Fermat数" mersenne
    tool i "素数判別、素因数分解" console
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    xdotool key F1
    help=$(find_window "Kalvora ﾍﾙﾌﾟ")
    shoot help "$help"
    stop_all
  done
done
