#!/usr/bin/env bash
# Starts the program under a real window manager (openbox on Xvfb) with more saved installations than the
# screen has room for, and checks that the window's whole frame, title bar and borders included, lies on
# the screen: at the first start and again at the next one, which begins from the frame the first saved.
#
# Usage: window_frame_test.sh PROGRAM SCREEN INSTALLATIONS    (SCREEN as WIDTHxHEIGHT)
# Exits 77 (skipped) when Xvfb, openbox or the X tools are missing.
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"

program=$(realpath "$1")
screen=$2
count=$3
[[ -x "$program" ]] || fail "no program at $program"
require_tools xwininfo
screen_width=${screen%x*}
screen_height=${screen#*x}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-frame.XXXXXX")
trap '_desktop_cleanup; rm -rf "$work"' EXIT
new_home "$work/home"
preferences="$XDG_CONFIG_HOME/quorvane-updater/preferences.ini"

installations=()
for ((i = 1; i <= count; i++)); do
  make_installation "$work/games/Quorvane $i"
  installations+=("$work/games/Quorvane $i")
done
write_preferences "$preferences" "${installations[@]}"

# Sets left right top bottom (the decorations) and x y width height (the contents) of a framed window once
# it has stood still for half a second.
read_frame() {
  local id=$1 previous="" current waited=0 extents
  while :; do
    extents=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ',')
    if [[ -n "$extents" ]]; then
      read -r left right top bottom <<<"$extents"
      eval "$(xwininfo -id "$id" | awk -F: '{ gsub(/ /, "", $2) }
        /Absolute upper-left X/ { print "x=" $2 } /Absolute upper-left Y/ { print "y=" $2 }
        /^ *Width/ { print "width=" $2 } /^ *Height/ { print "height=" $2 }')"
      current="$x $y $width $height $left $right $top $bottom"
      [[ "$current" == "$previous" ]] && return
      previous=$current
    fi
    ((waited++ < DESKTOP_TIMEOUT * 2)) || fail "the window was never framed by the window manager"
    sleep 0.5
  done
}

# Fails unless the rectangle (left edge, top edge, width, height) lies on the screen.
expect_on_screen() {
  local what=$1 outer_x=$2 outer_y=$3 outer_width=$4 outer_height=$5
  echo "$what: ${outer_width}x${outer_height} at $outer_x,$outer_y on a ${screen} screen"
  ((outer_x >= 0 && outer_y >= 0 && outer_x + outer_width <= screen_width && outer_y + outer_height <= screen_height)) ||
    fail "$what does not lie on the screen"
}

start_desktop "$screen"
start_window_manager
for start in first second; do
  "$program" >"$work/program.log" 2>&1 &
  pid=$!
  own_process "$pid"
  window=$(wait_for_window "$pid")
  read_frame "$window"
  ((height > 300)) || fail "the window is only $height pixels tall"
  expect_on_screen "the frame at the $start start" $((x - left)) $((y - top)) \
    $((width + left + right)) $((height + top + bottom))

  close_window "$window"
  status=0
  wait_for_exit "$pid" || status=$?
  ((status == 0)) || { cat "$work/program.log"; fail "the program ended with status $status"; }
  # The saved frame measures the contents from the bottom edge of the screen, y upward.
  read -r saved_x saved_y saved_width saved_height < <(sed -n 's/^NSWindow%20Frame%20.*=//p' "$preferences")
  [[ -n "${saved_height:-}" ]] || fail "no frame was saved: $(cat "$preferences")"
  expect_on_screen "the frame saved at the $start start" $((saved_x - left)) \
    $((screen_height - saved_y - saved_height - top)) $((saved_width + left + right)) \
    $((saved_height + top + bottom))
done
echo "PASSED: the whole frame stays on the screen"
