#!/usr/bin/env bash
# Starts the program under a real window manager (openbox on Xvfb) with more saved installations than the
# screen has room for, and checks that the window's whole frame, title bar and borders included, lies on
# the screen: at the first start and again at the next one, which begins from the frame the first saved.
#
# Usage: window_frame_test.sh PROGRAM SCREEN INSTALLATIONS    (SCREEN as WIDTHxHEIGHT)
set -euo pipefail
# shellcheck source=tests/desktop/desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"
program=$(realpath "$1")
screen=$2 max_x=${2%x*} max_y=${2#*x}
require_tools xwininfo
new_home "$work/home"
mapfile -t installations < <(seq -f "$work/games/Quorvane %g" "$3")
for installation in "${installations[@]}"; do make_installation "$installation"; done
write_preferences "$preferences" "${installations[@]}"

# Sets left right top bottom (the decorations) and x y width height (the contents) of the framed window;
# succeeds once they have stood still for half a second.
frame_still() {
  read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null |
    sed -n 's/,//g; s/.* = //p') || return 1
  eval "$(xwininfo -id "$window" | awk -F: '{ gsub(/ /, "", $2) }
    /Absolute upper-left X/ { print "x=" $2 } /Absolute upper-left Y/ { print "y=" $2 }
    /^ *Width/ { print "width=" $2 } /^ *Height/ { print "height=" $2 }')"
  # shellcheck disable=SC2154 # x y width height: set by the eval
  [[ "$x $y $width $height $left $right $top $bottom" == "${frame:-}" ]] && return
  frame="$x $y $width $height $left $right $top $bottom"
  sleep 0.5
  return 1
}

expect_on_screen() { # WHAT LEFT TOP WIDTH HEIGHT
  echo "$1: $4x$5 at $2,$3 on a $screen screen"
  (($2 >= 0 && $3 >= 0 && $2 + $4 <= max_x && $3 + $5 <= max_y)) || fail "$1 does not lie on the screen"
}

start_desktop "$screen" --wm
for start in first second; do
  start_program "$program"
  frame=""
  wait_until "the window was never framed by the window manager" frame_still
  ((height > 300)) || fail "the window is only $height pixels tall"
  expect_on_screen "the frame at the $start start" $((x - left)) $((y - top)) $((width + left + right)) \
    $((height + top + bottom))
  close_program
  # The saved frame measures the contents from the bottom edge of the screen, y upward.
  read -r sx sy sw sh < <(sed -n 's/^NSWindow%20Frame%20.*=//p' "$preferences")
  [[ -n "${sh:-}" ]] || fail "no frame was saved: $(cat "$preferences")"
  expect_on_screen "the frame saved at the $start start" $((sx - left)) $((max_y - sy - sh - top)) \
    $((sw + left + right)) $((sh + top + bottom))
done
echo "PASSED: the whole frame stays on the screen"
