#!/usr/bin/env bash
# Starts Kalvora under a virtual X server with a Japanese font, types a
# short calculation through real key events and saves a PNG of the window,
# then opens the prime console from the menu and saves a PNG of it too
# (OUT-console.png beside OUT.png).
#
#   scripts/screenshot.sh [OUT.png] [SCALE]      (defaults: out/kalvora.png, 1)
#
# KALVORA_BIN overrides the program (default build/app/kalvora);
# KALVORA_KEYS overrides the typed keys (xdotool type text). The picture is
# taken by build/app/kalvora-grab (KALVORA_GRAB overrides it).
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-out/kalvora.png}
scale=${2:-1}
bin=${KALVORA_BIN:-build/app/kalvora}
grab=${KALVORA_GRAB:-build/app/kalvora-grab}
keys=${KALVORA_KEYS:-"255/7="}
mkdir -p "$(dirname "$out")"

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
fc-list :lang=ja | grep -q . || { echo "no Japanese font (scripts/setup.sh installs fonts-ipafont-gothic)" >&2; exit 1; }
[ -x "$bin" ] || { echo "$bin not built (cmake --build build --target kalvora)" >&2; exit 1; }
[ -x "$grab" ] || { echo "$grab not built (cmake --build build --target kalvora-grab)" >&2; exit 1; }

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done

runtime=$(mktemp -d)
chmod 700 "$runtime"
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

export DISPLAY=":$display" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

"$bin" &
app_pid=$!

win=
for _ in $(seq 100); do
  win=$(xdotool search --sync --onlyvisible --name '^Kalvora$' 2>/dev/null | head -1) && [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "the window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowactivate "$win" 2>/dev/null || true
sleep 0.3
xdotool type --delay 80 --window "$win" "$keys"
sleep 0.3
"$grab" "$win" "$out"
echo "$out"

# The prime console, opened through its menu (拡張機能 → 素数判別・素因数分解機能)
# by the menu's keys. KALVORA_CONSOLE_OUT overrides its picture's name.
console_out=${KALVORA_CONSOLE_OUT:-"${out%.png}-console.png"}
xdotool key --window "$win" alt+a
sleep 0.3
xdotool key i
console=
for _ in $(seq 100); do
  console=$(xdotool search --onlyvisible --name '^素数判別、素因数分解$' 2>/dev/null | head -1) && [ -n "$console" ] && break
  sleep 0.1
done
[ -n "$console" ] || { echo "the prime console did not appear" >&2; exit 1; }
sleep 0.5
"$grab" "$console" "$console_out"
echo "$console_out"
