#!/bin/sh
# Screenshots of the real windows under Xvfb, to compare with the designed layout:
#   tools/screenshot.sh [BIN_DIR] [OUT_DIR]
# BIN_DIR holds the built Tarvel and images/ (default build/bin), OUT_DIR gets the PNGs
# (default BIN_DIR/../screenshots). Tarvel runs from a copy in a scratch folder whose
# Tarvel.ini says admin=true and names a recent file, so every page and the recent-file item
# can be looked at; the build's own Tarvel.ini is never touched. Pictures taken:
#   main.png            the window as it starts (page "Player")
#   main-hint.png       the pointer resting on "Animate": its hint shows at once
#   main-hint-list.png  the pointer resting on the empty round list: its hint
#   main-admin.png      page "Admin"
#   main-missing.png    page "Missing picture"
#   main-scorelog.png   page "Score logg"
#   main-minimap.png    page "Minimap"
#   main-file-menu.png  the "File" menu open, the recent file last
#   about.png           the About window (Help, About) on its page "Clan leden gevraagd"
#   about-credits.png, about-help.png, about-maps.png, about-changelog.png  its other pages
# BIN_DIR must hold the headless tool ornwick too: it tells where each control lies.
# A developer tool, not part of CI: installs xvfb, x11-utils, imagemagick and xdotool with
# apt-get when they are missing.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(cd "${1:-$ROOT/build/bin}" && pwd)
OUT=${2:-$BIN/../screenshots}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

need=""
command -v Xvfb >/dev/null 2>&1 || need="$need xvfb"
command -v xwininfo >/dev/null 2>&1 || need="$need x11-utils"
command -v import >/dev/null 2>&1 || need="$need imagemagick"
command -v xdotool >/dev/null 2>&1 || need="$need xdotool"
if [ -n "$need" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $need
fi

HOME_DIR=$(mktemp -d)
XVFB_PID=""
TARVEL_PID=""
cleanup() {
  [ -n "$TARVEL_PID" ] && kill "$TARVEL_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$HOME_DIR"
}
trap cleanup EXIT INT TERM

# A copy, not a link: the program finds its files beside its own resolved path.
cp "$BIN/Tarvel" "$HOME_DIR/Tarvel"
[ -d "$BIN/images" ] && ln -s "$BIN/images" "$HOME_DIR/images"
[ -f "$BIN/Tarvel.map" ] && cp "$BIN/Tarvel.map" "$HOME_DIR/Tarvel.map"
printf 'admin=true\r\nLastOpen1=/logs/demo war.zxml\r\n' >"$HOME_DIR/Tarvel.ini"

DISPLAY_NUM=:97
Xvfb "$DISPLAY_NUM" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY="$DISPLAY_NUM"
unset QT_QPA_PLATFORM
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

"$HOME_DIR/Tarvel" >"$OUT/tarvel.log" 2>&1 &
TARVEL_PID=$!

# Waits for a top-level window with this exact title; prints its id.
wait_window() {
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "no window '$1'" >&2
  return 1
}

shot() { sleep 0.6; import -window root "$OUT/$1"; echo "$OUT/$1"; }

# Where a control lies in its window, from the headless tool's dump: "x y" of its centre.
WIDGETS="$OUT/widgets.jsonl"
"$BIN/ornwick" widgets --home "$HOME_DIR" >"$WIDGETS"
centre() {
  grep "^{\"name\":\"$1\"," "$WIDGETS" | head -n 1 |
    sed 's/.*"w":\([0-9]*\),"h":\([0-9]*\),"wx":\(-\{0,1\}[0-9]*\),"wy":\(-\{0,1\}[0-9]*\).*/\3 \1 \4 \2/' |
    { read -r x w y h; echo "$((x + w / 2)) $((y + h / 2))"; }
}
# Points the mouse at a control of the main window (and clicks when asked).
point() {
  set -- "$1" "${2:-}"
  pos=$(centre "$1")
  xdotool mousemove $((MX + ${pos% *})) $((MY + ${pos#* })) $2
}

MAIN=$(wait_window Ornwick)
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
MX=$X
MY=$Y
shot main.png

# A click makes the window active (hints show in the active window only); the list is empty.
point ListBox1 "click 1"
point CBAnimate
shot main-hint.png
point ListBox1
shot main-hint-list.png

# From the list, Ctrl+Tab walks the visible pages of PCMainInfo.
point ListBox1 "click 1"
for page in admin missing scorelog minimap; do
  xdotool key ctrl+Tab
  shot "main-$page.png"
done
xdotool key ctrl+Tab

xdotool mousemove $((MX + 15)) $((MY + 9)) click 1
shot main-file-menu.png
xdotool key Escape Escape

# Help, About.
xdotool mousemove $((MX + 45)) $((MY + 9)) click 1
sleep 0.3
xdotool key Down Return
ABOUT=$(wait_window About)
shot about.png
eval "$(xdotool getwindowgeometry --shell "$ABOUT")"
# Into the memo of the fifth page, then Ctrl+Tab goes round the pages.
xdotool mousemove $((X + 240)) $((Y + 300)) click 1
for page in credits help maps changelog; do
  xdotool key ctrl+Tab
  shot "about-$page.png"
done
