#!/usr/bin/env bash
# Takes docs/screenshots/main.png: the main window with the About dialog open, on a virtual
# screen. Needs a built program (scripts/run.sh or scripts/test.sh) and the packages xvfb,
# xdotool and imagemagick.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BIN="${1:-$ROOT/build/bin/quenvale}"
OUT="$ROOT/docs/screenshots/main.png"
mkdir -p "$(dirname "$OUT")"

# A copy of the program in a scratch folder, so that its Data folder and registry stay there.
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cp "$BIN" "$WORK/quenvale"

export WORK OUT
xvfb-run -a -s "-screen 0 800x496x24" bash -c '
    set -euo pipefail
    export HOME="$WORK" XDG_CONFIG_HOME="$WORK/config"
    "$WORK/quenvale" &
    app=$!
    win=$(xdotool search --sync --onlyvisible --name "Quenvale" | head -1)
    sleep 1
    # There is no window manager to give the window the keyboard.
    xdotool windowfocus --sync "$win"
    # Help menu, then About.
    xdotool key alt+h
    sleep 0.5
    xdotool key a
    xdotool search --sync --onlyvisible --name "^关于$" >/dev/null
    sleep 1
    import -window root "$OUT"
    kill "$app"
'
echo "wrote $OUT"
